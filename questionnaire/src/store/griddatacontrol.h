#pragma once

#include <QObject>
#include <QString>

#include "figurerows.h"

// The figure grid's data control: its own connection, opened by connection string, and a
// table named as its record source. refresh() re-reads the whole named table; the grid
// writes each edited cell back to the table at once, refused when another copy changed the
// row since it was read (FigureRows). The columns are headed by the captions
// the database keeps for them in GridColumns, where it has that table.
class GridDataControl : public QObject {
    Q_OBJECT

public:
    explicit GridDataControl(QObject* parent = nullptr);
    ~GridDataControl() override;

    void setConnectionString(const QString& text) { m_connectionString = text; }
    QString connectionString() const { return m_connectionString; }
    void setRecordSource(const QString& table) { m_recordSource = table; }
    QString recordSource() const { return m_recordSource; }

    // Opens the connection when needed and reads the record source's table in full.
    // False with `error` set when the table cannot be read.
    bool refresh(QString* error);

    // The table's rows; valid after the first refresh, empty before.
    FigureRows* model() const { return m_model; }

private:
    void applyCaptions();

    QString m_connectionString;
    QString m_recordSource;
    QString m_connectionName;
    FigureRows* m_model = nullptr;
};
