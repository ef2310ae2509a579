#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "predicates.h"

namespace zemox {
namespace {

// Sanitizer builds run the same cases on fewer inputs.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kCountDivisor = 100;
#else
constexpr int kCountDivisor = 1;
#endif

constexpr Float kInfinity = std::numeric_limits<Float>::infinity();

PredicateContext InitialisedContext(int noExact = 0, int noFilter = 0, Float magnitude = 0.0) {
  PredicateContext context;
  exactinit(context, noExact, noFilter, magnitude, magnitude, magnitude);
  return context;
}

int Sign(Float value) { return (value > 0.0) - (value < 0.0); }

enum class Predicate { ORIENT2D, INCIRCLE, ORIENT3D, INSPHERE };

int PointCount(Predicate predicate) {
  switch (predicate) {
    case Predicate::ORIENT2D:
      return 3;
    case Predicate::INCIRCLE:
    case Predicate::ORIENT3D:
      return 4;
    case Predicate::INSPHERE:
      return 5;
  }
  return 0;
}

bool IsPlanar(Predicate predicate) { return predicate == Predicate::ORIENT2D || predicate == Predicate::INCIRCLE; }

// Up to five points; the planar predicates read x and y only.
using Input = std::array<Vector, 5>;

Vector2d Planar(const Vector& v) { return {v.x, v.y}; }

Float Evaluate(const PredicateContext& context, Predicate predicate, const Input& p) {
  switch (predicate) {
    case Predicate::ORIENT2D:
      return orient2d(context, Planar(p[0]), Planar(p[1]), Planar(p[2]));
    case Predicate::INCIRCLE:
      return incircle(context, Planar(p[0]), Planar(p[1]), Planar(p[2]), Planar(p[3]));
    case Predicate::ORIENT3D:
      return orient3d(context, p[0], p[1], p[2], p[3]);
    case Predicate::INSPHERE:
      return insphere(context, p[0], p[1], p[2], p[3], p[4]);
  }
  return 0.0;
}

// The slow path alone with an infinite error scale: every filter stage fails and the exact stage decides.
Float EvaluateExactStages(const PredicateContext& context, Predicate predicate, const Input& p) {
  using namespace predicates_internal;
  switch (predicate) {
    case Predicate::ORIENT2D:
      return orient2dadapt(context, Planar(p[0]), Planar(p[1]), Planar(p[2]), kInfinity);
    case Predicate::INCIRCLE:
      return incircleadapt(context, Planar(p[0]), Planar(p[1]), Planar(p[2]), Planar(p[3]), kInfinity);
    case Predicate::ORIENT3D:
      return orient3dadapt(context, p[0], p[1], p[2], p[3], kInfinity);
    case Predicate::INSPHERE:
      return insphereadapt(context, p[0], p[1], p[2], p[3], p[4], kInfinity);
  }
  return 0.0;
}

// ---- Independent exact reference --------------------------------------------------------------

// Every double is an integer times a power of two. Dividing all coordinates of one input by the
// smallest such power present turns them into exact integers; the determinants are homogeneous, so
// their signs do not change.
class IntegerCoordinates {
 public:
  explicit IntegerCoordinates(const Input& input, int pointCount) {
    int lowest = std::numeric_limits<int>::max();
    for (int i = 0; i < pointCount; ++i) {
      for (Float v : {input[i].x, input[i].y, input[i].z}) {
        if (v != 0.0) lowest = std::min(lowest, std::ilogb(v) - 52);
      }
    }
    for (int i = 0; i < pointCount; ++i) {
      point_[i] = {ToInteger(input[i].x, lowest), ToInteger(input[i].y, lowest), ToInteger(input[i].z, lowest)};
    }
  }

  const mpz_class& Coordinate(int point, int axis) const { return point_[point][axis]; }

 private:
  static mpz_class ToInteger(Float v, int lowest) {
    if (v == 0.0) return 0;
    const int exponent = std::ilogb(v) - 52;
    const mpz_class mantissa(std::scalbn(v, -exponent));  // an integer of at most 53 bits
    return mantissa << static_cast<unsigned>(exponent - lowest);
  }

  std::array<std::array<mpz_class, 3>, 5> point_;
};

using Matrix3 = std::array<std::array<mpz_class, 3>, 3>;
using Matrix4 = std::array<std::array<mpz_class, 4>, 4>;

mpz_class Determinant(const Matrix3& m) {
  return m[0][0] * (m[1][1] * m[2][2] - m[1][2] * m[2][1]) - m[0][1] * (m[1][0] * m[2][2] - m[1][2] * m[2][0]) +
         m[0][2] * (m[1][0] * m[2][1] - m[1][1] * m[2][0]);
}

// Cofactor expansion along the first row.
mpz_class Determinant(const Matrix4& m) {
  mpz_class sum = 0;
  for (int column = 0; column < 4; ++column) {
    Matrix3 minor;
    for (int row = 1; row < 4; ++row) {
      for (int c = 0, k = 0; c < 4; ++c) {
        if (c != column) minor[row - 1][k++] = m[row][c];
      }
    }
    const mpz_class term = m[0][column] * Determinant(minor);
    sum += column % 2 == 0 ? term : mpz_class(-term);
  }
  return sum;
}

// Sign of the defining determinant, with the last point as origin: orient2d and orient3d are the
// determinants of the differences, incircle and insphere add each difference's squared length.
int ExactSign(Predicate predicate, const Input& input) {
  const int count = PointCount(predicate);
  const IntegerCoordinates p(input, count);
  const int last = count - 1;
  const auto diff = [&](int point, int axis) -> mpz_class {
    return p.Coordinate(point, axis) - p.Coordinate(last, axis);
  };
  switch (predicate) {
    case Predicate::ORIENT2D:
      return sgn(diff(0, 0) * diff(1, 1) - diff(0, 1) * diff(1, 0));
    case Predicate::INCIRCLE: {
      Matrix3 m;
      for (int i = 0; i < 3; ++i) m[i] = {diff(i, 0), diff(i, 1), diff(i, 0) * diff(i, 0) + diff(i, 1) * diff(i, 1)};
      return sgn(Determinant(m));
    }
    case Predicate::ORIENT3D: {
      Matrix3 m;
      for (int i = 0; i < 3; ++i) m[i] = {diff(i, 0), diff(i, 1), diff(i, 2)};
      return sgn(Determinant(m));
    }
    case Predicate::INSPHERE: {
      Matrix4 m;
      for (int i = 0; i < 4; ++i) {
        m[i] = {diff(i, 0), diff(i, 1), diff(i, 2),
                diff(i, 0) * diff(i, 0) + diff(i, 1) * diff(i, 1) + diff(i, 2) * diff(i, 2)};
      }
      return sgn(Determinant(m));
    }
  }
  return 0;
}

// ---- Input families -----------------------------------------------------------------------------

enum class Family {
  UNIFORM,                  // independent uniform points in [-1, 1]
  NEAR_DEGENERATE,          // points on a line / circle / plane / sphere, rounded, the last moved by a few ulps
  SHIFTED_NEAR_DEGENERATE,  // the same far from the origin: differences are exact, only the products round
  INTEGER_GRID,             // small integers: exactly degenerate configurations are frequent
  TENTHS_GRID,              // multiples of 0.1, rounded: degenerate up to rounding
  SUBNORMAL,                // x (and z) small integers, y a small multiple of the smallest subnormal
};

class InputGenerator {
 public:
  InputGenerator(Predicate predicate, Family family, int scaleExponent)
      : predicate_(predicate), family_(family), scaleExponent_(scaleExponent), random_(0x5eedULL + int(family)) {}

  Input Next() {
    Input input = Raw();
    for (int i = 0; i < PointCount(predicate_); ++i) {
      if (IsPlanar(predicate_)) input[i].z = 0.0;
      if (family_ == Family::SUBNORMAL) continue;
      for (Float* v : {&input[i].x, &input[i].y, &input[i].z}) *v = std::scalbn(Quantised(*v), scaleExponent_);
    }
    return input;
  }

 private:
  Float Uniform(Float lo, Float hi) { return std::uniform_real_distribution<Float>(lo, hi)(random_); }
  int Integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  Vector UniformPoint() { return {Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)}; }

  // Keeps every coordinate a multiple of 2^-60, so that scaled inputs stay clear of underflow.
  static Float Quantised(Float v) { return std::ldexp(std::nearbyint(std::ldexp(v, 60)), -60); }

  Float MovedByUlps(Float v) {
    const int ulps = Integer(-3, 3);
    for (int i = 0; i < std::abs(ulps); ++i) v = std::nextafter(v, ulps > 0 ? kInfinity : -kInfinity);
    return v;
  }

  Input Raw() {
    Input input{};
    switch (family_) {
      case Family::UNIFORM:
        for (Vector& v : input) v = UniformPoint();
        return input;
      case Family::NEAR_DEGENERATE:
        return NearDegenerate({0.0, 0.0, 0.0});
      case Family::SHIFTED_NEAR_DEGENERATE:
        return NearDegenerate({1536.0, -1536.0, 1536.0});
      case Family::INTEGER_GRID:
        for (Vector& v : input) v = {Float(Integer(-3, 3)), Float(Integer(-3, 3)), Float(Integer(-3, 3))};
        return input;
      case Family::TENTHS_GRID:
        for (Vector& v : input) v = {0.1 * Integer(-10, 10), 0.1 * Integer(-10, 10), 0.1 * Integer(-10, 10)};
        return input;
      case Family::SUBNORMAL: {
        const Float tiny = std::numeric_limits<Float>::denorm_min();
        for (Vector& v : input) v = {Float(Integer(-4, 4)), tiny * Integer(-8, 8), Float(Integer(-4, 4))};
        return input;
      }
    }
    return input;
  }

  Input NearDegenerate(const Vector& shift) {
    Input input{};
    const int last = PointCount(predicate_) - 1;
    switch (predicate_) {
      case Predicate::ORIENT2D: {
        input[0] = UniformPoint();
        input[1] = UniformPoint();
        input[2] = input[0] + (input[1] - input[0]) * Uniform(-1.5, 2.5);
        break;
      }
      case Predicate::ORIENT3D: {
        input[0] = UniformPoint();
        input[1] = UniformPoint();
        input[2] = UniformPoint();
        input[3] = input[0] + (input[1] - input[0]) * Uniform(-1, 2) + (input[2] - input[0]) * Uniform(-1, 2);
        break;
      }
      case Predicate::INCIRCLE:
      case Predicate::INSPHERE: {
        const Vector center = UniformPoint() * 0.5;
        const Float radius = Uniform(0.1, 1.0);
        for (int i = 0; i <= last; ++i) input[i] = center + Direction() * radius;
        break;
      }
    }
    for (Vector& v : input) v = v + shift;
    input[last] = {MovedByUlps(input[last].x), MovedByUlps(input[last].y), MovedByUlps(input[last].z)};
    return input;
  }

  // A random unit direction, in the plane for the planar predicates.
  Vector Direction() {
    std::normal_distribution<Float> normal;
    const Vector v{normal(random_), normal(random_), IsPlanar(predicate_) ? 0.0 : normal(random_)};
    return v * (1.0 / Length(v));
  }

  Predicate predicate_;
  Family family_;
  int scaleExponent_;
  std::mt19937_64 random_;
};

// ---- Sign agreement on generated inputs -------------------------------------------------------

struct AgreementCase {
  const char* name;
  Predicate predicate;
  Family family;
  int scaleExponent;
  int count;
};

std::string InputText(const Input& input, int count) {
  std::string text;
  char buffer[96];
  for (int i = 0; i < count; ++i) {
    std::snprintf(buffer, sizeof buffer, " (%a, %a, %a)", input[i].x, input[i].y, input[i].z);
    text += buffer;
  }
  return text;
}

class SignAgreement : public ::testing::TestWithParam<AgreementCase> {};

// The predicate, its exact stages on their own, and the predicate with the first two points
// swapped (which must negate the sign) all agree with the exact reference.
TEST_P(SignAgreement, MatchesExactReference) {
  const AgreementCase& param = GetParam();
  // Without the static filter: with zero magnitudes it would accept every rounded insphere value.
  const PredicateContext context = InitialisedContext(0, 1);
  const int count = PointCount(param.predicate);
  InputGenerator generator(param.predicate, param.family, param.scaleExponent);
  int zeros = 0;
  for (int n = 0; n < param.count / kCountDivisor; ++n) {
    const Input input = generator.Next();
    const int expected = ExactSign(param.predicate, input);
    zeros += expected == 0;
    Input swapped = input;
    std::swap(swapped[0], swapped[1]);
    const int sign = Sign(Evaluate(context, param.predicate, input));
    const int exactStages = Sign(EvaluateExactStages(context, param.predicate, input));
    const int swappedSign = Sign(Evaluate(context, param.predicate, swapped));
    ASSERT_EQ(sign, expected) << "input" << InputText(input, count);
    ASSERT_EQ(exactStages, expected) << "exact stages, input" << InputText(input, count);
    ASSERT_EQ(swappedSign, -expected) << "swapped input" << InputText(input, count);
    if (param.predicate == Predicate::INSPHERE) {
      const Float exact = predicates_internal::insphereexact(context, input[0], input[1], input[2], input[3], input[4]);
      ASSERT_EQ(Sign(exact), expected) << "insphereexact, input" << InputText(input, count);
    }
  }
  // Grids are meant to hit exact degeneracies; the other families must not collapse to them.
  if (param.family == Family::INTEGER_GRID) {
    EXPECT_GT(zeros, 0);
  }
  if (param.family == Family::UNIFORM) {
    EXPECT_EQ(zeros, 0);
  }
}

constexpr int k2d = 400000, kCircle = 200000, k3d = 200000, kSphere = 60000;

// Scale exponents keep products of the predicate's degree clear of overflow (huge) and of
// underflow (tiny); 2 for orient2d, 3 for orient3d, 4 for incircle, 5 for insphere.
INSTANTIATE_TEST_SUITE_P(
    Predicates, SignAgreement,
    ::testing::Values(
        AgreementCase{"Orient2dUniform", Predicate::ORIENT2D, Family::UNIFORM, 0, k2d},
        AgreementCase{"Orient2dNearDegenerate", Predicate::ORIENT2D, Family::NEAR_DEGENERATE, 0, k2d},
        AgreementCase{"Orient2dShifted", Predicate::ORIENT2D, Family::SHIFTED_NEAR_DEGENERATE, 0, k2d},
        AgreementCase{"Orient2dIntegerGrid", Predicate::ORIENT2D, Family::INTEGER_GRID, 0, k2d},
        AgreementCase{"Orient2dTenthsGrid", Predicate::ORIENT2D, Family::TENTHS_GRID, 0, k2d},
        AgreementCase{"Orient2dHuge", Predicate::ORIENT2D, Family::NEAR_DEGENERATE, 490, k2d},
        AgreementCase{"Orient2dTiny", Predicate::ORIENT2D, Family::NEAR_DEGENERATE, -470, k2d},
        AgreementCase{"Orient2dHugeUniform", Predicate::ORIENT2D, Family::UNIFORM, 490, k2d / 4},
        AgreementCase{"Orient2dTinyUniform", Predicate::ORIENT2D, Family::UNIFORM, -470, k2d / 4},
        AgreementCase{"Orient2dSubnormal", Predicate::ORIENT2D, Family::SUBNORMAL, 0, k2d / 4},
        AgreementCase{"IncircleUniform", Predicate::INCIRCLE, Family::UNIFORM, 0, kCircle},
        AgreementCase{"IncircleNearDegenerate", Predicate::INCIRCLE, Family::NEAR_DEGENERATE, 0, kCircle},
        AgreementCase{"IncircleShifted", Predicate::INCIRCLE, Family::SHIFTED_NEAR_DEGENERATE, 0, kCircle},
        AgreementCase{"IncircleIntegerGrid", Predicate::INCIRCLE, Family::INTEGER_GRID, 0, kCircle},
        AgreementCase{"IncircleTenthsGrid", Predicate::INCIRCLE, Family::TENTHS_GRID, 0, kCircle},
        AgreementCase{"IncircleHuge", Predicate::INCIRCLE, Family::NEAR_DEGENERATE, 230, kCircle},
        AgreementCase{"IncircleTiny", Predicate::INCIRCLE, Family::NEAR_DEGENERATE, -200, kCircle},
        AgreementCase{"Orient3dUniform", Predicate::ORIENT3D, Family::UNIFORM, 0, k3d},
        AgreementCase{"Orient3dNearDegenerate", Predicate::ORIENT3D, Family::NEAR_DEGENERATE, 0, k3d},
        AgreementCase{"Orient3dShifted", Predicate::ORIENT3D, Family::SHIFTED_NEAR_DEGENERATE, 0, k3d},
        AgreementCase{"Orient3dIntegerGrid", Predicate::ORIENT3D, Family::INTEGER_GRID, 0, k3d},
        AgreementCase{"Orient3dTenthsGrid", Predicate::ORIENT3D, Family::TENTHS_GRID, 0, k3d},
        AgreementCase{"Orient3dHuge", Predicate::ORIENT3D, Family::NEAR_DEGENERATE, 320, k3d},
        AgreementCase{"Orient3dTiny", Predicate::ORIENT3D, Family::NEAR_DEGENERATE, -290, k3d},
        AgreementCase{"Orient3dSubnormal", Predicate::ORIENT3D, Family::SUBNORMAL, 0, k3d / 4},
        AgreementCase{"InsphereUniform", Predicate::INSPHERE, Family::UNIFORM, 0, kSphere},
        AgreementCase{"InsphereNearDegenerate", Predicate::INSPHERE, Family::NEAR_DEGENERATE, 0, kSphere},
        AgreementCase{"InsphereShifted", Predicate::INSPHERE, Family::SHIFTED_NEAR_DEGENERATE, 0, kSphere},
        AgreementCase{"InsphereIntegerGrid", Predicate::INSPHERE, Family::INTEGER_GRID, 0, kSphere},
        AgreementCase{"InsphereTenthsGrid", Predicate::INSPHERE, Family::TENTHS_GRID, 0, kSphere},
        AgreementCase{"InsphereHuge", Predicate::INSPHERE, Family::NEAR_DEGENERATE, 180, kSphere},
        AgreementCase{"InsphereTiny", Predicate::INSPHERE, Family::NEAR_DEGENERATE, -150, kSphere}),
    [](const ::testing::TestParamInfo<AgreementCase>& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zemox
