#pragma once

#include <QStyledItemDelegate>
#include <QTableView>

class OutlineModel;
class TreeNode;

// Draws the Name cell of an outline row indented by its depth, with a disclosure triangle for rows that show
// children, and edits kinds through a list of the six kind labels.
class OutlineDelegate : public QStyledItemDelegate
{
    Q_OBJECT
public:
    using QStyledItemDelegate::QStyledItemDelegate;

    static constexpr int indentation = 16;
    // Where the disclosure triangle of a Name cell is drawn.
    static QRect branchRect(const QRect& cell, int depth);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model, const QModelIndex& index) const override;
    void updateEditorGeometry(QWidget* editor, const QStyleOptionViewItem& option,
                              const QModelIndex& index) const override;
};

// The outline: a table whose first column draws the tree. Rows are selected whole, one at a time.
class OutlineView : public QTableView
{
    Q_OBJECT
public:
    explicit OutlineView(QWidget* parent = nullptr);

    void setOutlineModel(OutlineModel* model);
    OutlineModel* outlineModel() const { return m_model; }

    // The selected row, or -1.
    int selectedRow() const;
    // Selects `row` alone and scrolls to it; -1 clears the selection.
    void selectRow(int row);
    TreeNode* selectedNode() const;

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    bool toggleAt(const QPoint& position);

    OutlineModel* m_model = nullptr;
};
