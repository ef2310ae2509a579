#include <gtest/gtest.h>

#include <map>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "common/testscale.h"
#include "private_geom/redblacktree.h"
#include "unittests/redblacktreevalidator.h"
#include "zemox/memory.h"

namespace zemox {
namespace {

constexpr Int sizeScale = SanitizerScaled(1, 4);

using IntTree = RedBlackTree<Int, DefaultComparator>;
using IntNode = IntTree::Node;

// A tree with the comparator it points at.
template <typename Comparator = DefaultComparator>
struct Fixture {
  Comparator comparator;
  RedBlackTree<Int, Comparator> tree{&comparator};
};

// The keys of the in-order walk; a walk longer than the count stops one key past it (a broken tree
// may cycle). A non-const tree refreshes its cached first node on the way.
template <typename Tree>
std::vector<Int> InOrder(Tree& tree) {
  std::vector<Int> keys;
  for (auto* node = tree.GetFirst(); tree.IsNode(node) && static_cast<Int>(keys.size()) <= tree.GetCount();
       node = tree.GetNext(node))
    keys.push_back(node->key);
  return keys;
}

template <typename Tree>
void ExpectValid(const Tree& tree) {
  const Result<void> valid = ValidateRedBlackTree(tree);
  EXPECT_TRUE(valid) << valid.GetError().Message();
}

std::vector<Int> Range(Int first, Int end) {
  std::vector<Int> keys(static_cast<size_t>(end - first));
  std::iota(keys.begin(), keys.end(), first);
  return keys;
}

template <typename Tree>
void InsertAll(Tree& tree, const std::vector<Int>& keys) {
  for (const Int key : keys) ASSERT_TRUE(tree.Insert(key).IsOk()) << key;
}

template <typename T>
Result<void> Discard(Result<T>&& result) {
  if (!result.IsOk()) return result.TakeError();
  return OK();
}

template <typename Tree>
Result<void> EraseKey(Tree& tree, Int key) {
  Bool erased = false;
  return Discard(tree.Erase(key, erased));
}

// Runs the call with the next host allocation armed to fail: the call must not allocate.
template <typename Call>
auto WithoutAllocating(Call call) {
  FailAllocationAfter(1);
  auto result = call();
  const Bool allocated = AllocationFailureDelivered();
  FailAllocationAfter(0);
  EXPECT_FALSE(allocated);
  return result;
}

// The node under which a descent places `key` (the header of an empty tree), found independently
// of the tree's own descent.
IntNode* PositionFor(const IntTree& tree, Int key) {
  IntNode* position = tree.GetHeader();
  for (IntNode* node = tree.GetRoot(); node != tree.GetNil(); node = key < node->key ? node->left : node->right)
    position = node;
  return position;
}

// Action 0-2: Insert; 3-5 for an absent key: InsertInPosition, InsertAtSide (5) at the place found
// independently; 8 and 9 for a present key: Erase(node), EraseAndGetNext through its handle; any
// other: Erase(key).
struct Step {
  Int key;
  unsigned action;
};

Result<IntNode*> InsertBy(IntTree& tree, Int key, unsigned action) {
  if (action < 3) return tree.Insert(key);
  IntNode* const position = PositionFor(tree, key);
  if (action < 5) return tree.InsertInPosition(key, position);
  const Bool left = position == tree.GetHeader() || key < position->key;
  return tree.InsertAtSide(key, position, left ? COMPARERESULT::LESS : COMPARERESULT::GREATER);
}

// The successor of the erased node; null from Erase(node), which reports none.
Result<IntNode*> EraseBy(IntTree& tree, IntNode* handle, Int key, unsigned action, Bool& erased) {
  if (handle == nullptr || action < 8) return tree.Erase(key, erased);
  erased = true;
  if (action == 9) return tree.EraseAndGetNext(handle);
  ZEMOX_RETURN_IF_FAILED(tree.Erase(handle));
  return nullptr;
}

std::vector<Step> RandomSteps(unsigned seed, Int keyRange, Int count) {
  std::mt19937 random(seed);
  std::uniform_int_distribution<Int> keys(0, keyRange - 1);
  std::vector<Step> steps;
  for (Int i = 0; i < count / sizeScale; ++i) steps.push_back({keys(random), static_cast<unsigned>(random() % 10)});
  return steps;
}

// Monotone runs drive the rebalancing through the same rotations again and again: every key inserted
// in order, then erased in the same order, the operations taking turns.
std::vector<Step> MonotoneSteps(Bool descending) {
  const Int count = 1024 / sizeScale;
  std::vector<Step> steps;
  for (const unsigned first : {0u, 6u}) {
    for (Int i = 0; i < count; ++i)
      steps.push_back({descending ? count - 1 - i : i, first + static_cast<unsigned>(i % (first == 0 ? 6 : 4))});
  }
  return steps;
}

class RedBlackTreeSequenceTest : public testing::TestWithParam<std::vector<Step>> {};

// Checked after every step against a std::set: the tree is valid with the set's keys and last key, every
// handle taken stays at its address with its key until its key is erased, and a SortedSet given the
// same keys agrees. Erasing allocates nothing, and neither does Init on a tree that has its sentinel,
// which empties it as Reset does.
TEST_P(RedBlackTreeSequenceTest, MatchesModelAfterEveryStep) {
  Fixture<> fixture;
  IntTree& tree = fixture.tree;
  SortedSet<Int> set;
  ASSERT_TRUE(tree.Init() && set.Init());
  std::set<Int> model;
  std::map<Int, IntNode*> handles;
  for (const auto& [key, action] : GetParam()) {
    const Bool present = model.contains(key);
    if (action < 3 || (action < 6 && !present)) {
      const Result<IntNode*> inserted = InsertBy(tree, key, action);
      ASSERT_TRUE(inserted && set.Insert(key));
      EXPECT_TRUE(!present || inserted.Value() == handles[key]) << "existing node returned for " << key;
      handles[key] = inserted.Value();
      model.insert(key);
    } else {
      const auto successor = model.upper_bound(key);
      IntNode* const expectedNext = present && successor != model.end() ? handles[*successor] : tree.GetNil();
      Bool erased = !present;
      const Result<IntNode*> next =
          WithoutAllocating([&] { return EraseBy(tree, present ? handles[key] : nullptr, key, action, erased); });
      ASSERT_TRUE(next);
      EXPECT_EQ(erased, present);
      EXPECT_EQ(next.Value(), present && action == 8 ? nullptr : expectedNext) << "successor of " << key;
      EXPECT_EQ(WithoutAllocating([&] { return set.Erase(key); }).Value(), present);
      model.erase(key);
      handles.erase(key);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectValid(tree)) << "key " << key << " action " << action;
    ASSERT_EQ(InOrder(tree), std::vector<Int>(model.begin(), model.end())) << "key " << key << " action " << action;
    ASSERT_EQ(tree.GetLast(), model.empty() ? tree.GetNil() : handles[*model.rbegin()]);
    ASSERT_EQ(set.GetCount(), tree.GetCount());
    ASSERT_EQ(set.Contains(key).Value(), model.contains(key));
    for (const auto& [heldKey, node] : handles) {
      ASSERT_EQ(node->key, heldKey);
      ASSERT_EQ(tree.Find(heldKey).Value(), node);
    }
  }
  IntNode* const nil = tree.GetNil();
  ASSERT_TRUE(WithoutAllocating([&] { return tree.Init(); }));
  EXPECT_EQ(tree.GetNil(), nil);
  EXPECT_EQ(InOrder(tree), std::vector<Int>{});
  InsertAll(tree, {1});
  ExpectValid(tree);
}

INSTANTIATE_TEST_SUITE_P(Sequences, RedBlackTreeSequenceTest,
                         testing::Values(RandomSteps(1, 8, 2000), RandomSteps(2, 64, 4000), RandomSteps(3, 1000, 4000),
                                         RandomSteps(4, 100000, 3000), MonotoneSteps(false), MonotoneSteps(true)));

// One misuse of the tree, the error it must give, and whether the tree of keys 1..7 it started from
// must be left as it was.
struct ErrorCase {
  const char* name;
  Bool initialized;
  Result<void> (*call)(IntTree& tree);
  Id errorClass;
  const char* message;
};

class RedBlackTreeErrorTest : public testing::TestWithParam<ErrorCase> {};

TEST_P(RedBlackTreeErrorTest, ReportsExactError) {
  const ErrorCase& param = GetParam();
  Fixture<> fixture;
  IntTree& tree = fixture.tree;
  if (param.initialized) {
    ASSERT_TRUE(tree.Init());
    InsertAll(tree, Range(1, 8));
  }
  const Result<void> result = param.call(tree);
  ASSERT_FALSE(result.IsOk());
  EXPECT_EQ(result.GetError().Class(), param.errorClass);
  EXPECT_EQ(result.GetError().Message(), param.message);
  EXPECT_TRUE(std::string(result.GetError().File()).ends_with("redblacktree.h")) << result.GetError().File();
  if (!param.initialized) return;
  ExpectValid(tree);
  EXPECT_EQ(InOrder(tree), Range(1, 8));
}

IntNode* NodeOf(IntTree& tree, Int key) { return tree.Find(key).Value(); }

const ErrorCase errorCases[] = {
    {"EraseKeyUninitialized", false, [](IntTree& t) { return EraseKey(t, 1); }, IllegalStateError,
     "Erase: Attempting to delete a node from an uninitialized tree."},
    {"InsertUninitialized", false, [](IntTree& t) { return Discard(t.Insert(1)); }, IllegalArgumentError,
     "Insert: Attempting to insert into uninitialized position."},
    {"InsertUnderSentinel", true, [](IntTree& t) { return Discard(t.InsertInPosition(9, t.GetNil())); },
     IllegalArgumentError, "InsertInPosition: Attempting to insert into uninitialized position."},
    {"InsertIntoOccupiedPosition", true, [](IntTree& t) { return Discard(t.InsertInPosition(0, t.GetRoot())); },
     IllegalArgumentError, "InsertInPosition: Attempting to insert into an occupied position."},
    {"EraseNullNode", true, [](IntTree& t) { return t.Erase(nullptr); }, IllegalArgumentError,
     "Erase: Attempting to delete a null node."},
    {"InsertAtSideEqual", true,
     [](IntTree& t) { return Discard(t.InsertAtSide(0, NodeOf(t, 1), COMPARERESULT::EQUAL)); }, IllegalArgumentError,
     "InsertAtSide: The side of the position must be LESS or GREATER."},
    {"InsertAtSideOccupied", true,
     [](IntTree& t) { return Discard(t.InsertAtSide(0, t.GetRoot(), COMPARERESULT::LESS)); }, IllegalArgumentError,
     "InsertAtSide: Attempting to insert into an occupied position."},
    {"EraseAndGetNextNullNode", true, [](IntTree& t) { return Discard(t.EraseAndGetNext(nullptr)); },
     IllegalArgumentError, "Erase: Attempting to delete a null node."},
    {"EraseSentinel", true, [](IntTree& t) { return t.Erase(t.GetNil()); }, IllegalStateError, ""},
};

INSTANTIATE_TEST_SUITE_P(Misuse, RedBlackTreeErrorTest, testing::ValuesIn(errorCases),
                         [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// Orders Int keys but refuses the comparison once its countdown runs out.
struct FallibleComparator {
  Int callsUntilFailure = 0;
  Error failure = ZEMOX_ERROR_IN("Compare", IllegalArgumentError, "comparison refused");
  Result<COMPARERESULT> Compare(Int a, Int b) {
    if (callsUntilFailure > 0 && --callsUntilFailure == 0) return failure;
    return DefaultComparator().Compare(a, b);
  }
};

using FallibleTree = RedBlackTree<Int, FallibleComparator>;

using ComparingCall = Result<void> (*)(FallibleTree&);
class RedBlackTreeComparatorFailureTest : public testing::TestWithParam<ComparingCall> {};

// For k = 1, 2, ...: the k-th comparison fails; the error comes back unchanged and the tree is as it
// was, until the call needs fewer than k comparisons and succeeds.
TEST_P(RedBlackTreeComparatorFailureTest, ErrorPassesThroughUnchanged) {
  Fixture<FallibleComparator> fixture;
  FallibleTree& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  InsertAll(tree, Range(0, 64));
  Int k = 1;
  for (;; ++k) {
    fixture.comparator.callsUntilFailure = k;
    const Result<void> result = GetParam()(tree);
    if (result.IsOk()) break;
    EXPECT_EQ(result.GetError().Message(), "comparison refused");
    EXPECT_EQ(result.GetError().File(), fixture.comparator.failure.File());
    EXPECT_EQ(result.GetError().Line(), fixture.comparator.failure.Line());
    ExpectValid(tree);
    ASSERT_EQ(InOrder(tree), Range(0, 64)) << "k = " << k;
  }
  EXPECT_GT(k, 1);
  ExpectValid(tree);
}

const ComparingCall comparingCalls[] = {
    [](FallibleTree& t) { return Discard(t.Insert(100)); }, [](FallibleTree& t) { return Discard(t.Insert(17)); },
    [](FallibleTree& t) { return Discard(t.InsertInPosition(100, t.GetLast())); },
    [](FallibleTree& t) { return EraseKey(t, 40); }, [](FallibleTree& t) { return Discard(t.Find(3)); }};

INSTANTIATE_TEST_SUITE_P(Operations, RedBlackTreeComparatorFailureTest, testing::ValuesIn(comparingCalls));

}  // namespace
}  // namespace zemox
