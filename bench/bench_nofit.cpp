// No-fit polygons: the convex edge merge of two convex loops of 1e4 vertices each, and the orbiting
// no-fit polygon of two non-convex star-shaped loops of 50 and 200 vertices, in scene units. The
// counter "vertices" is the size of the result.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometryutils_impl.h"

namespace zemox {
namespace {

using Loop = std::vector<Vector2d>;

Block<const Vector2d> View(const Loop& loop) { return {loop.data(), static_cast<Int>(loop.size())}; }

// Clockwise loop around `centre` at sorted random angles (descending), radius from `radius` scaled by
// [minimumScale, 1]: convex for minimumScale 1 (an ellipse with axes radius and radius / 2),
// star-shaped otherwise.
Loop ClockwiseLoop(Int count, const Vector2d& centre, Float radius, Float minimumScale, unsigned seed) {
  std::mt19937_64 engine(seed);
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::vector<Float> angles(static_cast<size_t>(count));
  for (Float& angle : angles) angle = 2.0 * M_PI * unit(engine);
  std::sort(angles.begin(), angles.end(), std::greater<>());
  Loop loop;
  for (const Float angle : angles) {
    const Float scale = minimumScale + (1.0 - minimumScale) * unit(engine);
    loop.push_back({centre.x + scale * radius * std::cos(angle), centre.y + scale * radius * 0.5 * std::sin(angle)});
  }
  return loop;
}

void Report(benchmark::State& state, const Result<BaseArray<Vector2d>>& result) {
  if (!result) state.SkipWithError("no-fit polygon failed");
  state.counters["vertices"] = result ? Float(result.Value().GetCount()) : 0.0;
}

void BM_ConvexNoFit_zemox(benchmark::State& state) {
  const Loop a = ClockwiseLoop(state.range(0), {0, 0}, 1000.0, 1.0, 1);
  const Loop b = ClockwiseLoop(state.range(0), {300, -200}, 700.0, 1.0, 2);
  for (auto _ : state) {
    Result<BaseArray<Vector2d>> result = GeometryUtilsImpl::CalculateNoFitPolygonForConvex(View(a), View(b), true);
    benchmark::DoNotOptimize(result);
    Report(state, result);
  }
}
BENCHMARK(BM_ConvexNoFit_zemox)->Arg(10000)->Unit(benchmark::kMillisecond);

void BM_SlidingNoFit_zemox(benchmark::State& state) {
  const Loop a = ClockwiseLoop(state.range(0), {0, 0}, 100.0, 0.8, 3);
  const Loop b = ClockwiseLoop(state.range(1), {20, 10}, 60.0, 0.8, 4);
  for (auto _ : state) {
    Result<BaseArray<Vector2d>> result = GeometryUtilsImpl::CalculateNoFitPolygonUsingSliding(View(a), View(b), true);
    benchmark::DoNotOptimize(result);
    Report(state, result);
  }
}
BENCHMARK(BM_SlidingNoFit_zemox)->Args({50, 200})->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
