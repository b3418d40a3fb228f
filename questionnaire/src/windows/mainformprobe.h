#pragma once

#include "mainform.h"

#include <memory>

// For tests and benchmarks only: the window's controls, which mainForm keeps to itself, so
// that a test can press, type into and look at them as the owner does. The program goes
// through mainForm's own methods and StepHost.
struct mainFormProbe {
    static mainFormControls& controls(mainForm& form) { return form; }
    static const mainFormControls& controls(const mainForm& form) { return form; }
};

// ui(form)->text1: the answer box of `form`, and so on for each control.
inline mainFormControls* ui(mainForm& form) {
    return &mainFormProbe::controls(form);
}
inline const mainFormControls* ui(const mainForm& form) {
    return &mainFormProbe::controls(form);
}
inline mainFormControls* ui(mainForm* form) {
    return ui(*form);
}
inline mainFormControls* ui(const std::unique_ptr<mainForm>& form) {
    return ui(*form);
}
