#pragma once

#include <algorithm>
#include <cmath>

#include "predicates.h"
#include "private_geom/redblacktree.h"
#include "segmentkey.h"
#include "zemox/basearray.h"
#include "zemox/parallel.h"

namespace zemox {

// A vertex as the sort moves it: its point and its global index. Sorting these records by value
// reads no other array, and the sorted records carry the points in sweep order.
struct SortedVertex {
  Vector2d point;
  Int index;
};

// Sort policy of the vertex order: vertices by the lexicographic order of their points, all finite.
// Granularity 1 sorts on the calling thread; a larger granularity hands the sort to the host's workers,
// which split it down to ranges of that many vertices.
template <Int Granularity>
struct LexicographicalVertexSort {
  Bool operator()(const SortedVertex& first, const SortedVertex& second) const {
    const Vector2d& a = first.point;
    const Vector2d& b = second.point;
    return a.x < b.x || (a.x == b.x && a.y < b.y);
  }

  Result<void> Sort(Block<SortedVertex> order) const {
    if constexpr (Granularity > 1) {
      return ParallelSort(order.begin(), order.end(), *this, Granularity);
    } else {
      std::sort(order.begin(), order.end(), *this);
      return OK();
    }
  }
};

// Exact test whether the segments of a set of closed outlines touch or cross anywhere apart from the
// shared vertex of two consecutive segments of one outline. A sweep over the vertices in lexicographic
// order keeps the segments that cross the sweep line in a tree ordered by exact orientation signs and
// stops at the first contact; a duplicated vertex, a vertex on another segment and collinear overlap
// all count as contact.
class OutlinesIntersectionTest2D {
 public:
  using StatusTree = RedBlackTree<SegmentKey, OutlinesIntersectionTest2D>;

  OutlinesIntersectionTest2D();
  OutlinesIntersectionTest2D(const OutlinesIntersectionTest2D&) = delete;
  OutlinesIntersectionTest2D& operator=(const OutlinesIntersectionTest2D&) = delete;

  // Runs the whole test on the outlines (each at least three vertices with finite coordinates, closed
  // implicitly). On every exit the working arrays are emptied and the status tree is reset; after an
  // error the answer is not defined.
  Result<void> Init(Block<const Block<const Vector2d>> outlines);
  // The answer of the last successful Init.
  Bool IsIntersecting() const { return intersecting_; }

  // Whether Init sorts `vertexCount` vertices on the host's workers: only large inputs, and never from
  // inside a job group, so that a job does not spawn nested parallel work.
  static Bool SortsInParallel(Int vertexCount);

  // Exact order of two status segments at the sweep line: LESS when the probe lies below the node's
  // segment, GREATER above, EQUAL when they touch or cross.
  Result<COMPARERESULT> Compare(const SegmentKey& probe, const SegmentKey& node) const;

 private:
  using Node = RedBlackTreeNode<SegmentKey>;

  Result<void> Run(Block<const Block<const Vector2d>> outlines);
  Result<void> CopyOutlines(Block<const Block<const Vector2d>> outlines, Int vertexCount);
  Result<void> SortVertices();
  void CheckDuplicates();
  Result<void> Renumber(Block<const Block<const Vector2d>> outlines);
  Result<void> Sweep();
  ZEMOX_FORCE_INLINE void PrefetchVisit(Int vertex) const;
  Result<void> VisitVertex(Int vertex);
  Result<void> EndBothSegments(Int vertex);
  ZEMOX_FORCE_INLINE void PrefetchDescent(const Node* child) const;
  Result<void> TestAndInsert(const SegmentKey& key, Int owner);
  Result<Node*> Remove(Int owner, Bool following);
  // The comparator runs a few dozen times per vertex, so its parts are always inlined.
  ZEMOX_FORCE_INLINE COMPARERESULT Order(const SegmentKey& probe, const SegmentKey& node) const;
  ZEMOX_FORCE_INLINE COMPARERESULT OrderDisjointEnds(const SegmentKey& probe, const SegmentKey& node) const;
  ZEMOX_FORCE_INLINE COMPARERESULT CompareVertices(Int first, Int second) const;
  ZEMOX_FORCE_INLINE Int32 OrientSign(Int a, Int b, Int c) const;

  // All input vertices, renumbered in sweep order once sorted: a vertex's number is its position here
  // and the status keys use these numbers. Each vertex keeps its point, its previous and next vertex
  // (cyclic within its outline) and, while its segment to the next vertex is in the status, that
  // segment's node (null otherwise), so that removal needs no search. One array rather than several
  // keeps the largest working block big enough for the allocator to reuse the memory across calls.
  struct Vertex {
    Vector2d point;
    Int previous;
    Int next;
    Node* segment;
  };
  BaseArray<Vertex> vertices_;
  Bool intersecting_ = false;
  // The vertices with their global indices, sorted by the lexicographic point order.
  BaseArray<SortedVertex> vertexOrder_;
  // Segments crossing the sweep line, ordered from below to above. Distinct vertex numbers compare
  // like their points and every orientation sign is exact, so the status holds no touching segments
  // and a segment's own node is the one a search by key would find.
  StatusTree status_;
  const PredicateContext& context_;
};

}  // namespace zemox
