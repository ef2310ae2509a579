#pragma once

#include <random>
#include <vector>

#include "zemox/types.h"

namespace zemox {

// Points uniform in the unit cube, the same for every benchmark that asks for the same count, so
// that ours and the peer's run on identical input.
inline std::vector<Vector> UnitCubePoints(Int count) {
  std::mt19937_64 random(42);
  std::uniform_real_distribution<Float> coordinate(0.0, 1.0);
  std::vector<Vector> points(static_cast<size_t>(count));
  for (Vector& point : points) point = {coordinate(random), coordinate(random), coordinate(random)};
  return points;
}

}  // namespace zemox
