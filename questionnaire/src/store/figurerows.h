#pragma once

#include <QHash>
#include <QSqlRecord>
#include <QSqlTableModel>

#include <optional>

// The rows of a figure table, written with optimistic locking. A cell's write, or a row's
// removal, goes through only while the row still holds every figure this copy read; when
// another copy of the program (or another program) changed or removed the row in between,
// it is refused, conflict() says what the row holds now, the typed figures stay in the grid
// unstored, and refused() is announced. Nothing is overwritten until the caller takes the
// stored row as read (takeAsRead) and writes again.
class FigureRows : public QSqlTableModel {
    Q_OBJECT

public:
    using QSqlTableModel::QSqlTableModel;

    struct Conflict {
        int row = -1;
        bool removal = false; // the refused edit was this copy's removal of the row
        bool gone = false;    // the other copy removed the row
        QSqlRecord stored;    // what the row holds now (empty when gone)
    };
    const std::optional<Conflict>& conflict() const { return m_conflict; }
    // Takes the row as it is stored now as the one read, so the next write replaces it.
    void takeAsRead(int row, const QSqlRecord& stored);
    // Stores a row the other copy removed again, under its own key, with the figures it
    // shows here. False with lastError() set when the table refuses it.
    bool restoreRow(int row);

    bool select() override;
    bool selectRow(int row) override;

signals:
    // A write was refused because the row changed underneath; sent after the write returns.
    void refused(int row);

protected:
    bool updateRowInTable(int row, const QSqlRecord& values) override;
    bool deleteRowFromTable(int row) override;

private:
    QSqlRecord asRead(int row) const;
    // Runs a statement that must touch exactly the row as read; records the conflict if not.
    bool guarded(int row, const QString& head, const QVariantList& headValues, bool removal);

    QHash<int, QSqlRecord> m_read;
    std::optional<Conflict> m_conflict;
};
