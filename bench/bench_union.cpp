// Union of two smooth star loops that cross each other a few times, at growing vertex counts,
// against Clipper and Boost.Geometry. The stars are unit-sized shapes drawn at 1000 times that size:
// the union's tolerances (1e-3 snapping, 3.2e-4 crossing clusters) assume scene units, and at unit
// size 1e4 vertices would lie 5e-4 apart, inside those tolerances. Clipper gets the unit shape's
// coordinates times 1e6 as integers, the same resolution relative to the shape.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "geometryutils_impl.h"

#if ZEMOX_BENCH_CLIPPER
#include <polyclipping/clipper.hpp>
#endif
#if ZEMOX_BENCH_BOOST
#include <boost/geometry.hpp>
#endif

namespace zemox {
namespace {

// Clockwise star: the angle of vertex i is 2 pi i / n with a jitter of up to 0.3 of the step, so
// that no two consecutive vertices share a grid key; radius 0.75 + 0.2 sin(5 angle).
std::vector<Vector2d> SmoothStar(Int count, Vector2d offset, std::mt19937_64& random) {
  std::uniform_real_distribution<Float> jitter(-0.3, 0.3);
  const Float step = 2.0 * M_PI / static_cast<Float>(count);
  std::vector<Vector2d> loop(static_cast<size_t>(count));
  for (Int i = 0; i < count; ++i) {
    const Float angle = step * (static_cast<Float>(i) + jitter(random));
    const Float radius = 0.75 + 0.2 * std::sin(5.0 * angle);
    loop[static_cast<size_t>(count - 1 - i)] = {offset.x + radius * std::cos(angle),
                                                offset.y + radius * std::sin(angle)};
  }
  return loop;
}

constexpr Float sceneScale = 1000.0;

struct StarPair {
  std::vector<Vector2d> a, b;  // in scene units
};

StarPair MakeStars(Int count) {
  std::mt19937_64 random(7);
  StarPair stars;
  stars.a = SmoothStar(count, {0.0, 0.0}, random);
  stars.b = SmoothStar(count, {0.3, 0.2}, random);
  for (std::vector<Vector2d>* loop : {&stars.a, &stars.b})
    for (Vector2d& p : *loop) p = p * sceneScale;
  return stars;
}

Block<const Vector2d> View(const std::vector<Vector2d>& loop) { return {loop.data(), static_cast<Int>(loop.size())}; }

void BM_Union_zemox(benchmark::State& state) {
  const StarPair stars = MakeStars(state.range(0));
  Int outputPoints = 0;
  for (auto _ : state) {
    Result<BaseArray<BaseArray<Vector2d>>> loops =
        GeometryUtilsImpl::CalculateUnionOfPolygons(View(stars.a), View(stars.b), true, true);
    if (!loops) {
      state.SkipWithError("union failed");
      return;
    }
    outputPoints = 0;
    for (const BaseArray<Vector2d>& loop : loops.Value()) outputPoints += loop.GetCount();
  }
  state.counters["points"] = static_cast<Float>(outputPoints);
}
BENCHMARK(BM_Union_zemox)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);

#if ZEMOX_BENCH_CLIPPER
ClipperLib::Path ToClipper(const std::vector<Vector2d>& loop) {
  constexpr Float integerScale = 1e6 / sceneScale;
  ClipperLib::Path path;
  path.reserve(loop.size());
  for (const Vector2d& p : loop)
    path.emplace_back(static_cast<ClipperLib::cInt>(std::llround(p.x * integerScale)),
                      static_cast<ClipperLib::cInt>(std::llround(p.y * integerScale)));
  return path;
}

void BM_Union_clipper(benchmark::State& state) {
  const StarPair stars = MakeStars(state.range(0));
  const ClipperLib::Path a = ToClipper(stars.a), b = ToClipper(stars.b);
  Int outputPoints = 0;
  for (auto _ : state) {
    ClipperLib::Clipper clipper;
    clipper.AddPath(a, ClipperLib::ptSubject, true);
    clipper.AddPath(b, ClipperLib::ptClip, true);
    ClipperLib::Paths solution;
    clipper.Execute(ClipperLib::ctUnion, solution, ClipperLib::pftNonZero, ClipperLib::pftNonZero);
    outputPoints = 0;
    for (const ClipperLib::Path& path : solution) outputPoints += static_cast<Int>(path.size());
  }
  state.counters["points"] = static_cast<Float>(outputPoints);
}
BENCHMARK(BM_Union_clipper)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

#if ZEMOX_BENCH_BOOST
namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<Float>;
using BoostPolygon = bg::model::polygon<BoostPoint, true, true>;  // clockwise, closed

BoostPolygon ToBoost(const std::vector<Vector2d>& loop) {
  BoostPolygon polygon;
  for (const Vector2d& p : loop) bg::append(polygon.outer(), BoostPoint(p.x, p.y));
  bg::append(polygon.outer(), BoostPoint(loop.front().x, loop.front().y));
  return polygon;
}

void BM_Union_boostgeom(benchmark::State& state) {
  const StarPair stars = MakeStars(state.range(0));
  const BoostPolygon a = ToBoost(stars.a), b = ToBoost(stars.b);
  Int outputPoints = 0;
  for (auto _ : state) {
    bg::model::multi_polygon<BoostPolygon> solution;
    bg::union_(a, b, solution);
    outputPoints = static_cast<Int>(bg::num_points(solution));
  }
  state.counters["points"] = static_cast<Float>(outputPoints);
}
BENCHMARK(BM_Union_boostgeom)->Arg(1000)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
