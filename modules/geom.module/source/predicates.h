#pragma once

#include <cmath>

#include "portability.h"
#include "zemox/types.h"

namespace zemox {

// Machine constants, error bounds and static filters of the adaptive-precision predicates. Every
// predicate reads one; only exactinit writes it.
struct PredicateContext {
  Float splitter = 0.0;
  Float epsilon = 0.0;
  Float resulterrbound = 0.0;
  Float ccwerrboundA = 0.0;
  Float ccwerrboundB = 0.0;
  Float ccwerrboundC = 0.0;
  Float o3derrboundA = 0.0;
  Float o3derrboundB = 0.0;
  Float o3derrboundC = 0.0;
  Float iccerrboundA = 0.0;
  Float iccerrboundB = 0.0;
  Float iccerrboundC = 0.0;
  Float isperrboundA = 0.0;
  Float isperrboundB = 0.0;
  Float isperrboundC = 0.0;
  Int32 useInexactArithmetic = 0;
  Int32 useStaticFilter = 0;
  Float o3dStaticFilter = 1e-10;
  Float ispStaticFilter = 1e-10;
};

// Fills the context: machine epsilon and splitter, the error bounds, the two flags, and static
// filters scaled by the magnitudes of the coordinates the predicates will see.
void exactinit(PredicateContext& context, int noExact, int noFilter, Float maxX, Float maxY, Float maxZ);

// The slow paths, out of line: each is entered only when the floating-point filter of its predicate
// could not decide, and receives the filter's permanent (or, for orient2d, the sum of the two
// products) to scale its error bounds. A permanent of +infinity forces the exact stages.
//
// The stages are exact while no intermediate product overflows or loses bits to underflow. Each slow
// path first checks that the coordinates lie in that range; otherwise it rescales them all by one
// power of two (exact, and the sign of a homogeneous determinant does not change) or, when their
// magnitudes span too wide a range for any scale, evaluates the determinant in big-number arithmetic
// wide enough to be exact. A non-finite coordinate gives NaN.
namespace predicates_internal {

// A product that underflows has an absolute error of up to half the smallest subnormal, which a
// relative error bound does not cover, and a product with large factors can magnify it. The filters
// add this many times a bound on those magnifying factors, plus one: far more than the worst case,
// yet gone in the rounding next to the relative bound unless the input is tiny. It is the smallest
// normal number that suffices, as an operation on a subnormal one would slow every call.
inline constexpr Float underflowGuard = 0x1p-1020;

// Whether the rounded determinant clears the filter's relative bound `errbound` by more than the
// underflow error, with `magnifier` a bound on the factors that magnify it (evaluated only when
// needed). With finite factors that error is below 3 * 2^-1075 times three doubles, so a determinant
// clearing the bound by 2^-46 passes at the cost of one subtraction, and only tiny ones look further.
// An overflowed product leaves a NaN or infinite bound, and the margin is then never positive.
template <typename Magnifier>
ZEMOX_FORCE_INLINE Bool ClearsBound(Float det, Float errbound, Magnifier magnifier) {
  const Float margin = std::fabs(det) - errbound;
  if (margin > 0x1p-46) [[likely]]
    return true;
  return margin > underflowGuard * (magnifier() + 1.0);
}

Float orient2dadapt(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c,
                    Float detSum);
Float incircleadapt(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c,
                    const Vector2d& d, Float permanent);
Float orient3dadapt(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    Float permanent);
Float insphereadapt(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    const Vector& e, Float permanent);
// The in-sphere determinant evaluated exactly from the raw coordinates, with no filter at all.
Float insphereexact(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    const Vector& e);

}  // namespace predicates_internal

// The filters below are forced inline: they are the common case and only a few dozen operations,
// while the slow paths stay out of line. Every predicate returns the exact sign for all finite
// coordinates and NaN when one is not finite. Only the sign is meaningful: the magnitude is the
// approximation of the stage that decided, or for coordinates outside the range of the exact stages
// just a unit of the right sign. A filter never accepts an overflowed product: it then compares
// against an infinite or NaN bound, which fails.

// > 0 when a, b, c turn counter-clockwise, < 0 clockwise, 0 collinear.
//
// One magnitude test decides: products of opposite signs (or a zero product) cannot cancel, and then
// |det| >= |detLeft + detRight| passes it anyway, so a separate sign test would only add a branch
// that is a coin flip on typical input.
ZEMOX_FORCE_INLINE Float orient2d(const PredicateContext& context, const Vector2d& a, const Vector2d& b,
                                  const Vector2d& c) {
  const Float detLeft = (a.x - c.x) * (b.y - c.y);
  const Float detRight = (a.y - c.y) * (b.x - c.x);
  const Float det = detLeft - detRight;
  const Float detSum = std::fabs(detLeft + detRight);
  if (std::fabs(det) > context.ccwerrboundA * detSum + predicates_internal::underflowGuard) return det;
  return predicates_internal::orient2dadapt(context, a, b, c, detSum);
}

// > 0 when d lies inside the circle through a, b, c (counter-clockwise), 0 when cocircular.
ZEMOX_FORCE_INLINE Float incircle(const PredicateContext& context, const Vector2d& a, const Vector2d& b,
                                  const Vector2d& c, const Vector2d& d) {
  const Float adx = a.x - d.x, bdx = b.x - d.x, cdx = c.x - d.x;
  const Float ady = a.y - d.y, bdy = b.y - d.y, cdy = c.y - d.y;
  const Float bdxcdy = bdx * cdy, cdxbdy = cdx * bdy;
  const Float cdxady = cdx * ady, adxcdy = adx * cdy;
  const Float adxbdy = adx * bdy, bdxady = bdx * ady;
  const Float alift = adx * adx + ady * ady;
  const Float blift = bdx * bdx + bdy * bdy;
  const Float clift = cdx * cdx + cdy * cdy;
  const Float det = alift * (bdxcdy - cdxbdy) + blift * (cdxady - adxcdy) + clift * (adxbdy - bdxady);
  const Float permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * alift +
                          (std::fabs(cdxady) + std::fabs(adxcdy)) * blift +
                          (std::fabs(adxbdy) + std::fabs(bdxady)) * clift;
  // A cross product's underflow is magnified by a lift, a lift's by a cross product (bounded by the
  // sum of the other two lifts).
  if (predicates_internal::ClearsBound(det, context.iccerrboundA * permanent, [&] { return alift + blift + clift; }))
    return det;
  return predicates_internal::incircleadapt(context, a, b, c, d, permanent);
}

// orient3d from the offsets ad = a - d, bd = b - d, cd = c - d, for callers that test several faces
// against one d and share the offsets; the points themselves are read only when the filter fails.
ZEMOX_FORCE_INLINE Float orient3dFromOffsets(const PredicateContext& context, const Vector& ad, const Vector& bd,
                                             const Vector& cd, const Vector& a, const Vector& b, const Vector& c,
                                             const Vector& d) {
  const Float bdxcdy = bd.x * cd.y, cdxbdy = cd.x * bd.y;
  const Float cdxady = cd.x * ad.y, adxcdy = ad.x * cd.y;
  const Float adxbdy = ad.x * bd.y, bdxady = bd.x * ad.y;
  const Float det = ad.z * (bdxcdy - cdxbdy) + bd.z * (cdxady - adxcdy) + cd.z * (adxbdy - bdxady);
  const Float permanent = (std::fabs(bdxcdy) + std::fabs(cdxbdy)) * std::fabs(ad.z) +
                          (std::fabs(cdxady) + std::fabs(adxcdy)) * std::fabs(bd.z) +
                          (std::fabs(adxbdy) + std::fabs(bdxady)) * std::fabs(cd.z);
  // A cross product's underflow is magnified by its z factor.
  const auto zSum = [&] { return std::fabs(ad.z) + std::fabs(bd.z) + std::fabs(cd.z); };
  if (predicates_internal::ClearsBound(det, context.o3derrboundA * permanent, zSum)) return det;
  return predicates_internal::orient3dadapt(context, a, b, c, d, permanent);
}

// Sign of (a - d) . ((b - d) x (c - d)): > 0 when d lies below the plane through a, b, c. Exact for
// every finite input, like the other predicates: the tetrahedralisation refuses input that would
// overflow its own constructions, and that is the only range limit left.
ZEMOX_FORCE_INLINE Float orient3d(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c,
                                  const Vector& d) {
  return orient3dFromOffsets(context, a - d, b - d, c - d, a, b, c, d);
}

// > 0 when e lies inside the sphere through a, b, c, d with orient3d(a, b, c, d) > 0, 0 when cospherical.
// Exact for every finite input, as orient3d, unless the context asks for inexact arithmetic or its
// static filter was made for smaller magnitudes than the input's.
ZEMOX_FORCE_INLINE Float insphere(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c,
                                  const Vector& d, const Vector& e) {
  const Float aex = a.x - e.x, bex = b.x - e.x, cex = c.x - e.x, dex = d.x - e.x;
  const Float aey = a.y - e.y, bey = b.y - e.y, cey = c.y - e.y, dey = d.y - e.y;
  const Float aez = a.z - e.z, bez = b.z - e.z, cez = c.z - e.z, dez = d.z - e.z;
  const Float aexbey = aex * bey, bexaey = bex * aey;
  const Float bexcey = bex * cey, cexbey = cex * bey;
  const Float cexdey = cex * dey, dexcey = dex * cey;
  const Float dexaey = dex * aey, aexdey = aex * dey;
  const Float aexcey = aex * cey, cexaey = cex * aey;
  const Float bexdey = bex * dey, dexbey = dex * bey;
  const Float ab = aexbey - bexaey, bc = bexcey - cexbey, cd = cexdey - dexcey;
  const Float da = dexaey - aexdey, ac = aexcey - cexaey, bd = bexdey - dexbey;
  const Float abc = aez * bc - bez * ac + cez * ab;
  const Float bcd = bez * cd - cez * bd + dez * bc;
  const Float cda = cez * da + dez * ac + aez * cd;
  const Float dab = dez * ab + aez * bd + bez * da;
  const Float alift = aex * aex + aey * aey + aez * aez;
  const Float blift = bex * bex + bey * bey + bez * bez;
  const Float clift = cex * cex + cey * cey + cez * cez;
  const Float dlift = dex * dex + dey * dey + dez * dez;
  const Float det = (dlift * abc - clift * dab) + (blift * cda - alift * bcd);
  if (context.useInexactArithmetic != 0) return det;

  // An underflowing 2x2 product is magnified by a z factor and a lift, a lift's by a 3x3 minor. With
  // L the sum of the lifts and Z <= 2 sqrt(L) the sum of the z factors, the underflow error stays
  // below 2^-1075 (L (8 Z + 3) + 4): under 2^-300 while L < 2^500, where nothing overflows either, so
  // a determinant clearing a bound by that much passes at the cost of one subtraction; under
  // 2^-1072 (L + 3)^2 always. The static filter bounds the rounding errors of inputs within its
  // magnitudes, not these.
  const Float liftSum = (alift + blift) + (clift + dlift);
  const auto clearsBound = [&](Float errbound) {
    const Float margin = std::fabs(det) - errbound;
    // One branch for both tests: it is taken nearly always.
    if ((liftSum < 0x1p500) & (margin > 0x1p-300)) [[likely]]
      return true;
    const Float magnifier = liftSum + 3.0;
    return margin > predicates_internal::underflowGuard * magnifier * magnifier && std::isfinite(det);
  };
  if (context.useStaticFilter != 0 && clearsBound(context.ispStaticFilter)) return det;

  const Float aezplus = std::fabs(aez), bezplus = std::fabs(bez), cezplus = std::fabs(cez), dezplus = std::fabs(dez);
  const Float abplus = std::fabs(aexbey) + std::fabs(bexaey), bcplus = std::fabs(bexcey) + std::fabs(cexbey);
  const Float cdplus = std::fabs(cexdey) + std::fabs(dexcey), daplus = std::fabs(dexaey) + std::fabs(aexdey);
  const Float acplus = std::fabs(aexcey) + std::fabs(cexaey), bdplus = std::fabs(bexdey) + std::fabs(dexbey);
  const Float permanent = (cdplus * bezplus + bdplus * cezplus + bcplus * dezplus) * alift +
                          (daplus * cezplus + acplus * dezplus + cdplus * aezplus) * blift +
                          (abplus * dezplus + bdplus * aezplus + daplus * bezplus) * clift +
                          (bcplus * aezplus + acplus * bezplus + abplus * cezplus) * dlift;
  if (clearsBound(context.isperrboundA * permanent)) return det;
  return predicates_internal::insphereadapt(context, a, b, c, d, e, permanent);
}

}  // namespace zemox
