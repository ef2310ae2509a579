#pragma once

#include "geom/geometryutils.h"
#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/result.h"

namespace zemox {

// Implementation of GeometryUtilsInterface: stateless geometric functions, callable from any thread.
// Functions that cannot fail answer degenerate input with the neutral value named at each of them.
// Absolute tolerances assume scene units (coordinates from about 1e-2 to 1e5).
class GeometryUtilsImpl {
 public:
  // ---- Measurements, plane mapping, convexity, barycentric coordinates, point location, circle centres ----

  // (value - from1) / (to1 - from1) * (to2 - from2) + from2, unclamped; from2 when from1 == to1.
  static Float LinearRemapToRange(Float value, Float from1, Float to1, Float from2, Float to2);
  // Angle from direction1 to direction2 in [-pi, pi], positive for a clockwise turn (x right, y up).
  static Float GetAngle2D(const Vector2d& direction1, const Vector2d& direction2);
  // |point - segmentPoint1| / |segmentPoint2 - segmentPoint1| (a ratio of distances, not a projection),
  // limited to [0, 1] with clamp; 0 for a zero-length segment.
  static Float InterpolatePointOnSegment(const Vector& segmentPoint1, const Vector& segmentPoint2, const Vector& point,
                                         Bool clamp);
  static Float InterpolatePointOnSegment2D(const Vector2d& segmentPoint1, const Vector2d& segmentPoint2,
                                           const Vector2d& point, Bool clamp);
  // Least-squares plane through the points: centroid and unit normal (sign arbitrary). False with both
  // zero for fewer than 3 points. Stops when the normal moves by at most 1e-4 per component, or after
  // iterMax steps (none for iterMax <= 0: normal stays zero and the result is still true).
  static Bool CalculateBestFitPlane(Block<const Vector> pointCloud, Vector& centroid, Vector& normal, Int iterMax);
  // Coordinates of the points in a basis of the plane with the given unit normal; with computeBasis the
  // basis comes from the first non-zero edge, otherwise basisVector0/1 are used as given. translate is
  // the offset along the normal that Point2Dto3D adds back. With checkDegenerated, a basis that maps two
  // consecutive points onto one is rebuilt around the centroid. Fails with IllegalArgumentError for
  // fewer than 2 points, DegeneratedInputError when a basis is to be computed from points that are all
  // equal, or out of memory; the outputs may then hold partial values.
  static Result<void> Points3Dto2D(Block<const Vector> points, const Vector& normal, Vector& basisVector0,
                                   Vector& basisVector1, Vector& translate, Bool checkDegenerated,
                                   BaseArray<Vector2d>& outPoints, Bool computeBasis);
  // The same with a computed basis, which is discarded.
  static Result<void> Points3Dto2D(Block<const Vector> points, const Vector& normal, Bool checkDegenerated,
                                   BaseArray<Vector2d>& outPoints);
  // point.x * basisVector0 + point.y * basisVector1 + translate.
  static Vector Point2Dto3D(const Vector2d& point, const Vector& basisVector0, const Vector& basisVector1,
                            const Vector& translate);
  // Point2Dto3D of every point into outPoints (resized); fails only when out of memory.
  static Result<void> Points2Dto3D(Block<const Vector2d> points, const Vector& basisVector0, const Vector& basisVector1,
                                   const Vector& translate, BaseArray<Vector>& outPoints);
  // Unsigned area of the triangle.
  static Float CalculateTriangleArea(const Vector& a, const Vector& b, const Vector& c);
  // Area with the sign of the turn seen from +z: positive counter-clockwise (and when flat in z).
  static Float CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c);
  // Sum of the unsigned areas of triangles (a, b, c) and (a, c, d).
  static Float CalculateQuadrangleArea(const Vector& a, const Vector& b, const Vector& c, const Vector& d);
  // Unsigned area of a 3D outline in its best-fit plane (whose normal settles to 1e-4, so the area is
  // good to about 1e-7 relative); 0 for fewer than 3 points or out of memory.
  static Float CalculateOutlineArea(Block<const Vector> outlinePoints);
  // Newell normal of the loop points[indices[0]], points[indices[1]], ...: twice the area vector,
  // pointing to the side from which the loop runs counter-clockwise; unit length with normalized (zero
  // stays zero).
  static Vector CalculateOutlineNormal(Block<const Vector> points, Block<const Int32> indices, Bool normalized);
  // The same over the loop of all points in order; zero for an empty input.
  static Vector CalculateOutlineNormal(Block<const Vector> points, Bool normalize);
  // True when pred -> vertex -> next turns left around the unit vector up; straight continuations and
  // turning back (directions equal or opposite within 1e-4 per component) count as convex.
  static Bool IsVertexConvex(const Vector& vertex, const Vector& next, const Vector& pred, const Vector& up);
  // Classified variant without projection onto the plane of up: coincident neighbours, parallel and
  // antiparallel directions are decided with epsilon per component of the normalized directions;
  // GEOM_DEGENERATE when the turn's cross product is zero or not a number.
  static GEOMETRY_TEST_EXACT IsVertexConvexExact(const Vector& vertex, const Vector& next, const Vector& pred,
                                                 const Vector& up, Float epsilon);
  // IsVertexConvex in the plane: a counter-clockwise turn is convex (tolerance 1e-4 as there).
  static Bool IsVertexConvex2D(const Vector2d& vertex, const Vector2d& next, const Vector2d& pred);
  // IsVertexConvexExact in the plane: a counter-clockwise turn is GEOM_TRUE.
  static GEOMETRY_TEST_EXACT IsVertexConvexExact2D(const Vector2d& vertex, const Vector2d& next, const Vector2d& pred,
                                                   Float epsilon);
  // Weights (of c, of b) of the projection of point into the triangle's plane; (0, 0) for a degenerate
  // triangle.
  static Vector2d CalculateBarycentricCoordinate(const Vector& point, const Vector& a, const Vector& b,
                                                 const Vector& c);
  // Weights of a, b and c of the projection of point into the triangle's plane; (1, 0, 0) for a
  // degenerate triangle.
  static Vector CalculateBarycentricCoordinate3D(const Vector& point, const Vector& a, const Vector& b,
                                                 const Vector& c);
  // True when the projection of point lies in the closed triangle; true everywhere for a degenerate one.
  static Bool PointInTriangle(const Vector& point, const Vector& a, const Vector& b, const Vector& c);
  // Edges a-b and a-c belong to the triangle, edge b-c does not; a degenerate triangle contains nothing.
  static Bool PointInTriangle2D(const Vector2d& point, const Vector2d& a, const Vector2d& b, const Vector2d& c);
  // Winding number of the closed outline around point: +1 inside a counter-clockwise simple outline,
  // -1 inside a clockwise one, 0 outside or for an empty outline. Points on the boundary may go either way.
  static Int GetPointInPolygonWindingNumber2D(const Vector2d& point, Block<const Vector2d> outline);
  // The same with exact orientation signs: the answer is exact for every input.
  static Int GetPointInPolygonWindingNumber2DExact(const Vector2d& point, Block<const Vector2d> outline);
  // The same, except that a point on an edge (also on a horizontal edge's supporting line at the point's
  // height) returns 1 with edgeHit = the index of that edge; edgeHit is -1 otherwise.
  static Int GetPointInPolygonWindingNumber2D(const Vector2d& point, Block<const Vector2d> outline, Int& edgeHit);
  // The 2D winding numbers with the x and y of 3D points (z is ignored).
  static Int GetPointInPolygonWindingNumber(const Vector& point, Block<const Vector> outline);
  static Int GetPointInPolygonWindingNumber(const Vector& point, Block<const Vector> outline, Int& edgeHit);
  // Ray casting towards +x over 10000 units with tolerance 1e-4: false for a point within 1e-4 of a vertex,
  // for points whose crossings all lie beyond the ray's end, and when out of memory.
  static Bool PointInOutline2D(const Vector2d& point, Block<const Vector2d> outline);
  // Crossing parity with exact comparisons, unbounded ray, vertices at the point's height counted only
  // when the outline passes through; false for fewer than 3 points. Boundary points go either way.
  static Bool PointInOutlineRobust2D(const Vector2d& point, Block<const Vector2d> outline);
  // Weighted direction halfway between the edge directions v1 and v2 (weights w1, w2; 0 means unweighted),
  // perpendicular to up. Directions equal or opposite within 1e-4 per component give the normal of v2.
  static Vector CalculateBisector(const Vector& v1, const Vector& v2, const Vector& up, Float w1, Float w2);
  // Centre and squared radius of the circle through a, b, c; false (outputs untouched) when tolerance²
  // exceeds twice the triangle's signed area in magnitude.
  static Bool CalculateCircumcenter2D(const Vector2d& a, const Vector2d& b, const Vector2d& c, Vector2d& center,
                                      Float& sqrRad, Float tolerance);
  // Centre and radius of the circle through a, b, c; false when a side is shorter than tolerance or
  // tolerance² exceeds 2|(a - b) x (b - c)|².
  static Bool CalculateCircumcenter(const Vector& a, const Vector& b, const Vector& c, Vector& center, Float& rad,
                                    Float tolerance);
  // Unsigned area, negative exactly when the triangle turns clockwise around normal.
  static Float CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c, const Vector& normal);
  // Length of the closed loop including the closing edge; 0 for fewer than 2 points.
  static Float CalculatePerimeterLength2D(Block<const Vector2d> outlinePoints);
  // True for a clockwise outline (x right, y up); DegeneratedInputError for fewer than 3 points or a zero
  // (or undefined) signed area. Uses the tolerance of IsVertexConvex2D for each fan triangle.
  static Result<Bool> IsWoundClockwise2D(Block<const Vector2d> outlinePoints);
  // Indices of the extreme vertices (-1 for an empty input). Ties keep the earliest index; with
  // findMostCounterClockwise they pick the vertex that comes first walking the hull counter-clockwise.
  static void CalculateBoundingBoxIndices(Block<const Vector2d> verts, Int& minIdxX, Int& maxIdxX, Int& minIdxY,
                                          Int& maxIdxY, Bool findMostCounterClockwise);

  // ---- Lines, segments, planes, triangles; bilinear interpolation, polygon coordinates, mean value weights ----
  // None of these fail except the mean value weights, which report out-of-memory. A false result leaves the
  // outputs as each function describes; callers use them only on true unless stated otherwise.

  // Mean value weights of `point` for the closed outline, one per vertex, summing to 1 (all 0 when they cannot be
  // normalised). A point within 0.0001 of an edge gets (1 - lambda, lambda) on that edge's endpoints and 0 elsewhere.
  // Turning directions are read around +z.
  static Result<void> CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> outline,
                                                           BaseArray<Float>& weights);
  // As above for the outline points[outlineIndices[i]], turning around `normal`; weights are indexed like
  // outlineIndices and the on-edge distance is 1e-7. An index outside `points` is an IllegalArgumentError.
  static Result<void> CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> points,
                                                           Block<const Int32> outlineIndices, const Vector& normal,
                                                           BaseArray<Float>& weights);
  // As the first variant, turning around `normal` instead of +z.
  static Result<void> CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> outline,
                                                           const Vector& normal, BaseArray<Float>& weights);

  // Closed segments cross or touch, decided without tolerance; parallel and collinear segments give false.
  static Bool SegmentsIntersectionTest2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                         const Vector2d& segment2Point1, const Vector2d& segment2Point2);
  // The ray from rayStartPoint along rayDirection meets the closed segment; parallel gives false.
  static Bool SegmentRayIntersectionTest2D(const Vector2d& segmentPoint1, const Vector2d& segmentPoint2,
                                           const Vector2d& rayStartPoint, const Vector2d& rayDirection);
  // Crossing point of two segments whose parameters lie in [-tolerance, 1 + tolerance]; intersectionPoint is
  // (0, 0) unless true. Parallel segments (cross product exactly 0) give false.
  static Bool IntersectSegments2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                  const Vector2d& segment2Point1, const Vector2d& segment2Point2,
                                  Vector2d& intersectionPoint, Float tolerance);
  // Gap vector from the closest point of line 2 to the closest point of line 1, with the line parameters of those
  // points. Lines are parallel when A*C - B^2 of their directions is below tolerance; then the gap is
  // line1Point - line2Point and both parameters are 0.
  static Vector LineLineDistance(const Vector& line1Point, const Vector& line1Dir, const Vector& line2Point,
                                 const Vector& line2Dir, Bool& parallel, Float& param1, Float& param2, Float tolerance);
  // Point on the segment: within tolerance of the cross product |d x w| (not a distance) and between the ends.
  // A segment whose ends differ by at most tolerance in both coordinates contains nothing.
  static Bool PointInSegment2D(const Vector2d& point, const Vector2d& segmentPoint1, const Vector2d& segmentPoint2,
                               Float tolerance);
  // Point on the segment: |d x w| below tolerance (|d| times the distance, not the distance) and between the ends.
  static Bool PointInSegment(const Vector& point, const Vector& segmentPoint1, const Vector& segmentPoint2,
                             Float tolerance);
  // The direction from the origin to the point matches the unit halfLineDir within tolerance per component; the
  // origin itself and any non-unit direction do not match.
  static Bool PointInHalfLine(const Vector& point, const Vector& halfLineOrigin, const Vector& halfLineDir,
                              Float tolerance);
  // Meeting point of two lines whose gap is below tolerance; false when parallel (see LineLineDistance).
  static Bool IntersectLines(const Vector& line1Point, const Vector& line1Dir, const Vector& line2Point,
                             const Vector& line2Dir, Vector& intersectionPoint, Float tolerance);
  // Meeting point of a line and a segment; the segment test uses 10*tolerance.
  static Bool IntersectLineSegment(const Vector& linePoint, const Vector& lineDir, const Vector& segmentPoint1,
                                   const Vector& segmentPoint2, Vector& intersectionPoint, Float tolerance);
  // Meeting point of two segments, each tested with tolerance.
  static Bool IntersectSegments(const Vector& segment1Point1, const Vector& segment1Point2,
                                const Vector& segment2Point1, const Vector& segment2Point2, Vector& intersectionPoint,
                                Float tolerance);
  // Meeting point of two half-lines with unit directions (see PointInHalfLine).
  static Bool IntersectHalfLines(const Vector& halfLine1Origin, const Vector& halfLine1Dir,
                                 const Vector& halfLine2Origin, const Vector& halfLine2Dir, Vector& intersectionPoint,
                                 Float tolerance);
  // Meeting point of a line and a half-line with a unit direction.
  static Bool IntersectLineHalfLine(const Vector& linePoint, const Vector& lineDir, const Vector& halfLineOrigin,
                                    const Vector& halfLineDir, Vector& intersectionPoint, Float tolerance);
  // Meeting point of a half-line and a segment (segment test with 10*tolerance).
  static Bool IntersectHalfLineSegment(const Vector& halfLineOrigin, const Vector& halfLineDir,
                                       const Vector& segmentPoint1, const Vector& segmentPoint2,
                                       Vector& intersectionPoint, Float tolerance);
  // Line shared by two planes: a point of it with one coordinate 0 and the unnormalised direction n1 x n2. False
  // when |n1 x n2| summed over its components is below tolerance.
  static Bool IntersectPlanes(const Vector& plane1Point, const Vector& plane1Normal, const Vector& plane2Point,
                              const Vector& plane2Normal, Vector& resLinePoint, Vector& resLineDirection,
                              Float tolerance);
  // Point where the line meets the plane; false when |lineDir * planeNormal| is at most tolerance.
  static Bool IntersectLinePlane(const Vector& linePoint, const Vector& lineDir, const Vector& planePoint,
                                 const Vector& planeNormal, Vector& intersectionPoint, Float tolerance);
  // As above, also giving the line parameter (0 when false) and, when false, whether the line lies exactly in the
  // plane.
  static Bool IntersectLinePlane(const Vector& linePoint, const Vector& lineDir, const Vector& planePoint,
                                 const Vector& planeNormal, Vector& intersectionPoint, Float& param, Bool& samePlane,
                                 Float tolerance);
  // The segment's line meets the plane within the segment; the point is written whenever the line is not
  // parallel within tolerance, even when false.
  static Bool IntersectSegmentPlane(const Vector& segmentPoint1, const Vector& segmentPoint2, const Vector& planePoint,
                                    const Vector& planeNormal, Vector& intersectionPoint, Float tolerance);
  // The half-line's line meets the plane at a parameter >= 0; the point is written as for IntersectSegmentPlane.
  static Bool IntersectHalfLinePlane(const Vector& halfLinePoint, const Vector& halfLineDir, const Vector& planePoint,
                                     const Vector& planeNormal, Vector& intersectionPoint, Float tolerance);
  // The line meets the closed triangle. barycCoords (may be null) receives (weight of c, weight of b) whenever the
  // plane is met. Triangles whose c lies within a squared distance `tolerance` of the line ab give false.
  static Bool IntersectLineTriangle(const Vector& linePoint, const Vector& lineDir, const Vector& a, const Vector& b,
                                    const Vector& c, Vector& intersectionPoint, Vector2d* barycCoords, Float tolerance);
  // As IntersectLineTriangle, at a line parameter >= 0.
  static Bool IntersectHalfLineTriangle(const Vector& halfLineOrigin, const Vector& halfLineDir, const Vector& a,
                                        const Vector& b, const Vector& c, Vector& intersectionPoint,
                                        Vector2d* barycCoords, Float tolerance);
  // The line meets the triangle (a, b, c) or else (a, c, d).
  static Bool IntersectLineQuadrangle(const Vector& linePoint, const Vector& lineDir, const Vector& a, const Vector& b,
                                      const Vector& c, const Vector& d, Vector& intersectionPoint, Float tolerance);
  // The half-line meets the triangle (a, b, c) or else (a, c, d).
  static Bool IntersectHalfLineQuadrangle(const Vector& halfLineOrigin, const Vector& halfLineDir, const Vector& a,
                                          const Vector& b, const Vector& c, const Vector& d, Vector& intersectionPoint,
                                          Float tolerance);
  // The closed segment meets the triangle from either side, decided watertight: a segment through a shared edge
  // hits one of the two neighbours. barycCoords (may be null) receives the weights of a, b and c, each of which
  // must lie in [-tolerance, 1 + tolerance]. Thin triangles as in IntersectLineTriangle give false.
  static Bool IntersectSegmentTriangle(const Vector& segmentPoint1, const Vector& segmentPoint2, const Vector& a,
                                       const Vector& b, const Vector& c, Vector& intersectionPoint, Vector* barycCoords,
                                       Float tolerance);
  // An edge of the first triangle meets the second (IntersectSegmentTriangle). The second triangle's edges are not
  // tested: when only they pierce the first triangle the answer is false.
  static Bool TrianglesIntersectionTest(const Vector& t1a, const Vector& t1b, const Vector& t1c, const Vector& t2a,
                                        const Vector& t2b, const Vector& t2c, Float tolerance);
  // Parameters of point in the quadrangle (isQuad, flattened to z = 0; s along pa-pb, t along pa-pd) or triangle
  // pa, pb, pc (s = weight of pc, t = weight of pb). True when both lie in [0, 1 + tolerance]; the triangle test
  // has no bound on s + t, so the parallelogram the triangle spans passes. When the point lies off the quadrangle's
  // reach both stay at the most negative Float and the result is false. The quadrangle's s snaps to [0, 1] within
  // 0.001, treats discriminants down to -0.0001 as zero and moves a corner by 1e-6 for a parallelogram.
  static Bool CalculatePolygonPointST(const Vector& point, const Vector& pa, const Vector& pb, const Vector& pc,
                                      const Vector& pd, Bool isQuad, Float& s, Float& t, Float tolerance);
  // (s, t) of point in the bilinear patch, solved in the coordinate plane where the quadrangle's projection is
  // largest; clamped to [0, 1]^2 (see InverseBilinarInterpolate2D).
  static void InverseBilinarInterpolate(const Vector& pa, const Vector& pb, const Vector& pc, const Vector& pd,
                                        const Vector& point, Vector2d& bilinarVariables);
  // Newton's iteration for (s, t) in the plane chosen as for InverseBilinarInterpolate.
  static void InverseBilinarInterpolateNewton(const Vector& pa, const Vector& pb, const Vector& pc, const Vector& pd,
                                              const Vector& point, Int32 iterations, Vector2d& bilinarVariables);
  // (s, t) of point in the bilinear patch pa, pb, pc, pd, clamped to [0, 1]^2. Of the two solutions the first with
  // both parameters within 0.0001 of [0, 1] is taken. A collapsed quadrangle gives (0, 0).
  static void InverseBilinarInterpolate2D(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                                          const Vector2d& pd, const Vector2d& point, Vector2d& bilinarVariables);
  // `iterations` Newton steps from (0.5, 0.5), each clamped to [0, 1]^2; (0.5, 0.5) for fewer than 1 iteration. A
  // Jacobian determinant below 1e-12 ends the iteration without writing bilinarVariables.
  static void InverseBilinarInterpolate2DNewton(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                                                const Vector2d& pd, const Vector2d& point, Int32 iterations,
                                                Vector2d& bilinarVariables);
  // Point of the bilinear patch at (s, t); not clamped.
  static Vector BilinearInterpolate(const Vector& pa, const Vector& pb, const Vector& pc, const Vector& pd, Float s,
                                    Float t);
  // Classified intersection of segments PQ and RS. Same-direction coincident segments (ends within 1e-5) and
  // collinear overlaps (|d1 x d2| and |d1 x (S - P)| at most tolerance) set areParallel and give the midpoint of
  // the overlap, or with intersectionPoint2 (may be null) its two ends. Crossings snap to R, S, P, Q in this order
  // when a parameter is within tolerance of an end.
  static Bool IntersectsSegmentsExact2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                        const Vector2d& segment2Point1, const Vector2d& segment2Point2,
                                        Vector2d& intersectionPoint, Bool& areParallel, Vector2d* intersectionPoint2,
                                        Float tolerance);

  // ---- Whole 2D loops: centroid and area, convex hull, clean-up, containment, equality, convex pieces ----

  // Centroid of the area the loop encloses; area (if given) receives its size and windingPolarity (if
  // given) true for a clockwise loop (x right, y up). An empty or zero-area loop gives its box's
  // lower-left corner ((0, 0) when empty).
  static Vector2d CalculateOutlineCentroidAndArea2D(Block<const Vector2d> outlinePoints, Float* area = nullptr,
                                                    Bool* windingPolarity = nullptr);
  // Centroid of a clockwise outer loop (the first) minus its counter-clockwise holes (the others), the
  // loops' vertices one after another. IllegalArgumentError when the counts do not fit the vertices,
  // IllegalStateError for a loop of the wrong winding; no message.
  static Result<Vector2d> CalculateMultiOutlineCentroidAndAreas2D(Block<const Vector2d> loopVertices,
                                                                  Block<const Int> loopVertexCounts,
                                                                  Bool includeHolesInCogCalcs,
                                                                  Float* overallArea = nullptr,
                                                                  BaseArray<Float>* loopSoloAreas = nullptr,
                                                                  BaseArray<Bool>* windingPolarity = nullptr);
  // Indices of the convex hull of a simple loop, in the loop's direction from its leftmost vertex;
  // turns within 0.0001 (of normalised directions) of straight are not corners. DegeneratedInputError
  // when no vertex decides the winding.
  static Result<BaseArray<Int>> CalculateConvexHull2D(Block<const Vector2d> outlinePoints);
  // Removes points within 1e-4 of their predecessor, straight and spike vertices (directions equal or
  // opposite within 0.0001), and unless maintainStart rotates the loop to start at its leftmost vertex.
  // True when the loop changed.
  static Result<Bool> CleanLoop2DInPlace(BaseArray<Vector2d>& outlinePoints, Bool maintainStart);
  // How two loops that do not cross lie to one another (never INTERSECTING); exact.
  static LOOP_OVERLAP_STATE GetContainmentStateForNonIntersectingLoops(Block<const Vector2d> outlinePointsA,
                                                                       Block<const Vector2d> outlinePointsB);
  // Same point count and every point within tol per coordinate, optionally from the leftmost vertices
  // in either direction, optionally after moving B's start onto A's.
  static Bool AreLoopsEqualToWithinTolerance(Block<const Vector2d> loopA, Block<const Vector2d> loopB,
                                             Bool allowCyclicRotation, Bool ignoreTranslationOffset, Float tol);
  // Convex pieces of a clean simple loop as index lists; each piece shares its first and last index
  // with the rest. DegeneratedInputError when the winding is undecidable or ("Non-clean input
  // geometry") for straight, spike or duplicate vertices; IllegalStateError "Failed to decompose
  // concavity" when no piece can be cut.
  static Result<BaseArray<BaseArray<Int>>> CalculateConvexDecomposition2D(Block<const Vector2d> outlinePoints);
};

}  // namespace zemox
