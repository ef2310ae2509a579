// SortOutlines2D, exact and fast, on polylines decoded from the input. Every result index must name
// a polyline, and each polyline may appear at most once.
#include "fuzzinput.h"
#include "private_geom/sortoutlines2d.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace zemox;
  using namespace zemox::fuzz;
  FuzzInput input(data, size);
  Result<SortOutlines2DRef> sorter =
      CreateSortOutlines2D(input.Flag() ? SortOutlines2DExactClass : SortOutlines2DFastClass);
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
  (void)sorter.Value()->ToString();
  return 0;
}
