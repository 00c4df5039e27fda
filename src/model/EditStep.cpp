#include "model/EditStep.h"

#include "model/Document.h"

NodeEditStep::NodeEditStep(TreeNode* node, const NodeState& before)
    : m_node(node), m_before(before), m_after(node->state())
{}

RowStep::RowStep(Change change, TreeNode* parent, qsizetype index, TreeNode* node)
    : m_change(change), m_parent(parent), m_index(index), m_node(node)
{}

void RowStep::apply(bool present)
{
    if (present)
        m_parent->insertChild(m_index, m_node);
    else
        m_parent->removeChild(m_index);
}

TreeNode* RowStep::focus(bool undone) const
{
    const bool present = (m_change == Change::Added) != undone;
    if (present)
        return m_node;
    const qsizetype count = m_parent->childCount();
    // Taking back an addition returns to the row it was added after; a removal leaves the next row selected.
    if (m_change == Change::Removed && m_index < count)
        return m_parent->child(m_index);
    if (m_index > 0 && m_index - 1 < count)
        return m_parent->child(m_index - 1);
    return m_parent;
}

TreeReplacementStep::TreeReplacementStep(Document* document, OwnedTree previous)
    : m_document(document), m_other(std::move(previous))
{}

void TreeReplacementStep::swap()
{
    if (!m_document)
        return;
    OwnedTree shown = m_document->takeRoot();
    m_document->setRoot(std::move(m_other));
    m_other = std::move(shown);
    // Whoever still works on the tree taken out sees it change; the document's listeners hear of the edit from
    // the tree put in, whose generation moves on too.
    if (m_other)
        m_other->advanceTreeGeneration();
    if (TreeNode* root = m_document->root())
        root->announceEdit();
}

TreeNode* TreeReplacementStep::focus(bool) const
{
    return m_document ? m_document->root() : nullptr;
}

std::size_t TreeReplacementStep::bytes() const
{
    return sizeof(*this) + (m_other ? m_other->store().allocatedBytes() : 0);
}
