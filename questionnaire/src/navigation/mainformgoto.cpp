// Going straight to a step (the Go menu, a restored edit): the same rules as the moves of
// the four buttons, in one move.

#include "mainform.h"

#include "numbertext.h"
#include "recordcursor.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTextDocument>
#include <QTextEdit>

bool mainForm::goToStep(int step) {
    const int n = Adodc1->RecordCount();
    if (step < 1 || step > n)
        return false;
    if (!storePendingAnswer())
        return false;
    // The ends are First and Last themselves, button states included.
    if (step == 1) {
        Command7_Click();
        return true;
    }
    if (step == n) {
        Command8_Click();
        return true;
    }
    // Between the ends every completed move leaves all four buttons enabled.
    Adodc1->Move(step - 1 - Adodc1->position());
    for (QPushButton* b : {command4, Command7, command3, Command8})
        b->setEnabled(true);
    // Positioned by the step count, as Last does, so both cursors stand at step `step`.
    Adodc2->Move(step - 1 - Adodc2->position());
    setProgressValue(step);
    Label6->setText(signedNumberText(step));
    focusStep();
    return true;
}
