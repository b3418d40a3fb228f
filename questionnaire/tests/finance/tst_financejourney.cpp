// The owner's road through the finance statements: the sales forecast typed into step 42's
// grid, the Finance window's figures typed by keyboard (bad ones first), a restart, the
// report, and the statements' totals found in its PDF and DOCX exports as other programs
// read them.
#include "financetext.h"
#include "financewindow.h"
#include "mainform.h"
#include "mainformprobe.h"
#include "reportdocument.h"
#include "reportengine.h"
#include "reportexporter.h"
#include "reportpreview.h"
#include "testfolder.h"
#include "testform.h"

#include <QAbstractItemDelegate>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <QSqlRecord>
#include <QSqlTableModel>
#include <QStandardPaths>
#include <QTabWidget>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTime>
#include <QUrl>

#include "griddatacontrol.h"

namespace {

// Opens the Finance window from the menu bar with the keyboard: Alt+I, then S.
FinanceWindow* openFinance(mainForm& form) {
    form.activateWindow();
    QTest::keyClick(form.windowHandle(), Qt::Key_I, Qt::AltModifier);
    QMenu* menu = nullptr;
    if (!QTest::qWaitFor(
            [&] { return (menu = qobject_cast<QMenu*>(QApplication::activePopupWidget())); }))
        return nullptr;
    QTest::keyClick(menu, Qt::Key_S);
    FinanceWindow* w = nullptr;
    if (!QTest::qWaitFor([&] { return (w = form.findChild<FinanceWindow*>()) && w->isVisible(); }))
        return nullptr;
    return w;
}

// Replaces the text of the field that has the focus, typing as a person does.
void retype(QWidget* window, const QString& text) {
    QWidget* field = QApplication::focusWidget();
    QVERIFY(field && window->isAncestorOf(field));
    QTest::keyClick(field, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(field, text);
}

// Types into a cell of one of the window's tables through its editor.
void typeCell(QTableWidget* t, int row, int column, const QString& text) {
    // The editor of the cell typed before is deleted later: let it go first.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    t->setFocus();
    t->setCurrentCell(row, column);
    QTest::keyClick(t, Qt::Key_F2);
    QWidget* editor = QApplication::focusWidget();
    QVERIFY(editor && editor != t);
    QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClicks(editor, text);
    QTest::keyClick(editor, Qt::Key_Tab);
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    p.waitForFinished(180000);
    return QString::fromUtf8(p.readAll());
}

QString flat(QString s) {
    return s.simplified();
}

} // namespace

class tst_FinanceJourney : public QObject {
    Q_OBJECT
private slots:
    void forecastToExports();
};

void tst_FinanceJourney::forecastToExports() {
    TestFolder folder;
    QVERIFY(QFile::copy(QStringLiteral(QUILLMARK_SOURCE_DIR "/data/DraftBusinessReport.rpt"),
                        QDir(folder.path()).filePath(QStringLiteral("DraftBusinessReport.rpt"))));
    QStringList expected;
    {
        auto form = loadForm(folder);
        goToStep(*form, 42);
        QSqlTableModel* table = ui(form)->Adodc3->model();
        const int product = table->record().indexOf(QStringLiteral("ProductOrService"));
        const int sales = table->record().indexOf(QStringLiteral("SalesAmount"));
        const int month = table->record().indexOf(QStringLiteral("Month"));
        for (int m = 1; m <= 12; ++m) {
            typeInto(ui(form)->DataGrid1, m - 1, product, QStringLiteral("Bread"));
            typeInto(ui(form)->DataGrid1, m - 1, month, QString::number(m));
            typeInto(ui(form)->DataGrid1, m - 1, sales, QString::number(2400 + 35 * m) + ".50");
        }
        typeInto(ui(form)->DataGrid1, 12, product, QStringLiteral("Cakes"));
        typeInto(ui(form)->DataGrid1, 12, month, QStringLiteral("March"));
        typeInto(ui(form)->DataGrid1, 12, sales, QStringLiteral("780"));
        goToStep(*form, 66);
        typeInto(ui(form)->DataGrid1, 0,
                 ui(form)->Adodc3->model()->record().indexOf(QStringLiteral("RequiredCost")),
                 QStringLiteral("6000"));

        FinanceWindow* w = openFinance(*form);
        QVERIFY(w);
        // Reached by the labels' keys; bad figures get a message at their field.
        QTest::keyClick(w->windowHandle(), Qt::Key_E, Qt::AltModifier);
        retype(w, QStringLiteral("seven"));
        QTest::keyClick(w->windowHandle(), Qt::Key_E, Qt::AltModifier);
        retype(w, QStringLiteral("0"));
        QVERIFY(!w->inputsUsable());
        QVERIFY2(w->messages().join(u' ').contains(QStringLiteral("1 to 50 years")),
                 qPrintable(w->messages().join(u'|')));
        QTest::keyClick(w->windowHandle(), Qt::Key_E, Qt::AltModifier);
        retype(w, QStringLiteral("5"));
        QTest::keyClick(w->windowHandle(), Qt::Key_Y, Qt::AltModifier);
        retype(w, QStringLiteral("five thousand"));
        QVERIFY(w->messages().join(u' ').contains(QStringLiteral("Enter an amount")));
        QTest::keyClick(w->windowHandle(), Qt::Key_Y, Qt::AltModifier);
        retype(w, QStringLiteral("5,000"));
        QTest::keyClick(w->windowHandle(), Qt::Key_C, Qt::AltModifier);
        retype(w, QStringLiteral("40"));
        QTest::keyClick(w->windowHandle(), Qt::Key_T, Qt::AltModifier);
        retype(w, QStringLiteral("20"));

        auto* costs = w->findChild<QTableWidget*>(QStringLiteral("runningCosts"));
        auto* loans = w->findChild<QTableWidget*>(QStringLiteral("loans"));
        QVERIFY(costs && loans && loans->columnCount() == 5);
        typeCell(costs, 0, 1, QStringLiteral("900"));
        for (QPushButton* b : w->findChildren<QPushButton*>())
            if (b->text() == QStringLiteral("Add a loan"))
                QTest::mouseClick(b, Qt::LeftButton);
        QCOMPARE(loans->rowCount(), 1);
        typeCell(loans, 0, 0, QStringLiteral("Bank"));
        typeCell(loans, 0, 1, QStringLiteral("10,000"));
        typeCell(loans, 0, 2, QStringLiteral("1000"));
        typeCell(loans, 0, 3, QStringLiteral("5"));
        QVERIFY2(!w->inputsUsable(),
                 qPrintable(loans->item(0, 0)->text() + u'|' + loans->item(0, 1)->text() + u'|' +
                            loans->item(0, 2)->text() + u'|' + loans->item(0, 3)->text()));
        QVERIFY2(w->messages().join(u' ').contains(QStringLiteral("0 % to 100 %")),
                 qPrintable(w->messages().join(u'|')));
        typeCell(loans, 0, 2, QStringLiteral("8"));
        QVERIFY2(w->inputsUsable(), qPrintable(w->messages().join(u'|')));
        QVERIFY(w->messages().isEmpty());
        // 10,000.00 over five years at 8 %: 202.77 a month.
        QCOMPARE(loans->item(0, 4)->text(), FinanceText::money(20277));

        const finance::Statements s = w->figures().statements;
        QCOMPARE(s.years[0].sales, 12 * 240050 + 35 * 78 * 100 + 78000);
        QCOMPARE(s.closing.totalOwned, s.closing.totalOwed + s.closing.ownersStake);
        expected << FinanceText::money(s.years[0].sales)
                 << FinanceText::money(s.years[0].profitAfterTax)
                 << FinanceText::money(s.years[2].profitBeforeTax)
                 << FinanceText::money(s.cash[11].closing)
                 << FinanceText::money(s.closing.totalOwned);
        QTest::keyClick(w, Qt::Key_Escape); // closes and stores
        QTRY_VERIFY(!w->isVisible());
    }

    // Restarted: the figures are there, and the report prints the statements.
    auto form = loadForm(folder);
    FinanceWindow* w = openFinance(*form);
    QVERIFY(w);
    QVERIFY(w->inputsUsable());
    QCOMPARE(FinanceText::money(w->figures().statements.years[0].sales), expected[0]);
    w->close();
    QTest::mouseClick(ui(form)->cmdReport, Qt::LeftButton);
    auto* engine = form->findChild<ReportEngine*>(QStringLiteral("PR1"));

    QTRY_VERIFY_WITH_TIMEOUT(engine && engine->previews().size() == 1, 20000);
    const ReportDocument& report = engine->previews().front()->report();
    const QString text = flat(report.textDocument()->toPlainText());
    for (const QString& figure : expected)
        QVERIFY2(text.contains(figure), qPrintable(figure));
    QVERIFY(text.contains(QStringLiteral("Balance sheet")));
    QVERIFY(text.contains(QStringLiteral("Break-even is reached in month")));

    // The word-processor and web exports carry the tables as text and the charts as pictures.
    for (const auto format : {ReportExporter::Format::Rtf, ReportExporter::Format::Html}) {
        const QString path =
            QDir(folder.path())
                .filePath(QStringLiteral("plan.") + ReportExporter::info(format).suffix);
        QCOMPARE(ReportExporter::write(report, format, path), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        for (const QString& figure : expected)
            QVERIFY2(bytes.contains(figure.toUtf8()), qPrintable(path + u' ' + figure));
    }

    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("LibreOffice or pdftotext is not installed");
    const QString pdf = QDir(folder.path()).filePath(QStringLiteral("plan.pdf"));
    const QString docx = QDir(folder.path()).filePath(QStringLiteral("plan.docx"));
    QCOMPARE(ReportExporter::write(report, ReportExporter::Format::Pdf, pdf), QString());
    QCOMPARE(ReportExporter::write(report, ReportExporter::Format::Docx, docx), QString());
    // For looking at the pages: FINANCE_JOURNEY_KEEP=folder keeps a copy of both exports.
    if (const QString keep = qEnvironmentVariable("FINANCE_JOURNEY_KEEP"); !keep.isEmpty())
        for (const QString& file : {pdf, docx})
            QFile::copy(file, QDir(keep).filePath(QFileInfo(file).fileName()));
    const QString out = QDir(folder.path()).filePath(QStringLiteral("lo"));
    const QString profile =
        QUrl::fromLocalFile(QDir(folder.path()).filePath(QStringLiteral("profile"))).toString();
    run(QStringLiteral("soffice"), {QStringLiteral("-env:UserInstallation=") + profile,
                                    QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                                    QStringLiteral("pdf"), QStringLiteral("--outdir"), out, docx});
    for (const QString& file : {pdf, QDir(out).filePath(QStringLiteral("plan.pdf"))}) {
        QVERIFY2(QFile::exists(file), qPrintable(file));
        const QString read = flat(run(QStringLiteral("pdftotext"), {file, QStringLiteral("-")}));
        for (const QString& figure : expected)
            QVERIFY2(read.contains(figure), qPrintable(file + u' ' + figure));
        QVERIFY(read.contains(QStringLiteral("What the business owns")));
    }
}

QTEST_MAIN(tst_FinanceJourney)
#include "tst_financejourney.moc"
