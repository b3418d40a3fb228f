#pragma once

#include <QStyledItemDelegate>

// Carries an answer between its row and the answer box. The row holds the answer as text
// (RTF is ASCII; anything else is kept as UTF-8); the box takes it through its user property.
// An unanswered row (NULL) shows as an empty box: a null value never leaves the previous
// step's answer standing in the box.
class AnswerDelegate : public QStyledItemDelegate {
    Q_OBJECT

public:
    using QStyledItemDelegate::QStyledItemDelegate;

    void setEditorData(QWidget* editor, const QModelIndex& index) const override;
    void setModelData(QWidget* editor, QAbstractItemModel* model,
                      const QModelIndex& index) const override;

    // What the row stores for a value of the box's user property.
    static QString storedText(const QVariant& value);
};
