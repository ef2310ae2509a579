// The predicates outside the range where their adaptive stages are exact: rescaled by a power of two
// when that brings them into range, otherwise evaluated in big-number arithmetic.

#include "predicaterange.h"

#include <gmp.h>
#include <mpfr.h>

#include <cmath>

namespace zemox {
namespace predicates_internal {

Bool CoordinateRange::ScaleFor(int degree, int& scale) const {
  const ExponentLimits limits = Limits(degree);
  // The largest magnitude goes just below the top of the range; the smallest must then still reach
  // the bottom.
  scale = limits.top - 1 - std::ilogb(std::bit_cast<Float>(largest_));
  return std::ilogb(std::bit_cast<Float>(smallestMinusOne_ + 1)) + scale >= limits.bottom;
}

namespace {

// A real number exact for every value a determinant of the given degree takes on doubles: each
// coordinate difference needs at most 2099 bits (from 2^1024 down to 2^-1074), a product of
// `degree` of them at most degree times that, and the sums of a determinant's terms a few more. The
// digits live inside the object, so nothing is allocated; that also makes a copy re-point them.
template <int kDegree>
class ExactReal {
 public:
  ExactReal() {
    mpfr_custom_init(limbs_, precision);
    mpfr_custom_init_set(value_, MPFR_ZERO_KIND, 0, precision, limbs_);
  }
  ExactReal(const ExactReal& other) : ExactReal() { mpfr_set(value_, other.value_, MPFR_RNDN); }
  ExactReal& operator=(const ExactReal& other) {
    mpfr_set(value_, other.value_, MPFR_RNDN);
    return *this;
  }

  static ExactReal Difference(Float a, Float b) {
    ExactReal result;
    mpfr_set_d(result.value_, a, MPFR_RNDN);
    mpfr_sub_d(result.value_, result.value_, b, MPFR_RNDN);
    return result;
  }

  friend ExactReal operator+(const ExactReal& x, const ExactReal& y) { return Apply(mpfr_add, x, y); }
  friend ExactReal operator-(const ExactReal& x, const ExactReal& y) { return Apply(mpfr_sub, x, y); }
  friend ExactReal operator*(const ExactReal& x, const ExactReal& y) { return Apply(mpfr_mul, x, y); }

  Float Sign() const { return static_cast<Float>(mpfr_sgn(value_)); }

 private:
  static constexpr mpfr_prec_t precision = 2100 * kDegree + 64;

  template <typename Operation>
  static ExactReal Apply(Operation operation, const ExactReal& x, const ExactReal& y) {
    ExactReal result;
    operation(result.value_, x.value_, y.value_, MPFR_RNDN);
    return result;
  }

  mp_limb_t limbs_[(precision + GMP_NUMB_BITS - 1) / GMP_NUMB_BITS];
  mpfr_t value_;
};

// The coordinate differences of one point to the reference point of a determinant.
template <int kDegree>
struct ExactOffset {
  ExactOffset(const Vector2d& p, const Vector2d& origin)
      : x(ExactReal<kDegree>::Difference(p.x, origin.x)), y(ExactReal<kDegree>::Difference(p.y, origin.y)) {}
  ExactOffset(const Vector& p, const Vector& origin)
      : x(ExactReal<kDegree>::Difference(p.x, origin.x)),
        y(ExactReal<kDegree>::Difference(p.y, origin.y)),
        z(ExactReal<kDegree>::Difference(p.z, origin.z)) {}

  ExactReal<kDegree> x, y, z;
};

template <int kDegree>
ExactReal<kDegree> Cross(const ExactOffset<kDegree>& p, const ExactOffset<kDegree>& q) {
  return p.x * q.y - q.x * p.y;
}

template <int kDegree>
ExactReal<kDegree> Lift2(const ExactOffset<kDegree>& p) {
  return p.x * p.x + p.y * p.y;
}

template <int kDegree>
ExactReal<kDegree> Lift3(const ExactOffset<kDegree>& p) {
  return p.x * p.x + p.y * p.y + p.z * p.z;
}

Float ExactOrient2d(const Vector2d& a, const Vector2d& b, const Vector2d& c) {
  return Cross(ExactOffset<2>(a, c), ExactOffset<2>(b, c)).Sign();
}

Float ExactIncircle(const Vector2d& a, const Vector2d& b, const Vector2d& c, const Vector2d& d) {
  const ExactOffset<4> ad(a, d), bd(b, d), cd(c, d);
  return (Lift2(ad) * Cross(bd, cd) + Lift2(bd) * Cross(cd, ad) + Lift2(cd) * Cross(ad, bd)).Sign();
}

Float ExactOrient3d(const Vector& a, const Vector& b, const Vector& c, const Vector& d) {
  const ExactOffset<3> ad(a, d), bd(b, d), cd(c, d);
  return (ad.z * Cross(bd, cd) + bd.z * Cross(cd, ad) + cd.z * Cross(ad, bd)).Sign();
}

// The lifted 4x4 determinant as the rounded filter forms it: each corner's lift times the signed
// orientation of the other three.
Float ExactInsphere(const Vector& a, const Vector& b, const Vector& c, const Vector& d, const Vector& e) {
  const ExactOffset<5> ae(a, e), be(b, e), ce(c, e), de(d, e);
  const ExactReal<5> ab = Cross(ae, be), bc = Cross(be, ce), cd = Cross(ce, de);
  const ExactReal<5> da = Cross(de, ae), ac = Cross(ae, ce), bd = Cross(be, de);
  const ExactReal<5> abc = ae.z * bc - be.z * ac + ce.z * ab;
  const ExactReal<5> bcd = be.z * cd - ce.z * bd + de.z * bc;
  const ExactReal<5> cda = ce.z * da + de.z * ac + ae.z * cd;
  const ExactReal<5> dab = de.z * ab + ae.z * bd + be.z * da;
  return ((Lift3(de) * abc - Lift3(ce) * dab) + (Lift3(be) * cda - Lift3(ae) * bcd)).Sign();
}

Vector2d Scaled(const Vector2d& p, int scale) { return {std::ldexp(p.x, scale), std::ldexp(p.y, scale)}; }
Vector Scaled(const Vector& p, int scale) {
  return {std::ldexp(p.x, scale), std::ldexp(p.y, scale), std::ldexp(p.z, scale)};
}

// Rescaling multiplies a homogeneous determinant of degree d by 2^(d * scale), which keeps its sign;
// it is exact because the scaled coordinates lie in the range, far from overflow and underflow.
template <int kDegree, typename Rescaled, typename Exact>
Float OutOfRange(CoordinateRange range, Rescaled rescaled, Exact exact) {
  if (!range.IsFinite()) return std::numeric_limits<Float>::quiet_NaN();
  int scale = 0;
  if (range.ScaleFor(kDegree, scale)) return rescaled(scale);
  return exact();
}

}  // namespace

Float orient2dOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector2d& a, const Vector2d& b,
                         const Vector2d& c) {
  return OutOfRange<2>(
      range, [&](int s) { return orient2d(context, Scaled(a, s), Scaled(b, s), Scaled(c, s)); },
      [&] { return ExactOrient2d(a, b, c); });
}

Float incircleOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector2d& a, const Vector2d& b,
                         const Vector2d& c, const Vector2d& d) {
  return OutOfRange<4>(
      range, [&](int s) { return incircle(context, Scaled(a, s), Scaled(b, s), Scaled(c, s), Scaled(d, s)); },
      [&] { return ExactIncircle(a, b, c, d); });
}

Float orient3dOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector& a, const Vector& b,
                         const Vector& c, const Vector& d) {
  return OutOfRange<3>(
      range, [&](int s) { return orient3d(context, Scaled(a, s), Scaled(b, s), Scaled(c, s), Scaled(d, s)); },
      [&] { return ExactOrient3d(a, b, c, d); });
}

// The rescaled call skips the inexact flag and the static filter, which were made for the
// coordinates as given.
Float insphereOutOfRange(const PredicateContext& context, CoordinateRange range, const Vector& a, const Vector& b,
                         const Vector& c, const Vector& d, const Vector& e) {
  return OutOfRange<5>(
      range,
      [&](int s) {
        PredicateContext exactOnly = context;
        exactOnly.useInexactArithmetic = 0;
        exactOnly.useStaticFilter = 0;
        return insphere(exactOnly, Scaled(a, s), Scaled(b, s), Scaled(c, s), Scaled(d, s), Scaled(e, s));
      },
      [&] { return ExactInsphere(a, b, c, d, e); });
}

}  // namespace predicates_internal
}  // namespace zemox
