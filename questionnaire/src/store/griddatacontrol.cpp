#include "griddatacontrol.h"

#include "figurerows.h"
#include "questionstore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>
#include <QSqlTableModel>

GridDataControl::GridDataControl(QObject* parent)
    : QObject(parent),
      m_connectionName(QStringLiteral("quillmark-grid-%1").arg(quintptr(this), 0, 16)) {}

GridDataControl::~GridDataControl() {
    if (!m_model)
        return;
    delete m_model;
    QuestionStore::close(m_connectionName);
}

bool GridDataControl::refresh(QString* error) {
    if (!m_model) {
        if (!QuestionStore::open(m_connectionString, m_connectionName, error))
            return false;
        m_model = new FigureRows(this, QSqlDatabase::database(m_connectionName));
        m_model->setEditStrategy(QSqlTableModel::OnFieldChange);
    }
    m_model->setTable(m_recordSource);
    if (!m_model->select()) {
        *error = QStringLiteral("The table \"%1\" cannot be read.\n\n%2")
                     .arg(m_recordSource, m_model->lastError().text());
        return false;
    }
    QuestionStore::fetchAll(m_model);
    applyCaptions();
    return true;
}

void GridDataControl::applyCaptions() {
    // The words above the columns live in the database beside the figures; a database made
    // before they did shows the columns' names.
    QSqlQuery q(QSqlDatabase::database(m_connectionName));
    q.prepare(QStringLiteral("SELECT ColumnName, Caption FROM GridColumns WHERE TableName = ? "
                             "COLLATE NOCASE"));
    q.addBindValue(m_recordSource);
    if (!q.exec())
        return;
    const QSqlRecord fields = m_model->record();
    while (q.next()) {
        const int c = fields.indexOf(q.value(0).toString());
        if (c >= 0 && !q.value(1).toString().isEmpty())
            m_model->setHeaderData(c, Qt::Horizontal, q.value(1).toString());
    }
}
