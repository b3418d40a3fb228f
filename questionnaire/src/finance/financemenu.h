#pragma once

class QMainWindow;
class QString;

// The "Finance" menu of the main window: opens the Finance window on the program's
// database, and lets the report print the statements under steps 89 to 92.
namespace FinanceMenu {

// Adds the menu to the window's menu bar (after the menus already there) and registers the
// report's statements for the database at `databasePath`.
void install(QMainWindow* window, const QString& databasePath);

} // namespace FinanceMenu
