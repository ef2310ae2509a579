#pragma once

#include <cfloat>

#include "zemox/types.h"

namespace zemox {

// Axis-aligned box; the default box is empty (min above max on every axis).
struct Box3D {
  Vector min{DBL_MAX, DBL_MAX, DBL_MAX};
  Vector max{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

// 2D affine transform: a point p maps to offset + p.x * xAxis + p.y * yAxis. The default is the identity.
struct Matrix2d {
  Vector2d offset;
  Vector2d xAxis{1.0, 0.0};
  Vector2d yAxis{0.0, 1.0};

  Vector2d Transform(const Vector2d& point) const { return offset + xAxis * point.x + yAxis * point.y; }
};

}  // namespace zemox
