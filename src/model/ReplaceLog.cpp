#include "model/ReplaceLog.h"

#include "model/TreeNode.h"

void ReplaceLog::renamed(TreeNode* node, const NodeKey* before, const NodeKey* after)
{
    if (!m_first)
        m_first = node;
    m_names.push_back({node, before, after});
}

void ReplaceLog::rewrote(TreeNode* node, const char* before, const char* after)
{
    if (!m_first)
        m_first = node;
    m_values.push_back({node, before, after});
}

void ReplaceLog::finish()
{
    m_names.shrink_to_fit();
    m_values.shrink_to_fit();
}

std::size_t ReplaceLog::bytes() const
{
    return sizeof(*this) + (m_names.capacity() + m_values.capacity()) * sizeof(Change);
}

void ReplaceLog::revert() const
{
    apply(false);
}

void ReplaceLog::reapply() const
{
    apply(true);
}

void ReplaceLog::apply(bool after) const
{
    for (const Change& change : m_names)
        change.node->setNameKey(static_cast<const NodeKey*>(after ? change.after : change.before));
    for (const Change& change : m_values)
        change.node->setStoredString(static_cast<const char*>(after ? change.after : change.before));
    // Every change is in one tree; an empty log has none to announce.
    if (m_first)
        m_first->announceEdit();
}
