#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "zemox/error.h"

namespace zemox {

// Either a value or an error. Fallible operations return it; nothing is thrown across an interface.
template <typename T>
class [[nodiscard]] Result {
 public:
  Result(const T& value) : ok_(true) { new (&value_) T(value); }
  Result(T&& value) : ok_(true) { new (&value_) T(std::move(value)); }
  Result(Error error) : error_(std::move(error)) {}
  Result(Result&& other) noexcept : ok_(other.ok_), error_(std::move(other.error_)) {
    if (ok_) new (&value_) T(std::move(other.value_));
  }
  Result(const Result&) = delete;
  Result& operator=(const Result&) = delete;
  Result& operator=(Result&&) = delete;
  ~Result() {
    if (ok_) value_.~T();
  }

  Bool IsOk() const { return ok_; }
  explicit operator bool() const { return ok_; }
  T& Value() & { return value_; }
  const T& Value() const& { return value_; }
  T&& Value() && { return std::move(value_); }
  const Error& GetError() const { return error_; }
  Error&& TakeError() { return std::move(error_); }

 private:
  Bool ok_ = false;
  Error error_;
  union {
    T value_;
  };
};

template <>
class [[nodiscard]] Result<void> {
 public:
  Result() = default;
  Result(Error error) : ok_(false), error_(std::move(error)) {}

  Bool IsOk() const { return ok_; }
  explicit operator bool() const { return ok_; }
  const Error& GetError() const { return error_; }
  Error&& TakeError() { return std::move(error_); }

 private:
  Bool ok_ = true;
  Error error_;
};

// A Result<void> holding success, for symmetry with returning an error.
inline Result<void> OK() { return {}; }

}  // namespace zemox

// Evaluates a Result-returning expression and returns its error from the enclosing function on failure;
// otherwise yields the value (for Result<void>, nothing).
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
