#pragma once

#include "model/SearchSettings.h"

#include <QObject>
#include <memory>

class Document;
class MainWindow;
class OutlineModel;
class Prompts;
class TreeNode;
class UndoHistory;

// What the feature controllers share: the window, the current document, its edit history and the questions asked
// of the user. AppDelegate owns it, and it outlives every controller.
class Workspace : public QObject
{
    Q_OBJECT
public:
    Workspace(MainWindow& window, OutlineModel& outlineModel, UndoHistory& undo, Prompts& dialogs,
              QObject* parent = nullptr);
    ~Workspace() override;

    MainWindow& window() const { return m_window; }
    OutlineModel& outlineModel() const { return m_outlineModel; }
    UndoHistory& undo() const { return m_undo; }
    Prompts& prompts() const { return *m_prompts; }
    // Replaces the dialogs (tests answer from a script); not owned. nullptr restores the dialogs.
    void setPrompts(Prompts* prompts);
    // What the outline's filter follows; every tree the window shows is pointed at it.
    SearchSettings& searchSettings() { return m_searchSettings; }

    Document* document() const { return m_document.get(); }
    TreeNode* root() const;
    // Makes `document` the current one. documentInstalled() is emitted while the old document is still alive,
    // since the outline and the selection point into its tree until they have been told.
    void installDocument(std::unique_ptr<Document> document);
    bool isUnsaved() const;
    // The empty document of start-up and New holds nothing that closing could lose.
    bool documentIsBlank() const { return m_documentIsBlank; }
    void setDocumentIsBlank(bool blank) { m_documentIsBlank = blank; }

signals:
    void documentInstalled();

private:
    MainWindow& m_window;
    OutlineModel& m_outlineModel;
    UndoHistory& m_undo;
    Prompts& m_dialogs;
    Prompts* m_prompts;
    // Declared before the document, whose trees point at it, so that it outlives them.
    SearchSettings m_searchSettings;
    std::unique_ptr<Document> m_document;
    bool m_documentIsBlank = false;
};
