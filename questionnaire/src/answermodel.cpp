#include "answermodel.h"

#include <QSqlRecord>

AnswerModel::AnswerModel(QObject* parent, const QSqlDatabase& db) : QSqlTableModel(parent, db) {
    setTable(QStringLiteral("Answers"));
    setEditStrategy(OnFieldChange);
}

int AnswerModel::answerColumn() const {
    return record().indexOf(QStringLiteral("Answer"));
}

QString AnswerModel::selectStatement() const {
    // The engine gives no row order without ORDER BY; AnswerID is the shipped order.
    return QStringLiteral("SELECT * from Answers ORDER BY AnswerID");
}
