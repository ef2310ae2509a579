#pragma once

#include <algorithm>
#include <type_traits>
#include <utility>

#include "zemox/basearray.h"
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
Result<void> ParallelForRange(Int count, Int granularity, RangeBody body, void* context);
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

// Sorts [first, last) by `less` on the host's workers, each sorting ranges of at least
// `granularity` elements. A sorted sample of the elements gives one splitter per bucket; every worker
// counts and then copies its share of the range into the buckets through a buffer, and each bucket
// is sorted on its own and copied back. Every pass over the elements runs in parallel and nothing
// recurses. Not stable. On out-of-memory the range keeps its elements in some order.
template <typename T, typename Less>
Result<void> ParallelSort(T* first, T* last, Less less, Int granularity) {
  static_assert(std::is_trivially_copyable_v<T>, "elements are distributed by copying");
  const Int count = last - first;
  const Int bucketCount = std::min<Int>(WorkerCount(), count / std::max<Int>(granularity, 1));
  if (bucketCount < 2) {
    std::sort(first, last, less);
    return OK();
  }

  // Splitters at even steps of a sorted sample taken at even steps of the range.
  constexpr Int oversampling = 32;
  BaseArray<T> splitters;
  ZEMOX_RETURN_IF_FAILED(splitters.EnsureCapacity(bucketCount * oversampling));
  for (Int i = 0; i < bucketCount * oversampling; ++i)
    ZEMOX_RETURN_IF_FAILED(splitters.Append(first[i * count / (bucketCount * oversampling)]));
  std::sort(splitters.begin(), splitters.end(), less);
  for (Int bucket = 1; bucket < bucketCount; ++bucket) splitters[bucket - 1] = splitters[bucket * oversampling];
  ZEMOX_RETURN_IF_FAILED(splitters.Resize(bucketCount - 1));
  auto bucketOf = [&](const T& value) {
    return static_cast<Int>(std::upper_bound(splitters.begin(), splitters.end(), value, less) - splitters.begin());
  };

  // offsets[share * bucketCount + bucket]: first counts, then where the share's part of the bucket
  // starts in the buffer (buckets one after another, shares in order within a bucket).
  BaseArray<Int> offsets;
  ZEMOX_RETURN_IF_FAILED(offsets.Resize(bucketCount * bucketCount));
  auto shareBegin = [&](Int share) { return share * count / bucketCount; };
  ZEMOX_RETURN_IF_FAILED(ParallelFor(bucketCount, [&](Int share) {
    for (Int i = shareBegin(share); i < shareBegin(share + 1); ++i) ++offsets[share * bucketCount + bucketOf(first[i])];
  }));
  Int start = 0;
  for (Int bucket = 0; bucket < bucketCount; ++bucket) {
    for (Int share = 0; share < bucketCount; ++share) {
      const Int size = offsets[share * bucketCount + bucket];
      offsets[share * bucketCount + bucket] = start;
      start += size;
    }
  }

  BaseArray<T> buffer;
  ZEMOX_RETURN_IF_FAILED(buffer.Resize(count));
  ZEMOX_RETURN_IF_FAILED(ParallelFor(bucketCount, [&](Int share) {
    Int* next = &offsets[share * bucketCount];
    for (Int i = shareBegin(share); i < shareBegin(share + 1); ++i) buffer[next[bucketOf(first[i])]++] = first[i];
  }));
  // After the distribution each share's offset has moved to the start of the next share's part, so
  // bucket b spans from the end of the last share of bucket b - 1 to the end of its own last share.
  return ParallelFor(bucketCount, [&](Int bucket) {
    const Int begin = bucket == 0 ? 0 : offsets[(bucketCount - 1) * bucketCount + bucket - 1];
    const Int end = offsets[(bucketCount - 1) * bucketCount + bucket];
    std::sort(buffer.begin() + begin, buffer.begin() + end, less);
    std::copy(buffer.begin() + begin, buffer.begin() + end, first + begin);
  });
}

}  // namespace zemox
