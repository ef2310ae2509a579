#include "demos.h"

namespace zemox {

bool RunDemos(std::FILE* out) {
  std::fprintf(out, "no services registered yet\n");
  return true;
}

}  // namespace zemox
