#pragma once

#include "zemox/basearray.h"
#include "zemox/block.h"
#include "zemox/result.h"
#include "zemox/types.h"

namespace zemox {

// Stateless geometric utility functions. Every function may be called from any number of threads.
// Absolute tolerances assume scene units: coordinates from about 1e-2 to 1e5.
class GeometryUtilsImpl {
 public:
  // Measurements and barycentric coordinates that the intersections and weights below build on.
  static Float InterpolatePointOnSegment(const Vector& segmentPoint1, const Vector& segmentPoint2, const Vector& point,
                                         Bool clamp);
  static Float CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c);
  static Float CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c, const Vector& normal);
  static Vector2d CalculateBarycentricCoordinate(const Vector& point, const Vector& a, const Vector& b,
                                                 const Vector& c);

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
  // ---- end of lines, segments, planes, triangles; bilinear interpolation, polygon coordinates, mean value weights
};

}  // namespace zemox
