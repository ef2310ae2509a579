#pragma once

#include <cstdio>
#include <vector>

#include "zemox/types.h"

namespace zemox {

// Loops of one colour in a picture; drawn filled with the even-odd rule, so holes stay open.
struct SvgLayer {
  const char* colour;
  std::vector<std::vector<Vector2d>> loops;
};

// Writes directory/name.svg with the layers in order, scaled to fit, y up; reports the file on `out`.
// False when the file cannot be written.
bool WriteSvg(std::FILE* out, const char* directory, const char* name, const std::vector<SvgLayer>& layers);

}  // namespace zemox
