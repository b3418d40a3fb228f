#include "figuretablemodel.h"

#include <QFont>
#include <QLocale>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQueryModel>
#include <QSqlRecord>
#include <QSqlTableModel>

#include <cmath>

namespace {

QLocale numberLocale() {
    const QLocale system;
    return system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                           : system;
}

} // namespace

FigureTableModel::FigureTableModel(QObject* parent) : QIdentityProxyModel(parent) {}

void FigureTableModel::setSourceModel(QAbstractItemModel* source) {
    if (sourceModel())
        disconnect(sourceModel(), nullptr, this, nullptr);
    QIdentityProxyModel::setSourceModel(source);
    if (!source)
        return;
    const auto changed = [this] { recount(); };
    connect(source, &QAbstractItemModel::dataChanged, this, changed);
    connect(source, &QAbstractItemModel::rowsInserted, this, changed);
    connect(source, &QAbstractItemModel::rowsRemoved, this, changed);
    connect(source, &QAbstractItemModel::modelReset, this, changed);
    connect(source, &QAbstractItemModel::layoutChanged, this, changed);
    recount();
}

int FigureTableModel::rowCount(const QModelIndex& parent) const {
    if (parent.isValid() || !sourceModel())
        return 0;
    return sourceModel()->rowCount() + 1;
}

QModelIndex FigureTableModel::index(int row, int column, const QModelIndex& parent) const {
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex FigureTableModel::parent(const QModelIndex&) const {
    return {};
}

QModelIndex FigureTableModel::mapToSource(const QModelIndex& proxy) const {
    if (!proxy.isValid() || !sourceModel() || isTotalsRow(proxy.row()))
        return {};
    return sourceModel()->index(proxy.row(), proxy.column());
}

QModelIndex FigureTableModel::mapFromSource(const QModelIndex& source) const {
    if (!source.isValid())
        return {};
    return createIndex(source.row(), source.column());
}

bool FigureTableModel::isTotalsRow(int row) const {
    return sourceModel() && row == sourceModel()->rowCount();
}

bool FigureTableModel::isKeyColumn(int column) const {
    const auto* table = qobject_cast<const QSqlTableModel*>(sourceModel());
    return table && table->primaryKey().contains(table->record().fieldName(column));
}

int FigureTableModel::labelColumn() const {
    for (int c = 0; c < columnCount(); ++c)
        if (!isKeyColumn(c) && !isNumberColumn(c))
            return c;
    return -1;
}

bool FigureTableModel::isNumberColumn(int column) const {
    const auto* table = qobject_cast<const QSqlQueryModel*>(sourceModel());
    if (!table || isKeyColumn(column))
        return false;
    const int type = table->record().field(column).metaType().id();
    return type == QMetaType::Int || type == QMetaType::LongLong || type == QMetaType::Double;
}

bool FigureTableModel::isMoneyColumn(int column) const {
    const auto* table = qobject_cast<const QSqlQueryModel*>(sourceModel());
    return table && table->record().field(column).metaType().id() == QMetaType::Double;
}

double FigureTableModel::total(int column) const {
    return totals_.value(column);
}

void FigureTableModel::recount() {
    QAbstractItemModel* source = sourceModel();
    const int columns = source ? source->columnCount() : 0;
    totals_.fill(0.0, columns);
    for (int c = 0; c < columns; ++c) {
        if (!isNumberColumn(c))
            continue;
        for (int r = 0; r < source->rowCount(); ++r) {
            const QVariant v = source->index(r, c).data(Qt::EditRole);
            if (!v.isNull())
                totals_[c] += v.toDouble();
        }
    }
    const int last = rowCount() - 1;
    if (last >= 0 && columns > 0)
        emit dataChanged(index(last, 0), index(last, columns - 1));
}

QVariant FigureTableModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Vertical && isTotalsRow(section) && role == Qt::DisplayRole)
        return QString();
    return QIdentityProxyModel::headerData(section, orientation, role);
}

QVariant FigureTableModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid())
        return {};
    const int c = index.column();
    const bool number = isNumberColumn(c);
    if (role == Qt::TextAlignmentRole)
        return QVariant::fromValue(
            Qt::Alignment((number ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter));
    if (isTotalsRow(index.row())) {
        switch (role) {
        case Qt::DisplayRole:
            if (number)
                return numberLocale().toString(totals_.value(c), 'f', isMoneyColumn(c) ? 2 : 0);
            return c == labelColumn() ? QStringLiteral("Total") : QVariant();
        case Qt::FontRole: {
            QFont bold;
            bold.setBold(true);
            return bold;
        }
        default:
            return {};
        }
    }
    if (role == Qt::DisplayRole && number) {
        const QVariant v = QIdentityProxyModel::data(index, Qt::EditRole);
        if (v.isNull())
            return QString();
        const double d = v.toDouble();
        const bool money = isMoneyColumn(c);
        return numberLocale().toString(d, 'f', money ? 2 : (d == std::floor(d) ? 0 : 2));
    }
    return QIdentityProxyModel::data(index, role);
}

Qt::ItemFlags FigureTableModel::flags(const QModelIndex& index) const {
    if (index.isValid() && isTotalsRow(index.row()))
        return Qt::ItemIsEnabled;
    // The key is the table's own numbering of its rows, never the owner's to change.
    if (index.isValid() && isKeyColumn(index.column()))
        return QIdentityProxyModel::flags(index) & ~Qt::ItemIsEditable;
    return QIdentityProxyModel::flags(index);
}
