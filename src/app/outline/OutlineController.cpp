#include "app/outline/OutlineController.h"

#include "app/MainWindow.h"
#include "app/Workspace.h"
#include "app/outline/OutlineModel.h"
#include "app/outline/OutlineView.h"
#include "app/undo/UndoHistory.h"
#include "model/Alerts.h"
#include "model/Document.h"
#include "model/EditStep.h"
#include "model/Log.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QTimer>
#include <vector>

OutlineController::OutlineController(Workspace& workspace, QObject* parent) : QObject(parent), m_workspace(workspace)
{
    m_workspace.searchSettings().rowIcons = m_showRowIcons;
}

void OutlineController::setCurrentNode(TreeNode* node)
{
    if (m_currentNode)
        m_currentNode->setSelected(false);
    m_currentNode = node;
    if (node)
        node->setSelected(true);
}

void OutlineController::showTree(TreeNode* root)
{
    emit treeReplaced();
    setCurrentNode(nullptr);
    if (root)
        root->setSearchSettings(&m_workspace.searchSettings());
    m_workspace.outlineModel().setRoot(root);
    selectionChanged();
}

void OutlineController::selectionChanged()
{
    TreeNode* node = m_workspace.window().outlineView()->selectedNode();
    m_currentPath = node ? node->path() : QString();
    setCurrentNode(node);
}

void OutlineController::reselect(TreeNode* node)
{
    m_workspace.window().outlineView()->selectRow(m_workspace.outlineModel().rowOf(node));
    // A model reset drops the selection without a signal, so the handler runs here in any case.
    selectionChanged();
}

void OutlineController::refresh()
{
    if (!m_workspace.root())
        return;
    TreeNode* selected = m_currentNode;
    m_workspace.outlineModel().refresh();
    reselect(selected);
}

void OutlineController::treeDataChanged()
{
    // A renamed node or ancestor changes the selected node's path.
    if (m_currentNode)
        m_currentPath = m_currentNode->path();
}

void OutlineController::setShowRowIcons(bool on)
{
    if (m_showRowIcons == on)
        return;
    m_showRowIcons = on;
    m_workspace.searchSettings().rowIcons = on;
    m_workspace.outlineModel().reloadAll();
    emit showRowIconsChanged();
}

void OutlineController::expandAllRows()
{
    TreeNode* selected = m_currentNode;
    m_workspace.outlineModel().expandAll();
    reselect(selected);
}

void OutlineController::collapseAllRows()
{
    TreeNode* selected = m_currentNode;
    m_workspace.outlineModel().collapseAll();
    reselect(selected);
}

void OutlineController::reloadCurrentRow()
{
    m_workspace.outlineModel().reloadRowWithChildren(m_workspace.window().outlineView()->selectedRow());
}

void OutlineController::addForSelectedRow()
{
    OutlineView* view = m_workspace.window().outlineView();
    OutlineModel& model = m_workspace.outlineModel();
    const int row = view->selectedRow();
    TreeNode* parent = nullptr;
    qsizetype at = -1;
    if (row != -1 && m_currentNode) {
        if (const auto index = m_currentNode->indexInParent(); m_currentNode->parent() && index) {
            parent = m_currentNode->parent();
            at = *index + 1;
        }
    } else if (m_workspace.root()) {
        parent = m_workspace.root();
        at = parent->childCount();
    }
    if (TreeNode* added = parent ? parent->insertNewChild(at) : nullptr)
        m_workspace.undo().record(std::make_unique<RowStep>(RowStep::Change::Added, parent, at, added), tr("Add Row"));
    refresh();
    // Without a row below (a childless root was selected) the selection stays where it was.
    const int next = row + 1 < model.rowCount() ? row + 1 : row;
    view->selectRow(next);
    selectionChanged();
}

void OutlineController::removeSelectedRow()
{
    OutlineView* view = m_workspace.window().outlineView();
    const int row = view->selectedRow();
    TreeNode* node = m_currentNode;
    if (row == -1 || !node)
        return;
    if (node == m_workspace.root()) {
        Alerts::present(
            {QStringLiteral("Ooops!"), QStringLiteral("We cannot delete the root node!"), Alert::Style::Critical});
        return;
    }
    TreeNode* parent = node->parent();
    const auto index = node->indexInParent();
    if (!parent || !index) {
        BW_LOG_ERROR("removeSelectedRow(_:)", QStringLiteral("Selected node has no parent; cannot remove"));
        return;
    }
    std::vector<TreeNode*> children(parent->children().begin(), parent->children().end());
    children.erase(children.begin() + *index);
    parent->setChildren(children);
    m_workspace.undo().record(std::make_unique<RowStep>(RowStep::Change::Removed, parent, *index, node),
                              tr("Remove Row"));
    setCurrentNode(nullptr);
    refresh();
    const int rows = m_workspace.outlineModel().rowCount();
    view->selectRow(rows - 1 >= row ? row : row - 1);
    selectionChanged();
}

void OutlineController::recordCellEdit(TreeNode* node, const NodeState& before, int column)
{
    const QString name = column == OutlineModel::NameColumn   ? tr("Rename")
                         : column == OutlineModel::KindColumn ? tr("Change Kind")
                                                              : tr("Edit Value");
    m_workspace.undo().record(std::make_unique<NodeEditStep>(node, before), name);
}

void OutlineController::showEditStep(const EditStep& step, bool undone)
{
    OutlineModel& model = m_workspace.outlineModel();
    switch (step.reach()) {
    case EditStep::Reach::Tree:
        // As after text typed in the code editor: the other tree, fully expanded (as the outline shows any new root).
        showTree(m_workspace.root());
        break;
    case EditStep::Reach::ManyNodes:
        model.refilter();
        break;
    case EditStep::Reach::Node:
    case EditStep::Reach::Children:
        // The change signals have already moved the rows.
        break;
    }
    // A collapsed or filtered-out node is stood for by the nearest row that is shown.
    TreeNode* focus = step.focus(undone);
    int row = model.rowOf(focus);
    while (focus && row < 0) {
        focus = focus->parent();
        row = model.rowOf(focus);
    }
    model.reloadRow(row);
    reselect(focus);
}

void OutlineController::copyNodeAsJSON()
{
    if (!m_currentNode)
        return;
    const auto text = m_currentNode->jsonText();
    if (!text)
        return;
    QClipboard* clipboard = QGuiApplication::clipboard();
    clipboard->clear();
    clipboard->setText(QString::fromUtf8(*text));
    showTransientNotice(QStringLiteral("JSON Copied"), QStringLiteral("Node JSON has been copied to clipboard"));
}

void OutlineController::showTransientNotice(const QString& title, const QString& message)
{
    if (m_notice)
        m_notice->close();
    auto* box = new QMessageBox(QMessageBox::Information, title, message, QMessageBox::Ok, &m_workspace.window());
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowModality(Qt::WindowModal);
    // The timer belongs to the notice, so closing the notice early also stops it.
    auto* timer = new QTimer(box);
    timer->setSingleShot(true);
    connect(timer, &QTimer::timeout, box, &QWidget::close);
    timer->start(1000);
    m_notice = box;
    box->open();
}
