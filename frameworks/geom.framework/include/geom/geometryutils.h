#pragma once

#include "geom/geometrytypes.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/enumeration.h"
#include "zemox/interface.h"
#include "zemox/result.h"
#include "zemox/types.h"

namespace zemox {

// Answer of the classified vertex test: a decision, or the reason why there is none.
ZEMOX_ENUM(GEOMETRY_TEST_EXACT, "GEOMETRY_TEST_EXACT", "net.zemox.geom.enum.geometry_test_exact",
           (GEOM_FALSE, 0),            // the test is negative (for example the vertex is concave)
           (GEOM_TRUE, 1),             // the test is positive
           (GEOM_PARALLEL, 2),         // the two directions are the same within epsilon
           (GEOM_ANTIPARALLEL, 3),     // the two directions are opposite within epsilon
           (GEOM_COINCIDENT_PREV, 4),  // the vertex coincides with its predecessor
           (GEOM_COINCIDENT_NEXT, 5),  // the vertex coincides with its successor
           (GEOM_COINCIDENT_ALL, 6),   // the vertex coincides with both neighbours
           (GEOM_DEGENERATE, 7),       // the test cannot decide (zero or undefined cross product)
           (GEOM_INVALID_INPUT, 8))    // the input was rejected

// How two loops that do not cross each other lie to one another.
ZEMOX_ENUM(LOOP_OVERLAP_STATE, "LOOP_OVERLAP_STATE", "net.zemox.geom.enum.loop_overlap_state", (INTERSECTING, 0),
           (DISJOINT, 1), (A_INSIDE_B, 2), (B_INSIDE_A, 3), (COINCIDENT, 4), (DEGENERATE, 5))

// What the loop clean-up does with an edge; 0 is deliberately not a value.
ZEMOX_ENUM(FIXOPERATION, "FIXOPERATION", "net.zemox.geom.enum.fixoperation", (SKIPEDGE, 1), (FUSEWITHNEXT, 2),
           (NOTHING, 3))

namespace UnionUtilsInternal {

// Where the polygon union moved a point onto the other loop's geometry.
ZEMOX_ENUM(GEOM_SNAP_DATA, "UnionUtilsInternal::GEOM_SNAP_DATA",
           "net.zemox.geom.enum.unionutilsinternal.geom_snap_data", (GEOM_NO_SNAPPING, 0), (GEOM_SNAP_TO_VERTEX, 1),
           (GEOM_SNAP_TO_EDGE, 2))

// Flag set: on which sides of a box a point lies (INSIDE when none).
ZEMOX_ENUM(RELATIVE_TO_RANGE_STATE, "UnionUtilsInternal::RELATIVE_TO_RANGE_STATE",
           "net.zemox.geom.enum.unionutilsinternal.relative_to_range_state", (INSIDE, 0), (OUTSIDE_POS_X, 1),
           (OUTSIDE_POS_Y, 2), (OUTSIDE_NEG_X, 4), (OUTSIDE_NEG_Y, 8))

}  // namespace UnionUtilsInternal

// Stateless 2D and 3D geometry functions: measurements, plane mappings, convexity and point location,
// line, segment, plane and triangle intersections, interpolation, 2D loop analysis and clean-up,
// convex decomposition, no-fit and inner-fit polygons and the union of two loops for 2D packing. Any
// number of threads may call them at once. Functions that cannot fail answer degenerate input with
// the neutral value their comment names.
//
// Absolute tolerances (1e-4, 1e-5, 1e-7, 1e-8 and their squares) assume scene units: coordinates
// from about 1e-2 to 1e5 with features no smaller than about 1e-2. Every function whose answer depends
// on such a tolerance says so below.
class GeometryUtilsInterface : public StaticInterface<GeometryUtilsInterface> {
 public:
  ZEMOX_INTERFACE("net.zemox.geom.geometryutils", 84)

  // (value - from1) / (to1 - from1) * (to2 - from2) + from2, unclamped; from2 when from1 == to1.
  ZEMOX_STATIC_SLOT(0, Float, LinearRemapToRange, (IN, Float, value), (IN, Float, from1), (IN, Float, to1),
                    (IN, Float, from2), (IN, Float, to2))
  // Angle from direction1 to direction2 in [-pi, pi], positive for a clockwise turn (x right, y up).
  ZEMOX_STATIC_SLOT(1, Float, GetAngle2D, (IN, const Vector2d&, direction1), (IN, const Vector2d&, direction2))
  // |point - segmentPoint1| / |segmentPoint2 - segmentPoint1| (a ratio of distances, not a projection),
  // limited to [0, 1] with clamp; 0 for a zero-length segment.
  ZEMOX_STATIC_SLOT(2, Float, InterpolatePointOnSegment, (IN, const Vector&, segmentPoint1),
                    (IN, const Vector&, segmentPoint2), (IN, const Vector&, point), (IN, Bool, clamp))
  ZEMOX_STATIC_SLOT(3, Float, InterpolatePointOnSegment2D, (IN, const Vector2d&, segmentPoint1),
                    (IN, const Vector2d&, segmentPoint2), (IN, const Vector2d&, point), (IN, Bool, clamp))
  // Least-squares plane through the points: centroid and unit normal (sign arbitrary). False with both
  // zero for fewer than 3 points. Stops when the normal moves by at most 1e-4 per component, or after
  // iterMax steps (none for iterMax <= 0: normal stays zero and the result is still true).
  ZEMOX_STATIC_SLOT(4, Bool, CalculateBestFitPlane, (IN, Block<const Vector>, pointCloud), (OUT, Vector&, centroid),
                    (OUT, Vector&, normal), (IN, Int, iterMax))
  // Coordinates of the points in a basis of the plane with the given unit normal; with computeBasis the
  // basis comes from the first non-zero edge, otherwise basisVector0/1 are used as given. translate is
  // the offset along the normal that Point2Dto3D adds back. With checkDegenerated, a basis that maps two
  // consecutive points onto one is rebuilt around the centroid. Fails with IllegalArgumentError for
  // fewer than 2 points, DegeneratedInputError when a basis is to be computed from points that are all
  // equal, or out of memory; the outputs may then hold partial values.
  ZEMOX_STATIC_SLOT(5, Result<void>, Points3Dto2D, (IN, Block<const Vector>, points), (IN, const Vector&, normal),
                    (INOUT, Vector&, basisVector0), (INOUT, Vector&, basisVector1), (OUT, Vector&, translate),
                    (IN, Bool, checkDegenerated), (OUT, BaseArray<Vector2d>&, outPoints), (IN, Bool, computeBasis))
  // The same with a computed basis, which is discarded.
  ZEMOX_STATIC_SLOT(6, Result<void>, Points3Dto2D, (IN, Block<const Vector>, points), (IN, const Vector&, normal),
                    (IN, Bool, checkDegenerated), (OUT, BaseArray<Vector2d>&, outPoints))
  // point.x * basisVector0 + point.y * basisVector1 + translate.
  ZEMOX_STATIC_SLOT(7, Vector, Point2Dto3D, (IN, const Vector2d&, point), (IN, const Vector&, basisVector0),
                    (IN, const Vector&, basisVector1), (IN, const Vector&, translate))
  // Point2Dto3D of every point into outPoints (resized); fails only when out of memory.
  ZEMOX_STATIC_SLOT(8, Result<void>, Points2Dto3D, (IN, Block<const Vector2d>, points),
                    (IN, const Vector&, basisVector0), (IN, const Vector&, basisVector1),
                    (IN, const Vector&, translate), (OUT, BaseArray<Vector>&, outPoints))
  // Unsigned area of the triangle.
  ZEMOX_STATIC_SLOT(9, Float, CalculateTriangleArea, (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c))
  // Area with the sign of the turn seen from +z: positive counter-clockwise (and when flat in z).
  ZEMOX_STATIC_SLOT(10, Float, CalculateSignedTriangleArea, (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c))
  // Sum of the unsigned areas of triangles (a, b, c) and (a, c, d).
  ZEMOX_STATIC_SLOT(11, Float, CalculateQuadrangleArea, (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (IN, const Vector&, d))
  // Unsigned area of a 3D outline in its best-fit plane (whose normal settles to 1e-4, so the area is
  // good to about 1e-7 relative); 0 for fewer than 3 points or out of memory.
  ZEMOX_STATIC_SLOT(12, Float, CalculateOutlineArea, (IN, Block<const Vector>, outlinePoints))
  // Newell normal of the loop points[indices[0]], points[indices[1]], ...: twice the area vector,
  // pointing to the side from which the loop runs counter-clockwise; unit length with normalized (zero
  // stays zero).
  ZEMOX_STATIC_SLOT(13, Vector, CalculateOutlineNormal, (IN, Block<const Vector>, points),
                    (IN, Block<const Int32>, indices), (IN, Bool, normalized))
  // The same over the loop of all points in order; zero for an empty input.
  ZEMOX_STATIC_SLOT(14, Vector, CalculateOutlineNormal, (IN, Block<const Vector>, points), (IN, Bool, normalize))
  // True when pred -> vertex -> next turns left around the unit vector up; straight continuations and
  // turning back (directions equal or opposite within 1e-4 per component) count as convex.
  ZEMOX_STATIC_SLOT(15, Bool, IsVertexConvex, (IN, const Vector&, vertex), (IN, const Vector&, next),
                    (IN, const Vector&, pred), (IN, const Vector&, up))
  // Classified variant without projection onto the plane of up: coincident neighbours, parallel and
  // antiparallel directions are decided with epsilon per component of the normalized directions;
  // GEOM_DEGENERATE when the turn's cross product is zero or not a number.
  ZEMOX_STATIC_SLOT(16, GEOMETRY_TEST_EXACT, IsVertexConvexExact, (IN, const Vector&, vertex),
                    (IN, const Vector&, next), (IN, const Vector&, pred), (IN, const Vector&, up), (IN, Float, epsilon))
  // Mean value weights of `point` for the closed outline, one per vertex, summing to 1 (all 0 when they cannot be
  // normalised). A point within 0.0001 of an edge gets (1 - lambda, lambda) on that edge's endpoints and 0 elsewhere.
  // Turning directions are read around +z.
  ZEMOX_STATIC_SLOT(17, Result<void>, CalculateMeanValueCoordinatesWeights, (IN, const Vector&, point),
                    (IN, Block<const Vector>, outline), (OUT, BaseArray<Float>&, weights))
  // As above for the outline points[outlineIndices[i]], turning around `normal`; weights are indexed like
  // outlineIndices and the on-edge distance is 1e-7. An index outside `points` is an IllegalArgumentError.
  ZEMOX_STATIC_SLOT(18, Result<void>, CalculateMeanValueCoordinatesWeights, (IN, const Vector&, point),
                    (IN, Block<const Vector>, points), (IN, Block<const Int32>, outlineIndices),
                    (IN, const Vector&, normal), (OUT, BaseArray<Float>&, weights))
  // IsVertexConvex in the plane: a counter-clockwise turn is convex (tolerance 1e-4 as there).
  ZEMOX_STATIC_SLOT(19, Bool, IsVertexConvex2D, (IN, const Vector2d&, vertex), (IN, const Vector2d&, next),
                    (IN, const Vector2d&, pred))
  // IsVertexConvexExact in the plane: a counter-clockwise turn is GEOM_TRUE.
  ZEMOX_STATIC_SLOT(20, GEOMETRY_TEST_EXACT, IsVertexConvexExact2D, (IN, const Vector2d&, vertex),
                    (IN, const Vector2d&, next), (IN, const Vector2d&, pred), (IN, Float, epsilon))
  // Weights (of c, of b) of the projection of point into the triangle's plane; (0, 0) for a degenerate
  // triangle.
  ZEMOX_STATIC_SLOT(21, Vector2d, CalculateBarycentricCoordinate, (IN, const Vector&, point), (IN, const Vector&, a),
                    (IN, const Vector&, b), (IN, const Vector&, c))
  // Weights of a, b and c of the projection of point into the triangle's plane; (1, 0, 0) for a
  // degenerate triangle.
  ZEMOX_STATIC_SLOT(22, Vector, CalculateBarycentricCoordinate3D, (IN, const Vector&, point), (IN, const Vector&, a),
                    (IN, const Vector&, b), (IN, const Vector&, c))
  // True when the projection of point lies in the closed triangle; true everywhere for a degenerate one.
  ZEMOX_STATIC_SLOT(23, Bool, PointInTriangle, (IN, const Vector&, point), (IN, const Vector&, a),
                    (IN, const Vector&, b), (IN, const Vector&, c))
  // Edges a-b and a-c belong to the triangle, edge b-c does not; a degenerate triangle contains nothing.
  ZEMOX_STATIC_SLOT(24, Bool, PointInTriangle2D, (IN, const Vector2d&, point), (IN, const Vector2d&, a),
                    (IN, const Vector2d&, b), (IN, const Vector2d&, c))
  // Winding number of the closed outline around point: +1 inside a counter-clockwise simple outline,
  // -1 inside a clockwise one, 0 outside or for an empty outline. Points on the boundary may go either way.
  ZEMOX_STATIC_SLOT(25, Int, GetPointInPolygonWindingNumber2D, (IN, const Vector2d&, point),
                    (IN, Block<const Vector2d>, outline))
  // The same with exact orientation signs: the answer is exact for every input.
  ZEMOX_STATIC_SLOT(26, Int, GetPointInPolygonWindingNumber2DExact, (IN, const Vector2d&, point),
                    (IN, Block<const Vector2d>, outline))
  // The same, except that a point on an edge (also on a horizontal edge's supporting line at the point's
  // height) returns 1 with edgeHit = the index of that edge; edgeHit is -1 otherwise.
  ZEMOX_STATIC_SLOT(27, Int, GetPointInPolygonWindingNumber2D, (IN, const Vector2d&, point),
                    (IN, Block<const Vector2d>, outline), (OUT, Int&, edgeHit))
  // The 2D winding numbers with the x and y of 3D points (z is ignored).
  ZEMOX_STATIC_SLOT(28, Int, GetPointInPolygonWindingNumber, (IN, const Vector&, point),
                    (IN, Block<const Vector>, outline))
  ZEMOX_STATIC_SLOT(29, Int, GetPointInPolygonWindingNumber, (IN, const Vector&, point),
                    (IN, Block<const Vector>, outline), (OUT, Int&, edgeHit))
  // Ray casting towards +x over 10000 units with tolerance 1e-4: false for a point within 1e-4 of a vertex,
  // for points whose crossings all lie beyond the ray's end, and when out of memory.
  ZEMOX_STATIC_SLOT(30, Bool, PointInOutline2D, (IN, const Vector2d&, point), (IN, Block<const Vector2d>, outline))
  // Crossing parity with exact comparisons, unbounded ray, vertices at the point's height counted only
  // when the outline passes through; false for fewer than 3 points. Boundary points go either way.
  ZEMOX_STATIC_SLOT(31, Bool, PointInOutlineRobust2D, (IN, const Vector2d&, point),
                    (IN, Block<const Vector2d>, outline))
  // Weighted direction halfway between the edge directions v1 and v2 (weights w1, w2; 0 means unweighted),
  // perpendicular to up. Directions equal or opposite within 1e-4 per component give the normal of v2.
  ZEMOX_STATIC_SLOT(32, Vector, CalculateBisector, (IN, const Vector&, v1), (IN, const Vector&, v2),
                    (IN, const Vector&, up), (IN, Float, w1), (IN, Float, w2))
  // Centre and squared radius of the circle through a, b, c; false (outputs untouched) when tolerance²
  // exceeds twice the triangle's signed area in magnitude.
  ZEMOX_STATIC_SLOT(33, Bool, CalculateCircumcenter2D, (IN, const Vector2d&, a), (IN, const Vector2d&, b),
                    (IN, const Vector2d&, c), (OUT, Vector2d&, center), (OUT, Float&, sqrRad), (IN, Float, tolerance))
  // Centre and radius of the circle through a, b, c; false when a side is shorter than tolerance or
  // tolerance² exceeds 2|(a - b) x (b - c)|².
  ZEMOX_STATIC_SLOT(34, Bool, CalculateCircumcenter, (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (OUT, Vector&, center), (OUT, Float&, rad), (IN, Float, tolerance))
  // Closed segments cross or touch, decided without tolerance; parallel and collinear segments give false.
  ZEMOX_STATIC_SLOT(35, Bool, SegmentsIntersectionTest2D, (IN, const Vector2d&, segment1Point1),
                    (IN, const Vector2d&, segment1Point2), (IN, const Vector2d&, segment2Point1),
                    (IN, const Vector2d&, segment2Point2))
  // The ray from rayStartPoint along rayDirection meets the closed segment; parallel gives false.
  ZEMOX_STATIC_SLOT(36, Bool, SegmentRayIntersectionTest2D, (IN, const Vector2d&, segmentPoint1),
                    (IN, const Vector2d&, segmentPoint2), (IN, const Vector2d&, rayStartPoint),
                    (IN, const Vector2d&, rayDirection))
  // Crossing point of two segments whose parameters lie in [-tolerance, 1 + tolerance]; intersectionPoint is
  // (0, 0) unless true. Parallel segments (cross product exactly 0) give false.
  ZEMOX_STATIC_SLOT(37, Bool, IntersectSegments2D, (IN, const Vector2d&, segment1Point1),
                    (IN, const Vector2d&, segment1Point2), (IN, const Vector2d&, segment2Point1),
                    (IN, const Vector2d&, segment2Point2), (OUT, Vector2d&, intersectionPoint), (IN, Float, tolerance))
  // Gap vector from the closest point of line 2 to the closest point of line 1, with the line parameters of those
  // points. Lines are parallel when A*C - B^2 of their directions is below tolerance; then the gap is
  // line1Point - line2Point and both parameters are 0.
  ZEMOX_STATIC_SLOT(38, Vector, LineLineDistance, (IN, const Vector&, line1Point), (IN, const Vector&, line1Dir),
                    (IN, const Vector&, line2Point), (IN, const Vector&, line2Dir), (OUT, Bool&, parallel),
                    (OUT, Float&, param1), (OUT, Float&, param2), (IN, Float, tolerance))
  // Point on the segment: within tolerance of the cross product |d x w| (not a distance) and between the ends.
  // A segment whose ends differ by at most tolerance in both coordinates contains nothing.
  ZEMOX_STATIC_SLOT(39, Bool, PointInSegment2D, (IN, const Vector2d&, point), (IN, const Vector2d&, segmentPoint1),
                    (IN, const Vector2d&, segmentPoint2), (IN, Float, tolerance))
  // Point on the segment: |d x w| below tolerance (|d| times the distance, not the distance) and between the ends.
  ZEMOX_STATIC_SLOT(40, Bool, PointInSegment, (IN, const Vector&, point), (IN, const Vector&, segmentPoint1),
                    (IN, const Vector&, segmentPoint2), (IN, Float, tolerance))
  // The direction from the origin to the point matches the unit halfLineDir within tolerance per component; the
  // origin itself and any non-unit direction do not match.
  ZEMOX_STATIC_SLOT(41, Bool, PointInHalfLine, (IN, const Vector&, point), (IN, const Vector&, halfLineOrigin),
                    (IN, const Vector&, halfLineDir), (IN, Float, tolerance))
  // Meeting point of two lines whose gap is below tolerance; false when parallel (see LineLineDistance).
  ZEMOX_STATIC_SLOT(42, Bool, IntersectLines, (IN, const Vector&, line1Point), (IN, const Vector&, line1Dir),
                    (IN, const Vector&, line2Point), (IN, const Vector&, line2Dir), (OUT, Vector&, intersectionPoint),
                    (IN, Float, tolerance))
  // Meeting point of a line and a segment; the segment test uses 10*tolerance.
  ZEMOX_STATIC_SLOT(43, Bool, IntersectLineSegment, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, segmentPoint1), (IN, const Vector&, segmentPoint2),
                    (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // Meeting point of two segments, each tested with tolerance.
  ZEMOX_STATIC_SLOT(44, Bool, IntersectSegments, (IN, const Vector&, segment1Point1),
                    (IN, const Vector&, segment1Point2), (IN, const Vector&, segment2Point1),
                    (IN, const Vector&, segment2Point2), (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // Meeting point of two half-lines with unit directions (see PointInHalfLine).
  ZEMOX_STATIC_SLOT(45, Bool, IntersectHalfLines, (IN, const Vector&, halfLine1Origin),
                    (IN, const Vector&, halfLine1Dir), (IN, const Vector&, halfLine2Origin),
                    (IN, const Vector&, halfLine2Dir), (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // Meeting point of a line and a half-line with a unit direction.
  ZEMOX_STATIC_SLOT(46, Bool, IntersectLineHalfLine, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, halfLineOrigin), (IN, const Vector&, halfLineDir),
                    (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // Meeting point of a half-line and a segment (segment test with 10*tolerance).
  ZEMOX_STATIC_SLOT(47, Bool, IntersectHalfLineSegment, (IN, const Vector&, halfLineOrigin),
                    (IN, const Vector&, halfLineDir), (IN, const Vector&, segmentPoint1),
                    (IN, const Vector&, segmentPoint2), (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // Line shared by two planes: a point of it with one coordinate 0 and the unnormalised direction n1 x n2. False
  // when |n1 x n2| summed over its components is below tolerance.
  ZEMOX_STATIC_SLOT(48, Bool, IntersectPlanes, (IN, const Vector&, plane1Point), (IN, const Vector&, plane1Normal),
                    (IN, const Vector&, plane2Point), (IN, const Vector&, plane2Normal), (OUT, Vector&, resLinePoint),
                    (OUT, Vector&, resLineDirection), (IN, Float, tolerance))
  // Point where the line meets the plane; false when |lineDir * planeNormal| is at most tolerance.
  ZEMOX_STATIC_SLOT(49, Bool, IntersectLinePlane, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, planePoint), (IN, const Vector&, planeNormal),
                    (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // As above, also giving the line parameter (0 when false) and, when false, whether the line lies exactly in the
  // plane.
  ZEMOX_STATIC_SLOT(50, Bool, IntersectLinePlane, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, planePoint), (IN, const Vector&, planeNormal),
                    (OUT, Vector&, intersectionPoint), (OUT, Float&, param), (OUT, Bool&, samePlane),
                    (IN, Float, tolerance))
  // The segment's line meets the plane within the segment; the point is written whenever the line is not
  // parallel within tolerance, even when false.
  ZEMOX_STATIC_SLOT(51, Bool, IntersectSegmentPlane, (IN, const Vector&, segmentPoint1),
                    (IN, const Vector&, segmentPoint2), (IN, const Vector&, planePoint),
                    (IN, const Vector&, planeNormal), (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // The half-line's line meets the plane at a parameter >= 0; the point is written as for IntersectSegmentPlane.
  ZEMOX_STATIC_SLOT(52, Bool, IntersectHalfLinePlane, (IN, const Vector&, halfLinePoint),
                    (IN, const Vector&, halfLineDir), (IN, const Vector&, planePoint), (IN, const Vector&, planeNormal),
                    (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // The line meets the closed triangle. barycCoords (may be null) receives (weight of c, weight of b) whenever the
  // plane is met. Triangles whose c lies within a squared distance `tolerance` of the line ab give false.
  ZEMOX_STATIC_SLOT(53, Bool, IntersectLineTriangle, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, a), (IN, const Vector&, b), (IN, const Vector&, c),
                    (OUT, Vector&, intersectionPoint), (OUT, Vector2d*, barycCoords), (IN, Float, tolerance))
  // As IntersectLineTriangle, at a line parameter >= 0.
  ZEMOX_STATIC_SLOT(54, Bool, IntersectHalfLineTriangle, (IN, const Vector&, halfLineOrigin),
                    (IN, const Vector&, halfLineDir), (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (OUT, Vector&, intersectionPoint), (OUT, Vector2d*, barycCoords),
                    (IN, Float, tolerance))
  // The line meets the triangle (a, b, c) or else (a, c, d).
  ZEMOX_STATIC_SLOT(55, Bool, IntersectLineQuadrangle, (IN, const Vector&, linePoint), (IN, const Vector&, lineDir),
                    (IN, const Vector&, a), (IN, const Vector&, b), (IN, const Vector&, c), (IN, const Vector&, d),
                    (OUT, Vector&, intersectionPoint), (IN, Float, tolerance))
  // The half-line meets the triangle (a, b, c) or else (a, c, d).
  ZEMOX_STATIC_SLOT(56, Bool, IntersectHalfLineQuadrangle, (IN, const Vector&, halfLineOrigin),
                    (IN, const Vector&, halfLineDir), (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (IN, const Vector&, d), (OUT, Vector&, intersectionPoint),
                    (IN, Float, tolerance))
  // The closed segment meets the triangle from either side, decided watertight: a segment through a shared edge
  // hits one of the two neighbours. barycCoords (may be null) receives the weights of a, b and c, each of which
  // must lie in [-tolerance, 1 + tolerance]. Thin triangles as in IntersectLineTriangle give false.
  ZEMOX_STATIC_SLOT(57, Bool, IntersectSegmentTriangle, (IN, const Vector&, segmentPoint1),
                    (IN, const Vector&, segmentPoint2), (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (OUT, Vector&, intersectionPoint), (OUT, Vector*, barycCoords),
                    (IN, Float, tolerance))
  // An edge of the first triangle meets the second (IntersectSegmentTriangle). The second triangle's edges are not
  // tested: when only they pierce the first triangle the answer is false.
  ZEMOX_STATIC_SLOT(58, Bool, TrianglesIntersectionTest, (IN, const Vector&, t1a), (IN, const Vector&, t1b),
                    (IN, const Vector&, t1c), (IN, const Vector&, t2a), (IN, const Vector&, t2b),
                    (IN, const Vector&, t2c), (IN, Float, tolerance))
  // Parameters of point in the quadrangle (isQuad, flattened to z = 0; s along pa-pb, t along pa-pd) or triangle
  // pa, pb, pc (s = weight of pc, t = weight of pb). True when both lie in [0, 1 + tolerance]; the triangle test
  // has no bound on s + t, so the parallelogram the triangle spans passes. When the point lies off the quadrangle's
  // reach both stay at the most negative Float and the result is false. The quadrangle's s snaps to [0, 1] within
  // 0.001, treats discriminants down to -0.0001 as zero and moves a corner by 1e-6 for a parallelogram.
  ZEMOX_STATIC_SLOT(59, Bool, CalculatePolygonPointST, (IN, const Vector&, point), (IN, const Vector&, pa),
                    (IN, const Vector&, pb), (IN, const Vector&, pc), (IN, const Vector&, pd), (IN, Bool, isQuad),
                    (OUT, Float&, s), (OUT, Float&, t), (IN, Float, tolerance))
  // (s, t) of point in the bilinear patch, solved in the coordinate plane where the quadrangle's projection is
  // largest; clamped to [0, 1]^2 (see InverseBilinarInterpolate2D).
  ZEMOX_STATIC_SLOT(60, void, InverseBilinarInterpolate, (IN, const Vector&, pa), (IN, const Vector&, pb),
                    (IN, const Vector&, pc), (IN, const Vector&, pd), (IN, const Vector&, point),
                    (OUT, Vector2d&, bilinarVariables))
  // Newton's iteration for (s, t) in the plane chosen as for InverseBilinarInterpolate.
  ZEMOX_STATIC_SLOT(61, void, InverseBilinarInterpolateNewton, (IN, const Vector&, pa), (IN, const Vector&, pb),
                    (IN, const Vector&, pc), (IN, const Vector&, pd), (IN, const Vector&, point),
                    (IN, Int32, iterations), (OUT, Vector2d&, bilinarVariables))
  // (s, t) of point in the bilinear patch pa, pb, pc, pd, clamped to [0, 1]^2. Of the two solutions the first with
  // both parameters within 0.0001 of [0, 1] is taken. A collapsed quadrangle gives (0, 0).
  ZEMOX_STATIC_SLOT(62, void, InverseBilinarInterpolate2D, (IN, const Vector2d&, pa), (IN, const Vector2d&, pb),
                    (IN, const Vector2d&, pc), (IN, const Vector2d&, pd), (IN, const Vector2d&, point),
                    (OUT, Vector2d&, bilinarVariables))
  // `iterations` Newton steps from (0.5, 0.5), each clamped to [0, 1]^2; (0.5, 0.5) for fewer than 1 iteration. A
  // Jacobian determinant below 1e-12 ends the iteration without writing bilinarVariables.
  ZEMOX_STATIC_SLOT(63, void, InverseBilinarInterpolate2DNewton, (IN, const Vector2d&, pa), (IN, const Vector2d&, pb),
                    (IN, const Vector2d&, pc), (IN, const Vector2d&, pd), (IN, const Vector2d&, point),
                    (IN, Int32, iterations), (OUT, Vector2d&, bilinarVariables))
  // Point of the bilinear patch at (s, t); not clamped.
  ZEMOX_STATIC_SLOT(64, Vector, BilinearInterpolate, (IN, const Vector&, pa), (IN, const Vector&, pb),
                    (IN, const Vector&, pc), (IN, const Vector&, pd), (IN, Float, s), (IN, Float, t))
  // Unsigned area, negative exactly when the triangle turns clockwise around normal.
  ZEMOX_STATIC_SLOT(65, Float, CalculateSignedTriangleArea, (IN, const Vector&, a), (IN, const Vector&, b),
                    (IN, const Vector&, c), (IN, const Vector&, normal))
  // As the first variant, turning around `normal` instead of +z.
  ZEMOX_STATIC_SLOT(66, Result<void>, CalculateMeanValueCoordinatesWeights, (IN, const Vector&, point),
                    (IN, Block<const Vector>, outline), (IN, const Vector&, normal), (OUT, BaseArray<Float>&, weights))
  // Length of the closed loop including the closing edge; 0 for fewer than 2 points.
  ZEMOX_STATIC_SLOT(67, Float, CalculatePerimeterLength2D, (IN, Block<const Vector2d>, outlinePoints))
  // True for a clockwise outline (x right, y up); DegeneratedInputError for fewer than 3 points or a zero
  // (or undefined) signed area. Uses the tolerance of IsVertexConvex2D for each fan triangle.
  ZEMOX_STATIC_SLOT(68, Result<Bool>, IsWoundClockwise2D, (IN, Block<const Vector2d>, outlinePoints))
  // Centroid of the area the loop encloses; area (if given) receives its size and windingPolarity (if
  // given) true for a clockwise loop (x right, y up). An empty or zero-area loop gives its box's
  // lower-left corner ((0, 0) when empty).
  ZEMOX_STATIC_SLOT(69, Vector2d, CalculateOutlineCentroidAndArea2D, (IN, Block<const Vector2d>, outlinePoints),
                    (OUT, Float*, area, nullptr), (OUT, Bool*, windingPolarity, nullptr))
  // Centroid of a clockwise outer loop (the first) minus its counter-clockwise holes (the others), the
  // loops' vertices one after another. IllegalArgumentError when the counts do not fit the vertices,
  // IllegalStateError for a loop of the wrong winding; no message.
  ZEMOX_STATIC_SLOT(70, Result<Vector2d>, CalculateMultiOutlineCentroidAndAreas2D,
                    (IN, Block<const Vector2d>, loopVertices), (IN, Block<const Int>, loopVertexCounts),
                    (IN, Bool, includeHolesInCogCalcs), (OUT, Float*, overallArea, nullptr),
                    (OUT, BaseArray<Float>*, loopSoloAreas, nullptr), (OUT, BaseArray<Bool>*, windingPolarity, nullptr))
  // Indices of the convex hull of a simple loop, in the loop's direction from its leftmost vertex;
  // turns within 0.0001 (of normalised directions) of straight are not corners. DegeneratedInputError
  // when no vertex decides the winding.
  ZEMOX_STATIC_SLOT(71, Result<BaseArray<Int>>, CalculateConvexHull2D, (IN, Block<const Vector2d>, outlinePoints))
  // Convex pieces of a clean simple loop as index lists; each piece shares its first and last index
  // with the rest. DegeneratedInputError when the winding is undecidable or ("Non-clean input
  // geometry") for straight, spike or duplicate vertices; IllegalStateError "Failed to decompose
  // concavity" when no piece can be cut.
  ZEMOX_STATIC_SLOT(72, Result<BaseArray<BaseArray<Int>>>, CalculateConvexDecomposition2D,
                    (IN, Block<const Vector2d>, outlinePoints))
  // Removes points within 1e-4 of their predecessor, straight and spike vertices (directions equal or
  // opposite within 0.0001), and unless maintainStart rotates the loop to start at its leftmost vertex.
  // True when the loop changed.
  ZEMOX_STATIC_SLOT(73, Result<Bool>, CleanLoop2DInPlace, (INOUT, BaseArray<Vector2d>&, outlinePoints),
                    (IN, Bool, maintainStart))
  // No-fit polygon of two convex loops by merging their edge vectors by angle: with relativeBToA the
  // positions of B's origin at which B touches A (A + (-B)), otherwise its point reflection, the
  // positions of A's origin around B. Clockwise, starting at the vertex after its lowest-leftmost one.
  // Vertices from parallel edges are merged with the clean-up's tolerances (1e-4). IllegalStateError
  // "Invalid starting indices" when the points of a loop all lie on one horizontal line.
  // Counter-clockwise input is not converted.
  ZEMOX_STATIC_SLOT(74, Result<BaseArray<Vector2d>>, CalculateNoFitPolygonForConvex,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB),
                    (IN, Bool, relativeBToA))
  // No-fit polygon of general loops, traced by orbiting B around A while each move is cut short where
  // a vertex meets an edge. Contacts are found with absolute tolerances in scene units: edge and move
  // parameters snap to their ends within 1e-5, a move with a cross product up to 1e-5 with an edge is
  // parallel to it, moves of 1e-6 or less add no vertex, and a position within 1e-3 of an earlier one
  // closes the loop. Where B touches A at several places and the slide along one contact is blocked
  // at once by another, the orbit goes on with a slide another contact offers that keeps B outside A
  // (directions within 1e-9 radians of an edge run along it). The loop is cleaned and starts at its
  // leftmost vertex. An orbit that neither closes nor comes back near an earlier position gives the
  // box of the touching positions, [min A - max B, max A - min B]. relativeBToA as for the convex
  // variant.
  ZEMOX_STATIC_SLOT(75, Result<BaseArray<Vector2d>>, CalculateNoFitPolygonUsingSliding,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB),
                    (IN, Bool, relativeBToA))
  // Positions of B's origin at which B lies inside the counter-clockwise container A, touching its
  // boundary, traced as for the sliding no-fit polygon (same tolerances). Empty when B's box does not
  // fit A's, when no trial position near the centre holds all of B inside A, or when the orbit does
  // not close.
  ZEMOX_STATIC_SLOT(76, Result<BaseArray<Vector2d>>, CalculateInnerFitPolygonUsingSliding,
                    (IN, Block<const Vector2d>, outlinePointsCcwA), (IN, Block<const Vector2d>, outlinePointsB))
  // The same for the loops mapped through transformA and transformB.
  ZEMOX_STATIC_SLOT(77, Result<BaseArray<Vector2d>>, CalculateNoFitPolygonForConvex,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB),
                    (IN, const Matrix2d&, transformA), (IN, const Matrix2d&, transformB), (IN, Bool, relativeBToA))
  // The same for the loops mapped through transformA and transformB.
  ZEMOX_STATIC_SLOT(78, Result<BaseArray<Vector2d>>, CalculateNoFitPolygonUsingSliding,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB),
                    (IN, const Matrix2d&, transformA), (IN, const Matrix2d&, transformB), (IN, Bool, relativeBToA))
  // Outline of the union of two clockwise loops, as output loops: the outer loop first (with
  // createOuterLoop), then, with includeHolesInResult, the counter-clockwise holes it encloses; with
  // neither, every loop of the outline when the loops cross (none when they do not).
  // Built for pieces that touch along edges and at vertices: a vertex within 1e-3 of a vertex of the
  // other loop, or within 1e-4 of one of its edges, is moved onto it; segments meet with the segment
  // tolerance 1e-5; points closer than 1e-6 per coordinate are one point (a fixed-point grid), so
  // coordinates must lie within +-2147.483. A loop of fewer than 3 points gives a copy of the other.
  // IllegalArgumentError "Position outside of uniquely representable range" or "Loop contains
  // duplicate sequential vertices or self-contact points, which need cleanup"; DegeneratedInputError
  // when more than four crossings meet within 3.2e-4 or an outline cannot be followed to its end.
  ZEMOX_STATIC_SLOT(79, Result<BaseArray<BaseArray<Vector2d>>>, CalculateUnionOfPolygons,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB),
                    (IN, Bool, includeHolesInResult), (IN, Bool, createOuterLoop))
  // Classified intersection of segments PQ and RS. Same-direction coincident segments (ends within 1e-5) and
  // collinear overlaps (|d1 x d2| and |d1 x (S - P)| at most tolerance) set areParallel and give the midpoint of
  // the overlap, or with intersectionPoint2 (may be null) its two ends. Crossings snap to R, S, P, Q in this order
  // when a parameter is within tolerance of an end.
  ZEMOX_STATIC_SLOT(80, Bool, IntersectsSegmentsExact2D, (IN, const Vector2d&, segment1Point1),
                    (IN, const Vector2d&, segment1Point2), (IN, const Vector2d&, segment2Point1),
                    (IN, const Vector2d&, segment2Point2), (OUT, Vector2d&, intersectionPoint),
                    (OUT, Bool&, areParallel), (OUT, Vector2d*, intersectionPoint2), (IN, Float, tolerance))
  // How two loops that do not cross lie to one another (never INTERSECTING); exact.
  ZEMOX_STATIC_SLOT(81, LOOP_OVERLAP_STATE, GetContainmentStateForNonIntersectingLoops,
                    (IN, Block<const Vector2d>, outlinePointsA), (IN, Block<const Vector2d>, outlinePointsB))
  // Same point count and every point within tol per coordinate, optionally from the leftmost vertices
  // in either direction, optionally after moving B's start onto A's.
  ZEMOX_STATIC_SLOT(82, Bool, AreLoopsEqualToWithinTolerance, (IN, Block<const Vector2d>, loopA),
                    (IN, Block<const Vector2d>, loopB), (IN, Bool, allowCyclicRotation),
                    (IN, Bool, ignoreTranslationOffset), (IN, Float, tol))
  // Indices of the extreme vertices (-1 for an empty input). Ties keep the earliest index; with
  // findMostCounterClockwise they pick the vertex that comes first walking the hull counter-clockwise.
  ZEMOX_STATIC_SLOT(83, void, CalculateBoundingBoxIndices, (IN, Block<const Vector2d>, verts), (OUT, Int&, minIdxX),
                    (OUT, Int&, maxIdxX), (OUT, Int&, minIdxY), (OUT, Int&, maxIdxY),
                    (IN, Bool, findMostCounterClockwise))
};

}  // namespace zemox
