// Segments, lines, half-lines, planes and triangles. In 2D: the closed ranges and tolerance at the ends, the
// classified intersection's overlap reports and snapping order, and agreement with an exact integer oracle. In
// 3D: constructed points checked by substitution into the equations they must satisfy, the tolerances' stated
// quantities, coplanar and parallel cases, and the triangle test's watertightness and asymmetry.

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

// Uniform random vectors in a cube and numbers in [0, 1).
struct RandomVectors {
  std::mt19937 engine;
  Vector Next(Float range) {
    std::uniform_real_distribution<Float> coordinate(-range, range);
    return {coordinate(engine), coordinate(engine), coordinate(engine)};
  }
  Float Unit() { return std::uniform_real_distribution<Float>(0.0, 1.0)(engine); }
};

Vector Unit(const Vector& v) { return v * (1.0 / Length(v)); }

// Lines through a common point x meet there; moved apart along their common normal n, they are skew, n is
// their distance vector and the closest points keep their parameters (directions need not be unit).
TEST(LineIntersectionTest, LinesThroughACommonPointMeetThere) {
  RandomVectors random{std::mt19937(11)};
  Bool parallel = true;
  Float param1 = 7, param2 = 7;
  for (int i = 0; i < 200; ++i) {
    const Vector x = random.Next(1000), d1 = Unit(random.Next(1)), d2 = Unit(random.Next(1));
    if (Length(Cross(d1, d2)) < 0.1) continue;
    const Float along1 = 5 + 10 * random.Unit(), along2 = 5 + 10 * random.Unit();
    const Vector n = Unit(Cross(d1, d2));
    const Vector gap =
        G::LineLineDistance(x - along1 * d1, 0.5 * d1, x + n + along2 * d2, 3.0 * d2, parallel, param1, param2, 1e-8);
    ExpectNear(gap, -1.0 * n, 1e-9);
    EXPECT_FALSE(parallel);
    EXPECT_NEAR(param1, 2.0 * along1, 1e-9);
    EXPECT_NEAR(param2, -along2 / 3.0, 1e-9);
    Vector point;
    ASSERT_TRUE(G::IntersectLines(x - along1 * d1, d1, x + along2 * d2, d2, point, 1e-6)) << i;
    ExpectNear(point, x, 1e-9);
    ASSERT_TRUE(G::IntersectSegments(x - along1 * d1, x + d1, x + along2 * d2, x - d2, point, 1e-6)) << i;
    ExpectNear(point, x, 1e-9);
    ASSERT_TRUE(G::IntersectLineSegment(x + 3 * d1, d1, x - d2, x + d2, point, 1e-6)) << i;
    ASSERT_TRUE(G::IntersectHalfLines(x - along1 * d1, d1, x - along2 * d2, d2, point, 1e-6)) << i;
    EXPECT_FALSE(G::IntersectHalfLines(x + d1, d1, x - along2 * d2, d2, point, 1e-6)) << "behind " << i;
    ASSERT_TRUE(G::IntersectLineHalfLine(x + d1, d1, x - along2 * d2, d2, point, 1e-6)) << i;
    ASSERT_TRUE(G::IntersectHalfLineSegment(x - along1 * d1, d1, x - d2, x + d2, point, 1e-6)) << i;
    ExpectNear(point, x, 1e-9);
    EXPECT_FALSE(G::IntersectSegments(x - along1 * d1, x - d1, x + along2 * d2, x - d2, point, 1e-6)) << i;
    EXPECT_FALSE(G::IntersectLineSegment(x, d1, x + d2, x + 2 * d2, point, 1e-6)) << i;
    EXPECT_FALSE(G::IntersectLines(x, d1, x + n, d2, point, 1e-6)) << "skew " << i;
  }
  // Parallel is decided on the Gram determinant of the directions, not on an angle.
  EXPECT_EQ(G::LineLineDistance({1, 2, 3}, {1, 0, 0}, {0, 0, 0}, {1, 1e-3, 0}, parallel, param1, param2, 1e-5),
            (Vector{1, 2, 3}));
  EXPECT_TRUE(parallel);
}

TEST(PointOnLineTest, HalfLineOriginAndToleranceOfTheCrossProduct) {
  const Vector origin{1, 2, 3}, dir{0, 0, 1};
  EXPECT_FALSE(G::PointInHalfLine(origin, origin, dir, 1e-6));
  EXPECT_TRUE(G::PointInHalfLine(origin + 2.0 * dir, origin, dir, 1e-6));
  EXPECT_FALSE(G::PointInHalfLine(origin + 2.0 * dir, origin, 2.0 * dir, 1e-6)) << "directions must be unit";
  // 5e-5 from a segment of length 10: |d x w| is 5e-4, beyond the tolerance, though the distance is not.
  EXPECT_FALSE(G::PointInSegment({5, 5e-5, 0}, {0, 0, 0}, {10, 0, 0}, 1e-4));
  EXPECT_TRUE(G::PointInSegment({5, 5e-6, 0}, {0, 0, 0}, {10, 0, 0}, 1e-4));
  EXPECT_FALSE(G::PointInSegment2D({5, 5e-5}, {0, 0}, {10, 0}, 1e-4));
  EXPECT_TRUE(G::PointInSegment2D({0, 0}, {0, 0}, {10, 0}, 1e-4));
  EXPECT_FALSE(G::PointInSegment2D({0, 0}, {0, 0}, {5e-5, 5e-5}, 1e-4)) << "degenerate segment holds nothing";
}

TEST(PlaneIntersectionTest, ResultsSatisfyThePlaneEquations) {
  Vector point, direction;
  EXPECT_FALSE(G::IntersectPlanes({0, 0, 0}, {0, 0, 1}, {0, 0, 5}, {0, 0, -2}, point, direction, 1e-8));
  RandomVectors random{std::mt19937(3)};
  for (int i = 0; i < 200; ++i) {
    const Vector p1 = random.Next(1000), n1 = random.Next(1), p2 = random.Next(1000), n2 = random.Next(1);
    if (!G::IntersectPlanes(p1, n1, p2, n2, point, direction, 1e-3)) continue;
    EXPECT_NEAR(Dot(point - p1, n1), 0.0, 1e-8) << i;
    EXPECT_NEAR(Dot(point - p2, n2), 0.0, 1e-8) << i;
    EXPECT_NEAR(Dot(direction, n1), 0.0, 1e-12) << i;
    EXPECT_NEAR(Dot(direction, n2), 0.0, 1e-12) << i;
    const Vector lineDir = random.Next(1);
    Float param = 0;
    Bool samePlane = true;
    if (!G::IntersectLinePlane(p2, lineDir, p1, n1, point, param, samePlane, 1e-2)) continue;
    EXPECT_FALSE(samePlane);
    EXPECT_NEAR(Dot(point - p1, n1), 0.0, 1e-8) << i;
    ExpectNear(point, p2 + param * lineDir, 1e-12);
  }
}

TEST(PlaneIntersectionTest, SegmentsHalfLinesAndLinesInThePlane) {
  const Vector origin{0, 0, 0}, up{0, 0, 1};
  Vector point;
  EXPECT_TRUE(G::IntersectSegmentPlane({0, 0, -1}, {0, 0, 1}, origin, up, point, 1e-8));
  EXPECT_FALSE(G::IntersectSegmentPlane({0, 0, 1}, {0, 0, 2}, origin, up, point, 1e-8));
  EXPECT_TRUE(G::IntersectHalfLinePlane({0, 0, 1}, {0, 0, -1}, origin, up, point, 1e-8));
  EXPECT_FALSE(G::IntersectHalfLinePlane({0, 0, 1}, {0, 0, 1}, origin, up, point, 1e-8));
  Float param = 7;
  Bool samePlane = false;
  EXPECT_FALSE(G::IntersectLinePlane({1, 2, 0}, {1, 0, 0}, origin, up, point, param, samePlane, 1e-8));
  EXPECT_TRUE(samePlane);
  EXPECT_FALSE(G::IntersectLinePlane({1, 2, 1e-3}, {1, 0, 0}, origin, up, point, param, samePlane, 1e-8));
  EXPECT_FALSE(samePlane);
}

TEST(TriangleIntersectionTest, LinesAndHalfLinesAgainstTriangles) {
  const Vector a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0}, down{0, 0, -1};
  Vector point;
  Vector2d weights{7, 7};
  EXPECT_TRUE(G::IntersectLineTriangle({0.25, 0.5, 5}, down, a, b, c, point, &weights, 1e-8));
  EXPECT_EQ(weights, (Vector2d{0.5, 0.25})) << "(weight of c, weight of b)";
  EXPECT_FALSE(G::IntersectLineTriangle({0.2, 0.2, 5}, down, a, b, {2, 1e-5, 0}, point, nullptr, 1e-8)) << "thin";
  EXPECT_FALSE(G::IntersectLineTriangle({0.2, 0.2, 5}, {1, 0, 0}, a, b, c, point, nullptr, 1e-8)) << "parallel";
  EXPECT_TRUE(G::IntersectHalfLineTriangle({0.2, 0.2, 5}, down, a, b, c, point, nullptr, 1e-8));
  EXPECT_FALSE(G::IntersectHalfLineTriangle({0.2, 0.2, -5}, down, a, b, c, point, nullptr, 1e-8)) << "behind";
  EXPECT_TRUE(G::IntersectLineQuadrangle({0.2, 0.8, 5}, down, a, b, {1, 1, 0}, c, point, 1e-8)) << "second half";
  EXPECT_FALSE(G::IntersectHalfLineQuadrangle({0.2, 0.8, -5}, down, a, b, {1, 1, 0}, c, point, 1e-8));
}

TEST(TriangleIntersectionTest, SegmentTriangleEndsAndSharedEdges) {
  const Vector a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
  Vector point, weights;
  EXPECT_TRUE(G::IntersectSegmentTriangle({0.25, 0.25, 1}, {0.25, 0.25, 0}, a, b, c, point, &weights, 0.0))
      << "segment ending on the triangle";
  EXPECT_EQ(weights, (Vector{0.5, 0.25, 0.25}));
  EXPECT_TRUE(G::IntersectSegmentTriangle({0.25, 0.25, -1}, {0.25, 0.25, 1}, a, c, b, point, nullptr, 0.0))
      << "seen from the back";
  EXPECT_FALSE(G::IntersectSegmentTriangle({0.25, 0.25, 1}, {0.25, 0.25, 0.5}, a, b, c, point, nullptr, 0.0));
  EXPECT_FALSE(G::IntersectSegmentTriangle({0.25, 0.25, 0}, {0.25, 0.25, 0}, a, b, c, point, nullptr, 0.0));
  // Segments through the diagonal shared by the two halves of a skewed quadrangle hit at least one half.
  RandomVectors random{std::mt19937(5)};
  const Vector p{0.1, 0.3, 0.2}, q{1.3, 0.1, 0.7}, r{1.1, 1.7, 0.4}, s{0.2, 1.1, 0.9};
  for (int i = 0; i < 2000; ++i) {
    const Vector onDiagonal = p + random.Unit() * (r - p);
    const Vector dir = random.Next(0.2) + Vector{0, 0, 1};  // keeps the projected quadrangle convex
    const Bool first = G::IntersectSegmentTriangle(onDiagonal - dir, onDiagonal + dir, p, q, r, point, nullptr, 0);
    const Bool second = G::IntersectSegmentTriangle(onDiagonal - dir, onDiagonal + dir, p, r, s, point, nullptr, 0);
    EXPECT_TRUE(first || second) << i;
  }
}

TEST(TrianglesIntersectionTestTest, OnlyTheFirstTrianglesEdgesAreTested) {
  const Vector big[3] = {{-10, -10, 0}, {10, -10, 0}, {0, 10, 0}};
  const Vector sliver[3] = {{0, 0, -1}, {0, 0, 1}, {0.5, 0, 5}};  // its first edge pierces the big one
  EXPECT_TRUE(G::TrianglesIntersectionTest(sliver[0], sliver[1], sliver[2], big[0], big[1], big[2], 1e-8));
  EXPECT_FALSE(G::TrianglesIntersectionTest(big[0], big[1], big[2], sliver[0], sliver[1], sliver[2], 1e-8));
  const Vector crossing[3] = {{-20, 0, -1}, {20, 0, -1}, {0, 0, 30}};  // its edges meet the big one's edge
  EXPECT_TRUE(G::TrianglesIntersectionTest(big[0], big[1], big[2], crossing[0], crossing[1], crossing[2], 1e-8));
}

}  // namespace
}  // namespace zemox::geometryutilstest
