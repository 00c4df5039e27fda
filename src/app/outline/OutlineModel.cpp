#include "app/outline/OutlineModel.h"

#include "app/outline/RowIcons.h"
#include "model/Alerts.h"
#include "model/FilterPass.h"
#include "model/NodeMatcher.h"
#include "model/Notifications.h"
#include "model/SearchSettings.h"
#include "model/TreeNode.h"

#include <algorithm>

namespace {

const QString kValueKey = QStringLiteral("valueLabel");
constexpr size_t kMovedRowsBeforeReset = 100'000;
// What a tree without search settings follows.
const SearchSettings kNoSearch;

} // namespace

OutlineModel::OutlineModel(QObject* parent) : QAbstractTableModel(parent) {}

const SearchSettings& OutlineModel::search() const
{
    const SearchSettings* settings = m_root ? m_root->searchSettings() : nullptr;
    return settings ? *settings : kNoSearch;
}

void OutlineModel::setRoot(TreeNode* root)
{
    // The rows follow the changes of the tree shown, and of no other.
    for (const QMetaObject::Connection& connection : m_treeConnections)
        disconnect(connection);
    m_treeConnections.clear();
    if (root) {
        Notifications* notifications = &root->notifications();
        m_treeConnections = {
            connect(notifications, &Notifications::filteredChildrenAboutToChange, this,
                    &OutlineModel::onChildrenAboutToChange),
            connect(notifications, &Notifications::filteredChildrenChanged, this, &OutlineModel::onChildrenChanged)};
    }
    m_root = root;
    // Another document needs rows of its own size, not the last one's.
    m_releaseRows = true;
    refresh();
}

void OutlineModel::refresh()
{
    beginResetModel();
    m_expandedByDefault = true;
    m_exceptions.clear();
    if (m_releaseRows)
        m_rows = {};
    m_releaseRows = false;
    m_rows.clear();
    m_keptCounts.clear();
    // The rows follow the search as it is now, until the next refresh.
    m_searching = !search().text.isEmpty();
    if (m_root) {
        // Parallel passes decide the filter and list the rows of the fully expanded outline.
        m_rows.push_back(m_root);
        if (m_searching)
            FilterPass::run(m_root, NodeMatcher(search()), &m_rows);
        else
            FilterPass::listAll(m_root, m_rows);
    }
    endResetModel();
}

void OutlineModel::refilter()
{
    if (!m_searching) {
        reloadAll();
        return;
    }
    beginResetModel();
    m_keptCounts.clear();
    if (m_root)
        FilterPass::run(m_root, NodeMatcher(search()));
    rebuildRows();
    endResetModel();
}

qsizetype OutlineModel::visibleChildCount(const TreeNode* node) const
{
    if (!m_searching)
        return node->childCount();
    // Counting means reading every child; an array of a million elements is asked on every repaint.
    auto found = m_keptCounts.find(node);
    if (found == m_keptCounts.end())
        found = m_keptCounts.emplace(node, FilterPass::keptChildCount(node)).first;
    return found->second;
}

bool OutlineModel::expandedState(const TreeNode* node) const
{
    if (m_exceptions.empty())
        return m_expandedByDefault;
    return m_exceptions.contains(node) != m_expandedByDefault;
}

bool OutlineModel::appendSubtreeRows(const TreeNode* node, std::vector<TreeNode*>& rows, size_t limit) const
{
    const size_t end = rows.size() + std::min(limit, SIZE_MAX - rows.size());
    struct Frame
    {
        const TreeNode* node;
        qsizetype next;
    };
    const bool filtered = m_searching;
    std::vector<Frame> stack{{node, 0}};
    while (!stack.empty()) {
        Frame& frame = stack.back();
        if (frame.next >= frame.node->childCount()) {
            stack.pop_back();
            continue;
        }
        TreeNode* child = frame.node->child(frame.next++);
        if (filtered && !child->filterVisible())
            continue;
        if (rows.size() == end)
            return false;
        rows.push_back(child);
        if (child->childCount() > 0 && expandedState(child))
            stack.push_back({child, 0});
    }
    return true;
}

void OutlineModel::rebuildRows()
{
    m_rows.clear();
    if (!m_root)
        return;
    m_rows.push_back(m_root);
    if (expandedState(m_root))
        appendSubtreeRows(m_root, m_rows);
}

int OutlineModel::subtreeRowCount(int row, size_t limit) const
{
    if (!isExpanded(row))
        return 0;
    std::vector<TreeNode*> rows;
    if (!appendSubtreeRows(m_rows[size_t(row)], rows, limit))
        return int(limit) + 1;
    return int(rows.size());
}

TreeNode* OutlineModel::nodeAt(int row) const
{
    return row >= 0 && size_t(row) < m_rows.size() ? m_rows[size_t(row)] : nullptr;
}

int OutlineModel::rowOf(const TreeNode* node) const
{
    if (!node)
        return -1;
    const auto found = std::find(m_rows.begin(), m_rows.end(), node);
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}

int OutlineModel::depthAt(int row) const
{
    int depth = 0;
    for (const TreeNode* node = nodeAt(row); node && node != m_root; node = node->parent())
        ++depth;
    return depth;
}

bool OutlineModel::isExpandable(int row) const
{
    const TreeNode* node = nodeAt(row);
    return node && visibleChildCount(node) > 0;
}

bool OutlineModel::isExpanded(int row) const
{
    return isExpandable(row) && expandedState(m_rows[size_t(row)]);
}

void OutlineModel::setExpanded(int row, bool expanded)
{
    if (!isExpandable(row) || isExpanded(row) == expanded)
        return;
    const TreeNode* node = m_rows[size_t(row)];
    if (!expanded) {
        const int count = subtreeRowCount(row);
        beginRemoveRows({}, row + 1, row + count);
        m_rows.erase(m_rows.begin() + row + 1, m_rows.begin() + row + 1 + count);
    }
    if (expanded == m_expandedByDefault)
        m_exceptions.erase(node);
    else
        m_exceptions.insert(node);
    if (!expanded) {
        endRemoveRows();
    } else {
        std::vector<TreeNode*> rows;
        appendSubtreeRows(node, rows);
        beginInsertRows({}, row + 1, row + int(rows.size()));
        m_rows.insert(m_rows.begin() + row + 1, rows.begin(), rows.end());
        endInsertRows();
    }
    emit dataChanged(index(row, NameColumn), index(row, NameColumn), {ExpandedRole});
}

void OutlineModel::expandAll()
{
    beginResetModel();
    m_expandedByDefault = true;
    m_exceptions.clear();
    rebuildRows();
    endResetModel();
}

void OutlineModel::collapseAll()
{
    beginResetModel();
    m_expandedByDefault = false;
    m_exceptions.clear();
    rebuildRows();
    endResetModel();
}

void OutlineModel::reloadRowWithChildren(int row)
{
    if (m_rows.empty())
        return;
    if (row < 0 || size_t(row) >= m_rows.size()) {
        reloadAll();
        return;
    }
    emit dataChanged(index(row, 0), index(row + subtreeRowCount(row), ColumnCount - 1));
}

void OutlineModel::reloadRow(int row)
{
    if (row >= 0 && size_t(row) < m_rows.size())
        emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

void OutlineModel::reloadAll()
{
    if (!m_rows.empty())
        emit dataChanged(index(0, 0), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

void OutlineModel::onChildrenAboutToChange(TreeNode* node)
{
    m_changingRow = rowOf(node);
    m_changingCount = m_changingRow >= 0 ? subtreeRowCount(m_changingRow, kMovedRowsBeforeReset) : 0;
}

void OutlineModel::onChildrenChanged(TreeNode* node)
{
    const int row = m_changingRow;
    const int count = m_changingCount;
    m_changingRow = -1;
    m_changingCount = 0;
    m_keptCounts.clear();
    if (m_searching) {
        // Decide the new children under the current search, also under a collapsed row that may be opened
        // later; the node itself stays listed either way.
        const bool kept = node->filterVisible();
        FilterPass::run(node, NodeMatcher(search()));
        node->setFilterVisible(kept);
    }
    if (row < 0 || nodeAt(row) != node)
        return;
    std::vector<TreeNode*> rows;
    if (size_t(count) > kMovedRowsBeforeReset ||
        (expandedState(node) && !appendSubtreeRows(node, rows, kMovedRowsBeforeReset))) {
        // Millions of rows moved one range at a time cost more than listing every row again in place. Expansion
        // is kept; the caller selects again.
        beginResetModel();
        rebuildRows();
        endResetModel();
        return;
    }
    if (count > 0) {
        beginRemoveRows({}, row + 1, row + count);
        m_rows.erase(m_rows.begin() + row + 1, m_rows.begin() + row + 1 + count);
        endRemoveRows();
    }
    if (!rows.empty()) {
        beginInsertRows({}, row + 1, row + int(rows.size()));
        m_rows.insert(m_rows.begin() + row + 1, rows.begin(), rows.end());
        endInsertRows();
    }
    emit dataChanged(index(row, 0), index(row, ColumnCount - 1));
}

int OutlineModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(m_rows.size());
}

int OutlineModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

bool OutlineModel::hasSiblingNamed(const TreeNode* node, const QString& name)
{
    const QByteArray utf8 = name.toUtf8();
    const std::string_view wanted(utf8.constData(), size_t(utf8.size()));
    for (const TreeNode* sibling : node->parent()->children())
        if (sibling != node && sibling->nameUtf8() == wanted)
            return true;
    return false;
}

QString OutlineModel::nameOf(const TreeNode* node) const
{
    const TreeNode* parent = node->parent();
    if (!parent || !node->isArrayChild())
        return node->nameLabel();
    // Rows are painted in order, so an element's index is almost always next to the last one looked up.
    if (m_lastParent == parent) {
        const qsizetype count = parent->childCount();
        for (qsizetype probe : {m_lastIndex + 1, m_lastIndex, m_lastIndex - 1}) {
            if (probe >= 0 && probe < count && parent->child(probe) == node) {
                m_lastIndex = probe;
                return node->nameLabel(probe);
            }
        }
    }
    const auto index = node->indexInParent();
    if (!index)
        return node->nameLabel();
    m_lastParent = parent;
    m_lastIndex = *index;
    return node->nameLabel(*index);
}

QString OutlineModel::valueOf(const TreeNode* node) const
{
    if (node->isCollection())
        return QStringLiteral("(%1 items)").arg(visibleChildCount(node));
    return node->valueLabel();
}

QVariant OutlineModel::data(const QModelIndex& index, int role) const
{
    const TreeNode* node = nodeAt(index.row());
    if (!node || index.column() < 0 || index.column() >= ColumnCount)
        return {};
    switch (role) {
    case Qt::EditRole:
        // The name editor opens with the member's own name: an empty name is labelled by the member's position,
        // and that label committed unchanged would become its new name.
        if (index.column() == NameColumn && node->parent() && node->parent()->isObject())
            return node->name();
        [[fallthrough]];
    case Qt::DisplayRole:
    case Qt::AccessibleTextRole:
        switch (index.column()) {
        case NameColumn:
            return nameOf(node);
        case KindColumn:
            return node->kindLabel();
        default:
            return valueOf(node);
        }
    case Qt::DecorationRole:
        if (index.column() == NameColumn && search().rowIcons)
            return RowIcons::icon(node->itemIcon());
        return {};
    case DepthRole:
        return depthAt(index.row());
    case ExpandableRole:
        return isExpandable(index.row());
    case ExpandedRole:
        return isExpanded(index.row());
    case NodeKindRole:
        return node->kind();
    default:
        return {};
    }
}

Qt::ItemFlags OutlineModel::flags(const QModelIndex& index) const
{
    const TreeNode* node = nodeAt(index.row());
    if (!node)
        return Qt::NoItemFlags;
    Qt::ItemFlags flags = Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemNeverHasChildren;
    bool editable = false;
    switch (index.column()) {
    case NameColumn:
        // An element's name is its index and the root has no key: only object members can be renamed.
        editable = node->nameIsEditable() && node->parent() && node->parent()->isObject();
        break;
    case KindColumn:
        editable = node->kindIsEditable();
        break;
    default:
        // A collection's value is its item count and null has none: neither can be typed in.
        editable = node->valueIsEditable() && !node->isCollection() && !node->isNull() && node->nodeKind();
        break;
    }
    return editable ? flags | Qt::ItemIsEditable : flags;
}

bool OutlineModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    TreeNode* node = nodeAt(index.row());
    if (role != Qt::EditRole || !node || !(flags(index) & Qt::ItemIsEditable))
        return false;
    const QString text = value.toString();
    const NodeState before = node->state();
    switch (index.column()) {
    case NameColumn:
        if (text == node->name())
            return false;
        if (hasSiblingNamed(node, text)) {
            // An object keeps one value per name: saving would silently drop one of the two members.
            Alerts::present({QStringLiteral("Something went wrong!"),
                             QStringLiteral("There is already a member named \"%1\" here.").arg(text),
                             Alert::Style::Critical});
            return false;
        }
        node->setNameLabel(text);
        break;
    case KindColumn:
        if (!NodeKinds::labels().contains(text) || text == node->kindLabel())
            return false;
        // Replacing children moves rows; the change signals keep the rows in step, so the row is found anew.
        node->setKindLabel(text);
        if (const int row = rowOf(node); row >= 0)
            emit dataChanged(this->index(row, 0), this->index(row, ColumnCount - 1));
        emit nodeEdited(node, before, KindColumn);
        return true;
    default: {
        QVariant checked = text;
        node->validateValue(checked, kValueKey);
        if (checked.toString() == node->valueLabel())
            return false;
        node->setValueLabel(checked.toString());
        break;
    }
    }
    const int row = index.row();
    emit dataChanged(this->index(row, 0), this->index(row, ColumnCount - 1));
    emit nodeEdited(node, before, index.column());
    return true;
}

QVariant OutlineModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return {};
    switch (section) {
    case NameColumn:
        return tr("Name");
    case KindColumn:
        return tr("Kind");
    case ValueColumn:
        return tr("Value");
    default:
        return {};
    }
}
