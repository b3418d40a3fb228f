// Start-up: the splash wait, the first step as it is loaded, the bound labels' pairing of
// questions and answers, and the database refusals (nothing created or written).

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "module1.h"
#include "recordcursor.h"
#include "testfolder.h"
#include "welcome.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTextEdit>
#include <QtTest>

class StartupTest : public QObject {
    Q_OBJECT

private slots:
    void loadsFirstStepOfShippedDatabase();
    void splashHoldsMainWindowBack();
    void overviewFlagIsExactText_data();
    void overviewFlagIsExactText();
    void questionWithoutSectionIsNoStep();
    void folderNameWithUriCharacters();
    void refusesBadDatabase_data();
    void refusesBadDatabase();
    void refusesLockedDatabase();
    void startupReportsRefusalAndFails_data();
    void startupReportsRefusalAndFails();
    void startsWithoutAGridTable_data();
    void startsWithoutAGridTable();
};

void StartupTest::loadsFirstStepOfShippedDatabase() {
    TestFolder folder;
    mainForm form(folder.path());
    QVERIFY2(form.Form_Load(), qPrintable(form.loadError()));

    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 1"));
    QCOMPARE(ui(form)->Label7->text(), QStringLiteral("of  93"));
    QCOMPARE(ui(form)->ProgressBar1->minimum(), 0);
    QCOMPARE(ui(form)->ProgressBar1->maximum(), 93);
    QCOMPARE(ui(form)->ProgressBar1->value(), 1);
    QCOMPARE(ui(form)->Adodc1->RecordCount(), 93);
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("1"));
    QCOMPARE(ui(form)->Label2->text(),
             folder.value("SELECT Heading FROM Headings WHERE HeadingID = 1"));
    QVERIFY(!ui(form)->quest->text().isEmpty());

    // Laid out as an overview: no answer box, the question gets the full height.
    QCOMPARE(ui(form)->Label1->text(), QStringLiteral("1"));
    QVERIFY(ui(form)->text1->isHidden());
    QCOMPARE(ui(form)->placement.height(ui(form)->quest), form.outerHeightTwips() - 3000);
    for (QPushButton* b :
         {ui(form)->Command7, ui(form)->command4, ui(form)->command3, ui(form)->Command8})
        QVERIFY(b->isEnabled());
    QCOMPARE(ui(form)->command3->text(), QStringLiteral("&Next   >"));
    QCOMPARE(ui(form)->Command7->text(), QStringLiteral("|<<   &First"));
    QCOMPARE(ui(form)->Command8->text(), QStringLiteral("&Last   >>|"));
    QVERIFY(form.windowTitle().startsWith(QStringLiteral("Quillmark")));
}

void StartupTest::splashHoldsMainWindowBack() {
    TestFolder folder;
    qint64 shownAfter = -1;
    bool splashOnTopWhileLoading = false;
    QElapsedTimer clock;
    // Watch for the main window's first appearance and check the splash is still up.
    QTimer probe;
    connect(&probe, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets()) {
            if (qobject_cast<mainForm*>(w) && w->isVisible() && shownAfter < 0) {
                shownAfter = clock.elapsed();
                for (QWidget* s : QApplication::topLevelWidgets()) {
                    if (qobject_cast<Welcome*>(s) && s->isVisible() &&
                        s->windowFlags().testFlag(Qt::WindowStaysOnTopHint))
                        splashOnTopWhileLoading = true;
                }
            }
        }
    });
    probe.start(5);
    clock.start();
    std::unique_ptr<mainForm> form = Module1::Main(folder.path());
    probe.stop();

    QVERIFY(form);
    QVERIFY(form->isVisible());
    QVERIFY(form->windowState().testFlag(Qt::WindowMaximized));
    QVERIFY2(clock.elapsed() >= 2500, qPrintable(QString::number(clock.elapsed())));
    if (shownAfter >= 0) { // the probe may not run between show and the splash's end
        QVERIFY2(shownAfter >= 2500, qPrintable(QString::number(shownAfter)));
        QVERIFY(splashOnTopWhileLoading);
    }
    for (QWidget* w : QApplication::topLevelWidgets())
        QVERIFY(!qobject_cast<Welcome*>(w));
}

void StartupTest::overviewFlagIsExactText_data() {
    QTest::addColumn<QString>("flag");
    QTest::addColumn<bool>("overview");
    QTest::newRow("1") << "1" << true;
    QTest::newRow("1 and a blank") << "1 " << false;
    QTest::newRow("01") << "01" << false;
    QTest::newRow("0") << "0" << false;
}

void StartupTest::overviewFlagIsExactText() {
    QFETCH(QString, flag);
    QFETCH(bool, overview);
    TestFolder folder;
    QVERIFY(folder.exec(QStringLiteral("UPDATE questions SET description = '%1' "
                                       "WHERE QuestionNumber = 2")
                            .arg(flag)));
    mainForm form(folder.path());
    QVERIFY(form.Form_Load());
    form.command3_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("2"));
    QCOMPARE(ui(form)->Label1->text(), flag);
    QCOMPARE(ui(form)->text1->isHidden(), overview);
}

void StartupTest::questionWithoutSectionIsNoStep() {
    TestFolder folder;
    // Step 5's sub-section and step 20's section disappear; every answer names its row.
    const int lostSection =
        folder
            .value("SELECT headingID FROM Subheadings s JOIN questions q ON "
                   "q.subheadingID = s.SubheadingID WHERE q.QuestionNumber = 20")
            .toInt();
    QVERIFY(folder.exec(
        QStringList{"UPDATE Answers SET Answer = 'row ' || AnswerID",
                    "UPDATE questions SET subheadingID = 999 WHERE QuestionNumber = 5"}));
    const int removed = folder
                            .value(QStringLiteral("SELECT count(*) FROM questions q JOIN "
                                                  "Subheadings s ON q.subheadingID = "
                                                  "s.SubheadingID WHERE s.headingID = %1")
                                       .arg(lostSection))
                            .toInt();
    QVERIFY(
        folder.exec(QStringLiteral("DELETE FROM Headings WHERE HeadingID = %1").arg(lostSection)));

    mainForm form(folder.path());
    QVERIFY(form.Form_Load());
    const int steps = 93 - 1 - removed;
    QCOMPARE(ui(form)->Adodc1->RecordCount(), steps);
    QCOMPARE(ui(form)->Label7->text(),
             QStringLiteral("of ") + QLatin1Char(' ') + QString::number(steps));
    // Steps keep pairing with answer rows by position: the fifth step is question 6 and shows
    // answer row 5.
    for (int i = 1; i < 5; ++i)
        form.command3_Click();
    QCOMPARE(ui(form)->Label9->text(), QStringLiteral("6"));
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("row 5"));
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 5"));
}

void StartupTest::folderNameWithUriCharacters() {
    TestFolder folder;
    // The file is opened by URI; a folder name must not be read as a query or an escape.
    const QString odd = folder.path() + QStringLiteral("/my plans #1 %20?x=y");
    QVERIFY(QDir().mkpath(odd));
    QVERIFY(QFile::copy(folder.databasePath(), odd + QStringLiteral("/0002.mdb")));
    {
        mainForm form(odd);
        QVERIFY2(form.Form_Load(), qPrintable(form.loadError()));
        QCOMPARE(ui(form)->Adodc1->RecordCount(), 93);
    }
    {
        mainForm form(odd + QStringLiteral("/missing"));
        QVERIFY(!form.Form_Load());
    }
    QCOMPARE(QDir(odd).entryList(QDir::Files), QStringList{QStringLiteral("0002.mdb")});
}

void StartupTest::refusesBadDatabase_data() {
    QTest::addColumn<QString>("setup");
    QTest::addColumn<QString>("reason");
    QTest::newRow("missing file") << "missing"
                                  << "does not exist";
    QTest::newRow("text file") << "text"
                               << "not a database";
    QTest::newRow("empty file") << "empty"
                                << "not a database";
    QTest::newRow("damaged database") << "damaged"
                                      << "";
    QTest::newRow("folder named 0002.mdb") << "folder"
                                           << "not a file";
    for (const char* table : {"Headings", "Subheadings", "questions", "Answers", "PnL"})
        QTest::addRow("no table %s", table)
            << QStringLiteral("DROP TABLE %1").arg(QLatin1String(table))
            << QStringLiteral("\"%1\" is missing").arg(QLatin1String(table));
    QTest::newRow("no column Answer") << "ALTER TABLE Answers RENAME COLUMN Answer TO Reply"
                                      << "\"Answer\" of table \"Answers\"";
    QTest::newRow("no column description")
        << "ALTER TABLE questions RENAME COLUMN description TO kind"
        << "\"description\"";
    QTest::newRow("no column headingID")
        << "ALTER TABLE Subheadings RENAME COLUMN headingID TO parent"
        << "\"headingID\"";
}

void StartupTest::refusesBadDatabase() {
    QFETCH(QString, setup);
    QFETCH(QString, reason);
    TestFolder folder(setup.contains(QLatin1Char(' ')) || setup == QLatin1String("damaged")
                          ? TestFolder::ShippedDatabase
                          : TestFolder::Empty);
    if (setup == QLatin1String("text") || setup == QLatin1String("empty")) {
        QFile f(folder.databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
        if (setup == QLatin1String("text"))
            f.write("Business plan notes, not a database.\n");
    } else if (setup == QLatin1String("folder")) {
        QVERIFY(QDir(folder.path()).mkdir(QStringLiteral("0002.mdb")));
    } else if (setup == QLatin1String("damaged")) {
        // A real header over pages of garbage.
        QFile f(folder.databasePath());
        QVERIFY(f.open(QIODevice::ReadWrite));
        f.seek(100);
        f.write(QByteArray(8192, '\x5a'));
    } else if (setup != QLatin1String("missing")) {
        QVERIFY(folder.exec(setup));
    }
    const auto before = folder.snapshot();

    {
        mainForm form(folder.path());
        QVERIFY(!form.Form_Load());
        QVERIFY2(form.loadError().contains(reason), qPrintable(form.loadError()));
        QVERIFY(form.loadError().contains(folder.databasePath()));
    }
    QCOMPARE(folder.snapshot(), before);
}

void StartupTest::startsWithoutAGridTable_data() {
    QTest::addColumn<QString>("table");
    for (const char* table : {"projections", "assets", "rawmaterials"})
        QTest::newRow(table) << QString::fromLatin1(table);
}

void StartupTest::startsWithoutAGridTable() {
    // Only the step whose grid shows that table needs it; that step says so when shown.
    QFETCH(QString, table);
    TestFolder folder(TestFolder::ShippedDatabase);
    QVERIFY(folder.exec(QStringLiteral("DROP TABLE ") + table));
    mainForm form(folder.path());
    QVERIFY2(form.Form_Load(), qPrintable(form.loadError()));
}

void StartupTest::refusesLockedDatabase() {
    TestFolder folder;
    const auto before = folder.snapshot();
    QProcess holder;
    holder.start(QStringLiteral("sqlite3"), {folder.databasePath()});
    QVERIFY(holder.waitForStarted());
    holder.write("BEGIN EXCLUSIVE;\nCREATE TABLE lockedhere(x);\n.print locked\n");
    QTRY_VERIFY_WITH_TIMEOUT(holder.readAllStandardOutput().contains("locked") ||
                                 QFile::exists(folder.databasePath() + "-journal"),
                             10000);

    QElapsedTimer clock;
    clock.start();
    {
        mainForm form(folder.path());
        QVERIFY(!form.Form_Load());
        QVERIFY2(form.loadError().contains(QStringLiteral("locked")), qPrintable(form.loadError()));
    }
    QVERIFY(clock.elapsed() >= 4000); // it waited for the lock before giving up

    holder.write("ROLLBACK;\n.quit\n");
    holder.closeWriteChannel();
    QVERIFY(holder.waitForFinished(10000));
    QCOMPARE(folder.snapshot(), before);
}

void StartupTest::startupReportsRefusalAndFails_data() {
    QTest::addColumn<bool>("emptyFile");
    QTest::addColumn<QString>("reason");
    QTest::newRow("no database") << false << QStringLiteral("does not exist");
    QTest::newRow("a database file of 0 bytes") << true << QStringLiteral("not a database");
}

void StartupTest::startupReportsRefusalAndFails() {
    QFETCH(bool, emptyFile);
    QFETCH(QString, reason);
    TestFolder folder(TestFolder::Empty);
    if (emptyFile) {
        QFile f(folder.databasePath());
        QVERIFY(f.open(QIODevice::WriteOnly));
    }
    const auto before = folder.snapshot();
    MessageBoxWatcher watcher;
    std::unique_ptr<mainForm> form = Module1::Main(folder.path());
    QVERIFY(!form);
    // One message, and the folder as it was.
    QCOMPARE(watcher.titles, QStringList{QStringLiteral("Quillmark")});
    QVERIFY2(watcher.texts.value(0).contains(reason), qPrintable(watcher.texts.value(0)));
    QCOMPARE(folder.snapshot(), before);
}

QTEST_MAIN(StartupTest)
#include "tst_startup.moc"
