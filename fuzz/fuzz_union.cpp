// Union of two loops. When both inputs are simple clockwise scene-scale loops, every output loop must
// have at least three points and no two of its edges may cross. Touching is allowed: a vertex of one
// loop on the other's edge pinches the union's outline at that point. Crossing points are rounded,
// so a pinch next to one may come out as a crossing by a rounding error: only crossings clear of
// the other edge by more than kRoundingMargin count. The outer loop runs clockwise and the holes
// counter-clockwise, and the part asked for (outer loop, holes, both, or the whole outline) encloses
// what that part of the full answer encloses.
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

// Clockwise loops count positive, so that holes are subtracted.
Float EnclosedArea(Block<const BaseArray<Vector2d>> loops, Int first) {
  Float area = 0.0;
  for (Int k = first; k < loops.GetCount(); ++k) area -= SignedArea(loops[k]);
  return area;
}

void CheckParts(Block<const Vector2d> first, Block<const Vector2d> second, Bool includeHoles, Bool createOuterLoop,
                const BaseArray<BaseArray<Vector2d>>& part) {
  const Result<BaseArray<BaseArray<Vector2d>>> full =
      GeometryUtilsInterface::CalculateUnionOfPolygons(first, second, true, true);
  Require(static_cast<Bool>(full), "union: the full answer exists when a part does");
  const Block<const BaseArray<Vector2d>> loops = full.Value().ToBlock();
  if (loops.IsEmpty()) return;
  const Float scale = std::max(1.0, std::fabs(EnclosedArea(loops, 0)));
  Require(SignedArea(loops[0]) < 0.0, "union: the outer loop runs clockwise");
  for (Int h = 1; h < loops.GetCount(); ++h)
    Require(SignedArea(loops[h]) > -1e-12 * scale, "union: holes run counter-clockwise");
  const Float outer = -SignedArea(loops[0]), holes = EnclosedArea(loops, 1);
  Float expected = (createOuterLoop ? outer : 0.0) + (includeHoles ? holes : 0.0);
  // The whole outline is traced from crossings, and loops that do not cross have none.
  if (!includeHoles && !createOuterLoop && !part.IsEmpty()) expected = outer + holes;
  Require(std::fabs(EnclosedArea(part.ToBlock(), 0) - expected) <= 1e-9 * scale,
          "union: a part encloses what it encloses in the full answer");
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
  CheckParts(first, second, includeHoles, createOuterLoop, loops.Value());
  return 0;
}
