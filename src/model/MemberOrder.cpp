#include "model/MemberOrder.h"

#include "model/NodeStore.h"
#include "model/TreeNode.h"

#include <algorithm>
#include <unordered_set>

namespace MemberOrder {

bool strictlyOrdered(const TreeNode* object)
{
    const auto children = object->children();
    for (std::size_t i = 1; i < children.size(); ++i)
        if (compareKeys(children[i - 1]->nameKey(), children[i]->nameKey()) >= 0)
            return false;
    return true;
}

void writingOrder(const TreeNode* object, std::vector<std::uint32_t>& order)
{
    const auto children = object->children();
    order.resize(children.size());
    for (std::uint32_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::stable_sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) {
        return compareKeys(children[a]->nameKey(), children[b]->nameKey()) < 0;
    });
    std::vector<std::uint32_t> kept;
    kept.reserve(order.size());
    for (std::size_t i = 0; i < order.size(); ++i) {
        const bool sameAsNext =
            i + 1 < order.size() && children[order[i]]->nameKey() == children[order[i + 1]]->nameKey();
        if (!sameAsNext)
            kept.push_back(order[i]);
    }
    order.swap(kept);
}

const TreeNode* firstRepeatedName(const TreeNode* root)
{
    struct Frame
    {
        const TreeNode* node;
        qsizetype next;
        std::unordered_set<const NodeKey*> repeated; // names held by more than one child
    };
    std::vector<Frame> stack;
    auto enter = [&stack](const TreeNode* node) {
        Frame frame{node, 0, {}};
        if (node->isObject() && !strictlyOrdered(node)) {
            std::unordered_set<const NodeKey*> seen;
            for (const TreeNode* child : node->children())
                if (!seen.insert(child->nameKey()).second)
                    frame.repeated.insert(child->nameKey());
        }
        stack.push_back(std::move(frame));
    };
    if (root)
        enter(root);
    while (!stack.empty()) {
        Frame& top = stack.back();
        if (top.next == top.node->childCount()) {
            stack.pop_back();
            continue;
        }
        const TreeNode* child = top.node->child(top.next++);
        if (top.repeated.count(child->nameKey()))
            return child;
        if (child->isCollection())
            enter(child);
    }
    return nullptr;
}

} // namespace MemberOrder
