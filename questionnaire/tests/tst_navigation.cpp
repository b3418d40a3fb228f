// Moving through the steps: the two cursors in step, the bounces, the button states, and
// answers stored as RTF exactly when the answer cursor moves.

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "recordcursor.h"
#include "testfolder.h"
#include "testform.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

class NavigationTest : public QObject {
    Q_OBJECT

private slots:
    void nextStoresAnswerAndAdvances();
    void nextOnLastStepBouncesWithoutStoring();
    void previousOnFirstStepBounces();
    void lastAndFirstStoreTheEditedAnswer();
    void answerSurvivesRestartAsRtf();
    void viewingNeverRewritesAnAnswer_data();
    void viewingNeverRewritesAnAnswer();
    void fewerAnswerRowsNeverReachPastTheLast();
    void failedStoreKeepsEditAndStep();
    void storesOverWhatAnotherProgramLeft_data();
    void storesOverWhatAnotherProgramLeft();
};

void NavigationTest::nextStoresAnswerAndAdvances() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("Bakery in the old town"));
    form->command3_Click();

    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 3"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 3);
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("3"));
    QCOMPARE(ui(form)->Adodc2->position(), 2);
    QVERIFY(storedAnswer(folder, 2).startsWith(QStringLiteral("{\\rtf")));
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("Bakery in the old town")));
    QVERIFY2(ui(form)->text1->toPlainText().isEmpty(), qPrintable(ui(form)->text1->toPlainText()));
    QVERIFY(!ui(form)->text1->isHidden());
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, true, true}));
}

void NavigationTest::nextOnLastStepBouncesWithoutStoring() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 93);
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 93"));
    typeAnswer(*form, QStringLiteral("closing words"));

    form->command3_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("93"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 93"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 93);
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, false, false}));
    QVERIFY(storedAnswer(folder, 93).isEmpty()); // a bounce stores nothing...
    QCOMPARE(ui(form)->text1->toPlainText(),
             QStringLiteral("closing words")); // ...and loses nothing

    form->command4_Click();
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 92"));
    QVERIFY(storedAnswer(folder, 93).contains(QStringLiteral("closing words")));
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, true, true}));
}

void NavigationTest::previousOnFirstStepBounces() {
    TestFolder folder;
    auto form = loadForm(folder);
    form->command4_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("1"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 1"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 1);
    QCOMPARE(ui(form)->Adodc1->position(), 0);
    QCOMPARE(ui(form)->Adodc2->position(), 0);
    QCOMPARE(stepButtons(*form), (QList<bool>{false, false, true, true}));
}

void NavigationTest::lastAndFirstStoreTheEditedAnswer() {
    TestFolder folder;
    QVERIFY(
        folder.exec("UPDATE Answers SET Answer = '{\\rtf1\\ansi final row}' WHERE AnswerID = 93"));
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("first answer"));

    form->Command8_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("93"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 93"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 93);
    QCOMPARE(ui(form)->Adodc2->position(), 92);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("final row"));
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("first answer")));
    QCOMPARE(stepButtons(*form), (QList<bool>{true, true, false, false}));

    ui(form)->text1->selectAll();
    typeAnswer(*form, QStringLiteral(" and more"));
    form->Command7_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("1"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 1"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 1);
    QVERIFY(storedAnswer(folder, 93).contains(QStringLiteral("final row and more")));
    QCOMPARE(stepButtons(*form), (QList<bool>{false, false, true, true}));
    form->command3_Click();
    QVERIFY(ui(form)->text1->toPlainText().contains(QStringLiteral("first answer")));
}

void NavigationTest::answerSurvivesRestartAsRtf() {
    TestFolder folder;
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        QTextCursor c(ui(form)->text1->document());
        QTextCharFormat bold;
        bold.setFontWeight(QFont::Bold);
        c.insertText(QStringLiteral("We bake "), QTextCharFormat());
        c.insertText(QStringLiteral("sourdough"), bold);
        form->command3_Click();
    }
    auto form = loadForm(folder);
    goToStep(*form, 2);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("We bake sourdough"));
    QTextCursor c(ui(form)->text1->document());
    c.setPosition(10);
    QVERIFY(c.charFormat().fontWeight() >= QFont::Bold);
}

void NavigationTest::viewingNeverRewritesAnAnswer_data() {
    QTest::addColumn<QByteArray>("answer");
    QTest::newRow("truncated") << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0 Arial;}}\\f0 Our mar");
    QTest::newRow("unbalanced") << QByteArray("{\\rtf1 }}}} text {\\b bold");
    QTest::newRow("deeply nested") << QByteArray("{\\rtf1 ") + QByteArray(20000, '{') + "deep";
    QByteArray huge("{\\rtf1\\ansi ");
    while (huge.size() < 4 * 1024 * 1024)
        huge += "{\\b Figures} and plans for the coming year.\\par ";
    QTest::newRow("huge") << huge + "}";
    QTest::newRow("not rtf") << QByteArray("plain notes from an older version");
}

void NavigationTest::viewingNeverRewritesAnAnswer() {
    QFETCH(QByteArray, answer);
    TestFolder folder;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "seed");
        db.setDatabaseName(folder.databasePath());
        QVERIFY(db.open());
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE Answers SET Answer = ? WHERE AnswerID = 3"));
        q.addBindValue(QString::fromLatin1(answer));
        QVERIFY(q.exec());
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
    const QString before = storedAnswer(folder, 3);

    auto form = loadForm(folder);
    goToStep(*form, 3); // reads it: no crash, no hang
    QVERIFY(!ui(form)->text1->isReadOnly());
    form->command3_Click();
    form->command4_Click();
    form->Command7_Click();
    QCOMPARE(storedAnswer(folder, 3), before);
}

void NavigationTest::fewerAnswerRowsNeverReachPastTheLast() {
    TestFolder folder;
    QVERIFY(folder.exec(QStringList{"UPDATE Answers SET Answer = '{\\rtf1 row ' || AnswerID || '}'",
                                    "DELETE FROM Answers WHERE AnswerID > 90"}));
    auto form = loadForm(folder);
    QCOMPARE(ui(form)->Adodc2->RecordCount(), 90);

    form->Command8_Click();
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 93"));
    QVERIFY(ui(form)->text1->toPlainText().isEmpty());
    QVERIFY(ui(form)->text1->isReadOnly());
    QTest::keyClicks(ui(form)->text1, QStringLiteral("lost?"));
    QVERIFY(ui(form)->text1->toPlainText().isEmpty());

    form->command4_Click();
    form->command4_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("91"));
    QVERIFY(ui(form)->text1->isReadOnly());
    form->command4_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("90"));
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("row 90"));
    QVERIFY(!ui(form)->text1->isReadOnly());
    typeAnswer(*form, QStringLiteral(" edited"));
    form->command3_Click();
    QVERIFY(storedAnswer(folder, 90).contains(QStringLiteral("row 90 edited")));
    QCOMPARE(folder.value("SELECT count(*) FROM Answers").toInt(), 90);
    QCOMPARE(storedAnswer(folder, 89), QStringLiteral("{\\rtf1 row 89}"));
}

void NavigationTest::failedStoreKeepsEditAndStep() {
    TestFolder folder;
    QVERIFY(folder.refuseAnswerUpdates());
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("precious words"));
    {
        MessageBoxWatcher watcher;
        form->command3_Click();
        QCOMPARE(watcher.titles, QStringList{QStringLiteral("Quillmark")});
    }
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("2"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 2"));
    QCOMPARE(ui(form)->Adodc2->position(), 1);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("precious words"));
    QVERIFY(ui(form)->text1->document()->isModified());
}

void NavigationTest::storesOverWhatAnotherProgramLeft_data() {
    QTest::addColumn<QString>("value"); // as SQL
    QTest::newRow("text beyond ASCII") << QStringLiteral("'Caf\u00e9 \u2013 na\u00efve \u2615'");
    QTest::newRow("empty text") << QStringLiteral("''");
    QTest::newRow("null") << QStringLiteral("NULL");
    QTest::newRow("a blob") << QStringLiteral("X'7B5C727466317D00FF'");
}

// The row is found unchanged whatever kind of value was read from it, so the owner's answer
// is stored over it without a word about another program.
void NavigationTest::storesOverWhatAnotherProgramLeft() {
    QFETCH(QString, value);
    TestFolder folder;
    QVERIFY(folder.exec(QStringLiteral("UPDATE Answers SET Answer = %1 WHERE AnswerID = 2")
                            .arg(value)));
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("Mine now"));
    MessageBoxWatcher watcher;
    form->command3_Click();
    QCOMPARE(watcher.texts, QStringList());
    QCOMPARE(ui(form)->Adodc2->position(), 2);
    QVERIFY(storedAnswer(folder, 2).contains(QStringLiteral("Mine now")));
}

QTEST_MAIN(NavigationTest)
#include "tst_navigation.moc"
