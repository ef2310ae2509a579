#pragma once

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "zemox/block.h"
#include "zemox/types.h"

namespace zemox {

// Loops as tests build them: plain vectors of points, viewed as blocks by the calls under test.
inline Block<const Vector2d> View(const std::vector<Vector2d>& loop) {
  return {loop.data(), static_cast<Int>(loop.size())};
}

// Loop from a flat list of coordinates x0, y0, x1, y1, ...
inline std::vector<Vector2d> FromCoordinates(std::initializer_list<Float> coordinates) {
  std::vector<Vector2d> loop;
  for (auto it = coordinates.begin(); it != coordinates.end(); it += 2) loop.push_back({it[0], it[1]});
  return loop;
}

inline std::vector<Vector2d> Reversed(std::vector<Vector2d> loop) {
  std::reverse(loop.begin(), loop.end());
  return loop;
}

inline std::vector<Vector2d> Moved(std::vector<Vector2d> loop, const Vector2d& offset) {
  for (Vector2d& point : loop) point = point + offset;
  return loop;
}

// Shoelace area, positive for counter-clockwise loops.
inline Float SignedArea(Block<const Vector2d> loop) {
  Float twice = 0.0;
  for (Int i = 0; i < loop.GetCount(); ++i) twice += Cross(loop[i], loop[(i + 1) % loop.GetCount()]);
  return twice / 2.0;
}

inline Float DistanceToSegment(const Vector2d& point, const Vector2d& a, const Vector2d& b) {
  const Vector2d d = b - a;
  const Float t = std::clamp(Dot(point - a, d) / Dot(d, d), 0.0, 1.0);
  const Vector2d gap = point - (a + d * t);
  return std::hypot(gap.x, gap.y);
}

// A clockwise loop, star-shaped around `centre`, with jittered angles (no gap reaches a half turn, so
// the loop is simple) and radii between `inner` and 1 times `radius`.
inline std::vector<Vector2d> RandomStar(std::mt19937_64& random, int count, const Vector2d& centre, Float radius,
                                        Float inner) {
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::vector<Vector2d> loop;
  for (int k = 0; k < count; ++k) {
    const Float angle = -2.0 * M_PI * (k + 0.8 * unit(random)) / count;
    const Float distance = radius * (inner + (1.0 - inner) * unit(random));
    loop.push_back(centre + Vector2d{distance * std::cos(angle), distance * std::sin(angle)});
  }
  return loop;
}

}  // namespace zemox
