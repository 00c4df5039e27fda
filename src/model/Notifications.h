#pragma once

#include <QObject>

class TreeNode;

// The notifications of one tree, which tie it to the views that show it. Every tree has its own (see
// TreeNode::notifications()), so edits of one tree never reach the listeners of another. Signals carry no
// sender and no payload except where a view needs to know which node's visible children change. The object
// lives on the main thread (when there is an application), whichever thread built the tree.
class Notifications : public QObject
{
    Q_OBJECT
public:
    Notifications();

    // Some node's name, value or children changed. Inside a batch, one notification is posted when it ends.
    void postTreeDataChanged();
    // The selected row must be redrawn with its children.
    void postReloadCurrentRow() { emit reloadCurrentRow(); }

    // Holds back TreeDataChanged for many edits of this tree made as one (replace-all over millions of nodes):
    // while a Batch lives, the notification is posted at most once, when the outermost batch ends.
    class Batch
    {
    public:
        explicit Batch(Notifications& notifications);
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;

    private:
        Notifications& m_notifications;
    };

signals:
    void treeDataChanged();
    void reloadCurrentRow();
    void filteredChildrenAboutToChange(TreeNode* node);
    void filteredChildrenChanged(TreeNode* node);

private:
    int m_batchDepth = 0;
    bool m_pendingTreeDataChanged = false;
};
