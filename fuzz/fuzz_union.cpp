// Union of two loops. When both inputs are simple clockwise loops, every output loop must have at
// least three points and no two of its edges may cross. Touching is allowed: a vertex of one loop on
// the other's edge pinches the union's outline at that point.
#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"
#include "geom/geometryutils.h"

namespace zemox::fuzz {
namespace {

// The union is defined for simple clockwise loops.
Bool IsSimpleClockwise(Block<const Vector2d> loop) {
  const Result<Bool> crosses = ExactPredicates2DInterface::OutlineSelfIntersectionTest(loop);
  Float area = 0.0;
  Bool clockwise = false;
  (void)GeometryUtilsInterface::CalculateOutlineCentroidAndArea2D(loop, &area, &clockwise);
  return crosses && !crosses.Value() && area > 0.0 && clockwise;
}

Bool CrossesProperly(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  using Predicates = ExactPredicates2DInterface;
  return Sign(Predicates::Orient(p, q, r)) * Sign(Predicates::Orient(p, q, s)) < 0 &&
         Sign(Predicates::Orient(r, s, p)) * Sign(Predicates::Orient(r, s, q)) < 0;
}

Bool HasProperCrossing(Block<const Vector2d> loop) {
  const Int count = loop.GetCount();
  for (Int first = 0; first < count; ++first) {
    for (Int second = first + 1; second < count; ++second) {
      if (CrossesProperly(loop[first], loop[(first + 1) % count], loop[second], loop[(second + 1) % count])) {
        return true;
      }
    }
  }
  return false;
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
  for (const BaseArray<Vector2d>& loop : loops.Value()) {
    Require(loop.GetCount() >= 3, "union: output loops have at least three points");
    Require(!HasProperCrossing(loop), "union: output loops do not cross themselves");
  }
  return 0;
}
