#pragma once

#include "geom/geometrytypes.h"
#include "geom/tetrahedron.h"
#include "zemox/block.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"
#include "zemox/result.h"

namespace zemox {

// How the line from the new point through the apex beyond a face meets that face, which decides
// the flip that repairs it.
ZEMOX_ENUM(FLIPCASE, "FLIPCASE", "net.zemox.enum.flipcase", (CONVEX, 0), (CONCAVE_OVER_ONE_FACE_A, 1),
           (CONCAVE_OVER_ONE_FACE_B, 2), (CONCAVE_OVER_ONE_FACE_C, 3), (CONCAVE_OVER_TWO_FACES, 4),
           (CONVEX_COPLANAR_A, 5), (CONVEX_COPLANAR_B, 6), (CONVEX_COPLANAR_C, 7), (CONVEX_COPLANAR_ONPLANE, 8),
           (BROKEN, 9))

// Sign class of an orientation value: 0, positive, negative.
ZEMOX_ENUM(ORIENTATION, "ORIENTATION", "net.zemox.enum.orientation", (ORIENTATION_ON, 0), (OVER, 1), (UNDER, 2),
           (ORIENTATION_ERROR, 3))

// Result of one locate step, and sign class of an in-sphere value: 0, positive, negative.
ZEMOX_ENUM(INSIDETEST, "INSIDETEST", "net.zemox.enum.insidetest", (INSIDE_ON, 0), (INSIDE, 1), (OUTSIDE, 2),
           (INSIDE_ERROR, 3))

// Incremental 3D Delaunay tetrahedralisation of a growing point set. Points 0 to 3 are the corners of
// an enclosing tetrahedron around the work space and the added points; added points follow. Arrays
// that methods return view the instance's own storage and stay valid until the next mutating call.
// Held through a Delaunay3DRef; one thread at a time.
//
// Accepted coordinates: finite, and such that every coordinate of the enclosing tetrahedron's
// corners (which lie 3.3 times the half-diagonal of the bounds from their centre) stays within
// +-2^190 (about 1.6e57), the range in which the predicates are exact; for bounds centred on the
// origin, coordinates up to about 2^187 (2.9e55). Other input is refused with IllegalArgumentError
// and leaves the instance unchanged.
class Delaunay3DInterface : public InstanceInterface<Delaunay3DInterface> {
 public:
  ZEMOX_INSTANCE_INTERFACE(Delaunay3DInterface, "net.zemox.interface.delaunay3d", 20)

  // Replaces this instance's state by a deep copy of src's; the copy takes src's own array sizes,
  // so resizeFlags has no effect.
  ZEMOX_SLOT(2, Result<void>, CopyFrom, (IN, const Delaunay3DInterface&, src), (IN, Int, resizeFlags, 0))
  // Starts a new tetrahedralisation around the work space (an empty box is allowed).
  ZEMOX_SLOT(3, Result<void>, Init, (IN, const Box3D&, workSpace))
  // Inserts every point added since the last calculation, newest first. Fails with the host's
  // thread-cancelled error when the surrounding job is cancelled, or out-of-memory; calling it again
  // goes on with the points not yet inserted and ends as an uninterrupted run would.
  ZEMOX_SLOT(4, Result<void>, CalculateDelaunayTetrahedralization)
  ZEMOX_CONST_SLOT(5, Bool, IsInitialized)
  // Queue points for the next calculation; input outside the accepted coordinates is refused. Points
  // inside the current bounds are inserted into the existing tetrahedralisation. Points that widen
  // the bounds move the enclosing tetrahedron: the tetrahedralisation then starts over, and the next
  // calculation inserts every stored point again, newest first, giving what a fresh instance builds
  // from the same points. An add after an interrupted calculation starts over in the same way.
  ZEMOX_SLOT(6, Result<void>, AddPointsIntoTetrahedralization, (IN, Block<const Vector>, newPointsIn))
  ZEMOX_SLOT(7, Result<void>, AddPointIntoTetrahedralization, (IN, const Vector&, newPointIn))
  // The valid tetrahedra, with their count and the point count.
  ZEMOX_CONST_SLOT(8, Block<const Tetrahedron>, GetTetrahedrons, (OUT, Int&, arrayCount), (OUT, Int&, pointCount))
  ZEMOX_CONST_SLOT(9, Block<const Tetrahedron>, GetTetrahedrons)
  // For every point, a tetrahedron that has it as a vertex (-1 for a point not inserted).
  ZEMOX_CONST_SLOT(10, Block<const Int32>, GetPointsToTetConnections)
  ZEMOX_CONST_SLOT(11, Block<const Vector>, GetPoints)
  ZEMOX_SLOT(12, Block<Vector>, GetPointsWrite)
  ZEMOX_CONST_SLOT(13, Int, GetTetrahedronCount)
  ZEMOX_CONST_SLOT(14, Int, GetPointCount)
  // Back to the state after Init: the enclosing corners only.
  ZEMOX_SLOT(15, Result<void>, Reset)
  // Orientation of testPoint against the plane through the three points, with the instance's exact
  // predicates: > 0 above (the side the counter-clockwise plane points face), 0 exactly on it.
  ZEMOX_CONST_SLOT(16, Float, OrientDet, (IN, const Vector&, planePointA), (IN, const Vector&, planePointB),
                   (IN, const Vector&, planePointC), (IN, const Vector&, testPoint))
  // Releases all memory; the instance is uninitialised afterwards.
  ZEMOX_SLOT(17, void, Flush)
  // Locates the tetrahedron that holds the point; false when the point coincides with a vertex or
  // lies outside. On a face or edge, onFace1/onFace2 name the face slots: the caller sets both to -1,
  // and each zero face goes into the first of them that still holds -1.
  ZEMOX_CONST_SLOT(18, Result<Bool>, FindTetIndexContainingPoint, (IN, const Vector&, point),
                   (OUT, Int32&, foundTetIndex), (INOUT, Int32&, onFace1), (INOUT, Int32&, onFace2))
  ZEMOX_CONST_SLOT(19, Result<Bool>, FindTetContainingPoint, (IN, const Vector&, point), (OUT, Int32&, foundTetIndex))
};

// Owning reference to one Delaunay3D instance.
using Delaunay3DRef = InstanceRef<Delaunay3DInterface>;

}  // namespace zemox
