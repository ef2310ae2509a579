#include "demos.h"

namespace zemox {

bool RunDemos(std::FILE* out) {
  bool ok = true;
  ok = RunExactPredicates2DDemo(out) && ok;
  ok = RunSortOutlines2DDemo(out) && ok;
  ok = RunDelaunay3DDemo(out) && ok;
  ok = RunConvexHullDemo(out) && ok;
  ok = RunVoronoi3DDemo(out) && ok;
  return ok;
}

}  // namespace zemox
