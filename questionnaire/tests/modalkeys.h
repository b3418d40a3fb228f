#pragma once

#include <QKeyCombination>
#include <QList>
#include <QObject>
#include <QStringList>
#include <QTimer>

// While it lives, answers each modal window that opens with the next of the given keys,
// typed into the widget that has the focus inside it (as a person at the keyboard would),
// and records what each message box said (its text, and its informative text after a
// newline) or, for another dialog, what its text boxes show. A window that opens after the keys are
// used up is closed with Escape.
class ModalKeys : public QObject {
    Q_OBJECT

public:
    explicit ModalKeys(QList<QKeyCombination> keys);

    QStringList texts;
    QStringList titles;
    // The focused button's text when each box appeared: its default answer.
    QStringList defaults;

private:
    void poll();

    QList<QKeyCombination> m_keys;
    QTimer m_timer;
    QWidget* m_answered = nullptr;
};
