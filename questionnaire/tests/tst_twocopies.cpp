// Two copies of the program on one database, the other one a real process: an answer that
// the other copy stored after this one showed its step is never overwritten without the
// owner's word; a step shows the answer as stored now; a copy that starts while another
// has the file open says so.

#include "boundlabel.h"
#include "figuretablemodel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalkeys.h"
#include "testfolder.h"
#include "testform.h"

#include <QApplication>
#include <QProcess>
#include <QPushButton>
#include <QTableView>
#include <QTextEdit>
#include <QtTest>

namespace {

// Whether the other copy's output ends with its "stored".
bool stored(const QString& output) {
    const QStringList lines = output.split(u'\n', Qt::SkipEmptyParts);
    return !lines.isEmpty() && lines.last() == QLatin1String("stored");
}

// Runs the other copy to completion; its output. `mode` "grid" types into the figure grid,
// "remove" removes the grid's first row.
QString otherCopy(const TestFolder& folder, int step, const QString& text,
                  const QString& mode = {}) {
    QProcess p;
    QStringList args{folder.path(), QString::number(step), text};
    if (!mode.isEmpty())
        args << mode;
    p.start(QStringLiteral(QUILLMARK_OTHER_COPY), args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return QStringLiteral("failed: ") + QString::fromLocal8Bit(p.readAllStandardError());
    return QString::fromLocal8Bit(p.readAllStandardOutput());
}

// Alt+N at the focus, then the event loop until the button's animated click is done.
void next(mainForm& form) {
    // After a message box the focus comes back to the window first.
    QTRY_VERIFY(QApplication::focusWidget());
    bool clicked = false;
    const auto c =
        QObject::connect(ui(form)->command3, &QPushButton::clicked, [&] { clicked = true; });
    pressAtFocus(Qt::Key_N, Qt::AltModifier);
    QTRY_VERIFY_WITH_TIMEOUT(clicked, 30000);
    QObject::disconnect(c);
}

// The figure grid's first text cell in the first row.
QModelIndex firstCell(const QTableView* grid) {
    const auto* figures = qobject_cast<FigureTableModel*>(grid->model());
    return figures->index(0, figures->labelColumn());
}

// Clicks the grid's first cell, which gives the grid the focus.
void clickFirstCell(QTableView* grid) {
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {},
                      grid->visualRect(firstCell(grid)).center());
    QTRY_COMPARE(QApplication::focusWidget(), grid);
}

// Types into the grid's first cell as the owner does: a click, F2, the keys, Enter.
void typeIntoFirstCell(QTableView* grid, const QString& text) {
    clickFirstCell(grid);
    QTest::keyClick(grid, Qt::Key_F2);
    QTRY_VERIFY(QApplication::focusWidget() != grid);
    QTest::keyClicks(QApplication::focusWidget(), text);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
}

} // namespace

class TwoCopiesTest : public QObject {
    Q_OBJECT

private slots:
    void storeOverAnotherCopysAnswerNeedsTheOwnersWord();
    void anotherCopysFiguresNeedTheOwnersWord();
    void removalsOnEitherSideNeedTheOwnersWord();
};

void TwoCopiesTest::storeOverAnotherCopysAnswerNeedsTheOwnersWord() {
    TestFolder folder;
    auto form = loadForm(folder);
    QCOMPARE(form->otherCopyProcess(), 0);
    goToStep(*form, 2);
    QTRY_COMPARE(QApplication::focusWidget(), ui(form)->text1);
    QVERIFY(ui(form)->text1->toPlainText().isEmpty());

    // The other copy starts while we have the file open, says so, and stores step 2.
    const QString other = otherCopy(folder, 2, QStringLiteral("written by the other copy"));
    QVERIFY2(other.contains(QStringLiteral("box: Another copy of Quillmark (process %1) has "
                                           "this database open too.")
                                .arg(QCoreApplication::applicationPid())),
             qPrintable(other));
    QVERIFY2(stored(other), qPrintable(other));
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("written by the other copy")));

    // We still show the empty box we read, type and move on: refused, and Enter keeps our
    // text in the box and the other copy's answer in the file.
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("written here"));
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        next(*form);
        QCOMPARE(keys.texts.size(), 1);
        QVERIFY2(keys.texts[0].startsWith(QStringLiteral("The answer to step 2 was changed by "
                                                         "another copy of Quillmark")),
                 qPrintable(keys.texts[0]));
    }
    QCOMPARE(shownStep(*form), 2);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("written here"));
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("written by the other copy")));
    QVERIFY(!storedAnswer(folder, 2).contains(QStringLiteral("written here")));

    // Again: Show the stored answer (Alt+S), close it, then Replace (Alt+R).
    {
        ModalKeys keys({QKeyCombination(Qt::AltModifier, Qt::Key_S),
                        QKeyCombination(Qt::Key_Escape),
                        QKeyCombination(Qt::AltModifier, Qt::Key_R)});
        next(*form);
        QCOMPARE(keys.texts.size(), 3);
        QCOMPARE(keys.texts[1], QStringLiteral("written by the other copy"));
    }
    QCOMPARE(shownStep(*form), 3);
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("written here")));
    QVERIFY(!storedAnswer(folder, 2).contains(QStringLiteral("other copy")));

    // A step shows its answer as stored now, and an edit of it stores without a question.
    QVERIFY(stored(otherCopy(folder, 4, QStringLiteral("four from the other copy"))));
    {
        ModalKeys keys({});
        next(*form);
        QCOMPARE(shownStep(*form), 4);
        QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("four from the other copy"));
        QTest::keyClicks(QApplication::focusWidget(), QStringLiteral(", and ours"));
        next(*form);
        QCOMPARE(keys.texts, QStringList());
    }
    QCOMPARE(shownStep(*form), 5);
    QVERIFY(storedAnswer(folder, 4).contains(QStringLiteral("four from the other copy, and ours")));

    // Once we have gone, a copy that starts finds no other.
    form.reset();
    QVERIFY(!otherCopy(folder, 6, QStringLiteral("alone")).contains(QStringLiteral("box:")));
}

void TwoCopiesTest::anotherCopysFiguresNeedTheOwnersWord() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 42);
    QTableView* grid = ui(form)->DataGrid1;
    const QModelIndex cell = firstCell(grid);
    const auto storedProduct = [&] {
        return folder.value("SELECT ProductOrService FROM projections ORDER BY ID LIMIT 1")
            .toString();
    };
    const auto typeIntoCell = [&](const QString& text) { typeIntoFirstCell(grid, text); };

    // The other copy stores a figure in the row this copy still shows empty.
    QVERIFY(stored(otherCopy(folder, 42, QStringLiteral("Bread"), QStringLiteral("grid"))));
    QCOMPARE(storedProduct(), QStringLiteral("Bread"));

    // Ours is refused; Enter keeps it in the grid, unstored, and the file keeps theirs.
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        typeIntoCell(QStringLiteral("Cakes"));
        QTRY_COMPARE(keys.texts.size(), 1);
        QVERIFY2(keys.texts[0].startsWith(QStringLiteral("The figures in row 1 were changed by "
                                                         "another copy of Quillmark")),
                 qPrintable(keys.texts[0]));
        QVERIFY2(keys.texts[0].contains(QStringLiteral("Bread")), qPrintable(keys.texts[0]));
        QCOMPARE(keys.defaults[0].remove(u'&'), QStringLiteral("Keep my figures"));
    }
    QCOMPARE(cell.data().toString(), QStringLiteral("Cakes"));
    QCOMPARE(storedProduct(), QStringLiteral("Bread"));

    // Moving on asks again, and the step stays while ours are kept; Replace (Alt+R) stores.
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Escape)});
        next(*form);
        QTRY_COMPARE(keys.texts.size(), 1);
    }
    QCOMPARE(shownStep(*form), 42);
    QCOMPARE(storedProduct(), QStringLiteral("Bread"));
    {
        ModalKeys keys({QKeyCombination(Qt::AltModifier, Qt::Key_R)});
        next(*form);
        QCOMPARE(keys.texts.size(), 1);
    }
    QCOMPARE(storedProduct(), QStringLiteral("Cakes"));
    QCOMPARE(shownStep(*form), 43);

    // Back at the grid: the other copy changes the row again and Reload (Alt+L) shows theirs.
    goToStep(*form, 42);
    QVERIFY(stored(otherCopy(folder, 42, QStringLiteral("Pies"), QStringLiteral("grid"))));
    {
        ModalKeys keys({QKeyCombination(Qt::AltModifier, Qt::Key_L)});
        typeIntoCell(QStringLiteral("Tarts"));
        QTRY_COMPARE(keys.texts.size(), 1);
    }
    QTRY_COMPARE(firstCell(grid).data().toString(), QStringLiteral("Pies"));
    QCOMPARE(storedProduct(), QStringLiteral("Pies"));

    // A row the other copy changed is not removed on Ctrl+- without the owner's word.
    QVERIFY(stored(otherCopy(folder, 42, QStringLiteral("Buns"), QStringLiteral("grid"))));
    clickFirstCell(grid);
    QCOMPARE(grid->currentIndex().row(), 0);
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Y), QKeyCombination(Qt::Key_Return)});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus, Qt::ControlModifier);
        QTRY_COMPARE(keys.texts.size(), 2);
        QVERIFY2(keys.texts[1].contains(QStringLiteral("has not been removed")),
                 qPrintable(keys.texts[1]));
    }
    QTRY_VERIFY(firstCell(grid).data().toString() == QLatin1String("Buns"));
    QCOMPARE(storedProduct(), QStringLiteral("Buns"));
}

void TwoCopiesTest::removalsOnEitherSideNeedTheOwnersWord() {
    TestFolder folder;
    auto form = loadForm(folder);
    QVERIFY(QTest::qWaitForWindowActive(form.get()));
    goToStep(*form, 42);
    QTableView* grid = ui(form)->DataGrid1;
    const auto rows = [&] { return folder.value("SELECT COUNT(*) FROM projections").toInt(); };
    const auto product = [&](int id) {
        return folder.value(QStringLiteral("SELECT ProductOrService FROM projections WHERE ID = %1")
                                .arg(id));
    };
    const auto firstRowStored = [&] {
        return folder.value("SELECT COUNT(*) FROM projections WHERE ID = 1").toInt() == 1;
    };
    const int before = rows();

    // The other copy removes the row this copy is typing into: ours are refused and Enter
    // keeps them in the grid, unstored.
    QVERIFY(stored(otherCopy(folder, 42, {}, QStringLiteral("remove"))));
    QCOMPARE(rows(), before - 1);
    QVERIFY(!firstRowStored());
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Return)});
        typeIntoFirstCell(grid, QStringLiteral("Cakes"));
        QTRY_COMPARE(keys.texts.size(), 1);
        QVERIFY2(keys.texts[0].startsWith(QStringLiteral("Row 1 was removed by another copy of "
                                                         "Quillmark")),
                 qPrintable(keys.texts[0]));
        QCOMPARE(keys.defaults[0], QStringLiteral("Keep my figures"));
    }
    QCOMPARE(firstCell(grid).data().toString(), QStringLiteral("Cakes"));
    QCOMPARE(rows(), before - 1);

    // Moving on asks again; Store the row again (Alt+S) brings the row back under its own
    // key with our figures, and the step moves on.
    {
        ModalKeys keys({QKeyCombination(Qt::AltModifier, Qt::Key_S)});
        next(*form);
        QCOMPARE(keys.texts.size(), 1);
    }
    QCOMPARE(shownStep(*form), 43);
    QCOMPARE(rows(), before);
    QCOMPARE(product(1).toString(), QStringLiteral("Cakes"));

    // This copy removes a row the other copy changed since: asked, Remove it anyway (Alt+R).
    goToStep(*form, 42);
    QVERIFY(stored(otherCopy(folder, 42, QStringLiteral("Rolls"), QStringLiteral("grid"))));
    clickFirstCell(grid);
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Y), QKeyCombination(Qt::AltModifier, Qt::Key_R)});
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Minus, Qt::ControlModifier);
        QTRY_COMPARE(keys.texts.size(), 2);
        QVERIFY2(keys.texts[1].contains(QStringLiteral("has not been removed")) &&
                     keys.texts[1].contains(QStringLiteral("Rolls")),
                 qPrintable(keys.texts[1]));
        QCOMPARE(keys.defaults[1], QStringLiteral("Keep the row and show its figures"));
    }
    QTRY_COMPARE(rows(), before - 1);
    QVERIFY(!firstRowStored());
    QVERIFY(firstCell(grid).data().toString().isEmpty());
}

QTEST_MAIN(TwoCopiesTest)
#include "tst_twocopies.moc"
