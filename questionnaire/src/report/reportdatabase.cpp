#include "reportdatabase.h"

#include "reporterror.h"

#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QUuid>

namespace {

[[noreturn]] void unavailable(const QString& path, const QString& why) {
    throw ReportError(ReportError::DataFileUnavailable,
                      QStringLiteral("The data file %1 cannot be opened: %2")
                          .arg(QDir::toNativeSeparators(path), why));
}

} // namespace

int ReportDatabase::Table::column(const QString& name) const {
    for (int i = 0; i < columns.size(); ++i)
        if (columns[i].compare(name, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

ReportDatabase::ReportDatabase(const QString& path)
    : connection_(QStringLiteral("quillreport-") + QUuid::createUuid().toString(QUuid::Id128)),
      path_(path) {
    const QFileInfo info(path);
    // Opening a missing file would create it; the report must never leave files behind.
    if (path.isEmpty())
        unavailable(path, QStringLiteral("no data file has been set"));
    if (!info.exists())
        unavailable(path, QStringLiteral("the file does not exist"));
    if (!info.isFile())
        unavailable(path, QStringLiteral("it is not a file"));
    QString why;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY;QSQLITE_BUSY_TIMEOUT=5000"));
        if (!db.open()) {
            why = db.lastError().text();
        } else {
            // SQLite opens anything lazily; the first read tells whether it is a database.
            QSqlQuery probe(db);
            if (!probe.exec(QStringLiteral("SELECT count(*) FROM sqlite_master")))
                why = probe.lastError().text();
        }
        if (why.isEmpty())
            return;
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
    unavailable(path, why);
}

ReportDatabase::~ReportDatabase() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

ReportDatabase::Table ReportDatabase::select(const QString& sql) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        throw ReportError(ReportError::QueryFailed,
                          QStringLiteral("A query of the report failed on %1: %2")
                              .arg(QFileInfo(path_).fileName(), query.lastError().text()));
    Table table;
    const QSqlRecord record = query.record();
    for (int i = 0; i < record.count(); ++i)
        table.columns.append(record.fieldName(i));
    while (query.next()) {
        Row row;
        row.reserve(record.count());
        for (int i = 0; i < record.count(); ++i)
            row.append(query.value(i));
        table.rows.append(std::move(row));
    }
    return table;
}

bool ReportDatabase::hasTable(const QString& table) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    query.prepare(QStringLiteral(
        "SELECT 1 FROM sqlite_master WHERE type IN ('table','view') AND name = ? COLLATE NOCASE"));
    query.addBindValue(table);
    return query.exec() && query.next();
}

QList<std::pair<QString, QString>> ReportDatabase::columns(const QString& table) const {
    QSqlDatabase db = QSqlDatabase::database(connection_, false);
    QSqlQuery query(db);
    QList<std::pair<QString, QString>> result;
    // The table name has been checked to be a plain identifier by the definition parser.
    if (query.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table)))
        while (query.next())
            result.append({query.value(1).toString(), query.value(2).toString()});
    return result;
}

void ReportDatabase::check(const QString& path) {
    ReportDatabase probe(path);
}
