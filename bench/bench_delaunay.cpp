// Incremental 3D Delaunay tetrahedralisation against the peer: uniform random points and a regular
// grid. The peer inserts one by one in the order ours inserts (newest pending point first), and
// also by range with its spatial sort.

#include <benchmark/benchmark.h>
#include <malloc.h>

#include <random>
#include <vector>

#include "geom/delaunay3d.h"

#if ZEMOX_BENCH_PEERS
#include <CGAL/Delaunay_triangulation_3.h>
#include <CGAL/Exact_predicates_inexact_constructions_kernel.h>
#endif

#include "unitcubepoints.h"

namespace zemox {
namespace {

std::vector<Vector> GridPoints(Int n) {
  std::vector<Vector> points;
  for (Int z = 0; z < n; ++z)
    for (Int y = 0; y < n; ++y)
      for (Int x = 0; x < n; ++x) points.push_back({Float(x), Float(y), Float(z)});
  return points;
}

// Heap bytes in use by the process, small blocks and mapped ones alike.
Float HeapBytesInUse() {
  const struct mallinfo2 info = mallinfo2();
  return Float(info.uordblks + info.hblkhd);
}

// Live bytes are what the result needs (its tetrahedra, points and point table); held bytes are
// what the instance keeps allocated once the calculation has returned.
void RunZemox(benchmark::State& state, const std::vector<Vector>& points) {
  Int tetrahedronCount = 0;
  Float heldBytes = 0.0;
  for (auto _ : state) {
    const Float heapBefore = HeapBytesInUse();
    Result<Delaunay3DRef> created = Delaunay3DRef::Create();
    Delaunay3DRef& tetrahedralization = created.Value();
    Result<void> run = tetrahedralization.Init(Box3D{});
    if (run) run = tetrahedralization.AddPointsIntoTetrahedralization({points.data(), Int(points.size())});
    if (run) run = tetrahedralization.CalculateDelaunayTetrahedralization();
    if (!run) state.SkipWithError("tetrahedralisation failed");
    tetrahedronCount = tetrahedralization.GetTetrahedronCount();
    heldBytes = HeapBytesInUse() - heapBefore;
    benchmark::DoNotOptimize(tetrahedralization.GetTetrahedrons().GetFirst());
  }
  const Int pointCount = Int(points.size()) + 4;
  const Float liveBytes = Float(tetrahedronCount) * sizeof(Tetrahedron) + Float(pointCount) * (sizeof(Vector) + 4);
  state.counters["tetrahedra"] = Float(tetrahedronCount);
  state.counters["liveBytesPerPoint"] = liveBytes / Float(points.size());
  state.counters["heldBytesPerPoint"] = heldBytes / Float(points.size());
}

void BM_Delaunay3D_Uniform_zemox(benchmark::State& state) { RunZemox(state, UnitCubePoints(state.range(0))); }
void BM_Delaunay3D_Grid_zemox(benchmark::State& state) { RunZemox(state, GridPoints(state.range(0))); }

BENCHMARK(BM_Delaunay3D_Uniform_zemox)->Arg(20000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_Delaunay3D_Grid_zemox)->Arg(50)->Unit(benchmark::kSecond)->Iterations(1);

#if ZEMOX_BENCH_PEERS
using Kernel = CGAL::Exact_predicates_inexact_constructions_kernel;
using Triangulation = CGAL::Delaunay_triangulation_3<Kernel>;

std::vector<Kernel::Point_3> PeerPoints(const std::vector<Vector>& points) {
  std::vector<Kernel::Point_3> converted;
  converted.reserve(points.size());
  for (const Vector& point : points) converted.emplace_back(point.x, point.y, point.z);
  return converted;
}

// One by one, newest point first, as ours inserts pending points.
void RunPeerOneByOne(benchmark::State& state, const std::vector<Vector>& points) {
  const std::vector<Kernel::Point_3> converted = PeerPoints(points);
  for (auto _ : state) {
    Triangulation triangulation;
    for (auto point = converted.rbegin(); point != converted.rend(); ++point) triangulation.insert(*point);
    state.counters["tetrahedra"] = Float(triangulation.number_of_finite_cells());
  }
}

void BM_Delaunay3D_Uniform_cgal(benchmark::State& state) { RunPeerOneByOne(state, UnitCubePoints(state.range(0))); }
void BM_Delaunay3D_Grid_cgal(benchmark::State& state) { RunPeerOneByOne(state, GridPoints(state.range(0))); }

void BM_Delaunay3D_UniformRange_cgal(benchmark::State& state) {
  const std::vector<Kernel::Point_3> converted = PeerPoints(UnitCubePoints(state.range(0)));
  for (auto _ : state) {
    Triangulation triangulation(converted.begin(), converted.end());
    state.counters["tetrahedra"] = Float(triangulation.number_of_finite_cells());
  }
}

BENCHMARK(BM_Delaunay3D_Uniform_cgal)->Arg(20000)->Arg(100000)->Arg(1000000)->Unit(benchmark::kSecond)->Iterations(1);
BENCHMARK(BM_Delaunay3D_UniformRange_cgal)
    ->Arg(20000)
    ->Arg(100000)
    ->Arg(1000000)
    ->Unit(benchmark::kSecond)
    ->Iterations(1);
BENCHMARK(BM_Delaunay3D_Grid_cgal)->Arg(50)->Unit(benchmark::kSecond)->Iterations(1);
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
