#pragma once

#include "zemox/enumeration.h"
#include "zemox/object.h"
#include "zemox/registry.h"

namespace zemox {

// Kinds of input an outline-processing component accepts (flags).
ZEMOX_ENUM(OUTLINEPROCESSING_INPUT, "OUTLINEPROCESSING_INPUT", "net.zemox.private_geom.enum.outlineprocessing_input",
           (NONE, 0), (HOLES, 2), (DEGENERATED, 4), (INPUT2D, 8), (INPUT3D, 16))

inline constexpr Id OutlineProcessingInterfaceId{"net.zemox.private_geom.interface.outlineprocessing"};

// Base of the outline-processing components.
class OutlineProcessingInterface : public Object {
 public:
  virtual OUTLINEPROCESSING_INPUT GetSupportedInput() const = 0;
};

}  // namespace zemox
