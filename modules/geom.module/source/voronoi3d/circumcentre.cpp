// Circumcentres in 256-bit binary floating point.

#include "voronoi3d/circumcentre.h"

#include "portability.h"

namespace zemox {

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
