#include <gmpxx.h>
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cfloat>
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "common/testscale.h"
#include "predicates.h"

namespace zemox {
namespace {

constexpr int kCountDivisor = static_cast<int>(SanitizerScaled(1, 20));

constexpr Float kInfinity = std::numeric_limits<Float>::infinity();

PredicateContext InitialisedContext(int noExact = 0, int noFilter = 0) {
  PredicateContext context;
  exactinit(context, noExact, noFilter, 0.0, 0.0, 0.0);
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

// The coordinates the predicate reads, numbered point by point.
int SlotCount(Predicate predicate) { return PointCount(predicate) * (IsPlanar(predicate) ? 2 : 3); }

Float& Slot(Predicate predicate, Input& input, int slot) {
  Vector& point = input[static_cast<size_t>(slot / (IsPlanar(predicate) ? 2 : 3))];
  const int axis = slot % (IsPlanar(predicate) ? 2 : 3);
  return axis == 0 ? point.x : axis == 1 ? point.y : point.z;
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

using Matrix = std::vector<std::vector<mpz_class>>;

// Cofactor expansion along the first row.
mpz_class Determinant(const Matrix& m) {
  if (m.size() == 1) return m[0][0];
  mpz_class sum = 0;
  for (size_t column = 0; column < m.size(); ++column) {
    Matrix minor(m.begin() + 1, m.end());
    for (auto& row : minor) row.erase(row.begin() + static_cast<std::ptrdiff_t>(column));
    sum += (column % 2 == 0 ? 1 : -1) * m[0][column] * Determinant(minor);
  }
  return sum;
}

// Sign of the defining determinant, with the last point as origin: a row per other point holds its
// differences, and for incircle and insphere their squared length. Every double is an integer times a
// power of two: dividing all coordinates by the smallest such power present makes them exact
// integers, and the determinants are homogeneous, so their signs do not change.
int ExactSign(Predicate predicate, Input input) {
  const int last = PointCount(predicate) - 1;
  const int axes = IsPlanar(predicate) ? 2 : 3;
  int lowest = std::numeric_limits<int>::max();
  for (int slot = 0; slot < SlotCount(predicate); ++slot) {
    const Float v = Slot(predicate, input, slot);
    if (v != 0.0) lowest = std::min(lowest, std::ilogb(v) - 52);
  }
  const auto integer = [&](int point, int axis) -> mpz_class {
    const Float v = Slot(predicate, input, point * axes + axis);
    if (v == 0.0) return 0;
    const int exponent = std::ilogb(v) - 52;  // the mantissa below is an integer of at most 53 bits
    return mpz_class(std::scalbn(v, -exponent)) << static_cast<unsigned>(exponent - lowest);
  };
  Matrix rows(static_cast<size_t>(last));
  for (int i = 0; i < last; ++i) {
    mpz_class lift = 0;
    for (int axis = 0; axis < axes; ++axis) {
      rows[i].push_back(integer(i, axis) - integer(last, axis));
      lift += rows[i].back() * rows[i].back();
    }
    if (predicate == Predicate::INCIRCLE || predicate == Predicate::INSPHERE) rows[i].push_back(lift);
  }
  return sgn(Determinant(rows));
}

// ---- Input families -----------------------------------------------------------------------------

enum class Family {
  UNIFORM,          // independent uniform points in [-1, 1]
  NEAR_DEGENERATE,  // points on a line / circle / plane / sphere, rounded, the last moved by a few ulps
  INTEGER_GRID,     // small integers: exactly degenerate configurations are frequent
  // The families below reach the ends of the finite range.
  MIXED_SCALES,        // small integers times powers of two from 2^-1074 to 2^1000 in one input
  EXTREME_COORDINATE,  // near-degenerate, one coordinate the largest or smallest double of either kind
  SCALED,              // each given configuration times 2^k across the finite range, and one ulp off
  GIVEN,               // the given configurations as they are
};

struct AgreementCase {
  std::string name;
  Predicate predicate;
  Family family;
  int scaleExponent;
  int count;                          // random inputs, before the sanitizer build's reduction
  std::vector<Input> configurations;  // for SCALED and GIVEN
};

class InputGenerator {
 public:
  explicit InputGenerator(const AgreementCase& param)
      : param_(param), random_(0x5eedULL + static_cast<int>(param.family)) {}

  // The next input of the family; false after the last.
  bool Next(Input& input) {
    const int n = index_++;
    if (param_.family == Family::GIVEN) return Given(n, input);
    if (param_.family == Family::SCALED) return Scaled(n, input);
    if (n >= param_.count / kCountDivisor) return false;
    input = param_.family == Family::MIXED_SCALES ? MixedScales(n) : Raw();
    for (int i = 0; i < PointCount(param_.predicate); ++i) {
      if (IsPlanar(param_.predicate)) input[i].z = 0.0;
      if (param_.family == Family::MIXED_SCALES) continue;
      for (Float* v : {&input[i].x, &input[i].y, &input[i].z}) *v = std::scalbn(Quantised(*v), param_.scaleExponent);
    }
    const int slots = SlotCount(param_.predicate);
    const Float extremes[] = {1e308, -1e308, std::numeric_limits<Float>::denorm_min(), DBL_MIN};
    if (param_.family == Family::EXTREME_COORDINATE) Slot(param_.predicate, input, n % slots) = extremes[n / slots % 4];
    return true;
  }

 private:
  bool Given(int n, Input& input) const {
    const bool more = n < static_cast<int>(param_.configurations.size());
    if (more) input = param_.configurations[static_cast<size_t>(n)];
    return more;
  }

  // Where underflow rounds the coordinates, the reference sees the rounded ones.
  bool Scaled(int n, Input& input) const {
    const int k = -1074 + 3 * kCountDivisor * (n / 2);
    if (k > 1000) return false;
    input = param_.configurations[0];
    for (Vector& v : input) v = {std::ldexp(v.x, k), std::ldexp(v.y, k), std::ldexp(v.z, k)};
    Float& nudged = input[static_cast<size_t>(PointCount(param_.predicate) - 1)].x;
    if (n % 2 == 1) nudged = std::nextafter(nudged, kInfinity);
    return true;
  }

  Float Uniform(Float lo, Float hi) { return std::uniform_real_distribution<Float>(lo, hi)(random_); }
  int Integer(int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(random_); }
  Vector UniformPoint() { return {Uniform(-1, 1), Uniform(-1, 1), Uniform(-1, 1)}; }

  // Keeps every coordinate a multiple of 2^-60, so that scaled inputs stay clear of underflow.
  static Float Quantised(Float v) { return std::ldexp(std::nearbyint(std::ldexp(v, 60)), -60); }

  // Every other input puts the last point on the first point's ray from the origin: degenerate for the
  // orientations whenever the other points are the origin's multiples too. Overflowing ones are drawn again.
  Input MixedScales(int n) {
    const auto coordinate = [this] { return std::ldexp(Float(Integer(-9, 9)), Integer(-1074, 1000)); };
    const int last = PointCount(param_.predicate) - 1;
    for (;;) {
      Input input{};
      for (int i = 0; i <= last; ++i) input[i] = {coordinate(), coordinate(), coordinate()};
      if (n % 2 == 1) {
        input[0] = {};
        input[last] = input[1] * 4.0;
      }
      if (std::isfinite(input[last].x + input[last].y + input[last].z)) return input;
    }
  }

  Input Raw() {
    if (param_.family == Family::NEAR_DEGENERATE || param_.family == Family::EXTREME_COORDINATE)
      return NearDegenerate();
    Input input{};
    for (Vector& v : input)
      v = param_.family == Family::INTEGER_GRID
              ? Vector{Float(Integer(-3, 3)), Float(Integer(-3, 3)), Float(Integer(-3, 3))}
              : UniformPoint();
    return input;
  }

  // The orientations put the last point in the span of the others, the in-circle and in-sphere tests
  // all points on one circle or sphere.
  Input NearDegenerate() {
    Input input{};
    const int last = PointCount(param_.predicate) - 1;
    if (param_.predicate == Predicate::ORIENT2D || param_.predicate == Predicate::ORIENT3D) {
      for (int i = 0; i < last; ++i) input[i] = UniformPoint();
      input[last] = input[0];
      for (int i = 1; i < last; ++i) input[last] = input[last] + (input[i] - input[0]) * Uniform(-1.5, 2.5);
    } else {
      const Vector center = UniformPoint() * 0.5;
      const Float radius = Uniform(0.1, 1.0);
      for (int i = 0; i <= last; ++i) input[i] = center + Direction() * radius;
    }
    for (Float* v : {&input[last].x, &input[last].y, &input[last].z}) *v *= 1.0 + Integer(-3, 3) * DBL_EPSILON;
    return input;
  }

  // A random unit direction, in the plane for the planar predicates.
  Vector Direction() {
    std::normal_distribution<Float> normal;
    const Vector v{normal(random_), normal(random_), IsPlanar(param_.predicate) ? 0.0 : normal(random_)};
    return v * (1.0 / Length(v));
  }

  const AgreementCase& param_;
  std::mt19937_64 random_;
  int index_ = 0;
};

// ---- Sign agreement on generated inputs -------------------------------------------------------

std::string InputText(const Input& input, int count) {
  std::ostringstream text;
  text << std::hexfloat;
  for (int i = 0; i < count; ++i) text << " (" << input[i].x << ", " << input[i].y << ", " << input[i].z << ")";
  return text.str();
}

class SignAgreement : public ::testing::TestWithParam<AgreementCase> {};

// The predicate and its exact stages on their own agree with the exact reference; with one coordinate
// made non-finite (uniform inputs), both give NaN, with the static filter on or off. In-sphere tests
// also: a static filter below the rounded determinant's magnitude accepts it as it is, one at its
// magnitude falls through to the exact stages.
TEST_P(SignAgreement, MatchesExactReference) {
  const AgreementCase& param = GetParam();
  // Without the static filter: with zero magnitudes it would accept every rounded insphere value.
  const PredicateContext context = InitialisedContext(0, 1);
  const PredicateContext inexact = InitialisedContext(1, 0);
  const int count = PointCount(param.predicate);
  const Float nonFinite[] = {std::numeric_limits<Float>::quiet_NaN(), kInfinity, -kInfinity};
  InputGenerator generator(param);
  Input input;
  int zeros = 0;
  for (int n = 0; generator.Next(input); ++n) {
    const int expected = ExactSign(param.predicate, input);
    zeros += expected == 0;
    const std::string text = InputText(input, count);
    ASSERT_EQ(Sign(Evaluate(context, param.predicate, input)), expected) << "input" << text;
    ASSERT_EQ(Sign(Evaluate(context, param.predicate, input, true)), expected) << "exact stages, input" << text;
    if (param.family == Family::UNIFORM) {
      const int slots = SlotCount(param.predicate);
      Input broken = input;
      Slot(param.predicate, broken, n % slots) = nonFinite[n / slots % 3];
      for (const PredicateContext& c : {context, InitialisedContext()})
        ASSERT_TRUE(std::isnan(Evaluate(c, param.predicate, broken)) &&
                    std::isnan(Evaluate(c, param.predicate, broken, true)))
            << "non-finite" << InputText(broken, count);
    }
    // The static filter bounds rounding errors, not the underflow beyond the random families.
    if (param.predicate != Predicate::INSPHERE || param.family >= Family::MIXED_SCALES) continue;
    const Float rounded = Evaluate(inexact, Predicate::INSPHERE, input);
    PredicateContext filtered = InitialisedContext();
    filtered.ispStaticFilter = 0.5 * std::fabs(rounded);
    ASSERT_TRUE(rounded == 0.0 || Evaluate(filtered, Predicate::INSPHERE, input) == rounded) << text;
    filtered.ispStaticFilter = std::fabs(rounded);
    ASSERT_EQ(Sign(Evaluate(filtered, Predicate::INSPHERE, input)), expected) << "static filter, input" << text;
  }
  // Grids and scaled configurations are meant to hit exact degeneracies.
  EXPECT_TRUE((param.family != Family::INTEGER_GRID && param.family != Family::SCALED) || zeros > 0);
}

// Scale exponents keep products of the predicate's degree clear of overflow (huge) and of
// underflow (tiny).
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
      cases.push_back({s.name + kind, s.predicate, family, scale, count, {}});
    };
    add("Uniform", Family::UNIFORM, 0, s.count);
    add("NearDegenerate", Family::NEAR_DEGENERATE, 0, s.count);
    add("IntegerGrid", Family::INTEGER_GRID, 0, s.count);
    add("Huge", Family::NEAR_DEGENERATE, s.huge, s.count);
    add("Tiny", Family::NEAR_DEGENERATE, s.tiny, s.count);
    add("MixedScales", Family::MIXED_SCALES, 0, 4000);
    add("ExtremeCoordinate", Family::EXTREME_COORDINATE, 0, 4000);
  }
  const auto given = [&](const char* name, Predicate predicate, Family family, const std::vector<Input>& inputs) {
    cases.push_back({name, predicate, family, 0, 0, inputs});
  };
  // Exactly degenerate at every scale where their coordinates stay exact.
  given("CollinearScaled", Predicate::ORIENT2D, Family::SCALED, {{{{1, 1, 0}, {3, 5, 0}, {-2, -5, 0}}}});
  given("CollinearAwayFromOriginScaled", Predicate::ORIENT2D, Family::SCALED,
        {{{{1025, 7, 0}, {1027, 8, 0}, {1031, 10, 0}}}});
  given("CocircularScaled", Predicate::INCIRCLE, Family::SCALED, {{{{5, 0, 0}, {0, 5, 0}, {-4, 3, 0}, {3, -4, 0}}}});
  given("CocircularOffsetScaled", Predicate::INCIRCLE, Family::SCALED,
        {{{{1027.5, -2048.25, 0}, {1024.5, -2045.25, 0}, {1021.5, -2048.25, 0}, {1024.5, -2051.25, 0}}}});
  given("CoplanarScaled", Predicate::ORIENT3D, Family::SCALED, {{{{6, 0, 0}, {0, 3, 0}, {0, 0, 2}, {1, 1, 1}}}});
  given("CosphericalScaled", Predicate::INSPHERE, Family::SCALED,
        {{{{3, 0, 0}, {0, 3, 0}, {0, 0, 3}, {-3, 0, 0}, {2, 2, 1}}}});
  given("CoplanarOnRoundedLineScaled", Predicate::ORIENT3D, Family::SCALED,
        {{{{0.1, 0.1, 0.1}, {0.3, 0.3, 0.3}, {0.7, 0.7, 0.7}, {2, 5, 9}}}});
  // A far point against three nearly collinear points about 2^-515 apart: their cross products
  // underflow, and the far point's lift magnifies the lost bits beyond the filter's relative error
  // bound; without a guard the filter accepts these rounded values with the wrong sign.
  given("IncircleUnderflowMagnifiedByAFarPoint", Predicate::INCIRCLE, Family::GIVEN,
        {{{{0x1.77fb6fea1297ap+206, -0x1.3bb81304cf19bp+205, 0},
           {0x1.aca0930efbf6cp-516, 0x1.f16cd3dbbaf0ep-516, 0},
           {0x1.b0dc6eeed6e9ap-515, 0x1.91b091d24b5b4p-515, 0},
           {-0x1.ac194262480ep-516, -0x1.9909934d2be3cp-518, 0}}},
         {{{0x1.5f2050b4a5953p+241, -0x1.808658bf0bf99p+236, 0},
           {0x1.879e9015e18p-521, -0x1.f1d64f15397p-521, 0},
           {-0x1.fc5245a51776p-522, 0x1.30a71c28ce2b2p-521, 0},
           {-0x1.0026c00bbad2ep-517, 0x1.3d9ca90e9e3ap-517, 0}}},
         {{{0x1.a183a28ff0f35p+206, 0x1.f8c60a4b37386p+203, 0},
           {-0x1.6c0bb391d1608p-516, 0x1.b2550a177638ep-516, 0},
           {-0x1.b80b90c172708p-515, 0x1.87f4638367d74p-515, 0},
           {0x1.f446c59d8b1f2p-516, -0x1.2e58fe1de1adep-517, 0}}}});
  return cases;
}

INSTANTIATE_TEST_SUITE_P(Predicates, SignAgreement, ::testing::ValuesIn(AgreementCases()),
                         [](const ::testing::TestParamInfo<AgreementCase>& info) { return info.param.name; });

}  // namespace
}  // namespace zemox
