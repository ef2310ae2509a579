// Voronoi3D driven by a sequence of calls decoded from the input, on two instances so that copies
// between them are exercised.
#include "fuzzinput.h"
#include "geom/voronoi3d.h"

namespace zemox::fuzz {
namespace {

constexpr Int kMaxOperations = 24;

Result<void> DecodeIndices(FuzzInput& input, BaseArray<Int>& indices) {
  for (Int count = input.Count(4); count > 0; --count) ZEMOX_RETURN_IF_FAILED(indices.Append(input.Count(12) - 2));
  return OK();
}

Result<void> DecodePairs(FuzzInput& input, BaseArray<CellIndexPair>& pairs) {
  for (Int count = input.Count(3); count > 0; --count) {
    ZEMOX_RETURN_IF_FAILED(pairs.Append({input.Count(12) - 2, input.Count(12) - 2}));
  }
  return OK();
}

void Step(FuzzInput& input, Voronoi3DRef& voronoi, const Voronoi3DRef& other) {
  BaseArray<Vector> points;
  BaseArray<Int> indices;
  BaseArray<CellIndexPair> pairs;
  switch (input.Byte() % 12) {
    case 0:
      (void)voronoi.Init(input.Flag() ? Box3D{} : Box3D{input.Point3(), input.Point3()});
      return;
    case 1:
      if (input.Points(points, 6)) (void)voronoi.SetPoints(points);
      return;
    case 2:
      (void)voronoi.AddPoint(input.Point3());
      return;
    case 3:
      if (input.Points(points, 6)) (void)voronoi.AddPoints(points);
      return;
    case 4:
      (void)voronoi.CalcCells();
      return;
    case 5:
      (void)voronoi.CalcTetrahedralization();
      return;
    case 6:
      voronoi.SetForClipping(input.Flag());
      return;
    case 7:
      (void)voronoi.ScaleCell(input.Count(12) - 2, -input.Coordinate());
      return;
    case 8:
      (void)voronoi.CopyFrom(other);
      return;
    case 9:
      voronoi.Flush();
      return;
    case 10:
      if (input.Flag()) {
        if (DecodeIndices(input, indices)) (void)voronoi.SetCellFuseGroup(indices);
      } else if (DecodePairs(input, pairs)) {
        (void)voronoi.FuseCells(pairs);
      }
      return;
    default:
      (void)voronoi.CreateInvertedVoronoiCell();
      return;
  }
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  RunInstancePair<Voronoi3DRef>(input, kMaxOperations, "voronoi: instances are created", Step);
  return 0;
}
