// Sample request to the outline sorting: four nested squares and a square beside them, sorted by the
// exact class into outer boundaries with their holes.

#include <algorithm>
#include <string_view>

#include "demos.h"
#include "private_geom/sortoutlines2d.h"

namespace zemox {

bool RunSortOutlines2DDemo(std::FILE* out) {
  std::fprintf(out, "SortOutlines2D\n");
  const Vector2d points[] = {{0, 0}, {9, 0}, {9, 9}, {0, 9}, {1, 1}, {8, 1}, {8, 8},  {1, 8},  {2, 2}, {7, 2},
                             {7, 7}, {2, 7}, {3, 3}, {6, 3}, {6, 6}, {3, 6}, {20, 0}, {21, 0}, {21, 1}};
  const Int counts[] = {4, 4, 4, 4, 3};
  Result<SortOutlines2DRef> sorter = CreateSortOutlines2D(SortOutlines2DExactClass);
  if (!sorter) return false;
  SortOutlines2DInterface& sort = *sorter.Value();
  BaseArray<BaseArray<Int>> polygons;
  if (!sort.Init({points, 19}, {counts, 5}, 3) || !sort.GetResult(polygons)) return false;
  const Result<String> text = sort.ToString(nullptr);
  if (!text) return false;
  std::fprintf(out, "  four nested squares and a triangle beside them, as the sorter describes them:\n");
  std::string_view rest = text.Value().View();
  while (!rest.empty()) {
    const std::string_view line = rest.substr(0, rest.find('\n'));
    std::fprintf(out, "    %.*s\n", static_cast<int>(line.size()), line.data());
    rest.remove_prefix(std::min(rest.size(), line.size() + 1));
  }
  std::fprintf(out, "  outer boundaries with their holes:");
  for (const BaseArray<Int>& polygon : polygons) {
    std::fprintf(out, " [");
    for (Int i = 0; i < polygon.GetCount(); ++i) std::fprintf(out, i == 0 ? "%lld" : " %lld", (long long)polygon[i]);
    std::fprintf(out, "]");
  }
  std::fprintf(out, "\n");
  return polygons.GetCount() == 3;
}

}  // namespace zemox
