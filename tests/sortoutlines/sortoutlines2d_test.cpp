#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "private_geom/sortoutlines2d.h"

namespace zemox {
namespace {

using Loop = std::vector<Vector2d>;
using Nesting = std::vector<std::vector<Int>>;

Loop Square(Float x, Float y, Float size) { return {{x, y}, {x + size, y}, {x + size, y + size}, {x, y + size}}; }

// A square turned by 45 degrees around (x, y), with integer corners for integer input.
Loop Diamond(Float x, Float y, Float radius) {
  return {{x, y - radius}, {x + radius, y}, {x, y + radius}, {x - radius, y}};
}

// An L whose box is [0, 10]^2: the square [6, 9]^2 lies in the box but outside the L.
Loop LShape() { return {{0, 0}, {10, 0}, {10, 4}, {4, 4}, {4, 10}, {0, 10}}; }

struct Input {
  std::vector<Vector2d> points;
  std::vector<Int> counts;
};

Input Flatten(const std::vector<Loop>& loops) {
  Input input;
  for (const Loop& loop : loops) {
    input.points.insert(input.points.end(), loop.begin(), loop.end());
    input.counts.push_back(static_cast<Int>(loop.size()));
  }
  return input;
}

Result<Nesting> Sort(const Id& classId, const Input& input, UInt32 minPointsCount = 3) {
  ZEMOX_ASSIGN_OR_RETURN(SortOutlines2DRef sorter, CreateSortOutlines2D(classId));
  ZEMOX_RETURN_IF_FAILED(sorter->Init({input.points.data(), static_cast<Int>(input.points.size())},
                                      {input.counts.data(), static_cast<Int>(input.counts.size())}, minPointsCount));
  BaseArray<BaseArray<Int>> result;
  ZEMOX_RETURN_IF_FAILED(sorter->GetResult(result));
  Nesting nesting;
  for (const BaseArray<Int>& polygon : result) nesting.emplace_back(polygon.begin(), polygon.end());
  return nesting;
}

struct NestingCase {
  const char* name;
  std::vector<Loop> loops;
  Nesting exact;
  Nesting fast;
};

class SortOutlines2DNestingTest : public testing::TestWithParam<NestingCase> {};

TEST_P(SortOutlines2DNestingTest, BothClassesGiveTheirNesting) {
  const Input input = Flatten(GetParam().loops);
  const Result<Nesting> exact = Sort(SortOutlines2DExactClass, input);
  const Result<Nesting> fast = Sort(SortOutlines2DFastClass, input);
  ASSERT_TRUE(exact) << exact.GetError().Message();
  ASSERT_TRUE(fast) << fast.GetError().Message();
  EXPECT_EQ(exact.Value(), GetParam().exact);
  EXPECT_EQ(fast.Value(), GetParam().fast);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SortOutlines2DNestingTest,
    testing::Values(NestingCase{"SquareBesideAnL", {LShape(), Square(6, 6, 3)}, {{0}, {1}}, {{0, 1}}},
                    NestingCase{"Overlapping", {Square(0, 0, 2), Square(1, 1, 2)}, {{0}, {1}}, {{0}, {1}}},
                    NestingCase{"SharedSide", {Square(0, 0, 1), Square(1, 0, 1)}, {{0}, {1}}, {{0}, {1}}},
                    NestingCase{"SharedCorner", {Square(0, 0, 1), Square(1, 1, 1)}, {{0}, {1}}, {{0}, {1}}},
                    // Touching the big square's left side from inside: the boxes share minX, so neither nests.
                    NestingCase{"TouchingFromInside", {Square(0, 0, 4), Square(0, 1, 1)}, {{0}, {1}}, {{0}, {1}}},
                    // Two crossing squares inside a third: the first of the pair is cut loose with its subtree.
                    NestingCase{"CrossingPairInsideSquare",
                                {Square(0, 0, 10), Square(1, 1, 3), Square(2, 2, 3)},
                                {{0, 2}, {1}},
                                {{0, 2}, {1}}}),
    [](const testing::TestParamInfo<NestingCase>& info) { return std::string(info.param.name); });

// A polyline below the minimum point count is dropped but keeps its number; after Reset there is no
// result. The class ids, the supported input and the memory size are checked where the module loads.
TEST(SortOutlines2DTest, ShortPolylinesAreDroppedButKeepTheirNumber) {
  const Input input = Flatten({Square(0, 0, 5), {{7, 7}, {8, 8}}, Square(1, 1, 1)});
  for (const Id& classId : {SortOutlines2DExactClass, SortOutlines2DFastClass}) {
    SortOutlines2DRef sorter = std::move(CreateSortOutlines2D(classId).Value());
    ASSERT_TRUE(sorter->Init({input.points.data(), 10}, {input.counts.data(), 3}, 3));
    EXPECT_EQ(
        sorter->ToString(nullptr).Value().View(),
        "Number of valid polylines: 2\nPolyline 0. Nested polylines indices: 2.\nPolyline 2. No nested polylines.");
    sorter->Reset();
    BaseArray<BaseArray<Int>> result;
    const Result<void> afterReset = sorter->GetResult(result);
    EXPECT_TRUE(!afterReset && afterReset.GetError().Is(IllegalStateError));
  }
}

// No points, no polylines, a minimum of no points, a minimum above every polyline.
TEST(SortOutlines2DTest, InvalidInputIsRefused) {
  const Input square = Flatten({Square(0, 0, 1)});
  const std::pair<Input, UInt32> calls[] = {{{{}, {4}}, 3}, {{square.points, {}}, 3}, {square, 0}, {square, 5}};
  for (const auto& [input, minPointsCount] : calls) {
    const Result<Nesting> result = Sort(SortOutlines2DExactClass, input, minPointsCount);
    EXPECT_TRUE(!result && result.GetError().Is(IllegalArgumentError) && result.GetError().Message().empty());
  }
}

// Rings of integer corners in a grid of cells, each cell a stack of concentric squares and diamonds
// of random depth (each ring strictly inside the one before, its box too), with a few squares
// straddling two cells (they cross the outer rings they meet) unless `straddling` is false, in random
// input order.
std::vector<Loop> RandomForest(UInt seed, Int cells, Bool straddling = true) {
  std::mt19937_64 random(seed);
  std::vector<Loop> loops;
  for (Int cell = 0; cell < cells; ++cell) {
    const Float x = 40.0 * static_cast<Float>(cell % 8), y = 40.0 * static_cast<Float>(cell / 8);
    const Int depth = 1 + static_cast<Int>(random() % 4);
    constexpr Float radii[] = {16, 15, 7, 6};
    for (Int level = 0; level < depth; ++level) {
      const Float radius = radii[level];
      loops.push_back(level % 2 == 0 ? Square(x + 20 - radius, y + 20 - radius, 2 * radius)
                                     : Diamond(x + 20, y + 20, radius));
    }
    if (random() % 5 == 0 && straddling) loops.push_back(Square(x + 30, y + 15, 20));
  }
  std::shuffle(loops.begin(), loops.end(), random);
  return loops;
}

// Exact for integer coordinates: twice the signed distance test of a point against each edge.
Bool StrictlyInside(const Vector2d& point, const Loop& loop) {
  Int crossings = 0;
  for (size_t i = 0; i < loop.size(); ++i) {
    const Vector2d& a = loop[i];
    const Vector2d& b = loop[(i + 1) % loop.size()];
    if ((a.y > point.y) == (b.y > point.y)) continue;
    const Float side = (b.x - a.x) * (point.y - a.y) - (point.x - a.x) * (b.y - a.y);
    if ((side > 0) == (b.y > a.y)) ++crossings;
  }
  return crossings % 2 == 1;
}

// Brute force: one loop contains another when every vertex of the other is strictly inside it and no
// vertex of it is inside the other (then the boundaries cannot meet for these shapes).
Bool Contains(const Loop& outer, const Loop& inner) {
  for (const Vector2d& point : inner)
    if (!StrictlyInside(point, outer)) return false;
  for (const Vector2d& point : outer)
    if (StrictlyInside(point, inner)) return false;
  return true;
}

// The nesting that follows from pairwise containment: a loop's depth is the number of loops that
// contain it, its parent the innermost of them; outer loops at even depth, each with its holes.
Nesting Oracle(const std::vector<Loop>& loops) {
  const Int n = static_cast<Int>(loops.size());
  std::vector<Int> depth(n, 0), parent(n, -1);
  for (Int i = 0; i < n; ++i) {
    for (Int j = 0; j < n; ++j) {
      if (i == j || !Contains(loops[j], loops[i])) continue;
      ++depth[i];
      if (parent[i] < 0 || Contains(loops[parent[i]], loops[j])) parent[i] = j;
    }
  }
  Nesting nesting;
  for (Int i = 0; i < n; ++i) {
    if (depth[i] % 2 != 0) continue;
    std::vector<Int> polygon{i};
    for (Int j = 0; j < n; ++j)
      if (parent[j] == i) polygon.push_back(j);
    nesting.push_back(polygon);
  }
  return nesting;
}

// Both classes agree with the brute force where every ring's box nests as the ring does; the exact
// class also where straddling squares cross rings.
TEST(SortOutlines2DTest, RandomForestsMatchBruteForce) {
  for (const UInt seed : {UInt{1}, UInt{2}, UInt{3}}) {
    for (const Id& classId : {SortOutlines2DExactClass, SortOutlines2DFastClass}) {
      const std::vector<Loop> loops = RandomForest(seed, 24, classId == SortOutlines2DExactClass);
      const Result<Nesting> nesting = Sort(classId, Flatten(loops));
      ASSERT_TRUE(nesting);
      EXPECT_EQ(nesting.Value(), Oracle(loops)) << "seed " << seed << " " << classId.Text();
    }
  }
}

}  // namespace
}  // namespace zemox
