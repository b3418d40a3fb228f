#pragma once

#include <QList>
#include <QString>
#include <Qt>

#include <memory>

class QTableView;
class TestFolder;
class mainForm;

// The program started on a test folder, loaded, shown and active, so that keys reach it; a
// failed load or a window that never becomes active ends the test run, as no check after
// it could mean anything.
std::unique_ptr<mainForm> loadForm(const TestFolder& folder);

// Moves the form to a 1-based step the way a user would: First, then Next.
void goToStep(mainForm& form, int step);

// Types at the end of the answer box as a user edit (the box may be hidden on an overview
// step).
void typeAnswer(mainForm& form, const QString& text);

// The answer the folder's database holds for AnswerID `row`.
QString storedAnswer(const TestFolder& folder, int row);

// The 1-based step the form's counter shows.
int shownStep(const mainForm& form);

// Presses a key at the widget that has the focus, as the keyboard does; fails the test
// when nothing has it.
void pressAtFocus(Qt::Key key, Qt::KeyboardModifiers modifiers = Qt::NoModifier);

// Whether Previous, First, Next and Last are enabled, in that order.
QList<bool> stepButtons(const mainForm& form);

// Types into a cell of the figure grid through the grid's own editor (emptied first) and
// commits it, as the owner would.
void typeInto(QTableView* grid, int row, int column, const QString& keys);
