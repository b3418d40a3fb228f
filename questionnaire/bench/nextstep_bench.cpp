// Next-step latency: with a 20 KB rich answer edited in the answer box, one press of Next
// stores it (RTF written to its row), moves both cursors and lays out the next step.
// Median over the 93 steps. Baseline in the same run: a prepared UPDATE of the same RTF
// into the same row with plain Qt SQL (the database's own share of the work).
//
//   quillmark_nextstep_bench            (offscreen unless a display is set)

#include "benchsupport.h"
#include "mainform.h"
#include "recordcursor.h"
#include "rtftextedit.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTextCursor>

#include <algorithm>
#include <cstdio>
#include <vector>

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

} // namespace

int main(int argc, char** argv) {
    prepareWindowBench();
    QApplication app(argc, argv);

    QTemporaryDir folder;
    if (!copyShippedDatabase(folder))
        return 1;
    const QByteArray answer = richAnswer();

    std::vector<double> next;
    {
        mainForm form(folder.path());
        if (!form.Form_Load()) {
            std::fprintf(stderr, "load failed: %s\n", qPrintable(form.loadError()));
            return 1;
        }
        form.showMaximized();
        QCoreApplication::processEvents();
        auto* box = static_cast<quill::rtf::RtfTextEdit*>(form.text1);
        for (int step = 1; step <= form.Adodc1->RecordCount(); ++step) {
            box->setRtf(answer);
            QTextCursor c(box->document());
            c.movePosition(QTextCursor::End);
            c.insertText(QStringLiteral(" Step %1.").arg(step)); // the user's edit
            QCoreApplication::processEvents(); // the edit is laid out before the clock starts
            QElapsedTimer clock;
            clock.start();
            form.command3_Click();
            QCoreApplication::processEvents();
            next.push_back(clock.nsecsElapsed() / 1e6);
        }
    }

    std::vector<double> update;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "baseline");
        db.setDatabaseName(folder.filePath("0002.mdb"));
        db.open();
        QSqlQuery q(db);
        q.prepare(QStringLiteral("UPDATE Answers SET Answer = ? WHERE AnswerID = ?"));
        for (int row = 1; row <= 93; ++row) {
            QElapsedTimer clock;
            clock.start();
            q.addBindValue(QString::fromLatin1(answer));
            q.addBindValue(row);
            q.exec();
            update.push_back(clock.nsecsElapsed() / 1e6);
        }
        q = QSqlQuery();
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("baseline"));

    const double n = median(next), u = median(update);
    std::printf("answer size %lld bytes, %zu steps, platform %s\n", qlonglong(answer.size()),
                next.size(), qPrintable(QGuiApplication::platformName()));
    std::printf("next step (store 20 KB, move, lay out), median: %8.3f ms  (target < 10 ms)\n", n);
    std::printf("baseline: plain prepared UPDATE, median:         %8.3f ms\n", u);
    std::printf("ratio next step / plain UPDATE:                  %8.1fx\n", n / u);
    std::printf("slowest step: %.3f ms\n", *std::max_element(next.begin(), next.end()));
    return 0;
}
