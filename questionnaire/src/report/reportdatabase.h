#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

// A read-only connection to one data file for the length of one rendering. The report only
// ever reads, so the file is opened read-only: a definition cannot change stored answers,
// and the report sees exactly what has been committed at that moment.
class ReportDatabase {
public:
    using Row = QList<QVariant>;

    struct Table {
        QStringList columns;
        QList<Row> rows;
        int column(const QString& name) const; // -1 when absent (case-insensitive)
    };

    // Throws ReportError 20509 when the file is missing or is not a readable database.
    explicit ReportDatabase(const QString& path);
    ~ReportDatabase();
    ReportDatabase(const ReportDatabase&) = delete;
    ReportDatabase& operator=(const ReportDatabase&) = delete;

    // Runs a query and returns every row. Throws ReportError 20510 with the engine's text.
    Table select(const QString& sql) const;
    bool hasTable(const QString& table) const;
    // Column names of a table in their declared order, with their declared types.
    QList<std::pair<QString, QString>> columns(const QString& table) const;

    // Throws 20509 unless `path` opens as a database.
    static void check(const QString& path);

private:
    QString connection_;
    QString path_;
};
