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
  ASSERT_EQ(vanished, c.volume < 0);
  if (vanished) return;
  EXPECT_EQ(CellDefects(cell, true), "");
  EXPECT_NEAR(CellVolume(cell), c.volume, 1e-12);
}

INSTANTIATE_TEST_SUITE_P(Cube, CellClipTest,
                         testing::Values(ClipCase{"ThroughThreeCorners", {1, 0, 0}, {1, 1, 1}, 1.0 / 6.0},
                                         ClipCase{"DiagonalThroughEdges", {1, 0, 0}, {1, 1, 0}, 0.5},
                                         ClipCase{"ThroughAFace", {0, 0, 1}, {0, 0, 1}, 1.0},
                                         ClipCase{"TouchingACorner", {0, 0, 0}, {1, 1, 1}, -1}),
                         [](const testing::TestParamInfo<ClipCase>& info) { return info.param.name; });

TEST(CellTwoFaceVertexTest, AVertexInsideAnEdgeIsRemoved) {
  // A unit cube whose edge from (0,0,0) to (1,0,0) carries an extra corner at (0.5,0,0).
  const Vector m{0.5, 0, 0};
  CellData cell = CellFromPolygons({{{0, 0, 0}, {0, 1, 0}, {1, 1, 0}, {1, 0, 0}, m},
                                    {{0, 0, 1}, {1, 0, 1}, {1, 1, 1}, {0, 1, 1}},
                                    {{0, 0, 0}, m, {1, 0, 0}, {1, 0, 1}, {0, 0, 1}},
                                    {{0, 1, 0}, {0, 1, 1}, {1, 1, 1}, {1, 1, 0}},
                                    {{0, 0, 0}, {0, 0, 1}, {0, 1, 1}, {0, 1, 0}},
                                    {{1, 0, 0}, {1, 1, 0}, {1, 1, 1}, {1, 0, 1}}});
  CellScratch scratch;
  ASSERT_TRUE(RemoveTwoFaceVertices(cell, scratch));
  EXPECT_EQ(CellDefects(cell, true), "");
  EXPECT_EQ(cell.vertices.GetCount(), 8);
  for (const Vector& v : cell.vertices) EXPECT_NE(v, m);
}

}  // namespace
}  // namespace zemox
