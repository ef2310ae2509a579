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
};

}  // namespace zemox
