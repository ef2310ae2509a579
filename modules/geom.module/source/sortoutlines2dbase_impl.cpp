#include "sortoutlines2dbase_impl.h"

#include <algorithm>
#include <cfloat>

#include "portability.h"

namespace zemox {

Result<void> SortOutlines2DBaseImpl::Init(Block<const Vector2d> vertexPositions, Block<const Int> segments,
                                          UInt32 minPointsCount) {
  // A sort appends to the polylines and pairs it holds: a second Init must not see the first's.
  Reset();
  Result<void> sorted = Sort(vertexPositions, segments, minPointsCount);
  if (!sorted) Reset();
  return sorted;
}

Result<void> SortOutlines2DBaseImpl::Sort(Block<const Vector2d> vertexPositions, Block<const Int> segments,
                                          UInt32 minPointsCount) {
  if (vertexPositions.IsEmpty() || segments.IsEmpty() || minPointsCount == 0) return ZEMOX_ERROR(IllegalArgumentError);
  Int offset = 0;
  for (Int k = 0; k < segments.GetCount(); ++k) {
    if (segments[k] >= static_cast<Int>(minPointsCount))
      ZEMOX_TRY(AppendPolyline(vertexPositions.Slice(offset, segments[k]), k));
    offset += segments[k];
  }
  if (polylines_.IsEmpty()) return ZEMOX_ERROR(IllegalArgumentError);
  ZEMOX_TRY(InitGraph());
  ZEMOX_TRY(ReduceTransitively());
  ZEMOX_TRY(AssignParents());
  for (Int r = 0; r < polylines_.GetCount(); ++r)
    if (nesting_[r].depth == 0) ZEMOX_TRY(Label(r));
  ZEMOX_TRY(SeparateIntersectingPairs());
  ReleaseHoleChildren();
  return OK();
}

Result<void> SortOutlines2DBaseImpl::AppendPolyline(Block<const Vector2d> points, Int inputIndex) {
  SortedPolyline* polyline = ZEMOX_TRY(polylines_.AppendNew());
  polyline->inputIndex = inputIndex;
  polyline->bounds = {DBL_MAX, DBL_MAX, -DBL_MAX, -DBL_MAX};
  for (const Vector2d& point : points) {
    PolylineBounds& bounds = polyline->bounds;
    bounds = {std::min(bounds.minX, point.x), std::min(bounds.minY, point.y), std::max(bounds.maxX, point.x),
              std::max(bounds.maxY, point.y)};
  }
  return polyline->points.CopyFrom(points);
}

void SortOutlines2DBaseImpl::Reset() {
  polylines_.Flush();
  intersectingPairs_.Flush();
  children_.Flush();
  listNodes_.Flush();
  nesting_.Flush();
  frontier_.Flush();
  nextFrontier_.Flush();
  stack_.Flush();
  reachedFrom_.Flush();
}

Result<void> SortOutlines2DBaseImpl::PrepareChildLists() {
  children_.Reset();
  listNodes_.Reset();
  return children_.Resize(polylines_.GetCount());
}

Result<void> SortOutlines2DBaseImpl::AppendChild(Int parent, Int child) {
  ChildList& list = children_[parent];
  const Int node = listNodes_.GetCount();
  ZEMOX_TRY(listNodes_.Append({-1, list.last, child}));
  if (list.last >= 0)
    listNodes_[list.last].next = node;
  else
    list.first = node;
  list.last = node;
  return OK();
}

void SortOutlines2DBaseImpl::Unlink(Int parent, Int node) {
  ChildList& list = children_[parent];
  const ListNode& removed = listNodes_[node];
  if (removed.previous >= 0)
    listNodes_[removed.previous].next = removed.next;
  else
    list.first = removed.next;
  if (removed.next >= 0)
    listNodes_[removed.next].previous = removed.previous;
  else
    list.last = removed.previous;
}

Bool SortOutlines2DBaseImpl::StrictlyContains(const PolylineBounds& outer, const PolylineBounds& inner) {
  return outer.minX < inner.minX && outer.minY < inner.minY && inner.maxX < outer.maxX && inner.maxY < outer.maxY;
}

Result<void> SortOutlines2DBaseImpl::CollectCandidatePairs(BaseArray<PolylinePair>& pairs) const {
  BaseArray<Int> byMinX;
  for (Int i = 0; i < polylines_.GetCount(); ++i)
    if (polylines_[i].points.GetCount() >= 3) ZEMOX_TRY(byMinX.Append(i));
  std::sort(byMinX.begin(), byMinX.end(), [&](Int a, Int b) {
    const Float minA = polylines_[a].bounds.minX, minB = polylines_[b].bounds.minX;
    return minA < minB || (minA == minB && a < b);
  });
  pairs.Reset();
  for (Int k = 0; k < byMinX.GetCount(); ++k) {
    const PolylineBounds& a = polylines_[byMinX[k]].bounds;
    // Every later box starts at or right of a's left side, so it overlaps a in x exactly when it
    // starts no further right than a's right side.
    for (Int l = k + 1; l < byMinX.GetCount() && polylines_[byMinX[l]].bounds.minX <= a.maxX; ++l) {
      const PolylineBounds& b = polylines_[byMinX[l]].bounds;
      if (a.minY > b.maxY || b.minY > a.maxY) continue;
      ZEMOX_TRY(pairs.Append({std::min(byMinX[k], byMinX[l]), std::max(byMinX[k], byMinX[l])}));
    }
  }
  std::sort(pairs.begin(), pairs.end(), [](const PolylinePair& a, const PolylinePair& b) {
    return a.first < b.first || (a.first == b.first && a.second < b.second);
  });
  return OK();
}

// Removes from each polyline's list the polylines that are also nested inside one of its other
// children. Each walk marks a polyline once (the list it was reached for), so deep nesting costs the
// size of the lists, not the number of paths through them.
Result<void> SortOutlines2DBaseImpl::ReduceTransitively() {
  const Int count = polylines_.GetCount();
  reachedFrom_.Reset();
  ZEMOX_TRY(reachedFrom_.Resize(count));
  std::fill(reachedFrom_.begin(), reachedFrom_.end(), -1);
  for (Int i = 0; i < count; ++i) {
    stack_.Reset();
    for (Int node = children_[i].first; node >= 0; node = listNodes_[node].next) {
      const Int child = listNodes_[node].polyline;
      if (!Contains(child)) return ZEMOX_ERROR(IllegalStateError);
      for (Int inner = children_[child].first; inner >= 0; inner = listNodes_[inner].next)
        ZEMOX_TRY(stack_.Append(listNodes_[inner].polyline));
    }
    while (!stack_.IsEmpty()) {
      const Int d = stack_.GetLast();
      stack_.Pop();
      if (!Contains(d)) return ZEMOX_ERROR(IllegalStateError);
      if (reachedFrom_[d] == i) continue;
      reachedFrom_[d] = i;
      for (Int inner = children_[d].first; inner >= 0; inner = listNodes_[inner].next)
        ZEMOX_TRY(stack_.Append(listNodes_[inner].polyline));
    }
    for (Int node = children_[i].first; node >= 0;) {
      const Int next = listNodes_[node].next;
      if (reachedFrom_[listNodes_[node].polyline] == i) Unlink(i, node);
      node = next;
    }
  }
  return OK();
}

// A polyline stays only in the first list that names it; its depth -1 marks it as someone's child.
Result<void> SortOutlines2DBaseImpl::AssignParents() {
  nesting_.Reset();
  ZEMOX_TRY(nesting_.Resize(polylines_.GetCount()));
  for (NestingInfo& info : nesting_) info = {0, -1, -1};
  for (Int i = 0; i < polylines_.GetCount(); ++i) {
    for (Int node = children_[i].first; node >= 0;) {
      const Int next = listNodes_[node].next;
      NestingInfo& child = nesting_[listNodes_[node].polyline];
      if (child.depth == 0)
        child.depth = -1;
      else
        Unlink(i, node);
      node = next;
    }
  }
  return OK();
}

// Breadth-first labelling of the tree below `root`, which becomes a root itself.
Result<void> SortOutlines2DBaseImpl::Label(Int root) {
  if (nesting_.GetCount() != polylines_.GetCount()) return ZEMOX_ERROR(IllegalStateError);
  nesting_[root] = {0, -1, root};
  frontier_.Reset();
  ZEMOX_TRY(frontier_.Append(root));
  for (Int level = 1; !frontier_.IsEmpty(); ++level) {
    nextFrontier_.Reset();
    for (const Int f : frontier_) {
      for (Int node = children_[f].first; node >= 0; node = listNodes_[node].next) {
        const Int c = listNodes_[node].polyline;
        nesting_[c] = {level, f, root};
        ZEMOX_TRY(nextFrontier_.Append(c));
      }
    }
    std::swap(frontier_, nextFrontier_);
  }
  return OK();
}

Result<Int> SortOutlines2DBaseImpl::LowestCommonAncestor(Int i, Int j) const {
  if (!Contains(i) || !Contains(j) || nesting_.GetCount() != children_.GetCount())
    return ZEMOX_ERROR(IllegalStateError);
  if (i == j || nesting_[i].root != nesting_[j].root) return Int{-1};
  if (nesting_[i].depth == 0) return i;
  if (nesting_[j].depth == 0) return j;
  Int deeper = nesting_[i].depth >= nesting_[j].depth ? i : j;
  Int other = deeper == i ? j : i;
  for (Int steps = nesting_[deeper].depth - nesting_[other].depth; steps > 0; --steps) {
    deeper = nesting_[deeper].parent;
    if (deeper < 0) return ZEMOX_ERROR(IllegalStateError);
  }
  while (deeper != other) {
    deeper = nesting_[deeper].parent;
    other = nesting_[other].parent;
    if (deeper < 0 || other < 0) return ZEMOX_ERROR(IllegalStateError);
  }
  return deeper;
}

// A pair that touches or crosses cannot nest: the child of their common ancestor on the way to the
// other one is cut loose with its subtree and becomes a root.
Result<void> SortOutlines2DBaseImpl::SeparateIntersectingPairs() {
  for (const PolylinePair& pair : intersectingPairs_) {
    const Int ancestor = ZEMOX_TRY(LowestCommonAncestor(pair.first, pair.second));
    if (ancestor < 0) continue;
    Int child = ancestor == pair.first ? pair.second : pair.first;
    for (Int steps = nesting_[child].depth - nesting_[ancestor].depth - 1; steps > 0; --steps)
      child = nesting_[child].parent;
    Int node = children_[ancestor].first;
    while (node >= 0 && listNodes_[node].polyline != child) node = listNodes_[node].next;
    if (node < 0) return ZEMOX_ERROR(IllegalStateError);
    Unlink(ancestor, node);
    ZEMOX_TRY(Label(child));
  }
  return OK();
}

// Polylines inside a hole are outer boundaries of their own.
void SortOutlines2DBaseImpl::ReleaseHoleChildren() {
  for (Int h = 0; h < polylines_.GetCount(); ++h) {
    if (nesting_[h].depth % 2 == 0) continue;
    for (Int node = children_[h].first; node >= 0; node = listNodes_[node].next)
      nesting_[listNodes_[node].polyline].depth = 0;
    children_[h] = {};
  }
}

Result<void> SortOutlines2DBaseImpl::GetResult(BaseArray<BaseArray<Int>>& polygonsWithHoles) const {
  if (children_.IsEmpty()) return ZEMOX_ERROR(IllegalStateError);
  polygonsWithHoles.Reset();
  for (Int i = 0; i < polylines_.GetCount(); ++i) {
    if (nesting_[i].depth != 0) continue;
    Int length = 1;
    for (Int node = children_[i].first; node >= 0; node = listNodes_[node].next) ++length;
    BaseArray<Int>* polygon = ZEMOX_TRY(polygonsWithHoles.AppendNew());
    ZEMOX_TRY(polygon->EnsureCapacity(length));
    ZEMOX_TRY(polygon->Append(polylines_[i].inputIndex));
    for (Int node = children_[i].first; node >= 0; node = listNodes_[node].next)
      ZEMOX_TRY(polygon->Append(polylines_[listNodes_[node].polyline].inputIndex));
  }
  return OK();
}

Int SortOutlines2DBaseImpl::GetMemorySize() const {
  Int bytes = static_cast<Int>(sizeof(*this));
  auto held = [](const auto& array) { return array.GetCapacity() * static_cast<Int>(sizeof(*array.GetFirst())); };
  for (const SortedPolyline& polyline : polylines_) bytes += held(polyline.points);
  return bytes + held(polylines_) + held(intersectingPairs_) + held(children_) + held(listNodes_) + held(nesting_) +
         held(frontier_) + held(nextFrontier_) + held(stack_) + held(reachedFrom_);
}

Result<String> SortOutlines2DBaseImpl::ToString(const char*) const {
  String text;
  ZEMOX_TRY(text.AppendFormat("Number of valid polylines: @", children_.GetCount()));
  for (Int i = 0; i < children_.GetCount(); ++i) {
    ZEMOX_TRY(text.AppendFormat("\nPolyline @.", polylines_[i].inputIndex));
    if (children_[i].first < 0) {
      ZEMOX_TRY(text.Append(" No nested polylines."));
      continue;
    }
    ZEMOX_TRY(text.Append(" Nested polylines indices:"));
    for (Int node = children_[i].first; node >= 0; node = listNodes_[node].next)
      ZEMOX_TRY(text.AppendFormat(" @", polylines_[listNodes_[node].polyline].inputIndex));
    ZEMOX_TRY(text.Append("."));
  }
  return text;
}

}  // namespace zemox

namespace zemox {
namespace {

const InterfaceRegistration<OutlineProcessingInterface> outlineProcessingInterface;
const InterfaceRegistration<SortOutlines2DInterface> sortOutlines2DInterface;
const Registration sortOutlines2DRegistry({.kind = RecordKind::REGISTRY, .id = SortOutlines2DRegistry});

}  // namespace
}  // namespace zemox
