// Stand-ins for the measurement and barycentric functions that the intersections and weights call, so that this
// executable links before the measurement functions join it. Remove this file when they do.

#include <cmath>

#include "geometryutils_impl.h"

namespace zemox {

Float GeometryUtilsImpl::InterpolatePointOnSegment(const Vector& segmentPoint1, const Vector& segmentPoint2,
                                                   const Vector& point, Bool clamp) {
  const Float length = Length(segmentPoint2 - segmentPoint1);
  const Float ratio = Length(point - segmentPoint1) * (length == 0.0 ? 0.0 : 1.0 / length);
  return clamp ? std::fmin(std::fmax(ratio, 0.0), 1.0) : ratio;
}

Float GeometryUtilsImpl::CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c) {
  const Float area = 0.5 * Length(Cross(a - b, c - b));
  return Cross(c - b, a - b).z < 0.0 ? -area : area;
}

Float GeometryUtilsImpl::CalculateSignedTriangleArea(const Vector& a, const Vector& b, const Vector& c,
                                                     const Vector& normal) {
  const Vector cross = Cross(c - b, a - b);
  const Float length = Length(cross);
  const Vector unit = cross * (length > 0.0 ? 1.0 / length : 0.0);
  return Dot(unit, normal) < 0.0 ? -0.5 * length : 0.5 * length;
}

Vector2d GeometryUtilsImpl::CalculateBarycentricCoordinate(const Vector& point, const Vector& a, const Vector& b,
                                                           const Vector& c) {
  const Vector e1 = b - a, e2 = c - a, w = point - a;
  const Float d11 = Dot(e1, e1), d12 = Dot(e1, e2), d22 = Dot(e2, e2), d1w = Dot(e1, w), d2w = Dot(e2, w);
  const Float det = d11 * d22 - d12 * d12;
  const Float inverse = det == 0.0 ? 0.0 : 1.0 / det;
  return {(d11 * d2w - d12 * d1w) * inverse, (d22 * d1w - d12 * d2w) * inverse};
}

}  // namespace zemox
