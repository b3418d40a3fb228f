#include "answermodel.h"

#include <QSqlQuery>

#include <algorithm>

namespace {

const char* const SelectAll = "SELECT * from Answers ORDER BY AnswerID";
const char* const SelectOne = "SELECT * from Answers WHERE AnswerID = ?";
// Optimistic locking: the row is written only while it still holds what this copy read.
// Texts are bound as their UTF-8 bytes and cast to text: bound as UTF-16, a long answer
// would be converted to the file's UTF-8 twice on every store.
const char* const UpdateOverText = "UPDATE Answers SET Answer = CAST(? AS TEXT) "
                                   "WHERE AnswerID = ? AND Answer IS CAST(? AS TEXT)";
// Over what is not text (a blob another program left there), compared as it was read.
const char* const UpdateOverOther = "UPDATE Answers SET Answer = CAST(? AS TEXT) "
                                    "WHERE AnswerID = ? AND Answer IS ?";

bool isText(const QVariant& value) {
    return value.metaType() == QMetaType::fromType<QString>();
}

// Text as the UTF-8 bytes CAST(? AS TEXT) makes text of again; null stays null.
QVariant utf8(const QVariant& value) {
    return isText(value) && !value.isNull() ? QVariant(value.toString().toUtf8()) : value;
}

} // namespace

AnswerModel::AnswerModel(QObject* parent, const QSqlDatabase& db)
    : QAbstractTableModel(parent), m_db(db) {}

bool AnswerModel::select() {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    // The engine gives no row order without ORDER BY; AnswerID is the shipped order.
    if (!q.exec(QString::fromLatin1(SelectAll))) {
        m_lastError = q.lastError();
        return false;
    }
    QList<QSqlRecord> rows;
    while (q.next())
        rows.append(q.record());
    if (q.lastError().isValid()) {
        m_lastError = q.lastError();
        return false;
    }
    beginResetModel();
    m_columns = q.record();
    m_keyColumn = m_columns.indexOf(QStringLiteral("AnswerID"));
    m_answerColumn = m_columns.indexOf(QStringLiteral("Answer"));
    m_rows = std::move(rows);
    m_staged.clear();
    m_lastError = {};
    m_conflict.reset();
    endResetModel();
    return true;
}

int AnswerModel::answerColumn() const {
    return m_answerColumn;
}

QVariant AnswerModel::key(int row) const {
    if (row < 0 || row >= m_rows.size() || m_keyColumn < 0)
        return {};
    return m_rows[row].value(m_keyColumn);
}

int AnswerModel::rowCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : int(m_rows.size());
}

int AnswerModel::columnCount(const QModelIndex& parent) const {
    return parent.isValid() ? 0 : m_columns.count();
}

QVariant AnswerModel::data(const QModelIndex& index, int role) const {
    if (!index.isValid() || index.row() >= m_rows.size() ||
        (role != Qt::DisplayRole && role != Qt::EditRole))
        return {};
    if (index.column() == m_answerColumn) {
        const auto staged = m_staged.constFind(index.row());
        if (staged != m_staged.cend())
            return *staged;
    }
    return m_rows[index.row()].value(index.column());
}

QVariant AnswerModel::headerData(int section, Qt::Orientation orientation, int role) const {
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 &&
        section < m_columns.count())
        return m_columns.fieldName(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

Qt::ItemFlags AnswerModel::flags(const QModelIndex& index) const {
    Qt::ItemFlags f = QAbstractTableModel::flags(index);
    if (index.isValid() && index.column() == m_answerColumn)
        f |= Qt::ItemIsEditable;
    return f;
}

bool AnswerModel::setData(const QModelIndex& index, const QVariant& value, int role) {
    if (role != Qt::EditRole || !index.isValid() || index.row() >= m_rows.size() ||
        index.column() != m_answerColumn || m_keyColumn < 0)
        return false;
    m_staged.insert(index.row(), value);
    emit dataChanged(index, index);
    return true;
}

bool AnswerModel::submit() {
    QList<int> rows = m_staged.keys();
    std::sort(rows.begin(), rows.end());
    bool ok = true;
    for (int row : rows) {
        const QVariant answer = m_staged.take(row);
        if (ok)
            ok = writeRow(row, answer);
        const QModelIndex i = index(row, m_answerColumn);
        emit dataChanged(i, i);
    }
    return ok;
}

void AnswerModel::revert() {
    QList<int> rows = m_staged.keys();
    m_staged.clear();
    for (int row : rows) {
        const QModelIndex i = index(row, m_answerColumn);
        emit dataChanged(i, i);
    }
}

bool AnswerModel::writeRow(int row, const QVariant& answer) {
    const QVariant id = key(row);
    m_conflict.reset();
    if (!m_db.transaction()) {
        m_lastError = m_db.lastError();
        return false;
    }
    const QVariant read = m_rows[row].value(m_answerColumn);
    QSqlQuery q(m_db);
    q.prepare(QString::fromLatin1(isText(read) ? UpdateOverText : UpdateOverOther));
    q.addBindValue(utf8(answer));
    q.addBindValue(id);
    q.addBindValue(utf8(read));
    if (!q.exec()) {
        m_lastError = q.lastError();
        m_db.rollback();
        return false;
    }
    // Exactly this one row, or nothing: a key that vanished or was duplicated by another
    // program must not take the answer somewhere else.
    if (q.numRowsAffected() != 1) {
        const int affected = q.numRowsAffected();
        q.finish();
        m_db.rollback();
        if (affected == 0) {
            // Still there, but another copy or program changed it since we read it.
            QSqlQuery now(m_db);
            now.setForwardOnly(true);
            now.prepare(QString::fromLatin1(SelectOne));
            now.addBindValue(id);
            if (now.exec() && now.next()) {
                m_conflict = Conflict{row, now.record().value(m_answerColumn)};
                m_lastError = QSqlError(
                    QStringLiteral("The answer row %1 was changed by another program since it "
                                   "was read.")
                        .arg(id.toString()),
                    QString(), QSqlError::TransactionError);
                return false;
            }
        }
        m_lastError =
            QSqlError(QStringLiteral("The answer row %1 %2.")
                          .arg(id.toString(), affected == 0 ? QStringLiteral("no longer exists")
                                                            : QStringLiteral("is not unique")),
                      QString(), QSqlError::TransactionError);
        return false;
    }
    q.finish();
    if (!m_db.commit()) {
        m_lastError = m_db.lastError();
        m_db.rollback();
        return false;
    }
    // What this copy now holds is what it wrote, not a read after the commit: a change
    // another program makes in between must still be found by the next store.
    m_rows[row].setValue(m_answerColumn, answer);
    return true;
}

bool AnswerModel::refreshRow(int row) {
    if (row < 0 || row >= m_rows.size() || m_staged.contains(row))
        return false;
    const QVariant before = m_rows[row].value(m_answerColumn);
    if (!readRow(row))
        return false;
    const QVariant after = m_rows[row].value(m_answerColumn);
    if (after.isNull() == before.isNull() && after == before)
        return false;
    const QModelIndex i = index(row, m_answerColumn);
    emit dataChanged(i, i);
    return true;
}

void AnswerModel::takeAsRead(int row, const QVariant& stored) {
    if (row >= 0 && row < m_rows.size())
        m_rows[row].setValue(m_answerColumn, stored);
    m_conflict.reset();
}

bool AnswerModel::readRow(int row) {
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    q.prepare(QString::fromLatin1(SelectOne));
    q.addBindValue(key(row));
    if (!q.exec() || !q.next())
        return false;
    m_rows[row] = q.record();
    return true;
}
