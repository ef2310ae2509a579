// Sample requests to the packing helpers of the geometry utilities: an L-shaped piece cut into convex
// pieces, the no-fit polygon of two L-shapes, and the union of two pieces placed edge to edge.

#include <vector>

#include "demos.h"
#include "geom/geometryutils.h"
#include "svg.h"

namespace zemox {
namespace {

// Clockwise, as the packing helpers take their pieces.
constexpr Vector2d lShape[] = {{0, 0}, {0, 4}, {2, 4}, {2, 2}, {4, 2}, {4, 0}};
constexpr Vector2d square[] = {{4, 0}, {4, 2}, {6, 2}, {6, 0}};

std::vector<Vector2d> Loop(Block<const Vector2d> points) { return {points.begin(), points.end()}; }

void PrintLoop(std::FILE* out, const char* label, Block<const Vector2d> loop) {
  std::fprintf(out, "    %s:", label);
  for (const Vector2d& point : loop) std::fprintf(out, " (%g, %g)", point.x, point.y);
  std::fprintf(out, "\n");
}

bool Decompose(const DemoOutput& output) {
  const Result<BaseArray<BaseArray<Int>>> pieces = GeometryUtilsInterface::CalculateConvexDecomposition2D({lShape, 6});
  if (!pieces) return false;
  std::fprintf(output.out, "  an L-shaped piece cut into %lld convex pieces (vertex indices):\n",
               static_cast<long long>(pieces.Value().GetCount()));
  std::vector<SvgLayer> layers;
  const char* colours[] = {"#1f77b4", "#ff7f0e", "#2ca02c", "#d62728"};
  for (Int k = 0; k < pieces.Value().GetCount(); ++k) {
    std::fprintf(output.out, "    piece %lld:", static_cast<long long>(k));
    std::vector<Vector2d> loop;
    for (const Int index : pieces.Value()[k]) {
      std::fprintf(output.out, " %lld", static_cast<long long>(index));
      loop.push_back(lShape[index]);
    }
    std::fprintf(output.out, "\n");
    layers.push_back({colours[k % 4], {loop}});
  }
  if (output.svgDirectory != nullptr && !WriteSvg(output.out, output.svgDirectory, "convexdecomposition", layers))
    return false;
  return pieces.Value().GetCount() == 2;
}

bool SlideAround(const DemoOutput& output) {
  const Result<BaseArray<Vector2d>> noFit =
      GeometryUtilsInterface::CalculateNoFitPolygonUsingSliding({lShape, 6}, {lShape, 6}, true);
  if (!noFit) return false;
  std::fprintf(output.out, "  no-fit polygon of two such L-shapes (positions of the second's first vertex):\n");
  PrintLoop(output.out, "loop", noFit.Value());
  if (output.svgDirectory != nullptr &&
      !WriteSvg(output.out, output.svgDirectory, "nofitpolygon",
                {{"#1f77b4", {Loop({lShape, 6})}}, {"#d62728", {Loop(noFit.Value())}}}))
    return false;
  return noFit.Value().GetCount() >= 6;
}

bool Unite(const DemoOutput& output) {
  const Result<BaseArray<BaseArray<Vector2d>>> merged =
      GeometryUtilsInterface::CalculateUnionOfPolygons({lShape, 6}, {square, 4}, true, true);
  if (!merged) return false;
  std::fprintf(output.out, "  union of the L-shape and a square placed against its foot:\n");
  SvgLayer layer{"#2ca02c", {}};
  for (const BaseArray<Vector2d>& loop : merged.Value()) {
    PrintLoop(output.out, layer.loops.empty() ? "outer loop" : "hole", loop);
    layer.loops.push_back(Loop(loop));
  }
  if (output.svgDirectory != nullptr && !WriteSvg(output.out, output.svgDirectory, "union", {layer})) return false;
  return merged.Value().GetCount() == 1;
}

}  // namespace

bool RunGeometryUtilsDemo(const DemoOutput& output) {
  std::fprintf(output.out, "GeometryUtils (packing helpers)\n");
  const bool decomposed = Decompose(output);
  const bool slid = SlideAround(output);
  const bool united = Unite(output);
  return decomposed && slid && united;
}

}  // namespace zemox
