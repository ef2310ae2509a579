#pragma once

#include "separateselfintersectingoutline2d.h"

namespace zemox {

// Reduces one closed outline that crosses itself to its outer loop: the outline is separated into
// simple loops, every loop is turned counter-clockwise, crossings whose two paths leave along one line
// are reconnected, and the loop holding the lexicographically smallest point (x, then y) of all loops
// is the hull. It is counter-clockwise and starts at that point.
class SelfIntersectingOutlineHull2D {
 public:
  // Separates the outline (arguments as SeparateSelfIntersectingOutline2D::Init, whose errors pass
  // through) and orients its loops.
  Result<void> Init(Block<const Vector2d> outline, Block<const Vector2d> crossingPoints,
                    Block<const IndexPair> crossingSegments);

  // Appends the hull's points (crossing copies displaced when useOffsets) and, when given, per point the
  // input vertex index or -1 for a crossing copy. Nothing is cleared first.
  Result<void> GetResult(Bool useOffsets, BaseArray<Vector2d>& points, BaseArray<Int>* sourceIndices) const;

 private:
  Int LoopMinimumPredecessor(Int start) const;
  void OrientLoop(Int& start);
  void SeparateCollinearCrossing(Int crossing);
  Bool PointLess(Int a, Int b) const;

  SeparateSelfIntersectingOutline2D separation_;
};

}  // namespace zemox
