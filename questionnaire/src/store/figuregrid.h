#pragma once

class GridDataControl;
class QString;
class QTableView;
class QWidget;

// Makes a table view the figure grid of a data control: the table shown through a
// FigureTableModel (words above the columns, numbers right-aligned in the user's locale, a
// live totals row), columns that share the grid's width so that none needs scrolling, and
// "Add row" / "Remove row" on the grid's context menu (Ctrl++ and Ctrl+- as keys). Rows are
// added at the end and removed where the cursor is (a row that holds figures only after the
// owner confirms); the table keeps its columns, and its last row is emptied rather than
// removed. The table's key column is never shown, however often the table is re-read. The
// cursor stays where it was across re-reads, and a new row gets it, in sight. While figures
// refused by a write wait unstored, an edit elsewhere asks the owner again (resolveConflict).
// Tab moves between the cells; Ctrl+Tab and Ctrl+Shift+Tab leave the grid.
namespace FigureGrid {

void attach(QTableView* view, GridDataControl* control);

// The edits behind the menu: false with `error` set when the table refused them.
bool addRow(GridDataControl* control, QString* error);
bool removeRow(GridDataControl* control, int row, QString* error);
// A write refused because another copy changed or removed the row since this copy read it:
// asks the owner to keep the typed figures (unstored), reload the stored ones or replace
// them. True when nothing is left unstored.
bool resolveConflict(QWidget* parent, GridDataControl* control);
// Stores figures left unstored by an earlier refusal, asking again when it is refused once
// more; true when nothing is left unstored.
bool storePending(QWidget* parent, GridDataControl* control);
// Hides the key column of the grid's table (shows the others).
void hideKeyColumns(QTableView* view);

} // namespace FigureGrid
