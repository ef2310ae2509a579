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
  ZEMOX_TRY(separation.Init(outline, crossingPoints, crossingSegments));
  for (Int& start : separation.loopStarts) {
    start = LoopMinimumPredecessor(start);
    OrientLoop(start);
  }
  for (Int j = 0; j < crossingPoints.GetCount(); ++j) SeparateCollinearCrossing(j);
  return OK();
}

Bool SelfIntersectingOutlineHull2D::PointLess(Int a, Int b) const {
  return CompareLexicographic(separation.NodePoint(a), separation.NodePoint(b)) == COMPARERESULT::LESS;
}

// The node before the loop's smallest point (the first one met on ties). The corner at the smallest
// point is convex, so the turn there gives the loop's orientation.
Int SelfIntersectingOutlineHull2D::LoopMinimumPredecessor(Int start) const {
  const BaseArray<Int>& next = separation.next;
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
  BaseArray<Int>& next = separation.next;
  const Int minimum = next[start];
  const Int after = next[minimum];
  const Float turn = ExactPredicates2DImpl::Orient(separation.NodePoint(start), separation.NodePoint(minimum),
                                                   separation.NodePoint(after));
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
  BaseArray<Int>& next = separation.next;
  BaseArray<Vector2d>& offsets = separation.offsetPoints;
  const Int first = separation.VertexCount() + 2 * crossing;
  const Int second = first + 1;
  const Vector2d& point = separation.crossingPoints[crossing];
  const Float spread =
      ExactPredicates2DImpl::Orient(separation.NodePoint(next[first]), point, separation.NodePoint(next[second]));
  if (!(std::fabs(spread) < collinearThreshold)) return;
  const Float side = ExactPredicates2DImpl::Orient(offsets[2 * crossing], point, separation.NodePoint(next[first]));
  const Float turn = side > 0 ? 1.0 : -1.0;
  const Vector2d offset = offsets[2 * crossing] - point;
  const Vector2d rotated{-turn * offset.y, turn * offset.x};
  offsets[2 * crossing] = point + rotated;
  offsets[2 * crossing + 1] = point - rotated;
  std::swap(next[first], next[second]);
}

Result<void> SelfIntersectingOutlineHull2D::GetResult(Bool useOffsets, BaseArray<Vector2d>& points,
                                                      BaseArray<Int>* sourceIndices) const {
  const BaseArray<Int>& next = separation.next;
  if (separation.loopStarts.IsEmpty()) return ZEMOX_ERROR(IllegalStateError, "@: The outline has not been separated.");
  Int hull = next[separation.loopStarts[0]];
  for (const Int start : separation.loopStarts)
    if (PointLess(next[start], hull)) hull = next[start];
  Int length = 0;
  Int node = hull;
  do {
    ++length;
    node = next[node];
  } while (node != hull);
  ZEMOX_TRY(SeparateSelfIntersectingOutline2D::Reserve(length, points, sourceIndices));
  do {
    ZEMOX_TRY(separation.AppendNode(node, useOffsets, points, sourceIndices));
    node = next[node];
  } while (node != hull);
  return OK();
}

}  // namespace zemox
