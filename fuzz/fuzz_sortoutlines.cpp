// SortOutlines2D, exact and fast, on polylines decoded from the input. Every result index must name
// a polyline, and each polyline may appear at most once. When the exact class sorts polylines that
// neither touch nor cross (themselves or each other), every hole must lie inside its outer boundary.
#include "fuzzinput.h"
#include "geom/exactpredicates2d.h"
#include "private_geom/sortoutlines2d.h"

namespace zemox::fuzz {
namespace {

using Predicates = ExactPredicates2DInterface;

// Even-odd crossing count with the exact orientation: an edge counts when it straddles the point's
// horizontal line (half-open in y) and passes to the right of the point.
Bool StrictlyInside(const Vector2d& point, Block<const Vector2d> loop) {
  Bool inside = false;
  for (Int index = 0; index < loop.GetCount(); ++index) {
    const Vector2d& a = loop[index];
    const Vector2d& b = loop[(index + 1) % loop.GetCount()];
    if ((a.y > point.y) == (b.y > point.y)) continue;
    const Float side = Predicates::Orient(a, b, point);
    if ((b.y > a.y) ? side > 0.0 : side < 0.0) inside = !inside;
  }
  return inside;
}

// The kept polylines when all of them are finite loops that neither touch nor cross; empty otherwise.
Result<BaseArray<Block<const Vector2d>>> SeparateLoops(Block<const Vector2d> vertices, Block<const Int> segments,
                                                       Int minPointsCount) {
  BaseArray<Block<const Vector2d>> loops;
  BaseArray<Block<const Vector2d>> kept;
  Int start = 0;
  for (Int count : segments) {
    const Block<const Vector2d> loop = vertices.Slice(start, count);
    start += count;
    ZEMOX_RETURN_IF_FAILED(loops.Append(loop));
    if (count < minPointsCount) continue;
    if (count < 3 || !AllFinite(loop)) return BaseArray<Block<const Vector2d>>();
    ZEMOX_RETURN_IF_FAILED(kept.Append(loop));
  }
  const Result<Bool> touching = Predicates::OutlinesIntersectionTest(kept.ToBlock());
  if (!touching || touching.Value()) return BaseArray<Block<const Vector2d>>();
  return loops;
}

void CheckHolesInsideOuters(Block<const Vector2d> vertices, Block<const Int> segments, Int minPointsCount,
                            const BaseArray<BaseArray<Int>>& trees) {
  const Result<BaseArray<Block<const Vector2d>>> loops = SeparateLoops(vertices, segments, minPointsCount);
  if (!loops || loops.Value().IsEmpty()) return;
  for (const BaseArray<Int>& tree : trees) {
    for (Int hole = 1; hole < tree.GetCount(); ++hole) {
      Require(StrictlyInside(loops.Value()[tree[hole]][0], loops.Value()[tree[0]]),
              "sort outlines: holes lie inside their outer boundary");
    }
  }
}

}  // namespace
}  // namespace zemox::fuzz

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  const Bool exact = input.Flag();
  Result<SortOutlines2DRef> sorter = CreateSortOutlines2D(exact ? SortOutlines2DExactClass : SortOutlines2DFastClass);
  Require(sorter.IsOk(), "sort outlines: the class is registered");
  const UInt32 minPointsCount = static_cast<UInt32>(input.Count(4));
  BaseArray<Vector2d> vertices;
  BaseArray<Int> segments;
  for (Int polyline = input.Count(6); polyline > 0; --polyline) {
    BaseArray<Vector2d> outline;
    if (!input.Outline(outline, 8) || !vertices.Append(outline.ToBlock())) return 0;
    if (!segments.Append(outline.GetCount())) return 0;
  }
  if (!sorter.Value()->Init(vertices, segments, minPointsCount)) return 0;
  BaseArray<BaseArray<Int>> trees;
  if (!sorter.Value()->GetResult(trees)) return 0;
  BaseArray<Int> seen;
  if (!seen.Resize(segments.GetCount())) return 0;
  for (const BaseArray<Int>& tree : trees) {
    for (Int index : tree) {
      Require(index >= 0 && index < segments.GetCount(), "sort outlines: indices name polylines");
      Require(seen[index]++ == 0, "sort outlines: each polyline at most once");
    }
  }
  if (exact) CheckHolesInsideOuters(vertices, segments, minPointsCount, trees);
  (void)sorter.Value()->ToString();
  return 0;
}
