#include "app/findreplace/FindReplaceController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/editor/EditorController.h"
#include "app/findreplace/FindReplaceDialog.h"
#include "app/outline/OutlineController.h"
#include "app/undo/UndoHistory.h"
#include "model/Alerts.h"
#include "model/Document.h"
#include "model/EditStep.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

FindReplaceController::FindReplaceController(Workspace& workspace, OutlineController& outline, EditorController& editor,
                                             QObject* parent)
    : QObject(parent), m_workspace(workspace), m_outline(outline), m_editor(editor)
{}

void FindReplaceController::showFindReplace()
{
    if (!m_findReplacePanel) {
        m_findReplacePanel = new FindReplaceDialog(&m_workspace.window());
        connect(m_findReplacePanel, &FindReplaceDialog::replaceAllRequested, this,
                &FindReplaceController::performReplaceAll);
    }
    m_findReplacePanel->open();
    m_findReplacePanel->findField()->setFocus();
    m_findReplacePanel->findField()->selectAll();
}

void FindReplaceController::closeFindReplace()
{
    if (m_findReplacePanel)
        m_findReplacePanel->reject();
}

void FindReplaceController::performReplaceAll()
{
    FindReplaceDialog* panel = m_findReplacePanel;
    const QString find = panel ? panel->findField()->text() : QString();
    const QString replacement = panel ? panel->replaceField()->text() : QString();
    const bool caseSensitive = panel ? panel->caseCheck()->isChecked() : true;
    const bool includeKeys = panel ? panel->keysCheck()->isChecked() : false;
    TreeNode* root = m_workspace.root();
    if (find.isEmpty() || !root) {
        QApplication::beep();
        return;
    }
    qsizetype skipped = 0;
    ReplaceLog log;
    const qsizetype count = root->replaceAll(find, replacement, caseSensitive, includeKeys, &skipped, &log);
    if (log.size() > 0)
        m_workspace.undo().record(std::make_unique<ReplaceAllStep>(std::move(log)), tr("Replace All"));
    m_outline.refresh();
    if (count > 0)
        m_editor.updateWebviewContent();
    if (panel)
        panel->accept();

    QString report = QStringLiteral("Replaced %1 occurrence%2.").arg(count).arg(count == 1 ? "" : "s");
    if (skipped > 0) {
        // Those renames would have given two members of one object the same name, and saving keeps only one.
        report += QStringLiteral(" %1 key%2 left unchanged because another member already has the new name.")
                      .arg(skipped)
                      .arg(skipped == 1 ? QStringLiteral(" was") : QStringLiteral("s were"));
    }
    Alerts::present({QStringLiteral("Replace complete"), report, Alert::Style::Critical});
}
