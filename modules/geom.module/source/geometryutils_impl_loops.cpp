// Whole 2D loops: centroid and area, convex hull, clean-up, containment, tolerant equality and
// convex decomposition.

#include <algorithm>
#include <cfloat>
#include <cmath>
#include <utility>

#include "exactpredicates2d_impl.h"
#include "geom/degeneratedinputerror.h"
#include "geometryutils_impl.h"
#include "portability.h"

namespace zemox {
namespace {

// Classified turns decide convexity with this slack on the normalised edge directions.
constexpr Float turnEpsilon = 0.0001;

Int LeftmostVertex(Block<const Vector2d> points) {
  Int minIdxX = -1, maxIdxX = -1, minIdxY = -1, maxIdxY = -1;
  GeometryUtilsImpl::CalculateBoundingBoxIndices(points, minIdxX, maxIdxX, minIdxY, maxIdxY, true);
  return minIdxX;
}

Vector2d Normalize(const Vector2d& v) {
  const Float length = std::hypot(v.x, v.y);
  return length > 0.0 ? v * (1.0 / length) : Vector2d{};
}

Bool AllWithin(const Vector2d& v, Float tolerance) {
  return std::fabs(v.x) <= tolerance && std::fabs(v.y) <= tolerance;
}

// The turn at `vertex` between its loop neighbours, classified so that GEOM_TRUE is convex for the
// loop's own winding: a clockwise loop is read backwards.
GEOMETRY_TEST_EXACT ClassifyTurn(const Vector2d& predecessor, const Vector2d& vertex, const Vector2d& successor,
                                 Bool clockwise) {
  if (clockwise) return GeometryUtilsImpl::IsVertexConvexExact2D(vertex, predecessor, successor, turnEpsilon);
  return GeometryUtilsImpl::IsVertexConvexExact2D(vertex, successor, predecessor, turnEpsilon);
}

// Walks from the leftmost vertex until a turn decides the winding; true for clockwise. No decision
// (all points collinear or coincident) is degenerate input.
Result<Bool> IsClockwiseFromLeftmost(Block<const Vector2d> points) {
  const Int n = points.GetCount();
  const Int start = LeftmostVertex(points);
  for (Int step = 0; step < n; ++step) {
    const Int k = (start + step) % n;
    const GEOMETRY_TEST_EXACT turn =
        GeometryUtilsImpl::IsVertexConvexExact2D(points[k], points[(k + n - 1) % n], points[(k + 1) % n], turnEpsilon);
    if (turn == GEOMETRY_TEST_EXACT::GEOM_TRUE) return true;
    if (turn == GEOMETRY_TEST_EXACT::GEOM_FALSE) return false;
  }
  return ZEMOX_ERROR(DegeneratedInputError);
}

// Exactly on the closed segment: collinear by the exact orientation and within its extent.
Bool OnSegment(const Vector2d& point, const Vector2d& a, const Vector2d& b) {
  return ExactPredicates2DImpl::Orient(a, b, point) == 0.0 && std::min(a.x, b.x) <= point.x &&
         point.x <= std::max(a.x, b.x) && std::min(a.y, b.y) <= point.y && point.y <= std::max(a.y, b.y);
}

Bool OnBoundary(const Vector2d& point, Block<const Vector2d> loop) {
  for (Int i = 0; i < loop.GetCount(); ++i)
    if (OnSegment(point, loop[i], loop[(i + 1) % loop.GetCount()])) return true;
  return false;
}

// The first vertex of `loop` that is not on `other`'s boundary, or -1.
Int FirstVertexOffBoundary(Block<const Vector2d> loop, Block<const Vector2d> other) {
  for (Int i = 0; i < loop.GetCount(); ++i)
    if (!OnBoundary(loop[i], other)) return i;
  return -1;
}

// The stack of the hull walk has an edge, between consecutive stacked points, that B-C crosses. An
// edge that shares an index with B-C meets it at that vertex only, which is no crossing: otherwise
// the edge A-B would always block the walk.
Bool CrossesStackedEdge(Block<const Vector2d> points, const BaseArray<Int>& stack, Int c) {
  const Int b = stack.GetLast();
  for (Int q = 0; q + 1 < stack.GetCount(); ++q) {
    const Int from = stack[q], to = stack[q + 1];
    if (from == b || to == b || from == c || to == c) continue;
    if (GeometryUtilsImpl::SegmentsIntersectionTest2D(points[b], points[c], points[from], points[to])) return true;
  }
  return false;
}

// Loop points closer than 1e-4 are one point.
Bool CloserThanDuplicateTolerance(const Vector2d& a, const Vector2d& b) { return Dot(a - b, a - b) < 1e-8; }

// Rotates the loop left by `first` positions.
void RotateToFront(BaseArray<Vector2d>& loop, Int first) {
  std::rotate(loop.begin(), loop.begin() + first, loop.end());
}

// Cuts convex pieces off a clean simple loop, one fan from a reflex vertex at a time. `remaining`
// holds the loop's indices still in play, in loop order; a piece is the chain `chain`, started at
// position `chainStart` of the remaining loop, and shares its first and last index with it.
class ConvexDecomposition {
 public:
  ConvexDecomposition(Block<const Vector2d> points, Bool clockwise) : points_(points), clockwise_(clockwise) {}

  Result<BaseArray<BaseArray<Int>>> Run() {
    for (Int i = 0; i < points_.GetCount(); ++i) ZEMOX_TRY(remaining_.Append(i));
    if (points_.GetCount() > 3) {
      while (true) {
        const Bool convex = ZEMOX_TRY(CutPiece());
        if (convex) break;
      }
    }
    BaseArray<Int>* last = ZEMOX_TRY(pieces_.AppendNew());
    *last = std::move(remaining_);
    return std::move(pieces_);
  }

 private:
  GEOMETRY_TEST_EXACT Classify(Int predecessor, Int vertex, Int successor) const {
    return ClassifyTurn(points_[predecessor], points_[vertex], points_[successor], clockwise_);
  }

  // The turn at a vertex of the remaining loop. Where a cut diagonal ends at the vertex, the turn
  // can come out straight within the tolerance although the loop is clean: a diagonal of a loop
  // with integer corners a thousand units across may run within 1e-4 of the next edge's direction.
  // The tolerance cannot tell that from an unclean loop, so there the exact orientation decides,
  // and an exactly straight turn keeps the piece convex. Only a straight turn between a vertex's own
  // loop neighbours is unclean input.
  GEOMETRY_TEST_EXACT ClassifyInRemaining(Int predecessor, Int vertex, Int successor) const {
    const GEOMETRY_TEST_EXACT turn = Classify(predecessor, vertex, successor);
    const Int n = points_.GetCount();
    const Bool nextToCut = predecessor != (vertex + n - 1) % n || successor != (vertex + 1) % n;
    if (!nextToCut || (turn != GEOMETRY_TEST_EXACT::GEOM_PARALLEL && turn != GEOMETRY_TEST_EXACT::GEOM_ANTIPARALLEL))
      return turn;
    const Float orientation = ExactPredicates2DImpl::Orient(points_[predecessor], points_[vertex], points_[successor]) *
                              (clockwise_ ? -1.0 : 1.0);
    if (orientation > 0.0 || (orientation == 0.0 && turn == GEOMETRY_TEST_EXACT::GEOM_PARALLEL))
      return GEOMETRY_TEST_EXACT::GEOM_TRUE;
    return orientation < 0.0 ? GEOMETRY_TEST_EXACT::GEOM_FALSE : turn;
  }

  // The diagonal from B (at position k) back to the chain's first index closes a convex piece when
  // the turn there stays convex (or straight back) and no edge of the remaining loop between B's
  // successor and the chain's start crosses it.
  Bool ClosingDiagonalFits(Int k) const {
    const Int m = remaining_.GetCount();
    const Int b = remaining_[k], first = chain_[0];
    const GEOMETRY_TEST_EXACT turn = Classify(b, first, chain_[1]);
    if (turn != GEOMETRY_TEST_EXACT::GEOM_TRUE && turn != GEOMETRY_TEST_EXACT::GEOM_ANTIPARALLEL) return false;
    // At a convex first index the diagonal must also run on the inner side of the edge that comes
    // into it: otherwise it passes outside the loop, around a stretch of the loop that bends into
    // the would-be piece, and no edge crosses it. (At a reflex first index the turn above already
    // keeps it inside.)
    const Int incoming = remaining_[(chainStart_ + m - 1) % m];
    if (Classify(incoming, first, chain_[1]) == GEOMETRY_TEST_EXACT::GEOM_TRUE &&
        Classify(incoming, first, b) != GEOMETRY_TEST_EXACT::GEOM_TRUE)
      return false;
    for (Int q = (k + 1) % m; (q + 1) % m != chainStart_; q = (q + 1) % m) {
      Vector2d crossing;
      if (GeometryUtilsImpl::IntersectSegments2D(points_[b], points_[first], points_[remaining_[q]],
                                                 points_[remaining_[(q + 1) % m]], crossing, 1e-5))
        return false;
    }
    return true;
  }

  // One pass over the remaining loop: true when it is convex (no reflex vertex in a full turn),
  // otherwise a piece has been cut.
  Result<Bool> CutPiece() {
    const Int m = remaining_.GetCount();
    chain_.Reset();
    Int predecessor = remaining_[m - 1];
    Int sinceChainStart = 0;
    // Every step either advances or shortens the chain, so a pass that neither closes a piece nor
    // finds the loop convex within this many steps cannot make progress.
    const Int stepLimit = 2 * m * m + 2 * m;
    for (Int k = 0, steps = 0; steps < stepLimit; ++steps) {
      const Int b = remaining_[k];
      const GEOMETRY_TEST_EXACT turn = ClassifyInRemaining(predecessor, b, remaining_[(k + 1) % m]);
      if (chain_.IsEmpty()) {
        if (turn == GEOMETRY_TEST_EXACT::GEOM_FALSE) {
          ZEMOX_TRY(StartChain(k));
          sinceChainStart = 0;
        } else if (++sinceChainStart >= m) {
          return true;
        }
      } else {
        if (++sinceChainStart > m) break;
        switch (turn) {
          case GEOMETRY_TEST_EXACT::GEOM_PARALLEL:
          case GEOMETRY_TEST_EXACT::GEOM_ANTIPARALLEL:
          case GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_PREV:
          case GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_NEXT:
          case GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_ALL:
            return ZEMOX_ERROR(DegeneratedInputError, "Non-clean input geometry");
          case GEOMETRY_TEST_EXACT::GEOM_DEGENERATE:
          case GEOMETRY_TEST_EXACT::GEOM_INVALID_INPUT:
            break;
          case GEOMETRY_TEST_EXACT::GEOM_TRUE:
          case GEOMETRY_TEST_EXACT::GEOM_FALSE: {
            const Bool convex = turn == GEOMETRY_TEST_EXACT::GEOM_TRUE;
            if (chain_.GetCount() == 1) {
              if (convex) {
                ZEMOX_TRY(chain_.Append(b));
              } else {
                ZEMOX_TRY(StartChain(k));
                sinceChainStart = 0;
              }
              break;
            }
            // A reflex B that closes the piece must turn convexly from the chain's last index to
            // the chain's first: its turn in the loop says nothing about that, and closing on a
            // reflex turn leaves a piece that is not convex.
            const Bool fits =
                ClosingDiagonalFits(k) &&
                (convex || Classify(chain_[chain_.GetCount() - 1], b, chain_[0]) == GEOMETRY_TEST_EXACT::GEOM_TRUE);
            if (fits) ZEMOX_TRY(chain_.Append(b));
            if (fits && convex) break;
            if (fits || chain_.GetCount() > 2) {
              ZEMOX_TRY(ClosePiece());
              return false;
            }
            // A two-index chain whose diagonal does not fit starts again at its second index, and
            // B is classified again against it.
            chain_.Erase(0);
            chainStart_ = std::find(remaining_.begin(), remaining_.end(), chain_[0]) - remaining_.begin();
            continue;
          }
        }
      }
      predecessor = b;
      k = (k + 1) % m;
    }
    return ZEMOX_ERROR(IllegalStateError, "Failed to decompose concavity");
  }

  Result<void> StartChain(Int k) {
    chain_.Reset();
    chainStart_ = k;
    return chain_.Append(remaining_[k]);
  }

  // The chain becomes a piece; its interior indices leave the remaining loop.
  Result<void> ClosePiece() {
    BaseArray<Int> kept;
    ZEMOX_TRY(kept.EnsureCapacity(remaining_.GetCount()));
    for (const Int index : remaining_) {
      const Bool interior = std::find(chain_.begin() + 1, chain_.end() - 1, index) != chain_.end() - 1;
      if (!interior) ZEMOX_TRY(kept.Append(index));
    }
    BaseArray<Int>* piece = ZEMOX_TRY(pieces_.AppendNew());
    ZEMOX_TRY(piece->CopyFrom(chain_.ToBlock()));
    remaining_ = std::move(kept);
    return OK();
  }

  Block<const Vector2d> points_;
  Bool clockwise_;
  BaseArray<Int> remaining_;
  BaseArray<Int> chain_;
  Int chainStart_ = 0;
  BaseArray<BaseArray<Int>> pieces_;
};

}  // namespace

Result<BaseArray<BaseArray<Int>>> GeometryUtilsImpl::CalculateConvexDecomposition2D(
    Block<const Vector2d> outlinePoints) {
  if (outlinePoints.IsEmpty()) {
    BaseArray<BaseArray<Int>> pieces;
    ZEMOX_TRY(pieces.AppendNew());
    return pieces;
  }
  const Bool clockwise = ZEMOX_TRY(IsClockwiseFromLeftmost(outlinePoints));
  return ConvexDecomposition(outlinePoints, clockwise).Run();
}

Vector2d GeometryUtilsImpl::CalculateOutlineCentroidAndArea2D(Block<const Vector2d> outlinePoints, Float* area,
                                                              Bool* windingPolarity) {
  Vector2d low{DBL_MAX, DBL_MAX}, high{-DBL_MAX, -DBL_MAX};
  for (const Vector2d& point : outlinePoints) {
    low = {std::min(low.x, point.x), std::min(low.y, point.y)};
    high = {std::max(high.x, point.x), std::max(high.y, point.y)};
  }
  // Coordinates relative to the box's corner keep the products small; a box without extent (empty or
  // not-a-number input) falls back to the origin.
  const Vector2d origin = high.x >= low.x && high.y >= low.y ? low : Vector2d{};
  Float signedArea = 0.0, momentX = 0.0, momentY = 0.0;
  Vector2d previous = outlinePoints.IsEmpty() ? Vector2d{} : outlinePoints[outlinePoints.GetCount() - 1] - origin;
  for (const Vector2d& point : outlinePoints) {
    const Vector2d current = point - origin;
    // The region between the edge and y = 0: a rectangle up to the lower endpoint and a triangle above.
    const Float lowY = std::min(previous.y, current.y), highY = std::max(previous.y, current.y);
    const Float width = std::fabs(current.x - previous.x);
    const Float sign = previous.x <= current.x ? 1.0 : -1.0;
    const Float rectangle = lowY * width, triangle = (highY - lowY) * width / 2.0;
    const Float highX = current.y < previous.y ? previous.x : current.x;
    signedArea += sign * (rectangle + triangle);
    momentX += sign * (rectangle * (previous.x + current.x) / 2.0 + triangle * (previous.x + current.x + highX) / 3.0);
    momentY += sign * (rectangle * lowY / 2.0 + triangle * (previous.y + current.y + lowY) / 3.0);
    previous = current;
  }
  // With y up, a clockwise loop sweeps positive area: polarity true means clockwise.
  const Bool clockwise = signedArea >= 0.0;
  if (!clockwise) {
    signedArea = -signedArea;
    momentX = -momentX;
    momentY = -momentY;
  }
  if (windingPolarity != nullptr) *windingPolarity = clockwise;
  if (area != nullptr) *area = signedArea;
  if (signedArea > 0.0) return origin + Vector2d{momentX / signedArea, momentY / signedArea};
  return origin;
}

Result<Vector2d> GeometryUtilsImpl::CalculateMultiOutlineCentroidAndAreas2D(
    Block<const Vector2d> loopVertices, Block<const Int> loopVertexCounts, Bool includeHolesInCogCalcs,
    Float* overallArea, BaseArray<Float>* loopSoloAreas, BaseArray<Bool>* windingPolarity) {
  if (loopVertices.IsEmpty() || loopVertexCounts.IsEmpty() || loopVertexCounts[0] > loopVertices.GetCount())
    return ZEMOX_ERROR(IllegalArgumentError);
  BaseArray<Float> areas;
  BaseArray<Bool> polarities;
  ZEMOX_TRY(areas.Resize(loopVertexCounts.GetCount()));
  ZEMOX_TRY(polarities.Resize(loopVertexCounts.GetCount()));
  Float overall = 0.0;
  Vector2d moments{}, centroid{};
  Int offset = 0;
  for (Int k = 0; k < loopVertexCounts.GetCount(); ++k) {
    const Int count = loopVertexCounts[k];
    if (count < 0 || offset + count > loopVertices.GetCount()) return ZEMOX_ERROR(IllegalArgumentError);
    const Vector2d loopCentroid =
        CalculateOutlineCentroidAndArea2D(loopVertices.Slice(offset, count), &areas[k], &polarities[k]);
    offset += count;
    // The outer loop runs clockwise, every hole counter-clockwise.
    if (polarities[k] != (k == 0)) return ZEMOX_ERROR(IllegalStateError);
    if (k == 0) {
      overall = areas[0];
      moments = loopCentroid * areas[0];
      centroid = loopCentroid;
    } else {
      overall -= areas[k];
      moments = moments - loopCentroid * areas[k];
    }
  }
  if (overallArea != nullptr) *overallArea = overall;
  if (loopSoloAreas != nullptr) *loopSoloAreas = std::move(areas);
  if (windingPolarity != nullptr) *windingPolarity = std::move(polarities);
  if (loopVertexCounts.GetCount() >= 2 && includeHolesInCogCalcs && overall > 0.0) return moments * (1.0 / overall);
  return centroid;
}

Result<BaseArray<Int>> GeometryUtilsImpl::CalculateConvexHull2D(Block<const Vector2d> outlinePoints) {
  const Int n = outlinePoints.GetCount();
  BaseArray<Int> stack;
  if (n <= 3) {
    for (Int i = 0; i < n; ++i) ZEMOX_TRY(stack.Append(i));
    return stack;
  }
  const Bool clockwise = ZEMOX_TRY(IsClockwiseFromLeftmost(outlinePoints));
  const Int start = LeftmostVertex(outlinePoints);
  ZEMOX_TRY(stack.Append(start));
  for (Int step = 1; step <= n; ++step) {
    const Int j = (start + step) % n;
    while (stack.GetCount() >= 2) {
      const Vector2d& a = outlinePoints[stack[stack.GetCount() - 2]];
      const Vector2d& b = outlinePoints[stack.GetLast()];
      const GEOMETRY_TEST_EXACT turn = ClassifyTurn(a, b, outlinePoints[j], clockwise);
      if (turn == GEOMETRY_TEST_EXACT::GEOM_COINCIDENT_PREV) break;
      if (turn == GEOMETRY_TEST_EXACT::GEOM_TRUE && !CrossesStackedEdge(outlinePoints, stack, j)) break;
      if (turn == GEOMETRY_TEST_EXACT::GEOM_DEGENERATE || turn == GEOMETRY_TEST_EXACT::GEOM_INVALID_INPUT) break;
      stack.Pop();
    }
    if (j != start) ZEMOX_TRY(stack.Append(j));
  }
  return stack;
}

Result<Bool> GeometryUtilsImpl::CleanLoop2DInPlace(BaseArray<Vector2d>& outlinePoints, Bool maintainStart) {
  Bool changed = false;
  if (outlinePoints.GetCount() >= 2) {
    // Duplicates: a point closer than 1e-4 to the last kept one (the loop's last point at first).
    const Int before = outlinePoints.GetCount();
    Vector2d lastKept = outlinePoints.GetLast();
    Int kept = 0;
    for (Int i = 0; i < before; ++i) {
      if (CloserThanDuplicateTolerance(outlinePoints[i], lastKept)) continue;
      lastKept = outlinePoints[kept++] = outlinePoints[i];
    }
    ZEMOX_TRY(outlinePoints.Resize(std::max<Int>(kept, 1)));
    changed = outlinePoints.GetCount() != before;
  }
  const Int n = outlinePoints.GetCount();
  if (n > 2) {
    // Straight and spike vertices: the directions into and out of B agree or are opposite.
    const Int start = LeftmostVertex(outlinePoints);
    BaseArray<Vector2d> stack;
    ZEMOX_TRY(stack.EnsureCapacity(n));
    BaseArray<Int> sources;
    ZEMOX_TRY(sources.EnsureCapacity(n));
    for (Int step = 0; step < n; ++step) {
      const Int i = (start + step) % n;
      // Removing a spike's tip brings its two base points together; the second is not pushed, or the
      // loop would keep a duplicate vertex that the duplicate pass above exists to remove.
      if (stack.IsEmpty() || !CloserThanDuplicateTolerance(stack.GetLast(), outlinePoints[i])) {
        ZEMOX_TRY(stack.Append(outlinePoints[i]));
        ZEMOX_TRY(sources.Append(i));
      }
      const Vector2d& c = outlinePoints[(i + 1) % n];
      while (stack.GetCount() >= 2) {
        const Vector2d incoming = Normalize(stack.GetLast() - stack[stack.GetCount() - 2]);
        const Vector2d outgoing = Normalize(c - stack.GetLast());
        if (!AllWithin(outgoing - incoming, 0.0001) && !AllWithin(outgoing + incoming, 0.0001)) break;
        stack.Pop();
        sources.Pop();
      }
    }
    // A spike whose base straddles the start leaves its two base points at the two ends of the stack.
    while (stack.GetCount() > 1 && CloserThanDuplicateTolerance(stack.GetLast(), stack[0])) {
      stack.Pop();
      sources.Pop();
    }
    const Bool removed = stack.GetCount() != n;
    if (removed || (start != 0 && !maintainStart)) {
      // With maintainStart the point that came first comes first again, if it survived.
      Int front = 0;
      if (maintainStart)
        front = (std::find(sources.begin(), sources.end(), Int{0}) - sources.begin()) % stack.GetCount();
      outlinePoints = std::move(stack);
      RotateToFront(outlinePoints, front);
      changed = true;
    }
  }
  if (!maintainStart && outlinePoints.GetCount() > 1) {
    const Int leftmost = LeftmostVertex(outlinePoints);
    if (leftmost != 0) {
      RotateToFront(outlinePoints, leftmost);
      changed = true;
    }
  }
  return changed;
}

LOOP_OVERLAP_STATE GeometryUtilsImpl::GetContainmentStateForNonIntersectingLoops(Block<const Vector2d> outlinePointsA,
                                                                                 Block<const Vector2d> outlinePointsB) {
  if (outlinePointsA.GetCount() < 3 || outlinePointsB.GetCount() < 3) return LOOP_OVERLAP_STATE::DEGENERATE;
  // "On the other loop's boundary" is decided exactly: the edge-hit report of the winding number
  // counts points level with a horizontal edge's line, which would make two squares side by side
  // coincident.
  const Int a = FirstVertexOffBoundary(outlinePointsA, outlinePointsB);
  const Bool aInB = a >= 0 && GetPointInPolygonWindingNumber2DExact(outlinePointsA[a], outlinePointsB) != 0;
  const Int b = FirstVertexOffBoundary(outlinePointsB, outlinePointsA);
  if (b >= 0) {
    if (aInB) return LOOP_OVERLAP_STATE::A_INSIDE_B;
    if (GetPointInPolygonWindingNumber2DExact(outlinePointsB[b], outlinePointsA) != 0)
      return LOOP_OVERLAP_STATE::B_INSIDE_A;
    return LOOP_OVERLAP_STATE::DISJOINT;
  }
  if (a < 0) return LOOP_OVERLAP_STATE::COINCIDENT;
  return aInB ? LOOP_OVERLAP_STATE::A_INSIDE_B : LOOP_OVERLAP_STATE::DISJOINT;
}

Bool GeometryUtilsImpl::AreLoopsEqualToWithinTolerance(Block<const Vector2d> loopA, Block<const Vector2d> loopB,
                                                       Bool allowCyclicRotation, Bool ignoreTranslationOffset,
                                                       Float tol) {
  const Int n = loopA.GetCount();
  if (n != loopB.GetCount()) return false;
  if (n == 0) return true;
  const Int startA = allowCyclicRotation ? LeftmostVertex(loopA) : 0;
  const Int startB = allowCyclicRotation ? LeftmostVertex(loopB) : 0;
  const Vector2d offset = ignoreTranslationOffset ? loopB[startB] - loopA[startA] : Vector2d{};
  auto matches = [&](const Vector2d& a, const Vector2d& b) {
    return std::fabs(a.x + offset.x - b.x) <= tol && std::fabs(a.y + offset.y - b.y) <= tol;
  };
  Bool forward = true, backward = allowCyclicRotation;
  for (Int step = 0; step < n && (forward || backward); ++step) {
    const Vector2d& a = loopA[(startA + step) % n];
    forward = forward && matches(a, loopB[(startB + step) % n]);
    backward = backward && matches(a, loopB[(startB - step + n) % n]);
  }
  return forward || backward;
}

}  // namespace zemox
