// Delaunay3D driven by a sequence of calls decoded from the input, on two instances so that copies
// between them are exercised. Every tetrahedron reported after a calculation must name stored points,
// and small tetrahedralisations must pass the exact structural and empty-sphere checks.
#include "exact_checks.h"
#include "fuzzinput.h"
#include "geom/delaunay3d.h"

namespace zemox::fuzz {
namespace {

constexpr Int kMaxOperations = 32;
// Above this many points the exact in-sphere check of every tetrahedron against every point costs
// more than the fuzzer's time per input.
constexpr Int kMaxExactlyCheckedPoints = 40;

Box3D DecodeBox(FuzzInput& input) {
  if (input.Flag()) return {};
  return {input.Point3(), input.Point3()};
}

// Tolerances decide coincident points and points on faces, so the result is checked exactly only
// on scene-scale input.
Bool OnSceneGrid(Block<const Vector> points) {
  for (Int index = 4; index < points.GetCount(); ++index) {
    if (!fuzz::OnSceneGrid(points[index])) return false;
  }
  return true;
}

void CheckTetrahedra(const Delaunay3DRef& tetrizer) {
  Int arrayCount = 0;
  Int pointCount = 0;
  for (const Tetrahedron& tetrahedron : tetrizer.GetTetrahedrons(arrayCount, pointCount)) {
    for (Int32 vertex : tetrahedron.v) Require(vertex >= 0 && vertex < pointCount, "delaunay: vertices name points");
  }
  // Four points are the corners alone: they stay at the origin until points are added.
  if (pointCount <= 4 || pointCount > kMaxExactlyCheckedPoints || !OnSceneGrid(tetrizer.GetPoints())) return;
  // Entries of earlier batches and of the corners are not kept up to date, so only the
  // tetrahedralisation itself is checked, never the point-to-tetrahedron table's completeness.
  const ::testing::AssertionResult valid = testing::IsValidTetrahedralization(
      tetrizer.GetTetrahedrons(), tetrizer.GetPoints(), tetrizer.GetPointsToTetConnections(), true);
  if (!valid) {
    std::fprintf(stderr, "%s\n", valid.message());
    for (const Vector& point : tetrizer.GetPoints()) std::fprintf(stderr, "%a %a %a\n", point.x, point.y, point.z);
  }
  Require(valid, "delaunay: a valid Delaunay tetrahedralisation");
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
