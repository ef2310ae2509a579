#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>

#include "common/testscale.h"
#include "predicates.h"

namespace zemox {
namespace {

constexpr int kCountDivisor = static_cast<int>(SanitizerScaled(1, 20));

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
class SignAgreementMixed : public ::testing::TestWithParam<Predicate> {};

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

// ---- Context initialisation ------------------------------------------------------------------

TEST(ExactInit, MachineConstantsAndBounds) {
  const PredicateContext context = InitialisedContext();
  const Float e = std::ldexp(1.0, -53);
  EXPECT_EQ(context.epsilon, e);
  EXPECT_EQ(context.splitter, 134217729.0);
  EXPECT_EQ(context.resulterrbound, (3.0 + 8.0 * e) * e);
  EXPECT_EQ(context.ccwerrboundA, (3.0 + 16.0 * e) * e);
  EXPECT_EQ(context.ccwerrboundB, (2.0 + 12.0 * e) * e);
  EXPECT_EQ(context.ccwerrboundC, (9.0 + 64.0 * e) * e * e);
  EXPECT_EQ(context.o3derrboundA, (7.0 + 56.0 * e) * e);
  EXPECT_EQ(context.o3derrboundB, (3.0 + 28.0 * e) * e);
  EXPECT_EQ(context.o3derrboundC, (26.0 + 288.0 * e) * e * e);
  EXPECT_EQ(context.iccerrboundA, (10.0 + 96.0 * e) * e);
  EXPECT_EQ(context.iccerrboundB, (4.0 + 48.0 * e) * e);
  EXPECT_EQ(context.iccerrboundC, (44.0 + 576.0 * e) * e * e);
  EXPECT_EQ(context.isperrboundA, (16.0 + 224.0 * e) * e);
  EXPECT_EQ(context.isperrboundB, (5.0 + 72.0 * e) * e);
  EXPECT_EQ(context.isperrboundC, (71.0 + 1408.0 * e) * e * e);
}

TEST(ExactInit, UninitialisedContextHasOnlyTheFilters) {
  const PredicateContext context;
  EXPECT_EQ(context.splitter, 0.0);
  EXPECT_EQ(context.epsilon, 0.0);
  EXPECT_EQ(context.isperrboundC, 0.0);
  EXPECT_EQ(context.useInexactArithmetic, 0);
  EXPECT_EQ(context.useStaticFilter, 0);
  EXPECT_EQ(context.o3dStaticFilter, 1e-10);
  EXPECT_EQ(context.ispStaticFilter, 1e-10);
}

// The module prepares its context with zero magnitudes: both filters end at zero.
TEST(ExactInit, ZeroMagnitudesGiveZeroFilters) {
  const PredicateContext context = InitialisedContext();
  EXPECT_EQ(context.o3dStaticFilter, 0.0);
  EXPECT_EQ(context.ispStaticFilter, 0.0);
  EXPECT_EQ(context.useInexactArithmetic, 0);
  EXPECT_EQ(context.useStaticFilter, 1);
}

struct FlagCase {
  int noExact;
  int noFilter;
  Int32 useInexactArithmetic;
  Int32 useStaticFilter;
};

class ExactInitFlags : public ::testing::TestWithParam<FlagCase> {};

TEST_P(ExactInitFlags, CopiesNoExactAndInvertsNoFilter) {
  PredicateContext context;
  exactinit(context, GetParam().noExact, GetParam().noFilter, 1.0, 2.0, 3.0);
  EXPECT_EQ(context.useInexactArithmetic, GetParam().useInexactArithmetic);
  EXPECT_EQ(context.useStaticFilter, GetParam().useStaticFilter);
}

INSTANTIATE_TEST_SUITE_P(Flags, ExactInitFlags,
                         ::testing::Values(FlagCase{0, 0, 0, 1}, FlagCase{1, 0, 1, 1}, FlagCase{0, 1, 0, 0},
                                           FlagCase{1, 1, 1, 0}, FlagCase{0, 7, 0, 0}, FlagCase{3, 0, 3, 1}));

class StaticFilterMagnitudes : public ::testing::TestWithParam<std::array<Float, 3>> {};

// Filters depend on the sorted magnitudes only; the in-sphere filter grows with the largest cubed.
TEST_P(StaticFilterMagnitudes, AnyOrderGivesTheSortedFilters) {
  const std::array<Float, 3> m = GetParam();
  PredicateContext context;
  exactinit(context, 0, 0, m[0], m[1], m[2]);
  EXPECT_EQ(context.o3dStaticFilter, ((5.11071278299733e-15 * 1.0) * 2.0) * 3.0);
  EXPECT_EQ(context.ispStaticFilter, (((1.2466136531027298e-13 * 1.0) * 2.0) * 3.0) * (3.0 * 3.0));
}

INSTANTIATE_TEST_SUITE_P(Permutations, StaticFilterMagnitudes,
                         ::testing::Values(std::array<Float, 3>{1, 2, 3}, std::array<Float, 3>{1, 3, 2},
                                           std::array<Float, 3>{2, 1, 3}, std::array<Float, 3>{2, 3, 1},
                                           std::array<Float, 3>{3, 1, 2}, std::array<Float, 3>{3, 2, 1}));

TEST(ExactInit, FilterRoundingFollowsTheSortedProductOrder) {
  PredicateContext context;
  exactinit(context, 0, 0, 0.3, 0.1, 0.7);
  EXPECT_EQ(context.o3dStaticFilter, ((5.11071278299733e-15 * 0.1) * 0.3) * 0.7);
  EXPECT_EQ(context.ispStaticFilter, (((1.2466136531027298e-13 * 0.1) * 0.3) * 0.7) * (0.7 * 0.7));
}

TEST(ExactInit, NonFiniteMagnitudesTerminate) {
  PredicateContext context;
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  exactinit(context, 0, 0, nan, 1.0, kInfinity);
  EXPECT_EQ(context.splitter, 134217729.0);
  EXPECT_TRUE(std::isnan(context.ispStaticFilter));
}

// ---- Exact degeneracies -----------------------------------------------------------------------

// Points (0.1 i, 0.1 i): the coordinates are rounded, the points still lie exactly on y = x.
TEST(Orient2dDegenerate, RoundedPointsOnTheDiagonalAreCollinear) {
  const PredicateContext context = InitialisedContext();
  for (int i = -12; i <= 12; ++i) {
    for (int j = -12; j <= 12; ++j) {
      for (int k : {-7, 3, 11}) {
        const Vector2d a{0.1 * i, 0.1 * i}, b{0.1 * j, 0.1 * j}, c{0.1 * k, 0.1 * k};
        EXPECT_EQ(orient2d(context, a, b, c), 0.0) << i << " " << j << " " << k;
      }
    }
  }
}

TEST(Orient2dDegenerate, OrientationConventionAndAntisymmetry) {
  const PredicateContext context = InitialisedContext();
  const Vector2d a{0.1, 0.1}, b{0.7, 0.3}, c{0.2, 0.9};
  EXPECT_GT(orient2d(context, a, b, c), 0.0);
  EXPECT_LT(orient2d(context, b, a, c), 0.0);
  // One ulp above the diagonal through a: the sign still flips with the order.
  const Vector2d onDiagonal{0.9, 0.9}, above{0.5, std::nextafter(0.5, 1.0)};
  EXPECT_EQ(orient2d(context, a, onDiagonal, Vector2d{0.5, 0.5}), 0.0);
  EXPECT_GT(orient2d(context, a, onDiagonal, above), 0.0);
  EXPECT_LT(orient2d(context, onDiagonal, a, above), 0.0);
}

struct CircleCase {
  const char* name;
  Vector2d center;
  Float radius;
};

class IncircleDegenerate : public ::testing::TestWithParam<CircleCase> {};

// The four points (r, 0), (0, r), (-r, 0), (0, -r) around centres chosen so that they are exact.
TEST_P(IncircleDegenerate, CocircularIsZeroAndOneUlpDecides) {
  const PredicateContext context = InitialisedContext();
  const Vector2d o = GetParam().center;
  const Float r = GetParam().radius;
  const Vector2d a{o.x + r, o.y}, b{o.x, o.y + r}, c{o.x - r, o.y};
  const Vector2d d{o.x, o.y - r};
  EXPECT_EQ(incircle(context, a, b, c, d), 0.0);
  EXPECT_EQ(incircle(context, c, b, a, d), 0.0);
  const Vector2d inward{d.x, std::nextafter(d.y, o.y)};
  const Vector2d outward{d.x, std::nextafter(d.y, -kInfinity)};
  EXPECT_GT(incircle(context, a, b, c, inward), 0.0);
  EXPECT_LT(incircle(context, c, b, a, inward), 0.0);
  EXPECT_LT(incircle(context, a, b, c, outward), 0.0);
  EXPECT_GT(incircle(context, c, b, a, outward), 0.0);
}

INSTANTIATE_TEST_SUITE_P(Circles, IncircleDegenerate,
                         ::testing::Values(CircleCase{"Unit", {0.0, 0.0}, 1.0}, CircleCase{"Five", {0.0, 0.0}, 5.0},
                                           CircleCase{"Offset", {1024.5, -2048.25}, 3.0},
                                           CircleCase{"Dyadic", {0.5, -0.25}, 0.375},
                                           CircleCase{"Large", {-1e9, 3e9}, 12345.0}),
                         [](const ::testing::TestParamInfo<CircleCase>& info) { return std::string(info.param.name); });

TEST(IncircleDegenerate, LatticePointsOnOneCircle) {
  const PredicateContext context = InitialisedContext();
  const Vector2d p[] = {{5, 0}, {3, 4}, {0, 5}, {-4, 3}, {-5, 0}, {-3, -4}, {4, -3}};
  for (const Vector2d& d : p) {
    EXPECT_EQ(incircle(context, p[0], p[2], p[4], d), 0.0);
    EXPECT_EQ(incircle(context, p[1], p[3], p[5], d), 0.0);
  }
}

TEST(Orient3dDegenerate, CoplanarIsZeroAndBelowIsPositive) {
  const PredicateContext context = InitialisedContext();
  const Vector a{0, 0, 0}, b{1, 0, 0}, c{0, 1, 0};
  EXPECT_GT(orient3d(context, a, b, c, Vector{0, 0, -1}), 0.0);
  EXPECT_LT(orient3d(context, a, b, c, Vector{0, 0, 1}), 0.0);
  EXPECT_EQ(orient3d(context, a, b, c, Vector{0.3, 0.7, 0.0}), 0.0);
  // Integer points on the plane x + 2y + 3z = 6, and rounded points on one line.
  EXPECT_EQ(orient3d(context, Vector{6, 0, 0}, Vector{0, 3, 0}, Vector{0, 0, 2}, Vector{1, 1, 1}), 0.0);
  EXPECT_EQ(orient3d(context, Vector{0.1, 0.1, 0.1}, Vector{0.3, 0.3, 0.3}, Vector{0.7, 0.7, 0.7}, Vector{2, 5, 9}),
            0.0);
  const Vector above{0.3, 0.7, std::nextafter(0.0, 1.0)};
  EXPECT_LT(orient3d(context, a, b, c, above), 0.0);
  EXPECT_GT(orient3d(context, b, a, c, above), 0.0);
}

TEST(InsphereDegenerate, CosphericalIsZeroAndInsideIsPositive) {
  const PredicateContext context = InitialisedContext(0, 1);
  // Lattice points on the sphere of radius 3 around the origin.
  const Vector a{3, 0, 0}, b{0, 3, 0}, c{0, 0, 3}, d{-3, 0, 0};
  ASSERT_GT(orient3d(context, a, b, c, d), 0.0);
  for (const Vector& e : {Vector{2, 2, 1}, Vector{1, -2, 2}, Vector{0, 0, -3}, Vector{-2, -1, -2}}) {
    EXPECT_EQ(insphere(context, a, b, c, d, e), 0.0);
    EXPECT_EQ(predicates_internal::insphereexact(context, a, b, c, d, e), 0.0);
  }
  EXPECT_GT(insphere(context, a, b, c, d, Vector{0, 0, 0}), 0.0);
  EXPECT_LT(insphere(context, b, a, c, d, Vector{0, 0, 0}), 0.0);
  EXPECT_GT(insphere(context, a, b, c, d, Vector{0, 0, std::nextafter(-3.0, 0.0)}), 0.0);
  EXPECT_LT(insphere(context, a, b, c, d, Vector{0, 0, std::nextafter(-3.0, -4.0)}), 0.0);
}

// ---- The whole finite range ----------------------------------------------------------------------

struct ScaledCase {
  const char* name;
  Predicate predicate;
  Input input;  // exactly degenerate at every scale where its coordinates stay exact
};

void PrintTo(const ScaledCase& value, std::ostream* out) { *out << value.name; }

class ScaledDegenerate : public ::testing::TestWithParam<ScaledCase> {};

// The configuration times 2^k from the subnormal range to near overflow, as given and with its last
// point one ulp off (where underflow rounds the coordinates the oracle sees the rounded ones).
TEST_P(ScaledDegenerate, MatchesExactReferenceAtEveryScale) {
  const ScaledCase& param = GetParam();
  const PredicateContext context = InitialisedContext(0, 1);
  const int count = PointCount(param.predicate);
  const int step = static_cast<int>(SanitizerScaled(3, 29));
  int degenerate = 0;
  for (int k = -1074; k <= 1000; k += step) {
    for (const bool nudged : {false, true}) {
      Input input = param.input;
      for (Vector& v : input) v = {std::ldexp(v.x, k), std::ldexp(v.y, k), std::ldexp(v.z, k)};
      if (nudged) input[count - 1].x = std::nextafter(input[count - 1].x, kInfinity);
      const int expected = ExactSign(param.predicate, input);
      degenerate += expected == 0;
      Input swapped = input;
      std::swap(swapped[0], swapped[1]);
      ASSERT_EQ(Sign(Evaluate(context, param.predicate, input)), expected) << "k " << k << InputText(input, count);
      ASSERT_EQ(Sign(Evaluate(context, param.predicate, swapped)), -expected) << "k " << k;
    }
  }
  EXPECT_GT(degenerate, 1500 / step);
}

INSTANTIATE_TEST_SUITE_P(
    Configurations, ScaledDegenerate,
    ::testing::Values(
        ScaledCase{"Collinear", Predicate::ORIENT2D, {{{1, 1, 0}, {3, 5, 0}, {-2, -5, 0}}}},
        ScaledCase{"CollinearTenths", Predicate::ORIENT2D, {{{0.1, 0.1, 0}, {0.3, 0.3, 0}, {-0.7, -0.7, 0}}}},
        ScaledCase{"CollinearAwayFromOrigin", Predicate::ORIENT2D, {{{1025, 7, 0}, {1027, 8, 0}, {1031, 10, 0}}}},
        ScaledCase{"Cocircular", Predicate::INCIRCLE, {{{5, 0, 0}, {0, 5, 0}, {-4, 3, 0}, {3, -4, 0}}}},
        ScaledCase{"CocircularOffset",
                   Predicate::INCIRCLE,
                   {{{1027.5, -2048.25, 0}, {1024.5, -2045.25, 0}, {1021.5, -2048.25, 0}, {1024.5, -2051.25, 0}}}},
        ScaledCase{"Coplanar", Predicate::ORIENT3D, {{{6, 0, 0}, {0, 3, 0}, {0, 0, 2}, {1, 1, 1}}}},
        ScaledCase{"Cospherical", Predicate::INSPHERE, {{{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {-3, 0, 0}, {2, 2, 1}}}}),
    [](const ::testing::TestParamInfo<ScaledCase>& info) { return std::string(info.param.name); });

// Coordinates from the smallest subnormal to 2^1000 in one call: small integers times random powers
// of two, and points on one line or plane through the origin at such scales.
TEST_P(SignAgreementMixed, MatchesExactReference) {
  const Predicate predicate = GetParam();
  const PredicateContext context = InitialisedContext(0, 1);
  const int count = PointCount(predicate);
  std::mt19937_64 random(77);
  const auto coordinate = [&] {
    const Float mantissa = static_cast<Float>(std::uniform_int_distribution<int>(-9, 9)(random));
    return std::ldexp(mantissa, std::uniform_int_distribution<int>(-1074, 1000)(random));
  };
  for (int n = 0; n < 4000 / kCountDivisor; ++n) {
    Input input{};
    for (int i = 0; i < count; ++i) input[i] = {coordinate(), coordinate(), IsPlanar(predicate) ? 0.0 : coordinate()};
    // Every other input puts the last point on the first point's ray from the origin: degenerate for
    // the orientations whenever the other points are the origin's multiples too.
    if (n % 2 == 1) {
      input[0] = {};
      input[count - 1] = input[1] * 4.0;
    }
    if (!std::isfinite(input[count - 1].x + input[count - 1].y + input[count - 1].z)) continue;
    ASSERT_EQ(Sign(Evaluate(context, predicate, input)), ExactSign(predicate, input)) << InputText(input, count);
  }
}

INSTANTIATE_TEST_SUITE_P(Predicates, SignAgreementMixed,
                         ::testing::Values(Predicate::ORIENT2D, Predicate::INCIRCLE, Predicate::ORIENT3D,
                                           Predicate::INSPHERE));

// A far point against three nearly collinear points about 2^-515 apart: their cross products
// underflow, and the far point's lift magnifies the lost bits beyond the filter's relative error
// bound; without a guard the filter accepts these rounded values with the wrong sign.
TEST(IncircleRange, UnderflowMagnifiedByAFarPoint) {
  const PredicateContext context = InitialisedContext();
  const Input inputs[] = {
      {Vector{0x1.77fb6fea1297ap+206, -0x1.3bb81304cf19bp+205, 0},
       {0x1.aca0930efbf6cp-516, 0x1.f16cd3dbbaf0ep-516, 0},
       {0x1.b0dc6eeed6e9ap-515, 0x1.91b091d24b5b4p-515, 0},
       {-0x1.ac194262480ep-516, -0x1.9909934d2be3cp-518, 0}},
      {Vector{0x1.5f2050b4a5953p+241, -0x1.808658bf0bf99p+236, 0},
       {0x1.879e9015e18p-521, -0x1.f1d64f15397p-521, 0},
       {-0x1.fc5245a51776p-522, 0x1.30a71c28ce2b2p-521, 0},
       {-0x1.0026c00bbad2ep-517, 0x1.3d9ca90e9e3ap-517, 0}},
      {Vector{0x1.a183a28ff0f35p+206, 0x1.f8c60a4b37386p+203, 0},
       {-0x1.6c0bb391d1608p-516, 0x1.b2550a177638ep-516, 0},
       {-0x1.b80b90c172708p-515, 0x1.87f4638367d74p-515, 0},
       {0x1.f446c59d8b1f2p-516, -0x1.2e58fe1de1adep-517, 0}},
  };
  for (const Input& input : inputs) {
    EXPECT_EQ(Sign(Evaluate(context, Predicate::INCIRCLE, input)), ExactSign(Predicate::INCIRCLE, input))
        << InputText(input, 4);
  }
}

// ---- Flags and static filter of insphere --------------------------------------------------------

// On nearly cospherical input the rounded determinant is often wrong. The inexact flag returns it
// as it is, and a zero static filter accepts it whenever it is non-zero; a large filter, or none,
// falls through to the exact stages.
TEST(InsphereFlags, InexactAndZeroFilterReturnTheRoundedDeterminant) {
  const PredicateContext inexact = InitialisedContext(1, 0);
  const PredicateContext zeroFilter = InitialisedContext(0, 0);
  const PredicateContext noFilter = InitialisedContext(0, 1);
  const PredicateContext largeFilter = InitialisedContext(0, 0, 1e4);
  InputGenerator generator(Predicate::INSPHERE, Family::NEAR_DEGENERATE, 0);
  int wrongRoundedSigns = 0;
  for (int n = 0; n < 20000 / kCountDivisor; ++n) {
    const Input p = generator.Next();
    const int expected = ExactSign(Predicate::INSPHERE, p);
    const Float rounded = Evaluate(inexact, Predicate::INSPHERE, p);
    if (rounded != 0.0) {
      ASSERT_EQ(Evaluate(zeroFilter, Predicate::INSPHERE, p), rounded) << InputText(p, 5);
    }
    wrongRoundedSigns += Sign(rounded) != expected;
    ASSERT_EQ(Sign(Evaluate(noFilter, Predicate::INSPHERE, p)), expected) << InputText(p, 5);
    ASSERT_EQ(Sign(Evaluate(largeFilter, Predicate::INSPHERE, p)), expected) << InputText(p, 5);
  }
  EXPECT_GT(wrongRoundedSigns, 0);
}

// The filter accepts the rounded determinant only when its magnitude exceeds the filter.
TEST(InsphereFlags, StaticFilterThreshold) {
  const PredicateContext inexact = InitialisedContext(1, 0);
  // A near-cospherical input whose rounded determinant is non-zero with the wrong sign.
  const auto roundedIsWrong = [&](const Input& input) {
    const int rounded = Sign(Evaluate(inexact, Predicate::INSPHERE, input));
    return rounded != 0 && rounded != ExactSign(Predicate::INSPHERE, input);
  };
  InputGenerator generator(Predicate::INSPHERE, Family::NEAR_DEGENERATE, 0);
  Input p = generator.Next();
  while (!roundedIsWrong(p)) p = generator.Next();
  const Float rounded = Evaluate(inexact, Predicate::INSPHERE, p);
  PredicateContext context = InitialisedContext();
  context.ispStaticFilter = 0.5 * std::fabs(rounded);
  EXPECT_EQ(Evaluate(context, Predicate::INSPHERE, p), rounded);
  context.ispStaticFilter = std::fabs(rounded);
  EXPECT_EQ(Sign(Evaluate(context, Predicate::INSPHERE, p)), ExactSign(Predicate::INSPHERE, p));
}

// ---- Non-finite and extreme coordinates --------------------------------------------------------

class NonFiniteInput : public ::testing::TestWithParam<Predicate> {};

// A non-finite coordinate anywhere gives NaN, from the filter or from the exact stages, and so do the
// largest finite values next to it; the tiny and huge finite ones give the exact sign.
TEST_P(NonFiniteInput, GiveNaNWhereverPlaced) {
  const Predicate predicate = GetParam();
  const PredicateContext contexts[] = {InitialisedContext(0, 0), InitialisedContext(0, 1)};
  const Float nan = std::numeric_limits<Float>::quiet_NaN();
  const Float specials[] = {nan,
                            kInfinity,
                            -kInfinity,
                            1e308,
                            -1e308,
                            std::numeric_limits<Float>::denorm_min(),
                            std::numeric_limits<Float>::min()};
  InputGenerator generator(predicate, Family::NEAR_DEGENERATE, 0);
  const Input base = generator.Next();
  const int count = PointCount(predicate);
  for (const PredicateContext& context : contexts) {
    for (int point = 0; point < count; ++point) {
      for (int axis = 0; axis < (IsPlanar(predicate) ? 2 : 3); ++axis) {
        for (Float special : specials) {
          Input input = base;
          (axis == 0 ? input[point].x : axis == 1 ? input[point].y : input[point].z) = special;
          const Float value = Evaluate(context, predicate, input);
          const Float exactStages = EvaluateExactStages(context, predicate, input);
          // A zero static filter accepts any rounded in-sphere value: only the other context is exact.
          const bool exactContext = predicate != Predicate::INSPHERE || context.useStaticFilter == 0;
          if (std::isfinite(special) && exactContext) {
            EXPECT_EQ(Sign(value), ExactSign(predicate, input)) << InputText(input, count);
            EXPECT_EQ(Sign(exactStages), ExactSign(predicate, input)) << InputText(input, count);
          } else if (!std::isfinite(special)) {
            EXPECT_TRUE(std::isnan(value)) << InputText(input, count);
            EXPECT_TRUE(std::isnan(exactStages)) << InputText(input, count);
          }
        }
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Predicates, NonFiniteInput,
                         ::testing::Values(Predicate::ORIENT2D, Predicate::INCIRCLE, Predicate::ORIENT3D,
                                           Predicate::INSPHERE));

}  // namespace
}  // namespace zemox
