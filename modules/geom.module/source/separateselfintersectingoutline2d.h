#pragma once

#include "outlinesintersections2d.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/result.h"

namespace zemox {

// Splits one closed outline that crosses itself into simple closed loops that do not cross each
// other. Every crossing is resolved by reconnecting the four half-segments there, so that a path
// arriving along one segment leaves along the other segment in that segment's own direction.
//
// Nodes: vertex i of the n outline vertices is node i; crossing j owns nodes n + 2j and n + 2j + 1,
// both at crossing point j, one on each path through it. Each node lies on exactly one loop, and the two
// nodes of a crossing can be pushed apart by 1e-7 (scene units) into their own corners, so that the
// loops do not touch.
class SeparateSelfIntersectingOutline2D {
 public:
  SeparateSelfIntersectingOutline2D() = default;
  SeparateSelfIntersectingOutline2D(const SeparateSelfIntersectingOutline2D&) = delete;
  SeparateSelfIntersectingOutline2D& operator=(const SeparateSelfIntersectingOutline2D&) = delete;

  // Links the outline's nodes into loops. The crossings are those of OutlinesIntersections2D for this
  // outline alone: points and, per point, the indices of the two segments (segment s runs from vertex s
  // to vertex s + 1, cyclic). The blocks must stay valid while the object is used.
  Result<void> Init(Block<const Vector2d> outline, Block<const Vector2d> crossingPoints,
                    Block<const IndexPair> crossingSegments);

  // Appends every loop: its points (the crossing copies at their displaced positions when useOffsets,
  // else exactly at the crossing), then all loop lengths, and, when given, per point the index of the
  // input vertex it is or -1 for a crossing copy. Nothing is cleared first.
  Result<void> GetResult(Bool useOffsets, BaseArray<Vector2d>& points, BaseArray<Int>& loopLengths,
                         BaseArray<Int>* sourceIndices) const;

 private:
  friend class SelfIntersectingOutlineHull2D;

  // A crossing on a segment, with its position along the segment.
  struct SegmentCrossing {
    Int segment;
    Float parameter;
    Int crossing;
  };

  Result<void> Link();
  Result<void> CollectSegmentCrossings(BaseArray<SegmentCrossing>& onSegments) const;
  void LinkSegment(Block<const SegmentCrossing> crossings);
  Result<void> ComputeOffsets();
  Result<void> Clearances(BaseArray<Float>& clearances) const;
  Result<void> FindLoops();
  Int NodeCount() const { return next_.GetCount(); }
  Int VertexCount() const { return outline_.GetCount(); }
  // Where a node lies: the vertex, or the exact crossing point.
  const Vector2d& NodePoint(Int node) const;
  // Appends one node as GetResult writes it.
  Result<void> AppendNode(Int node, Bool useOffsets, BaseArray<Vector2d>& points, BaseArray<Int>* sourceIndices) const;
  // Reserves room for `count` more points (and source indices).
  static Result<void> Reserve(Int count, BaseArray<Vector2d>& points, BaseArray<Int>* sourceIndices);

  Block<const Vector2d> outline_;
  Block<const Vector2d> crossingPoints_;
  // The successor of every node along its loop.
  BaseArray<Int> next_;
  // The displaced position of node n + k at entry k.
  BaseArray<Vector2d> offsetPoints_;
  BaseArray<Int> loopStarts_;
  Block<const IndexPair> crossingSegments_;
  // Node count per loop, parallel to loopStarts.
  BaseArray<Int> loopLengths_;
  // Per crossing, the segment along which linking reached it first; its node n + 2j is entered along
  // that segment. Needed only until the offsets are known.
  BaseArray<Int> firstSegment_;
};

}  // namespace zemox
