// Nesting of many loops: a grid of cells, each a square holding a smaller square and a ring around
// it, 16 to 64 vertices per loop. Ten times the loops should cost little more than ten times the time.

#include <benchmark/benchmark.h>

#include <cmath>
#include <vector>

#include "private_geom/sortoutlines2d.h"

namespace zemox {
namespace {

struct Loops {
  std::vector<Vector2d> points;
  std::vector<Int> counts;
};

// The ring between the two squares: a regular polygon of `count` vertices.
void AppendCircle(Loops& loops, Float centerX, Float centerY, Float radius, Int count) {
  for (Int i = 0; i < count; ++i) {
    const Float angle = 2.0 * M_PI * static_cast<Float>(i) / static_cast<Float>(count);
    loops.points.push_back({centerX + radius * std::cos(angle), centerY + radius * std::sin(angle)});
  }
  loops.counts.push_back(count);
}

// A square with `perSide` vertices along each side.
void AppendSquare(Loops& loops, Float centerX, Float centerY, Float halfSide, Int perSide) {
  const Vector2d corners[] = {{-1, -1}, {1, -1}, {1, 1}, {-1, 1}};
  for (Int side = 0; side < 4; ++side) {
    const Vector2d from = corners[side], to = corners[(side + 1) % 4];
    for (Int k = 0; k < perSide; ++k) {
      const Float t = static_cast<Float>(k) / static_cast<Float>(perSide);
      loops.points.push_back(
          {centerX + halfSide * (from.x + t * (to.x - from.x)), centerY + halfSide * (from.y + t * (to.y - from.y))});
    }
  }
  loops.counts.push_back(4 * perSide);
}

Loops Grid(Int loopCount) {
  Loops loops;
  const Int cells = loopCount / 3;
  const Int columns = static_cast<Int>(std::sqrt(static_cast<Float>(cells))) + 1;
  for (Int cell = 0; cell < cells; ++cell) {
    const Float x = 10.0 * static_cast<Float>(cell % columns), y = 10.0 * static_cast<Float>(cell / columns);
    AppendSquare(loops, x, y, 4.5, 4 + cell % 13);
    AppendCircle(loops, x, y, 3.5, 16 + cell % 49);
    AppendSquare(loops, x, y, 1.5, 4 + cell % 7);
  }
  return loops;
}

void SortGrid(benchmark::State& state, const Id& classId) {
  const Loops loops = Grid(state.range(0));
  for (auto _ : state) {
    SortOutlines2DRef sorter = std::move(CreateSortOutlines2D(classId).Value());
    const Result<void> sorted = sorter->Init({loops.points.data(), static_cast<Int>(loops.points.size())},
                                             {loops.counts.data(), static_cast<Int>(loops.counts.size())}, 3);
    if (!sorted) state.SkipWithError("sorting failed");
    BaseArray<BaseArray<Int>> result;
    if (!sorter->GetResult(result) || result.GetCount() != 2 * (state.range(0) / 3))
      state.SkipWithError("unexpected nesting");
  }
  state.counters["loops"] = static_cast<Float>(loops.counts.size());
}

void BM_SortOutlines2D_Exact(benchmark::State& state) { SortGrid(state, SortOutlines2DExactClass); }
void BM_SortOutlines2D_Fast(benchmark::State& state) { SortGrid(state, SortOutlines2DFastClass); }

BENCHMARK(BM_SortOutlines2D_Exact)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_SortOutlines2D_Fast)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
