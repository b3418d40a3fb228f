#pragma once

#include <QStyledItemDelegate>

// Edits the cells of the figure grid. A column declared as a number takes only a number
// (or nothing): the editor refuses other keystrokes, and the cell is written as a number,
// or as NULL when left empty, so totals over the column stay sums of figures. Other
// columns edit as text.
class FigureDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override;
    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;
};
