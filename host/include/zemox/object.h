#pragma once

#include <atomic>
#include <utility>

#include "zemox/memory.h"
#include "zemox/types.h"

namespace zemox {

// Base of component objects: reference-counted, created from a class identifier, destroyed by the
// host when the last reference goes.
class Object {
 public:
  virtual ~Object() = default;

  void AddReference() { references_.fetch_add(1, std::memory_order_relaxed); }
  void RemoveReference() {
    if (references_.fetch_sub(1, std::memory_order_acq_rel) == 1) DeleteObject(this);
  }

 private:
  std::atomic<Int> references_{1};
};

// Counted reference to a component object.
template <typename T>
class Ref {
 public:
  Ref() = default;
  // Takes over the reference the caller holds.
  explicit Ref(T* object) : object_(object) {}
  Ref(const Ref& other) : object_(other.object_) {
    if (object_ != nullptr) object_->AddReference();
  }
  Ref(Ref&& other) noexcept : object_(std::exchange(other.object_, nullptr)) {}
  Ref& operator=(Ref other) noexcept {
    std::swap(object_, other.object_);
    return *this;
  }
  ~Ref() {
    if (object_ != nullptr) object_->RemoveReference();
  }

  T* Get() const { return object_; }
  T* operator->() const { return object_; }
  T& operator*() const { return *object_; }
  explicit operator bool() const { return object_ != nullptr; }

 private:
  T* object_ = nullptr;
};

}  // namespace zemox
