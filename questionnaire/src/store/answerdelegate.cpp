#include "answerdelegate.h"

#include <QMetaProperty>

void AnswerDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    const QMetaProperty user = editor->metaObject()->userProperty();
    const QVariant value = index.data(Qt::EditRole);
    if (user.metaType() == QMetaType::fromType<QByteArray>())
        user.write(editor, value.toString().toUtf8());
    else
        user.write(editor, value.toString());
}

void AnswerDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    model->setData(index, storedText(editor->metaObject()->userProperty().read(editor)),
                   Qt::EditRole);
}

QString AnswerDelegate::storedText(const QVariant& value) {
    // As text, never as a blob: the column is TEXT and other readers expect text.
    return value.metaType() == QMetaType::fromType<QByteArray>()
               ? QString::fromUtf8(value.toByteArray())
               : value.toString();
}
