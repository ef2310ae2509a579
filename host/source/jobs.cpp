#include "zemox/jobs.h"

#include <oneapi/tbb/task_group.h>

#include <new>

#include "handoff.h"
#include "zemox/basearray.h"

namespace zemox {
namespace {

thread_local Job* currentJob = nullptr;

}  // namespace

struct JobGroup::State {
  tbb::task_group tasks;
  BaseArray<Job*> jobs;
  Int started = 0;
};

Job* GetCurrentJob() { return currentJob; }

JobGroup::JobGroup() : state_(nullptr) {}

JobGroup::~JobGroup() {
  if (state_ == nullptr) return;
  Wait();
  for (Job* job : state_->jobs) DeleteObject(job);
  DeleteObject(state_);
}

Result<void> JobGroup::Adopt(Job* job) {
  if (state_ == nullptr) {
    state_ = NewObject<State>();
    if (state_ == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
  }
  ZEMOX_RETURN_IF_FAILED(state_->jobs.Append(job));
  job->group_ = this;
  return OK();
}

void JobGroup::RunJob(Job* job) {
  TakeOver(job);
  Job* outer = currentJob;
  currentJob = job;
  job->Run();
  currentJob = outer;
  HandOver(job->group_->state_);
}

Result<void> JobGroup::Start() {
  if (state_ == nullptr) return OK();
  try {
    for (; state_->started < state_->jobs.GetCount(); ++state_->started) {
      Job* job = state_->jobs[state_->started];
      HandOver(job);
      state_->tasks.run([job] { RunJob(job); });
    }
  } catch (const std::bad_alloc&) {
    return ZEMOX_ERROR(OutOfMemoryError);
  }
  return OK();
}

void JobGroup::Wait() {
  if (state_ == nullptr) return;
  state_->tasks.wait();
  TakeOver(state_);
}

void JobGroup::Cancel() {
  if (state_ == nullptr) return;
  for (Job* job : state_->jobs) job->Cancel();
}

}  // namespace zemox
