// Separation, hull and the outline-processing component, checked by properties that an independent
// computation decides: exact simplicity of every loop, vertex bookkeeping, offsets, areas, exact
// winding numbers; and the component under allocation failure.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <numeric>
#include <string>

#include "common/testscale.h"
#include "exactpredicates2d_impl.h"
#include "geometryutils_impl.h"
#include "intersectingoutlinesprocessing_impl.h"
#include "outlinecrossings/outlinecrossings_test.h"
#include "selfintersectingoutlinehull2d.h"
#include "separateselfintersectingoutline2d.h"

namespace zemox {
namespace {

// Every q-th corner of a regular p-gon of radius 100: a star drawn in one stroke.
Outline Star(Int p, Int q) {
  Outline outline;
  for (Int i = 0; i < p; ++i) {
    const Float angle = M_PI / 2 + 2 * M_PI * static_cast<Float>(i * q) / static_cast<Float>(p);
    outline.push_back({100 * std::cos(angle), 100 * std::sin(angle)});
  }
  return outline;
}

// A vertical segment crossed nine times by a zigzag: along it the crossings differ in x only by the
// jitter. Numbered from (0, 100), the jittered segment leans so that their (x, y) order runs against
// their order along the segment.
Outline VerticalComb() {
  Outline outline{{0, 100}};
  for (Int k = 0; k < 10; ++k) outline.push_back({k % 2 == 0 ? -10.0 : 10.0, 95.0 - 10.0 * static_cast<Float>(k)});
  outline.push_back({0, 0});
  return outline;
}

const Outline threeEdgesThroughOnePoint{{0, 0.5},     {6.5, 1}, {-0.5, 0},  {2, 5},      {1.5, 13},
                                        {1.5, 0},     {18, 10}, {20, 18},   {19, 20},    {10, 13.5},
                                        {14.5, 13.5}, {0, 4.5}, {15, -0.5}, {-0.5, -0.5}};

struct Loops {
  BaseArray<Vector2d> points;
  BaseArray<Int> lengths;
  BaseArray<Int> sources;
  std::vector<Block<const Vector2d>> Blocks() const {
    std::vector<Block<const Vector2d>> blocks;
    Int first = 0;
    for (const Int length : lengths) {
      blocks.push_back(points.ToBlock().Slice(first, length));
      first += length;
    }
    return blocks;
  }
};

struct RepairCase {
  const char* name;
  Outline outline;
  Bool nested;  // the hull contains every other loop
};

class RepairTest : public ::testing::TestWithParam<RepairCase> {};

// Separation gives simple disjoint loops that keep every vertex; the hull runs
// counter-clockwise from the smallest point of all loops and, for nested loops, holds the others.
TEST_P(RepairTest, SeparationAndHullKeepTheOutline) {
  const Block<const Vector2d> outline = View(GetParam().outline);
  SweepResult crossings;
  ASSERT_TRUE(Sweep({GetParam().outline}, crossings));
  // The separated loops with the crossings offset (`offset`) and at the crossings (`exact`).
  Loops offset, exact;
  SeparateSelfIntersectingOutline2D separation;
  ASSERT_TRUE(separation.Init(outline, crossings.points, crossings.segments));
  ASSERT_TRUE(separation.GetResult(true, offset.points, offset.lengths, &offset.sources));
  ASSERT_TRUE(separation.GetResult(false, exact.points, exact.lengths, &exact.sources));
  const Int n = outline.GetCount();
  const Int m = crossings.points.GetCount();
  EXPECT_EQ(std::accumulate(offset.lengths.begin(), offset.lengths.end(), Int{0}), n + 2 * m);
  std::vector<Int> sources(offset.sources.begin(), offset.sources.end());
  std::sort(sources.begin(), sources.end());
  std::vector<Int> expected(static_cast<size_t>(2 * m), -1);
  for (Int i = 0; i < n; ++i) expected.push_back(i);
  EXPECT_EQ(sources, expected);

  const std::vector<Block<const Vector2d>> loops = offset.Blocks();
  for (size_t k = 0; k < loops.size(); ++k)
    EXPECT_FALSE(ExactPredicates2DImpl::OutlineSelfIntersectionTest(loops[k]).Value()) << "loop " << k;
  EXPECT_FALSE(ExactPredicates2DImpl::OutlinesIntersectionTest({loops.data(), static_cast<Int>(loops.size())}).Value());

  // The copies of one crossing: 1e-7 from it, in opposite directions; closer where other crossings
  // lie within a hair of it.
  std::map<std::pair<Float, Float>, Vector2d> displacementSums;
  for (Int i = 0; i < offset.points.GetCount(); ++i) {
    if (offset.sources[i] != -1) continue;
    const Vector2d displacement = offset.points[i] - exact.points[i];
    Float nearest = INFINITY;
    for (const Vector2d& other : crossings.points)
      if (!(other == exact.points[i]))
        nearest = std::min(nearest, std::hypot(other.x - exact.points[i].x, other.y - exact.points[i].y));
    const Float length = std::sqrt(Dot(displacement, displacement));
    EXPECT_TRUE(nearest <= 1e-5 || std::fabs(length - 1e-7) <= 1e-12) << length;
    EXPECT_LE(length, 1e-7 + 1e-12);
    displacementSums[{exact.points[i].x, exact.points[i].y}] =
        displacementSums[{exact.points[i].x, exact.points[i].y}] + displacement;
  }
  EXPECT_EQ(static_cast<Int>(displacementSums.size()), m);
  for (const auto& [point, sum] : displacementSums) EXPECT_LT(std::hypot(sum.x, sum.y), 1e-12);

  SelfIntersectingOutlineHull2D hull;
  ASSERT_TRUE(hull.Init(outline, crossings.points, crossings.segments));
  BaseArray<Vector2d> hullPoints;
  ASSERT_TRUE(hull.GetResult(false, hullPoints, nullptr));
  EXPECT_GT(SignedArea(hullPoints), 0);
  const Vector2d smallest = *std::min_element(exact.points.begin(), exact.points.end(), [](auto& a, auto& b) {
    return CompareLexicographic(a, b) == COMPARERESULT::LESS;
  });
  EXPECT_EQ(hullPoints[0], smallest);
  if (!GetParam().nested) return;

  BaseArray<Vector2d> displacedHull;
  ASSERT_TRUE(hull.GetResult(true, displacedHull, nullptr));
  for (const Vector2d& point : offset.points) {
    if (std::find(displacedHull.begin(), displacedHull.end(), point) != displacedHull.end()) continue;
    EXPECT_NE(GeometryUtilsImpl::GetPointInPolygonWindingNumber2DExact(point, displacedHull), 0)
        << point.x << " " << point.y;
  }
}

INSTANTIATE_TEST_SUITE_P(
    Outlines, RepairTest,
    ::testing::Values(RepairCase{"Heptagram", Star(7, 3), true}, RepairCase{"VerticalComb", VerticalComb(), false},
                      // Three edges cross at (1.5, 4): the jitter splits the point into three crossings a hair apart.
                      RepairCase{"ThreeEdgesThroughOnePoint", threeEdgesThroughOnePoint, false},
                      RepairCase{"Random120", RandomCrossingOutline(SanitizerScaled(120, 50), 8), false}),
    [](const ::testing::TestParamInfo<RepairCase>& info) { return std::string(info.param.name); });

TEST(SeparationErrorTest, RejectsUnpairedCrossings) {
  const Vector2d square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Vector2d point[] = {{0.5, 0.5}};
  const IndexPair pairs[] = {{0, 2}, {1, 3}};
  const Result<void> outcome = SeparateSelfIntersectingOutline2D().Init({square, 4}, {point, 1}, {pairs, 2});
  ASSERT_TRUE(!outcome && outcome.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(outcome.GetError().Message(), "Init: Intersection points arrays are epmty or their size differ.");
}

// ---- The component -------------------------------------------------------------------------------------

TEST(IntersectingOutlinesProcessingTest, AnswersFalseWithoutCrossingsAndAppendsOtherwise) {
  const IntersectingOutlinesProcessingImpl component;
  const Vector2d square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  BaseArray<Vector2d> points;
  BaseArray<Int> counts, ids;
  EXPECT_FALSE(component.GetSimplePolygons({square, 4}, true, points, counts, &ids).Value());
  EXPECT_FALSE(component.GetHull({square, 4}, true, points, &ids).Value());
  EXPECT_FALSE(component.GetSimplePolygons({square, 2}, true, points, counts, &ids).Value());
  const Result<Bool> shortHull = component.GetHull({square, 2}, true, points, &ids);
  ASSERT_FALSE(shortHull);
  EXPECT_EQ(shortHull.GetError().Message(), "Init: Input outline has less than 3 points.");
  EXPECT_TRUE(points.IsEmpty() && counts.IsEmpty() && ids.IsEmpty());

  // A bow tie twice: two triangles through the crossing, then the same two appended.
  const Vector2d bowTie[] = {{0, 0}, {2, 2}, {2, 0}, {0, 2}};
  ASSERT_TRUE(component.GetSimplePolygons({bowTie, 4}, false, points, counts, &ids).Value());
  ASSERT_TRUE(component.GetSimplePolygons({bowTie, 4}, false, points, counts, &ids).Value());
  EXPECT_EQ(points.GetCount(), 12);
  EXPECT_EQ(counts.GetCount(), 4);
  EXPECT_TRUE(std::equal(points.begin(), points.begin() + 6, points.begin() + 6));
}

}  // namespace
}  // namespace zemox
