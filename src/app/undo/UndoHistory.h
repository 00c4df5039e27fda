#pragma once

#include <QObject>
#include <QPointer>
#include <cstddef>
#include <memory>
#include <optional>

class Document;
class EditStep;
class QAction;
class QUndoGroup;
class QUndoStack;

// The document's edit history: one step per edit, undone and redone through a QUndoStack whose clean index is
// the saved state. Bounded by memory: when the steps keep more than the budget, the oldest are dropped (the
// newest always stays, so the last edit can be taken back however large it was).
class UndoHistory : public QObject
{
    Q_OBJECT
public:
    static constexpr std::size_t kMinimumBudget = std::size_t(256) * 1024 * 1024;

    explicit UndoHistory(QObject* parent = nullptr);
    ~UndoHistory() override;

    // Starts an empty history for `document` (not owned). A document read from or written to a file is at its
    // saved state; one made from text has none until it is saved.
    void reset(Document* document);
    // Records an edit that has just been made; `name` completes "Undo …" and "Redo …".
    void record(std::unique_ptr<EditStep> step, const QString& name);

    // Edit > Undo and Edit > Redo: named after the step, disabled when there is none.
    QAction* undoAction() const { return m_undoAction; }
    QAction* redoAction() const { return m_redoAction; }
    QUndoStack* stack() const { return m_stack; }

    // What the kept steps cost, and what they may: the larger of 256 MiB and the shown tree's own size.
    std::size_t bytes() const { return m_bytes; }
    std::size_t budget() const;
    // A fixed budget instead (tests); nothing restores the usual one.
    void setBudget(std::optional<std::size_t> bytes) { m_fixedBudget = bytes; }

signals:
    // A step was undone or redone; the window shows what it changed.
    void stepApplied(const EditStep& step, bool undone);

private:
    class Command;
    void adoptStack(QUndoStack* stack);
    void syncSaved();
    void trim();

    QUndoGroup* m_group = nullptr;
    QUndoStack* m_stack = nullptr;
    QAction* m_undoAction = nullptr;
    QAction* m_redoAction = nullptr;
    QPointer<Document> m_document;
    std::size_t m_bytes = 0;
    std::optional<std::size_t> m_fixedBudget;
};
