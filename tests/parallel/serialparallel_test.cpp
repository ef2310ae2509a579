#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/digest.h"
#include "common/loops2d.h"
#include "geom/exactpredicates2d.h"
#include "geom/voronoi3d.h"
#include "outlinesintersectiontest2d.h"
#include "private_geom/sortoutlines2d.h"
#include "zemox/jobs.h"
#include "zemox/parallel.h"

namespace zemox {
namespace {

// A simple outline at scene scale; the crossing variant moves one vertex through the centre to the far
// side.
std::vector<Vector2d> StarOutline(Int count, Bool crossing, UInt seed) {
  std::mt19937_64 random(seed);
  std::vector<Vector2d> outline = RandomStar(random, static_cast<int>(count), {0, 0}, 100, 0.5);
  if (crossing) outline[count / 2] = outline[count / 2] * -1.5;
  return outline;
}

std::vector<Vector2d> Circle(Vector2d center, Float radius, Int count) {
  std::vector<Vector2d> circle;
  for (Int i = 0; i < count; ++i) {
    const Float angle = 2 * M_PI * static_cast<Float>(i) / static_cast<Float>(count);
    circle.push_back({center.x + radius * std::cos(angle), center.y + radius * std::sin(angle)});
  }
  return circle;
}

// The sort splits into one bucket per worker once it has 10000 vertices per bucket.
constexpr Int largeOutline = 30000;

Result<Digest> SortedVertexOrder() {
  const std::vector<Vector2d> points = StarOutline(largeOutline, false, 1);
  std::vector<SortedVertex> order;
  for (const Vector2d& point : points) order.push_back({point, static_cast<Int>(order.size())});
  ZEMOX_TRY(LexicographicalVertexSort<10000>{}.Sort({order.data(), static_cast<Int>(order.size())}));
  return Digest().Add(Block<const SortedVertex>{order.data(), static_cast<Int>(order.size())});
}

Result<Digest> OutlineTestAnswers() {
  Digest digest;
  for (const Bool crossing : {false, true}) {
    const std::vector<Vector2d> outline = StarOutline(largeOutline, crossing, 2);
    const Bool answer = ZEMOX_TRY(
        ExactPredicates2DInterface::OutlineSelfIntersectionTest({outline.data(), static_cast<Int>(outline.size())}));
    digest.Add(answer);
  }
  return digest;
}

// Two large concentric circles (one pair of 24000 vertices, whose test sorts in parallel inside the
// parallel classification) around small squares, each a candidate pair with both circles.
Result<Digest> ExactOutlineNesting() {
  std::vector<std::vector<Vector2d>> loops = {Circle({0, 0}, 100, 12000), Circle({0, 0}, 60, 12000)};
  for (Int i = 0; i < 8; ++i) {
    const Float x = -40 + 10 * static_cast<Float>(i);
    loops.push_back({{x, -2}, {x + 5, -2}, {x + 5, 3}, {x, 3}});
  }
  std::vector<Vector2d> points;
  std::vector<Int> counts;
  for (const std::vector<Vector2d>& loop : loops) {
    points.insert(points.end(), loop.begin(), loop.end());
    counts.push_back(static_cast<Int>(loop.size()));
  }
  SortOutlines2DRef sorter = ZEMOX_TRY(CreateSortOutlines2D(SortOutlines2DExactClass));
  ZEMOX_TRY(sorter->Init({points.data(), static_cast<Int>(points.size())},
                         {counts.data(), static_cast<Int>(counts.size())}, 3));
  BaseArray<BaseArray<Int>> nesting;
  ZEMOX_TRY(sorter->GetResult(nesting));
  return Digest().Add(nesting.ToBlock());
}

// Enough points for a few thousand tetrahedra (circumcentres in chunks of 256) and hundreds of
// cells (built in chunks of 64, joined and scaled in chunks of 16).
constexpr Int voronoiPoints = 400;

Result<Voronoi3DRef> ComputedVoronoi(std::function<Result<void>(Voronoi3DRef&)> beforeCells) {
  std::mt19937_64 random(3);
  std::uniform_real_distribution<Float> coordinate(0, 100);
  std::vector<Vector> points;
  for (Int i = 0; i < voronoiPoints; ++i)
    points.push_back({coordinate(random), coordinate(random), coordinate(random)});
  Voronoi3DRef voronoi = ZEMOX_TRY(Voronoi3DRef::Create());
  ZEMOX_TRY(voronoi.Init({}));
  voronoi.SetForClipping(true);
  ZEMOX_TRY(voronoi.SetPoints({points.data(), voronoiPoints}));
  ZEMOX_TRY(beforeCells(voronoi));
  ZEMOX_TRY(voronoi.CalcCells());
  return voronoi;
}

// Every tenth cell fused with its first neighbour that no other group has taken, then every cell
// scaled.
Result<Digest> FusedAndScaledVoronoiCells() {
  const Voronoi3DRef plain = ZEMOX_TRY(ComputedVoronoi([](Voronoi3DRef&) { return OK(); }));
  std::vector<std::vector<Int>> groups;
  std::set<Int> taken;
  const Block<const CellData> cells = plain.GetCellDataStructure();
  for (Int c = 0; c < cells.GetCount(); c += 10) {
    for (const Int32 neighbor : cells[c].GetFaceNeighbors()) {
      if (neighbor < 4 || taken.count(c) != 0 || taken.count(neighbor - 4) != 0) continue;
      groups.push_back({c, neighbor - 4});
      taken.insert({c, neighbor - 4});
    }
  }
  Voronoi3DRef voronoi = ZEMOX_TRY(ComputedVoronoi([&](Voronoi3DRef& voronoi) -> Result<void> {
    for (const std::vector<Int>& group : groups) ZEMOX_TRY(voronoi.SetCellFuseGroup({group.data(), 2}));
    return OK();
  }));
  ZEMOX_TRY(voronoi.ScaleAllCells(-0.5));
  return Digest().Add(voronoi.GetVoronoiPointPositions(), voronoi.GetBorderCellFlags(), voronoi.GetCellHasVolume(),
                      voronoi.GetCellDataStructure());
}

struct LoopCase {
  const char* name;
  Result<Digest> (*run)();
};

class SerialParallelTest : public testing::TestWithParam<LoopCase> {};

TEST_P(SerialParallelTest, SerialSwitchGivesBitIdenticalResults) {
  const Result<Digest> parallel = GetParam().run();
  const Bool previous = EnableParallelExecution(false);
  const Result<Digest> serial = GetParam().run();
  EnableParallelExecution(previous);
  ASSERT_TRUE(parallel) << parallel.GetError().Message();
  ASSERT_TRUE(serial) << serial.GetError().Message();
  EXPECT_TRUE(parallel.Value() == serial.Value()) << "the serial result differs from the parallel one";
}

// Inside a job the module may choose serial paths (no nested parallel work); the result is the same.
TEST_P(SerialParallelTest, JobGivesBitIdenticalResults) {
  const Result<Digest> direct = GetParam().run();
  std::optional<Result<Digest>> inJob;
  JobGroup group;
  ASSERT_TRUE(group.Add([&] { inJob.emplace(GetParam().run()); }));
  ASSERT_TRUE(group.Start());
  group.Wait();
  ASSERT_TRUE(direct) << direct.GetError().Message();
  ASSERT_TRUE(inJob.has_value() && *inJob) << "the job failed or did not run";
  EXPECT_TRUE(direct.Value() == inJob->Value()) << "the result computed in a job differs";
}

INSTANTIATE_TEST_SUITE_P(Loops, SerialParallelTest,
                         testing::Values(LoopCase{"VertexSort", SortedVertexOrder},
                                         LoopCase{"OutlineSelfIntersection", OutlineTestAnswers},
                                         LoopCase{"ExactOutlineNesting", ExactOutlineNesting},
                                         LoopCase{"FusedAndScaledVoronoiCells", FusedAndScaledVoronoiCells}),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zemox
