#include "intersectingoutlinesprocessing_impl.h"

#include "outlinesintersections2d.h"
#include "portability.h"
#include "selfintersectingoutlinehull2d.h"
#include "separateselfintersectingoutline2d.h"

namespace zemox {
namespace {

// The self-crossings of one outline, as the separation and the hull take them.
struct SelfCrossings {
  BaseArray<Vector2d> points;
  BaseArray<IndexPair> segments;
};

Result<void> FindSelfCrossings(Block<const Vector2d> outline, SelfCrossings& crossings) {
  const Block<const Vector2d> outlines[] = {outline};
  OutlinesIntersections2D sweep;
  ZEMOX_TRY(sweep.Init({outlines, 1}));
  return sweep.GetIntersections(crossings.points, crossings.segments, nullptr);
}

}  // namespace

Result<Bool> IntersectingOutlinesProcessingImpl::GetSimplePolygons(Block<const Vector2d> outlinePoints,
                                                                   Bool disjoinIntersections,
                                                                   BaseArray<Vector2d>& points,
                                                                   BaseArray<Int>& pointCounts,
                                                                   BaseArray<Int>* outlinePointIds) const {
  if (outlinePoints.GetCount() <= 2) return false;
  SelfCrossings crossings;
  ZEMOX_TRY(FindSelfCrossings(outlinePoints, crossings));
  if (crossings.points.IsEmpty()) return false;
  SeparateSelfIntersectingOutline2D separation;
  ZEMOX_TRY(separation.Init(outlinePoints, crossings.points, crossings.segments));
  ZEMOX_TRY(separation.GetResult(disjoinIntersections, points, pointCounts, outlinePointIds));
  return true;
}

// Too short outlines are left to the sweep, which rejects them.
Result<Bool> IntersectingOutlinesProcessingImpl::GetHull(Block<const Vector2d> outlinePoints, Bool disjoinIntersections,
                                                         BaseArray<Vector2d>& points,
                                                         BaseArray<Int>* outlinePointIds) const {
  SelfCrossings crossings;
  ZEMOX_TRY(FindSelfCrossings(outlinePoints, crossings));
  if (crossings.points.IsEmpty()) return false;
  SelfIntersectingOutlineHull2D hull;
  ZEMOX_TRY(hull.Init(outlinePoints, crossings.points, crossings.segments));
  ZEMOX_TRY(hull.GetResult(disjoinIntersections, points, outlinePointIds));
  return true;
}

namespace {

const InterfaceRegistration<IntersectingOutlinesProcessingInterface> intersectingOutlinesProcessingInterface;
const Registration nonRobustClass({.kind = RecordKind::CLASS,
                                   .id = IntersectingOutlinesProcessingNonRobustClass,
                                   .owner = IntersectingOutlinesProcessingInterface::ID,
                                   .factory = CreateComponent<IntersectingOutlinesProcessingImpl>});

}  // namespace
}  // namespace zemox
