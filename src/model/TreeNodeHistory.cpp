// Taking edits back: a node's state put back as it was, and rows put back where they were.
#include "model/Notifications.h"
#include "model/TreeNode.h"

#include <cstring>
#include <vector>

NodeState TreeNode::state() const
{
    NodeState state;
    state.name = m_name;
    state.children = m_children;
    state.childCount = m_childCount;
    state.kind = m_kind;
    state.valueType = m_valueType;
    static_assert(sizeof state.valueBits == sizeof m_value);
    std::memcpy(&state.valueBits, &m_value, sizeof m_value);
    return state;
}

void TreeNode::restoreState(const NodeState& state)
{
    Notifications& notices = notifications();
    const bool childrenChange = state.children != m_children || state.childCount != m_childCount;
    const bool kindChange = state.kind != m_kind;
    if (childrenChange)
        emit notices.filteredChildrenAboutToChange(this);
    m_name = state.name;
    m_children = const_cast<TreeNode**>(state.children);
    m_childCount = state.childCount;
    m_kind = state.kind;
    m_valueType = state.valueType;
    std::memcpy(&m_value, &state.valueBits, sizeof m_value);
    announceEdit();
    if (childrenChange)
        emit notices.filteredChildrenChanged(this);
    if (kindChange)
        notices.postReloadCurrentRow();
}

void TreeNode::insertChild(qsizetype index, TreeNode* node)
{
    if (index < 0 || index > childCount() || !node)
        return;
    Notifications& notices = notifications();
    emit notices.filteredChildrenAboutToChange(this);
    std::vector<TreeNode*> list(children().begin(), children().end());
    list.insert(list.begin() + index, node);
    node->setParent(this);
    setChildren(list);
    emit notices.filteredChildrenChanged(this);
}

void TreeNode::removeChild(qsizetype index)
{
    if (index < 0 || index >= childCount())
        return;
    Notifications& notices = notifications();
    emit notices.filteredChildrenAboutToChange(this);
    std::vector<TreeNode*> list(children().begin(), children().end());
    list.erase(list.begin() + index);
    setChildren(list);
    emit notices.filteredChildrenChanged(this);
}

void TreeNode::setStoredString(const char* blob)
{
    m_value.text = blob;
    m_valueType = StringValue;
}
