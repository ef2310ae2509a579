#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <random>
#include <string>
#include <vector>

#include "zemox/basearray.h"
#include "zemox/jobs.h"
#include "zemox/parallel.h"
#include "zemox/registry.h"
#include "zemox/string.h"

namespace zemox {
namespace {

TEST(IdTest, HashMatchesIndependentComputation) {
  // The hash written out independently: 43-bit polynomial hash, length from bit 44.
  const auto referenceHash = [](std::string_view text) {
    UInt h = 0;
    for (unsigned char c : text) h = (h * 31 + c) % (UInt{1} << 43);
    return h + text.size() * (UInt{1} << 44);
  };
  for (const char* text : {"", "a", "net.zemox.geom", "net.zemox.interface.exactpredicates2d",
                           "net.zemox.private_geom.interface.intersectingoutlinesprocessing.nonrobust", "Reset"})
    EXPECT_EQ(Id(text).Hash(), referenceHash(text)) << text;
}

Error RaiseInReset() { return ZEMOX_ERROR(IllegalStateError, "@: Attempting to reset an uninitialized tree."); }

// A leading placeholder takes the operation's name, the others the arguments in order.
TEST(ErrorTest, PlaceholdersTakeOperationNameAndArguments) {
  const Error error = RaiseInReset();
  EXPECT_EQ(error.Message(), "RaiseInReset: Attempting to reset an uninitialized tree.");
  EXPECT_NE(std::string(error.File()).find("host_test.cpp"), std::string::npos);
  EXPECT_EQ(ZEMOX_ERROR(IllegalArgumentError, "count @ of @ (@, @)", Int{-12}, "points", 0.5, true).Message(),
            "count -12 of points (0.5, true)");
  // Formatted text outside an error lives in host memory, which may be refused.
  FailAllocationAfter(1);
  const Result<String> failed = FormatString("@", Int{1});
  FailAllocationAfter(0);
  EXPECT_TRUE(!failed && failed.GetError().Is(OutOfMemoryError));
}

// For k = 1, 2, ...: the k-th allocation fails while an array of arrays grows; the growth reports
// out-of-memory, the elements stay and the array grows again afterwards.
TEST(BaseArrayTest, AllocationFailureSweepKeepsContent) {
  for (Int k = 1;; ++k) {
    BaseArray<BaseArray<Int>> values;
    FailAllocationAfter(k);
    Int appended = 0;
    Result<void> outcome = OK();
    while (appended < 100 && (outcome = values.Append(BaseArray<Int>()))) ++appended;
    if (outcome) outcome = values.Resize(5000);
    const Bool delivered = AllocationFailureDelivered();
    FailAllocationAfter(0);
    ASSERT_TRUE(delivered || outcome);
    if (!delivered) break;
    EXPECT_TRUE(!outcome && outcome.GetError().Is(OutOfMemoryError));
    EXPECT_EQ(values.GetCount(), appended);
    ASSERT_TRUE(values.Resize(10));
  }
}

// Both storage paths: reallocation in place for plain data, move into a new block otherwise.
template <typename T>
void ExpectShrinkKeepsContent() {
  BaseArray<T> values;
  ASSERT_TRUE(values.Resize(1000));
  for (Int i = 0; i < 100; ++i) values[i] = T{i};
  ASSERT_TRUE(values.Resize(100));
  FailAllocationAfter(1);
  const Result<void> failed = values.ShrinkToFit();
  FailAllocationAfter(0);
  EXPECT_TRUE(!failed && failed.GetError().Is(OutOfMemoryError));
  EXPECT_EQ(values.GetCapacity(), 1000);
  ASSERT_TRUE(values.ShrinkToFit());
  EXPECT_EQ(values.GetCapacity(), 100);
  for (Int i = 0; i < 100; ++i) EXPECT_EQ(values[i], T{i});
}

TEST(BaseArrayTest, ShrinkToFitReleasesSurplusCapacity) {
  ExpectShrinkKeepsContent<Int>();
  ExpectShrinkKeepsContent<std::vector<Int>>();
}

class ParallelTest : public ::testing::TestWithParam<Bool> {
 protected:
  void SetUp() override { previous_ = EnableParallelExecution(GetParam()); }
  void TearDown() override { EnableParallelExecution(previous_); }
  Bool previous_ = true;
};

TEST_P(ParallelTest, EveryIndexRunsOnceWithValidWorkerIndex) {
  constexpr Int count = 100000;
  std::vector<std::atomic<int>> hits(count);
  std::atomic<bool> workerIndexValid{true};
  const Int workers = WorkerCount();
  ASSERT_TRUE(ParallelFor(count, [&](Int index) {
    hits[index].fetch_add(1);
    if (CurrentWorkerIndex() < 0 || CurrentWorkerIndex() >= workers) workerIndexValid = false;
  }));
  EXPECT_TRUE(std::all_of(hits.begin(), hits.end(), [](const std::atomic<int>& hit) { return hit == 1; }));
  EXPECT_TRUE(workerIndexValid);
  EXPECT_TRUE(GetParam() || workers == 1);
}

// Random keys with many duplicates, a descending run, and a single repeated key (one bucket gets all).
TEST_P(ParallelTest, SortGivesTheSameOrderEitherWay) {
  std::mt19937_64 random(12345);
  for (const Int modulus : {Int{5000}, Int{0}, Int{1}}) {
    std::vector<Int> values(200000);
    for (Int i = 0; i < static_cast<Int>(values.size()); ++i) values[i] = modulus == 0 ? -i : Int(random() % modulus);
    std::vector<Int> expected = values;
    std::sort(expected.begin(), expected.end());
    ASSERT_TRUE(ParallelSort(values.data(), values.data() + values.size(), std::less<Int>(), 1000));
    EXPECT_EQ(values, expected) << modulus;
  }
}

INSTANTIATE_TEST_SUITE_P(SerialAndParallel, ParallelTest, ::testing::Values(false, true),
                         [](const auto& info) { return info.param ? "Parallel" : "Serial"; });

// A job sees its group and whether it was cancelled: a group cancelled before it starts cancels its
// jobs before their loops run. Outside a job there is no current job.
TEST(JobTest, JobSeesItsGroupAndItsCancellation) {
  for (const Bool cancel : {true, false}) {
    JobGroup group;
    std::atomic<int> sawCancelled{-1};  // stays -1 unless the body runs as a job of this group
    ASSERT_TRUE(group.Add([&] {
      Job* current = GetCurrentJob();
      if (current != nullptr && current->GetGroup() == &group) sawCancelled = current->IsCancelled() ? 1 : 0;
    }));
    if (cancel) group.Cancel();
    ASSERT_TRUE(group.Start());
    group.Wait();
    EXPECT_EQ(sawCancelled.load(), cancel ? 1 : 0);
  }
  EXPECT_EQ(GetCurrentJob(), nullptr);
}

std::atomic<int> liveCounters{0};

struct Counter final : Object {
  Counter() { ++liveCounters; }
  ~Counter() override { --liveCounters; }
};

Result<Object*> MakeCounter() {
  if (Object* counter = NewObject<Counter>()) return counter;
  return ZEMOX_ERROR(OutOfMemoryError);
}

TEST(RegistryTest, RegisterLookUpCreateAndWithdraw) {
  const Id classId = "net.zemox.test.counter";
  const Id registryId = "net.zemox.test.registry";
  {
    Registration classRecord({.kind = RecordKind::CLASS, .id = classId, .factory = MakeCounter});
    Registration entry({.kind = RecordKind::REGISTRYENTRY, .id = classId, .owner = registryId});
    Registration duplicate({.kind = RecordKind::CLASS, .id = classId, .factory = MakeCounter});
    EXPECT_FALSE(duplicate.IsRegistered());

    Result<Object*> created = CreateObjectFromRegistry(registryId, classId);
    ASSERT_TRUE(created);
    {
      Ref<Object> reference(created.Value());
      Ref<Object> second = reference;
      EXPECT_EQ(liveCounters.load(), 1);
    }
    EXPECT_EQ(liveCounters.load(), 0);
    const Result<Object*> missing = CreateObjectFromRegistry("net.zemox.test.other", classId);
    EXPECT_TRUE(!missing && missing.GetError().Is(IllegalArgumentError));
  }
  EXPECT_FALSE(CreateObject(classId));
}

}  // namespace
}  // namespace zemox
