// Two loop bodies that write one variable without synchronisation, each waiting until the other has
// started so that they surely run on different workers. The race detector must report it: the
// ordering that the host declares around its loops may not order the bodies among themselves.

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

#include "zemox/parallel.h"

int main() {
  using namespace zemox;
  constexpr int skipped = 77;
  if (WorkerCount() < 2) return skipped;
  // Relaxed, so that the meeting point itself orders nothing.
  std::atomic<Int> started{0};
  Int shared = 0;
  const Result<void> run = ParallelFor(2, [&](Int index) {
    started.fetch_add(1, std::memory_order_relaxed);
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (started.load(std::memory_order_relaxed) < 2 && std::chrono::steady_clock::now() < deadline)
      std::this_thread::yield();
    shared += index;
  });
  std::printf("ran: %d, sum: %ld\n", static_cast<int>(static_cast<bool>(run)), static_cast<long>(shared));
  return 0;
}
