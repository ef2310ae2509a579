// Measures and outlines: degenerate scalar cases, integer triangle areas against integer arithmetic, round trips
// through a plane basis and the best-fit plane of a small face; loops in the plane with centroids and areas
// against the shoelace formula, hulls against an independent monotone chain, convex decompositions checked for
// convexity and cover, cleaning and containment of touching loops; error paths with their messages.

#include <numbers>
#include <random>
#include <string>

#include "common/loops2d.h"
#include "common/monotonechainhull.h"
#include "geom/degeneratedinputerror.h"
#include "test_helpers.h"

namespace zemox::geometryutilstest {
namespace {

TEST(ScalarMeasureTest, DegenerateAndWrappingCases) {
  const struct {
    const char* name;
    Float actual, expected;
  } cases[] = {
      {"remap_empty_range", G::LinearRemapToRange(7, 3, 3, 100, 200), 100},
      {"angle_opposite", std::fabs(G::GetAngle2D({1, 0}, {-1, 0})), std::numbers::pi},
      {"angle_wrapped", G::GetAngle2D({-1, -1}, {1, -1}), -std::numbers::pi / 2},
      {"ratio_not_projection", G::InterpolatePointOnSegment({0, 0, 0}, {2, 0, 0}, {0, 1, 0}, false), 0.5},
      {"ratio_clamped", G::InterpolatePointOnSegment2D({0, 0}, {2, 0}, {5, 0}, true), 1},
      {"ratio_zero_segment", G::InterpolatePointOnSegment({1, 1, 1}, {1, 1, 1}, {5, 0, 0}, false), 0},
      {"signed_area_normal", G::CalculateSignedTriangleArea({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, -1}), -0.5},
      {"signed_area_vertical", G::CalculateSignedTriangleArea({0, 0, 0}, {0, 0, 2}, {0, 2, 0}), 2},
      {"perimeter_one_point", G::CalculatePerimeterLength2D(View(Loop{{3, 4}})), 0},
      {"perimeter_two_points", G::CalculatePerimeterLength2D(View(Loop{{0, 0}, {3, 4}})), 10},
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

TEST(PlaneMappingTest, DegenerateInputIsRefused) {
  const struct {
    Points3 points;
    Id errorClass;
    const char* message;
  } cases[] = {
      {{{1, 2, 3}}, IllegalArgumentError, "input points need to be at least 2 points"},
      {{{1, 2, 3}, {1, 2, 3}}, DegeneratedInputError, "input outline is collapsed"},
  };
  BaseArray<Vector2d> flat;
  for (const auto& c : cases)
    ExpectError(G::Points3Dto2D(View(c.points), {0, 0, 1}, false, flat), c.errorClass, c.message);
  Vector centroid, normal;
  EXPECT_FALSE(G::CalculateBestFitPlane(View(Points3{{0, 0, 0}, {1, 0, 0}}), centroid, normal, 10)) << "two points";
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
  const Loop clockwise{{0, 0}, {0, 4}, {2, 1}, {4, 4}, {4, 0}};
  EXPECT_TRUE(G::IsWoundClockwise2D(View(clockwise)).Value());
  EXPECT_FALSE(G::IsWoundClockwise2D(View(Reversed(clockwise))).Value());
  for (const Loop& outline : {Loop{{0, 0}, {1, 1}}, Loop{{0, 0}, {1, 1}, {2, 2}}, Loop{{5, 5}, {5, 5}, {5, 5}, {5, 5}}})
    ExpectError(G::IsWoundClockwise2D(View(outline)), DegeneratedInputError, "");
}

TEST(BoundingBoxIndicesTest, TiesFollowTheFlag) {
  const auto indices = [](const Loop& verts, Bool findMostCounterClockwise) {
    std::vector<Int> found(4, 9);
    G::CalculateBoundingBoxIndices(View(verts), found[0], found[1], found[2], found[3], findMostCounterClockwise);
    return found;
  };
  const Loop square{{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  EXPECT_EQ(indices(square, false), (std::vector<Int>{0, 1, 0, 2}));
  EXPECT_EQ(indices(square, true), (std::vector<Int>{0, 2, 1, 3}));
  // Leftmost-lowest, rightmost-highest, bottom-rightmost, top-leftmost wherever the list starts.
  EXPECT_EQ(indices({{1, 1}, {0, 1}, {0, 0}, {1, 0}}, true), (std::vector<Int>{2, 0, 3, 1}));
}

// Counter-clockwise and simple, 50 to 1000 units around `centre`; integer coordinates when `integral`.
Loop Star(std::mt19937_64& random, int count, Vector2d centre, Bool integral) {
  Loop loop = Reversed(RandomStar(random, count, centre, 1000, 0.05));
  if (integral) std::for_each(loop.begin(), loop.end(), [](Vector2d& p) { p = {std::round(p.x), std::round(p.y)}; });
  return loop;
}

// The standard polygon centroid.
Vector2d ShoelaceCentroid(const Loop& loop) {
  Vector2d sum;
  for (size_t i = 0; i < loop.size(); ++i) {
    const Vector2d &a = loop[i], &b = loop[(i + 1) % loop.size()];
    sum = sum + (a + b) * Cross(a, b);
  }
  return sum * (1.0 / (6.0 * SignedArea(View(loop))));
}

TEST(LoopCentroidTest, MatchesShoelaceInBothWindingsFarFromTheOrigin) {
  std::mt19937_64 random(3);
  for (int round = 0; round < 20; ++round) {
    const Loop ccw = Star(random, 40, {1e4 * round, -3e3}, false);
    const Float expectedArea = SignedArea(View(ccw));
    const Vector2d expectedCentroid = ShoelaceCentroid(ccw);
    for (const Bool clockwise : {false, true}) {
      Float area = 0.0;
      Bool polarity = !clockwise;
      const Vector2d centroid =
          G::CalculateOutlineCentroidAndArea2D(View(clockwise ? Reversed(ccw) : ccw), &area, &polarity);
      EXPECT_NEAR(area, expectedArea, 1e-9 * expectedArea);
      EXPECT_EQ(polarity, clockwise);
      EXPECT_NEAR(std::hypot(centroid.x - expectedCentroid.x, centroid.y - expectedCentroid.y), 0.0, 1e-6);
    }
  }
}

TEST(LoopCentroidTest, HolesSubtractAndMustRunCounterClockwise) {
  // Clockwise outer square of side 4, counter-clockwise hole of side 2 in its lower-left corner.
  const Loop loops = {{0, 0}, {0, 4}, {4, 4}, {4, 0}, {0.5, 0.5}, {2.5, 0.5}, {2.5, 2.5}, {0.5, 2.5}};
  const Int counts[] = {4, 4};
  Float overall = 0.0;
  BaseArray<Float> areas;
  BaseArray<Bool> polarities;
  const Result<Vector2d> withHoles =
      G::CalculateMultiOutlineCentroidAndAreas2D(View(loops), {counts, 2}, true, &overall, &areas, &polarities);
  ASSERT_TRUE(withHoles);
  EXPECT_EQ(overall, 12.0);
  EXPECT_EQ(std::vector<Float>(areas.begin(), areas.end()), (std::vector<Float>{16, 4}));
  EXPECT_EQ(std::vector<Bool>(polarities.begin(), polarities.end()), (std::vector<Bool>{true, false}));
  // (16 * (2, 2) - 4 * (1.5, 1.5)) / 12
  EXPECT_DOUBLE_EQ(withHoles.Value().x, 13.0 / 6.0);
  EXPECT_EQ(G::CalculateMultiOutlineCentroidAndAreas2D(View(loops), {counts, 2}, false).Value(), (Vector2d{2, 2}));
  const Loop clockwiseHole = {{0, 0}, {0, 4}, {4, 4}, {4, 0}, {0.5, 0.5}, {0.5, 2.5}, {2.5, 2.5}, {2.5, 0.5}};
  ExpectError(G::CalculateMultiOutlineCentroidAndAreas2D(View(clockwiseHole), {counts, 2}, true), IllegalStateError,
              "");
  const Int tooMany[] = {4, 5};
  ExpectError(G::CalculateMultiOutlineCentroidAndAreas2D(View(loops), {tooMany, 2}, true), IllegalArgumentError, "");
}

TEST(LoopHullTest, MatchesAnIndependentHullInTheLoopsDirectionFromTheLeftmostVertex) {
  std::mt19937_64 random(8);
  for (int round = 0; round < 30; ++round) {
    const Loop ccw = Star(random, 60, {500, 500}, true);
    for (const Bool clockwise : {false, true}) {
      const Loop loop = clockwise ? Reversed(ccw) : ccw;
      const Result<BaseArray<Int>> hull = G::CalculateConvexHull2D(View(loop));
      ASSERT_TRUE(hull);
      Loop points;
      for (const Int index : hull.Value()) points.push_back(loop[index]);
      Loop wanted = MonotoneChainHull(ccw);
      if (clockwise) std::reverse(wanted.begin() + 1, wanted.end());
      EXPECT_TRUE(points == wanted) << "round " << round << (clockwise ? " clockwise" : "");
    }
  }
}

TEST(LoopCleanTest, DuplicatesStraightVerticesAndSpikesGo) {
  const struct {
    const char* name;
    Loop input;
    Bool maintainStart;
    Loop expected;
    Bool changed;
  } cases[] = {
      {"RepeatedFirstPoint", {{0, 0}, {1, 0}, {1, 1}, {0, 0}}, false, {{0, 0}, {1, 0}, {1, 1}}, true},
      {"RotatedToLeftmost", {{1, 0}, {1, 1}, {0, 0}}, false, {{0, 0}, {1, 0}, {1, 1}}, true},
      {"StartKept", {{1, 0}, {1, 1}, {0, 0}}, true, {{1, 0}, {1, 1}, {0, 0}}, false},
      {"MidEdgeVertex", {{0, 0}, {1, 0}, {2, 0}, {2, 2}}, false, {{0, 0}, {2, 0}, {2, 2}}, true},
      // The spike's tip goes and its two base points become one.
      {"Spike", {{0, 0}, {2, 0}, {2, 2}, {3, 3}, {2, 2}, {0, 2}}, false, {{0, 0}, {2, 0}, {2, 2}, {0, 2}}, true},
      {"NearDuplicateKeptStart", {{1, 0}, {1, 1}, {1, 1.00005}, {0, 0}}, true, {{1, 0}, {1, 1}, {0, 0}}, true},
      {"AllOnePoint", {{3, 3}, {3, 3}, {3, 3}}, false, {{3, 3}}, true},
      // The start is the leftmost point, so the spike's base points end up first and last.
      {"SpikeAcrossStart",
       {{3, 0}, {12.5, 4.5}, {3, 4}, {0, 1}, {0, 0}, {-1e-5, 1}},
       false,
       {{-1e-5, 1}, {3, 0}, {12.5, 4.5}, {3, 4}},
       true},
  };
  for (const auto& c : cases) {
    BaseArray<Vector2d> loop;
    ASSERT_TRUE(loop.CopyFrom(View(c.input)));
    const Result<Bool> changed = G::CleanLoop2DInPlace(loop, c.maintainStart);
    ASSERT_TRUE(changed) << c.name;
    EXPECT_EQ(changed.Value(), c.changed) << c.name;
    EXPECT_EQ(Loop(loop.begin(), loop.end()), c.expected) << c.name;
  }
}

Loop Square(Float x, Float y, Float size) { return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}}; }

TEST(LoopContainmentTest, ClassifiesLoopsThatDoNotCross) {
  const Loop big = Square(0, 0, 10), small = Square(2, 2, 2);
  const struct {
    const Loop& a;
    const Loop& b;
    LOOP_OVERLAP_STATE expected;
  } cases[] = {
      {big, Square(20, 0, 1), LOOP_OVERLAP_STATE::DISJOINT},
      {big, small, LOOP_OVERLAP_STATE::B_INSIDE_A},
      {big, Reversed(big), LOOP_OVERLAP_STATE::COINCIDENT},
      // Sharing the edge x = 10: the winding number's edge report would count the points level with
      // the horizontal edges as on the boundary and call these two coincident.
      {big, Square(10, 0, 10), LOOP_OVERLAP_STATE::DISJOINT},
      {big, Loop{{0, 0}, {1, 1}}, LOOP_OVERLAP_STATE::DEGENERATE},
  };
  for (const auto& c : cases)
    EXPECT_EQ(G::GetContainmentStateForNonIntersectingLoops(View(c.a), View(c.b)), c.expected);
}

TEST(LoopEqualityTest, RotationReversalAndTranslationAreAllowedOnlyWhenAsked) {
  const Loop square = Square(0, 0, 1), rotated = {square[1], square[2], square[3], square[0]};
  EXPECT_FALSE(G::AreLoopsEqualToWithinTolerance(View(square), View(rotated), false, false, 1e-9));
  EXPECT_TRUE(G::AreLoopsEqualToWithinTolerance(View(square), View(Reversed(rotated)), true, false, 1e-9));
  EXPECT_FALSE(G::AreLoopsEqualToWithinTolerance(View(square), View(Square(5, 5, 1)), false, false, 1e-9));
  EXPECT_TRUE(G::AreLoopsEqualToWithinTolerance(View(square), View(Square(5, 5, 1)), false, true, 1e-9));
  EXPECT_FALSE(G::AreLoopsEqualToWithinTolerance(View(square), View(Square(0, 0, 1.01)), false, false, 1e-3));
}

// Every piece is convex (no reflex turn) and the pieces cover the loop's area exactly once.
void ExpectConvexCover(const Loop& loop, const BaseArray<BaseArray<Int>>& pieces) {
  const Float area = SignedArea(View(loop));
  Float total = 0.0;
  for (const BaseArray<Int>& piece : pieces) {
    Loop points;
    for (const Int index : piece) points.push_back(loop[index]);
    for (size_t i = 0; i < points.size(); ++i) {
      const Vector2d &a = points[i], &b = points[(i + 1) % points.size()], &c = points[(i + 2) % points.size()];
      EXPECT_GE(Cross(b - a, c - b) * area, 0.0) << "reflex corner in a piece";
    }
    total += std::fabs(SignedArea(View(points)));
  }
  EXPECT_NEAR(total, std::fabs(area), 1e-9 * std::fabs(area));
}

TEST(ConvexDecompositionTest, PiecesAreConvexAndCoverTheLoop) {
  const Loop lShape = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
  const Loop loops[] = {lShape,
                        Reversed(lShape),
                        Square(0, 0, 1),
                        {{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}},
                        // A piece would close at the reflex vertex (3, 1), which stays reflex inside the piece.
                        {{0, 3}, {1, 1}, {-2, 11}, {10, 0}, {0, -1}, {3, 1}, {1, 0}},
                        // A diagonal from (-471, 308) to (-227, -454) runs within 1e-4 of the next edge.
                        {{-451, 421}, {-471, 308}, {-719, -630}, {-227, -454}, {-145, -710}, {359, -365}, {672, -160}}};
  for (const Loop& loop : loops) {
    const Result<BaseArray<BaseArray<Int>>> pieces = G::CalculateConvexDecomposition2D(View(loop));
    ASSERT_TRUE(pieces) << pieces.GetError().Message();
    ExpectConvexCover(loop, pieces.Value());
  }
  // A convex loop, even with a straight vertex, stays whole.
  EXPECT_EQ(G::CalculateConvexDecomposition2D(View(loops[3])).Value().GetCount(), 1);
}

TEST(ConvexDecompositionTest, UncleanInputIsRefused) {
  // A straight vertex met while a piece is being built.
  const Loop unclean = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {1, 4}, {0, 4}};
  ExpectError(G::CalculateConvexDecomposition2D(View(unclean)), DegeneratedInputError, "Non-clean input geometry");
  ExpectError(G::CalculateConvexDecomposition2D(View(Loop{{0, 0}, {1, 0}, {2, 0}, {3, 0}})), DegeneratedInputError, "");
}

}  // namespace
}  // namespace zemox::geometryutilstest
