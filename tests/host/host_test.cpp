#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <string>
#include <vector>

#include "zemox/basearray.h"
#include "zemox/jobs.h"
#include "zemox/parallel.h"
#include "zemox/registry.h"
#include "zemox/string.h"

namespace zemox {
namespace {

// The identifier hash written out independently: 43-bit polynomial hash, length from bit 44.
UInt ReferenceHash(const std::string& text) {
  UInt h = 0;
  for (unsigned char c : text) h = (h * 31 + c) % (UInt{1} << 43);
  return h + text.size() * (UInt{1} << 44);
}

TEST(IdTest, HashMatchesIndependentComputation) {
  for (const char* text : {"", "a", "net.zemox.geom", "net.zemox.interface.exactpredicates2d",
                           "net.zemox.private_geom.interface.intersectingoutlinesprocessing.nonrobust", "Reset"}) {
    EXPECT_EQ(Id(text).Hash(), ReferenceHash(text)) << text;
  }
}

Error RaiseInReset() { return ZEMOX_ERROR(IllegalStateError, "@: Attempting to reset an uninitialized tree."); }

// A leading placeholder takes the operation's name, the others the arguments in order.
TEST(ErrorTest, PlaceholdersTakeOperationNameAndArguments) {
  const Error error = RaiseInReset();
  EXPECT_TRUE(error.Is(IllegalStateError));
  EXPECT_EQ(error.Message(), "RaiseInReset: Attempting to reset an uninitialized tree.");
  EXPECT_NE(std::string(error.File()).find("host_test.cpp"), std::string::npos);
  EXPECT_GT(error.Line(), 0);

  EXPECT_EQ(ZEMOX_ERROR_IN("Init", IllegalStateError, "@: Sweep line status misses a segment.").Message(),
            "Init: Sweep line status misses a segment.");
  EXPECT_EQ(ZEMOX_ERROR(IllegalArgumentError, "count @ of @ (@, @)", Int{-12}, "points", 0.5, true).Message(),
            "count -12 of points (0.5, true)");
}

TEST(ResultTest, AssignOrReturnPassesErrorsOnUnchanged) {
  auto addOne = [](Result<Int> (*source)()) -> Result<Int> {
    ZEMOX_ASSIGN_OR_RETURN(const Int value, source());
    return value + 1;
  };
  const Result<Int> failed = addOne([]() -> Result<Int> { return ZEMOX_ERROR(IllegalArgumentError, "bad"); });
  EXPECT_TRUE(!failed && failed.GetError().Message() == std::string_view("bad"));
  EXPECT_EQ(addOne([]() -> Result<Int> { return 41; }).Value(), 42);
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
    if (!delivered) {
      ASSERT_TRUE(outcome);
      break;
    }
    ASSERT_FALSE(outcome);
    EXPECT_TRUE(outcome.GetError().Is(OutOfMemoryError));
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
  ASSERT_FALSE(failed);
  EXPECT_TRUE(failed.GetError().Is(OutOfMemoryError));
  EXPECT_EQ(values.GetCapacity(), 1000);
  ASSERT_TRUE(values.ShrinkToFit());
  EXPECT_EQ(values.GetCapacity(), 100);
  for (Int i = 0; i < 100; ++i) EXPECT_EQ(values[i], T{i});
}

TEST(BaseArrayTest, ShrinkToFitReleasesSurplusCapacity) {
  ExpectShrinkKeepsContent<Int>();
  ExpectShrinkKeepsContent<std::vector<Int>>();
}

TEST(StringTest, FormatsIntoHostMemory) {
  EXPECT_EQ(FormatString("@ @ @", Int{1}, "two", 3.25).Value().View(), "1 two 3.25");
  FailAllocationAfter(1);
  const Result<String> failed = FormatString("@", Int{1});
  FailAllocationAfter(0);
  EXPECT_TRUE(!failed && failed.GetError().Is(OutOfMemoryError));
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
  for (const Int modulus : {Int{5000}, Int{0}, Int{1}}) {
    std::vector<Int> values(200000);
    UInt state = 12345;
    for (Int i = 0; i < static_cast<Int>(values.size()); ++i) {
      state = state * 6364136223846793005ULL + 1442695040888963407ULL;
      values[i] = modulus == 0 ? -i : static_cast<Int>(state >> 40) % modulus;
    }
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
    std::atomic<int> sawCancelled{-1};
    std::atomic<bool> sawGroup{false};
    ASSERT_TRUE(group.Add([&] {
      Job* current = GetCurrentJob();
      sawGroup = current != nullptr && current->GetGroup() == &group;
      sawCancelled = current != nullptr && current->IsCancelled() ? 1 : 0;
    }));
    if (cancel) group.Cancel();
    ASSERT_TRUE(group.Start());
    group.Wait();
    EXPECT_EQ(sawCancelled.load(), cancel ? 1 : 0);
    EXPECT_TRUE(sawGroup);
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
    EXPECT_TRUE(classRecord.IsRegistered());
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
    ASSERT_FALSE(missing);
    EXPECT_TRUE(missing.GetError().Is(IllegalArgumentError));
  }
  Record found;
  EXPECT_FALSE(FindRecord(RecordKind::CLASS, classId, found));
  EXPECT_FALSE(CreateObject(classId));
}

}  // namespace
}  // namespace zemox
