#include "app/paths/PathController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/outline/OutlineController.h"
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/paths/GoToPathDialog.h"
#include "app/search/SearchController.h"
#include "model/NodePath.h"
#include "model/TreeNode.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QLineEdit>
#include <QMenu>
#include <vector>

PathController::PathController(Workspace& workspace, OutlineController& outline, SearchController& search,
                               QObject* parent)
    : QObject(parent), m_workspace(workspace), m_outline(outline), m_search(search)
{}

QMenu* PathController::copyPathAsMenu()
{
    if (!m_copyPathAsMenu) {
        m_copyPathAsMenu = new QMenu(tr("Copy Pat&h As"), &m_workspace.window());
        for (const auto& [title, style] :
             {std::pair{tr("&jq"), PathStyle::Jq}, std::pair{tr("JSON &Pointer"), PathStyle::Pointer},
              std::pair{tr("JSONPat&h"), PathStyle::JsonPath}}) {
            QAction* item = m_copyPathAsMenu->addAction(title);
            connect(item, &QAction::triggered, this, [this, style] { copyNodePathAs(style); });
        }
    }
    return m_copyPathAsMenu;
}

void PathController::copyNodePath()
{
    copyNodePathAs(PathStyle::Outline);
}

void PathController::copyNodePathAs(PathStyle style)
{
    TreeNode* node = m_outline.currentNode();
    if (!node)
        return;
    const QString path = NodePath::format(node, style);
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(path);
    // The root's JSON Pointer is the empty text, which a notice would show as nothing at all.
    m_outline.showTransientNotice(QStringLiteral("Path Copied"),
                                  path.isEmpty() ? tr("(the empty pointer: the whole document)") : path);
}

void PathController::showGoToPath()
{
    if (!m_goToPathDialog) {
        m_goToPathDialog = new GoToPathDialog(&m_workspace.window());
        connect(m_goToPathDialog, &GoToPathDialog::goRequested, this, &PathController::goToPath);
    }
    m_goToPathDialog->showMessage({});
    m_goToPathDialog->open();
    m_goToPathDialog->pathField()->setFocus();
    m_goToPathDialog->pathField()->selectAll();
}

bool PathController::goToPath(const QString& path)
{
    TreeNode* root = m_workspace.root();
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
    OutlineModel& model = m_workspace.outlineModel();
    auto expandAncestors = [&model, node] {
        std::vector<TreeNode*> ancestors;
        for (TreeNode* at = node->parent(); at; at = at->parent())
            ancestors.push_back(at);
        // From the top down: a collapsed ancestor's rows appear only once the one above it is open.
        for (auto at = ancestors.rbegin(); at != ancestors.rend(); ++at)
            if (const int row = model.rowOf(*at); row >= 0)
                model.setExpanded(row, true);
    };
    expandAncestors();
    if (model.rowOf(node) < 0 && !m_search.value().isEmpty()) {
        // The search hides it.
        m_search.setValue(QString());
        expandAncestors();
    }
    m_outline.reselect(node);
    if (m_goToPathDialog)
        m_goToPathDialog->accept();
    m_workspace.window().outlineView()->setFocus();
    return true;
}
