#pragma once

#include <string_view>

#include "zemox/error.h"
#include "zemox/result.h"

namespace zemox {

// Checks of the module's self-tests: a failed check is an error that names it.
inline Result<void> Expect(Bool condition, const char* check) {
  if (condition) return OK();
  return ZEMOX_ERROR(IllegalStateError, "Failed check: @.", check);
}

template <typename T>
Result<void> ExpectError(const Result<T>& result, const Id& errorClass, std::string_view message, const char* check) {
  return Expect(!result.IsOk() && result.GetError().Is(errorClass) && result.GetError().Message() == message, check);
}

}  // namespace zemox
