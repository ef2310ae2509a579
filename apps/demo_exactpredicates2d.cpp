// Sample requests to the exact 2D predicates: outline tests on a bow tie, a square and two squares
// sharing an edge, and orientation and in-circle signs on inputs that defeat plain floating point.

#include <string_view>

#include "demos.h"
#include "geom/exactpredicates2d.h"

namespace zemox {
namespace {

const char* SignWord(Float value, const char* positive, const char* zero, const char* negative) {
  if (value > 0.0) return positive;
  if (value < 0.0) return negative;
  return zero;
}

bool ReportOutlineTest(std::FILE* out, const char* what, const Result<Bool>& answer, Bool expected) {
  if (!answer) {
    const std::string_view message = answer.GetError().Message();
    std::fprintf(out, "  %s: error %s (%.*s)\n", what, answer.GetError().Class().Text(),
                 static_cast<int>(message.size()), message.data());
    return false;
  }
  std::fprintf(out, "  %s: %s\n", what, answer.Value() ? "touch or cross" : "apart");
  return answer.Value() == expected;
}

bool RunOutlineTests(std::FILE* out) {
  const Vector2d bowTie[] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
  const Vector2d square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Vector2d neighbour[] = {{1, 0}, {2, 0}, {2, 1}, {1, 1}};
  bool ok = ReportOutlineTest(out, "bow tie (0,0) (1,1) (1,0) (0,1) against itself",
                              ExactPredicates2DInterface::OutlineSelfIntersectionTest({bowTie, 4}), true);
  ok = ReportOutlineTest(out, "unit square against itself",
                         ExactPredicates2DInterface::OutlineSelfIntersectionTest({square, 4}), false) &&
       ok;
  ok = ReportOutlineTest(out, "unit square and its right neighbour sharing the edge x = 1",
                         ExactPredicates2DInterface::OutlinesIntersectionTest({square, 4}, {neighbour, 4}), true) &&
       ok;
  return ok;
}

bool RunPointTests(std::FILE* out) {
  // 0.1 times the collinear integer points (9, 4), (7, 8), (10, 2): the products are rounded, yet the
  // three stored points still lie on one line. The naive determinant misses that, the exact one not.
  const Vector2d a{0.1 * 9, 0.1 * 4}, b{0.1 * 7, 0.1 * 8}, c{0.1 * 10, 0.1 * 2};
  const Float naive = (a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x);
  const Float turn = ExactPredicates2DInterface::Orient(a, b, c);
  std::fprintf(out, "  Orient 0.1 * (9,4) (7,8) (10,2): %s (exact %g, naive determinant %g)\n",
               SignWord(turn, "counter-clockwise", "collinear", "clockwise"), turn, naive);
  // Four points on the unit circle: exactly cocircular.
  const Float circle = ExactPredicates2DInterface::InCircle({1, 0}, {0, 1}, {-1, 0}, {0, -1});
  std::fprintf(out, "  InCircle (1,0) (0,1) (-1,0) test (0,-1): %s\n",
               SignWord(circle, "inside", "on the circle", "outside"));
  // (0.3, -0.4) lies on the circle of radius 0.5 in decimal, but its doubles do not: the exact sign
  // tells on which side the stored point lies.
  const Float scaled = ExactPredicates2DInterface::InCircle({0.5, 0}, {0, 0.5}, {-0.5, 0}, {0.3, -0.4});
  std::fprintf(out, "  InCircle (0.5,0) (0,0.5) (-0.5,0) test (0.3,-0.4): %s\n",
               SignWord(scaled, "inside", "on the circle", "outside"));
  return turn == 0.0 && circle == 0.0;
}

}  // namespace

bool RunExactPredicates2DDemo(const DemoOutput& output) {
  std::FILE* out = output.out;
  std::fprintf(out, "ExactPredicates2D\n");
  const bool outlines = RunOutlineTests(out);
  const bool points = RunPointTests(out);
  return outlines && points;
}

}  // namespace zemox
