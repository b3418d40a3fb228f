#include "figurerows.h"

#include <QMetaObject>
#include <QSqlDatabase>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlQuery>

namespace {

QString quoted(const QSqlDatabase& db, const QString& name) {
    return db.driver()->escapeIdentifier(name, QSqlDriver::FieldName);
}

} // namespace

bool FigureRows::select() {
    m_read.clear();
    m_conflict.reset();
    return QSqlTableModel::select();
}

bool FigureRows::selectRow(int row) {
    const bool ok = QSqlTableModel::selectRow(row);
    if (ok)
        m_read.insert(row, record(row)); // the row as stored just now
    return ok;
}

QSqlRecord FigureRows::asRead(int row) const {
    if (m_read.contains(row))
        return m_read.value(row);
    // The row as the last select read it, not as edited since: straight from its result.
    QSqlQuery read = query();
    return read.seek(row) ? read.record() : QSqlRecord();
}

void FigureRows::takeAsRead(int row, const QSqlRecord& stored) {
    m_read.insert(row, stored);
    m_conflict.reset();
}

bool FigureRows::updateRowInTable(int row, const QSqlRecord& values) {
    const QSqlDatabase db = database();
    QStringList sets;
    QVariantList bound;
    for (int c = 0; c < values.count(); ++c) {
        if (!values.isGenerated(c))
            continue;
        sets << quoted(db, values.fieldName(c)) + QStringLiteral(" = ?");
        bound << values.value(c);
    }
    if (sets.isEmpty())
        return true;
    return guarded(row,
                   QStringLiteral("UPDATE %1 SET %2")
                       .arg(db.driver()->escapeIdentifier(tableName(), QSqlDriver::TableName),
                            sets.join(QStringLiteral(", "))),
                   bound, false);
}

bool FigureRows::deleteRowFromTable(int row) {
    const QSqlDatabase db = database();
    return guarded(row,
                   QStringLiteral("DELETE FROM %1")
                       .arg(db.driver()->escapeIdentifier(tableName(), QSqlDriver::TableName)),
                   {}, true);
}

bool FigureRows::guarded(int row, const QString& head, const QVariantList& headValues,
                         bool removal) {
    const QSqlDatabase db = database();
    const QSqlRecord read = asRead(row);
    const QSqlIndex key = primaryKey();
    if (key.isEmpty() || read.isEmpty()) {
        setLastError(QSqlError(QStringLiteral("The row cannot be told apart from the others."),
                               QString(), QSqlError::StatementError));
        return false;
    }
    // Every column as it was read: a figure changed by anyone since then refuses the write.
    // IS compares NULL with NULL too.
    QStringList where;
    QVariantList whereValues;
    for (int c = 0; c < read.count(); ++c) {
        where << quoted(db, read.fieldName(c)) + QStringLiteral(" IS ?");
        whereValues << read.value(c);
    }
    QSqlQuery q(db);
    q.prepare(head + QStringLiteral(" WHERE ") + where.join(QStringLiteral(" AND ")));
    for (const QVariant& v : headValues + whereValues)
        q.addBindValue(v);
    if (!q.exec()) {
        setLastError(q.lastError());
        return false;
    }
    if (q.numRowsAffected() == 1) {
        if (m_conflict && m_conflict->row == row)
            m_conflict.reset();
        return true;
    }
    // Changed or removed underneath: find out which, and leave the figures as typed.
    QSqlQuery now(db);
    now.setForwardOnly(true);
    QStringList byKey;
    for (int k = 0; k < key.count(); ++k)
        byKey << quoted(db, key.fieldName(k)) + QStringLiteral(" = ?");
    now.prepare(QStringLiteral("SELECT * FROM %1 WHERE %2")
                    .arg(db.driver()->escapeIdentifier(tableName(), QSqlDriver::TableName),
                         byKey.join(QStringLiteral(" AND "))));
    for (int k = 0; k < key.count(); ++k)
        now.addBindValue(read.value(key.fieldName(k)));
    Conflict conflict;
    conflict.row = row;
    conflict.removal = removal;
    if (now.exec() && now.next())
        conflict.stored = now.record();
    else
        conflict.gone = true;
    if (removal && conflict.gone) {
        m_conflict.reset();
        return true; // removed already, as this copy wanted
    }
    // The view submits again on its own (an editor closing, the current row moving): the
    // owner is asked once per change of the stored row, and again when moving on.
    const bool news = !m_conflict || m_conflict->row != row || m_conflict->gone != conflict.gone ||
                      m_conflict->stored != conflict.stored;
    m_conflict = conflict;
    setLastError(QSqlError(conflict.gone
                               ? QStringLiteral("Another copy of Quillmark removed this row.")
                               : QStringLiteral("Another copy of Quillmark changed this row."),
                           QString(), QSqlError::TransactionError));
    if (news)
        QMetaObject::invokeMethod(
            this, [this, row] { emit refused(row); }, Qt::QueuedConnection);
    return false;
}

bool FigureRows::restoreRow(int row) {
    const QSqlDatabase db = database();
    const QSqlRecord shown = record(row);
    QStringList names;
    QStringList marks;
    QSqlQuery q(db);
    for (int c = 0; c < shown.count(); ++c) {
        names << quoted(db, shown.fieldName(c));
        marks << QStringLiteral("?");
    }
    q.prepare(QStringLiteral("INSERT INTO %1 (%2) VALUES (%3)")
                  .arg(db.driver()->escapeIdentifier(tableName(), QSqlDriver::TableName),
                       names.join(QStringLiteral(", ")), marks.join(QStringLiteral(", "))));
    for (int c = 0; c < shown.count(); ++c)
        q.addBindValue(shown.value(c));
    if (!q.exec()) {
        setLastError(q.lastError());
        return false;
    }
    m_conflict.reset();
    return true;
}
