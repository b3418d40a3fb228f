#pragma once

#include <QAbstractTableModel>
#include <QHash>
#include <QList>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlRecord>
#include <QVariant>

#include <optional>

// The answer rows, in the order that pairs them with the steps: the k-th row in AnswerID
// order answers the k-th step.
//
// A client-side snapshot: select() reads every row once, and from then on row k is the row
// whose key was k-th at that read. An edit is staged by setData and written by submit(),
// which updates exactly one row, the one with that row's key, and then reads that same row
// back by its key, so the snapshot always holds what the file holds. No write or re-read
// ever goes by position or through a statement shared with other rows: a stored answer can
// land only in its own row. A refused write leaves the snapshot as it was.
//
// Writes are optimistic: a row is written only while it still holds the answer this copy
// read. When another copy of the program (or another program) changed it in between, the
// write is refused and conflict() holds what the row holds now; nothing is overwritten until
// the caller takes that as read (takeAsRead) and writes again.
class AnswerModel : public QAbstractTableModel {
    Q_OBJECT

public:
    AnswerModel(QObject* parent, const QSqlDatabase& db);

    // Reads all rows. False with lastError() set when they cannot be read.
    bool select();

    // The columns of the table, as read by select().
    QSqlRecord record() const { return m_columns; }
    // The column of the answer text.
    int answerColumn() const;
    // The key (AnswerID) of a row.
    QVariant key(int row) const;

    QSqlError lastError() const { return m_lastError; }

    // The row whose write was refused by the last submit because it had changed, and the
    // answer it holds now.
    struct Conflict {
        int row = -1;
        QVariant stored;
    };
    const std::optional<Conflict>& conflict() const { return m_conflict; }
    // Takes `stored` as the answer last read for a row, so that the next write replaces it
    // (as long as the row still holds it).
    void takeAsRead(int row, const QVariant& stored);
    // Reads one row again (unless an edit of it is staged); true, with the change announced,
    // when it holds something else now.
    bool refreshRow(int row);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    // Stages a new answer for a row; only the answer column takes edits.
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

public slots:
    // Writes the staged answers, each to its own row. On the first failure the rest are
    // dropped, lastError() says why and false is returned; rows already written stay written.
    bool submit() override;
    // Drops the staged answers.
    void revert() override;

private:
    bool writeRow(int row, const QVariant& answer);
    bool readRow(int row);

    QSqlDatabase m_db;
    QSqlRecord m_columns;
    QList<QSqlRecord> m_rows;
    QHash<int, QVariant> m_staged;
    QSqlError m_lastError;
    std::optional<Conflict> m_conflict;
    int m_keyColumn = -1;
    int m_answerColumn = -1;
};
