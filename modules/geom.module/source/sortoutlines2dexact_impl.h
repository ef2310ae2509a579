#pragma once

#include "sortoutlines2dbase_impl.h"

namespace zemox {

// Nesting decided exactly: two polylines whose boxes overlap are tested for touching or crossing
// with the exact outline test, and otherwise one vertex of the smaller box's polyline is located in
// the other with the exact winding number. Many or large pairs are classified on the host's workers.
class SortOutlines2DExactImpl final : public SortOutlines2DBaseImpl {
 protected:
  Result<void> InitGraph() override;
};

}  // namespace zemox
