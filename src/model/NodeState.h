#pragma once

#include <cstdint>

class TreeNode;
struct NodeKey;

// A node's own fields at one moment: name, kind, value and child list. Keys, strings, child lists and nodes
// stay in the tree's store until the tree is freed, so a state is a few words however large the subtree is.
struct NodeState
{
    const NodeKey* name = nullptr;
    TreeNode* const* children = nullptr;
    std::uint32_t childCount = 0;
    std::int8_t kind = 0;
    std::uint8_t valueType = 0;
    std::uint64_t valueBits = 0;

    bool operator==(const NodeState&) const = default;
};
