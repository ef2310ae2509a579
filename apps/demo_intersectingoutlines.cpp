// Sample request to the outline repair: a five-pointed star drawn in one stroke crosses itself five
// times; the component splits it into simple loops and reduces it to its hull.

#include <cmath>
#include <vector>

#include "demos.h"
#include "private_geom/intersectingoutlinesprocessing.h"
#include "svg.h"

namespace zemox {
namespace {

void PrintLoop(std::FILE* out, const BaseArray<Vector2d>& points, const BaseArray<Int>& ids, Int first, Int count) {
  for (Int i = first; i < first + count; ++i) {
    std::fprintf(out, "      (%.4f, %.4f)", points[i].x, points[i].y);
    if (ids[i] >= 0)
      std::fprintf(out, " vertex %lld\n", static_cast<long long>(ids[i]));
    else
      std::fprintf(out, " crossing\n");
  }
}

}  // namespace

bool RunIntersectingOutlinesDemo(const DemoOutput& output) {
  std::FILE* out = output.out;
  std::fprintf(out, "IntersectingOutlinesProcessing\n");
  // Every second point of a regular pentagon of radius 10.
  Vector2d star[5];
  for (Int i = 0; i < 5; ++i) {
    const Float angle = M_PI / 2 + 4 * M_PI * static_cast<Float>(i) / 5;
    star[i] = {10 * std::cos(angle), 10 * std::sin(angle)};
  }
  Result<IntersectingOutlinesProcessingRef> component =
      CreateIntersectingOutlinesProcessing(IntersectingOutlinesProcessingNonRobustClass);
  if (!component) return false;
  BaseArray<Vector2d> points;
  BaseArray<Int> counts;
  BaseArray<Int> ids;
  const Result<Bool> split = component.Value()->GetSimplePolygons({star, 5}, true, points, counts, &ids);
  if (!split || !split.Value()) return false;
  std::fprintf(out, "  a five-pointed star in one stroke, split into %lld simple loops:\n",
               static_cast<long long>(counts.GetCount()));
  Int first = 0;
  for (Int loop = 0; loop < counts.GetCount(); ++loop) {
    std::fprintf(out, "    loop %lld, %lld points:\n", static_cast<long long>(loop),
                 static_cast<long long>(counts[loop]));
    PrintLoop(out, points, ids, first, counts[loop]);
    first += counts[loop];
  }
  BaseArray<Vector2d> hull;
  BaseArray<Int> hullIds;
  const Result<Bool> reduced = component.Value()->GetHull({star, 5}, false, hull, &hullIds);
  if (!reduced || !reduced.Value()) return false;
  std::fprintf(out, "  its hull, counter-clockwise from the smallest point, %lld points:\n",
               static_cast<long long>(hull.GetCount()));
  PrintLoop(out, hull, hullIds, 0, hull.GetCount());
  if (output.svgDirectory != nullptr) {
    SvgLayer loops{"#1f77b4", {}};
    for (Int loop = 0, start = 0; loop < counts.GetCount(); start += counts[loop++])
      loops.loops.emplace_back(points.begin() + start, points.begin() + start + counts[loop]);
    if (!WriteSvg(
            out, output.svgDirectory, "outlinerepair",
            {{"#d62728", {std::vector<Vector2d>(star, star + 5)}}, loops, {"#2ca02c", {{hull.begin(), hull.end()}}}}))
      return false;
  }
  return counts.GetCount() == 2 && hull.GetCount() == 10;
}

}  // namespace zemox
