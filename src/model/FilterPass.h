#pragma once

#include "model/NodeMatcher.h"

#include <vector>

class TreeNode;

// Decides in one pass over a whole tree which nodes the search keeps, so that a view showing every level
// asks each node once instead of re-walking a subtree for every collection it expands. The result lives in
// the nodes and is valid until the tree or the search changes.
namespace FilterPass {

// Marks every node below `root` (and `root` itself) as kept or not; returns how many are kept.
std::size_t run(TreeNode* root, const NodeMatcher& matcher);
// The children kept by the last run, in order.
std::vector<TreeNode*> keptChildren(const TreeNode* node);
qsizetype keptChildCount(const TreeNode* node);

} // namespace FilterPass
