// Bilinear patches and their inverses, polygon (s, t) coordinates and mean value weights: round trips on random
// convex quadrangles and polygons, the quadrangles whose sides are parallel or axis-aligned, exact weights on
// edges and vertices, errors and allocation failure.

#include <gmock/gmock.h>

#include <array>
#include <numbers>
#include <random>
#include <string>

#include "test_helpers.h"

namespace zemox::geometryutilstest {
namespace {

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
