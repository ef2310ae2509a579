#pragma once

#include <string_view>

#include "zemox/types.h"

namespace zemox {

// Hash of an identifier or operation name: the low 43 bits hold the polynomial hash of the bytes
// (h = h * 31 + byte, modulo 2^43), bits 44 and up the length in bytes, so identifiers of different
// lengths never collide.
constexpr UInt IdHash(std::string_view text) {
  constexpr UInt lowMask = (UInt{1} << 43) - 1;
  UInt h = 0;
  for (char c : text) h = (h * 31 + static_cast<unsigned char>(c)) & lowMask;
  return h | (static_cast<UInt>(text.size()) << 44);
}

// Reverse-domain identifier ("net.zemox.interface.delaunay3d") with its precomputed hash. The text
// is not owned: identifiers are string literals with static lifetime.
class Id {
 public:
  constexpr Id() = default;
  constexpr Id(const char* text) : text_(text), hash_(IdHash(text)) {}

  constexpr const char* Text() const { return text_; }
  constexpr std::string_view View() const { return text_; }
  constexpr UInt Hash() const { return hash_; }
  constexpr bool IsEmpty() const { return text_[0] == '\0'; }

  friend constexpr bool operator==(const Id& a, const Id& b) { return a.hash_ == b.hash_ && a.View() == b.View(); }

 private:
  const char* text_ = "";
  UInt hash_ = IdHash("");
};

}  // namespace zemox
