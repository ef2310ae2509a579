#include "outlinesintersectiontest2d.h"

#include "exactpredicates2d_impl.h"
#include "zemox/jobs.h"

namespace zemox {
namespace {

// Below this many vertices starting the host's workers costs more than the sort itself.
constexpr Int parallelSortMinimum = 1024;

// Every error of the test is reported on behalf of Init, which runs all of it.
constexpr const char* operationName = "Init";

Bool SamePoint(const Vector2d& a, const Vector2d& b) { return a.x == b.x && a.y == b.y; }

// The comparator's signs depend on the geometry and defeat branch prediction, so they are computed
// without branches: comparisons to 0/1, and the host's comparison values -1, 0, +1 as signs.
static_assert(static_cast<Int32>(COMPARERESULT::LESS) == -1 && static_cast<Int32>(COMPARERESULT::EQUAL) == 0 &&
              static_cast<Int32>(COMPARERESULT::GREATER) == 1);

Int32 OrientSign(const Vector2d& a, const Vector2d& b, const Vector2d& c) {
  const Float turn = ExactPredicates2DImpl::Orient(a, b, c);
  return static_cast<Int32>(turn > 0.0) - static_cast<Int32>(turn < 0.0);
}

// LESS when the probe lies below, GREATER above, EQUAL for a zero sign (touching).
COMPARERESULT FromSign(Int32 sign) { return static_cast<COMPARERESULT>(sign); }

}  // namespace

Bool OutlinesIntersectionTest2D::SortsInParallel(Int vertexCount) {
  if (vertexCount < parallelSortMinimum) return false;
  const Job* job = GetCurrentJob();
  return job == nullptr || job->GetGroup() == nullptr;
}

Result<void> OutlinesIntersectionTest2D::Init(Block<const Block<const Vector2d>> outlines) {
  const Result<void> outcome = Run(outlines);
  const Result<void> reset = status.IsInitialized() ? status.Reset() : OK();
  points.Flush();
  neighbours.Flush();
  vertexOrder.Flush();
  if (!outcome) return outcome.GetError();
  return reset;
}

Result<void> OutlinesIntersectionTest2D::Run(Block<const Block<const Vector2d>> outlines) {
  if (outlines.IsEmpty()) return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: No input outlines.");
  Int vertexCount = 0;
  for (const Block<const Vector2d>& outline : outlines) {
    if (outline.GetFirst() == nullptr)
      return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Input outline is undefined.");
    if (outline.GetCount() < 3)
      return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Input outline has less than 3 points.");
    vertexCount += outline.GetCount();
  }
  intersecting = false;
  ZEMOX_TRY(status.Init());
  ZEMOX_TRY(CopyOutlines(outlines, vertexCount));
  ZEMOX_TRY(SortVertices());
  CheckDuplicates();
  if (intersecting) return OK();
  return Sweep();
}

Result<void> OutlinesIntersectionTest2D::CopyOutlines(Block<const Block<const Vector2d>> outlines, Int vertexCount) {
  ZEMOX_TRY(points.Resize(vertexCount));
  ZEMOX_TRY(neighbours.Resize(vertexCount));
  ZEMOX_TRY(vertexOrder.Resize(vertexCount));
  Int first = 0;
  for (const Block<const Vector2d>& outline : outlines) {
    const Int count = outline.GetCount();
    for (Int i = 0; i < count; ++i) {
      points[first + i] = outline[i];
      neighbours[first + i] = {first + (i + count - 1) % count, first + (i + 1) % count};
      vertexOrder[first + i] = first + i;
    }
    first += count;
  }
  if (points.GetCount() != vertexCount || neighbours.GetCount() != vertexCount || vertexOrder.GetCount() != vertexCount)
    return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  return OK();
}

Result<void> OutlinesIntersectionTest2D::SortVertices() {
  const Block<Int> order = vertexOrder;
  if (SortsInParallel(order.GetCount())) return LexicographicalVertexSort<10000>{points.GetFirst()}.Sort(order);
  if (order.GetCount() <= 1) return OK();
  return LexicographicalVertexSort<1>{points.GetFirst()}.Sort(order);
}

// Equal points sort next to each other, so one pass finds every duplicated vertex, within an outline
// or across outlines.
void OutlinesIntersectionTest2D::CheckDuplicates() {
  for (Int i = 1; i < vertexOrder.GetCount(); ++i) {
    if (SamePoint(points[vertexOrder[i - 1]], points[vertexOrder[i]])) {
      intersecting = true;
      return;
    }
  }
}

Result<void> OutlinesIntersectionTest2D::Sweep() {
  for (const Int vertex : vertexOrder) {
    ZEMOX_TRY(VisitVertex(vertex));
    if (intersecting) return OK();
  }
  return OK();
}

// The two segments of a vertex either pass through the sweep line there (one ends, one starts), both
// start or both end at it. Segments that end leave the status before new ones enter, so a new segment
// is only compared with segments that continue beyond the vertex.
Result<void> OutlinesIntersectionTest2D::VisitVertex(Int vertex) {
  const Vector2d& point = points[vertex];
  const auto [previousVertex, nextVertex] = neighbours[vertex];
  if (SamePoint(point, points[previousVertex]) || SamePoint(point, points[nextVertex]))
    return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  const Bool previousStarts = CompareLexicographic(point, points[previousVertex]) == COMPARERESULT::LESS;
  const Bool nextStarts = CompareLexicographic(point, points[nextVertex]) == COMPARERESULT::LESS;
  const SegmentKey previous = previousStarts ? SegmentKey{vertex, previousVertex} : SegmentKey{previousVertex, vertex};
  const SegmentKey next = nextStarts ? SegmentKey{vertex, nextVertex} : SegmentKey{nextVertex, vertex};
  if (!previousStarts && nextStarts) {
    ZEMOX_TRY(Remove(previous));
    return TestAndInsert(next);
  }
  if (previousStarts && !nextStarts) {
    ZEMOX_TRY(Remove(next));
    return TestAndInsert(previous);
  }
  if (previousStarts) {
    ZEMOX_TRY(TestAndInsert(previous));
    if (intersecting) return OK();
    return TestAndInsert(next);
  }
  return EndBothSegments(previous, next);
}

// Removing the two segments that end at a vertex makes the segments around them neighbours, which
// have never been compared with each other.
Result<void> OutlinesIntersectionTest2D::EndBothSegments(const SegmentKey& previous, const SegmentKey& next) {
  ZEMOX_TRY(Remove(previous));
  Node* const above = ZEMOX_TRY(Remove(next));
  if (!status.IsNode(above) || above == status.GetFirst()) return OK();
  const Node* const below = status.GetPrevious(above);
  const COMPARERESULT order = ZEMOX_TRY(Compare(below->key, above->key));
  intersecting = order == COMPARERESULT::EQUAL;
  return OK();
}

// The in-order neighbours of a new segment lie on its descent path, so descending compares it with
// every segment it can touch now; any answer but below or above means contact.
Result<void> OutlinesIntersectionTest2D::TestAndInsert(const SegmentKey& key) {
  Node* position = status.GetHeader();
  Node* node = status.GetRoot();
  while (status.IsNode(node)) {
    position = node;
    const COMPARERESULT order = ZEMOX_TRY(Compare(key, node->key));
    if (order == COMPARERESULT::LESS) {
      node = node->left;
    } else if (order == COMPARERESULT::GREATER) {
      node = node->right;
    } else {
      intersecting = true;
      return OK();
    }
  }
  ZEMOX_TRY(status.InsertInPosition(key, position));
  return OK();
}

// Returns the node that followed the removed segment (the tree's nil at the end).
Result<OutlinesIntersectionTest2D::Node*> OutlinesIntersectionTest2D::Remove(const SegmentKey& key) {
  Bool erased = false;
  Node* const following = ZEMOX_TRY(status.Erase(key, erased));
  if (!erased) return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: Sweep line status misses a segment.");
  return following;
}

Result<COMPARERESULT> OutlinesIntersectionTest2D::Compare(const SegmentKey& probe, const SegmentKey& node) const {
  if (probe.start == node.start) {
    if (probe.end == node.end) return COMPARERESULT::EQUAL;
    return FromSign(OrientSign(points[node.start], points[node.end], points[probe.end]));
  }
  if (probe.end == node.end) return FromSign(OrientSign(points[node.start], points[node.end], points[probe.start]));
  return CompareDisjointEnds(probe, node);
}

// Two segments without a shared end point: E starts first, L later. While both are in the status L's
// start lies within E's extent, so L's start on E's line means contact; otherwise they are apart exactly
// when their order where the first of them ends is still their order at L's start. The roles are picked
// by selection rather than by branches, for the same reason as the signs.
Result<COMPARERESULT> OutlinesIntersectionTest2D::CompareDisjointEnds(const SegmentKey& probe,
                                                                      const SegmentKey& node) const {
  const Vector2d& probeStart = points[probe.start];
  const Vector2d& nodeStart = points[node.start];
  const COMPARERESULT startOrder = CompareLexicographic(probeStart, nodeStart);
  if (startOrder == COMPARERESULT::EQUAL) return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  const Bool probeIsEarlier = startOrder == COMPARERESULT::LESS;
  const Vector2d& earlierStart = probeIsEarlier ? probeStart : nodeStart;
  const Vector2d& earlierEnd = points[probeIsEarlier ? probe.end : node.end];
  const Vector2d& laterStart = probeIsEarlier ? nodeStart : probeStart;
  const Vector2d& laterEnd = points[probeIsEarlier ? node.end : probe.end];
  const Int32 side = OrientSign(earlierStart, laterStart, earlierEnd);
  if (side == 0) return COMPARERESULT::EQUAL;
  const COMPARERESULT endOrder = CompareLexicographic(earlierEnd, laterEnd);
  if (endOrder == COMPARERESULT::EQUAL) return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  const Bool earlierEndsFirst = endOrder == COMPARERESULT::LESS;
  const Int32 farSide = OrientSign(earlierEndsFirst ? earlierEnd : earlierStart,
                                   earlierEndsFirst ? laterStart : laterEnd, earlierEndsFirst ? laterEnd : earlierEnd);
  if (side != farSide) return COMPARERESULT::EQUAL;
  return FromSign(probeIsEarlier ? side : -side);
}

}  // namespace zemox
