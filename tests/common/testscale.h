#pragma once

#include "zemox/types.h"

namespace zemox {

// Input sizes for tests that run the same cases in both presets: the sanitizer build is many times
// slower, so it takes the smaller size.
constexpr Int SanitizerScaled(Int release, Int sanitized) {
#if defined(__SANITIZE_ADDRESS__)
  static_cast<void>(release);
  return sanitized;
#else
  static_cast<void>(sanitized);
  return release;
#endif
}

}  // namespace zemox
