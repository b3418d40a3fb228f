// The main window's Report, Help and Exit paths, the File menu and its shortcuts, the help
// window's text and the About dialog with its system-information lookup, on a real main
// window over a temporary copy of the question database.

#include "frmabout.h"
#include "frmhelp.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "modalanswerer.h"
#include "reportdocument.h"
#include "reportengine.h"
#include "reportfixture.h"
#include "reportpreview.h"
#include "twips.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QTextDocument>
#include <QTextEdit>
#include <QUuid>

#include <oxlib/oregistry.h>

using namespace ReportFixture;

namespace {

QVariant storedAnswer(const QString& db, int step) {
    const QString name = QUuid::createUuid().toString();
    QVariant v;
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        c.setDatabaseName(db);
        c.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        if (c.open()) {
            QSqlQuery q(c);
            q.exec(QStringLiteral("SELECT Answer FROM Answers ORDER BY AnswerID LIMIT 1 OFFSET %1")
                       .arg(step - 1));
            if (q.next())
                v = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return v;
}

// Runs `action` inside the application's event loop; true when it ended the program.
bool endsTheProgram(const std::function<void()>& action) {
    QTimer start;
    QTimer after;
    start.setSingleShot(true);
    after.setSingleShot(true);
    QObject::connect(&after, &QTimer::timeout, [] { QCoreApplication::exit(99); });
    QObject::connect(&start, &QTimer::timeout, [&] {
        action();
        after.start(0);
    });
    start.start(0);
    return QCoreApplication::exec() == 0;
}

void typeAnswer(mainForm& form, const QString& text) {
    ui(form)->text1->setFocus();
    ui(form)->text1->selectAll();
    QTest::keyClicks(ui(form)->text1, text);
}

} // namespace

class TestHelpAboutExit : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void helpTextLineByLine();
    void helpWindowIsModelessAndSingle();
    void f1AndF9FromAnywhere();
    void aboutDialogLayout();
    void sysInfoUnavailable();
    void sysInfoStartsTheFirstToolOnPath();
    void reportShowsStoredAnswersOnly();
    void missingReportFileLeavesTheWindowAsItWas();
    void missingFigureTableIsReportedAndTheRestRenders();
    void exitYesOnFirstAndLastStepStores();
    void exitNoAndCancelStoreNothing();
    void closeBoxStoresThePendingAnswer();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<mainForm> form_;
    QString db_;
    QByteArray path_;
};

void TestHelpAboutExit::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    db_ = makeDatabase(dir_->path());
    QVERIFY(!db_.isEmpty());
    QVERIFY(QFile::copy(shippedDefinition(),
                        dir_->filePath(QStringLiteral("DraftBusinessReport.rpt"))));
    // The registry stand-in is a file of the test's own, empty unless a test writes it.
    qputenv("OXLIB_REGISTRY", dir_->filePath(QStringLiteral("registry.db")).toUtf8());
    path_ = qgetenv("PATH");
    form_ = std::make_unique<mainForm>(dir_->path());
    QVERIFY2(form_->Form_Load(), qPrintable(form_->loadError()));
    form_->show();
    QVERIFY(QTest::qWaitForWindowExposed(form_.get()));
}

void TestHelpAboutExit::cleanup() {
    qputenv("PATH", path_);
    form_.reset();
    dir_.reset();
}

void TestHelpAboutExit::helpTextLineByLine() {
    const QStringList lines = frmHelp::helpLines();
    QCOMPARE(lines.size(), 20);
    QCOMPARE(lines[0], QStringLiteral("Help"));
    QCOMPARE(lines[1], QStringLiteral("Instructions"));
    QCOMPARE(lines[3], QStringLiteral("Please note the following:"));
    QCOMPARE(lines[4], QStringLiteral("1. You can navigate through this program by clicking on the "
                                      "NEXT and PREVIOUS buttons located below."));
    QCOMPARE(lines[5], QStringLiteral("2. You can exit any time  by clicking the END button. Your "
                                      "work will get saved automatically, and you can continue "
                                      "at a later time"));
    QVERIFY(lines[6].startsWith(QStringLiteral("3. There are 12 major sections. Each begins")));
    QVERIFY(lines[6].endsWith(QStringLiteral("another document. (if you so desire)")));
    QCOMPARE(lines[7], QStringLiteral("4. Clicking the REPORT button at any time will generate a "
                                      "draft business report."));
    QVERIFY(lines[8].contains(QStringLiteral("clicking the 'envelope' icon choosing the 'Rich Text "
                                             "Format' selection.")));
    QVERIFY(lines[9].endsWith(QStringLiteral("(eg You are currently on Step 1 of 93)")));
    QCOMPARE(lines[11], QStringLiteral("You can always obtain help by clicking on the help button "
                                       "on the left"));
    QCOMPARE(lines[13], QStringLiteral("YOU MAY READ THIS HELP AGAIN BY CLICKING ON THE HELP "
                                       "BUTTON ON THE LEFT OF THE SCREEN OR PRESS F1"));
    QVERIFY(lines[15].startsWith(QStringLiteral("Disclaimer: After exporting to a word editor")));
    QVERIFY(lines[15].endsWith(QStringLiteral("as well as is suitably formated. ")));
    QVERIFY(
        lines[17].startsWith(QStringLiteral("Warranty: This software is provided 'as is', "
                                            "without warranty of any kind, express or implied")));
    QVERIFY(lines[19].startsWith(QStringLiteral("SUPPORT: If you have any difficulties, please "
                                                "contact ")));
    QVERIFY(lines[19].endsWith(QStringLiteral(" during working hours")));
    QVERIFY(lines[19].contains(QStringLiteral("@")) && lines[19].contains(QStringLiteral(" or ")));
    for (int empty : {2, 10, 12, 14, 16, 18})
        QVERIFY2(lines[empty].isEmpty(), qPrintable(QString::number(empty + 1)));

    frmHelp help;
    QCOMPARE(help.windowTitle(), QStringLiteral("Help"));
    QCOMPARE(help.Label1->text().split(QLatin1Char('\n')), lines);
    QCOMPARE(help.size(), QSize(Twips::toPixelsX(8715), Twips::toPixelsY(6765)));
    QCOMPARE(help.Label1->geometry(), Twips::toPixels(QRect(360, 240, 8055, 6255)));
    QVERIFY(help.Label1->wordWrap());
    QCOMPARE(help.palette().color(QPalette::Window), QColor(0xFF, 0xC0, 0x80));
}

void TestHelpAboutExit::helpWindowIsModelessAndSingle() {
    form_->cmdHelp_Click();
    form_->cmdHelp_Click();
    const QList<frmHelp*> helps = form_->findChildren<frmHelp*>();
    QCOMPARE(helps.size(), 1);
    QVERIFY(helps.front()->isVisible());
    QVERIFY(!QApplication::activeModalWidget());
    QVERIFY(form_->isEnabled());
    // Closed, it goes; asked for again, it comes back.
    helps.front()->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(form_->findChildren<frmHelp*>().isEmpty());
    ui(form_)->mnuHelp->trigger();
    QCOMPARE(form_->findChildren<frmHelp*>().size(), 1);
}

void TestHelpAboutExit::f1AndF9FromAnywhere() {
    form_->command3_Click(); // a question step: the answer box is shown and can take focus
    QVERIFY(ui(form_)->text1->isVisible());
    ui(form_)->text1->setFocus();
    QApplication::setActiveWindow(form_.get());
    QTest::keyClick(ui(form_)->text1, Qt::Key_F1);
    QCOMPARE(form_->findChildren<frmHelp*>().size(), 1);

    ModalAnswerer answerer;
    QString seen;
    answerer.other = [&](QWidget* w) {
        if (auto* about = qobject_cast<frmAbout*>(w)) {
            seen = about->windowTitle();
            QTest::keyClick(about, Qt::Key_Escape); // Escape is OK's cancel role
        }
    };
    QApplication::setActiveWindow(form_.get());
    ui(form_)->cmdReport->setFocus();
    QTest::keyClick(ui(form_)->cmdReport, Qt::Key_F9);
    QCOMPARE(seen, QStringLiteral("About Quillmark"));
    QVERIFY(answerer.texts.isEmpty());
}

void TestHelpAboutExit::aboutDialogLayout() {
    frmAbout about;
    QCOMPARE(about.windowTitle(), QStringLiteral("About Quillmark"));
    QCOMPARE(about.lblTitle->text(), QStringLiteral("Quillmark"));
    QCOMPARE(about.lblVersion->text(), QStringLiteral("Version 1.0.0"));
    QVERIFY(about.lblDescription->text().startsWith(
        QStringLiteral("THE DO-IT-YOURSELF BUSINESS PLAN FOR GROWING A BUSINESS\nSupport: ")));
    QVERIFY(about.lblDescription->text().endsWith(frmHelp::supportContact()));
    QCOMPARE(about.size(), QSize(Twips::toPixelsX(5730), Twips::toPixelsY(3555)));
    QCOMPARE(about.cmdOK->geometry(), Twips::toPixels(QRect(4245, 2625, 1260, 345)));
    QCOMPARE(about.cmdSysInfo->geometry(), Twips::toPixels(QRect(4260, 3075, 1245, 345)));
    QCOMPARE(about.cmdSysInfo->text(), QStringLiteral("&System Info..."));
    QVERIFY(about.cmdOK->isDefault());
    about.show();
    QTest::keyClick(&about, Qt::Key_Return);
    QVERIFY(!about.isVisible());
    QCOMPARE(about.result(), int(QDialog::Accepted));
}

void TestHelpAboutExit::sysInfoUnavailable() {
    QTemporaryDir emptyPath;
    qputenv("PATH", emptyPath.path().toUtf8());
    frmAbout about;
    about.show();
    {
        ModalAnswerer answerer;
        about.cmdSysInfo->click();
        QCOMPARE(answerer.texts,
                 QStringList{QStringLiteral("System Information Is Unavailable At This Time")});
        QCOMPARE(answerer.titles.front(), QStringLiteral("Quillmark"));
        QCOMPARE(answerer.buttons.front(), QMessageBox::StandardButtons(QMessageBox::Ok));
    }
    QVERIFY(about.isVisible()); // the dialog stays open

    // The second registry value names a folder without the tool: unavailable as well.
    QTemporaryDir folder;
    const ORegistry location(OString("SOFTWARE\\Microsoft\\Shared Tools Location"), OString(""),
                             HKEY_LOCAL_MACHINE);
    QVERIFY(location.writeString(OString("MSINFO"), OString(folder.path().toUtf8().constData())));
    QString value;
    QVERIFY(frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE,
                                  QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools Location"),
                                  QStringLiteral("MSINFO"), value));
    QCOMPARE(value, folder.path());
    QVERIFY(!frmAbout::GetKeyValue(HKEY_LOCAL_MACHINE,
                                   QStringLiteral("SOFTWARE\\Microsoft\\Shared Tools\\MSINFO"),
                                   QStringLiteral("PATH"), value));
    QVERIFY(value.isEmpty());
    ModalAnswerer answerer;
    about.StartSysInfo();
    QCOMPARE(answerer.texts,
             QStringList{QStringLiteral("System Information Is Unavailable At This Time")});
}

void TestHelpAboutExit::sysInfoStartsTheFirstToolOnPath() {
    QTemporaryDir bin;
    // Two known tools; the one earlier in the list wins.
    for (const char* tool : {"kinfocenter", "mate-system-monitor"}) {
        const QString script = bin.filePath(QLatin1String(tool));
        QFile f(script);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray("#!/bin/sh\necho started > \"$(dirname \"$0\")/") + tool + ".ran\"\n");
        f.close();
        QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    qputenv("PATH", bin.path().toUtf8() + ":/usr/bin:/bin");
    frmAbout about;
    ModalAnswerer answerer;
    about.StartSysInfo();
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(bin.filePath(QStringLiteral("kinfocenter.ran"))), 10000);
    QVERIFY(!QFile::exists(bin.filePath(QStringLiteral("mate-system-monitor.ran"))));
    QVERIFY(answerer.texts.isEmpty());
}

void TestHelpAboutExit::reportShowsStoredAnswersOnly() {
    form_->command3_Click(); // step 2
    typeAnswer(*form_, QStringLiteral("Stored when I moved on"));
    form_->command3_Click(); // step 3: step 2's answer is written
    typeAnswer(*form_, QStringLiteral("Typed but not yet stored"));
    ModalAnswerer answerer;
    form_->cmdReport_Click();
    QVERIFY2(answerer.texts.isEmpty(), qPrintable(answerer.texts.join(u'|')));
    ReportEngine* engine = form_->findChild<ReportEngine*>(QStringLiteral("PR1"));
    QVERIFY(engine);
    QCOMPARE(engine->previews().size(), 1);
    ReportPreview* preview = engine->previews().front();
    QCOMPARE(preview->size(), QSize(640, 480));
    QVERIFY(preview->exportAction()->isVisible());
    const QString text = preview->report().textDocument()->toPlainText();
    QVERIFY(text.contains(QStringLiteral("Stored when I moved on")));
    QVERIFY(!text.contains(QStringLiteral("Typed but not yet stored")));
    // The preview does not block the main window, which keeps its step and its edit.
    QVERIFY(!QApplication::activeModalWidget());
    QCOMPARE(ui(form_)->Label6->text(), QStringLiteral(" 3"));
    QVERIFY(ui(form_)->text1->toPlainText().contains(QStringLiteral("Typed but not yet stored")));
}

void TestHelpAboutExit::missingReportFileLeavesTheWindowAsItWas() {
    QVERIFY(QFile::remove(dir_->filePath(QStringLiteral("DraftBusinessReport.rpt"))));
    form_->command3_Click();
    typeAnswer(*form_, QStringLiteral("still here"));
    ModalAnswerer answerer;
    form_->cmdReport_Click();
    QCOMPARE(answerer.texts.size(), 1);
    QCOMPARE(answerer.titles.front(), QStringLiteral("Quillmark"));
    QVERIFY(answerer.texts.front().contains(QStringLiteral("DraftBusinessReport.rpt")));
    QCOMPARE(answerer.buttons.front(), QMessageBox::StandardButtons(QMessageBox::Ok));
    ReportEngine* engine = form_->findChild<ReportEngine*>(QStringLiteral("PR1"));
    QVERIFY(!engine || engine->previews().isEmpty());
    QCOMPARE(ui(form_)->Label6->text(), QStringLiteral(" 2"));
    QCOMPARE(ui(form_)->text1->toPlainText(), QStringLiteral("still here"));
    QVERIFY(storedAnswer(db_, 2).isNull());
    QVERIFY(form_->isEnabled() && ui(form_)->cmdReport->isEnabled());
}

void TestHelpAboutExit::missingFigureTableIsReportedAndTheRestRenders() {
    // A definition whose raw-materials subreport names a table the database lacks.
    const QString rpt = dir_->filePath(QStringLiteral("DraftBusinessReport.rpt"));
    QFile file(rpt);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QByteArray text = file.readAll();
    file.close();
    QVERIFY(text.contains("table    = rawmaterials"));
    text.replace("table    = rawmaterials", "table    = stockroom");
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
    file.close();
    ModalAnswerer answerer;
    form_->cmdReport_Click();
    // One message for the one subreport; the procedure went on and showed the report.
    QCOMPARE(answerer.texts.size(), 1);
    QVERIFY(answerer.texts.front().contains(QStringLiteral("Raw materials")));
    ReportEngine* engine = form_->findChild<ReportEngine*>(QStringLiteral("PR1"));
    QCOMPARE(engine->previews().size(), 1);
    const QString shown = engine->previews().front()->report().textDocument()->toPlainText();
    QVERIFY(shown.contains(QStringLiteral("Figures unavailable: the table 'stockroom'")));
    QVERIFY(shown.contains(QStringLiteral("Work-related assets")));
}

void TestHelpAboutExit::exitYesOnFirstAndLastStepStores() {
    // First step: Previous bounces and Next moves on. It is an overview, with no answer box,
    // so whatever reached the hidden box is not the owner's answer and is not stored.
    ui(form_)->text1->setPlainText(QStringLiteral("first step words"));
    ui(form_)->text1->document()->setModified(true);
    {
        ModalAnswerer answerer(QMessageBox::Yes);
        QVERIFY(endsTheProgram([&] { form_->cmdEnd_Click(); }));
        QCOMPARE(answerer.texts, QStringList{QStringLiteral("Do you really want to exit?")});
        QCOMPARE(answerer.titles.front(), QStringLiteral("Quillmark"));
        QCOMPARE(answerer.icons.front(), QMessageBox::Question);
        QCOMPARE(answerer.buttons.front(),
                 QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    }
    QVERIFY(storedAnswer(db_, 1).isNull());

    // A question step: the Previous move stores it.
    form_->Command7_Click();
    form_->command3_Click();
    typeAnswer(*form_, QStringLiteral("second step words"));
    {
        ModalAnswerer answerer(QMessageBox::Yes);
        QVERIFY(endsTheProgram([&] { form_->cmdEnd_Click(); }));
    }
    QVERIFY(storedAnswer(db_, 2).toString().contains(QStringLiteral("second step words")));

    // Last step: the Previous move stores it.
    form_->Command8_Click();
    typeAnswer(*form_, QStringLiteral("last step words"));
    ModalAnswerer answerer(QMessageBox::Yes);
    QVERIFY(endsTheProgram([&] { ui(form_)->mnuExit->trigger(); }));
    QVERIFY(storedAnswer(db_, 93).toString().contains(QStringLiteral("last step words")));
}

void TestHelpAboutExit::exitNoAndCancelStoreNothing() {
    form_->command3_Click();
    typeAnswer(*form_, QStringLiteral("not yet"));
    for (QMessageBox::StandardButton reply : {QMessageBox::No, QMessageBox::Cancel}) {
        ModalAnswerer answerer(reply);
        QVERIFY(!endsTheProgram([&] { form_->cmdEnd_Click(); }));
        QCOMPARE(answerer.texts.size(), 1);
        QVERIFY(storedAnswer(db_, 2).isNull());
        QCOMPARE(ui(form_)->Label6->text(), QStringLiteral(" 2"));
        QCOMPARE(ui(form_)->text1->toPlainText(), QStringLiteral("not yet"));
    }
}

void TestHelpAboutExit::closeBoxStoresThePendingAnswer() {
    form_->command3_Click();
    typeAnswer(*form_, QStringLiteral("kept on close"));
    {
        ModalAnswerer answerer;
        form_->cmdReport_Click();
        form_->cmdHelp_Click();
    }
    ReportEngine* engine = form_->findChild<ReportEngine*>(QStringLiteral("PR1"));
    QPointer<ReportPreview> preview = engine->previews().front();
    QVERIFY(form_->close());
    QVERIFY(storedAnswer(db_, 2).toString().contains(QStringLiteral("kept on close")));
    // The program's other windows go with it.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QVERIFY(!preview);
    QVERIFY(form_->findChildren<frmHelp*>().isEmpty());
}

QTEST_MAIN(TestHelpAboutExit)
#include "tst_helpaboutexit.moc"
