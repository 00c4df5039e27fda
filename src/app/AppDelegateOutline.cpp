// The outline's side of the controller: selection, the view switches, and the tree editing commands.
#include "app/AppDelegate.h"

#include "app/MainWindow.h"
#include "app/OutlineModel.h"
#include "app/OutlineView.h"
#include "app/undo/UndoHistory.h"
#include "model/Alerts.h"
#include "model/EditStep.h"
#include "model/Log.h"
#include "model/NodePath.h"
#include "model/TreeNode.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QMessageBox>
#include <QSplitter>
#include <QTimer>
#include <vector>

void AppDelegate::setCurrentNode(TreeNode* node)
{
    if (m_currentNode == node)
        return;
    m_currentNode = node;
    emit CurrentNodeChanged();
}

void AppDelegate::setCurrentPath(const QString& path)
{
    if (m_currentPath == path && m_currentPath.isNull() == path.isNull())
        return;
    m_currentPath = path;
    emit CurrentPathChanged();
}

void AppDelegate::outlineViewSelectionDidChange()
{
    TreeNode* node = m_window->outlineView()->selectedNode();
    if (m_currentNode)
        m_currentNode->setSelected(false);
    if (!node) {
        setCurrentPath(QString());
        setCurrentNode(nullptr);
        return;
    }
    setCurrentPath(node->path());
    node->setSelected(true);
    setCurrentNode(node);
}

void AppDelegate::reselect(TreeNode* node)
{
    m_window->outlineView()->selectRow(m_outlineModel->rowOf(node));
    // A model reset drops the selection without a signal, so the handler runs here in any case.
    outlineViewSelectionDidChange();
}

void AppDelegate::refreshOutline()
{
    if (!m_document || !m_document->root())
        return;
    TreeNode* selected = m_currentNode;
    m_outlineModel->refresh();
    reselect(selected);
}

void AppDelegate::setShowRowIcons(bool on)
{
    if (m_showRowIcons == on)
        return;
    m_showRowIcons = on;
    m_searchSettings.rowIcons = on;
    m_outlineModel->reloadAll();
    emit ShowRowIconsChanged();
}

void AppDelegate::setCodeIsShown(bool shown)
{
    if (m_codeIsShown == shown)
        return;
    m_codeIsShown = shown;
    updateCodePanelLayout();
    emit CodeIsShownChanged();
}

void AppDelegate::updateCodePanelLayout()
{
    BW_LOG_WARNING("updateCodePanelLayout()", QStringLiteral("CodeIsShown = %1").arg(m_codeIsShown ? "true" : "false"));
    QSplitter* splitter = m_window->splitter();
    const int width = splitter->width();
    m_window->codePane()->setVisible(m_codeIsShown);
    if (m_codeIsShown)
        splitter->setSizes({width / 2, width - width / 2});
}

void AppDelegate::expandAllRows()
{
    TreeNode* selected = m_currentNode;
    m_outlineModel->expandAll();
    reselect(selected);
}

void AppDelegate::collapseAllRows()
{
    TreeNode* selected = m_currentNode;
    m_outlineModel->collapseAll();
    reselect(selected);
}

void AppDelegate::reloadCurrentRow()
{
    m_outlineModel->reloadRowWithChildren(m_window->outlineView()->selectedRow());
}

void AppDelegate::addForSelectedRow()
{
    OutlineView* view = m_window->outlineView();
    const int row = view->selectedRow();
    TreeNode* parent = nullptr;
    qsizetype at = -1;
    if (row != -1 && m_currentNode) {
        if (const auto index = m_currentNode->indexInParent(); m_currentNode->parent() && index) {
            parent = m_currentNode->parent();
            at = *index + 1;
        }
    } else if (m_document && m_document->root()) {
        parent = m_document->root();
        at = parent->childCount();
    }
    if (TreeNode* added = parent ? parent->insertNewChild(at) : nullptr)
        m_undo->record(std::make_unique<RowStep>(RowStep::Change::Added, parent, at, added), tr("Add Row"));
    refreshOutline();
    // Without a row below (a childless root was selected) the selection stays where it was.
    const int next = row + 1 < m_outlineModel->rowCount() ? row + 1 : row;
    view->selectRow(next);
    outlineViewSelectionDidChange();
}

void AppDelegate::removeSelectedRow()
{
    OutlineView* view = m_window->outlineView();
    const int row = view->selectedRow();
    TreeNode* node = m_currentNode;
    if (row == -1 || !node)
        return;
    if (m_document && node == m_document->root()) {
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
    m_undo->record(std::make_unique<RowStep>(RowStep::Change::Removed, parent, *index, node), tr("Remove Row"));
    node->setSelected(false);
    setCurrentNode(nullptr);
    refreshOutline();
    const int rows = m_outlineModel->rowCount();
    view->selectRow(rows - 1 >= row ? row : row - 1);
    outlineViewSelectionDidChange();
}

void AppDelegate::recordCellEdit(TreeNode* node, const NodeState& before, int column)
{
    const QString name = column == OutlineModel::NameColumn   ? tr("Rename")
                         : column == OutlineModel::KindColumn ? tr("Change Kind")
                                                              : tr("Edit Value");
    m_undo->record(std::make_unique<NodeEditStep>(node, before), name);
}

void AppDelegate::showEditStep(const EditStep& step, bool undone)
{
    switch (step.reach()) {
    case EditStep::Reach::Tree:
        // As after text typed in the code editor: the other tree, fully expanded (as the outline shows any new root).
        showTree(m_document ? m_document->root() : nullptr);
        break;
    case EditStep::Reach::ManyNodes:
        m_outlineModel->refilter();
        break;
    case EditStep::Reach::Node:
    case EditStep::Reach::Children:
        // The change signals have already moved the rows.
        break;
    }
    // A collapsed or filtered-out node is stood for by the nearest row that is shown.
    TreeNode* focus = step.focus(undone);
    int row = m_outlineModel->rowOf(focus);
    while (focus && row < 0) {
        focus = focus->parent();
        row = m_outlineModel->rowOf(focus);
    }
    m_outlineModel->reloadRow(row);
    reselect(focus);
}

void AppDelegate::copyNodePath()
{
    copyNodePathAs(PathStyle::Outline);
}

void AppDelegate::copyNodeAsJSON()
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

void AppDelegate::showTransientNotice(const QString& title, const QString& message)
{
    if (m_notice)
        m_notice->close();
    auto* box = new QMessageBox(QMessageBox::Information, title, message, QMessageBox::Ok, m_window.get());
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
