#include <gtest/gtest.h>

#include <array>

#include "exact_checks.h"
#include "geom/tetrahedron.h"

namespace zemox {
namespace {

using testing::ExactInsphere;
using testing::ExactOrient3d;

std::array<Int32, 3> Face(const Tetrahedron& tet, Int32 slot) {
  std::array<Int32, 3> face{7, 7, 7};
  tet.GetFaceVertices(slot, face[0], face[1], face[2]);
  return face;
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

}  // namespace
}  // namespace zemox
