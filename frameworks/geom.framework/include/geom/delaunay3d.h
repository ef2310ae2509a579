#pragma once

#include <cfloat>
#include <utility>

#include "geom/tetrahedron.h"
#include "zemox/block.h"
#include "zemox/id.h"
#include "zemox/registry.h"
#include "zemox/result.h"

namespace zemox {

inline constexpr Id Delaunay3DInterfaceId{"net.zemox.interface.delaunay3d"};

// How the line from the new point through the apex beyond a face meets that face, which decides
// the flip that repairs it.
enum class FLIPCASE : Int32 {
  CONVEX = 0,
  CONCAVE_OVER_ONE_FACE_A = 1,
  CONCAVE_OVER_ONE_FACE_B = 2,
  CONCAVE_OVER_ONE_FACE_C = 3,
  CONCAVE_OVER_TWO_FACES = 4,
  CONVEX_COPLANAR_A = 5,
  CONVEX_COPLANAR_B = 6,
  CONVEX_COPLANAR_C = 7,
  CONVEX_COPLANAR_ONPLANE = 8,
  BROKEN = 9,
};

// Sign class of an orientation value: 0, positive, negative.
enum class ORIENTATION : Int32 { ORIENTATION_ON = 0, OVER = 1, UNDER = 2, ORIENTATION_ERROR = 3 };

// Result of one locate step, and sign class of an in-sphere value: 0, positive, negative.
enum class INSIDETEST : Int32 { INSIDE_ON = 0, INSIDE = 1, OUTSIDE = 2, INSIDE_ERROR = 3 };

// Axis-aligned box; the default box is empty (min above max on every axis).
struct Box3D {
  Vector min{DBL_MAX, DBL_MAX, DBL_MAX};
  Vector max{-DBL_MAX, -DBL_MAX, -DBL_MAX};
};

// An instance of the interface; only the registered implementation knows its content.
class Delaunay3DObject {
 protected:
  Delaunay3DObject() = default;
  ~Delaunay3DObject() = default;
};

// Slot table of the interface, in interface order. Arrays that slots return view the instance's own
// storage and stay valid until the next mutating call.
struct Delaunay3DInterface {
  void (*Free)(Delaunay3DObject* object);
  Result<Delaunay3DObject*> (*Alloc)(const char* allocLocation);
  Result<void> (*CopyFrom)(Delaunay3DObject* object, const Delaunay3DObject* src, Int resizeFlags);
  Result<void> (*Init)(Delaunay3DObject* object, const Box3D& workSpace);
  Result<void> (*CalculateDelaunayTetrahedralization)(Delaunay3DObject* object);
  Bool (*IsInitialized)(const Delaunay3DObject* object);
  Result<void> (*AddPointsIntoTetrahedralization)(Delaunay3DObject* object, Block<const Vector> newPointsIn);
  Result<void> (*AddPointIntoTetrahedralization)(Delaunay3DObject* object, const Vector& newPointIn);
  Block<const Tetrahedron> (*GetTetrahedronsAndCounts)(const Delaunay3DObject* object, Int& arrayCount,
                                                       Int& pointCount);
  Block<const Tetrahedron> (*GetTetrahedrons)(const Delaunay3DObject* object);
  Block<const Int32> (*GetPointsToTetConnections)(const Delaunay3DObject* object);
  Block<const Vector> (*GetPoints)(const Delaunay3DObject* object);
  Block<Vector> (*GetPointsWrite)(Delaunay3DObject* object);
  Int (*GetTetrahedronCount)(const Delaunay3DObject* object);
  Int (*GetPointCount)(const Delaunay3DObject* object);
  Result<void> (*Reset)(Delaunay3DObject* object);
  Float (*OrientDet)(const Delaunay3DObject* object, const Vector& planePointA, const Vector& planePointB,
                     const Vector& planePointC, const Vector& testPoint);
  void (*Flush)(Delaunay3DObject* object);
  Result<Bool> (*FindTetIndexContainingPoint)(Delaunay3DObject* object, const Vector& point, Int32& foundTetIndex,
                                              Int32& onFace1, Int32& onFace2);
  Result<Bool> (*FindTetContainingPoint)(Delaunay3DObject* object, const Vector& point, Int32& foundTetIndex);
};

// Owning handle of one instance, created through the registered implementation and destroyed with
// it. Move-only; one thread at a time.
class Delaunay3DRef {
 public:
  Delaunay3DRef() = default;
  Delaunay3DRef(Delaunay3DRef&& other) noexcept
      : slots_(std::exchange(other.slots_, nullptr)), object_(std::exchange(other.object_, nullptr)) {}
  Delaunay3DRef& operator=(Delaunay3DRef&& other) noexcept {
    std::swap(slots_, other.slots_);
    std::swap(object_, other.object_);
    return *this;
  }
  Delaunay3DRef(const Delaunay3DRef&) = delete;
  Delaunay3DRef& operator=(const Delaunay3DRef&) = delete;
  ~Delaunay3DRef() {
    if (object_ != nullptr) slots_->Free(object_);
  }

  // A new empty instance of the registered implementation.
  static Result<Delaunay3DRef> Create() {
    const Delaunay3DInterface* slots = ResolveSlots<Delaunay3DInterface>(Delaunay3DInterfaceId);
    if (slots == nullptr)
      return ZEMOX_ERROR(IllegalStateError, "@: No implementation of @ is registered.", Delaunay3DInterfaceId.Text());
    Delaunay3DObject* object = ZEMOX_TRY(slots->Alloc("Delaunay3DRef::Create"));
    return Delaunay3DRef(slots, object);
  }

  explicit operator bool() const { return object_ != nullptr; }
  Delaunay3DObject* GetObject() const { return object_; }

  Result<void> CopyFrom(const Delaunay3DRef& src, Int resizeFlags = 0) {
    return slots_->CopyFrom(object_, src.object_, resizeFlags);
  }
  Result<void> Init(const Box3D& workSpace) { return slots_->Init(object_, workSpace); }
  Result<void> CalculateDelaunayTetrahedralization() { return slots_->CalculateDelaunayTetrahedralization(object_); }
  Bool IsInitialized() const { return slots_->IsInitialized(object_); }
  Result<void> AddPointsIntoTetrahedralization(Block<const Vector> newPointsIn) {
    return slots_->AddPointsIntoTetrahedralization(object_, newPointsIn);
  }
  Result<void> AddPointIntoTetrahedralization(const Vector& newPointIn) {
    return slots_->AddPointIntoTetrahedralization(object_, newPointIn);
  }
  Block<const Tetrahedron> GetTetrahedrons(Int& arrayCount, Int& pointCount) const {
    return slots_->GetTetrahedronsAndCounts(object_, arrayCount, pointCount);
  }
  Block<const Tetrahedron> GetTetrahedrons() const { return slots_->GetTetrahedrons(object_); }
  Block<const Int32> GetPointsToTetConnections() const { return slots_->GetPointsToTetConnections(object_); }
  Block<const Vector> GetPoints() const { return slots_->GetPoints(object_); }
  Block<Vector> GetPointsWrite() { return slots_->GetPointsWrite(object_); }
  Int GetTetrahedronCount() const { return slots_->GetTetrahedronCount(object_); }
  Int GetPointCount() const { return slots_->GetPointCount(object_); }
  Result<void> Reset() { return slots_->Reset(object_); }
  Float OrientDet(const Vector& planePointA, const Vector& planePointB, const Vector& planePointC,
                  const Vector& testPoint) const {
    return slots_->OrientDet(object_, planePointA, planePointB, planePointC, testPoint);
  }
  void Flush() { slots_->Flush(object_); }
  Result<Bool> FindTetIndexContainingPoint(const Vector& point, Int32& foundTetIndex, Int32& onFace1, Int32& onFace2) {
    return slots_->FindTetIndexContainingPoint(object_, point, foundTetIndex, onFace1, onFace2);
  }
  Result<Bool> FindTetContainingPoint(const Vector& point, Int32& foundTetIndex) {
    return slots_->FindTetContainingPoint(object_, point, foundTetIndex);
  }

 private:
  Delaunay3DRef(const Delaunay3DInterface* slots, Delaunay3DObject* object) : slots_(slots), object_(object) {}

  const Delaunay3DInterface* slots_ = nullptr;
  Delaunay3DObject* object_ = nullptr;
};

}  // namespace zemox
