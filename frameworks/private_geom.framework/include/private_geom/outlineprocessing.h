#pragma once

#include "zemox/object.h"
#include "zemox/registry.h"

namespace zemox {

// Kinds of input an outline-processing component accepts (flags).
enum class OUTLINEPROCESSING_INPUT : Int32 {
  NONE = 0,
  HOLES = 2,
  DEGENERATED = 4,
  INPUT2D = 8,
  INPUT3D = 16,
};

inline constexpr Id OutlineProcessingInterfaceId{"net.zemox.private_geom.interface.outlineprocessing"};

// Base of the outline-processing components.
class OutlineProcessingInterface : public Object {
 public:
  virtual OUTLINEPROCESSING_INPUT GetSupportedInput() const = 0;
};

}  // namespace zemox
