// The Report, Help and Exit buttons, the File menu and closing the window.

#include "mainform.h"

#include <QCloseEvent>

void mainForm::cmdReport_Click() {}

void mainForm::cmdEnd_Click() {}

void mainForm::cmdHelp_Click() {}

void mainForm::mnuHelp_Click() {
    cmdHelp_Click();
}

void mainForm::mnuAbout_Click() {}

void mainForm::mnuExit_Click() {
    cmdEnd_Click();
}

void mainForm::closeEvent(QCloseEvent* event) {
    event->accept();
}
