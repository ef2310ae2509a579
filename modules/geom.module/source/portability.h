#pragma once

// Compiler extensions the module's own sources use; public headers stay standard C++.

#include "zemox/result.h"

// Evaluates a Result expression and returns its error from the enclosing function on failure;
// otherwise yields the value (for Result<void>, nothing). A GNU statement expression.
#define ZEMOX_TRY(expression)                                        \
  ({                                                                 \
    auto zemoxTryResult_ = (expression);                             \
    if (!zemoxTryResult_.IsOk()) return zemoxTryResult_.TakeError(); \
    ::zemox::ResultValue(std::move(zemoxTryResult_));                \
  })

namespace zemox {
template <typename T>
T ResultValue(Result<T>&& result) {
  return std::move(result).Value();
}
inline void ResultValue(Result<void>&&) {}
}  // namespace zemox

// Hot helpers that must be inlined whatever the optimiser's estimate, and cache prefetching.
#define ZEMOX_FORCE_INLINE [[gnu::always_inline]] inline
#define ZEMOX_PREFETCH(address) __builtin_prefetch(address)
