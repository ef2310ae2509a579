#include "separateselfintersectingoutline2d.h"

#include <algorithm>
#include <cmath>

#include "portability.h"

namespace zemox {
namespace {

// How far the two copies of a crossing move apart, each into its own corner: far above the rounding
// of scene coordinates, far below their feature size.
constexpr Float crossingOffset = 1e-7;
// Crossings closer than this are looked at together when their copies move apart.
constexpr Float crossingNeighbourhood = 1e-5;

Vector2d Normalized(const Vector2d& vector) {
  const Float length = std::sqrt(Dot(vector, vector));
  if (length == 0.0) return {};
  return vector * (1.0 / length);
}

}  // namespace

Result<void> SeparateSelfIntersectingOutline2D::Init(Block<const Vector2d> outlinePoints, Block<const Vector2d> points,
                                                     Block<const IndexPair> segments) {
  if (points.IsEmpty() || points.GetCount() != segments.GetCount())
    return ZEMOX_ERROR(IllegalArgumentError, "@: Intersection points arrays are epmty or their size differ.");
  outline_ = outlinePoints;
  crossingPoints_ = points;
  crossingSegments_ = segments;
  ZEMOX_TRY(Link());
  ZEMOX_TRY(ComputeOffsets());
  return FindLoops();
}

Result<void> SeparateSelfIntersectingOutline2D::Link() {
  const Int n = VertexCount();
  const Int m = crossingPoints_.GetCount();
  ZEMOX_TRY(next_.Resize(n + 2 * m));
  for (Int i = 0; i < n; ++i) next_[i] = i + 1 == n ? 0 : i + 1;
  for (Int i = n; i < n + 2 * m; ++i) next_[i] = -1;
  BaseArray<SegmentCrossing> onSegments;
  ZEMOX_TRY(CollectSegmentCrossings(onSegments));
  ZEMOX_TRY(firstSegment_.Resize(m));
  std::fill(firstSegment_.begin(), firstSegment_.end(), -1);
  // Segments in ascending index order, each with its crossings in a run.
  Int runStart = 0;
  for (Int i = 1; i <= onSegments.GetCount(); ++i) {
    if (i < onSegments.GetCount() && onSegments[i].segment == onSegments[runStart].segment) continue;
    LinkSegment(onSegments.ToBlock().Slice(runStart, i - runStart));
    runStart = i;
  }
  return OK();
}

// Each segment's crossings are ordered by their parameter along the segment, not by their (x, y)
// order: the crossing points carry the sweep's jitter, so along a vertical segment their x order is
// noise, which would link the crossings out of order and give loops that cross themselves.
Result<void> SeparateSelfIntersectingOutline2D::CollectSegmentCrossings(BaseArray<SegmentCrossing>& onSegments) const {
  const Int n = VertexCount();
  const Int m = crossingPoints_.GetCount();
  ZEMOX_TRY(onSegments.EnsureCapacity(2 * m));
  for (Int j = 0; j < m; ++j) {
    for (const Int segment : {crossingSegments_[j].first, crossingSegments_[j].second}) {
      if (segment < 0 || segment >= n)
        return ZEMOX_ERROR_IN("Init", IllegalArgumentError, "@: Crossing segment index out of range.");
      const Vector2d& start = outline_[segment];
      const Vector2d direction = outline_[segment + 1 == n ? 0 : segment + 1] - start;
      ZEMOX_TRY(onSegments.Append({segment, Dot(crossingPoints_[j] - start, direction), j}));
    }
  }
  std::sort(onSegments.begin(), onSegments.end(), [](const SegmentCrossing& a, const SegmentCrossing& b) {
    if (a.segment != b.segment) return a.segment < b.segment;
    if (a.parameter != b.parameter) return a.parameter < b.parameter;
    return a.crossing < b.crossing;
  });
  return OK();
}

// Walks one segment from its start through its crossings. Arriving at a crossing along either of its
// segments, the path continues along the other one, in that segment's direction.
void SeparateSelfIntersectingOutline2D::LinkSegment(Block<const SegmentCrossing> crossings) {
  const Int n = VertexCount();
  const Int segment = crossings[0].segment;
  Int previous = segment;
  for (const SegmentCrossing& entry : crossings) {
    const Int j = entry.crossing;
    const Bool reachedFirst = firstSegment_[j] == -1;
    if (reachedFirst) firstSegment_[j] = segment;
    const Int in = n + 2 * j + (reachedFirst ? 0 : 1);
    const Int out = n + 2 * j + (reachedFirst ? 1 : 0);
    next_[previous] = in;
    previous = out;
  }
  next_[previous] = segment + 1 == n ? 0 : segment + 1;
}

// Node n + 2j is entered along the first segment f and left along the other one o, so the corner it
// turns lies between -uf and uo, in the direction uo - uf; node n + 2j + 1 turns the opposite corner.
Result<void> SeparateSelfIntersectingOutline2D::ComputeOffsets() {
  const Int n = VertexCount();
  const Int m = crossingPoints_.GetCount();
  const auto direction = [&](Int segment) {
    return Normalized(outline_[segment + 1 == n ? 0 : segment + 1] - outline_[segment]);
  };
  BaseArray<Float> clearances;
  ZEMOX_TRY(Clearances(clearances));
  ZEMOX_TRY(offsetPoints_.Resize(2 * m));
  for (Int j = 0; j < m; ++j) {
    const Int first = firstSegment_[j];
    const Int other = crossingSegments_[j].first == first ? crossingSegments_[j].second : crossingSegments_[j].first;
    const Vector2d offset =
        Normalized(direction(other) - direction(first)) * std::min(crossingOffset, 0.25 * clearances[j]);
    offsetPoints_[2 * j] = crossingPoints_[j] + offset;
    offsetPoints_[2 * j + 1] = crossingPoints_[j] - offset;
  }
  firstSegment_.Flush();
  return OK();
}

// Where three or more edges cross at one point, the sweep's jitter splits it into crossings a hair
// apart, and copies a full offset away from one would cross the edges through the next. Per crossing:
// how close another crossing, or the line of one of its segments that does not pass this crossing,
// comes (infinite when none is within the neighbourhood). The lines run through the crossings found
// on them, which carry the jitter, not through the outline's vertices.
Result<void> SeparateSelfIntersectingOutline2D::Clearances(BaseArray<Float>& clearances) const {
  const Int n = VertexCount();
  const Int m = crossingPoints_.GetCount();
  ZEMOX_TRY(clearances.Resize(m));
  std::fill(clearances.begin(), clearances.end(), INFINITY);
  BaseArray<Int> byX;
  ZEMOX_TRY(byX.Resize(m));
  for (Int j = 0; j < m; ++j) byX[j] = j;
  std::sort(byX.begin(), byX.end(), [&](Int l, Int r) { return crossingPoints_[l].x < crossingPoints_[r].x; });
  const auto lineDistance = [&](const Vector2d& point, const Vector2d& through, Int segment) {
    const Vector2d u = Normalized(outline_[segment + 1 == n ? 0 : segment + 1] - outline_[segment]);
    return std::fabs(Cross(u, point - through));
  };
  for (Int k = 0; k < m; ++k) {
    for (Int l = k + 1; l < m; ++l) {
      const Int i = byX[k], j = byX[l];
      const Vector2d &p = crossingPoints_[i], &q = crossingPoints_[j];
      if (q.x - p.x > crossingNeighbourhood) break;
      if (std::fabs(q.y - p.y) > crossingNeighbourhood) continue;
      const Float apart = std::sqrt(Dot(q - p, q - p));
      clearances[i] = std::min(clearances[i], apart);
      clearances[j] = std::min(clearances[j], apart);
      const IndexPair &si = crossingSegments_[i], &sj = crossingSegments_[j];
      for (const Int segment : {sj.first, sj.second})
        if (segment != si.first && segment != si.second)
          clearances[i] = std::min(clearances[i], lineDistance(p, q, segment));
      for (const Int segment : {si.first, si.second})
        if (segment != sj.first && segment != sj.second)
          clearances[j] = std::min(clearances[j], lineDistance(q, p, segment));
    }
  }
  return OK();
}

Result<void> SeparateSelfIntersectingOutline2D::FindLoops() {
  const Int n = VertexCount();
  const Int crossingNodes = NodeCount() - n;
  BaseArray<Bool> visited;
  ZEMOX_TRY(visited.Resize(crossingNodes));
  std::fill(visited.begin(), visited.end(), false);
  loopStarts_.Reset();
  loopLengths_.Reset();
  for (Int k = 0; k < crossingNodes; ++k) {
    if (visited[k]) continue;
    const Int start = n + k;
    Int length = 0;
    Int node = start;
    do {
      if (node >= n) visited[node - n] = true;
      ++length;
      node = next_[node];
      // Segment pairs that do not belong to this outline can leave a node unlinked or close a cycle
      // that misses the start.
      if (node < 0 || length > NodeCount())
        return ZEMOX_ERROR_IN("Init", IllegalArgumentError, "@: Crossing segments do not close into loops.");
    } while (node != start);
    ZEMOX_TRY(loopStarts_.Append(start));
    ZEMOX_TRY(loopLengths_.Append(length));
  }
  return OK();
}

const Vector2d& SeparateSelfIntersectingOutline2D::NodePoint(Int node) const {
  const Int n = VertexCount();
  if (node < n) return outline_[node];
  return crossingPoints_[(node - n) / 2];
}

Result<void> SeparateSelfIntersectingOutline2D::AppendNode(Int node, Bool useOffsets, BaseArray<Vector2d>& points,
                                                           BaseArray<Int>* sourceIndices) const {
  const Int n = VertexCount();
  const Bool isVertex = node < n;
  const Vector2d& point = isVertex || !useOffsets ? NodePoint(node) : offsetPoints_[node - n];
  ZEMOX_TRY(points.Append(point));
  if (sourceIndices != nullptr) ZEMOX_TRY(sourceIndices->Append(isVertex ? node : -1));
  return OK();
}

Result<void> SeparateSelfIntersectingOutline2D::Reserve(Int count, BaseArray<Vector2d>& points,
                                                        BaseArray<Int>* sourceIndices) {
  ZEMOX_TRY(points.EnsureCapacity(points.GetCount() + count));
  if (sourceIndices != nullptr) ZEMOX_TRY(sourceIndices->EnsureCapacity(sourceIndices->GetCount() + count));
  return OK();
}

Result<void> SeparateSelfIntersectingOutline2D::GetResult(Bool useOffsets, BaseArray<Vector2d>& points,
                                                          BaseArray<Int>& lengths,
                                                          BaseArray<Int>* sourceIndices) const {
  ZEMOX_TRY(Reserve(NodeCount(), points, sourceIndices));
  ZEMOX_TRY(lengths.EnsureCapacity(lengths.GetCount() + loopLengths_.GetCount()));
  for (const Int start : loopStarts_) {
    Int node = start;
    do {
      ZEMOX_TRY(AppendNode(node, useOffsets, points, sourceIndices));
      node = next_[node];
    } while (node != start);
  }
  return lengths.Append(loopLengths_.ToBlock());
}

}  // namespace zemox
