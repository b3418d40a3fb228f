#include "figuregrid.h"

#include "figurerows.h"
#include "figuretablemodel.h"
#include "griddatacontrol.h"
#include "questionstore.h"

#include <QAction>
#include <QHeaderView>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPointer>
#include <QMessageBox>
#include <QPushButton>
#include <QSet>
#include <QSqlError>
#include <QSqlField>
#include <QSqlIndex>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QTableView>

#include <algorithm>
#include <memory>

namespace {

// Tab moves from cell to cell in the grid; Ctrl+Tab and Ctrl+Shift+Tab leave it for the
// next or previous control, so a keyboard user is never held in the table.
class LeaveByCtrlTab : public QObject {
public:
    using QObject::QObject;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress)
            return false;
        const auto* key = static_cast<QKeyEvent*>(event);
        const bool tab = key->key() == Qt::Key_Tab || key->key() == Qt::Key_Backtab;
        if (!tab || !(key->modifiers() & Qt::ControlModifier))
            return false;
        const bool forward = key->key() == Qt::Key_Tab && !(key->modifiers() & Qt::ShiftModifier);
        auto* view = static_cast<QWidget*>(watched);
        QWidget* w = view;
        do {
            w = forward ? w->nextInFocusChain() : w->previousInFocusChain();
        } while (w != view && !(w->window() == view->window() && w->isVisible() && w->isEnabled() &&
                                (w->focusPolicy() & Qt::TabFocus) && !view->isAncestorOf(w)));
        w->setFocus(forward ? Qt::TabFocusReason : Qt::BacktabFocusReason);
        return true;
    }
};

// While kept figures wait for the owner's decision, the table takes no other edit (one
// unstored change at a time); a key or double-click that would start one tries the store
// again, which asks the owner with the row as stored now, instead of doing nothing. Once
// nothing waits, the key goes on to the cell.
class AskWhileFiguresWait : public QObject {
public:
    AskWhileFiguresWait(QTableView* view, GridDataControl* control)
        : QObject(view), m_view(view), m_control(control) {}

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress && event->type() != QEvent::MouseButtonDblClick)
            return false;
        // The control may go before the view when the window closes.
        FigureRows* rows = m_control ? m_control->model() : nullptr;
        if (!rows || !rows->conflict())
            return false;
        QModelIndex at;
        if (event->type() == QEvent::KeyPress && watched == m_view) {
            const auto* key = static_cast<QKeyEvent*>(event);
            const bool starts = key->key() == Qt::Key_F2 ||
                                (!key->text().isEmpty() && key->text().at(0).isPrint() &&
                                 !(key->modifiers() & (Qt::ControlModifier | Qt::AltModifier)));
            if (starts)
                at = m_view->currentIndex();
        } else if (event->type() == QEvent::MouseButtonDblClick && watched == m_view->viewport()) {
            at = m_view->indexAt(static_cast<QMouseEvent*>(event)->position().toPoint());
        }
        const auto* figures = qobject_cast<const FigureTableModel*>(m_view->model());
        if (!at.isValid() || (at.flags() & Qt::ItemIsEditable) ||
            (figures && (figures->isTotalsRow(at.row()) || figures->isKeyColumn(at.column()))))
            return false;
        return !FigureGrid::storePending(m_view, m_control);
    }

private:
    QTableView* m_view;
    QPointer<GridDataControl> m_control;
};

// The figures of a row as the owner reads them, the key left out.
QString figuresText(const FigureRows* rows, const QSqlRecord& record) {
    QStringList cells;
    for (int c = 0; c < record.count(); ++c) {
        if (rows->primaryKey().contains(record.fieldName(c)))
            continue;
        const QString text = record.value(c).toString().trimmed();
        const QString caption = rows->headerData(c, Qt::Horizontal).toString();
        cells << caption + QStringLiteral(": ") +
                     (text.isEmpty() ? QStringLiteral("(empty)") : text);
    }
    return cells.join(QStringLiteral("; "));
}

} // namespace

namespace FigureGrid {

namespace {

// The data controls whose owner is being asked right now. A refusal announced while the box
// is open (a write that both announces and asks, moving on) is the same question: asked once.
QSet<const GridDataControl*>& asking() {
    static QSet<const GridDataControl*> controls;
    return controls;
}

bool askOwner(QWidget* parent, GridDataControl* control) {
    FigureRows* rows = control->model();
    if (!rows || !rows->conflict())
        return !rows || !rows->isDirty();
    const FigureRows::Conflict conflict = *rows->conflict();
    const int shown = conflict.row + 1;
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Quillmark"), QString(),
                    QMessageBox::NoButton, parent);
    QPushButton* keep = nullptr;
    QPushButton* reload = nullptr;
    QPushButton* replace = nullptr;
    if (conflict.removal) {
        box.setText(QStringLiteral("Row %1 was changed by another copy of Quillmark since this "
                                   "one showed it, so it has not been removed.")
                        .arg(shown));
        box.setInformativeText(
            QStringLiteral("It holds now: %1").arg(figuresText(rows, conflict.stored)));
        reload = box.addButton(QStringLiteral("&Keep the row and show its figures"),
                               QMessageBox::RejectRole);
        replace = box.addButton(QStringLiteral("&Remove it anyway"), QMessageBox::AcceptRole);
        box.setDefaultButton(reload);
        box.setEscapeButton(reload);
    } else {
        box.setText(
            conflict.gone
                ? QStringLiteral("Row %1 was removed by another copy of Quillmark since this one "
                                 "showed it, so your figures have not been stored. They are "
                                 "still in the grid.")
                      .arg(shown)
                : QStringLiteral("The figures in row %1 were changed by another copy of Quillmark "
                                 "since this one showed them, so yours have not been stored. "
                                 "They are still in the grid.")
                      .arg(shown));
        box.setInformativeText(
            conflict.gone
                ? QStringLiteral("Keep your figures in the grid (unstored for now), reload the "
                                 "stored figures (yours are dropped), or store the row again "
                                 "with your figures.")
                : QStringLiteral("Stored now: %1\n\nKeep your figures in the grid (unstored for "
                                 "now), reload the stored figures (yours are dropped), or "
                                 "replace the stored figures with yours.")
                      .arg(figuresText(rows, conflict.stored)));
        keep = box.addButton(QStringLiteral("&Keep my figures"), QMessageBox::RejectRole);
        reload =
            box.addButton(QStringLiteral("Re&load the stored figures"), QMessageBox::ActionRole);
        replace = box.addButton(conflict.gone ? QStringLiteral("&Store the row again")
                                              : QStringLiteral("&Replace the stored figures"),
                                QMessageBox::AcceptRole);
        box.setDefaultButton(keep);
        box.setEscapeButton(keep);
    }
    box.exec();
    QString error;
    if (box.clickedButton() == replace) {
        bool ok = true;
        if (conflict.gone) {
            ok = rows->restoreRow(conflict.row);
        } else {
            rows->takeAsRead(conflict.row, conflict.stored);
            ok = rows->submitAll();
            if (!ok && rows->conflict())
                return askOwner(parent, control); // changed once more meanwhile
        }
        if (!ok) {
            QMessageBox::warning(parent, QStringLiteral("Quillmark"),
                                 QStringLiteral("The figures could not be stored.\n\n%1")
                                     .arg(rows->lastError().text()));
            return false;
        }
        rows->revertAll();
        return control->refresh(&error);
    }
    if (box.clickedButton() == reload) {
        rows->revertAll();
        return control->refresh(&error);
    }
    Q_UNUSED(keep);
    return false; // kept, unstored
}

} // namespace

bool resolveConflict(QWidget* parent, GridDataControl* control) {
    if (asking().contains(control))
        return false;
    asking().insert(control);
    const bool done = askOwner(parent, control);
    asking().remove(control);
    return done;
}

bool storePending(QWidget* parent, GridDataControl* control) {
    FigureRows* rows = control->model();
    if (!rows || !rows->isDirty())
        return true;
    if (rows->submitAll())
        return true;
    return resolveConflict(parent, control);
}

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
        // A removal refused because another copy changed the row is the owner's to decide
        // (resolveConflict); other failures are told here.
        if (!control->model()->conflict())
            *error = table->lastError().text();
        return false;
    }
    return control->refresh(error);
}

bool rowHoldsFigures(const QAbstractItemModel* figures, int row) {
    const auto* model = qobject_cast<const FigureTableModel*>(figures);
    for (int c = 0; c < figures->columnCount(); ++c) {
        if (model && model->isKeyColumn(c))
            continue;
        const QVariant v = figures->index(row, c).data(Qt::EditRole);
        if (!v.isNull() && !v.toString().trimmed().isEmpty())
            return true;
    }
    return false;
}

void hideKeyColumns(QTableView* view) {
    const auto* figures = qobject_cast<const FigureTableModel*>(view->model());
    if (!figures)
        return;
    for (int c = 0; c < figures->columnCount(); ++c)
        view->setColumnHidden(c, figures->isKeyColumn(c));
}

void attach(QTableView* view, GridDataControl* control) {
    auto* figures = new FigureTableModel(view);
    figures->setSourceModel(control->model());
    view->setModel(figures);
    // Re-reading the table (another table, a row added or removed) resets the header, which
    // forgets hidden columns: the key is hidden again each time.
    const auto hideKeys = [view] { hideKeyColumns(view); };
    QObject::connect(figures, &QAbstractItemModel::modelReset, view, hideKeys);
    QObject::connect(figures, &QAbstractItemModel::columnsInserted, view, hideKeys);
    QObject::connect(figures, &QAbstractItemModel::layoutChanged, view, hideKeys);
    hideKeys();
    // Re-reading the table forgets the cursor: it comes back to the same place (the row
    // below a removed one, the last row when the table shrank), so the keyboard goes on.
    const auto place = std::make_shared<QPoint>(-1, -1);
    QObject::connect(figures, &QAbstractItemModel::modelAboutToBeReset, view, [view, place] {
        // A re-read empties the table first and fills it after: the place from before both.
        if (const QModelIndex at = view->currentIndex(); at.isValid())
            *place = QPoint(at.column(), at.row());
    });
    QObject::connect(figures, &QAbstractItemModel::modelReset, view, [view, figures, place] {
        if (place->y() < 0 || figures->rowCount() < 2)
            return;
        const int row = std::min(place->y(), figures->rowCount() - 2); // above the totals
        const int column = figures->isKeyColumn(place->x()) ? figures->labelColumn() : place->x();
        *place = QPoint(-1, -1);
        view->setCurrentIndex(figures->index(row, column));
    });
    view->installEventFilter(new LeaveByCtrlTab(view));
    auto* ask = new AskWhileFiguresWait(view, control);
    view->installEventFilter(ask);
    view->viewport()->installEventFilter(ask);
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
    // In a cell's editor too, where the menu can be opened.
    add->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(add, &QAction::triggered, view, [view, control, figures, report] {
        QString error;
        const bool ok = addRow(control, &error);
        report(ok, error);
        // The cursor goes to the new row's first cell, in sight, ready for its figures.
        const int last = control->model() ? control->model()->rowCount() - 1 : -1;
        if (ok && last >= 0) {
            const QModelIndex first = figures->index(last, figures->labelColumn());
            view->setCurrentIndex(first);
            view->scrollTo(first);
        }
    });
    auto* remove = new QAction(QStringLiteral("&Remove row"), view);
    remove->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_Minus));
    remove->setShortcutContext(Qt::WidgetWithChildrenShortcut);
    QObject::connect(remove, &QAction::triggered, view, [view, control, figures, report] {
        const int row = view->currentIndex().row();
        if (row < 0 || figures->isTotalsRow(row))
            return;
        // Figures typed in are deleted from the database for good: only on the owner's word.
        if (rowHoldsFigures(figures, row)) {
            QStringList cells;
            for (int c = 0; c < figures->columnCount(); ++c) {
                const QString text = figures->index(row, c).data().toString().trimmed();
                if (!figures->isKeyColumn(c) && !text.isEmpty())
                    cells << text;
            }
            QMessageBox ask(QMessageBox::Question, QStringLiteral("Quillmark"),
                            QStringLiteral("Remove row %1 (%2)? Its figures are deleted from "
                                           "the database.")
                                .arg(row + 1)
                                .arg(cells.join(QStringLiteral(", "))),
                            QMessageBox::Yes | QMessageBox::No, view);
            ask.setDefaultButton(QMessageBox::No);
            if (ask.exec() != QMessageBox::Yes)
                return;
        }
        QString error;
        report(removeRow(control, row, &error), error);
    });
    // A refused write is answered once the edit that caused it has returned.
    QObject::connect(control->model(), &FigureRows::refused, view, [view, control] {
        if (control->model()->conflict())
            resolveConflict(view, control);
    });
    view->addAction(add);
    view->addAction(remove);
    view->setContextMenuPolicy(Qt::ActionsContextMenu);
}

} // namespace FigureGrid
