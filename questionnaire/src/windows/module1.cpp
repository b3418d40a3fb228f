#include "module1.h"

#include "mainform.h"
#include "welcome.h"

#include <QApplication>
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
    // An edit that a crash kept from being stored is offered back before anything else,
    // unless the owner has closed the window already (the file then waits for next time).
    if (!form->closedByOwner() && form->otherCopyProcess() != 0) {
        QMessageBox::information(
            form.get(), QStringLiteral("Quillmark"),
            QStringLiteral("Another copy of Quillmark (process %1) has this database open too. "
                           "You can both work: an answer that the other copy changed since "
                           "you opened its step is never overwritten; Quillmark asks you what "
                           "to do instead.")
                .arg(form->otherCopyProcess()));
    }
    if (!form->closedByOwner())
        form->offerRestore();
    return form;
}

int run(const QString& programFolder) {
    const std::unique_ptr<mainForm> form = Main(programFolder);
    if (!form)
        return 1;
    // The window closed while start-up handled events, before the loop ran: the quit that
    // closing the last window asks for reaches only a running loop, so it was lost.
    if (form->closedByOwner())
        return 0;
    return QApplication::exec();
}

} // namespace Module1
