#pragma once

#include "model/NodeState.h"
#include "model/ReplaceLog.h"
#include "model/TreeNode.h"

#include <QPointer>
#include <cstddef>

class Document;

// One edit of a document, kept once it has been made so that it can be taken back and made again. Steps are
// undone and redone strictly in the reverse order of their making; that is what lets them keep handles into
// the tree (old texts, child lists, detached subtrees) instead of copies.
class EditStep
{
public:
    // How much of the outline an undone or redone step changes.
    enum class Reach {
        Node,      // one row; a kind change also replaces the row's children (announced)
        Children,  // one collection's children (announced)
        ManyNodes, // names and values anywhere in the tree
        Tree,      // the whole tree
    };

    virtual ~EditStep() = default;
    virtual void undo() = 0;
    virtual void redo() = 0;
    virtual Reach reach() const = 0;
    // The node to select once the step has been undone (or redone); nullptr for none.
    virtual TreeNode* focus(bool undone) const = 0;
    // Memory the step keeps that the document would not hold without it.
    virtual std::size_t bytes() const = 0;
};

// A rename, kind change or value edit: the node's state before and after. Children dropped by a kind change
// stay in the state before, since the node never writes to that list again.
class NodeEditStep final : public EditStep
{
public:
    // Made right after the edit: the state after is the node's state now.
    NodeEditStep(TreeNode* node, const NodeState& before);
    void undo() override { m_node->restoreState(m_before); }
    void redo() override { m_node->restoreState(m_after); }
    Reach reach() const override { return Reach::Node; }
    TreeNode* focus(bool) const override { return m_node; }
    std::size_t bytes() const override { return sizeof(*this); }

private:
    TreeNode* m_node;
    NodeState m_before;
    NodeState m_after;
};

// Add Row or Remove Row: `node` was put in at, or taken out from, `index` of `parent`. A removed subtree is
// kept whole, with its own parent link.
class RowStep final : public EditStep
{
public:
    enum class Change { Added, Removed };
    RowStep(Change change, TreeNode* parent, qsizetype index, TreeNode* node);
    void undo() override { apply(m_change == Change::Removed); }
    void redo() override { apply(m_change == Change::Added); }
    Reach reach() const override { return Reach::Children; }
    // The row itself while it is there; otherwise the row that takes its place, a neighbour or the parent.
    TreeNode* focus(bool undone) const override;
    std::size_t bytes() const override { return sizeof(*this); }

private:
    void apply(bool present);

    Change m_change;
    TreeNode* m_parent;
    qsizetype m_index;
    TreeNode* m_node;
};

// One whole replace-all run.
class ReplaceAllStep final : public EditStep
{
public:
    explicit ReplaceAllStep(ReplaceLog log) : m_log(std::move(log)) {}
    void undo() override { m_log.revert(); }
    void redo() override { m_log.reapply(); }
    Reach reach() const override { return Reach::ManyNodes; }
    TreeNode* focus(bool) const override { return m_log.firstNode(); }
    std::size_t bytes() const override { return sizeof(*this) - sizeof m_log + m_log.bytes(); }

private:
    ReplaceLog m_log;
};

// The document's tree replaced by another (text typed in the code editor): keeps the tree that is not shown.
class TreeReplacementStep final : public EditStep
{
public:
    // Made right after the replacement, with the tree it replaced.
    TreeReplacementStep(Document* document, OwnedTree previous);
    void undo() override { swap(); }
    void redo() override { swap(); }
    Reach reach() const override { return Reach::Tree; }
    TreeNode* focus(bool) const override;
    std::size_t bytes() const override;

private:
    void swap();

    QPointer<Document> m_document;
    OwnedTree m_other;
};
