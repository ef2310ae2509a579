#pragma once

#include <atomic>
#include <utility>

#include "zemox/memory.h"
#include "zemox/result.h"

namespace zemox {

class JobGroup;

// A unit of work that runs on a host worker, inside a job group. The work can ask whether it has
// been cancelled and should stop.
class Job {
 public:
  virtual ~Job() = default;
  JobGroup* GetGroup() const { return group_; }
  Bool IsCancelled() const { return cancelled_.load(std::memory_order_acquire); }
  void Cancel() { cancelled_.store(true, std::memory_order_release); }

 protected:
  virtual void Run() = 0;

 private:
  friend class JobGroup;
  JobGroup* group_ = nullptr;
  std::atomic<Bool> cancelled_{false};
};

// The job the calling thread is running, or null outside any job.
Job* GetCurrentJob();

// A set of jobs that are started and waited for together.
class JobGroup {
 public:
  JobGroup();
  JobGroup(const JobGroup&) = delete;
  JobGroup& operator=(const JobGroup&) = delete;
  // Waits for the running jobs, then releases all of them.
  ~JobGroup();

  // Queues `work` as a new job of the group; it runs after Start.
  template <typename Work>
  Result<Job*> Add(Work&& work) {
    struct WorkJob final : Job {
      explicit WorkJob(Work&& w) : work(std::forward<Work>(w)) {}
      void Run() override { work(); }
      std::decay_t<Work> work;
    };
    WorkJob* job = NewObject<WorkJob>(std::forward<Work>(work));
    if (job == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
    const Result<void> added = Adopt(job);
    if (!added) {
      DeleteObject(static_cast<Job*>(job));
      return added.GetError();
    }
    return static_cast<Job*>(job);
  }

  // Starts every queued job on the host's workers.
  Result<void> Start();
  // Returns when every started job has finished.
  void Wait();
  // Marks every job of the group cancelled, including those not yet started.
  void Cancel();

 private:
  struct State;
  Result<void> Adopt(Job* job);
  static void RunJob(Job* job);

  State* state_;
};

}  // namespace zemox
