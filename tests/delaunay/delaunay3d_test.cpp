#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "common/testscale.h"
#include "delaunay3d/delaunay3d_impl.h"
#include "exact_checks.h"
#include "geom/delaunay3d.h"
#include "portability.h"
#include "zemox/jobs.h"
#include "zemox/memory.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using testing::ExactOrient3d;
using testing::IsValidTetrahedralization;
using testing::ValidationOptions;

using Points = std::vector<Vector>;

Points Uniform(Int count, UInt seed, Float scale = 1.0, Vector centre = {}) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<Float> coordinate(-scale, scale);
  Points points;
  for (Int i = 0; i < count; ++i)
    points.push_back(centre + Vector{coordinate(random), coordinate(random), coordinate(random)});
  return points;
}

Points Clustered(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  const Points centres = Uniform(5, seed + 1, 10.0);
  std::normal_distribution<Float> spread(0.0, 0.05);
  Points points;
  for (Int i = 0; i < count; ++i)
    points.push_back(centres[i % 5] + Vector{spread(random), spread(random), spread(random)});
  return points;
}

// Integer points on the sphere x^2 + y^2 + z^2 = radiusSquared: exactly cospherical.
Points SphereLattice(Int radiusSquared) {
  Points points;
  const Int bound = static_cast<Int>(std::sqrt(static_cast<double>(radiusSquared))) + 1;
  for (Int x = -bound; x <= bound; ++x)
    for (Int y = -bound; y <= bound; ++y)
      for (Int z = -bound; z <= bound; ++z)
        if (x * x + y * y + z * z == radiusSquared)
          points.push_back({static_cast<Float>(x), static_cast<Float>(y), static_cast<Float>(z)});
  return points;
}

Points Grid(Int n, Float step = 1.0, Vector origin = {}) {
  Points points;
  for (Int z = 0; z < n; ++z)
    for (Int y = 0; y < n; ++y)
      for (Int x = 0; x < n; ++x) points.push_back(origin + Vector{x * step, y * step, z * step});
  return points;
}

// Random points on three parallel planes and one oblique plane with exactly representable heights.
Points Planes(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> coordinate(-512, 512);
  Points points;
  for (Int i = 0; i < count; ++i) {
    const Float x = coordinate(random) / 64.0;
    const Float y = coordinate(random) / 64.0;
    switch (i % 4) {
      case 0:
        points.push_back({x, y, -4.0});
        break;
      case 1:
        points.push_back({x, y, 0.0});
        break;
      case 2:
        points.push_back({x, y, 4.0});
        break;
      default:
        points.push_back({x, y, x + y});
        break;
    }
  }
  return points;
}

// Every point twice, and near-duplicates closer than the vertex tolerance.
Points Duplicated(Int count, UInt seed) {
  Points points = Uniform(count, seed);
  const Points copy = points;
  points.insert(points.end(), copy.begin(), copy.end());
  for (Int i = 0; i < count; i += 3) points.push_back(copy[i] + Vector{1e-5, -1e-5, 1e-5});
  return points;
}

Result<Delaunay3DRef> Tetrahedralize(const Points& points, const Box3D& workSpace = {}) {
  Delaunay3DRef ref = ZEMOX_TRY(Delaunay3DRef::Create());
  ZEMOX_TRY(ref.Init(workSpace));
  ZEMOX_TRY(ref.AddPointsIntoTetrahedralization({points.data(), static_cast<Int>(points.size())}));
  ZEMOX_TRY(ref.CalculateDelaunayTetrahedralization());
  return ref;
}

const Delaunay3DImpl& Impl(const Delaunay3DRef& ref) { return *static_cast<const Delaunay3DImpl*>(ref.GetObject()); }

::testing::AssertionResult Valid(const Delaunay3DRef& ref, const ValidationOptions& options = {}) {
  return IsValidTetrahedralization(ref.GetTetrahedrons(), ref.GetPoints(), ref.GetPointsToTetConnections(), options);
}

template <typename T>
bool SameContent(Block<const T> a, Block<const T> b) {
  return a.GetCount() == b.GetCount() && std::memcmp(a.GetFirst(), b.GetFirst(), sizeof(T) * a.GetCount()) == 0;
}

bool SameResult(const Delaunay3DRef& a, const Delaunay3DRef& b) {
  return SameContent(a.GetTetrahedrons(), b.GetTetrahedrons()) && SameContent(a.GetPoints(), b.GetPoints()) &&
         SameContent(a.GetPointsToTetConnections(), b.GetPointsToTetConnections());
}

std::string Message(const Error& error) { return std::string(error.Message()); }

// ---------------------------------------------------------------------------------------------
// Valid results on every kind of input

struct InputCase {
  const char* name;
  Points (*make)();
  // Which degenerate paths the input must take.
  bool needsFaceSplits;
  bool needsEdgeSplits;
  bool needsFlip44;
};

class Delaunay3DInputTest : public ::testing::TestWithParam<InputCase> {};

TEST_P(Delaunay3DInputTest, ResultIsAValidDelaunayTetrahedralization) {
  const Points points = GetParam().make();
  Result<Delaunay3DRef> result = Tetrahedralize(points);
  ASSERT_TRUE(result) << Message(result.GetError());
  const Delaunay3DRef& ref = result.Value();
  EXPECT_EQ(ref.GetPointCount(), static_cast<Int>(points.size()) + 4);
  ValidationOptions options;
  options.checkGlobally = points.size() <= 200;
  EXPECT_TRUE(Valid(ref, options));
  const Delaunay3DStatistics& statistics = Impl(ref).GetStatistics();
  if (GetParam().needsFaceSplits) {
    EXPECT_GT(statistics.splitFace, 0);
  }
  if (GetParam().needsEdgeSplits) {
    EXPECT_GT(statistics.splitEdge, 0);
  }
  if (GetParam().needsFlip44) {
    EXPECT_GT(statistics.flip44, 0);
  }
  EXPECT_GT(statistics.flip23, 0);
  std::printf("%s: %lld tetrahedra; splits 1-4 %lld, face %lld, edge %lld; flips 2-3 %lld, 3-2 %lld, 4-4 %lld\n",
              GetParam().name, static_cast<long long>(ref.GetTetrahedronCount()),
              static_cast<long long>(statistics.split14), static_cast<long long>(statistics.splitFace),
              static_cast<long long>(statistics.splitEdge), static_cast<long long>(statistics.flip23),
              static_cast<long long>(statistics.flip32), static_cast<long long>(statistics.flip44));
}

const InputCase inputCases[] = {
    {"Uniform", [] { return Uniform(SanitizerScaled(20000, 2000), 1); }, false, false, false},
    {"UniformSmall", [] { return Uniform(150, 2); }, false, false, false},
    {"Clustered", [] { return Clustered(SanitizerScaled(20000, 2000), 3); }, false, false, false},
    {"SphereLattice", [] { return SphereLattice(SanitizerScaled(2450, 425)); }, false, false, false},
    {"SphereRandom",
     [] {
       Points points = Uniform(SanitizerScaled(5000, 800), 4);
       for (Vector& p : points) p = p * (1.0 / Length(p));
       return points;
     },
     false, false, false},
    {"Grid5", [] { return Grid(5); }, false, false, true},
    {"Grid12", [] { return Grid(SanitizerScaled(12, 8)); }, false, false, true},
    {"Grid30", [] { return Grid(SanitizerScaled(30, 10)); }, false, false, true},
    {"GridFractionalStep", [] { return Grid(SanitizerScaled(15, 8), 0.1); }, false, false, false},
    {"Planes", [] { return Planes(SanitizerScaled(4000, 600), 5); }, true, true, true},
    {"Duplicates", [] { return Duplicated(SanitizerScaled(3000, 400), 6); }, false, false, false},
    {"GridAtMinus1000",
     [] {
       return Grid(SanitizerScaled(12, 8), 1.0, {-1005.5, -1005.5, -1005.5});
     },
     false, false, false},
    {"CloudAtMinus1000",
     [] {
       return Uniform(SanitizerScaled(10000, 1500), 7, 10.0, {-1000, -1000, -1000});
     },
     false, false, false},
    // Corner maxima negative on one axis only: the in-sphere static filter is negative as well.
    {"FineGridMixedSigns",
     [] {
       return Grid(SanitizerScaled(20, 8), 0.01, {-1000.1, 500.0, 500.0});
     },
     false, false, true},
    {"FineGridAtMinus1000",
     [] {
       return Grid(SanitizerScaled(20, 8), 0.01, {-1000.1, -1000.1, -1000.1});
     },
     false, false, true},
    {"GridAtPlus1000",
     [] {
       return Grid(SanitizerScaled(12, 8), 1.0, {994.5, 994.5, 994.5});
     },
     false, false, false},
};

INSTANTIATE_TEST_SUITE_P(Inputs, Delaunay3DInputTest, ::testing::ValuesIn(inputCases),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Edge cases of the insertion

Result<Delaunay3DRef> Initialized() {
  Delaunay3DRef ref = ZEMOX_TRY(Delaunay3DRef::Create());
  ZEMOX_TRY(ref.Init(Box3D{}));
  return ref;
}

TEST(Delaunay3DTest, FewerThanFivePointsLeaveOnlyTheEnclosingTetrahedron) {
  Result<Delaunay3DRef> result = Initialized();
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  EXPECT_TRUE(ref.IsInitialized());
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  Int arrayCount = -1, pointCount = -1;
  const Block<const Tetrahedron> tets = ref.GetTetrahedrons(arrayCount, pointCount);
  EXPECT_EQ(arrayCount, 1);
  EXPECT_EQ(pointCount, 4);
  ASSERT_EQ(tets.GetCount(), 1);
  const Tetrahedron expected(0, 1, 2, 3, -1, -1, -1, -1);
  EXPECT_EQ(std::memcmp(&tets[0], &expected, sizeof(Tetrahedron)), 0);
}

// The corners are those of a regular tetrahedron around the bounding sphere, scaled by 1.1 /
// -0.3333330225: for bounds from (0, 0, 0) to (2, 2, 2), centre 1 and radius sqrt(3).
TEST(Delaunay3DTest, FivePointsGiveFourTetrahedraAroundTheCorners) {
  Box3D workSpace;
  workSpace.min = {0, 0, 0};
  workSpace.max = {2, 2, 2};
  const Points points = {{0.5, 0.75, 1.25}};
  Result<Delaunay3DRef> result = Tetrahedralize(points, workSpace);
  ASSERT_TRUE(result) << Message(result.GetError());
  const Delaunay3DRef& ref = result.Value();
  EXPECT_EQ(ref.GetTetrahedronCount(), 4);
  ValidationOptions options;
  options.checkGlobally = true;
  EXPECT_TRUE(Valid(ref, options));
  const Float f = 1.1 * (std::sqrt(3.0) / -0.3333330225);
  const Vector corner0{1 + 0.816497 * f, 1, 1 - 0.57735 * f};
  const Vector corner3{1, 1 - 0.816497 * f, 1 + 0.57735 * f};
  EXPECT_EQ(ref.GetPoints()[0], corner0);
  EXPECT_EQ(ref.GetPoints()[3], corner3);
  EXPECT_EQ(ref.GetPoints()[4], points[0]);
  for (Int32 entry : ref.GetPointsToTetConnections()) EXPECT_NE(entry, -1);
}

TEST(Delaunay3DTest, DuplicateAndNearDuplicatePointsAreSkipped) {
  const Points base = Uniform(50, 11);
  Result<Delaunay3DRef> single = Tetrahedralize(base);
  Points doubled = base;
  doubled.push_back(base[7]);
  doubled.push_back(base[9] + Vector{2e-4, 0, 0});
  Result<Delaunay3DRef> result = Tetrahedralize(doubled);
  ASSERT_TRUE(single && result);
  const Delaunay3DRef& ref = result.Value();
  EXPECT_EQ(ref.GetTetrahedronCount(), single.Value().GetTetrahedronCount());
  // Points are inserted newest first, so the copies win and the originals are the ones skipped.
  EXPECT_EQ(ref.GetPointsToTetConnections()[4 + 7], -1);
  EXPECT_EQ(ref.GetPointsToTetConnections()[4 + 9], -1);
  EXPECT_NE(ref.GetPointsToTetConnections()[4 + 50], -1);
  EXPECT_TRUE(Valid(ref));
}

// Points on a coarse integer lattice (multiples of 4), so that face and edge points of inner
// tetrahedra have exact coordinates.
Points Lattice(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> coordinate(0, 100);
  Points points;
  for (Int i = 0; i < count; ++i)
    points.push_back({4.0 * coordinate(random), 4.0 * coordinate(random), 4.0 * coordinate(random)});
  return points;
}

// An inner tetrahedron (all vertices input points) and the first of its faces.
Int32 InnerTetrahedron(const Delaunay3DRef& ref) {
  const Block<const Tetrahedron> tets = ref.GetTetrahedrons();
  for (Int32 i = 0; i < tets.GetCount(); ++i)
    if (std::min({tets[i].v[0], tets[i].v[1], tets[i].v[2], tets[i].v[3]}) >= 4) return i;
  return -1;
}

Int CountAround(const Delaunay3DRef& ref, Int32 a, Int32 b) {
  Int count = 0;
  for (const Tetrahedron& tet : ref.GetTetrahedrons()) count += tet.HasVertex(a) && tet.HasVertex(b);
  return count;
}

struct SplitCase {
  const char* name;
  bool onEdge;
};

class Delaunay3DSplitTest : public ::testing::TestWithParam<SplitCase> {};

// A point inside a face turns two tetrahedra into six (net +4), a point inside an edge shared by k
// tetrahedra turns them into 2k; the flips that follow change the count by +1 (2-3) and -1 (3-2).
TEST_P(Delaunay3DSplitTest, SplitAddsTheExpectedTetrahedra) {
  Result<Delaunay3DRef> result = Tetrahedralize(Lattice(60, 12));
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  const Int32 inner = InnerTetrahedron(ref);
  ASSERT_NE(inner, -1);
  const Tetrahedron tet = ref.GetTetrahedrons()[inner];
  const Block<const Vector> points = ref.GetPoints();
  const Vector& a = points[tet.v[0]];
  const Vector& b = points[tet.v[1]];
  const Vector& c = points[tet.v[2]];
  const Vector added = GetParam().onEdge ? (a + b) * 0.5 : (a + b + c * 2.0) * 0.25;
  ASSERT_EQ(ExactOrient3d(a, b, c, added), 0);

  Int32 found = -1, onFace1 = -1, onFace2 = -1;
  Result<Bool> located = ref.FindTetIndexContainingPoint(added, found, onFace1, onFace2);
  ASSERT_TRUE(located && located.Value());
  EXPECT_TRUE(ref.GetTetrahedrons()[found].HasVertex(tet.v[0]));
  EXPECT_NE(onFace1, -1);
  EXPECT_EQ(onFace2 != -1, GetParam().onEdge);

  const Int before = ref.GetTetrahedronCount();
  const Int ring = CountAround(ref, tet.v[0], tet.v[1]);
  const Delaunay3DStatistics previous = Impl(ref).GetStatistics();
  ASSERT_TRUE(ref.AddPointIntoTetrahedralization(added));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  const Delaunay3DStatistics& now = Impl(ref).GetStatistics();
  EXPECT_EQ(now.splitEdge - previous.splitEdge, GetParam().onEdge ? 1 : 0);
  EXPECT_EQ(now.splitFace - previous.splitFace, GetParam().onEdge ? 0 : 1);
  const Int flips = (now.flip23 - previous.flip23) - (now.flip32 - previous.flip32);
  EXPECT_EQ(ref.GetTetrahedronCount() - before - flips, GetParam().onEdge ? ring : 4);
  ValidationOptions options;
  options.requireVertexEntries = false;
  EXPECT_TRUE(Valid(ref, options));
}

INSTANTIATE_TEST_SUITE_P(Splits, Delaunay3DSplitTest,
                         ::testing::Values(SplitCase{"Face", false}, SplitCase{"Edge", true}),
                         [](const ::testing::TestParamInfo<SplitCase>& info) { return std::string(info.param.name); });

// Right after a second add every entry but the corners' is -1; the second calculation sets the
// entries of the points it inserts.
TEST(Delaunay3DTest, SecondBatchIsInsertedIntoTheFirst) {
  const Points first = Uniform(SanitizerScaled(3000, 500), 13);
  const Points second = Uniform(SanitizerScaled(2000, 300), 14, 0.9);
  Result<Delaunay3DRef> result = Tetrahedralize(first);
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization({second.data(), static_cast<Int>(second.size())}));
  const Block<const Int32> table = ref.GetPointsToTetConnections();
  for (Int i = 0; i < table.GetCount(); ++i) EXPECT_EQ(table[i], i < 4 ? 0 : -1) << i;
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  ValidationOptions options;
  options.requireVertexEntries = false;
  options.checkCornerEntries = false;
  EXPECT_TRUE(Valid(ref, options));
  const Int firstSecond = 4 + static_cast<Int>(first.size());
  for (Int i = firstSecond; i < ref.GetPointCount(); ++i) EXPECT_NE(ref.GetPointsToTetConnections()[i], -1) << i;
}

// A second batch that grows the bounds moves the corners under the existing tetrahedra, which were
// Delaunay for the old corners only; the flips repair faces around the new points alone. The
// result keeps its structure (positive tetrahedra, symmetric links, filled volume) but faces away
// from the new points may fail the in-sphere test.
TEST(Delaunay3DTest, SecondBatchBeyondTheBoundsKeepsItsStructure) {
  Result<Delaunay3DRef> result = Tetrahedralize(Uniform(SanitizerScaled(2000, 300), 15));
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  const Points wider = Uniform(SanitizerScaled(500, 100), 16, 3.0);
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization({wider.data(), static_cast<Int>(wider.size())}));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  ValidationOptions options;
  options.requireVertexEntries = false;
  options.checkCornerEntries = false;
  options.checkDelaunay = false;
  EXPECT_TRUE(Valid(ref, options));
}

TEST(Delaunay3DTest, SinglePointAddsMatchOneBatch) {
  const Points points = Uniform(SanitizerScaled(1000, 200), 17);
  Result<Delaunay3DRef> batch = Tetrahedralize(points);
  Result<Delaunay3DRef> result = Initialized();
  ASSERT_TRUE(batch && result);
  Delaunay3DRef& ref = result.Value();
  for (const Vector& point : points) ASSERT_TRUE(ref.AddPointIntoTetrahedralization(point));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(Valid(ref));
  EXPECT_TRUE(SameResult(ref, batch.Value()));
}

// With a work space that covers the points the corners never move while points arrive one by one.
TEST(Delaunay3DTest, PointsAddedAndInsertedOneAtATimeStayValid) {
  Result<Delaunay3DRef> result = Delaunay3DRef::Create();
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  Box3D workSpace;
  workSpace.min = {0, 0, 0};
  workSpace.max = {400, 400, 400};
  ASSERT_TRUE(ref.Init(workSpace));
  for (const Vector& point : Lattice(SanitizerScaled(300, 80), 18)) {
    ASSERT_TRUE(ref.AddPointIntoTetrahedralization(point));
    ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  }
  ValidationOptions options;
  options.requireVertexEntries = false;
  options.checkGlobally = true;
  EXPECT_TRUE(Valid(ref, options));
}

// Without a work space the bounds of a lone first point have no extent: the four corners collapse
// onto it, so it coincides with a vertex and is skipped for good. Later points grow the bounds and
// are inserted; the result stays valid but lacks the first point.
TEST(Delaunay3DTest, LoneFirstPointWithoutWorkSpaceIsSkipped) {
  Result<Delaunay3DRef> result = Initialized();
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  const Points points = Lattice(20, 29);
  ASSERT_TRUE(ref.AddPointIntoTetrahedralization(points[0]));
  EXPECT_EQ(ref.GetPoints()[0], points[0]);
  EXPECT_EQ(ref.GetPoints()[3], points[0]);
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_EQ(ref.GetTetrahedronCount(), 1);
  EXPECT_EQ(ref.GetPointsToTetConnections()[4], -1);
  for (Int i = 1; i < 20; ++i) {
    ASSERT_TRUE(ref.AddPointIntoTetrahedralization(points[i]));
    ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  }
  ValidationOptions options;
  options.firstAddedPoint = 5;
  options.requireVertexEntries = false;
  EXPECT_TRUE(Valid(ref, options));
  for (const Tetrahedron& tet : ref.GetTetrahedrons()) EXPECT_FALSE(tet.HasVertex(4));
}

// ---------------------------------------------------------------------------------------------
// Point location

TEST(Delaunay3DTest, LocatesCentroidsVerticesAndFarPoints) {
  Result<Delaunay3DRef> result = Tetrahedralize(Uniform(SanitizerScaled(2000, 300), 19));
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  const Block<const Tetrahedron> tets = ref.GetTetrahedrons();
  const Block<const Vector> points = ref.GetPoints();
  for (Int32 i = 0; i < tets.GetCount(); i += 7) {
    const Tetrahedron& tet = tets[i];
    const Vector centroid = (points[tet.v[0]] + points[tet.v[1]] + points[tet.v[2]] + points[tet.v[3]]) * 0.25;
    Int32 found = -1, onFace1 = -1, onFace2 = -1;
    Result<Bool> located = ref.FindTetIndexContainingPoint(centroid, found, onFace1, onFace2);
    ASSERT_TRUE(located && located.Value()) << i;
    EXPECT_EQ(found, i);
    EXPECT_EQ(onFace1, -1);
    Int32 walked = -1;
    Result<Bool> walk = ref.FindTetContainingPoint(centroid, walked);
    ASSERT_TRUE(walk && walk.Value());
    EXPECT_EQ(walked, i);
  }
  Int32 found = -1, onFace1 = -1, onFace2 = -1;
  Result<Bool> vertex = ref.FindTetIndexContainingPoint(points[10], found, onFace1, onFace2);
  ASSERT_TRUE(vertex);
  EXPECT_FALSE(vertex.Value());
  EXPECT_TRUE(ref.GetTetrahedrons()[found].HasVertex(10));
  Result<Bool> far = ref.FindTetIndexContainingPoint(Vector{1e9, 1e9, 1e9}, found, onFace1, onFace2);
  ASSERT_TRUE(far);
  EXPECT_FALSE(far.Value());
  // The simpler walk stops on the outer face it cannot cross and reports that tetrahedron.
  Int32 walked = -1;
  Result<Bool> farWalk = ref.FindTetContainingPoint(Vector{1e9, 1e9, 1e9}, walked);
  ASSERT_TRUE(farWalk && farWalk.Value());
  EXPECT_NE(tets[walked].GetNeighborSlot(-1), -1);
  EXPECT_GT(ref.OrientDet(points[tets[0].v[0]], points[tets[0].v[1]], points[tets[0].v[2]], points[tets[0].v[3]]), 0.0);
}

// ---------------------------------------------------------------------------------------------
// Errors, cancellation, memory

TEST(Delaunay3DTest, CallsInTheWrongStateFailWithoutHarm) {
  Result<Delaunay3DRef> created = Delaunay3DRef::Create();
  ASSERT_TRUE(created);
  Delaunay3DRef& ref = created.Value();
  EXPECT_FALSE(ref.IsInitialized());
  const Vector point{1, 2, 3};
  Result<void> early = ref.AddPointIntoTetrahedralization(point);
  ASSERT_FALSE(early);
  EXPECT_TRUE(early.GetError().Is(IllegalStateError));
  EXPECT_EQ(Message(early.GetError()),
            "AddPointIntoTetrahedralization: The tetrahedralization is not initialized; call Init first.");
  EXPECT_FALSE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_FALSE(ref.Reset());
  Int32 found = -1;
  EXPECT_FALSE(ref.FindTetContainingPoint(point, found));
  EXPECT_EQ(ref.GetTetrahedronCount(), 0);
  EXPECT_EQ(ref.GetTetrahedrons().GetCount(), 0);

  ASSERT_TRUE(ref.Init(Box3D{}));
  ref.Flush();
  EXPECT_EQ(ref.GetTetrahedronCount(), 0);
  EXPECT_EQ(ref.GetPointCount(), 0);
  EXPECT_TRUE(ref.IsInitialized());
  Result<void> flushed = ref.AddPointsIntoTetrahedralization({&point, 1});
  ASSERT_FALSE(flushed);
  EXPECT_TRUE(flushed.GetError().Is(IllegalStateError));
  EXPECT_EQ(Message(flushed.GetError()),
            "AddPointsIntoTetrahedralization: The tetrahedralization was flushed; call Reset or Init before using it "
            "again.");
  ASSERT_TRUE(ref.Reset());
  const Points points = Uniform(100, 20);
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization({points.data(), 100}));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(Valid(ref));
}

TEST(Delaunay3DTest, NonFiniteInputIsRefusedAndChangesNothing) {
  Result<Delaunay3DRef> result = Tetrahedralize(Uniform(100, 21));
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  const Int tetrahedronCount = ref.GetTetrahedronCount();
  Points bad = Uniform(5, 22);
  bad[3].y = std::numeric_limits<Float>::quiet_NaN();
  Result<void> nan = ref.AddPointsIntoTetrahedralization({bad.data(), 5});
  ASSERT_FALSE(nan);
  EXPECT_TRUE(nan.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(Message(nan.GetError()), "AddPointsIntoTetrahedralization: Point 3 has a non-finite coordinate.");
  Result<void> infinite = ref.AddPointIntoTetrahedralization(Vector{0, std::numeric_limits<Float>::infinity(), 0});
  ASSERT_FALSE(infinite);
  EXPECT_EQ(Message(infinite.GetError()), "AddPointIntoTetrahedralization: The point has a non-finite coordinate.");
  Box3D infiniteBox;
  infiniteBox.max.x = std::numeric_limits<Float>::infinity();
  EXPECT_FALSE(ref.Init(infiniteBox));
  Int32 found = -1;
  EXPECT_FALSE(ref.FindTetContainingPoint(bad[3], found));
  // An empty add is a no-op.
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization({}));
  EXPECT_EQ(ref.GetPointCount(), 104);
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_EQ(ref.GetTetrahedronCount(), tetrahedronCount);
  EXPECT_TRUE(Valid(ref));
}

TEST(Delaunay3DTest, CancelledJobStopsTheCalculation) {
  const Points points = Uniform(500, 23);
  Result<Delaunay3DRef> result = Initialized();
  ASSERT_TRUE(result);
  Delaunay3DRef& ref = result.Value();
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization({points.data(), 500}));
  Result<void> outcome = OK();
  {
    JobGroup group;
    ASSERT_TRUE(group.Add([&] { outcome = ref.CalculateDelaunayTetrahedralization(); }));
    group.Cancel();
    ASSERT_TRUE(group.Start());
    group.Wait();
  }
  ASSERT_FALSE(outcome);
  EXPECT_TRUE(outcome.GetError().Is(ThreadCancelledError));
  EXPECT_EQ(ref.GetTetrahedronCount(), 1);
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(Valid(ref));
}

// Every allocation of a whole run fails in turn: each failure is reported as out-of-memory, and a
// Reset then brings the object back to a state from which a full run succeeds.
TEST(Delaunay3DTest, AllocationFailuresAreReportedAndRecoverable) {
  const Points points = Uniform(SanitizerScaled(300, 120), 24);
  const Block<const Vector> input{points.data(), static_cast<Int>(points.size())};
  Result<Delaunay3DRef> reference = Tetrahedralize(points);
  ASSERT_TRUE(reference);
  Int failures = 0;
  for (Int k = 1;; ++k) {
    Result<Delaunay3DRef> created = Delaunay3DRef::Create();
    ASSERT_TRUE(created);
    Delaunay3DRef& ref = created.Value();
    FailAllocationAfter(k);
    Result<void> run = ref.Init(Box3D{});
    if (run) run = ref.AddPointsIntoTetrahedralization(input);
    if (run) run = ref.CalculateDelaunayTetrahedralization();
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    if (run) {
      EXPECT_FALSE(delivered);
      EXPECT_TRUE(SameResult(ref, reference.Value()));
      break;
    }
    ++failures;
    EXPECT_TRUE(run.GetError().Is(OutOfMemoryError)) << k << ": " << run.GetError().Class().Text();
    if (ref.IsInitialized()) {
      ASSERT_TRUE(ref.Reset()) << k;
    } else {
      ASSERT_TRUE(ref.Init(Box3D{})) << k;
    }
    ASSERT_TRUE(ref.AddPointsIntoTetrahedralization(input)) << k;
    ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization()) << k;
    EXPECT_TRUE(SameResult(ref, reference.Value())) << k;
  }
  EXPECT_GT(failures, 3);
}

// ---------------------------------------------------------------------------------------------
// Copies, determinism, threads

TEST(Delaunay3DTest, CopyIsEqualAndIndependent) {
  Result<Delaunay3DRef> source = Tetrahedralize(Uniform(SanitizerScaled(2000, 300), 25));
  Result<Delaunay3DRef> copy = Delaunay3DRef::Create();
  ASSERT_TRUE(source && copy);
  ASSERT_TRUE(copy.Value().CopyFrom(source.Value()));
  EXPECT_TRUE(SameResult(copy.Value(), source.Value()));
  EXPECT_TRUE(copy.Value().IsInitialized());
  const Points more = Uniform(200, 26, 0.5);
  ASSERT_TRUE(source.Value().AddPointsIntoTetrahedralization({more.data(), 200}));
  ASSERT_TRUE(source.Value().CalculateDelaunayTetrahedralization());
  EXPECT_EQ(copy.Value().GetPointCount(), SanitizerScaled(2000, 300) + 4);
  EXPECT_TRUE(Valid(copy.Value()));
  // The copy carries on by itself and reaches the same result as the source.
  ASSERT_TRUE(copy.Value().AddPointsIntoTetrahedralization({more.data(), 200}));
  ASSERT_TRUE(copy.Value().CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(SameResult(copy.Value(), source.Value()));
}

TEST(Delaunay3DTest, SameInputGivesSameOutput) {
  const Points points = Clustered(SanitizerScaled(5000, 500), 27);
  Result<Delaunay3DRef> first = Tetrahedralize(points);
  Result<Delaunay3DRef> second = Tetrahedralize(points);
  ASSERT_TRUE(first && second);
  EXPECT_TRUE(SameResult(first.Value(), second.Value()));
}

// A fingerprint of the whole result (tetrahedra, index for index, and the point-to-tetrahedron
// table): speed work on the insertion must not change which tetrahedron lands at which index.
UInt Fingerprint(const Delaunay3DRef& ref) {
  UInt hash = 14695981039346656037ull;
  auto mix = [&hash](Int32 value) {
    for (int byte = 0; byte < 4; ++byte) {
      hash ^= (static_cast<UInt32>(value) >> (8 * byte)) & 0xffu;
      hash *= 1099511628211ull;
    }
  };
  for (const Tetrahedron& tet : ref.GetTetrahedrons()) {
    for (Int32 vertex : tet.v) mix(vertex);
    for (Int32 neighbor : tet.n) mix(neighbor);
  }
  for (Int32 entry : ref.GetPointsToTetConnections()) mix(entry);
  return hash;
}

struct FingerprintCase {
  const char* name;
  Points (*make)();
  UInt fingerprint;
};

class Delaunay3DFingerprintTest : public ::testing::TestWithParam<FingerprintCase> {};

TEST_P(Delaunay3DFingerprintTest, ResultIsTheRecordedOne) {
  Result<Delaunay3DRef> result = Tetrahedralize(GetParam().make());
  ASSERT_TRUE(result) << Message(result.GetError());
  EXPECT_EQ(Fingerprint(result.Value()), GetParam().fingerprint) << std::hex << Fingerprint(result.Value());
}

const FingerprintCase fingerprintCases[] = {
    {"Uniform", [] { return Uniform(20000, 31); }, 0x21da55ec6a86eaa9},
    {"Clustered", [] { return Clustered(5000, 32); }, 0x391f3968b59a50cb},
    {"Grid12", [] { return Grid(12); }, 0x402f9a18f2b36635},
    {"Planes", [] { return Planes(4000, 33); }, 0xe25a888a52780790},
    {"Duplicates", [] { return Duplicated(2000, 34); }, 0x72a66b470bfa0579},
};

INSTANTIATE_TEST_SUITE_P(Recorded, Delaunay3DFingerprintTest, ::testing::ValuesIn(fingerprintCases),
                         [](const ::testing::TestParamInfo<FingerprintCase>& info) {
                           return std::string(info.param.name);
                         });

// Each instance has its own predicate context, so two tetrahedralisations with very different
// coordinate ranges can run at once and give what they give alone.
TEST(Delaunay3DTest, TwoInstancesRunConcurrently) {
  const Points cloud = Uniform(SanitizerScaled(20000, 2000), 28, 1000.0);
  const Points grid = Grid(SanitizerScaled(14, 7), 0.001);
  Result<Delaunay3DRef> serialCloud = Tetrahedralize(cloud);
  Result<Delaunay3DRef> serialGrid = Tetrahedralize(grid);
  ASSERT_TRUE(serialCloud && serialGrid);
  for (int round = 0; round < 3; ++round) {
    std::optional<Result<Delaunay3DRef>> parallelCloud;
    std::optional<Result<Delaunay3DRef>> parallelGrid;
    std::thread first([&] { parallelCloud.emplace(Tetrahedralize(cloud)); });
    std::thread second([&] { parallelGrid.emplace(Tetrahedralize(grid)); });
    first.join();
    second.join();
    ASSERT_TRUE(*parallelCloud && *parallelGrid);
    EXPECT_TRUE(SameResult(parallelCloud->Value(), serialCloud.Value()));
    EXPECT_TRUE(SameResult(parallelGrid->Value(), serialGrid.Value()));
  }
  EXPECT_TRUE(Valid(serialCloud.Value()));
  EXPECT_TRUE(Valid(serialGrid.Value()));
}

}  // namespace
}  // namespace zemox
