// No-fit and inner-fit polygons against independent computations: the convex no-fit polygon against
// the hull of all vertex differences, the sliding ones by placing the pieces (overlap areas from signed
// triangle fans clipped triangle by triangle, gaps from vertex-edge distances), and the real pieces of
// the public nesting instances.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/loops2d.h"
#include "common/monotonechainhull.h"
#include "common/nestingdata.h"
#include "geometryutils_impl.h"

namespace zemox {
namespace {

using Loop = std::vector<Vector2d>;
using G = GeometryUtilsImpl;

Loop Transformed(const Loop& loop, const Matrix2d& transform) {
  Loop transformed;
  for (const Vector2d& point : loop) transformed.push_back(transform.Transform(point));
  return transformed;
}

Loop Solved(Result<BaseArray<Vector2d>> result) {
  EXPECT_TRUE(result) << result.GetError().Message();
  return result ? Loop(result.Value().begin(), result.Value().end()) : Loop{};
}

Bool SameLoop(const Loop& actual, const Loop& expected, Float tolerance) {
  return G::AreLoopsEqualToWithinTolerance(View(actual), View(expected), true, false, tolerance);
}

std::string Print(const Loop& loop) {
  std::ostringstream text;
  text.precision(17);
  for (const Vector2d& point : loop) text << "(" << point.x << ", " << point.y << ") ";
  return text.str();
}

// The strict hull of the points, clockwise.
Loop ClockwiseHull(const Loop& points) { return Reversed(MonotoneChainHull(points)); }

// The Minkowski sum A + (-B) of convex loops: the hull of every difference of their vertices.
Loop MinkowskiDifference(const Loop& a, const Loop& b) {
  Loop differences;
  for (const Vector2d& p : a)
    for (const Vector2d& q : b) differences.push_back(p - q);
  return ClockwiseHull(differences);
}

// A clockwise convex loop of `count` integer points on an ellipse around `centre`.
Loop RandomConvex(std::mt19937_64& random, int count, const Vector2d& centre) {
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  Loop points;
  const Float rx = 20.0 + 200.0 * unit(random), ry = 20.0 + 200.0 * unit(random);
  for (int i = 0; i < count; ++i) {
    const Float angle = 2.0 * M_PI * unit(random);
    points.push_back({std::round(centre.x + rx * std::cos(angle)), std::round(centre.y + ry * std::sin(angle))});
  }
  return ClockwiseHull(points);
}

using Triangle = std::array<Vector2d, 3>;

// The triangles from the first vertex to every other edge, each counter-clockwise with the sign of
// its turn: their signed areas add up to the loop's at every point, whatever its shape or direction.
std::vector<std::pair<Triangle, Float>> Fan(const Loop& loop) {
  std::vector<std::pair<Triangle, Float>> fan;
  for (size_t i = 1; i + 1 < loop.size(); ++i) {
    const Float turn = Cross(loop[i] - loop[0], loop[i + 1] - loop[0]);
    if (turn > 0.0) fan.push_back({{loop[0], loop[i], loop[i + 1]}, 1.0});
    if (turn < 0.0) fan.push_back({{loop[0], loop[i + 1], loop[i]}, -1.0});
  }
  return fan;
}

// Area shared by two counter-clockwise triangles: one clipped by the half-planes of the other.
Float SharedArea(const Triangle& subject, const Triangle& clip) {
  std::array<Vector2d, 9> polygon, clipped;
  size_t count = 3;
  std::copy(subject.begin(), subject.end(), polygon.begin());
  for (int e = 0; e < 3 && count > 0; ++e) {
    const Vector2d a = clip[e], direction = clip[(e + 1) % 3] - a;
    size_t kept = 0;
    for (size_t i = 0; i < count; ++i) {
      const Vector2d current = polygon[i], next = polygon[(i + 1) % count];
      const Float sideCurrent = Cross(direction, current - a), sideNext = Cross(direction, next - a);
      if (sideCurrent >= 0.0) clipped[kept++] = current;
      if ((sideCurrent >= 0.0) != (sideNext >= 0.0))
        clipped[kept++] = current + (next - current) * (sideCurrent / (sideCurrent - sideNext));
    }
    polygon = clipped;
    count = kept;
  }
  return count < 3 ? 0.0 : SignedArea({polygon.data(), static_cast<Int>(count)});
}

// The least distance from a vertex of one loop to an edge of the other.
Float Gap(const Loop& a, const Loop& b) {
  Float gap = INFINITY;
  for (const auto& [vertices, edges] : {std::pair{&a, &b}, std::pair{&b, &a}})
    for (const Vector2d& v : *vertices)
      for (size_t i = 0; i < edges->size(); ++i)
        gap = std::min(gap, DistanceToSegment(v, (*edges)[i], (*edges)[(i + 1) % edges->size()]));
  return gap;
}

// The lower-left and upper-right corners of the box around the points.
std::pair<Vector2d, Vector2d> Bounds(const Loop& points) {
  Vector2d low{1e300, 1e300}, high{-1e300, -1e300};
  for (const Vector2d& p : points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
  }
  return {low, high};
}

// How two placed loops lie: the area they share and the gap between them.
struct Placement {
  Float overlap = 0.0, gap = 0.0;
};

Placement Place(const Loop& a, const Loop& b) {
  Float overlap = 0.0;
  const std::vector<std::pair<Triangle, Float>> fanB = Fan(b);
  for (const auto& [ta, signA] : Fan(a))
    for (const auto& [tb, signB] : fanB) overlap += signA * signB * SharedArea(ta, tb);
  return {std::fabs(overlap), Gap(a, b)};
}

Float Diagonal(const Loop& a, const Loop& b) {
  Loop both = a;
  both.insert(both.end(), b.begin(), b.end());
  const auto [low, high] = Bounds(both);
  return std::hypot(high.x - low.x, high.y - low.y);
}

// Tolerance of touching: 1e-9 of the pieces' extent; overlap up to a sliver that thin along it.
struct Touch {
  Touch(const Loop& a, const Loop& b) : distance(1e-9 * Diagonal(a, b)), area(distance * Diagonal(a, b)) {}
  Float distance, area;
};

// Every vertex of the no-fit polygon places B against A: touching, not overlapping.
int FirstVertexNotTouching(const Loop& a, const Loop& b, const Loop& noFit) {
  const Touch tolerance(a, b);
  for (size_t i = 0; i < noFit.size(); ++i) {
    const Placement placed = Place(a, Moved(b, noFit[i]));
    if (placed.overlap > tolerance.area || placed.gap > tolerance.distance) return static_cast<int>(i);
  }
  return -1;
}

// Edge midpoints of the clockwise no-fit polygon moved a little to its inside place B into A.
int FirstEdgeWithoutOverlapInside(const Loop& a, const Loop& b, const Loop& noFit) {
  const Touch tolerance(a, b);
  const Float step = 1e-4 * Diagonal(a, b);
  for (size_t i = 0; i < noFit.size(); ++i) {
    const Vector2d p = noFit[i], q = noFit[(i + 1) % noFit.size()], d = q - p;
    const Vector2d inward = Vector2d{d.y, -d.x} * (step / std::hypot(d.x, d.y));
    if (Place(a, Moved(b, (p + q) * 0.5 + inward)).overlap <= tolerance.area) return static_cast<int>(i);
  }
  return -1;
}

// Every vertex of the inner-fit polygon places B inside the container, touching its boundary: all of
// B's area is shared with the container.
int FirstVertexNotInside(const Loop& container, const Loop& part, const Loop& innerFit) {
  const Touch tolerance(container, part);
  const Float partArea = std::fabs(SignedArea(View(part)));
  for (size_t i = 0; i < innerFit.size(); ++i) {
    const Placement placement = Place(container, Moved(part, innerFit[i]));
    if (partArea - placement.overlap > tolerance.area || placement.gap > tolerance.distance) return static_cast<int>(i);
  }
  return -1;
}

// ---- Convex no-fit polygon ----

// Clockwise from the vertex after the lowest-leftmost one: the order is part of the answer.
TEST(ConvexNoFitTest, GivesTheLoopInItsOrder) {
  const Loop triangle = {{0, 0}, {0, 1}, {1, 0}};
  const struct {
    const char* name;
    Loop a, b;
    Bool relativeBToA;
    Loop expected;
  } cases[] = {
      {"TrianglesRelative", triangle, triangle, true, {{-1, 0}, {-1, 1}, {0, 1}, {1, 0}, {1, -1}, {0, -1}}},
      // Parallel sides merge; bottom runs of both loops make the start the left end of the bottom side.
      {"Rectangles",
       {{0, 0}, {0, 2}, {3, 2}, {3, 0}},
       {{1, 1}, {1, 2}, {5, 2}, {5, 1}},
       true,
       {{-5, -2}, {-5, 1}, {2, 1}, {2, -2}}},
      // B's top run starts at its left end but the chain must start at its right end.
      {"HorizontalRunsOfFiveVertices",
       {{0, 0}, {0, 2}, {2, 2}, {2, 0}, {1, 0}},
       {{0, 0}, {0, 1}, {1, 1}, {2, 1}, {2, 0}},
       true,
       {{-2, -1}, {-2, 2}, {2, 2}, {2, -1}}},
  };
  for (const auto& c : cases) {
    const Loop result = Solved(G::CalculateNoFitPolygonForConvex(View(c.a), View(c.b), c.relativeBToA));
    EXPECT_EQ(Print(result), Print(c.expected)) << c.name;
  }
}

// The sliding variant, given convex pairs, must find the same loop as the convex one; the transforms
// place A and B before either starts.
TEST(ConvexNoFitTest, RandomPairsEqualTheMinkowskiDifferenceThroughAnyTransformAndBySliding) {
  // A quarter turn of A (x axis to +y, y axis to -x) and a half turn of B keep both clockwise and convex.
  const Matrix2d quarterTurn{{5, 7}, {0, 1}, {-1, 0}}, halfTurn{{3, 5}, {-1, 0}, {0, -1}};
  std::mt19937_64 random(7);
  std::uniform_int_distribution<int> count(3, 14);
  for (int round = 0; round < 80; ++round) {
    const Loop a = RandomConvex(random, count(random), {0, 0});
    const Loop b = RandomConvex(random, count(random), {round * 10.0, -500});
    for (const Bool relative : {true, false}) {
      const Loop expected = relative ? MinkowskiDifference(a, b) : MinkowskiDifference(b, a);
      const Loop plain = Solved(G::CalculateNoFitPolygonForConvex(View(a), View(b), relative));
      ASSERT_TRUE(SameLoop(plain, expected, 1e-8)) << round << "\n" << Print(plain) << "\n" << Print(expected);
      const Loop sliding = Solved(G::CalculateNoFitPolygonUsingSliding(View(a), View(b), relative));
      ASSERT_TRUE(SameLoop(sliding, plain, 1e-7)) << round << "\n" << Print(sliding) << "\n" << Print(plain);
    }
    const Loop turned = Solved(G::CalculateNoFitPolygonForConvex(View(a), View(b), quarterTurn, halfTurn, true));
    const Loop expected = MinkowskiDifference(Transformed(a, quarterTurn), Transformed(b, halfTurn));
    ASSERT_TRUE(SameLoop(turned, expected, 1e-8)) << round;
    ASSERT_TRUE(SameLoop(Solved(G::CalculateNoFitPolygonUsingSliding(View(a), View(b), quarterTurn, halfTurn, true)),
                         turned, 1e-7))
        << round;
  }
}

// ---- Errors, for every function ----

// Loops of fewer than three points are refused by every function without a message (the inner fit
// takes A reversed as its container; the overloads with transforms check their loops the same way);
// a loop on one horizontal line leaves the convex chain without a start vertex.
TEST(NoFitTest, ErrorsCarryTheirClassAndMessage) {
  const auto expectError = [](const Result<BaseArray<Vector2d>>& result, const Id& errorClass, const char* message) {
    ASSERT_FALSE(result);
    EXPECT_TRUE(result.GetError().Is(errorClass));
    EXPECT_EQ(result.GetError().Message(), message);
  };
  const Loop square = {{0, 0}, {0, 1}, {1, 1}, {1, 0}}, segment = {{0, 0}, {1, 1}}, flat = {{0, 2}, {3, 2}, {1, 2}};
  for (const auto& [a, b] : {std::pair{segment, square}, std::pair{square, segment}}) {
    expectError(G::CalculateNoFitPolygonForConvex(View(a), View(b), true), IllegalArgumentError, "");
    expectError(G::CalculateNoFitPolygonUsingSliding(View(a), View(b), true), IllegalArgumentError, "");
    expectError(G::CalculateInnerFitPolygonUsingSliding(View(Reversed(a)), View(b)), IllegalArgumentError, "");
  }
  for (const auto& [a, b] : {std::pair{flat, square}, std::pair{square, flat}})
    expectError(G::CalculateNoFitPolygonForConvex(View(a), View(b), true), IllegalStateError,
                "Invalid starting indices");
}

// ---- Sliding no-fit polygon ----

const Loop lShape = Reversed({{0, 0}, {6, 0}, {6, 2}, {2, 2}, {2, 5}, {0, 5}});

// Every vertex touches and every edge has overlap just inside; A's origin around B is the point
// reflection, and the answer does not change from call to call.
TEST(SlidingNoFitTest, VerticesTouchAndTheInsideOverlaps) {
  const Loop comb = Reversed(FromCoordinates(
      {0, 0, 9, 0, 9, 4, 8, 4, 8, 1, 6, 1, 6, 4, 5, 4, 5, 1, 3, 1, 3, 4, 2, 4, 2, 1, 1, 1, 1, 4, 0, 4}));
  const Loop tooth = Reversed({{0, 0}, {1.5, 0}, {1.5, 2.5}, {0, 2.5}}),
             arrow = Reversed({{0, 0}, {4, 2}, {0, 4}, {1.5, 2}});
  std::mt19937_64 random(3);
  const struct {
    const char* name;
    Loop a, b;  // clockwise
  } cases[] = {
      {"LAroundL", lShape, lShape},
      {"ToothIntoComb", comb, tooth},
      {"CombAroundComb", comb, comb},
      {"ArrowAroundComb", comb, arrow},
      {"LFarFromOrigin", Moved(lShape, {1e4, -2e4}), Moved(lShape, {-3e3, 500})},
      {"StarAroundComb", comb, RandomStar(random, 12, {0, 0}, 2.0, 0.6)},
      // B gets held at two contacts at once, where each contact's own slide is blocked by the other.
      {"HeldInANotch", {{13, 3}, {7, 17}, {16, 18}, {14, 7}, {20, 3}}, {{3, 14}, {7, 8}, {4, 1}}},
      {"HeldAtTwoEdges",
       {{9, 12}, {1, 10}, {7, 15}, {20, 19}, {18, 5}, {7, 8}, {3, 4}, {1, 9}},
       {{7, 16}, {10, 17}, {20, 15}, {5, 2}, {8, 15}}},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    const Loop noFit = Solved(G::CalculateNoFitPolygonUsingSliding(View(c.a), View(c.b), true));
    ASSERT_GE(noFit.size(), 3u);
    EXPECT_EQ(FirstVertexNotTouching(c.a, c.b, noFit), -1) << Print(noFit);
    EXPECT_EQ(FirstEdgeWithoutOverlapInside(c.a, c.b, noFit), -1) << Print(noFit);
    const Loop reflected = Solved(G::CalculateNoFitPolygonUsingSliding(View(c.a), View(c.b), false));
    EXPECT_TRUE(SameLoop(reflected, Transformed(noFit, {{}, {-1, 0}, {0, -1}}), 1e-9)) << Print(reflected);
    EXPECT_EQ(Print(Solved(G::CalculateNoFitPolygonUsingSliding(View(c.a), View(c.b), true))), Print(noFit));
  }
}

// An orbit that can neither move nor close gives the box of the touching positions,
// [min A - max B, max A - min B]: for a collapsed A exactly the positions where B covers that point.
// The sum of the two boxes ([3, 4] x [3, 4] and [0, 1] x [0, 1] below) contains none of them.
TEST(SlidingNoFitTest, AnOrbitThatCannotCloseGivesTheBoxOfTouchingPositions) {
  const Loop square = {{3, 3}, {3, 4}, {4, 4}, {4, 3}};
  const Loop point = {{0, 0}, {0, 0}, {0, 0}}, counterClockwise = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const struct {
    Loop a;
    Bool relativeBToA;
    Loop expected;
  } cases[] = {
      {point, true, {{-4, -4}, {-4, -3}, {-3, -3}, {-3, -4}}},
      {point, false, {{3, 3}, {3, 4}, {4, 4}, {4, 3}}},
      {counterClockwise, true, {{-4, -4}, {-4, -2}, {-2, -2}, {-2, -4}}},
      {counterClockwise, false, {{2, 2}, {2, 4}, {4, 4}, {4, 2}}},
  };
  for (const auto& c : cases) {
    const Loop box = Solved(G::CalculateNoFitPolygonUsingSliding(View(c.a), View(square), c.relativeBToA));
    EXPECT_EQ(Print(box), Print(c.expected));
  }
}

// ---- Inner-fit polygon ----

// The inner-fit polygon of a part in the sheet [0, size]: the rectangle of the positions that keep its
// box in the sheet, or nothing when its box is wider or higher.
Loop RectangleOfPositions(const Vector2d& size, const Loop& part) {
  const auto [low, high] = Bounds(part);
  if (high.x - low.x > size.x || high.y - low.y > size.y) return {};
  const Vector2d from = Vector2d{0, 0} - low, to = size - high;
  return {from, {from.x, to.y}, to, {to.x, from.y}};
}

Loop Sheet(const Vector2d& size) { return {{0, 0}, {size.x, 0}, size, {0, size.y}}; }

// Empty exactly when the rectangle oracle is, otherwise equal to it and every vertex inside, touching.
::testing::AssertionResult InnerFitInSheetIsRight(const Vector2d& size, const Loop& part) {
  const Loop sheet = Sheet(size);
  const Loop innerFit = Solved(G::CalculateInnerFitPolygonUsingSliding(View(sheet), View(part)));
  const Loop expected = RectangleOfPositions(size, part);
  if (expected.empty() != innerFit.empty() || (!expected.empty() && !SameLoop(innerFit, expected, 1e-9)))
    return ::testing::AssertionFailure() << Print(innerFit) << " instead of " << Print(expected);
  if (const int vertex = FirstVertexNotInside(sheet, part, innerFit); vertex >= 0)
    return ::testing::AssertionFailure() << "vertex " << vertex << " of " << Print(innerFit);
  return ::testing::AssertionSuccess();
}

TEST(InnerFitTest, PartsInARectangleGiveTheRectangleOfTheirPositions) {
  std::mt19937_64 random(5);
  for (int round = 0; round < 30; ++round) {
    const Loop part = round % 3 == 0 ? Moved(lShape, {round * 1.0, 3}) : RandomConvex(random, 8, {round * 2.0, -1});
    EXPECT_TRUE(InnerFitInSheetIsRight({400, 250}, part)) << round;
  }
  // The orbit closes at its start contact with B in the sheet's lower-right corner; dropping that
  // last position as a repeat of the first (B against the right side) lost the corner.
  EXPECT_TRUE(InnerFitInSheetIsRight({119, 60}, Reversed({{0, 0}, {9, 0}, {7, 5}, {2, 5}})));
  // Parts wider or higher than the sheet have no position.
  EXPECT_TRUE(InnerFitInSheetIsRight({10, 5}, Reversed({{0, 0}, {11, 0}, {11, 1}, {0, 1}})));
  EXPECT_TRUE(InnerFitInSheetIsRight({10, 5}, Reversed({{0, 0}, {1, 0}, {1, 6}, {0, 6}})));
}

TEST(InnerFitTest, PartsInANonConvexContainerStayInside) {
  const Loop square = Reversed({{0, 0}, {0.8, 0}, {0.8, 0.8}, {0, 0.8}});
  const Loop innerFit = Solved(G::CalculateInnerFitPolygonUsingSliding(View(Reversed(lShape)), View(square)));
  ASSERT_GE(innerFit.size(), 2u);
  EXPECT_EQ(FirstVertexNotInside(Reversed(lShape), square, innerFit), -1) << Print(innerFit);
  // Within the box of the L, but wider than both of its arms: no trial position holds it.
  const Loop wide = Reversed({{0, 0}, {5, 0}, {5, 4}, {0, 4}});
  EXPECT_EQ(Print(Solved(G::CalculateInnerFitPolygonUsingSliding(View(Reversed(lShape)), View(wide)))), "");
}

// ---- Real pieces ----

// Quarter turns exactly, other angles through sine and cosine.
Vector2d Rotated(const Vector2d& p, Float degrees) {
  if (degrees == 90.0) return {-p.y, p.x};
  if (degrees == 180.0) return {-p.x, -p.y};
  if (degrees == 270.0) return {p.y, -p.x};
  const Float c = std::cos(degrees * M_PI / 180.0), s = std::sin(degrees * M_PI / 180.0);
  return {c * p.x - s * p.y, s * p.x + c * p.y};
}

// Every piece of the instance in every allowed orientation, clockwise.
class RealPiecesTest : public testing::TestWithParam<const char*> {
 protected:
  void SetUp() override {
    const std::filesystem::path file = std::filesystem::path(ZEMOX_NESTING_DATA) / GetParam();
    if (!std::filesystem::exists(file)) GTEST_SKIP() << file << " is missing";
    instance_ = ReadNestingInstance(file);
    for (size_t i = 0; i < instance_.pieces.size(); ++i)
      for (const Float degrees : instance_.orientations[i]) {
        Loop turned;
        for (const Vector2d& p : instance_.pieces[i]) turned.push_back(Rotated(p, degrees));
        shapes_.push_back(Reversed(turned));
      }
    ASSERT_FALSE(shapes_.empty());
  }

  NestingInstance instance_;
  std::vector<Loop> shapes_;
};

TEST_P(RealPiecesTest, EveryOrderedPairTouchesAtEveryNoFitVertex) {
  for (size_t i = 0; i < shapes_.size(); ++i)
    for (size_t j = 0; j < shapes_.size(); ++j) {
      const Loop noFit = Solved(G::CalculateNoFitPolygonUsingSliding(View(shapes_[i]), View(shapes_[j]), true));
      EXPECT_EQ(noFit.size() < 3 ? -2 : FirstVertexNotTouching(shapes_[i], shapes_[j], noFit), -1)
          << i << ", " << j << ": " << Print(noFit);
    }
}

TEST_P(RealPiecesTest, EveryPieceFitsItsSheet) {
  Float sumOfWidths = 0.0;
  for (const Loop& piece : instance_.pieces) sumOfWidths += Bounds(piece).second.x - Bounds(piece).first.x;
  for (const Loop& shape : shapes_) EXPECT_TRUE(InnerFitInSheetIsRight({sumOfWidths, instance_.stripHeight}, shape));
}

INSTANTIATE_TEST_SUITE_P(Instances, RealPiecesTest,
                         testing::Values("albano.json", "dagli.json", "mao.json", "marques.json"));

}  // namespace
}  // namespace zemox
