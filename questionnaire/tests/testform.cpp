#include "testform.h"

#include "mainform.h"
#include "testfolder.h"

std::unique_ptr<mainForm> loadForm(const TestFolder& folder) {
    auto form = std::make_unique<mainForm>(folder.path());
    if (!form->Form_Load())
        qFatal("load failed: %s", qPrintable(form->loadError()));
    form->show();
    return form;
}

void goToStep(mainForm& form, int step) {
    form.Command7_Click();
    for (int i = 1; i < step; ++i)
        form.command3_Click();
}
