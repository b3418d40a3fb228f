#pragma once

#include <QString>

#include <memory>

class mainForm;

// The program's start-up.
namespace Module1 {

// Shows the splash, waits for its single timer tick (2500 ms) while the event loop runs,
// then loads and shows the main window maximised and closes the splash. Returns the main
// window, which the caller keeps for the program's life; or, when the database cannot be
// used, tells the user why in a message box titled "Quillmark" and returns null.
// A main window that the owner closed while this ran (it is shown, and events are
// handled, before the program's event loop starts) is returned all the same: see
// mainForm::closedByOwner().
std::unique_ptr<mainForm> Main(const QString& programFolder);

// The whole program: Main, then the event loop until the main window is closed or Exit
// ends it. Returns the program's exit status (1 when the database cannot be used).
int run(const QString& programFolder);

} // namespace Module1
