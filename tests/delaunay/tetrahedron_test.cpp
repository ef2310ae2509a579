#include <gtest/gtest.h>

#include <array>

#include "exact_checks.h"
#include "geom/tetrahedron.h"

namespace zemox {
namespace {

using testing::ExactInsphere;
using testing::ExactOrient3d;

constexpr Tetrahedron sample(10, 11, 12, 13, 20, 21, 22, 23);

std::array<Int32, 3> Face(const Tetrahedron& tet, Int32 slot) {
  std::array<Int32, 3> face{7, 7, 7};
  tet.GetFaceVertices(slot, face[0], face[1], face[2]);
  return face;
}

TEST(TetrahedronTest, FacesFollowTheSlotConvention) {
  EXPECT_EQ(Face(sample, 0), (std::array<Int32, 3>{10, 11, 12}));
  EXPECT_EQ(Face(sample, 1), (std::array<Int32, 3>{10, 13, 11}));
  EXPECT_EQ(Face(sample, 2), (std::array<Int32, 3>{10, 12, 13}));
  EXPECT_EQ(Face(sample, 3), (std::array<Int32, 3>{11, 13, 12}));
  EXPECT_EQ(Face(sample, -1), (std::array<Int32, 3>{7, 7, 7}));
  EXPECT_EQ(Face(sample, 4), (std::array<Int32, 3>{7, 7, 7}));
}

TEST(TetrahedronTest, FaceOfSlotOmitsOppositeVertexAndEachVertexAppearsThrice) {
  Int uses[4] = {};
  for (Int32 slot = 0; slot < 4; ++slot) {
    for (Int32 vertex : Face(sample, slot)) {
      EXPECT_NE(vertex, sample.GetVertexOppositeSlot(slot));
      ++uses[vertex - 10];
    }
  }
  for (Int count : uses) EXPECT_EQ(count, 3);
}

// With a positively oriented tetrahedron every face, in face order, has the fourth vertex on its
// positive side and a point beyond it on the negative side.
TEST(TetrahedronTest, FaceOrderGivesPositiveOrientationInside) {
  const Vector points[] = {{0, 0, 0}, {0, 1, 0}, {1, 0, 0}, {0, 0, 1}};
  const Tetrahedron tet(0, 1, 2, 3, -1, -1, -1, -1);
  ASSERT_GT(ExactOrient3d(points[0], points[1], points[2], points[3]), 0);
  const Vector centroid{0.25, 0.25, 0.25};
  for (Int32 slot = 0; slot < 4; ++slot) {
    const auto face = Face(tet, slot);
    EXPECT_GT(ExactOrient3d(points[face[0]], points[face[1]], points[face[2]], centroid), 0) << slot;
    const Vector& opposite = points[tet.GetVertexOppositeSlot(slot)];
    const Vector beyond = centroid + (centroid - opposite) * 4.0;
    EXPECT_LT(ExactOrient3d(points[face[0]], points[face[1]], points[face[2]], beyond), 0) << slot;
  }
  EXPECT_GT(ExactInsphere(points[0], points[1], points[2], points[3], centroid), 0);
  EXPECT_LT(ExactInsphere(points[0], points[1], points[2], points[3], Vector{5, 5, 5}), 0);
  EXPECT_EQ(ExactInsphere(points[0], points[1], points[2], points[3], Vector{1, 1, 0}), 0);
}

TEST(TetrahedronTest, LookupsReturnMinusOneForAbsentEntries) {
  EXPECT_EQ(sample.GetVertexPosition(12), 2);
  EXPECT_EQ(sample.GetVertexPosition(99), -1);
  EXPECT_EQ(sample.GetNeighborSlot(21), 1);
  EXPECT_EQ(sample.GetNeighborSlot(99), -1);
  EXPECT_EQ(sample.GetNeighborSlotOppositeVertex(10), 3);
  EXPECT_EQ(sample.GetNeighborSlotOppositeVertex(13), 0);
  EXPECT_EQ(sample.GetNeighborSlotOppositeVertex(99), -1);
  EXPECT_EQ(sample.GetVertexOppositeSlot(1), 12);
  EXPECT_EQ(sample.GetVertexOppositeSlot(4), -1);
  EXPECT_EQ(sample.GetVertexOppositeSlot(-1), -1);
  EXPECT_EQ(sample.GetVertexOppositeNeighbor(23), 10);
  EXPECT_EQ(sample.GetVertexOppositeNeighbor(99), -1);
  Int32 a = 0, b = 0, c = 0;
  sample.GetFaceVerticesToward(22, a, b, c);
  EXPECT_EQ((std::array<Int32, 3>{a, b, c}), (std::array<Int32, 3>{10, 12, 13}));
  sample.GetFaceVerticesToward(99, a, b, c);
  EXPECT_EQ((std::array<Int32, 3>{a, b, c}), (std::array<Int32, 3>{-1, -1, -1}));
}

TEST(TetrahedronTest, VertexSlotsAndReplacement) {
  Int32 slotA = 9, slotB = 9;
  sample.GetVertexSlots(13, 11, slotA, slotB);
  EXPECT_EQ(slotA, 3);
  EXPECT_EQ(slotB, 1);
  slotA = slotB = 9;
  sample.GetVertexSlots(99, 10, slotA, slotB);
  EXPECT_EQ(slotA, 9);
  EXPECT_EQ(slotB, 0);
  Tetrahedron tet = sample;
  EXPECT_TRUE(tet.ReplaceVertex(11, 40));
  EXPECT_EQ(tet.v[1], 40);
  EXPECT_FALSE(tet.ReplaceVertex(11, 41));
  EXPECT_EQ(tet.v[1], 40);
}

TEST(TetrahedronTest, FaceSlotsContainingGivenVertices) {
  EXPECT_EQ(sample.GetFaceSlotContaining(11, 12, 13), 3);
  EXPECT_EQ(sample.GetFaceSlotContaining(13, 10, 12), 2);
  EXPECT_EQ(sample.GetFaceSlotContaining(10, 11, 13), 1);
  EXPECT_EQ(sample.GetFaceSlotContaining(12, 11, 10), 0);
  // Edge (10, 11) lies on the faces of slots 0 and 1.
  EXPECT_EQ(sample.GetOtherFaceSlotContaining(0, 10, 11), 1);
  EXPECT_EQ(sample.GetOtherFaceSlotContaining(1, 10, 11), 0);
  EXPECT_EQ(sample.GetOtherFaceSlotContaining(3, 12, 13), 2);
  EXPECT_EQ(sample.GetOtherFaceSlotContaining(2, 12, 13), 3);
  EXPECT_EQ(sample.GetOtherFaceSlotContaining(0, 10, 99), -1);
}

TEST(TetrahedronTest, BarycentricCoordinatesReproduceThePoint) {
  const Vector points[] = {{2, 0, 0}, {0, 2, 0}, {0, 0, 2}, {0, 0, 0}};
  const Tetrahedron tet(0, 1, 2, 3, -1, -1, -1, -1);
  Float weights[4];
  tet.GetBarycentricCoordinates({points, 4}, Vector{0.5, 0.25, 1.0}, weights);
  EXPECT_DOUBLE_EQ(weights[0], 0.25);
  EXPECT_DOUBLE_EQ(weights[1], 0.125);
  EXPECT_DOUBLE_EQ(weights[2], 0.5);
  EXPECT_DOUBLE_EQ(weights[3], 0.125);
  tet.GetBarycentricCoordinates({points, 4}, points[1], weights);
  EXPECT_DOUBLE_EQ(weights[1], 1.0);
  EXPECT_DOUBLE_EQ(weights[3], 0.0);
}

}  // namespace
}  // namespace zemox
