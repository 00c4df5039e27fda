// Find & Replace: the sheet and the replace-all command over the whole document.
#include "app/AppDelegate.h"

#include "app/FindReplaceDialog.h"
#include "app/MainWindow.h"
#include "app/undo/UndoHistory.h"
#include "model/Alerts.h"
#include "model/EditStep.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QCheckBox>
#include <QLineEdit>

void AppDelegate::showFindReplace()
{
    if (!m_findReplacePanel) {
        m_findReplacePanel = new FindReplaceDialog(m_window.get());
        connect(m_findReplacePanel, &FindReplaceDialog::replaceAllRequested, this, &AppDelegate::performReplaceAll);
    }
    m_findReplacePanel->open();
    m_findReplacePanel->findField()->setFocus();
    m_findReplacePanel->findField()->selectAll();
}

void AppDelegate::closeFindReplace()
{
    if (m_findReplacePanel)
        m_findReplacePanel->reject();
}

void AppDelegate::performReplaceAll()
{
    FindReplaceDialog* panel = m_findReplacePanel;
    const QString find = panel ? panel->findField()->text() : QString();
    const QString replacement = panel ? panel->replaceField()->text() : QString();
    const bool caseSensitive = panel ? panel->caseCheck()->isChecked() : true;
    const bool includeKeys = panel ? panel->keysCheck()->isChecked() : false;
    if (find.isEmpty() || !m_document || !m_document->root()) {
        QApplication::beep();
        return;
    }
    qsizetype skipped = 0;
    ReplaceLog log;
    const qsizetype count =
        m_document->root()->replaceAll(find, replacement, caseSensitive, includeKeys, &skipped, &log);
    if (log.size() > 0)
        m_undo->record(std::make_unique<ReplaceAllStep>(std::move(log)), tr("Replace All"));
    refreshOutline();
    if (count > 0)
        updateWebviewContent();
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
