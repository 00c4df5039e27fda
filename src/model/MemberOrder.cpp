#include "model/MemberOrder.h"

#include "model/NodeStore.h"
#include "model/TreeNode.h"

#include <algorithm>

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

} // namespace MemberOrder
