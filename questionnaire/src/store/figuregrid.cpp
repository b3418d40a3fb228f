#include "figuregrid.h"

#include "figuretablemodel.h"
#include "griddatacontrol.h"
#include "questionstore.h"

#include <QAction>
#include <QHeaderView>
#include <QMessageBox>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTableView>

namespace FigureGrid {

bool addRow(GridDataControl* control, QString* error) {
    QSqlTableModel* table = control->model();
    if (!table)
        return false;
    // The key is the table's to number; every other cell starts empty.
    QSqlRecord blank = table->record();
    for (int c = 0; c < blank.count(); ++c) {
        blank.setNull(c);
        blank.setGenerated(c, !table->primaryKey().contains(blank.fieldName(c)));
    }
    if (!table->insertRecord(-1, blank)) {
        *error = table->lastError().text();
        return false;
    }
    return control->refresh(error);
}

bool removeRow(GridDataControl* control, int row, QString* error) {
    QSqlTableModel* table = control->model();
    if (!table || row < 0 || row >= table->rowCount())
        return false;
    bool ok = true;
    if (table->rowCount() > 1) {
        ok = table->removeRows(row, 1);
    } else {
        // The grid always has a row to type into: the last one is emptied instead.
        const QSqlRecord fields = table->record();
        for (int c = 0; c < fields.count() && ok; ++c)
            if (!table->primaryKey().contains(fields.fieldName(c)))
                ok = table->setData(table->index(row, c), QVariant(fields.field(c).metaType()));
    }
    if (!ok) {
        *error = table->lastError().text();
        return false;
    }
    return control->refresh(error);
}

void attach(QTableView* view, GridDataControl* control) {
    auto* figures = new FigureTableModel(view);
    figures->setSourceModel(control->model());
    view->setModel(figures);
    // The figures fill the grid's width: every column in sight, headings wrapped to fit.
    QHeaderView* header = view->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Stretch);
    header->setDefaultAlignment(Qt::Alignment(Qt::AlignCenter | Qt::TextWordWrap));
    // Room for a heading over two lines: the header does not grow for wrapped text itself.
    header->setFixedHeight(2 * header->fontMetrics().lineSpacing() + 6);
    view->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    view->setWordWrap(true);

    const auto report = [view](bool ok, const QString& error) {
        if (!ok && !error.isEmpty())
            QMessageBox::warning(
                view, QStringLiteral("Quillmark"),
                QStringLiteral("The figures could not be changed.\n\n%1").arg(error));
    };
    auto* add = new QAction(QStringLiteral("&Add row"), view);
    add->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Plus));
    add->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(add, &QAction::triggered, view, [view, control, report] {
        QString error;
        report(addRow(control, &error), error);
        const int last = control->model() ? control->model()->rowCount() - 1 : -1;
        if (last >= 0)
            view->scrollTo(view->model()->index(last, 0));
    });
    auto* remove = new QAction(QStringLiteral("&Remove row"), view);
    remove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    remove->setShortcutContext(Qt::WidgetShortcut);
    QObject::connect(remove, &QAction::triggered, view, [view, control, figures, report] {
        const int row = view->currentIndex().row();
        if (row < 0 || figures->isTotalsRow(row))
            return;
        QString error;
        report(removeRow(control, row, &error), error);
    });
    view->addAction(add);
    view->addAction(remove);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace FigureGrid
