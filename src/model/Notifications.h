#pragma once

#include <QObject>

class TreeNode;

// The process-wide notifications that tie the model to the controller. Signals carry no sender and no
// payload except where a view needs to know which node's visible children change.
class Notifications : public QObject
{
    Q_OBJECT
public:
    static Notifications* instance();

    // Some node's name, value or children changed. Inside a batch, one notification is posted when it ends.
    void postTreeDataChanged();
    // The selected row must be redrawn with its children.
    void postReloadCurrentRow() { emit reloadCurrentRow(); }
    // A document's saved flag was assigned; delivered on the main thread whatever the caller's thread.
    void postSavedStatusChanged();

    // Holds back TreeDataChanged for many edits made as one (replace-all over millions of nodes): while a
    // Batch lives, the notification is posted at most once, when the outermost batch ends.
    class Batch
    {
    public:
        Batch();
        ~Batch();
        Batch(const Batch&) = delete;
        Batch& operator=(const Batch&) = delete;
    };

signals:
    void treeDataChanged();
    void reloadCurrentRow();
    void savedStatusChanged();
    void filteredChildrenAboutToChange(TreeNode* node);
    void filteredChildrenChanged(TreeNode* node);

private:
    Notifications() = default;
    int m_batchDepth = 0;
    bool m_pendingTreeDataChanged = false;
};
