#pragma once

#include "sortoutlines2dbase_impl.h"

namespace zemox {

// Nesting decided by bounding boxes alone: a box strictly inside another counts as nested, boxes
// that overlap otherwise count as crossing outlines. Cheap, and wrong wherever an outline does not
// fill its box (a small square beside an L-shape, inside the L's box, counts as nested).
class SortOutlines2DFastImpl final : public SortOutlines2DBaseImpl {
 protected:
  Result<void> InitGraph() override;
};

}  // namespace zemox
