#include "sortoutlines2dexact_impl.h"

#include <atomic>

#include "geom/exactpredicates2d.h"
#include "geometryutils_impl.h"
#include "portability.h"
#include "zemox/parallel.h"

namespace zemox {
namespace {

// How two polylines relate; a pair starts unrelated.
enum class Relation : Int32 { SECOND_INSIDE_FIRST = 0, INTERSECTING = 1, FIRST_INSIDE_SECOND = 2, UNRELATED = 3 };

// Each exact outline test sweeps both outlines, so many pairs, or one large pair, are worth spreading
// over the workers.
constexpr Int parallelPairThreshold = 3;
constexpr Int parallelVertexThreshold = 1023;

Bool Encloses(const SortedPolyline& outer, const SortedPolyline& inner) {
  return GeometryUtilsImpl::GetPointInPolygonWindingNumber2DExact(inner.points[0], outer.points.ToBlock()) != 0;
}

}  // namespace

Result<void> SortOutlines2DExactImpl::InitGraph() {
  BaseArray<PolylinePair> candidates;
  ZEMOX_TRY(CollectCandidatePairs(candidates));
  BaseArray<Relation> relations;
  ZEMOX_TRY(relations.Resize(candidates.GetCount()));
  Bool largePair = false;
  for (const PolylinePair& pair : candidates)
    largePair = largePair || polylines_[pair.first].points.GetCount() + polylines_[pair.second].points.GetCount() >
                                 parallelVertexThreshold;

  // The first failing pair claims the error slot and raises the stop flag that every pair checks.
  std::atomic<Bool> stop{false};
  Error failure;
  auto classify = [&](Int index) {
    if (stop.load(std::memory_order_relaxed)) return;
    const SortedPolyline& first = polylines_[candidates[index].first];
    const SortedPolyline& second = polylines_[candidates[index].second];
    Result<Bool> touching = ExactPredicates2DInterface::OutlinesIntersectionTest(first.points, second.points);
    if (!touching) {
      Bool expected = false;
      if (stop.compare_exchange_strong(expected, true)) failure = touching.TakeError();
      return;
    }
    // Outlines that neither touch nor cross nest exactly when one vertex of the inner lies inside.
    Relation relation = Relation::UNRELATED;
    if (touching.Value())
      relation = Relation::INTERSECTING;
    else if (StrictlyContains(first.bounds, second.bounds) && Encloses(first, second))
      relation = Relation::SECOND_INSIDE_FIRST;
    else if (StrictlyContains(second.bounds, first.bounds) && Encloses(second, first))
      relation = Relation::FIRST_INSIDE_SECOND;
    relations[index] = relation;
  };
  if (candidates.GetCount() > parallelPairThreshold || largePair) {
    ZEMOX_TRY(ParallelFor(candidates.GetCount(), classify));
  } else {
    for (Int index = 0; index < candidates.GetCount(); ++index) classify(index);
  }
  if (stop.load()) return failure;

  ZEMOX_TRY(PrepareChildLists());
  for (Int index = 0; index < candidates.GetCount(); ++index) {
    const PolylinePair& pair = candidates[index];
    switch (relations[index]) {
      case Relation::SECOND_INSIDE_FIRST:
        ZEMOX_TRY(AppendChild(pair.first, pair.second));
        break;
      case Relation::INTERSECTING:
        ZEMOX_TRY(intersectingPairs_.Append(pair));
        break;
      case Relation::FIRST_INSIDE_SECOND:
        ZEMOX_TRY(AppendChild(pair.second, pair.first));
        break;
      case Relation::UNRELATED:
        break;
    }
  }
  return OK();
}

namespace {

const ComponentRegistration<SortOutlines2DExactImpl> exactClass(SortOutlines2DExactClass, SortOutlines2DInterface::ID,
                                                                SortOutlines2DRegistry);

}  // namespace
}  // namespace zemox
