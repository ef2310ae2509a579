#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <climits>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "common/testscale.h"
#include "geom/convexhull.h"

namespace zemox {
namespace {

using Points = std::vector<Vector>;

Points Uniform(Int count, UInt seed, Vector centre = {}) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<Float> coordinate(-10.0, 10.0);
  Points points;
  for (Int i = 0; i < count; ++i)
    points.push_back(centre + Vector{coordinate(random), coordinate(random), coordinate(random)});
  return points;
}

// Integer points with a predicate: lattice spheres, grids on a plane or a line.
template <typename Keep>
Points Lattice(int bound, Keep keep) {
  Points points;
  for (int x = -bound; x <= bound; ++x)
    for (int y = -bound; y <= bound; ++y)
      for (int z = -bound; z <= bound; ++z)
        if (keep(x, y, z)) points.push_back({Float(x), Float(y), Float(z)});
  return points;
}

// The corners of the unit cube.
const Points cube = Lattice(1, [](int x, int y, int z) { return x >= 0 && y >= 0 && z >= 0; });

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

// The structure of every hull of two or more distinct points: links in range, the reverse of the
// reverse is the edge and runs the other way, the next edge of a vertex leaves the same vertex, the
// next edge of a face starts at the edge's target, face loops cover every edge once, V - E/2 + F = 2.
::testing::AssertionResult IsValidHalfEdgeStructure(const ConvexHullRecord& hull) {
  const Int edgeCount = hull.edges.GetCount();
  auto edgeInRange = [&](Int index) { return index >= 0 && index < edgeCount; };
  for (Int i = 0; i < edgeCount; ++i) {
    const ConvexHullEdge& edge = hull.edges[i];
    if (!edgeInRange(edge.reverseEdge) || !edgeInRange(edge.nextEdgeOfFace) || !edgeInRange(edge.nextEdgeOfVertex) ||
        edge.sourceVertex < 0 || edge.targetVertex >= hull.vertices.GetCount())
      return ::testing::AssertionFailure() << "edge " << i << " links out of range";
    const ConvexHullEdge& reverse = hull.edges[edge.reverseEdge];
    if (reverse.reverseEdge != i || edge.sourceVertex != reverse.targetVertex || edge.sourceVertex == edge.targetVertex)
      return ::testing::AssertionFailure() << "edge " << i << " and its reverse disagree";
    if (hull.edges[edge.nextEdgeOfVertex].sourceVertex != edge.sourceVertex ||
        hull.edges[edge.nextEdgeOfFace].sourceVertex != edge.targetVertex)
      return ::testing::AssertionFailure() << "the next edges of " << i << " start at the wrong vertex";
  }
  std::vector<int> visits(static_cast<size_t>(edgeCount), 0);
  for (Int face = 0; face < hull.faces.GetCount(); ++face) {
    Int edge = hull.faces[face];
    do {
      if (!edgeInRange(edge) || ++visits[static_cast<size_t>(edge)] > 1)
        return ::testing::AssertionFailure() << "the loop of face " << face << " reaches edge " << edge;
      edge = hull.edges[edge].nextEdgeOfFace;
    } while (edge != hull.faces[face]);
  }
  if (std::count(visits.begin(), visits.end(), 0) != 0)
    return ::testing::AssertionFailure() << "an edge is on no face loop";
  if (2 * hull.vertices.GetCount() - edgeCount + 2 * hull.faces.GetCount() != 4)
    return ::testing::AssertionFailure() << "V - E/2 + F is not 2";
  return ::testing::AssertionSuccess();
}

using ExactVector = std::array<mpq_class, 3>;

ExactVector ExactDifference(const Vector& a, const Vector& b) {
  return {mpq_class(a.x) - mpq_class(b.x), mpq_class(a.y) - mpq_class(b.y), mpq_class(a.z) - mpq_class(b.z)};
}
mpq_class ExactDot(const ExactVector& a, const ExactVector& b) { return a[0] * b[0] + a[1] * b[1] + a[2] * b[2]; }

// Whether p lies at most `limit` above the plane of the counter-clockwise triangle: rounded
// arithmetic settles the clear cases, exact rational arithmetic the rest.
bool AtMostAbove(const std::array<Vector, 3>& triangle, const Vector& p, Float limit) {
  const Vector normal = Cross(triangle[1] - triangle[0], triangle[2] - triangle[0]);
  const Vector offset = p - triangle[0];
  const Float rough = Dot(normal, offset) / std::sqrt(Dot(normal, normal));
  if (std::fabs(rough - limit) > 1e-9 * (std::sqrt(Dot(offset, offset)) + std::fabs(limit))) return rough < limit;
  const ExactVector u = ExactDifference(triangle[1], triangle[0]);
  const ExactVector v = ExactDifference(triangle[2], triangle[0]);
  const ExactVector n = {u[1] * v[2] - u[2] * v[1], u[2] * v[0] - u[0] * v[2], u[0] * v[1] - u[1] * v[0]};
  const mpq_class height = ExactDot(n, ExactDifference(p, triangle[0]));
  const mpq_class bound = mpq_class(limit) * mpq_class(limit) * ExactDot(n, n);
  return limit >= 0 ? height <= 0 || height * height <= bound : height < 0 && height * height >= bound;
}

// The widest triangle of the fan from a face's first vertex, the face's best-conditioned plane
// (face loops run counter-clockwise seen from outside).
std::array<Vector, 3> FaceTriangle(const ConvexHullRecord& hull, Int face) {
  const ConvexHullEdge& first = hull.edges[hull.faces[face]];
  std::array<Vector, 3> widest{hull.vertices[first.sourceVertex], {}, {}};
  Float widestArea = 0.0;
  for (Int e = first.nextEdgeOfFace; hull.edges[e].targetVertex != first.sourceVertex;
       e = hull.edges[e].nextEdgeOfFace) {
    const std::array<Vector, 3> triangle{widest[0], hull.vertices[hull.edges[e].sourceVertex],
                                         hull.vertices[hull.edges[e].targetVertex]};
    const Vector normal = Cross(triangle[1] - triangle[0], triangle[2] - triangle[0]);
    if (Dot(normal, normal) <= widestArea) continue;
    widest = triangle;
    widestArea = Dot(normal, normal);
  }
  return widest;
}

// Every point lies at least `depth` below every face plane, up to the tolerance. The two faces of
// a segment have no plane.
::testing::AssertionResult AllBelowEveryFace(const ConvexHullRecord& hull, const Points& points, Float depth,
                                             Float tolerance) {
  if (hull.vertices.GetCount() <= 2) return ::testing::AssertionSuccess();
  for (Int face = 0; face < hull.faces.GetCount(); ++face) {
    const std::array<Vector, 3> triangle = FaceTriangle(hull, face);
    for (size_t i = 0; i < points.size(); ++i)
      if (!AtMostAbove(triangle, points[i], tolerance - depth))
        return ::testing::AssertionFailure() << "point " << i << " lies above face " << face;
  }
  return ::testing::AssertionSuccess();
}

::testing::AssertionResult VerticesFromInput(const ConvexHullRecord& hull, const Points& points, Float tolerance) {
  for (Int v = 0; v < hull.vertices.GetCount(); ++v)
    if (std::none_of(points.begin(), points.end(), [&](const Vector& p) {
          const Vector d = p - hull.vertices[v];
          return Dot(d, d) <= tolerance * tolerance;
        }))
      return ::testing::AssertionFailure() << "vertex " << v << " is no input point";
  return ::testing::AssertionSuccess();
}

// Earlier contents of the result arrays, which every call must replace.
ConvexHullRecord WithLeftovers() {
  ConvexHullRecord hull;
  EXPECT_TRUE(hull.vertices.Append(Vector{7, 7, 7}) && hull.edges.Append(ConvexHullEdge{1, 2, 3, 4, 5}) &&
              hull.faces.Append(9));
  return hull;
}

struct HullCase {
  const char* name;
  Points points;
  Float shrink, shrinkClamp;
  // The distance the faces must move (negative: nothing remains), and the vertex, edge and face
  // counts (-1: only the properties are checked).
  Float expectedShrink;
  Int vertices, edges, faces;
  // Refused input: the error message, and a vertex count claimed beyond the points (0: their number).
  const char* error;
  Int claimedCount;
};

class ConvexHullTest : public ::testing::TestWithParam<HullCase> {};

// The hull has the half-edge structure, its vertices come from the input, and every input point
// lies below every face; a shrunk hull's vertices lie the returned distance below every face of the
// unshrunk one. Refused input, like a hull shrunk away, leaves the arrays empty (its counts are 0);
// the count is checked before any vertex is read, so a claimed count needs no memory behind it.
TEST_P(ConvexHullTest, HullEnclosesTheInputWithValidStructure) {
  const HullCase& expected = GetParam();
  const Points& points = expected.points;
  Result<ConvexHullRef> created = ConvexHullRef::Create();
  ASSERT_TRUE(created);
  ConvexHullRef& ref = created.Value();
  ConvexHullRecord hull = WithLeftovers();
  const Int count = expected.claimedCount > 0 ? expected.claimedCount : static_cast<Int>(points.size());
  const Result<Float> shrunk =
      ref.ComputeConvexHull({points.data(), count}, expected.shrink, expected.shrinkClamp, hull);
  if (expected.vertices >= 0) {
    EXPECT_EQ(hull.vertices.GetCount(), expected.vertices);
    EXPECT_EQ(hull.edges.GetCount(), expected.edges);
    EXPECT_EQ(hull.faces.GetCount(), expected.faces);
  }
  if (expected.error != nullptr) {
    ASSERT_TRUE(!shrunk && shrunk.GetError().Is(IllegalArgumentError));
    EXPECT_EQ(std::string(shrunk.GetError().Message()), expected.error);
    return;
  }
  ASSERT_TRUE(shrunk);
  if (expected.expectedShrink < 0) {
    EXPECT_LT(shrunk.Value(), 0.0);
    return;
  }
  EXPECT_NEAR(shrunk.Value(), expected.expectedShrink, 1e-12);
  if (hull.vertices.GetCount() < 2) return;
  ASSERT_TRUE(IsValidHalfEdgeStructure(hull));
  const Float tolerance = SnapTolerance(points);
  if (expected.shrink <= 0.0) {
    EXPECT_TRUE(AllBelowEveryFace(hull, points, 0.0, tolerance));
    EXPECT_TRUE(VerticesFromInput(hull, points, tolerance));
    return;
  }
  ConvexHullRecord original;
  ASSERT_TRUE(ref.ComputeConvexHull({points.data(), count}, 0.0, 0.0, original));
  EXPECT_TRUE(
      AllBelowEveryFace(original, Points(hull.vertices.begin(), hull.vertices.end()), shrunk.Value(), 2 * tolerance));
}

Points WithDuplicatedCorners() {
  Points points = Uniform(500, 7);
  for (int copy = 0; copy < 3; ++copy)
    for (const Vector& corner : cube) points.push_back((corner - Vector{0.5, 0.5, 0.5}) * 40.0);
  return points;
}

const Points nanPoints{{0, 0, 0}, {1, 0, 0}, {0, std::numeric_limits<Float>::quiet_NaN(), 0}, {0, 0, 1}};

const HullCase hullCases[] = {
    // No input, and one distinct point, which has neither edges nor faces to move.
    {"Empty", {}, 0.5, 0, 0, 0, 0, 0},
    {"SinglePoint", Points(5, Vector{1, 2, 3}), 0.5, 0, 0, 1, 0, 0},
    // Edge midpoints collinear with corners, face centres coplanar with them, and the centre.
    {"CubeWithBoundaryPoints", Lattice(1, [](int, int, int) { return true; }), 0, 0, 0, 8, 24, 6},
    {"Uniform", Uniform(SanitizerScaled(20000, 3000), 1), 0, 0, 0, -1, -1, -1},
    // Exactly cospherical, with many coplanar quadruples.
    {"SphereLattice", Lattice(21, [](int x, int y, int z) { return x * x + y * y + z * z == 425; }), 0, 0, 0, -1, -1,
     -1},
    // A flat square, seen from both sides. Snapping keeps an axis-aligned plane flat; an oblique one
    // may become a thin solid. Then a segment, seen from both sides.
    {"CoplanarAxisAligned", Lattice(3, [](int, int, int z) { return z == 1; }), 0, 0, 0, 4, 8, 2},
    {"CoplanarOblique", Lattice(3, [](int x, int y, int z) { return z == x + y - 1; }), 0, 0, 0, -1, -1, -1},
    {"Collinear", Lattice(5, [](int x, int y, int z) { return y == -2 * x && z == x; }), 0, 0, 0, 2, 2, 1},
    {"DuplicatedCorners", WithDuplicatedCorners(), 0, 0, 0, 8, 24, 6},
    {"FarFromOrigin", Uniform(2000, 3, {-1000, 2000, 50000}), 0, 0, 0, -1, -1, -1},
    {"CubeShrunk", cube, 0.1, 0, 0.1, 8, 24, 6},
    // The cube's inner radius is 0.5: a clamp of 0.5 allows 0.25, one of 0.9 does not limit 0.2.
    {"CubeShrunkClamped", cube, 0.6, 0.5, 0.25, 8, 24, 6},
    {"CubeShrunkBelowClamp", cube, 0.2, 0.9, 0.2, 8, 24, 6},
    {"CubeShrunkAway", cube, 0.6, 0, -1, 0, 0, 0},
    {"UniformShrunk", Uniform(SanitizerScaled(5000, 1000), 4), 1.5, 0, 1.5, -1, -1, -1},
    {"NaN", nanPoints, 0, 0, 0, 0, 0, 0, "ComputeConvexHull: Vertex 2 is not finite."},
    {"Infinite", {{-HUGE_VAL, 0, 0}, {1, 0, 0}}, 0, 0, 0, 0, 0, 0, "ComputeConvexHull: Vertex 0 is not finite."},
    {"TooManyVertices", nanPoints, 0, 0, 0, 0, 0, 0,
     "ComputeConvexHull: 2147483648 vertices exceed the limit of 2147483647.", Int{INT_MAX} + 1},
};

INSTANTIATE_TEST_SUITE_P(Inputs, ConvexHullTest, ::testing::ValuesIn(hullCases),
                         [](const ::testing::TestParamInfo<HullCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zemox
