#include "figuredelegate.h"

#include "altletterguard.h"

#include <QAbstractProxyModel>
#include <QDoubleValidator>
#include <QIntValidator>
#include <QLineEdit>
#include <QSqlField>
#include <QSqlRecord>
#include <QSqlTableModel>

namespace {

enum class Kind { Text, Whole, Decimal };

Kind kindOf(QModelIndex index) {
    // The grid shows its table through a proxy (the totals row); the table decides.
    while (const auto* proxy = qobject_cast<const QAbstractProxyModel*>(index.model()))
        index = proxy->mapToSource(index);
    const auto* table = qobject_cast<const QSqlTableModel*>(index.model());
    if (!table)
        return Kind::Text;
    switch (table->record().field(index.column()).metaType().id()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
        return Kind::Whole;
    case QMetaType::Double:
        return Kind::Decimal;
    default:
        return Kind::Text;
    }
}

} // namespace

QWidget* FigureDelegate::createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                                      const QModelIndex& index) const {
    const Kind kind = kindOf(index);
    if (kind == Kind::Text) {
        QWidget* editor = QStyledItemDelegate::createEditor(parent, option, index);
        if (editor)
            AltLetterGuard::install(editor);
        return editor;
    }
    auto* edit = new QLineEdit(parent);
    AltLetterGuard::install(edit);
    edit->setFrame(false);
    if (kind == Kind::Whole) {
        edit->setValidator(new QIntValidator(edit));
    } else {
        auto* v = new QDoubleValidator(edit);
        v->setNotation(QDoubleValidator::StandardNotation);
        v->setLocale(QLocale::c());
        edit->setValidator(v);
    }
    return edit;
}

void FigureDelegate::setEditorData(QWidget* editor, const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    if (!edit || kindOf(index) == Kind::Text) {
        QStyledItemDelegate::setEditorData(editor, index);
        return;
    }
    const QVariant v = index.data(Qt::EditRole);
    edit->setText(v.isNull() ? QString() : QLocale::c().toString(v.toDouble(), 'g', 15));
}

void FigureDelegate::setModelData(QWidget* editor, QAbstractItemModel* model,
                                  const QModelIndex& index) const {
    auto* edit = qobject_cast<QLineEdit*>(editor);
    const Kind kind = kindOf(index);
    if (!edit || kind == Kind::Text) {
        QStyledItemDelegate::setModelData(editor, model, index);
        return;
    }
    const QString text = edit->text().trimmed();
    bool ok = false;
    QVariant value;
    if (text.isEmpty()) {
        value = QVariant(kind == Kind::Whole ? QMetaType::fromType<qlonglong>()
                                             : QMetaType::fromType<double>());
        ok = true;
    } else if (kind == Kind::Whole) {
        value = QLocale::c().toLongLong(text, &ok);
    } else {
        value = QLocale::c().toDouble(text, &ok);
    }
    if (ok) // an unfinished number ("-", "1e") leaves the cell as it was
        model->setData(index, value, Qt::EditRole);
}
