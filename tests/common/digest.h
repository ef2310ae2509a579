#pragma once

#include <cstddef>
#include <span>
#include <type_traits>

#include "geom/celldata.h"
#include "geom/convexhull.h"
#include "zemox/basearray.h"
#include "zemox/string.h"

namespace zemox {

// A hash of every number of an answer, bit for bit (signs of zero included): equal answers give equal
// digests. Values without padding (numbers, vectors, edges, tetrahedra) are hashed byte by byte.
class Digest {
 public:
  template <typename T>
  requires std::is_trivially_copyable_v<T> Digest& Add(const T& value) {
    for (const std::byte byte : std::as_bytes(std::span(&value, 1)))
      hash_ = (hash_ ^ std::to_integer<UInt>(byte)) * 0x100000001B3;
    return *this;
  }
  template <typename... T>
  requires(sizeof...(T) > 1) Digest& Add(const T&... values) {
    (Add(values), ...);
    return *this;
  }
  Digest& Add(const String& text) { return Add(Block<const char>(text.View().data(), Int(text.View().size()))); }
  Digest& Add(const ConvexHullRecord& hull) { return Add(hull.vertices, hull.edges, hull.faces); }
  Digest& Add(const CellData& c) { return Add(c.vertexIds, c.vertices, c.edges, c.faces, c.faceNeighbors, c.fused); }
  template <typename T>
  Digest& Add(Block<T> values) {
    Add(values.GetCount());
    for (const auto& value : values) Add(value);
    return *this;
  }
  template <typename T>
  Digest& Add(const BaseArray<T>& values) {
    return Add(values.ToBlock());
  }
  Bool operator==(const Digest&) const = default;

 private:
  UInt hash_ = 0xCBF29CE484222325;
};

}  // namespace zemox
