// The recovery file of the pending edit: its format and safety on disk, when it is written
// and removed as the owner types and moves, a real kill -9 of the program in the middle of
// an edit, and the offer to restore or discard at the next start.

#include "boundlabel.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "messageboxwatcher.h"
#include "recordcursor.h"
#include "recoveryjournal.h"
#include "recoverykeeper.h"
#include "rtftextedit.h"
#include "testfolder.h"
#include "testform.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMessageBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTextCursor>
#include <QTextEdit>
#include <QtTest>

namespace {

// What a journal written now would hold, read back from the file.
QString journalledText(const TestFolder& folder) {
    const auto entry = RecoveryJournal(folder.path()).read();
    if (!entry)
        return QStringLiteral("(no file)");
    quill::rtf::RtfTextEdit box;
    box.setRtf(entry->rtf);
    return box.toPlainText();
}

// Clicks the button with `caption` in the next message box that opens.
class BoxClicker : public QObject {
public:
    explicit BoxClicker(QString caption) : m_caption(std::move(caption)) {
        connect(&m_timer, &QTimer::timeout, this, [this] {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                auto* box = qobject_cast<QMessageBox*>(w);
                if (!box || !box->isVisible())
                    continue;
                texts << box->text();
                for (QAbstractButton* b : box->buttons())
                    if (b->text() == m_caption)
                        b->click();
            }
        });
        m_timer.start(20);
    }
    QStringList texts;

private:
    QString m_caption;
    QTimer m_timer;
};

} // namespace

class RecoveryTest : public QObject {
    Q_OBJECT

private slots:
    void journalKeepsTheEditExactlyAndPrivately();
    void journalRefusesWhatIsNotOurs();
    void editIsJournalledWhenTypingPauses();
    void storingOrUndoingRemovesTheFile();
    void overviewStepsAreNeverJournalled();
    void normalEndRemovesTheFileUnlessAnEditIsLost();
    void killedProgramLeavesTheEditToRestore();
    void discardRemovesTheFile();
    void restoreRefusesAStepThatChanged();
};

void RecoveryTest::journalKeepsTheEditExactlyAndPrivately() {
    QTemporaryDir dir;
    const RecoveryJournal journal(dir.path());
    QCOMPARE(journal.path(), dir.filePath("0002.recovery"));
    QVERIFY(!journal.read());
    QVERIFY(journal.remove());

    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    RecoveryEntry e{7,
                    QVariant(7),
                    QStringLiteral("7"),
                    "{\\rtf1 caf\\'e9}" + every,
                    QDateTime::currentDateTimeUtc(),
                    4242};
    QVERIFY(journal.write(e));
    const QFileDevice::Permissions p = QFileInfo(journal.path()).permissions();
    QVERIFY(p.testFlags(QFileDevice::ReadOwner | QFileDevice::WriteOwner));
    QVERIFY(!(p & (QFileDevice::ReadGroup | QFileDevice::WriteGroup | QFileDevice::ReadOther |
                   QFileDevice::WriteOther)));
    auto back = journal.read();
    QVERIFY(back);
    QCOMPARE(back->step, 7);
    QCOMPARE(back->answerKey.toInt(), 7);
    QCOMPARE(back->questionNumber, QStringLiteral("7"));
    QCOMPARE(back->rtf, e.rtf);
    QCOMPARE(back->processId, 4242);
    QCOMPARE(back->savedAt.toMSecsSinceEpoch(), e.savedAt.toMSecsSinceEpoch());

    // Rewritten whole: one file, no temporary left beside it.
    e.rtf = "{\\rtf1 second}";
    QVERIFY(journal.write(e));
    QCOMPARE(journal.read()->rtf, e.rtf);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), QStringList{"0002.recovery"});
    QVERIFY(journal.remove());
    QVERIFY(!journal.exists());

    // A folder that cannot be written says why.
    QString error;
    QVERIFY(!RecoveryJournal(dir.filePath("missing/folder")).write(e, &error));
    QVERIFY(error.contains("0002.recovery"));
}

void RecoveryTest::journalRefusesWhatIsNotOurs() {
    QTemporaryDir dir;
    const RecoveryJournal journal(dir.path());
    for (const QByteArray& content :
         {QByteArray("not json"), QByteArray("{\"format\":\"other\",\"step\":1,\"rtf\":\"\"}"),
          QByteArray("{\"format\":\"quillmark recovery 1\",\"step\":0,\"rtf\":\"\"}"),
          QByteArray("{\"format\":\"quillmark recovery 1\",\"step\":2,\"rtf\":\"@@@\"}")}) {
        QFile f(journal.path());
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(content);
        f.close();
        QString error;
        QVERIFY2(!journal.read(&error), content.constData());
        QVERIFY(!error.isEmpty());
    }
}

void RecoveryTest::editIsJournalledWhenTypingPauses() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 3);
    const RecoveryJournal& journal = ui(form)->recovery->journal();
    // Not while typing goes on: each change starts the pause again. An hour's pause cannot
    // end while the test looks, however slow the machine.
    ui(form)->recovery->setPauseMs(3600 * 1000);
    QTest::keyClicks(ui(form)->text1, QStringLiteral("first words"));
    const int afterFirst = ui(form)->recovery->pauseRemainingMs();
    QVERIFY(afterFirst > 0);
    // Past the timer's coarse rounding (under a second for an hour's timer), so that a
    // new start shows as more time left.
    QTRY_VERIFY(ui(form)->recovery->pauseRemainingMs() < afterFirst - 2000);
    const int beforeMore = ui(form)->recovery->pauseRemainingMs();
    QTest::keyClicks(ui(form)->text1, QStringLiteral(" and more"));
    QVERIFY(ui(form)->recovery->pauseRemainingMs() > beforeMore);
    QVERIFY(!journal.exists());
    // Back to the real pause, which then ends and writes the file.
    ui(form)->recovery->setPauseMs(RecoveryKeeper::PauseMs);
    QTRY_VERIFY_WITH_TIMEOUT(journal.exists(), 5000);
    QCOMPARE(journalledText(folder), QStringLiteral("first words and more"));
    const auto entry = journal.read();
    QCOMPARE(entry->step, 3);
    QCOMPARE(entry->answerKey.toInt(), 3);
    QCOMPARE(entry->processId, QCoreApplication::applicationPid());
    // The database does not see it: nothing is stored before the move.
    QCOMPARE(storedAnswer(folder, 3), QString());
    // The next pause writes the newer text over it.
    QTest::keyClicks(ui(form)->text1, QStringLiteral("!"));
    QTRY_COMPARE_WITH_TIMEOUT(journalledText(folder), QStringLiteral("first words and more!"),
                              5000);
}

void RecoveryTest::storingOrUndoingRemovesTheFile() {
    TestFolder folder;
    auto form = loadForm(folder);
    goToStep(*form, 2);
    typeAnswer(*form, QStringLiteral("kept"));
    ui(form)->recovery->journalNow();
    QVERIFY(ui(form)->recovery->journal().exists());
    form->command3_Click();
    QVERIFY(storedAnswer(folder, 2).contains("kept"));
    QTRY_VERIFY(!ui(form)->recovery->journal().exists());

    // Undone back to what is stored: nothing is pending, the file goes.
    QTest::keyClicks(ui(form)->text1, QStringLiteral("oops"));
    ui(form)->recovery->journalNow();
    QVERIFY(ui(form)->recovery->journal().exists());
    while (ui(form)->text1->document()->isUndoAvailable())
        ui(form)->text1->undo();
    QVERIFY(!ui(form)->text1->document()->isModified());
    QTRY_VERIFY(!ui(form)->recovery->journal().exists());

    // A store that fails keeps the file: the edit is still pending.
    QVERIFY(folder.refuseAnswerUpdates());
    typeAnswer(*form, QStringLiteral("precious"));
    ui(form)->recovery->journalNow();
    {
        MessageBoxWatcher watcher;
        form->command3_Click();
        QCOMPARE(watcher.titles.size(), 1);
    }
    // The keeper looks again once the storing handler has returned: let that run.
    QCoreApplication::sendPostedEvents(ui(form)->recovery, QEvent::MetaCall);
    QVERIFY(ui(form)->recovery->journal().exists());
    QCOMPARE(journalledText(folder), QStringLiteral("precious"));
}

void RecoveryTest::overviewStepsAreNeverJournalled() {
    TestFolder folder;
    auto form = loadForm(folder);
    form->Command7_Click();
    QVERIFY(ui(form)->text1->isHidden());
    typeAnswer(*form, QStringLiteral("typed where no box is shown"));
    ui(form)->recovery->journalNow();
    QVERIFY(!ui(form)->recovery->journal().exists());
}

void RecoveryTest::normalEndRemovesTheFileUnlessAnEditIsLost() {
    TestFolder folder;
    {
        auto form = loadForm(folder);
        goToStep(*form, 2);
        typeAnswer(*form, QStringLiteral("soon stored"));
        ui(form)->recovery->journalNow();
        QVERIFY(ui(form)->recovery->journal().exists());
        // The close path stores the edit; the end removes the file.
        form->close();
        QVERIFY(storedAnswer(folder, 2).contains("soon stored"));
    }
    QVERIFY(!RecoveryJournal(folder.path()).exists());

    // The database refuses, the owner closes anyway: the text stays for the next start,
    // including what was typed within the last second.
    QVERIFY(folder.refuseAnswerUpdates());
    {
        auto form = loadForm(folder);
        goToStep(*form, 4);
        typeAnswer(*form, QStringLiteral("lost without the file"));
        BoxClicker yes(QStringLiteral("&Yes"));
        MessageBoxWatcher errors; // the store's error box
        form->close();
    }
    QVERIFY(RecoveryJournal(folder.path()).exists());
    QCOMPARE(journalledText(folder), QStringLiteral("lost without the file"));
}

void RecoveryTest::killedProgramLeavesTheEditToRestore() {
    TestFolder folder;
    QProcess program;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("QT_QPA_PLATFORM", "offscreen");
    program.setProcessEnvironment(env);
    program.start(QStringLiteral(QUILLMARK_RECOVERY_TYPIST),
                  {folder.path(), "5", "Our bakery opens at six"});
    QVERIFY(program.waitForStarted());
    QByteArray said;
    QTRY_VERIFY2_WITH_TIMEOUT(
        (said += program.readAllStandardOutput()).contains("journalled"),
        qPrintable(QString::fromLocal8Bit(said + program.readAllStandardError())), 30000);
    program.kill(); // SIGKILL: no handler, no clean-up, the way a crash ends it
    QVERIFY(program.waitForFinished(10000));
    QCOMPARE(program.exitStatus(), QProcess::CrashExit);

    // The edit is in the file and nowhere else.
    QCOMPARE(journalledText(folder), QStringLiteral("Our bakery opens at six"));
    QCOMPARE(RecoveryJournal(folder.path()).read()->step, 5);
    QCOMPARE(storedAnswer(folder, 5), QString());

    // The next start offers it; "Restore" puts it back on its step, pending.
    auto form = loadForm(folder);
    {
        BoxClicker restore(QStringLiteral("Restore"));
        ui(form)->recovery->offerRestore();
        QCOMPARE(restore.texts.size(), 1);
        QVERIFY(restore.texts[0].contains("step 5"));
        QVERIFY(restore.texts[0].contains("Our bakery opens at six"));
    }
    QCOMPARE(ui(form)->Adodc1->position(), 4);
    QCOMPARE(ui(form)->Adodc2->position(), 4);
    QCOMPARE(ui(form)->Label6->text(), QStringLiteral(" 5"));
    QCOMPARE(ui(form)->ProgressBar1->value(), 5);
    QCOMPARE(ui(form)->text1->toPlainText(), QStringLiteral("Our bakery opens at six"));
    QVERIFY(ui(form)->text1->document()->isModified());
    QCOMPARE(storedAnswer(folder, 5), QString());
    // Until it is stored the file stays; leaving the step stores it and the file goes.
    QVERIFY(ui(form)->recovery->journal().exists());
    form->command3_Click();
    QVERIFY(storedAnswer(folder, 5).contains("Our bakery opens at six"));
    QTRY_VERIFY(!ui(form)->recovery->journal().exists());
}

void RecoveryTest::discardRemovesTheFile() {
    TestFolder folder;
    QVERIFY(
        RecoveryJournal(folder.path())
            .write({6, QVariant(6), "6", "{\\rtf1 unwanted}", QDateTime::currentDateTimeUtc(), 0}));
    auto form = loadForm(folder);
    {
        BoxClicker discard(QStringLiteral("Discard"));
        ui(form)->recovery->offerRestore();
        QCOMPARE(discard.texts.size(), 1);
    }
    QVERIFY(!ui(form)->recovery->journal().exists());
    QCOMPARE(ui(form)->Adodc1->position(), 0);
    QCOMPARE(storedAnswer(folder, 6), QString());

    // No file, no question.
    MessageBoxWatcher watcher;
    ui(form)->recovery->offerRestore();
    QVERIFY(watcher.texts.isEmpty());
}

void RecoveryTest::restoreRefusesAStepThatChanged() {
    TestFolder folder;
    auto form = loadForm(folder);
    // A row key that is not the step's, a step beyond the set, an overview step.
    const QList<RecoveryEntry> entries{
        {5, QVariant(99), "5", "{\\rtf1 x}", {}, 0},
        {500, QVariant(500), "500", "{\\rtf1 x}", {}, 0},
        {1, QVariant(1), "1", "{\\rtf1 x}", {}, 0},
    };
    for (const RecoveryEntry& e : entries) {
        form->Command7_Click();
        QVERIFY(!ui(form)->recovery->restore(e));
        QVERIFY(!ui(form)->text1->document()->isModified());
    }
    // Another copy still running on the folder wrote it: not left over from a crash.
    QProcess sleeper;
    sleeper.start("sleep", {"30"});
    QVERIFY(sleeper.waitForStarted());
    QVERIFY(ui(form)->recovery->journal().write({3, QVariant(3), "3", "{\\rtf1 theirs}",
                                                 QDateTime::currentDateTimeUtc(),
                                                 sleeper.processId()}));
    MessageBoxWatcher watcher;
    ui(form)->recovery->offerRestore();
    QVERIFY(watcher.texts.isEmpty());
    QVERIFY(ui(form)->recovery->journal().exists());
    sleeper.kill();
    sleeper.waitForFinished();
}

QTEST_MAIN(RecoveryTest)
#include "tst_recovery.moc"
