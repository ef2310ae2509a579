// Union of two loops. When both inputs are simple clockwise loops, every output loop must be a closed loop of at
// least three points that the exact outline test finds simple.
#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"
#include "geom/geometryutils.h"

namespace {

// The union is defined for simple clockwise loops.
zemox::Bool IsSimpleClockwise(zemox::Block<const zemox::Vector2d> loop) {
  const zemox::Result<zemox::Bool> crosses = zemox::ExactPredicates2DInterface::OutlineSelfIntersectionTest(loop);
  zemox::Float area = 0.0;
  zemox::Bool clockwise = false;
  (void)zemox::GeometryUtilsInterface::CalculateOutlineCentroidAndArea2D(loop, &area, &clockwise);
  return crosses && !crosses.Value() && area > 0.0 && clockwise;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  BaseArray<Vector2d> first;
  BaseArray<Vector2d> second;
  if (!input.Outline(first, 10) || !input.Outline(second, 10)) return 0;
  const Bool includeHoles = input.Flag();
  const Bool createOuterLoop = input.Flag();
  Result<BaseArray<BaseArray<Vector2d>>> loops =
      GeometryUtilsInterface::CalculateUnionOfPolygons(first, second, includeHoles, createOuterLoop);
  if (!loops) return 0;
  for (const BaseArray<Vector2d>& loop : loops.Value()) {
    (void)ExactPredicates2DInterface::OutlineSelfIntersectionTest(loop);
  }
  if (!IsSimpleClockwise(first) || !IsSimpleClockwise(second)) return 0;
  for (const BaseArray<Vector2d>& loop : loops.Value()) {
    Require(loop.GetCount() >= 3, "union: output loops have at least three points");
    const Result<Bool> crosses = ExactPredicates2DInterface::OutlineSelfIntersectionTest(loop);
    Require(crosses && !crosses.Value(), "union: output loops are simple");
  }
  return 0;
}
