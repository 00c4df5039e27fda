#include "model/FilterPass.h"

#include "model/TreeNode.h"

namespace FilterPass {

std::size_t run(TreeNode* root, const NodeMatcher& matcher)
{
    struct Frame
    {
        TreeNode* node;
        std::uint32_t next;
        bool below; // a child is kept
    };
    std::size_t kept = 0;
    std::vector<Frame> stack{{root, 0, false}};
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next < top.node->childCount()) {
            // Children of leaves are visited too: a view can still list them, though they never keep the leaf.
            stack.push_back({top.node->child(top.next++), 0, false});
            continue;
        }
        TreeNode* node = top.node;
        const bool keep = matcher.ownHit(node) || (node->isCollection() && top.below);
        node->setFilterVisible(keep);
        kept += keep;
        stack.pop_back();
        if (keep && !stack.empty())
            stack.back().below = true;
    }
    return kept;
}

std::vector<TreeNode*> keptChildren(const TreeNode* node)
{
    std::vector<TreeNode*> result;
    for (TreeNode* child : node->children())
        if (child->filterVisible())
            result.push_back(child);
    return result;
}

qsizetype keptChildCount(const TreeNode* node)
{
    qsizetype count = 0;
    for (const TreeNode* child : node->children())
        count += child->filterVisible();
    return count;
}

} // namespace FilterPass
