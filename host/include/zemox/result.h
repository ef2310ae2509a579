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

// Returns the error of a failed Result expression from the enclosing function.
#define ZEMOX_RETURN_IF_FAILED(expression)                          \
  do {                                                              \
    if (auto&& zemoxResult_ = (expression); !zemoxResult_.IsOk()) { \
      return zemoxResult_.TakeError();                              \
    }                                                               \
  } while (false)

// `target` (a declaration or an assignable expression) receives the value of a Result expression, or
// the enclosing function returns its error.
#define ZEMOX_ASSIGN_OR_RETURN(target, expression) \
  ZEMOX_ASSIGN_OR_RETURN_(ZEMOX_CONCATENATE(zemoxResult_, __LINE__), target, expression)
#define ZEMOX_ASSIGN_OR_RETURN_(result, target, expression) \
  auto&& result = (expression);                             \
  if (!result.IsOk()) return result.TakeError();            \
  target = std::move(result).Value()
#define ZEMOX_CONCATENATE(a, b) ZEMOX_CONCATENATE_(a, b)
#define ZEMOX_CONCATENATE_(a, b) a##b
