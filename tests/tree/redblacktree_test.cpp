#include <gtest/gtest.h>

#include <algorithm>
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

// The keys of the in-order walk, or of the backward walk from the last node; a walk longer than the
// count stops one key past it (a broken tree may cycle).
template <typename Tree>
std::vector<Int> InOrder(const Tree& tree, Bool backward = false) {
  std::vector<Int> keys;
  for (auto* node = backward ? tree.GetLast() : tree.GetFirst();
       tree.IsNode(node) && static_cast<Int>(keys.size()) <= tree.GetCount();
       node = backward ? tree.GetPrevious(node) : tree.GetNext(node))
    keys.push_back(node->key);
  return keys;
}

// Valid, and the backward walk meets the keys of the forward walk in reverse.
template <typename Tree>
void ExpectValid(const Tree& tree) {
  const Result<void> valid = ValidateRedBlackTree(tree);
  EXPECT_TRUE(valid.IsOk()) << valid.GetError().File() << ":" << valid.GetError().Line() << " "
                            << valid.GetError().Message();
  const std::vector<Int> forward = InOrder(tree);
  EXPECT_EQ(InOrder(tree, true), std::vector<Int>(forward.rbegin(), forward.rend()));
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

// The node under which a descent places `key` (the header of an empty tree), found independently
// of the tree's own descent.
IntNode* PositionFor(const IntTree& tree, Int key) {
  IntNode* position = tree.GetHeader();
  for (IntNode* node = tree.GetRoot(); node != tree.GetNil(); node = key < node->key ? node->left : node->right)
    position = node;
  return position;
}

// Random mixes of Insert, InsertInPosition, Erase(key) and Erase(node), checked after every step
// against a std::set; every handle taken stays at its address with its key until its key is erased.
struct RandomCase {
  unsigned seed;
  Int keyRange;
  Int steps;
};

class RedBlackTreeRandomTest : public testing::TestWithParam<RandomCase> {};

TEST_P(RedBlackTreeRandomTest, MatchesModelAfterEveryStep) {
  const RandomCase& param = GetParam();
  Fixture<> fixture;
  IntTree& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  std::set<Int> model;
  std::map<Int, IntNode*> handles;
  std::mt19937 random(param.seed);
  std::uniform_int_distribution<Int> keys(0, param.keyRange - 1);
  for (Int step = 0; step < param.steps / sizeScale; ++step) {
    const Int key = keys(random);
    const unsigned action = random() % 10;
    const Bool present = model.contains(key);
    if (action < 3) {
      const Result<IntNode*> inserted = tree.Insert(key);
      ASSERT_TRUE(inserted);
      if (present) {
        EXPECT_EQ(inserted.Value(), handles[key]) << "existing node returned for " << key;
      }
      handles[key] = inserted.Value();
      model.insert(key);
    } else if (action < 6 && !present) {
      IntNode* const position = PositionFor(tree, key);
      const COMPARERESULT side =
          position == tree.GetHeader() || key < position->key ? COMPARERESULT::LESS : COMPARERESULT::GREATER;
      const Result<IntNode*> inserted =
          action == 5 ? tree.InsertAtSide(key, position, side) : tree.InsertInPosition(key, position);
      ASSERT_TRUE(inserted);
      handles[key] = inserted.Value();
      model.insert(key);
    } else {
      const auto successor = model.upper_bound(key);
      IntNode* const expectedNext = present && successor != model.end() ? handles[*successor] : tree.GetNil();
      if (action == 8 && present) {
        ASSERT_TRUE(tree.Erase(handles[key]));
      } else if (action == 9 && present) {
        const Result<IntNode*> next = tree.EraseAndGetNext(handles[key]);
        ASSERT_TRUE(next);
        EXPECT_EQ(next.Value(), expectedNext) << "successor of " << key;
      } else {
        Bool erased = !present;
        const Result<IntNode*> next = tree.Erase(key, erased);
        ASSERT_TRUE(next);
        EXPECT_EQ(erased, present);
        EXPECT_EQ(next.Value(), expectedNext) << "successor of " << key;
      }
      model.erase(key);
      handles.erase(key);
    }
    ASSERT_NO_FATAL_FAILURE(ExpectValid(tree)) << "step " << step;
    ASSERT_EQ(InOrder(tree), std::vector<Int>(model.begin(), model.end())) << "step " << step;
    for (const auto& [heldKey, node] : handles) {
      ASSERT_EQ(node->key, heldKey);
      ASSERT_EQ(tree.Find(heldKey).Value(), node);
    }
  }
}

INSTANTIATE_TEST_SUITE_P(Sequences, RedBlackTreeRandomTest,
                         testing::Values(RandomCase{1, 8, 2000}, RandomCase{2, 64, 4000}, RandomCase{3, 1000, 4000},
                                         RandomCase{4, 100000, 3000}));

// Monotone runs drive the rebalancing through the same rotation again and again.
class RedBlackTreeOrderedRunTest : public testing::TestWithParam<Bool> {};

TEST_P(RedBlackTreeOrderedRunTest, MonotoneInsertAndEraseKeepBalance) {
  std::vector<Int> keys = Range(0, 1024);
  if (GetParam()) std::reverse(keys.begin(), keys.end());
  Fixture<> fixture;
  IntTree& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  InsertAll(tree, keys);
  ExpectValid(tree);
  EXPECT_EQ(InOrder(tree), Range(0, 1024));
  for (const Int key : keys) {
    ASSERT_TRUE(EraseKey(tree, key));
    if (key % 64 == 0) ExpectValid(tree);
  }
  EXPECT_EQ(tree.GetCount(), 0);
  ExpectValid(tree);
}

INSTANTIATE_TEST_SUITE_P(Directions, RedBlackTreeOrderedRunTest, testing::Values(false, true));

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
    {"ResetUninitialized", false, [](IntTree& t) { return t.Reset(); }, IllegalStateError,
     "Reset: Attempting to reset an uninitialized tree."},
    {"EraseKeyUninitialized", false, [](IntTree& t) { return EraseKey(t, 1); }, IllegalStateError,
     "Erase: Attempting to delete a node from an uninitialized tree."},
    {"InsertUninitialized", false, [](IntTree& t) { return Discard(t.Insert(1)); }, IllegalArgumentError,
     "Insert: Attempting to insert into uninitialized position."},
    {"InsertInNullPosition", true, [](IntTree& t) { return Discard(t.InsertInPosition(9, nullptr)); },
     IllegalArgumentError, "InsertInPosition: Attempting to insert into uninitialized position."},
    {"InsertUnderSentinel", true, [](IntTree& t) { return Discard(t.InsertInPosition(9, t.GetNil())); },
     IllegalArgumentError, "InsertInPosition: Attempting to insert into uninitialized position."},
    {"InsertExistingKey", true, [](IntTree& t) { return Discard(t.InsertInPosition(4, NodeOf(t, 4))); },
     IllegalArgumentError, "InsertInPosition: Attempting to insert an existing key."},
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
    {"InsertAtSideNullPosition", true,
     [](IntTree& t) { return Discard(t.InsertAtSide(0, nullptr, COMPARERESULT::LESS)); }, IllegalArgumentError,
     "InsertAtSide: Attempting to insert into uninitialized position."},
    {"EraseAndGetNextNullNode", true, [](IntTree& t) { return Discard(t.EraseAndGetNext(nullptr)); },
     IllegalArgumentError, "Erase: Attempting to delete a null node."},
    {"EraseSentinel", true, [](IntTree& t) { return t.Erase(t.GetNil()); }, IllegalStateError, ""},
};

INSTANTIATE_TEST_SUITE_P(Misuse, RedBlackTreeErrorTest, testing::ValuesIn(errorCases),
                         [](const testing::TestParamInfo<ErrorCase>& info) { return std::string(info.param.name); });

// Answers INCOMPARABLE for every pair.
struct IncomparableComparator {
  COMPARERESULT Compare(Int, Int) const { return COMPARERESULT::INCOMPARABLE; }
};

// A descent stops at the first node it cannot order and linking refuses the pair; linking at a side a
// descent has already decided never asks the comparator.
TEST(RedBlackTreeTest, IncomparableKeysAreRefusedOnlyWhenLinking) {
  Fixture<IncomparableComparator> fixture;
  auto& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  auto* root = tree.InsertInPosition(1, tree.GetHeader()).Value();
  const auto refused = tree.InsertInPosition(2, root);
  ASSERT_FALSE(refused);
  EXPECT_EQ(refused.GetError().Class(), IllegalStateError);
  EXPECT_EQ(refused.GetError().Message(), "InsertInPosition: INCOMPARABLE compare result is prohibited.");
  EXPECT_EQ(tree.Insert(2).Value(), root) << "the descent stops at the first node it cannot order";
  Bool erased = false;
  EXPECT_EQ(tree.Erase(2, erased).Value(), tree.GetNil());
  EXPECT_TRUE(erased) << "the descent found the node it could not order";
  EXPECT_EQ(tree.GetCount(), 0);
  auto* middle = tree.InsertAtSide(2, tree.GetHeader(), COMPARERESULT::LESS).Value();
  auto* low = tree.InsertAtSide(1, middle, COMPARERESULT::LESS).Value();
  auto* high = tree.InsertAtSide(3, middle, COMPARERESULT::GREATER).Value();
  EXPECT_EQ(middle->left, low);
  EXPECT_EQ(middle->right, high);
  EXPECT_EQ(InOrder(tree), (std::vector<Int>{1, 2, 3}));
  ExpectValid(tree);
}

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

struct ComparatorFailureCase {
  const char* name;
  Result<void> (*call)(FallibleTree& tree);
};

class RedBlackTreeComparatorFailureTest : public testing::TestWithParam<ComparatorFailureCase> {};

// For k = 1, 2, ...: the k-th comparison fails; the error comes back unchanged and the tree is as it
// was, until the call needs fewer than k comparisons and succeeds.
TEST_P(RedBlackTreeComparatorFailureTest, ErrorPassesThroughUnchanged) {
  Fixture<FallibleComparator> fixture;
  FallibleTree& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  InsertAll(tree, Range(0, 64));
  const std::vector<Int> before = InOrder(tree);
  Int failures = 0;
  for (Int k = 1;; ++k) {
    fixture.comparator.callsUntilFailure = k;
    const Result<void> result = GetParam().call(tree);
    if (result.IsOk()) break;
    ++failures;
    EXPECT_EQ(result.GetError().Message(), "comparison refused");
    EXPECT_EQ(result.GetError().File(), fixture.comparator.failure.File());
    EXPECT_EQ(result.GetError().Line(), fixture.comparator.failure.Line());
    ExpectValid(tree);
    ASSERT_EQ(InOrder(tree), before) << "k = " << k;
  }
  fixture.comparator.callsUntilFailure = 0;
  EXPECT_GE(failures, 1);
  ExpectValid(tree);
}

const ComparatorFailureCase comparatorFailureCases[] = {
    {"Insert", [](FallibleTree& tree) { return Discard(tree.Insert(100)); }},
    {"InsertExisting", [](FallibleTree& tree) { return Discard(tree.Insert(17)); }},
    {"InsertInPosition", [](FallibleTree& tree) { return Discard(tree.InsertInPosition(100, tree.GetLast())); }},
    {"EraseKey", [](FallibleTree& tree) { return EraseKey(tree, 40); }},
    {"Find", [](FallibleTree& tree) { return Discard(tree.Find(3)); }},
};

INSTANTIATE_TEST_SUITE_P(Operations, RedBlackTreeComparatorFailureTest, testing::ValuesIn(comparatorFailureCases),
                         [](const testing::TestParamInfo<ComparatorFailureCase>& info) {
                           return std::string(info.param.name);
                         });

std::vector<Int> ShuffledRange(Int count, unsigned seed) {
  std::vector<Int> keys = Range(0, count);
  std::shuffle(keys.begin(), keys.end(), std::mt19937(seed));
  return keys;
}

// For k = 1, 2, ...: the k-th allocation fails while the tree is initialised and keys are inserted.
// Init allocates the sentinel and the header, each insert one node: the failing call reports
// out-of-memory, the tree keeps what it had (a failed Init leaves it uninitialised) and takes the
// remaining keys afterwards.
TEST(RedBlackTreeAllocationTest, FailedInitOrInsertLeavesValidTree) {
  const std::vector<Int> keys = ShuffledRange(40, 7);
  for (Int k = 1;; ++k) {
    Fixture<> fixture;
    IntTree& tree = fixture.tree;
    FailAllocationAfter(k);
    Result<void> outcome = tree.Init();
    size_t inserted = 0;
    while (outcome && inserted < keys.size()) {
      outcome = Discard(tree.Insert(keys[inserted]));
      if (outcome) ++inserted;
    }
    FailAllocationAfter(0);
    if (outcome) break;
    EXPECT_EQ(outcome.GetError().Class(), OutOfMemoryError);
    EXPECT_EQ(tree.IsInitialized(), k >= 3);
    EXPECT_EQ(static_cast<Int>(inserted), std::max<Int>(k - 3, 0));
    if (!tree.IsInitialized()) {
      ASSERT_TRUE(tree.Init());
    }
    ExpectValid(tree);
    std::vector<Int> expected(keys.begin(), keys.begin() + static_cast<std::ptrdiff_t>(inserted));
    std::sort(expected.begin(), expected.end());
    ASSERT_EQ(InOrder(tree), expected);
    InsertAll(tree, keys);
    EXPECT_EQ(InOrder(tree), Range(0, 40));
    ExpectValid(tree);
  }
}

// Iteration, erasing and Reset only free; Init on a tree that has its sentinel empties it as Reset
// does, and either way the tree stays usable.
TEST(RedBlackTreeAllocationTest, EraseIterationAndResetDoNotAllocate) {
  Fixture<> fixture;
  IntTree& tree = fixture.tree;
  ASSERT_TRUE(tree.Init());
  InsertAll(tree, ShuffledRange(500, 3));
  IntNode* const nil = tree.GetNil();
  FailAllocationAfter(1);
  EXPECT_EQ(InOrder(tree), Range(0, 500));
  for (const Int key : ShuffledRange(250, 4)) ASSERT_TRUE(EraseKey(tree, key));
  ExpectValid(tree);
  EXPECT_EQ(InOrder(tree), Range(250, 500));
  ASSERT_TRUE(tree.Reset());
  EXPECT_FALSE(AllocationFailureDelivered());
  FailAllocationAfter(0);
  EXPECT_EQ(tree.GetCount(), 0);
  InsertAll(tree, {7, 5});
  ASSERT_TRUE(tree.Init());
  EXPECT_EQ(tree.GetNil(), nil);
  EXPECT_EQ(tree.GetCount(), 0);
  InsertAll(tree, {1});
  EXPECT_EQ(InOrder(tree), (std::vector<Int>{1}));
  ExpectValid(tree);
}

TEST(SortedSetTest, SetOperationsMatchModel) {
  SortedSet<Int> set;
  ASSERT_TRUE(set.Init());
  std::set<Int> model;
  std::mt19937 random(11);
  for (Int step = 0; step < 2000 / sizeScale; ++step) {
    const Int key = static_cast<Int>(random() % 50);
    if (random() % 2 == 0) {
      ASSERT_EQ(set.Insert(key).Value()->key, key);
      model.insert(key);
    } else {
      ASSERT_EQ(set.Erase(key).Value(), model.erase(key) == 1);
    }
    ASSERT_EQ(set.Contains(key).Value(), model.contains(key));
    ASSERT_EQ(set.GetCount(), static_cast<Int>(model.size()));
  }
  ExpectValid(set.GetTree());
  EXPECT_EQ(InOrder(set.GetTree()), std::vector<Int>(model.begin(), model.end()));
}

struct TextCase {
  std::vector<Int> keys;
  std::string text;
};

std::string CountingText(Int count) {
  std::string text = "0";
  for (Int key = 1; key < count; ++key) text += " " + std::to_string(key);
  return text;
}

class SortedSetTextTest : public testing::TestWithParam<TextCase> {};

// Every allocation of the text fails in turn with out-of-memory until the text comes out.
TEST_P(SortedSetTextTest, KeysAscendSeparatedByOneBlank) {
  SortedSet<Int> set;
  ASSERT_TRUE(set.Init());
  for (const Int key : GetParam().keys) ASSERT_TRUE(set.Insert(key));
  for (Int k = 1;; ++k) {
    FailAllocationAfter(k);
    const Result<String> text = set.ToString();
    FailAllocationAfter(0);
    if (text.IsOk()) {
      EXPECT_EQ(text.Value().View(), GetParam().text);
      break;
    }
    EXPECT_EQ(text.GetError().Class(), OutOfMemoryError);
  }
}

INSTANTIATE_TEST_SUITE_P(Texts, SortedSetTextTest,
                         testing::Values(TextCase{{4, 2, 3, 1}, "1 2 3 4"}, TextCase{{}, ""},
                                         TextCase{{5, 0, 5, -3, -1}, "-3 -1 0 5"},
                                         TextCase{Range(0, 300), CountingText(300)}));

}  // namespace
}  // namespace zemox
