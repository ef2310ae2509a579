// Lines, segments, planes and triangles; bilinear interpolation, polygon coordinates and mean value weights.

#include <algorithm>
#include <cmath>
#include <limits>
#include <utility>

#include "geometryutils_impl.h"

#include "portability.h"

namespace zemox {
namespace {

// A zero vector stays zero: it is scaled by 0 instead of divided by its length.
Vector Normalize(const Vector& v) {
  const Float length = Length(v);
  return v * (length > 0.0 ? 1.0 / length : 0.0);
}

Float Length2d(const Vector2d& v) { return std::sqrt(Dot(v, v)); }

Bool IsZero(const Vector& v) { return v.x == 0.0 && v.y == 0.0 && v.z == 0.0; }

Bool ComponentsWithin(const Vector& a, const Vector& b, Float tolerance) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance && std::abs(a.z - b.z) <= tolerance;
}

Float& Component(Vector& v, Int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }
Float Component(const Vector& v, Int axis) { return axis == 0 ? v.x : axis == 1 ? v.y : v.z; }

// ---- Lines ----

// Closest approach of the lines P1 + s*D1 and P2 + t*D2. The parallel test compares the Gram determinant, not an
// angle: callers pass tolerances meant for that quantity.
struct ClosestApproach {
  Bool parallel = true;
  Float s = 0.0;
  Float t = 0.0;
  Vector gap;  // from the closest point of line 2 to the closest point of line 1
};

ClosestApproach ApproachLines(const Vector& point1, const Vector& dir1, const Vector& point2, const Vector& dir2,
                              Float tolerance) {
  const Vector w0 = point1 - point2;
  const Float a = Dot(dir1, dir1), b = Dot(dir1, dir2), c = Dot(dir2, dir2);
  const Float det = a * c - b * b;
  if (tolerance > det) return {.gap = w0};
  const Float d = Dot(dir1, w0), e = Dot(dir2, w0);
  const Float s = (b * e - c * d) / det;
  const Float t = (a * e - b * d) / det;
  return {.parallel = false, .s = s, .t = t, .gap = w0 + s * dir1 - t * dir2};
}

// The point of line 1 where the lines meet within tolerance, if they do.
Bool MeetLines(const Vector& point1, const Vector& dir1, const Vector& point2, const Vector& dir2, Float tolerance,
               Vector& meetingPoint) {
  const ClosestApproach approach = ApproachLines(point1, dir1, point2, dir2, tolerance);
  if (approach.parallel || !(Length(approach.gap) < tolerance)) return false;
  meetingPoint = point1 + approach.s * dir1;
  return true;
}

// ---- Triangles ----

// A triangle whose third corner lies within a squared distance `tolerance` of the line through the first two has
// no usable plane. A collapsed first edge measures the distance to its point.
Bool IsThinTriangle(const Vector& a, const Vector& b, const Vector& c, Float tolerance) {
  const Vector ab = b - a, ac = c - a;
  const Float lengthSquared = Dot(ab, ab);
  const Float along = lengthSquared > 0.0 ? Dot(ac, ab) / lengthSquared : 0.0;
  const Vector offset = ac - along * ab;
  return tolerance >= Dot(offset, offset);
}

// The line meets the closed triangle; also gives the line parameter of the meeting point.
Bool MeetLineTriangle(const Vector& linePoint, const Vector& lineDir, const Vector& a, const Vector& b, const Vector& c,
                      Vector& intersectionPoint, Vector2d* barycCoords, Float tolerance, Float& param) {
  const Vector normal = Normalize(Cross(Normalize(b - a), Normalize(c - a)));
  if (IsZero(normal)) return false;
  if (IsThinTriangle(a, b, c, tolerance)) return false;
  Bool samePlane = false;
  if (!GeometryUtilsImpl::IntersectLinePlane(linePoint, lineDir, a, normal, intersectionPoint, param, samePlane,
                                             tolerance))
    return false;
  const Vector2d weights = GeometryUtilsImpl::CalculateBarycentricCoordinate(intersectionPoint, a, b, c);
  if (barycCoords != nullptr) *barycCoords = weights;
  const Float weightC = weights.x, weightB = weights.y;
  return weightB >= 0.0 && weightC >= 0.0 && weightB + weightC <= 1.0;
}

// ---- Bilinear patches ----

template <typename Point>
Point Bilinear(const Point& pa, const Point& pb, const Point& pc, const Point& pd, Float s, Float t) {
  return (pa * (1.0 - s) + pb * s) * (1.0 - t) + (pd * (1.0 - s) + pc * s) * t;
}

// The patch as pa + s*b1 + t*b3 + s*t*b2, with q the point relative to pa.
struct PatchTerms {
  Vector2d b1, b2, b3, q;
};

PatchTerms TermsOf(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc, const Vector2d& pd,
                   const Vector2d& point) {
  return {.b1 = pb - pa, .b2 = pa - pb + pc - pd, .b3 = pd - pa, .q = point - pa};
}

// Roots of a*x^2 + b*x + c = 0 (a != 0) in the order (-b + sqrt(disc)) / 2a, (-b - sqrt(disc)) / 2a. The root
// that the textbook form gets by subtracting two nearly equal numbers is taken from the product of the roots,
// c / a, instead, so it keeps its digits when a is small against b. A discriminant that is not positive gives the
// double root.
std::pair<Float, Float> QuadraticRoots(Float a, Float b, Float c, Float discriminant) {
  if (!(discriminant > 0.0)) {
    const Float vertex = -b / (2.0 * a);
    return {vertex, vertex};
  }
  const Float q = -0.5 * (b + std::copysign(std::sqrt(discriminant), b));
  const Float byQuotient = q / a, byProduct = c / q;
  return b >= 0.0 ? std::pair{byProduct, byQuotient} : std::pair{byQuotient, byProduct};
}

// Solves value = parameter * side along the larger component of side. A side parallel to an axis has a zero
// component; dividing by it would send a trapezoid with vertical sides to the parallelogram formula.
Float SolveAlongSide(const Vector2d& value, const Vector2d& side) {
  return std::abs(side.x) >= std::abs(side.y) ? value.x / side.x : value.y / side.y;
}

// A quadratic coefficient that is the rounding residue of a cross product of parallel sides (trapezoids given in
// decimal coordinates) is zero: its textbook roots would be ratios of rounding noise.
Bool IsQuadraticCoefficient(Float coefficient, const Vector2d& side1, const Vector2d& side2) {
  return std::abs(coefficient) > 1e-12 * Length2d(side1) * Length2d(side2);
}

struct Candidates {
  Vector2d first, second;
};

// The two (s, t) solutions of the patch equation. The quadratic is formed in s when the sides pa-pd and pb-pc are
// not parallel, else in t when pa-pb and pd-pc are not, else the patch is a parallelogram and linear. False for a
// patch collapsed onto the point pa.
Bool SolvePatch(const PatchTerms& p, Candidates& candidates) {
  const Float a = Cross(p.b2, p.b1), c = Cross(p.b2, p.b3), linear = Cross(p.b1, p.b3);
  if (IsQuadraticCoefficient(a, p.b1, p.b2)) {
    const Float b = Cross(p.q, p.b2) - linear, constant = Cross(p.q, p.b3);
    const auto [s1, s2] = QuadraticRoots(a, b, constant, b * b - 4.0 * a * constant);
    candidates = {{s1, SolveAlongSide(p.q - p.b1 * s1, p.b3 + p.b2 * s1)},
                  {s2, SolveAlongSide(p.q - p.b1 * s2, p.b3 + p.b2 * s2)}};
    return true;
  }
  if (IsQuadraticCoefficient(c, p.b2, p.b3)) {
    const Float b = linear + Cross(p.q, p.b2), constant = Cross(p.q, p.b1);
    const auto [t1, t2] = QuadraticRoots(c, b, constant, b * b - 4.0 * c * constant);
    candidates = {{SolveAlongSide(p.q - p.b3 * t1, p.b1 + p.b2 * t1), t1},
                  {SolveAlongSide(p.q - p.b3 * t2, p.b1 + p.b2 * t2), t2}};
    return true;
  }
  if (linear != 0.0) {
    const Vector2d st{Cross(p.q, p.b3) / linear, Cross(p.b1, p.q) / linear};
    candidates = {st, st};
    return true;
  }
  // Everything lies on one line: the distance from pa in units of the first side.
  const Float side = Length2d(p.b1);
  if (!(side > 0.0)) return false;
  const Float along = Length2d(p.q) / side;
  candidates = {{along, along}, {along, along}};
  return true;
}

Bool NearUnitRange(Float value) { return value >= -0.0001 && value <= 1.0001; }

// How far s lies beyond [0, 1]; inside the range the value is not positive and favours the candidate.
Float Excess(Float s) { return s < 0.0 ? -s : s - 1.0; }

Vector2d ChooseCandidate(const Candidates& candidates) {
  const Vector2d& first = candidates.first;
  const Vector2d& second = candidates.second;
  if (NearUnitRange(first.x) && NearUnitRange(first.y)) return first;
  if (NearUnitRange(second.x) && NearUnitRange(second.y)) return second;
  return Excess(second.x) < Excess(first.x) ? second : first;
}

Vector2d ClampToUnitSquare(const Vector2d& st) {
  if (st.x < 0.0) return {0.0, st.y < 0.0 ? 0.0 : std::min(st.y, 1.0)};
  if (st.y < 0.0) return {std::min(st.x, 1.0), 0.0};
  return {std::min(st.x, 1.0), std::min(st.y, 1.0)};
}

// The four corners and the point reduced to the coordinate plane in which the quadrangle's projection is
// largest, so that the 2D solution is the best conditioned one.
struct PlanarPatch {
  Vector2d pa, pb, pc, pd, point;
};

Float ProjectedQuadrangleArea(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc, const Vector2d& pd) {
  return 0.5 * std::abs(Cross(pb - pa, pc - pa) + Cross(pd - pc, pa - pc));
}

PlanarPatch ProjectPatch(const Vector& pa, const Vector& pb, const Vector& pc, const Vector& pd, const Vector& point) {
  const auto project = [&](auto coordinates) {
    return PlanarPatch{coordinates(pa), coordinates(pb), coordinates(pc), coordinates(pd), coordinates(point)};
  };
  const PlanarPatch yz = project([](const Vector& v) { return Vector2d{v.y, v.z}; });
  const PlanarPatch xz = project([](const Vector& v) { return Vector2d{v.x, v.z}; });
  const PlanarPatch xy = project([](const Vector& v) { return Vector2d{v.x, v.y}; });
  const auto area = [](const PlanarPatch& p) { return ProjectedQuadrangleArea(p.pa, p.pb, p.pc, p.pd); };
  const Float areaYz = area(yz), areaXz = area(xz), areaXy = area(xy);
  if (areaYz > areaXz && areaYz > areaXy) return yz;
  if (areaXz > areaYz && areaXz > areaXy) return xz;
  return xy;
}

// ---- Polygon coordinates ----

Vector2d Flatten(const Vector& v) { return {v.x, v.y}; }

// Where point lies along the segment from pa-pb to pd-pc at parameter s: 0 at pa-pb, 1 at pd-pc.
Float AcrossParameter(const Vector2d& point, const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                      const Vector2d& pd, Float s) {
  const Vector2d start = pa + (pb - pa) * s, end = pd + (pc - pd) * s;
  const Vector2d across = end - start;
  const Float lengthSquared = Dot(across, across);
  return lengthSquared != 0.0 ? Dot(point - start, across) / lengthSquared : 0.0;
}

Bool InParameterBand(Float value) { return value >= -0.001 && value <= 1.001; }

// The roots of the quadratic in s, or false when the discriminant shows the point beyond the patch's reach.
Bool QuadrangleRoots(const Vector2d& point, const Vector2d& pa, const Vector2d& pb, Vector2d pc, const Vector2d& pd,
                     std::pair<Float, Float>& roots) {
  PatchTerms p = TermsOf(pa, pb, pc, pd, point);
  if (Cross(p.b2, p.b1) == 0.0) {
    // A parallelogram (or a trapezoid with parallel pa-pb and pd-pc) has no quadratic term; moving pc by 1e-6
    // across pa-pb gives it one and moves the wanted root by about 1e-6 over the quadrangle's size.
    const Float side = Length2d(p.b1);
    if (side > 0.0) p = TermsOf(pa, pb, pc + Vector2d{-p.b1.y, p.b1.x} * (1e-6 / side), pd, point);
  }
  const Float a = Cross(p.b2, p.b1), b = Cross(p.q, p.b2) - Cross(p.b1, p.b3), constant = Cross(p.q, p.b3);
  if (a == 0.0) {
    // Only a collapsed pa-pb edge gets here: the equation is linear, or says nothing when b is 0 too.
    const Float root = b != 0.0 ? -constant / b : 0.0;
    roots = {root, root};
    return true;
  }
  const Float discriminant = b * b - 4.0 * a * constant;
  if (discriminant < -0.0001) return false;
  roots = QuadraticRoots(a, b, constant, discriminant);
  return true;
}

// The (s, t) of point in the flattened quadrangle. A root whose point lies within 0.001 of the patch in both
// parameters wins over one that is only within 0.001 in s, which wins over the root nearer to [0, 1]. An s
// within the band snaps into [0, 1]; one beyond it is kept, so that the caller's range test rejects it.
Bool QuadrangleParameters(const Vector2d& point, const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                          const Vector2d& pd, Float& s, Float& t) {
  std::pair<Float, Float> roots;
  if (!QuadrangleRoots(point, pa, pb, pc, pd, roots)) return false;
  const auto rank = [&](Float root) {
    if (!InParameterBand(root)) return 2;
    return InParameterBand(AcrossParameter(point, pa, pb, pc, pd, root)) ? 0 : 1;
  };
  const auto [first, second] = roots;
  const Int firstRank = rank(first), secondRank = rank(second);
  const Bool takeSecond =
      secondRank < firstRank || (secondRank == 2 && firstRank == 2 && Excess(second) < Excess(first));
  const Float root = takeSecond ? second : first;
  s = InParameterBand(root) ? std::clamp(root, 0.0, 1.0) : root;
  t = AcrossParameter(point, pa, pb, pc, pd, s);
  return true;
}

// ---- Mean value weights ----

// The point lies on the closed edge within `tolerance` as a true distance |d x w| / |d|. |d| times the distance,
// as the plain segment test measures, would put the centre of a 0.01-wide square on its first edge and let an edge
// of a large outline claim almost nothing. An edge without length has no direction (and would contain every
// point): the neighbouring edges see a point on its vertex.
Bool OnEdge(const Vector& point, const Vector& start, const Vector& end, Float tolerance) {
  const Vector edge = end - start, offset = point - start;
  const Float length = Length(edge);
  if (!(length > 0.0)) return false;
  return Length(Cross(edge, offset)) / length < tolerance && Dot(offset, edge) >= 0.0 && Dot(point - end, edge) <= 0.0;
}

// Mean value weights over the outline vertex(0) ... vertex(count - 1). signedArea gives the signed area of
// (vertex, next vertex, point) in the orientation the caller chose.
template <typename VertexAt, typename SignedArea>
Result<void> MeanValueWeights(const Vector& point, Int count, const VertexAt& vertex, const SignedArea& signedArea,
                              Float edgeTolerance, BaseArray<Float>& weights) {
  BaseArray<Float> radii, tangents;
  ZEMOX_TRY(radii.Resize(count));
  ZEMOX_TRY(tangents.Resize(count));
  for (Int i = 0; i < count; ++i) {
    const Int next = (i + 1) % count;
    const Vector& start = vertex(i);
    const Vector& end = vertex(next);
    if (OnEdge(point, start, end, edgeTolerance)) {
      weights.Reset();
      ZEMOX_TRY(weights.Resize(count));
      const Float lambda = GeometryUtilsImpl::InterpolatePointOnSegment(start, end, point, true);
      weights[next] = lambda;
      weights[i] = 1.0 - lambda;
      return OK();
    }
    const Vector toStart = start - point, toEnd = end - point;
    radii[i] = Length(toStart);
    const Float denominator = radii[i] * Length(toEnd) + Dot(toStart, toEnd);
    tangents[i] = denominator != 0.0 ? signedArea(start, end, point) / denominator : 0.0;
  }
  ZEMOX_TRY(weights.Resize(count));
  Float sum = 0.0;
  for (Int i = 0; i < count; ++i) {
    const Float inverseRadius = radii[i] != 0.0 ? 1.0 / radii[i] : 0.0;
    weights[i] = (tangents[(i + count - 1) % count] + tangents[i]) * inverseRadius;
    sum += weights[i];
  }
  const Float scale = sum != 0.0 ? 1.0 / sum : 0.0;
  for (Float& weight : weights) weight *= scale;
  return OK();
}

constexpr Float outlineEdgeTolerance = 0.0001;
constexpr Float indexedOutlineEdgeTolerance = 1e-7;

// ---- Classified segment intersection ----

Bool SamePointWithin(const Vector2d& a, const Vector2d& b) {
  const Vector2d d = a - b;
  return Dot(d, d) < 1e-10;
}

// The part shared by the boxes of two collinear segments: an empty box when they do not overlap.
struct Overlap {
  Vector2d lo, hi;
};

Overlap BoxOverlap(const Vector2d& p, const Vector2d& q, const Vector2d& r, const Vector2d& s) {
  return {{std::max(std::min(p.x, q.x), std::min(r.x, s.x)), std::max(std::min(p.y, q.y), std::min(r.y, s.y))},
          {std::min(std::max(p.x, q.x), std::max(r.x, s.x)), std::min(std::max(p.y, q.y), std::max(r.y, s.y))}};
}

// Reports an overlap either as its midpoint or, when the caller asks for both, as its two ends.
void ReportOverlap(const Vector2d& first, const Vector2d& last, Vector2d& intersectionPoint,
                   Vector2d* intersectionPoint2) {
  if (intersectionPoint2 == nullptr) {
    intersectionPoint = (first + last) * 0.5;
    return;
  }
  intersectionPoint = first;
  *intersectionPoint2 = last;
}

}  // namespace

// ---- Mean value weights ----

Result<void> GeometryUtilsImpl::CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> outline,
                                                                     BaseArray<Float>& weights) {
  return MeanValueWeights(
      point, outline.GetCount(), [&](Int i) -> const Vector& { return outline[i]; },
      [](const Vector& a, const Vector& b, const Vector& c) { return CalculateSignedTriangleArea(a, b, c); },
      outlineEdgeTolerance, weights);
}

Result<void> GeometryUtilsImpl::CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> points,
                                                                     Block<const Int32> outlineIndices,
                                                                     const Vector& normal, BaseArray<Float>& weights) {
  for (const Int32 index : outlineIndices) {
    if (index < 0 || index >= points.GetCount())
      return ZEMOX_ERROR(IllegalArgumentError, "@: outline index @ is outside the @ points.", index, points.GetCount());
  }
  return MeanValueWeights(
      point, outlineIndices.GetCount(), [&](Int i) -> const Vector& { return points[outlineIndices[i]]; },
      [&](const Vector& a, const Vector& b, const Vector& c) { return CalculateSignedTriangleArea(a, b, c, normal); },
      indexedOutlineEdgeTolerance, weights);
}

Result<void> GeometryUtilsImpl::CalculateMeanValueCoordinatesWeights(const Vector& point, Block<const Vector> outline,
                                                                     const Vector& normal, BaseArray<Float>& weights) {
  return MeanValueWeights(
      point, outline.GetCount(), [&](Int i) -> const Vector& { return outline[i]; },
      [&](const Vector& a, const Vector& b, const Vector& c) { return CalculateSignedTriangleArea(a, b, c, normal); },
      outlineEdgeTolerance, weights);
}

// ---- 2D segments ----

Bool GeometryUtilsImpl::SegmentsIntersectionTest2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                                   const Vector2d& segment2Point1, const Vector2d& segment2Point2) {
  const Vector2d a = segment1Point2 - segment1Point1, b = segment2Point1 - segment2Point2,
                 c = segment1Point1 - segment2Point1;
  const Float f = a.y * b.x - a.x * b.y;
  const Float alpha = b.y * c.x - b.x * c.y;
  const Float beta = a.x * c.y - a.y * c.x;
  if (f > 0.0) return alpha >= 0.0 && alpha <= f && beta >= 0.0 && beta <= f;
  if (f < 0.0) return alpha <= 0.0 && alpha >= f && beta <= 0.0 && beta >= f;
  return false;
}

Bool GeometryUtilsImpl::SegmentRayIntersectionTest2D(const Vector2d& segmentPoint1, const Vector2d& segmentPoint2,
                                                     const Vector2d& rayStartPoint, const Vector2d& rayDirection) {
  const Vector2d edge = segmentPoint2 - segmentPoint1, offset = rayStartPoint - segmentPoint1;
  const Float den = Cross(rayDirection, edge);
  if (den == 0.0) return false;
  const Float u = Cross(rayDirection, offset) / den;
  const Float r = Cross(edge, offset) / den;
  return r >= 0.0 && u >= 0.0 && u <= 1.0;
}

Bool GeometryUtilsImpl::IntersectSegments2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                            const Vector2d& segment2Point1, const Vector2d& segment2Point2,
                                            Vector2d& intersectionPoint, Float tolerance) {
  intersectionPoint = {};
  const Vector2d e1 = segment1Point2 - segment1Point1, e2 = segment2Point2 - segment2Point1;
  const Float den = Cross(e1, e2);
  if (den == 0.0) return false;
  const Vector2d w = segment2Point1 - segment1Point1;
  const Float s = Cross(w, e2) / den, t = Cross(w, e1) / den;
  const auto inRange = [&](Float v) { return v >= -tolerance && v <= 1.0 + tolerance; };
  if (!inRange(s) || !inRange(t)) return false;
  intersectionPoint = segment1Point1 + e1 * s;
  return true;
}

Bool GeometryUtilsImpl::IntersectsSegmentsExact2D(const Vector2d& segment1Point1, const Vector2d& segment1Point2,
                                                  const Vector2d& segment2Point1, const Vector2d& segment2Point2,
                                                  Vector2d& intersectionPoint, Bool& areParallel,
                                                  Vector2d* intersectionPoint2, Float tolerance) {
  const Vector2d &p = segment1Point1, &q = segment1Point2, &r = segment2Point1, &s = segment2Point2;
  intersectionPoint = {};
  if (intersectionPoint2 != nullptr) *intersectionPoint2 = {};
  const Vector2d d1 = q - p, d2 = s - r;
  const Float den = Cross(d1, d2);
  if (SamePointWithin(p, r) && SamePointWithin(q, s)) {
    areParallel = true;
    ReportOverlap(p, s, intersectionPoint, intersectionPoint2);
    return true;
  }
  if (std::abs(den) <= tolerance) {
    areParallel = true;
    if (std::abs(Cross(d1, s - p)) > tolerance) return false;
    const Overlap overlap = BoxOverlap(p, q, r, s);
    if (!(overlap.hi.x >= overlap.lo.x && overlap.hi.y >= overlap.lo.y)) return false;
    ReportOverlap(overlap.lo, overlap.hi, intersectionPoint, intersectionPoint2);
    return true;
  }
  areParallel = false;
  const Vector2d w = r - p;
  const Float along1 = Cross(w, d2) / den, along2 = Cross(w, d1) / den;
  const auto inRange = [&](Float v) { return v >= -tolerance && v <= 1.0 + tolerance; };
  if (!inRange(along1) || !inRange(along2)) return false;
  // Ends win over computed points so that a segment ending on another reports its own end exactly; the second
  // segment's ends are preferred.
  if (along2 < tolerance) {
    intersectionPoint = r;
  } else if (along2 > 1.0 - tolerance) {
    intersectionPoint = s;
  } else if (along1 < tolerance) {
    intersectionPoint = p;
  } else if (along1 > 1.0 - tolerance) {
    intersectionPoint = q;
  } else {
    intersectionPoint = p + d1 * along1;
  }
  return true;
}

// ---- Lines, half-lines and segments in 3D ----

Vector GeometryUtilsImpl::LineLineDistance(const Vector& line1Point, const Vector& line1Dir, const Vector& line2Point,
                                           const Vector& line2Dir, Bool& parallel, Float& param1, Float& param2,
                                           Float tolerance) {
  const ClosestApproach approach = ApproachLines(line1Point, line1Dir, line2Point, line2Dir, tolerance);
  parallel = approach.parallel;
  param1 = approach.s;
  param2 = approach.t;
  return approach.gap;
}

Bool GeometryUtilsImpl::PointInSegment2D(const Vector2d& point, const Vector2d& segmentPoint1,
                                         const Vector2d& segmentPoint2, Float tolerance) {
  if (std::abs(segmentPoint1.x - segmentPoint2.x) <= tolerance &&
      std::abs(segmentPoint1.y - segmentPoint2.y) <= tolerance)
    return false;
  const Vector2d d = segmentPoint2 - segmentPoint1, w = point - segmentPoint1;
  if (std::abs(w.y * d.x - w.x * d.y) > tolerance) return false;
  const Float along = Dot(w, d);
  return along >= 0.0 && along <= Dot(d, d);
}

Bool GeometryUtilsImpl::PointInSegment(const Vector& point, const Vector& segmentPoint1, const Vector& segmentPoint2,
                                       Float tolerance) {
  const Vector d = segmentPoint2 - segmentPoint1, w = point - segmentPoint1;
  const Vector cross = Cross(d, w);
  return tolerance * tolerance > Dot(cross, cross) && Dot(w, d) >= 0.0 && Dot(point - segmentPoint2, d) <= 0.0;
}

Bool GeometryUtilsImpl::PointInHalfLine(const Vector& point, const Vector& halfLineOrigin, const Vector& halfLineDir,
                                        Float tolerance) {
  return ComponentsWithin(Normalize(point - halfLineOrigin), halfLineDir, tolerance);
}

Bool GeometryUtilsImpl::IntersectLines(const Vector& line1Point, const Vector& line1Dir, const Vector& line2Point,
                                       const Vector& line2Dir, Vector& intersectionPoint, Float tolerance) {
  return MeetLines(line1Point, line1Dir, line2Point, line2Dir, tolerance, intersectionPoint);
}

Bool GeometryUtilsImpl::IntersectLineSegment(const Vector& linePoint, const Vector& lineDir,
                                             const Vector& segmentPoint1, const Vector& segmentPoint2,
                                             Vector& intersectionPoint, Float tolerance) {
  Vector candidate;
  if (!MeetLines(linePoint, lineDir, segmentPoint1, Normalize(segmentPoint1 - segmentPoint2), tolerance, candidate))
    return false;
  // The candidate comes from the line's parameter; the wider segment band absorbs its rounding.
  if (!PointInSegment(candidate, segmentPoint1, segmentPoint2, 10.0 * tolerance)) return false;
  intersectionPoint = candidate;
  return true;
}

Bool GeometryUtilsImpl::IntersectSegments(const Vector& segment1Point1, const Vector& segment1Point2,
                                          const Vector& segment2Point1, const Vector& segment2Point2,
                                          Vector& intersectionPoint, Float tolerance) {
  Vector candidate;
  if (!MeetLines(segment1Point1, Normalize(segment1Point2 - segment1Point1), segment2Point1,
                 Normalize(segment2Point2 - segment2Point1), tolerance, candidate))
    return false;
  if (!PointInSegment(candidate, segment1Point1, segment1Point2, tolerance) ||
      !PointInSegment(candidate, segment2Point1, segment2Point2, tolerance))
    return false;
  intersectionPoint = candidate;
  return true;
}

Bool GeometryUtilsImpl::IntersectHalfLines(const Vector& halfLine1Origin, const Vector& halfLine1Dir,
                                           const Vector& halfLine2Origin, const Vector& halfLine2Dir,
                                           Vector& intersectionPoint, Float tolerance) {
  Vector candidate;
  if (!MeetLines(halfLine1Origin, halfLine1Dir, halfLine2Origin, halfLine2Dir, tolerance, candidate)) return false;
  if (!PointInHalfLine(candidate, halfLine1Origin, halfLine1Dir, tolerance) ||
      !PointInHalfLine(candidate, halfLine2Origin, halfLine2Dir, tolerance))
    return false;
  intersectionPoint = candidate;
  return true;
}

Bool GeometryUtilsImpl::IntersectLineHalfLine(const Vector& linePoint, const Vector& lineDir,
                                              const Vector& halfLineOrigin, const Vector& halfLineDir,
                                              Vector& intersectionPoint, Float tolerance) {
  Vector candidate;
  if (!MeetLines(linePoint, lineDir, halfLineOrigin, halfLineDir, tolerance, candidate)) return false;
  if (!PointInHalfLine(candidate, halfLineOrigin, halfLineDir, tolerance)) return false;
  intersectionPoint = candidate;
  return true;
}

Bool GeometryUtilsImpl::IntersectHalfLineSegment(const Vector& halfLineOrigin, const Vector& halfLineDir,
                                                 const Vector& segmentPoint1, const Vector& segmentPoint2,
                                                 Vector& intersectionPoint, Float tolerance) {
  Vector candidate;
  if (!IntersectLineSegment(halfLineOrigin, halfLineDir, segmentPoint1, segmentPoint2, candidate, tolerance))
    return false;
  if (!PointInHalfLine(candidate, halfLineOrigin, halfLineDir, tolerance)) return false;
  intersectionPoint = candidate;
  return true;
}

// ---- Planes ----

Bool GeometryUtilsImpl::IntersectPlanes(const Vector& plane1Point, const Vector& plane1Normal,
                                        const Vector& plane2Point, const Vector& plane2Normal, Vector& resLinePoint,
                                        Vector& resLineDirection, Float tolerance) {
  const Vector dir = Cross(plane1Normal, plane2Normal);
  const Vector size{std::abs(dir.x), std::abs(dir.y), std::abs(dir.z)};
  if (!(size.x + size.y + size.z >= tolerance)) return false;
  const Float d1 = -Dot(plane1Point, plane1Normal), d2 = -Dot(plane2Point, plane2Normal);
  // The point is taken where the line crosses the coordinate plane it is most perpendicular to; the two other
  // coordinates solve both plane equations, whose determinant is that component of dir.
  const Int axis = size.x > size.y && size.x > size.z ? 0 : size.y > size.z ? 1 : 2;
  const Int first = (axis + 1) % 3, second = (axis + 2) % 3;
  const Float det = Component(dir, axis);
  resLinePoint = {};
  Component(resLinePoint, first) = (Component(plane1Normal, second) * d2 - Component(plane2Normal, second) * d1) / det;
  Component(resLinePoint, second) = (Component(plane2Normal, first) * d1 - Component(plane1Normal, first) * d2) / det;
  resLineDirection = dir;
  return true;
}

Bool GeometryUtilsImpl::IntersectLinePlane(const Vector& linePoint, const Vector& lineDir, const Vector& planePoint,
                                           const Vector& planeNormal, Vector& intersectionPoint, Float tolerance) {
  Float param = 0.0;
  Bool samePlane = false;
  return IntersectLinePlane(linePoint, lineDir, planePoint, planeNormal, intersectionPoint, param, samePlane,
                            tolerance);
}

Bool GeometryUtilsImpl::IntersectLinePlane(const Vector& linePoint, const Vector& lineDir, const Vector& planePoint,
                                           const Vector& planeNormal, Vector& intersectionPoint, Float& param,
                                           Bool& samePlane, Float tolerance) {
  param = 0.0;
  samePlane = false;
  // The direction is taken as the difference of two points of the line, as every caller's segment direction is.
  const Float den = Dot((linePoint + lineDir) - linePoint, planeNormal);
  const Float height = Dot(linePoint - planePoint, planeNormal);
  if (!(std::abs(den) > tolerance)) {
    samePlane = height == 0.0;
    return false;
  }
  param = -height / den;
  intersectionPoint = linePoint + param * lineDir;
  return true;
}

Bool GeometryUtilsImpl::IntersectSegmentPlane(const Vector& segmentPoint1, const Vector& segmentPoint2,
                                              const Vector& planePoint, const Vector& planeNormal,
                                              Vector& intersectionPoint, Float tolerance) {
  Float param = 0.0;
  Bool samePlane = false;
  if (!IntersectLinePlane(segmentPoint1, segmentPoint2 - segmentPoint1, planePoint, planeNormal, intersectionPoint,
                          param, samePlane, tolerance))
    return false;
  return param >= 0.0 && param <= 1.0;
}

Bool GeometryUtilsImpl::IntersectHalfLinePlane(const Vector& halfLinePoint, const Vector& halfLineDir,
                                               const Vector& planePoint, const Vector& planeNormal,
                                               Vector& intersectionPoint, Float tolerance) {
  Float param = 0.0;
  Bool samePlane = false;
  if (!IntersectLinePlane(halfLinePoint, halfLineDir, planePoint, planeNormal, intersectionPoint, param, samePlane,
                          tolerance))
    return false;
  return param >= 0.0;
}

// ---- Triangles and quadrangles ----

Bool GeometryUtilsImpl::IntersectLineTriangle(const Vector& linePoint, const Vector& lineDir, const Vector& a,
                                              const Vector& b, const Vector& c, Vector& intersectionPoint,
                                              Vector2d* barycCoords, Float tolerance) {
  Float param = 0.0;
  return MeetLineTriangle(linePoint, lineDir, a, b, c, intersectionPoint, barycCoords, tolerance, param);
}

Bool GeometryUtilsImpl::IntersectHalfLineTriangle(const Vector& halfLineOrigin, const Vector& halfLineDir,
                                                  const Vector& a, const Vector& b, const Vector& c,
                                                  Vector& intersectionPoint, Vector2d* barycCoords, Float tolerance) {
  Float param = 0.0;
  return MeetLineTriangle(halfLineOrigin, halfLineDir, a, b, c, intersectionPoint, barycCoords, tolerance, param) &&
         param >= 0.0;
}

Bool GeometryUtilsImpl::IntersectLineQuadrangle(const Vector& linePoint, const Vector& lineDir, const Vector& a,
                                                const Vector& b, const Vector& c, const Vector& d,
                                                Vector& intersectionPoint, Float tolerance) {
  return IntersectLineTriangle(linePoint, lineDir, a, b, c, intersectionPoint, nullptr, tolerance) ||
         IntersectLineTriangle(linePoint, lineDir, a, c, d, intersectionPoint, nullptr, tolerance);
}

Bool GeometryUtilsImpl::IntersectHalfLineQuadrangle(const Vector& halfLineOrigin, const Vector& halfLineDir,
                                                    const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                                                    Vector& intersectionPoint, Float tolerance) {
  return IntersectHalfLineTriangle(halfLineOrigin, halfLineDir, a, b, c, intersectionPoint, nullptr, tolerance) ||
         IntersectHalfLineTriangle(halfLineOrigin, halfLineDir, a, c, d, intersectionPoint, nullptr, tolerance);
}

// The segment's direction is made the shear axis, so that the three edge functions are evaluated on the same
// sheared coordinates for every triangle: two triangles sharing an edge see the same sign on it, and a segment
// through the edge cannot slip between them.
Bool GeometryUtilsImpl::IntersectSegmentTriangle(const Vector& segmentPoint1, const Vector& segmentPoint2,
                                                 const Vector& a, const Vector& b, const Vector& c,
                                                 Vector& intersectionPoint, Vector* barycCoords, Float tolerance) {
  if (IsThinTriangle(a, b, c, tolerance)) return false;
  const Vector dir = segmentPoint2 - segmentPoint1;
  const Vector size{std::abs(dir.x), std::abs(dir.y), std::abs(dir.z)};
  Int kz = size.y > size.x ? 1 : 0;
  if (size.z > Component(size, kz)) kz = 2;
  if (Component(dir, kz) == 0.0) return false;  // a segment without length has no axis to shear along
  Int kx = (kz + 1) % 3, ky = (kx + 1) % 3;
  if (Component(dir, kz) < 0.0) std::swap(kx, ky);
  const Float sx = Component(dir, kx) / Component(dir, kz);
  const Float sy = Component(dir, ky) / Component(dir, kz);
  const Float sz = 1.0 / Component(dir, kz);

  const Vector corners[3] = {a - segmentPoint1, b - segmentPoint1, c - segmentPoint1};
  Vector2d sheared[3];
  for (Int i = 0; i < 3; ++i) {
    const Float depth = Component(corners[i], kz);
    sheared[i] = {Component(corners[i], kx) - sx * depth, Component(corners[i], ky) - sy * depth};
  }
  const Vector2d &sa = sheared[0], &sb = sheared[1], &sc = sheared[2];
  const Float u = sc.x * sb.y - sc.y * sb.x;
  const Float v = sa.x * sc.y - sa.y * sc.x;
  const Float w = sb.x * sa.y - sb.y * sa.x;
  if ((u < 0.0 || v < 0.0 || w < 0.0) && (u > 0.0 || v > 0.0 || w > 0.0)) return false;
  const Float det = u + v + w;
  if (det == 0.0) return false;
  const Float scaledDepth =
      sz * (u * Component(corners[0], kz) + v * Component(corners[1], kz) + w * Component(corners[2], kz));
  const Float along = scaledDepth / det;
  if (!(along >= 0.0 && along <= 1.0)) return false;
  intersectionPoint = segmentPoint1 + along * dir;
  const Vector weights{u / det, v / det, w / det};
  if (barycCoords != nullptr) *barycCoords = weights;
  const auto inRange = [&](Float weight) { return weight >= -tolerance && weight <= 1.0 + tolerance; };
  return inRange(weights.x) && inRange(weights.y) && inRange(weights.z);
}

Bool GeometryUtilsImpl::TrianglesIntersectionTest(const Vector& t1a, const Vector& t1b, const Vector& t1c,
                                                  const Vector& t2a, const Vector& t2b, const Vector& t2c,
                                                  Float tolerance) {
  const Vector edges[3][2] = {{t1a, t1b}, {t1b, t1c}, {t1c, t1a}};
  Vector hit;
  return std::any_of(std::begin(edges), std::end(edges), [&](const Vector(&edge)[2]) {
    return IntersectSegmentTriangle(edge[0], edge[1], t2a, t2b, t2c, hit, nullptr, tolerance);
  });
}

// ---- Polygon coordinates and bilinear patches ----

Bool GeometryUtilsImpl::CalculatePolygonPointST(const Vector& point, const Vector& pa, const Vector& pb,
                                                const Vector& pc, const Vector& pd, Bool isQuad, Float& s, Float& t,
                                                Float tolerance) {
  s = t = std::numeric_limits<Float>::lowest();
  if (isQuad) {
    if (!QuadrangleParameters(Flatten(point), Flatten(pa), Flatten(pb), Flatten(pc), Flatten(pd), s, t)) return false;
  } else {
    const Vector2d weights = CalculateBarycentricCoordinate(point, pa, pb, pc);
    s = weights.x;
    t = weights.y;
  }
  return s >= 0.0 && s <= 1.0 + tolerance && t >= 0.0 && t <= 1.0 + tolerance;
}

void GeometryUtilsImpl::InverseBilinarInterpolate(const Vector& pa, const Vector& pb, const Vector& pc,
                                                  const Vector& pd, const Vector& point, Vector2d& bilinarVariables) {
  const PlanarPatch p = ProjectPatch(pa, pb, pc, pd, point);
  InverseBilinarInterpolate2D(p.pa, p.pb, p.pc, p.pd, p.point, bilinarVariables);
}

void GeometryUtilsImpl::InverseBilinarInterpolateNewton(const Vector& pa, const Vector& pb, const Vector& pc,
                                                        const Vector& pd, const Vector& point, Int32 iterations,
                                                        Vector2d& bilinarVariables) {
  const PlanarPatch p = ProjectPatch(pa, pb, pc, pd, point);
  InverseBilinarInterpolate2DNewton(p.pa, p.pb, p.pc, p.pd, p.point, iterations, bilinarVariables);
}

void GeometryUtilsImpl::InverseBilinarInterpolate2D(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                                                    const Vector2d& pd, const Vector2d& point,
                                                    Vector2d& bilinarVariables) {
  Candidates candidates;
  if (!SolvePatch(TermsOf(pa, pb, pc, pd, point), candidates)) {
    bilinarVariables = {};
    return;
  }
  bilinarVariables = ClampToUnitSquare(ChooseCandidate(candidates));
}

void GeometryUtilsImpl::InverseBilinarInterpolate2DNewton(const Vector2d& pa, const Vector2d& pb, const Vector2d& pc,
                                                          const Vector2d& pd, const Vector2d& point, Int32 iterations,
                                                          Vector2d& bilinarVariables) {
  if (iterations < 1) {
    bilinarVariables = {0.5, 0.5};
    return;
  }
  Float s = 0.5, t = 0.5;
  for (Int32 i = 0; i < iterations; ++i) {
    const Vector2d residual = Bilinear(pa, pb, pc, pd, s, t) - point;
    const Vector2d alongS = (pb - pa) * (1.0 - t) + (pc - pd) * t;
    const Vector2d alongT = (pd - pa) * (1.0 - s) + (pc - pb) * s;
    const Float det = Cross(alongS, alongT);
    if (std::abs(det) < 1e-12) return;
    const Float stepS = Cross(residual, alongT) / det, stepT = Cross(alongS, residual) / det;
    s = std::clamp(s - stepS, 0.0, 1.0);
    t = std::clamp(t - stepT, 0.0, 1.0);
  }
  bilinarVariables = {s, t};
}

Vector GeometryUtilsImpl::BilinearInterpolate(const Vector& pa, const Vector& pb, const Vector& pc, const Vector& pd,
                                              Float s, Float t) {
  return Bilinear(pa, pb, pc, pd, s, t);
}

}  // namespace zemox
