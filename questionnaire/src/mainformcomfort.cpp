// Writing comfort beside the designed window: spell-checking, the reading zoom and the word
// count of the answer box, the "Go" menu, and the recovery file of the pending edit. None
// of it changes a designed control or the moment an answer is stored.

#include "mainform.h"

#include "answerzoom.h"
#include "gomenu.h"
#include "recoverykeeper.h"
#include "spellcheck.h"
#include "spellhighlighter.h"
#include "wordcount.h"

#include <QLocale>
#include <QStatusBar>
#include <QTextEdit>
#include <QTimer>

void mainForm::createWritingComfort() {
    goMenu = new GoMenu(this);

    spelling = new SpellCheck(text1);
    zoom = new AnswerZoom(text1, spelling->highlighter(), this);
    wordCount = new WordCount(text1, statusBar());
    statusBar()->addPermanentWidget(wordCount);
    connect(zoom, &AnswerZoom::zoomed, wordCount, &WordCount::setZoom);
    recovery = new RecoveryKeeper(this);

    auto tell = [this](const QString& message) { statusBar()->showMessage(message, 15000); };
    connect(spelling, &SpellCheck::problem, this, tell);
    connect(recovery, &RecoveryKeeper::problem, this, tell);
    // The dictionary loads once the window can be seen, so it never delays the start.
    QTimer::singleShot(0, spelling, [s = spelling] { s->load(QLocale::system().name()); });
}
