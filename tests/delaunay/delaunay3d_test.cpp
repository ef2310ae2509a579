#include <gtest/gtest.h>
#include <malloc.h>

#include <algorithm>
#include <atomic>
#include <cfloat>
#include <chrono>
#include <cmath>
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

namespace zemox {
namespace {

using testing::ExactOrient3d;
using testing::IsValidTetrahedralization;

using Points = std::vector<Vector>;

Points Uniform(Int count, UInt seed, Float scale = 1.0, Vector centre = {}) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<Float> coordinate(-scale, scale);
  Points points;
  for (Int i = 0; i < count; ++i)
    points.push_back(centre + Vector{coordinate(random), coordinate(random), coordinate(random)});
  return points;
}

// Integer points on the sphere x^2 + y^2 + z^2 = radiusSquared: exactly cospherical.
Points Grid(Int n, Float step = 1.0, Vector origin = {}) {
  Points points;
  for (Int z = 0; z < n; ++z)
    for (Int y = 0; y < n; ++y)
      for (Int x = 0; x < n; ++x) points.push_back(origin + Vector{x * step, y * step, z * step});
  return points;
}

// Integer points on the sphere x^2 + y^2 + z^2 = radiusSquared: exactly cospherical.
Points SphereLattice(Int radiusSquared) {
  const Float bound = std::floor(std::sqrt(static_cast<Float>(radiusSquared))) + 1;
  Points points = Grid(static_cast<Int>(2 * bound) + 1, 1.0, Vector{-bound, -bound, -bound});
  std::erase_if(points, [&](const Vector& p) { return Dot(p, p) != static_cast<Float>(radiusSquared); });
  return points;
}

// Random points on three parallel planes and one oblique plane with exactly representable heights.
Points Planes(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  std::uniform_int_distribution<int> coordinate(-512, 512);
  Points points;
  const Float heights[] = {-4.0, 0.0, 4.0};
  for (Int i = 0; i < count; ++i) {
    const Float x = coordinate(random) / 64.0;
    const Float y = coordinate(random) / 64.0;
    points.push_back({x, y, i % 4 == 3 ? x + y : heights[i % 4]});
  }
  return points;
}

// Points on a sphere, each rounded to doubles: nearly cospherical.
Points Sphere(Int count, UInt seed, Float radius, Vector centre) {
  Points points = Uniform(count, seed);
  for (Vector& point : points) point = centre + point * (radius / Length(point));
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

Box3D Cube(Float min, Float max) { return {{min, min, min}, {max, max, max}}; }

Block<const Vector> View(const Points& points) { return {points.data(), static_cast<Int>(points.size())}; }

Result<Delaunay3DRef> Tetrahedralize(const Points& points, const Box3D& workSpace = {}) {
  Delaunay3DRef ref = ZEMOX_TRY(Delaunay3DRef::Create());
  ZEMOX_TRY(ref.Init(workSpace));
  ZEMOX_TRY(ref.AddPointsIntoTetrahedralization(View(points)));
  ZEMOX_TRY(ref.CalculateDelaunayTetrahedralization());
  return ref;
}

::testing::AssertionResult Valid(const Delaunay3DRef& ref, Bool laterBatch = false) {
  return IsValidTetrahedralization(ref.GetTetrahedrons(), ref.GetPoints(), ref.GetPointsToTetConnections(), laterBatch);
}

template <typename T>
bool SameContent(Block<const T> a, Block<const T> b) {
  return a.GetCount() == b.GetCount() && std::memcmp(a.GetFirst(), b.GetFirst(), sizeof(T) * a.GetCount()) == 0;
}

bool SameResult(const Delaunay3DRef& a, const Delaunay3DRef& b) {
  return SameContent(a.GetTetrahedrons(), b.GetTetrahedrons()) && SameContent(a.GetPoints(), b.GetPoints()) &&
         SameContent(a.GetPointsToTetConnections(), b.GetPointsToTetConnections());
}

struct InputCase {
  std::string name;
  Points points;
  // The input must take the face and edge splits and the 4-4 flips, the degenerate paths.
  bool takesDegeneratePaths = false;
};

class Delaunay3DInputTest : public ::testing::TestWithParam<InputCase> {};

// A valid tetrahedralisation whose walks locate the centroid of a tetrahedron in it and a far point
// outside every tetrahedron.
TEST_P(Delaunay3DInputTest, ResultIsAValidDelaunayTetrahedralizationThatLocatesPoints) {
  const Points& points = GetParam().points;
  Result<Delaunay3DRef> result = Tetrahedralize(points);
  ASSERT_TRUE(result) << result.GetError().Message();
  Delaunay3DRef& ref = result.Value();
  EXPECT_EQ(ref.GetPointCount(), static_cast<Int>(points.size()) + 4);
  EXPECT_TRUE(Valid(ref));
  const Delaunay3DStatistics& taken = static_cast<const Delaunay3DImpl*>(ref.GetObject())->GetStatistics();
  EXPECT_TRUE(!GetParam().takesDegeneratePaths || (taken.splitFace > 0 && taken.splitEdge > 0 && taken.flip44 > 0));
  // The storage reserved for the insertions is released; only the tetrahedra stay.
  const Block<const Tetrahedron> tets = ref.GetTetrahedrons();
  EXPECT_LE(malloc_usable_size(const_cast<Tetrahedron*>(tets.GetFirst())),
            tets.GetCount() * sizeof(Tetrahedron) + 4096);
  const Block<const Vector> p = ref.GetPoints();
  Int32 found = -1, onFace1 = -1, onFace2 = -1, walked = -1;
  for (Int32 i = 0; i < tets.GetCount(); i += 7) {
    const Vector centroid = (p[tets[i].v[0]] + p[tets[i].v[1]] + p[tets[i].v[2]] + p[tets[i].v[3]]) * 0.25;
    EXPECT_TRUE(ref.FindTetIndexContainingPoint(centroid, found, onFace1, onFace2).Value() && found == i) << i;
    EXPECT_TRUE(ref.FindTetContainingPoint(centroid, walked).Value() && walked == i) << i;
    EXPECT_EQ(onFace1, -1);
  }
  EXPECT_FALSE(ref.FindTetIndexContainingPoint(Vector{1e9, 1e9, 1e9}, found, onFace1, onFace2).Value());
  // The simpler walk stops on the outer face it cannot cross and reports that tetrahedron.
  EXPECT_TRUE(ref.FindTetContainingPoint(Vector{1e9, 1e9, 1e9}, walked).Value());
  EXPECT_NE(tets[walked].GetNeighborSlot(-1), -1);
}

std::vector<InputCase> InputCases() {
  std::vector<InputCase> cases = {
      {"Uniform", Uniform(SanitizerScaled(20000, 2000), 1)},
      {"SphereLattice", SphereLattice(SanitizerScaled(2450, 425))},
      {"Planes", Planes(SanitizerScaled(4000, 600), 5), true},
      {"Duplicates", Duplicated(SanitizerScaled(3000, 400), 6)},
      {"FineGridMixedSigns", Grid(SanitizerScaled(20, 8), 0.01, {-1000.1, 500.0, 500.0})},
      // Five points within rounding error of one sphere around (-3, -3, -3): the rounded in-sphere
      // determinant of one face has the wrong sign.
      {"RoundedInSphereSign",
       {{-0x1.a6f23300e7f8p+1, -0x1.787a2a653a5e8p+1, -0x1.b239c019b7cf2p+1},
        {-0x1.64c42120d74e2p+1, -0x1.b52f3278cbb19p+1, -0x1.69122bfc75e52p+1},
        {-0x1.91b4461542d45p+1, -0x1.49b189a4d02fcp+1, -0x1.9cde3abf1570dp+1},
        {-0x1.618c13b44a64dp+1, -0x1.7316b3daf0c3fp+1, -0x1.b6ca310858343p+1},
        {-0x1.5518d3bfc77e8p+1, -0x1.78ecbeff7e96dp+1, -0x1.510a27fa24d99p+1}}},
      // Without a work space the lone point still gets an enclosing tetrahedron of positive size, so it
      // is no corner: it splits that tetrahedron.
      {"OnePoint", {{2, 3, 4}}},
  };
  // Nearly cospherical points leave many in-sphere tests to the exact stages. Centred in every octant
  // at several distances from the origin, they check that the static filter, which trusts a rounded
  // determinant above its bound, bounds the error for negative and mixed-sign coordinates too.
  for (int octant = 0; octant < 16; ++octant) {
    auto axis = [&](int bit) { return ((octant & bit) != 0 ? -3.0 : 3.0) * (octant < 8 ? 1 : 2); };
    cases.push_back({"NearlyCospherical" + std::to_string(octant),
                     Sphere(SanitizerScaled(1000, 300), 40 + octant % 8, 0.5, {axis(1), axis(2), axis(4) * 0.7})});
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Inputs, Delaunay3DInputTest, ::testing::ValuesIn(InputCases()),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return info.param.name; });

class Delaunay3DSplitTest : public ::testing::TestWithParam<bool> {};

// A point exactly inside a face or an edge is located on it, and splitting there keeps the
// tetrahedralisation valid.
TEST_P(Delaunay3DSplitTest, PointOnAFaceOrEdgeIsLocatedThereAndSplitsIt) {
  const bool onEdge = GetParam();
  // Coordinates on planes are multiples of 1/64, so face and edge points are exact.
  Delaunay3DRef ref = Tetrahedralize(Planes(60, 12)).Value();
  const Block<const Tetrahedron> tets = ref.GetTetrahedrons();
  // An inner tetrahedron: no corner of the enclosing one among its vertices.
  const Tetrahedron* inner = std::find_if(tets.begin(), tets.end(), [](const Tetrahedron& t) {
    return std::min({t.v[0], t.v[1], t.v[2], t.v[3]}) >= 4;
  });
  ASSERT_NE(inner, tets.end());
  const Block<const Vector> points = ref.GetPoints();
  const Vector a = points[inner->v[0]], b = points[inner->v[1]], c = points[inner->v[2]];
  const Vector added = onEdge ? (a + b) * 0.5 : (a + b + c * 2.0) * 0.25;
  ASSERT_EQ(ExactOrient3d(a, b, c, added), 0);
  Int32 found = -1, onFace1 = -1, onFace2 = -1;
  Result<Bool> located = ref.FindTetIndexContainingPoint(added, found, onFace1, onFace2);
  ASSERT_TRUE(located && located.Value());
  EXPECT_TRUE(tets[found].HasVertex(inner->v[0]));
  EXPECT_NE(onFace1, -1);
  EXPECT_EQ(onFace2 != -1, onEdge);
  ASSERT_TRUE(ref.AddPointIntoTetrahedralization(added));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(Valid(ref, true));
}

INSTANTIATE_TEST_SUITE_P(Splits, Delaunay3DSplitTest, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) { return info.param ? "Edge" : "Face"; });

struct GrowthCase {
  const char* name;
  Box3D workSpace;
  std::vector<Points> batches;
  // Whether the last batch moves the enclosing tetrahedron: the result is then the one a fresh
  // instance builds from all points in one batch.
  bool movesCorners;
};

class Delaunay3DGrowthTest : public ::testing::TestWithParam<GrowthCase> {};

// One point by the single add, more by the batch add, then a calculation.
Result<void> AddBatch(Delaunay3DRef& ref, const Points& batch) {
  ZEMOX_TRY(batch.size() == 1 ? ref.AddPointIntoTetrahedralization(batch[0])
                              : ref.AddPointsIntoTetrahedralization(View(batch)));
  return ref.CalculateDelaunayTetrahedralization();
}

TEST_P(Delaunay3DGrowthTest, LaterBatchesKeepTheTetrahedralizationValid) {
  Delaunay3DRef ref = Delaunay3DRef::Create().Value();
  Delaunay3DRef copy = Delaunay3DRef::Create().Value();
  ASSERT_TRUE(ref.Init(GetParam().workSpace));
  const std::vector<Points>& batches = GetParam().batches;
  Points all;
  for (const Points& batch : batches) {
    // A copy taken before the last batch is equal, then carries on by itself to the same result.
    if (&batch == &batches.back()) {
      ASSERT_TRUE(copy.CopyFrom(ref) && SameResult(copy, ref));
    }
    ASSERT_TRUE(AddBatch(ref, batch));
    all.insert(all.end(), batch.begin(), batch.end());
  }
  ASSERT_TRUE(AddBatch(copy, batches.back()));
  EXPECT_TRUE(SameResult(copy, ref));
  EXPECT_TRUE(Valid(ref, !GetParam().movesCorners));
  if (!GetParam().movesCorners) return;
  EXPECT_TRUE(SameResult(ref, Tetrahedralize(all, GetParam().workSpace).Value()));
}

std::vector<Points> OneByOne(const Points& points) {
  std::vector<Points> batches;
  for (const Vector& point : points) batches.push_back({point});
  return batches;
}

const GrowthCase growthCases[] = {
    {"WiderSecondBatch", {}, {Uniform(SanitizerScaled(2000, 300), 15), Uniform(300, 16, 3.0)}, true},
    {"InsideSecondBatch", {}, {Uniform(SanitizerScaled(3000, 500), 13), Uniform(300, 14, 0.9)}, false},
    {"OneByOneInsideWorkSpace", Cube(-16, 16), OneByOne(Planes(SanitizerScaled(300, 80), 18)), false},
    {"PointInAFlatWorkSpaceThenAFartherOne", {{0, 0, 1e-9}, {0, 0, 1e-9}}, {{{0, 0, 0}}, {{0, 0, 0.1}}}, true},
};

INSTANTIATE_TEST_SUITE_P(Batches, Delaunay3DGrowthTest, ::testing::ValuesIn(growthCases),
                         [](const ::testing::TestParamInfo<GrowthCase>& info) { return std::string(info.param.name); });

enum class Call { Init, AddPoints, AddPoint };
const char* const callNames[] = {"Init", "AddPointsIntoTetrahedralization", "AddPointIntoTetrahedralization"};

struct RangeCase {
  const char* name;
  Call call;
  Box3D workSpace;
  Points points;
  // After the call's name; empty when the input is accepted.
  const char* message;
};

class Delaunay3DRangeTest : public ::testing::TestWithParam<RangeCase> {};

// Refused input leaves the object as it was; accepted input gives a valid tetrahedralisation.
TEST_P(Delaunay3DRangeTest, InputOutsideTheExactRangeIsRefused) {
  const RangeCase& param = GetParam();
  Delaunay3DRef ref = Tetrahedralize(Uniform(20, 50)).Value();
  Delaunay3DRef copy = Delaunay3DRef::Create().Value();
  ASSERT_TRUE(copy.CopyFrom(ref));
  const Result<void> outcome = param.call == Call::Init        ? ref.Init(param.workSpace)
                               : param.call == Call::AddPoints ? ref.AddPointsIntoTetrahedralization(View(param.points))
                                                               : ref.AddPointIntoTetrahedralization(param.points[0]);
  if (*param.message == '\0') {
    ASSERT_TRUE(outcome) << outcome.GetError().Message();
    EXPECT_TRUE(Valid(Tetrahedralize(param.points, param.workSpace).Value()));
    return;
  }
  ASSERT_FALSE(outcome);
  EXPECT_TRUE(outcome.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(outcome.GetError().Message(), std::string(callNames[static_cast<int>(param.call)]) + ": " + param.message);
  EXPECT_TRUE(SameResult(ref, copy));
}

// A cube of half-width w gets corner coordinates up to about 4.67 w: 2^187 stays inside the range of
// 2^190, 2^188 does not.
Points CubeCloud(Float halfWidth) {
  Points points = Uniform(200, 53, halfWidth);
  for (int corner = 0; corner < 8; ++corner)
    points.push_back({corner & 1 ? halfWidth : -halfWidth, corner & 2 ? halfWidth : -halfWidth,
                      corner & 4 ? halfWidth : -halfWidth});
  return points;
}

constexpr Float nan = std::numeric_limits<Float>::quiet_NaN();
constexpr Float infinity = std::numeric_limits<Float>::infinity();
constexpr const char* beyondRange =
    "The enclosing tetrahedron would reach beyond 1.5692754338466702e+57, the coordinate range in which the "
    "predicates are exact.";

const RangeCase rangeCases[] = {
    {"NaN", Call::AddPoints, {}, {{0, 0, 0}, {1, nan, 0}}, "Point 1 has a non-finite coordinate."},
    {"InfiniteWorkSpace", Call::Init, {{0, 0, 0}, {infinity, 1, 1}}, {}, "The work space has a non-finite coordinate."},
    {"WorkSpaceOfAllDoubles", Call::Init, Cube(-DBL_MAX, DBL_MAX), {}, beyondRange},
    {"PointAt1e300", Call::AddPoint, {}, {{1e300, 0, 0}}, beyondRange},
    {"CubeBeyondTheRange", Call::AddPoints, {}, CubeCloud(0x1p188), beyondRange},
    {"CubeInsideTheRange", Call::AddPoints, {}, CubeCloud(0x1p187), ""},
    {"WorkSpaceInsideTheRange", Call::Init, Cube(-0x1p187, 0x1p187), CubeCloud(0x1p186), ""},
};

INSTANTIATE_TEST_SUITE_P(Inputs, Delaunay3DRangeTest, ::testing::ValuesIn(rangeCases),
                         [](const ::testing::TestParamInfo<RangeCase>& info) { return std::string(info.param.name); });

TEST(Delaunay3DTest, CallsInTheWrongStateFailWithoutHarm) {
  Delaunay3DRef ref = Delaunay3DRef::Create().Value();
  const Vector point{1, 2, 3};
  auto expectState = [](const Result<void>& outcome, const char* message) {
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(outcome.GetError().Is(IllegalStateError));
    EXPECT_EQ(outcome.GetError().Message(), message);
  };
  expectState(ref.AddPointIntoTetrahedralization(point),
              "AddPointIntoTetrahedralization: The tetrahedralization is not initialized; call Init first.");
  EXPECT_FALSE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_FALSE(ref.Reset());
  ASSERT_TRUE(ref.Init(Box3D{}));
  ref.Flush();
  expectState(ref.AddPointsIntoTetrahedralization({&point, 1}),
              "AddPointsIntoTetrahedralization: The tetrahedralization was flushed; call Reset or Init before using it "
              "again.");
}

// The job is cancelled while the calculation runs; the next calculation goes on with the points not
// yet inserted and ends where an uninterrupted run ends. The newest points form a small cloud away
// from the rest: they are inserted first, and no later insertion touches their table entries again.
TEST(Delaunay3DTest, CancelledCalculationResumes) {
  Points points = Uniform(SanitizerScaled(50000, 5000), 23);
  const Points aside = Uniform(200, 22, 1.0, {10, 0, 0});
  points.insert(points.end(), aside.begin(), aside.end());
  const Delaunay3DRef reference = Tetrahedralize(points).Value();
  Delaunay3DRef ref = Delaunay3DRef::Create().Value();
  ASSERT_TRUE(ref.Init(Box3D{}));
  ASSERT_TRUE(ref.AddPointsIntoTetrahedralization(View(points)));
  std::atomic<bool> started{false};
  Result<void> outcome = OK();
  {
    JobGroup group;
    ASSERT_TRUE(group.Add([&] {
      started = true;
      outcome = ref.CalculateDelaunayTetrahedralization();
    }));
    ASSERT_TRUE(group.Start());
    while (!started) std::this_thread::yield();
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    group.Cancel();
    group.Wait();
  }
  ASSERT_FALSE(outcome);
  EXPECT_TRUE(outcome.GetError().Is(ThreadCancelledError));
  ASSERT_TRUE(ref.CalculateDelaunayTetrahedralization());
  EXPECT_TRUE(SameResult(ref, reference));
}

// Every allocation of a whole run fails in turn. The failing call reports out-of-memory and leaves
// the object so that repeating it goes on: a calculation continues with the points not yet inserted
// (and the flips of a point whose repair stopped) and ends where an uninterrupted run ends. Points
// on planes take the face and edge splits and the 4-4 flips, whose scratch arrays grow mid-run.
TEST(Delaunay3DTest, AllocationFailuresAreReportedAndTheRunResumes) {
  const Points points = Planes(SanitizerScaled(600, 200), 24);
  const Delaunay3DRef reference = Tetrahedralize(points).Value();
  Int failures = 0;
  for (Int k = 1;; ++k) {
    Delaunay3DRef ref = Delaunay3DRef::Create().Value();
    auto step = [&](int index) {
      if (index == 0) return ref.Init(Box3D{});
      if (index == 1) return ref.AddPointsIntoTetrahedralization(View(points));
      return ref.CalculateDelaunayTetrahedralization();
    };
    FailAllocationAfter(k);
    int failed = 0;
    Result<void> run = OK();
    for (; failed < 3 && run; ++failed) run = step(failed);
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    if (run) {
      EXPECT_FALSE(delivered);
      EXPECT_TRUE(SameResult(ref, reference));
      break;
    }
    ++failures;
    EXPECT_TRUE(run.GetError().Is(OutOfMemoryError)) << k << ": " << run.GetError().Class().Text();
    for (int index = failed - 1; index < 3; ++index) ASSERT_TRUE(step(index)) << k << ", step " << index;
    EXPECT_TRUE(SameResult(ref, reference)) << k;
  }
  EXPECT_GT(failures, 6);
}

// Each instance has its own predicate context, so two tetrahedralisations with very different
// coordinate ranges can run at once and give what they give alone.
TEST(Delaunay3DTest, TwoInstancesRunConcurrently) {
  const Points inputs[] = {Uniform(SanitizerScaled(20000, 2000), 28, 1000.0), Grid(SanitizerScaled(14, 7), 0.001)};
  const Result<Delaunay3DRef> alone[] = {Tetrahedralize(inputs[0]), Tetrahedralize(inputs[1])};
  ASSERT_TRUE(alone[0] && alone[1]);
  for (int round = 0; round < 3; ++round) {
    std::optional<Result<Delaunay3DRef>> together[2];
    std::thread other([&] { together[0].emplace(Tetrahedralize(inputs[0])); });
    together[1].emplace(Tetrahedralize(inputs[1]));
    other.join();
    for (int i = 0; i < 2; ++i) EXPECT_TRUE(*together[i] && SameResult(together[i]->Value(), alone[i].Value())) << i;
  }
}

}  // namespace
}  // namespace zemox
