#include "app/outline/OutlineView.h"

#include "app/outline/OutlineModel.h"
#include "model/NodeKind.h"
#include "model/TreeNode.h"

#include <QApplication>
#include <QComboBox>
#include <QHeaderView>
#include <QKeyEvent>
#include <QPainter>

QRect OutlineDelegate::branchRect(const QRect& cell, int depth)
{
    return {cell.left() + depth * indentation, cell.top(), indentation, cell.height()};
}

void OutlineDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    if (index.column() != OutlineModel::NameColumn) {
        QStyledItemDelegate::paint(painter, option, index);
        return;
    }
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    // The selection and row background span the whole cell; the text and icon start after the indentation.
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &opt, painter, widget);

    const int depth = index.data(OutlineModel::DepthRole).toInt();
    if (index.data(OutlineModel::ExpandableRole).toBool()) {
        QStyleOption branch;
        branch.rect = branchRect(opt.rect, depth);
        branch.palette = opt.palette;
        branch.state = QStyle::State_Item | QStyle::State_Children;
        if (index.data(OutlineModel::ExpandedRole).toBool())
            branch.state |= QStyle::State_Open;
        style->drawPrimitive(QStyle::PE_IndicatorBranch, &branch, painter, widget);
    }
    opt.rect.setLeft(opt.rect.left() + (depth + 1) * indentation);
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);
}

QWidget* OutlineDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                       const QModelIndex& index) const
{
    if (index.column() != OutlineModel::KindColumn)
        return QStyledItemDelegate::createEditor(parent, option, index);
    auto* box = new QComboBox(parent);
    box->addItems(NodeKinds::labels());
    box->setAccessibleName(tr("Kind"));
    // A choice in the list is the whole edit.
    connect(box, &QComboBox::activated, this, [this, box] {
        auto* self = const_cast<OutlineDelegate*>(this);
        emit self->commitData(box);
        emit self->closeEditor(box);
    });
    return box;
}

void OutlineDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        box->setCurrentIndex(box->findText(index.data(Qt::EditRole).toString()));
        return;
    }
    QStyledItemDelegate::setEditorData(editor, index);
}

void OutlineDelegate::setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const
{
    if (auto* box = qobject_cast<QComboBox*>(editor)) {
        model->setData(index, box->currentText());
        return;
    }
    QStyledItemDelegate::setModelData(editor, model, index);
}

void OutlineDelegate::updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                                           const QModelIndex& index) const
{
    QStyledItemDelegate::updateEditorGeometry(editor, option, index);
    if (index.column() == OutlineModel::NameColumn) {
        const int depth = index.data(OutlineModel::DepthRole).toInt();
        QRect rect = editor->geometry();
        rect.setLeft(option.rect.left() + (depth + 1) * indentation);
        editor->setGeometry(rect);
    }
}

OutlineView::OutlineView(QWidget* parent) : QTableView(parent)
{
    setItemDelegate(new OutlineDelegate(this));
    setSelectionBehavior(SelectRows);
    setSelectionMode(SingleSelection);
    setEditTriggers(DoubleClicked | EditKeyPressed | SelectedClicked);
    setShowGrid(false);
    setWordWrap(false);
    setAlternatingRowColors(true);
    setSortingEnabled(false);
    setTabKeyNavigation(false);
    setHorizontalScrollMode(ScrollPerPixel);
    setAccessibleName(tr("Outline"));
    verticalHeader()->hide();
    // Fixed row heights keep millions of rows cheap: no row is ever measured.
    verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    verticalHeader()->setDefaultSectionSize(fontMetrics().height() + 6);
    horizontalHeader()->setHighlightSections(false);
    horizontalHeader()->setStretchLastSection(true);
    horizontalHeader()->setSectionsMovable(false);
}

void OutlineView::setOutlineModel(OutlineModel* model)
{
    m_model = model;
    setModel(model);
    horizontalHeader()->resizeSection(OutlineModel::NameColumn, 260);
    horizontalHeader()->resizeSection(OutlineModel::KindColumn, 90);
}

int OutlineView::selectedRow() const
{
    if (!selectionModel())
        return -1;
    const QModelIndexList rows = selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void OutlineView::selectRow(int row)
{
    if (!m_model)
        return;
    if (row < 0 || row >= m_model->rowCount()) {
        selectionModel()->clearSelection();
        return;
    }
    const QModelIndex index = m_model->index(row, OutlineModel::NameColumn);
    selectionModel()->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    scrollTo(index);
}

TreeNode* OutlineView::selectedNode() const
{
    return m_model ? m_model->nodeAt(selectedRow()) : nullptr;
}

bool OutlineView::toggleAt(const QPoint& position)
{
    const QModelIndex index = indexAt(position);
    if (!m_model || !index.isValid() || index.column() != OutlineModel::NameColumn ||
        !m_model->isExpandable(index.row()))
        return false;
    if (!OutlineDelegate::branchRect(visualRect(index), m_model->depthAt(index.row())).contains(position))
        return false;
    m_model->setExpanded(index.row(), !m_model->isExpanded(index.row()));
    return true;
}

void OutlineView::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton && toggleAt(event->position().toPoint())) {
        event->accept();
        return;
    }
    QTableView::mousePressEvent(event);
}

void OutlineView::keyPressEvent(QKeyEvent* event)
{
    const int row = selectedRow();
    // Number-pad arrows carry the keypad modifier; they mean the same.
    if (m_model && row >= 0 && (event->modifiers() & ~Qt::KeypadModifier) == Qt::NoModifier) {
        if (event->key() == Qt::Key_Right && m_model->isExpandable(row) && !m_model->isExpanded(row)) {
            m_model->setExpanded(row, true);
            return;
        }
        if (event->key() == Qt::Key_Left) {
            if (m_model->isExpanded(row)) {
                m_model->setExpanded(row, false);
            } else if (const TreeNode* node = m_model->nodeAt(row); node && node != m_model->root()) {
                // Left on a closed row goes to its parent, as in any tree.
                selectRow(m_model->rowOf(node->parent()));
            }
            return;
        }
    }
    QTableView::keyPressEvent(event);
}
