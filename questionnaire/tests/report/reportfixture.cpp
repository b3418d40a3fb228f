#include "reportfixture.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>

#include <sqlite3.h>

namespace {

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

} // namespace

namespace ReportFixture {

QString makeDatabase(const QString& folder) {
    const QString path = QDir(folder).filePath(QStringLiteral("0002.mdb"));
    QFile::remove(path);
    // One transaction: the file is written once instead of once per statement.
    const QByteArray sql = "BEGIN;\n" + readAll(QStringLiteral(QUILL_DATA_DIR "/schema.sql")) +
                           "\n" + readAll(QStringLiteral(QUILL_DATA_DIR "/questions.sql")) + "\n" +
                           readAll(QStringLiteral(QUILL_DATA_DIR "/titles.sql")) + "\n" +
                           readAll(QStringLiteral(QUILL_DATA_DIR "/gridcolumns.sql")) +
                           "\nCOMMIT;\n";
    sqlite3* db = nullptr;
    if (sqlite3_open(path.toUtf8().constData(), &db) != SQLITE_OK) {
        sqlite3_close(db);
        return {};
    }
    char* error = nullptr;
    const int rc = sqlite3_exec(db, sql.constData(), nullptr, nullptr, &error);
    if (error) {
        qWarning("fixture database: %s", error);
        sqlite3_free(error);
    }
    sqlite3_exec(db, "PRAGMA journal_mode=WAL", nullptr, nullptr, nullptr);
    sqlite3_close(db);
    return rc == SQLITE_OK ? path : QString();
}

bool exec(const QString& database, const QString& sql) {
    const QString name = QUuid::createUuid().toString();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(database);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                qWarning("fixture statement failed: %s", qPrintable(q.lastError().text()));
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

void setAnswer(const QString& database, int step, const QString& rtf) {
    QString quoted = rtf;
    quoted.replace(QLatin1Char('\''), QStringLiteral("''"));
    exec(database, QStringLiteral("UPDATE Answers SET Answer = '%1' WHERE AnswerID = "
                                  "(SELECT AnswerID FROM Answers ORDER BY AnswerID LIMIT 1 "
                                  "OFFSET %2)")
                       .arg(quoted)
                       .arg(step - 1));
}

QString shippedDefinition() {
    return QStringLiteral(QUILL_DATA_DIR "/DraftBusinessReport.rpt");
}

QString richAnswer(const QString& plain, const QString& boldWord) {
    return QStringLiteral("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0\\fswiss Arial;}}"
                          "\\f0\\fs22 %1 {\\b %2}\\par}")
        .arg(plain, boldWord);
}

} // namespace ReportFixture
