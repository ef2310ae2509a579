// Point-in-polygon tests of the geometry utilities against the peer's `within`: 1e5 random query
// points against one random star-shaped outline of 1e4 vertices in scene units. The counter
// "per_query" is the time per query point; "inside" is the number of query points found inside, which
// must agree within each pair.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "geometryutils_impl.h"

#if ZEMOX_BENCH_BOOST
#include <boost/geometry.hpp>
#endif

namespace zemox {
namespace {

constexpr Int queryCount = 100000;
constexpr Float radius = 100.0;

// Sorted random angles with radii uniform in [radius / 2, radius]: star-shaped around the origin,
// hence simple, and counter-clockwise.
std::vector<Vector2d> StarPolygon(Int count) {
  std::mt19937_64 engine(static_cast<unsigned long>(count));
  std::uniform_real_distribution<Float> unit(0.0, 1.0);
  std::vector<Float> angles(static_cast<size_t>(count));
  for (Float& angle : angles) angle = 2.0 * M_PI * unit(engine);
  std::sort(angles.begin(), angles.end());
  std::vector<Vector2d> outline;
  outline.reserve(angles.size());
  for (const Float angle : angles) {
    const Float distance = radius * (0.5 + 0.5 * unit(engine));
    outline.push_back({distance * std::cos(angle), distance * std::sin(angle)});
  }
  return outline;
}

// Uniform in the outline's bounding square, so about half of them lie inside.
std::vector<Vector2d> QueryPoints() {
  std::mt19937_64 engine(42);
  std::uniform_real_distribution<Float> coordinate(-radius, radius);
  std::vector<Vector2d> points(static_cast<size_t>(queryCount));
  for (Vector2d& point : points) point = {coordinate(engine), coordinate(engine)};
  return points;
}

void ReportPerQuery(benchmark::State& state, Int inside) {
  state.counters["per_query"] = benchmark::Counter(
      Float(queryCount), benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
  state.counters["inside"] = Float(inside);
}

template <typename Test>
void RunZemox(benchmark::State& state, Test test) {
  const std::vector<Vector2d> outline = StarPolygon(state.range(0));
  const Block<const Vector2d> view{outline.data(), static_cast<Int>(outline.size())};
  const std::vector<Vector2d> queries = QueryPoints();
  Int inside = 0;
  for (auto _ : state) {
    inside = 0;
    for (const Vector2d& point : queries) inside += test(point, view) ? 1 : 0;
    benchmark::DoNotOptimize(inside);
  }
  ReportPerQuery(state, inside);
}

void BM_WindingNumber_zemox(benchmark::State& state) {
  RunZemox(state, [](const Vector2d& point, Block<const Vector2d> outline) {
    return GeometryUtilsImpl::GetPointInPolygonWindingNumber2D(point, outline) != 0;
  });
}

void BM_WindingNumberExact_zemox(benchmark::State& state) {
  RunZemox(state, [](const Vector2d& point, Block<const Vector2d> outline) {
    return GeometryUtilsImpl::GetPointInPolygonWindingNumber2DExact(point, outline) != 0;
  });
}

void BM_PointInOutlineRobust_zemox(benchmark::State& state) {
  RunZemox(state, [](const Vector2d& point, Block<const Vector2d> outline) {
    return GeometryUtilsImpl::PointInOutlineRobust2D(point, outline);
  });
}

BENCHMARK(BM_WindingNumber_zemox)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindingNumberExact_zemox)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointInOutlineRobust_zemox)->Arg(10000)->Unit(benchmark::kMillisecond);

#if ZEMOX_BENCH_BOOST
namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<Float>;
// Counter-clockwise and closed, as the star polygon is once its first point is repeated.
using BoostPolygon = bg::model::polygon<BoostPoint, false, true>;

// The peer has one point-in-polygon test; each of our variants is paired with it on the same input.
void RunBoost(benchmark::State& state) {
  BoostPolygon polygon;
  for (const Vector2d& point : StarPolygon(state.range(0))) bg::append(polygon.outer(), BoostPoint(point.x, point.y));
  bg::append(polygon.outer(), polygon.outer().front());
  std::vector<BoostPoint> queries;
  for (const Vector2d& point : QueryPoints()) queries.emplace_back(point.x, point.y);
  Int inside = 0;
  for (auto _ : state) {
    inside = 0;
    for (const BoostPoint& point : queries) inside += bg::within(point, polygon) ? 1 : 0;
    benchmark::DoNotOptimize(inside);
  }
  ReportPerQuery(state, inside);
}

void BM_WindingNumber_boostgeom(benchmark::State& state) { RunBoost(state); }
void BM_WindingNumberExact_boostgeom(benchmark::State& state) { RunBoost(state); }
void BM_PointInOutlineRobust_boostgeom(benchmark::State& state) { RunBoost(state); }

BENCHMARK(BM_WindingNumber_boostgeom)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_WindingNumberExact_boostgeom)->Arg(10000)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_PointInOutlineRobust_boostgeom)->Arg(10000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
