#include "outlinesintersections2d.h"

#include <cmath>
#include <utility>

#include "exactpredicates2d_impl.h"
#include "geometryutils_impl.h"
#include "portability.h"

namespace zemox {
namespace {

// Every error of the sweep is reported on behalf of Init, which runs all of it.
constexpr const char* operationName = "Init";

constexpr Int maximumAttempts = 7;
// Reserved beyond the vertices for crossings, so that typical inputs never regrow the arrays.
constexpr Int crossingReserve = 128;
// Largest displacement of a vertex per coordinate: far below the scene's feature size, far above the
// rounding of its coordinates.
constexpr Float jitterAmplitude = 1e-6;
// Orientations below this (twice a triangle area, in scene units) do not order two segments reliably
// once the crossing points carry the jitter.
constexpr Float orientationThreshold = 1e-10;
constexpr UInt32 generatorMultiplier = 69069;
constexpr UInt32 firstSeed = 100;

Error MissingSegment() {
  return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: Sweep line status misses a segment.");
}

Bool SameKey(const SegmentKey& a, const SegmentKey& b) { return a.start == b.start && a.end == b.end; }

}  // namespace

OutlinesIntersections2D::OutlinesIntersections2D() : crossingQueue_(this), eventQueue_(this), status_(this) {}

Result<void> OutlinesIntersections2D::Init(Block<const Block<const Vector2d>> input) {
  if (input.IsEmpty()) return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: No input outlines.");
  for (const Block<const Vector2d>& outline : input) {
    if (outline.GetFirst() == nullptr)
      return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Input outline is undefined.");
    if (outline.GetCount() < 3)
      return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Input outline has less than 3 points.");
  }
  outlines_ = input;
  Result<void> run = OK();
  for (Int attempt = 1; attempt <= maximumAttempts; ++attempt) {
    run = SweepLine(attempt);
    // Another seed helps a run that could not order its segments, not one that ran out of memory:
    // retrying that would answer with the next seed's crossings instead of the first's.
    if (run || run.GetError().Is(OutOfMemoryError)) break;
  }
  outlines_ = {};
  return run;
}

Result<void> OutlinesIntersections2D::SweepLine(Int attempt) {
  ZEMOX_TRY(Prepare(attempt));
  // Crossings found during the walk lie beyond the current event and are visited in turn.
  for (PointNode* event = eventQueue_.GetFirst(); eventQueue_.IsNode(event); event = eventQueue_.GetNext(event)) {
    const Int index = event->key;
    if (index < vertexRecords_.GetCount())
      ZEMOX_TRY(VisitVertex(index));
    else
      ZEMOX_TRY(VisitCrossing(index));
  }
  return OK();
}

// Every run starts from scratch: the trees emptied, the vertices jittered anew and queued.
Result<void> OutlinesIntersections2D::Prepare(Int attempt) {
  ZEMOX_TRY(crossingQueue_.Init());
  ZEMOX_TRY(eventQueue_.Init());
  ZEMOX_TRY(status_.Init());
  points_.Reset();
  vertexRecords_.Reset();
  intersections_.Reset();
  Int vertexCount = 0;
  for (const Block<const Vector2d>& outline : outlines_) vertexCount += outline.GetCount();
  ZEMOX_TRY(points_.EnsureCapacity(vertexCount + crossingReserve));
  ZEMOX_TRY(vertexRecords_.EnsureCapacity(vertexCount));
  ZEMOX_TRY(intersections_.EnsureCapacity(crossingReserve));
  ZEMOX_TRY(QueueVertices(attempt));
  ZEMOX_TRY(RecordVertices());
  if (vertexRecords_.GetCount() != points_.GetCount() || points_.GetCount() != eventQueue_.GetCount())
    return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: Element count in internal arrays mismatch.");
  return OK();
}

Result<void> OutlinesIntersections2D::QueueVertices(Int attempt) {
  jitter_ = attempt != 0;
  generatorState_ = static_cast<UInt32>(jitter_ ? attempt : firstSeed) * generatorMultiplier + 1;
  for (const Block<const Vector2d>& outline : outlines_) {
    for (const Vector2d& vertex : outline) {
      const Int index = points_.GetCount();
      Vector2d point = vertex;
      if (jitter_) {
        point.x += (2.0 * NextJitter() - 1.0) * jitterAmplitude;
        point.y += (2.0 * NextJitter() - 1.0) * jitterAmplitude;
      }
      ZEMOX_TRY(points_.Append(point));
      const PointNode* queued = ZEMOX_TRY(eventQueue_.Insert(index));
      if (queued->key != index)
        return ZEMOX_ERROR_IN(operationName, IllegalArgumentError,
                              "@: (Self-)intersection by a vertex or duplicated vertex in some outline.");
    }
  }
  return OK();
}

Result<void> OutlinesIntersections2D::RecordVertices() {
  Int first = 0;
  for (Int o = 0; o < outlines_.GetCount(); ++o) {
    const Int count = outlines_[o].GetCount();
    for (Int i = 0; i < count; ++i) {
      const Int previous = first + (i == 0 ? count - 1 : i - 1);
      const Int next = first + (i + 1 == count ? 0 : i + 1);
      ZEMOX_TRY(vertexRecords_.Append({o, i, previous, next, nullptr, nullptr}));
    }
    first += count;
  }
  return OK();
}

// 32-bit linear congruential generator: a value in [0, 1).
Float OutlinesIntersections2D::NextJitter() {
  generatorState_ = generatorState_ * generatorMultiplier + 1;
  return std::ldexp(static_cast<Float>(generatorState_), -32);
}

SegmentKey OutlinesIntersections2D::KeyOf(Int first, Int second) const {
  if (Compare(first, second) == COMPARERESULT::LESS) return {first, second};
  return {second, first};
}

// A segment starts at the vertex when the vertex is its lexicographically smaller end. Both may
// start, both end, or one end and the other start there.
Result<void> OutlinesIntersections2D::VisitVertex(Int vertex) {
  const VertexRecord& record = vertexRecords_[vertex];
  const SegmentKey previous = KeyOf(vertex, record.previous);
  const SegmentKey next = KeyOf(vertex, record.next);
  const Bool previousStarts = previous.start == vertex;
  const Bool nextStarts = next.start == vertex;
  if (previousStarts && nextStarts) return StartBoth(previous, next);
  if (!previousStarts && !nextStarts) return EndBoth(vertex);
  return EndOneStartOne(vertex, previousStarts ? previous : next);
}

Result<void> OutlinesIntersections2D::StartBoth(const SegmentKey& previous, const SegmentKey& next) {
  SegmentNode* const first = ZEMOX_TRY(status_.Insert(previous));
  SegmentNode* const second = ZEMOX_TRY(status_.Insert(next));
  if (first == second)
    return ZEMOX_ERROR_IN(operationName, IllegalStateError,
                          "@: Two adjacent outline segments overlap or nearly overlap.");
  ZEMOX_TRY(CheckInserted(first, previous));
  ZEMOX_TRY(CheckInserted(second, next));
  ZEMOX_TRY(CacheSegment(first));
  ZEMOX_TRY(CacheSegment(second));
  SegmentNode* lower = nullptr;
  SegmentNode* upper = nullptr;
  if (status_.GetNext(first) == second) {
    lower = first;
    upper = second;
  } else if (status_.GetNext(second) == first) {
    lower = second;
    upper = first;
  } else {
    return ZEMOX_ERROR_IN(
        operationName, IllegalStateError,
        "@: Sweep line status is invalid: Two adjacent outline segments are not adjacent in the status after "
        "insertion.");
  }
  ZEMOX_TRY(TryBelow(lower));
  return TryAbove(upper);
}

// Removing the two segments makes the segments around them neighbours.
Result<void> OutlinesIntersections2D::EndBoth(Int vertex) {
  VertexRecord& record = vertexRecords_[vertex];
  if (!status_.IsNode(record.slot0) || !status_.IsNode(record.slot1)) return MissingSegment();
  ZEMOX_TRY(status_.Erase(std::exchange(record.slot0, nullptr)));
  SegmentNode* const above = ZEMOX_TRY(status_.EraseAndGetNext(std::exchange(record.slot1, nullptr)));
  if (!status_.IsNode(above)) return OK();
  return TryBelow(above);
}

Result<void> OutlinesIntersections2D::EndOneStartOne(Int vertex, const SegmentKey& starting) {
  VertexRecord& record = vertexRecords_[vertex];
  if (!status_.IsNode(record.slot0)) return MissingSegment();
  ZEMOX_TRY(status_.Erase(std::exchange(record.slot0, nullptr)));
  SegmentNode* const node = ZEMOX_TRY(status_.Insert(starting));
  ZEMOX_TRY(CheckInserted(node, starting));
  ZEMOX_TRY(CacheSegment(node));
  ZEMOX_TRY(TryBelow(node));
  return TryAbove(node);
}

// The status answers with an existing node when the order cannot tell the new segment from it, which
// only an orientation without sign (a non-finite coordinate) does. Caching that node a second time
// would leave a slot pointing at it after its removal.
Result<void> OutlinesIntersections2D::CheckInserted(const SegmentNode* node, const SegmentKey& key) const {
  if (SameKey(node->key, key)) return OK();
  return ZEMOX_ERROR_IN(operationName, IllegalArgumentError,
                        "@: Endpoint of one segment is too close to another segment, unsupported case.");
}

// At a crossing the two segments change places: their nodes exchange keys instead of leaving and
// re-entering the status, and the end vertices' slots follow the keys.
Result<void> OutlinesIntersections2D::VisitCrossing(Int crossing) {
  const IntersectionRecord record = intersections_[crossing - vertexRecords_.GetCount()];
  SegmentNode** const lowerSlot = ZEMOX_TRY(FindSlot(record.lower));
  SegmentNode** const upperSlot = ZEMOX_TRY(FindSlot(record.upper));
  SegmentNode* const lower = *lowerSlot;
  SegmentNode* const upper = *upperSlot;
  std::swap(lower->key, upper->key);
  std::swap(*lowerSlot, *upperSlot);
  ZEMOX_TRY(TryBelow(lower));
  return TryAbove(upper);
}

// The slot of the segment's end vertex that holds the segment's node.
Result<OutlinesIntersections2D::SegmentNode**> OutlinesIntersections2D::FindSlot(const SegmentKey& key) {
  VertexRecord& record = vertexRecords_[key.end];
  for (SegmentNode** slot : {&record.slot0, &record.slot1})
    if (status_.IsNode(*slot) && SameKey((*slot)->key, key)) return slot;
  return MissingSegment();
}

Result<void> OutlinesIntersections2D::CacheSegment(SegmentNode* node) {
  if (!status_.IsNode(node)) return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: Segment node is invalid.");
  VertexRecord& record = vertexRecords_[node->key.end];
  if (record.slot0 == nullptr) {
    record.slot0 = node;
  } else if (record.slot1 == nullptr) {
    record.slot1 = node;
  } else {
    return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: More that two segments end at an outline point.");
  }
  return OK();
}

Result<void> OutlinesIntersections2D::TryBelow(SegmentNode* node) {
  SegmentNode* const below = status_.GetPrevious(node);
  if (!status_.IsNode(below)) return OK();
  ZEMOX_TRY(TryInsertIntersectionEvent(below, node));
  return OK();
}

Result<void> OutlinesIntersections2D::TryAbove(SegmentNode* node) {
  SegmentNode* const above = status_.GetNext(node);
  if (!status_.IsNode(above)) return OK();
  ZEMOX_TRY(TryInsertIntersectionEvent(node, above));
  return OK();
}

Result<Bool> OutlinesIntersections2D::TryInsertIntersectionEvent(SegmentNode* lower, SegmentNode* upper) {
  if (!status_.IsNode(lower) || !status_.IsNode(upper)) return MissingSegment();
  const SegmentKey& a = lower->key;
  const SegmentKey& b = upper->key;
  // Consecutive segments of an outline meet at their shared vertex, which is no crossing.
  if (a.start == b.start || a.end == b.end) return false;
  // The same pair must give the bitwise same point whenever it is tested again, so the arguments
  // come in a fixed order.
  const Bool aFirst = a.start < b.start;
  const SegmentKey& first = aFirst ? a : b;
  const SegmentKey& second = aFirst ? b : a;
  Vector2d point;
  if (!GeometryUtilsImpl::IntersectSegments2D(points_[first.start], points_[first.end], points_[second.start],
                                              points_[second.end], point, 0.0))
    return false;
  return QueueCrossing(a, b, point);
}

Result<Bool> OutlinesIntersections2D::QueueCrossing(const SegmentKey& lower, const SegmentKey& upper,
                                                    const Vector2d& point) {
  const Int index = points_.GetCount();
  ZEMOX_TRY(points_.Append(point));
  const PointNode* queued = ZEMOX_TRY(eventQueue_.Insert(index));
  const Int existing = queued->key;
  if (existing != index) {
    points_.Pop();
    const Int vertexCount = vertexRecords_.GetCount();
    if (existing < vertexCount)
      return ZEMOX_ERROR_IN(operationName, IllegalArgumentError,
                            "@: A new intersection point coincides with an existing outline point.");
    const IntersectionRecord& found = intersections_[existing - vertexCount];
    const Bool samePair = (SameKey(found.lower, lower) && SameKey(found.upper, upper)) ||
                          (SameKey(found.lower, upper) && SameKey(found.upper, lower));
    if (samePair) return false;
    return ZEMOX_ERROR_IN(operationName, IllegalArgumentError,
                          "@: A new intersection point coincides with an existing intersection point.");
  }
  ZEMOX_TRY(intersections_.Append({lower, upper}));
  ZEMOX_TRY(crossingQueue_.Insert(index));
  return true;
}

COMPARERESULT OutlinesIntersections2D::Compare(Int probe, Int node) const {
  return CompareLexicographic(points_[probe], points_[node]);
}

// The probe enters the status at its start, the current sweep vertex (or, for two segments starting
// there, at its end): it lies above a status segment when that point is to the left of the segment
// directed from its start to its end.
Result<COMPARERESULT> OutlinesIntersections2D::Compare(const SegmentKey& probe, const SegmentKey& node) const {
  Int side = probe.start;
  if (probe.start == node.start) {
    if (probe.end == node.end) return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Segments are identical.");
    side = probe.end;
  }
  const Float turn = ExactPredicates2DImpl::Orient(points_[node.start], points_[node.end], points_[side]);
  if (std::fabs(turn) < orientationThreshold)
    return ZEMOX_ERROR_IN(operationName, IllegalArgumentError,
                          "@: Endpoint of one segment is too close to another segment, unsupported case.");
  if (turn < 0) return COMPARERESULT::LESS;
  if (turn > 0) return COMPARERESULT::GREATER;
  return COMPARERESULT::EQUAL;
}

// The record of the vertex from which the segment leaves in outline order: its vertex index is the
// segment's index within the outline.
const OutlinesIntersections2D::VertexRecord& OutlinesIntersections2D::SegmentOwner(const SegmentKey& key) const {
  const VertexRecord& start = vertexRecords_[key.start];
  return start.next == key.end ? start : vertexRecords_[key.end];
}

Result<void> OutlinesIntersections2D::GetIntersections(BaseArray<Vector2d>& crossingPoints,
                                                       BaseArray<IndexPair>& segmentPairs,
                                                       BaseArray<IndexPair>* outlinePairs) const {
  if (intersections_.GetCount() != crossingQueue_.GetCount())
    return ZEMOX_ERROR(IllegalStateError, "@: Sizes of output arrays differ.");
  const Int count = intersections_.GetCount();
  crossingPoints.Reset();
  segmentPairs.Reset();
  ZEMOX_TRY(crossingPoints.EnsureCapacity(points_.GetCount() - vertexRecords_.GetCount()));
  ZEMOX_TRY(segmentPairs.EnsureCapacity(count));
  if (outlinePairs != nullptr) {
    outlinePairs->Reset();
    ZEMOX_TRY(outlinePairs->EnsureCapacity(count));
  }
  for (PointNode* node = crossingQueue_.GetFirst(); crossingQueue_.IsNode(node); node = crossingQueue_.GetNext(node)) {
    const IntersectionRecord& record = intersections_[node->key - vertexRecords_.GetCount()];
    const VertexRecord& lower = SegmentOwner(record.lower);
    const VertexRecord& upper = SegmentOwner(record.upper);
    ZEMOX_TRY(crossingPoints.Append(points_[node->key]));
    ZEMOX_TRY(segmentPairs.Append({lower.vertex, upper.vertex}));
    if (outlinePairs != nullptr) ZEMOX_TRY(outlinePairs->Append({lower.outline, upper.outline}));
  }
  return OK();
}

}  // namespace zemox
