// The Report, Help and Exit buttons, the File menu and closing the window.

#include "frmabout.h"
#include "frmhelp.h"
#include "mainform.h"
#include "reportengine.h"
#include "reporterror.h"
#include "reportpreview.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QMessageBox>
#include <QTextDocument>
#include <QTextEdit>

namespace {

const QString kProgramTitle = QStringLiteral("Quillmark");

// The report engine of the window (`PR1`), made on first use and owned by the window, so
// that its preview windows close when the window goes.
ReportEngine* reportEngine(mainForm* form) {
    auto* engine =
        form->findChild<ReportEngine*>(QStringLiteral("PR1"), Qt::FindDirectChildrenOnly);
    if (!engine) {
        engine = new ReportEngine(form);
        engine->setObjectName(QStringLiteral("PR1"));
    }
    return engine;
}

frmHelp* helpWindow(mainForm* form) {
    return form->findChild<frmHelp*>(QString(), Qt::FindDirectChildrenOnly);
}

} // namespace

void mainForm::cmdReport_Click() {
    ReportEngine* PR1 = reportEngine(this);
    const QString dataFile = programFolder() + QStringLiteral("/0002.mdb");
    const QString reportFile = programFolder() + QStringLiteral("/DraftBusinessReport.rpt");

    // Runs one statement of the procedure. A failure is shown to the user; only the
    // recoverable error lets the procedure go on with its next statement.
    auto step = [this](auto&& statement) {
        try {
            statement();
            return true;
        } catch (const ReportError& e) {
            QMessageBox box(QMessageBox::NoIcon, kProgramTitle, e.message(), QMessageBox::Ok, this);
            box.exec();
            return e.recoverable();
        }
    };

    if (!step([&] { PR1->setDataFile(0, dataFile); }))
        return;
    if (!step([&] { PR1->setReportFileName(reportFile); }))
        return;
    int16_t n = 0;
    if (!step([&] { n = PR1->subreportCount(); }))
        return;
    for (int16_t i = 0; i < n; ++i) {
        QString name;
        if (!step([&] { name = PR1->subreportName(i); }))
            return;
        if (!step([&] { PR1->setSubreportToChange(name); }))
            return;
        if (!step([&] { PR1->setDataFile(0, dataFile); }))
            return;
    }
    if (!step([&] { PR1->setExportButtonShown(true); }))
        return;
    if (!step([&] { PR1->setDestination(ReportEngine::ToPreviewWindow); }))
        return;
    if (!step([&] { PR1->setWindowWidth(640); }))
        return;
    if (!step([&] { PR1->setWindowHeight(480); }))
        return;
    step([&] { PR1->setAction(ReportEngine::RunReport); });
}

void mainForm::cmdHelp_Click() {
    // One help window: while it is open, asking again brings back the same window.
    frmHelp* help = helpWindow(this);
    if (!help)
        help = new frmHelp(this);
    help->show();
    help->raise();
    help->activateWindow();
}

void mainForm::cmdEnd_Click() {
    QMessageBox box(QMessageBox::Question, kProgramTitle,
                    QStringLiteral("Do you really want to exit?"),
                    QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, this);
    if (box.exec() != QMessageBox::Yes)
        return;
    if (!storeBeforeEnding())
        return;
    // Away from the current answer row and back: the move stores a pending answer. When it
    // could not be stored and the owner ends anyway, the moves would only try again.
    if (!text1->document()->isModified() || text1->isHidden()) {
        command4_Click();
        command3_Click();
    }
    QCoreApplication::exit(0);
}

bool mainForm::storeBeforeEnding() {
    QString why;
    if (writePendingAnswer(&why))
        return true;
    QMessageBox box(QMessageBox::Warning, kProgramTitle,
                    QStringLiteral("The answer on this step could not be stored. Close "
                                   "Quillmark anyway?"),
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setInformativeText(why + QStringLiteral("\n\nIf you close, the text is kept in the "
                                                "recovery file and offered back at the next "
                                                "start."));
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void mainForm::mnuHelp_Click() {
    cmdHelp_Click();
}

void mainForm::mnuAbout_Click() {
    frmAbout about(this);
    about.exec();
}

void mainForm::mnuExit_Click() {
    cmdEnd_Click();
}

void mainForm::closeEvent(QCloseEvent* event) {
    // Closing by the title bar keeps what was typed, as leaving by Exit does.
    if (!storeBeforeEnding()) {
        event->ignore();
        return;
    }
    // Ending the program closes all of its windows, the report previews included.
    for (ReportPreview* preview : reportEngine(this)->previews())
        preview->close();
    if (frmHelp* help = helpWindow(this))
        help->close();
    m_closed = true;
    event->accept();
}
