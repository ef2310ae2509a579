// Delaunay3D driven by a sequence of calls decoded from the input, on two instances so that copies
// between them are exercised. Every tetrahedron reported after a calculation must name stored points.
#include "fuzzinput.h"
#include "geom/delaunay3d.h"

namespace zemox::fuzz {
namespace {

constexpr Int kMaxOperations = 32;

Box3D DecodeBox(FuzzInput& input) {
  if (input.Flag()) return {};
  return {input.Point3(), input.Point3()};
}

void CheckTetrahedra(const Delaunay3DRef& tetrizer) {
  Int arrayCount = 0;
  Int pointCount = 0;
  for (const Tetrahedron& tetrahedron : tetrizer.GetTetrahedrons(arrayCount, pointCount)) {
    for (Int32 vertex : tetrahedron.v) Require(vertex >= 0 && vertex < pointCount, "delaunay: vertices name points");
  }
}

void Step(FuzzInput& input, Delaunay3DRef& tetrizer, const Delaunay3DRef& other) {
  BaseArray<Vector> points;
  Int32 found = -1;
  switch (input.Byte() % 9) {
    case 0:
      (void)tetrizer.Init(DecodeBox(input));
      return;
    case 1:
      (void)tetrizer.AddPointIntoTetrahedralization(input.Point3());
      return;
    case 2:
      if (input.Points(points, 6)) (void)tetrizer.AddPointsIntoTetrahedralization(points);
      return;
    case 3:
      if (tetrizer.CalculateDelaunayTetrahedralization()) CheckTetrahedra(tetrizer);
      return;
    case 4:
      (void)tetrizer.Reset();
      return;
    case 5:
      (void)tetrizer.CopyFrom(other);
      return;
    case 6:
      tetrizer.Flush();
      return;
    case 7:
      (void)tetrizer.FindTetContainingPoint(input.Point3(), found);
      return;
    default:
      (void)tetrizer.GetPointsToTetConnections();
      (void)tetrizer.OrientDet(input.Point3(), input.Point3(), input.Point3(), input.Point3());
      return;
  }
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  RunInstancePair<Delaunay3DRef>(input, kMaxOperations, "delaunay: instances are created", Step);
  return 0;
}
