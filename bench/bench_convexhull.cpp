// 3D convex hull of a million points, uniform in the unit cube and in the unit ball: ours (the
// service through ConvexHullRef), the bare LinearMath hull computer it wraps (the wrapper's
// overhead), and the peer.

#include <benchmark/benchmark.h>

#include <LinearMath/btConvexHullComputer.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geom/convexhull.h"

#if ZEMOX_BENCH_QHULL
extern "C" {
#include <libqhull_r/qhull_ra.h>
}
#endif

#include "unitcubepoints.h"

namespace zemox {
namespace {

using Points = std::vector<Vector>;

Points BallPoints(Int count) {
  std::mt19937_64 random(43);
  std::uniform_real_distribution<Float> coordinate(-1.0, 1.0);
  Points points;
  points.reserve(static_cast<size_t>(count));
  while (static_cast<Int>(points.size()) < count) {
    const Vector point{coordinate(random), coordinate(random), coordinate(random)};
    if (Dot(point, point) <= 1.0) points.push_back(point);
  }
  return points;
}

const Points& Cube() {
  static const Points points = UnitCubePoints(1000000);
  return points;
}

const Points& Ball() {
  static const Points points = BallPoints(1000000);
  return points;
}

// The largest distance from a hull vertex to its nearest input point, searched among the points
// within `radius` in x (the answer is `radius` when a vertex has no input point that close).
Float LargestVertexOffset(const BaseArray<Vector>& vertices, const Points& points, Float radius) {
  Points sorted = points;
  std::sort(sorted.begin(), sorted.end(), [](const Vector& a, const Vector& b) { return a.x < b.x; });
  Float largest = 0.0;
  for (const Vector& vertex : vertices) {
    Float nearest = radius;
    auto candidate = std::lower_bound(sorted.begin(), sorted.end(), vertex.x - radius,
                                      [](const Vector& p, Float x) { return p.x < x; });
    for (; candidate != sorted.end() && candidate->x <= vertex.x + radius; ++candidate) {
      const Vector offset = *candidate - vertex;
      nearest = std::min(nearest, std::sqrt(Dot(offset, offset)));
    }
    largest = std::max(largest, nearest);
  }
  return largest;
}

void RunZemox(benchmark::State& state, const Points& points) {
  Result<ConvexHullRef> created = ConvexHullRef::Create();
  if (!created) return state.SkipWithError("no convex hull implementation");
  ConvexHullRecord hull;
  for (auto _ : state) {
    const Result<Float> shrunk =
        created.Value().ComputeConvexHull({points.data(), static_cast<Int>(points.size())}, 0.0, 0.0, hull);
    if (!shrunk) return state.SkipWithError("hull failed");
    benchmark::DoNotOptimize(hull.edges.GetFirst());
  }
  state.counters["vertices"] = Float(hull.vertices.GetCount());
  state.counters["faces"] = Float(hull.faces.GetCount());
  state.counters["maxVertexOffset"] = LargestVertexOffset(hull.vertices, points, 0.01);
}

void RunBullet(benchmark::State& state, const Points& points) {
  btConvexHullComputer computer;
  for (auto _ : state) {
    benchmark::DoNotOptimize(computer.compute(&points[0].x, sizeof(Vector), static_cast<int>(points.size()), 0.0, 0.0));
    benchmark::DoNotOptimize(computer.edges.size());
  }
  state.counters["vertices"] = Float(computer.vertices.size());
  state.counters["faces"] = Float(computer.faces.size());
}

void BM_ConvexHull_Cube_zemox(benchmark::State& state) { RunZemox(state, Cube()); }
void BM_ConvexHull_Ball_zemox(benchmark::State& state) { RunZemox(state, Ball()); }
void BM_ConvexHull_Cube_bullet(benchmark::State& state) { RunBullet(state, Cube()); }
void BM_ConvexHull_Ball_bullet(benchmark::State& state) { RunBullet(state, Ball()); }

BENCHMARK(BM_ConvexHull_Cube_zemox)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConvexHull_Cube_bullet)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConvexHull_Ball_zemox)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConvexHull_Ball_bullet)->Unit(benchmark::kMillisecond)->Iterations(5);

#if ZEMOX_BENCH_QHULL
// The peer's default hull (merged facets, like ours) of a copy of the coordinates, which it may not
// keep constant.
void RunQhull(benchmark::State& state, const Points& points) {
  std::vector<coordT> coordinates;
  for (const Vector& point : points) coordinates.insert(coordinates.end(), {point.x, point.y, point.z});
  char options[] = "qhull";
  for (auto _ : state) {
    qhT context;
    qh_zero(&context, stderr);
    const int failed =
        qh_new_qhull(&context, 3, static_cast<int>(points.size()), coordinates.data(), False, options, nullptr, stderr);
    if (failed) state.SkipWithError("qhull failed");
    state.counters["vertices"] = Float(context.num_vertices);
    state.counters["faces"] = Float(context.num_facets);
    qh_freeqhull(&context, !qh_ALL);
    int shortCount = 0;
    int longCount = 0;
    qh_memfreeshort(&context, &shortCount, &longCount);
  }
}

void BM_ConvexHull_Cube_qhull(benchmark::State& state) { RunQhull(state, Cube()); }
void BM_ConvexHull_Ball_qhull(benchmark::State& state) { RunQhull(state, Ball()); }

BENCHMARK(BM_ConvexHull_Cube_qhull)->Unit(benchmark::kMillisecond)->Iterations(5);
BENCHMARK(BM_ConvexHull_Ball_qhull)->Unit(benchmark::kMillisecond)->Iterations(5);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
