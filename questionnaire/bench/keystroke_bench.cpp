// Keystroke-to-paint latency in the answer box with a 20 KB answer: one key typed at the
// end of the answer, the edit laid out and the box painted, median over 300 keys. Three
// ways in the same run: the box as designed (baseline: no spell-check, no word count),
// with spell-checking (en_US) and the word count, and with both at 150 % zoom. Two answers:
// 20 KB in many short paragraphs (pasted formatted text), and 20 KB in a single paragraph,
// which the spell-checker reads again whole on every key.
//
//   quillmark_keystroke_bench            (offscreen unless a display is set)

#include "answerzoom.h"
#include "benchsupport.h"
#include "mainform.h"
#include "rtftextedit.h"
#include "spellcheck.h"
#include "spellhighlighter.h"
#include "statusline.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextCursor>

#include <cstdio>
#include <vector>

namespace {

const char* const Sentence =
    "Our bakery sells fresh bread and cakes to ofices, shops and schools every mornning; "
    "sales rise by 12% a year as the market grows and our share follows. ";

// About 20 KB of answer: short formatted paragraphs, or one long paragraph.
QByteArray answer(bool oneParagraph) {
    QByteArray rtf("{\\rtf1\\ansi\\ansicpg1252\\deff0{\\fonttbl{\\f0 Verdana;}}\\f0\\fs20 ");
    int i = 0;
    while (rtf.size() < 20 * 1024) {
        if (oneParagraph)
            rtf += Sentence;
        else
            rtf += "{\\b Point " + QByteArray::number(++i) + ".} " + Sentence + "\\par\n";
    }
    return rtf + "}";
}

double keystrokes(mainForm& form, const QByteArray& rtf) {
    auto* box = static_cast<quill::rtf::RtfTextEdit*>(form.text1);
    box->setRtf(rtf);
    QTextCursor end = box->textCursor();
    end.movePosition(QTextCursor::End);
    box->setTextCursor(end);
    box->setFocus();
    QCoreApplication::processEvents();
    std::vector<double> times;
    for (int i = 0; i < 300; ++i) {
        const char key = i % 6 == 5 ? ' ' : char('a' + i % 26);
        QElapsedTimer clock;
        clock.start();
        const QString text(QChar::fromLatin1(key));
        const int code = key == ' ' ? Qt::Key_Space : Qt::Key_A + (key - 'a');
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
        box->viewport()->repaint();
        times.push_back(clock.nsecsElapsed() / 1e6);
    }
    return median(times);
}

} // namespace

int main(int argc, char** argv) {
    prepareWindowBench();
    QApplication app(argc, argv);
    QTemporaryDir folder;
    if (!copyShippedDatabase(folder))
        return 1;
    mainForm form(folder.path());
    if (!form.Form_Load()) {
        std::fprintf(stderr, "load failed: %s\n", qPrintable(form.loadError()));
        return 1;
    }
    form.showMaximized();
    form.command3_Click(); // step 2: a question with its answer box
    QCoreApplication::processEvents();
    if (!form.spelling->load(QStringLiteral("en_US"))) {
        std::fprintf(stderr, "no en_US dictionary\n");
        return 1;
    }
    const QString dictionary = form.spelling->dictionaryName();

    std::printf("platform %s, dictionary %s, median of 300 keys\n",
                qPrintable(QGuiApplication::platformName()), qPrintable(dictionary));
    for (const bool oneParagraph : {false, true}) {
        const QByteArray rtf = answer(oneParagraph);
        // The designed box: no checking, no count.
        form.spelling->highlighter()->setDictionary(nullptr);
        QObject::disconnect(form.text1, &QTextEdit::textChanged, form.statusLine,
                            &StatusLine::update);
        const double plain = keystrokes(form, rtf);

        QObject::connect(form.text1, &QTextEdit::textChanged, form.statusLine, &StatusLine::update);
        form.spelling->useDictionary(dictionary);
        const double checked = keystrokes(form, rtf);

        form.zoom->setPercent(150);
        const double zoomed = keystrokes(form, rtf);
        form.zoom->setPercent(100);

        std::printf("\n20 KB answer (%lld bytes) in %s:\n", qlonglong(rtf.size()),
                    oneParagraph ? "one paragraph" : "short paragraphs");
        std::printf("  baseline, the box as designed:        %8.3f ms\n", plain);
        std::printf("  spell-check and word count:           %8.3f ms  (%.2fx baseline)\n", checked,
                    checked / plain);
        std::printf("  spell-check, word count, 150 %% zoom:  %8.3f ms  (%.2fx baseline)\n", zoomed,
                    zoomed / plain);
    }
    return 0;
}
