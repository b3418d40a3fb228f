#include "questionstore.h"

#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlQueryModel>
#include <QStringList>
#include <QUrl>

namespace {

struct TableColumns {
    const char* table;
    QStringList columns;
};

constexpr int RequiredCount = 5;

// Every table and column the program cannot start without. "PnL" is the grid's table at
// start, so any columns will do; the other grid tables ("projections", "assets",
// "rawmaterials") are checked where they are used: the grid and the report say so when one
// is missing, and the rest of the plan still works.
const TableColumns& required(int i) {
    static const TableColumns tables[RequiredCount] = {
        {"Headings", {"HeadingID", "Heading"}},
        {"Subheadings", {"SubheadingID", "headingID", "Subheading"}},
        {"questions",
         {"QuestionID", "QuestionNumber", "Question", "required", "description", "subheadingID"}},
        {"Answers", {"AnswerID", "Answer"}},
        {"PnL", {}},
    };
    return tables[i];
}

QString engineMessage(const QSqlError& e) {
    QString text = e.databaseText().trimmed();
    const QString driver = e.driverText().trimmed();
    if (text.isEmpty())
        return driver;
    if (!driver.isEmpty() && !text.contains(driver))
        text += QStringLiteral(" (") + driver + QLatin1Char(')');
    return text;
}

const char* const NotADatabase = "The file is not a database (or cannot be read).";

// SQLite opens any file lazily; the first read tells whether it is a database, and a file
// of no pages (an empty file, which SQLite would take for an empty database) is refused too.
// The test goes through the engine, never through a handle of our own: on Linux, closing any
// descriptor of the file drops every lock this process's connections hold on it, and the
// next program to close the file would then delete the live write-ahead log.
bool checkDatabase(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("PRAGMA page_count")) || !q.next()) {
        const QSqlError e = q.lastError();
        const bool foreign = e.nativeErrorCode() == QLatin1String("26") ||
                             e.databaseText().contains(QLatin1String("not a database"));
        *error = foreign ? QString::fromLatin1(NotADatabase) : engineMessage(e);
        return false;
    }
    if (q.value(0).toLongLong() <= 0) {
        *error = QString::fromLatin1(NotADatabase);
        return false;
    }
    return true;
}

// Reads the schema and checks it; false with `error` set on the first problem.
bool checkSchema(QSqlDatabase& db, QString* error) {
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (!q.exec(QStringLiteral("SELECT name FROM sqlite_master WHERE type IN ('table', 'view')"))) {
        *error = engineMessage(q.lastError());
        return false;
    }
    QStringList tables;
    while (q.next())
        tables << q.value(0).toString();
    if (q.lastError().isValid()) {
        *error = engineMessage(q.lastError());
        return false;
    }
    for (int i = 0; i < RequiredCount; ++i) {
        const TableColumns& t = required(i);
        const QString table = QString::fromLatin1(t.table);
        if (!tables.contains(table, Qt::CaseInsensitive)) {
            *error = QStringLiteral("The table \"%1\" is missing.").arg(table);
            return false;
        }
        if (t.columns.isEmpty())
            continue;
        QSqlQuery info(db);
        info.setForwardOnly(true);
        if (!info.exec(QStringLiteral("PRAGMA table_info(\"%1\")").arg(table))) {
            *error = engineMessage(info.lastError());
            return false;
        }
        QStringList columns;
        while (info.next())
            columns << info.value(1).toString();
        for (const QString& c : t.columns) {
            if (!columns.contains(c, Qt::CaseInsensitive)) {
                *error =
                    QStringLiteral("The column \"%1\" of table \"%2\" is missing.").arg(c, table);
                return false;
            }
        }
    }
    return true;
}

} // namespace

namespace QuestionStore {

QString dataSource(const QString& connectionString) {
    const QStringList entries = connectionString.split(QLatin1Char(';'));
    for (const QString& entry : entries) {
        const qsizetype eq = entry.indexOf(QLatin1Char('='));
        if (eq > 0 && entry.left(eq).trimmed().compare(QLatin1String("Data Source"),
                                                       Qt::CaseInsensitive) == 0)
            return entry.mid(eq + 1);
    }
    return {};
}

bool open(const QString& connectionString, const QString& connectionName, QString* error,
          int busyTimeoutMs) {
    const QString path = dataSource(connectionString);
    const QString where =
        QStringLiteral("The question database \"%1\" cannot be used.\n\n").arg(path);
    const QFileInfo info(path);
    if (path.isEmpty() || !info.exists()) {
        *error = where + QStringLiteral("The file does not exist.");
        return false;
    }
    if (!info.isFile()) {
        *error = where + QStringLiteral("It is not a file.");
        return false;
    }
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connectionName);
        // mode=rw: read and write, but never create the file.
        QUrl url = QUrl::fromLocalFile(info.absoluteFilePath());
        url.setQuery(QStringLiteral("mode=rw"));
        db.setDatabaseName(url.toString(QUrl::FullyEncoded));
        db.setConnectOptions(
            QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(busyTimeoutMs));
        QString why;
        if (!db.open()) {
            why = engineMessage(db.lastError());
        } else if (checkDatabase(db, &why) && checkSchema(db, &why)) {
            // Readers and the writer no longer block each other; a failure here (another
            // process in exclusive mode) leaves the rollback journal, which still works.
            QSqlQuery wal(db);
            wal.exec(QStringLiteral("PRAGMA journal_mode=WAL"));
            ok = true;
        }
        if (!ok)
            *error = where + why;
    }
    if (!ok)
        close(connectionName);
    return ok;
}

void close(const QString& connectionName) {
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName);
}

void fetchAll(QSqlQueryModel* model) {
    while (model->canFetchMore())
        model->fetchMore();
}

} // namespace QuestionStore
