#pragma once

#include "private_geom/intersectingoutlinesprocessing.h"

namespace zemox {

// The outline repair on the jittered sweep: OutlinesIntersections2D finds the crossings of the
// outline, then SeparateSelfIntersectingOutline2D splits it or SelfIntersectingOutlineHull2D reduces
// it. Every call builds and releases its own working objects, so calls share nothing.
class IntersectingOutlinesProcessingImpl final : public IntersectingOutlinesProcessingInterface {
 public:
  Result<Bool> GetSimplePolygons(Block<const Vector2d> outlinePoints, Bool disjoinIntersections,
                                 BaseArray<Vector2d>& points, BaseArray<Int>& pointCounts,
                                 BaseArray<Int>* outlinePointIds) const override;
  Result<Bool> GetHull(Block<const Vector2d> outlinePoints, Bool disjoinIntersections, BaseArray<Vector2d>& points,
                       BaseArray<Int>* outlinePointIds) const override;
  OUTLINEPROCESSING_INPUT GetSupportedInput() const override { return OUTLINEPROCESSING_INPUT::INPUT2D; }
};

}  // namespace zemox
