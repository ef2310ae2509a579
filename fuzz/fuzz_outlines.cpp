// The GeometryUtils calls that take outlines: clean-up, convex decomposition, containment, hull,
// centroids and winding numbers. On simple scene-scale loops (the decomposition decides straight
// turns with a tolerance) its pieces must be convex and cover the loop's area, and the exact winding number must agree
// with the exact crossing parity away from the boundary.
#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"
#include "geom/geometryutils.h"

namespace zemox::fuzz {
namespace {

using Utils = GeometryUtilsInterface;
using Predicates = ExactPredicates2DInterface;

Float SignedArea(Block<const Vector2d> loop, Block<const Int> indices) {
  Float twiceArea = 0.0;
  for (Int index = 0; index < indices.GetCount(); ++index) {
    const Vector2d& p = loop[indices[index]];
    const Vector2d& q = loop[indices[(index + 1) % indices.GetCount()]];
    twiceArea += p.x * q.y - q.x * p.y;
  }
  return twiceArea / 2.0;
}

Bool IsSimpleLoop(Block<const Vector2d> loop) {
  const Result<Bool> crosses = Predicates::OutlineSelfIntersectionTest(loop);
  return crosses && !crosses.Value();
}

// The decomposition treats turns within 0.0001 (cross product of the unit directions) as straight,
// so only sharper turns decide convexity.
Bool IsConvex(Block<const Vector2d> loop, Block<const Int> piece) {
  constexpr Float kStraightTurn = 1e-4;
  Int turns[3] = {0, 0, 0};
  const Int count = piece.GetCount();
  for (Int index = 0; index < count; ++index) {
    const Vector2d& a = loop[piece[index]];
    const Vector2d& b = loop[piece[(index + 1) % count]];
    const Vector2d& c = loop[piece[(index + 2) % count]];
    const Vector2d in = b - a;
    const Vector2d out = c - b;
    const Float lengths = std::hypot(in.x, in.y) * std::hypot(out.x, out.y);
    if (lengths == 0.0) continue;
    const Float turn = (in.x * out.y - in.y * out.x) / lengths;
    ++turns[std::fabs(turn) <= kStraightTurn ? 1 : Sign(turn) + 1];
  }
  return turns[0] == 0 || turns[2] == 0;
}

void CheckDecomposition(Block<const Vector2d> loop) {
  Result<BaseArray<BaseArray<Int>>> pieces = Utils::CalculateConvexDecomposition2D(loop);
  if (!pieces || !OnSceneGrid(loop) || !IsSimpleLoop(loop)) return;
  BaseArray<Int> all;
  for (Int index = 0; index < loop.GetCount(); ++index) {
    if (!all.Append(index)) return;
  }
  Float pieceAreas = 0.0;
  for (const BaseArray<Int>& piece : pieces.Value()) {
    for (Int index : piece) Require(index >= 0 && index < loop.GetCount(), "decomposition: indices in range");
    Require(IsConvex(loop, piece), "decomposition: pieces are convex");
    pieceAreas += std::fabs(SignedArea(loop, piece));
  }
  const Float loopArea = std::fabs(SignedArea(loop, all));
  Require(std::fabs(pieceAreas - loopArea) <= 1e-9 * (1.0 + loopArea), "decomposition: pieces cover the loop");
}

Bool OnBoundary(const Vector2d& point, Block<const Vector2d> loop) {
  for (Int index = 0; index < loop.GetCount(); ++index) {
    const Vector2d& p = loop[index];
    const Vector2d& q = loop[(index + 1) % loop.GetCount()];
    const Bool inBox = std::fmin(p.x, q.x) <= point.x && point.x <= std::fmax(p.x, q.x) &&
                       std::fmin(p.y, q.y) <= point.y && point.y <= std::fmax(p.y, q.y);
    if (inBox && Predicates::Orient(p, q, point) == 0.0) return true;
  }
  return false;
}

void CheckPointLocation(const Vector2d& point, Block<const Vector2d> loop) {
  Int edgeHit = 0;
  (void)Utils::GetPointInPolygonWindingNumber2D(point, loop);
  (void)Utils::GetPointInPolygonWindingNumber2D(point, loop, edgeHit);
  (void)Utils::PointInOutline2D(point, loop);
  const Int winding = Utils::GetPointInPolygonWindingNumber2DExact(point, loop);
  const Bool inside = Utils::PointInOutlineRobust2D(point, loop);
  if (loop.GetCount() < 3 || !IsFinite(point) || !AllFinite(loop) || OnBoundary(point, loop)) return;
  if (!IsSimpleLoop(loop)) return;
  Require(inside == (winding != 0), "point location: winding number and crossing parity agree");
}

void CheckMeasures(Block<const Vector2d> loop, FuzzInput& input) {
  Float area = 0.0;
  Bool clockwise = false;
  (void)Utils::CalculateOutlineCentroidAndArea2D(loop, &area, &clockwise);
  (void)Utils::CalculatePerimeterLength2D(loop);
  (void)Utils::IsWoundClockwise2D(loop);
  (void)Utils::CalculateConvexHull2D(loop);
  BaseArray<Int> counts;
  for (Int remaining = input.Count(3); remaining > 0; --remaining) {
    if (!counts.Append(input.Count(8) - 1)) return;
  }
  Float overallArea = 0.0;
  BaseArray<Float> soloAreas;
  BaseArray<Bool> polarity;
  (void)Utils::CalculateMultiOutlineCentroidAndAreas2D(loop, counts, input.Flag(), &overallArea, &soloAreas, &polarity);
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  BaseArray<Vector2d> loop;
  BaseArray<Vector2d> other;
  if (!input.Outline(loop, 16) || !input.Outline(other, 8)) return 0;
  const Vector2d point = input.Point2();
  CheckPointLocation(point, loop);
  CheckMeasures(loop, input);
  (void)Utils::GetContainmentStateForNonIntersectingLoops(loop, other);
  (void)Utils::AreLoopsEqualToWithinTolerance(loop, other, input.Flag(), input.Flag(), 1e-4);
  if (!Utils::CleanLoop2DInPlace(loop, input.Flag())) return 0;
  CheckDecomposition(loop);
  return 0;
}
