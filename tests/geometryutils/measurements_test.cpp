// Measurements and plane mapping of the geometry utilities: degenerate scalar cases, integer triangle
// areas against integer arithmetic, round trips through a plane basis, the best-fit plane of a small
// face, error paths with their messages and allocation failure.

#include <numbers>
#include <random>
#include <string>

#include "geom/degeneratedinputerror.h"
#include "test_helpers.h"

namespace zemox::geometryutilstest {
namespace {

using Points2 = std::vector<Vector2d>;
constexpr Float pi = std::numbers::pi;

TEST(ScalarMeasureTest, DegenerateAndWrappingCases) {
  const struct {
    const char* name;
    Float actual, expected;
  } cases[] = {
      {"remap_empty_range", G::LinearRemapToRange(7, 3, 3, 100, 200), 100},
      {"angle_opposite", std::fabs(G::GetAngle2D({1, 0}, {-1, 0})), pi},
      {"angle_wrapped", G::GetAngle2D({-1, -1}, {1, -1}), -pi / 2},
      {"ratio_not_projection", G::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {0, 1, 0}, false), 0.5},
      {"ratio_clamped", G::InterpolatePointOnSegment2D({0, 0}, {2, 0}, {5, 0}, true), 1},
      {"ratio_zero_segment", G::InterpolatePointOnSegment({1, 1, 1}, {1, 1, 1}, {5, 0, 0}, false), 0},
      {"signed_area_normal", G::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}), -0.5},
      {"signed_area_vertical", G::CalculateSignedTriangleArea({0, 0, 0}, {0, 0, 2}, {0, 2, 0}), 2},
      {"perimeter_one_point", G::CalculatePerimeterLength2D(View(Points2{{3, 4}})), 0},
      {"perimeter_two_points", G::CalculatePerimeterLength2D(View(Points2{{0, 0}, {3, 4}})), 10},
      {"quadrangle", G::CalculateQuadrangleArea({0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}), 6},
      {"outline_area_two_points", G::CalculateOutlineArea(View(Points3{{0, 0, 0}, {1, 1, 1}})), 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.actual, c.expected) << c.name;
}

// The area of an integer triangle is half an integer, exactly representable: it must come out exactly.
TEST(ScalarMeasureTest, IntegerTrianglesHaveExactSignedAreas) {
  std::mt19937_64 engine(7);
  std::uniform_int_distribution<Int> coordinate(-1000, 1000);
  for (int i = 0; i < 2000; ++i) {
    Int c[6];
    for (Int& value : c) value = coordinate(engine);
    const Float twiceArea = Float((c[2] - c[0]) * (c[5] - c[1]) - (c[3] - c[1]) * (c[4] - c[0]));
    const Vector a{Float(c[0]), Float(c[1]), 0}, b{Float(c[2]), Float(c[3]), 0}, d{Float(c[4]), Float(c[5]), 0};
    EXPECT_EQ(G::CalculateSignedTriangleArea(a, b, d), 0.5 * twiceArea) << i;
    EXPECT_EQ(G::CalculateTriangleArea(a, b, d), 0.5 * std::fabs(twiceArea)) << i;
  }
}

// A square placed in a plane by an orthonormal frame (u, v); the plane's normal is u x v. The best-fit
// normal stops once a step moves it by less than 1e-4, which bounds the areas measured in its plane to
// about 1e-7 relative.
struct PlaneFrame {
  const char* name;
  Vector origin, u, v;

  Points3 Square(Float side) const { return {origin, origin + u * side, origin + (u + v) * side, origin + v * side}; }
};

void PrintTo(const PlaneFrame& value, std::ostream* out) { *out << value.name; }

class PlaneFrameTest : public ::testing::TestWithParam<PlaneFrame> {};

TEST_P(PlaneFrameTest, AreaNormalRoundTripAndBestFitPlane) {
  const PlaneFrame& frame = GetParam();
  const Vector normal = Cross(frame.u, frame.v);
  const Points3 square = frame.Square(3.0);
  ExpectNear(G::CalculateOutlineNormal(View(square), true), normal, 1e-12);
  ExpectNear(G::CalculateOutlineNormal(View(square), View(std::vector<Int32>{3, 2, 1, 0}), false), normal * -18.0,
             1e-12);
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  BaseArray<Vector> restored;
  ASSERT_TRUE(G::Points3Dto2D(View(square), normal, basis0, basis1, translate, true, flat, true));
  ASSERT_TRUE(G::Points2Dto3D(flat.ToBlock(), basis0, basis1, translate, restored));
  ASSERT_EQ(restored.GetCount(), 4);
  for (Int i = 0; i < 4; ++i) {
    ExpectNear(restored[i], square[size_t(i)], 1e-12);
    const Vector2d edge = flat[(i + 1) % 4] - flat[i];
    EXPECT_NEAR(std::hypot(edge.x, edge.y), 3.0, 1e-12) << i;
  }
  // The best-fit plane of a face a hundredth wide is its plane.
  const Points3 face = frame.Square(0.01);
  Vector centroid, fitted;
  ASSERT_TRUE(G::CalculateBestFitPlane(View(face), centroid, fitted, 500));
  EXPECT_NEAR(std::fabs(Dot(fitted, normal)), 1.0, 1e-7);
  ExpectNear(centroid, frame.origin + (frame.u + frame.v) * 0.005, 1e-12);
  EXPECT_NEAR(G::CalculateOutlineArea(View(face)), 1e-4, 1e-11);
}

const Float r = std::sqrt(0.5);
INSTANTIATE_TEST_SUITE_P(Planes, PlaneFrameTest,
                         ::testing::Values(PlaneFrame{"xy_flipped", {2, 3, 0}, {0, 1, 0}, {1, 0, 0}},
                                           PlaneFrame{"xz", {0, 7, 0}, {0, 0, 1}, {1, 0, 0}},
                                           PlaneFrame{"oblique", {-4, 0, 9}, {r, 0, r}, {-0.5, r, 0.5}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BestFitPlaneTest, TwoPointsHaveNoPlane) {
  Vector centroid, normal;
  EXPECT_FALSE(G::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {1, 0, 0}}), centroid, normal, 10));
}

TEST(PlaneMappingTest, ErrorsCarryTheirMessages) {
  const struct {
    Points3 points;
    Id errorClass;
    const char* message;
  } cases[] = {
      {{{1, 2, 3}}, IllegalArgumentError, "input points need to be at least 2 points"},
      {{{1, 2, 3}, {1, 2, 3}}, DegeneratedInputError, "input outline is collapsed"},
  };
  for (const auto& c : cases) {
    BaseArray<Vector2d> flat;
    ExpectError(G::Points3Dto2D(View(c.points), {0, 0, 1}, false, flat), c.errorClass, c.message);
  }
}

// The first edge runs along the normal, so its basis is zero and every point lands on the origin; the
// degeneracy check rebuilds the basis around the centroid, which separates the points again.
TEST(PlaneMappingTest, DegenerateBasisIsRebuiltAroundCentroid) {
  const Points3 points{{0, 0, 0}, {0, 0, 1}, {2, 0, 1}, {2, 2, 1}};
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  ASSERT_TRUE(G::Points3Dto2D(View(points), {0, 0, 1}, basis0, basis1, translate, false, flat, true));
  EXPECT_EQ(flat[1], flat[2]);
  ASSERT_TRUE(G::Points3Dto2D(View(points), {0, 0, 1}, basis0, basis1, translate, true, flat, true));
  EXPECT_NEAR(Length(basis0) * Length(basis1), 1.0, 1e-12);
  const Vector2d edge = flat[2] - flat[1];
  EXPECT_NEAR(std::hypot(edge.x, edge.y), 2.0, 1e-12);
  EXPECT_EQ(translate, (Vector{0, 0, 0.75}));
  // A given basis is used unchanged, and translate then comes from the second point.
  basis0 = {0, 1, 0};
  basis1 = {1, 0, 0};
  ASSERT_TRUE(G::Points3Dto2D(View(points), {0, 0, -1}, basis0, basis1, translate, false, flat, false));
  EXPECT_EQ(flat[3], (Vector2d{2, 2}));
  EXPECT_EQ(translate, (Vector{0, 0, 1}));
}

TEST(WoundClockwiseTest, DirectionAndDegenerateOutlines) {
  const Points2 clockwise{{0, 0}, {0, 4}, {2, 1}, {4, 4}, {4, 0}};
  EXPECT_TRUE(G::IsWoundClockwise2D(View(clockwise)).Value());
  EXPECT_FALSE(G::IsWoundClockwise2D(View(Reversed(clockwise))).Value());
  for (const Points2& outline :
       {Points2{{0, 0}, {1, 1}}, Points2{{0, 0}, {1, 1}, {2, 2}}, Points2{{5, 5}, {5, 5}, {5, 5}, {5, 5}}})
    ExpectError(G::IsWoundClockwise2D(View(outline)), DegeneratedInputError, "");
}

TEST(BoundingBoxIndicesTest, TiesFollowTheFlag) {
  const auto indices = [](const Points2& verts, Bool findMostCounterClockwise) {
    std::vector<Int> found(4, 9);
    G::CalculateBoundingBoxIndices(View(verts), found[0], found[1], found[2], found[3], findMostCounterClockwise);
    return found;
  };
  const Points2 square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(indices(square, false), (std::vector<Int>{0, 1, 0, 2}));
  EXPECT_EQ(indices(square, true), (std::vector<Int>{0, 2, 1, 3}));
  // Leftmost-lowest, rightmost-highest, bottom-rightmost, top-leftmost wherever the list starts.
  EXPECT_EQ(indices({{1, 1}, {0, 1}, {0, 0}, {1, 0}}, true), (std::vector<Int>{2, 0, 3, 1}));
}

}  // namespace
}  // namespace zemox::geometryutilstest
