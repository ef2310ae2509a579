// Circumcentres in 256-bit binary floating point.

#include "voronoi3d/circumcentre.h"

#include <cmath>

#include "portability.h"

namespace zemox {
namespace {

// ---- Double-double arithmetic with an error bound ----
//
// A value is hi + lo with |lo| <= ulp(hi) / 2, together with a bound on its distance from the exact
// value of the same expression. Each operation adds its own rounding (at most gamma relative: the
// double-double sum, product and quotient err by a few u^2 = 2^-106, far below gamma = 2^-100), an
// absolute eta for results that reach the subnormal range, and the propagated input errors; every
// bound is then widened by 2^-50 so that rounding the bound itself cannot make it too small.

constexpr Float gamma = 0x1p-100;
constexpr Float eta = 0x1p-1000;
constexpr Float widen = 1 + 0x1p-50;

struct Bounded {
  Float hi = 0;
  Float lo = 0;
  Float error = 0;
};

ZEMOX_FORCE_INLINE void TwoSum(Float a, Float b, Float& sum, Float& error) {
  sum = a + b;
  const Float bb = sum - a;
  error = (a - (sum - bb)) + (b - bb);
}

ZEMOX_FORCE_INLINE void FastTwoSum(Float a, Float b, Float& sum, Float& error) {
  sum = a + b;
  error = b - (sum - a);
}

// Veltkamp's split, for Dekker's exact product (the build does not fuse multiply-adds).
ZEMOX_FORCE_INLINE void Split(Float a, Float& high, Float& low) {
  const Float c = 134217729.0 * a;
  high = c - (c - a);
  low = a - high;
}

ZEMOX_FORCE_INLINE void TwoProduct(Float a, Float b, Float& product, Float& error) {
  product = a * b;
  Float ah, al, bh, bl;
  Split(a, ah, al);
  Split(b, bh, bl);
  error = ((ah * bh - product) + ah * bl + al * bh) + al * bl;
}

ZEMOX_FORCE_INLINE Float Magnitude(const Bounded& x) { return std::abs(x.hi) * widen; }

ZEMOX_FORCE_INLINE Bounded Add(const Bounded& a, const Bounded& b) {
  Float s, e, t, f;
  TwoSum(a.hi, b.hi, s, e);
  TwoSum(a.lo, b.lo, t, f);
  e += t;
  FastTwoSum(s, e, s, e);
  e += f;
  Bounded r;
  FastTwoSum(s, e, r.hi, r.lo);
  r.error = (a.error + b.error + gamma * Magnitude(r) + eta) * widen;
  return r;
}

ZEMOX_FORCE_INLINE Bounded Negate(const Bounded& a) { return {-a.hi, -a.lo, a.error}; }

ZEMOX_FORCE_INLINE Bounded Multiply(const Bounded& a, const Bounded& b) {
  Float p, e;
  TwoProduct(a.hi, b.hi, p, e);
  e += a.hi * b.lo + a.lo * b.hi;
  Bounded r;
  FastTwoSum(p, e, r.hi, r.lo);
  r.error = (Magnitude(a) * b.error + Magnitude(b) * a.error + a.error * b.error + gamma * Magnitude(r) + eta) * widen;
  return r;
}

// The quotient, or false when the divisor's bound does not keep it away from zero.
ZEMOX_FORCE_INLINE Bool Divide(const Bounded& n, const Bounded& d, Bounded& q) {
  const Float dMin = std::abs(d.hi) / widen - d.error;
  if (!(dMin > 0.5 * std::abs(d.hi))) return false;
  const Float q1 = n.hi / d.hi;
  Float p, e;
  TwoProduct(q1, d.hi, p, e);
  e += q1 * d.lo;
  const Float r = ((n.hi - p) - e) + n.lo;
  const Float q2 = r / d.hi;
  FastTwoSum(q1, q2, q.hi, q.lo);
  // |n/d - n*/d*| <= (|n| e_d + |d| e_n) / (|d| (|d| - e_d)) for exact values within the bounds.
  const Float propagated = (Magnitude(n) * d.error + Magnitude(d) * n.error) / (std::abs(d.hi) * dMin);
  q.error = (propagated + gamma * Magnitude(q) + eta) * widen;
  return true;
}

ZEMOX_FORCE_INLINE Bounded Difference(Float a, Float b) {
  Bounded r;
  TwoSum(a, -b, r.hi, r.lo);
  return r;
}

// The double that every value within `error` of hi + lo rounds to, if there is one; false when the
// interval reaches a rounding boundary (the midpoint between doubles) or leaves the normal range.
ZEMOX_FORCE_INLINE Bool RoundsToHi(const Bounded& x, Float error, Float& rounded) {
  const Float magnitude = std::abs(x.hi);
  if (!(magnitude >= 0x1p-1000 && magnitude <= 0x1p1000)) return false;
  const Float above = std::nextafter(x.hi, INFINITY) - x.hi;
  const Float below = x.hi - std::nextafter(x.hi, -INFINITY);
  if (!((x.lo + error) * widen < 0.5 * above && (x.lo - error) * widen > -0.5 * below)) return false;
  rounded = x.hi;
  return true;
}

// The circumcentre by the same expression as the 256-bit computation, in double-double.
Bool FilteredCircumcentre(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3, Vector& centre) {
  Bounded edges[3][3];
  const Vector* corners[3] = {&p0, &p1, &p2};
  const Float origin[3] = {p3.x, p3.y, p3.z};
  for (Int k = 0; k < 3; ++k) {
    const Float coordinates[3] = {corners[k]->x, corners[k]->y, corners[k]->z};
    for (Int axis = 0; axis < 3; ++axis) {
      edges[k][axis] = Difference(coordinates[axis], origin[axis]);
      // Products of five differences must stay far from overflow and, unless zero, from underflow.
      const Float magnitude = std::abs(edges[k][axis].hi);
      if (!(magnitude <= 0x1p150) || (magnitude != 0 && magnitude < 0x1p-150)) return false;
    }
  }
  auto squaredLength = [](const Bounded(&v)[3]) {
    return Add(Add(Multiply(v[0], v[0]), Multiply(v[1], v[1])), Multiply(v[2], v[2]));
  };
  auto cross = [](const Bounded(&u)[3], const Bounded(&v)[3], Bounded(&out)[3]) {
    for (Int axis = 0; axis < 3; ++axis) {
      const Int i = (axis + 1) % 3;
      const Int j = (axis + 2) % 3;
      out[axis] = Add(Multiply(u[i], v[j]), Negate(Multiply(u[j], v[i])));
    }
  };
  const Bounded lengths[3] = {squaredLength(edges[0]), squaredLength(edges[1]), squaredLength(edges[2])};
  Bounded bc[3], ca[3], ab[3];
  cross(edges[1], edges[2], bc);
  cross(edges[2], edges[0], ca);
  cross(edges[0], edges[1], ab);
  Bounded denominator = Multiply(edges[0][0], bc[0]);
  for (Int axis = 1; axis < 3; ++axis) denominator = Add(denominator, Multiply(edges[0][axis], bc[axis]));
  denominator = Add(denominator, denominator);
  Float result[3];
  for (Int axis = 0; axis < 3; ++axis) {
    const Bounded numerator =
        Add(Add(Multiply(lengths[0], bc[axis]), Multiply(lengths[1], ca[axis])), Multiply(lengths[2], ab[axis]));
    Bounded quotient;
    if (!Divide(numerator, denominator, quotient)) return false;
    const Bounded coordinate = Add(quotient, Bounded{origin[axis], 0, 0});
    // Twice the bound: the 256-bit result lies within a far smaller bound of the exact centre, so
    // both lie in the interval and round alike.
    if (!RoundsToHi(coordinate, 2 * coordinate.error, result[axis])) return false;
  }
  centre = {result[0], result[1], result[2]};
  return true;
}

}  // namespace

Result<void> BigCircumcentre::Init() {
  const Int limbsPerVariable = static_cast<Int>(mpfr_custom_get_size(precision) / sizeof(mp_limb_t));
  ZEMOX_TRY(limbs_.Resize(limbsPerVariable * VARIABLE_COUNT));
  ZEMOX_TRY(variables_.Resize(VARIABLE_COUNT));
  for (Int k = 0; k < VARIABLE_COUNT; ++k) {
    mp_limb_t* significand = limbs_.GetFirst() + k * limbsPerVariable;
    mpfr_custom_init(significand, precision);
    mpfr_custom_init_set(At(k), MPFR_ZERO_KIND, 0, precision, significand);
  }
  return OK();
}

void BigCircumcentre::SquaredLength(Int target, Int vector) {
  mpfr_sqr(At(target), At(vector), MPFR_RNDN);
  mpfr_sqr(At(T0), At(vector + 1), MPFR_RNDN);
  mpfr_add(At(target), At(target), At(T0), MPFR_RNDN);
  mpfr_sqr(At(T0), At(vector + 2), MPFR_RNDN);
  mpfr_add(At(target), At(target), At(T0), MPFR_RNDN);
}

void BigCircumcentre::CrossProduct(Int target, Int u, Int v) {
  for (Int axis = 0; axis < 3; ++axis) {
    const Int i = (axis + 1) % 3;
    const Int j = (axis + 2) % 3;
    mpfr_mul(At(T0), At(u + i), At(v + j), MPFR_RNDN);
    mpfr_mul(At(T1), At(u + j), At(v + i), MPFR_RNDN);
    mpfr_sub(At(target + axis), At(T0), At(T1), MPFR_RNDN);
  }
}

Float BigCircumcentre::Coordinate(Int axis, Float origin) {
  mpfr_mul(At(T0), At(LENGTHS), At(BC + axis), MPFR_RNDN);
  mpfr_mul(At(T1), At(LENGTHS + 1), At(CA + axis), MPFR_RNDN);
  mpfr_add(At(T0), At(T0), At(T1), MPFR_RNDN);
  mpfr_mul(At(T1), At(LENGTHS + 2), At(AB + axis), MPFR_RNDN);
  mpfr_add(At(T0), At(T0), At(T1), MPFR_RNDN);
  mpfr_div(At(T0), At(T0), At(DEN), MPFR_RNDN);
  mpfr_add_d(At(T0), At(T0), origin, MPFR_RNDN);
  // Rounds to the nearest double; out of range gives an infinity, and a zero of either sign is +0.
  const Float rounded = mpfr_get_d(At(T0), MPFR_RNDN);
  return rounded == 0 ? 0.0 : rounded;
}

Vector BigCircumcentre::Compute(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3) {
  Vector centre;
  if (FilteredCircumcentre(p0, p1, p2, p3, centre)) return centre;
  ++fallbackCount_;
  return ComputeExactly(p0, p1, p2, p3);
}

Vector BigCircumcentre::ComputeExactly(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3) {
  const Vector* corners[3] = {&p0, &p1, &p2};
  const Float origin[3] = {p3.x, p3.y, p3.z};
  for (Int k = 0; k < 3; ++k) {
    const Float coordinates[3] = {corners[k]->x, corners[k]->y, corners[k]->z};
    for (Int axis = 0; axis < 3; ++axis) {
      mpfr_set_d(At(A + 3 * k + axis), coordinates[axis], MPFR_RNDN);
      mpfr_sub_d(At(A + 3 * k + axis), At(A + 3 * k + axis), origin[axis], MPFR_RNDN);
    }
    SquaredLength(LENGTHS + k, A + 3 * k);
  }
  CrossProduct(BC, B, C);
  CrossProduct(CA, C, A);
  CrossProduct(AB, A, B);
  // 2 a . (b x c)
  mpfr_mul(At(DEN), At(A), At(BC), MPFR_RNDN);
  for (Int axis = 1; axis < 3; ++axis) {
    mpfr_mul(At(T0), At(A + axis), At(BC + axis), MPFR_RNDN);
    mpfr_add(At(DEN), At(DEN), At(T0), MPFR_RNDN);
  }
  mpfr_mul_2ui(At(DEN), At(DEN), 1, MPFR_RNDN);
  return {Coordinate(0, p3.x), Coordinate(1, p3.y), Coordinate(2, p3.z)};
}

}  // namespace zemox
