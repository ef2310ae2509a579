#pragma once

#include "zemox/enumeration.h"
#include "zemox/interface.h"
#include "zemox/object.h"

namespace zemox {

// Kinds of input an outline-processing component accepts (flags).
ZEMOX_ENUM(OUTLINEPROCESSING_INPUT, "OUTLINEPROCESSING_INPUT", "net.zemox.private_geom.enum.outlineprocessing_input",
           (NONE, 0), (HOLES, 2), (DEGENERATED, 4), (INPUT2D, 8), (INPUT3D, 16))

// Base of the outline-processing components.
class OutlineProcessingInterface : public Object {
 public:
  ZEMOX_INTERFACE("net.zemox.private_geom.interface.outlineprocessing", 1)

  // The kinds of input the component accepts.
  ZEMOX_VIRTUAL_CONST_SLOT(0, OUTLINEPROCESSING_INPUT, GetSupportedInput)
};

}  // namespace zemox
