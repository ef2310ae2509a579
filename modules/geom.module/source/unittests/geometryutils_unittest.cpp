// Self-test of the geometry utilities: named test shapes sent through the registered interface, as a
// caller would, with answers that are exact for these shapes.

#include "geom/geometryutils.h"
#include "geom/degeneratedinputerror.h"
#include "portability.h"
#include "unittests/selftestchecks.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using G = GeometryUtilsInterface;

// Counter-clockwise unless the name says otherwise; integer corners, so areas and signs are exact.
constexpr Vector2d unitSquare[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
constexpr Vector2d clockwiseSquare[] = {{0, 0}, {0, 4}, {4, 4}, {4, 0}};
constexpr Vector2d lShape[] = {{0, 0}, {4, 0}, {4, 2}, {2, 2}, {2, 4}, {0, 4}};
constexpr Vector2d notchedSquare[] = {{0, 0}, {2, 0}, {2, 2}, {1, 1}, {0, 2}};
constexpr Vector2d collinearRun[] = {{0, 0}, {1, 1}, {2, 2}, {3, 3}};
constexpr Vector2d clockwiseRectangle[] = {{0, 0}, {0, 2}, {4, 2}, {4, 0}};
constexpr Vector2d shiftedRectangle[] = {{2, 1}, {2, 3}, {6, 3}, {6, 1}};

template <typename T, Int count>
constexpr Block<const T> Shape(const T (&points)[count]) {
  return {points, count};
}

Result<void> CheckMeasurements() {
  ZEMOX_TRY(Expect(G::CalculateSignedTriangleArea({0, 0, 0}, {4, 0, 0}, {0, 3, 0}) == 6.0, "triangle area"));
  Float area = 0.0;
  Bool clockwise = true;
  const Vector2d centroid = G::CalculateOutlineCentroidAndArea2D(Shape(unitSquare), &area, &clockwise);
  ZEMOX_TRY(Expect(area == 1.0 && !clockwise && centroid == Vector2d{0.5, 0.5}, "unit square centroid and area"));
  ZEMOX_TRY(Expect(G::CalculatePerimeterLength2D(Shape(lShape)) == 16.0, "L-shape perimeter"));
  const Result<Bool> wound = G::IsWoundClockwise2D(Shape(clockwiseSquare));
  return Expect(wound && wound.Value(), "clockwise square winding");
}

Result<void> CheckPointLocation() {
  ZEMOX_TRY(Expect(G::GetPointInPolygonWindingNumber2DExact({3, 1}, Shape(lShape)) != 0, "point in L-shape foot"));
  ZEMOX_TRY(Expect(G::GetPointInPolygonWindingNumber2DExact({3, 3}, Shape(lShape)) == 0, "point in L-shape notch"));
  ZEMOX_TRY(Expect(G::PointInOutline2D({0.5, 0.5}, Shape(unitSquare)), "unit square centre inside"));
  Vector2d crossing;
  ZEMOX_TRY(Expect(G::IntersectSegments2D({0, 0}, {2, 2}, {0, 2}, {2, 0}, crossing, 0.0) && crossing == Vector2d{1, 1},
                   "diagonals of a square cross at its centre"));
  return OK();
}

Result<void> CheckLoops() {
  const BaseArray<Int> hull = ZEMOX_TRY(G::CalculateConvexHull2D(Shape(notchedSquare)));
  ZEMOX_TRY(Expect(hull.GetCount() == 4 && hull[0] == 0 && hull[3] == 4, "hull of the notched square"));
  ZEMOX_TRY(ExpectError(G::CalculateConvexHull2D(Shape(collinearRun)), DegeneratedInputError, "",
                        "hull of collinear points"));
  const BaseArray<BaseArray<Int>> pieces = ZEMOX_TRY(G::CalculateConvexDecomposition2D(Shape(lShape)));
  ZEMOX_TRY(Expect(pieces.GetCount() == 2, "L-shape splits into two convex pieces"));
  return Expect(G::GetContainmentStateForNonIntersectingLoops(Shape(unitSquare), Shape(clockwiseSquare)) ==
                    LOOP_OVERLAP_STATE::A_INSIDE_B,
                "unit square inside the larger square");
}

Result<void> CheckPacking() {
  const BaseArray<Vector2d> noFit =
      ZEMOX_TRY(G::CalculateNoFitPolygonForConvex(Shape(clockwiseRectangle), Shape(clockwiseRectangle), true));
  ZEMOX_TRY(Expect(noFit.GetCount() == 4, "no-fit polygon of two rectangles is a rectangle"));
  const BaseArray<BaseArray<Vector2d>> merged =
      ZEMOX_TRY(G::CalculateUnionOfPolygons(Shape(clockwiseRectangle), Shape(shiftedRectangle), false, true));
  return Expect(merged.GetCount() == 1 && merged[0].GetCount() == 8, "union of two overlapping rectangles");
}

Result<void> GeometryUtilsSelfTest() {
  ZEMOX_TRY(CheckMeasurements());
  ZEMOX_TRY(CheckPointLocation());
  ZEMOX_TRY(CheckLoops());
  return CheckPacking();
}

const Registration geometryUtilsSelfTest({.kind = RecordKind::SELFTEST,
                                          .id = "net.zemox.unittest.geom.module.geometryutilstest",
                                          .owner = UnitTestRegistry,
                                          .selfTest = GeometryUtilsSelfTest});

}  // namespace
}  // namespace zemox
