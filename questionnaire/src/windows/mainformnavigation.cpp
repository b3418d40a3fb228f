// Moving through the steps. The question cursor and the answer cursor move together; the
// ends are found by moving past them and bouncing back. Every move of the answer cursor
// first writes the pending answer; a bounce moves no answer and writes nothing. When an
// answer cannot be written, the handler stops before anything has changed.

#include "mainform.h"

#include "numbertext.h"
#include "recordcursor.h"

#include <QLabel>
#include <QProgressBar>
#include <QPushButton>

void mainForm::command3_Click() {
    const bool willMove = Adodc1->position() + 1 < Adodc1->RecordCount();
    if (willMove && !storePendingAnswer())
        return;
    command4->setEnabled(true);
    Command7->setEnabled(true);
    Adodc1->MoveNext();
    if (Adodc1->atEOF()) {
        Adodc1->MovePrevious();
        command3->setEnabled(false);
        Command8->setEnabled(false);
        focusStep(false);
        return;
    }
    Adodc2->MoveNext();
    setProgressValue(ProgressBar1->value() + 1);
    Label6->setText(signedNumberText(leadingNumber(Label6->text()) + 1));
    focusStep();
}

void mainForm::command4_Click() {
    const bool willMove = Adodc1->position() > 0;
    if (willMove && !storePendingAnswer())
        return;
    command3->setEnabled(true);
    Command8->setEnabled(true);
    Adodc1->MovePrevious();
    if (Adodc1->atBOF()) {
        Adodc1->MoveNext();
        command4->setEnabled(false);
        Command7->setEnabled(false);
        focusStep(false);
        return;
    }
    Adodc2->MovePrevious();
    setProgressValue(ProgressBar1->value() - 1);
    Label6->setText(signedNumberText(leadingNumber(Label6->text()) - 1));
    focusStep();
}

void mainForm::Command7_Click() {
    if (!storePendingAnswer())
        return;
    Adodc1->MoveFirst();
    command4->setEnabled(false);
    Command7->setEnabled(false);
    command3->setEnabled(true);
    Command8->setEnabled(true);
    Adodc2->MoveFirst();
    setProgressValue(1);
    Label6->setText(signedNumberText(1));
    focusStep();
}

void mainForm::Command8_Click() {
    if (!storePendingAnswer())
        return;
    Adodc1->MoveLast();
    command3->setEnabled(false);
    Command8->setEnabled(false);
    command4->setEnabled(true);
    Command7->setEnabled(true);
    // Positioned by the step count, not by the number of answer rows.
    Adodc2->MoveFirst();
    Adodc2->Move(ProgressBar1->maximum() - 1);
    setProgressValue(ProgressBar1->maximum());
    Label6->setText(signedNumberText(ProgressBar1->maximum()));
    focusStep();
}
