#pragma once

#include <QObject>
#include <QStringList>
#include <QTimer>

// While it lives, closes every message box that opens and records its title and text, so a
// test can run code that asks the user something and then check what was asked.
class MessageBoxWatcher : public QObject {
    Q_OBJECT

public:
    MessageBoxWatcher();

    QStringList titles;
    QStringList texts;

private:
    void poll();

    QTimer m_timer;
};
