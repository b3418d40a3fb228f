#pragma once

#include <QIdentityProxyModel>
#include <QList>

// What the figure grid shows of its table: the table's rows as they are, numbers in the
// user's locale and right-aligned (amounts of money, the REAL columns, always with two
// decimals), and one more row at the bottom with the total of every number column, kept up
// to date as cells change and rows come and go. The totals row is read-only and is not a
// row of the table: it maps to no source row. The key column is never editable.
class FigureTableModel : public QIdentityProxyModel {
    Q_OBJECT

public:
    explicit FigureTableModel(QObject* parent = nullptr);

    void setSourceModel(QAbstractItemModel* source) override;

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex index(int row, int column,
                      const QModelIndex& parent = QModelIndex()) const override;
    QModelIndex parent(const QModelIndex& child) const override;
    QModelIndex mapToSource(const QModelIndex& proxy) const override;
    QModelIndex mapFromSource(const QModelIndex& source) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // The totals row has no row number: it is not a row of the table.
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;

    bool isTotalsRow(int row) const;
    // A column that holds numbers and is totalled.
    bool isNumberColumn(int column) const;
    bool isMoneyColumn(int column) const;
    bool isKeyColumn(int column) const;
    // The column that says "Total" on the totals row: the first text column.
    int labelColumn() const;
    double total(int column) const;

private:
    void recount();

    QList<double> totals_;
};
