#include "svg.h"

#include <algorithm>
#include <cfloat>
#include <string>

namespace zemox {

bool WriteSvg(std::FILE* out, const char* directory, const char* name, const std::vector<SvgLayer>& layers) {
  Float minX = DBL_MAX, minY = DBL_MAX, maxX = -DBL_MAX, maxY = -DBL_MAX;
  for (const SvgLayer& layer : layers) {
    for (const std::vector<Vector2d>& loop : layer.loops) {
      for (const Vector2d& p : loop) {
        minX = std::min(minX, p.x), minY = std::min(minY, p.y);
        maxX = std::max(maxX, p.x), maxY = std::max(maxY, p.y);
      }
    }
  }
  if (minX > maxX) return false;
  // A 400-pixel picture with a margin; y grows upwards as in the geometry.
  const Float size = std::max({maxX - minX, maxY - minY, 1e-9});
  const Float scale = 360.0 / size;
  const std::string path = std::string(directory) + "/" + name + ".svg";
  std::FILE* file = std::fopen(path.c_str(), "w");
  if (file == nullptr) return false;
  std::fprintf(file, "<svg xmlns=\"http://www.w3.org/2000/svg\" width=\"400\" height=\"400\">\n");
  for (const SvgLayer& layer : layers) {
    std::fprintf(file, "<path fill=\"%s\" fill-opacity=\"0.45\" stroke=\"%s\" fill-rule=\"evenodd\" d=\"", layer.colour,
                 layer.colour);
    for (const std::vector<Vector2d>& loop : layer.loops) {
      for (size_t i = 0; i < loop.size(); ++i)
        std::fprintf(file, "%c%.3f %.3f ", i == 0 ? 'M' : 'L', 20.0 + (loop[i].x - minX) * scale,
                     380.0 - (loop[i].y - minY) * scale);
      std::fprintf(file, "Z ");
    }
    std::fprintf(file, "\"/>\n");
  }
  std::fprintf(file, "</svg>\n");
  const bool written = std::fclose(file) == 0;
  if (written) std::fprintf(out, "  picture: %s\n", path.c_str());
  return written;
}

}  // namespace zemox
