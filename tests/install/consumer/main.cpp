// Loads the installed module and asks it one exact question: a wrong answer, or none because the module
// did not register, fails the run.
#include <dlfcn.h>

#include <cstdio>

#include "geom/exactpredicates2d.h"

int main() {
  void* module = dlopen(ZEMOX_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  if (module == nullptr) {
    std::fprintf(stderr, "cannot load %s: %s\n", ZEMOX_MODULE_PATH, dlerror());
    return 1;
  }
  // Collinear on y = 3x + 1 and large enough that the determinant summed from coordinate products
  // rounds to 32 in doubles.
  // Without a registered implementation the answer is NaN, which is not 0 either.
  const zemox::Vector2d a{134217729, 402653188}, b{268435459, 805306378}, c{536870917, 1610612752};
  const zemox::Float turn = zemox::ExactPredicates2DInterface::Orient(a, b, c);
  dlclose(module);
  if (turn != 0) {
    std::fprintf(stderr, "Orient of collinear points gave %g instead of 0\n", turn);
    return 1;
  }
  return 0;
}
