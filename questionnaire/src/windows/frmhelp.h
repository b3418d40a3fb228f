#pragma once

#include <QStringList>
#include <QWidget>

class QLabel;

// The help window: fixed instructions on how to use the program, in one word-wrapping
// label. Shown modeless, so the main window stays usable while it is open.
class frmHelp : public QWidget {
    Q_OBJECT
public:
    explicit frmHelp(QWidget* parent = nullptr);

    // The instruction lines in order; an empty entry is an empty line.
    static QStringList helpLines();
    // The support contact named in the help and About windows.
    static QString supportContact();

    QLabel* Label1 = nullptr;

private:
    void Form_Load();
};
