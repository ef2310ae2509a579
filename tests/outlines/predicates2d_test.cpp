// The point predicates of the exact 2D interface: the in-triangle and in-sector classifications over
// every kind of boundary case, and non-finite input. Counter-clockwise triangles in general position
// and the non-finite signs of Orient and InCircle are checked by the predicates fuzz harness.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "exactpredicates2d_impl.h"

namespace zemox {
namespace {

using Impl = ExactPredicates2DImpl;

struct PointCase {
  const char* name;
  Bool sector;
  Vector2d a, b, c, p;
  Float expected;
  const char* refusal = nullptr;  // the message of refused input
};

void PrintTo(const PointCase& value, std::ostream* out) { *out << value.name; }

class ClassificationTest : public ::testing::TestWithParam<PointCase> {};

Vector2d Scaled(const Vector2d& p, int k) { return {std::ldexp(p.x, k), std::ldexp(p.y, k)}; }

// The answer or the refusal, also at scales where the products of the coordinates overflow or
// underflow, wherever the scaled coordinates are exact.
TEST_P(ClassificationTest, ClassifiesPointAtEveryExactScale) {
  const PointCase& t = GetParam();
  for (const int k : {0, -1070, -898, -700, 615, 1000}) {
    const Vector2d a = Scaled(t.a, k), b = Scaled(t.b, k), c = Scaled(t.c, k), p = Scaled(t.p, k);
    const Bool exact = Scaled(a, -k) == t.a && Scaled(b, -k) == t.b && Scaled(c, -k) == t.c && Scaled(p, -k) == t.p;
    if (k != 0 && !exact) continue;
    const Result<Float> answer = t.sector ? Impl::InSector(a, b, c, p) : Impl::InTriangle(a, b, c, p);
    if (t.refusal) {
      ASSERT_FALSE(answer) << k;
      EXPECT_TRUE(answer.GetError().Is(IllegalArgumentError));
      EXPECT_EQ(answer.GetError().Message(), t.refusal);
      continue;
    }
    ASSERT_TRUE(answer) << k;
    EXPECT_EQ(answer.Value(), t.expected) << k;
  }
}

constexpr Vector2d o{0, 0}, x1{1, 0}, y1{0, 1};
constexpr Float nan = std::numeric_limits<Float>::quiet_NaN(), inf = std::numeric_limits<Float>::infinity();
constexpr const char* triangleNonFinite = "InTriangle: Point has a non-finite coordinate.";
constexpr const char* sectorNonFinite = "InSector: Point has a non-finite coordinate.";

// A clockwise triangle holds nothing; a collinear one holds its whole line. The sector runs from the
// ray through (1, 0) counter-clockwise to the ray through (0, 1). Equal triangle vertices and sectors
// that are not strictly convex are refused without a message, a non-finite point with one (a NaN test
// point used to count as on the boundary).
INSTANTIATE_TEST_SUITE_P(
    Boundaries, ClassificationTest,
    ::testing::Values(
        PointCase{"on_hypotenuse", false, o, x1, y1, {0.5, 0.5}, 0.0},
        PointCase{"on_leg", false, o, x1, y1, {0, 0.75}, 0.0}, PointCase{"vertex", false, o, x1, y1, x1, 0.0},
        PointCase{"on_edge_line_beyond", false, o, x1, y1, {-1, 2}, -1.0},
        PointCase{"tenth_scaled_on_edge", false, {0.1, 0.1}, {0.7, 0.1}, {0.1, 0.7}, {0.4, 0.1}, 0.0},
        PointCase{"clockwise_inside", false, o, y1, x1, {0.25, 0.25}, -1.0},
        PointCase{"clockwise_vertex", false, o, y1, x1, o, -1.0},
        PointCase{"collinear_outside_span", false, o, x1, {2, 0}, {5, 0}, 0.0},
        PointCase{"collinear_off_line", false, o, x1, {2, 0}, {1, 1}, -1.0},
        PointCase{"sector_inside_far", true, o, x1, y1, {1e6, 1}, 1.0},
        PointCase{"sector_on_ray_a_beyond_point", true, o, x1, y1, {2, 0}, 0.0},
        PointCase{"sector_on_ray_b_before_point", true, o, x1, y1, {0, 0.5}, 0.0},
        PointCase{"sector_on_ray_b_far", true, o, x1, y1, {0, 3}, 0.0},
        PointCase{"sector_inside_near_ray_b", true, o, x1, y1, {1, 3}, 1.0},
        PointCase{"sector_opposite_ray_a", true, o, x1, y1, {-1, 0}, -1.0},
        PointCase{"sector_center", true, o, x1, y1, o, -1.0},
        PointCase{"sector_outside_below_ray_a", true, o, x1, y1, {1, -1}, -1.0},
        PointCase{"sector_outside_beyond_ray_b", true, o, x1, y1, {-1, 1}, -1.0},
        PointCase{"sector_narrow_scaled_on_ray", true, {0.1, 0.1}, {0.3, 0.3}, {0.1, 0.3}, {0.7, 0.7}, 0.0},
        PointCase{"sector_narrow_scaled_inside", true, {0.1, 0.1}, {0.3, 0.3}, {0.1, 0.3}, {0.2, 0.7}, 1.0},
        PointCase{"refused_first_vertices_equal", false, o, o, x1, {0.1, 0.1}, 0, ""},
        PointCase{"refused_outer_vertices_equal", false, o, x1, o, {0.1, 0.1}, 0, ""},
        PointCase{"refused_last_vertices_equal", false, x1, o, o, {0.1, 0.1}, 0, ""},
        PointCase{"refused_nan_point", false, o, x1, y1, {nan, 0}, 0, triangleNonFinite},
        PointCase{"refused_infinite_vertex", false, {0, inf}, x1, y1, {0.25, 0.25}, 0, triangleNonFinite},
        PointCase{"sector_refused_half_plane", true, o, x1, {-1, 0}, {1, 1}, 0, ""},
        // The counter-clockwise sweep covers 270 degrees.
        PointCase{"sector_refused_reflex", true, o, y1, x1, {1, 1}, 0, ""},
        PointCase{"sector_refused_equal_rays", true, o, x1, {2, 0}, {1, 1}, 0, ""},
        PointCase{"sector_refused_ray_of_zero_length", true, o, o, y1, {1, 1}, 0, ""},
        PointCase{"sector_refused_infinite_point", true, o, x1, y1, {0.25, -inf}, 0, sectorNonFinite},
        PointCase{"sector_refused_nan_ray", true, o, {nan, 0}, y1, {0.25, 0.25}, 0, sectorNonFinite}),
    [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zemox
