#pragma once

#include <mpfr.h>

#include "zemox/basearray.h"
#include "zemox/result.h"
#include "zemox/types.h"

namespace zemox {

// Circumcentre of a tetrahedron in 256-bit binary floating point (round to nearest), rounded back to
// double: with a = p0 - p3, b = p1 - p3, c = p2 - p3,
//   centre = p3 + (|a|^2 (b x c) + |b|^2 (c x a) + |c|^2 (a x b)) / (2 a . (b x c)),
// every operation rounded once, in the order the code lists. Nearly flat tetrahedra, whose centres
// plain doubles would scatter, get centres that depend only on their points. Overflow gives an
// infinity, a flat tetrahedron a NaN or an infinity, a zero coordinate +0.
//
// Compute first tries double-double arithmetic with a running bound on its error; when the bound
// proves that every value within twice that bound of the computed centre (the exact centre and the
// 256-bit one among them) rounds to the same double, that double is the answer. Otherwise, and for
// coordinates whose differences leave [2^-150, 2^150] or whose centre is not a normal double, it
// falls back to the 256-bit computation. Both give the same bits.
//
// The variables live in host memory owned by the object, so computing a centre allocates nothing;
// one object serves one thread.
class BigCircumcentre {
 public:
  BigCircumcentre() = default;
  BigCircumcentre(BigCircumcentre&&) noexcept = default;
  BigCircumcentre& operator=(BigCircumcentre&&) noexcept = default;

  Result<void> Init();
  Vector Compute(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3);
  // The 256-bit computation alone.
  Vector ComputeExactly(const Vector& p0, const Vector& p1, const Vector& p2, const Vector& p3);
  // How many centres Compute has handed to the 256-bit computation.
  Int GetFallbackCount() const { return fallbackCount_; }

 private:
  // a, b, c; their squared lengths; the cross products b x c, c x a, a x b; scratch.
  enum Variable {
    A,
    B = A + 3,
    C = B + 3,
    LENGTHS = C + 3,
    BC = LENGTHS + 3,
    CA = BC + 3,
    AB = CA + 3,
    T0 = AB + 3,
    T1,
    DEN,
    VARIABLE_COUNT
  };
  static constexpr mpfr_prec_t precision = 256;

  mpfr_ptr At(Int variable) { return &variables_[variable]; }
  void SquaredLength(Int target, Int vector);
  void CrossProduct(Int target, Int u, Int v);
  Float Coordinate(Int axis, Float origin);

  Int fallbackCount_ = 0;
  BaseArray<mp_limb_t> limbs_;
  BaseArray<__mpfr_struct> variables_;
};

}  // namespace zemox
