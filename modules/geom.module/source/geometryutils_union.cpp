// Union of two loops for the packing of 2D pieces: vertices snapped onto the other loop, the
// crossings of the two outlines, a graph of both loops on a fixed-point grid, and traces through it.

#include <algorithm>
#include <bit>
#include <cmath>
#include <utility>

#include "exactpredicates2d_impl.h"
#include "geom/degeneratedinputerror.h"
#include "geometryutils_impl.h"
#include "portability.h"

namespace zemox {
namespace {

using UnionUtilsInternal::GEOM_SNAP_DATA;
using UnionUtilsInternal::RELATIVE_TO_RANGE_STATE;
using Loops = BaseArray<BaseArray<Vector2d>>;

// Tolerances in scene units.
constexpr Float vertexSnapSquared = 1e-6;  // a vertex within 1e-3 of a vertex of the other loop
// The boxes of the loops are compared, and their overlap widened, by the reach of snapping: with a
// margin of only 1e-7, a loop lying 1e-4 beside the other's edge never gets its vertices snapped
// onto it, and a near-touching pair stays apart (its union empty) instead of touching.
constexpr Float overlapBoxMargin = 1e-3;
constexpr Float edgeSnapDistance = 1e-4;
constexpr Float segmentTolerance = 1e-5;
constexpr Float segmentEndSquared = 1e-10;
constexpr Float clusterSquared = 1e-7;
constexpr Float tracedPointSquared = 1e-6;
constexpr Float straightTurn = 0.0001;
// A point where one loop touches the other's edge lies on a traced edge this close to it.
constexpr Float touchReach = 1e-7;
// Grid of vertex identity: 1e-6 steps in 32 bits per coordinate.
constexpr Float gridScale = 1e6;
constexpr Float gridLimit = 2147.483;
// Candidate segment pairs are found on the input positions before snapping moves a vertex by up to
// 1e-3, so every segment box grows by twice that, and by the segment tolerance along the segment.
constexpr Float pairMargin = 2e-3;
// Halvings of a segment that passes a corner of the overlap box; after this many it passes within
// rounding of the corner and is taken.
constexpr Int maxHalvings = 64;
constexpr Float twoPi = 2.0 * M_PI;

struct Box {
  Vector2d min, max;
};

Box BoundsOf(Block<const Vector2d> points) {
  Box box{points[0], points[0]};
  for (const Vector2d& p : points) {
    box.min = {std::min(box.min.x, p.x), std::min(box.min.y, p.y)};
    box.max = {std::max(box.max.x, p.x), std::max(box.max.y, p.y)};
  }
  return box;
}

Bool BoxesOverlap(const Box& a, const Box& b) {
  return a.min.x <= b.max.x && b.min.x <= a.max.x && a.min.y <= b.max.y && b.min.y <= a.max.y;
}

Int32 OutCode(const Vector2d& p, const Box& box) {
  Int32 code = static_cast<Int32>(RELATIVE_TO_RANGE_STATE::INSIDE);
  if (p.x > box.max.x) code |= static_cast<Int32>(RELATIVE_TO_RANGE_STATE::OUTSIDE_POS_X);
  if (p.y > box.max.y) code |= static_cast<Int32>(RELATIVE_TO_RANGE_STATE::OUTSIDE_POS_Y);
  if (p.x < box.min.x) code |= static_cast<Int32>(RELATIVE_TO_RANGE_STATE::OUTSIDE_NEG_X);
  if (p.y < box.min.y) code |= static_cast<Int32>(RELATIVE_TO_RANGE_STATE::OUTSIDE_NEG_Y);
  return code;
}

// Conservative: a segment with both ends outside on different sides is halved until a half is
// inside or beyond one side.
Bool ReachesBox(const Vector2d& p, const Vector2d& q, const Box& box, Int halvings) {
  const Int32 codeP = OutCode(p, box), codeQ = OutCode(q, box);
  if ((codeP & codeQ) != 0) return false;
  if (codeP == 0 || codeQ == 0 || halvings == 0) return true;
  const Vector2d middle = (p + q) * 0.5;
  return ReachesBox(p, middle, box, halvings - 1) || ReachesBox(middle, q, box, halvings - 1);
}

Float MaxNorm(const Vector2d& v) { return std::max(std::fabs(v.x), std::fabs(v.y)); }

Float DirectionAngle(const Vector2d& v) { return std::atan2(v.y, v.x); }

// Angle in [0, 2 pi) by which `to` is reached from `from` turning counter-clockwise.
Float CounterClockwiseAngle(const Vector2d& from, const Vector2d& to) {
  Float angle = DirectionAngle(to) - DirectionAngle(from);
  if (angle < 0.0) angle += twoPi;
  return angle >= twoPi ? angle - twoPi : angle;
}

struct SnapEntry {
  Int vertex = 0;
  GEOM_SNAP_DATA state = GEOM_SNAP_DATA::GEOM_NO_SNAPPING;
  Bool snappedToVertex = false;  // packed next to the state
  Int target = -1;
  Vector2d position;
};

// One input loop and what the union knows of it in the overlap region.
struct OverlapLoop {
  explicit OverlapLoop(Block<const Vector2d> loopPoints) : points(loopPoints) {}

  Int Count() const { return points.GetCount(); }
  Int Next(Int vertex) const { return vertex + 1 == Count() ? 0 : vertex + 1; }

  SnapEntry* FindSnap(Int vertex) {
    SnapEntry* entry =
        std::lower_bound(snaps.begin(), snaps.end(), vertex, [](const SnapEntry& e, Int v) { return e.vertex < v; });
    return entry != snaps.end() && entry->vertex == vertex ? entry : nullptr;
  }
  void Snap(SnapEntry& entry, GEOM_SNAP_DATA state, Int target, const Vector2d& position) {
    entry.state = state;
    entry.target = target;
    entry.snappedToVertex = state == GEOM_SNAP_DATA::GEOM_SNAP_TO_VERTEX;
    entry.position = position;
    positions[entry.vertex] = position;
  }

  // Candidates in index order; their ends get snap entries, in vertex order.
  Result<void> CollectCandidates(const Box& box) {
    ZEMOX_TRY(positions.CopyFrom(points));
    // Reserved memory that stays unused costs no more than address space.
    ZEMOX_TRY(candidates.EnsureCapacity(Count()));
    BaseArray<Bool> isEnd;
    ZEMOX_TRY(isEnd.Resize(Count()));
    Int endCount = 0;
    for (Int i = 0; i < Count(); ++i) {
      if (!ReachesBox(points[i], points[Next(i)], box, maxHalvings)) continue;
      ZEMOX_TRY(candidates.Append(i));
      for (const Int vertex : {i, Next(i)}) {
        endCount += isEnd[vertex] ? 0 : 1;
        isEnd[vertex] = true;
      }
    }
    ZEMOX_TRY(snaps.EnsureCapacity(endCount));
    for (Int vertex = 0; vertex < Count(); ++vertex) {
      if (!isEnd[vertex]) continue;
      SnapEntry entry;
      entry.vertex = vertex;
      entry.position = points[vertex];
      ZEMOX_TRY(snaps.Append(entry));
    }
    return OK();
  }

  // Snapping and crossing are done and the positions keep what they decided: the memory goes back
  // for the graph to take.
  void ReleaseOverlapTables() {
    candidates.Flush();
    snaps.Flush();
  }

  Block<const Vector2d> points;
  BaseArray<Int> candidates;      // segments that reach the overlap box, ascending
  BaseArray<SnapEntry> snaps;     // ends of the candidates, by vertex
  BaseArray<Vector2d> positions;  // the snapped position where a vertex has one, else the given one
};

struct SegmentPair {
  Int segmentA, segmentB;
};

// The box a segment of the other loop must reach to be paired with it.
Box WidenedBox(const OverlapLoop& loop, Int segment) {
  const Vector2d& p = loop.points[segment];
  const Vector2d& q = loop.points[loop.Next(segment)];
  const Float margin = pairMargin + segmentTolerance * (std::fabs(q.x - p.x) + std::fabs(q.y - p.y));
  return {{std::min(p.x, q.x) - margin, std::min(p.y, q.y) - margin},
          {std::max(p.x, q.x) + margin, std::max(p.y, q.y) + margin}};
}

// Only the sweep order is kept per segment: the working memory of a large union is what it costs.
struct SweepItem {
  Float minX;
  Int32 segment;
  Bool ofB;
};

struct ActiveSegment {
  Box box;
  Int segment;
};

// Every pair of an A and a B candidate whose widened boxes overlap, ordered by A segment, then B
// segment: the order in which a test of all pairs would meet them. A sweep over x keeps this close to
// linear for loops of many short segments.
Result<BaseArray<SegmentPair>> FindCandidatePairs(const OverlapLoop& a, const OverlapLoop& b) {
  BaseArray<SweepItem> items;
  ZEMOX_TRY(items.EnsureCapacity(a.candidates.GetCount() + b.candidates.GetCount()));
  for (const OverlapLoop* loop : {&a, &b})
    for (const Int segment : loop->candidates)
      ZEMOX_TRY(items.Append(SweepItem{WidenedBox(*loop, segment).min.x, static_cast<Int32>(segment), loop == &b}));
  std::sort(items.begin(), items.end(), [](const SweepItem& l, const SweepItem& r) { return l.minX < r.minX; });
  BaseArray<SegmentPair> pairs;
  BaseArray<ActiveSegment> activeA, activeB;
  for (const SweepItem& item : items) {
    const ActiveSegment current{WidenedBox(item.ofB ? b : a, item.segment), item.segment};
    BaseArray<ActiveSegment>& others = item.ofB ? activeA : activeB;
    for (Int m = 0; m < others.GetCount();) {
      const ActiveSegment& other = others[m];
      if (other.box.max.x < current.box.min.x) {
        others[m] = others.GetLast();
        others.Pop();
        continue;
      }
      if (other.box.min.y <= current.box.max.y && current.box.min.y <= other.box.max.y)
        ZEMOX_TRY(pairs.Append(item.ofB ? SegmentPair{other.segment, current.segment}
                                        : SegmentPair{current.segment, other.segment}));
      ++m;
    }
    ZEMOX_TRY((item.ofB ? activeB : activeA).Append(current));
  }
  std::sort(pairs.begin(), pairs.end(), [](const SegmentPair& l, const SegmentPair& r) {
    return l.segmentA != r.segmentA ? l.segmentA < r.segmentA : l.segmentB < r.segmentB;
  });
  return pairs;
}

// Both get GEOM_SNAP_TO_VERTEX; a B vertex near several A vertices takes the last of them in A's
// order, and moves onto it.
void SnapVerticesToVertices(OverlapLoop& a, OverlapLoop& b, const BaseArray<SegmentPair>& pairs) {
  for (const SegmentPair& pair : pairs) {
    for (const Int vertexA : {pair.segmentA, a.Next(pair.segmentA)}) {
      for (const Int vertexB : {pair.segmentB, b.Next(pair.segmentB)}) {
        const Vector2d& pointA = a.points[vertexA];
        const Vector2d offset = pointA - b.points[vertexB];
        if (Dot(offset, offset) > vertexSnapSquared) continue;
        for (OverlapLoop* loop : {&a, &b}) {
          SnapEntry* entry = loop->FindSnap(loop == &a ? vertexA : vertexB);
          if (entry->state == GEOM_SNAP_DATA::GEOM_SNAP_TO_VERTEX && entry->target > vertexA) continue;
          loop->Snap(*entry, GEOM_SNAP_DATA::GEOM_SNAP_TO_VERTEX, vertexA, pointA);
        }
      }
    }
  }
}

// The foot of p on the segment (s, e) when it falls strictly inside it within edgeSnapDistance. A
// point exactly on the segment is its own foot: the rounded projection would move it off the edge
// and turn a vertex that touches the other loop into a tiny crossing.
Bool FootOnEdge(const Vector2d& p, const Vector2d& s, const Vector2d& e, Vector2d& foot) {
  const Vector2d d = e - s;
  const Float length = std::hypot(d.x, d.y);
  if (length == 0.0) return false;
  const Vector2d unit = d * (1.0 / length);
  const Float t = Dot(p - s, unit) / length;
  if (!(t > 0.0 && t < 1.0) || std::fabs(Cross(unit, p - s)) > edgeSnapDistance) return false;
  foot = ExactPredicates2DImpl::Orient(s, e, p) == 0.0 ? p : s + d * t;
  return true;
}

// Vertices of `moving` not yet snapped go onto the first segment of `fixed` (in index order) that
// lies close enough; ofB says which loop of a pair `moving` is.
void SnapVerticesOntoEdges(OverlapLoop& moving, const OverlapLoop& fixed, const BaseArray<SegmentPair>& pairs,
                           Bool movingIsB) {
  for (const SegmentPair& pair : pairs) {
    const Int movingSegment = movingIsB ? pair.segmentB : pair.segmentA;
    const Int fixedSegment = movingIsB ? pair.segmentA : pair.segmentB;
    const Vector2d s = fixed.positions[fixedSegment], e = fixed.positions[fixed.Next(fixedSegment)];
    for (const Int vertex : {movingSegment, moving.Next(movingSegment)}) {
      SnapEntry* entry = moving.FindSnap(vertex);
      const Bool open = entry->state == GEOM_SNAP_DATA::GEOM_NO_SNAPPING ||
                        (entry->state == GEOM_SNAP_DATA::GEOM_SNAP_TO_EDGE && fixedSegment < entry->target);
      Vector2d foot;
      if (!open || !FootOnEdge(moving.points[vertex], s, e, foot)) continue;
      moving.Snap(*entry, GEOM_SNAP_DATA::GEOM_SNAP_TO_EDGE, fixedSegment, foot);
    }
  }
}

struct CrossingRecord {
  Int segmentA = 0;
  Int segmentB = 0;
  Vector2d point;
  Float distanceA = 0.0;
  Float distanceB = 0.0;
  Bool overlap = false;
  Bool turnsRight = false;
  Bool turnsLeft = false;
  Int32 endpointBits = 0;
  Bool ignored = false;
  Bool clusterOfFour = false;
};

// Middle of the stretch two collinear segments PQ and RS share. Its ends are segment ends lying on
// the other segment, chosen by their parameter along PQ: the corners of the intersection of the two
// segments' boxes lie on neither segment when the segments fall from left to right.
Vector2d OverlapMiddle(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  const Vector2d d = q - p;
  const Float lengthSquared = Dot(d, d);
  const Float tR = Dot(r - p, d) / lengthSquared, tS = Dot(s - p, d) / lengthSquared;
  Vector2d low = p, high = q;
  if (std::min(tR, tS) > 0.0) low = tR < tS ? r : s;
  if (std::max(tR, tS) < 1.0) high = tR < tS ? s : r;
  return (low + high) * 0.5;
}

Int32 EndpointBits(const Vector2d& point, const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  Int32 bits = 0;
  const Vector2d ends[] = {p, q, r, s};
  for (Int32 bit = 0; bit < 4; ++bit) {
    const Vector2d offset = point - ends[bit];
    if (Dot(offset, offset) <= segmentEndSquared) bits |= 1 << bit;
  }
  return bits;
}

// The crossing record of two candidate segments at their snapped positions, if they meet.
Bool MeetSegments(const OverlapLoop& a, const OverlapLoop& b, const SegmentPair& pair, CrossingRecord& record) {
  const Vector2d p = a.positions[pair.segmentA], q = a.positions[a.Next(pair.segmentA)];
  const Vector2d r = b.positions[pair.segmentB], s = b.positions[b.Next(pair.segmentB)];
  Vector2d point;
  Bool parallel = false;
  if (!GeometryUtilsImpl::IntersectsSegmentsExact2D(p, q, r, s, point, parallel, nullptr, segmentTolerance))
    return false;
  record.segmentA = pair.segmentA;
  record.segmentB = pair.segmentB;
  record.overlap = parallel;
  if (parallel) {
    record.point = OverlapMiddle(p, q, r, s);
  } else {
    record.point = point;
    record.turnsRight = GeometryUtilsImpl::GetAngle2D(q - p, s - r) > 0.0;
    record.turnsLeft = !record.turnsRight;
  }
  record.distanceA = MaxNorm(record.point - p);
  record.distanceB = MaxNorm(record.point - r);
  record.endpointBits = EndpointBits(record.point, p, q, r, s);
  return true;
}

// The segments of one loop at a cluster form a run (the last and the first segment are
// consecutive); the loop's vertices before and after the cluster are the run's outer ends.
struct Run {
  Int before, after;
};

Run RunOf(const Int* segments, Int count, const OverlapLoop& loop) {
  const auto contains = [&](Int segment) { return std::find(segments, segments + count, segment) != segments + count; };
  Run run{*std::min_element(segments, segments + count), loop.Next(*std::max_element(segments, segments + count))};
  for (Int k = 0; k < count; ++k) {
    if (!contains((segments[k] + loop.Count() - 1) % loop.Count())) run.before = segments[k];
    if (!contains(loop.Next(segments[k]))) run.after = loop.Next(segments[k]);
  }
  return run;
}

// True when the loops only touch at the point: around it the edges of A and B do not alternate, or two
// of them leave in the same direction.
Bool OnlyTouch(const Vector2d& point, const OverlapLoop& a, const Run& runA, const OverlapLoop& b, const Run& runB) {
  struct Direction {
    Float angle;
    Bool ofA;
  };
  Direction directions[] = {{DirectionAngle(a.positions[runA.before] - point), true},
                            {DirectionAngle(b.positions[runB.before] - point), false},
                            {DirectionAngle(a.positions[runA.after] - point), true},
                            {DirectionAngle(b.positions[runB.after] - point), false}};
  std::sort(std::begin(directions), std::end(directions), [](const Direction& l, const Direction& r) {
    return l.angle != r.angle ? l.angle < r.angle : (!l.ofA && r.ofA);
  });
  for (Int k = 0; k + 1 < 4; ++k)
    if (directions[k].angle == directions[k + 1].angle) return true;
  return directions[0].ofA != directions[2].ofA;
}

// A node of the graph: one per grid key. Indices are 32-bit (a graph of 2^31 nodes would not fit in
// memory anyway): the nodes are most of the union's working memory.
struct GraphNode {
  Vector2d position;
  UInt key = 0;
  Int32 vertexA = -1;
  Int32 vertexB = -1;
  Int32 nextA = -1, nextB = -1, previousA = -1, previousB = -1;
  Bool isCrossing = false;
  Bool used = false;
  // Where the outlines cross properly (not along a shared stretch): whether A's outgoing edge leaves
  // B, which makes A's successor the one on the union's outline.
  Bool crossesProperly = false;
  Bool aLeavesB = false;
  // A node whose outgoing edges were found to lie inside or along the other loop.
  Bool noOutlineEdge = false;
};

enum class Chain { A, B };

Chain Other(Chain chain) { return chain == Chain::A ? Chain::B : Chain::A; }
Int Successor(const GraphNode& node, Chain chain) { return chain == Chain::A ? node.nextA : node.nextB; }
Int Predecessor(const GraphNode& node, Chain chain) { return chain == Chain::A ? node.previousA : node.previousB; }
Bool OnBothChains(const GraphNode& node) { return node.nextA >= 0 && node.nextB >= 0; }

Result<UInt> GridKey(const Vector2d& p) {
  if (!(std::fabs(p.x) <= gridLimit && std::fabs(p.y) <= gridLimit))
    return ZEMOX_ERROR(IllegalArgumentError, "Position outside of uniquely representable range");
  const UInt x = static_cast<UInt32>(static_cast<Int32>(p.x * gridScale));
  const UInt y = static_cast<UInt32>(static_cast<Int32>(p.y * gridScale));
  return x << 32 | y;
}

// Open addressing from grid keys to node indices.
class NodeTable {
 public:
  Result<void> Init(Int expectedCount) {
    Int size = 16;
    while (size < 2 * expectedCount) size *= 2;
    ZEMOX_TRY(slots_.Resize(size));
    std::fill(slots_.begin(), slots_.end(), -1);
    mask_ = static_cast<UInt>(size - 1);
    shift_ = 64 - std::countr_zero(static_cast<UInt>(size));
    return OK();
  }
  // The slot of the key: its node index, or -1 where the node is to be entered. The top bits of the
  // product mix both halves of the key (x lies in its upper half).
  Int32& Slot(UInt key, const BaseArray<GraphNode>& nodes) {
    UInt slot = key * 0x9E3779B97F4A7C15ull >> shift_;
    while (slots_[static_cast<Int>(slot)] >= 0 && nodes[slots_[static_cast<Int>(slot)]].key != key)
      slot = (slot + 1) & mask_;
    return slots_[static_cast<Int>(slot)];
  }

 private:
  BaseArray<Int32> slots_;
  UInt mask_ = 0;
  Int shift_ = 0;
};

constexpr const char* duplicateVertexMessage =
    "Loop contains duplicate sequential vertices or self-contact points, which need cleanup";

// Exactly on the closed segment ab.
Bool OnSegment(const Vector2d& point, const Vector2d& a, const Vector2d& b) {
  return ExactPredicates2DImpl::Orient(a, b, point) == 0.0 && std::min(a.x, b.x) <= point.x &&
         point.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= point.y && point.y <= std::max(a.y, b.y);
}

// +1 strictly outside the loop, -1 strictly inside, 0 on its outline.
Int SideOf(const Vector2d& point, Block<const Vector2d> loop) {
  for (Int i = 0; i < loop.GetCount(); ++i)
    if (OnSegment(point, loop[i], loop[(i + 1) % loop.GetCount()])) return 0;
  return GeometryUtilsImpl::GetPointInPolygonWindingNumber2DExact(point, loop) == 0 ? 1 : -1;
}

// Within `reach` of the loop's outline.
Bool WithinReach(const Vector2d& point, Block<const Vector2d> loop, Float reach) {
  for (Int i = 0; i < loop.GetCount(); ++i) {
    const Vector2d s = loop[i], d = loop[(i + 1) % loop.GetCount()] - s;
    const Float t = std::clamp(Dot(point - s, d) / Dot(d, d), 0.0, 1.0);
    const Vector2d offset = point - (s + d * t);
    if (Dot(offset, offset) <= reach * reach) return true;
  }
  return false;
}

// Inside the corner of a clockwise loop at `corner`: strictly within the turn from the outgoing edge
// clockwise to the incoming one, where the loop's inside lies.
Bool InsideClockwiseCorner(const Vector2d& corner, const Vector2d& next, const Vector2d& previous,
                           const Vector2d& probe) {
  const Float toPrevious = CounterClockwiseAngle(previous - corner, next - corner);
  const Float toProbe = CounterClockwiseAngle(probe - corner, next - corner);
  return toProbe > 0.0 && toProbe < toPrevious;
}

Result<void> AppendCopy(Loops& loops, Block<const Vector2d> points) {
  BaseArray<Vector2d>* loop = ZEMOX_TRY(loops.AppendNew());
  return loop->CopyFrom(points);
}

class UnionBuilder {
 public:
  UnionBuilder(Block<const Vector2d> outlinePointsA, Block<const Vector2d> outlinePointsB)
      : a_(outlinePointsA), b_(outlinePointsB) {}

  Result<Loops> Run(Bool includeHolesInResult, Bool createOuterLoop) {
    const Box boxA = BoundsOf(a_.points), boxB = BoundsOf(b_.points);
    const Box reachA{boxA.min - Vector2d{overlapBoxMargin, overlapBoxMargin},
                     boxA.max + Vector2d{overlapBoxMargin, overlapBoxMargin}};
    if (BoxesOverlap(reachA, boxB)) {
      const Box overlap{
          {std::max(boxA.min.x, boxB.min.x) - overlapBoxMargin, std::max(boxA.min.y, boxB.min.y) - overlapBoxMargin},
          {std::min(boxA.max.x, boxB.max.x) + overlapBoxMargin, std::min(boxA.max.y, boxB.max.y) + overlapBoxMargin}};
      ZEMOX_TRY(FindCrossings(overlap));
      ZEMOX_TRY(MarkTouchingClusters());
    }
    BaseArray<Int> effective;
    for (Int r = 0; r < records_.GetCount(); ++r)
      if (!records_[r].ignored) ZEMOX_TRY(effective.Append(r));
    if (effective.IsEmpty()) return WithoutCrossings(createOuterLoop);
    ZEMOX_TRY(BuildGraph(effective));
    return TraceLoops(includeHolesInResult, createOuterLoop);
  }

 private:
  Result<void> FindCrossings(const Box& overlap) {
    ZEMOX_TRY(a_.CollectCandidates(overlap));
    ZEMOX_TRY(b_.CollectCandidates(overlap));
    const BaseArray<SegmentPair> pairs = ZEMOX_TRY(FindCandidatePairs(a_, b_));
    SnapVerticesToVertices(a_, b_, pairs);
    SnapVerticesOntoEdges(a_, b_, pairs, false);
    SnapVerticesOntoEdges(b_, a_, pairs, true);
    for (const SegmentPair& pair : pairs) {
      CrossingRecord record;
      if (MeetSegments(a_, b_, pair, record)) ZEMOX_TRY(records_.Append(record));
    }
    a_.ReleaseOverlapTables();
    b_.ReleaseOverlapTables();
    return OK();
  }

  // Records within 3.2e-4 of a record's point are one event there. Two records are one loop's vertex
  // on the other's edge, four a vertex on a vertex; three are two loops meeting at a shared vertex of
  // a shared edge (the edge's own overlap record lies at its middle), which pieces placed edge to
  // edge always produce. All three are touches when the edges do not alternate around the point.
  Result<void> MarkTouchingClusters() {
    BaseArray<Int> byX;
    ZEMOX_TRY(byX.Resize(records_.GetCount()));
    for (Int r = 0; r < records_.GetCount(); ++r) byX[r] = r;
    std::sort(byX.begin(), byX.end(), [&](Int l, Int r) { return records_[l].point.x < records_[r].point.x; });
    BaseArray<Bool> clustered;
    ZEMOX_TRY(clustered.Resize(records_.GetCount()));
    const Float reach = std::sqrt(clusterSquared);
    for (Int r = 0; r < records_.GetCount(); ++r) {
      if (clustered[r]) continue;
      const Vector2d centre = records_[r].point;
      Int members[4] = {r};
      Int count = 1;
      const Int* first = std::lower_bound(byX.begin(), byX.end(), centre.x - reach,
                                          [&](Int index, Float x) { return records_[index].point.x < x; });
      for (const Int* k = first; k != byX.end() && records_[*k].point.x <= centre.x + reach; ++k) {
        const Vector2d offset = records_[*k].point - centre;
        if (*k <= r || clustered[*k] || Dot(offset, offset) > clusterSquared) continue;
        if (count == 4) return ZEMOX_ERROR(DegeneratedInputError);
        members[count++] = *k;
      }
      for (Int m = 0; m < count; ++m) clustered[members[m]] = true;
      if (count >= 2 && ClusterOnlyTouches(centre, members, count)) {
        for (Int m = 0; m < count; ++m) {
          records_[members[m]].ignored = true;
          records_[members[m]].clusterOfFour = count == 4;
        }
        if (count == 2) ZEMOX_TRY(KeepTouchPoint(records_[members[0]], records_[members[1]]));
      }
    }
    return OK();
  }

  // Two records are a vertex of one loop on the inside of the other's edge when they pair the vertex's
  // two segments with that one edge, at the vertex and away from the edge's ends.
  Result<void> KeepTouchPoint(const CrossingRecord& first, const CrossingRecord& second) {
    constexpr Int32 endsOfA = 0b0011, endsOfB = 0b1100;
    const Bool vertexOfA = first.segmentB == second.segmentB && first.segmentA != second.segmentA;
    const Bool vertexOfB = first.segmentA == second.segmentA && first.segmentB != second.segmentB;
    if (vertexOfA == vertexOfB) return OK();
    const Int32 ownEnds = vertexOfA ? endsOfA : endsOfB, otherEnds = vertexOfA ? endsOfB : endsOfA;
    for (const CrossingRecord* record : {&first, &second})
      if (!(record->endpointBits & ownEnds) || (record->endpointBits & otherEnds)) return OK();
    const OverlapLoop& loop = vertexOfA ? a_ : b_;
    const Int s1 = vertexOfA ? first.segmentA : first.segmentB, s2 = vertexOfA ? second.segmentA : second.segmentB;
    const Int vertex = loop.Next(s1) == s2 ? s2 : loop.Next(s2) == s1 ? s1 : -1;
    if (vertex < 0) return OK();
    return touchPoints_.Append(loop.positions[vertex]);
  }

  Bool ClusterOnlyTouches(const Vector2d& point, const Int* members, Int count) const {
    Int segmentsA[4], segmentsB[4];
    for (Int m = 0; m < count; ++m) {
      segmentsA[m] = records_[members[m]].segmentA;
      segmentsB[m] = records_[members[m]].segmentB;
    }
    return OnlyTouch(point, a_, RunOf(segmentsA, count, a_), b_, RunOf(segmentsB, count, b_));
  }

  Result<Loops> WithoutCrossings(Bool createOuterLoop) const {
    Loops loops;
    if (!createOuterLoop) return loops;
    const LOOP_OVERLAP_STATE state =
        GeometryUtilsImpl::GetContainmentStateForNonIntersectingLoops(a_.points, b_.points);
    if (state == LOOP_OVERLAP_STATE::B_INSIDE_A) ZEMOX_TRY(AppendCopy(loops, a_.points));
    if (state == LOOP_OVERLAP_STATE::A_INSIDE_B || state == LOOP_OVERLAP_STATE::COINCIDENT)
      ZEMOX_TRY(AppendCopy(loops, b_.points));
    return loops;
  }

  // ---- Graph ----

  Result<void> BuildGraph(const BaseArray<Int>& effective) {
    ZEMOX_TRY(table_.Init(a_.Count() + b_.Count() + effective.GetCount()));
    ZEMOX_TRY(nodeOfVertexA_.Resize(a_.Count()));
    ZEMOX_TRY(nodeOfVertexB_.Resize(b_.Count()));
    ZEMOX_TRY(nodeOfRecord_.Resize(records_.GetCount()));
    ZEMOX_TRY(nodes_.EnsureCapacity(a_.Count() + b_.Count() + effective.GetCount()));
    for (Int v = 0; v < a_.Count(); ++v) {
      Bool existed = false;
      const Int node = ZEMOX_TRY(NodeAt(a_.positions[v], existed));
      if (existed) return ZEMOX_ERROR(IllegalArgumentError, duplicateVertexMessage);
      nodes_[node].vertexA = v;
      nodeOfVertexA_[v] = node;
    }
    for (Int v = 0; v < b_.Count(); ++v) {
      Bool existed = false;
      const Int node = ZEMOX_TRY(NodeAt(b_.positions[v], existed));
      if (existed && (nodes_[node].vertexA < 0 || nodes_[node].vertexB >= 0))
        return ZEMOX_ERROR(IllegalArgumentError, duplicateVertexMessage);
      nodes_[node].vertexB = v;
      nodeOfVertexB_[v] = node;
    }
    for (const Int r : effective) {
      const CrossingRecord& record = records_[r];
      Bool existed = false;
      nodeOfRecord_[r] = ZEMOX_TRY(NodeAt(record.point, existed));
      GraphNode& node = nodes_[nodeOfRecord_[r]];
      node.isCrossing = true;
      if (!record.overlap && !node.crossesProperly) {
        node.crossesProperly = true;
        node.aLeavesB = record.turnsRight;
      }
    }
    ZEMOX_TRY(LinkChain(Chain::A, effective));
    ZEMOX_TRY(LinkChain(Chain::B, effective));
    stepLimit_ = a_.Count() * b_.Count() + a_.Count() + b_.Count();
    return OK();
  }

  // The node on the position's grid key, made at this position when there is none yet.
  Result<Int> NodeAt(const Vector2d& position, Bool& existed) {
    const UInt key = ZEMOX_TRY(GridKey(position));
    Int32& slot = table_.Slot(key, nodes_);
    existed = slot >= 0;
    if (existed) return slot;
    GraphNode* node = ZEMOX_TRY(nodes_.AppendNew());
    node->position = position;
    node->key = key;
    slot = static_cast<Int32>(nodes_.GetCount() - 1);
    return slot;
  }

  // Links the loop's vertices in order with the crossings of each segment inserted by their distance
  // along it.
  Result<void> LinkChain(Chain chain, const BaseArray<Int>& effective) {
    const Bool ofA = chain == Chain::A;
    BaseArray<Int> order;
    ZEMOX_TRY(order.CopyFrom(effective));
    const auto segmentOf = [&](Int r) { return ofA ? records_[r].segmentA : records_[r].segmentB; };
    const auto distanceOf = [&](Int r) { return ofA ? records_[r].distanceA : records_[r].distanceB; };
    std::stable_sort(order.begin(), order.end(), [&](Int l, Int r) {
      return segmentOf(l) != segmentOf(r) ? segmentOf(l) < segmentOf(r) : distanceOf(l) < distanceOf(r);
    });
    const OverlapLoop& loop = ofA ? a_ : b_;
    const BaseArray<Int32>& nodeOfVertex = ofA ? nodeOfVertexA_ : nodeOfVertexB_;
    Int k = 0;
    for (Int v = 0; v < loop.Count(); ++v) {
      Int from = nodeOfVertex[v];
      for (; k < order.GetCount() && segmentOf(order[k]) == v; ++k) from = Link(chain, from, nodeOfRecord_[order[k]]);
      Link(chain, from, nodeOfVertex[loop.Next(v)]);
    }
    return OK();
  }

  // Several crossings of a segment on one grid key are one node.
  Int Link(Chain chain, Int from, Int to) {
    if (from == to) return to;
    (chain == Chain::A ? nodes_[from].nextA : nodes_[from].nextB) = to;
    (chain == Chain::A ? nodes_[to].previousA : nodes_[to].previousB) = from;
    return to;
  }

  // ---- Traces ----

  // Without the outer loop and the holes asked for, the result is every loop of the outline traced
  // through the points where the loops cross or meet: the outer loop and the holes, which the
  // searches for holes find more reliably than a search among those points alone (a hole can pass
  // nothing but points already passed by the outer loop or another hole).
  Result<Loops> TraceLoops(Bool includeHolesInResult, Bool createOuterLoop) {
    Loops loops;
    const Bool wholeOutline = !createOuterLoop && !includeHolesInResult;
    // Holes are the outline left once the outer loop is traced, so it is traced for them too.
    Bool preferA = false;
    const Int outerStart = OuterStart(preferA);
    BaseArray<Vector2d> outer = ZEMOX_TRY(Trace(outerStart, preferA, false));
    ZEMOX_TRY(PassTouchPoints(outer));
    if (createOuterLoop || wholeOutline) ZEMOX_TRY(loops.Append(std::move(outer)));
    if (!includeHolesInResult && !wholeOutline) return loops;
    while (true) {
      const Int start = FindHoleStart(preferA);
      if (start < 0) return loops;
      BaseArray<Vector2d> traced = ZEMOX_TRY(Trace(start, preferA, true));
      ZEMOX_TRY(PassTouchPoints(traced));
      if (traced.GetCount() >= 3) ZEMOX_TRY(loops.Append(std::move(traced)));
    }
  }

  // The leftmost (then lowest) vertex of the two loops lies on the union's outline.
  Int OuterStart(Bool& preferA) const {
    const Int vertexA = Leftmost(a_.positions), vertexB = Leftmost(b_.positions);
    const Vector2d& pa = a_.positions[vertexA];
    const Vector2d& pb = b_.positions[vertexB];
    preferA = pa.x < pb.x ||
              (pa.x == pb.x && (pa.y < pb.y || (pa.y == pb.y && DirectionAngle(NextEdge(a_.positions, vertexA)) >=
                                                                    DirectionAngle(NextEdge(b_.positions, vertexB)))));
    return preferA ? nodeOfVertexA_[vertexA] : nodeOfVertexB_[vertexB];
  }

  static Int Leftmost(const BaseArray<Vector2d>& points) {
    Int best = 0;
    for (Int v = 1; v < points.GetCount(); ++v)
      if (points[v].x < points[best].x || (points[v].x == points[best].x && points[v].y < points[best].y)) best = v;
    return best;
  }

  static Vector2d NextEdge(const BaseArray<Vector2d>& points, Int v) {
    return points[(v + 1) % points.GetCount()] - points[v];
  }

  // Follows the graph from `start` until it comes back there; a trace from a search's start leaves it
  // on the chain the search chose (`leaveOnPreferred`). More steps than the loops can make together
  // means links that never close: degenerate input.
  Result<BaseArray<Vector2d>> Trace(Int start, Bool preferA, Bool leaveOnPreferred) {
    BaseArray<Vector2d> loop;
    ZEMOX_TRY(loop.Append(nodes_[start].position));
    Int previous = -1, current = start;
    for (Int steps = 0;; ++steps) {
      const Int next = ChooseSuccessor(previous, current, preferA, leaveOnPreferred);
      if (next < 0 || steps > stepLimit_) return ZEMOX_ERROR(DegeneratedInputError);
      if (next == start) break;
      ZEMOX_TRY(AppendTraced(loop, nodes_[next].position));
      nodes_[next].used = true;
      previous = current;
      current = next;
    }
    // The start stays open while the trace runs, so that the way back to it is never refused; once
    // the loop is closed no later search may start there again.
    nodes_[start].used = true;
    return loop;
  }

  // A traced edge that runs over a point where one loop touches the other's edge from one side gets
  // that point as a vertex, so that the loop passes it exactly where it comes back to it (the outer
  // loop around a notch that the touch closes). Without it the edge runs past the point at a rounded
  // crossing point and crosses the loop's own two edges there by a rounding error.
  Result<void> PassTouchPoints(BaseArray<Vector2d>& loop) const {
    if (touchPoints_.IsEmpty() || loop.GetCount() < 3) return OK();
    BaseArray<Vector2d> passing;
    BaseArray<Float> along;
    for (Int i = 0; i < loop.GetCount(); ++i) {
      const Vector2d p = loop[i], d = loop[(i + 1) % loop.GetCount()] - p;
      const Float lengthSquared = Dot(d, d);
      for (const Vector2d& touch : touchPoints_) {
        const Float t = Dot(touch - p, d) / lengthSquared;
        const Vector2d offset = touch - (p + d * t);
        if (t > 0.0 && t < 1.0 && Dot(offset, offset) <= touchReach * touchReach) {
          ZEMOX_TRY(passing.Append(touch));
          ZEMOX_TRY(along.Append(i + t));
        }
      }
    }
    if (passing.IsEmpty()) return OK();
    BaseArray<Vector2d> merged;
    ZEMOX_TRY(merged.EnsureCapacity(loop.GetCount() + passing.GetCount()));
    BaseArray<Int> order;
    ZEMOX_TRY(order.Resize(passing.GetCount()));
    for (Int k = 0; k < order.GetCount(); ++k) order[k] = k;
    std::sort(order.begin(), order.end(), [&](Int l, Int r) { return along[l] < along[r]; });
    Int next = 0;
    for (Int i = 0; i < loop.GetCount(); ++i) {
      ZEMOX_TRY(merged.Append(loop[i]));
      for (; next < order.GetCount() && along[order[next]] < i + 1; ++next)
        ZEMOX_TRY(merged.Append(passing[order[next]]));
    }
    loop = std::move(merged);
    return OK();
  }

  // Points within 1e-3 of the last one are that point; a point that continues the last edge straight
  // (or turns straight back) replaces the last point.
  static Result<void> AppendTraced(BaseArray<Vector2d>& loop, const Vector2d& point) {
    const Vector2d step = point - loop.GetLast();
    if (Dot(step, step) < tracedPointSquared) return OK();
    if (loop.GetCount() >= 2) {
      const Vector2d last = loop.GetLast() - loop[loop.GetCount() - 2];
      const Float turn = Cross(last, step) / (std::hypot(last.x, last.y) * std::hypot(step.x, step.y));
      if (std::fabs(turn) < straightTurn) loop.Pop();
    }
    return loop.Append(point);
  }

  Int ChooseSuccessor(Int previous, Int current, Bool preferA, Bool leaveOnPreferred) {
    const GraphNode& node = nodes_[current];
    if (!OnBothChains(node)) return node.nextA >= 0 ? node.nextA : node.nextB;
    // A trace that starts at a proper crossing, or where a search chose the outline's edge, leaves
    // its start on that edge, even where the node beyond was passed before: a vertex both loops share
    // lies on the outer loop and on a hole.
    if (previous < 0 && (leaveOnPreferred || (node.crossesProperly && node.vertexA < 0 && node.vertexB < 0)))
      return preferA ? node.nextA : node.nextB;
    // Along the way the edge that turns most to the left is the outline, whether or not its node
    // was passed before: a hole can run through points that the outer loop or another hole passes.
    // Only two edges leaving in the same direction (a stretch the loops share) leave the choice to
    // what was passed before.
    Chain taken = preferA ? Chain::A : Chain::B;
    if (previous < 0 || !LeftmostTurn(previous, current, taken)) {
      const Bool usedA = nodes_[node.nextA].used, usedB = nodes_[node.nextB].used;
      if (usedA != usedB) return usedA ? node.nextB : node.nextA;
      if (usedA) return node.nextB;
    }
    if (!node.isCrossing) MarkBranchInside(current, Other(taken));
    return Successor(node, taken);
  }

  // The outgoing edge that turns most to the left keeps the clockwise union on the right. False for
  // equal turns, which give A.
  Bool LeftmostTurn(Int previous, Int current, Chain& taken) const {
    const GraphNode& node = nodes_[current];
    const Vector2d back = nodes_[previous].position - node.position;
    const Float angleA = CounterClockwiseAngle(back, nodes_[node.nextA].position - node.position);
    const Float angleB = CounterClockwiseAngle(back, nodes_[node.nextB].position - node.position);
    taken = angleB > angleA ? Chain::B : Chain::A;
    return angleA != angleB;
  }

  // At a point the loops share without crossing, the branch not followed is inside the union when it
  // runs back along the other loop's edge (pieces sharing an edge) or into the other loop: its nodes
  // up to the next node on both loops are marked so that no later trace starts on them. A branch that
  // leaves the point outside the other loop (pieces touching at a vertex) is still outline, and
  // marking it would keep the trace from ever coming back to its start.
  void MarkBranchInside(Int current, Chain branch) {
    const GraphNode& node = nodes_[current];
    const Chain other = Other(branch);
    const Int first = Successor(node, branch);
    const Int otherNext = Successor(node, other), otherPrevious = Predecessor(node, other);
    if (otherPrevious < 0) return;
    if (first != otherPrevious && !InsideClockwiseCorner(node.position, nodes_[otherNext].position,
                                                         nodes_[otherPrevious].position, nodes_[first].position))
      return;
    for (Int k = first; k >= 0 && !OnBothChains(nodes_[k]) && !nodes_[k].used; k = Successor(nodes_[k], branch))
      nodes_[k].used = true;
  }

  // The edge from the node along the chain lies outside the other loop, clear of its outline.
  Bool EdgeClearlyOutside(const GraphNode& node, Chain chain) const {
    const Vector2d middle = (node.position + nodes_[Successor(node, chain)].position) * 0.5;
    const Block<const Vector2d> other = (chain == Chain::A ? b_.positions : a_.positions).ToBlock();
    return SideOf(middle, other) > 0 && !WithinReach(middle, other, segmentTolerance);
  }

  Bool BetweenNodesOnBothChains(const GraphNode& node, Chain chain) const {
    return OnBothChains(nodes_[Successor(node, chain)]) && OnBothChains(nodes_[Predecessor(node, chain)]);
  }

  Bool HasUnusedLink(const GraphNode& node) const {
    for (const Int linked : {node.nextA, node.nextB, node.previousA, node.previousB})
      if (linked >= 0 && !nodes_[linked].used) return true;
    return false;
  }

  // Next hole after the outer loop: every boundary cycle not traced yet bounds a hole. It passes a
  // proper crossing (whose outgoing A edge is outline when it leaves B), a vertex of one loop outside
  // the other, or only points on both loops. The vertices between two nodes of both loops all lie on
  // one side of the other loop, so a stretch found inside is set aside whole.
  Int FindHoleStart(Bool& preferA) {
    for (Int k = nodes_.GetCount() - 1; k >= 0; --k) {
      const GraphNode& node = nodes_[k];
      if (node.used) continue;
      if (node.vertexA < 0 && node.vertexB < 0) {
        if (!node.crossesProperly || !HasUnusedLink(node) || node.noOutlineEdge) continue;
        // The edge that leaves the other loop is a hole's unless the outer loop passed the crossing
        // by: next to a vertex that lies on another crossing's grid point, its turn there can skip
        // a crossing a hair away.
        preferA = node.aLeavesB;
        if (EdgeClearlyOutside(node, preferA ? Chain::A : Chain::B)) return k;
        nodes_[k].noOutlineEdge = true;
        continue;
      }
      if (OnBothChains(node)) {
        if (LeavesOnOutline(k, preferA)) return k;
        continue;
      }
      // A lone vertex between two points of both loops that were passed before is still a hole's
      // when its edge lies outside the other loop: the hole meets the outer loop, or another hole,
      // at both ends of its stretch. (The vertex itself may poke out of the other loop where a
      // crossing pair was taken for a touch.)
      if (!HasUnusedLink(node)) {
        const Chain chain = node.nextA >= 0 ? Chain::A : Chain::B;
        if (!BetweenNodesOnBothChains(node, chain) || !EdgeClearlyOutside(node, chain)) continue;
        preferA = chain == Chain::A;
        return k;
      }
      const Int side = SideOf(node.position, node.vertexA >= 0 ? b_.positions.ToBlock() : a_.positions.ToBlock());
      if (side > 0) {
        preferA = true;
        return k;
      }
      if (side < 0) MarkStretchUsed(k);
    }
    return -1;
  }

  // An outline not traced yet can have nothing but nodes on both loops (vertices the loops share,
  // crossings at vertices): it starts at one whose outgoing edge of one loop lies outside the other
  // loop, clear of its outline, on that loop's chain. Traced edges start at used nodes.
  Bool LeavesOnOutline(Int k, Bool& preferA) {
    GraphNode& node = nodes_[k];
    if (node.noOutlineEdge) return false;
    for (const Chain chain : {Chain::A, Chain::B}) {
      if (EdgeClearlyOutside(node, chain)) {
        preferA = chain == Chain::A;
        return true;
      }
    }
    node.noOutlineEdge = true;
    return false;
  }

  void MarkStretchUsed(Int k) {
    const Chain chain = nodes_[k].nextA >= 0 ? Chain::A : Chain::B;
    nodes_[k].used = true;
    for (Int m = Successor(nodes_[k], chain); m >= 0 && !OnBothChains(nodes_[m]) && !nodes_[m].used;
         m = Successor(nodes_[m], chain))
      nodes_[m].used = true;
    for (Int m = Predecessor(nodes_[k], chain); m >= 0 && !OnBothChains(nodes_[m]) && !nodes_[m].used;
         m = Predecessor(nodes_[m], chain))
      nodes_[m].used = true;
  }

  OverlapLoop a_, b_;
  BaseArray<CrossingRecord> records_;
  BaseArray<Vector2d> touchPoints_;
  BaseArray<GraphNode> nodes_;
  NodeTable table_;
  BaseArray<Int32> nodeOfVertexA_, nodeOfVertexB_, nodeOfRecord_;
  Int stepLimit_ = 0;
};

}  // namespace

Result<Loops> GeometryUtilsImpl::CalculateUnionOfPolygons(Block<const Vector2d> outlinePointsA,
                                                          Block<const Vector2d> outlinePointsB,
                                                          Bool includeHolesInResult, Bool createOuterLoop) {
  const Bool smallA = outlinePointsA.GetCount() < 3, smallB = outlinePointsB.GetCount() < 3;
  if (smallA || smallB) {
    Loops loops;
    if (smallA && smallB) {
      ZEMOX_TRY(loops.AppendNew());
    } else {
      ZEMOX_TRY(AppendCopy(loops, smallA ? outlinePointsB : outlinePointsA));
    }
    return loops;
  }
  UnionBuilder builder(outlinePointsA, outlinePointsB);
  return builder.Run(includeHolesInResult, createOuterLoop);
}

}  // namespace zemox
