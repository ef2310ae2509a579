#pragma once

#include <cmath>
#include <cstdint>

namespace zemox {

using Int = std::int64_t;
using Int32 = std::int32_t;
using UInt = std::uint64_t;
using UInt32 = std::uint32_t;
using Float = double;
using Bool = bool;

// 3D point or direction.
struct Vector {
  Float x = 0.0;
  Float y = 0.0;
  Float z = 0.0;

  friend constexpr Vector operator+(const Vector& a, const Vector& b) { return {a.x + b.x, a.y + b.y, a.z + b.z}; }
  friend constexpr Vector operator-(const Vector& a, const Vector& b) { return {a.x - b.x, a.y - b.y, a.z - b.z}; }
  friend constexpr Vector operator*(const Vector& a, Float s) { return {a.x * s, a.y * s, a.z * s}; }
  friend constexpr Vector operator*(Float s, const Vector& a) { return a * s; }
  friend constexpr bool operator==(const Vector& a, const Vector& b) = default;
};

// 2D point or direction.
struct Vector2d {
  Float x = 0.0;
  Float y = 0.0;

  friend constexpr Vector2d operator+(const Vector2d& a, const Vector2d& b) { return {a.x + b.x, a.y + b.y}; }
  friend constexpr Vector2d operator-(const Vector2d& a, const Vector2d& b) { return {a.x - b.x, a.y - b.y}; }
  friend constexpr Vector2d operator*(const Vector2d& a, Float s) { return {a.x * s, a.y * s}; }
  friend constexpr bool operator==(const Vector2d& a, const Vector2d& b) = default;
};

constexpr Float Dot(const Vector& a, const Vector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
constexpr Vector Cross(const Vector& a, const Vector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}
inline Float Length(const Vector& a) { return std::sqrt(Dot(a, a)); }
constexpr Float Dot(const Vector2d& a, const Vector2d& b) { return a.x * b.x + a.y * b.y; }
// Positive when b turns counter-clockwise from a.
constexpr Float Cross(const Vector2d& a, const Vector2d& b) { return a.x * b.y - a.y * b.x; }

// The host's answer to a comparison of two keys.
enum class COMPARERESULT : Int32 { LESS = -1, EQUAL = 0, GREATER = 1, INCOMPARABLE = 2 };

}  // namespace zemox
