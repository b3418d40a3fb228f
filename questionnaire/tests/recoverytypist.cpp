// A copy of the program for the crash test: starts as the program does on the folder given
// as the first argument, goes to the step given as the second, types the third argument
// into the answer box as the keyboard would, waits until the recovery file holds it, says
// "journalled" on its output, and then waits to be killed.

#include "mainform.h"
#include "mainformprobe.h"
#include "module1.h"
#include "recordcursor.h"
#include "recoverykeeper.h"

#include <QApplication>
#include <QFile>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const std::unique_ptr<mainForm> form = Module1::Main(QString::fromLocal8Bit(argv[1]));
    if (!form)
        return 1;
    if (!form->goToStep(QByteArray(argv[2]).toInt()))
        return 3;
    QTest::keyClicks(ui(form)->text1, QString::fromLocal8Bit(argv[3]));
    const QString journal = ui(form)->recovery->journal().path();
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (QFile::exists(journal)) {
            poll.stop();
            std::printf("journalled\n");
            std::fflush(stdout);
        }
    });
    poll.start(50);
    return QApplication::exec();
}
