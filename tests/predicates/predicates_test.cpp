#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <utility>
#include <vector>

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
  return predicate == Predicate::ORIENT2D ? 3 : predicate == Predicate::INSPHERE ? 5 : 4;
}

bool IsPlanar(Predicate predicate) { return predicate == Predicate::ORIENT2D || predicate == Predicate::INCIRCLE; }

// Up to five points; the planar predicates read x and y only.
using Input = std::array<Vector, 5>;

Vector2d Planar(const Vector& v) { return {v.x, v.y}; }

Input Swapped(Input input) {
  std::swap(input[0], input[1]);
  return input;
}

// With `exactStages` the slow path alone, with an infinite error scale: every filter stage fails and
// the exact stage decides.
Float Evaluate(const PredicateContext& c, Predicate predicate, const Input& p, bool exactStages = false) {
  using namespace predicates_internal;
  const Vector2d a = Planar(p[0]), b = Planar(p[1]), d = Planar(p[2]), e = Planar(p[3]);
  switch (predicate) {
    case Predicate::ORIENT2D:
      return exactStages ? orient2dadapt(c, a, b, d, kInfinity) : orient2d(c, a, b, d);
    case Predicate::INCIRCLE:
      return exactStages ? incircleadapt(c, a, b, d, e, kInfinity) : incircle(c, a, b, d, e);
    case Predicate::ORIENT3D:
      return exactStages ? orient3dadapt(c, p[0], p[1], p[2], p[3], kInfinity) : orient3d(c, p[0], p[1], p[2], p[3]);
    case Predicate::INSPHERE:
      return exactStages ? insphereadapt(c, p[0], p[1], p[2], p[3], p[4], kInfinity)
                         : insphere(c, p[0], p[1], p[2], p[3], p[4]);
  }
  return 0.0;
}

// ---- Independent exact reference --------------------------------------------------------------

// Every double is an integer times a power of two. Dividing all coordinates of one input by the
// smallest such power present turns them into exact integers; the determinants are homogeneous, so
// their signs do not change.
std::array<std::array<mpz_class, 3>, 5> IntegerCoordinates(const Input& input, int pointCount) {
  int lowest = std::numeric_limits<int>::max();
  for (int i = 0; i < pointCount; ++i) {
    for (Float v : {input[i].x, input[i].y, input[i].z}) {
      if (v != 0.0) lowest = std::min(lowest, std::ilogb(v) - 52);
    }
  }
  const auto toInteger = [lowest](Float v) -> mpz_class {
    if (v == 0.0) return 0;
    const int exponent = std::ilogb(v) - 52;
    const mpz_class mantissa(std::scalbn(v, -exponent));  // an integer of at most 53 bits
    return mantissa << static_cast<unsigned>(exponent - lowest);
  };
  std::array<std::array<mpz_class, 3>, 5> points;
  for (int i = 0; i < pointCount; ++i)
    points[i] = {toInteger(input[i].x), toInteger(input[i].y), toInteger(input[i].z)};
  return points;
}

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
  const auto p = IntegerCoordinates(input, count);
  const int last = count - 1;
  const auto diff = [&](int point, int axis) -> mpz_class { return p[point][axis] - p[last][axis]; };
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
    if (family_ == Family::NEAR_DEGENERATE) return NearDegenerate({0.0, 0.0, 0.0});
    if (family_ == Family::SHIFTED_NEAR_DEGENERATE) return NearDegenerate({1536.0, -1536.0, 1536.0});
    Input input{};
    for (Vector& v : input) v = RawPoint();
    return input;
  }

  Vector RawPoint() {
    const Float tiny = std::numeric_limits<Float>::denorm_min();
    switch (family_) {
      case Family::INTEGER_GRID:
        return {Float(Integer(-3, 3)), Float(Integer(-3, 3)), Float(Integer(-3, 3))};
      case Family::TENTHS_GRID:
        return {0.1 * Integer(-10, 10), 0.1 * Integer(-10, 10), 0.1 * Integer(-10, 10)};
      case Family::SUBNORMAL:
        return {Float(Integer(-4, 4)), tiny * Integer(-8, 8), Float(Integer(-4, 4))};
      default:
        return UniformPoint();
    }
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
  std::string name;
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
    ASSERT_EQ(Sign(Evaluate(context, param.predicate, input)), expected) << "input" << InputText(input, count);
    ASSERT_EQ(Sign(Evaluate(context, param.predicate, input, true)), expected)
        << "exact stages, input" << InputText(input, count);
    ASSERT_EQ(Sign(Evaluate(context, param.predicate, Swapped(input))), -expected)
        << "swapped" << InputText(input, count);
    if (param.predicate == Predicate::INSPHERE) {
      const Float exact = predicates_internal::insphereexact(context, input[0], input[1], input[2], input[3], input[4]);
      ASSERT_EQ(Sign(exact), expected) << "insphereexact, input" << InputText(input, count);
    }
  }
  // Grids are meant to hit exact degeneracies; the other families must not collapse to them.
  EXPECT_TRUE(param.family != Family::INTEGER_GRID || zeros > 0);
  EXPECT_TRUE(param.family != Family::UNIFORM || zeros == 0) << zeros;
}

// Scale exponents keep products of the predicate's degree clear of overflow (huge) and of
// underflow (tiny). Subnormal coordinates only for the orientations: the in-circle and in-sphere lifts
// underflow there.
std::vector<AgreementCase> AgreementCases() {
  struct Setting {
    std::string name;
    Predicate predicate;
    int huge, tiny, count;
  };
  const Setting settings[] = {{"Orient2d", Predicate::ORIENT2D, 490, -470, 400000},
                              {"Incircle", Predicate::INCIRCLE, 230, -200, 200000},
                              {"Orient3d", Predicate::ORIENT3D, 320, -290, 200000},
                              {"Insphere", Predicate::INSPHERE, 180, -150, 60000}};
  std::vector<AgreementCase> cases;
  for (const Setting& s : settings) {
    const auto add = [&](const char* kind, Family family, int scale, int count) {
      cases.push_back({s.name + kind, s.predicate, family, scale, count});
    };
    add("Uniform", Family::UNIFORM, 0, s.count);
    add("NearDegenerate", Family::NEAR_DEGENERATE, 0, s.count);
    add("Shifted", Family::SHIFTED_NEAR_DEGENERATE, 0, s.count);
    add("IntegerGrid", Family::INTEGER_GRID, 0, s.count);
    add("TenthsGrid", Family::TENTHS_GRID, 0, s.count);
    add("Huge", Family::NEAR_DEGENERATE, s.huge, s.count);
    add("Tiny", Family::NEAR_DEGENERATE, s.tiny, s.count);
    if (s.predicate == Predicate::ORIENT2D || s.predicate == Predicate::ORIENT3D)
      add("Subnormal", Family::SUBNORMAL, 0, s.count / 4);
    add("HugeUniform", Family::UNIFORM, s.huge, s.count / 4);
    add("TinyUniform", Family::UNIFORM, s.tiny, s.count / 4);
  }
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Predicates, SignAgreement, ::testing::ValuesIn(AgreementCases()),
                         [](const ::testing::TestParamInfo<AgreementCase>& info) { return info.param.name; });

// ---- The whole finite range ----------------------------------------------------------------------

struct ScaledCase {
  const char* name;
  Predicate predicate;
  Input input;  // exactly degenerate at every scale where its coordinates stay exact
};

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
      ASSERT_EQ(Sign(Evaluate(context, param.predicate, input)), expected) << "k " << k << InputText(input, count);
      ASSERT_EQ(Sign(Evaluate(context, param.predicate, Swapped(input))), -expected) << "k " << k;
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
        ScaledCase{"Cospherical", Predicate::INSPHERE, {{{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {-3, 0, 0}, {2, 2, 1}}}},
        ScaledCase{"CoplanarOnRoundedLine",
                   Predicate::ORIENT3D,
                   {{{0.1, 0.1, 0.1}, {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7}, {2, 5, 9}}}}),
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
// as it is; a static filter below its magnitude accepts it, one at its magnitude or none falls
// through to the exact stages.
TEST(InsphereFlags, StaticFilterAcceptsOnlyRoundedValuesAboveIt) {
  const PredicateContext inexact = InitialisedContext(1, 0);
  const PredicateContext noFilter = InitialisedContext(0, 1);
  InputGenerator generator(Predicate::INSPHERE, Family::NEAR_DEGENERATE, 0);
  int wrongRoundedSigns = 0;
  for (int n = 0; n < 20000 / kCountDivisor; ++n) {
    const Input p = generator.Next();
    const int expected = ExactSign(Predicate::INSPHERE, p);
    const Float rounded = Evaluate(inexact, Predicate::INSPHERE, p);
    wrongRoundedSigns += Sign(rounded) != expected;
    ASSERT_EQ(Sign(Evaluate(noFilter, Predicate::INSPHERE, p)), expected) << InputText(p, 5);
    PredicateContext filtered = InitialisedContext();
    filtered.ispStaticFilter = 0.5 * std::fabs(rounded);
    if (rounded != 0.0) {
      ASSERT_EQ(Evaluate(filtered, Predicate::INSPHERE, p), rounded) << InputText(p, 5);
    }
    filtered.ispStaticFilter = std::fabs(rounded);
    ASSERT_EQ(Sign(Evaluate(filtered, Predicate::INSPHERE, p)), expected) << InputText(p, 5);
  }
  EXPECT_GT(wrongRoundedSigns, 0);
}

// ---- Non-finite and extreme coordinates --------------------------------------------------------

class NonFiniteInput : public ::testing::TestWithParam<Predicate> {};

// A non-finite coordinate anywhere gives NaN, from the filter or from the exact stages, and so do the
// largest finite values next to it; the tiny and huge finite ones give the exact sign.
TEST_P(NonFiniteInput, GiveNaNWhereverPlaced) {
  const Predicate predicate = GetParam();
  const PredicateContext contexts[] = {InitialisedContext(0, 0), InitialisedContext(0, 1)};
  using Limits = std::numeric_limits<Float>;
  const Float specials[] = {Limits::quiet_NaN(),  kInfinity,    -kInfinity, 1e308, -1e308,
                            Limits::denorm_min(), Limits::min()};
  InputGenerator generator(predicate, Family::NEAR_DEGENERATE, 0);
  const Input base = generator.Next();
  const int count = PointCount(predicate);
  for (const PredicateContext& context : contexts) {
    for (int point = 0; point < count; ++point) {
      for (int axis = 0; axis < (IsPlanar(predicate) ? 2 : 3); ++axis) {
        for (Float special : specials) {
          Input input = base;
          (axis == 0 ? input[point].x : axis == 1 ? input[point].y : input[point].z) = special;
          // A zero static filter accepts any rounded in-sphere value: only the other context is exact.
          const bool exactContext = predicate != Predicate::INSPHERE || context.useStaticFilter == 0;
          for (const Float value : {Evaluate(context, predicate, input), Evaluate(context, predicate, input, true)}) {
            if (std::isfinite(special) && exactContext) {
              EXPECT_EQ(Sign(value), ExactSign(predicate, input)) << InputText(input, count);
            } else if (!std::isfinite(special)) {
              EXPECT_TRUE(std::isnan(value)) << InputText(input, count);
            }
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
