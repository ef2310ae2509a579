// Voronoi cells of uniform random points in the unit cube: ours (CalcCells through the service,
// tetrahedralisation included) and the peer computing every cell with its neighbours in a box
// container. Our run reports the seconds of each stage.

#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "geom/voronoi3d.h"
#include "voronoi3d/voronoi3d_impl.h"

#if ZEMOX_BENCH_VORO
#include <voro++/voro++.hh>
#endif

#include "unitcubepoints.h"

namespace zemox {
namespace {

using Points = std::vector<Vector>;

const Points& Cube(Int count) {
  static Points points;
  if (static_cast<Int>(points.size()) != count) points = UnitCubePoints(count);
  return points;
}

void BM_Voronoi3D_Uniform_zemox(benchmark::State& state) {
  const Points& points = Cube(state.range(0));
  Voronoi3DRef voronoi = Voronoi3DRef::Create().Value();
  Voronoi3DTimings total;
  for (auto _ : state) {
    if (!voronoi.Init({}) || !voronoi.SetPoints({points.data(), static_cast<Int>(points.size())}) ||
        !voronoi.CalcCells()) {
      state.SkipWithError("CalcCells failed");
      return;
    }
    const Voronoi3DTimings& timings = ImplementationOf<Voronoi3DImpl>(voronoi).GetTimings();
    total.tetrahedralization += timings.tetrahedralization;
    total.circumcentres += timings.circumcentres;
    total.vertexMerge += timings.vertexMerge;
    total.cellBuild += timings.cellBuild;
    benchmark::DoNotOptimize(voronoi.GetCellDataStructure().GetFirst());
  }
  const Float runs = static_cast<Float>(state.iterations());
  state.counters["tetrahedralization_s"] = total.tetrahedralization / runs;
  state.counters["circumcentres_s"] = total.circumcentres / runs;
  state.counters["vertex_merge_s"] = total.vertexMerge / runs;
  state.counters["cell_build_s"] = total.cellBuild / runs;
  const Float tetrahedra = static_cast<Float>(voronoi.GetVoronoiPointPositions().GetCount());
  state.counters["tetrahedra"] = tetrahedra;
  state.counters["fallback_share"] =
      static_cast<Float>(ImplementationOf<Voronoi3DImpl>(voronoi).GetTimings().circumcentreFallbacks) / tetrahedra;
}
BENCHMARK(BM_Voronoi3D_Uniform_zemox)->Arg(100000)->Arg(1000000)->Unit(benchmark::kSecond)->UseRealTime();

#if ZEMOX_BENCH_VORO
void BM_Voronoi3D_Uniform_voro(benchmark::State& state) {
  const Points& points = Cube(state.range(0));
  // About five points per block, as the peer's documentation suggests for its grid.
  const int blocks = std::max(1, static_cast<int>(std::cbrt(static_cast<double>(points.size()) / 5.0)));
  for (auto _ : state) {
    voro::container container(0, 1, 0, 1, 0, 1, blocks, blocks, blocks, false, false, false, 8);
    for (size_t i = 0; i < points.size(); ++i)
      container.put(static_cast<int>(i), points[i].x, points[i].y, points[i].z);
    voro::c_loop_all loop(container);
    voro::voronoicell_neighbor cell;
    std::vector<int> neighbors;
    double volume = 0;
    if (loop.start()) {
      do {
        if (!container.compute_cell(cell, loop)) continue;
        cell.neighbors(neighbors);
        volume += cell.volume();
      } while (loop.inc());
    }
    benchmark::DoNotOptimize(volume);
  }
}
BENCHMARK(BM_Voronoi3D_Uniform_voro)->Arg(100000)->Arg(1000000)->Unit(benchmark::kSecond)->UseRealTime();
#endif

}  // namespace
}  // namespace zemox

BENCHMARK_MAIN();
