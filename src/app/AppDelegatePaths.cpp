// Paths that tools read: Copy Path As (jq, JSON Pointer, JSONPath) and Go to Path.
#include "app/AppDelegate.h"

#include "app/GoToPathDialog.h"
#include "app/MainWindow.h"
#include "app/OutlineModel.h"
#include "app/OutlineView.h"
#include "model/NodePath.h"
#include "model/TreeNode.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <vector>

QMenu* AppDelegate::copyPathAsMenu()
{
    if (!m_copyPathAsMenu) {
        m_copyPathAsMenu = new QMenu(tr("Copy Pat&h As"), m_window.get());
        for (const auto& [title, style] :
             {std::pair{tr("&jq"), PathStyle::Jq}, std::pair{tr("JSON &Pointer"), PathStyle::Pointer},
              std::pair{tr("JSONPat&h"), PathStyle::JsonPath}}) {
            QAction* item = m_copyPathAsMenu->addAction(title);
            connect(item, &QAction::triggered, this, [this, style] { copyNodePathAs(style); });
        }
    }
    return m_copyPathAsMenu;
}

void AppDelegate::copyNodePathAs(PathStyle style)
{
    if (!m_currentNode)
        return;
    const QString path = NodePath::format(m_currentNode, style);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(path);
    // The root's JSON Pointer is the empty text, which a notice would show as nothing at all.
    showTransientNotice(QStringLiteral("Path Copied"),
                        path.isEmpty() ? tr("(the empty pointer: the whole document)") : path);
}

void AppDelegate::showGoToPath()
{
    if (!m_goToPathDialog) {
        m_goToPathDialog = new GoToPathDialog(m_window.get());
        connect(m_goToPathDialog, &GoToPathDialog::goRequested, this, &AppDelegate::goToPath);
    }
    m_goToPathDialog->showMessage({});
    m_goToPathDialog->open();
    m_goToPathDialog->pathField()->setFocus();
    m_goToPathDialog->pathField()->selectAll();
}

bool AppDelegate::goToPath(const QString& path)
{
    TreeNode* root = m_document ? m_document->root() : nullptr;
    NodePath::Resolution found = NodePath::resolve(root, path);
    // A pasted path often brings a line break or spaces along.
    if (!found.node && path.trimmed() != path)
        found = NodePath::resolve(root, path.trimmed());
    if (!found.node) {
        if (m_goToPathDialog)
            m_goToPathDialog->showMessage(found.ambiguous ? tr("More than one node has this path; copy the path as "
                                                               "jq, JSON Pointer or JSONPath to tell them apart")
                                                          : tr("No node at this path"));
        return false;
    }
    TreeNode* node = found.node;
    auto expandAncestors = [this, node] {
        std::vector<TreeNode*> ancestors;
        for (TreeNode* at = node->parent(); at; at = at->parent())
            ancestors.push_back(at);
        // From the top down: a collapsed ancestor's rows appear only once the one above it is open.
        for (auto at = ancestors.rbegin(); at != ancestors.rend(); ++at)
            if (const int row = m_outlineModel->rowOf(*at); row >= 0)
                m_outlineModel->setExpanded(row, true);
    };
    expandAncestors();
    if (m_outlineModel->rowOf(node) < 0 && !m_searchValue.isEmpty()) {
        // The search hides it.
        setSearchPredicateValue(QString());
        expandAncestors();
    }
    reselect(node);
    if (m_goToPathDialog)
        m_goToPathDialog->accept();
    m_window->outlineView()->setFocus();
    return true;
}
