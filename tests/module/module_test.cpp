// The caller's way: load geom.module.so as a host does, find its records in the registry, call the
// services through their interfaces, unload it and check that it leaves nothing behind.

#include <dlfcn.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <utility>
#include <vector>

#include "geom/convexhull.h"
#include "geom/delaunay3d.h"
#include "geom/exactpredicates2d.h"
#include "geom/geometryutils.h"
#include "geom/polygontypes.h"
#include "geom/voronoi3d.h"
#include "private_geom/intersectingoutlinesprocessing.h"
#include "private_geom/sortoutlines2d.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

constexpr Id moduleId{"net.zemox.geom"};

// Every record as "kind identifier" (enumerations by their registered name), in registration order.
std::vector<std::string> AllRecords() {
  std::vector<std::string> records;
  EnumerateRecords(
      [](const Record& record, void* context) {
        const char* key = record.kind == RecordKind::ENUMERATION ? record.name : record.id.Text();
        static_cast<std::vector<std::string>*>(context)->push_back(std::string(RecordKindName(record.kind)) + " " +
                                                                   key);
        return true;
      },
      &records);
  return records;
}

class LoadedModuleTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { module_ = dlopen(ZEMOX_MODULE_PATH, RTLD_NOW | RTLD_LOCAL); }
  static void TearDownTestSuite() {
    if (module_ != nullptr) dlclose(module_);
    module_ = nullptr;
  }
  void SetUp() override { ASSERT_NE(module_, nullptr) << dlerror(); }

  static void* module_;
};

void* LoadedModuleTest::module_ = nullptr;

// Every record the module registers, each once, by kind and identifier prefix: the identifiers
// callers rely on, typed here independently of the code.
const struct {
  const char* prefix;
  std::vector<const char*> names;
} expectedRecords[] = {
    {"class net.zemox.private_geom.",
     {"interface.intersectingoutlinesprocessing.nonrobust", "mesherclass.delaunay", "mesherclass.regular",
      "sortoutlines2d.exact", "sortoutlines2d.fast", "straightskeleton.straightskeleton", "tessellationclass.delaunay",
      "tessellationclass.fist", "tessellationclass.simple"}},
    {"datatype net.zemox.geom.", {"simplepolygon", "uvwpolygon"}},
    {"enumeration ",
     {"ConvexHullInternal::ORIENTATION", "FIXOPERATION", "FLIPCASE", "GEOMETRYDECOMPOSITION_OUTPUT",
      "GEOMETRY_TEST_EXACT", "INSIDETEST", "LOOP_OVERLAP_STATE", "ORIENTATION", "OUTLINEPROCESSING_INPUT",
      "UnionUtilsInternal::GEOM_SNAP_DATA", "UnionUtilsInternal::RELATIVE_TO_RANGE_STATE"}},
    {"errorclass net.zemox.error.", {"degeneratedinput"}},
    {"implementation net.zemox.",
     {"geom.geometryutils", "interface.convexhull", "interface.delaunay3d", "interface.exactpredicates2d",
      "interface.voronoi3d"}},
    {"interface net.zemox.",
     {"geom.geometryutils", "interface.convexhull", "interface.degeneratedinputerror", "interface.delaunay3d",
      "interface.exactpredicates2d", "interface.voronoi3d", "private_geom.interface.geometrydecomposition",
      "private_geom.interface.intersectingoutlinesprocessing", "private_geom.interface.mesher",
      "private_geom.interface.outlineprocessing", "private_geom.interface.sortoutlines2d",
      "private_geom.interface.tessellation", "private_geom.straightskeleton"}},
    {"module net.zemox.", {"geom"}},
    {"moduleinfo net.zemox.", {"moduleinfo.mpfr"}},
    {"option net.zemox.",
     {"outlineprocessing.thread", "private_geom.geometrydecompositionoption.quad",
      "private_geom.mesheroption.delaunay.gradient", "private_geom.mesheroption.delaunay.maxsizefactor",
      "private_geom.mesheroption.delaunay.minangle", "private_geom.mesheroption.regular.gridbox",
      "private_geom.mesheroption.regular.gridstep", "private_geom.tesselationoption.fist.earsfancy",
      "private_geom.tesselationoption.fist.earsrandom", "private_geom.tesselationoption.fist.earstop",
      "private_geom.tesselationoption.fist.sorted"}},
    {"registry net.zemox.private_geom.registry.", {"mesherclasses", "sortoutlines2d", "tessellationclasses"}},
    {"registryentry net.zemox.private_geom.sortoutlines2d.", {"exact", "fast"}},
    {"selftest net.zemox.unittest.",
     {"geom.module.geometryutilstest", "outlinesintersections2d", "redblacktree", "selfintersectingoutlinehull2d",
      "separateselfintersectingoutline2d", "sortedset"}}};

TEST_F(LoadedModuleTest, RegistersExactlyTheFullIdentifierSetOnce) {
  std::vector<std::string> expected;
  for (const auto& [prefix, names] : expectedRecords)
    for (const char* name : names) expected.push_back(std::string(prefix) + name);
  std::vector<std::string> registered = AllRecords();
  std::sort(registered.begin(), registered.end());
  EXPECT_EQ(registered, expected);
  EXPECT_EQ(RefusedRegistrationCount(), 0);
  Record module;
  ASSERT_TRUE(FindRecord(RecordKind::MODULE, moduleId, module));
  ASSERT_NE(module.moduleInfo, nullptr);
  EXPECT_EQ(module.moduleInfo->frameworks.GetCount(), 2);
}

// The reflection data of an interface as text: each slot's method with its parameters, outputs
// marked ">" and in/out parameters "<>".
std::string Reflection(const Id& interfaceId) {
  Record record;
  if (!FindRecord(RecordKind::INTERFACE, interfaceId, record) || record.interfaceInfo == nullptr) return "none";
  std::string text;
  for (const SlotInfo& slot : record.interfaceInfo->slots) {
    text += std::string(text.empty() ? "" : " ") + slot.method + "(";
    const char* separator = "";
    for (const ParameterInfo& parameter : slot.parameters) {
      const char* mark = parameter.direction == ParameterDirection::OUT     ? ">"
                         : parameter.direction == ParameterDirection::INOUT ? "<>"
                                                                            : "";
      text += std::string(separator) + mark + parameter.name;
      separator = " ";
    }
    text += ")";
  }
  return text;
}

// Every declared slot of every interface is published.
template <typename... Interfaces>
void ExpectEverySlotPublished() {
  for (const auto& [id, slotCount] : {std::pair{Interfaces::ID, Interfaces::SLOT_COUNT}...}) {
    Record record;
    ASSERT_TRUE(FindRecord(RecordKind::INTERFACE, id, record) && record.interfaceInfo != nullptr) << id.Text();
    EXPECT_EQ(record.interfaceInfo->slots.GetCount(), slotCount) << id.Text();
  }
}

TEST_F(LoadedModuleTest, PublishesEachInterfaceWithItsSlotsInOrder) {
  ExpectEverySlotPublished<ExactPredicates2DInterface, Delaunay3DInterface, SortOutlines2DInterface,
                           OutlineProcessingInterface, GeometryUtilsInterface, IntersectingOutlinesProcessingInterface,
                           ConvexHullInterface, Voronoi3DInterface>();
  EXPECT_EQ(Reflection(ExactPredicates2DInterface::ID),
            "Orient(pointA pointB pointC) InCircle(pointA pointB pointC testPoint) "
            "InTriangle(pointA pointB pointC testPoint) InSector(center rayA rayB testPoint) "
            "OutlineSelfIntersectionTest(outline) OutlinesIntersectionTest(outline1 outline2) "
            "OutlinesIntersectionTest(outlines)");
  EXPECT_EQ(Reflection(Delaunay3DInterface::ID),
            "Free(object) Alloc(allocLocation) CopyFrom(src resizeFlags) Init(workSpace) "
            "CalculateDelaunayTetrahedralization() IsInitialized() AddPointsIntoTetrahedralization(newPointsIn) "
            "AddPointIntoTetrahedralization(newPointIn) GetTetrahedrons(>arrayCount >pointCount) GetTetrahedrons() "
            "GetPointsToTetConnections() GetPoints() GetPointsWrite() GetTetrahedronCount() GetPointCount() Reset() "
            "OrientDet(planePointA planePointB planePointC testPoint) Flush() "
            "FindTetIndexContainingPoint(point >foundTetIndex <>onFace1 <>onFace2) "
            "FindTetContainingPoint(point >foundTetIndex)");
  const std::string geometryUtils = Reflection(GeometryUtilsInterface::ID);
  for (const char* slot : {"LinearRemapToRange(value from1 to1 from2 to2) GetAngle2D(direction1 direction2) ",
                           " Points3Dto2D(points normal <>basisVector0 <>basisVector1 >translate checkDegenerated "
                           ">outPoints computeBasis) Points3Dto2D(points normal checkDegenerated >outPoints) ",
                           " CleanLoop2DInPlace(<>outlinePoints maintainStart) ",
                           " CalculateBoundingBoxIndices(verts >minIdxX >maxIdxX >minIdxY >maxIdxY "
                           "findMostCounterClockwise)"})
    EXPECT_NE(geometryUtils.find(slot), std::string::npos) << slot;
}

// Every registered self-test passes. One of them calls through an interface: registering it changed
// the registry, so the lookup cache is cold and the call takes the registry lock, which the runner
// must not hold.
Result<void> SelfTestThroughInterface() {
  const Result<Float> inside = ExactPredicates2DInterface::InTriangle({0, 0}, {4, 0}, {0, 4}, {1, 1});
  if (!inside) return inside.GetError();
  if (inside.Value() != 1.0) return ZEMOX_ERROR(IllegalStateError, "@: wrong answer");
  return OK();
}

TEST_F(LoadedModuleTest, SelfTestsPassAndRunOutsideTheRegistryLock) {
  const Registration test({.kind = RecordKind::SELFTEST,
                           .id = "net.zemox.unittest.throughinterface",
                           .owner = UnitTestRegistry,
                           .selfTest = SelfTestThroughInterface});
  std::vector<std::string> outcomes;
  const Result<Int> failed = RunSelfTests(
      [](const Record& record, const Result<void>& outcome, void* context) {
        static_cast<std::vector<std::string>*>(context)->push_back(std::string(record.id.Text()) +
                                                                   (outcome ? " passed" : " failed"));
      },
      &outcomes);
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed.Value(), 0);
  EXPECT_NE(std::find(outcomes.begin(), outcomes.end(), "net.zemox.unittest.throughinterface passed"), outcomes.end());
}

// One call per interface and component class, reached through the loaded module's records; what
// each service answers is tested with the service itself.
TEST_F(LoadedModuleTest, EveryServiceAnswersThroughItsInterface) {
  EXPECT_EQ(GeometryUtilsInterface::LinearRemapToRange(5, 0, 10, 0, 100), 50.0);
  EXPECT_EQ(ExactPredicates2DInterface::InCircle({1, 0}, {0, 1}, {-1, 0}, {0, -1}), 0.0);
  const Vector2d bowTie[] = {{0, 0}, {1, 1}, {1, 0}, {0, 1}};
  EXPECT_TRUE(ExactPredicates2DInterface::OutlineSelfIntersectionTest({bowTie, 4}).Value());

  // A point in the middle of a cube of eight: its cell is the octahedron between the bisector planes,
  // and the hull of the nine is the cube.
  Vector points[9] = {{50, 50, 50}};
  for (int corner = 0; corner < 8; ++corner)
    points[corner + 1] = {corner & 1 ? 60.0 : 40.0, corner & 2 ? 60.0 : 40.0, corner & 4 ? 60.0 : 40.0};
  Result<Delaunay3DRef> delaunay = Delaunay3DRef::Create();
  ASSERT_TRUE(delaunay && delaunay.Value().Init({}) && delaunay.Value().AddPointsIntoTetrahedralization({points, 9}) &&
              delaunay.Value().CalculateDelaunayTetrahedralization());
  EXPECT_EQ(delaunay.Value().GetPointCount(), 13);
  Result<Voronoi3DRef> voronoi = Voronoi3DRef::Create();
  ASSERT_TRUE(voronoi && voronoi.Value().Init({}) && voronoi.Value().SetPoints({points, 9}) &&
              voronoi.Value().CalcCells());
  EXPECT_EQ(voronoi.Value().GetCellDataStructure()[0].vertices.GetCount(), 6);
  Result<ConvexHullRef> hull = ConvexHullRef::Create();
  ConvexHullRecord record;
  ASSERT_TRUE(hull && hull.Value().ComputeConvexHull({points, 9}, 0.0, 0.0, record));
  EXPECT_EQ(record.vertices.GetCount(), 8);

  const Vector2d nested[] = {{0, 0}, {4, 0}, {4, 4}, {0, 4}, {1, 1}, {2, 1}, {2, 2}, {1, 2}};
  const Int counts[] = {4, 4};
  for (const Id& classId : {SortOutlines2DExactClass, SortOutlines2DFastClass}) {
    Result<SortOutlines2DRef> sorter = CreateSortOutlines2D(classId);
    ASSERT_TRUE(sorter && sorter.Value()->Init({nested, 8}, {counts, 2}, 3)) << classId.Text();
    EXPECT_EQ(
        sorter.Value()->ToString(nullptr).Value().View(),
        "Number of valid polylines: 2\nPolyline 0. Nested polylines indices: 1.\nPolyline 1. No nested polylines.");
  }
  Result<IntersectingOutlinesProcessingRef> component =
      CreateIntersectingOutlinesProcessing(IntersectingOutlinesProcessingNonRobustClass);
  BaseArray<Vector2d> pieces;
  BaseArray<Int> pieceCounts;
  ASSERT_TRUE(component &&
              component.Value()->GetSimplePolygons({bowTie, 4}, true, pieces, pieceCounts, nullptr).Value());
  EXPECT_EQ(pieceCounts.GetCount(), 2);
  // A class of another interface, or none, is no component.
  EXPECT_FALSE(CreateIntersectingOutlinesProcessing(SortOutlines2DExactClass));
  EXPECT_FALSE(CreateSortOutlines2D("net.zemox.private_geom.sortoutlines2d.none"));
}

// The registered operations of a value type, looked up by identifier.
const DataTypeInfo& DataType(const Id& id) {
  Record record;
  EXPECT_TRUE(FindRecord(RecordKind::DATATYPE, id, record)) << id.Text();
  return *record.dataTypeInfo;
}

std::string Text(const DataTypeInfo& type, const void* value, const char* format = nullptr) {
  String text;
  EXPECT_TRUE(type.toText(text, value, format));
  return std::string(text.View());
}

TEST_F(LoadedModuleTest, PolygonValueTypesHashCompareAndPrintAsRegistered) {
  const DataTypeInfo& simple = DataType(SimplePolygon::ID);
  const DataTypeInfo& uvw = DataType(UVWPolygon::ID);
  SimplePolygon polygons[3];
  simple.construct(polygons, 3);
  EXPECT_EQ(Text(simple, &polygons[0]), "(0,0,0,0)");
  EXPECT_EQ(Text(simple, nullptr), "nullptr");
  polygons[1] = {1, 2, 3, 3};
  polygons[2] = {-1, 0, 7, 1 << 20};
  EXPECT_EQ(Text(simple, &polygons[1]), "(1,2,3,3)");
  // Hash values computed independently of this code base.
  EXPECT_EQ(simple.hash(&polygons[1]), 0x4f841b3fba1eb1e4u);
  EXPECT_EQ(simple.hash(&polygons[2]), 0xd271de21b01136c4u);
  simple.copy(polygons + 1, polygons, 2);  // overlapping: every value read before it is overwritten
  EXPECT_TRUE(simple.equal(&polygons[2], &polygons[0]) == false && polygons[2].a == 1 && polygons[1].a == 0);

  UVWPolygon negativeZero{{0.5, 1, 2}, {0, 0, 0}, {-0.0, 3, 1e300}, {1, 1, 1}};
  UVWPolygon positiveZero = negativeZero;
  positiveZero.c.x = 0.0;
  EXPECT_TRUE(uvw.equal(&negativeZero, &positiveZero));
  EXPECT_EQ(uvw.hash(&negativeZero), 0x23d033174f82d3bcu);
  EXPECT_EQ(uvw.hash(&positiveZero), 0x3cf6d4e5af80c8acu);
  UVWPolygon withNaN = positiveZero;
  withNaN.a.y = std::nan("");
  const UVWPolygon copy = withNaN;
  EXPECT_FALSE(uvw.equal(&withNaN, &copy));
  EXPECT_TRUE(uvw.equal(&withNaN, &withNaN));
  EXPECT_EQ(Text(uvw, &positiveZero), "((0.5,1,2),(0,0,0),(0,3,1e+300),(1,1,1))");
  EXPECT_EQ(Text(uvw, &positiveZero, "[@]").substr(0, 12), "(([0.5],[1],");

  const Int stops = CriticalStopCount();
  EXPECT_EQ(uvw.compare(&positiveZero, &negativeZero), COMPARERESULT::INCOMPARABLE);
  EXPECT_EQ(simple.compare(&polygons[0], &polygons[1]), COMPARERESULT::INCOMPARABLE);
  EXPECT_EQ(CriticalStopCount(), stops + 2);
  EXPECT_EQ(uvw.members[3].offset, 72);
  EXPECT_STREQ(simple.members[2].name, "c");
}

// Runs last in this file's order: after unloading, no record of the module remains and the
// interface reports that it has no implementation.
TEST(UnloadedModuleTest, LeavesNoRecordsAndInterfaceReportsNoImplementation) {
  const auto before = AllRecords();
  void* module = dlopen(ZEMOX_MODULE_PATH, RTLD_NOW | RTLD_LOCAL);
  ASSERT_NE(module, nullptr) << dlerror();
  EXPECT_GT(AllRecords().size(), before.size());
  ASSERT_EQ(dlclose(module), 0);

  Record record;
  EXPECT_FALSE(FindRecord(RecordKind::MODULE, moduleId, record));
  EXPECT_EQ(AllRecords(), before);
  EXPECT_TRUE(std::isnan(ExactPredicates2DInterface::Orient({0, 0}, {1, 0}, {0, 1})));
  const Vector2d square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  const Result<Bool> answer = ExactPredicates2DInterface::OutlineSelfIntersectionTest({square, 4});
  ASSERT_FALSE(answer);
  EXPECT_TRUE(answer.GetError().Is(IllegalStateError));
  EXPECT_EQ(answer.GetError().Message(),
            "OutlineSelfIntersectionTest: Interface net.zemox.interface.exactpredicates2d is not implemented.");
  const Result<Delaunay3DRef> instance = Delaunay3DRef::Create();
  ASSERT_FALSE(instance);
  EXPECT_TRUE(instance.GetError().Is(IllegalStateError));
}

}  // namespace
}  // namespace zemox
