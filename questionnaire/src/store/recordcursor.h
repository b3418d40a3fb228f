#pragma once

#include <QObject>

#include <functional>

class QDataWidgetMapper;

// A recordset-style cursor over a fully fetched model, driving a widget mapper.
//
// Positions count rows from 0. The cursor may stand before the first row (position -1,
// atBOF) or after the last (position >= RecordCount, atEOF): that is how a caller finds an
// end, by moving past it. While the cursor stands outside the rows, the bound widgets keep
// what they show and nothing is read or written; the owner learns of it through moved().
// A cursor kept in step with a longer sequence may go further past the end, and comes back
// to the rows by the same count of moves.
//
// Before each move the write-back hook (if set) runs, so a pending edit of the row that is
// being left is stored first; when it fails the cursor does not move and the move returns
// false.
class RecordCursor : public QObject {
    Q_OBJECT

public:
    explicit RecordCursor(QDataWidgetMapper* mapper, QObject* parent = nullptr);

    QDataWidgetMapper* mapper() const { return m_mapper; }

    // Called before every move; returns false to stop the move.
    void setWriteBack(std::function<bool()> hook) { m_writeBack = std::move(hook); }

    int RecordCount() const;
    int position() const { return m_position; }
    bool atBOF() const { return m_position < 0; }
    bool atEOF() const { return m_position >= RecordCount(); }
    bool onRow() const { return !atBOF() && !atEOF(); }

    bool MoveFirst() { return moveTo(0); }
    bool MoveLast() { return moveTo(RecordCount() - 1); }
    bool MoveNext() { return moveTo(m_position + 1); }
    bool MovePrevious() { return moveTo(m_position - 1); }
    // Moves forward by `rows` from the current position (backward when negative).
    bool Move(int rows) { return moveTo(m_position + rows); }

signals:
    // After every move, on a row or not.
    void moved();

private:
    bool moveTo(int position);

    QDataWidgetMapper* m_mapper;
    std::function<bool()> m_writeBack;
    int m_position = -1;
};
