#include <gtest/gtest.h>

#include <cmath>

#include "voronoi/cellchecks.h"
#include "voronoi3d/cellops.h"

namespace zemox {
namespace {

// A unit cube cut by planes: the kept volume is known in closed form.
struct ClipCase {
  const char* name;
  Vector point;
  Vector normal;
  Float volume;  // -1: the cut removes everything
};

class CellClipTest : public testing::TestWithParam<ClipCase> {};

TEST_P(CellClipTest, KeepsTheSideBehindThePlaneAsAClosedConvexCell) {
  const ClipCase& c = GetParam();
  CellData cell = BoxCell({0, 0, 0}, {1, 1, 1});
  CellScratch scratch;
  const Vector unit = c.normal * (1.0 / Length(c.normal));
  const Bool vanished = ClipCellByPlane(cell, scratch, c.point, unit, 42).Value();
  if (c.volume < 0) {
    EXPECT_TRUE(vanished);
    return;
  }
  ASSERT_FALSE(vanished);
  EXPECT_EQ(CellDefects(cell, true), "");
  EXPECT_NEAR(CellVolume(cell), c.volume, 1e-12);
  for (const Vector& v : cell.vertices) EXPECT_LE(Dot(v - c.point, unit), 1e-9);
}

INSTANTIATE_TEST_SUITE_P(Cube, CellClipTest,
                         testing::Values(ClipCase{"HalfAlongX", {0.5, 0, 0}, {1, 0, 0}, 0.5},
                                         ClipCase{"ThroughThreeCorners", {1, 0, 0}, {1, 1, 1}, 1.0 / 6.0},
                                         ClipCase{"DiagonalThroughEdges", {1, 0, 0}, {1, 1, 0}, 0.5},
                                         ClipCase{"ThroughAFace", {0, 0, 1}, {0, 0, 1}, 1.0},
                                         ClipCase{"AllAway", {0, 0, -0.5}, {0, 0, 1}, -1},
                                         ClipCase{"TouchingACorner", {0, 0, 0}, {1, 1, 1}, -1}),
                         [](const testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

TEST(CellScaleTest, MovesEveryFaceInwardOrRemovesTheCell) {
  CellScratch scratch;
  struct {
    Float scale;
    Bool vanished;
    Float volume;
  } const cases[] = {{-0.00005, false, 8}, {-0.25, false, 1.5 * 1.5 * 1.5}, {-1.5, true, 0}};
  for (const auto& c : cases) {
    CellData cell = BoxCell({0, 0, 0}, {2, 2, 2});
    EXPECT_EQ(ScaleCellData(cell, scratch, c.scale).Value(), c.vanished) << c.scale;
    EXPECT_NEAR(CellVolume(cell), c.volume, 1e-12) << c.scale;
    EXPECT_EQ(CellDefects(cell, true), "") << c.scale;
    EXPECT_EQ(cell.IsEmpty(), c.vanished) << c.scale;
  }
}

TEST(CellMergeTest, TwoBoxesJoinAcrossTheirCommonFace) {
  CellData left = BoxCell({0, 0, 0}, {1, 1, 1});
  CellData right = BoxCell({1, 0, 0}, {2, 1, 1});
  // Give the shared corners one id in both cells and mark the common faces (x = 1) by their neighbour.
  auto mark = [](CellData& cell, Int32 neighbor) {
    for (Int v = 0; v < cell.vertices.GetCount(); ++v) {
      const Vector& p = cell.vertices[v];
      cell.vertexIds[v] = static_cast<Int>(p.x * 100 + p.y * 10 + p.z);
    }
    for (Int f = 0; f < cell.faces.GetCount(); ++f) {
      const CellEdge& e = cell.edges[cell.faces[f]];
      const Vector& a = cell.vertices[e.start];
      if (a.x == 1 && cell.vertices[e.end].x == 1 && cell.vertices[cell.edges[e.next].end].x == 1)
        cell.faceNeighbors[f] = neighbor;
    }
  };
  mark(left, 5);
  mark(right, 4);
  CellScratch scratch;
  DropFacesToward(left, 5);
  ASSERT_TRUE(AppendCell(left, right, 4));
  EXPECT_TRUE(RebuildMergedCell(left, scratch).Value());
  EXPECT_EQ(CellDefects(left, false), "");
  EXPECT_NEAR(CellVolume(left), 2.0, 1e-12);
  EXPECT_EQ(left.vertices.GetCount(), 12);
  EXPECT_EQ(left.faces.GetCount(), 10);
}

TEST(CellTwoFaceVertexTest, AVertexInsideAnEdgeIsRemoved) {
  // A unit cube whose edge from (0,0,0) to (1,0,0) carries an extra corner at (0.5,0,0).
  const Vector m{0.5, 0, 0};
  CellData cell = CellFromPolygons({{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, m},
                                    {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                    {{0, 0, 0}, m, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
                                    {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
                                    {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
                                    {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}});
  ASSERT_EQ(CellDefects(cell, false), "");
  ASSERT_EQ(cell.vertices.GetCount(), 9);
  CellScratch scratch;
  ASSERT_TRUE(RemoveTwoFaceVertices(cell, scratch));
  EXPECT_EQ(CellDefects(cell, true), "");
  EXPECT_EQ(cell.vertices.GetCount(), 8);
  EXPECT_EQ(cell.edges.GetCount(), 24);
  for (const Vector& v : cell.vertices) EXPECT_NE(v, m);
}

}  // namespace
}  // namespace zemox
