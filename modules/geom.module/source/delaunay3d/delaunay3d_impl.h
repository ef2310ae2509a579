#pragma once

#include "geom/delaunay3d.h"
#include "geom/tetrahedron.h"
#include "predicates.h"
#include "zemox/basearray.h"

namespace zemox {

// How often each kind of split and flip has run since the object was created; tests read it to
// know which degenerate paths an input exercised.
struct Delaunay3DStatistics {
  Int split14 = 0;
  Int splitFace = 0;
  Int splitEdge = 0;
  Int flip23 = 0;
  Int flip32 = 0;
  Int flip44 = 0;
};

// Incremental Delaunay tetrahedralisation of a growing point set inside a large enclosing
// tetrahedron whose corners are points 0 to 3. Points are queued by the add calls and inserted, one
// by one, by CalculateDelaunayTetrahedralization: a walk locates the tetrahedron holding the point,
// which is split (or the face or edge the point lies on), and the faces opposite the new point are
// repaired by 2-3, 3-2 and 4-4 flips until every one passes the in-sphere test.
class Delaunay3DImpl final {
 public:
  Delaunay3DImpl() = default;
  Delaunay3DImpl(const Delaunay3DImpl&) = delete;
  Delaunay3DImpl& operator=(const Delaunay3DImpl&) = delete;

  // The copy always takes the source's own array sizes, so no resize policy applies.
  Result<void> CopyFrom(const Delaunay3DInterface& src, Int resizeFlags);
  Result<void> CopyFrom(const Delaunay3DImpl& src);
  Result<void> Init(const Box3D& workSpace);
  Result<void> CalculateDelaunayTetrahedralization();
  Bool IsInitialized() const { return initialized_; }
  Result<void> AddPointsIntoTetrahedralization(Block<const Vector> newPointsIn);
  Result<void> AddPointIntoTetrahedralization(const Vector& newPointIn);
  // The valid tetrahedra (the first tetrahedronCount entries of the storage).
  Block<const Tetrahedron> GetTetrahedrons() const { return {tetrahedrons_.GetFirst(), tetrahedronCount_}; }
  Block<const Tetrahedron> GetTetrahedrons(Int& arrayCount, Int& pointCount) const {
    arrayCount = GetTetrahedronCount();
    pointCount = GetPointCount();
    return GetTetrahedrons();
  }
  Block<const Int32> GetPointsToTetConnections() const { return pointToTet_.ToBlock(); }
  Block<const Vector> GetPoints() const { return points_.ToBlock(); }
  Block<Vector> GetPointsWrite() { return {points_.GetFirst(), points_.GetCount()}; }
  Int GetTetrahedronCount() const { return tetrahedronCount_; }
  Int GetPointCount() const { return points_.GetCount(); }
  Result<void> Reset();
  Float OrientDet(const Vector& planePointA, const Vector& planePointB, const Vector& planePointC,
                  const Vector& testPoint) const;
  void Flush();
  Result<Bool> FindTetIndexContainingPoint(const Vector& point, Int32& foundTetIndex, Int32& onFace1,
                                           Int32& onFace2) const;
  Result<Bool> FindTetContainingPoint(const Vector& point, Int32& foundTetIndex) const;

  const Delaunay3DStatistics& GetStatistics() const { return statistics_; }

 private:
  // A face on the border of a region that a split or flip rebuilds: its vertices and the
  // tetrahedron beyond it (-1 on the outer hull).
  struct OuterFace {
    Int32 a;
    Int32 b;
    Int32 c;
    Int32 neighbor;
  };

  // The enclosing tetrahedron of a box and the flip tolerances that go with its size.
  struct Enclosure {
    Vector corners[4];
    Float baryEpsilon;
    Float lineEpsilon;
  };

  // State.
  Result<void> CheckReady(const char* operation) const;
  Result<void> BuildBaseState();
  void PrepareContext();
  Enclosure Enclose(const Box3D& box) const;
  void PlaceEnclosingTetrahedron(const Enclosure& enclosure);
  Bool IsInterrupted() const;
  void StartOver();
  Result<void> ReserveTetrahedrons(Int extra);
  Result<void> ReserveFlipStack(Int extra);
  void Push(Int32 tetrahedron);

  // Point location.
  static constexpr Int32 nearVertex = -2;
  ZEMOX_FORCE_INLINE Int32 FindFaceBeyond(const Tetrahedron& tet, Int32 previous, const Vector& query,
                                          Int32& zeroSlots) const;
  INSIDETEST LocateStep(Int32 tetrahedron, Int32 previous, const Vector& query, Int32& next, Int32& onFace1,
                        Int32& onFace2, Bool& found) const;
  Bool Locate(const Vector& query, Int32& foundTetIndex, Int32& onFace1, Int32& onFace2) const;
  Int32 NextTowards(Int32 tetrahedron, Int32 previous, const Vector& query) const;
  Bool Walk(const Vector& query, Int32& foundTetIndex) const;

  // Insertion (delaunay3d_flips.cpp).
  Result<void> InsertPoint(Int32 p);
  Result<void> RepairFaces(Int32 p);
  Result<void> DispatchFlip(Int32 t, Int32 m, Int32 p, Int32 apex, Int32 a, Int32 b, Int32 c);
  FLIPCASE ClassifyFlip(Int32 a, Int32 b, Int32 c, Int32 p, Int32 apex) const;
  Float SnapBarycentric(Float weight, Int32 p, Int32 e0, Int32 e1, Int32 apex) const;
  Result<void> Split14(Int32 t, Int32 p);
  Result<void> SplitFace(Int32 t, Int32 faceSlot, Int32 p);
  Result<void> SplitEdge(Int32 t, Int32 onFace1, Int32 onFace2, Int32 p);
  Result<void> CollectEdgeRing(Int32 t, Int32 firstExit, Int32 edgeA, Int32 edgeB);
  Result<void> Flip23(Int32 t, Int32 m, Int32 p, Int32 apex);
  Result<void> Flip32(Int32 t, Int32 m, Int32 u);
  Result<void> Flip44(Int32 t, Int32 m, Int32 t2, Int32 m2, Int32 p, Int32 apex);
  void MoveLastTetrahedron(Int32 freed);
  Result<void> CollectOuterFaces(Block<const Int32> region);
  void SetVertices(Int32 index, Int32 v0, Int32 v1, Int32 v2, Int32 v3);
  Result<void> LinkRegion(Block<const Int32> created);
  void LinkFlippedEdge(Int32 index, Tetrahedron result, Int32 kept, Int32 dropped, Int32 sibling,
                       const Tetrahedron (&ring)[3], const Int32 (&ringIndices)[3]);
  void Redirect(Int32 beyond, Int32 oldOwner, Int32 newOwner);

  Float enclosingScale_ = 1.1;
  Float lineEpsilon_ = 1e-11;
  Float baryEpsilon_ = 1e-8;
  Float vertexEpsilonSq_ = 1e-7;
  Box3D workSpace_;
  Box3D bounds_;
  Int pendingCount_ = 0;
  // How many pending points, newest first, a calculation that stopped early has inserted; the next
  // calculation goes on after them.
  Int insertedPendingCount_ = 0;
  Int insertedCount_ = 0;
  BaseArray<Tetrahedron> tetrahedrons_;
  Int32 tetrahedronCount_ = 0;
  BaseArray<Vector> points_;
  BaseArray<Int32> pointToTet_;
  BaseArray<Int32> flipStack_;
  Bool initialized_ = false;
  // Each instance has its own predicate context, so that instances can tetrahedralise on several
  // threads at once.
  PredicateContext context_;
  Delaunay3DStatistics statistics_;
  // Scratch of the splits and flips, kept to avoid allocating per insertion.
  BaseArray<Int32> region_;
  BaseArray<Int32> created_;
  BaseArray<OuterFace> outerFaces_;
};

}  // namespace zemox
