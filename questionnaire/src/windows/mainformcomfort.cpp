// Writing comfort beside the designed window: spell-checking, the reading zoom and the word
// count of the answer box, the "Go" menu, and the recovery file of the pending edit. None
// of it changes a designed control or the moment an answer is stored.

#include "mainform.h"

#include "answerzoom.h"
#include "financemenu.h"
#include "gomenu.h"
#include "recoverykeeper.h"
#include "spellcheck.h"
#include "spellhighlighter.h"
#include "statusline.h"

#include <QLocale>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

void mainForm::createWritingComfort() {
    goMenu = new GoMenu(this);
    FinanceMenu::install(this, databasePath());

    spelling = new SpellCheck(text1);
    zoom = new AnswerZoom(text1, spelling->highlighter(), this);
    statusLine = new StatusLine(text1, cmdEnd);
    statusLine->setPalette(Label5->palette());
    connect(zoom, &AnswerZoom::zoomed, statusLine, &StatusLine::setZoom);
    recovery = new RecoveryKeeper(this);

    connect(spelling, &SpellCheck::problem, statusLine, &StatusLine::showMessage);
    connect(recovery, &RecoveryKeeper::problem, statusLine, &StatusLine::showMessage);
    // The dictionary loads once the window can be seen, so it never delays the start.
    QTimer::singleShot(0, spelling, [s = spelling] { s->load(QLocale::system().name()); });
}
