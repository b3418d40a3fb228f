// The Go menu: the sections with their answered counts, and going
// to a section stores the pending answer and leaves both cursors, the counter, the progress
// bar and the buttons as the button moves would.

#include "boundlabel.h"
#include "gomenu.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "recordcursor.h"
#include "sectionindex.h"
#include "testfolder.h"
#include "testform.h"

#include <QAction>
#include <QDataWidgetMapper>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

namespace {

QList<QAction*> sectionActions(const mainForm& form) {
    ui(form)->goMenu->refresh();
    QList<QAction*> out;
    for (QAction* a : ui(form)->goMenu->menu()->actions())
        if (!a->isSeparator() && a != ui(form)->goMenu->firstStep() &&
            a != ui(form)->goMenu->lastStep())
            out << a;
    return out;
}

// The step every cursor and counter agrees on; fails the test when they disagree.
int agreedStep(const mainForm& form) {
    const int step = ui(form)->Adodc1->position() + 1;
    if (ui(form)->Adodc2->position() + 1 != step || ui(form)->ProgressBar1->value() != step ||
        ui(form)->Label6->text() != QStringLiteral(" %1").arg(step))
        return -1;
    return step;
}

} // namespace

class GoMenuTest : public QObject {
    Q_OBJECT

private slots:
    void menuListsTheSectionsBesideFile();
    void goingStoresAndKeepsTheCursorsInStep();
    void goingToTheFirstSectionIsFirst();
    void failedStoreStaysOnTheStep();
};

void GoMenuTest::menuListsTheSectionsBesideFile() {
    TestFolder folder;
    QVERIFY(folder.exec({QStringLiteral("UPDATE Answers SET Answer = '{\\rtf1 Done.}' "
                                        "WHERE AnswerID IN (2, 3)"),
                         // Formatting without a word is no answer.
                         QStringLiteral("UPDATE Answers SET Answer = '{\\rtf1 {\\b  }\\par}' "
                                        "WHERE AnswerID = 4")}));
    auto form = loadForm(folder);
    const QList<QAction*> menus = form->menuBar()->actions();
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("&File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("&Go"));
    QCOMPARE(menus[2]->text(), QStringLiteral("F&inance"));

    const QList<QAction*> sections = sectionActions(*form);
    QCOMPARE(sections.size(), 12);
    // Figure spaces ahead of 1..9 line their titles up with those of 10..12.
    QVERIFY2(sections[0]->text().startsWith(u"\u2007&1  Executive Summary\t2 of "),
             qPrintable(sections[0]->text()));
    QVERIFY(sections[1]->text().startsWith(u"\u2007&2  The Company\t0 of "));
    QVERIFY(sections[11]->text().startsWith("1&2  Finance\t0 of "));

    // The counts come from the question set: every step but the overviews is a question.
    const QList<SectionEntry> index = SectionIndex::read(*ui(form)->Adodc1->mapper()->model(),
                                                         *ui(form)->Adodc2->mapper()->model());
    int questions = 0, overviews = 0;
    for (const SectionEntry& s : index) {
        questions += s.questions;
        overviews += 1;
    }
    QCOMPARE(questions + overviews, 93);
    QCOMPARE(index[0].firstStep, 1);
    QCOMPARE(index[0].answered, 2);

    // The edit in the box counts as the owner sees it, before it is stored.
    goToStep(*form, 5);
    typeAnswer(*form, QStringLiteral("typed, not yet stored"));
    QVERIFY(sectionActions(*form)[0]->text().contains("\t3 of "));
}

void GoMenuTest::goingStoresAndKeepsTheCursorsInStep() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("answer of step two"));
    const QList<SectionEntry> index = SectionIndex::read(*ui(form)->Adodc1->mapper()->model(),
                                                         *ui(form)->Adodc2->mapper()->model());
    const int target = index[3].firstStep;
    sectionActions(*form)[3]->trigger();

    QVERIFY(storedAnswer(folder, 2).contains("answer of step two"));
    QCOMPARE(agreedStep(*form), target);
    QCOMPARE(ui(form)->Label2->text(), index[3].title);
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, true, true}));
    // The section opens with its overview: no box, focus on Next.
    QVERIFY(ui(form)->text1->isHidden());

    // From there the buttons go on as from any step reached by moving.
    form->command3_Click();
    QCOMPARE(agreedStep(*form), target + 1);
    QVERIFY(!ui(form)->text1->isHidden());
    typeAnswer(*form, QStringLiteral("answer after going"));
    form->command4_Click();
    QVERIFY(storedAnswer(folder, target + 1).contains("answer after going"));
    QCOMPARE(agreedStep(*form), target);

    // The answer row shown is the one of the step: going back shows what was stored.
    QVERIFY(form->goToStep(2));
    QCOMPARE(agreedStep(*form), 2);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("answer of step two"));
    QVERIFY(!ui(form)->text1->document()->isModified());
    QVERIFY(!form->goToStep(0));
    QVERIFY(!form->goToStep(94));
    QCOMPARE(agreedStep(*form), 2);
}

void GoMenuTest::goingToTheFirstSectionIsFirst() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 7);
    typeAnswer(*form, QStringLiteral("seven"));
    sectionActions(*form)[0]->trigger();
    QCOMPARE(agreedStep(*form), 1);
    QCOMPARE(stepButtons(*form), (QList<bool>{false, false, true, true}));
    QVERIFY(storedAnswer(folder, 7).contains("seven"));
    // The last step is Last itself.
    QVERIFY(form->goToStep(93));
    QCOMPARE(agreedStep(*form), 93);
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, false, false}));
}

void GoMenuTest::failedStoreStaysOnTheStep() {
    TestFolder folder;
    QVERIFY(folder.refuseAnswerUpdates());
    auto form = loadForm(folder);
    goToStep(*form, 3);
    typeAnswer(*form, QStringLiteral("precious"));
    {
        MessageBoxWatcher watcher;
        sectionActions(*form)[5]->trigger();
        QCOMPARE(watcher.titles, QStringList{QStringLiteral("Quillmark")});
    }
    QCOMPARE(agreedStep(*form), 3);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("precious"));
    QVERIFY(ui(form)->text1->document()->isModified());
}

QTEST_MAIN(GoMenuTest)
#include "tst_gomenu.moc"
