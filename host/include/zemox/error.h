#pragma once

#include <atomic>
#include <cstring>
#include <string_view>
#include <utility>

#include "zemox/format.h"
#include "zemox/id.h"

namespace zemox {

// Error classes of the host.
inline constexpr Id OutOfMemoryError{"net.zemox.error.outofmemory"};
inline constexpr Id IllegalArgumentError{"net.zemox.error.illegalargument"};
inline constexpr Id IllegalStateError{"net.zemox.error.illegalstate"};
inline constexpr Id NullReferenceError{"net.zemox.error.nullreference"};
inline constexpr Id ThreadCancelledError{"net.zemox.error.threadcancelled"};

// An error: its class, the formatted message (possibly empty) and the source location of the check
// that raised it. Copies share the message text.
class Error {
 public:
  Error() = default;
  Error(const Id& errorClass, const char* file, Int32 line, std::string_view message);
  Error(const Error& other);
  Error(Error&& other) noexcept;
  Error& operator=(Error other) noexcept;
  ~Error();

  const Id& Class() const { return class_; }
  Bool Is(const Id& errorClass) const { return class_ == errorClass; }
  // Empty when the error carries no message.
  std::string_view Message() const;
  const char* File() const { return file_; }
  Int32 Line() const { return line_; }

 private:
  struct SharedText;

  Id class_;
  const char* file_ = "";
  Int32 line_ = 0;
  SharedText* message_ = nullptr;
};

// Creates an error. A message beginning with "@: " receives the operation name in front of the colon;
// the other "@" placeholders take the arguments in order.
inline Error CreateError(const Id& errorClass, const char* file, Int32 line, const char*) {
  return Error(errorClass, file, line, {});
}

template <typename... Args>
Error CreateError(const Id& errorClass, const char* file, Int32 line, const char* operation, std::string_view format,
                  const Args&... args) {
  FixedText<512> text;
  if (format.starts_with("@: "))
    FormatInto(text, format, operation, args...);
  else
    FormatInto(text, format, args...);
  return Error(errorClass, file, line, text.View());
}

}  // namespace zemox

// Error raised by the enclosing function: ZEMOX_ERROR(IllegalArgumentError, "@: No input outlines.").
#define ZEMOX_ERROR(errorClass, ...) \
  ::zemox::CreateError((errorClass), __FILE__, __LINE__, __func__ __VA_OPT__(, ) __VA_ARGS__)
// Error raised on behalf of a named operation (when the check sits in a helper of that operation).
#define ZEMOX_ERROR_IN(operation, errorClass, ...) \
  ::zemox::CreateError((errorClass), __FILE__, __LINE__, (operation)__VA_OPT__(, ) __VA_ARGS__)
