#pragma once

#include "private_geom/sortoutlines2d.h"
#include "zemox/basearray.h"

namespace zemox {

// Axis-aligned bounds of a polyline.
struct PolylineBounds {
  Float minX;
  Float minY;
  Float maxX;
  Float maxY;
};

// One accepted input polyline: its vertices, their bounds, and its position in the caller's list.
struct SortedPolyline {
  BaseArray<Vector2d> points;
  PolylineBounds bounds;
  Int inputIndex = 0;
};

// Where a polyline sits in the nesting forest: depth 0 for a root (-1 while it has a parent but no
// label yet), its parent (-1 for a root) and the root of its tree.
struct NestingInfo {
  Int depth = -1;
  Int parent = -1;
  Int root = -1;
};

// The sorting common to both classes: input, nesting forest, separation of intersecting pairs,
// holes, result and text. A class supplies InitGraph, which decides for pairs of polylines whether
// one lies inside the other or whether they intersect.
class SortOutlines2DBaseImpl : public SortOutlines2DInterface {
 public:
  Result<void> Init(Block<const Vector2d> vertexPositions, Block<const Int> segments, UInt32 minPointsCount) override;
  void Reset() override;
  Result<void> GetResult(BaseArray<BaseArray<Int>>& polygonsWithHoles) const override;
  Int GetMemorySize() const override;
  Result<String> ToString(const char* formatStatement) const override;
  OUTLINEPROCESSING_INPUT GetSupportedInput() const override { return OUTLINEPROCESSING_INPUT::INPUT2D; }

 protected:
  // Fills `children` with one list per polyline (the polylines found inside it) and
  // `intersectingPairs` with the pairs (i < j) that touch or cross.
  virtual Result<void> InitGraph() = 0;

  // The pairs (i < j) of polylines with at least 3 vertices whose bounds overlap (touching counts),
  // with i ascending and j ascending for each i. Found by a sweep over the boxes sorted by minX, so
  // the cost follows the number of overlapping boxes, not the number of pairs.
  struct PolylinePair {
    Int first;
    Int second;
  };
  Result<void> CollectCandidatePairs(BaseArray<PolylinePair>& pairs) const;
  // Sizes `children` to one empty list per polyline.
  Result<void> PrepareChildLists();
  Result<void> AppendChild(Int parent, Int child);

  static Bool StrictlyContains(const PolylineBounds& outer, const PolylineBounds& inner);

  BaseArray<SortedPolyline> polylines_;
  BaseArray<PolylinePair> intersectingPairs_;

 private:
  // The children of one polyline: a doubly linked list of nodes in `listNodes_`.
  struct ChildList {
    Int first = -1;
    Int last = -1;
  };
  struct ListNode {
    Int next;
    Int previous;
    Int polyline;
  };

  Result<void> Sort(Block<const Vector2d> vertexPositions, Block<const Int> segments, UInt32 minPointsCount);
  Result<void> AppendPolyline(Block<const Vector2d> points, Int inputIndex);
  Result<void> ReduceTransitively();
  Result<void> AssignParents();
  Result<void> Label(Int root);
  Result<void> SeparateIntersectingPairs();
  void ReleaseHoleChildren();
  Result<Int> LowestCommonAncestor(Int i, Int j) const;
  void Unlink(Int parent, Int node);
  Bool Contains(Int polyline) const { return polyline >= 0 && polyline < polylines_.GetCount(); }

  BaseArray<ChildList> children_;
  BaseArray<ListNode> listNodes_;
  BaseArray<NestingInfo> nesting_;
  BaseArray<Int> frontier_;
  BaseArray<Int> nextFrontier_;
  // Scratch of the transitive reduction: the walk's stack, and per polyline the last polyline
  // whose walk reached it.
  BaseArray<Int> stack_;
  BaseArray<Int> reachedFrom_;
};

}  // namespace zemox
