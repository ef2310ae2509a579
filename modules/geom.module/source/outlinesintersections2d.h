#pragma once

#include "private_geom/redblacktree.h"
#include "segmentkey.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/result.h"

namespace zemox {

// Two indices that belong together: the segments (or the outlines) that meet at one crossing, the
// lower segment of the sweep status first.
struct IndexPair {
  Int first = 0;
  Int second = 0;
};

// Every proper crossing between the segments of a set of closed outlines, found by a sweep over the
// vertices in lexicographic (x, then y) order.
//
// The sweep is not exact. Before each run every vertex moves by a seeded pseudo-random offset of at
// most 1e-6 per coordinate, so that shared and collinear points become generic; a run that still meets
// a configuration it cannot order (a vertex on another segment, a crossing through a vertex, an
// orientation below 1e-10 in scene units) fails, and the sweep is repeated with the next seed, up to
// seven runs. Crossing points are therefore those of the jittered segments. The same input always
// gives bitwise the same output: the jitter depends on the run number only.
class OutlinesIntersections2D {
 public:
  OutlinesIntersections2D();
  OutlinesIntersections2D(const OutlinesIntersections2D&) = delete;
  OutlinesIntersections2D& operator=(const OutlinesIntersections2D&) = delete;

  // Finds the crossings of the outlines (each at least three vertices, closed implicitly). The block
  // is read during the call only. IllegalArgumentError for missing or too short outlines; running out
  // of memory ends the sweep at once; otherwise the error of the seventh failed run.
  Result<void> Init(Block<const Block<const Vector2d>> outlines);

  // The crossings of the last successful Init in ascending lexicographic order: the points, per point
  // the segment indices (within their outlines) of the lower and the upper segment, and optionally
  // their outline indices. Each array is cleared first.
  Result<void> GetIntersections(BaseArray<Vector2d>& crossingPoints, BaseArray<IndexPair>& segmentPairs,
                                BaseArray<IndexPair>* outlinePairs) const;

  // Orders of the trees: points by index in lexicographic order, status segments from below to above
  // along the sweep line. The segment order fails where it cannot decide reliably.
  COMPARERESULT Compare(Int probe, Int node) const;
  Result<COMPARERESULT> Compare(const SegmentKey& probe, const SegmentKey& node) const;

 private:
  using PointTree = RedBlackTree<Int, OutlinesIntersections2D>;
  using StatusTree = RedBlackTree<SegmentKey, OutlinesIntersections2D>;
  using PointNode = PointTree::Node;
  using SegmentNode = StatusTree::Node;

  // A vertex: where it lies in the input, its neighbours (global indices, cyclic within the outline)
  // and the status nodes of the at most two segments that end at it, so that removing them at the
  // vertex needs no search.
  struct VertexRecord {
    Int outline;
    Int vertex;
    Int previous;
    Int next;
    SegmentNode* slot0;
    SegmentNode* slot1;
  };
  // The two segments of a crossing as they stood in the status just before it, the lower first.
  struct IntersectionRecord {
    SegmentKey lower;
    SegmentKey upper;
  };

  Result<void> SweepLine(Int attempt);
  Result<void> Prepare(Int attempt);
  Result<void> QueueVertices(Int attempt);
  Result<void> RecordVertices();
  Result<void> VisitVertex(Int vertex);
  Result<void> StartBoth(const SegmentKey& previous, const SegmentKey& next);
  Result<void> EndBoth(Int vertex);
  Result<void> EndOneStartOne(Int vertex, const SegmentKey& starting);
  Result<void> VisitCrossing(Int crossing);
  Result<void> CheckInserted(const SegmentNode* node, const SegmentKey& key) const;
  Result<void> CacheSegment(SegmentNode* node);
  Result<SegmentNode**> FindSlot(const SegmentKey& key);
  // Tests the new neighbours below and above `node`.
  Result<void> TryBelow(SegmentNode* node);
  Result<void> TryAbove(SegmentNode* node);
  Result<Bool> TryInsertIntersectionEvent(SegmentNode* lower, SegmentNode* upper);
  Result<Bool> QueueCrossing(const SegmentKey& lower, const SegmentKey& upper, const Vector2d& point);
  SegmentKey KeyOf(Int first, Int second) const;
  const VertexRecord& SegmentOwner(const SegmentKey& key) const;
  Float NextJitter();

  Block<const Block<const Vector2d>> outlines_;
  // Input vertices first (global index = position), then one entry per crossing found.
  BaseArray<Vector2d> points_;
  BaseArray<VertexRecord> vertexRecords_;
  // Record j belongs to the crossing point at points[vertex count + j].
  BaseArray<IntersectionRecord> intersections_;
  // Crossing points only: the output order.
  PointTree crossingQueue_;
  // Vertices and crossing points: the sweep order.
  PointTree eventQueue_;
  StatusTree status_;
  Bool jitter_ = false;
  UInt32 generatorState_ = 0;
};

}  // namespace zemox
