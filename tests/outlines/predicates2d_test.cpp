// The point predicates of the exact 2D interface: orientation and in-circle signs on degenerate input,
// and the in-triangle and in-sector classifications over every kind of boundary case.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

#include "exactpredicates2d_impl.h"

namespace zemox {
namespace {

TEST(OrientTest, SignsOfTurnsAndExactZeroOnScaledCollinearPoints) {
  EXPECT_GT(ExactPredicates2DImpl::Orient({0, 0}, {1, 0}, {0, 1}), 0.0);
  EXPECT_LT(ExactPredicates2DImpl::Orient({1, 0}, {0, 0}, {0, 1}), 0.0);
  for (int i = 1; i < 50; ++i) {
    // Points on y = x stay on it after rounding: the answer is zero, never a small residue.
    const Vector2d a{0.1 * i, 0.1 * i}, b{0.1 * (i + 1), 0.1 * (i + 1)}, c{0.1 * (3 * i + 7), 0.1 * (3 * i + 7)};
    EXPECT_EQ(ExactPredicates2DImpl::Orient(a, b, c), 0.0) << i;
    EXPECT_EQ(ExactPredicates2DImpl::Orient(c, a, b), 0.0) << i;
  }
  // 0.1 times collinear integer points whose rounded products stay collinear, while the rounded
  // naive determinant is not zero.
  const Vector2d a{0.1 * 9, 0.1 * 4}, b{0.1 * 7, 0.1 * 8}, c{0.1 * 10, 0.1 * 2};
  EXPECT_NE((a.x - c.x) * (b.y - c.y) - (a.y - c.y) * (b.x - c.x), 0.0);
  EXPECT_EQ(ExactPredicates2DImpl::Orient(a, b, c), 0.0);
  EXPECT_EQ(ExactPredicates2DImpl::Orient(b, c, a), 0.0);
}

TEST(InCircleTest, CocircularIsZeroAndOneUlpInsideIsPositive) {
  const Vector2d a{1, 0}, b{0, 1}, c{-1, 0}, d{0, -1};
  EXPECT_EQ(ExactPredicates2DImpl::InCircle(a, b, c, d), 0.0);
  EXPECT_GT(ExactPredicates2DImpl::InCircle(a, b, c, {0, std::nextafter(-1.0, 0.0)}), 0.0);
  EXPECT_LT(ExactPredicates2DImpl::InCircle(a, b, c, {0, std::nextafter(-1.0, -2.0)}), 0.0);
  EXPECT_LT(ExactPredicates2DImpl::InCircle(c, b, a, {0, std::nextafter(-1.0, 0.0)}), 0.0);
}

struct PointCase {
  const char* name;
  Vector2d a, b, c, p;
  Float expected;
};

void PrintTo(const PointCase& value, std::ostream* out) { *out << value.name; }

class InTriangleTest : public ::testing::TestWithParam<PointCase> {};

TEST_P(InTriangleTest, ClassifiesPoint) {
  const PointCase& t = GetParam();
  const Result<Float> answer = ExactPredicates2DImpl::InTriangle(t.a, t.b, t.c, t.p);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer.Value(), t.expected);
}

constexpr Vector2d o{0, 0}, x1{1, 0}, y1{0, 1};

INSTANTIATE_TEST_SUITE_P(
    Boundaries, InTriangleTest,
    ::testing::Values(
        PointCase{"inside", o, x1, y1, {0.25, 0.25}, 1.0}, PointCase{"on_hypotenuse", o, x1, y1, {0.5, 0.5}, 0.0},
        PointCase{"on_leg_ab", o, x1, y1, {0.5, 0}, 0.0}, PointCase{"on_leg_ca", o, x1, y1, {0, 0.75}, 0.0},
        PointCase{"vertex_a", o, x1, y1, o, 0.0}, PointCase{"vertex_b", o, x1, y1, x1, 0.0},
        PointCase{"vertex_c", o, x1, y1, y1, 0.0}, PointCase{"outside", o, x1, y1, {1, 1}, -1.0},
        PointCase{"on_edge_line_beyond_b", o, x1, y1, {2, 0}, -1.0},
        PointCase{"on_hypotenuse_line_beyond", o, x1, y1, {-1, 2}, -1.0},
        PointCase{"tenth_scaled_inside", {0.1, 0.1}, {0.7, 0.1}, {0.1, 0.7}, {0.3, 0.3}, 1.0},
        PointCase{"tenth_scaled_on_edge", {0.1, 0.1}, {0.7, 0.1}, {0.1, 0.7}, {0.4, 0.1}, 0.0},
        PointCase{"clockwise_inside", o, y1, x1, {0.25, 0.25}, -1.0},
        PointCase{"clockwise_on_edge", o, y1, x1, {0.5, 0.5}, -1.0}, PointCase{"clockwise_vertex", o, y1, x1, o, -1.0},
        PointCase{"clockwise_outside", o, y1, x1, {1, 1}, -1.0},
        PointCase{"collinear_on_line", o, x1, {2, 0}, {1.5, 0}, 0.0},
        PointCase{"collinear_on_line_outside_span", o, x1, {2, 0}, {5, 0}, 0.0},
        PointCase{"collinear_off_line", o, x1, {2, 0}, {1, 1}, -1.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InTriangleErrorTest, EqualVerticesFailWithoutMessage) {
  for (const auto& [a, b, c] : {std::tuple{o, o, x1}, std::tuple{o, x1, o}, std::tuple{x1, o, o}}) {
    const Result<Float> answer = ExactPredicates2DImpl::InTriangle(a, b, c, {0.1, 0.1});
    ASSERT_FALSE(answer);
    EXPECT_TRUE(answer.GetError().Is(IllegalArgumentError));
    EXPECT_TRUE(answer.GetError().Message().empty());
  }
}

class InSectorTest : public ::testing::TestWithParam<PointCase> {};

TEST_P(InSectorTest, ClassifiesPoint) {
  const PointCase& t = GetParam();
  const Result<Float> answer = ExactPredicates2DImpl::InSector(t.a, t.b, t.c, t.p);
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer.Value(), t.expected);
}

// The sector from the ray through (1, 0) counter-clockwise to the ray through (0, 1).
INSTANTIATE_TEST_SUITE_P(
    Boundaries, InSectorTest,
    ::testing::Values(PointCase{"inside", o, x1, y1, {1, 1}, 1.0}, PointCase{"inside_far", o, x1, y1, {1e6, 1}, 1.0},
                      PointCase{"on_ray_a_beyond_point", o, x1, y1, {2, 0}, 0.0},
                      PointCase{"on_ray_a_before_point", o, x1, y1, {0.5, 0}, 0.0},
                      PointCase{"ray_a_point", o, x1, y1, x1, 0.0},
                      PointCase{"on_ray_b_beyond_point", o, x1, y1, {0, 3}, 0.0},
                      PointCase{"on_ray_b_before_point", o, x1, y1, {0, 0.5}, 0.0},
                      PointCase{"opposite_ray_a", o, x1, y1, {-1, 0}, -1.0},
                      PointCase{"opposite_ray_b", o, x1, y1, {0, -1}, -1.0}, PointCase{"center", o, x1, y1, o, -1.0},
                      PointCase{"outside_opposite_quadrant", o, x1, y1, {-1, -1}, -1.0},
                      PointCase{"outside_below_ray_a", o, x1, y1, {1, -1}, -1.0},
                      PointCase{"outside_beyond_ray_b", o, x1, y1, {-1, 1}, -1.0},
                      PointCase{"narrow_scaled_on_ray", {0.1, 0.1}, {0.3, 0.3}, {0.1, 0.3}, {0.7, 0.7}, 0.0},
                      PointCase{"narrow_scaled_inside", {0.1, 0.1}, {0.3, 0.3}, {0.1, 0.3}, {0.2, 0.7}, 1.0}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(InSectorErrorTest, SectorsThatAreNotStrictlyConvexFailWithoutMessage) {
  const Vector2d cases[][3] = {
      {o, x1, {-1, 0}},  // half-plane
      {o, {-1, 0}, x1},  // half-plane the other way
      {o, y1, x1},       // reflex: the counter-clockwise sweep from (0, 1) to (1, 0) covers 270 degrees
      {o, x1, {2, 0}},   // both rays the same
      {o, o, y1},        // ray of zero length
  };
  for (const auto& sector : cases) {
    const Result<Float> answer = ExactPredicates2DImpl::InSector(sector[0], sector[1], sector[2], {1, 1});
    ASSERT_FALSE(answer);
    EXPECT_TRUE(answer.GetError().Is(IllegalArgumentError));
    EXPECT_TRUE(answer.GetError().Message().empty());
  }
}

// Every placement of NaN and of both infinities: Orient and InCircle answer NaN, the classifications
// fail with their message instead of answering (a NaN test point used to count as on the boundary).
TEST(NonFiniteInputTest, NaNForTheSignsAndAnErrorForTheClassifications) {
  const Float inf = std::numeric_limits<Float>::infinity();
  for (const Float bad : {std::numeric_limits<Float>::quiet_NaN(), inf, -inf}) {
    for (int slot = 0; slot < 8; ++slot) {
      Vector2d p[4] = {o, x1, y1, {0.25, 0.25}};
      (slot % 2 == 0 ? p[slot / 2].x : p[slot / 2].y) = bad;
      if (slot < 6) {
        EXPECT_TRUE(std::isnan(ExactPredicates2DImpl::Orient(p[0], p[1], p[2]))) << slot;
      }
      EXPECT_TRUE(std::isnan(ExactPredicates2DImpl::InCircle(p[0], p[1], p[2], p[3]))) << slot;
      const Result<Float> inTriangle = ExactPredicates2DImpl::InTriangle(p[0], p[1], p[2], p[3]);
      ASSERT_FALSE(inTriangle) << slot;
      EXPECT_TRUE(inTriangle.GetError().Is(IllegalArgumentError));
      EXPECT_EQ(inTriangle.GetError().Message(), "InTriangle: Point has a non-finite coordinate.");
      const Result<Float> inSector = ExactPredicates2DImpl::InSector(p[0], p[1], p[2], p[3]);
      ASSERT_FALSE(inSector) << slot;
      EXPECT_TRUE(inSector.GetError().Is(IllegalArgumentError));
      EXPECT_EQ(inSector.GetError().Message(), "InSector: Point has a non-finite coordinate.");
    }
  }
}

// Scales where the products of the coordinates overflow or underflow: the classifications stay exact.
TEST(ExtremeScaleTest, ClassificationsKeepTheirAnswers) {
  for (const int k : {-1070, -898, -700, 615, 1000}) {
    const auto scaled = [k](Vector2d p) { return Vector2d{std::ldexp(p.x, k), std::ldexp(p.y, k)}; };
    const Vector2d a = scaled(o), b = scaled(x1), c = scaled(y1);
    EXPECT_EQ(ExactPredicates2DImpl::InTriangle(a, b, c, scaled({0.5, 0.5})).Value(), 0.0) << k;
    EXPECT_EQ(ExactPredicates2DImpl::InTriangle(a, b, c, scaled({0.25, 0.5})).Value(), 1.0) << k;
    EXPECT_EQ(ExactPredicates2DImpl::InSector(a, b, c, scaled({0, 3})).Value(), 0.0) << k;
    EXPECT_EQ(ExactPredicates2DImpl::InSector(a, b, c, scaled({1, 3})).Value(), 1.0) << k;
  }
}

TEST(ModulePredicateContextTest, PreparedForDoublesWithClearedStaticFilters) {
  const PredicateContext& context = ModulePredicateContext();
  EXPECT_EQ(context.epsilon, std::ldexp(1.0, -53));
  EXPECT_EQ(context.splitter, 134217729.0);
  EXPECT_EQ(context.useInexactArithmetic, 0);
  EXPECT_EQ(context.useStaticFilter, 1);
  EXPECT_EQ(context.o3dStaticFilter, 0.0);
  EXPECT_EQ(context.ispStaticFilter, 0.0);
}

}  // namespace
}  // namespace zemox
