// Geometry utilities: measurements, plane mapping, convexity, barycentric coordinates, point location
// and circle centres.

#include "geometryutils_impl.h"

#include "portability.h"

#include <cmath>
#include <numbers>

#include "exactpredicates2d_impl.h"
#include "geom/degeneratedinputerror.h"

namespace zemox {
namespace {

// Tolerance of the vertex and direction comparisons, in scene units.
constexpr Float sceneTolerance = 1e-4;
// Length of the cast ray of PointInOutline2D, in scene units.
constexpr Float rayLength = 10000.0;

// 1 / value, or 0 where value is exactly 0: degenerate input then yields the neutral answer instead of
// a division by zero.
Float SafeReciprocal(Float value) { return value == 0.0 ? 0.0 : 1.0 / value; }

// A zero vector is multiplied by 0, never divided by it.
Vector Normalize(const Vector& v) { return v * SafeReciprocal(Length(v)); }

Float Length(const Vector2d& v) { return std::hypot(v.x, v.y); }

Vector Lift(const Vector2d& v) { return {v.x, v.y, 0.0}; }

// A 2D point is passed on in place: the exact orientation then reads the outline's own storage
// instead of a copy written to the stack for every edge.
const Vector2d& Flatten(const Vector2d& v) { return v; }
Vector2d Flatten(const Vector& v) { return {v.x, v.y}; }

Bool AllWithin(const Vector& v, Float tolerance) {
  return std::fabs(v.x) <= tolerance && std::fabs(v.y) <= tolerance && std::fabs(v.z) <= tolerance;
}

Float ClampToUnit(Float value) {
  if (value < 0.0) return 0.0;
  if (value > 1.0) return 1.0;
  return value;
}

Int NextIndex(Int index, Int count) { return index + 1 == count ? 0 : index + 1; }
Int PreviousIndex(Int index, Int count) { return index == 0 ? count - 1 : index - 1; }

// 3x3 matrix by rows, enough for the best-fit plane and the outline frame; the identity by default.
struct Matrix3 {
  Float m[3][3] = {{1, 0, 0}, {0, 1, 0}, {0, 0, 1}};

  static Matrix3 FromColumns(const Vector& c0, const Vector& c1, const Vector& c2) {
    Matrix3 result;
    const Vector columns[] = {c0, c1, c2};
    for (int col = 0; col < 3; ++col) {
      result.m[0][col] = columns[col].x;
      result.m[1][col] = columns[col].y;
      result.m[2][col] = columns[col].z;
    }
    return result;
  }

  Vector operator*(const Vector& v) const {
    return {m[0][0] * v.x + m[0][1] * v.y + m[0][2] * v.z, m[1][0] * v.x + m[1][1] * v.y + m[1][2] * v.z,
            m[2][0] * v.x + m[2][1] * v.y + m[2][2] * v.z};
  }

  // Cofactor inverse; false, with `inverse` untouched, when the determinant is exactly 0.
  Bool Invert(Matrix3& inverse) const {
    const Float c00 = m[1][1] * m[2][2] - m[1][2] * m[2][1];
    const Float c01 = m[1][2] * m[2][0] - m[1][0] * m[2][2];
    const Float c02 = m[1][0] * m[2][1] - m[1][1] * m[2][0];
    const Float determinant = m[0][0] * c00 + m[0][1] * c01 + m[0][2] * c02;
    if (determinant == 0.0) return false;
    const Float reciprocal = 1.0 / determinant;
    inverse.m[0][0] = c00 * reciprocal;
    inverse.m[0][1] = (m[0][2] * m[2][1] - m[0][1] * m[2][2]) * reciprocal;
    inverse.m[0][2] = (m[0][1] * m[1][2] - m[0][2] * m[1][1]) * reciprocal;
    inverse.m[1][0] = c01 * reciprocal;
    inverse.m[1][1] = (m[0][0] * m[2][2] - m[0][2] * m[2][0]) * reciprocal;
    inverse.m[1][2] = (m[0][2] * m[1][0] - m[0][0] * m[1][2]) * reciprocal;
    inverse.m[2][0] = c02 * reciprocal;
    inverse.m[2][1] = (m[0][1] * m[2][0] - m[0][0] * m[2][1]) * reciprocal;
    inverse.m[2][2] = (m[0][0] * m[1][1] - m[0][1] * m[1][0]) * reciprocal;
    return true;
  }
};

Vector Centroid(Block<const Vector> points) {
  Vector sum;
  for (const Vector& p : points) sum = sum + p;
  return sum * (1.0 / static_cast<Float>(points.GetCount()));
}

// I + sum of d d^T over the deviations d from the centroid, each divided by the largest deviation
// length. The eigenvectors are the covariance's either way; the scaling keeps the eigenvalues apart.
// Unscaled, the identity term swamps the covariance of a face a hundredth of a unit wide: every
// eigenvalue is 1 to within 1e-4, the first step moves less than the stopping test's 1e-4, and the
// start vector comes back as the normal.
Matrix3 ScaledScatterPlusIdentity(Block<const Vector> points, const Vector& centroid) {
  Float largest = 0.0;
  for (const Vector& p : points) largest = std::fmax(largest, Length(p - centroid));
  const Float scale = SafeReciprocal(largest);
  Matrix3 scatter;
  for (const Vector& p : points) {
    const Vector d = (p - centroid) * scale;
    const Float components[] = {d.x, d.y, d.z};
    for (int row = 0; row < 3; ++row)
      for (int col = 0; col < 3; ++col) scatter.m[row][col] += components[row] * components[col];
  }
  return scatter;
}

// Newell's sum over the loop of `count` points, the k-th of which is points[pointIndex(k)].
template <typename PointIndex>
Vector NewellNormal(Block<const Vector> points, Int count, PointIndex pointIndex) {
  Vector sum;
  for (Int i = 0; i < count; ++i) {
    const Vector& cur = points[pointIndex(i)];
    const Vector& nxt = points[pointIndex(NextIndex(i, count))];
    sum.x += (cur.z + nxt.z) * (cur.y - nxt.y);
    sum.y += (cur.z - nxt.z) * (cur.x + nxt.x);
    sum.z += (cur.y + nxt.y) * (cur.x - nxt.x);
  }
  return sum;
}

Vector2d Project(const Vector& point, const Vector& basisVector0, const Vector& basisVector1) {
  return {Dot(point, basisVector0), Dot(point, basisVector1)};
}

void ProjectAll(Block<const Vector> points, const Vector& basisVector0, const Vector& basisVector1,
                BaseArray<Vector2d>& outPoints) {
  for (Int i = 0; i < points.GetCount(); ++i) outPoints[i] = Project(points[i], basisVector0, basisVector1);
}

// The basis of the plane with the given normal whose second axis is perpendicular to direction.
void BasisFromDirection(const Vector& normal, const Vector& direction, Vector& basisVector0, Vector& basisVector1) {
  basisVector1 = Normalize(Cross(normal, direction));
  basisVector0 = Normalize(Cross(basisVector1, normal));
}

Bool HasRepeatedConsecutivePoint(const BaseArray<Vector2d>& points) {
  const Int count = points.GetCount();
  for (Int i = 0; i < count; ++i) {
    const Vector2d d = points[NextIndex(i, count)] - points[i];
    if (Dot(d, d) == 0.0) return true;
  }
  return false;
}

// A basis that merged consecutive points is replaced by one through the centroid and the first point
// whose projection differs from it; translate then refers to the centroid.
void RebuildBasisAroundCentroid(Block<const Vector> points, const Vector& normal, Vector& basisVector0,
                                Vector& basisVector1, Vector& translate, BaseArray<Vector2d>& outPoints) {
  const Vector centroid = Centroid(points);
  for (const Vector& p : points) {
    const Vector projected = p - normal * Dot(p - centroid, normal);
    if (projected == centroid) continue;
    BasisFromDirection(normal, projected - centroid, basisVector0, basisVector1);
    break;
  }
  ProjectAll(points, basisVector0, basisVector1, outPoints);
  translate = normal * Dot(centroid, normal);
}

Float TriangleCrossLength(const Vector& a, const Vector& b, const Vector& c) { return Length(Cross(a - b, c - b)); }

// The shared part of the vertex tests: the normalized turn of the two directions measured around up.
Float TurnAroundUp(const Vector& incoming, const Vector& outgoing, const Vector& up) {
  return Dot(Normalize(Cross(incoming, outgoing)), up);
}

// u and v of the least-squares barycentric coordinates: the weights of b and c.
struct BarycentricWeights {
  Float u = 0.0;
  Float v = 0.0;
};

BarycentricWeights SolveBarycentric(const Vector& point, const Vector& a, const Vector& b, const Vector& c) {
  const Vector e1 = b - a, e2 = c - a, w = point - a;
  const Float e11 = Dot(e1, e1), e12 = Dot(e1, e2), e22 = Dot(e2, e2);
  const Float e1w = Dot(e1, w), e2w = Dot(e2, w);
  const Float reciprocal = SafeReciprocal(e11 * e22 - e12 * e12);
  return {(e22 * e1w - e12 * e2w) * reciprocal, (e11 * e2w - e12 * e1w) * reciprocal};
}

// Contribution of edge p -> q to the winding number around point: upward crossings with the point on
// their left add one, downward crossings with the point on their right subtract one. The half-open
// ranges make a vertex at the point's height belong to exactly one of its edges.
template <typename IsLeft>
Int CrossingContribution(const Vector2d& point, const Vector2d& p, const Vector2d& q, IsLeft isLeft) {
  if (p.y <= point.y) return q.y > point.y && isLeft(p, q) > 0.0 ? 1 : 0;
  return q.y <= point.y && isLeft(p, q) < 0.0 ? -1 : 0;
}

Float FloatIsLeft(const Vector2d& point, const Vector2d& p, const Vector2d& q) {
  return (q.x - p.x) * (point.y - p.y) - (q.y - p.y) * (point.x - p.x);
}

template <typename Point, typename IsLeft>
Int WindingNumber(const Vector2d& point, Block<const Point> outline, IsLeft isLeft) {
  if (outline.IsEmpty()) return 0;
  Int winding = 0;
  const Point* previous = &outline[outline.GetCount() - 1];
  for (const Point& current : outline) {
    winding += CrossingContribution(point, Flatten(*previous), Flatten(current), isLeft);
    previous = &current;
  }
  return winding;
}

Int FloatWindingNumber(const Vector2d& point, auto outline) {
  return WindingNumber(point, outline,
                       [&point](const Vector2d& p, const Vector2d& q) { return FloatIsLeft(point, p, q); });
}

// The hit test takes edges over the closed height range, so a point on a vertex or on a horizontal
// edge's line is reported. The count, though, keeps the half-open ranges of the plain winding number:
// counted over closed ranges, a vertex at the point's height would add once for each of its edges
// (the outside point (0, 0) against the triangle (2, -1), (1, 0), (2, 1) would get winding 1).
template <typename Point>
Int WindingNumberWithEdgeHit(const Vector2d& point, Block<const Point> outline, Int& edgeHit) {
  edgeHit = -1;
  const Int count = outline.GetCount();
  const auto isLeft = [&point](const Vector2d& p, const Vector2d& q) { return FloatIsLeft(point, p, q); };
  Int winding = 0;
  for (Int i = 0; i < count; ++i) {
    const Vector2d p = Flatten(outline[i]), q = Flatten(outline[NextIndex(i, count)]);
    const Bool spansUpward = p.y <= point.y && q.y >= point.y;
    const Bool spansDownward = p.y > point.y && q.y <= point.y;
    if (!spansUpward && !spansDownward) continue;
    if (isLeft(p, q) == 0.0) {
      edgeHit = i;
      return 1;
    }
    winding += CrossingContribution(point, p, q, isLeft);
  }
  return winding;
}

// Parity count of the ray casting of PointInOutline2D, with each run of vertices at the point's height
// counted at most once.
class RayCrossingCounter {
 public:
  RayCrossingCounter(const Vector2d& point, Block<const Vector2d> outline, BaseArray<Bool>& counted)
      : point_(point), outline_(outline), counted_(counted) {}

  Bool IsLevel(Int index) const { return std::fabs(outline_[index].y - point_.y) <= sceneTolerance; }

  // The outline crosses the ray at a vertex level with the point only when the vertices on either side
  // of its level run lie on opposite sides of the ray; when both lie on one side the ray only touches
  // a local extreme. Counting every such vertex (as a plain vertex flag would) makes the point beside a
  // notch outside, and each vertex of a horizontal edge on the ray count on its own.
  void CountVertexCrossing(Int index) {
    if (counted_[index]) return;
    const Int count = outline_.GetCount();
    counted_[index] = true;
    Int before = PreviousIndex(index, count);
    Int walked = 1;
    while (walked < count && IsLevel(before)) {
      counted_[before] = true;
      before = PreviousIndex(before, count);
      ++walked;
    }
    Int after = NextIndex(index, count);
    while (walked < count && IsLevel(after)) {
      counted_[after] = true;
      after = NextIndex(after, count);
      ++walked;
    }
    if (walked == count) return;
    if ((outline_[before].y > point_.y) != (outline_[after].y > point_.y)) ++crossings_;
  }

  void CountEdgeCrossing() { ++crossings_; }
  Bool IsOdd() const { return crossings_ % 2 == 1; }

 private:
  Vector2d point_;
  Block<const Vector2d> outline_;
  BaseArray<Bool>& counted_;
  Int crossings_ = 0;
};

Bool WithinTolerance(const Vector2d& a, const Vector2d& b) {
  return std::fabs(a.x - b.x) <= sceneTolerance && std::fabs(a.y - b.y) <= sceneTolerance;
}

// The ray's tolerance is a distance along the ray (1e-4 units), not a fraction of its 10000-unit
// length: as a fraction it would accept crossings up to one unit behind the point, and the centre of a
// unit square would see the square's left edge and come out as outside.
Bool OnRay(Float rayParameter) {
  constexpr Float slack = sceneTolerance / rayLength;
  return rayParameter >= -slack && rayParameter <= 1.0 + slack;
}

Bool OnEdge(Float edgeParameter) { return edgeParameter >= -sceneTolerance && edgeParameter <= 1.0 + sceneTolerance; }

void CountEdgeAgainstRay(const Vector2d& point, Block<const Vector2d> outline, Int index, RayCrossingCounter& counter) {
  const Int nextIndex = NextIndex(index, outline.GetCount());
  const Vector2d p = outline[index], q = outline[nextIndex];
  const Vector2d edge = q - p, ray{rayLength, 0.0}, offset = point - p;
  const Float denominator = Cross(edge, ray);
  if (denominator != 0.0) {
    const Float edgeParameter = Cross(offset, ray) / denominator;
    const Float rayParameter = Cross(offset, edge) / denominator;
    if (OnEdge(edgeParameter) && OnRay(rayParameter)) {
      // A crossing next to a vertex level with the point is that vertex's crossing.
      if (counter.IsLevel(index))
        counter.CountVertexCrossing(index);
      else if (counter.IsLevel(nextIndex))
        counter.CountVertexCrossing(nextIndex);
      else
        counter.CountEdgeCrossing();
      return;
    }
  }
  // Parallel to the ray or crossing outside it: a vertex on the ray's line ahead of the point is still
  // passed (at any distance), through its level run.
  if (counter.IsLevel(index) && p.x > point.x) counter.CountVertexCrossing(index);
}

// Nearest vertex in the given direction from index whose y differs from y; -1 when there is none.
Int NearestOffLevelVertex(Block<const Vector2d> outline, Int index, Float y, Bool forward) {
  const Int count = outline.GetCount();
  Int current = index;
  for (Int step = 1; step < count; ++step) {
    current = forward ? NextIndex(current, count) : PreviousIndex(current, count);
    if (outline[current].y != y) return current;
  }
  return -1;
}

// The ray only touches a vertex at a local y-extreme: the outline stays on one side.
Bool TouchesLocalExtreme(Block<const Vector2d> outline, Int index) {
  const Float y = outline[index].y;
  const Int after = NearestOffLevelVertex(outline, index, y, true);
  const Int before = NearestOffLevelVertex(outline, index, y, false);
  if (after < 0 || before < 0) return false;
  return (outline[after].y > y) == (outline[before].y > y);
}

// Whether edge a -> b crosses the ray from point towards +x, decided on the half-open height range.
Bool CrossesRayToTheRight(const Vector2d& point, const Vector2d& a, const Vector2d& b) {
  if (a.y == b.y) return false;
  const Vector2d& lower = a.y < b.y ? a : b;
  const Vector2d& upper = a.y < b.y ? b : a;
  const Bool inRange = b.y < a.y ? (b.y < point.y && point.y <= a.y) : (a.y <= point.y && point.y < b.y);
  if (!inRange) return false;
  // The crossing lies to the right exactly when the point is left of the upward edge. Rounded products
  // tie far from the origin (an edge reaching -DBL_MAX lost the crossing just right of the point).
  return ExactPredicates2DImpl::Orient(lower, upper, point) > 0.0;
}

}  // namespace

Float GeometryUtilsImpl::LinearRemapToRange(Float value, Float from1, Float to1, Float from2, Float to2) {
  return (value - from1) * SafeReciprocal(to1 - from1) * (to2 - from2) + from2;
}

Float GeometryUtilsImpl::GetAngle2D(const Vector2d& direction1, const Vector2d& direction2) {
  // Angles are measured from +y towards +x, hence x first.
  Float angle = std::atan2(direction2.x, direction2.y) - std::atan2(direction1.x, direction1.y);
  while (angle > std::numbers::pi) angle -= 2.0 * std::numbers::pi;
  while (angle < -std::numbers::pi) angle += 2.0 * std::numbers::pi;
  return angle;
}

Float GeometryUtilsImpl::InterpolatePointOnSegment(const Vector& segmentPoint1, const Vector& segmentPoint2,
                                                   const Vector& point, Bool clamp) {
  const Float ratio = Length(point - segmentPoint1) * SafeReciprocal(Length(segmentPoint2 - segmentPoint1));
  return clamp ? ClampToUnit(ratio) : ratio;
}

Float GeometryUtilsImpl::InterpolatePointOnSegment2D(const Vector2d& segmentPoint1, const Vector2d& segmentPoint2,
                                                     const Vector2d& point, Bool clamp) {
  return InterpolatePointOnSegment(Lift(segmentPoint1), Lift(segmentPoint2), Lift(point), clamp);
}

// Inverse power iteration: M = I + scatter has the covariance's eigenvectors, and its inverse
// amplifies the one of the smallest eigenvalue, the plane's normal.
Bool GeometryUtilsImpl::CalculateBestFitPlane(Block<const Vector> pointCloud, Vector& centroid, Vector& normal,
                                              Int iterMax) {
  centroid = {};
  normal = {};
  if (pointCloud.GetCount() < 3) return false;
  centroid = Centroid(pointCloud);
  Matrix3 inverse;  // a singular matrix leaves it at the identity
  ScaledScatterPlusIdentity(pointCloud, centroid).Invert(inverse);
  Vector previous{1.0, 1.0, 1.0};
  Vector current = Normalize(inverse * previous);
  for (Int k = 0; k < iterMax; ++k) {
    if (AllWithin(current - previous, sceneTolerance)) break;
    previous = current;
    current = Normalize(inverse * current);
    normal = current;
  }
  normal = Normalize(normal);
  return true;
}

Result<void> GeometryUtilsImpl::Points3Dto2D(Block<const Vector> points, const Vector& normal, Vector& basisVector0,
                                             Vector& basisVector1, Vector& translate, Bool checkDegenerated,
                                             BaseArray<Vector2d>& outPoints, Bool computeBasis) {
  const Int count = points.GetCount();
  if (count < 2) return ZEMOX_ERROR(IllegalArgumentError, "input points need to be at least 2 points");
  Int anchor = 1;
  if (computeBasis) {
    anchor = -1;
    for (Int i = 0; i < count && anchor < 0; ++i) {
      const Int later = NextIndex(i, count);
      const Vector edge = points[i] - points[later];
      if (edge == Vector{}) continue;
      BasisFromDirection(normal, edge, basisVector0, basisVector1);
      anchor = later;
    }
    if (anchor < 0) return ZEMOX_ERROR(DegeneratedInputError, "input outline is collapsed");
  }
  ZEMOX_TRY(outPoints.Resize(count));
  ProjectAll(points, basisVector0, basisVector1, outPoints);
  translate = normal * Dot(points[anchor], normal);
  if (checkDegenerated && HasRepeatedConsecutivePoint(outPoints))
    RebuildBasisAroundCentroid(points, normal, basisVector0, basisVector1, translate, outPoints);
  return OK();
}

Result<void> GeometryUtilsImpl::Points3Dto2D(Block<const Vector> points, const Vector& normal, Bool checkDegenerated,
                                             BaseArray<Vector2d>& outPoints) {
  Vector basisVector0, basisVector1, translate;
  return Points3Dto2D(points, normal, basisVector0, basisVector1, translate, checkDegenerated, outPoints, true);
}

Vector GeometryUtilsImpl::Point2Dto3D(const Vector2d& point, const Vector& basisVector0, const Vector& basisVector1,
                                      const Vector& translate) {
  return basisVector0 * point.x + basisVector1 * point.y + translate;
}

Result<void> GeometryUtilsImpl::Points2Dto3D(Block<const Vector2d> points, const Vector& basisVector0,
                                             const Vector& basisVector1, const Vector& translate,
                                             BaseArray<Vector>& outPoints) {
  ZEMOX_TRY(outPoints.Resize(points.GetCount()));
  for (Int i = 0; i < points.GetCount(); ++i)
    outPoints[i] = Point2Dto3D(points[i], basisVector0, basisVector1, translate);
  return OK();
}

Float GeometryUtilsImpl::CalculateTriangleArea(const Vector& a, const Vector& b, const Vector& c) {
  return 0.5 * TriangleCrossLength(a, b, c);
}

Float GeometryUtilsImpl::CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c) {
  const Float area = CalculateTriangleArea(a, b, c);
  return Cross(c - b, a - b).z < 0.0 ? -area : area;
}

Float GeometryUtilsImpl::CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c,
                                                     const Vector& normal) {
  const Vector cross = Cross(c - b, a - b);
  const Float area = 0.5 * Length(cross);
  return Dot(Normalize(cross), normal) < 0.0 ? -area : area;
}

Float GeometryUtilsImpl::CalculateQuadrangleArea(const Vector& a, const Vector& b, const Vector& c, const Vector& d) {
  return 0.5 * TriangleCrossLength(a, b, c) + 0.5 * TriangleCrossLength(a, d, c);
}

// The outline is flattened into its best-fit plane and measured there with the shoelace formula, so a
// slightly warped outline still gets the area of its flat shadow.
Float GeometryUtilsImpl::CalculateOutlineArea(Block<const Vector> outlinePoints) {
  const Int count = outlinePoints.GetCount();
  if (count < 3) return 0.0;
  Vector centroid, normal;
  if (!CalculateBestFitPlane(outlinePoints, centroid, normal, 500)) return 0.0;
  BaseArray<Vector> projected;
  if (!projected.Resize(count)) return 0.0;
  for (Int i = 0; i < count; ++i) {
    const Vector& p = outlinePoints[i];
    projected[i] = p - normal * Dot(p - centroid, normal);
  }
  const Vector u = Normalize(projected[1] - projected[0]);
  const Vector w = Normalize(Cross(u, normal));
  Matrix3 toFrame;
  const Bool inFrame = Matrix3::FromColumns(u, w, normal).Invert(toFrame);
  Float twiceArea = 0.0;
  for (Int i = 0; i < count; ++i) {
    const Vector cur = inFrame ? toFrame * (projected[i] - centroid) : projected[i];
    const Vector nxt = inFrame ? toFrame * (projected[NextIndex(i, count)] - centroid) : projected[NextIndex(i, count)];
    twiceArea += cur.x * nxt.y - cur.y * nxt.x;
  }
  return std::fabs(0.5 * twiceArea);
}

Vector GeometryUtilsImpl::CalculateOutlineNormal(Block<const Vector> points, Block<const Int32> indices,
                                                 Bool normalized) {
  const Vector sum = NewellNormal(points, indices.GetCount(), [&indices](Int k) { return Int{indices[k]}; });
  return normalized ? Normalize(sum) : sum;
}

Vector GeometryUtilsImpl::CalculateOutlineNormal(Block<const Vector> points, Bool normalize) {
  const Vector sum = NewellNormal(points, points.GetCount(), [](Int k) { return k; });
  return normalize ? Normalize(sum) : sum;
}

Bool GeometryUtilsImpl::IsVertexConvex(const Vector& vertex, const Vector& next, const Vector& pred, const Vector& up) {
  const auto inPlane = [&up](const Vector& v) { return Normalize(v - up * Dot(up, v)); };
  const Vector incoming = inPlane(vertex - pred), outgoing = inPlane(next - vertex);
  // Going straight on or turning straight back bends neither way; both count as convex.
  if (AllWithin(outgoing - incoming, sceneTolerance) || AllWithin(outgoing + incoming, sceneTolerance)) return true;
  return TurnAroundUp(incoming, outgoing, up) > 0.0;
}

GEOMETRY_TEST_EXACT GeometryUtilsImpl::IsVertexConvexExact(const Vector& vertex, const Vector& next, const Vector& pred,
                                                           const Vector& up, Float epsilon) {
  const Vector incoming = Normalize(vertex - pred), outgoing = Normalize(next - vertex);
  const Bool outgoingVanishes = AllWithin(outgoing, epsilon);
  // The incoming direction is tested in x and y first: one that only keeps a z component falls
  // through to the direction tests when the outgoing one exists.
  if (std::fabs(incoming.x) <= epsilon && std::fabs(incoming.y) <= epsilon) {
    const Bool incomingVanishes = std::fabs(incoming.z) <= epsilon;
    if (outgoingVanishes)
      return incomingVanishes ? GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_ALL : GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_NEXT;
    if (incomingVanishes) return GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_PREV;
  } else if (outgoingVanishes) {
    return GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_NEXT;
  }
  if (AllWithin(outgoing - incoming, epsilon)) return GEOMETRY_TEST_EXACT::GEOM_PARALLEL;
  if (AllWithin(outgoing + incoming, epsilon)) return GEOMETRY_TEST_EXACT::GEOM_ANTIPARALLEL;
  const Float turn = TurnAroundUp(incoming, outgoing, up);
  if (turn > 0.0) return GEOMETRY_TEST_EXACT::GEOM_TRUE;
  if (turn < 0.0) return GEOMETRY_TEST_EXACT::GEOM_FALSE;
  return GEOMETRY_TEST_EXACT::GEOM_DEGENERATE;
}

Bool GeometryUtilsImpl::IsVertexConvex2D(const Vector2d& vertex, const Vector2d& next, const Vector2d& pred) {
  return IsVertexConvex(Lift(vertex), Lift(next), Lift(pred), {0.0, 0.0, 1.0});
}

GEOMETRY_TEST_EXACT GeometryUtilsImpl::IsVertexConvexExact2D(const Vector2d& vertex, const Vector2d& next,
                                                             const Vector2d& pred, Float epsilon) {
  return IsVertexConvexExact(Lift(vertex), Lift(next), Lift(pred), {0.0, 0.0, 1.0}, epsilon);
}

Vector2d GeometryUtilsImpl::CalculateBarycentricCoordinate(const Vector& point, const Vector& a, const Vector& b,
                                                           const Vector& c) {
  const BarycentricWeights weights = SolveBarycentric(point, a, b, c);
  return {weights.v, weights.u};
}

Vector GeometryUtilsImpl::CalculateBarycentricCoordinate3D(const Vector& point, const Vector& a, const Vector& b,
                                                           const Vector& c) {
  const BarycentricWeights weights = SolveBarycentric(point, a, b, c);
  return {1.0 - weights.u - weights.v, weights.u, weights.v};
}

Bool GeometryUtilsImpl::PointInTriangle(const Vector& point, const Vector& a, const Vector& b, const Vector& c) {
  const BarycentricWeights weights = SolveBarycentric(point, a, b, c);
  return weights.u >= 0.0 && weights.v >= 0.0 && weights.u + weights.v <= 1.0;
}

// s and t are the weights of c and b scaled by d², so the test needs no division; the strict d² > s + t
// leaves the edge b-c outside, which lets triangles sharing that edge claim its points only once.
Bool GeometryUtilsImpl::PointInTriangle2D(const Vector2d& point, const Vector2d& a, const Vector2d& b,
                                          const Vector2d& c) {
  const Vector2d ab = b - a, ac = c - a, ap = point - a;
  const Float d = Cross(ab, ac);
  if (d == 0.0) return false;
  const Float s = (ac.y * ap.x - ac.x * ap.y) * d;
  const Float t = (ab.x * ap.y - ab.y * ap.x) * d;
  if (s < 0.0 || t < 0.0) return false;
  return d * d > s + t;
}

Int GeometryUtilsImpl::GetPointInPolygonWindingNumber2D(const Vector2d& point, Block<const Vector2d> outline) {
  return FloatWindingNumber(point, outline);
}

Int GeometryUtilsImpl::GetPointInPolygonWindingNumber2DExact(const Vector2d& point, Block<const Vector2d> outline) {
  return WindingNumber(point, outline, [&point](const Vector2d& p, const Vector2d& q) {
    return ExactPredicates2DImpl::Orient(p, q, point);
  });
}

Int GeometryUtilsImpl::GetPointInPolygonWindingNumber2D(const Vector2d& point, Block<const Vector2d> outline,
                                                        Int& edgeHit) {
  return WindingNumberWithEdgeHit(point, outline, edgeHit);
}

Int GeometryUtilsImpl::GetPointInPolygonWindingNumber(const Vector& point, Block<const Vector> outline) {
  return FloatWindingNumber(Flatten(point), outline);
}

Int GeometryUtilsImpl::GetPointInPolygonWindingNumber(const Vector& point, Block<const Vector> outline, Int& edgeHit) {
  return WindingNumberWithEdgeHit(Flatten(point), outline, edgeHit);
}

Bool GeometryUtilsImpl::PointInOutline2D(const Vector2d& point, Block<const Vector2d> outline) {
  BaseArray<Bool> counted;
  if (!counted.Resize(outline.GetCount())) return false;
  RayCrossingCounter counter(point, outline, counted);
  for (Int i = 0; i < outline.GetCount(); ++i) {
    if (WithinTolerance(point, outline[i])) return false;
    CountEdgeAgainstRay(point, outline, i, counter);
  }
  return counter.IsOdd();
}

Bool GeometryUtilsImpl::PointInOutlineRobust2D(const Vector2d& point, Block<const Vector2d> outline) {
  const Int count = outline.GetCount();
  if (count < 3) return false;
  Bool inside = false;
  for (Int i = 0; i < count; ++i) {
    const Vector2d& a = outline[i];
    if (point.y == a.y && TouchesLocalExtreme(outline, i)) continue;
    if (CrossesRayToTheRight(point, a, outline[NextIndex(i, count)])) inside = !inside;
  }
  return inside;
}

Vector GeometryUtilsImpl::CalculateBisector(const Vector& v1, const Vector& v2, const Vector& up, Float w1, Float w2) {
  const Vector d1 = w1 == 0.0 ? v1 : v1 * (1.0 / w1);
  const Vector d2 = w2 == 0.0 ? v2 : v2 * (1.0 / w2);
  const Vector u1 = Normalize(d1), u2 = Normalize(d2);
  const Vector origin{};
  Vector result;
  if (AllWithin(u1 - u2, sceneTolerance) || AllWithin(u1 + u2, sceneTolerance)) {
    // No angle to halve: the edges' common normal is the bisector.
    result = Normalize(Cross(d2, up));
  } else if (w1 == 1.0 && w2 == 1.0) {
    // Unweighted edges: the bisector is halfway between the two edge normals, returned as it is.
    const Vector c1 = Cross(v1, up), c2 = Cross(v2, up);
    result = Normalize(c1 - c2);
    if (AllWithin(result, sceneTolerance)) return c1;
    if (!IsVertexConvex(origin, Normalize(c1), Normalize(c2) * -1.0, up)) result = result * -1.0;
    return result;
  } else {
    result = Normalize(d1 + d2);
    if (!IsVertexConvex(origin, u1, u2, up)) result = result * -1.0;
  }
  const Vector side = Normalize(Cross(result, up));
  if (AllWithin(side, sceneTolerance)) return result;
  return Normalize(Cross(side, up));
}

Bool GeometryUtilsImpl::CalculateCircumcenter2D(const Vector2d& a, const Vector2d& b, const Vector2d& c,
                                                Vector2d& center, Float& sqrRad, Float tolerance) {
  const Vector2d d1 = b - a, d2 = c - a;
  const Float denominator = 2.0 * Cross(d1, d2);
  if (tolerance * tolerance > std::fabs(denominator)) return false;
  const Float length1 = Dot(d1, d1), length2 = Dot(d2, d2);
  const Vector2d offset{(d2.y * length1 - d1.y * length2) / denominator,
                        (d1.x * length2 - d2.x * length1) / denominator};
  center = a + offset;
  sqrRad = Dot(offset, offset);
  return true;
}

Bool GeometryUtilsImpl::CalculateCircumcenter(const Vector& a, const Vector& b, const Vector& c, Vector& center,
                                              Float& rad, Float tolerance) {
  const Vector ab = a - b, bc = b - c, ca = c - a;
  const Float lengthAB = Length(ab), lengthBC = Length(bc), lengthCA = Length(ca);
  if (lengthAB < tolerance || lengthBC < tolerance || lengthCA < tolerance) return false;
  const Vector n = Cross(ab, bc);
  const Float twiceSquaredNormal = 2.0 * Dot(n, n);
  if (tolerance * tolerance > twiceSquaredNormal) return false;
  rad = lengthAB * lengthBC * lengthCA / (2.0 * Length(n));
  const Float alpha = lengthBC * lengthBC * Dot(a - b, a - c) / twiceSquaredNormal;
  const Float beta = lengthCA * lengthCA * Dot(b - a, b - c) / twiceSquaredNormal;
  const Float gamma = lengthAB * lengthAB * Dot(c - a, c - b) / twiceSquaredNormal;
  center = a * alpha + b * beta + c * gamma;
  return true;
}

Float GeometryUtilsImpl::CalculatePerimeterLength2D(Block<const Vector2d> outlinePoints) {
  const Int count = outlinePoints.GetCount();
  if (count < 2) return 0.0;
  Float length = 0.0;
  for (Int i = 0; i < count; ++i) length += Length(outlinePoints[NextIndex(i, count)] - outlinePoints[i]);
  return length;
}

// Fan triangles from point 0 add their area when clockwise and subtract it otherwise, so the sum is the
// clockwise-signed area of the whole outline.
Result<Bool> GeometryUtilsImpl::IsWoundClockwise2D(Block<const Vector2d> outlinePoints) {
  const Int count = outlinePoints.GetCount();
  if (count < 3) return ZEMOX_ERROR(DegeneratedInputError);
  const Vector2d& p0 = outlinePoints[0];
  Float sum = 0.0;
  for (Int i = 2; i < count; ++i) {
    const Vector2d& previous = outlinePoints[i - 1];
    const Vector2d& current = outlinePoints[i];
    const Float area = 0.5 * std::fabs((previous.y - current.y) * p0.x + (current.y - p0.y) * previous.x +
                                       (p0.y - previous.y) * current.x);
    sum += IsVertexConvex2D(previous, p0, current) ? area : -area;
  }
  if (sum > 0.0) return true;
  if (sum < 0.0) return false;
  return ZEMOX_ERROR(DegeneratedInputError);
}

void GeometryUtilsImpl::CalculateBoundingBoxIndices(Block<const Vector2d> verts, Int& minIdxX, Int& maxIdxX,
                                                    Int& minIdxY, Int& maxIdxY, Bool findMostCounterClockwise) {
  minIdxX = maxIdxX = minIdxY = maxIdxY = -1;
  if (verts.IsEmpty()) return;
  minIdxX = maxIdxX = minIdxY = maxIdxY = 0;
  // Ties go to the vertex met first on a counter-clockwise walk of the hull: leftmost-lowest,
  // rightmost-highest, bottom-rightmost, top-leftmost.
  for (Int i = 1; i < verts.GetCount(); ++i) {
    const Vector2d& v = verts[i];
    if (v.x < verts[minIdxX].x) {
      minIdxX = i;
    } else if (v.x > verts[maxIdxX].x) {
      maxIdxX = i;
    } else if (findMostCounterClockwise) {
      if (v.x == verts[minIdxX].x && v.y < verts[minIdxX].y) minIdxX = i;
      if (v.x == verts[maxIdxX].x && v.y > verts[maxIdxX].y) maxIdxX = i;
    }
    if (v.y < verts[minIdxY].y) {
      minIdxY = i;
    } else if (v.y > verts[maxIdxY].y) {
      maxIdxY = i;
    } else if (findMostCounterClockwise) {
      if (v.y == verts[minIdxY].y && v.x > verts[minIdxY].x) minIdxY = i;
      if (v.y == verts[maxIdxY].y && v.x < verts[maxIdxY].x) maxIdxY = i;
    }
  }
}

}  // namespace zemox

namespace zemox {
namespace {

const InterfaceRegistration<GeometryUtilsInterface> geometryUtilsInterface;
const ImplementationRegistration<GeometryUtilsInterface, GeometryUtilsImpl> geometryUtilsImplementation(
    "GeometryUtilsImpl");
const EnumRegistration<GEOMETRY_TEST_EXACT> geometryTestExactEnum;
const EnumRegistration<LOOP_OVERLAP_STATE> loopOverlapStateEnum;
const EnumRegistration<UnionUtilsInternal::GEOM_SNAP_DATA> snapDataEnum;
const EnumRegistration<UnionUtilsInternal::RELATIVE_TO_RANGE_STATE> relativeToRangeEnum;
const EnumRegistration<FIXOPERATION> fixOperationEnum;

}  // namespace
}  // namespace zemox
