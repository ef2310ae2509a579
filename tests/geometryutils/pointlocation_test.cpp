// Convexity, barycentric coordinates, point location and circle centres of the geometry utilities:
// classified turns, the open and closed edges of triangles, winding numbers against an exact integer
// crossing count, ray casting through vertices and along edges, bisectors and circumcentres.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "geometryutils_impl.h"

namespace zemox {
namespace {

using Impl = GeometryUtilsImpl;
using Outline = std::vector<Vector2d>;
using enum GEOMETRY_TEST_EXACT;
constexpr Float nan = std::numeric_limits<Float>::quiet_NaN();

Block<const Vector2d> View(const Outline& outline) { return {outline.data(), static_cast<Int>(outline.size())}; }

std::vector<Vector> Lifted(const Outline& outline, Float z) {
  std::vector<Vector> lifted;
  for (const Vector2d& p : outline) lifted.push_back({p.x, p.y, z});
  return lifted;
}

struct TurnCase {
  const char* name;
  Vector2d vertex, next, pred;
  Bool convex;
  GEOMETRY_TEST_EXACT classified;
};

void PrintTo(const TurnCase& value, std::ostream* out) { *out << value.name; }

class VertexConvexTest : public ::testing::TestWithParam<TurnCase> {};

TEST_P(VertexConvexTest, ClassifiesTurn) {
  const TurnCase& t = GetParam();
  EXPECT_EQ(Impl::IsVertexConvex2D(t.vertex, t.next, t.pred), t.convex);
  EXPECT_EQ(Impl::IsVertexConvexExact2D(t.vertex, t.next, t.pred, 1e-4), t.classified);
}

INSTANTIATE_TEST_SUITE_P(
    Turns, VertexConvexTest,
    ::testing::Values(TurnCase{"left", {1, 0}, {1, 1}, {0, 0}, true, GEOM_TRUE},
                      TurnCase{"right", {1, 0}, {1, -1}, {0, 0}, false, GEOM_FALSE},
                      TurnCase{"straight", {1, 0}, {2, 0}, {0, 0}, true, GEOM_PARALLEL},
                      TurnCase{"turning_back", {1, 0}, {0, 0}, {0, 0}, true, GEOM_ANTIPARALLEL},
                      TurnCase{"nearly_straight_within_epsilon", {1, 0}, {2, 0.00005}, {0, 0}, true, GEOM_PARALLEL},
                      TurnCase{"slight_right_beyond_epsilon", {1, 0}, {2, -0.001}, {0, 0}, false, GEOM_FALSE},
                      TurnCase{"equal_to_pred", {1, 0}, {1, 1}, {1, 0}, false, GEOM_COINCIDENT_PREV},
                      TurnCase{"equal_to_next", {1, 0}, {1, 0}, {0, 0}, false, GEOM_COINCIDENT_NEXT},
                      TurnCase{"all_equal", {1, 0}, {1, 0}, {1, 0}, true, GEOM_COINCIDENT_ALL},
                      TurnCase{"nan_vertex", {nan, 0}, {1, 1}, {0, 0}, false, GEOM_DEGENERATE}),
    [](const auto& info) { return std::string(info.param.name); });

// A turn in the xz plane: its sense depends on the side it is seen from, and an up vector lying in the
// plane of the turn sees no turn at all.
TEST(VertexConvexTest, TurnInXzPlaneDependsOnUp) {
  const Vector pred{0, 0, 0}, vertex{1, 0, 0}, next{1, 0, 1};
  EXPECT_FALSE(Impl::IsVertexConvex(vertex, next, pred, {0, 1, 0}));
  EXPECT_TRUE(Impl::IsVertexConvex(vertex, next, pred, {0, -1, 0}));
  EXPECT_FALSE(Impl::IsVertexConvex(vertex, next, pred, {0, 0, 1}));
  EXPECT_EQ(Impl::IsVertexConvexExact(vertex, next, pred, {0, 0, 1}, 1e-4), GEOM_DEGENERATE);
  EXPECT_EQ(Impl::IsVertexConvexExact(vertex, next, pred, {0, -1, 0}, 1e-4), GEOM_TRUE);
  // An incoming direction along z only goes on to the direction tests when the outgoing one exists.
  EXPECT_EQ(Impl::IsVertexConvexExact({0, 0, 1}, {0, 0, 2}, {0, 0, 0}, {0, 1, 0}, 1e-4), GEOM_PARALLEL);
  EXPECT_EQ(Impl::IsVertexConvexExact({0, 0, 1}, {0, 0, 1}, {0, 0, 0}, {0, 1, 0}, 1e-4), GEOM_COINCIDENT_NEXT);
}

TEST(BarycentricTest, VerticesAndReconstruction) {
  // Edge lengths 2 and 4 keep every intermediate exact.
  const Vector a{1, 2, 3}, b{3, 2, 3}, c{1, 6, 3};
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate3D(a, a, b, c), (Vector{1, 0, 0}));
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate3D(b, a, b, c), (Vector{0, 1, 0}));
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate3D(c, a, b, c), (Vector{0, 0, 1}));
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate(b, a, b, c), (Vector2d{0, 1}));
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate(c, a, b, c), (Vector2d{1, 0}));
  // A point off the plane gets the weights of its projection.
  std::mt19937_64 engine(3);
  std::uniform_real_distribution<Float> unit(-1.0, 2.0);
  for (int i = 0; i < 100; ++i) {
    const Vector point = a + (b - a) * unit(engine) + (c - a) * unit(engine);
    const Vector w = Impl::CalculateBarycentricCoordinate3D(point + Vector{0, 0, 7}, a, b, c);
    const Vector rebuilt = a * w.x + b * w.y + c * w.z;
    EXPECT_NEAR(rebuilt.x, point.x, 1e-12) << i;
    EXPECT_NEAR(rebuilt.y, point.y, 1e-12) << i;
  }
  EXPECT_EQ(Impl::CalculateBarycentricCoordinate3D({5, 5, 5}, a, a, b), (Vector{1, 0, 0}));
}

struct TriangleCase {
  const char* name;
  Vector2d point;
  Bool inside2d;
  Bool insideClosed;
};

void PrintTo(const TriangleCase& value, std::ostream* out) { *out << value.name; }

class PointInTriangleTest : public ::testing::TestWithParam<TriangleCase> {};

// Triangle (0,0), (4,0), (0,4): edges a-b and a-c belong to the 2D triangle, edge b-c does not; the 3D
// test takes the closed triangle, and points above the plane by their projection.
TEST_P(PointInTriangleTest, EdgesBelongAsDocumented) {
  const TriangleCase& t = GetParam();
  const Vector2d a{0, 0}, b{4, 0}, c{0, 4};
  EXPECT_EQ(Impl::PointInTriangle2D(t.point, a, b, c), t.inside2d);
  EXPECT_EQ(Impl::PointInTriangle2D(t.point, a, c, b), t.inside2d) << "clockwise";
  EXPECT_EQ(Impl::PointInTriangle({t.point.x, t.point.y, 5}, {0, 0, 0}, {4, 0, 0}, {0, 4, 0}), t.insideClosed);
}

INSTANTIATE_TEST_SUITE_P(
    Points, PointInTriangleTest,
    ::testing::Values(TriangleCase{"inside", {1, 1}, true, true}, TriangleCase{"vertex_a", {0, 0}, true, true},
                      TriangleCase{"vertex_b", {4, 0}, false, true}, TriangleCase{"vertex_c", {0, 4}, false, true},
                      TriangleCase{"on_edge_ab", {2, 0}, true, true}, TriangleCase{"on_edge_ac", {0, 2}, true, true},
                      TriangleCase{"on_edge_bc", {2, 2}, false, true},
                      TriangleCase{"outside_beyond_bc", {2, 2.5}, false, false},
                      TriangleCase{"outside_left", {-1, 1}, false, false}, TriangleCase{"nan", {nan, 1}, false, false}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(PointInTriangleTest, DegenerateTriangles) {
  EXPECT_FALSE(Impl::PointInTriangle2D({1, 1}, {0, 0}, {1, 1}, {2, 2}));
  EXPECT_FALSE(Impl::PointInTriangle2D({0, 0}, {0, 0}, {0, 0}, {0, 0}));
  EXPECT_TRUE(Impl::PointInTriangle({9, -9, 9}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}));
}

struct LocationCase {
  const char* name;
  Outline outline;
  Vector2d point;
  Int winding;
};

void PrintTo(const LocationCase& value, std::ostream* out) { *out << value.name; }

const Outline ccwSquare{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
const Outline cwSquare{{0, 0}, {0, 1}, {1, 1}, {1, 0}};
// A notch from the top reaches down to the point's height at (3, 2): the ray only touches it.
const Outline notched{{0, 0}, {4, 0}, {4, 4}, {3, 2}, {2, 4}, {0, 4}};
// A step whose horizontal edge lies on the ray through (1, 1), entered from below and left upwards.
const Outline staircase{{0, 0}, {5, 0}, {5, 1}, {3, 1}, {3, 2}, {0, 2}};
const Outline diamond{{0, -1}, {1, 0}, {0, 1}, {-1, 0}};

class WindingNumberTest : public ::testing::TestWithParam<LocationCase> {};

// Points off the boundary: every winding-number variant agrees, and no edge is hit.
TEST_P(WindingNumberTest, AllVariantsAgree) {
  const LocationCase& t = GetParam();
  const std::vector<Vector> lifted = Lifted(t.outline, 3.0);
  const Block<const Vector> lifted3d{lifted.data(), static_cast<Int>(lifted.size())};
  Int edgeHit = 7, edgeHit3d = 7;
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2D(t.point, View(t.outline)), t.winding);
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2DExact(t.point, View(t.outline)), t.winding);
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2D(t.point, View(t.outline), edgeHit), t.winding);
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber({t.point.x, t.point.y, -8}, lifted3d), t.winding);
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber({t.point.x, t.point.y, -8}, lifted3d, edgeHit3d), t.winding);
  EXPECT_EQ(edgeHit, -1);
  EXPECT_EQ(edgeHit3d, -1);
  EXPECT_EQ(Impl::PointInOutlineRobust2D(t.point, View(t.outline)), t.winding != 0);
  EXPECT_EQ(Impl::PointInOutline2D(t.point, View(t.outline)), t.winding != 0);
}

INSTANTIATE_TEST_SUITE_P(
    Shapes, WindingNumberTest,
    ::testing::Values(LocationCase{"ccw_square_centre", ccwSquare, {0.5, 0.5}, 1},
                      LocationCase{"cw_square_centre", cwSquare, {0.5, 0.5}, -1},
                      LocationCase{"square_outside", ccwSquare, {1.5, 0.5}, 0},
                      LocationCase{"square_outside_left", ccwSquare, {-3, 0.5}, 0},
                      LocationCase{"level_with_touched_notch", notched, {1, 2}, 1},
                      LocationCase{"inside_notch_gap", notched, {3, 3}, 0},
                      LocationCase{"below_step", staircase, {4, 0.5}, 1},
                      LocationCase{"level_with_diamond_top", diamond, {-5, 1}, 0},
                      LocationCase{"level_with_diamond_sides", diamond, {-5, 0}, 0},
                      LocationCase{"through_diamond_side_vertex", diamond, {-0.5, 0}, 1},
                      LocationCase{
                          "tiny_square", {{0.01, 0.01}, {0.02, 0.01}, {0.02, 0.02}, {0.01, 0.02}}, {0.015, 0.015}, 1},
                      LocationCase{"empty_outline", {}, {0, 0}, 0}),
    [](const auto& info) { return std::string(info.param.name); });

struct EdgeHitCase {
  const char* name;
  Outline outline;
  Vector2d point;
  Int winding;
  Int edgeHit;
};

void PrintTo(const EdgeHitCase& value, std::ostream* out) { *out << value.name; }

class EdgeHitTest : public ::testing::TestWithParam<EdgeHitCase> {};

TEST_P(EdgeHitTest, ReportsEdge) {
  const EdgeHitCase& t = GetParam();
  Int edgeHit = 7;
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2D(t.point, View(t.outline), edgeHit), t.winding);
  EXPECT_EQ(edgeHit, t.edgeHit);
}

// The vertex (1, 0) of the triangle is level with the outside point (0, 0): it belongs to one of its
// two edges only, so the point gets winding 0.
INSTANTIATE_TEST_SUITE_P(
    Boundaries, EdgeHitTest,
    ::testing::Values(EdgeHitCase{"on_bottom_edge", ccwSquare, {0.5, 0}, 1, 0},
                      EdgeHitCase{"on_right_edge", ccwSquare, {1, 0.25}, 1, 1},
                      EdgeHitCase{"on_vertex", ccwSquare, {1, 1}, 1, 1},
                      EdgeHitCase{"horizontal_line_beyond_ends", ccwSquare, {5, 0}, 1, 0},
                      EdgeHitCase{"level_vertex_outside", {{2, -1}, {1, 0}, {2, 1}}, {0, 0}, 0, -1},
                      EdgeHitCase{"level_vertex_inside", {{2, -1}, {1, 0}, {2, 1}}, {1.5, 0}, -1, -1},
                      EdgeHitCase{"empty", {}, {0, 0}, 0, -1}),
    [](const auto& info) { return std::string(info.param.name); });

// Independent exact count: the signed crossings of the ray towards +x, each edge taken over the
// half-open height range, crossings compared in 128-bit integers.
struct IntPoint {
  Int x, y;
};

Int ExactCrossingCount(const IntPoint& point, const std::vector<IntPoint>& outline) {
  Int winding = 0;
  for (size_t i = 0; i < outline.size(); ++i) {
    const IntPoint& p = outline[i];
    const IntPoint& q = outline[(i + 1) % outline.size()];
    const bool upward = p.y <= point.y && q.y > point.y, downward = q.y <= point.y && p.y > point.y;
    if (!upward && !downward) continue;
    // The crossing lies right of the point when (point.y - p.y) / (q.y - p.y) * (q.x - p.x) > point.x - p.x.
    const __int128 crossing = __int128(point.y - p.y) * (q.x - p.x);
    const __int128 offset = __int128(point.x - p.x) * (q.y - p.y);
    if (upward && crossing > offset) ++winding;
    if (downward && crossing < offset) --winding;
  }
  return winding;
}

// An integer offset whose cross product with the direction is gcd(x, y): the nearest lattice points
// beside the direction's line.
IntPoint NearestBeside(const IntPoint& direction) {
  Int oldR = direction.x, r = direction.y, oldS = 1, s = 0, oldT = 0, t = 1;
  while (r != 0) {
    const Int quotient = oldR / r;
    oldR = std::exchange(r, oldR - quotient * r);
    oldS = std::exchange(s, oldS - quotient * s);
    oldT = std::exchange(t, oldT - quotient * t);
  }
  return {-oldT, oldS};
}

// Each edge is a whole multiple of a direction with 20-bit components, so it carries integer points
// between its ends and beside them. At coordinates near 2^40 the cross products are near 2^80 and
// round by far more than the true orientation of a point just beside an edge. Queries on edges, on
// their extensions, at vertices and just beside an edge make that rounding decide: only exact signs
// agree with the integer count everywhere.
TEST(ExactWindingNumberTest, AgreesWithIntegerCrossingCount) {
  std::mt19937_64 engine(11);
  std::uniform_int_distribution<Int> component(-(Int{1} << 20), Int{1} << 20);
  std::uniform_int_distribution<Int> multiple(1, Int{1} << 20);
  std::uniform_int_distribution<int> vertexCount(3, 12);
  for (int round = 0; round < 300; ++round) {
    std::vector<IntPoint> outline{{component(engine) << 20, component(engine) << 20}};
    std::vector<IntPoint> queries;
    for (int i = vertexCount(engine); i > 1; --i) {
      const IntPoint& p = outline.back();
      const IntPoint step{component(engine), component(engine)};
      const Int steps = multiple(engine);
      const auto along = [&](Int k) { return IntPoint{p.x + k * step.x, p.y + k * step.y}; };
      const IntPoint inside = along(steps / 3 + 1);
      const IntPoint beside = NearestBeside(step);
      queries.insert(queries.end(), {p,
                                     inside,
                                     along(-steps),
                                     along(2 * steps),
                                     {inside.x + beside.x, inside.y + beside.y},
                                     {inside.x - beside.x, inside.y - beside.y}});
      outline.push_back(along(steps));
    }
    Outline floating;
    for (const IntPoint& p : outline) floating.push_back({Float(p.x), Float(p.y)});
    for (const IntPoint& query : queries) {
      const Vector2d point{Float(query.x), Float(query.y)};
      EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2DExact(point, View(floating)), ExactCrossingCount(query, outline))
          << round << " at " << query.x << ", " << query.y;
    }
  }
}

TEST(ExactWindingNumberTest, ReversedOutlineFlipsSign) {
  std::mt19937_64 engine(5);
  std::uniform_real_distribution<Float> coordinate(-100.0, 100.0);
  for (int round = 0; round < 300; ++round) {
    Outline outline(7);
    for (Vector2d& p : outline) p = {coordinate(engine), coordinate(engine)};
    const Outline reversed(outline.rbegin(), outline.rend());
    const Vector2d point{coordinate(engine) * 0.5, coordinate(engine) * 0.5};
    const Int winding = Impl::GetPointInPolygonWindingNumber2DExact(point, View(outline));
    EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2DExact(point, View(reversed)), -winding) << round;
    EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2D(point, View(reversed)), -winding) << round;
  }
}

// The ray of PointInOutline2D ends 10000 units from the point; the robust test's ray has no end.
TEST(PointInOutlineTest, VerticesRangeAndBadInput) {
  EXPECT_FALSE(Impl::PointInOutline2D({1, 1}, View(ccwSquare)));
  EXPECT_FALSE(Impl::PointInOutline2D({1.00005, 0.99995}, View(ccwSquare)));
  const Outline longStrip{{0, 0}, {20000, 0}, {20000, 1}, {0, 1}};
  EXPECT_FALSE(Impl::PointInOutline2D({100, 0.5}, View(longStrip)));
  EXPECT_TRUE(Impl::PointInOutline2D({15000, 0.5}, View(longStrip)));
  EXPECT_TRUE(Impl::PointInOutlineRobust2D({100, 0.5}, View(longStrip)));
  for (const Vector2d point : {Vector2d{nan, 0.5}, Vector2d{0.5, nan}, Vector2d{INFINITY, 0.5}}) {
    EXPECT_FALSE(Impl::PointInOutline2D(point, View(ccwSquare)));
    EXPECT_FALSE(Impl::PointInOutlineRobust2D(point, View(ccwSquare)));
  }
  EXPECT_FALSE(Impl::PointInOutline2D({0, 0}, {}));
  EXPECT_FALSE(Impl::PointInOutlineRobust2D({0.5, 0.5}, View(Outline{{0, 0}, {1, 1}})));
  // A degenerate outline whose vertices all lie on the ray has no side to cross to.
  EXPECT_FALSE(Impl::PointInOutline2D({0, 0}, View(Outline{{1, 0}, {2, 0}, {3, 0}})));
}

// The edge-hit winding number reports this point on the horizontal edge's line, so it is not in the
// table above: the ray runs along the step's edge, entered from below and left upwards, which is one
// crossing.
TEST(PointInOutlineTest, RayAlongHorizontalEdgeCrossesOnce) {
  EXPECT_TRUE(Impl::PointInOutline2D({1, 1}, View(staircase)));
  EXPECT_TRUE(Impl::PointInOutlineRobust2D({1, 1}, View(staircase)));
  EXPECT_EQ(Impl::GetPointInPolygonWindingNumber2DExact({1, 1}, View(staircase)), 1);
}

TEST(PointInOutlineTest, AllocationFailureAnswersOutside) {
  FailAllocationAfter(1);
  const Bool inside = Impl::PointInOutline2D({0.5, 0.5}, View(ccwSquare));
  const Bool delivered = AllocationFailureDelivered();
  FailAllocationAfter(0);
  EXPECT_TRUE(delivered);
  EXPECT_FALSE(inside);
  EXPECT_TRUE(Impl::PointInOutline2D({0.5, 0.5}, View(ccwSquare)));
}

struct BisectorCase {
  const char* name;
  Vector v1, v2, up;
  Float w1, w2;
  Vector expected;
};

void PrintTo(const BisectorCase& value, std::ostream* out) { *out << value.name; }

class BisectorTest : public ::testing::TestWithParam<BisectorCase> {};

TEST_P(BisectorTest, Direction) {
  const BisectorCase& t = GetParam();
  const Vector actual = Impl::CalculateBisector(t.v1, t.v2, t.up, t.w1, t.w2);
  EXPECT_NEAR(actual.x, t.expected.x, 1e-15);
  EXPECT_NEAR(actual.y, t.expected.y, 1e-15);
  EXPECT_NEAR(actual.z, t.expected.z, 1e-15);
}

const Float h = std::sqrt(0.5);
INSTANTIATE_TEST_SUITE_P(
    Directions, BisectorTest,
    ::testing::Values(BisectorCase{"unweighted", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 1, 1, {h, h, 0}},
                      BisectorCase{"weighted", {1, 0, 0}, {0, 1, 0}, {0, 0, 1}, 2, 2, {-h, -h, 0}},
                      BisectorCase{"parallel", {1, 0, 0}, {1, 0, 0}, {0, 0, 1}, 1, 1, {0, 1, 0}},
                      BisectorCase{"antiparallel", {1, 0, 0}, {-1, 0, 0}, {0, 0, 1}, 1, 1, {0, -1, 0}},
                      BisectorCase{"zero_directions", {0, 0, 0}, {0, 0, 0}, {0, 0, 1}, 0, 0, {0, 0, 0}}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(CircumcenterTest, RightTrianglesAndDegenerateInput) {
  Vector2d center2d{7, 7};
  Float sqrRad = 7;
  ASSERT_TRUE(Impl::CalculateCircumcenter2D({0, 0}, {2, 0}, {0, 2}, center2d, sqrRad, 1e-8));
  EXPECT_EQ(center2d, (Vector2d{1, 1}));
  EXPECT_EQ(sqrRad, 2.0);
  center2d = {7, 7};
  EXPECT_FALSE(Impl::CalculateCircumcenter2D({0, 0}, {1, 1}, {3, 3}, center2d, sqrRad, 1e-8));
  EXPECT_EQ(center2d, (Vector2d{7, 7}));
  // The tolerance is compared, squared, with twice the signed area: 1e-4 refuses an area of 1e-9.
  EXPECT_FALSE(Impl::CalculateCircumcenter2D({0, 0}, {1, 0}, {0, 2e-9}, center2d, sqrRad, 1e-4));

  Vector center{7, 7, 7};
  Float rad = 7;
  ASSERT_TRUE(Impl::CalculateCircumcenter({0, 0, 0}, {2, 0, 0}, {0, 2, 0}, center, rad, 1e-8));
  EXPECT_EQ(center, (Vector{1, 1, 0}));
  EXPECT_DOUBLE_EQ(rad, std::sqrt(2.0));
  EXPECT_FALSE(Impl::CalculateCircumcenter({0, 0, 0}, {0, 0, 0}, {0, 2, 0}, center, rad, 1e-8));
  EXPECT_FALSE(Impl::CalculateCircumcenter({0, 0, 0}, {1, 1, 1}, {2, 2, 2}, center, rad, 1e-8));
}

// The centre is equidistant from the three points, at the reported radius, in the triangle's plane.
TEST(CircumcenterTest, CentreIsEquidistant) {
  std::mt19937_64 engine(9);
  std::uniform_real_distribution<Float> coordinate(-50.0, 50.0);
  for (int i = 0; i < 200; ++i) {
    const Vector a{coordinate(engine), coordinate(engine), coordinate(engine)};
    const Vector b{coordinate(engine), coordinate(engine), coordinate(engine)};
    const Vector c{coordinate(engine), coordinate(engine), coordinate(engine)};
    Vector center;
    Float rad = 0;
    ASSERT_TRUE(Impl::CalculateCircumcenter(a, b, c, center, rad, 1e-8)) << i;
    for (const Vector& p : {a, b, c}) EXPECT_NEAR(Length(p - center) / rad, 1.0, 1e-9) << i;
    const Vector normal = Cross(b - a, c - a);
    EXPECT_NEAR(Dot(center - a, normal) / Length(normal), 0.0, 1e-9 * rad) << i;
    Vector2d center2d;
    Float sqrRad = 0;
    ASSERT_TRUE(Impl::CalculateCircumcenter2D({a.x, a.y}, {b.x, b.y}, {c.x, c.y}, center2d, sqrRad, 1e-8)) << i;
    for (const Vector& p : {a, b, c}) {
      const Vector2d d = Vector2d{p.x, p.y} - center2d;
      EXPECT_NEAR(Dot(d, d) / sqrRad, 1.0, 1e-9) << i;
    }
  }
}

}  // namespace
}  // namespace zemox
