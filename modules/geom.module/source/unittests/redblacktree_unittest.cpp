// Self-tests of the ordered container under the sweeps, entered into the host's unit-test registry.

#include <initializer_list>

#include "private_geom/redblacktree.h"
#include "unittests/redblacktreevalidator.h"
#include "unittests/selftestchecks.h"
#include "zemox/registry.h"

namespace zemox {
namespace {

using IntTree = RedBlackTree<Int, DefaultComparator>;

// True when the in-order walk yields exactly `keys`.
Bool HoldsInOrder(const IntTree& tree, std::initializer_list<Int> keys) {
  IntTree::Node* node = tree.GetFirst();
  for (const Int key : keys) {
    if (!tree.IsNode(node) || node->key != key) return false;
    node = tree.GetNext(node);
  }
  return node == tree.GetNil() && tree.GetCount() == static_cast<Int>(keys.size());
}

Result<void> InsertAll(IntTree& tree, std::initializer_list<Int> keys) {
  for (const Int key : keys) ZEMOX_TRY(tree.Insert(key));
  return OK();
}

// A tree with the comparator it points at.
struct IntTreeFixture {
  DefaultComparator comparator;
  IntTree tree{&comparator};
};

Result<void> CheckInsertionOrder() {
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(tree.Init());
  ZEMOX_TRY(InsertAll(tree, {3, 2, 1, 4}));
  ZEMOX_TRY(Expect(HoldsInOrder(tree, {1, 2, 3, 4}), "keys 3, 2, 1, 4 come out as 1, 2, 3, 4"));
  IntTree::Node* four = ZEMOX_TRY(tree.Find(4));
  IntTree::Node* again = ZEMOX_TRY(tree.Insert(4));
  ZEMOX_TRY(Expect(again == four && tree.GetCount() == 4, "inserting 4 again returns its node"));
  return ValidateRedBlackTree(tree);
}

Result<void> CheckInsertInPositionErrors() {
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(tree.Init());
  ZEMOX_TRY(InsertAll(tree, {3, 2, 1, 4}));
  IntTree::Node* two = ZEMOX_TRY(tree.Find(2));
  ZEMOX_TRY(ExpectError(tree.InsertInPosition(2, two), IllegalArgumentError,
                        "InsertInPosition: Attempting to insert an existing key.", "existing key refused"));
  ZEMOX_TRY(ExpectError(tree.InsertInPosition(5, nullptr), IllegalArgumentError,
                        "InsertInPosition: Attempting to insert into uninitialized position.",
                        "null position refused"));
  ZEMOX_TRY(Expect(HoldsInOrder(tree, {1, 2, 3, 4}), "refused inserts leave the tree unchanged"));
  return ValidateRedBlackTree(tree);
}

// Answers INCOMPARABLE for every pair.
struct IncomparableComparator {
  COMPARERESULT Compare(Int, Int) const { return COMPARERESULT::INCOMPARABLE; }
};

Result<void> CheckIncomparable() {
  IncomparableComparator comparator;
  RedBlackTree<Int, IncomparableComparator> tree(&comparator);
  ZEMOX_TRY(tree.Init());
  auto* root = ZEMOX_TRY(tree.InsertInPosition(1, tree.GetHeader()));
  ZEMOX_TRY(ExpectError(tree.InsertInPosition(2, root), IllegalStateError,
                        "InsertInPosition: INCOMPARABLE compare result is prohibited.", "INCOMPARABLE refused"));
  auto* found = ZEMOX_TRY(tree.Insert(2));
  ZEMOX_TRY(Expect(found == root && tree.GetCount() == 1, "INCOMPARABLE descent stops at the existing node"));
  return ValidateRedBlackTree(tree);
}

Result<void> CheckEndCaches() {
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(tree.Init());
  ZEMOX_TRY(InsertAll(tree, {3, 2, 1, 4}));
  ZEMOX_TRY(tree.Erase(tree.GetFirst()));
  ZEMOX_TRY(Expect(tree.GetFirst()->key == 2, "first element after erasing the first"));
  ZEMOX_TRY(tree.Erase(tree.GetLast()));
  ZEMOX_TRY(Expect(tree.GetLast()->key == 3, "last element after erasing the last"));
  ZEMOX_TRY(tree.Insert(0));
  ZEMOX_TRY(Expect(tree.GetFirst()->key == 0, "first element after inserting a smaller key"));
  return ValidateRedBlackTree(tree);
}

Result<void> CheckEraseByKey() {
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(tree.Init());
  ZEMOX_TRY(InsertAll(tree, {3, 2, 1, 4}));
  Bool erased = true;
  IntTree::Node* next = ZEMOX_TRY(tree.Erase(7, erased));
  ZEMOX_TRY(Expect(next == tree.GetNil() && !erased, "erasing an absent key"));
  next = ZEMOX_TRY(tree.Erase(4, erased));
  ZEMOX_TRY(Expect(next == tree.GetNil() && erased, "erasing the largest key returns nil"));
  next = ZEMOX_TRY(tree.Erase(2, erased));
  ZEMOX_TRY(Expect(erased && tree.IsNode(next) && next->key == 3, "erasing 2 returns the node of 3"));
  ZEMOX_TRY(Expect(HoldsInOrder(tree, {1, 3}), "keys left after erasing"));
  return ValidateRedBlackTree(tree);
}

Result<void> CheckReset() {
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(ExpectError(tree.Reset(), IllegalStateError, "Reset: Attempting to reset an uninitialized tree.",
                        "resetting an uninitialized tree"));
  ZEMOX_TRY(tree.Init());
  ZEMOX_TRY(InsertAll(tree, {3, 2, 1, 4}));
  ZEMOX_TRY(tree.Reset());
  ZEMOX_TRY(Expect(HoldsInOrder(tree, {}) && tree.GetFirst() == tree.GetNil(), "reset empties the tree"));
  ZEMOX_TRY(InsertAll(tree, {5, 6}));
  ZEMOX_TRY(Expect(HoldsInOrder(tree, {5, 6}), "the tree is usable after reset"));
  return ValidateRedBlackTree(tree);
}

// Inserts and erases pseudo-random keys, checking the structure and the contents after every step
// against a presence table.
Result<void> CheckRandomSequence() {
  constexpr Int keyRange = 64;
  IntTreeFixture fixture;
  IntTree& tree = fixture.tree;
  ZEMOX_TRY(tree.Init());
  Bool present[keyRange] = {};
  UInt state = 12345;
  for (Int step = 0; step < 400; ++step) {
    state = state * 6364136223846793005u + 1442695040888963407u;
    const Int key = static_cast<Int>((state >> 33) % keyRange);
    if ((state >> 60) < 9) {
      ZEMOX_TRY(tree.Insert(key));
      present[key] = true;
    } else {
      Bool erased = false;
      ZEMOX_TRY(tree.Erase(key, erased));
      ZEMOX_TRY(Expect(erased == present[key], "erase reports whether the key was present"));
      present[key] = false;
    }
    ZEMOX_TRY(ValidateRedBlackTree(tree));
    IntTree::Node* node = tree.GetFirst();
    for (Int candidate = 0; candidate < keyRange; ++candidate) {
      if (!present[candidate]) continue;
      ZEMOX_TRY(Expect(tree.IsNode(node) && node->key == candidate, "random sequence keeps the keys in order"));
      node = tree.GetNext(node);
    }
    ZEMOX_TRY(Expect(node == tree.GetNil(), "random sequence holds no extra keys"));
  }
  return OK();
}

Result<void> RunRedBlackTreeSelfTest() {
  ZEMOX_TRY(CheckInsertionOrder());
  ZEMOX_TRY(CheckInsertInPositionErrors());
  ZEMOX_TRY(CheckIncomparable());
  ZEMOX_TRY(CheckEndCaches());
  ZEMOX_TRY(CheckEraseByKey());
  ZEMOX_TRY(CheckReset());
  return CheckRandomSequence();
}

Result<void> RunSortedSetSelfTest() {
  SortedSet<Int> set;
  ZEMOX_TRY(set.Init());
  for (const Int key : {4, 2, 3, 1}) ZEMOX_TRY(set.Insert(key));
  const String text = ZEMOX_TRY(set.ToString());
  ZEMOX_TRY(Expect(text == "1 2 3 4", "text of {4, 2, 3, 1}"));
  const Bool containsThree = ZEMOX_TRY(set.Contains(3));
  const Bool containsFive = ZEMOX_TRY(set.Contains(5));
  ZEMOX_TRY(Expect(containsThree && !containsFive, "membership"));
  const Bool erasedThree = ZEMOX_TRY(set.Erase(3));
  const Bool erasedThreeAgain = ZEMOX_TRY(set.Erase(3));
  ZEMOX_TRY(Expect(erasedThree && !erasedThreeAgain && set.GetCount() == 3, "erasing a key once"));
  const String rest = ZEMOX_TRY(set.ToString());
  ZEMOX_TRY(Expect(rest == "1 2 4", "text after erasing 3"));
  ZEMOX_TRY(ValidateRedBlackTree(set.GetTree()));
  ZEMOX_TRY(set.Reset());
  const String empty = ZEMOX_TRY(set.ToString());
  return Expect(empty == "" && set.GetCount() == 0, "text of the empty set");
}

const Registration redBlackTreeSelfTest({.kind = RecordKind::SELFTEST,
                                         .id = "net.zemox.unittest.redblacktree",
                                         .owner = UnitTestRegistry,
                                         .selfTest = RunRedBlackTreeSelfTest});
const Registration sortedSetSelfTest({.kind = RecordKind::SELFTEST,
                                      .id = "net.zemox.unittest.sortedset",
                                      .owner = UnitTestRegistry,
                                      .selfTest = RunSortedSetSelfTest});

}  // namespace
}  // namespace zemox
