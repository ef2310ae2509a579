#include <gtest/gtest.h>

#include <algorithm>
#include <boost/geometry.hpp>
#include <cmath>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "common/exactorientation2d.h"
#include "common/loops2d.h"
#include "common/nestingdata.h"
#include "common/testscale.h"
#include "geom/degeneratedinputerror.h"
#include "geometryutils_impl.h"

namespace zemox {
namespace {

using Loop = std::vector<Vector2d>;
using G = GeometryUtilsImpl;
using Loops = BaseArray<BaseArray<Vector2d>>;

// Clockwise axis-aligned rectangle.
Loop Rectangle(Float x0, Float y0, Float x1, Float y1) { return {{x0, y0}, {x0, y1}, {x1, y1}, {x1, y0}}; }

// Area enclosed by the outer loop minus its holes (clockwise outer, counter-clockwise holes).
Float UnionArea(const Loops& loops) {
  Float area = 0.0;
  for (const BaseArray<Vector2d>& loop : loops) area -= SignedArea(loop);
  return area;
}

namespace bg = boost::geometry;
using BoostPoint = bg::model::d2::point_xy<Float>;
using BoostPolygon = bg::model::polygon<BoostPoint, true, false>;  // clockwise, open

BoostPolygon ToBoost(const Loop& loop) {
  BoostPolygon polygon;
  for (const Vector2d& p : loop) bg::append(polygon.outer(), BoostPoint(p.x, p.y));
  return polygon;
}

// Area that A and B have in common, from an independent intersection.
Float OracleCommonArea(const Loop& a, const Loop& b) {
  std::vector<BoostPolygon> common;
  bg::intersection(ToBoost(a), ToBoost(b), common);
  Float commonArea = 0.0;
  for (const BoostPolygon& piece : common) commonArea += bg::area(piece);
  return commonArea;
}

Float OracleUnionArea(const Loop& a, const Loop& b) {
  return -SignedArea(View(a)) - SignedArea(View(b)) - OracleCommonArea(a, b);
}

// The outline has no spike (an edge turning straight back), no repeated point and no two edges that
// cross (exact orientation; touching is allowed).
void ExpectNoSpike(Block<const Vector2d> loop) {
  const Int n = loop.GetCount();
  for (Int i = 0; i < n; ++i) {
    const Vector2d in = loop[i] - loop[(i + n - 1) % n], out = loop[(i + 1) % n] - loop[i];
    ASSERT_GT(Dot(out, out), 0.0) << "repeated point " << i;
    const Float cosine = Dot(in, out) / std::sqrt(Dot(in, in) * Dot(out, out));
    EXPECT_GT(cosine, -1.0 + 1e-8) << "spike at " << loop[i].x << ", " << loop[i].y;
  }
  for (Int i = 0; i < n; ++i) {
    for (Int j = i + 2; j < n; ++j) {
      const Vector2d &p = loop[i], &q = loop[(i + 1) % n], &r = loop[j], &s = loop[(j + 1) % n];
      EXPECT_FALSE(ExactOrientation(p, q, r) * ExactOrientation(p, q, s) < 0 &&
                   ExactOrientation(r, s, p) * ExactOrientation(r, s, q) < 0)
          << "edges " << i << " and " << j << " cross";
    }
  }
}

// The union of A and B: area against the oracle, every hole a counter-clockwise loop, the outer loop
// around every vertex of both inputs; the outer loop alone, the holes alone and the whole outline
// traced from the crossings are parts of the same outline. Loops that do not overlap have no union
// outline.
void ExpectUnion(const Loop& a, const Loop& b, Float tolerance) {
  Result<Loops> loops = G::CalculateUnionOfPolygons(View(a), View(b), true, true);
  ASSERT_TRUE(loops) << loops.GetError().Message();
  if (loops.Value().IsEmpty()) {
    EXPECT_NEAR(OracleCommonArea(a, b), 0.0, tolerance) << "overlapping loops without an outline";
    return;
  }
  EXPECT_NEAR(UnionArea(loops.Value()), OracleUnionArea(a, b), tolerance);
  for (const BaseArray<Vector2d>& loop : loops.Value()) ExpectNoSpike(loop);
  const BaseArray<Vector2d>& outer = loops.Value()[0];
  EXPECT_LT(SignedArea(outer), 0.0);
  for (Int h = 1; h < loops.Value().GetCount(); ++h) EXPECT_GT(SignedArea(loops.Value()[h]), 0.0) << h;
  for (const Loop* input : {&a, &b}) {
    for (const Vector2d& p : *input) {
      Int edgeHit = 0;
      const Int winding = G::GetPointInPolygonWindingNumber2D(p, outer, edgeHit);
      EXPECT_TRUE(winding != 0 || edgeHit != 0) << p.x << ", " << p.y;
    }
  }
  const auto part = [&](Bool includeHoles, Bool createOuterLoop) {
    Result<Loops> loops = G::CalculateUnionOfPolygons(View(a), View(b), includeHoles, createOuterLoop);
    EXPECT_TRUE(loops) << includeHoles << createOuterLoop;
    return loops ? std::move(loops.Value()) : Loops{};
  };
  const Float outerArea = -SignedArea(outer);
  EXPECT_NEAR(UnionArea(part(false, true)), outerArea, tolerance);
  EXPECT_NEAR(UnionArea(part(true, false)), UnionArea(loops.Value()) - outerArea, tolerance);
  const Loops whole = part(false, false);
  if (!whole.IsEmpty()) {
    EXPECT_NEAR(UnionArea(whole), UnionArea(loops.Value()), tolerance);
  }
}

// ---- The cases of the union, as a table ----

struct UnionCase {
  const char* name;
  Loop a, b;
  Bool includeHoles, createOuterLoop;
  std::vector<Float> loopAreas;  // signed, per output loop; empty loops have area 0
};

// A clockwise C whose opening (x from 1 to 3, y from 1 to 2) faces right.
const Loop cShape = {{0, 0}, {0, 3}, {3, 3}, {3, 2}, {1, 2}, {1, 1}, {3, 1}, {3, 0}};

class UnionCaseTest : public testing::TestWithParam<UnionCase> {};

TEST_P(UnionCaseTest, GivesTheExpectedLoops) {
  const UnionCase& c = GetParam();
  Result<Loops> loops = G::CalculateUnionOfPolygons(View(c.a), View(c.b), c.includeHoles, c.createOuterLoop);
  ASSERT_TRUE(loops) << loops.GetError().Message();
  ASSERT_EQ(loops.Value().GetCount(), static_cast<Int>(c.loopAreas.size()));
  for (size_t k = 0; k < c.loopAreas.size(); ++k) {
    EXPECT_NEAR(SignedArea(loops.Value()[k]), c.loopAreas[k], 1e-9) << k;
    ExpectNoSpike(loops.Value()[k]);
  }
  // A union with the area of an input is such an input, point for point.
  if (c.loopAreas.size() != 1) return;
  const auto hasArea = [&](const Loop& input) { return SignedArea(View(input)) == c.loopAreas[0]; };
  const auto is = [&](const Loop& input) {
    return hasArea(input) && std::equal(input.begin(), input.end(), loops.Value()[0].begin(), loops.Value()[0].end());
  };
  EXPECT_TRUE(!(hasArea(c.a) || hasArea(c.b)) || is(c.a) || is(c.b));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, UnionCaseTest,
    testing::Values(
        UnionCase{"TouchAtAVertexWithoutOuterLoop", Rectangle(0, 0, 1, 1), Rectangle(1, 1, 2, 2), false, false, {}},
        UnionCase{"TouchAtAVertexOutsideEachOther", Rectangle(0, 0, 1, 1), Rectangle(1, 1, 2, 2), true, true, {}},
        UnionCase{"BInsideA", Rectangle(0, 0, 4, 4), Rectangle(1, 1, 2, 2), true, true, {-16}},
        UnionCase{"AInsideB", Rectangle(1, 1, 2, 2), Rectangle(0, 0, 4, 4), false, true, {-16}},
        UnionCase{"CClosedByARectangleWithItsHole", cShape, Rectangle(3, 0, 4, 3), true, true, {-12, 2}},
        UnionCase{"CClosedByARectangleOuterOnly", cShape, Rectangle(3, 0, 4, 3), false, true, {-12}},
        UnionCase{"HoleOnlyBehindAClosingEdge", cShape, Rectangle(3, 0, 4, 3), true, false, {2}},
        UnionCase{"SharedEdge", Rectangle(0, 0, 1, 1), Rectangle(1, 0, 2, 1), true, true, {-2}},
        UnionCase{"SharedEdgeTracedFromCrossings", Rectangle(0, 0, 1, 1), Rectangle(1, 0, 2, 1), false, false, {-2}},
        // B touches A's corner (2, 2) from outside and crosses A lower down: the outline passes the corner
        // twice, around B and around the hole between them.
        UnionCase{"TouchAtAVertexBesideAHole",
                  {{0, 0}, {0, 2}, {2, 2}, {2, 1.2}, {2, 0}},
                  {{2, 2}, {3, 3}, {3, -1}, {1, -1}, {1, 0.5}, {2.5, 0.5}},
                  true,
                  true,
                  {-8.5, 0.375}},
        // The shared stretch falls from left to right: its ends are not corners of the segments' boxes.
        UnionCase{
            "FallingSharedEdge", {{0, 0}, {0, 2}, {2, 0}}, {{2.5, -0.5}, {0.5, 1.5}, {2.5, 1.5}}, true, true, {-4}},
        UnionCase{"PartlySharedEdge", Rectangle(0, 0, 1, 1), Rectangle(1, 0.5, 2, 1.5), true, true, {-2}},
        // B's left edge lies 5e-5 right of A's right edge: moved onto it, the two touch along it.
        UnionCase{"NearTouchSnapsOntoTheEdge", Rectangle(0, 0, 1, 3), Rectangle(1.00005, 1, 2, 2), true, true, {-4}},
        UnionCase{"ALoopOfTwoPointsGivesB", Loop{{0, 0}, {1, 1}}, Rectangle(0, 0, 1, 1), true, true, {-1}},
        UnionCase{"BLoopOfTwoPointsGivesA", Rectangle(0, 0, 2, 1), Loop{{0, 0}}, false, false, {-2}},
        UnionCase{"BothBelowThreePoints", Loop{}, Loop{{0, 0}}, true, true, {0}}),
    [](const testing::TestParamInfo<UnionCase>& info) { return std::string(info.param.name); });

TEST(UnionTest, ErrorsNameTheirCause) {
  struct ErrorCase {
    Loop a, b;
    Id errorClass;
    std::string message;
  };
  // Five crossings within 2.3e-4: A zigzags across B's top edge (far from B's corners, and too far
  // from it to be snapped onto it).
  Loop zigzag = {{0, 2}};
  for (int k = 0; k <= 5; ++k) zigzag.push_back({5e-5 * k, 1.0 + (k % 2 == 0 ? 2e-4 : -2e-4)});
  zigzag.insert(zigzag.end(), {{3e-4, 0}, {-0.5, 0}, {-0.5, 2}});
  const std::vector<ErrorCase> cases = {
      {Rectangle(2000, 0, 2200, 1), Rectangle(2100, 0.5, 2150, 2), IllegalArgumentError,
       "Position outside of uniquely representable range"},
      {Loop{{0, 0}, {0, 2}, {1, 1}, {2, 2}, {2, 0}, {1, 1}}, Rectangle(1, 0, 3, 3), IllegalArgumentError,
       "Loop contains duplicate sequential vertices or self-contact points, which need cleanup"},
      {Rectangle(0, 0, 2, 2), Loop{{1, 0.5}, {1, 3}, {3, 3}, {3, 0.5}, {3, 0.5}}, IllegalArgumentError,
       "Loop contains duplicate sequential vertices or self-contact points, which need cleanup"},
      {Reversed(zigzag), Rectangle(-1, -1, 1, 1), DegeneratedInputError, ""},
  };
  for (const ErrorCase& c : cases) {
    Result<Loops> loops = G::CalculateUnionOfPolygons(View(c.a), View(c.b), true, true);
    ASSERT_FALSE(loops);
    EXPECT_TRUE(loops.GetError().Is(c.errorClass)) << c.message;
    EXPECT_EQ(loops.GetError().Message(), c.message);
  }
}

// ---- Against an independent intersection ----

// Shrunk pairs that share vertices, touch, or cross close together. Each lost a hole, traced an
// outline the wrong way round or crossed itself before.
TEST(UnionOracleTest, LoopsMeetingAtGridPointsKeepEveryHole) {
  const std::vector<std::pair<Loop, Loop>> pairs = {
      // A's vertex (1, 1) lies exactly on B's edge from (2, 0) to (0, 2): it must stay there, since the
      // rounded foot of its projection would make the outline cross itself.
      {{{1, 0}, {0, 1}, {1, 3}, {3, 1}, {1, 1}, {3, 0}}, {{2, 0}, {0, 2}, {4, 2}, {4, 0}}},
      // B crosses A's two long edges from (0, 2) and from (12.5, 9.75) several times close together,
      // and leaves two holes between them.
      {{{0, 0}, {4.5, 4}, {0, 2}, {12.5, 9.75}, {3, 1}, {5, 3}}, {{5.5, 1}, {3, 0}, {0, 0}, {4, 2}, {2, 4}}},
      // A's vertex (22, 29) touches B's edge from below: the outer loop and a hole meet there.
      {{{22, 29}, {27, 19}, {32, 1}, {13, 4}, {6, 8}, {3, 16}, {9, 35}, {13, 40}, {17, 30}, {17, 19}},
       {{25, 28}, {7, 34}, {-1, 37}, {1, 28}, {-8, 28}, {-11, 46}, {7, 50}, {-9, 45}}},
      // The hole (4, 6), (4, 5), (6, 4) has nothing but points on both loops.
      {{{4, 4}, {3, 2}, {6, 4}, {4, 0}, {2, 3}, {0, 7}, {0, 8}, {2, 8}, {7, 7}, {8, 5}, {6, 5}, {4, 6}},
       {{7, 8}, {8, 8}, {7, 4}, {5, 3}, {4, 3}, {2, 4}, {4, 5}, {6, 4}, {4, 6}, {7, 9}}},
      // The hole through the shared (3, 5) and (4, 7) leaves (3, 5) towards (4, 7), which the outer
      // loop passed.
      {{{3, 5}, {4, 7}, {6, 8}, {8, 7}, {7, 6}, {7, 2}, {6, 1}, {1, 3}, {0, 4}},
       {{-4, 5}, {-3, 7}, {3, 11}, {4, 10}, {4, 7}, {2, 8}, {-1, 7}, {3, 5}, {1, 3}, {-4, 4}}},
      // The hole leaves the crossing (28, 21) towards (32, 27), a vertex of the outer loop.
      {{{26, 18}, {32, 27}, {33, 11}, {31, 11}, {16, 14}, {5, 16}, {3, 21}, {3, 27}, {2, 35}, {18, 24}, {29, 23}},
       {{32, 27}, {29, 27}, {27, 15}, {22, 17}, {8, 34}, {2, 31}, {4, 37}, {21, 47}, {-2, 40}, {36, 52}}},
      // The hole (2, 4), (3, 2), (3, 4): a lone vertex between two points that other loops pass.
      {FromCoordinates(
           {0, 2, 0, 3, 1, 6, 2, 8, 2, 6, 5, 8, 6, 8, 6, 4, 8, 1, 7, 0, 4, 2, 6, 3, 5, 6, 3, 4, 2, 4, 3, 2}),
       {{6, 4}, {8, 8}, {11, 9}, {11, 5}, {3, 2}, {3, 4}}},
      // At the shared (4, 7) the hole turns onto A's edge to (7, 6), which the outer loop passed.
      {{{5, 8}, {4, 7}, {7, 6}, {2, 0}, {1, 6}}, {{10, 4}, {7, 6}, {5, 9}, {4, 7}, {2, 5}, {5, 10}, {7, 12}}},
      // The shared (4, 4) lies inside the union: no outline starts there.
      {{{5, 4}, {7, 5}, {7, 2}, {3, 2}, {1, 3}, {0, 4}, {3, 8}, {7, 7}, {4, 4}},
       {{6, 8}, {7, 8}, {8, 3}, {11, 2}, {4, 4}, {3, 7}, {4, 5}}},
  };
  for (size_t k = 0; k < pairs.size(); ++k) {
    SCOPED_TRACE(k);
    ExpectUnion(pairs[k].first, pairs[k].second, 1e-9);
  }
}

TEST(UnionOracleTest, RandomPairsMatchTheAreaOfAnIndependentIntersection) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<Float> offset(-60.0, 60.0);
  for (int round = 0; round < SanitizerScaled(400, 60); ++round) {
    const Loop a = RandomStar(random, 5 + round % 30, {0, 0}, 100, 0.2);
    const Loop b = RandomStar(random, 5 + round % 17, {offset(random), offset(random)}, 80, 0.2);
    SCOPED_TRACE(round);
    ExpectUnion(a, b, 1e-6 * -SignedArea(View(a)));
  }
}

// ---- Packings of real pieces ----

#ifdef ZEMOX_NESTING_DATA
// Clockwise, centred on the origin and scaled to fit within 600 so that placed copies stay inside the
// grid's range.
Loop Prepared(const Loop& piece) {
  Vector2d low = piece[0], high = piece[0];
  for (const Vector2d& p : piece) {
    low = {std::min(low.x, p.x), std::min(low.y, p.y)};
    high = {std::max(high.x, p.x), std::max(high.y, p.y)};
  }
  const Vector2d centre = (low + high) * 0.5;
  const Float scale = std::min(1.0, 600.0 / std::max(high.x - low.x, high.y - low.y));
  Loop prepared;
  for (const Vector2d& p : Reversed(piece)) prepared.push_back((p - centre) * scale);
  return prepared;
}

class UnionPackingTest : public testing::TestWithParam<const char*> {};

// Each piece with its half-turned copy placed on each of its edges (the two share that edge, end to
// end, as a packing places them), and with a copy whose leftmost vertex sits on its rightmost one.
TEST_P(UnionPackingTest, EdgeToEdgeAndVertexToVertexGiveTheExactOutline) {
  const std::string path = std::string(ZEMOX_NESTING_DATA) + "/" + GetParam();
  if (!std::ifstream(path)) GTEST_SKIP() << "no nesting data at " << path;
  const std::vector<Loop> pieces = ReadNestingInstance(path).pieces;
  ASSERT_FALSE(pieces.empty());
  for (const Loop& raw : pieces) {
    const Loop piece = Prepared(raw);
    const Float tolerance = 1e-7 * -SignedArea(View(piece));
    for (size_t i = 0; i < piece.size(); ++i) {
      const Vector2d through = piece[i] + piece[(i + 1) % piece.size()];
      Loop turned;
      for (const Vector2d& p : piece) turned.push_back(through - p);
      SCOPED_TRACE(testing::Message() << GetParam() << " edge " << i);
      ExpectUnion(piece, turned, tolerance);
    }
    const auto byX = [](const Vector2d& l, const Vector2d& r) { return l.x != r.x ? l.x < r.x : l.y < r.y; };
    const Vector2d leftmost = *std::min_element(piece.begin(), piece.end(), byX);
    const Vector2d rightmost = *std::max_element(piece.begin(), piece.end(), byX);
    SCOPED_TRACE(testing::Message() << GetParam() << " beside");
    ExpectUnion(piece, Moved(piece, rightmost - leftmost), tolerance);
  }
}

INSTANTIATE_TEST_SUITE_P(Nesting, UnionPackingTest,
                         testing::Values("albano.json", "dagli.json", "mao.json", "marques.json"));
#endif

}  // namespace
}  // namespace zemox
