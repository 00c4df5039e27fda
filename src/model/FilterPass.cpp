#include "model/FilterPass.h"

#include "model/TreeNode.h"

#include <algorithm>
#include <atomic>
#include <thread>

namespace FilterPass {
namespace {

// Marks one subtree bottom-up; a node is kept for its own hit, or as a collection for a kept child.
std::size_t runSubtree(TreeNode* top, const NodeMatcher& matcher)
{
    struct Frame
    {
        TreeNode* node;
        std::uint32_t next;
        bool below; // a child is kept
    };
    std::size_t kept = 0;
    std::vector<Frame> stack{{top, 0, false}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next < frame.node->childCount()) {
            // Children of leaves are visited too: a view can still list them, though they never keep the leaf.
            stack.push_back({frame.node->child(frame.next++), 0, false});
            continue;
        }
        TreeNode* node = frame.node;
        const bool keep = matcher.ownHit(node) || (node->isCollection() && frame.below);
        node->setFilterVisible(keep);
        kept += keep;
        stack.pop_back();
        if (keep && !stack.empty())
            stack.back().below = true;
    }
    return kept;
}

bool anyChildKept(const TreeNode* node)
{
    const auto children = node->children();
    return std::any_of(children.begin(), children.end(), [](const TreeNode* c) { return c->filterVisible(); });
}

} // namespace

std::size_t run(TreeNode* root, const NodeMatcher& matcher)
{
    // Split the tree into independent subtrees by opening the widest nodes first, so that every core can
    // take a share; the opened nodes are decided afterwards from their children.
    constexpr std::size_t wanted = 256;
    std::vector<TreeNode*> subtrees{root};
    std::vector<TreeNode*> opened;
    while (subtrees.size() < wanted) {
        const auto widest = std::max_element(subtrees.begin(), subtrees.end(), [](TreeNode* a, TreeNode* b) {
            return a->childCount() < b->childCount();
        });
        if ((*widest)->childCount() < 2)
            break;
        TreeNode* node = *widest;
        subtrees.erase(widest);
        opened.push_back(node);
        subtrees.insert(subtrees.end(), node->children().begin(), node->children().end());
    }

    std::atomic<std::size_t> nextSubtree{0};
    std::atomic<std::size_t> kept{0};
    auto work = [&](const NodeMatcher& own) {
        std::size_t count = 0;
        constexpr std::size_t batch = 64;
        for (std::size_t first = nextSubtree.fetch_add(batch); first < subtrees.size();
             first = nextSubtree.fetch_add(batch)) {
            const std::size_t last = std::min(first + batch, subtrees.size());
            for (std::size_t i = first; i < last; ++i)
                count += runSubtree(subtrees[i], own);
        }
        kept += count;
    };
    const unsigned helpers =
        subtrees.size() > 1 ? std::min<unsigned>(std::max(1u, std::thread::hardware_concurrency()) - 1, 7) : 0;
    std::vector<NodeMatcher> matchers;
    matchers.reserve(helpers);
    std::vector<std::thread> threads;
    for (unsigned i = 0; i < helpers; ++i) {
        matchers.push_back(matcher.forAnotherThread());
        threads.emplace_back(work, std::cref(matchers.back()));
    }
    work(matcher);
    for (std::thread& thread : threads)
        thread.join();

    std::size_t total = kept;
    // Opened nodes were recorded parents first, so deciding them in reverse sees their children decided.
    for (auto it = opened.rbegin(); it != opened.rend(); ++it) {
        TreeNode* node = *it;
        const bool keep = matcher.ownHit(node) || (node->isCollection() && anyChildKept(node));
        node->setFilterVisible(keep);
        total += keep;
    }
    return total;
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
