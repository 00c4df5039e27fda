#pragma once

#include <QtGlobal>
#include <cstddef>
#include <vector>

class TreeNode;
struct NodeKey;

// What one replace-all changed: each renamed member and each rewritten string with its handle before and
// after. The texts themselves stay in the tree's store, so a change costs three words.
class ReplaceLog
{
public:
    void renamed(TreeNode* node, const NodeKey* before, const NodeKey* after);
    void rewrote(TreeNode* node, const char* before, const char* after);
    // Drops spare capacity once the run is over.
    void finish();

    qsizetype size() const { return qsizetype(m_names.size() + m_values.size()); }
    std::size_t bytes() const;
    // The first node the run changed, in document order; nullptr when it changed nothing.
    TreeNode* firstNode() const { return m_first; }

    // Puts every name and value back as it was before the run, or as it was after it, with one
    // TreeDataChanged. Sound while every later edit of the tree has been taken back.
    void revert() const;
    void reapply() const;

private:
    struct Change
    {
        TreeNode* node;
        const void* before;
        const void* after;
    };
    void apply(bool after) const;

    std::vector<Change> m_names;
    std::vector<Change> m_values;
    TreeNode* m_first = nullptr;
};
