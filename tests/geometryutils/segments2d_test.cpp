// 2D segment tests and intersections: the closed ranges and tolerance at the ends, the classified
// intersection's overlap reports and snapping order, and agreement with an exact integer oracle.

#include <random>

#include "test_helpers.h"

namespace zemox::geometryutilstest {
namespace {

TEST(IntersectSegments2DTest, ClosedRangesAndParameterTolerance) {
  const Float justBeyondOne = std::nextafter(1.0, 2.0);
  Vector2d point{7, 7};
  EXPECT_FALSE(G::SegmentsIntersectionTest2D({0, 0}, {1, 0}, {justBeyondOne, -1}, {justBeyondOne, 1}));
  EXPECT_FALSE(G::IntersectSegments2D({0, 0}, {1, 0}, {justBeyondOne, -1}, {justBeyondOne, 1}, point, 0.0));
  EXPECT_TRUE(G::IntersectSegments2D({0, 0}, {1, 0}, {1.05, -1}, {1.05, 1}, point, 0.1));
  EXPECT_EQ(point, (Vector2d{1.05, 0}));
  EXPECT_FALSE(G::IntersectSegments2D({0, 0}, {1, 0}, {1.2, -1}, {1.2, 1}, point, 0.1));
  // Rays that start on the segment, pass through its end or run along it.
  EXPECT_TRUE(G::SegmentRayIntersectionTest2D({0, 0}, {2, 0}, {1, 0}, {0, 1}));
  EXPECT_FALSE(G::SegmentRayIntersectionTest2D({0, 0}, {2, 0}, {1, -1}, {0, -1}));
  EXPECT_TRUE(G::SegmentRayIntersectionTest2D({0, 0}, {2, 0}, {2, -1}, {0, 1}));
  EXPECT_FALSE(G::SegmentRayIntersectionTest2D({0, 0}, {2, 0}, {-1, 0}, {1, 0}));
}

// Closed-segment crossing of non-parallel segments decided with integer orientations.
Bool OracleCrosses(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  const auto orient = [](const Vector2d& a, const Vector2d& b, const Vector2d& c) {
    const long long value = static_cast<long long>((b.x - a.x) * (c.y - a.y) - (b.y - a.y) * (c.x - a.x));
    return (value > 0) - (value < 0);
  };
  if (Cross(q - p, s - r) == 0.0) return false;
  return orient(p, q, r) * orient(p, q, s) <= 0 && orient(r, s, p) * orient(r, s, q) <= 0;
}

TEST(SegmentsIntersectionTest2DTest, AgreesWithIntegerOracleOnRandomSegments) {
  std::mt19937 random(12345);
  std::uniform_int_distribution<int> coordinate(0, 6);
  const auto next = [&] { return Vector2d{Float(coordinate(random)), Float(coordinate(random))}; };
  for (int i = 0; i < 5000; ++i) {
    const Vector2d p = next(), q = next(), r = next(), s = next();
    const Bool expected = OracleCrosses(p, q, r, s);
    ASSERT_EQ(G::SegmentsIntersectionTest2D(p, q, r, s), expected) << i;
    ASSERT_EQ(G::SegmentsIntersectionTest2D(r, s, p, q), expected) << "swapped " << i;
    Vector2d point;
    Bool parallel = false;
    ASSERT_EQ(G::IntersectSegments2D(p, q, r, s, point, 0.0), expected) << i;
    if (!expected) continue;
    // The crossing lies on both lines: the integer orientations of the point vanish up to rounding.
    EXPECT_NEAR(Cross(q - p, point - p), 0.0, 1e-12) << i;
    EXPECT_NEAR(Cross(s - r, point - r), 0.0, 1e-12) << i;
    ASSERT_TRUE(G::IntersectsSegmentsExact2D(p, q, r, s, point, parallel, nullptr, 0.0)) << i;
    EXPECT_FALSE(parallel) << i;
  }
}

TEST(IntersectsSegmentsExact2DTest, ClassifiesAndReportsPoints) {
  constexpr Float eps = 1e-8;
  const struct {
    const char* name;
    Vector2d p, q, r, s;
    Float tolerance;
    Bool result, parallel;
    Vector2d point;          // without a second point
    Vector2d first, second;  // with a second point
  } cases[] = {
      // These cross at (1, 0) with a tolerance of 0.2 in parameter, so that two ends compete.
      {"r_before_p", {0, 0}, {10, 0}, {1, -0.1}, {1, 9.9}, 0.2, true, false, {1, -0.1}, {1, -0.1}, {0, 0}},
      {"s_before_p", {0, 0}, {10, 0}, {1, -9.9}, {1, 0.1}, 0.2, true, false, {1, 0.1}, {1, 0.1}, {0, 0}},
      {"p_when_r_s_far", {0, 0}, {10, 0}, {1, -5}, {1, 5}, 0.2, true, false, {0, 0}, {0, 0}, {0, 0}},
      {"q_when_r_s_far", {0, 0}, {10, 0}, {9.5, -5}, {9.5, 5}, 0.2, true, false, {10, 0}, {10, 0}, {0, 0}},
      {"coincident", {0, 0}, {2, 0}, {0, 0}, {2, 0}, eps, true, true, {1, 0}, {0, 0}, {2, 0}},
      {"collinear_overlap", {0, 0}, {2, 0}, {1, 0}, {3, 0}, eps, true, true, {1.5, 0}, {1, 0}, {2, 0}},
      {"collinear_touch", {0, 0}, {1, 0}, {1, 0}, {2, 0}, eps, true, true, {1, 0}, {1, 0}, {1, 0}},
      {"collinear_disjoint", {0, 0}, {1, 0}, {2, 0}, {3, 0}, eps, false, true, {0, 0}, {0, 0}, {0, 0}},
      {"parallel_disjoint", {0, 0}, {1, 0}, {0, 1}, {1, 1}, eps, false, true, {0, 0}, {0, 0}, {0, 0}},
      {"zero_length_on_segment", {1, 0}, {1, 0}, {0, 0}, {2, 0}, eps, true, true, {1, 0}, {1, 0}, {1, 0}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    Vector2d point{7, 7}, second{7, 7};
    Bool parallel = !c.parallel;
    EXPECT_EQ(G::IntersectsSegmentsExact2D(c.p, c.q, c.r, c.s, point, parallel, nullptr, c.tolerance), c.result);
    EXPECT_EQ(parallel, c.parallel);
    EXPECT_EQ(point, c.point);
    parallel = !c.parallel;
    EXPECT_EQ(G::IntersectsSegmentsExact2D(c.p, c.q, c.r, c.s, point, parallel, &second, c.tolerance), c.result);
    EXPECT_EQ(parallel, c.parallel);
    EXPECT_EQ(point, c.first);
    EXPECT_EQ(second, c.second);
  }
}

}  // namespace
}  // namespace zemox::geometryutilstest
