#pragma once

#include "model/NodeMatcher.h"

#include <vector>

class TreeNode;

// Decides in one pass over a whole tree which nodes the search keeps, so that a view showing every level
// asks each node once instead of re-walking a subtree for every collection it expands. The result lives in
// the nodes and is valid until the tree or the search changes.
namespace FilterPass {

// Marks every node below `root` (and `root` itself) as kept or not; returns how many are kept. With `rows`,
// also appends the kept nodes below `root` (not `root` itself) in depth-first order, as a fully expanded
// outline lists them.
std::size_t run(TreeNode* root, const NodeMatcher& matcher, std::vector<TreeNode*>* rows = nullptr);
// Appends every node below `root` (not `root` itself) in depth-first order, as a fully expanded outline
// without a search lists them; marks nothing.
void listAll(TreeNode* root, std::vector<TreeNode*>& rows);
// The children kept by the last run, in order.
std::vector<TreeNode*> keptChildren(const TreeNode* node);
qsizetype keptChildCount(const TreeNode* node);

} // namespace FilterPass
