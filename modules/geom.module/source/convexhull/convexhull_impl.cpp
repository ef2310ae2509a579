#include "convexhull/convexhull_impl.h"

#include <climits>
#include <cmath>
#include <cstddef>

#include "portability.h"

namespace zemox {
namespace {

// The computer reads the input as double triples with a stride of one Vector.
static_assert(sizeof(Vector) == 3 * sizeof(double) && offsetof(Vector, z) == 2 * sizeof(double));

// The computer takes an int count and snaps coordinates to integers, a conversion that has no
// defined result for NaN or infinity.
Result<void> CheckInput(Block<const Vector> vertices) {
  if (vertices.GetCount() > INT_MAX)
    return ZEMOX_ERROR_IN("ComputeConvexHull", IllegalArgumentError, "@: @ vertices exceed the limit of @.",
                          vertices.GetCount(), Int{INT_MAX});
  for (Int i = 0; i < vertices.GetCount(); ++i) {
    const Vector& vertex = vertices[i];
    if (!std::isfinite(vertex.x) || !std::isfinite(vertex.y) || !std::isfinite(vertex.z))
      return ZEMOX_ERROR_IN("ComputeConvexHull", IllegalArgumentError, "@: Vertex @ is not finite.", i);
  }
  return OK();
}

}  // namespace

Result<Float> ConvexHullImpl::ComputeConvexHull(Block<const Vector> vertices, Float shrink, Float shrinkClamp,
                                                BaseArray<Vector>& resultVertices,
                                                BaseArray<ConvexHullEdge>& resultEdges, BaseArray<Int>& resultFaces) {
  resultVertices.Reset();
  resultEdges.Reset();
  resultFaces.Reset();
  if (vertices.GetCount() <= 0) return 0.0;
  ZEMOX_TRY(CheckInput(vertices));
  const Float shrunkBy = computer_.compute(&vertices[0].x, static_cast<int>(sizeof(Vector)),
                                           static_cast<int>(vertices.GetCount()), shrink, shrinkClamp);
  ZEMOX_TRY(CopyHull(resultVertices, resultEdges, resultFaces));
  return shrunkBy;
}

Result<Float> ConvexHullImpl::ComputeConvexHull(Block<const Vector> vertices, Float shrink, Float shrinkClamp,
                                                ConvexHullRecord& hull) {
  return ComputeConvexHull(vertices, shrink, shrinkClamp, hull.vertices, hull.edges, hull.faces);
}

// The computer's arrays are its own containers, and its vectors carry a fourth padding scalar, so
// they cannot become ours: each is copied in one pass into room reserved beforehand. Reserving all
// three first leaves every array empty when one reservation fails.
Result<void> ConvexHullImpl::CopyHull(BaseArray<Vector>& resultVertices, BaseArray<ConvexHullEdge>& resultEdges,
                                      BaseArray<Int>& resultFaces) const {
  ZEMOX_TRY(resultVertices.EnsureCapacity(computer_.vertices.size()));
  ZEMOX_TRY(resultEdges.EnsureCapacity(computer_.edges.size()));
  ZEMOX_TRY(resultFaces.EnsureCapacity(computer_.faces.size()));
  for (int i = 0; i < computer_.vertices.size(); ++i) {
    const btVector3& vertex = computer_.vertices[i];
    static_cast<void>(resultVertices.Append(Vector{vertex.x(), vertex.y(), vertex.z()}));
  }
  // The computer links edges by offsets from their own index; the difference of the linked edge's
  // address and the first edge's is the absolute index (i + offset).
  if (computer_.edges.size() > 0) {
    const btConvexHullComputer::Edge* first = &computer_.edges[0];
    for (int i = 0; i < computer_.edges.size(); ++i) {
      const btConvexHullComputer::Edge& edge = first[i];
      const btConvexHullComputer::Edge& reverse = *edge.getReverseEdge();
      static_cast<void>(resultEdges.Append({.sourceVertex = reverse.getTargetVertex(),
                                            .targetVertex = edge.getTargetVertex(),
                                            .nextEdgeOfFace = reverse.getNextEdgeOfVertex() - first,
                                            .nextEdgeOfVertex = edge.getNextEdgeOfVertex() - first,
                                            .reverseEdge = &reverse - first}));
    }
  }
  for (int i = 0; i < computer_.faces.size(); ++i) static_cast<void>(resultFaces.Append(computer_.faces[i]));
  return OK();
}

}  // namespace zemox
