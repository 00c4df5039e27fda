#pragma once

#include "model/NodeState.h"

#include <QAbstractTableModel>
#include <QList>
#include <unordered_map>
#include <unordered_set>
#include <vector>

struct SearchSettings;
class TreeNode;

// The outline as a flat table: one row per visible node in depth-first order, with the columns Name, Kind and
// Value. Every collection is expanded unless the user collapsed it, so a fully expanded outline of millions of
// nodes costs one pointer per row instead of a view item and a persistent index per row.
// The rows follow the search of the tree shown (TreeNode::searchSettings()): a node is listed when the filter keeps
// it (see FilterPass).
class OutlineModel : public QAbstractTableModel
{
    Q_OBJECT
public:
    enum Column { NameColumn, KindColumn, ValueColumn, ColumnCount };
    enum Role {
        DepthRole = Qt::UserRole + 1, // int: 0 for the root
        ExpandableRole,               // bool: the node shows children
        ExpandedRole,                 // bool
        NodeKindRole,                 // qint64: the node's raw kind
    };

    explicit OutlineModel(QObject* parent = nullptr);

    // The tree shown (not owned); nullptr shows nothing. Resets the model with every row expanded, and follows the
    // notifications of that tree only.
    void setRoot(TreeNode* root);
    TreeNode* root() const { return m_root; }
    // Re-runs the filter and rebuilds every row, all expanded (a model reset).
    void refresh();
    // After names and values changed anywhere: the search decides the rows anew, and collapsed rows stay
    // collapsed. Without a search the rows stay and are redrawn.
    void refilter();

    TreeNode* nodeAt(int row) const;
    // The row showing `node`, or -1.
    int rowOf(const TreeNode* node) const;
    int depthAt(int row) const;
    bool isExpandable(int row) const;
    bool isExpanded(int row) const;
    void setExpanded(int row, bool expanded);
    void expandAll();
    void collapseAll();
    // Redraws one row and the rows below it in its subtree; with row -1 every row.
    void reloadRowWithChildren(int row);
    void reloadRow(int row);
    // Redraws every row (after the row-icon setting changed).
    void reloadAll();

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    // A cell edit changed `node` (in `column`); `before` is the node as it was.
    void nodeEdited(TreeNode* node, const NodeState& before, int column);

private:
    qsizetype visibleChildCount(const TreeNode* node) const;
    bool expandedState(const TreeNode* node) const;
    // Appends the rows below `node` (not `node` itself) as the current expansion shows them; stops and returns
    // false once more than `limit` rows were appended.
    bool appendSubtreeRows(const TreeNode* node, std::vector<TreeNode*>& rows, size_t limit = SIZE_MAX) const;
    // How many rows directly follow `row` inside its subtree; past `limit`, limit + 1.
    int subtreeRowCount(int row, size_t limit = SIZE_MAX) const;
    void rebuildRows();
    // The root's search settings, or no search.
    const SearchSettings& search() const;
    void onChildrenAboutToChange(TreeNode* node);
    void onChildrenChanged(TreeNode* node);
    QString nameOf(const TreeNode* node) const;
    static bool hasSiblingNamed(const TreeNode* node, const QString& name);
    QString valueOf(const TreeNode* node) const;

    TreeNode* m_root = nullptr;
    QList<QMetaObject::Connection> m_treeConnections;
    std::vector<TreeNode*> m_rows;
    bool m_releaseRows = false;
    bool m_searching = false;
    // Visible children per collection under the current search, until the filter runs again.
    mutable std::unordered_map<const TreeNode*, qsizetype> m_keptCounts;
    // Expansion: every collection takes the default state except those listed as exceptions.
    bool m_expandedByDefault = true;
    std::unordered_set<const TreeNode*> m_exceptions;
    // Rows of a node whose children are being replaced, counted before the change.
    int m_changingRow = -1;
    int m_changingCount = 0;
    // The element whose index was looked up last, to find its neighbours' indices without a search.
    mutable const TreeNode* m_lastParent = nullptr;
    mutable qsizetype m_lastIndex = 0;
};
