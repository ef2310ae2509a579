#include "outlinesintersectiontest2d.h"

#include <cmath>
#include <utility>

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

// LESS when the probe lies below, GREATER above, EQUAL for a zero sign (touching).
COMPARERESULT FromSign(Int32 sign) { return static_cast<COMPARERESULT>(sign); }

Error MissingSegment() {
  return ZEMOX_ERROR_IN(operationName, IllegalStateError, "@: Sweep line status misses a segment.");
}

}  // namespace

OutlinesIntersectionTest2D::OutlinesIntersectionTest2D() : status_(this), context_(ModulePredicateContext()) {}

Bool OutlinesIntersectionTest2D::SortsInParallel(Int vertexCount) {
  if (vertexCount < parallelSortMinimum) return false;
  const Job* job = GetCurrentJob();
  return job == nullptr || job->GetGroup() == nullptr;
}

Result<void> OutlinesIntersectionTest2D::Init(Block<const Block<const Vector2d>> outlines) {
  const Result<void> outcome = Run(outlines);
  const Result<void> reset = status_.IsInitialized() ? status_.Reset() : OK();
  vertices_.Flush();
  vertexOrder_.Flush();
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
  intersecting_ = false;
  ZEMOX_TRY(status_.Init());
  ZEMOX_TRY(CopyOutlines(outlines, vertexCount));
  ZEMOX_TRY(SortVertices());
  CheckDuplicates();
  if (intersecting_) return OK();
  ZEMOX_TRY(Renumber(outlines));
  vertexOrder_.Flush();
  return Sweep();
}

// The sort moves the vertices with their points; the vertices are set once their sweep numbers are
// known. A non-finite coordinate has no place in the sweep order and no orientation sign.
Result<void> OutlinesIntersectionTest2D::CopyOutlines(Block<const Block<const Vector2d>> outlines, Int vertexCount) {
  ZEMOX_TRY(vertexOrder_.Resize(vertexCount));
  if (vertexOrder_.GetCount() != vertexCount) return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  Bool allFinite = true;
  Int index = 0;
  for (const Block<const Vector2d>& outline : outlines) {
    for (const Vector2d& point : outline) {
      vertexOrder_[index] = {point, index};
      allFinite &= std::isfinite(point.x) && std::isfinite(point.y);
      ++index;
    }
  }
  if (!allFinite)
    return ZEMOX_ERROR_IN(operationName, IllegalArgumentError, "@: Input outline has a non-finite coordinate.");
  return OK();
}

Result<void> OutlinesIntersectionTest2D::SortVertices() {
  const Block<SortedVertex> order = vertexOrder_;
  if (SortsInParallel(order.GetCount())) return LexicographicalVertexSort<10000>{}.Sort(order);
  if (order.GetCount() <= 1) return OK();
  return LexicographicalVertexSort<1>{}.Sort(order);
}

// Equal points sort next to each other, so one pass finds every duplicated vertex, within an outline
// or across outlines.
void OutlinesIntersectionTest2D::CheckDuplicates() {
  for (Int i = 1; i < vertexOrder_.GetCount(); ++i) {
    if (SamePoint(vertexOrder_[i - 1].point, vertexOrder_[i].point)) {
      intersecting_ = true;
      return;
    }
  }
}

// Numbers the vertices by their sorted position: the sweep then visits them in number order, reads
// their points in that order, and compares two vertices by their numbers.
Result<void> OutlinesIntersectionTest2D::Renumber(Block<const Block<const Vector2d>> outlines) {
  const Int count = vertexOrder_.GetCount();
  ZEMOX_TRY(vertices_.Resize(count));
  BaseArray<Int> numbers;
  ZEMOX_TRY(numbers.Resize(count));
  if (vertices_.GetCount() != count || numbers.GetCount() != count)
    return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  for (Int i = 0; i < count; ++i) {
    numbers[vertexOrder_[i].index] = i;
    vertices_[i].point = vertexOrder_[i].point;
  }
  Int first = 0;
  for (const Block<const Vector2d>& outline : outlines) {
    const Int size = outline.GetCount();
    for (Int i = 0; i < size; ++i) {
      Vertex& vertex = vertices_[numbers[first + i]];
      vertex.previous = numbers[first + (i == 0 ? size : i) - 1];
      vertex.next = numbers[first + (i + 1 == size ? 0 : i + 1)];
    }
    first += size;
  }
  return OK();
}

// Vertices are visited in number order, but their neighbours and the nodes of their segments lie
// anywhere in memory: requesting those of the next vertex overlaps their fetch with this visit.
Result<void> OutlinesIntersectionTest2D::Sweep() {
  const Int count = vertices_.GetCount();
  for (Int vertex = 0; vertex < count; ++vertex) {
    if (vertex + 1 < count) PrefetchVisit(vertex + 1);
    ZEMOX_TRY(VisitVertex(vertex));
    if (intersecting_) return OK();
  }
  return OK();
}

// A prefetch never faults, so the vertex's segment node may still be null or about to be replaced.
void OutlinesIntersectionTest2D::PrefetchVisit(Int vertex) const {
  const Vertex& links = vertices_[vertex];
  ZEMOX_PREFETCH(&vertices_[links.previous]);
  ZEMOX_PREFETCH(&vertices_[links.next]);
  ZEMOX_PREFETCH(links.segment);
}

// The two segments of a vertex either pass through the sweep line there (one ends, one starts), both
// start or both end at it. Segments that end leave the status before new ones enter, so a new segment
// is only compared with segments that continue beyond the vertex. The segment to the previous vertex
// belongs to that vertex, the one to the next vertex to this one.
Result<void> OutlinesIntersectionTest2D::VisitVertex(Int vertex) {
  const Vector2d& point = vertices_[vertex].point;
  const Int previousVertex = vertices_[vertex].previous;
  const Int nextVertex = vertices_[vertex].next;
  if (SamePoint(point, vertices_[previousVertex].point) || SamePoint(point, vertices_[nextVertex].point))
    return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  const Bool previousStarts = CompareVertices(vertex, previousVertex) == COMPARERESULT::LESS;
  const Bool nextStarts = CompareVertices(vertex, nextVertex) == COMPARERESULT::LESS;
  const SegmentKey previous = previousStarts ? SegmentKey{vertex, previousVertex} : SegmentKey{previousVertex, vertex};
  const SegmentKey next = nextStarts ? SegmentKey{vertex, nextVertex} : SegmentKey{nextVertex, vertex};
  if (!previousStarts && nextStarts) {
    ZEMOX_TRY(Remove(previousVertex, false));
    return TestAndInsert(next, vertex);
  }
  if (previousStarts && !nextStarts) {
    ZEMOX_TRY(Remove(vertex, false));
    return TestAndInsert(previous, previousVertex);
  }
  if (previousStarts) {
    ZEMOX_TRY(TestAndInsert(previous, previousVertex));
    if (intersecting_) return OK();
    return TestAndInsert(next, vertex);
  }
  return EndBothSegments(vertex);
}

// Removing the two segments that end at a vertex makes the segments around them neighbours, which
// have never been compared with each other.
Result<void> OutlinesIntersectionTest2D::EndBothSegments(Int vertex) {
  ZEMOX_TRY(Remove(vertices_[vertex].previous, false));
  Node* const above = ZEMOX_TRY(Remove(vertex, true));
  if (!status_.IsNode(above) || above == status_.GetFirst()) return OK();
  const Node* const below = status_.GetPrevious(above);
  const COMPARERESULT order = ZEMOX_TRY(Compare(below->key, above->key));
  intersecting_ = order == COMPARERESULT::EQUAL;
  return OK();
}

// Requests what the descent reads when it moves to `child`: the points of its key and its children.
void OutlinesIntersectionTest2D::PrefetchDescent(const Node* child) const {
  ZEMOX_PREFETCH(&vertices_[child->key.start].point);
  ZEMOX_PREFETCH(&vertices_[child->key.end].point);
  ZEMOX_PREFETCH(child->left);
  ZEMOX_PREFETCH(child->right);
}

// The in-order neighbours of a new segment lie on its descent path, so descending compares it with
// every segment it can touch now; any answer but below or above means contact. The descent has
// already decided the side of the last node, so the segment is linked there without comparing again.
Result<void> OutlinesIntersectionTest2D::TestAndInsert(const SegmentKey& key, Int owner) {
  Node* position = status_.GetHeader();
  COMPARERESULT side = COMPARERESULT::LESS;
  for (Node* node = status_.GetRoot(); status_.IsNode(node);) {
    position = node;
    // Large statuses outgrow the caches: fetching the grandchildren and the points of the children's
    // keys now overlaps the waits of the next steps with this comparison. The children themselves
    // were fetched one step earlier; the nil sentinel has a valid key.
    PrefetchDescent(node->left);
    PrefetchDescent(node->right);
    side = Order(key, node->key);
    if (side == COMPARERESULT::INCOMPARABLE) return ZEMOX_ERROR_IN(operationName, IllegalStateError);
    if (side == COMPARERESULT::EQUAL) {
      intersecting_ = true;
      return OK();
    }
    node = side == COMPARERESULT::LESS ? node->left : node->right;
  }
  vertices_[owner].segment = ZEMOX_TRY(status_.InsertAtSide(key, position, side));
  return OK();
}

// Takes a segment that ends at the current vertex out of the status. `owner` is the vertex whose
// segment to its next vertex this is. Returns the node that followed the segment (the tree's nil at the
// end); a removal through the stored node only looks it up when `following` asks for it.
Result<OutlinesIntersectionTest2D::Node*> OutlinesIntersectionTest2D::Remove(Int owner, Bool following) {
  Node* const node = std::exchange(vertices_[owner].segment, nullptr);
  if (node == nullptr) return MissingSegment();
  if (following) return status_.EraseAndGetNext(node);
  ZEMOX_TRY(status_.Erase(node));
  return status_.GetNil();
}

Result<COMPARERESULT> OutlinesIntersectionTest2D::Compare(const SegmentKey& probe, const SegmentKey& node) const {
  const COMPARERESULT order = Order(probe, node);
  if (order == COMPARERESULT::INCOMPARABLE) return ZEMOX_ERROR_IN(operationName, IllegalStateError);
  return order;
}

// As Compare, with INCOMPARABLE for two distinct vertices at the same point, which the duplicate
// check excludes before the sweep.
COMPARERESULT OutlinesIntersectionTest2D::Order(const SegmentKey& probe, const SegmentKey& node) const {
  if (probe.start == node.start) {
    if (probe.end == node.end) return COMPARERESULT::EQUAL;
    return FromSign(OrientSign(node.start, node.end, probe.end));
  }
  if (probe.end == node.end) return FromSign(OrientSign(node.start, node.end, probe.start));
  return OrderDisjointEnds(probe, node);
}

// Two segments without a shared end point: E starts first, L later. While both are in the status L's
// start lies within E's extent, so L's start on E's line means contact; otherwise they are apart exactly
// when their order where the first of them ends is still their order at L's start. The roles are picked
// by indexing rather than by branches, for the same reason as the signs.
COMPARERESULT OutlinesIntersectionTest2D::OrderDisjointEnds(const SegmentKey& probe, const SegmentKey& node) const {
  const COMPARERESULT startOrder = CompareVertices(probe.start, node.start);
  if (startOrder == COMPARERESULT::EQUAL) return COMPARERESULT::INCOMPARABLE;
  const Bool probeIsEarlier = startOrder == COMPARERESULT::LESS;
  const SegmentKey* const roles[2] = {&node, &probe};
  const SegmentKey earlier = *roles[probeIsEarlier];
  const SegmentKey later = *roles[!probeIsEarlier];
  const Int32 side = OrientSign(earlier.start, later.start, earlier.end);
  if (side == 0) return COMPARERESULT::EQUAL;
  const COMPARERESULT endOrder = CompareVertices(earlier.end, later.end);
  if (endOrder == COMPARERESULT::EQUAL) return COMPARERESULT::INCOMPARABLE;
  // Where E ends first, L's end against E's end seen from L's start; else E's end against L's end
  // seen from E's start.
  const Int farTriples[2][3] = {{earlier.start, later.end, earlier.end}, {earlier.end, later.start, later.end}};
  const Int* const farTriple = farTriples[endOrder == COMPARERESULT::LESS];
  const Int32 farSide = OrientSign(farTriple[0], farTriple[1], farTriple[2]);
  if (side != farSide) return COMPARERESULT::EQUAL;
  return FromSign(probeIsEarlier ? side : -side);
}

// Sweep order of two vertices: distinct points are ordered like their sweep numbers.
COMPARERESULT OutlinesIntersectionTest2D::CompareVertices(Int first, Int second) const {
  return FromSign(static_cast<Int32>(first > second) - static_cast<Int32>(first < second));
}

Int32 OutlinesIntersectionTest2D::OrientSign(Int a, Int b, Int c) const {
  const Float turn = orient2d(context_, vertices_[a].point, vertices_[b].point, vertices_[c].point);
  return static_cast<Int32>(turn > 0.0) - static_cast<Int32>(turn < 0.0);
}

}  // namespace zemox
