#include "sortoutlines2dfast_impl.h"

#include "portability.h"

namespace zemox {

Result<void> SortOutlines2DFastImpl::InitGraph() {
  ZEMOX_TRY(PrepareChildLists());
  BaseArray<PolylinePair> candidates;
  ZEMOX_TRY(CollectCandidatePairs(candidates));
  for (const PolylinePair& pair : candidates) {
    if (StrictlyContains(polylines_[pair.first].bounds, polylines_[pair.second].bounds))
      ZEMOX_TRY(AppendChild(pair.first, pair.second));
    else if (StrictlyContains(polylines_[pair.second].bounds, polylines_[pair.first].bounds))
      ZEMOX_TRY(AppendChild(pair.second, pair.first));
    else
      ZEMOX_TRY(intersectingPairs_.Append(pair));
  }
  return OK();
}

namespace {

const ComponentRegistration<SortOutlines2DFastImpl> fastClass(SortOutlines2DFastClass, SortOutlines2DInterface::ID,
                                                              SortOutlines2DRegistry);

}  // namespace
}  // namespace zemox
