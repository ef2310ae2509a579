#pragma once

#include "portability.h"
#include "private_geom/redblacktree.h"
#include "zemox/error.h"
#include "zemox/result.h"

namespace zemox {

// Checks the links, colours and black heights of a subtree hanging under `parent`, counts its nodes
// and returns its black height (the sentinel counts one).
template <typename Tree>
Result<Int> CheckRedBlackSubtree(const Tree& tree, const typename Tree::Node* node, const typename Tree::Node* parent,
                                 Int& nodeCount) {
  if (node == tree.GetNil()) return Int{1};
  if (node == nullptr) return ZEMOX_ERROR(IllegalStateError, "@: A child link is null.");
  if (node->parent != parent) return ZEMOX_ERROR(IllegalStateError, "@: A parent link misses the parent.");
  if (node->red && parent->red) return ZEMOX_ERROR(IllegalStateError, "@: A red node has a red child.");
  ++nodeCount;
  const Int leftHeight = ZEMOX_TRY(CheckRedBlackSubtree(tree, node->left, node, nodeCount));
  const Int rightHeight = ZEMOX_TRY(CheckRedBlackSubtree(tree, node->right, node, nodeCount));
  if (leftHeight != rightHeight) return ZEMOX_ERROR(IllegalStateError, "@: Black heights differ.");
  return leftHeight + (node->red ? 0 : 1);
}

// Walks from one end of the tree to the other with `step`; the walk must visit `count` nodes and
// stop at nil.
template <typename Tree>
Result<void> CheckRedBlackWalk(const Tree& tree, typename Tree::Node* node,
                               typename Tree::Node* (Tree::*step)(typename Tree::Node*) const) {
  Int visited = 0;
  while (tree.IsNode(node) && visited <= tree.GetCount()) {
    ++visited;
    node = (tree.*step)(node);
  }
  if (visited != tree.GetCount() || node != tree.GetNil())
    return ZEMOX_ERROR(IllegalStateError, "@: The in-order walk misses nodes.");
  return OK();
}

// Checks every structural invariant of an initialised tree: untouched sentinel and header, black
// root, no red node with a red child, equal black heights, parent links, the count, the first and
// last caches, and the in-order walks in both directions. Key order is the caller's to check.
template <typename Tree>
Result<void> ValidateRedBlackTree(const Tree& tree) {
  if (!tree.IsInitialized()) return ZEMOX_ERROR(IllegalStateError, "@: The tree is not initialized.");
  const auto* nil = tree.GetNil();
  const auto* header = tree.GetHeader();
  if (nil->red || nil->left != nil || nil->right != nil)
    return ZEMOX_ERROR(IllegalStateError, "@: The sentinel was modified.");
  if (header->red || header->right != nil || header->parent != nil)
    return ZEMOX_ERROR(IllegalStateError, "@: The header was modified.");
  auto* root = tree.GetRoot();
  if (root->red) return ZEMOX_ERROR(IllegalStateError, "@: The root is red.");
  Int nodeCount = 0;
  ZEMOX_TRY(CheckRedBlackSubtree(tree, root, header, nodeCount));
  if (nodeCount != tree.GetCount()) return ZEMOX_ERROR(IllegalStateError, "@: The count differs from the nodes.");
  auto* leftmost = root;
  while (tree.IsNode(leftmost) && leftmost->left != nil) leftmost = leftmost->left;
  auto* rightmost = root;
  while (tree.IsNode(rightmost) && rightmost->right != nil) rightmost = rightmost->right;
  if (tree.GetFirst() != leftmost) return ZEMOX_ERROR(IllegalStateError, "@: The first element is stale.");
  if (tree.GetLast() != rightmost) return ZEMOX_ERROR(IllegalStateError, "@: The last element is stale.");
  ZEMOX_TRY(CheckRedBlackWalk(tree, leftmost, &Tree::GetNext));
  return CheckRedBlackWalk(tree, rightmost, &Tree::GetPrevious);
}

}  // namespace zemox
