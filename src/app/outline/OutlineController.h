#pragma once

#include <QMessageBox>
#include <QObject>
#include <QPointer>
#include <QString>

class EditStep;
class TreeNode;
class Workspace;
struct NodeState;

// The outline's commands: the selection and its path, expanding and collapsing, the row icons, adding and
// removing rows, copying a node's JSON, and showing what an undone or redone edit changed.
class OutlineController : public QObject
{
    Q_OBJECT
public:
    explicit OutlineController(Workspace& workspace, QObject* parent = nullptr);

    TreeNode* currentNode() const { return m_currentNode; }
    // Null while nothing is selected.
    QString currentPath() const { return m_currentPath; }

    // Points the outline at `root`, dropping the selection. The caller keeps the old tree alive until then,
    // since the outline and the selection still point into it.
    void showTree(TreeNode* root);
    void selectionChanged();
    // Selects `node`'s row (none when it is not shown).
    void reselect(TreeNode* node);
    // Re-filters the whole tree and shows every match expanded, keeping the selection.
    void refresh();
    void treeDataChanged();
    void expandAllRows();
    void collapseAllRows();
    void reloadCurrentRow();

    bool showRowIcons() const { return m_showRowIcons; }
    void setShowRowIcons(bool on);

    void addForSelectedRow();
    void removeSelectedRow();
    void copyNodeAsJSON();
    // A notice that closes itself after a second; the one on screen, while it is shown.
    void showTransientNotice(const QString& title, const QString& message);
    QMessageBox* transientNotice() const { return m_notice; }

    // An edit made in a cell of the outline, recorded for Undo.
    void recordCellEdit(TreeNode* node, const NodeState& before, int column);
    // Shows an undone or redone step: its rows follow, and its node is selected.
    void showEditStep(const EditStep& step, bool undone);

signals:
    // Before the outline shows another tree.
    void treeReplaced();
    void showRowIconsChanged();

private:
    void setCurrentNode(TreeNode* node);

    Workspace& m_workspace;
    TreeNode* m_currentNode = nullptr;
    QString m_currentPath;
    bool m_showRowIcons = false;
    QPointer<QMessageBox> m_notice;
};
