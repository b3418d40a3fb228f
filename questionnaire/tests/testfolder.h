#pragma once

#include <QMap>
#include <QString>
#include <QTemporaryDir>
#include <QVariant>

// A temporary program folder for one test: optionally holding a copy of the shipped
// database, which the test may change with plain SQL before the program opens it.
class TestFolder {
public:
    enum Content { Empty, ShippedDatabase };
    explicit TestFolder(Content content = ShippedDatabase);

    QString path() const { return m_dir.path(); }
    QString databasePath() const { return m_dir.filePath(QStringLiteral("0002.mdb")); }

    // Runs statements on the database through a connection of its own, closed again
    // before returning. False on the first error.
    bool exec(const QStringList& statements) const;
    bool exec(const QString& statement) const { return exec(QStringList{statement}); }
    // Makes every later update of an answer fail ("disk says no"), as a failing disk would.
    bool refuseAnswerUpdates() const {
        return exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE ON Answers "
                                   "BEGIN SELECT RAISE(ABORT, 'disk says no'); END"));
    }
    // The first column of the first row of a query, read the same way.
    QVariant value(const QString& sql) const;

    // Every file of the folder with its size and content hash, to prove nothing changed.
    QMap<QString, QByteArray> snapshot() const;

private:
    QTemporaryDir m_dir;
};
