// Points in triangles, quadrangles and polygons: classified turns, the open and closed edges of triangles,
// winding numbers against an exact integer crossing count, ray casting through vertices and along edges,
// bisectors and circumcentres; bilinear patches and their inverses, polygon (s, t) coordinates and mean value
// weights, with round trips on random convex quadrangles and polygons, the quadrangles whose sides are parallel
// or axis-aligned, exact weights on edges and vertices, and errors.

#include <gmock/gmock.h>

#include <array>
#include <numbers>
#include <random>
#include <string>
#include <utility>

#include "test_helpers.h"

namespace zemox::geometryutilstest {
namespace {

using enum GEOMETRY_TEST_EXACT;

TEST(VertexConvexTest, ClassifiesTurns) {
  const struct {
    const char* name;
    Vector2d vertex, next, pred;
    Bool convex;
    GEOMETRY_TEST_EXACT classified;
  } cases[] = {
      {"left", {1, 0}, {1, 1}, {0, 0}, true, GEOM_TRUE},
      {"straight", {1, 0}, {2, 0}, {0, 0}, true, GEOM_PARALLEL},
      {"turning_back", {1, 0}, {0, 0}, {0, 0}, true, GEOM_ANTIPARALLEL},
      {"straight_within_epsilon", {1, 0}, {2, 0.00005}, {0, 0}, true, GEOM_PARALLEL},
      {"right_beyond_epsilon", {1, 0}, {2, -0.001}, {0, 0}, false, GEOM_FALSE},
      {"equal_to_pred", {1, 0}, {1, 1}, {1, 0}, false, GEOM_COINCIDENT_PREV},
      {"equal_to_next", {1, 0}, {1, 0}, {0, 0}, false, GEOM_COINCIDENT_NEXT},
      {"all_equal", {1, 0}, {1, 0}, {1, 0}, true, GEOM_COINCIDENT_ALL},
      {"nan", {std::numeric_limits<Float>::quiet_NaN(), 0}, {1, 1}, {0, 0}, false, GEOM_DEGENERATE},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(G::IsVertexConvex2D(c.vertex, c.next, c.pred), c.convex) << c.name;
    EXPECT_EQ(G::IsVertexConvexExact2D(c.vertex, c.next, c.pred, 1e-4), c.classified) << c.name;
  }
  // A turn in the xz plane depends on the side it is seen from; an up in the plane of the turn sees none.
  const Vector pred{0, 0, 0}, vertex{1, 0, 0}, next{1, 0, 1};
  EXPECT_FALSE(G::IsVertexConvex(vertex, next, pred, {0, 1, 0}));
  EXPECT_TRUE(G::IsVertexConvex(vertex, next, pred, {0, -1, 0}));
  EXPECT_FALSE(G::IsVertexConvex(vertex, next, pred, {0, 0, 1}));
  EXPECT_EQ(G::IsVertexConvexExact(vertex, next, pred, {0, 0, 1}, 1e-4), GEOM_DEGENERATE);
  // An incoming direction along z only goes on to the direction tests when the outgoing one exists.
  EXPECT_EQ(G::IsVertexConvexExact({0, 0, 1}, {0, 0, 2}, {0, 0, 0}, {0, 1, 0}, 1e-4), GEOM_PARALLEL);
  EXPECT_EQ(G::IsVertexConvexExact({0, 0, 1}, {0, 0, 1}, {0, 0, 0}, {0, 1, 0}, 1e-4), GEOM_COINCIDENT_NEXT);
}

// Triangle (0,0), (4,0), (0,4) (edge lengths keep every intermediate exact): edges a-b and a-c belong
// to the 2D triangle in either orientation, edge b-c does not; the 3D test takes the closed triangle
// and points above its plane by their projection.
TEST(PointInTriangleTest, EdgesBelongAsDocumented) {
  const struct {
    Vector2d point;
    Bool inside2d, insideClosed;
  } cases[] = {{{1, 1}, true, true},  {{0, 0}, true, true},     {{4, 0}, false, true},
               {{0, 4}, false, true}, {{2, 0}, true, true},     {{0, 2}, true, true},
               {{2, 2}, false, true}, {{2, 2.5}, false, false}, {{-1, 1}, false, false}};
  for (const auto& c : cases) {
    SCOPED_TRACE(testing::Message() << c.point.x << ", " << c.point.y);
    EXPECT_EQ(G::PointInTriangle2D(c.point, {0, 0}, {4, 0}, {0, 4}), c.inside2d);
    EXPECT_EQ(G::PointInTriangle2D(c.point, {0, 0}, {0, 4}, {4, 0}), c.inside2d);
    EXPECT_EQ(G::PointInTriangle({c.point.x, c.point.y, 5}, {0, 0, 0}, {4, 0, 0}, {0, 4, 0}), c.insideClosed);
  }
  EXPECT_FALSE(G::PointInTriangle2D({1, 1}, {0, 0}, {1, 1}, {2, 2}));
  EXPECT_TRUE(G::PointInTriangle({9, -9, 9}, {0, 0, 0}, {1, 1, 1}, {2, 2, 2}));
  const Vector a{1, 2, 3}, b{3, 2, 3}, c{1, 6, 3};
  EXPECT_EQ(G::CalculateBarycentricCoordinate3D(a, a, b, c), (Vector{1, 0, 0}));
  EXPECT_EQ(G::CalculateBarycentricCoordinate3D(b + Vector{0, 0, 7}, a, b, c), (Vector{0, 1, 0}));
  EXPECT_EQ(G::CalculateBarycentricCoordinate(c, a, b, c), (Vector2d{1, 0}));
  EXPECT_EQ(G::CalculateBarycentricCoordinate3D({5, 5, 5}, a, a, b), (Vector{1, 0, 0}));
}

struct LocationCase {
  const char* name;
  Loop outline;
  Vector2d point;
  Int winding;
};

// A notch from the top reaches down to the point's height at (3, 2): the ray only touches it.
const Loop notched{{0, 0}, {4, 0}, {4, 4}, {3, 2}, {2, 4}, {0, 4}};
const Loop diamond{{0, -1}, {1, 0}, {0, 1}, {-1, 0}};
const Loop square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

// Points off the boundary: every winding-number variant and both inside tests agree, no edge is hit.
TEST(PointLocationTest, AllVariantsAgree) {
  const LocationCase cases[] = {
      {"cw_square_centre", Reversed(square), {0.5, 0.5}, -1},
      {"level_with_touched_notch", notched, {1, 2}, 1},
      {"inside_notch_gap", notched, {3, 3}, 0},
      {"level_with_diamond_top", diamond, {-5, 1}, 0},
      {"level_with_diamond_sides", diamond, {-5, 0}, 0},
      {"through_diamond_side_vertex", diamond, {-0.5, 0}, 1},
      {"hundredth_square", {{0.01, 0.01}, {0.02, 0.01}, {0.02, 0.02}, {0.01, 0.02}}, {0.015, 0.015}, 1},
  };
  for (const LocationCase& t : cases) {
    SCOPED_TRACE(t.name);
    Points3 lifted;
    for (const Vector2d& p : t.outline) lifted.push_back({p.x, p.y, 3.0});
    const Vector point3d{t.point.x, t.point.y, -8};
    Int edgeHit = 7, edgeHit3d = 7;
    EXPECT_EQ(G::GetPointInPolygonWindingNumber2D(t.point, View(t.outline)), t.winding);
    EXPECT_EQ(G::GetPointInPolygonWindingNumber2D(t.point, View(t.outline), edgeHit), t.winding);
    EXPECT_EQ(G::GetPointInPolygonWindingNumber(point3d, View(lifted)), t.winding);
    EXPECT_EQ(G::GetPointInPolygonWindingNumber(point3d, View(lifted), edgeHit3d), t.winding);
    EXPECT_EQ(edgeHit, -1);
    EXPECT_EQ(edgeHit3d, -1);
    EXPECT_EQ(G::PointInOutlineRobust2D(t.point, View(t.outline)), t.winding != 0);
    EXPECT_EQ(G::PointInOutline2D(t.point, View(t.outline)), t.winding != 0);
  }
}

// The edge-hit report: a point on an edge, on a vertex or on a horizontal edge's line returns 1. The
// triangle's vertex (1, 0) is level with the outside point (0, 0) and belongs to one of its edges only.
TEST(EdgeHitTest, ReportsEdgeOrCountsOnce) {
  const Loop triangle{{2, -1}, {1, 0}, {2, 1}};
  const struct {
    const Loop& outline;
    Vector2d point;
    Int winding, edgeHit;
  } cases[] = {{square, {0.5, 0}, 1, 0}, {square, {1, 0.25}, 1, 1}, {square, {1, 1}, 1, 1},
               {square, {5, 0}, 1, 0},   {triangle, {0, 0}, 0, -1}, {triangle, {1.5, 0}, -1, -1}};
  for (const auto& c : cases) {
    Int edgeHit = 7;
    EXPECT_EQ(G::GetPointInPolygonWindingNumber2D(c.point, View(c.outline), edgeHit), c.winding) << c.point.x;
    EXPECT_EQ(edgeHit, c.edgeHit) << c.point.x << ", " << c.point.y;
  }
}

struct IntPoint {
  Int x, y;
};

// Independent exact count: the signed crossings of the ray towards +x, each edge taken over the
// half-open height range, crossings compared in 128-bit integers.
Int ExactCrossingCount(const IntPoint& point, const std::vector<IntPoint>& outline) {
  Int winding = 0;
  for (size_t i = 0; i < outline.size(); ++i) {
    const IntPoint& p = outline[i];
    const IntPoint& q = outline[(i + 1) % outline.size()];
    const bool upward = p.y <= point.y && q.y > point.y, downward = q.y <= point.y && p.y > point.y;
    // Right of the point when (point.y - p.y) / (q.y - p.y) * (q.x - p.x) > point.x - p.x.
    const __int128 crossing = __int128(point.y - p.y) * (q.x - p.x);
    const __int128 offset = __int128(point.x - p.x) * (q.y - p.y);
    winding += (upward && crossing > offset) - (downward && crossing < offset);
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
  for (int round = 0; round < 150; ++round) {
    std::vector<IntPoint> outline{{component(engine) << 20, component(engine) << 20}};
    std::vector<IntPoint> queries;
    for (int i = vertexCount(engine); i > 1; --i) {
      const IntPoint& p = outline.back();
      const IntPoint step{component(engine), component(engine)};
      const Int steps = multiple(engine);
      const auto along = [&](Int k) { return IntPoint{p.x + k * step.x, p.y + k * step.y}; };
      const IntPoint inside = along(steps / 3 + 1), beside = NearestBeside(step);
      const auto offBy = [&](Int sign) { return IntPoint{inside.x + sign * beside.x, inside.y + sign * beside.y}; };
      queries.insert(queries.end(), {p, inside, along(-steps), along(2 * steps), offBy(1), offBy(-1)});
      outline.push_back(along(steps));
    }
    Loop floating;
    for (const IntPoint& p : outline) floating.push_back({Float(p.x), Float(p.y)});
    for (const IntPoint& query : queries) {
      const Vector2d point{Float(query.x), Float(query.y)};
      EXPECT_EQ(G::GetPointInPolygonWindingNumber2DExact(point, View(floating)), ExactCrossingCount(query, outline))
          << round;
    }
  }
}

// The ray of PointInOutline2D ends 10000 units from the point; the robust test's ray has no end. A
// ray along the step's horizontal edge, entered from below and left upwards, crosses once.
TEST(PointInOutlineTest, VerticesRangeStepsAndDegenerateOutlines) {
  EXPECT_FALSE(G::PointInOutline2D({1, 1}, View(square)));
  EXPECT_FALSE(G::PointInOutline2D({1.00005, 0.99995}, View(square)));
  const Loop longStrip{{0, 0}, {20000, 0}, {20000, 1}, {0, 1}};
  EXPECT_FALSE(G::PointInOutline2D({100, 0.5}, View(longStrip)));
  EXPECT_TRUE(G::PointInOutline2D({15000, 0.5}, View(longStrip)));
  EXPECT_TRUE(G::PointInOutlineRobust2D({100, 0.5}, View(longStrip)));
  const Loop staircase{{0, 0}, {5, 0}, {5, 1}, {3, 1}, {3, 2}, {0, 2}};
  EXPECT_TRUE(G::PointInOutline2D({1, 1}, View(staircase)));
  EXPECT_TRUE(G::PointInOutlineRobust2D({1, 1}, View(staircase)));
  // The edge from (1, -DBL_MAX) to (0, 6.5) passes 6.5 / DBL_MAX right of the origin.
  const Loop farSpike{{1, -std::numeric_limits<Float>::max()}, {0, 6.5}, {-5, 6.5}};
  EXPECT_TRUE(G::PointInOutlineRobust2D({0, 0}, View(farSpike)));
  EXPECT_EQ(G::GetPointInPolygonWindingNumber2DExact({0, 0}, View(farSpike)), 1);
  EXPECT_FALSE(G::PointInOutlineRobust2D({0.5, 0.5}, View(Loop{{0, 0}, {1, 1}})));
  EXPECT_FALSE(G::PointInOutline2D({0, 0}, View(Loop{{1, 0}, {2, 0}, {3, 0}})));
  FailAllocationAfter(1);
  const Bool inside = G::PointInOutline2D({0.5, 0.5}, View(square));
  const Bool delivered = AllocationFailureDelivered();
  FailAllocationAfter(0);
  EXPECT_TRUE(delivered && !inside);
}

TEST(BisectorTest, Directions) {
  const Float h = std::sqrt(0.5);
  const struct {
    const char* name;
    Vector v1, v2;
    Float w;
    Vector expected;
  } cases[] = {
      {"unweighted", {1, 0, 0}, {0, 1, 0}, 1, {h, h, 0}}, {"weighted", {1, 0, 0}, {0, 1, 0}, 2, {-h, -h, 0}},
      {"parallel", {1, 0, 0}, {1, 0, 0}, 1, {0, 1, 0}},   {"antiparallel", {1, 0, 0}, {-1, 0, 0}, 1, {0, -1, 0}},
      {"zero", {0, 0, 0}, {0, 0, 0}, 0, {0, 0, 0}},
  };
  for (const auto& c : cases) {
    const Vector actual = G::CalculateBisector(c.v1, c.v2, {0, 0, 1}, c.w, c.w);
    EXPECT_NEAR(Length(actual - c.expected), 0.0, 1e-15) << c.name;
  }
}

TEST(CircumcenterTest, EquidistantCentresAndDegenerateInput) {
  Vector2d center2d;
  Float sqrRad = 7;
  ASSERT_TRUE(G::CalculateCircumcenter2D({0, 0}, {2, 0}, {0, 2}, center2d, sqrRad, 1e-8));
  EXPECT_EQ(center2d, (Vector2d{1, 1}));
  EXPECT_EQ(sqrRad, 2.0);
  EXPECT_FALSE(G::CalculateCircumcenter2D({0, 0}, {1, 1}, {3, 3}, center2d, sqrRad, 1e-8));
  // The tolerance is compared, squared, with twice the signed area: 1e-4 refuses an area of 1e-9.
  EXPECT_FALSE(G::CalculateCircumcenter2D({0, 0}, {1, 0}, {0, 2e-9}, center2d, sqrRad, 1e-4));
  const Vector a{3, 1, 2}, b{5, 4, -1}, c{-2, 0, 6};
  Vector center;
  Float rad = 7;
  ASSERT_TRUE(G::CalculateCircumcenter(a, b, c, center, rad, 1e-8));
  EXPECT_NEAR(Dot(center - a, Cross(b - a, c - a)) / Length(Cross(b - a, c - a)), 0.0, 1e-12);
  for (const Vector& p : {a, b, c}) EXPECT_NEAR(Length(p - center), rad, 1e-12 * rad);
  EXPECT_FALSE(G::CalculateCircumcenter({0, 0, 0}, {1, 1, 1}, {2, 2, 2}, center, rad, 1e-8));
}

// ---- Interpolation ----

// A random strictly convex counter-clockwise quadrangle (one corner per quarter turn of a circle, stretched and
// sheared) at a random scale and place.
using Quadrangle = std::array<Vector2d, 4>;

Quadrangle RandomConvexQuadrangle(std::mt19937& random) {
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  const Float scale = std::pow(10.0, -1.0 + 4.0 * unit(random));
  const Vector2d offset{1e3 * (unit(random) - 0.5), 1e3 * (unit(random) - 0.5)};
  // Points of a circle stay convex under the stretch and shear.
  const Float stretch = 0.2 + unit(random), shear = unit(random) - 0.5;
  Quadrangle corners;
  for (int k = 0; k < 4; ++k) {
    const Float angle = (k + 0.1 + 0.8 * unit(random)) * std::numbers::pi / 2;
    const Vector2d onCircle{std::cos(angle), std::sin(angle)};
    corners[k] = offset + Vector2d{stretch * onCircle.x + shear * onCircle.y, onCircle.y} * scale;
  }
  return corners;
}

TEST(InverseBilinearTest, RoundTripOnRandomConvexQuadrangles) {
  std::mt19937 random(2024);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  const Vector u{0.6, 0.0, 0.8}, w{0.0, 1.0, 0.0}, origin{5, -3, 2};  // an orthonormal frame of a tilted plane
  const auto lift = [&](const Vector2d& v) { return origin + v.x * u + v.y * w; };
  const auto raise = [](const Vector2d& v, Float z) { return Vector{v.x, v.y, z}; };  // flattened again
  for (int i = 0; i < 500; ++i) {
    const Quadrangle q = RandomConvexQuadrangle(random);
    const Float s = unit(random), t = unit(random);
    const Vector forward = G::BilinearInterpolate(raise(q[0], 0), raise(q[1], 0), raise(q[2], 0), raise(q[3], 0), s, t);
    const Vector2d point{forward.x, forward.y};
    Vector2d found[5];
    G::InverseBilinarInterpolate2D(q[0], q[1], q[2], q[3], point, found[0]);
    G::InverseBilinarInterpolate2DNewton(q[0], q[1], q[2], q[3], point, 30, found[1]);
    G::InverseBilinarInterpolate(lift(q[0]), lift(q[1]), lift(q[2]), lift(q[3]), lift(point), found[2]);
    G::InverseBilinarInterpolateNewton(lift(q[0]), lift(q[1]), lift(q[2]), lift(q[3]), lift(point), 30, found[3]);
    EXPECT_TRUE(G::CalculatePolygonPointST(raise(point, 9), raise(q[0], 1), raise(q[1], 2), raise(q[2], 3),
                                           raise(q[3], 4), true, found[4].x, found[4].y, 1e-7));
    for (const Vector2d& st : found) EXPECT_NEAR(std::hypot(st.x - s, st.y - t), 0.0, 1e-9) << i;
  }
}

TEST(InverseBilinearTest, ClampedCollapsedAndParallelSides) {
  const struct {
    const char* name;
    Vector2d pa, pb, pc, pd, point, expected;
  } cases[] = {
      {"outside_clamped", {0, 0}, {1, 0}, {1, 1}, {0, 1}, {2, 0.5}, {1, 0.5}},
      {"collapsed", {1, 1}, {1, 1}, {1, 1}, {1, 1}, {3, 2}, {0, 0}},
      // The sides pa-pd and pb-pc are vertical: the second parameter must not be solved along x, where the
      // sides have no extent (that answer is the parallelogram's, (0.5, 0.75)).
      {"vertical_sides", {0, 0}, {1, 0}, {1, 2}, {0, 1}, {0.5, 0.75}, {0.5, 0.5}},
      // pa-pb and pd-pc are horizontal: likewise for the first parameter along y.
      {"horizontal_sides", {0, 0}, {2, 0}, {1, 1}, {0, 1}, {0.75, 0.5}, {0.5, 0.5}},
      // pa-pb parallel to pd-pc in decimal coordinates: the quadratic coefficient is rounding residue, and the
      // textbook roots from it are 3.8e15 and 0.33 (clamped to (0.33, 0)).
      {"decimal_trapezoid", {0.1, 0.3}, {0.7, 0.6}, {0.5, 1.25}, {0.2, 1.1}, {0.286, 0.843}, {0.3, 0.6}},
  };
  for (const auto& c : cases) {
    Vector2d st{-1, -1};
    G::InverseBilinarInterpolate2D(c.pa, c.pb, c.pc, c.pd, c.point, st);
    EXPECT_NEAR(std::hypot(st.x - c.expected.x, st.y - c.expected.y), 0.0, 1e-12) << c.name;
  }
  // A patch seen edge-on from z is solved in the plane of its largest projection.
  Vector2d st;
  G::InverseBilinarInterpolate({5, 0, 0}, {5, 2, 0}, {5, 2, 2}, {5, 0, 2}, {5, 0.5, 1.5}, st);
  EXPECT_EQ(st, (Vector2d{0.25, 0.75}));
  st = {7, 7};
  G::InverseBilinarInterpolate2DNewton({1, 1}, {1, 1}, {1, 1}, {1, 1}, {0.3, 0.3}, 5, st);
  EXPECT_EQ(st, (Vector2d{7, 7})) << "singular Jacobian leaves the output";
}

TEST(CalculatePolygonPointSTTest, TriangleCornerAndPointsOutside) {
  const Vector pa{0, 0, 0}, pb{2, 0, 0}, pc{0, 2, 0};
  Float s = 7, t = 7;
  EXPECT_FALSE(G::CalculatePolygonPointST({3, 1, 0}, pa, pb, pc, {}, false, s, t, 1e-6));
  // A triangle is completed to a parallelogram: its fourth corner is (1, 1).
  EXPECT_TRUE(G::CalculatePolygonPointST(pb + pc - pa, pa, pb, pc, {}, false, s, t, 1e-6));
  EXPECT_EQ((Vector2d{s, t}), (Vector2d{1, 1}));
  const Vector qa{10, 20, 0}, qb{30, 20, 0}, qc{30, 30, 0}, qd{10, 30, 0};
  EXPECT_FALSE(G::CalculatePolygonPointST({35, 25, 0}, qa, qb, qc, qd, true, s, t, 1e-6)) << "beyond pb-pc";
  EXPECT_FALSE(G::CalculatePolygonPointST({15, 35, 0}, qa, qb, qc, qd, true, s, t, 1e-6)) << "beyond pd-pc";
}

// ---- Mean value weights ----

using WeightsFunction = Result<void> (*)(const Vector& point, const Points3& outline, BaseArray<Float>& weights);

// The three variants on the same outline: around +z, around a given normal, and through a reversed index list.
const WeightsFunction weightVariants[] = {
    [](const Vector& point, const Points3& outline, BaseArray<Float>& weights) {
      return G::CalculateMeanValueCoordinatesWeights(point, View(outline), weights);
    },
    [](const Vector& point, const Points3& outline, BaseArray<Float>& weights) {
      return G::CalculateMeanValueCoordinatesWeights(point, View(outline), {0, 0, -1}, weights);
    },
    [](const Vector& point, const Points3& outline, BaseArray<Float>& weights) {
      // points holds the outline reversed; the indices walk it forwards again, so weights keep their order.
      std::vector<Int32> indices;
      for (Int32 i = 0; i < Int32(outline.size()); ++i) indices.push_back(Int32(outline.size()) - 1 - i);
      return G::CalculateMeanValueCoordinatesWeights(point, View(Reversed(outline)), View(indices), {0, 0, 1}, weights);
    },
};

class MeanValueWeightsTest : public ::testing::TestWithParam<int> {
 protected:
  std::vector<Float> Weights(const Vector& point, const Points3& outline) {
    BaseArray<Float> weights;
    EXPECT_TRUE(weightVariants[GetParam()](point, outline, weights));
    return {weights.begin(), weights.end()};
  }

  void ExpectWeights(const Vector& point, const Points3& outline, const std::vector<Float>& expected) {
    EXPECT_THAT(Weights(point, outline), ::testing::Pointwise(::testing::DoubleNear(1e-15), expected));
  }
};

TEST_P(MeanValueWeightsTest, ExactWeightsOnEdgesVerticesAndDuplicates) {
  const Points3 square{{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
  ExpectWeights({4, 1, 0}, square, {0, 0.75, 0.25, 0});
  ExpectWeights({0, 3, 0}, square, {0.25, 0, 0, 0.75});  // the closing edge
  ExpectWeights({4, 4, 0}, square, {0, 0, 1, 0});
  // A square 0.01 wide: its centre is 0.005 from every edge, which is no edge contact at this scale (|d| times
  // that distance would be 5e-5, and the centre would come out as a point of the first edge).
  const Points3 small{{0, 0, 0}, {0.01, 0, 0}, {0.01, 0.01, 0}, {0, 0.01, 0}};
  ExpectWeights({0.005, 0.005, 0}, small, {0.25, 0.25, 0.25, 0.25});
  const Points3 duplicated{{0, 0, 0}, {4, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
  ExpectWeights({4, 0, 0}, duplicated, {0, 1, 0, 0, 0});
  // The edge without length lies on no point; the two copies share their vertex's weight.
  ExpectWeights({2, 2, 0}, duplicated, {0.25, 0.125, 0.125, 0.25, 0.25});
}

TEST_P(MeanValueWeightsTest, WeightsReproduceThePointInRandomConvexPolygons) {
  std::mt19937 random(99);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  for (int i = 0; i < 120; ++i) {
    const int count = 3 + i % 6;
    const Float scale = std::pow(10.0, -1.0 + 3.0 * unit(random));
    Points3 outline;
    Vector point;
    Float mass = 0;
    for (int k = 0; k < count; ++k) {
      const Float angle = 2 * std::numbers::pi * (k + 0.2 + 0.6 * unit(random)) / count;
      outline.push_back(Vector{std::cos(angle), std::sin(angle), 0} * scale);
      // Comparable positive masses keep the point well inside, away from the edges.
      const Float vertexMass = 0.5 + unit(random);
      point = point + vertexMass * outline.back();
      mass += vertexMass;
    }
    point = point * (1.0 / mass);
    const std::vector<Float> weights = Weights(point, outline);
    Vector sum;
    Float total = 0;
    for (int k = 0; k < count; ++k) {
      sum = sum + weights[k] * outline[k];
      total += weights[k];
      EXPECT_GE(weights[k], -1e-12) << "convex polygon weights are positive";
    }
    EXPECT_NEAR(total, 1.0, 1e-12) << i;
    ExpectNear(sum, point, 1e-12 * scale);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Variants, MeanValueWeightsTest, ::testing::Values(0, 1, 2), [](const ::testing::TestParamInfo<int>& info) {
      return std::string(info.param == 0 ? "around_z" : info.param == 1 ? "around_normal" : "indexed");
    });

TEST(MeanValueWeightsIndexedTest, IndexOutsideThePointsIsAnIllegalArgument) {
  const Points3 points = {{0, 0, 0}, {1, 0, 0}, {0, 1, 0}};
  BaseArray<Float> weights;
  ExpectError(G::CalculateMeanValueCoordinatesWeights({0.2, 0.2, 0}, View(points), View(std::vector<Int32>{0, 1, 7}),
                                                      {0, 0, 1}, weights),
              IllegalArgumentError, "CalculateMeanValueCoordinatesWeights: outline index 7 is outside the 3 points.");
}

// 1e-5 from the first edge: an edge contact for the outline variants, not for the indexed one.
TEST(MeanValueWeightsIndexedTest, EdgeContactIsTighter) {
  const Points3 points = {{0, 0, 0}, {4, 0, 0}, {4, 4, 0}, {0, 4, 0}};
  BaseArray<Float> weights;
  ASSERT_TRUE(G::CalculateMeanValueCoordinatesWeights({2, 1e-5, 0}, View(points), View(std::vector<Int32>{0, 1, 2, 3}),
                                                      {0, 0, 1}, weights));
  EXPECT_GT(weights[2], 0.0);
  ASSERT_TRUE(G::CalculateMeanValueCoordinatesWeights({2, 1e-5, 0}, View(points), weights));
  EXPECT_EQ(weights[2], 0.0);
}

}  // namespace
}  // namespace zemox::geometryutilstest
