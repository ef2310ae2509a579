// The jittered sweep against an all-pairs oracle in exact rational arithmetic, on fixed and degenerate
// cases, and on every error it reports.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <tuple>

#include "common/exactorientation2d.h"
#include "common/testscale.h"
#include "outlinecrossings/outlinecrossings_test.h"

namespace zemox {

Outline RandomCrossingOutline(Int count, unsigned seed) {
  std::mt19937 engine(seed);
  std::uniform_real_distribution<Float> coordinate(0.0, 1000.0);
  Outline outline(static_cast<size_t>(count));
  for (Vector2d& point : outline) point = {coordinate(engine), coordinate(engine)};
  return outline;
}

Result<void> Sweep(const std::vector<Outline>& outlines, SweepResult& result) {
  std::vector<Block<const Vector2d>> blocks;
  for (const Outline& outline : outlines) blocks.push_back(View(outline));
  OutlinesIntersections2D sweep;
  ZEMOX_RETURN_IF_FAILED(sweep.Init({blocks.data(), static_cast<Int>(blocks.size())}));
  return sweep.GetIntersections(result.points, result.segments, &result.outlines);
}

namespace {

// (outline, segment) of both segments of a crossing, the smaller first.
using CrossingPair = std::tuple<Int, Int, Int, Int>;

CrossingPair Ordered(Int outlineA, Int segmentA, Int outlineB, Int segmentB) {
  if (std::tie(outlineA, segmentA) > std::tie(outlineB, segmentB)) return {outlineB, segmentB, outlineA, segmentA};
  return {outlineA, segmentA, outlineB, segmentB};
}

// Every pair of segments that cross properly, in exact arithmetic on the given coordinates; the
// loops visit (o, i) < (p, j) only.
std::set<CrossingPair> OracleCrossings(const std::vector<Outline>& outlines) {
  const Int count = static_cast<Int>(outlines.size());
  auto point = [&](Int o, Int i) { return outlines[o][i % outlines[o].size()]; };
  std::set<CrossingPair> crossings;
  for (Int o = 0; o < count; ++o)
    for (Int i = 0; i < static_cast<Int>(outlines[o].size()); ++i)
      for (Int p = o; p < count; ++p)
        for (Int j = p == o ? i + 1 : 0; j < static_cast<Int>(outlines[p].size()); ++j) {
          const Vector2d a = point(o, i), b = point(o, i + 1), c = point(p, j), d = point(p, j + 1);
          if (ExactOrientation(a, b, c) * ExactOrientation(a, b, d) < 0 &&
              ExactOrientation(c, d, a) * ExactOrientation(c, d, b) < 0)
            crossings.insert({o, i, p, j});
        }
  return crossings;
}

struct SweepCase {
  std::string name;
  std::vector<Outline> outlines;
  // Expected within 1e-5, in order, where the jitter resolves a degenerate configuration; the oracle
  // decides the other cases.
  std::optional<std::vector<Vector2d>> points;
};

void PrintTo(const SweepCase& value, std::ostream* out) { *out << value.name; }

class SweepTest : public ::testing::TestWithParam<SweepCase> {};

// Points on both segments up to the jitter, in ascending order, each pair once; the pairs of the oracle
// or the expected points.
TEST_P(SweepTest, ReportsEachCrossingOnceInOrder) {
  const SweepCase& c = GetParam();
  SweepResult result;
  ASSERT_TRUE(Sweep(c.outlines, result));
  std::set<CrossingPair> found;
  for (Int k = 0; k < result.points.GetCount(); ++k) {
    const IndexPair& o = result.outlines[k];
    const IndexPair& s = result.segments[k];
    found.insert(Ordered(o.first, s.first, o.second, s.second));
    for (const auto& [outline, segment] : {std::pair{o.first, s.first}, std::pair{o.second, s.second}}) {
      const Outline& points = c.outlines[outline];
      EXPECT_LT(DistanceToSegment(result.points[k], points[segment], points[(segment + 1) % points.size()]), 1e-5);
    }
    if (k > 0) {
      EXPECT_EQ(CompareLexicographic(result.points[k - 1], result.points[k]), COMPARERESULT::LESS) << "order at " << k;
    }
    if (c.points && k < static_cast<Int>(c.points->size())) {
      EXPECT_NEAR(result.points[k].x, (*c.points)[k].x, 1e-5) << k;
      EXPECT_NEAR(result.points[k].y, (*c.points)[k].y, 1e-5) << k;
    }
  }
  if (c.points) {
    EXPECT_EQ(static_cast<size_t>(result.points.GetCount()), c.points->size());
  } else {
    EXPECT_EQ(static_cast<size_t>(result.points.GetCount()), found.size()) << "a pair reported twice";
    EXPECT_EQ(found, OracleCrossings(c.outlines));
  }
}

// A random self-crossing outline, alone and with two others, then fixed shapes. The degenerate ones are
// resolved by the jitter: near the degenerate point the outlines pass straight through it, so every
// small displacement gives the same crossings.
std::vector<SweepCase> SweepCases() {
  const Int size = SanitizerScaled(300, 80);
  const Outline random = RandomCrossingOutline(size, 1);
  return {{"RandomAlone", {random}, {}},
          {"RandomAmongOthers", {random, RandomCrossingOutline(size / 3, 2), RandomCrossingOutline(size / 3, 3)}, {}},
          // Consecutive segments share a vertex, which is no crossing even where they fold back.
          {"FoldedBack", {{{0, 0}, {4, 0}, {1, 0.001}, {0, 3}}}, {}},
          {"VertexOnOtherSegment",
           {{{0, 0}, {4, 0}, {2, 4}}, {{2, -2}, {2, 0}, {2, 2}, {6, 2}, {6, -2}}},
           {{{2, 0}, {3, 2}}}},
          {"CrossingThroughVertex",
           {{{0, 0}, {4, 4}, {4, 0}, {0, 4}}, {{-1, 2}, {2, 2}, {5, 2}, {5, -1}, {-1, -1}}},
           {{{0, 2}, {2, 2}, {2, 2}, {2, 2}, {4, 2}}}},
          {"DuplicatedVertex",
           {{{-4, 0}, {0, 0}, {4, 0}, {0, 10}}, {{-0.5, -4}, {0, 0}, {0.5, 4}, {6, -4}}},
           {{{0, 0}, {3.25, 0}}}}};
}

INSTANTIATE_TEST_SUITE_P(Outlines, SweepTest, ::testing::ValuesIn(SweepCases()),
                         [](const ::testing::TestParamInfo<SweepCase>& info) { return info.param.name; });

// The first run's jitter of a vertex, as the sweep's generator draws it.
Vector2d FirstRunJitter(Int index) {
  UInt32 state = 69069u + 1u;
  Float draws[2];
  for (Int draw = 0; draw <= 2 * index + 1; ++draw) {
    state = state * 69069u + 1u;
    draws[draw % 2] = std::ldexp(static_cast<Float>(state), -32);
  }
  return {(2 * draws[0] - 1) * 1e-6, (2 * draws[1] - 1) * 1e-6};
}

// Where the first run's jitter lands `index` exactly on `target` jittered as vertex `targetIndex`.
Float Colliding(Float target, Float targetJitter, Float jitter) {
  const Float landing = target + targetJitter;
  Float value = landing - jitter;
  for (int step = 0; step < 16 && value + jitter != landing; ++step)
    value = std::nextafter(value, value + jitter < landing ? 1e300 : -1e300);
  return value;
}

// The row DuplicatedVertex moved by (8, 8), where the coordinates and their jittered values share one
// binade, so that a vertex can be placed exactly where the first run moves another one.
TEST(SweepRetryTest, AVertexThatTheFirstJitterDuplicatesIsResolvedByTheNextRun) {
  const Vector2d targetJitter = FirstRunJitter(1);
  const Vector2d jitter = FirstRunJitter(5);
  const Vector2d colliding{Colliding(8, targetJitter.x, jitter.x), Colliding(8, targetJitter.y, jitter.y)};
  ASSERT_EQ(colliding.x + jitter.x, 8 + targetJitter.x);
  ASSERT_EQ(colliding.y + jitter.y, 8 + targetJitter.y);
  SweepResult result;
  ASSERT_TRUE(Sweep({{{4, 8}, {8, 8}, {12, 8}, {8, 18}}, {{7.5, 4}, colliding, {8.5, 12}, {14, 4}}}, result));
  ASSERT_EQ(result.points.GetCount(), 2);
  EXPECT_NEAR(result.points[0].x, 8, 1e-5);
  EXPECT_NEAR(result.points[1].x, 11.25, 1e-5);
}

struct ErrorCase {
  const char* name;
  Id errorClass;
  const char* message;
  std::vector<Outline> outlines;
};

class SweepErrorTest : public ::testing::TestWithParam<ErrorCase> {};

TEST_P(SweepErrorTest, FailsWithTheStatedError) {
  const ErrorCase& c = GetParam();
  SweepResult result;
  const Result<void> outcome = Sweep(c.outlines, result);
  ASSERT_TRUE(!outcome && outcome.GetError().Is(c.errorClass));
  EXPECT_EQ(outcome.GetError().Message(), c.message);
}

constexpr Float nan = std::numeric_limits<Float>::quiet_NaN();
// At 2^44 a coordinate's resolution is far coarser than the jitter, which then moves nothing: every
// run meets the same degenerate configuration.
constexpr Float far = 17592186044416.0;
Outline Far(std::initializer_list<Vector2d> points) {
  Outline outline;
  for (const Vector2d& p : points) outline.push_back({far + p.x * 4096, far + p.y * 4096});
  return outline;
}

INSTANTIATE_TEST_SUITE_P(
    Table, SweepErrorTest,
    ::testing::Values(
        ErrorCase{"TwoPoints", IllegalArgumentError, "Init: Input outline has less than 3 points.", {{{0, 0}, {1, 1}}}},
        ErrorCase{"DuplicatedVertex",
                  IllegalArgumentError,
                  "Init: (Self-)intersection by a vertex or duplicated vertex in some outline.",
                  {Far({{0, 0}, {4, 0}, {2, 2}, {4, 4}, {2, 2}, {0, 4}})}},
        ErrorCase{"CrossingOnVertex",
                  IllegalArgumentError,
                  "Init: A new intersection point coincides with an existing outline point.",
                  {Far({{0, 0}, {4, 4}, {4, 0}, {0, 4}}), Far({{2, 2}, {3, 2.5}, {3, 1.5}})}},
        ErrorCase{"ThreeSegmentsThroughOnePoint",
                  IllegalArgumentError,
                  "Init: A new intersection point coincides with an existing intersection point.",
                  {Far({{0, 0}, {4, 4}, {4, 0}, {0, 4}}), Far({{-1, 2}, {5, 2}, {2, 10}})}},
        ErrorCase{"FoldedOntoItself",
                  IllegalArgumentError,
                  "Init: Endpoint of one segment is too close to another segment, unsupported case.",
                  {Far({{0, 0}, {4, 0}, {2, 0}, {2, 4}})}},
        // Without a finite orientation the order of two segments has no sign.
        ErrorCase{"UnorderedAdjacentSegments",
                  IllegalStateError,
                  "Init: Two adjacent outline segments overlap or nearly overlap.",
                  {{{0, 0}, {1, nan}, {2, 0}}}},
        ErrorCase{"UnorderedVertex",
                  IllegalStateError,
                  "Init: Sweep line status misses a segment.",
                  {{{0, 0}, {nan, 1}, {2, 0}}}}),
    [](const ::testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

TEST(SweepErrorTest, RejectsUndefinedOutlinesAndIdenticalSegments) {
  OutlinesIntersections2D sweep;
  const Block<const Vector2d> undefined[] = {{nullptr, 3}};
  const Result<void> outcome = sweep.Init({undefined, 1});
  ASSERT_FALSE(outcome);
  EXPECT_EQ(outcome.GetError().Message(), "Init: Input outline is undefined.");
  const Result<COMPARERESULT> order = sweep.Compare(SegmentKey{0, 1}, SegmentKey{0, 1});
  ASSERT_TRUE(!order && order.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(order.GetError().Message(), "Init: Segments are identical.");
}

}  // namespace
}  // namespace zemox
