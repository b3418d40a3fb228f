// Keystroke-to-paint latency in the answer box holding a 20 KB answer in one paragraph
// (which the spell-checker reads whole on every key): one key typed at the end, the edit
// laid out and the box painted. The answer box as the program runs it (spell-checking with
// en_US, the word count, the writing keys) against, in the same iterations, the plain box:
// the same editor with the same answer and nothing beside it. Short paragraphs (pasted
// formatted text) as a second pair.
//
//   quillmark_keystroke_bench [benchmark flags]   (offscreen unless a display is set)

#include "benchsupport.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "rtftextedit.h"
#include "spellcheck.h"

#include <QApplication>
#include <QKeyEvent>
#include <QTemporaryDir>
#include <QTextCursor>

namespace {

const char* const Sentence =
    "Our bakery sells fresh bread and cakes to ofices, shops and schools every mornning; "
    "sales rise by 12% a year as the market grows and our share follows. ";

// About 20 KB of answer: one long paragraph, or short formatted paragraphs.
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

void load(quill::rtf::RtfTextEdit* box, const QByteArray& rtf) {
    box->setRtf(rtf);
    QTextCursor end = box->textCursor();
    end.movePosition(QTextCursor::End);
    box->setTextCursor(end);
}

// One key into a box, laid out and painted.
double key(QWidget* box, QWidget* viewport, int i) {
    const char c = i % 6 == 5 ? ' ' : char('a' + i % 26);
    const QString text(QChar::fromLatin1(c));
    const int code = c == ' ' ? Qt::Key_Space : Qt::Key_A + (c - 'a');
    return secondsOf([&] {
        QKeyEvent press(QEvent::KeyPress, code, Qt::NoModifier, text);
        QKeyEvent release(QEvent::KeyRelease, code, Qt::NoModifier, text);
        QApplication::sendEvent(box, &press);
        QApplication::sendEvent(box, &release);
        viewport->repaint();
    });
}

void Keystroke(benchmark::State& state) {
    QTemporaryDir folder;
    const auto loaded = loadedForm(state, folder);
    if (!loaded)
        return;
    mainForm& form = *loaded;
    form.showMaximized();
    form.command3_Click(); // step 2: a question with its answer box
    if (!ui(form)->spelling->load(QStringLiteral("en_US"))) {
        state.SkipWithError("no en_US dictionary");
        return;
    }
    auto* box = static_cast<quill::rtf::RtfTextEdit*>(ui(form)->text1);
    quill::rtf::RtfTextEdit plain; // the baseline: the editor alone
    plain.resize(box->size());
    plain.show();
    const QByteArray rtf = answer(state.range(0) == 1);
    load(box, rtf);
    load(&plain, rtf);
    box->setFocus();
    QCoreApplication::processEvents();
    PairedTimer timer(state);
    int i = 0;
    for (auto _ : state) {
        timer.own(key(box, box->viewport(), i));
        timer.baseline(key(&plain, plain.viewport(), i));
        ++i;
        if (i % 200 == 0) { // keep the answer at its size
            state.PauseTiming();
            load(box, rtf);
            load(&plain, rtf);
            state.ResumeTiming();
        }
    }
    state.SetLabel(state.range(0) == 1 ? "one paragraph" : "short paragraphs");
}
BENCHMARK(Keystroke)->Arg(1)->Arg(0)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv) {
    return runWindowBenchmarks(argc, argv);
}
