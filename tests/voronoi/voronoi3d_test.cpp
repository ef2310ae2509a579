#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <numeric>
#include <random>
#include <set>
#include <vector>

#include "common/testscale.h"
#include "geom/voronoi3d.h"
#include "voronoi/cellchecks.h"
#include "voronoi3d/cellops.h"
#include "voronoi3d/circumcentre.h"
#include "zemox/jobs.h"

namespace zemox {
namespace {

using Points = std::vector<Vector>;

// Scene-scale input: the vertex merge radius is absolute, so points spread over a 100-unit box.
Points RandomPoints(Int count, UInt seed) {
  std::mt19937_64 random(seed);
  std::uniform_real_distribution<Float> coordinate(0.0, 100.0);
  Points points;
  for (Int i = 0; i < count; ++i) points.push_back({coordinate(random), coordinate(random), coordinate(random)});
  return points;
}

Block<const Vector> View(const Points& points) { return {points.data(), static_cast<Int>(points.size())}; }

Voronoi3DRef Computed(const Points& points, Bool clipping = false) {
  Voronoi3DRef voronoi = Voronoi3DRef::Create().Value();
  EXPECT_TRUE(voronoi.Init({}));
  voronoi.SetForClipping(clipping);
  EXPECT_TRUE(voronoi.SetPoints(View(points)));
  EXPECT_TRUE(voronoi.CalcCells());
  return voronoi;
}

Bool TouchesCorners(const CellData& cell) {
  return std::any_of(cell.faceNeighbors.begin(), cell.faceNeighbors.end(), [](Int32 n) { return n < 4; });
}

// The Voronoi cell of point i among `all`, by brute force: every vertex where three bisector planes
// meet inside all others, and each plane's polygon of such vertices.
struct OracleCell {
  Float volume = 0;
  Int vertexCount = 0;
  std::set<Int32> neighbors;
};

OracleCell BruteForceCell(Block<const Vector> all, Int i) {
  const Vector p = all[i];
  struct Plane {
    Vector normal;
    Float offset;
    Int32 point;
  };
  std::vector<Plane> planes;
  for (Int j = 0; j < all.GetCount(); ++j)
    if (j != i) planes.push_back({all[j] - p, Dot(all[j] - p, (all[j] + p) * 0.5), static_cast<Int32>(j)});
  auto solve = [](const Plane& a, const Plane& b, const Plane& c, Vector& x) {
    const Vector bc = Cross(b.normal, c.normal);
    const Float det = Dot(a.normal, bc);
    if (std::abs(det) < 1e-12 * Length(a.normal) * Length(b.normal) * Length(c.normal)) return false;
    x = (bc * a.offset + Cross(c.normal, a.normal) * b.offset + Cross(a.normal, b.normal) * c.offset) * (1.0 / det);
    return true;
  };
  OracleCell cell;
  std::vector<std::vector<Vector>> onPlane(planes.size());
  const Int n = static_cast<Int>(planes.size());
  for (Int a = 0; a < n; ++a)
    for (Int b = a + 1; b < n; ++b)
      for (Int c = b + 1; c < n; ++c) {
        Vector x;
        if (!solve(planes[a], planes[b], planes[c], x)) continue;
        if (std::any_of(planes.begin(), planes.end(), [&](const Plane& plane) {
              return Dot(plane.normal, x) - plane.offset > 1e-9 * Length(plane.normal) * 100;
            }))
          continue;
        ++cell.vertexCount;
        for (Int k : {a, b, c}) onPlane[k].push_back(x);
      }
  for (Int k = 0; k < n; ++k) {
    std::vector<Vector>& polygon = onPlane[k];
    if (polygon.size() < 3) continue;
    const Vector centre =
        std::accumulate(polygon.begin(), polygon.end(), Vector{}) * (1.0 / static_cast<Float>(polygon.size()));
    const Vector unit = planes[k].normal * (1.0 / Length(planes[k].normal));
    const Vector u = (polygon[0] - centre) * (1.0 / Length(polygon[0] - centre));
    const Vector w = Cross(unit, u);
    std::sort(polygon.begin(), polygon.end(), [&](const Vector& l, const Vector& r) {
      return std::atan2(Dot(l - centre, w), Dot(l - centre, u)) < std::atan2(Dot(r - centre, w), Dot(r - centre, u));
    });
    Float area = 0;
    for (size_t m = 0; m < polygon.size(); ++m)
      area += Dot(Cross(polygon[m] - centre, polygon[(m + 1) % polygon.size()] - centre), unit) / 2;
    if (area < 1e-9) continue;
    cell.volume += area * (planes[k].offset - Dot(unit * Length(planes[k].normal), p)) / Length(planes[k].normal) / 3;
    cell.neighbors.insert(planes[k].point);
  }
  return cell;
}

template <typename T>
Bool SameBytes(Block<const T> a, Block<const T> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                    [](const T& x, const T& y) { return std::memcmp(&x, &y, sizeof(T)) == 0; });
}

Bool SameCells(Block<const CellData> a, Block<const CellData> b) {
  return std::equal(a.begin(), a.end(), b.begin(), b.end(), [](const CellData& x, const CellData& y) {
    return SameBytes(x.GetVertexIds(), y.GetVertexIds()) && SameBytes(x.GetVertices(), y.GetVertices()) &&
           SameBytes(x.GetEdges(), y.GetEdges()) && SameBytes(x.GetFaces(), y.GetFaces()) &&
           SameBytes(x.GetFaceNeighbors(), y.GetFaceNeighbors()) && x.fused == y.fused;
  });
}

// Circumcentres of neighbouring tetrahedra closer than sqrt(1e-5) become one vertex, which bends
// faces by up to that much: about 1e-4 of the size of a cell among points 20 units apart.
constexpr Float mergedTolerance = 1e-4;

// The volume of a copy of the cell clipped to the box [0, 100]^3.
Float ClippedToBox(const CellData& built, CellScratch& scratch) {
  CellData cell;
  EXPECT_TRUE(cell.CopyFrom(built));
  const Vector normals[] = {{-1, 0, 0}, {0, -1, 0}, {0, 0, -1}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}};
  for (const Vector& normal : normals) {
    const Vector through = normal.x + normal.y + normal.z > 0 ? Vector{100, 100, 100} : Vector{};
    if (ClipCellByPlane(cell, scratch, through, normal, -1).Value()) return 0;
  }
  EXPECT_EQ(CellDefects(cell, true, true, mergedTolerance), "");
  return CellVolume(cell);
}

// Input in batches, each added and followed by a calculation.
struct InputCase {
  const char* name;
  std::vector<Points> batches;
  Int emptyCells = 0;     // one for each duplicate
  Int comparedCells = 0;  // at least this many cells equal the brute-force ones exactly
  Bool fillsBox = false;  // the cells clipped to [0, 100]^3 fill it
};

class Voronoi3DInputTest : public testing::TestWithParam<InputCase> {};

// Closed convex cells, linked both ways, each with its point behind every face; away from the
// enclosing corners equal to the brute-force cells (up to merged vertices).
TEST_P(Voronoi3DInputTest, CellsAreClosedAndMatchABruteForceComputation) {
  const InputCase& param = GetParam();
  Voronoi3DRef voronoi = Voronoi3DRef::Create().Value();
  // Later batches get a fixed work space, so that they leave the enclosing corners in place; a single
  // batch sizes them from its own extent, which is zero on some axes for flat input.
  ASSERT_TRUE(voronoi.Init(param.batches.size() > 1 ? Box3D{{0, 0, 0}, {100, 100, 100}} : Box3D{}));
  Points points;
  // The cells come from a point-to-tetrahedron table rebuilt from the tetrahedra: points of an
  // earlier batch, which the later insertions need not touch, still get their cells.
  for (const Points& batch : param.batches) {
    ASSERT_TRUE(points.empty() ? voronoi.SetPoints(View(batch)) : voronoi.AddPoints(View(batch)));
    ASSERT_TRUE(voronoi.CalcCells());
    points.insert(points.end(), batch.begin(), batch.end());
  }
  const Block<const CellData> cells = voronoi.GetCellDataStructure();
  ASSERT_EQ(cells.GetCount(), static_cast<Int>(points.size()));
  Int empty = 0, compared = 0;
  Float boxVolume = 0;
  CellScratch scratch;
  for (Int c = 0; c < cells.GetCount(); ++c) {
    const CellData& cell = cells[c];
    empty += cell.IsEmpty();
    if (cell.IsEmpty()) continue;
    EXPECT_EQ(CellDefects(cell, true, true, mergedTolerance), "") << c;
    for (Int32 n : cell.faceNeighbors)
      EXPECT_TRUE(n < 4 || std::count(cells[n - 4].faceNeighbors.begin(), cells[n - 4].faceNeighbors.end(), c + 4));
    for (Int f = 0; f < cell.faces.GetCount(); ++f)
      EXPECT_LT(Dot(points[c] - cell.vertices[cell.edges[cell.faces[f]].start], FaceNormal(cell, f)), 0) << c;
    if (param.fillsBox) boxVolume += ClippedToBox(cell, scratch);
    if (TouchesCorners(cell) || points.size() > 60) continue;
    const OracleCell oracle = BruteForceCell(voronoi.GetInputPoints(), c + 4);
    const std::set<Int32> neighbors(cell.faceNeighbors.begin(), cell.faceNeighbors.end());
    // Merged circumcentres move some vertices by up to the merge radius and may remove tiny faces.
    const Bool merged = cell.vertices.GetCount() != oracle.vertexCount;
    EXPECT_NEAR(CellVolume(cell), oracle.volume, (merged ? 1e-4 : 1e-9) * oracle.volume) << c;
    EXPECT_TRUE(
        merged ? std::includes(oracle.neighbors.begin(), oracle.neighbors.end(), neighbors.begin(), neighbors.end())
               : neighbors == oracle.neighbors)
        << c;
    compared += !merged;
  }
  EXPECT_EQ(empty, param.emptyCells);
  EXPECT_GE(compared, param.comparedCells);
  EXPECT_NEAR(boxVolume, param.fillsBox ? 1e6 : 0.0, 1e-9 * 1e6);
}

// Twelve points on a line (flat) or on the plane z = 20.
Points Flat(bool line) {
  Points points;
  for (int i = 0; i < 12; ++i)
    points.push_back(line ? Vector{10.0 * i, 5.0 * i, 0} : Vector{10.0 * (i % 4), 10.0 * (i / 4), 20});
  return points;
}

// Exactly cospherical points: every cell vertex is shared by eight tetrahedra.
Points Lattice() {
  Points points;
  for (int i = 0; i < 27; ++i) points.push_back({10.0 * (i / 9), 10.0 * (i / 3 % 3), 10.0 * (i % 3)});
  return points;
}

const InputCase inputCases[] = {
    {"Random", {RandomPoints(SanitizerScaled(60, 30), 7)}, 0, 3},
    {"TwoBatches", {RandomPoints(60, 12), RandomPoints(60, 13)}, 0, 0, true},
    {"CosphericalLattice", {Lattice()}},
    {"NoPoints", {{}}},
    {"OnePoint", {{{1, 2, 3}}}},
    {"Duplicates", {{{0, 0, 0}, {10, 0, 0}, {0, 0, 0}, {0, 10, 0}, {0, 0, 10}}}, 1},
    {"Collinear", {Flat(true)}},
    {"Coplanar", {Flat(false)}},
};

INSTANTIATE_TEST_SUITE_P(Inputs, Voronoi3DInputTest, testing::ValuesIn(inputCases),
                         [](const testing::TestParamInfo<InputCase>& info) { return info.param.name; });

// The lattice's centre cell is the exact cube: its corners, each a merge of eight circumcentres.
// Scaling moves the faces inward by the given distance, not at all below 0.0001, and a large
// distance empties the cell.
TEST(Voronoi3DTest, CosphericalLatticeCentreCellIsTheExactCube) {
  Voronoi3DRef voronoi = Computed(Lattice());
  auto centre = [&]() -> const CellData& { return voronoi.GetCellDataStructure()[13]; };
  EXPECT_EQ(CellDefects(centre(), true), "");
  EXPECT_EQ(centre().vertices.GetCount(), 8);
  EXPECT_EQ(centre().faces.GetCount(), 6);
  EXPECT_NEAR(CellVolume(centre()), 1000.0, 1e-9);
  ASSERT_TRUE(voronoi.ScaleCell(13, -0.00005));
  EXPECT_NEAR(CellVolume(centre()), 1000.0, 1e-9);
  ASSERT_TRUE(voronoi.ScaleAllCells(-1));
  EXPECT_NEAR(CellVolume(centre()), 512.0, 1e-9);
  for (const CellData& cell : voronoi.GetCellDataStructure()) EXPECT_EQ(CellDefects(cell, true), "");
  ASSERT_TRUE(voronoi.ScaleCell(13, -1000));
  EXPECT_TRUE(centre().IsEmpty());
  EXPECT_TRUE(voronoi.GetCellHasVolume()[13]);
}

// Two face neighbours away from the border, for the fusion tests.
std::pair<Int, Int> InnerNeighbors(Block<const CellData> cells) {
  for (Int a = 0; a < cells.GetCount(); ++a) {
    if (TouchesCorners(cells[a])) continue;
    for (Int32 n : cells[a].faceNeighbors)
      if (!TouchesCorners(cells[n - 4])) return {a, n - 4};
  }
  return {-1, -1};
}

TEST(Voronoi3DTest, FuseGroupsAndFusedPairsBecomeOneClosedCell) {
  const Points points = RandomPoints(80, 5);
  Voronoi3DRef plain = Computed(points);
  const auto [a, b] = InnerNeighbors(plain.GetCellDataStructure());
  ASSERT_GE(a, 0);
  const Float joined = CellVolume(plain.GetCellDataStructure()[a]) + CellVolume(plain.GetCellDataStructure()[b]);

  Voronoi3DRef grouped = Voronoi3DRef::Create().Value();
  ASSERT_TRUE(grouped.Init({}));
  ASSERT_TRUE(grouped.SetPoints(View(points)));
  const Int group[] = {a, b};
  ASSERT_TRUE(grouped.SetCellFuseGroup({group, 2}));
  ASSERT_TRUE(grouped.CalcCells());

  const CellIndexPair pair{a, b};
  ASSERT_TRUE(plain.FuseCells({&pair, 1}));
  for (Voronoi3DRef* fused : {&grouped, &plain}) {
    const Block<const CellData> cells = fused->GetCellDataStructure();
    EXPECT_TRUE(cells[a].fused);
    EXPECT_EQ(CellDefects(cells[a], false, true, mergedTolerance), "");
    EXPECT_NEAR(CellVolume(cells[a]), joined, 1e-9 * joined);
    EXPECT_TRUE(cells[b].IsEmpty());
    for (const CellData& cell : cells)
      EXPECT_EQ(std::count(cell.faceNeighbors.begin(), cell.faceNeighbors.end(), b + 4), 0);
  }
  // A point added after the groups were set has no group entry; its cell is built unfused.
  ASSERT_TRUE(grouped.AddPoint({50, 50, 50}));
  ASSERT_TRUE(grouped.CalcCells());
  EXPECT_FALSE(grouped.GetCellDataStructure()[static_cast<Int>(points.size())].fused);
  EXPECT_TRUE(grouped.GetCellDataStructure()[b].IsEmpty());
}

TEST(Voronoi3DTest, InvertedCellIsClosedAndFillsTheEnclosingTetrahedron) {
  Voronoi3DRef voronoi = Computed(RandomPoints(30, 4));
  Float cellsVolume = 0;
  for (const CellData& cell : voronoi.GetCellDataStructure()) cellsVolume += CellVolume(cell);
  ASSERT_TRUE(voronoi.CreateInvertedVoronoiCell());
  ASSERT_EQ(voronoi.GetCellCount(), 1);
  const CellData& inverted = voronoi.GetCellDataStructure()[0];
  EXPECT_EQ(CellDefects(inverted, false, false, mergedTolerance), "");
  EXPECT_FALSE(voronoi.GetCellHasVolume()[0]);
  const Vector* corner = &inverted.vertices[inverted.vertices.GetCount() - 4];
  const Float tetrahedron =
      std::abs(Dot(corner[1] - corner[0], Cross(corner[2] - corner[0], corner[3] - corner[0]))) / 6;
  EXPECT_NEAR(CellVolume(inverted), tetrahedron - cellsVolume, 1e-9 * tetrahedron);
}

// Calls before Init, and cell indices outside the cells, fail with messages naming the call.
TEST(Voronoi3DTest, RefusedCallsReportWhy) {
  Voronoi3DRef early = Voronoi3DRef::Create().Value();
  Voronoi3DRef computed = Computed(RandomPoints(10, 1));
  const Vector point{1, 2, 3};
  const Int indices[] = {2, 10};
  const CellIndexPair outside{-1, 3};
  const std::string beforeInit = ": Init has not been called.";
  const std::pair<Result<void>, std::string> calls[] = {
      {early.SetPoints({&point, 1}), "SetPoints" + beforeInit},
      {early.AddPoint(point), "AddPoint" + beforeInit},
      {early.AddPoints({&point, 1}), "AddPoints" + beforeInit},
      {early.CalcCells(), "CalcCells" + beforeInit},
      {early.CalcTetrahedralization(), "CalcTetrahedralization" + beforeInit},
      {early.SetCellFuseGroup({indices, 1}), "SetCellFuseGroup" + beforeInit},
      {computed.SetCellFuseGroup({indices, 2}), "SetCellFuseGroup: Cell index 10 is outside the 10 cells."},
      {computed.FuseCells({&outside, 1}), "FuseCells: Cell pair (-1, 3) is outside the 10 cells."}};
  for (const auto& [result, message] : calls) {
    ASSERT_FALSE(result) << message;
    EXPECT_EQ(result.GetError().Message(), message);
  }
}

// A job cancelled before it starts still gets complete cells, then the cancellation error. A copy
// of them is equal and carries on by itself when the original is flushed.
TEST(Voronoi3DTest, CancelledJobGetsCompleteCellsAndACopyCarriesOn) {
  const Points points = RandomPoints(200, 8);
  Voronoi3DRef voronoi = Voronoi3DRef::Create().Value();
  ASSERT_TRUE(voronoi.Init({}));
  voronoi.SetForClipping(true);
  ASSERT_TRUE(voronoi.SetPoints(View(points)));
  ASSERT_TRUE(voronoi.CalcTetrahedralization());
  Result<void> outcome = OK();
  {
    JobGroup group;
    ASSERT_TRUE(group.Add([&] { outcome = voronoi.CalcCells(); }));
    group.Cancel();
    ASSERT_TRUE(group.Start());
    group.Wait();
  }
  ASSERT_FALSE(outcome);
  EXPECT_TRUE(outcome.GetError().Is(ThreadCancelledError));
  EXPECT_TRUE(voronoi.IsReady());
  EXPECT_TRUE(SameCells(voronoi.GetCellDataStructure(), Computed(points, true).GetCellDataStructure()));
  Voronoi3DRef copy = Voronoi3DRef::Create().Value();
  ASSERT_TRUE(copy.CopyFrom(voronoi));
  EXPECT_TRUE(SameCells(copy.GetCellDataStructure(), voronoi.GetCellDataStructure()));
  voronoi.Flush();
  ASSERT_TRUE(copy.AddPoint({50, 50, 50}) && copy.CalcCells());
  EXPECT_EQ(copy.GetCellCount(), 201);
}

TEST(BigCircumcentreTest, ExactCentresAndFlatTetrahedra) {
  BigCircumcentre centre;
  ASSERT_TRUE(centre.Init());
  EXPECT_EQ(centre.Compute({1e20, 0, 0}, {-1e20, 0, 0}, {0, 1e20, 0}, {0, 0, 1e20}), (Vector{0, 0, 0}));
  const Vector flat = centre.Compute({0, 0, 0}, {1, 0, 0}, {0, 1, 0}, {1, 1, 0});
  EXPECT_FALSE(std::isfinite(flat.x) && std::isfinite(flat.y) && std::isfinite(flat.z));
  EXPECT_EQ(std::signbit(centre.Compute({-1, 0, 0}, {1, 0, 0}, {0, 1, 0}, {0, 0, 1}).x), false);
}

Bool SameBits(const Vector& a, const Vector& b) {
  auto same = [](Float x, Float y) { return (std::isnan(x) && std::isnan(y)) || std::memcmp(&x, &y, sizeof x) == 0; };
  return same(a.x, b.x) && same(a.y, b.y) && same(a.z, b.z);
}

// Tetrahedra on which the fast path must agree bit for bit with the 256-bit computation: general
// ones, nearly flat ones (a corner lifted off the plane of the others by a tiny height, where
// cancellation is worst), huge and tiny coordinates, and coordinates far from the origin.
TEST(BigCircumcentreTest, FastPathGivesTheBitsOfThe256BitComputation) {
  BigCircumcentre filtered;
  BigCircumcentre exact;
  ASSERT_TRUE(filtered.Init());
  ASSERT_TRUE(exact.Init());
  std::mt19937_64 random(99);
  std::uniform_real_distribution<Float> unit(-1.0, 1.0);
  auto point = [&](Float scale, Vector offset) {
    return offset + Vector{unit(random), unit(random), unit(random)} * scale;
  };
  const Int rounds = SanitizerScaled(20000, 2000);
  for (Int round = 0; round < rounds; ++round) {
    const Int kind = round % 4;
    const Float scale = kind == 2 ? std::ldexp(1.0, static_cast<int>(round % 200) - 100) : 1.0;
    const Vector offset = kind == 3 ? Vector{1e6, -3e5, 7e4} : Vector{};
    Vector p[4] = {point(scale, offset), point(scale, offset), point(scale, offset), point(scale, offset)};
    if (kind == 1) {
      // The fourth corner on the plane of the first three, then lifted by a tiny height.
      const Float u = unit(random), w = unit(random);
      const Vector normal = Cross(p[1] - p[0], p[2] - p[0]);
      p[3] = p[0] + (p[1] - p[0]) * u + (p[2] - p[0]) * w + normal * std::ldexp(1.0, -static_cast<int>(round % 60));
    }
    EXPECT_TRUE(SameBits(filtered.Compute(p[0], p[1], p[2], p[3]), exact.ComputeExactly(p[0], p[1], p[2], p[3])))
        << round;
  }
  // The nearly flat ones need the fallback.
  EXPECT_GT(filtered.GetFallbackCount(), 0);
}

}  // namespace
}  // namespace zemox
