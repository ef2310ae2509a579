#include "selfintersectingoutlinehull2d.h"

#include <cmath>
#include <utility>

#include "exactpredicates2d_impl.h"
#include "portability.h"
#include "segmentkey.h"

namespace zemox {
namespace {

// Below this orientation (twice a triangle area, in scene units) the two paths through a crossing
// leave it along one line.
constexpr Float collinearThreshold = 1e-10;

}  // namespace

Result<void> SelfIntersectingOutlineHull2D::Init(Block<const Vector2d> outline, Block<const Vector2d> crossingPoints,
                                                 Block<const IndexPair> crossingSegments) {
  ZEMOX_TRY(separation_.Init(outline, crossingPoints, crossingSegments));
  for (Int& start : separation_.loopStarts_) {
    start = LoopMinimumPredecessor(start);
    OrientLoop(start);
  }
  for (Int j = 0; j < crossingPoints.GetCount(); ++j) SeparateCollinearCrossing(j);
  return OK();
}

Bool SelfIntersectingOutlineHull2D::PointLess(Int a, Int b) const {
  return CompareLexicographic(separation_.NodePoint(a), separation_.NodePoint(b)) == COMPARERESULT::LESS;
}

// The node before the loop's smallest point (the first one met on ties). The corner at the smallest
// point is convex, so the turn there gives the loop's orientation.
Int SelfIntersectingOutlineHull2D::LoopMinimumPredecessor(Int start) const {
  const BaseArray<Int>& next = separation_.next_;
  Int minimum = start;
  Int minimumPredecessor = -1;
  Int previous = start;
  for (Int node = next[start]; node != start; previous = node, node = next[node]) {
    if (PointLess(node, minimum)) {
      minimum = node;
      minimumPredecessor = previous;
    }
  }
  // The start itself is smallest: its predecessor is the last node of the walk.
  return minimum == start ? previous : minimumPredecessor;
}

// Reverses a clockwise loop; the node after the minimum then precedes it.
void SelfIntersectingOutlineHull2D::OrientLoop(Int& start) {
  BaseArray<Int>& next = separation_.next_;
  const Int minimum = next[start];
  const Int after = next[minimum];
  const Float turn = ExactPredicates2DImpl::Orient(separation_.NodePoint(start), separation_.NodePoint(minimum),
                                                   separation_.NodePoint(after));
  if (turn > 0) return;
  Int previous = start;
  Int node = next[start];
  do {
    previous = std::exchange(node, std::exchange(next[node], previous));
  } while (previous != start);
  start = after;
}

// Once loops are turned, the two paths through a crossing can leave it along one line; their copies
// then sit on that line, and are moved a quarter turn off it and the paths exchanged, so that the
// copies stay on the correct sides.
void SelfIntersectingOutlineHull2D::SeparateCollinearCrossing(Int crossing) {
  BaseArray<Int>& next = separation_.next_;
  BaseArray<Vector2d>& offsets = separation_.offsetPoints_;
  const Int first = separation_.VertexCount() + 2 * crossing;
  const Int second = first + 1;
  const Vector2d& point = separation_.crossingPoints_[crossing];
  const Float spread =
      ExactPredicates2DImpl::Orient(separation_.NodePoint(next[first]), point, separation_.NodePoint(next[second]));
  if (!(std::fabs(spread) < collinearThreshold)) return;
  const Float side = ExactPredicates2DImpl::Orient(offsets[2 * crossing], point, separation_.NodePoint(next[first]));
  const Float turn = side > 0 ? 1.0 : -1.0;
  const Vector2d offset = offsets[2 * crossing] - point;
  const Vector2d rotated{-turn * offset.y, turn * offset.x};
  offsets[2 * crossing] = point + rotated;
  offsets[2 * crossing + 1] = point - rotated;
  std::swap(next[first], next[second]);
}

Result<void> SelfIntersectingOutlineHull2D::GetResult(Bool useOffsets, BaseArray<Vector2d>& points,
                                                      BaseArray<Int>* sourceIndices) const {
  const BaseArray<Int>& next = separation_.next_;
  if (separation_.loopStarts_.IsEmpty())
    return ZEMOX_ERROR(IllegalStateError, "@: The outline has not been separated.");
  Int hull = next[separation_.loopStarts_[0]];
  for (const Int start : separation_.loopStarts_)
    if (PointLess(next[start], hull)) hull = next[start];
  Int length = 0;
  Int node = hull;
  do {
    ++length;
    node = next[node];
  } while (node != hull);
  ZEMOX_TRY(SeparateSelfIntersectingOutline2D::Reserve(length, points, sourceIndices));
  do {
    ZEMOX_TRY(separation_.AppendNode(node, useOffsets, points, sourceIndices));
    node = next[node];
  } while (node != hull);
  return OK();
}

}  // namespace zemox
