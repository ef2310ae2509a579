#pragma once

#include "private_geom/outlineprocessing.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/interface.h"
#include "zemox/registry.h"
#include "zemox/result.h"

namespace zemox {

// Finds the crossings with a jittered sweep: crossing positions carry a jitter of up to about 1e-6
// (scene units) and some degenerate outlines (a vertex on another segment, duplicated vertices that
// no jitter separates) are rejected.
inline constexpr Id IntersectingOutlinesProcessingNonRobustClass{
    "net.zemox.private_geom.interface.intersectingoutlinesprocessing.nonrobust"};

// Repairs one closed outline that crosses itself: splits it into simple polygons or reduces it to its
// outer hull loop. Results are appended to the caller's arrays; the result value is true when the
// outline crossed itself and output was written, false when there was nothing to do. Each crossing
// point occurs twice in the output (source index -1); with disjoinIntersections the two copies lie
// 1e-7 (scene units) from the crossing, on opposite sides, so that the polygons do not touch. Objects
// keep no state between calls.
class IntersectingOutlinesProcessingInterface : public OutlineProcessingInterface {
 public:
  ZEMOX_INTERFACE("net.zemox.private_geom.interface.intersectingoutlinesprocessing", 2)

  // The simple polygons of the outline: their vertices one polygon after another in points, the vertex
  // count of each in pointCounts, and per vertex the input index or -1 in outlinePointIds. Outlines of
  // at most two points give false.
  ZEMOX_VIRTUAL_CONST_SLOT(0, Result<Bool>, GetSimplePolygons, (IN, Block<const Vector2d>, outlinePoints),
                           (IN, Bool, disjoinIntersections), (OUT, BaseArray<Vector2d>&, points),
                           (OUT, BaseArray<Int>&, pointCounts), (OUT, BaseArray<Int>*, outlinePointIds, nullptr))
  // The outer loop of the outline, counter-clockwise from its lexicographically smallest point (x, then
  // y), with per vertex the input index or -1 in outlinePointIds. IllegalArgumentError for fewer than
  // three points.
  ZEMOX_VIRTUAL_CONST_SLOT(1, Result<Bool>, GetHull, (IN, Block<const Vector2d>, outlinePoints),
                           (IN, Bool, disjoinIntersections), (OUT, BaseArray<Vector2d>&, points),
                           (OUT, BaseArray<Int>*, outlinePointIds, nullptr))
};

using IntersectingOutlinesProcessingRef = Ref<IntersectingOutlinesProcessingInterface>;

// A new object of a class that implements the interface.
inline Result<IntersectingOutlinesProcessingRef> CreateIntersectingOutlinesProcessing(const Id& classId) {
  Record record;
  if (!FindRecord(RecordKind::CLASS, classId, record) || record.owner != IntersectingOutlinesProcessingInterface::ID)
    return ZEMOX_ERROR(IllegalArgumentError, "@: Class @ does not implement @.", classId,
                       IntersectingOutlinesProcessingInterface::ID);
  ZEMOX_ASSIGN_OR_RETURN(Object * object, CreateObject(classId));
  return IntersectingOutlinesProcessingRef(static_cast<IntersectingOutlinesProcessingInterface*>(object));
}

}  // namespace zemox
