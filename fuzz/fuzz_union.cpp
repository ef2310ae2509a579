// Union of two loops. When both inputs are simple clockwise scene-scale loops, every output loop must
// have at least three points and no two of its edges may cross. Touching is allowed: a vertex of one
// loop on the other's edge pinches the union's outline at that point. Crossing points are rounded,
// so a pinch next to one may come out as a crossing by a rounding error: only crossings clear of
// the other edge by more than kRoundingMargin count.
#include "geom/geometryutils.h"
#include "outlinechecks.h"

namespace zemox::fuzz {
namespace {

// Far above the rounding error of crossing points at scene scale (coordinates up to 1e5), far below
// the union's snapping distance.
constexpr Float kRoundingMargin = 1e-9;

// The union is defined for simple clockwise loops.
Bool IsSimpleClockwise(Block<const Vector2d> loop) {
  const Result<Bool> crosses = ExactPredicates2DInterface::OutlineSelfIntersectionTest(loop);
  Float area = 0.0;
  Bool clockwise = false;
  (void)GeometryUtilsInterface::CalculateOutlineCentroidAndArea2D(loop, &area, &clockwise);
  return crosses && !crosses.Value() && area > 0.0 && clockwise;
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace fuzz;
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
  if (!OnSceneGrid(first.ToBlock()) || !OnSceneGrid(second.ToBlock())) return 0;
  for (const BaseArray<Vector2d>& loop : loops.Value()) {
    Require(loop.GetCount() >= 3, "union: output loops have at least three points");
    Require(!HasProperCrossing(loop, kRoundingMargin), "union: output loops do not cross themselves");
  }
  return 0;
}
