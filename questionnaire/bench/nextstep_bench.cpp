// Next-step latency: with a 20 KB rich answer edited in the answer box, one press of Next
// stores it (RTF written to its row and committed), moves both cursors and lays out the
// next step (unanswered as shipped, or holding a 20 KB answer as well). Baseline in the
// same iterations: a prepared UPDATE of the same RTF into the same row through the same
// connection, committed on its own: the database's share, durability included.
// CommitFloor measures that commit with one byte written.
//
//   quillmark_nextstep_bench [benchmark flags]   (offscreen unless a display is set)

#include "benchsupport.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "recordcursor.h"
#include "rtftextedit.h"

#include <QApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextCursor>

namespace {

// About 20 KB of the formatting a pasted answer carries.
QByteArray richAnswer() {
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Verdana;}{\\f1 Times New "
                   "Roman;}}{\\colortbl;\\red192\\green64\\blue0;\\red0\\green0\\blue128;}\n");
    int i = 0;
    while (rtf.size() < 20 * 1024) {
        rtf += "\\pard\\ql\\sa120 {\\b Section " + QByteArray::number(++i) +
               "} {\\i sales rise} by {\\cf1 12%} a year; {\\f1\\fs28 the market} grows, "
               "{\\ul our share} follows and {\\cf2\\strike costs} fall.\\par\n"
               "{\\pard\\li360\\fi-360 \\bullet\\tab Customers: offices, shops, schools.\\par}\n";
    }
    return rtf + "}";
}

// The window's own connection (one per purpose: the baseline uses it too, as a second
// connection to the file in this process would upset SQLite's locks).
QSqlDatabase mainConnection() {
    for (const QString& name : QSqlDatabase::connectionNames())
        if (name.startsWith(QLatin1String("quillmark-main-")))
            return QSqlDatabase::database(name);
    return {};
}

// Gives every answer row `answer`, before the window opens the file.
bool fillAnswers(const QTemporaryDir& folder, const QByteArray& answer) {
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("bench-fill"));
        db.setDatabaseName(folder.filePath(QStringLiteral("0002.mdb")));
        if (db.open()) {
            QSqlQuery fill(db);
            fill.prepare(QStringLiteral("UPDATE Answers SET Answer = ?"));
            fill.addBindValue(QString::fromLatin1(answer));
            ok = fill.exec() && fill.numRowsAffected() > 0;
            db.close();
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("bench-fill"));
    return ok;
}

void NextStep(benchmark::State& state) {
    QTemporaryDir folder;
    const QByteArray answer = richAnswer();
    // Case 1: every step holds the answer, so the next one is read and laid out too.
    const auto loaded = loadedForm(state, folder, [&] {
        return state.range(0) != 1 || fillAnswers(folder, answer);
    });
    if (!loaded)
        return;
    mainForm& form = *loaded;
    form.showMaximized();
    QCoreApplication::processEvents();
    auto* box = static_cast<quill::rtf::RtfTextEdit*>(ui(form)->text1);
    QSqlQuery update(mainConnection());
    update.prepare(QStringLiteral("UPDATE Answers SET Answer = ? WHERE AnswerID = ?"));
    PairedTimer timer(state);
    int edits = 0;
    bool ok = true;
    for (auto _ : state) {
        // Only a question step shows the answer box, so only there is an answer stored when
        // the owner moves on; overview steps are passed untimed.
        while (ui(form)->Adodc1->position() + 1 >= ui(form)->Adodc1->RecordCount() ||
               box->isHidden()) {
            if (ui(form)->Adodc1->position() + 1 >= ui(form)->Adodc1->RecordCount())
                form.Command7_Click();
            else
                form.command3_Click();
        }
        box->setRtf(answer);
        QTextCursor c(box->document());
        c.movePosition(QTextCursor::End);
        c.insertText(QStringLiteral(" Edit %1.").arg(++edits)); // the owner's edit
        QCoreApplication::processEvents();                      // laid out before the clock starts
        const int row = ui(form)->Adodc2->position() + 1;
        timer.own(secondsOf([&] {
            form.command3_Click();
            QCoreApplication::processEvents();
        }));
        timer.baseline(secondsOf([&] {
            update.addBindValue(QString::fromLatin1(answer) + QString::number(edits));
            update.addBindValue(row);
            ok = update.exec() && ok;
        }));
        // A store that failed would leave the box modified: the step would not change.
        ok = ok && !box->document()->isModified();
    }
    if (!ok)
        state.SkipWithError("a store failed");
    state.SetLabel(QStringLiteral("%1 bytes, next step %2")
                       .arg(answer.size())
                       .arg(state.range(0) == 1 ? QStringLiteral("answered alike")
                                                : QStringLiteral("as shipped"))
                       .toStdString());
}
// 0: the next steps as shipped (unanswered); 1: every step holds the same 20 KB answer, so
// the next step's answer is read and laid out too.
BENCHMARK(NextStep)->Arg(0)->Arg(1)->UseManualTime()->Unit(benchmark::kMillisecond);

// The commit every store pays for (WAL, synchronous as the program leaves it): one byte
// written and committed, against the 20 KB UPDATE of the baseline above.
void CommitFloor(benchmark::State& state) {
    QTemporaryDir folder;
    const auto form = loadedForm(state, folder); // holds the connection the floor is taken on
    if (!form)
        return;
    QSqlDatabase db = mainConnection();
    QSqlQuery q(db);
    q.exec(QStringLiteral("PRAGMA synchronous"));
    const QString synchronous = q.next() ? q.value(0).toString() : QStringLiteral("?");
    q.exec(QStringLiteral("PRAGMA journal_mode"));
    const QString journal = q.next() ? q.value(0).toString() : QStringLiteral("?");
    // A statement left open keeps SQLite's implicit transaction open: every UPDATE below
    // would then join it and none would commit.
    q.finish();
    QSqlQuery update(db);
    update.prepare(QStringLiteral("UPDATE Answers SET Answer = ? WHERE AnswerID = 2"));
    const QByteArray answer = richAnswer();
    PairedTimer timer(state);
    int i = 0;
    bool ok = true;
    for (auto _ : state) {
        timer.own(secondsOf([&] {
            update.addBindValue(QString::number(++i % 10));
            ok = update.exec() && ok;
        }));
        timer.baseline(secondsOf([&] {
            update.addBindValue(QString::fromLatin1(answer) + QString::number(i));
            ok = update.exec() && ok;
        }));
    }
    if (!ok)
        state.SkipWithError(qPrintable(update.lastError().text()));
    state.SetLabel(
        QStringLiteral("journal %1, synchronous %2").arg(journal, synchronous).toStdString());
}
BENCHMARK(CommitFloor)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv);
}
