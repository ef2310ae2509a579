// Exact simplicity test of one closed outline: our sweep against the peer's, on a random star-shaped
// simple polygon and on the same polygon with one vertex moved across so that it crosses itself.
// All crossings of one outline: our jittered sweep against the peer's sweep on the same segments, on a
// star-shaped polygon with some vertices exchanged (about n/10 crossings).

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "exactpredicates2d_impl.h"
#include "outlinesintersections2d.h"

#if ZEMOX_BENCH_PEERS
#include <CGAL/Exact_predicates_exact_constructions_kernel.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#include <CGAL/Polygon_2_algorithms.h>
#include <CGAL/Sweep_line_2_algorithms.h>
#endif

namespace zemox {
namespace {

// Sorted random angles with radii uniform in [0.5, 1]: star-shaped around the origin, hence simple.
// With `crossing`, the middle vertex moves to the opposite side at radius 1.5; its edges pass through
// the inner disc to a point outside, so they cross the far side.
std::vector<Vector2d> StarPolygon(Int count, bool crossing) {
  std::mt19937_64 engine(static_cast<unsigned long>(count));
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::vector<Float> angles(static_cast<size_t>(count));
  for (Float& angle : angles) angle = 2.0 * M_PI * unit(engine);
  std::sort(angles.begin(), angles.end());
  std::vector<Vector2d> outline;
  outline.reserve(angles.size());
  for (const Float angle : angles) {
    const Float radius = 0.5 + 0.5 * unit(engine);
    outline.push_back({radius * std::cos(angle), radius * std::sin(angle)});
  }
  if (crossing) {
    Vector2d& moved = outline[outline.size() / 2];
    moved = moved * (-1.5 / std::hypot(moved.x, moved.y));
  }
  return outline;
}

// The star polygon at scene scale (radius 1000) with every twelfth vertex exchanged with the vertex two
// places on: the chords around an exchanged pair usually cross, about n/10 crossings in all.
std::vector<Vector2d> CrossingStar(Int count) {
  std::vector<Vector2d> outline = StarPolygon(count, false);
  for (Vector2d& point : outline) point = point * 1000.0;
  for (size_t i = 1; i + 2 < outline.size(); i += 12) std::swap(outline[i], outline[i + 2]);
  return outline;
}

void BM_Crossings_zemox(benchmark::State& state) {
  const std::vector<Vector2d> outline = CrossingStar(state.range(0));
  const Block<const Vector2d> outlines[] = {{outline.data(), static_cast<Int>(outline.size())}};
  BaseArray<Vector2d> points;
  BaseArray<IndexPair> segments;
  for (auto _ : state) {
    OutlinesIntersections2D sweep;
    if (!sweep.Init({outlines, 1}) || !sweep.GetIntersections(points, segments, nullptr))
      state.SkipWithError("sweep failed");
    benchmark::DoNotOptimize(points.GetFirst());
  }
  state.counters["crossings"] = static_cast<double>(points.GetCount());
}

BENCHMARK(BM_Crossings_zemox)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

void IsSimpleZemox(benchmark::State& state, bool crossing) {
  const std::vector<Vector2d> outline = StarPolygon(state.range(0), crossing);
  for (auto _ : state) {
    const Result<Bool> answer =
        ExactPredicates2DImpl::OutlineSelfIntersectionTest({outline.data(), static_cast<Int>(outline.size())});
    if (!answer || answer.Value() != crossing) state.SkipWithError("wrong answer");
    benchmark::DoNotOptimize(answer.IsOk());
  }
}

void BM_IsSimple_zemox(benchmark::State& state) { IsSimpleZemox(state, false); }
void BM_IsSimpleCrossing_zemox(benchmark::State& state) { IsSimpleZemox(state, true); }

BENCHMARK(BM_IsSimple_zemox)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsSimpleCrossing_zemox)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

#if ZEMOX_BENCH_PEERS
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

void IsSimpleCgal(benchmark::State& state, bool crossing) {
  std::vector<Kernel::Point_2> outline;
  for (const Vector2d& point : StarPolygon(state.range(0), crossing)) outline.emplace_back(point.x, point.y);
  for (auto _ : state) {
    const bool simple = CGAL::is_simple_2(outline.begin(), outline.end(), Kernel());
    if (simple == crossing) state.SkipWithError("wrong answer");
    benchmark::DoNotOptimize(simple);
  }
}

void BM_IsSimple_cgal(benchmark::State& state) { IsSimpleCgal(state, false); }
void BM_IsSimpleCrossing_cgal(benchmark::State& state) { IsSimpleCgal(state, true); }

BENCHMARK(BM_IsSimple_cgal)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_IsSimpleCrossing_cgal)->Arg(100000)->Arg(1000000)->Unit(benchmark::kMillisecond);

// The peer's sweep needs exact constructions to compute crossing points.
void BM_Crossings_cgal(benchmark::State& state) {
  using ExactKernel = CGAL::Exact_predicates_exact_constructions_kernel;
  const std::vector<Vector2d> outline = CrossingStar(state.range(0));
  std::vector<ExactKernel::Segment_2> segments;
  for (size_t i = 0; i < outline.size(); ++i) {
    const Vector2d& a = outline[i];
    const Vector2d& b = outline[(i + 1) % outline.size()];
    segments.emplace_back(ExactKernel::Point_2(a.x, a.y), ExactKernel::Point_2(b.x, b.y));
  }
  std::vector<ExactKernel::Point_2> points;
  for (auto _ : state) {
    points.clear();
    CGAL::compute_intersection_points(segments.begin(), segments.end(), std::back_inserter(points), false);
    benchmark::DoNotOptimize(points.data());
  }
  state.counters["crossings"] = static_cast<double>(points.size());
}

BENCHMARK(BM_Crossings_cgal)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
