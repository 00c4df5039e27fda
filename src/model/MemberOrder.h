#pragma once

#include "model/TreeNode.h"

#include <cstdint>
#include <vector>

class TreeNode;

// The order in which an object's members are written: by name, a later member of a name replacing an earlier
// one, whatever the order of the children.
namespace MemberOrder {

// Whether the children are already in writing order with no name twice (the usual case after reading).
bool strictlyOrdered(const TreeNode* object);
// Positions of the members to write, in name order, keeping only the last child of each name.
void writingOrder(const TreeNode* object, std::vector<std::uint32_t>& order);

// The first member, in outline order, whose name another member of its object has: one of those that saving
// does not keep all of. Nothing when no object has a name twice.
const TreeNode* firstRepeatedName(const TreeNode* root);

// A collection's children in writing order: as they are for arrays and ordered objects, else by writingOrder().
class OrderedChildren
{
public:
    void reset(const TreeNode* collection)
    {
        m_node = collection;
        m_sorted = !collection->isObject() || strictlyOrdered(collection);
        if (!m_sorted)
            writingOrder(collection, m_order);
    }
    const TreeNode* node() const { return m_node; }
    std::size_t size() const { return m_sorted ? std::size_t(m_node->childCount()) : m_order.size(); }
    const TreeNode* at(std::size_t i) const { return m_node->child(qsizetype(m_sorted ? i : m_order[i])); }

private:
    const TreeNode* m_node = nullptr;
    bool m_sorted = true;
    std::vector<std::uint32_t> m_order;
};

} // namespace MemberOrder
