#include "app/undo/UndoHistory.h"

#include "model/Document.h"
#include "model/EditStep.h"

#include <QAction>
#include <QUndoGroup>
#include <QUndoStack>
#include <vector>

// The stack's entry for one step. It is pushed after the edit was made, so its first redo has nothing to do.
// Steps are shared so that a stack rebuilt without its oldest entries keeps the others.
class UndoHistory::Command : public QUndoCommand
{
public:
    Command(UndoHistory* history, std::shared_ptr<EditStep> step, const QString& name, std::size_t cost)
        : QUndoCommand(name), m_history(history), m_step(std::move(step)), m_cost(cost)
    {}
    void undo() override
    {
        m_step->undo();
        emit m_history->stepApplied(*m_step, true);
    }
    void redo() override
    {
        if (m_pending) {
            m_pending = false;
            return;
        }
        m_step->redo();
        emit m_history->stepApplied(*m_step, false);
    }
    const std::shared_ptr<EditStep>& step() const { return m_step; }
    // Fixed when recorded: a step's cost may change while it is undone, but it is counted while done.
    std::size_t cost() const { return m_cost; }

private:
    UndoHistory* m_history;
    std::shared_ptr<EditStep> m_step;
    std::size_t m_cost;
    bool m_pending = true;
};

UndoHistory::UndoHistory(QObject* parent) : QObject(parent), m_group(new QUndoGroup(this))
{
    // With a prefix the texts read "Undo Rename", or just the prefix when there is no step; the prefix brings
    // the mnemonic, which must not clash with Cut, Copy, Paste and Find & Replace in the Edit menu.
    m_undoAction = m_group->createUndoAction(this, tr("&Undo"));
    m_redoAction = m_group->createRedoAction(this, tr("Re&do"));
    // Unlike the stack's, the group's actions come without keys.
    m_undoAction->setShortcuts(QKeySequence::Undo);
    m_redoAction->setShortcuts(QKeySequence::Redo);
    adoptStack(new QUndoStack(this));
}

UndoHistory::~UndoHistory()
{
    // The steps go before anything they point into.
    m_stack->clear();
}

void UndoHistory::adoptStack(QUndoStack* stack)
{
    QUndoStack* old = m_stack;
    m_stack = stack;
    m_group->addStack(stack);
    m_group->setActiveStack(stack);
    // The saved mark follows the clean state once an undo or redo has moved the index; the edit itself has
    // already marked the document unsaved.
    connect(stack, &QUndoStack::cleanChanged, this, &UndoHistory::syncSaved);
    if (old) {
        m_group->removeStack(old);
        delete old;
    }
}

void UndoHistory::reset(Document* document)
{
    // No document while the stack empties: its clean state changes say nothing about either document.
    if (m_document)
        m_document->disconnect(this);
    m_document = nullptr;
    m_stack->clear();
    m_bytes = 0;
    // clear() leaves the clean index alone when the stack is already empty.
    if (document && document->saved())
        m_stack->setClean();
    else
        m_stack->resetClean();
    m_document = document;
    if (document) {
        // Save, Save As and the exports that count as saving move the saved state to here.
        connect(document, &Document::savedChanged, this, [this](bool saved) {
            if (saved)
                m_stack->setClean();
        });
    }
}

void UndoHistory::record(std::unique_ptr<EditStep> step, const QString& name)
{
    if (!step)
        return;
    // Pushing drops the steps that were undone.
    for (int i = m_stack->index(); i < m_stack->count(); ++i)
        m_bytes -= static_cast<const Command*>(m_stack->command(i))->cost();
    const std::size_t cost = step->bytes();
    m_bytes += cost;
    m_stack->push(new Command(this, std::shared_ptr<EditStep>(std::move(step)), name, cost));
    trim();
}

std::size_t UndoHistory::budget() const
{
    if (m_fixedBudget)
        return *m_fixedBudget;
    const TreeNode* root = m_document ? m_document->root() : nullptr;
    return std::max(kMinimumBudget, root ? root->store().allocatedBytes() : 0);
}

void UndoHistory::syncSaved()
{
    if (m_document && m_document->saved() != m_stack->isClean())
        m_document->setSaved(m_stack->isClean());
}

void UndoHistory::trim()
{
    const std::size_t limit = budget();
    const int count = m_stack->count();
    int drop = 0;
    while (m_bytes > limit && drop < count - 1) {
        m_bytes -= static_cast<const Command*>(m_stack->command(drop))->cost();
        ++drop;
    }
    if (drop == 0)
        return;
    // QUndoStack drops its oldest entries only by a count fixed while it is empty, so the history moves to a
    // new stack with the entries it keeps. Trimming follows a push, so every entry is done.
    const int clean = m_stack->cleanIndex();
    auto* stack = new QUndoStack(this);
    stack->resetClean();
    for (int i = drop; i < count; ++i) {
        if (i == clean)
            stack->setClean();
        const auto* entry = static_cast<const Command*>(m_stack->command(i));
        stack->push(new Command(this, entry->step(), entry->text(), entry->cost()));
    }
    if (clean == count)
        stack->setClean();
    adoptStack(stack);
}
