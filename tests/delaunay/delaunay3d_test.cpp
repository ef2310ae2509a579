#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include "delaunay3d/delaunay3d_impl.h"
#include "exact_checks.h"
#include "geom/delaunay3d.h"
#include "zemox/jobs.h"
#include "zemox/memory.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using testing::ExactOrient3d;
using testing::IsValidTetrahedralization;
using testing::ValidationOptions;

#if defined(__SANITIZE_ADDRESS__)
constexpr bool sanitized = true;
#else
constexpr bool sanitized = false;
#endif
// Sizes shrink under the sanitizers, which slow the exact checks down many times.
constexpr Int Scaled(Int release, Int asan) { return sanitized ? asan : release; }

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

[[maybe_unused]] bool SameResult(const Delaunay3DRef& a, const Delaunay3DRef& b) {
  return SameContent(a.GetTetrahedrons(), b.GetTetrahedrons()) && SameContent(a.GetPoints(), b.GetPoints()) &&
         SameContent(a.GetPointsToTetConnections(), b.GetPointsToTetConnections());
}

std::string Message(const Error& error) { return std::string(error.Message()); }

// ---------------------------------------------------------------------------------------------
// Registration

TEST(Delaunay3DRegistrationTest, InterfaceHasTwentyReflectedSlots) {
  Record record;
  ASSERT_TRUE(FindRecord(RecordKind::INTERFACE, Delaunay3DInterfaceId, record));
  ASSERT_NE(record.interfaceInfo, nullptr);
  const Block<const SlotInfo> slots = record.interfaceInfo->slots;
  ASSERT_EQ(slots.GetCount(), 20);
  const char* methods[] = {"Free",
                           "Alloc",
                           "CopyFrom",
                           "Init",
                           "CalculateDelaunayTetrahedralization",
                           "IsInitialized",
                           "AddPointsIntoTetrahedralization",
                           "AddPointIntoTetrahedralization",
                           "GetTetrahedrons",
                           "GetTetrahedrons",
                           "GetPointsToTetConnections",
                           "GetPoints",
                           "GetPointsWrite",
                           "GetTetrahedronCount",
                           "GetPointCount",
                           "Reset",
                           "OrientDet",
                           "Flush",
                           "FindTetIndexContainingPoint",
                           "FindTetContainingPoint"};
  std::string parameters;
  for (Int i = 0; i < 20; ++i) {
    EXPECT_STREQ(slots[i].method, methods[i]) << i;
    for (const ParameterInfo& parameter : slots[i].parameters)
      parameters += std::string(parameter.name) + (parameter.out ? "(out) " : " ");
  }
  EXPECT_EQ(parameters,
            "object allocLocation src resizeFlags workSpace newPointsIn newPointIn arrayCount(out) pointCount(out) "
            "planePointA planePointB planePointC testPoint point foundTetIndex(out) onFace1(out) onFace2(out) point "
            "foundTetIndex(out) ");
  EXPECT_NE(FindImplementation(Delaunay3DInterfaceId), nullptr);
}

TEST(Delaunay3DRegistrationTest, EnumerationsCarryTheirValues) {
  struct Expected {
    const char* id;
    const char* name;
    std::vector<std::pair<std::string, Int>> values;
  };
  const Expected expected[] = {
      {"net.zemox.enum.flipcase",
       "FLIPCASE",
       {{"CONVEX", 0},
        {"CONCAVE_OVER_ONE_FACE_A", 1},
        {"CONCAVE_OVER_ONE_FACE_B", 2},
        {"CONCAVE_OVER_ONE_FACE_C", 3},
        {"CONCAVE_OVER_TWO_FACES", 4},
        {"CONVEX_COPLANAR_A", 5},
        {"CONVEX_COPLANAR_B", 6},
        {"CONVEX_COPLANAR_C", 7},
        {"CONVEX_COPLANAR_ONPLANE", 8},
        {"BROKEN", 9}}},
      {"net.zemox.enum.orientation",
       "ORIENTATION",
       {{"ORIENTATION_ON", 0}, {"OVER", 1}, {"UNDER", 2}, {"ORIENTATION_ERROR", 3}}},
      {"net.zemox.enum.insidetest",
       "INSIDETEST",
       {{"INSIDE_ON", 0}, {"INSIDE", 1}, {"OUTSIDE", 2}, {"INSIDE_ERROR", 3}}},
  };
  for (const Expected& enumeration : expected) {
    Record record;
    ASSERT_TRUE(FindRecord(RecordKind::ENUMERATION, Id(enumeration.id), record)) << enumeration.id;
    EXPECT_STREQ(record.name, enumeration.name);
    std::vector<std::pair<std::string, Int>> values;
    for (const EnumValueInfo& value : record.enumInfo->values) values.emplace_back(value.name, value.value);
    EXPECT_EQ(values, enumeration.values) << enumeration.id;
  }
  EXPECT_EQ(static_cast<Int32>(FLIPCASE::BROKEN), 9);
  EXPECT_EQ(static_cast<Int32>(ORIENTATION::UNDER), 2);
  EXPECT_EQ(static_cast<Int32>(INSIDETEST::OUTSIDE), 2);
}

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
    {"Uniform", [] { return Uniform(Scaled(20000, 2000), 1); }, false, false, false},
    {"UniformSmall", [] { return Uniform(150, 2); }, false, false, false},
    {"Clustered", [] { return Clustered(Scaled(20000, 2000), 3); }, false, false, false},
    {"SphereLattice", [] { return SphereLattice(Scaled(2450, 425)); }, false, false, false},
    {"SphereRandom",
     [] {
       Points points = Uniform(Scaled(5000, 800), 4);
       for (Vector& p : points) p = p * (1.0 / Length(p));
       return points;
     },
     false, false, false},
    {"Grid5", [] { return Grid(5); }, false, false, true},
    {"Grid12", [] { return Grid(Scaled(12, 8)); }, false, false, true},
    {"Grid30", [] { return Grid(Scaled(30, 10)); }, false, false, true},
    {"GridFractionalStep", [] { return Grid(Scaled(15, 8), 0.1); }, false, false, false},
    {"Planes", [] { return Planes(Scaled(4000, 600), 5); }, true, true, true},
    {"Duplicates", [] { return Duplicated(Scaled(3000, 400), 6); }, false, false, false},
    {"GridAtMinus1000",
     [] {
       return Grid(Scaled(12, 8), 1.0, {-1005.5, -1005.5, -1005.5});
     },
     false, false, false},
    {"CloudAtMinus1000",
     [] {
       return Uniform(Scaled(10000, 1500), 7, 10.0, {-1000, -1000, -1000});
     },
     false, false, false},
    {"GridAtPlus1000",
     [] {
       return Grid(Scaled(12, 8), 1.0, {994.5, 994.5, 994.5});
     },
     false, false, false},
};

INSTANTIATE_TEST_SUITE_P(Inputs, Delaunay3DInputTest, ::testing::ValuesIn(inputCases),
                         [](const ::testing::TestParamInfo<InputCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zemox
