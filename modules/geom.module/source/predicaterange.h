#pragma once

#include <algorithm>
#include <bit>
#include <cstdint>
#include <limits>

#include "predicates.h"

namespace zemox {
namespace predicates_internal {

// The magnitudes of one call's coordinates, decided on the bit patterns of their absolute values,
// which order like the magnitudes (infinity and NaN above every finite value). Built on every slow
// path, so it costs a few integer operations per coordinate and no branch.
class CoordinateRange {
 public:
  template <typename... Points>
  explicit CoordinateRange(const Points&... points) {
    (Add(points), ...);
  }

  Bool IsFinite() const { return largest_ < std::bit_cast<std::uint64_t>(std::numeric_limits<Float>::infinity()); }

  // Whether the adaptive stages of a determinant of this degree are exact on these coordinates: every
  // intermediate value stays below the overflow threshold with room for the splitter, and every
  // non-zero magnitude is large enough that all products of `degree` factors are multiples of the
  // smallest subnormal and the error bounds of the stages stay normal numbers. Zero always fits.
  Bool Fits(int degree) const {
    return largest_ < Bits(Limits(degree).top) && smallestMinusOne_ >= Bits(Limits(degree).bottom) - 1;
  }

  // The power of two that moves all coordinates into the exact range of `degree`, or none when their
  // magnitudes span more than that range does. Only for finite coordinates that do not fit.
  Bool ScaleFor(int degree, int& scale) const;

 private:
  // Non-zero magnitudes in [2^bottom, 2^top) fit a determinant of the given degree: differences are
  // below 2^(top + 1), and degree * (top + 1) leaves 35 bits for the sums of terms and the splitter;
  // the lowest bit of a coordinate is at least 2^(bottom - 52), and degree * (bottom - 52) >= -900
  // keeps even the smallest error bound, about 2^-103 times a permanent, a normal number.
  struct ExponentLimits {
    int top;
    int bottom;
  };
  static constexpr ExponentLimits Limits(int degree) { return {988 / degree - 1, 52 - 900 / degree}; }
  // The bit pattern of the normal number 2^exponent.
  static constexpr std::uint64_t Bits(int exponent) { return static_cast<std::uint64_t>(exponent + 1023) << 52; }

  void Add(Float value) {
    const std::uint64_t bits = std::bit_cast<std::uint64_t>(value) & ~(std::uint64_t{1} << 63);
    largest_ = std::max(largest_, bits);
    // Zero wraps around to the largest pattern and never becomes the smallest magnitude.
    smallestMinusOne_ = std::min(smallestMinusOne_, bits - 1);
  }
  void Add(const Vector2d& point) {
    Add(point.x);
    Add(point.y);
  }
  void Add(const Vector& point) {
    Add(point.x);
    Add(point.y);
    Add(point.z);
  }

  std::uint64_t largest_ = 0;
  std::uint64_t smallestMinusOne_ = std::numeric_limits<std::uint64_t>::max();
};

// The predicates for coordinates outside the exact range of their adaptive stages: NaN for a
// non-finite coordinate, else the predicate on coordinates rescaled into the range, else the sign
// (+1, -1 or 0) of the determinant evaluated in big-number arithmetic that is exact for any finite
// doubles.
Float orient2dOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector2d& a, const Vector2d& b,
                         const Vector2d& c);
Float incircleOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector2d& a, const Vector2d& b,
                         const Vector2d& c, const Vector2d& d);
Float orient3dOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector& a, const Vector& b,
                         const Vector& c, const Vector& d);
Float insphereOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector& a, const Vector& b,
                         const Vector& c, const Vector& d, const Vector& e);

}  // namespace predicates_internal
}  // namespace zemox
