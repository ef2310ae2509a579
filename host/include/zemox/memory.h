#pragma once

#include <new>
#include <type_traits>
#include <utility>

#include "zemox/types.h"

namespace zemox {

// The host allocator. Failure is reported by returning null, never by throwing or aborting.
void* Allocate(Int size);
void* Reallocate(void* memory, Int size);
void Release(void* memory);

// Test switch: the k-th allocation (Allocate or a growing Reallocate) from now fails, counted over
// all threads; 0 switches failure injection off. Returns the previous setting.
Int FailAllocationAfter(Int k);
// True once the armed failure has been delivered (so a sweep knows the call reached the k-th allocation).
Bool AllocationFailureDelivered();

// Constructs a T in host memory; null when the allocation fails.
template <typename T, typename... Args>
T* NewObject(Args&&... args) {
  void* memory = Allocate(sizeof(T));
  if (memory == nullptr) return nullptr;
  return new (memory) T(std::forward<Args>(args)...);
}

// Runs the destructor, then releases the memory of an object made by NewObject.
template <typename T>
void DeleteObject(T* object) {
  if (object == nullptr) return;
  if constexpr (std::is_polymorphic_v<T>) {
    void* memory = dynamic_cast<void*>(object);
    object->~T();
    Release(memory);
  } else {
    object->~T();
    Release(object);
  }
}

}  // namespace zemox
