// Self-tests of the outline crossings, their separation into simple loops and the hull, entered into
// the host's unit-test registry.

#include <cmath>
#include <initializer_list>

#include "outlinesintersections2d.h"
#include "portability.h"
#include "selfintersectingoutlinehull2d.h"
#include "separateselfintersectingoutline2d.h"
#include "unittests/selftestchecks.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using Outline = Block<const Vector2d>;

Bool Near(const Vector2d& a, const Vector2d& b, Float tolerance) {
  return std::abs(a.x - b.x) <= tolerance && std::abs(a.y - b.y) <= tolerance;
}

Bool SamePairs(const BaseArray<IndexPair>& pairs, std::initializer_list<IndexPair> expected) {
  if (pairs.GetCount() != static_cast<Int>(expected.size())) return false;
  Int i = 0;
  for (const IndexPair& pair : expected) {
    if (pairs[i].first != pair.first || pairs[i].second != pair.second) return false;
    ++i;
  }
  return true;
}

// Each side of a triangle extended past both corners, the sides joined by short segments beyond the
// corners: three self-crossings, at the corners (0, 0), (10, 0) and (5, 8).
constexpr Vector2d threeCrossings[] = {{-1, -1.6}, {-2, 0}, {12, 0}, {11, -1.6}, {4, 9.6}, {6, 9.6}};
constexpr Vector2d bowTie[] = {{0, 0}, {2, 2}, {2, 0}, {0, 2}};

struct Crossings {
  BaseArray<Vector2d> points;
  BaseArray<IndexPair> segments;
};

Result<void> FindCrossings(Outline outline, Crossings& crossings) {
  const Outline outlines[] = {outline};
  OutlinesIntersections2D sweep;
  ZEMOX_TRY(sweep.Init({outlines, 1}));
  return sweep.GetIntersections(crossings.points, crossings.segments, nullptr);
}

Result<void> RunOutlinesIntersections2DSelfTest() {
  const Vector2d first[] = {{0, 0}, {3, 0}, {0, 3}};
  const Vector2d second[] = {{1, 1}, {3, 1}, {1, 3}};
  const Outline triangles[] = {{first, 3}, {second, 3}};
  OutlinesIntersections2D sweep;
  ZEMOX_TRY(sweep.Init({triangles, 2}));
  BaseArray<Vector2d> points;
  BaseArray<IndexPair> segments;
  BaseArray<IndexPair> outlines;
  ZEMOX_TRY(sweep.GetIntersections(points, segments, &outlines));
  ZEMOX_TRY(Expect(points.GetCount() == 2 && Near(points[0], {1, 2}, 1e-5) && Near(points[1], {2, 1}, 1e-5),
                   "two triangles cross at (1, 2) and (2, 1)"));
  ZEMOX_TRY(Expect(SamePairs(segments, {{1, 2}, {0, 1}}) && SamePairs(outlines, {{0, 1}, {1, 0}}),
                   "segment and outline pairs of the two triangles"));

  Crossings crossings;
  ZEMOX_TRY(FindCrossings({threeCrossings, 6}, crossings));
  ZEMOX_TRY(Expect(crossings.points.GetCount() == 3, "three self-crossings"));
  const Vector2d square[] = {{0, 0}, {1, 0}, {1, 1}, {0, 1}};
  ZEMOX_TRY(FindCrossings({square, 4}, crossings));
  ZEMOX_TRY(Expect(crossings.points.IsEmpty(), "a square does not cross itself"));
  return ExpectError(sweep.Init({}), IllegalArgumentError, "Init: No input outlines.", "no outlines");
}

Result<void> RunSeparateSelfIntersectingOutline2DSelfTest() {
  Crossings crossings;
  ZEMOX_TRY(FindCrossings({threeCrossings, 6}, crossings));
  SeparateSelfIntersectingOutline2D separation;
  ZEMOX_TRY(separation.Init({threeCrossings, 6}, crossings.points, crossings.segments));
  BaseArray<Vector2d> points;
  BaseArray<Int> lengths;
  BaseArray<Int> sources;
  ZEMOX_TRY(separation.GetResult(true, points, lengths, &sources));
  ZEMOX_TRY(Expect(lengths.GetCount() == 4, "four loops"));
  for (const Int length : lengths) ZEMOX_TRY(Expect(length == 3, "every loop is a triangle"));
  Int copies = 0;
  Int vertexSum = 0;
  for (const Int source : sources) {
    copies += source == -1;
    vertexSum += source == -1 ? 0 : source + 1;
  }
  ZEMOX_TRY(Expect(copies == 6 && vertexSum == 21, "six crossing copies and each vertex once"));
  return ExpectError(separation.Init({threeCrossings, 6}, {}, {}), IllegalArgumentError,
                     "Init: Intersection points arrays are epmty or their size differ.", "no crossings");
}

Result<void> RunSelfIntersectingOutlineHull2DSelfTest() {
  Crossings crossings;
  ZEMOX_TRY(FindCrossings({bowTie, 4}, crossings));
  SelfIntersectingOutlineHull2D hull;
  ZEMOX_TRY(hull.Init({bowTie, 4}, crossings.points, crossings.segments));
  BaseArray<Vector2d> points;
  BaseArray<Int> sources;
  ZEMOX_TRY(hull.GetResult(false, points, &sources));
  ZEMOX_TRY(Expect(points.GetCount() == 3 && sources.GetCount() == 3, "the hull of a bow tie is a triangle"));
  ZEMOX_TRY(Expect(sources[0] == 0 && sources[1] == -1 && sources[2] == 3,
                   "counter-clockwise from the leftmost vertex through the crossing"));
  return Expect(Near(points[1], {1, 1}, 1e-5), "the crossing of the bow tie");
}

const Registration outlinesIntersectionsSelfTest({.kind = RecordKind::SELFTEST,
                                                  .id = "net.zemox.unittest.outlinesintersections2d",
                                                  .owner = UnitTestRegistry,
                                                  .selfTest = RunOutlinesIntersections2DSelfTest});
const Registration separationSelfTest({.kind = RecordKind::SELFTEST,
                                       .id = "net.zemox.unittest.separateselfintersectingoutline2d",
                                       .owner = UnitTestRegistry,
                                       .selfTest = RunSeparateSelfIntersectingOutline2DSelfTest});
const Registration hullSelfTest({.kind = RecordKind::SELFTEST,
                                 .id = "net.zemox.unittest.selfintersectingoutlinehull2d",
                                 .owner = UnitTestRegistry,
                                 .selfTest = RunSelfIntersectingOutlineHull2DSelfTest});

}  // namespace
}  // namespace zemox
