#pragma once

#include <QSqlTableModel>

// The answer rows, in the order that pairs them with the steps: the k-th row answers the
// k-th step. Editable; an edit is written to its row at once (on field change).
class AnswerModel : public QSqlTableModel {
    Q_OBJECT

public:
    AnswerModel(QObject* parent, const QSqlDatabase& db);

    // The column of the answer text.
    int answerColumn() const;

protected:
    // "SELECT * from Answers", made explicit about its order.
    QString selectStatement() const override;
};
