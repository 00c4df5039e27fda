#include "app/Workspace.h"

#include "app/Prompts.h"
#include "model/Document.h"

Workspace::Workspace(MainWindow& window, OutlineModel& outlineModel, UndoHistory& undo, Prompts& dialogs,
                     QObject* parent)
    : QObject(parent), m_window(window), m_outlineModel(outlineModel), m_undo(undo), m_dialogs(dialogs),
      m_prompts(&dialogs)
{}

Workspace::~Workspace() = default;

void Workspace::setPrompts(Prompts* prompts)
{
    m_prompts = prompts ? prompts : &m_dialogs;
}

TreeNode* Workspace::root() const
{
    return m_document ? m_document->root() : nullptr;
}

void Workspace::installDocument(std::unique_ptr<Document> document)
{
    const std::unique_ptr<Document> old = std::exchange(m_document, std::move(document));
    emit documentInstalled();
}

bool Workspace::isUnsaved() const
{
    return m_document && !m_document->saved();
}
