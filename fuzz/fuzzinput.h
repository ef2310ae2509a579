#pragma once

#include <cfloat>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <limits>

#include "zemox/basearray.h"
#include "zemox/types.h"

namespace zemox::fuzz {

// Stops the run on a broken property, so that libFuzzer keeps the input as a crash.
inline void Require(Bool condition, const char* property) {
  if (condition) return;
  std::fprintf(stderr, "property violated: %s\n", property);
  std::abort();
}

inline Bool IsFinite(const Vector2d& point) { return std::isfinite(point.x) && std::isfinite(point.y); }

inline Bool AllFinite(Block<const Vector2d> points) {
  for (const Vector2d& point : points) {
    if (!IsFinite(point)) return false;
  }
  return true;
}

// Whether the coordinate lies on the decoder's grid of quarter units within the scene: results of services that
// decide with tolerances made for scene units (features no smaller than about 1e-2) are checked
// exactly only for such input; the special values put features far below those units.
inline Bool OnSceneGrid(Float coordinate) {
  return std::fabs(coordinate) <= 1e5 && coordinate * 4.0 == std::round(coordinate * 4.0);
}
inline Bool OnSceneGrid(const Vector2d& point) { return OnSceneGrid(point.x) && OnSceneGrid(point.y); }
inline Bool OnSceneGrid(const Vector& point) {
  return OnSceneGrid(point.x) && OnSceneGrid(point.y) && OnSceneGrid(point.z);
}

inline Bool OnSceneGrid(Block<const Vector2d> points) {
  for (const Vector2d& point : points) {
    if (!OnSceneGrid(point)) return false;
  }
  return true;
}

inline Int Sign(Float value) { return (value > 0.0) - (value < 0.0); }

// Decodes the fuzzer's bytes into geometry. Coordinates come mostly from a small grid, so that
// collinear, touching, duplicated and cocircular configurations are common, and otherwise from the
// values where arithmetic breaks: non-finite values, the ends of the range, subnormals. Reading past
// the end yields zeros, so every input decodes to something.
class FuzzInput {
 public:
  FuzzInput(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

  Bool IsEmpty() const { return position_ >= size_; }

  std::uint8_t Byte() { return position_ < size_ ? data_[position_++] : 0; }

  Bool Flag() { return (Byte() & 1) != 0; }

  // 0 .. max, small counts the most likely.
  Int Count(Int max) { return static_cast<Int>(Byte()) % (max + 1); }

  Float Coordinate() {
    const std::uint8_t code = Byte();
    if (code < kGridCodes) return kGrid[code % std::size(kGrid)] + (code / std::size(kGrid)) * 0.5;
    return kSpecial[(code - kGridCodes) % std::size(kSpecial)];
  }

  Vector2d Point2() { return {Coordinate(), Coordinate()}; }
  Vector Point3() { return {Coordinate(), Coordinate(), Coordinate()}; }

  // An outline of up to maxCount points; one in four repeats its first point at the end, as callers
  // that close their loops explicitly do.
  Result<void> Outline(BaseArray<Vector2d>& outline, Int maxCount) {
    outline.Reset();
    const Int count = Count(maxCount);
    for (Int index = 0; index < count; ++index) ZEMOX_RETURN_IF_FAILED(outline.Append(Point2()));
    if (count > 0 && (Byte() & 3) == 0) {
      const Vector2d first = outline[0];
      ZEMOX_RETURN_IF_FAILED(outline.Append(first));
    }
    return OK();
  }

  Result<void> Points(BaseArray<Vector>& points, Int maxCount) {
    points.Reset();
    const Int count = Count(maxCount);
    for (Int index = 0; index < count; ++index) ZEMOX_RETURN_IF_FAILED(points.Append(Point3()));
    return OK();
  }

 private:
  static constexpr Float kGrid[] = {0.0, 1.0, 2.0, -1.0, 3.0, 0.25, 10.0, -2.0};
  // Grid codes take most of the byte range: 8 grid values at 28 offsets of one half.
  static constexpr std::uint8_t kGridCodes = 224;
  static constexpr Float kSpecial[] = {
      std::numeric_limits<Float>::quiet_NaN(),
      std::numeric_limits<Float>::infinity(),
      -std::numeric_limits<Float>::infinity(),
      DBL_MAX,
      -DBL_MAX,
      std::numeric_limits<Float>::denorm_min(),
      -DBL_TRUE_MIN * 3,
      DBL_MIN,
      1e300,
      -1e300,
      1e-300,
      -1e-300,
      1e150,
      0.1,
      1e-9,
      -0.0,
  };

  const std::uint8_t* data_;
  std::size_t size_;
  std::size_t position_ = 0;
};

// Drives two instances of an instance interface through at most `maxOperations` calls decoded from
// the input; each call acts on one of them, with the other at hand for copies between them.
template <typename InstanceRef, typename StepFunction>
void RunInstancePair(FuzzInput& input, Int maxOperations, const char* property, StepFunction step) {
  Result<InstanceRef> first = InstanceRef::Create();
  Result<InstanceRef> second = InstanceRef::Create();
  Require(first && second, property);
  for (Int operation = 0; operation < maxOperations && !input.IsEmpty(); ++operation) {
    const Bool onFirst = input.Flag();
    step(input, onFirst ? first.Value() : second.Value(), onFirst ? second.Value() : first.Value());
  }
}

}  // namespace zemox::fuzz
