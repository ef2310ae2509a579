#pragma once

#include <algorithm>
#include <vector>

#include "zemox/types.h"

namespace zemox {

// Andrew's monotone chain, an oracle independent of the module's hulls: the strict convex hull of the
// points, counter-clockwise from the lowest leftmost point.
inline std::vector<Vector2d> MonotoneChainHull(std::vector<Vector2d> points) {
  std::sort(points.begin(), points.end(),
            [](const Vector2d& a, const Vector2d& b) { return a.x < b.x || (a.x == b.x && a.y < b.y); });
  const auto turn = [](const Vector2d& o, const Vector2d& a, const Vector2d& b) { return Cross(a - o, b - o); };
  std::vector<Vector2d> hull(2 * points.size());
  size_t k = 0;
  for (size_t i = 0; i < points.size(); ++i) {
    while (k >= 2 && turn(hull[k - 2], hull[k - 1], points[i]) <= 0) --k;
    hull[k++] = points[i];
  }
  for (size_t i = points.size() - 1, lower = k + 1; i > 0; --i) {
    while (k >= lower && turn(hull[k - 2], hull[k - 1], points[i - 1]) <= 0) --k;
    hull[k++] = points[i - 1];
  }
  hull.resize(k - 1);
  return hull;
}

}  // namespace zemox
