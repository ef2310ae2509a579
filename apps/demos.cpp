#include "demos.h"

namespace zemox {

bool RunDemos(const DemoOutput& output) {
  bool ok = true;
  ok = RunExactPredicates2DDemo(output) && ok;
  ok = RunGeometryUtilsDemo(output) && ok;
  ok = RunSortOutlines2DDemo(output) && ok;
  ok = RunIntersectingOutlinesDemo(output) && ok;
  ok = RunDelaunay3DDemo(output) && ok;
  ok = RunConvexHullDemo(output) && ok;
  ok = RunVoronoi3DDemo(output) && ok;
  return ok;
}

}  // namespace zemox
