// ConvexHull on a decoded point cloud with optional shrinking. Every edge must name hull vertices and
// edges, and its reverse must lead back to it.
#include "fuzzinput.h"
#include "geom/convexhull.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  Result<ConvexHullRef> hullComputer = ConvexHullRef::Create();
  Require(hullComputer.IsOk(), "convex hull: instance is created");
  BaseArray<Vector> points;
  if (!input.Points(points, 24)) return 0;
  const Float shrink = input.Flag() ? input.Coordinate() : 0.0;
  const Float shrinkClamp = input.Flag() ? input.Coordinate() : 0.0;
  ConvexHullRecord hull;
  if (!hullComputer.Value().ComputeConvexHull(points, shrink, shrinkClamp, hull)) return 0;
  const Int vertexCount = hull.vertices.GetCount();
  const Int edgeCount = hull.edges.GetCount();
  for (Int index = 0; index < edgeCount; ++index) {
    const ConvexHullEdge& edge = hull.edges[index];
    Require(edge.sourceVertex >= 0 && edge.sourceVertex < vertexCount && edge.targetVertex >= 0 &&
                edge.targetVertex < vertexCount,
            "convex hull: edges name vertices");
    Require(edge.reverseEdge >= 0 && edge.reverseEdge < edgeCount && hull.edges[edge.reverseEdge].reverseEdge == index,
            "convex hull: the reverse of the reverse is the edge");
  }
  for (Int face : hull.faces) Require(face >= 0 && face < edgeCount, "convex hull: faces name edges");
  return 0;
}
