#pragma once

#include <cstdint>
#include <type_traits>
#include <utility>

#include "zemox/error.h"
#include "zemox/memory.h"
#include "zemox/result.h"
#include "zemox/string.h"
#include "zemox/types.h"

namespace zemox {

// One element of a RedBlackTree. A node keeps its key and its address for its whole life: the tree
// relinks nodes but never moves a key from one node to another, so callers may hold node handles
// across inserts and erases of other keys (the sweeps swap keys between held nodes themselves).
template <typename Key>
struct RedBlackTreeNode {
  Key key;
  std::uint8_t red;  // 1 = red, 0 = black
  RedBlackTreeNode* left;
  RedBlackTreeNode* right;
  RedBlackTreeNode* parent;
};

// Orders keys that have operator<.
struct DefaultComparator {
  template <typename Key>
  COMPARERESULT Compare(const Key& a, const Key& b) const {
    if (a < b) return COMPARERESULT::LESS;
    if (b < a) return COMPARERESULT::GREATER;
    return COMPARERESULT::EQUAL;
  }
};

// Ordered container of unique keys with stable node handles. The comparator is an owner object whose
// Compare(probeKey, nodeKey) answers with a COMPARERESULT, or with a Result<COMPARERESULT> when the
// comparison can fail; such an error aborts the operation and is returned unchanged.
//
// Every missing child is the nil sentinel, never null. The header node holds the root on its left
// and is the root's parent, so rotations at the root need no special case beyond one pointer test.
template <typename Key, typename Comparator>
class RedBlackTree {
 public:
  using Node = RedBlackTreeNode<Key>;

  explicit RedBlackTree(Comparator* comparator) : comparator_(comparator) {}
  RedBlackTree(const RedBlackTree&) = delete;
  RedBlackTree& operator=(const RedBlackTree&) = delete;
  ~RedBlackTree() {
    if (header_ == nullptr) return;
    ReleaseSubtree(header_->left);
    DeleteObject(header_);
    DeleteObject(nil_);
  }

  // Allocates the sentinel and the header; on a tree that has them, empties it instead.
  Result<void> Init() {
    if (header_ != nullptr) return Reset();
    Node* nil = NewObject<Node>(Node{Key{}, 0, nullptr, nullptr, nullptr});
    if (nil == nullptr) return ZEMOX_ERROR(OutOfMemoryError);
    nil->left = nil->right = nil->parent = nil;
    Node* header = NewObject<Node>(Node{Key{}, 0, nil, nil, nil});
    if (header == nullptr) {
      DeleteObject(nil);
      return ZEMOX_ERROR(OutOfMemoryError);
    }
    nil_ = nil;
    header_ = header;
    first_ = last_ = nil;
    return OK();
  }

  // Releases every element; the sentinel and the header stay.
  Result<void> Reset() {
    if (header_ == nullptr) return ZEMOX_ERROR(IllegalStateError, "@: Attempting to reset an uninitialized tree.");
    ReleaseSubtree(header_->left);
    header_->left = header_->right = nil_;
    count_ = 0;
    first_ = last_ = nil_;
    firstValid_ = lastValid_ = 1;
    return OK();
  }

  // The node that holds the key, inserting it when absent.
  Result<Node*> Insert(const Key& key) {
    ZEMOX_ASSIGN_OR_RETURN(const Descent descent, Descend(key, "Insert"));
    if (descent.found != nil_) return descent.found;
    return Link(key, descent.parent, descent.order, "Insert");
  }

  // Links a new node under `position`, the last node of a previous descent (or the header of an
  // empty tree).
  Result<Node*> InsertInPosition(const Key& key, Node* position) {
    // The header holds the root on its left.
    COMPARERESULT order = COMPARERESULT::LESS;
    if (position != nullptr && position != nil_ && position != header_) {
      if constexpr (fallibleComparator) {
        ZEMOX_ASSIGN_OR_RETURN(order, comparator_->Compare(key, position->key));
      } else {
        order = comparator_->Compare(key, position->key);
      }
      if (order == COMPARERESULT::INCOMPARABLE)
        return ZEMOX_ERROR(IllegalStateError, "@: INCOMPARABLE compare result is prohibited.");
      if (order == COMPARERESULT::EQUAL)
        return ZEMOX_ERROR(IllegalArgumentError, "@: Attempting to insert an existing key.");
    }
    return Link(key, position, order, "InsertInPosition");
  }

  // Links a new node on the side of `position` that a previous descent has already decided (LESS:
  // left, GREATER: right; the header of an empty tree takes it as the root), without comparing again.
  Result<Node*> InsertAtSide(const Key& key, Node* position, COMPARERESULT side) {
    if (side != COMPARERESULT::LESS && side != COMPARERESULT::GREATER)
      return ZEMOX_ERROR(IllegalArgumentError, "@: The side of the position must be LESS or GREATER.");
    return Link(key, position, side, "InsertAtSide");
  }

  // Removes the node; the other nodes keep their addresses and keys.
  Result<void> Erase(Node* node) {
    if (node == nullptr) return ZEMOX_ERROR(IllegalArgumentError, "@: Attempting to delete a null node.");
    Node* spliced = node->left == nil_ || node->right == nil_ ? node : Extreme(node->right, &Node::left);
    if (spliced == nil_) return ZEMOX_ERROR(IllegalStateError);
    if (count_ <= 0) return ZEMOX_ERROR(IllegalStateError, "@: Negative tree elements count.");
    Unlink(node, spliced);
    --count_;
    if (firstValid_ && first_ == node) firstValid_ = 0;
    if (lastValid_ && last_ == node) lastValid_ = 0;
    DeleteObject(node);
    return OK();
  }

  // Erases the key when present; returns the in-order successor of the erased node (nil at the end,
  // and nil with `erased` false when the key is absent).
  Result<Node*> Erase(const Key& key, Bool& erased) {
    erased = false;
    if (header_ == nullptr)
      return ZEMOX_ERROR(IllegalStateError, "@: Attempting to delete a node from an uninitialized tree.");
    ZEMOX_ASSIGN_OR_RETURN(const Descent descent, Descend(key, "Erase"));
    if (descent.found == nil_) return nil_;
    ZEMOX_ASSIGN_OR_RETURN(Node * next, EraseAndGetNext(descent.found));
    erased = true;
    return next;
  }

  // Removes the node held by the caller; returns its in-order successor (nil at the end).
  Result<Node*> EraseAndGetNext(Node* node) {
    if (node == nullptr) return ZEMOX_ERROR_IN("Erase", IllegalArgumentError, "@: Attempting to delete a null node.");
    Node* next = GetNext(node);
    if (next == nullptr)
      return ZEMOX_ERROR_IN("Erase", IllegalStateError, "@: Corrupted pointer to the node next after erased node.");
    ZEMOX_RETURN_IF_FAILED(Erase(node));
    return next;
  }

  // The node that holds the key, or nil.
  Result<Node*> Find(const Key& key) const {
    ZEMOX_ASSIGN_OR_RETURN(const Descent descent, Descend(key, "Find"));
    return descent.found;
  }

  // Smallest and largest element (nil when empty): constant time while the cache holds, which is
  // how the sweeps take their next event.
  Node* GetFirst() { return Refresh(first_, firstValid_, &Node::left); }
  Node* GetLast() { return Refresh(last_, lastValid_, &Node::right); }
  // The same without updating the cache.
  Node* GetFirst() const { return firstValid_ ? first_ : Extreme(GetRoot(), &Node::left); }
  Node* GetLast() const { return lastValid_ ? last_ : Extreme(GetRoot(), &Node::right); }

  // In-order neighbours; nil past the ends, null when a parent link is broken.
  Node* GetNext(Node* node) const { return Step(node, &Node::right); }
  Node* GetPrevious(Node* node) const { return Step(node, &Node::left); }

  // A real element: not null and not the sentinel (whose left link points at itself).
  Bool IsNode(const Node* node) const { return node != nullptr && node->left != node; }

  Node* GetRoot() const { return header_ == nullptr ? nil_ : header_->left; }
  Node* GetNil() const { return nil_; }
  Node* GetHeader() const { return header_; }
  Int GetCount() const { return count_; }
  Bool IsInitialized() const { return header_ != nullptr; }

 private:
  using Side = Node* Node::*;

  // Where a key is or would go: the node holding it (nil when absent), else the last node visited
  // and the side of it the key belongs to.
  struct Descent {
    Node* found;
    Node* parent;
    COMPARERESULT order;
  };

  static constexpr Bool fallibleComparator =
      !std::is_same_v<std::remove_cvref_t<decltype(std::declval<Comparator&>().Compare(std::declval<const Key&>(),
                                                                                       std::declval<const Key&>()))>,
                      COMPARERESULT>;

  Result<Descent> Descend(const Key& key, const char* operation) const {
    Descent descent{nil_, header_, COMPARERESULT::LESS};
    Node* current = GetRoot();
    while (current != nil_) {
      if (current == nullptr)
        return ZEMOX_ERROR_IN(operation, IllegalStateError, "@: Corrupted pointer to found node.");
      COMPARERESULT order;
      // A comparator that cannot fail answers directly, so the hot loop pays for no Result.
      if constexpr (fallibleComparator) {
        ZEMOX_ASSIGN_OR_RETURN(order, comparator_->Compare(key, current->key));
      } else {
        order = comparator_->Compare(key, current->key);
      }
      if (order != COMPARERESULT::LESS && order != COMPARERESULT::GREATER) {
        descent.found = current;
        return descent;
      }
      descent.parent = current;
      descent.order = order;
      current = order == COMPARERESULT::LESS ? current->left : current->right;
    }
    return descent;
  }

  Result<Node*> Link(const Key& key, Node* position, COMPARERESULT order, const char* operation) {
    if (position == nullptr || position == nil_)
      return ZEMOX_ERROR_IN(operation, IllegalArgumentError, "@: Attempting to insert into uninitialized position.");
    const Side side = order == COMPARERESULT::LESS ? &Node::left : &Node::right;
    // Linking over an existing child would drop its whole subtree.
    if (position->*side != nil_)
      return ZEMOX_ERROR_IN(operation, IllegalArgumentError, "@: Attempting to insert into an occupied position.");
    if (count_ < 0) return ZEMOX_ERROR_IN(operation, IllegalStateError, "@: Negative tree elements count.");
    Node* node = NewObject<Node>(Node{key, 1, nil_, nil_, position});
    if (node == nullptr) return ZEMOX_ERROR_IN(operation, OutOfMemoryError);
    // A new smallest key can only hang on the left of the old smallest one (largest likewise), so the
    // caches follow from the position without comparing again.
    if (firstValid_ && (first_ == nil_ || (position == first_ && side == &Node::left))) first_ = node;
    if (lastValid_ && (last_ == nil_ || (position == last_ && side == &Node::right))) last_ = node;
    if (position == header_)
      header_->left = node;
    else
      position->*side = node;
    RebalanceAfterInsert(node);
    ++count_;
    return node;
  }

  static Side Opposite(Side side) { return side == &Node::left ? &Node::right : &Node::left; }

  Node* Extreme(Node* node, Side side) const {
    while (node->*side != nil_) node = node->*side;
    return node;
  }

  Node* Refresh(Node*& cache, std::uint8_t& valid, Side side) {
    if (!valid) {
      cache = Extreme(GetRoot(), side);
      valid = 1;
    }
    return cache;
  }

  Node* Step(Node* node, Side forward) const {
    if (node->*forward != nil_) return Extreme(node->*forward, Opposite(forward));
    Node* parent = node->parent;
    while (parent != nullptr && parent != header_ && node == parent->*forward) {
      node = parent;
      parent = parent->parent;
    }
    return parent == header_ ? nil_ : parent;
  }

  // Puts `replacement` where `node` hangs under its parent.
  void Replace(Node* node, Node* replacement) {
    Node* parent = node->parent;
    if (parent == header_)
      header_->left = replacement;
    else if (node == parent->left)
      parent->left = replacement;
    else
      parent->right = replacement;
    replacement->parent = parent;
  }

  // Rotates `node` down towards `side`; its child on the other side takes its place.
  void Rotate(Node* node, Side side) {
    const Side other = Opposite(side);
    Node* child = node->*other;
    node->*other = child->*side;
    if (child->*side != nil_) (child->*side)->parent = node;
    Replace(node, child);
    child->*side = node;
    node->parent = child;
  }

  void RebalanceAfterInsert(Node* node) {
    // The header is black, so the loop stops below the root; a red parent is never the root, so the
    // grandparent is a real node.
    while (node->parent->red) {
      Node* grandparent = node->parent->parent;
      node = RepairRedParent(node, node->parent == grandparent->left ? &Node::left : &Node::right);
    }
    header_->left->red = 0;
  }

  // One step of the insert repair where the red parent hangs on `side` of the grandparent; returns
  // the node to continue at.
  Node* RepairRedParent(Node* node, Side side) {
    const Side other = Opposite(side);
    Node* parent = node->parent;
    Node* grandparent = parent->parent;
    Node* uncle = grandparent->*other;
    if (uncle->red) {
      parent->red = uncle->red = 0;
      grandparent->red = 1;
      return grandparent;
    }
    if (node == parent->*other) {
      node = parent;
      Rotate(node, side);
      parent = node->parent;
    }
    parent->red = 0;
    grandparent->red = 1;
    Rotate(grandparent, other);
    return node;
  }

  // Removes `node` from the links; `spliced` is the node itself or, with two children, its successor,
  // which then takes over the node's place and colour.
  void Unlink(Node* node, Node* spliced) {
    const Bool removedBlack = !spliced->red;
    Node* child;
    if (spliced == node) {
      child = node->left == nil_ ? node->right : node->left;
      Replace(node, child);
    } else {
      child = spliced->right;
      // The child may be the sentinel: its parent link guides the repair below.
      if (spliced->parent == node) {
        child->parent = spliced;
      } else {
        Replace(spliced, child);
        spliced->right = node->right;
        spliced->right->parent = spliced;
      }
      Replace(node, spliced);
      spliced->left = node->left;
      spliced->left->parent = spliced;
      spliced->red = node->red;
    }
    if (removedBlack) RebalanceAfterErase(child);
  }

  void RebalanceAfterErase(Node* node) {
    while (node != header_->left && !node->red)
      node = RepairDoubleBlack(node, node == node->parent->left ? &Node::left : &Node::right);
    node->red = 0;
  }

  // One step of the erase repair for a node on `side` of its parent that misses one black; returns
  // the node to continue at (the root when done).
  Node* RepairDoubleBlack(Node* node, Side side) {
    const Side other = Opposite(side);
    Node* parent = node->parent;
    Node* sibling = parent->*other;
    if (sibling->red) {
      sibling->red = 0;
      parent->red = 1;
      Rotate(parent, side);
      sibling = parent->*other;
    }
    if (!(sibling->*side)->red && !(sibling->*other)->red) {
      sibling->red = 1;
      return parent;
    }
    if (!(sibling->*other)->red) {
      (sibling->*side)->red = 0;
      sibling->red = 1;
      Rotate(sibling, other);
      sibling = parent->*other;
    }
    sibling->red = parent->red;
    parent->red = 0;
    (sibling->*other)->red = 0;
    Rotate(parent, side);
    return header_->left;
  }

  // Post-order, so the recursion is only as deep as the tree is high.
  void ReleaseSubtree(Node* node) {
    if (node == nil_) return;
    ReleaseSubtree(node->left);
    ReleaseSubtree(node->right);
    DeleteObject(node);
  }

  Int count_ = 0;
  Node* header_ = nullptr;
  Node* nil_ = nullptr;
  Node* first_ = nullptr;
  std::uint8_t firstValid_ = 1;
  Node* last_ = nullptr;
  std::uint8_t lastValid_ = 1;
  Comparator* comparator_;
};

// A RedBlackTree used as a set of keys, with a text form.
template <typename Key, typename Comparator = DefaultComparator>
class SortedSet {
 public:
  using Node = RedBlackTreeNode<Key>;
  using Tree = RedBlackTree<Key, Comparator>;

  explicit SortedSet(Comparator comparator = Comparator()) : comparator_(std::move(comparator)), tree_(&comparator_) {}
  SortedSet(const SortedSet&) = delete;
  SortedSet& operator=(const SortedSet&) = delete;

  Result<void> Init() { return tree_.Init(); }
  Result<void> Reset() { return tree_.Reset(); }
  // The node that holds the key, inserting it when absent.
  Result<Node*> Insert(const Key& key) { return tree_.Insert(key); }
  // True when the key was present.
  Result<Bool> Erase(const Key& key) {
    Bool erased = false;
    ZEMOX_RETURN_IF_FAILED(tree_.Erase(key, erased));
    return erased;
  }
  Result<Bool> Contains(const Key& key) const {
    ZEMOX_ASSIGN_OR_RETURN(const Node* node, tree_.Find(key));
    return tree_.IsNode(node);
  }
  // The node that holds the key, or nil.
  Result<Node*> Find(const Key& key) const { return tree_.Find(key); }
  Int GetCount() const { return tree_.GetCount(); }

  Node* GetFirst() { return tree_.GetFirst(); }
  Node* GetLast() { return tree_.GetLast(); }
  Node* GetNext(Node* node) const { return tree_.GetNext(node); }
  Node* GetPrevious(Node* node) const { return tree_.GetPrevious(node); }
  Bool IsNode(const Node* node) const { return tree_.IsNode(node); }
  const Tree& GetTree() const { return tree_; }

  // The keys in ascending order, each in its own text form, separated by one blank ("1 2 3 4").
  Result<String> ToString() const {
    String text;
    const char* format = "@";
    for (const Node* node = tree_.GetFirst(); tree_.IsNode(node); node = tree_.GetNext(const_cast<Node*>(node))) {
      ZEMOX_RETURN_IF_FAILED(text.AppendFormat(format, node->key));
      format = " @";
    }
    return text;
  }

 private:
  Comparator comparator_;
  Tree tree_;
};

}  // namespace zemox
