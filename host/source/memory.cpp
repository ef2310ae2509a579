#include "zemox/memory.h"

#include <atomic>
#include <cstdlib>

namespace zemox {
namespace {

// Allocations left before the armed failure; 0 when failure injection is off.
std::atomic<Int> allocationsUntilFailure{0};
std::atomic<Bool> failureDelivered{false};

// Counts one allocation against the armed failure; true when this one must fail.
Bool ShouldFail() {
  Int remaining = allocationsUntilFailure.load(std::memory_order_relaxed);
  while (remaining > 0) {
    if (allocationsUntilFailure.compare_exchange_weak(remaining, remaining - 1, std::memory_order_relaxed)) {
      if (remaining != 1) return false;
      failureDelivered.store(true, std::memory_order_relaxed);
      return true;
    }
  }
  return false;
}

}  // namespace

void* Allocate(Int size) {
  if (size <= 0 || ShouldFail()) return nullptr;
  return std::malloc(static_cast<size_t>(size));
}

void* Reallocate(void* memory, Int size) {
  if (size <= 0 || ShouldFail()) return nullptr;
  return std::realloc(memory, static_cast<size_t>(size));
}

void Release(void* memory) { std::free(memory); }

Int FailAllocationAfter(Int k) {
  failureDelivered.store(false, std::memory_order_relaxed);
  return allocationsUntilFailure.exchange(k < 0 ? 0 : k, std::memory_order_relaxed);
}

Bool AllocationFailureDelivered() { return failureDelivered.load(std::memory_order_relaxed); }

}  // namespace zemox
