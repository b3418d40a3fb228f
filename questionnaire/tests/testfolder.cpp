#include "testfolder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtDebug>

namespace {

// Opens a connection for the duration of one call.
class Scratch {
public:
    explicit Scratch(const QString& path) {
        static int serial = 0;
        m_name = QStringLiteral("test-scratch-%1").arg(++serial);
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.open();
    }
    ~Scratch() {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
    }
    QSqlDatabase db() const { return QSqlDatabase::database(m_name, false); }

private:
    QString m_name;
};

} // namespace

TestFolder::TestFolder(Content content) {
    if (content == ShippedDatabase)
        QFile::copy(QStringLiteral(QUILLMARK_SHIPPED_DB), databasePath());
    QFile(databasePath()).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
}

bool TestFolder::exec(const QStringList& statements) const {
    Scratch s(databasePath());
    for (const QString& st : statements) {
        QSqlQuery q(s.db());
        if (!q.exec(st)) {
            qWarning() << "SQL failed:" << st << q.lastError().text();
            return false;
        }
    }
    return true;
}

QVariant TestFolder::value(const QString& sql) const {
    Scratch s(databasePath());
    QSqlQuery q(s.db());
    if (!q.exec(sql) || !q.next())
        return {};
    return q.value(0);
}

QMap<QString, QByteArray> TestFolder::snapshot() const {
    QMap<QString, QByteArray> files;
    const QDir dir(path());
    for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System)) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::ReadOnly);
        const QByteArray data = f.readAll();
        files.insert(name, QByteArray::number(data.size()) + ' ' +
                               QCryptographicHash::hash(data, QCryptographicHash::Sha1).toHex());
    }
    return files;
}
