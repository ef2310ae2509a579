#pragma once

#include "zemox/id.h"

namespace zemox {

// Error class of geometrically degenerate input to the geometry utilities.
inline constexpr Id DegeneratedInputError{"net.zemox.error.degeneratedinput"};
inline constexpr Id DegeneratedInputErrorInterfaceId{"net.zemox.interface.degeneratedinputerror"};

}  // namespace zemox
