// Binds Delaunay3DImpl to the slots of the Delaunay3D interface and registers the interface with
// its reflection data, the implementation and the enumerations of the tetrahedralisation.

#include "delaunay3d/delaunay3d_impl.h"
#include "zemox/memory.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

Delaunay3DImpl& Self(Delaunay3DObject* object) { return *static_cast<Delaunay3DImpl*>(object); }
const Delaunay3DImpl& Self(const Delaunay3DObject* object) { return *static_cast<const Delaunay3DImpl*>(object); }

void Free(Delaunay3DObject* object) { DeleteObject(&Self(object)); }

Result<Delaunay3DObject*> Alloc(const char*) {
  Delaunay3DImpl* object = NewObject<Delaunay3DImpl>();
  if (object == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
  return static_cast<Delaunay3DObject*>(object);
}

// The copy always takes the source's own array sizes, so no resize policy applies.
Result<void> CopyFrom(Delaunay3DObject* object, const Delaunay3DObject* src, Int) {
  return Self(object).CopyFrom(Self(src));
}

Result<void> Init(Delaunay3DObject* object, const Box3D& workSpace) { return Self(object).Init(workSpace); }

Result<void> CalculateDelaunayTetrahedralization(Delaunay3DObject* object) {
  return Self(object).CalculateDelaunayTetrahedralization();
}

Bool IsInitialized(const Delaunay3DObject* object) { return Self(object).IsInitialized(); }

Result<void> AddPointsIntoTetrahedralization(Delaunay3DObject* object, Block<const Vector> newPointsIn) {
  return Self(object).AddPointsIntoTetrahedralization(newPointsIn);
}

Result<void> AddPointIntoTetrahedralization(Delaunay3DObject* object, const Vector& newPointIn) {
  return Self(object).AddPointIntoTetrahedralization(newPointIn);
}

Block<const Tetrahedron> GetTetrahedronsAndCounts(const Delaunay3DObject* object, Int& arrayCount, Int& pointCount) {
  arrayCount = Self(object).GetTetrahedronCount();
  pointCount = Self(object).GetPointCount();
  return Self(object).GetTetrahedrons();
}

Block<const Tetrahedron> GetTetrahedrons(const Delaunay3DObject* object) { return Self(object).GetTetrahedrons(); }

Block<const Int32> GetPointsToTetConnections(const Delaunay3DObject* object) {
  return Self(object).GetPointsToTetConnections();
}

Block<const Vector> GetPoints(const Delaunay3DObject* object) { return Self(object).GetPoints(); }

Block<Vector> GetPointsWrite(Delaunay3DObject* object) { return Self(object).GetPointsWrite(); }

Int GetTetrahedronCount(const Delaunay3DObject* object) { return Self(object).GetTetrahedronCount(); }

Int GetPointCount(const Delaunay3DObject* object) { return Self(object).GetPointCount(); }

Result<void> Reset(Delaunay3DObject* object) { return Self(object).Reset(); }

Float OrientDet(const Delaunay3DObject* object, const Vector& planePointA, const Vector& planePointB,
                const Vector& planePointC, const Vector& testPoint) {
  return Self(object).OrientDet(planePointA, planePointB, planePointC, testPoint);
}

void Flush(Delaunay3DObject* object) { Self(object).Flush(); }

Result<Bool> FindTetIndexContainingPoint(Delaunay3DObject* object, const Vector& point, Int32& foundTetIndex,
                                         Int32& onFace1, Int32& onFace2) {
  return Self(object).FindTetIndexContainingPoint(point, foundTetIndex, onFace1, onFace2);
}

Result<Bool> FindTetContainingPoint(Delaunay3DObject* object, const Vector& point, Int32& foundTetIndex) {
  return Self(object).FindTetContainingPoint(point, foundTetIndex);
}

constexpr Delaunay3DInterface delaunay3DSlots{
    Free,
    Alloc,
    CopyFrom,
    Init,
    CalculateDelaunayTetrahedralization,
    IsInitialized,
    AddPointsIntoTetrahedralization,
    AddPointIntoTetrahedralization,
    GetTetrahedronsAndCounts,
    GetTetrahedrons,
    GetPointsToTetConnections,
    GetPoints,
    GetPointsWrite,
    GetTetrahedronCount,
    GetPointCount,
    Reset,
    OrientDet,
    Flush,
    FindTetIndexContainingPoint,
    FindTetContainingPoint,
};

constexpr ParameterInfo freeParameters[] = {{"object", false}};
constexpr ParameterInfo allocParameters[] = {{"allocLocation", false}};
constexpr ParameterInfo copyFromParameters[] = {{"src", false}, {"resizeFlags", false}};
constexpr ParameterInfo initParameters[] = {{"workSpace", false}};
constexpr ParameterInfo addPointsParameters[] = {{"newPointsIn", false}};
constexpr ParameterInfo addPointParameters[] = {{"newPointIn", false}};
constexpr ParameterInfo countParameters[] = {{"arrayCount", true}, {"pointCount", true}};
constexpr ParameterInfo orientParameters[] = {
    {"planePointA", false}, {"planePointB", false}, {"planePointC", false}, {"testPoint", false}};
constexpr ParameterInfo findIndexParameters[] = {
    {"point", false}, {"foundTetIndex", true}, {"onFace1", true}, {"onFace2", true}};
constexpr ParameterInfo findParameters[] = {{"point", false}, {"foundTetIndex", true}};

template <Int count>
constexpr Block<const ParameterInfo> Parameters(const ParameterInfo (&parameters)[count]) {
  return {parameters, count};
}

constexpr SlotInfo delaunay3DSlotInfo[] = {
    {"Free", Parameters(freeParameters)},
    {"Alloc", Parameters(allocParameters)},
    {"CopyFrom", Parameters(copyFromParameters)},
    {"Init", Parameters(initParameters)},
    {"CalculateDelaunayTetrahedralization", {}},
    {"IsInitialized", {}},
    {"AddPointsIntoTetrahedralization", Parameters(addPointsParameters)},
    {"AddPointIntoTetrahedralization", Parameters(addPointParameters)},
    {"GetTetrahedrons", Parameters(countParameters)},
    {"GetTetrahedrons", {}},
    {"GetPointsToTetConnections", {}},
    {"GetPoints", {}},
    {"GetPointsWrite", {}},
    {"GetTetrahedronCount", {}},
    {"GetPointCount", {}},
    {"Reset", {}},
    {"OrientDet", Parameters(orientParameters)},
    {"Flush", {}},
    {"FindTetIndexContainingPoint", Parameters(findIndexParameters)},
    {"FindTetContainingPoint", Parameters(findParameters)},
};
static_assert(sizeof(delaunay3DSlotInfo) / sizeof(SlotInfo) == sizeof(Delaunay3DInterface) / sizeof(void (*)()));
constexpr InterfaceInfo delaunay3DInterfaceInfo{{delaunay3DSlotInfo, 20}};

const Registration delaunay3DInterface({.kind = RecordKind::INTERFACE,
                                        .id = Delaunay3DInterfaceId,
                                        .interfaceInfo = &delaunay3DInterfaceInfo});
const Registration delaunay3DImplementation({.kind = RecordKind::IMPLEMENTATION,
                                             .id = Delaunay3DInterfaceId,
                                             .name = "Delaunay3DImpl",
                                             .table = &delaunay3DSlots});

constexpr EnumValueInfo flipCaseValues[] = {
    {"CONVEX", 0},
    {"CONCAVE_OVER_ONE_FACE_A", 1},
    {"CONCAVE_OVER_ONE_FACE_B", 2},
    {"CONCAVE_OVER_ONE_FACE_C", 3},
    {"CONCAVE_OVER_TWO_FACES", 4},
    {"CONVEX_COPLANAR_A", 5},
    {"CONVEX_COPLANAR_B", 6},
    {"CONVEX_COPLANAR_C", 7},
    {"CONVEX_COPLANAR_ONPLANE", 8},
    {"BROKEN", 9},
};
constexpr EnumInfo flipCase{{flipCaseValues, 10}};
constexpr EnumValueInfo orientationValues[] = {
    {"ORIENTATION_ON", 0}, {"OVER", 1}, {"UNDER", 2}, {"ORIENTATION_ERROR", 3}};
constexpr EnumInfo orientation{{orientationValues, 4}};
constexpr EnumValueInfo insideTestValues[] = {{"INSIDE_ON", 0}, {"INSIDE", 1}, {"OUTSIDE", 2}, {"INSIDE_ERROR", 3}};
constexpr EnumInfo insideTest{{insideTestValues, 4}};

const Registration flipCaseEnum(
    {.kind = RecordKind::ENUMERATION, .id = "net.zemox.enum.flipcase", .name = "FLIPCASE", .enumInfo = &flipCase});
const Registration orientationEnum({.kind = RecordKind::ENUMERATION,
                                    .id = "net.zemox.enum.orientation",
                                    .name = "ORIENTATION",
                                    .enumInfo = &orientation});
const Registration insideTestEnum({.kind = RecordKind::ENUMERATION,
                                   .id = "net.zemox.enum.insidetest",
                                   .name = "INSIDETEST",
                                   .enumInfo = &insideTest});

}  // namespace
}  // namespace zemox
