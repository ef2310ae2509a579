// The exact outline intersection test, checked against a brute-force oracle in exact rational
// arithmetic, on named degenerate shapes, on thousands of random outlines, under outline reordering,
// rotation and reversal, on a large outline and on bad input.

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/exactorientation2d.h"
#include "common/loops2d.h"
#include "common/testscale.h"
#include "exactpredicates2d_impl.h"
#include "outlinesintersectiontest2d.h"

namespace zemox {
namespace {

constexpr int randomCaseCount = static_cast<int>(SanitizerScaled(4000, 400));

using Impl = ExactPredicates2DImpl;
using Outline = std::vector<Vector2d>;
using Outlines = std::vector<Outline>;

// ---- Oracle: every pair of segments, exact rational signs --------------------------------------------

// p collinear with a-b: inside the closed segment's bounding box means on it.
bool OnSegment(const Vector2d& p, const Vector2d& a, const Vector2d& b) {
  return std::min(a.x, b.x) <= p.x && p.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= p.y &&
         p.y <= std::max(a.y, b.y);
}

bool ClosedSegmentsMeet(const Vector2d& a, const Vector2d& b, const Vector2d& c, const Vector2d& d) {
  const int abc = ExactOrientation(a, b, c), abd = ExactOrientation(a, b, d);
  const int cda = ExactOrientation(c, d, a), cdb = ExactOrientation(c, d, b);
  if (abc * abd < 0 && cda * cdb < 0) return true;
  return (abc == 0 && OnSegment(c, a, b)) || (abd == 0 && OnSegment(d, a, b)) || (cda == 0 && OnSegment(a, c, d)) ||
         (cdb == 0 && OnSegment(b, c, d));
}

// Consecutive segments a-b and b-c (distinct points) meet beyond b only when c turns straight back.
bool ConsecutiveSegmentsOverlap(const Vector2d& a, const Vector2d& b, const Vector2d& c) {
  return ExactOrientation(a, b, c) == 0 &&
         (mpq_class(a.x) - b.x) * (mpq_class(c.x) - b.x) + (mpq_class(a.y) - b.y) * (mpq_class(c.y) - b.y) > 0;
}

bool OracleIntersecting(const Outlines& outlines) {
  struct Segment {
    Vector2d start, end;
    size_t outline, index, count;
  };
  std::vector<Segment> segments;
  std::vector<Vector2d> vertices;
  for (size_t o = 0; o < outlines.size(); ++o) {
    const Outline& outline = outlines[o];
    for (size_t i = 0, n = outline.size(); i < n; ++i) segments.push_back({outline[i], outline[(i + 1) % n], o, i, n});
    vertices.insert(vertices.end(), outline.begin(), outline.end());
  }
  for (size_t i = 0; i < vertices.size(); ++i)
    if (std::count(vertices.begin() + i + 1, vertices.end(), vertices[i])) return true;
  for (size_t i = 0; i < segments.size(); ++i) {
    for (size_t j = i + 1; j < segments.size(); ++j) {
      const Segment& s = segments[i];
      const Segment& t = segments[j];
      const bool sameOutline = s.outline == t.outline;
      if (sameOutline && (t.index == s.index + 1)) {
        if (ConsecutiveSegmentsOverlap(s.start, s.end, t.end)) return true;
      } else if (sameOutline && s.index == 0 && t.index + 1 == t.count) {
        if (ConsecutiveSegmentsOverlap(t.start, t.end, s.end)) return true;
      } else if (ClosedSegmentsMeet(s.start, s.end, t.start, t.end)) {
        return true;
      }
    }
  }
  return false;
}

// ---- Calls of the test --------------------------------------------------------------------------------

Bool Answer(const Outlines& outlines) {
  std::vector<Block<const Vector2d>> blocks;
  for (const Outline& outline : outlines) blocks.push_back(View(outline));
  const Result<Bool> answer = Impl::OutlinesIntersectionTest({blocks.data(), static_cast<Int>(blocks.size())});
  EXPECT_TRUE(answer) << answer.GetError().Message();
  return answer && answer.Value();
}

Outlines Scaled(Outlines outlines, Float factor) {
  for (Outline& outline : outlines)
    for (Vector2d& point : outline) point = point * factor;
  return outlines;
}

// ---- Named shapes ---------------------------------------------------------------------------------------

struct ShapeCase {
  const char* name;
  Outlines outlines;
  Bool expected;
};

void PrintTo(const ShapeCase& value, std::ostream* out) { *out << value.name; }

class NamedShapeTest : public ::testing::TestWithParam<ShapeCase> {};

// The answer as expected, and the same shape times 2^k from the subnormal range to near overflow
// answered as the oracle answers (where underflow rounds a shape the oracle sees the rounded one).
TEST_P(NamedShapeTest, AnswerMatchesExpectationAndOracleAtEveryScale) {
  const ShapeCase& shape = GetParam();
  EXPECT_EQ(OracleIntersecting(shape.outlines), shape.expected) << "oracle";
  EXPECT_EQ(Answer(shape.outlines), shape.expected);
  for (int k = -1074; k <= 1000; k += static_cast<int>(SanitizerScaled(5, 41))) {
    const Outlines outlines = Scaled(shape.outlines, std::ldexp(1.0, k));
    ASSERT_EQ(Answer(outlines), OracleIntersecting(outlines)) << "scale 2^" << k;
  }
}

const Outline unitSquare{{0, 0}, {1, 0}, {1, 1}, {0, 1}};

INSTANTIATE_TEST_SUITE_P(
    Degenerate, NamedShapeTest,
    ::testing::Values(ShapeCase{"straight_vertex_on_edge", {{{0, 0}, {1, 0}, {2, 0}, {2, 2}, {0, 2}}}, false},
                      ShapeCase{"spike_back_along_edge", {{{0, 0}, {2, 0}, {1, 0}, {1, 1}}}, true},
                      ShapeCase{"spike_back_past_start", {{{1, 0}, {2, 0}, {0, 0}, {1, 1}}}, true},
                      ShapeCase{"touching_itself_at_vertex", {{{0, 0}, {2, 0}, {1, 1}, {2, 2}, {0, 2}, {1, 1}}}, true},
                      ShapeCase{"vertex_on_own_edge", {{{0, 0}, {4, 0}, {4, 4}, {2, 0}, {0, 4}}}, true},
                      ShapeCase{"consecutive_duplicate_vertex", {{{0, 0}, {1, 0}, {1, 0}, {1, 1}}}, true},
                      ShapeCase{"vertical_edges", {{{0, 0}, {0, 1}, {0, 2}, {1, 2}, {1, 0}}}, false},
                      ShapeCase{"vertical_self_overlap", {{{0, 0}, {0, 2}, {1, 1}, {0, 1}, {-1, 3}}}, true},
                      // Scaled by 2^-1022 the gap is the smallest subnormal.
                      ShapeCase{"squares_one_ulp_apart",
                                {unitSquare, {{0x1.0000000000001p0, 0}, {2, 0}, {2, 1}, {0x1.0000000000001p0, 1}}},
                                false},
                      ShapeCase{"squares_sharing_edge", {unitSquare, {{1, 0}, {2, 0}, {2, 1}, {1, 1}}}, true},
                      ShapeCase{"squares_sharing_vertex", {unitSquare, {{1, 1}, {2, 1}, {2, 2}, {1, 2}}}, true},
                      ShapeCase{"vertex_on_other_edge", {unitSquare, {{1, 0.5}, {2, 0}, {2, 1}}}, true},
                      ShapeCase{"collinear_edges_apart", {unitSquare, {{2, 0}, {3, 0}, {3, -1}}}, false},
                      ShapeCase{"collinear_edges_overlapping", {unitSquare, {{0.5, 0}, {3, 0}, {3, -1}}}, true},
                      // The crossing lies right of a vertex where two segments end; it is found only by comparing the
                      // segments that become neighbours when those two leave the status.
                      ShapeCase{"crossing_between_segments_that_become_neighbours",
                                {{{4, 11}, {10, 4}, {10, 6}}, {{12, 4}, {6, 3}, {11, 12}}, {{4, 8}, {6, 8}, {3, 6}}},
                                true},
                      ShapeCase{"tenth_scaled_touch",
                                {{{0.1, 0.1}, {0.3, 0.1}, {0.3, 0.3}}, {{0.2, 0.2}, {0.1, 0.7}, {-0.4, 0.3}}},
                                true},
                      ShapeCase{"tenth_scaled_apart",
                                {{{0.1, 0.1}, {0.3, 0.1}, {0.3, 0.3}}, {{0.1, 0.2}, {0.1, 0.7}, {-0.4, 0.3}}},
                                false}),
    [](const auto& info) { return std::string(info.param.name); });

// ---- Random outlines against the oracle -------------------------------------------------------------

// One to five outlines of one kind on a small grid: full of shared and collinear points.
Outlines RandomCase(std::mt19937& engine) {
  const auto uniform = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(engine); };
  const int kind = uniform(0, 3);
  Outlines outlines(kind == 3 ? uniform(3, 5) : uniform(1, 3));
  for (Outline& outline : outlines) {
    if (kind == 0) {
      // Any points on a tiny grid: mostly crossing.
      outline.resize(uniform(3, 7));
      const int size = uniform(2, 6);
      for (Vector2d& point : outline) point = {Float(uniform(0, size)), Float(uniform(0, size))};
    } else if (kind == 1) {
      // Axis-aligned rectangles, sometimes with straight vertices on their sides: simple on their own,
      // touching or overlapping others now and then.
      const int x0 = uniform(0, 8), y0 = uniform(0, 8), x1 = x0 + uniform(1, 4), y1 = y0 + uniform(1, 4);
      outline = {{Float(x0), Float(y0)}, {Float(x1), Float(y0)}, {Float(x1), Float(y1)}, {Float(x0), Float(y1)}};
      if (uniform(0, 1) == 1) outline.insert(outline.begin() + 1, {(x0 + x1) / 2.0, Float(y0)});
    } else if (kind == 2) {
      // Vertices by increasing angle around a centre, rounded to the grid: often simple, sometimes with
      // collinear or coinciding vertices after rounding.
      std::vector<Float> angles(uniform(3, 9));
      const Float cx = uniform(0, 10), cy = uniform(0, 10);
      for (Float& angle : angles) angle = std::uniform_real_distribution<Float>(0, 2 * M_PI)(engine);
      std::sort(angles.begin(), angles.end());
      for (Float angle : angles) {
        const Float radius = uniform(1, 4);
        outline.push_back({std::round(cx + radius * std::cos(angle)), std::round(cy + radius * std::sin(angle))});
      }
    } else {
      // Several triangles on a wider grid keep many segments in the status at once, so that segments
      // become neighbours in every way the sweep allows.
      outline.resize(3);
      for (Vector2d& point : outline) point = {Float(uniform(0, 12)), Float(uniform(0, 12))};
    }
  }
  return outlines;
}

TEST(RandomOutlineTest, AgreesWithOracleAndIgnoresOrderRotationAndDirection) {
  std::mt19937 engine(20240611);
  int intersecting = 0;
  for (int i = 0; i < randomCaseCount; ++i) {
    // Every fourth case on the tenth-scaled grid: coordinates that are not exact decimal sums.
    const Outlines outlines = i % 4 == 3 ? Scaled(RandomCase(engine), 0.1) : RandomCase(engine);
    const Bool expected = OracleIntersecting(outlines);
    intersecting += expected;
    Outlines reordered(outlines.rbegin(), outlines.rend()), rotated = outlines, reversed = outlines;
    for (Outline& outline : rotated) std::rotate(outline.begin(), outline.begin() + i % outline.size(), outline.end());
    for (Outline& outline : reversed) std::reverse(outline.begin(), outline.end());
    const Outlines* variants[] = {&outlines, &reordered, &rotated, &reversed};
    for (int v = 0; v < 4; ++v) ASSERT_EQ(Answer(*variants[v]), expected) << "case " << i << ", variant " << v;
  }
  // Both answers must be common, or agreement would say little.
  EXPECT_GT(intersecting, randomCaseCount / 5);
  EXPECT_LT(intersecting, randomCaseCount * 4 / 5);
}

// ---- Large inputs --------------------------------------------------------------------------------------

// A simple star of 5000 vertices beside a disjoint one far away, so that the vertex sort interleaves
// two outlines. With `crossing`, one vertex moves to the opposite side at radius 1.5: its edges run
// through the inner disc to a point outside the star, so they must cross the far side. Serial and
// parallel runs of the sort are compared in the parallel tests.
TEST(LargeOutlineTest, FindsTheOneCrossingAmongThousandsOfEdges) {
  for (const Bool crossing : {false, true}) {
    std::mt19937_64 random(5);
    Outlines outlines{RandomStar(random, 5000, {0, 0}, 1.0, 0.5), RandomStar(random, 1500, {3, 0}, 0.25, 0.5)};
    Vector2d& moved = outlines[0][2500];
    if (crossing) moved = moved * (-1.5 / std::hypot(moved.x, moved.y));
    EXPECT_EQ(Answer(outlines), crossing);
  }
}

// ---- Failure paths ------------------------------------------------------------------------------------

// Missing, short, undefined and non-finite outlines are input errors, never answers.
TEST(OutlineTestErrorTest, InputErrorsCarryTheirMessages) {
  const Float nan = std::numeric_limits<Float>::quiet_NaN(), inf = std::numeric_limits<Float>::infinity();
  const Vector2d points[] = {{0, 0}, {1, 0}, {0, 1}}, withNan[] = {{0, 0}, {1, 0}, {1, nan}},
                 withInf[] = {{0, 0}, {-inf, 0}, {1, 1}};
  struct Case {
    std::vector<Block<const Vector2d>> outlines;
    const char* message;
  };
  const Case cases[] = {
      {{}, "Init: No input outlines."},
      {{{points, 2}}, "Init: Input outline has less than 3 points."},
      {{{nullptr, 3}}, "Init: Input outline is undefined."},
      {{{withNan, 3}}, "Init: Input outline has a non-finite coordinate."},
      {{{points, 3}, {withInf, 3}}, "Init: Input outline has a non-finite coordinate."},
  };
  for (const Case& c : cases) {
    const Result<Bool> answer =
        Impl::OutlinesIntersectionTest({c.outlines.data(), static_cast<Int>(c.outlines.size())});
    ASSERT_FALSE(answer) << c.message;
    EXPECT_TRUE(answer.GetError().Is(IllegalArgumentError));
    EXPECT_EQ(answer.GetError().Message(), c.message);
  }
}

}  // namespace
}  // namespace zemox
