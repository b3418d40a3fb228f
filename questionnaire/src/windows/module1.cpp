#include "module1.h"

#include "mainform.h"
#include "welcome.h"

#include <QCoreApplication>
#include <QMessageBox>
#include <QTimer>

namespace Module1 {

std::unique_ptr<mainForm> Main(const QString& programFolder) {
    auto splash = std::make_unique<Welcome>();
    splash->show();
    QCoreApplication::processEvents();
    // Sleeps in the event loop until something happens; the timer's tick ends the wait.
    while (splash->Timer1->isActive())
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);

    auto form = std::make_unique<mainForm>(programFolder);
    if (!form->Form_Load()) {
        // The splash stays on top of everything; it must not hide the message.
        splash.reset();
        QMessageBox::critical(nullptr, QStringLiteral("Quillmark"), form->loadError());
        return nullptr;
    }
    form->showMaximized();
    QCoreApplication::processEvents();
    splash.reset();
    return form;
}

} // namespace Module1
