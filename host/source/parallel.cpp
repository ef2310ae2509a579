#include "zemox/parallel.h"

#include <oneapi/tbb/blocked_range.h>
#include <oneapi/tbb/parallel_for.h>
#include <oneapi/tbb/task_arena.h>

#include <atomic>
#include <new>

#include "handoff.h"

namespace zemox {
namespace {

std::atomic<Bool> parallelExecution{true};

}  // namespace

Bool EnableParallelExecution(Bool enable) { return parallelExecution.exchange(enable); }

Bool IsParallelExecutionEnabled() { return parallelExecution.load(std::memory_order_relaxed); }

Int WorkerCount() {
  if (!IsParallelExecutionEnabled()) return 1;
  return tbb::this_task_arena::max_concurrency();
}

Int CurrentWorkerIndex() {
  if (!IsParallelExecutionEnabled()) return 0;
  const int index = tbb::this_task_arena::current_thread_index();
  // A thread that has not joined the arena (it runs no parallel body) counts as the first worker.
  return index < 0 ? 0 : index;
}

namespace detail {

Result<void> ParallelForRange(Int count, Int granularity, RangeBody body, void* context) {
  if (count <= 0) return OK();
  if (!IsParallelExecutionEnabled()) {
    body(context, 0, count);
    return OK();
  }
  const char start = 0;
  const char finish = 0;
  HandOver(&start);
  try {
    tbb::parallel_for(tbb::blocked_range<Int>(0, count, granularity < 1 ? 1 : granularity),
                      [&](const tbb::blocked_range<Int>& range) {
                        TakeOver(&start);
                        body(context, range.begin(), range.end());
                        HandOver(&finish);
                      });
  } catch (const std::bad_alloc&) {
    return ZEMOX_ERROR(OutOfMemoryError);
  }
  TakeOver(&finish);
  return OK();
}

}  // namespace detail
}  // namespace zemox
