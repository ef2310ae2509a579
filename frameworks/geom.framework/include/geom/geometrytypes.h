#pragma once

#include <cfloat>

#include "zemox/types.h"

namespace zemox {

// Axis-aligned box; the default box is empty (min above max on every axis).
struct Box3D {
  Vector min{DBL_MAX, DBL_MAX, DBL_MAX};
  Vector max{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

}  // namespace zemox
