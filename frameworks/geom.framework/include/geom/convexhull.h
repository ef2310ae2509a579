#pragma once

#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"
#include "zemox/result.h"

namespace zemox {

// One directed edge of a hull; every field is an absolute index into the hull's arrays.
struct ConvexHullEdge {
  Int sourceVertex = 0;
  Int targetVertex = 0;
  // The following edge of the face on this edge's left, counter-clockwise seen from outside.
  Int nextEdgeOfFace = 0;
  // The following edge leaving the same source vertex, clockwise seen from outside.
  Int nextEdgeOfVertex = 0;
  // The same edge in the opposite direction, which belongs to the neighbouring face.
  Int reverseEdge = 0;
};

// A hull gathered in one record: vertices, directed edges, and per face the index of one of its edges.
struct ConvexHullRecord {
  BaseArray<Vector> vertices;
  BaseArray<ConvexHullEdge> edges;
  BaseArray<Int> faces;
};

namespace ConvexHullInternal {

// How the hull computer orients a face it builds; registered for callers that inspect the computer.
ZEMOX_ENUM(ORIENTATION, "ConvexHullInternal::ORIENTATION", "net.zemox.enum.convexhullinternal.orientation", (NONE, 0),
           (CLOCKWISE, 1), (COUNTER_CLOCKWISE, 2))

}  // namespace ConvexHullInternal

// 3D convex hull of a point cloud, optionally shrunk inward, as vertex, directed-edge and face
// arrays that belong to the caller. Held through a ConvexHullRef; one thread at a time.
//
// The hull is computed on the points snapped to an integer grid of about 10^4 steps per axis of
// their bounding box, so returned vertices lie within one grid step per axis of an input point
// and an input point can lie up to that far outside the returned hull. Points closer together
// than a step may merge; input that spans no volume gives a flat or empty hull.
//
// Memory: the result arrays grow through the host allocator and report its failure; the hull
// computer keeps its own working storage outside the host allocator, so a failing host allocation
// never reaches it and it cannot report running out of memory itself.
class ConvexHullInterface : public InstanceInterface<ConvexHullInterface> {
 public:
  ZEMOX_INSTANCE_INTERFACE(ConvexHullInterface, "net.zemox.interface.convexhull", 4)

  // Replaces the three arrays' contents by the hull of vertices. With shrink > 0 every face moves
  // inward by shrink, limited to shrinkClamp times the smallest distance of a face from the hull's
  // centre when shrinkClamp > 0. Returns the distance the faces moved: 0 without shrinking,
  // negative (and all arrays empty) when the shrinking removed the whole hull. On an error the
  // arrays are empty. More than 2^31 - 1 vertices are refused.
  ZEMOX_SLOT(2, Result<Float>, ComputeConvexHull, (IN, Block<const Vector>, vertices), (IN, Float, shrink),
             (IN, Float, shrinkClamp), (OUT, BaseArray<Vector>&, resultVertices),
             (OUT, BaseArray<ConvexHullEdge>&, resultEdges), (OUT, BaseArray<Int>&, resultFaces))
  // The same, with the three arrays gathered in hull.
  ZEMOX_SLOT(3, Result<Float>, ComputeConvexHull, (IN, Block<const Vector>, vertices), (IN, Float, shrink),
             (IN, Float, shrinkClamp), (OUT, ConvexHullRecord&, hull))
};

// Owning reference to one convex hull instance.
using ConvexHullRef = InstanceRef<ConvexHullInterface>;

}  // namespace zemox
