// Adaptive predicates against the peer kernel's filtered predicates, on identical pre-generated
// inputs cycled through: independent random points, and nearly degenerate ones (rounded points on a
// line, circle, plane or sphere) that defeat the floating-point filters.

#include <benchmark/benchmark.h>

#include <array>
#include <random>
#include <vector>

#include "predicates.h"

#if ZEMOX_BENCH_PEERS
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

namespace zemox {
namespace {

constexpr std::size_t kTupleCount = 4096;  // a power of two: the cycling index wraps with a mask

enum class Predicate { ORIENT2D, INCIRCLE, ORIENT3D, INSPHERE };
enum class Kind { RANDOM, NEAR_DEGENERATE };

// Up to five points per tuple; the planar predicates read x and y.
using Tuple = std::array<Vector, 5>;

class TupleGenerator {
 public:
  explicit TupleGenerator(Predicate predicate) : predicate_(predicate) {}

  Tuple Next(Kind kind) {
    Tuple t;
    for (Vector& v : t) v = Point();
    if (kind == Kind::RANDOM) return t;
    switch (predicate_) {
      case Predicate::ORIENT2D:
        t[2] = t[0] + (t[1] - t[0]) * Uniform(-1.0, 2.0);
        break;
      case Predicate::ORIENT3D:
        t[3] = t[0] + (t[1] - t[0]) * Uniform(-1.0, 2.0) + (t[2] - t[0]) * Uniform(-1.0, 2.0);
        break;
      case Predicate::INCIRCLE:
      case Predicate::INSPHERE: {
        const Vector center = Point() * 0.5;
        const Float radius = Uniform(0.1, 1.0);
        for (Vector& v : t) v = center + Direction() * radius;
        break;
      }
    }
    return t;
  }

 private:
  bool Planar() const { return predicate_ == Predicate::ORIENT2D || predicate_ == Predicate::INCIRCLE; }
  Float Uniform(Float lo, Float hi) { return std::uniform_real_distribution<Float>(lo, hi)(random_); }
  Vector Point() { return {Uniform(-1, 1), Uniform(-1, 1), Planar() ? 0.0 : Uniform(-1, 1)}; }
  Vector Direction() {
    std::normal_distribution<Float> normal;
    const Vector v{normal(random_), normal(random_), Planar() ? 0.0 : normal(random_)};
    return v * (1.0 / Length(v));
  }

  Predicate predicate_;
  std::mt19937_64 random_{20240611};
};

std::vector<Tuple> MakeTuples(Predicate predicate, Kind kind) {
  TupleGenerator generator(predicate);
  std::vector<Tuple> tuples(kTupleCount);
  for (Tuple& t : tuples) t = generator.Next(kind);
  return tuples;
}

// Generated once per (predicate, kind), shared by both sides of a pair.
const std::vector<Tuple>& Tuples(Predicate predicate, Kind kind) {
  static const std::vector<Tuple> sets[4][2] = {
      {MakeTuples(Predicate::ORIENT2D, Kind::RANDOM), MakeTuples(Predicate::ORIENT2D, Kind::NEAR_DEGENERATE)},
      {MakeTuples(Predicate::INCIRCLE, Kind::RANDOM), MakeTuples(Predicate::INCIRCLE, Kind::NEAR_DEGENERATE)},
      {MakeTuples(Predicate::ORIENT3D, Kind::RANDOM), MakeTuples(Predicate::ORIENT3D, Kind::NEAR_DEGENERATE)},
      {MakeTuples(Predicate::INSPHERE, Kind::RANDOM), MakeTuples(Predicate::INSPHERE, Kind::NEAR_DEGENERATE)}};
  return sets[static_cast<int>(predicate)][static_cast<int>(kind)];
}

// Calls evaluate(i) with i cycling over the tuples; the result is kept alive so the call stays.
template <typename Evaluate>
void Cycle(benchmark::State& state, Evaluate evaluate) {
  std::size_t i = 0;
  for (auto _ : state) {
    benchmark::DoNotOptimize(evaluate(i));
    i = (i + 1) & (kTupleCount - 1);
  }
}

// ---- zemox ----------------------------------------------------------------------------------------

// As the module prepares its own context: zero magnitudes, so insphere's static filter is zero and
// accepts every non-zero rounded determinant.
PredicateContext Context(int noFilter) {
  PredicateContext context;
  exactinit(context, 0, noFilter, 0.0, 0.0, 0.0);
  return context;
}

std::vector<std::array<Vector2d, 4>> PlanarTuples(Predicate predicate, Kind kind) {
  std::vector<std::array<Vector2d, 4>> planar;
  for (const Tuple& t : Tuples(predicate, kind)) {
    planar.push_back({Vector2d{t[0].x, t[0].y}, {t[1].x, t[1].y}, {t[2].x, t[2].y}, {t[3].x, t[3].y}});
  }
  return planar;
}

void Orient2dZemox(benchmark::State& state, Kind kind) {
  const PredicateContext context = Context(0);
  const auto t = PlanarTuples(Predicate::ORIENT2D, kind);
  Cycle(state, [&](std::size_t i) { return orient2d(context, t[i][0], t[i][1], t[i][2]); });
}

void InCircleZemox(benchmark::State& state, Kind kind) {
  const PredicateContext context = Context(0);
  const auto t = PlanarTuples(Predicate::INCIRCLE, kind);
  Cycle(state, [&](std::size_t i) { return incircle(context, t[i][0], t[i][1], t[i][2], t[i][3]); });
}

void Orient3dZemox(benchmark::State& state, Kind kind) {
  const PredicateContext context = Context(0);
  const auto& t = Tuples(Predicate::ORIENT3D, kind);
  Cycle(state, [&](std::size_t i) { return orient3d(context, t[i][0], t[i][1], t[i][2], t[i][3]); });
}

void InSphereZemox(benchmark::State& state, Kind kind, int noFilter) {
  const PredicateContext context = Context(noFilter);
  const auto& t = Tuples(Predicate::INSPHERE, kind);
  Cycle(state, [&](std::size_t i) { return insphere(context, t[i][0], t[i][1], t[i][2], t[i][3], t[i][4]); });
}

void BM_Orient2d_Random_zemox(benchmark::State& state) { Orient2dZemox(state, Kind::RANDOM); }
void BM_Orient2d_NearDegenerate_zemox(benchmark::State& state) { Orient2dZemox(state, Kind::NEAR_DEGENERATE); }
void BM_InCircle_Random_zemox(benchmark::State& state) { InCircleZemox(state, Kind::RANDOM); }
void BM_InCircle_NearDegenerate_zemox(benchmark::State& state) { InCircleZemox(state, Kind::NEAR_DEGENERATE); }
void BM_Orient3d_Random_zemox(benchmark::State& state) { Orient3dZemox(state, Kind::RANDOM); }
void BM_Orient3d_NearDegenerate_zemox(benchmark::State& state) { Orient3dZemox(state, Kind::NEAR_DEGENERATE); }
void BM_InSphere_Random_zemox(benchmark::State& state) { InSphereZemox(state, Kind::RANDOM, 0); }
void BM_InSphere_NearDegenerate_zemox(benchmark::State& state) { InSphereZemox(state, Kind::NEAR_DEGENERATE, 0); }
// The same with the static filter off: every sign is then exact, as the peer's.
void BM_InSphere_Random_nofilter_zemox(benchmark::State& state) { InSphereZemox(state, Kind::RANDOM, 1); }
void BM_InSphere_NearDegenerate_nofilter_zemox(benchmark::State& state) {
  InSphereZemox(state, Kind::NEAR_DEGENERATE, 1);
}

BENCHMARK(BM_Orient2d_Random_zemox);
BENCHMARK(BM_InCircle_Random_zemox);
BENCHMARK(BM_Orient3d_Random_zemox);
BENCHMARK(BM_InSphere_Random_zemox);
BENCHMARK(BM_InSphere_Random_nofilter_zemox);
BENCHMARK(BM_Orient2d_NearDegenerate_zemox);
BENCHMARK(BM_InCircle_NearDegenerate_zemox);
BENCHMARK(BM_Orient3d_NearDegenerate_zemox);
BENCHMARK(BM_InSphere_NearDegenerate_zemox);
BENCHMARK(BM_InSphere_NearDegenerate_nofilter_zemox);

// ---- cgal -----------------------------------------------------------------------------------------

#if ZEMOX_BENCH_PEERS
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;

std::vector<std::array<Kernel::Point_2, 4>> CgalPlanarTuples(Predicate predicate, Kind kind) {
  std::vector<std::array<Kernel::Point_2, 4>> points;
  for (const Tuple& t : Tuples(predicate, kind)) {
    points.push_back({Kernel::Point_2(t[0].x, t[0].y), Kernel::Point_2(t[1].x, t[1].y), Kernel::Point_2(t[2].x, t[2].y),
                      Kernel::Point_2(t[3].x, t[3].y)});
  }
  return points;
}

std::vector<std::array<Kernel::Point_3, 5>> CgalTuples(Predicate predicate, Kind kind) {
  std::vector<std::array<Kernel::Point_3, 5>> points;
  for (const Tuple& t : Tuples(predicate, kind)) {
    std::array<Kernel::Point_3, 5> p;
    for (int i = 0; i < 5; ++i) p[i] = Kernel::Point_3(t[i].x, t[i].y, t[i].z);
    points.push_back(p);
  }
  return points;
}

void Orient2dCgal(benchmark::State& state, Kind kind) {
  const auto t = CgalPlanarTuples(Predicate::ORIENT2D, kind);
  Cycle(state, [&](std::size_t i) { return CGAL::orientation(t[i][0], t[i][1], t[i][2]); });
}

void InCircleCgal(benchmark::State& state, Kind kind) {
  const auto t = CgalPlanarTuples(Predicate::INCIRCLE, kind);
  Cycle(state, [&](std::size_t i) { return CGAL::side_of_oriented_circle(t[i][0], t[i][1], t[i][2], t[i][3]); });
}

void Orient3dCgal(benchmark::State& state, Kind kind) {
  const auto t = CgalTuples(Predicate::ORIENT3D, kind);
  Cycle(state, [&](std::size_t i) { return CGAL::orientation(t[i][0], t[i][1], t[i][2], t[i][3]); });
}

void InSphereCgal(benchmark::State& state, Kind kind) {
  const auto t = CgalTuples(Predicate::INSPHERE, kind);
  Cycle(state,
        [&](std::size_t i) { return CGAL::side_of_oriented_sphere(t[i][0], t[i][1], t[i][2], t[i][3], t[i][4]); });
}

void BM_Orient2d_Random_cgal(benchmark::State& state) { Orient2dCgal(state, Kind::RANDOM); }
void BM_Orient2d_NearDegenerate_cgal(benchmark::State& state) { Orient2dCgal(state, Kind::NEAR_DEGENERATE); }
void BM_InCircle_Random_cgal(benchmark::State& state) { InCircleCgal(state, Kind::RANDOM); }
void BM_InCircle_NearDegenerate_cgal(benchmark::State& state) { InCircleCgal(state, Kind::NEAR_DEGENERATE); }
void BM_Orient3d_Random_cgal(benchmark::State& state) { Orient3dCgal(state, Kind::RANDOM); }
void BM_Orient3d_NearDegenerate_cgal(benchmark::State& state) { Orient3dCgal(state, Kind::NEAR_DEGENERATE); }
void BM_InSphere_Random_cgal(benchmark::State& state) { InSphereCgal(state, Kind::RANDOM); }
void BM_InSphere_NearDegenerate_cgal(benchmark::State& state) { InSphereCgal(state, Kind::NEAR_DEGENERATE); }

BENCHMARK(BM_Orient2d_Random_cgal);
BENCHMARK(BM_InCircle_Random_cgal);
BENCHMARK(BM_Orient3d_Random_cgal);
BENCHMARK(BM_InSphere_Random_cgal);
BENCHMARK(BM_Orient2d_NearDegenerate_cgal);
BENCHMARK(BM_InCircle_NearDegenerate_cgal);
BENCHMARK(BM_Orient3d_NearDegenerate_cgal);
BENCHMARK(BM_InSphere_NearDegenerate_cgal);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
