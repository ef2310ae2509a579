// Adaptive-precision predicates on floating-point expansions: a number is held exactly as an
// unevaluated sum of doubles whose components do not overlap, ordered by increasing magnitude.
// Every buffer has a compile-time size large enough for the worst case, so nothing is allocated.

#include "predicates.h"

#include "predicaterange.h"

#include <bit>
#include <cstdint>
#include <utility>

namespace zemox {
namespace {

// An expansion of at most N components, the most significant last. Left uninitialised on purpose:
// only the first `length` components are ever read.
template <int N>
struct Expansion {
  int length;
  Float component[N];

  Float MostSignificant() const { return component[length - 1]; }
};

// x + y == a + b exactly, with x the rounded sum; requires |a| >= |b| or a == 0.
inline void FastTwoSum(Float a, Float b, Float& x, Float& y) {
  x = a + b;
  y = b - (x - a);
}

// x + y == a + b exactly, with x the rounded sum, for any a and b.
inline void TwoSum(Float a, Float b, Float& x, Float& y) {
  x = a + b;
  const Float bvirt = x - a;
  const Float avirt = x - bvirt;
  y = (a - avirt) + (b - bvirt);
}

// The rounding error of x = fl(a - b).
inline Float TwoDiffTail(Float a, Float b, Float x) {
  const Float bvirt = a - x;
  const Float avirt = x + bvirt;
  return (a - avirt) + (bvirt - b);
}

inline void TwoDiff(Float a, Float b, Float& x, Float& y) {
  x = a - b;
  y = TwoDiffTail(a, b, x);
}

// (a1 + a0) + b as the three components x2 > x1 > x0.
inline void TwoOneSum(Float a1, Float a0, Float b, Float& x2, Float& x1, Float& x0) {
  Float i;
  TwoSum(a0, b, i, x0);
  TwoSum(a1, i, x2, x1);
}

inline void TwoOneDiff(Float a1, Float a0, Float b, Float& x2, Float& x1, Float& x0) {
  Float i;
  TwoDiff(a0, b, i, x0);
  TwoSum(a1, i, x2, x1);
}

Expansion<4> TwoTwoSum(Float a1, Float a0, Float b1, Float b0) {
  Expansion<4> x{4, {}};
  Float j, z;
  TwoOneSum(a1, a0, b0, j, z, x.component[0]);
  TwoOneSum(j, z, b1, x.component[3], x.component[2], x.component[1]);
  return x;
}

Expansion<4> TwoTwoDiff(Float a1, Float a0, Float b1, Float b0) {
  Expansion<4> x{4, {}};
  Float j, z;
  TwoOneDiff(a1, a0, b0, j, z, x.component[0]);
  TwoOneDiff(j, z, b1, x.component[3], x.component[2], x.component[1]);
  return x;
}

// condition ? a : b without a jump, for an unpredictable condition: compilers tend to turn a
// choice between two doubles into a branch.
inline Float Select(bool condition, Float a, Float b) {
  const std::uint64_t mask = -static_cast<std::uint64_t>(condition);
  return std::bit_cast<Float>((std::bit_cast<std::uint64_t>(a) & mask) | (std::bit_cast<std::uint64_t>(b) & ~mask));
}

// h = e + f with zero components removed; h has room for elen + flen components and aliases neither.
// The comparisons that drive the merge and the zero tests are unpredictable, so both are made
// without branches: the next component is selected, and a slot is always written but kept only
// when non-zero.
int FastExpansionSumZeroelim(int elen, const Float* e, int flen, const Float* f, Float* h) {
  int eindex = 0, findex = 0, hindex = 0;
  // The component of smaller magnitude comes first (ties from e); both inputs must have one left.
  const auto next = [&] {
    const Float enow = e[eindex], fnow = f[findex];
    const bool fromE = (fnow > enow) == (fnow > -enow);
    eindex += fromE;
    findex += !fromE;
    return Select(fromE, enow, fnow);
  };
  Float q = next();
  Float qnew, hh;
  const auto keep = [&] {
    q = qnew;
    h[hindex] = hh;
    hindex += hh != 0.0;
  };
  if (eindex < elen && findex < flen) {
    FastTwoSum(next(), q, qnew, hh);
    keep();
    while (eindex < elen && findex < flen) {
      TwoSum(q, next(), qnew, hh);
      keep();
    }
  }
  for (; eindex < elen; ++eindex) {
    TwoSum(q, e[eindex], qnew, hh);
    keep();
  }
  for (; findex < flen; ++findex) {
    TwoSum(q, f[findex], qnew, hh);
    keep();
  }
  if (q != 0.0 || hindex == 0) h[hindex++] = q;
  return hindex;
}

template <int N, int M>
Expansion<N + M> Sum(const Expansion<N>& e, const Expansion<M>& f) {
  Expansion<N + M> h;
  h.length = FastExpansionSumZeroelim(e.length, e.component, f.length, f.component, h.component);
  return h;
}

template <int N>
Expansion<N> Negated(Expansion<N> e) {
  for (int i = 0; i < e.length; ++i) e.component[i] = -e.component[i];
  return e;
}

// The same value in as few components as possible: adjacent components are merged from the top
// down, then from the bottom up. Products and sums cost in proportion to the number of components,
// and uncompressed products of expansions carry many more than their value needs.
template <int N>
Expansion<N> Compressed(const Expansion<N>& e) {
  Expansion<N> h;
  int bottom = e.length - 1;
  Float q = e.component[bottom];
  for (int i = e.length - 2; i >= 0; --i) {
    Float qnew, small;
    FastTwoSum(q, e.component[i], qnew, small);
    if (small != 0.0) {
      h.component[bottom--] = qnew;
      q = small;
    } else {
      q = qnew;
    }
  }
  int top = 0;
  for (int i = bottom + 1; i < e.length; ++i) {
    Float qnew, small;
    FastTwoSum(h.component[i], q, qnew, small);
    if (small != 0.0) h.component[top++] = small;
    q = qnew;
  }
  h.component[top] = q;
  h.length = top + 1;
  return h;
}

// A one-double approximation of the expansion's value.
template <int N>
Float Estimate(const Expansion<N>& e) {
  Float q = e.component[0];
  for (int i = 1; i < e.length; ++i) q += e.component[i];
  return q;
}

// Exact products need the context's splitter (Dekker's splitting into two half-width parts).
class ExactArithmetic {
 public:
  explicit ExactArithmetic(const PredicateContext& context) : splitter_(context.splitter) {}

  // a * b - c * d exactly.
  Expansion<4> ProductDiff(Float a, Float b, Float c, Float d) const {
    Float s1, s0, t1, t0;
    TwoProduct(a, b, s1, s0);
    TwoProduct(c, d, t1, t0);
    return TwoTwoDiff(s1, s0, t1, t0);
  }

  // a * b + c * d exactly.
  Expansion<4> ProductSum(Float a, Float b, Float c, Float d) const {
    Float s1, s0, t1, t0;
    TwoProduct(a, b, s1, s0);
    TwoProduct(c, d, t1, t0);
    return TwoTwoSum(s1, s0, t1, t0);
  }

  // a * a + b * b exactly.
  Expansion<4> SquareSum(Float a, Float b) const {
    Float s1, s0, t1, t0;
    Square(a, s1, s0);
    Square(b, t1, t0);
    return TwoTwoSum(s1, s0, t1, t0);
  }

  // x * py - y * px exactly, skipping the products whose first factor is zero (x and y are the
  // rounding errors of coordinate differences, usually zero).
  Expansion<4> TailCross(Float x, Float y, Float px, Float py) const {
    if (x == 0.0 && y == 0.0) return {1, {0.0}};
    Expansion<4> h{2, {}};
    if (x == 0.0) {
      TwoProduct(-y, px, h.component[1], h.component[0]);
      return h;
    }
    if (y == 0.0) {
      TwoProduct(x, py, h.component[1], h.component[0]);
      return h;
    }
    return ProductDiff(x, py, y, px);
  }

  // a * b * c exactly.
  Expansion<4> TripleProduct(Float a, Float b, Float c) const {
    Float a1, a0;
    TwoProduct(a, b, a1, a0);
    Float chi, clo;
    Split(c, chi, clo);
    Expansion<4> x{4, {}};
    Float i, j, z, k;
    TwoProductPresplit(a0, c, chi, clo, i, x.component[0]);
    TwoProductPresplit(a1, c, chi, clo, j, z);
    TwoSum(i, z, k, x.component[1]);
    FastTwoSum(j, k, x.component[3], x.component[2]);
    return x;
  }

  // e * b exactly, zero components removed.
  template <int N>
  Expansion<2 * N> Scale(const Expansion<N>& e, Float b) const {
    Expansion<2 * N> h;
    h.length = ScaleInto(e.length, e.component, b, h.component);
    return h;
  }

  // e * f exactly: e scaled by each component of f, the partial products summed. Both should be
  // compressed, f preferably the shorter: the cost grows with the product of the two lengths.
  template <int N, int M>
  Expansion<2 * N * M> Product(const Expansion<N>& e, const Expansion<M>& f) const {
    Expansion<2 * N * M> h;
    Float partial[2 * N];
    Float other[2 * N * M];
    // The buffers alternate with every partial sum; the starting one is chosen so that the last
    // sum lands in h.
    Float* sum = h.component;
    Float* next = other;
    if (f.length % 2 == 0) std::swap(sum, next);
    int length = ScaleInto(e.length, e.component, f.component[0], sum);
    for (int j = 1; j < f.length; ++j) {
      const int partialLength = ScaleInto(e.length, e.component, f.component[j], partial);
      length = FastExpansionSumZeroelim(length, sum, partialLength, partial, next);
      std::swap(sum, next);
    }
    h.length = length;
    return h;
  }

  // x^2 + y^2 exactly, compressed.
  Expansion<4> Lift(Float x, Float y) const { return Compressed(SquareSum(x, y)); }

  // x^2 + y^2 + z^2 exactly, compressed.
  Expansion<6> Lift(Float x, Float y, Float z) const {
    Expansion<2> zz{2, {}};
    Square(z, zz.component[1], zz.component[0]);
    return Compressed(Sum(SquareSum(x, y), zz));
  }

  // e * (x^2 + y^2) exactly.
  template <int N>
  Expansion<8 * N> ScaleByLift(const Expansion<N>& e, Float x, Float y) const {
    return Product(Compressed(e), Lift(x, y));
  }

  // e * (x^2 + y^2 + z^2) exactly.
  template <int N>
  Expansion<12 * N> ScaleByLift(const Expansion<N>& e, Float x, Float y, Float z) const {
    return Product(Compressed(e), Lift(x, y, z));
  }

  // e1 * z1 + e2 * z2 + e3 * z3 for three four-component expansions.
  Expansion<24> ScaledSum(const Expansion<4>& e1, Float z1, const Expansion<4>& e2, Float z2, const Expansion<4>& e3,
                          Float z3) const {
    return Sum(Scale(e3, z3), Sum(Scale(e1, z1), Scale(e2, z2)));
  }

 private:
  void Split(Float a, Float& hi, Float& lo) const {
    const Float c = splitter_ * a;
    const Float abig = c - a;
    hi = c - abig;
    lo = a - hi;
  }

  void TwoProductPresplit(Float a, Float b, Float bhi, Float blo, Float& x, Float& y) const {
    x = a * b;
    Float ahi, alo;
    Split(a, ahi, alo);
    const Float err1 = x - ahi * bhi;
    const Float err2 = err1 - alo * bhi;
    const Float err3 = err2 - ahi * blo;
    y = alo * blo - err3;
  }

  void TwoProduct(Float a, Float b, Float& x, Float& y) const {
    Float bhi, blo;
    Split(b, bhi, blo);
    TwoProductPresplit(a, b, bhi, blo, x, y);
  }

  void Square(Float a, Float& x, Float& y) const {
    x = a * a;
    Float ahi, alo;
    Split(a, ahi, alo);
    const Float err1 = x - ahi * ahi;
    const Float err3 = err1 - (ahi + ahi) * alo;
    y = alo * alo - err3;
  }

  // h = e * b with zero components removed; h has room for 2 * elen components. The zero tests are
  // unpredictable, so a slot is always written but kept only when non-zero.
  int ScaleInto(int elen, const Float* e, Float b, Float* h) const {
    Float bhi, blo;
    Split(b, bhi, blo);
    Float q, hh;
    TwoProductPresplit(e[0], b, bhi, blo, q, hh);
    int hindex = 0;
    const auto keep = [&](Float component) {
      h[hindex] = component;
      hindex += component != 0.0;
    };
    keep(hh);
    for (int i = 1; i < elen; ++i) {
      Float product1, product0, sum;
      TwoProductPresplit(e[i], b, bhi, blo, product1, product0);
      TwoSum(q, product0, sum, hh);
      keep(hh);
      FastTwoSum(product1, sum, q, hh);
      keep(hh);
    }
    if (q != 0.0 || hindex == 0) h[hindex++] = q;
    return hindex;
  }

  Float splitter_;
};

// A running exact sum: two buffers of kCapacity components take turns as source and destination.
template <int kCapacity>
class ExpansionAccumulator {
 public:
  template <int N>
  explicit ExpansionAccumulator(const Expansion<N>& start) {
    static_assert(N <= kCapacity);
    length_ = start.length;
    for (int i = 0; i < length_; ++i) now_[i] = start.component[i];
  }
  ExpansionAccumulator(const ExpansionAccumulator&) = delete;
  ExpansionAccumulator& operator=(const ExpansionAccumulator&) = delete;

  template <int N>
  void Add(const Expansion<N>& e) {
    length_ = FastExpansionSumZeroelim(length_, now_, e.length, e.component, other_);
    std::swap(now_, other_);
  }

  Float MostSignificant() const { return now_[length_ - 1]; }

 private:
  Float first_[kCapacity];
  Float second_[kCapacity];
  Float* now_ = first_;
  Float* other_ = second_;
  int length_ = 0;
};

bool BeyondBound(Float det, Float errbound) { return det >= errbound || -det >= errbound; }

}  // namespace

void exactinit(PredicateContext& context, int noExact, int noFilter, Float maxX, Float maxY, Float maxZ) {
  // Halve epsilon until 1 + epsilon rounds to 1 (or stops changing); the splitter doubles every
  // other step, which makes it 2^ceil(p/2) + 1 for a p-bit significand.
  Float epsilon = 1.0, splitter = 1.0, check = 1.0, lastCheck;
  bool everyOther = true;
  do {
    lastCheck = check;
    epsilon *= 0.5;
    if (everyOther) splitter *= 2.0;
    everyOther = !everyOther;
    check = 1.0 + epsilon;
  } while (check != 1.0 && check != lastCheck);
  context.splitter = splitter + 1.0;
  context.epsilon = epsilon;

  context.resulterrbound = (3.0 + 8.0 * epsilon) * epsilon;
  context.ccwerrboundA = (3.0 + 16.0 * epsilon) * epsilon;
  context.ccwerrboundB = (2.0 + 12.0 * epsilon) * epsilon;
  context.ccwerrboundC = (9.0 + 64.0 * epsilon) * epsilon * epsilon;
  context.o3derrboundA = (7.0 + 56.0 * epsilon) * epsilon;
  context.o3derrboundB = (3.0 + 28.0 * epsilon) * epsilon;
  context.o3derrboundC = (26.0 + 288.0 * epsilon) * epsilon * epsilon;
  context.iccerrboundA = (10.0 + 96.0 * epsilon) * epsilon;
  context.iccerrboundB = (4.0 + 48.0 * epsilon) * epsilon;
  context.iccerrboundC = (44.0 + 576.0 * epsilon) * epsilon * epsilon;
  context.isperrboundA = (16.0 + 224.0 * epsilon) * epsilon;
  context.isperrboundB = (5.0 + 72.0 * epsilon) * epsilon;
  context.isperrboundC = (71.0 + 1408.0 * epsilon) * epsilon * epsilon;

  context.useInexactArithmetic = noExact;
  context.useStaticFilter = noFilter == 0 ? 1 : 0;

  // Compare-and-swap network: terminates on NaN, unlike a comparison sort that assumes an order.
  Float lo = maxX, mid = maxY, hi = maxZ;
  if (mid < lo) std::swap(lo, mid);
  if (hi < mid) std::swap(mid, hi);
  if (mid < lo) std::swap(lo, mid);
  context.o3dStaticFilter = ((5.11071278299733e-15 * lo) * mid) * hi;
  context.ispStaticFilter = (((1.2466136531027298e-13 * lo) * mid) * hi) * (hi * hi);
}

namespace predicates_internal {

Float orient2dadapt(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c,
                    Float detSum) {
  const CoordinateRange range(a, b, c);
  if (!range.Fits(2)) return orient2dOutOfRange(context, range, a, b, c);
  const ExactArithmetic arith(context);
  const Float acx = a.x - c.x, bcx = b.x - c.x;
  const Float acy = a.y - c.y, bcy = b.y - c.y;
  const Expansion<4> head = arith.ProductDiff(acx, bcy, acy, bcx);
  Float det = Estimate(head);
  if (BeyondBound(det, context.ccwerrboundB * detSum)) return det;

  const Float acxtail = TwoDiffTail(a.x, c.x, acx), bcxtail = TwoDiffTail(b.x, c.x, bcx);
  const Float acytail = TwoDiffTail(a.y, c.y, acy), bcytail = TwoDiffTail(b.y, c.y, bcy);
  if (acxtail == 0.0 && acytail == 0.0 && bcxtail == 0.0 && bcytail == 0.0) return det;

  const Float errbound = context.ccwerrboundC * detSum + context.resulterrbound * std::fabs(det);
  det += (acx * bcytail + bcy * acxtail) - (acy * bcxtail + bcx * acytail);
  if (BeyondBound(det, errbound)) return det;

  const Expansion<8> c1 = Sum(head, arith.ProductDiff(acxtail, bcy, acytail, bcx));
  const Expansion<12> c2 = Sum(c1, arith.ProductDiff(acx, bcytail, acy, bcxtail));
  return Sum(c2, arith.ProductDiff(acxtail, bcytail, acytail, bcxtail)).MostSignificant();
}

Float orient3dadapt(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    Float permanent) {
  const CoordinateRange range(a, b, c, d);
  if (!range.Fits(3)) return orient3dOutOfRange(context, range, a, b, c, d);
  const ExactArithmetic arith(context);
  const Float adx = a.x - d.x, bdx = b.x - d.x, cdx = c.x - d.x;
  const Float ady = a.y - d.y, bdy = b.y - d.y, cdy = c.y - d.y;
  const Float adz = a.z - d.z, bdz = b.z - d.z, cdz = c.z - d.z;
  const Expansion<4> bc = arith.ProductDiff(bdx, cdy, cdx, bdy);
  const Expansion<4> ca = arith.ProductDiff(cdx, ady, adx, cdy);
  const Expansion<4> ab = arith.ProductDiff(adx, bdy, bdx, ady);
  const Expansion<24> head = Sum(Sum(arith.Scale(bc, adz), arith.Scale(ca, bdz)), arith.Scale(ab, cdz));
  Float det = Estimate(head);
  if (BeyondBound(det, context.o3derrboundB * permanent)) return det;

  const Float adxtail = TwoDiffTail(a.x, d.x, adx), bdxtail = TwoDiffTail(b.x, d.x, bdx);
  const Float cdxtail = TwoDiffTail(c.x, d.x, cdx), adytail = TwoDiffTail(a.y, d.y, ady);
  const Float bdytail = TwoDiffTail(b.y, d.y, bdy), cdytail = TwoDiffTail(c.y, d.y, cdy);
  const Float adztail = TwoDiffTail(a.z, d.z, adz), bdztail = TwoDiffTail(b.z, d.z, bdz);
  const Float cdztail = TwoDiffTail(c.z, d.z, cdz);
  if (adxtail == 0.0 && bdxtail == 0.0 && cdxtail == 0.0 && adytail == 0.0 && bdytail == 0.0 && cdytail == 0.0 &&
      adztail == 0.0 && bdztail == 0.0 && cdztail == 0.0) {
    return det;
  }

  const Float errbound = context.o3derrboundC * permanent + context.resulterrbound * std::fabs(det);
  det +=
      (adz * ((bdx * cdytail + cdy * bdxtail) - (bdy * cdxtail + cdx * bdytail)) + adztail * (bdx * cdy - bdy * cdx)) +
      (bdz * ((cdx * adytail + ady * cdxtail) - (cdy * adxtail + adx * cdytail)) + bdztail * (cdx * ady - cdy * adx)) +
      (cdz * ((adx * bdytail + bdy * adxtail) - (ady * bdxtail + bdx * adytail)) + cdztail * (adx * bdy - ady * bdx));
  if (BeyondBound(det, errbound)) return det;

  // The remaining terms of the exact determinant, each formed only when its tails are non-zero.
  ExpansionAccumulator<192> fin(head);
  const Expansion<8> bct =
      Sum(arith.TailCross(bdxtail, bdytail, cdx, cdy), arith.TailCross(-cdxtail, -cdytail, bdx, bdy));
  const Expansion<8> cat =
      Sum(arith.TailCross(cdxtail, cdytail, adx, ady), arith.TailCross(-adxtail, -adytail, cdx, cdy));
  const Expansion<8> abt =
      Sum(arith.TailCross(adxtail, adytail, bdx, bdy), arith.TailCross(-bdxtail, -bdytail, adx, ady));
  fin.Add(arith.Scale(bct, adz));
  fin.Add(arith.Scale(cat, bdz));
  fin.Add(arith.Scale(abt, cdz));
  const auto addScaled = [&](const auto& e, Float ztail) {
    if (ztail != 0.0) fin.Add(arith.Scale(e, ztail));
  };
  addScaled(bc, adztail);
  addScaled(ca, bdztail);
  addScaled(ab, cdztail);
  // xtail * ytail * (z + ztail): the products of two tails with a full z difference.
  const auto addTailProduct = [&](Float xtail, Float ytail, Float z, Float ztail) {
    if (xtail == 0.0 || ytail == 0.0) return;
    fin.Add(arith.TripleProduct(xtail, ytail, z));
    if (ztail != 0.0) fin.Add(arith.TripleProduct(xtail, ytail, ztail));
  };
  addTailProduct(adxtail, bdytail, cdz, cdztail);
  addTailProduct(-adxtail, cdytail, bdz, bdztail);
  addTailProduct(bdxtail, cdytail, adz, adztail);
  addTailProduct(-bdxtail, adytail, cdz, cdztail);
  addTailProduct(cdxtail, adytail, bdz, bdztail);
  addTailProduct(-cdxtail, bdytail, adz, adztail);
  addScaled(bct, adztail);
  addScaled(cat, bdztail);
  addScaled(abt, cdztail);
  return fin.MostSignificant();
}

}  // namespace predicates_internal

namespace {

// One corner of the in-circle determinant: its difference to the tested point, rounded, and the
// rounding error of that difference.
struct CircleCorner {
  Float dx = 0.0;
  Float dy = 0.0;
  Float dxtail = 0.0;
  Float dytail = 0.0;

  bool HasTails() const { return dxtail != 0.0 || dytail != 0.0; }
};

// The in-circle terms that involve the tails, added to the exact head. Corner i pairs with the
// cross product cross[i] of the two corners that follow it cyclically.
Float IncircleTails(const ExactArithmetic& arith, const Expansion<96>& head, const CircleCorner (&corner)[3],
                    const Expansion<4> (&cross)[3]) {
  ExpansionAccumulator<1152> fin(head);
  Expansion<4> lift[3];
  for (int i = 0; i < 3; ++i) lift[i] = arith.SquareSum(corner[i].dx, corner[i].dy);

  // cross * tail * 2 delta + liftPlus * tail * factorPlus - liftMinus * tail * factorMinus.
  const auto addLinear = [&](const Expansion<8>& tailCross, Float tail, Float delta, const Expansion<4>& liftPlus,
                             Float factorPlus, const Expansion<4>& liftMinus, Float factorMinus) {
    const Expansion<16> own = arith.Scale(tailCross, 2.0 * delta);
    const Expansion<16> plus = arith.Scale(arith.Scale(liftPlus, tail), factorPlus);
    const Expansion<16> minus = arith.Scale(arith.Scale(liftMinus, tail), -factorMinus);
    fin.Add(Sum(minus, Sum(own, plus)));
  };
  Expansion<8> xtailCross[3], ytailCross[3];
  for (int i = 0; i < 3; ++i) {
    const CircleCorner& p = corner[i];
    const CircleCorner& q = corner[(i + 1) % 3];
    const CircleCorner& r = corner[(i + 2) % 3];
    if (p.dxtail != 0.0) {
      xtailCross[i] = arith.Scale(cross[i], p.dxtail);
      addLinear(xtailCross[i], p.dxtail, p.dx, lift[(i + 2) % 3], q.dy, lift[(i + 1) % 3], r.dy);
    }
    if (p.dytail != 0.0) {
      ytailCross[i] = arith.Scale(cross[i], p.dytail);
      addLinear(ytailCross[i], p.dytail, p.dy, lift[(i + 1) % 3], r.dx, lift[(i + 2) % 3], q.dx);
    }
  }

  // The terms of second and third order in the tails: delta = the full difference, split as
  // rounded part plus tail; crossTail and crossTailTail are the first- and second-order tail parts
  // of the cross product of the other two corners.
  const auto addSquared = [&](const Expansion<8>& tailCross, Float tail, Float delta, const Expansion<8>& crossTail,
                              const Expansion<4>& crossTailTail) {
    const Expansion<16> tailCrossTail = arith.Scale(crossTail, tail);
    fin.Add(Sum(arith.Scale(tailCross, tail), arith.Scale(tailCrossTail, 2.0 * delta)));
    const Expansion<8> tailCrossTailTail = arith.Scale(crossTailTail, tail);
    fin.Add(Sum(arith.Scale(tailCrossTail, tail),
                Sum(arith.Scale(tailCrossTailTail, 2.0 * delta), arith.Scale(tailCrossTailTail, tail))));
  };
  for (int i = 0; i < 3; ++i) {
    const CircleCorner& p = corner[i];
    if (!p.HasTails()) continue;
    const CircleCorner& q = corner[(i + 1) % 3];
    const CircleCorner& r = corner[(i + 2) % 3];
    const bool othersHaveTails = q.HasTails() || r.HasTails();
    const Expansion<8> crossTail = othersHaveTails ? Sum(arith.ProductSum(q.dxtail, r.dy, q.dx, r.dytail),
                                                         arith.ProductSum(r.dxtail, -q.dy, r.dx, -q.dytail))
                                                   : Expansion<8>{1, {0.0}};
    const Expansion<4> crossTailTail =
        othersHaveTails ? arith.ProductDiff(q.dxtail, r.dytail, r.dxtail, q.dytail) : Expansion<4>{1, {0.0}};
    if (p.dxtail != 0.0) {
      addSquared(xtailCross[i], p.dxtail, p.dx, crossTail, crossTailTail);
      if (q.dytail != 0.0) fin.Add(arith.Scale(arith.Scale(lift[(i + 2) % 3], p.dxtail), q.dytail));
      if (r.dytail != 0.0) fin.Add(arith.Scale(arith.Scale(lift[(i + 1) % 3], -p.dxtail), r.dytail));
    }
    if (p.dytail != 0.0) addSquared(ytailCross[i], p.dytail, p.dy, crossTail, crossTailTail);
  }
  return fin.MostSignificant();
}

}  // namespace

namespace predicates_internal {

Float incircleadapt(const PredicateContext& context, const Vector2d& a, const Vector2d& b, const Vector2d& c,
                    const Vector2d& d, Float permanent) {
  const CoordinateRange range(a, b, c, d);
  if (!range.Fits(4)) return incircleOutOfRange(context, range, a, b, c, d);
  const ExactArithmetic arith(context);
  CircleCorner corner[3] = {{a.x - d.x, a.y - d.y}, {b.x - d.x, b.y - d.y}, {c.x - d.x, c.y - d.y}};
  const Float adx = corner[0].dx, bdx = corner[1].dx, cdx = corner[2].dx;
  const Float ady = corner[0].dy, bdy = corner[1].dy, cdy = corner[2].dy;
  const Expansion<4> cross[3] = {arith.ProductDiff(bdx, cdy, cdx, bdy), arith.ProductDiff(cdx, ady, adx, cdy),
                                 arith.ProductDiff(adx, bdy, bdx, ady)};
  const Expansion<96> head = Sum(Sum(arith.ScaleByLift(cross[0], adx, ady), arith.ScaleByLift(cross[1], bdx, bdy)),
                                 arith.ScaleByLift(cross[2], cdx, cdy));
  Float det = Estimate(head);
  if (BeyondBound(det, context.iccerrboundB * permanent)) return det;

  const Vector2d* const point[3] = {&a, &b, &c};
  for (int i = 0; i < 3; ++i) {
    corner[i].dxtail = TwoDiffTail(point[i]->x, d.x, corner[i].dx);
    corner[i].dytail = TwoDiffTail(point[i]->y, d.y, corner[i].dy);
  }
  if (!corner[0].HasTails() && !corner[1].HasTails() && !corner[2].HasTails()) return det;
  const Float adxtail = corner[0].dxtail, bdxtail = corner[1].dxtail, cdxtail = corner[2].dxtail;
  const Float adytail = corner[0].dytail, bdytail = corner[1].dytail, cdytail = corner[2].dytail;

  const Float errbound = context.iccerrboundC * permanent + context.resulterrbound * std::fabs(det);
  det += ((adx * adx + ady * ady) * ((bdx * cdytail + cdy * bdxtail) - (bdy * cdxtail + cdx * bdytail)) +
          2.0 * (adx * adxtail + ady * adytail) * (bdx * cdy - bdy * cdx)) +
         ((bdx * bdx + bdy * bdy) * ((cdx * adytail + ady * cdxtail) - (cdy * adxtail + adx * cdytail)) +
          2.0 * (bdx * bdxtail + bdy * bdytail) * (cdx * ady - cdy * adx)) +
         ((cdx * cdx + cdy * cdy) * ((adx * bdytail + bdy * adxtail) - (ady * bdxtail + bdx * adytail)) +
          2.0 * (cdx * cdxtail + cdy * cdytail) * (adx * bdy - ady * bdx));
  if (BeyondBound(det, errbound)) return det;
  return IncircleTails(arith, head, corner, cross);
}

Float insphereadapt(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    const Vector& e, Float permanent) {
  const CoordinateRange range(a, b, c, d, e);
  if (!range.Fits(5)) return insphereOutOfRange(context, range, a, b, c, d, e);
  const ExactArithmetic arith(context);
  const Float aex = a.x - e.x, bex = b.x - e.x, cex = c.x - e.x, dex = d.x - e.x;
  const Float aey = a.y - e.y, bey = b.y - e.y, cey = c.y - e.y, dey = d.y - e.y;
  const Float aez = a.z - e.z, bez = b.z - e.z, cez = c.z - e.z, dez = d.z - e.z;
  const Expansion<4> ab = Compressed(arith.ProductDiff(aex, bey, bex, aey));
  const Expansion<4> bc = Compressed(arith.ProductDiff(bex, cey, cex, bey));
  const Expansion<4> cd = Compressed(arith.ProductDiff(cex, dey, dex, cey));
  const Expansion<4> da = Compressed(arith.ProductDiff(dex, aey, aex, dey));
  const Expansion<4> ac = Compressed(arith.ProductDiff(aex, cey, cex, aey));
  const Expansion<4> bd = Compressed(arith.ProductDiff(bex, dey, dex, bey));
  // Each corner's lift times the signed orientation of the other three.
  const Expansion<288> adet = arith.ScaleByLift(arith.ScaledSum(cd, -bez, bd, cez, bc, -dez), aex, aey, aez);
  const Expansion<288> bdet = arith.ScaleByLift(arith.ScaledSum(da, cez, ac, dez, cd, aez), bex, bey, bez);
  const Expansion<288> cdet = arith.ScaleByLift(arith.ScaledSum(ab, -dez, bd, -aez, da, -bez), cex, cey, cez);
  const Expansion<288> ddet = arith.ScaleByLift(arith.ScaledSum(bc, aez, ac, -bez, ab, cez), dex, dey, dez);
  Float det = Estimate(Sum(Sum(adet, bdet), Sum(cdet, ddet)));
  if (BeyondBound(det, context.isperrboundB * permanent)) return det;

  const Float aextail = TwoDiffTail(a.x, e.x, aex), aeytail = TwoDiffTail(a.y, e.y, aey);
  const Float aeztail = TwoDiffTail(a.z, e.z, aez), bextail = TwoDiffTail(b.x, e.x, bex);
  const Float beytail = TwoDiffTail(b.y, e.y, bey), beztail = TwoDiffTail(b.z, e.z, bez);
  const Float cextail = TwoDiffTail(c.x, e.x, cex), ceytail = TwoDiffTail(c.y, e.y, cey);
  const Float ceztail = TwoDiffTail(c.z, e.z, cez), dextail = TwoDiffTail(d.x, e.x, dex);
  const Float deytail = TwoDiffTail(d.y, e.y, dey), deztail = TwoDiffTail(d.z, e.z, dez);
  if (aextail == 0.0 && aeytail == 0.0 && aeztail == 0.0 && bextail == 0.0 && beytail == 0.0 && beztail == 0.0 &&
      cextail == 0.0 && ceytail == 0.0 && ceztail == 0.0 && dextail == 0.0 && deytail == 0.0 && deztail == 0.0) {
    return det;
  }

  const Float errbound = context.isperrboundC * permanent + context.resulterrbound * std::fabs(det);
  const Float ab3 = ab.MostSignificant(), bc3 = bc.MostSignificant(), cd3 = cd.MostSignificant();
  const Float da3 = da.MostSignificant(), ac3 = ac.MostSignificant(), bd3 = bd.MostSignificant();
  const Float abeps = (aex * beytail + bey * aextail) - (aey * bextail + bex * aeytail);
  const Float bceps = (bex * ceytail + cey * bextail) - (bey * cextail + cex * beytail);
  const Float cdeps = (cex * deytail + dey * cextail) - (cey * dextail + dex * ceytail);
  const Float daeps = (dex * aeytail + aey * dextail) - (dey * aextail + aex * deytail);
  const Float aceps = (aex * ceytail + cey * aextail) - (aey * cextail + cex * aeytail);
  const Float bdeps = (bex * deytail + dey * bextail) - (bey * dextail + dex * beytail);
  det += (((bex * bex + bey * bey + bez * bez) *
               ((cez * daeps + dez * aceps + aez * cdeps) + (ceztail * da3 + deztail * ac3 + aeztail * cd3)) +
           (dex * dex + dey * dey + dez * dez) *
               ((aez * bceps - bez * aceps + cez * abeps) + (aeztail * bc3 - beztail * ac3 + ceztail * ab3))) -
          ((aex * aex + aey * aey + aez * aez) *
               ((bez * cdeps - cez * bdeps + dez * bceps) + (beztail * cd3 - ceztail * bd3 + deztail * bc3)) +
           (cex * cex + cey * cey + cez * cez) *
               ((dez * abeps + aez * bdeps + bez * daeps) + (deztail * ab3 + aeztail * bd3 + beztail * da3)))) +
         2.0 * (((bex * bextail + bey * beytail + bez * beztail) * (cez * da3 + dez * ac3 + aez * cd3) +
                 (dex * dextail + dey * deytail + dez * deztail) * (aez * bc3 - bez * ac3 + cez * ab3)) -
                ((aex * aextail + aey * aeytail + aez * aeztail) * (bez * cd3 - cez * bd3 + dez * bc3) +
                 (cex * cextail + cey * ceytail + cez * ceztail) * (dez * ab3 + aez * bd3 + bez * da3)));
  if (BeyondBound(det, errbound)) return det;
  return insphereexact(context, a, b, c, d, e);
}

Float insphereexact(const PredicateContext& context, const Vector& a, const Vector& b, const Vector& c, const Vector& d,
                    const Vector& e) {
  const ExactArithmetic arith(context);
  // The ten 2x2 minors of the x and y columns, then the ten 3x3 minors with the z column.
  const Expansion<4> ab = arith.ProductDiff(a.x, b.y, b.x, a.y);
  const Expansion<4> bc = arith.ProductDiff(b.x, c.y, c.x, b.y);
  const Expansion<4> cd = arith.ProductDiff(c.x, d.y, d.x, c.y);
  const Expansion<4> de = arith.ProductDiff(d.x, e.y, e.x, d.y);
  const Expansion<4> ea = arith.ProductDiff(e.x, a.y, a.x, e.y);
  const Expansion<4> ac = arith.ProductDiff(a.x, c.y, c.x, a.y);
  const Expansion<4> bd = arith.ProductDiff(b.x, d.y, d.x, b.y);
  const Expansion<4> ce = arith.ProductDiff(c.x, e.y, e.x, c.y);
  const Expansion<4> da = arith.ProductDiff(d.x, a.y, a.x, d.y);
  const Expansion<4> eb = arith.ProductDiff(e.x, b.y, b.x, e.y);
  const Expansion<24> abc = arith.ScaledSum(bc, a.z, ac, -b.z, ab, c.z);
  const Expansion<24> bcd = arith.ScaledSum(cd, b.z, bd, -c.z, bc, d.z);
  const Expansion<24> cde = arith.ScaledSum(de, c.z, ce, -d.z, cd, e.z);
  const Expansion<24> dea = arith.ScaledSum(ea, d.z, da, -e.z, de, a.z);
  const Expansion<24> eab = arith.ScaledSum(ab, e.z, eb, -a.z, ea, b.z);
  const Expansion<24> abd = arith.ScaledSum(bd, a.z, da, b.z, ab, d.z);
  const Expansion<24> bce = arith.ScaledSum(ce, b.z, eb, c.z, bc, e.z);
  const Expansion<24> cda = arith.ScaledSum(da, c.z, ac, d.z, cd, a.z);
  const Expansion<24> deb = arith.ScaledSum(eb, d.z, bd, e.z, de, b.z);
  const Expansion<24> eac = arith.ScaledSum(ac, e.z, ce, a.z, ea, c.z);
  // The 4x4 minors (x, y, z, 1) of four of the points, each as two 3x3 minors minus two others.
  const auto minor4 = [](const Expansion<24>& plus1, const Expansion<24>& plus2, const Expansion<24>& minus1,
                         const Expansion<24>& minus2) { return Sum(Sum(plus1, plus2), Negated(Sum(minus1, minus2))); };
  ExpansionAccumulator<5760> deter(arith.ScaleByLift(minor4(cde, bce, deb, bcd), a.x, a.y, a.z));
  deter.Add(arith.ScaleByLift(minor4(dea, cda, eac, cde), b.x, b.y, b.z));
  deter.Add(arith.ScaleByLift(minor4(eab, deb, abd, dea), c.x, c.y, c.z));
  deter.Add(arith.ScaleByLift(minor4(abc, eac, bce, eab), d.x, d.y, d.z));
  deter.Add(arith.ScaleByLift(minor4(bcd, abd, cda, abc), e.x, e.y, e.z));
  return deter.MostSignificant();
}

}  // namespace predicates_internal

}  // namespace zemox
