#pragma once

#include <algorithm>
#include <type_traits>
#include <utility>

#include "zemox/result.h"

namespace zemox {

// Host-wide switch: when off, every ParallelFor and ParallelSort runs on the calling thread. Results
// must not depend on it. Returns the previous setting.
Bool EnableParallelExecution(Bool enable);
Bool IsParallelExecutionEnabled();

// Number of workers a parallel body may run on (1 while parallel execution is off), and the index in
// [0, WorkerCount()) of the worker running the calling body: per-worker scratch storage is sized by
// the first and addressed by the second.
Int WorkerCount();
Int CurrentWorkerIndex();

namespace detail {
using RangeBody = void (*)(void* context, Int begin, Int end);
using TaskBody = void (*)(void* context);
Result<void> ParallelForRange(Int count, Int granularity, RangeBody body, void* context);
Result<void> ParallelInvoke(TaskBody first, void* firstContext, TaskBody second, void* secondContext);
}  // namespace detail

// Runs body(index) for every index in [0, count) on the host's workers, in chunks of at least
// `granularity` indices; returns once every index has run. Bodies must write disjoint data or
// per-worker storage. Fails with out-of-memory only when the workers cannot be started; then some
// indices may not have run.
template <typename Body>
Result<void> ParallelFor(Int count, Body&& body, Int granularity = 1) {
  auto runRange = [](void* context, Int begin, Int end) {
    auto& target = *static_cast<std::remove_reference_t<Body>*>(context);
    for (Int index = begin; index < end; ++index) target(index);
  };
  return detail::ParallelForRange(count, granularity, runRange, &body);
}

// Sorts [first, last) by `less`, splitting the work among the host's workers down to ranges of
// `granularity` elements, which are sorted on one thread. Not stable.
template <typename T, typename Less>
Result<void> ParallelSort(T* first, T* last, Less less, Int granularity) {
  const Int count = last - first;
  if (count <= granularity || count < 3 || !IsParallelExecutionEnabled()) {
    std::sort(first, last, less);
    return OK();
  }
  // Median of three keeps the split balanced on presorted input.
  T* middle = first + count / 2;
  if (less(*middle, *first)) std::swap(*middle, *first);
  if (less(*(last - 1), *middle)) std::swap(*(last - 1), *middle);
  if (less(*middle, *first)) std::swap(*middle, *first);
  const T pivot = *middle;
  T* lowEnd = std::partition(first, last, [&](const T& value) { return less(value, pivot); });
  T* highBegin = std::partition(lowEnd, last, [&](const T& value) { return !less(pivot, value); });

  struct Part {
    T* first;
    T* last;
    Less less;
    Int granularity;
    Result<void> result;
  };
  Part low{first, lowEnd, less, granularity, OK()};
  Part high{highBegin, last, less, granularity, OK()};
  auto sortPart = [](void* context) {
    Part& part = *static_cast<Part*>(context);
    part.result = ParallelSort(part.first, part.last, part.less, part.granularity);
  };
  ZEMOX_RETURN_IF_FAILED(detail::ParallelInvoke(sortPart, &low, sortPart, &high));
  if (!low.result) return low.result;
  return high.result;
}

}  // namespace zemox
