// Writing comfort beside the designed window: spell-checking, the reading zoom, the word
// count and the writing keys of the answer box, the "Go" menu, the recovery file of the
// pending edit, and the focus kept where it was when the window comes back. None
// of it changes a designed control or the moment an answer is stored.

#include "mainform.h"

#include "answerzoom.h"
#include "financemenu.h"
#include "focuskeeper.h"
#include "formatkeys.h"
#include "gomenu.h"
#include "recoverykeeper.h"
#include "spellcheck.h"
#include "spellhighlighter.h"
#include "statusline.h"

#include <QLocale>
#include <QMenu>
#include <QPushButton>
#include <QTextEdit>
#include <QTimer>

void mainForm::createWritingComfort() {
    goMenu = new GoMenu(this);
    FinanceMenu::install(this, databasePath());

    spelling = new SpellCheck(text1);
    zoom = new AnswerZoom(text1, spelling->highlighter());
    statusLine = new StatusLine(text1, cmdEnd);
    statusLine->setPalette(Label5->palette());
    connect(zoom, &AnswerZoom::zoomed, statusLine, &StatusLine::setZoom);
    recovery = new RecoveryKeeper(this);
    formatKeys = new FormatKeys(text1);
    connect(spelling, &SpellCheck::contextMenuBuilt, formatKeys,
            [keys = formatKeys](QMenu* menu) { keys->addMenuTo(menu); });
    // Back from a dialog, the help, a preview or a menu, typing goes on where it was.
    focusKeeper = new FocusKeeper(this, [this] { focusStep(false); });

    connect(spelling, &SpellCheck::problem, statusLine, &StatusLine::showMessage);
    connect(recovery, &RecoveryKeeper::problem, statusLine, &StatusLine::showMessage);
    // The dictionary is read beside the window being shown, so it never delays the start.
    QTimer::singleShot(0, spelling,
                       [s = spelling] { s->loadInBackground(QLocale::system().name()); });
}

void mainForm::offerRestore() {
    recovery->offerRestore();
}
