#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/testscale.h"
#include "geom/convexhull.h"
#include "zemox/memory.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using Points = std::vector<Vector>;

Block<const Vector> View(const Points& points) { return {points.data(), static_cast<Int>(points.size())}; }

// ---------------------------------------------------------------------------------------------
// Inputs

Points Cube(Float low = 0.0, Float high = 1.0) {
  Points points;
  for (int corner = 0; corner < 8; ++corner)
    points.push_back({corner & 1 ? high : low, corner & 2 ? high : low, corner & 4 ? high : low});
  return points;
}

Points Uniform(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<Float> coordinate(-10.0, 10.0);
  Points points;
  for (Int i = 0; i < count; ++i) points.push_back({coordinate(random), coordinate(random), coordinate(random)});
  return points;
}

Points OnSphere(Int count, UInt seed) {
  Points points = Uniform(count, seed);
  for (Vector& p : points) p = p * (5.0 / std::sqrt(Dot(p, p)));
  return points;
}

// Integer points on x^2 + y^2 + z^2 = 425: exactly cospherical, with many coplanar quadruples.
Points SphereLattice() {
  Points points;
  for (int x = -21; x <= 21; ++x)
    for (int y = -21; y <= 21; ++y)
      for (int z = -21; z <= 21; ++z)
        if (x * x + y * y + z * z == 425) points.push_back({Float(x), Float(y), Float(z)});
  return points;
}

// The cube's corners, its edge midpoints (collinear with corners), face centres (coplanar with
// corners) and its centre: only the corners are vertices.
Points CubeWithBoundaryPoints() {
  Points points = Cube(0.0, 2.0);
  for (int x = 0; x <= 2; ++x)
    for (int y = 0; y <= 2; ++y)
      for (int z = 0; z <= 2; ++z)
        if (x == 1 || y == 1 || z == 1) points.push_back({Float(x), Float(y), Float(z)});
  return points;
}

// A square grid in the plane z = x + y: the hull is the flat square, seen from both sides.
Points Coplanar() {
  Points points;
  for (int x = 0; x <= 4; ++x)
    for (int y = 0; y <= 4; ++y) points.push_back({Float(x), Float(y), Float(x + y)});
  return points;
}

Points Collinear() {
  Points points;
  for (int t = 0; t <= 9; ++t) points.push_back({1.0 + t, 2.0 - 2.0 * t, 0.5 * t});
  return points;
}

Points Duplicated() {
  Points points = Uniform(500, 7);
  const Points cube = Cube(-20.0, 20.0);
  for (int copy = 0; copy < 3; ++copy) points.insert(points.end(), cube.begin(), cube.end());
  return points;
}

// ---------------------------------------------------------------------------------------------
// Oracles

// The computer snaps input to a grid of about 10^4 steps across the bounding box on each axis.
// One step on every axis bounds how far a vertex moves and how far outside an input point can be.
Float SnapTolerance(const Points& points) {
  Vector low = points[0];
  Vector high = points[0];
  for (const Vector& p : points) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y), std::min(low.z, p.z)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y), std::max(high.z, p.z)};
  }
  const Vector step = (high - low) * 1e-4;
  return std::sqrt(Dot(step, step));
}

// The structure every hull of two or more distinct points must have: links in range, reverse of
// reverse is the edge itself and runs the other way, the next edge of a vertex leaves the same
// vertex, the next edge of a face starts where the edge ends, the face loops cover every edge once,
// and V - E/2 + F = 2.
::testing::AssertionResult IsValidHalfEdgeStructure(const ConvexHullRecord& hull) {
  const Int vertexCount = hull.vertices.GetCount();
  const Int edgeCount = hull.edges.GetCount();
  auto inRange = [](Int index, Int count) { return index >= 0 && index < count; };
  for (Int i = 0; i < edgeCount; ++i) {
    const ConvexHullEdge& edge = hull.edges[i];
    if (!inRange(edge.sourceVertex, vertexCount) || !inRange(edge.targetVertex, vertexCount) ||
        !inRange(edge.reverseEdge, edgeCount) || !inRange(edge.nextEdgeOfFace, edgeCount) ||
        !inRange(edge.nextEdgeOfVertex, edgeCount))
      return ::testing::AssertionFailure() << "edge " << i << " links out of range";
    const ConvexHullEdge& reverse = hull.edges[edge.reverseEdge];
    if (reverse.reverseEdge != i || edge.sourceVertex != reverse.targetVertex || edge.sourceVertex == edge.targetVertex)
      return ::testing::AssertionFailure() << "edge " << i << " and its reverse disagree";
    if (hull.edges[edge.nextEdgeOfVertex].sourceVertex != edge.sourceVertex)
      return ::testing::AssertionFailure() << "next edge of vertex of " << i << " leaves another vertex";
    if (hull.edges[edge.nextEdgeOfFace].sourceVertex != edge.targetVertex)
      return ::testing::AssertionFailure() << "next edge of face of " << i << " does not start at its target";
  }
  std::vector<int> visits(static_cast<size_t>(edgeCount), 0);
  for (Int face = 0; face < hull.faces.GetCount(); ++face) {
    if (!inRange(hull.faces[face], edgeCount))
      return ::testing::AssertionFailure() << "face " << face << " out of range";
    Int edge = hull.faces[face];
    do {
      if (++visits[static_cast<size_t>(edge)] > 1)
        return ::testing::AssertionFailure() << "edge " << edge << " is on two face loops (face " << face << ")";
      edge = hull.edges[edge].nextEdgeOfFace;
    } while (edge != hull.faces[face]);
  }
  if (std::count(visits.begin(), visits.end(), 0) != 0)
    return ::testing::AssertionFailure() << "an edge is on no face loop";
  if (2 * vertexCount - edgeCount + 2 * hull.faces.GetCount() != 4)
    return ::testing::AssertionFailure() << "V - E/2 + F = " << vertexCount << " - " << edgeCount << "/2 + "
                                         << hull.faces.GetCount() << " is not 2";
  return ::testing::AssertionSuccess();
}

mpq_class Exact(Float value) { return mpq_class(value); }

struct ExactVector {
  mpq_class x, y, z;
};

ExactVector operator-(const Vector& a, const ExactVector& b) {
  return {Exact(a.x) - b.x, Exact(a.y) - b.y, Exact(a.z) - b.z};
}
ExactVector ToExact(const Vector& a) { return {Exact(a.x), Exact(a.y), Exact(a.z)}; }
mpq_class ExactDot(const ExactVector& a, const ExactVector& b) { return a.x * b.x + a.y * b.y + a.z * b.z; }
ExactVector ExactCross(const ExactVector& a, const ExactVector& b) {
  return {a.y * b.z - a.z * b.y, a.z * b.x - a.x * b.z, a.x * b.y - a.y * b.x};
}

// A face's plane: a point on it and the outward normal of the widest triangle of the fan from the
// face's first vertex (face loops run counter-clockwise seen from outside), exact and rounded.
struct FacePlane {
  Vector origin;
  Vector normal;
  ExactVector exactNormal;
  mpq_class normalLengthSquared;
};

FacePlane PlaneOf(const ConvexHullRecord& hull, Int face) {
  const ConvexHullEdge& first = hull.edges[hull.faces[face]];
  FacePlane plane{hull.vertices[first.sourceVertex], {}, {}, 0};
  const ExactVector origin = ToExact(plane.origin);
  for (Int edge = first.nextEdgeOfFace; hull.edges[edge].targetVertex != first.sourceVertex;
       edge = hull.edges[edge].nextEdgeOfFace) {
    const ExactVector normal = ExactCross(hull.vertices[hull.edges[edge].sourceVertex] - origin,
                                          hull.vertices[hull.edges[edge].targetVertex] - origin);
    const mpq_class lengthSquared = ExactDot(normal, normal);
    if (lengthSquared <= plane.normalLengthSquared) continue;
    plane.exactNormal = normal;
    plane.normalLengthSquared = lengthSquared;
    plane.normal = {normal.x.get_d(), normal.y.get_d(), normal.z.get_d()};
  }
  return plane;
}

// Whether p lies at most `limit` above the plane. Rounded arithmetic settles the clear cases; the
// rest are decided exactly.
bool DistanceAtMost(const FacePlane& plane, const Vector& p, Float limit) {
  const Vector offset = p - plane.origin;
  const Float roughDistance = Dot(plane.normal, offset) / std::sqrt(Dot(plane.normal, plane.normal));
  const Float margin = 1e-9 * (std::sqrt(Dot(offset, offset)) + std::fabs(limit));
  if (roughDistance < limit - margin) return true;
  if (roughDistance > limit + margin) return false;
  const ExactVector exactOffset = p - ToExact(plane.origin);
  const mpq_class height = ExactDot(plane.exactNormal, exactOffset);
  const mpq_class bound = Exact(limit) * Exact(limit) * plane.normalLengthSquared;
  if (limit >= 0) return height <= 0 || height * height <= bound;
  return height < 0 && height * height >= bound;
}

// Every point lies at least `depth` below every face plane, up to the tolerance.
::testing::AssertionResult AllBelowEveryFace(const ConvexHullRecord& hull, const Points& points, Float depth,
                                             Float tolerance) {
  for (Int face = 0; face < hull.faces.GetCount(); ++face) {
    const FacePlane plane = PlaneOf(hull, face);
    // The two sides of a segment bound nothing; any other face needs an area.
    if (plane.normalLengthSquared == 0 && hull.vertices.GetCount() == 2) continue;
    if (plane.normalLengthSquared == 0) return ::testing::AssertionFailure() << "face " << face << " has no area";
    for (size_t i = 0; i < points.size(); ++i)
      if (!DistanceAtMost(plane, points[i], tolerance - depth))
        return ::testing::AssertionFailure() << "point " << i << " lies above face " << face;
  }
  return ::testing::AssertionSuccess();
}

// Every hull vertex lies within the tolerance of an input point.
::testing::AssertionResult VerticesFromInput(const ConvexHullRecord& hull, const Points& points, Float tolerance) {
  for (const Vector& vertex : hull.vertices) {
    const bool near = std::any_of(points.begin(), points.end(), [&](const Vector& p) {
      const Vector d = p - vertex;
      return Dot(d, d) <= tolerance * tolerance;
    });
    if (!near)
      return ::testing::AssertionFailure()
             << "vertex (" << vertex.x << ", " << vertex.y << ", " << vertex.z << ") is no input point";
  }
  return ::testing::AssertionSuccess();
}

Result<Float> Compute(ConvexHullRef& ref, const Points& points, ConvexHullRecord& hull, Float shrink = 0.0,
                      Float shrinkClamp = 0.0) {
  return ref.ComputeConvexHull(View(points), shrink, shrinkClamp, hull);
}

ConvexHullRef NewRef() {
  Result<ConvexHullRef> created = ConvexHullRef::Create();
  EXPECT_TRUE(created);
  return created ? std::move(created.Value()) : ConvexHullRef{};
}

template <typename T>
bool SameContent(const BaseArray<T>& a, const BaseArray<T>& b) {
  return a.GetCount() == b.GetCount() && std::memcmp(a.GetFirst(), b.GetFirst(), sizeof(T) * a.GetCount()) == 0;
}

bool SameHull(const ConvexHullRecord& a, const ConvexHullRecord& b) {
  return SameContent(a.vertices, b.vertices) && SameContent(a.edges, b.edges) && SameContent(a.faces, b.faces);
}

// Earlier contents of the result arrays, which every call must replace.
void FillWithLeftovers(ConvexHullRecord& hull) {
  ASSERT_TRUE(hull.vertices.Append(Vector{7, 7, 7}));
  ASSERT_TRUE(hull.edges.Append(ConvexHullEdge{1, 2, 3, 4, 5}));
  ASSERT_TRUE(hull.faces.Append(9));
}

// ---------------------------------------------------------------------------------------------
// Hulls without shrinking

struct HullCase {
  const char* name;
  Points (*make)();
  // Expected vertex, edge and face counts; -1 where only the properties are checked.
  Int vertices;
  Int edges;
  Int faces;
};

class ConvexHullInputTest : public ::testing::TestWithParam<HullCase> {};

TEST_P(ConvexHullInputTest, HullEnclosesTheInputWithValidStructure) {
  const HullCase& expected = GetParam();
  const Points points = expected.make();
  ConvexHullRef ref = NewRef();
  ConvexHullRecord hull;
  FillWithLeftovers(hull);
  const Result<Float> shrunk = Compute(ref, points, hull);
  ASSERT_TRUE(shrunk);
  EXPECT_EQ(shrunk.Value(), 0.0);
  if (expected.vertices >= 0) {
    EXPECT_EQ(hull.vertices.GetCount(), expected.vertices);
    EXPECT_EQ(hull.edges.GetCount(), expected.edges);
    EXPECT_EQ(hull.faces.GetCount(), expected.faces);
  }
  ASSERT_TRUE(IsValidHalfEdgeStructure(hull));
  const Float tolerance = SnapTolerance(points);
  EXPECT_TRUE(AllBelowEveryFace(hull, points, 0.0, tolerance));
  EXPECT_TRUE(VerticesFromInput(hull, points, tolerance));

  // The array overload on the same (now used) instance gives the same hull.
  ConvexHullRecord again;
  FillWithLeftovers(again);
  ASSERT_TRUE(ref.ComputeConvexHull(View(points), 0.0, 0.0, again.vertices, again.edges, again.faces));
  EXPECT_TRUE(SameHull(hull, again));
}

const HullCase hullCases[] = {
    {"Cube", [] { return Cube(); }, 8, 24, 6},
    {"CubeWithBoundaryPoints", CubeWithBoundaryPoints, 8, 24, 6},
    {"Tetrahedron",
     [] {
       return Points{{0, 0, 0}, {3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {0.5, 0.5, 0.5}};
     },
     4, 12, 4},
    {"Uniform", [] { return Uniform(SanitizerScaled(20000, 3000), 1); }, -1, -1, -1},
    {"OnSphere", [] { return OnSphere(SanitizerScaled(3000, 600), 2); }, -1, -1, -1},
    {"SphereLattice", SphereLattice, -1, -1, -1},
    {"Coplanar", Coplanar, 4, 8, 2},
    {"Collinear", Collinear, 2, 2, 1},
    {"Duplicated", Duplicated, 8, 24, 6},
    {"CloudFarFromOrigin",
     [] {
       Points points = Uniform(2000, 3);
       for (Vector& p : points) p = p + Vector{-1000, 2000, 50000};
       return points;
     },
     -1, -1, -1},
};

INSTANTIATE_TEST_SUITE_P(Inputs, ConvexHullInputTest, ::testing::ValuesIn(hullCases),
                         [](const ::testing::TestParamInfo<HullCase>& info) { return std::string(info.param.name); });

// Inputs without two distinct grid points have no edges and no faces; no input at all, no vertex.
TEST(ConvexHullTest, EmptyAndSinglePointInputs) {
  ConvexHullRef ref = NewRef();
  const Points single(5, Vector{1, 2, 3});
  for (const Points& points : {Points{}, single}) {
    ConvexHullRecord hull;
    FillWithLeftovers(hull);
    const Result<Float> shrunk = Compute(ref, points, hull, 0.5, 0.0);
    ASSERT_TRUE(shrunk);
    EXPECT_EQ(shrunk.Value(), 0.0);
    EXPECT_EQ(hull.vertices.GetCount(), points.empty() ? 0 : 1);
    EXPECT_EQ(hull.edges.GetCount(), 0);
    EXPECT_EQ(hull.faces.GetCount(), 0);
  }
}

// ---------------------------------------------------------------------------------------------
// Shrinking

struct ShrinkCase {
  const char* name;
  Points (*make)();
  Float shrink;
  Float shrinkClamp;
  // The distance the faces must move; negative when nothing must remain.
  Float expectedShrink;
};

class ConvexHullShrinkTest : public ::testing::TestWithParam<ShrinkCase> {};

// The shrunk hull keeps the structure, and every one of its vertices lies the returned distance
// below every face of the unshrunk hull.
TEST_P(ConvexHullShrinkTest, FacesMoveInwardByTheReturnedDistance) {
  const ShrinkCase& expected = GetParam();
  const Points points = expected.make();
  ConvexHullRef ref = NewRef();
  ConvexHullRecord original;
  ASSERT_TRUE(Compute(ref, points, original));
  ConvexHullRecord shrunk;
  FillWithLeftovers(shrunk);
  const Result<Float> distance = Compute(ref, points, shrunk, expected.shrink, expected.shrinkClamp);
  ASSERT_TRUE(distance);
  if (expected.expectedShrink < 0) {
    EXPECT_LT(distance.Value(), 0.0);
    EXPECT_TRUE(shrunk.vertices.IsEmpty());
    EXPECT_TRUE(shrunk.edges.IsEmpty());
    EXPECT_TRUE(shrunk.faces.IsEmpty());
    return;
  }
  const Float tolerance = SnapTolerance(points);
  EXPECT_NEAR(distance.Value(), expected.expectedShrink, 1e-12);
  ASSERT_TRUE(IsValidHalfEdgeStructure(shrunk));
  const Points shrunkVertices(shrunk.vertices.begin(), shrunk.vertices.end());
  EXPECT_TRUE(AllBelowEveryFace(original, shrunkVertices, distance.Value(), 2 * tolerance));
}

const ShrinkCase shrinkCases[] = {
    {"CubeUnclamped", [] { return Cube(); }, 0.1, 0.0, 0.1},
    // The cube's inner radius is 0.5: a clamp of 0.5 allows 0.25.
    {"CubeClamped", [] { return Cube(); }, 0.6, 0.5, 0.25},
    {"CubeClampAboveShrink", [] { return Cube(); }, 0.2, 0.9, 0.2},
    {"CubeBeyondInnerRadius", [] { return Cube(); }, 0.6, 0.0, -1.0},
    {"UniformUnclamped", [] { return Uniform(SanitizerScaled(5000, 1000), 4); }, 1.5, 0.0, 1.5},
    {"UniformBeyondInnerRadius", [] { return Uniform(SanitizerScaled(5000, 1000), 5); }, 12.0, 0.0, -1.0},
};

INSTANTIATE_TEST_SUITE_P(Shrinks, ConvexHullShrinkTest, ::testing::ValuesIn(shrinkCases),
                         [](const ::testing::TestParamInfo<ShrinkCase>& info) { return std::string(info.param.name); });

// ---------------------------------------------------------------------------------------------
// Refused input, allocation failure

struct RefusedCase {
  const char* name;
  Points points;
  const char* message;
};

TEST(ConvexHullTest, NonFiniteVerticesAreRefusedWithEmptyResults) {
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  const Float infinity = std::numeric_limits<Float>::infinity();
  const RefusedCase cases[] = {
      {"NaN", {{0, 0, 0}, {1, 0, 0}, {0, nan, 0}, {0, 0, 1}}, "ComputeConvexHull: Vertex 2 is not finite."},
      {"Infinity", {{-infinity, 0, 0}, {1, 0, 0}, {0, 1, 0}}, "ComputeConvexHull: Vertex 0 is not finite."},
  };
  ConvexHullRef ref = NewRef();
  for (const RefusedCase& refused : cases) {
    ConvexHullRecord hull;
    FillWithLeftovers(hull);
    const Result<Float> result = Compute(ref, refused.points, hull);
    ASSERT_FALSE(result) << refused.name;
    EXPECT_TRUE(result.GetError().Is(IllegalArgumentError)) << refused.name;
    EXPECT_EQ(std::string(result.GetError().Message()), refused.message);
    EXPECT_TRUE(hull.vertices.IsEmpty() && hull.edges.IsEmpty() && hull.faces.IsEmpty()) << refused.name;
  }
}

// The count is checked before any vertex is read, so the view need not be backed by memory.
TEST(ConvexHullTest, MoreVerticesThanTheComputerCountsAreRefused) {
  ConvexHullRef ref = NewRef();
  const Vector one{};
  ConvexHullRecord hull;
  const Result<Float> result = ref.ComputeConvexHull({&one, Int{INT_MAX} + 1}, 0.0, 0.0, hull);
  ASSERT_FALSE(result);
  EXPECT_TRUE(result.GetError().Is(IllegalArgumentError));
  EXPECT_EQ(std::string(result.GetError().Message()),
            "ComputeConvexHull: 2147483648 vertices exceed the limit of 2147483647.");
}

// Every host allocation of creating an instance and computing a hull fails in turn: the failure is
// an out-of-memory error with empty results, and the same instance then computes the full hull.
TEST(ConvexHullTest, AllocationFailuresAreReportedAndRecoverable) {
  const Points points = Uniform(SanitizerScaled(2000, 500), 6);
  ConvexHullRef referenceRef = NewRef();
  ConvexHullRecord reference;
  ASSERT_TRUE(Compute(referenceRef, points, reference));
  Int failures = 0;
  for (Int k = 1;; ++k) {
    ConvexHullRecord hull;
    FailAllocationAfter(k);
    Result<ConvexHullRef> created = ConvexHullRef::Create();
    Result<Float> run = created ? Compute(created.Value(), points, hull) : Result<Float>(created.GetError());
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    if (run) {
      EXPECT_FALSE(delivered);
      EXPECT_TRUE(SameHull(hull, reference));
      break;
    }
    ++failures;
    EXPECT_TRUE(run.GetError().Is(OutOfMemoryError)) << k << ": " << run.GetError().Class().Text();
    EXPECT_TRUE(hull.vertices.IsEmpty() && hull.edges.IsEmpty() && hull.faces.IsEmpty()) << k;
    if (!created) continue;
    ASSERT_TRUE(Compute(created.Value(), points, hull)) << k;
    EXPECT_TRUE(SameHull(hull, reference)) << k;
  }
  EXPECT_EQ(failures, 4);
}

}  // namespace
}  // namespace zemox
