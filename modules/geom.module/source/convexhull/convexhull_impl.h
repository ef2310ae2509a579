#pragma once

#include <LinearMath/btConvexHullComputer.h>

#include "geom/convexhull.h"

namespace zemox {

// Convex hull service around the hull computer of the linked LinearMath library, built with double
// scalars. The computer is working storage that keeps the last hull until the next call; every
// call copies its output into the caller's arrays, so this object never hands out its own storage.
class ConvexHullImpl final {
 public:
  ConvexHullImpl() = default;
  ConvexHullImpl(const ConvexHullImpl&) = delete;
  ConvexHullImpl& operator=(const ConvexHullImpl&) = delete;

  Result<Float> ComputeConvexHull(Block<const Vector> vertices, Float shrink, Float shrinkClamp,
                                  BaseArray<Vector>& resultVertices, BaseArray<ConvexHullEdge>& resultEdges,
                                  BaseArray<Int>& resultFaces);
  Result<Float> ComputeConvexHull(Block<const Vector> vertices, Float shrink, Float shrinkClamp,
                                  ConvexHullRecord& hull);

 private:
  Result<void> CopyHull(BaseArray<Vector>& resultVertices, BaseArray<ConvexHullEdge>& resultEdges,
                        BaseArray<Int>& resultFaces) const;

  btConvexHullComputer computer_;
};

}  // namespace zemox
