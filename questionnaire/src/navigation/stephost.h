#pragma once

#include <QString>

class QAbstractItemModel;
class QMainWindow;
class QTextEdit;

// What the helpers beside the main window (the Go menu, the recovery file of a pending edit)
// may ask of it: the steps, the step shown, a move to another step, and the answer box with
// its pending edit. The window keeps its controls to itself; this is all the helpers see.
//
// The window shows one step at a time. Row k of the question set and row k of the answers
// belong to step k+1; after every completed move the step shown stands beside its answer row.
class StepHost {
public:
    // The window the helpers add their menus and keys to, and the parent of their dialogs.
    virtual QMainWindow* hostWindow() = 0;
    // The folder the program's database lies in.
    virtual QString programFolder() const = 0;

    // The question set (columns "Heading", "description", ...) and the answer rows
    // ("Answer", ...); null before the database is loaded.
    virtual const QAbstractItemModel* questionRows() const = 0;
    virtual const QAbstractItemModel* answerRows() const = 0;
    // How many steps there are.
    virtual int stepCount() const = 0;
    // The 1-based step whose question is shown.
    virtual int currentStep() const = 0;
    // The 0-based answer row the answer box is bound to; answerRowShown() is false when the
    // box stands on no row (before the first row or after the last).
    virtual int answerRow() const = 0;
    virtual bool answerRowShown() const = 0;
    // The question number of the step shown, as the database gives it.
    virtual QString questionNumber() const = 0;

    // The answer box: its document is modified while an edit is pending (not yet stored).
    virtual QTextEdit* answerBox() const = 0;

    // Goes to a 1-based step in one move, storing the pending answer first; false, without
    // moving, when the step does not exist or the answer cannot be stored.
    virtual bool goToStep(int step) = 0;
    // What the First and Last buttons do; nothing while the button is disabled.
    virtual void goToFirstStep() = 0;
    virtual void goToLastStep() = 0;

protected:
    ~StepHost() = default;
};
