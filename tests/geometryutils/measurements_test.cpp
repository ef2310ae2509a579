// Measurements and plane mapping of the geometry utilities: exact values on small cases, integer
// triangle areas against integer arithmetic, round trips through a plane basis, the best-fit plane of a
// small face, error paths with their messages, allocation failure and bad input.

#include <gtest/gtest.h>

#include <cmath>
#include <functional>
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
constexpr Float nan = std::numeric_limits<Float>::quiet_NaN();
constexpr Float pi = std::numbers::pi;

using Points2 = std::vector<Vector2d>;
using Points3 = std::vector<Vector>;

// A view of the vector; a temporary vector keeps it valid until the end of the full expression.
template <typename T>
Block<const T> View(const std::vector<T>& values) {
  return {values.data(), static_cast<Int>(values.size())};
}

void ExpectNear(const Vector& actual, const Vector& expected, Float tolerance) {
  EXPECT_NEAR(actual.x, expected.x, tolerance);
  EXPECT_NEAR(actual.y, expected.y, tolerance);
  EXPECT_NEAR(actual.z, expected.z, tolerance);
}

struct ScalarCase {
  const char* name;
  std::function<Float()> compute;
  Float expected;
};

void PrintTo(const ScalarCase& value, std::ostream* out) { *out << value.name; }

class ScalarMeasureTest : public ::testing::TestWithParam<ScalarCase> {};

TEST_P(ScalarMeasureTest, GivesExactValue) {
  const ScalarCase& c = GetParam();
  const Float actual = c.compute();
  if (std::isnan(c.expected))
    EXPECT_TRUE(std::isnan(actual)) << actual;
  else
    EXPECT_DOUBLE_EQ(actual, c.expected);
}

const std::vector<Vector2d> unitSquare2d{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

INSTANTIATE_TEST_SUITE_P(
    Values, ScalarMeasureTest,
    ::testing::Values(
        ScalarCase{"remap_midrange", [] { return Impl::LinearRemapToRange(5, 0, 10, 100, 200); }, 150},
        ScalarCase{"remap_unclamped", [] { return Impl::LinearRemapToRange(20, 0, 10, 100, 200); }, 300},
        ScalarCase{"remap_empty_source_range", [] { return Impl::LinearRemapToRange(7, 3, 3, 100, 200); }, 100},
        ScalarCase{"angle_clockwise_quarter",
                   [] {
                     return Impl::GetAngle2D({0, 1}, {1, 0});
                   },
                   pi / 2},
        ScalarCase{"angle_counter_clockwise_quarter",
                   [] {
                     return Impl::GetAngle2D({1, 0}, {0, 1});
                   },
                   -pi / 2},
        ScalarCase{"angle_opposite_magnitude",
                   [] {
                     return std::fabs(Impl::GetAngle2D({1, 0}, {-1, 0}));
                   },
                   pi},
        ScalarCase{"angle_wraps_into_range",
                   [] {
                     return Impl::GetAngle2D({-1, -1}, {1, -1});
                   },
                   -pi / 2},
        ScalarCase{"angle_unnormalized",
                   [] {
                     return Impl::GetAngle2D({0, 5}, {0.5, 0});
                   },
                   pi / 2},
        ScalarCase{"angle_nan_terminates",
                   [] {
                     return Impl::GetAngle2D({nan, 0}, {1, 0});
                   },
                   nan},
        ScalarCase{"interpolate_is_distance_ratio",
                   [] {
                     return Impl::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {0, 1, 0}, false);
                   },
                   0.5},
        ScalarCase{"interpolate_beyond_unclamped",
                   [] {
                     return Impl::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {5, 0, 0}, false);
                   },
                   2.5},
        ScalarCase{"interpolate_beyond_clamped",
                   [] {
                     return Impl::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {5, 0, 0}, true);
                   },
                   1},
        ScalarCase{"interpolate_zero_length_segment",
                   [] {
                     return Impl::InterpolatePointOnSegment({1, 1, 1}, {1, 1, 1}, {5, 0, 0}, false);
                   },
                   0},
        ScalarCase{"interpolate_2d",
                   [] {
                     return Impl::InterpolatePointOnSegment2D({0, 0}, {4, 0}, {0, 3}, false);
                   },
                   0.75},
        ScalarCase{"signed_area_ccw",
                   [] {
                     return Impl::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0});
                   },
                   0.5},
        ScalarCase{"signed_area_cw",
                   [] {
                     return Impl::CalculateSignedTriangleArea({0, 0, 0}, {0, 1, 0}, {1, 0, 0});
                   },
                   -0.5},
        ScalarCase{"signed_area_around_normal",
                   [] {
                     return Impl::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1});
                   },
                   -0.5},
        ScalarCase{"signed_area_vertical_counts_positive",
                   [] {
                     return Impl::CalculateSignedTriangleArea({0, 0, 0}, {0, 0, 2}, {0, 2, 0});
                   },
                   2},
        ScalarCase{"quadrangle_split_on_diagonal",
                   [] {
                     return Impl::CalculateQuadrangleArea({0, 0, 0}, {2, 0, 0}, {2, 3, 0}, {0, 3, 0});
                   },
                   6},
        ScalarCase{"perimeter_unit_square", [] { return Impl::CalculatePerimeterLength2D(View(unitSquare2d)); }, 4},
        ScalarCase{"perimeter_single_point",
                   [] {
                     return Impl::CalculatePerimeterLength2D(View(Points2{{3, 4}}));
                   },
                   0},
        ScalarCase{"perimeter_two_points_counts_twice",
                   [] {
                     return Impl::CalculatePerimeterLength2D(View(Points2{{0, 0}, {3, 4}}));
                   },
                   10},
        ScalarCase{"outline_area_two_points",
                   [] {
                     return Impl::CalculateOutlineArea(View(Points3{{0, 0, 0}, {1, 1, 1}}));
                   },
                   0}),
    [](const auto& info) { return std::string(info.param.name); });

// Integer triangles: the area is half an integer cross product, exactly representable, and must come
// out exactly with the sign of the turn.
TEST(TriangleAreaTest, IntegerTrianglesHaveExactSignedAreas) {
  std::mt19937_64 engine(7);
  std::uniform_int_distribution<int> coordinate(-1000, 1000);
  for (int i = 0; i < 2000; ++i) {
    Int c[6];
    for (Int& value : c) value = coordinate(engine);
    const Int twiceArea = (c[2] - c[0]) * (c[5] - c[1]) - (c[3] - c[1]) * (c[4] - c[0]);
    const Vector a{Float(c[0]), Float(c[1]), 0}, b{Float(c[2]), Float(c[3]), 0}, d{Float(c[4]), Float(c[5]), 0};
    EXPECT_EQ(Impl::CalculateSignedTriangleArea(a, b, d), 0.5 * Float(twiceArea)) << i;
    EXPECT_EQ(Impl::CalculateTriangleArea(a, b, d), 0.5 * std::fabs(Float(twiceArea))) << i;
  }
}

// A square placed in a plane by an orthonormal frame (u, v), with the plane's normal u x v. The best-fit
// normal stops improving once a step moves it by less than 1e-4, which bounds the accuracy of the areas
// measured in its plane to about 1e-7 relative.
struct PlaneFrame {
  const char* name;
  Vector origin, u, v;
};

void PrintTo(const PlaneFrame& value, std::ostream* out) { *out << value.name; }

std::vector<Vector> SquareIn(const PlaneFrame& frame, Float side) {
  const std::pair<Float, Float> corners[] = {{0.0, 0.0}, {side, 0.0}, {side, side}, {0.0, side}};
  std::vector<Vector> square;
  for (const auto& [s, t] : corners) square.push_back(frame.origin + frame.u * s + frame.v * t);
  return square;
}

class PlaneFrameTest : public ::testing::TestWithParam<PlaneFrame> {};

TEST_P(PlaneFrameTest, SquareHasUnitAreaAndPlaneNormal) {
  const PlaneFrame& frame = GetParam();
  const std::vector<Vector> square = SquareIn(frame, 1.0);
  EXPECT_NEAR(Impl::CalculateOutlineArea(View(square)), 1.0, 1e-7);
  ExpectNear(Impl::CalculateOutlineNormal(View(square), true), Cross(frame.u, frame.v), 1e-12);
  const std::vector<Int32> reversed{3, 2, 1, 0};
  ExpectNear(Impl::CalculateOutlineNormal(View(square), View(reversed), false), Cross(frame.u, frame.v) * -2.0, 1e-12);
}

// Mapping into the plane keeps distances, and mapping back restores the points.
TEST_P(PlaneFrameTest, PlaneMappingRoundTrips) {
  const PlaneFrame& frame = GetParam();
  const std::vector<Vector> square = SquareIn(frame, 3.0);
  const Vector normal = Cross(frame.u, frame.v);
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  ASSERT_TRUE(Impl::Points3Dto2D(View(square), normal, basis0, basis1, translate, true, flat, true));
  ASSERT_EQ(flat.GetCount(), 4);
  for (Int i = 0; i < 4; ++i) {
    const Vector2d edge = flat[(i + 1) % 4] - flat[i];
    EXPECT_NEAR(std::hypot(edge.x, edge.y), 3.0, 1e-12) << i;
  }
  BaseArray<Vector> restored;
  ASSERT_TRUE(Impl::Points2Dto3D(flat.ToBlock(), basis0, basis1, translate, restored));
  ASSERT_EQ(restored.GetCount(), 4);
  for (Int i = 0; i < 4; ++i) ExpectNear(restored[i], square[size_t(i)], 1e-12);
}

TEST_P(PlaneFrameTest, BestFitPlaneOfHundredthWideFaceIsItsPlane) {
  const PlaneFrame& frame = GetParam();
  const std::vector<Vector> face = SquareIn(frame, 0.01);
  Vector centroid, normal;
  ASSERT_TRUE(Impl::CalculateBestFitPlane(View(face), centroid, normal, 500));
  const Vector expected = Cross(frame.u, frame.v);
  EXPECT_NEAR(std::fabs(Dot(normal, expected)), 1.0, 1e-7);
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
  EXPECT_TRUE(Impl::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {1, 0, 0}, {0, 1, 0}}), centroid, normal, 0));
  EXPECT_EQ(normal, Vector{});
  EXPECT_TRUE(Impl::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {3, 0, 0}, {0, 3, 0}}), centroid, normal, 100));
  ExpectNear(centroid, {1, 1, 0}, 1e-15);
  EXPECT_NEAR(std::fabs(normal.z), 1.0, 1e-7);
}

TEST(PlaneMappingTest, ErrorsCarryTheirMessages) {
  BaseArray<Vector2d> flat;
  const Result<void> single = Impl::Points3Dto2D(View(Points3{{1, 2, 3}}), {0, 0, 1}, false, flat);
  ASSERT_FALSE(single);
  EXPECT_TRUE(single.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(single.GetError().Message(), "input points need to be at least 2 points");
  const Result<void> collapsed =
      Impl::Points3Dto2D(View(Points3{{1, 2, 3}, {1, 2, 3}, {1, 2, 3}}), {0, 0, 1}, false, flat);
  ASSERT_FALSE(collapsed);
  EXPECT_TRUE(collapsed.GetError().Is(DegeneratedInputError));
  EXPECT_EQ(collapsed.GetError().Message(), "input outline is collapsed");
}

// The first edge runs along the normal, so its basis is zero and every point lands on the origin; the
// degeneracy check rebuilds the basis around the centroid, which separates the points again.
TEST(PlaneMappingTest, DegenerateBasisIsRebuiltAroundCentroid) {
  const std::vector<Vector> points{{0, 0, 0}, {0, 0, 1}, {2, 0, 1}, {2, 2, 1}};
  const Vector normal{0, 0, 1};
  Vector basis0, basis1, translate;
  BaseArray<Vector2d> flat;
  ASSERT_TRUE(Impl::Points3Dto2D(View(points), normal, basis0, basis1, translate, false, flat, true));
  EXPECT_EQ(flat[1], flat[2]);
  ASSERT_TRUE(Impl::Points3Dto2D(View(points), normal, basis0, basis1, translate, true, flat, true));
  EXPECT_NEAR(Length(basis0), 1.0, 1e-12);
  EXPECT_NEAR(Length(basis1), 1.0, 1e-12);
  const Vector2d edge = flat[2] - flat[1];
  EXPECT_NEAR(std::hypot(edge.x, edge.y), 2.0, 1e-12);
  ExpectNear(translate, {0, 0, 0.75}, 1e-15);
}

TEST(PlaneMappingTest, GivenBasisIsUsedUnchanged) {
  Vector basis0{0, 1, 0}, basis1{1, 0, 0}, translate;
  BaseArray<Vector2d> flat;
  ASSERT_TRUE(Impl::Points3Dto2D(View(Points3{{1, 2, 3}, {4, 5, 6}}), {0, 0, -1}, basis0, basis1, translate, false,
                                 flat, false));
  EXPECT_EQ(flat[0], (Vector2d{2, 1}));
  EXPECT_EQ(flat[1], (Vector2d{5, 4}));
  EXPECT_EQ(translate, (Vector{0, 0, 6}));
}

// Every allocation of the mapping fails in turn: the call reports out of memory, then succeeds.
TEST(PlaneMappingTest, AllocationFailureIsReported) {
  const std::vector<Vector> points = SquareIn({"xy", {0, 0, 5}, {1, 0, 0}, {0, 1, 0}}, 2.0);
  for (Int k = 1;; ++k) {
    BaseArray<Vector2d> flat;
    BaseArray<Vector> restored;
    FailAllocationAfter(k);
    const Result<void> mapped = Impl::Points3Dto2D(View(points), {0, 0, 1}, true, flat);
    const Result<void> back = mapped ? Impl::Points2Dto3D(flat.ToBlock(), {1, 0, 0}, {0, 1, 0}, {}, restored) : OK();
    const Float area = Impl::CalculateOutlineArea(View(points));
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    if (!delivered) {
      ASSERT_TRUE(mapped && back);
      EXPECT_NEAR(area, 4.0, 1e-7);
      break;
    }
    const Error* error = !mapped ? &mapped.GetError() : !back ? &back.GetError() : nullptr;
    if (error != nullptr)
      EXPECT_TRUE(error->Is(OutOfMemoryError)) << "k = " << k;
    else
      EXPECT_EQ(area, 0.0) << "k = " << k;
  }
}

struct WindingCase {
  const char* name;
  std::vector<Vector2d> outline;
  Bool clockwise;
};

void PrintTo(const WindingCase& value, std::ostream* out) { *out << value.name; }

class WoundClockwiseTest : public ::testing::TestWithParam<WindingCase> {};

TEST_P(WoundClockwiseTest, TellsDirection) {
  const Result<Bool> answer = Impl::IsWoundClockwise2D(View(GetParam().outline));
  ASSERT_TRUE(answer);
  EXPECT_EQ(answer.Value(), GetParam().clockwise);
}

INSTANTIATE_TEST_SUITE_P(Outlines, WoundClockwiseTest,
                         ::testing::Values(WindingCase{"square_cw", {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, true},
                                           WindingCase{"square_ccw", {{0, 0}, {1, 0}, {1, 1}, {0, 1}}, false},
                                           WindingCase{"concave_cw", {{0, 0}, {0, 4}, {2, 1}, {4, 4}, {4, 0}}, true},
                                           WindingCase{"concave_ccw", {{0, 0}, {4, 0}, {4, 4}, {2, 1}, {0, 4}}, false}),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(WoundClockwiseTest, DegenerateOutlinesFailWithoutMessage) {
  const std::vector<std::vector<Vector2d>> outlines{
      {}, {{0, 0}, {1, 1}}, {{0, 0}, {1, 1}, {2, 2}}, {{0, 0}, {nan, 1}, {1, 0}}, {{5, 5}, {5, 5}, {5, 5}, {5, 5}}};
  for (const auto& outline : outlines) {
    const Result<Bool> answer = Impl::IsWoundClockwise2D(View(outline));
    ASSERT_FALSE(answer) << outline.size();
    EXPECT_TRUE(answer.GetError().Is(DegeneratedInputError));
    EXPECT_TRUE(answer.GetError().Message().empty());
  }
}

TEST(BoundingBoxIndicesTest, TiesFollowTheFlag) {
  Int minX = 9, maxX = 9, minY = 9, maxY = 9;
  Impl::CalculateBoundingBoxIndices(View(unitSquare2d), minX, maxX, minY, maxY, false);
  EXPECT_EQ((std::vector<Int>{minX, maxX, minY, maxY}), (std::vector<Int>{0, 1, 0, 2}));
  Impl::CalculateBoundingBoxIndices(View(unitSquare2d), minX, maxX, minY, maxY, true);
  EXPECT_EQ((std::vector<Int>{minX, maxX, minY, maxY}), (std::vector<Int>{0, 2, 1, 3}));
  // The hull walk starts anywhere: the same square rotated in the list keeps the same corners.
  const std::vector<Vector2d> rotated{{1, 1}, {0, 1}, {0, 0}, {1, 0}};
  Impl::CalculateBoundingBoxIndices(View(rotated), minX, maxX, minY, maxY, true);
  EXPECT_EQ((std::vector<Int>{minX, maxX, minY, maxY}), (std::vector<Int>{2, 0, 3, 1}));
  Impl::CalculateBoundingBoxIndices({}, minX, maxX, minY, maxY, true);
  EXPECT_EQ((std::vector<Int>{minX, maxX, minY, maxY}), (std::vector<Int>{-1, -1, -1, -1}));
}

}  // namespace
}  // namespace zemox
