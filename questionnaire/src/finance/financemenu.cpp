#include "financemenu.h"

#include "financedocument.h"
#include "financewindow.h"
#include "reportstepcontent.h"

#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <memory>

namespace FinanceMenu {

void install(QMainWindow* window, const QString& databasePath) {
    // Alt+N belongs to the Next button and Alt+F to File: the menu takes the I.
    QMenu* menu = window->menuBar()->addMenu(QStringLiteral("F&inance"));
    QAction* open = menu->addAction(QStringLiteral("&Statements and figures..."));
    auto finance = std::make_shared<QPointer<FinanceWindow>>();
    QObject::connect(open, &QAction::triggered, window, [window, databasePath, finance] {
        if (!*finance)
            *finance = new FinanceWindow(databasePath, window);
        (*finance)->show();
        (*finance)->raise();
        (*finance)->activateWindow();
    });

    ReportStepContent::setProvider([](const ReportStepContent::Context& context) {
        auto figures = std::make_shared<std::optional<FinanceDocument::Figures>>(
            FinanceDocument::read(context.dataFile));
        const FinanceDocument::Style style{context.fontFamily, context.fontSize, context.textWidth};
        return [figures, style](QTextCursor& cursor, int step) {
            FinanceDocument::insert(cursor, step, *figures ? &**figures : nullptr, style);
        };
    });
}

} // namespace FinanceMenu
