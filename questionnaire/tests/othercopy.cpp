// Another copy of the program for the tests: starts as the program does (splash, main
// window, the notices at start) on the folder given as the first argument, goes to the step
// given as the second, types the third argument into the answer box as the keyboard would
// and moves on with Alt+N, which stores it. With a fourth argument "grid" the text goes into
// the first row's first text cell of the step's figure grid instead (a click, F2, the keys,
// Enter); with "remove" the grid's first row is removed instead (a click, Ctrl+-, and Y if
// asked) and the third argument is not used. Each message box it meets is printed as
// "box: TEXT" and answered with Enter (Y to the question before a removal). Prints "stored"
// when the step changed, then exits.

#include "boundlabel.h"
#include "figuretablemodel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalkeys.h"
#include "module1.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QTableView>
#include <QTest>
#include <QTextEdit>

#include <cstdio>
#include <memory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QByteArray mode = argc > 4 ? QByteArray(argv[4]) : QByteArray();
    QStringList seen;
    auto keys = std::make_unique<ModalKeys>(
        QList{QKeyCombination(Qt::Key_Return), QKeyCombination(Qt::Key_Return)});
    const std::unique_ptr<mainForm> form = Module1::Main(QString::fromLocal8Bit(argv[1]));
    if (!form)
        return 1;
    if (!form->goToStep(QByteArray(argv[2]).toInt()))
        return 3;
    if (!QTest::qWaitForWindowActive(form.get()))
        return 4;
    if (mode == "grid" || mode == "remove") {
        QTableView* grid = ui(form)->DataGrid1;
        const auto* figures = qobject_cast<FigureTableModel*>(grid->model());
        const QModelIndex cell = figures->index(0, figures->labelColumn());
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(cell).center());
        if (mode == "remove") {
            // The boxes at start are behind us: a question now is the one before removing.
            seen = keys->texts;
            keys = std::make_unique<ModalKeys>(QList{QKeyCombination(Qt::Key_Y)});
            QTest::keyClick(grid, Qt::Key_Minus, Qt::ControlModifier);
        } else {
            QTest::keyClick(grid, Qt::Key_F2);
            QTest::keyClicks(QApplication::focusWidget(), QString::fromLocal8Bit(argv[3]));
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        }
    } else {
        QTest::keyClicks(QApplication::focusWidget(), QString::fromLocal8Bit(argv[3]));
    }
    const QString before = ui(form)->Label9->text();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_N, Qt::AltModifier);
    QElapsedTimer clock;
    clock.start();
    while (ui(form)->Label9->text() == before && clock.elapsed() < 10000)
        QTest::qWait(20);
    for (const QString& text : seen + keys->texts)
        std::printf("box: %s\n", qPrintable(text));
    std::printf("%s\n", ui(form)->Label9->text() != before ? "stored" : "not stored");
    return 0;
}
