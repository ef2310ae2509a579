// The outline-processing component on one closed outline: simple polygons and outer hull, with and
// without disjoined crossings. The per-polygon counts must add up to the points written, every
// source index must name an input point or be -1, and when the outline is at scene scale and its
// edges only cross (no vertex repeats or touches another edge), no simple polygon may cross itself:
// the crossings carry the sweep's jitter of about 1e-6, which only such input keeps harmless. The
// polygons share the outline's edges, split at the crossings, so their signed areas add up to the
// outline's, up to that jitter along the edges.
#include "geom/geometryutils.h"
#include "outlinechecks.h"
#include "private_geom/intersectingoutlinesprocessing.h"

namespace {

void CheckSourceIndices(const zemox::BaseArray<zemox::Int>& ids, zemox::Int inputCount) {
  for (zemox::Int id : ids) zemox::fuzz::Require(id >= -1 && id < inputCount, "outline processing: source indices");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  Result<IntersectingOutlinesProcessingRef> processing =
      CreateIntersectingOutlinesProcessing(IntersectingOutlinesProcessingNonRobustClass);
  Require(processing.IsOk(), "outline processing: the class is registered");
  BaseArray<Vector2d> outline;
  if (!input.Outline(outline, 14)) return 0;
  const Bool disjoin = input.Flag();
  BaseArray<Vector2d> points;
  BaseArray<Int> counts;
  BaseArray<Int> ids;
  if (input.Flag()) {
    const Result<Bool> crossed = processing.Value()->GetSimplePolygons(outline, disjoin, points, counts, &ids);
    if (!crossed) return 0;
    const Bool generic = OnSceneGrid(outline) && !HasVertexContact(outline);
    Int total = 0;
    Float area = 0.0;
    for (Int count : counts) {
      Require(total + count <= points.GetCount(), "simple polygons: counts add up to the points");
      Require(!generic || !HasProperCrossing(points.ToBlock().Slice(total, count)),
              "simple polygons: no polygon crosses itself");
      area += SignedArea(points.ToBlock().Slice(total, count));
      total += count;
    }
    Require(total == points.GetCount(), "simple polygons: counts add up to the points");
    const Float jitter =
        1e-5 * GeometryUtilsInterface::CalculatePerimeterLength2D(outline) * static_cast<Float>(points.GetCount() + 1);
    Require(!generic || !crossed.Value() || std::fabs(area - SignedArea(outline)) <= jitter,
            "simple polygons: the area adds up");
  } else {
    if (!processing.Value()->GetHull(outline, disjoin, points, &ids)) return 0;
  }
  Require(ids.GetCount() == points.GetCount(), "outline processing: one source index per point");
  CheckSourceIndices(ids, outline.GetCount());
  return 0;
}
