#pragma once

#include <bit>
#include <cstddef>

#include "zemox/datatype.h"
#include "zemox/id.h"
#include "zemox/string.h"

namespace zemox {

namespace polygon_hash {
// Combines a hash with the next value's.
constexpr UInt Combine(UInt h, UInt v) { return h * 0xBF58476D1CE4E5B9ULL + v + 1; }
// Mixes the bits of a 32-bit pattern, then widens it without sign.
constexpr UInt Mix32(UInt32 x) {
  const UInt32 t = x ^ (x >> 20) ^ (x >> 12);
  return t ^ (t >> 7) ^ (t >> 4);
}
// Mixes the bit pattern of a Float: equal values with different patterns (0.0, -0.0) hash apart.
constexpr UInt MixFloat(Float value) {
  const UInt u = std::bit_cast<UInt>(value);
  const UInt y = u ^ (u >> 32);
  const UInt t = y ^ (y >> 20) ^ (y >> 12);
  return t ^ (t >> 7) ^ (t >> 4);
}
}  // namespace polygon_hash

// Four vertex indices of a polygon, registered with the host's data-type system as
// "net.zemox.geom.simplepolygon". Values are equal when all four indices are; they have no order.
struct SimplePolygon {
  Int32 a = 0;
  Int32 b = 0;
  Int32 c = 0;
  Int32 d = 0;

  static constexpr Id ID{"net.zemox.geom.simplepolygon"};
  static constexpr MemberInfo MEMBERS[] = {{"a", 0, "Int32"}, {"b", 4, "Int32"}, {"c", 8, "Int32"}, {"d", 12, "Int32"}};

  static Bool Equal(const SimplePolygon& x, const SimplePolygon& y) {
    return x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d;
  }
  static UInt Hash(const SimplePolygon& p) {
    using namespace polygon_hash;
    auto mix = [](Int32 index) { return Mix32(static_cast<UInt32>(index)); };
    return Combine(Combine(Combine(mix(p.a), mix(p.b)), mix(p.c)), mix(p.d));
  }
  // "(a,b,c,d)", each index formatted by the format statement.
  static Result<void> AppendText(String& text, const SimplePolygon& p, const char* format) {
    ZEMOX_RETURN_IF_FAILED(text.Append("("));
    const Int32 indices[] = {p.a, p.b, p.c, p.d};
    for (Int i = 0; i < 4; ++i) {
      if (i > 0) ZEMOX_RETURN_IF_FAILED(text.Append(","));
      ZEMOX_RETURN_IF_FAILED(text.AppendFormat(format, indices[i]));
    }
    return text.Append(")");
  }
};

// One UVW coordinate triple per corner of a polygon, registered as "net.zemox.geom.uvwpolygon".
// Equality compares the twelve components as numbers (0.0 equals -0.0, NaN equals nothing), the hash
// mixes their bit patterns; values have no order.
struct UVWPolygon {
  Vector a;
  Vector b;
  Vector c;
  Vector d;

  static constexpr Id ID{"net.zemox.geom.uvwpolygon"};
  static constexpr MemberInfo MEMBERS[] = {
      {"a", 0, "Vector"}, {"b", 24, "Vector"}, {"c", 48, "Vector"}, {"d", 72, "Vector"}};

  static Bool Equal(const UVWPolygon& x, const UVWPolygon& y) {
    return x.a == y.a && x.b == y.b && x.c == y.c && x.d == y.d;
  }
  static UInt Hash(const UVWPolygon& p) {
    using namespace polygon_hash;
    auto corner = [](const Vector& v) { return Combine(Combine(MixFloat(v.x), MixFloat(v.y)), MixFloat(v.z)); };
    return Combine(Combine(Combine(corner(p.a), corner(p.b)), corner(p.c)), corner(p.d));
  }
  // "((x,y,z),(x,y,z),(x,y,z),(x,y,z))", each component formatted by the format statement.
  static Result<void> AppendText(String& text, const UVWPolygon& p, const char* format) {
    ZEMOX_RETURN_IF_FAILED(text.Append("("));
    const Vector* corners[] = {&p.a, &p.b, &p.c, &p.d};
    for (Int i = 0; i < 4; ++i) {
      ZEMOX_RETURN_IF_FAILED(text.Append(i == 0 ? "(" : ",("));
      const Float components[] = {corners[i]->x, corners[i]->y, corners[i]->z};
      for (Int k = 0; k < 3; ++k) {
        if (k > 0) ZEMOX_RETURN_IF_FAILED(text.Append(","));
        ZEMOX_RETURN_IF_FAILED(text.AppendFormat(format, components[k]));
      }
      ZEMOX_RETURN_IF_FAILED(text.Append(")"));
    }
    return text.Append(")");
  }
};

static_assert(offsetof(UVWPolygon, d) == 72 && offsetof(SimplePolygon, d) == 12);

}  // namespace zemox
