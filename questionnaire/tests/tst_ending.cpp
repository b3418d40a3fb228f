// Ending the program, every way a person can: Exit when the answer cannot be stored asks
// once, as the close box does, and keeps the text for the next start.

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalkeys.h"
#include "module1.h"
#include "recoveryjournal.h"
#include "testfolder.h"
#include "testform.h"

#include <QApplication>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QStandardPaths>
#include <QTextEdit>
#include <QThread>
#include <QtTest>

namespace {

// Presses a button's Alt key at the focus and runs the event loop until the button's handler
// has returned. True when the handler ended the program.
bool endsTheProgram(QPushButton* button, Qt::Key altKey) {
    const auto handled = QObject::connect(button, &QPushButton::clicked, button, [] {
        // Runs after the window's handler; when that ended the program, the loop has
        // already stopped with code 0.
        QTimer::singleShot(0, qApp, [] { QCoreApplication::exit(99); });
    });
    QTimer::singleShot(0, qApp, [altKey] { pressAtFocus(altKey, Qt::AltModifier); });
    QTimer::singleShot(60000, qApp, [] { QCoreApplication::exit(98); });
    const int code = QCoreApplication::exec();
    QObject::disconnect(handled);
    return code == 0;
}

// A sqlite3 process holding the write lock of a database until it is asked to stop.
class Writer {
public:
    explicit Writer(const QString& path) {
        m_process.start(QStringLiteral("sqlite3"), {path});
        m_process.waitForStarted();
        m_process.write("BEGIN IMMEDIATE; UPDATE PnL SET rowid = rowid; SELECT 'locked';\n");
        m_process.waitForReadyRead(10000);
        m_locked = m_process.readAllStandardOutput().trimmed() == "locked";
    }
    ~Writer() {
        m_process.write("COMMIT;\n.quit\n");
        m_process.closeWriteChannel();
        m_process.waitForFinished(10000);
    }
    bool locked() const { return m_locked; }

private:
    QProcess m_process;
    bool m_locked = false;
};

} // namespace

class EndingTest : public QObject {
    Q_OBJECT

private slots:
    void exitWithAnAnswerThatCannotBeStored_data();
    void exitWithAnAnswerThatCannotBeStored();
    void closedDuringStartupEnds_data();
    void closedDuringStartupEnds();
};

void EndingTest::exitWithAnAnswerThatCannotBeStored_data() {
    QTest::addColumn<bool>("readOnly");
    QTest::newRow("another program holds the write lock") << false;
    QTest::newRow("read-only database") << true;
}

void EndingTest::exitWithAnAnswerThatCannotBeStored() {
    QFETCH(bool, readOnly);
    if (QStandardPaths::findExecutable(QStringLiteral("sqlite3")).isEmpty())
        QSKIP("sqlite3 is not installed");
    TestFolder folder;
    if (readOnly) {
        QVERIFY(QFile(folder.databasePath()).setPermissions(QFile::ReadOwner | QFile::ReadGroup));
        if (QFile(folder.databasePath()).open(QIODevice::ReadWrite))
            QSKIP("this user may write any file (root): a read-only file cannot be made here");
    }
    auto form = loadForm(folder);
    goToStep(*form, 2);
    QTRY_COMPARE(QApplication::focusWidget(), ui(form)->text1);
    QTest::keyClicks(ui(form)->text1, QStringLiteral("words worth keeping"));
    std::unique_ptr<Writer> writer;
    if (!readOnly) {
        writer = std::make_unique<Writer>(folder.databasePath());
        QVERIFY(writer->locked());
    }
    const QString unstored = QStringLiteral("The answer on this step could not be stored. Close "
                                            "Quillmark anyway?");

    // Exit, Yes: one question, No by default; Enter keeps the program and the text.
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Y), QKeyCombination(Qt::Key_Return)});
        QVERIFY(!endsTheProgram(ui(form)->cmdEnd, Qt::Key_E));
        QCOMPARE(keys.texts.size(), 2);
        QCOMPARE(keys.texts[0], QStringLiteral("Do you really want to exit?"));
        QVERIFY2(keys.texts[1].startsWith(unstored + u'\n'), qPrintable(keys.texts[1]));
        QCOMPARE(keys.defaults[1], QStringLiteral("No"));
    }
    QCOMPARE(shownStep(*form), 2);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("words worth keeping"));
    QVERIFY(ui(form)->text1->document()->isModified());

    // Exit, Yes, Yes: the program ends, nothing is stored, and the text waits in the
    // recovery file for the next start.
    {
        ModalKeys keys({QKeyCombination(Qt::Key_Y), QKeyCombination(Qt::Key_Y)});
        QVERIFY(endsTheProgram(ui(form)->cmdEnd, Qt::Key_E));
        QCOMPARE(keys.texts.size(), 2);
        QVERIFY(keys.texts[1].startsWith(unstored));
    }
    form.reset();
    writer.reset();
    QVERIFY(storedAnswer(folder, 2).isEmpty());
    const std::optional<RecoveryEntry> kept = RecoveryJournal(folder.path()).read();
    QVERIFY(kept);
    QCOMPARE(kept->step, 2);
    QVERIFY(kept->rtf.contains("words worth keeping"));
}

void EndingTest::closedDuringStartupEnds_data() {
    QTest::addColumn<int>("moment");
    QTest::newRow("as the window is shown") << int(QEvent::Show);
}

// The window is closed (as by its close box) while start-up still handles events, before
// the program's event loop runs: the program ends all the same, and an edit that an earlier
// crash left in the recovery file waits for the next start.
void EndingTest::closedDuringStartupEnds() {
    QFETCH(int, moment);
    TestFolder folder;
    RecoveryEntry left;
    left.step = 2;
    left.answerKey = 2;
    left.questionNumber = QStringLiteral("2");
    left.rtf = "{\\rtf1 left by a crash}";
    left.processId = 0x7ffffffe; // no such process
    QVERIFY(RecoveryJournal(folder.path()).write(left));

    // Closes the window by a queued call, as a close from the window system arrives.
    struct Closer : QObject {
        int moment;
        bool asked = false;
        bool closedBeforeTheLoop = false;
        bool eventFilter(QObject* o, QEvent* e) override {
            if (!asked && e->type() == moment && qobject_cast<mainForm*>(o)) {
                asked = true;
                auto* form = static_cast<mainForm*>(o);
                QMetaObject::invokeMethod(
                    form,
                    [this, form] {
                        closedBeforeTheLoop = QThread::currentThread()->loopLevel() == 0;
                        form->close();
                    },
                    Qt::QueuedConnection);
            }
            return false;
        }
    } closer;
    closer.moment = moment;
    qApp->installEventFilter(&closer);
    // Should the program wait for ever, this ends the wait and the test fails.
    QTimer watchdog;
    watchdog.setSingleShot(true);
    connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(98); });
    watchdog.start(30000);
    ModalKeys keys({}); // a question at start would be answered with Escape
    const int status = Module1::run(folder.path());
    qApp->removeEventFilter(&closer);
    QVERIFY(closer.closedBeforeTheLoop);
    QCOMPARE(status, 0);
    QCOMPARE(keys.texts, QStringList());
    QVERIFY(RecoveryJournal(folder.path()).exists());
    QVERIFY(storedAnswer(folder, 2).isEmpty());
}

QTEST_MAIN(EndingTest)
#include "tst_ending.moc"
