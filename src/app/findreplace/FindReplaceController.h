#pragma once

#include <QObject>

class EditorController;
class FindReplaceDialog;
class OutlineController;
class Workspace;

// Find & Replace: the sheet and the replace-all command over the whole document, recorded as one step for Undo.
class FindReplaceController : public QObject
{
    Q_OBJECT
public:
    FindReplaceController(Workspace& workspace, OutlineController& outline, EditorController& editor,
                          QObject* parent = nullptr);

    void showFindReplace();
    void closeFindReplace();
    void performReplaceAll();
    FindReplaceDialog* findReplacePanel() const { return m_findReplacePanel; }

private:
    Workspace& m_workspace;
    OutlineController& m_outline;
    EditorController& m_editor;
    FindReplaceDialog* m_findReplacePanel = nullptr;
};
