// Measurements and plane mapping of the geometry utilities: exact values on small cases, integer
// triangle areas against integer arithmetic, round trips through a plane basis, the best-fit plane of a
// small face, error paths with their messages, allocation failure and bad input.

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <numbers>
#include <random>
#include <string>
#include <vector>

#include "geom/degeneratedinputerror.h"
#include "geometryutils_impl.h"

namespace zemox {
namespace {

using Impl = GeometryUtilsImpl;
using Points2 = std::vector<Vector2d>;
using Points3 = std::vector<Vector>;
constexpr Float nan = std::numeric_limits<Float>::quiet_NaN();
constexpr Float pi = std::numbers::pi;

// A view of the vector; a temporary vector keeps it valid until the end of the full expression.
template <typename T>
Block<const T> View(const std::vector<T>& values) {
  return {values.data(), static_cast<Int>(values.size())};
}

void ExpectNear(const Vector& actual, const Vector& expected, Float tolerance) {
  EXPECT_NEAR(Length(actual - expected), 0.0, tolerance) << actual.x << ", " << actual.y << ", " << actual.z;
}

TEST(ScalarMeasureTest, ExactValues) {
  const Points2 square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const struct {
    const char* name;
    Float actual, expected;
  } cases[] = {
      {"remap", Impl::LinearRemapToRange(5, 0, 10, 100, 200), 150},
      {"remap_unclamped", Impl::LinearRemapToRange(20, 0, 10, 100, 200), 300},
      {"remap_empty_range", Impl::LinearRemapToRange(7, 3, 3, 100, 200), 100},
      {"angle_clockwise", Impl::GetAngle2D({0, 1}, {1, 0}), pi / 2},
      {"angle_counter_clockwise", Impl::GetAngle2D({1, 0}, {0, 5}), -pi / 2},
      {"angle_opposite", std::fabs(Impl::GetAngle2D({1, 0}, {-1, 0})), pi},
      {"angle_wrapped", Impl::GetAngle2D({-1, -1}, {1, -1}), -pi / 2},
      {"ratio_not_projection", Impl::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {0, 1, 0}, false), 0.5},
      {"ratio_unclamped", Impl::InterpolatePointOnSegment2D({0, 0}, {2, 0}, {5, 0}, false), 2.5},
      {"ratio_clamped", Impl::InterpolatePointOnSegment2D({0, 0}, {2, 0}, {5, 0}, true), 1},
      {"ratio_zero_segment", Impl::InterpolatePointOnSegment({1, 1, 1}, {1, 1, 1}, {5, 0, 0}, false), 0},
      {"signed_area_ccw", Impl::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0}), 0.5},
      {"signed_area_cw", Impl::CalculateSignedTriangleArea({0, 0, 0}, {0, 1, 0}, {1, 0, 0}), -0.5},
      {"signed_area_normal", Impl::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}), -0.5},
      {"signed_area_vertical", Impl::CalculateSignedTriangleArea({0, 0, 0}, {0, 0, 2}, {0, 2, 0}), 2},
      {"quadrangle", Impl::CalculateQuadrangleArea({0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0}), 6},
      {"perimeter", Impl::CalculatePerimeterLength2D(View(square)), 4},
      {"perimeter_one_point", Impl::CalculatePerimeterLength2D(View(Points2{{3, 4}})), 0},
      {"perimeter_two_points", Impl::CalculatePerimeterLength2D(View(Points2{{0, 0}, {3, 4}})), 10},
      {"outline_area_two_points", Impl::CalculateOutlineArea(View(Points3{{0, 0, 0}, {1, 1, 1}})), 0},
  };
  for (const auto& c : cases) EXPECT_DOUBLE_EQ(c.actual, c.expected) << c.name;
  EXPECT_TRUE(std::isnan(Impl::GetAngle2D({nan, 0}, {1, 0})));
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
    EXPECT_EQ(Impl::CalculateSignedTriangleArea(a, b, d), 0.5 * twiceArea) << i;
    EXPECT_EQ(Impl::CalculateTriangleArea(a, b, d), 0.5 * std::fabs(twiceArea)) << i;
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

TEST_P(PlaneFrameTest, AreaNormalAndRoundTrip) {
  const PlaneFrame& frame = GetParam();
  const Vector normal = Cross(frame.u, frame.v);
  const Points3 square = frame.Square(3.0);
  EXPECT_NEAR(Impl::CalculateOutlineArea(View(square)), 9.0, 1e-6);
  ExpectNear(Impl::CalculateOutlineNormal(View(square), true), normal, 1e-12);
  ExpectNear(Impl::CalculateOutlineNormal(View(square), View(std::vector<Int32>{3, 2, 1, 0}), false), normal * -18.0,
             1e-12);
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  BaseArray<Vector> restored;
  ASSERT_TRUE(Impl::Points3Dto2D(View(square), normal, basis0, basis1, translate, true, flat, true));
  ASSERT_TRUE(Impl::Points2Dto3D(flat.ToBlock(), basis0, basis1, translate, restored));
  ASSERT_EQ(restored.GetCount(), 4);
  for (Int i = 0; i < 4; ++i) {
    ExpectNear(restored[i], square[size_t(i)], 1e-12);
    const Vector2d edge = flat[(i + 1) % 4] - flat[i];
    EXPECT_NEAR(std::hypot(edge.x, edge.y), 3.0, 1e-12) << i;
  }
}

TEST_P(PlaneFrameTest, BestFitPlaneOfHundredthWideFaceIsItsPlane) {
  const PlaneFrame& frame = GetParam();
  const Points3 face = frame.Square(0.01);
  Vector centroid, normal;
  ASSERT_TRUE(Impl::CalculateBestFitPlane(View(face), centroid, normal, 500));
  EXPECT_NEAR(std::fabs(Dot(normal, Cross(frame.u, frame.v))), 1.0, 1e-7);
  ExpectNear(centroid, frame.origin + (frame.u + frame.v) * 0.005, 1e-12);
  EXPECT_NEAR(Impl::CalculateOutlineArea(View(face)), 1e-4, 1e-11);
}

const Float r = std::sqrt(0.5);
INSTANTIATE_TEST_SUITE_P(Planes, PlaneFrameTest,
                         ::testing::Values(PlaneFrame{"xy_at_z5", {0, 0, 5}, {1, 0, 0}, {0, 1, 0}},
                                           PlaneFrame{"xy_flipped", {2, 3, 0}, {0, 1, 0}, {1, 0, 0}},
                                           PlaneFrame{"xz", {0, 7, 0}, {0, 0, 1}, {1, 0, 0}},
                                           PlaneFrame{"tilted", {1, 2, 3}, {r, -r, 0}, {0, 0, 1}},
                                           PlaneFrame{"oblique", {-4, 0, 9}, {r, 0, r}, {-0.5, r, 0.5}}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(BestFitPlaneTest, TooFewPointsAndNoIterations) {
  Vector centroid{1, 1, 1}, normal{1, 1, 1};
  EXPECT_FALSE(Impl::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {1, 0, 0}}), centroid, normal, 10));
  EXPECT_EQ(centroid, Vector{});
  EXPECT_EQ(normal, Vector{});
  EXPECT_TRUE(Impl::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}), centroid, normal, 0));
  ExpectNear(centroid, {1, 1, 0}, 1e-15);
  EXPECT_EQ(normal, Vector{});
}

TEST(PlaneMappingTest, ErrorsCarryTheirMessages) {
  BaseArray<Vector2d> flat;
  const Result<void> single = Impl::Points3Dto2D(View(Points3{{1, 2, 3}}), {0, 0, 1}, false, flat);
  ASSERT_FALSE(single);
  EXPECT_TRUE(single.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(single.GetError().Message(), "input points need to be at least 2 points");
  const Result<void> collapsed = Impl::Points3Dto2D(View(Points3{{1, 2, 3}, {1, 2, 3}}), {0, 0, 1}, false, flat);
  ASSERT_FALSE(collapsed);
  EXPECT_TRUE(collapsed.GetError().Is(DegeneratedInputError));
  EXPECT_EQ(collapsed.GetError().Message(), "input outline is collapsed");
}

// The first edge runs along the normal, so its basis is zero and every point lands on the origin; the
// degeneracy check rebuilds the basis around the centroid, which separates the points again.
TEST(PlaneMappingTest, DegenerateBasisIsRebuiltAroundCentroid) {
  const Points3 points{{0, 0, 0}, {0, 0, 1}, {2, 0, 1}, {2, 2, 1}};
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  ASSERT_TRUE(Impl::Points3Dto2D(View(points), {0, 0, 1}, basis0, basis1, translate, false, flat, true));
  EXPECT_EQ(flat[1], flat[2]);
  ASSERT_TRUE(Impl::Points3Dto2D(View(points), {0, 0, 1}, basis0, basis1, translate, true, flat, true));
  EXPECT_NEAR(Length(basis0) * Length(basis1), 1.0, 1e-12);
  const Vector2d edge = flat[2] - flat[1];
  EXPECT_NEAR(std::hypot(edge.x, edge.y), 2.0, 1e-12);
  EXPECT_EQ(translate, (Vector{0, 0, 0.75}));
  // A given basis is used unchanged, and translate then comes from the second point.
  basis0 = {0, 1, 0};
  basis1 = {1, 0, 0};
  ASSERT_TRUE(Impl::Points3Dto2D(View(points), {0, 0, -1}, basis0, basis1, translate, false, flat, false));
  EXPECT_EQ(flat[3], (Vector2d{2, 2}));
  EXPECT_EQ(translate, (Vector{0, 0, 1}));
}

// Every allocation fails in turn: the mappings report out of memory, the area falls back to 0.
TEST(PlaneMappingTest, AllocationFailureIsReported) {
  const Points3 points = PlaneFrame{"xy", {0, 0, 5}, {1, 0, 0}, {0, 1, 0}}.Square(2.0);
  for (Int k = 1;; ++k) {
    BaseArray<Vector2d> flat;
    BaseArray<Vector> restored;
    FailAllocationAfter(k);
    const Result<void> mapped = Impl::Points3Dto2D(View(points), {0, 0, 1}, true, flat);
    const Result<void> back = mapped ? Impl::Points2Dto3D(flat.ToBlock(), {1, 0, 0}, {0, 1, 0}, {}, restored) : OK();
    const Float area = Impl::CalculateOutlineArea(View(points));
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    const Error* error = !mapped ? &mapped.GetError() : !back ? &back.GetError() : nullptr;
    if (!delivered) {
      EXPECT_EQ(error, nullptr);
      EXPECT_NEAR(area, 4.0, 1e-6);
      break;
    }
    if (error != nullptr)
      EXPECT_TRUE(error->Is(OutOfMemoryError)) << "k = " << k;
    else
      EXPECT_EQ(area, 0.0) << "k = " << k;
  }
}

TEST(WoundClockwiseTest, DirectionAndDegenerateOutlines) {
  const Points2 clockwise{{0, 0}, {0, 4}, {2, 1}, {4, 4}, {4, 0}};
  const Points2 counterClockwise(clockwise.rbegin(), clockwise.rend());
  EXPECT_TRUE(Impl::IsWoundClockwise2D(View(clockwise)).Value());
  EXPECT_FALSE(Impl::IsWoundClockwise2D(View(counterClockwise)).Value());
  for (const Points2& outline : {Points2{{0, 0}, {1, 1}}, Points2{{0, 0}, {1, 1}, {2, 2}},
                                 Points2{{0, 0}, {nan, 1}, {1, 0}}, Points2{{5, 5}, {5, 5}, {5, 5}, {5, 5}}}) {
    const Result<Bool> answer = Impl::IsWoundClockwise2D(View(outline));
    ASSERT_FALSE(answer) << outline.size();
    EXPECT_TRUE(answer.GetError().Is(DegeneratedInputError));
    EXPECT_TRUE(answer.GetError().Message().empty());
  }
}

TEST(BoundingBoxIndicesTest, TiesFollowTheFlag) {
  const auto indices = [](const Points2& verts, Bool findMostCounterClockwise) {
    std::vector<Int> found(4, 9);
    Impl::CalculateBoundingBoxIndices(View(verts), found[0], found[1], found[2], found[3], findMostCounterClockwise);
    return found;
  };
  const Points2 square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(indices(square, false), (std::vector<Int>{0, 1, 0, 2}));
  EXPECT_EQ(indices(square, true), (std::vector<Int>{0, 2, 1, 3}));
  // Leftmost-lowest, rightmost-highest, bottom-rightmost, top-leftmost wherever the list starts.
  EXPECT_EQ(indices({{1, 1}, {0, 1}, {0, 0}, {1, 0}}, true), (std::vector<Int>{2, 0, 3, 1}));
  EXPECT_EQ(indices({}, true), (std::vector<Int>{-1, -1, -1, -1}));
}

}  // namespace
}  // namespace zemox
