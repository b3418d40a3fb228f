// Going straight to a step (the Go menu, a restored edit): the same rules as the moves of
// the four buttons, in one move; and the rest of what those helpers see of the window.

#include "mainform.h"

#include "boundlabel.h"
#include "numbertext.h"
#include "recordcursor.h"

#include <QDataWidgetMapper>
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

const QAbstractItemModel* mainForm::questionRows() const {
    return Adodc1->mapper()->model();
}

const QAbstractItemModel* mainForm::answerRows() const {
    return Adodc2->mapper()->model();
}

int mainForm::stepCount() const {
    return Adodc1->RecordCount();
}

int mainForm::currentStep() const {
    return Adodc1->position() + 1;
}

int mainForm::answerRow() const {
    return Adodc2->position();
}

bool mainForm::answerRowShown() const {
    return Adodc2->onRow();
}

QString mainForm::questionNumber() const {
    return Label9->text();
}

void mainForm::goToFirstStep() {
    // As the button: a disabled First does nothing.
    if (Command7->isEnabled())
        Command7_Click();
}

void mainForm::goToLastStep() {
    if (Command8->isEnabled())
        Command8_Click();
}
