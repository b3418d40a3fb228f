// The report engine on the shipped definition and a real question database: the operations
// the Report button performs, the rendered content, the exports read back by independent
// readers, and the bad inputs.

#include "figurechart.h"
#include "reportdefinition.h"
#include "reportdocument.h"
#include "reportengine.h"
#include "reporterror.h"
#include "reportexporter.h"
#include "reportfixture.h"
#include "reportpageview.h"
#include "reportpreview.h"

#include <QAction>
#include <QApplication>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QProgressDialog>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextDocumentFragment>
#include <QTimer>

using namespace ReportFixture;

namespace {

int errorNumber(const std::function<void()>& f) {
    try {
        f();
    } catch (const ReportError& e) {
        return e.number();
    }
    return 0;
}

QString errorText(const std::function<void()>& f) {
    try {
        f();
    } catch (const ReportError& e) {
        return e.message();
    }
    return {};
}

// What the main window's Report button does, up to (not including) the run.
void prepare(ReportEngine& engine, const QString& data, const QString& rpt) {
    engine.setDataFile(0, data);
    engine.setReportFileName(rpt);
    const int16_t n = engine.subreportCount();
    for (int16_t i = 0; i < n; ++i) {
        engine.setSubreportToChange(engine.subreportName(i));
        engine.setDataFile(0, data);
    }
    engine.setExportButtonShown(true);
    engine.setDestination(0);
    engine.setWindowWidth(640);
    engine.setWindowHeight(480);
}

QString writeFile(const QString& path, const QByteArray& text) {
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(text);
    return path;
}

QString run(const QString& program, const QStringList& args) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

// Collapses whitespace so that line wrapping of a reader does not matter.
QString flat(QString s) {
    return s.replace(QRegularExpression(QStringLiteral("\\s+")), " ");
}

} // namespace

class TestReportEngine : public QObject {
    Q_OBJECT
private slots:
    void init();
    void shippedDefinitionParses();
    void malformedDefinitions_data();
    void malformedDefinitions();
    void runsAsTheReportButtonDoes();
    void storedAnswersWithTheirFormatting();
    void figuresWithTotals();
    void aPlanNotAQuestionnaire();
    void numbersInTheUsersLocale();
    void chartSumsByCategoryAndSeries();
    void cancelledRenderShowsNothing();
    void longRenderCanBeCancelled();
    void exportAddsTheFormatsExtension();
    void missingReportFileAndBadSettings();
    void subreportTableMissingIsRecoverable();
    void definitionWithoutSubreports();
    void unlistedColumnsWithAnyName();
    void badDataFiles();
    void exportsReadBackByIndependentReaders();
    void exportToAFolderThatCannotBeWritten();
    void exportToAFullDisk();

private:
    std::unique_ptr<QTemporaryDir> dir_;
    QString db_;
};

void TestReportEngine::init() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    db_ = makeDatabase(dir_->path());
    QVERIFY(!db_.isEmpty());
}

void TestReportEngine::shippedDefinitionParses() {
    const ReportDefinition def = ReportDefinition::load(shippedDefinition());
    QCOMPARE(def.title, QStringLiteral("Draft Business Plan"));
    QVERIFY(def.hasContents);
    QCOMPARE(def.subreports.size(), 3);
    QCOMPARE(def.subreports[0].table, QStringLiteral("projections"));
    QCOMPARE(def.subreports[0].after, 42);
    QCOMPARE(def.subreports[1].table, QStringLiteral("assets"));
    QCOMPARE(def.subreports[2].table, QStringLiteral("rawmaterials"));
    // Continuation lines joined into one query.
    QVERIFY(def.chapters.stepsQuery.contains(QStringLiteral("ORDER BY questions.QuestionNumber")));
    QVERIFY(def.chapters.stepsQuery.startsWith(QStringLiteral("SELECT questions.QuestionNumber")));
}

void TestReportEngine::malformedDefinitions_data() {
    QTest::addColumn<QByteArray>("text");
    QTest::addColumn<QString>("expected");
    const QByteArray chapters = "[chapters]\nsteps = SELECT 1\nanswers = SELECT 1\nchapter = a\n"
                                "number = b\nquestion = c\nanswer = d\n";
    QTest::newRow("not a definition") << QByteArray("hello world\n") << "not a report definition";
    QTest::newRow("empty") << QByteArray("\n# only a comment\n") << "empty";
    QTest::newRow("future version") << QByteArray("quillmark-report 7\n") << "version 7";
    QTest::newRow("unknown section")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\n[pictures]\n") << "line 4";
    QTest::newRow("unknown key") << QByteArray(
                                        "quillmark-report 1\n[report]\ntitle = T\ncolour = red\n")
                                 << "line 4: unknown key 'colour'";
    QTest::newRow("no chapters") << QByteArray("quillmark-report 1\n[report]\ntitle = T\n")
                                 << "[chapters] section is missing";
    QTest::newRow("sql in a table name")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\n" + chapters +
                      "[subreport X]\ntable = assets; DROP TABLE Answers\n")
        << "not a plain column or table name";
    QTest::newRow("subreport without table")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\n" + chapters + "[subreport X]\n")
        << "needs a table";
    QTest::newRow("bad margin")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\nmargin-mm = wide\n")
        << "line 4: margin-mm must be a number from 5 to 50";
    QTest::newRow("font size out of range")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\nfont-size = 36.5\n")
        << "line 4: font-size must be a number from 6 to 36";
    QTest::newRow("duplicate subreport")
        << QByteArray("quillmark-report 1\n[report]\ntitle = T\n" + chapters +
                      "[subreport X]\ntable = a\n[subreport x]\ntable = b\n")
        << "defined twice";
}

void TestReportEngine::malformedDefinitions() {
    QFETCH(QByteArray, text);
    QFETCH(QString, expected);
    const QString path = writeFile(dir_->filePath(QStringLiteral("bad.rpt")), text);
    ReportEngine engine;
    engine.setDataFile(0, db_);
    int number = 0;
    QString message;
    try {
        engine.setReportFileName(path);
    } catch (const ReportError& e) {
        number = e.number();
        message = e.message();
    }
    QCOMPARE(number, int(ReportError::DefinitionMalformed));
    QVERIFY2(message.contains(expected), qPrintable(message));
    QVERIFY(message.contains(QStringLiteral("bad.rpt")));
    // Nothing was loaded: the engine still has no report.
    QCOMPARE(errorNumber([&] { engine.subreportCount(); }), int(ReportError::NoReportFile));
}

void TestReportEngine::runsAsTheReportButtonDoes() {
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    QCOMPARE(engine.subreportCount(), int16_t(3));
    QCOMPARE(engine.subreportName(1), QStringLiteral("Work-related assets"));
    engine.setAction(1);
    const QList<ReportPreview*> previews = engine.previews();
    QCOMPARE(previews.size(), 1);
    ReportPreview* preview = previews.front();
    QVERIFY(preview->isVisible());
    QCOMPARE(preview->size(), QSize(640, 480));
    QVERIFY(preview->exportAction()->isVisible());
    // Title page, contents and twelve chapters each on a page of their own.
    QVERIFY(preview->report().pageCount() >= 14);
    // A second run opens a second, independent window; closing one leaves the other.
    engine.setAction(1);
    QCOMPARE(engine.previews().size(), 2);
    // It opens down and to the right of the first, not hidden under it.
    QCOMPARE(engine.previews().back()->pos(), preview->pos() + QPoint(32, 32));
    // Home and End go to the first and the last page.
    ReportPreview* second = engine.previews().back();
    QApplication::setActiveWindow(second);
    QTest::keyClick(second, Qt::Key_End);
    QCOMPARE(second->findChild<ReportPageView*>()->currentPage(), second->report().pageCount() - 1);
    QTest::keyClick(second, Qt::Key_Home);
    QCOMPARE(second->findChild<ReportPageView*>()->currentPage(), 0);
    preview->close();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    QCOMPARE(engine.previews().size(), 1);
}

void TestReportEngine::storedAnswersWithTheirFormatting() {
    setAnswer(db_, 2,
              richAnswer(QStringLiteral("We bake sourdough bread for"), QStringLiteral("cafes")));
    setAnswer(db_, 93, QStringLiteral("plain text that is not RTF"));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    const std::unique_ptr<ReportDocument> report = engine.render();
    const QTextDocument* doc = report->textDocument();
    const QString text = doc->toPlainText();
    QVERIFY(text.contains(QStringLiteral("We bake sourdough bread for cafes")));
    QVERIFY(text.contains(QStringLiteral("plain text that is not RTF")));
    QVERIFY(text.contains(QStringLiteral("2 of 81 questions answered")));
    // Every other question is marked open: 81 questions, two answered.
    QCOMPARE(text.count(QStringLiteral("Still open: no answer has been stored")), 79);
    // The answer keeps its formatting: the bold word is bold, the rest is not.
    const QTextCursor bold = doc->find(QStringLiteral("cafes"));
    QVERIFY(!bold.isNull());
    QCOMPARE(bold.charFormat().fontWeight(), int(QFont::Bold));
    const QTextCursor normal = doc->find(QStringLiteral("sourdough"));
    QVERIFY(normal.charFormat().fontWeight() != int(QFont::Bold));
    // Twelve chapters, listed in the contents with the pages they start on.
    int chapters = 0;
    const QString flatText = flat(text);
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() != 1 ||
            !QRegularExpression(QStringLiteral("^\\d+\\. ")).match(b.text()).hasMatch())
            continue;
        ++chapters;
        const QString entry =
            b.text() + QLatin1Char(' ') + QString::number(report->pageOf(b.position()) + 1);
        QVERIFY2(flatText.contains(entry), qPrintable(entry));
    }
    QCOMPARE(chapters, 12);
    // Chapter 1 starts on page 3, after the title page and the contents.
    QVERIFY(flatText.contains(QStringLiteral("1. Executive Summary 3")));
    QVERIFY(flatText.contains(QStringLiteral("2. The Company 4")));
}

void TestReportEngine::figuresWithTotals() {
    QVERIFY(exec(db_, QStringLiteral("UPDATE projections SET ProductOrService = 'Loaves', "
                                     "Customers = 10, ItemsSold = 400, SalesAmount = 1000.5, "
                                     "Month = 'January' WHERE ID = 1")));
    QVERIFY(exec(db_, QStringLiteral("UPDATE projections SET ProductOrService = 'Cakes', "
                                     "Customers = 5, ItemsSold = 50, SalesAmount = '1,250', "
                                     "Month = 'January' WHERE ID = 2")));
    QVERIFY(exec(db_, QStringLiteral("UPDATE assets SET AssetOwned = 'Oven', OwnedCost = 'about "
                                     "two thousand' WHERE ID = 1")));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    const std::unique_ptr<ReportDocument> report = engine.render();
    const QString text = flat(report->textDocument()->toPlainText());
    QVERIFY2(text.contains(QStringLiteral("Loaves 10 400 1,000.50 January")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Total 15 450 2,250.50")));
    // Money typed as text is printed as the stored amounts are.
    QVERIFY(text.contains(QStringLiteral("Cakes 5 50 1,250.00 January")));
    // The sales appear as a chart too: a picture of the document, right after the table.
    QStringList pictures;
    const QTextDocument* doc = report->textDocument();
    for (QTextBlock b = doc->begin(); b.isValid(); b = b.next())
        for (auto it = b.begin(); !it.atEnd(); ++it)
            if (it.fragment().charFormat().isImageFormat())
                pictures.append(it.fragment().charFormat().toImageFormat().name());
    QCOMPARE(pictures.size(), 1); // the other tables have no chart
    const QImage chart =
        doc->resource(QTextDocument::ImageResource, QUrl(pictures.front())).value<QImage>();
    QVERIFY(chart.width() > 600 && chart.height() > 250);
    // A figure that is not a number is left out of the total, and the report says so.
    QVERIFY(text.contains(QStringLiteral("Oven about two thousand")));
    QVERIFY(text.contains(QStringLiteral("Cells that do not hold a number are left out")));
    // The table with nothing entered says so instead of printing blank rows.
    QVERIFY(text.contains(QStringLiteral("No raw materials have been entered yet.")));
    // Figures follow the question that asks for them.
    QVERIFY(text.indexOf(QStringLiteral("Sales projections")) >
            text.indexOf(QStringLiteral("42. ")));
    QVERIFY(text.indexOf(QStringLiteral("Sales projections")) <
            text.indexOf(QStringLiteral("43. ")));
}

void TestReportEngine::aPlanNotAQuestionnaire() {
    setAnswer(db_, 9,
              richAnswer(QStringLiteral("Rye & Co. Bakery, 12 Mill Lane, since"),
                         QStringLiteral("2019")));
    setAnswer(db_, 2,
              QStringLiteral("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Arial;}}\\f0\\fs22 "
                             "We bake {\\b rye}.\\par}"));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    std::unique_ptr<ReportDocument> report = engine.render();
    QString text = report->textDocument()->toPlainText();
    // The title page names the business from its answer, then the plan's title.
    QVERIFY2(
        flat(text).trimmed().startsWith(QStringLiteral("Rye & Co. Bakery Draft Business Plan")),
        qPrintable(flat(text).left(200)));
    QVERIFY(text.contains(QStringLiteral("2 of 81 questions answered")));
    // Questions appear as their short titles; the coaching text is not printed.
    QVERIFY(text.contains(QStringLiteral("2. The business in brief")));
    QVERIFY(!text.contains(QStringLiteral("Describe your business in two or three sentences")));
    // One body font: the answer's Arial gives way to the report's font, its bold stays.
    const QTextCursor rye = report->textDocument()->find(QStringLiteral("rye"));
    QCOMPARE(rye.charFormat().fontFamilies().toStringList().value(0),
             QStringLiteral("DejaVu Serif"));
    QCOMPARE(rye.charFormat().fontWeight(), int(QFont::Bold));

    // A database made before titles existed, with no name given: still a report.
    setAnswer(db_, 9, QString());
    QVERIFY(exec(db_, QStringLiteral("ALTER TABLE questions DROP COLUMN Title")));
    report = engine.render();
    text = report->textDocument()->toPlainText();
    QVERIFY2(flat(text).trimmed().startsWith(QStringLiteral("Business plan Draft Business Plan")),
             qPrintable(flat(text).left(200)));
    QVERIFY(text.contains(QStringLiteral("2. Describe your business in two or three sentences")));
}

void TestReportEngine::numbersInTheUsersLocale() {
    QVERIFY(exec(db_, QStringLiteral("UPDATE assets SET AssetOwned = 'Oven', OwnedCost = 12500, "
                                     "AssetRequired = 'Van', RequiredCost = 8000.5 WHERE ID = 1")));
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    const QString text = flat(engine.render()->textDocument()->toPlainText());
    QLocale::setDefault(QLocale::c());
    // Money with two decimals and the locale's separators, in the rows and the total.
    QVERIFY2(text.contains(QStringLiteral("Oven 12.500,00 Van 8.000,50")), qPrintable(text));
    QVERIFY(text.contains(QStringLiteral("Total 12.500,00 8.000,50")));
}

void TestReportEngine::chartSumsByCategoryAndSeries() {
    // Rows as the table prints them: product, amount with separators, month.
    const QList<QStringList> rows = {
        {QStringLiteral("Loaves"), QStringLiteral("1,000.50"), QStringLiteral("March")},
        {QStringLiteral("Cakes"), QStringLiteral("200.00"), QStringLiteral("January")},
        {QStringLiteral("Loaves"), QStringLiteral("99.50"), QStringLiteral("March")},
        {QString(), QStringLiteral("10.00"), QStringLiteral("January")},
        {QStringLiteral("Rolls"), QStringLiteral("about 5"), QStringLiteral("March")},
        {QStringLiteral("Rolls"), QStringLiteral("7.00"), QString()},
    };
    const FigureChart::Data d = FigureChart::collect(rows, 2, 1, 0, QStringLiteral("Other"));
    // Months in the order they first appear; a row without a number or a month is left out.
    QCOMPARE(d.categories, (QStringList{QStringLiteral("March"), QStringLiteral("January")}));
    QCOMPARE(d.series, (QStringList{QStringLiteral("Loaves"), QStringLiteral("Cakes"),
                                    QStringLiteral("Other")}));
    QCOMPARE(d.values[0], (QList<double>{1100.0, 0.0}));
    QCOMPARE(d.values[1], (QList<double>{0.0, 200.0}));
    QCOMPARE(d.values[2], (QList<double>{0.0, 10.0}));
    QVERIFY(!d.isEmpty());
    const QImage image = FigureChart::draw(d, QStringLiteral("Sales"), QStringLiteral("Amount"),
                                           QStringLiteral("DejaVu Serif"), QSizeF(300, 150), 144);
    QCOMPARE(image.size(), QSize(600, 300));
    // Bars were drawn: a good part of the picture is in the products' colours.
    int coloured = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            coloured += image.pixel(x, y) == qRgb(0xC0, 0x60, 0x20) ? 1 : 0;
    QVERIFY2(coloured > 2000, qPrintable(QString::number(coloured)));
    QVERIFY(FigureChart::collect({}, 0, 1, -1, QString()).isEmpty());
}

void TestReportEngine::missingReportFileAndBadSettings() {
    ReportEngine engine;
    engine.setDataFile(0, db_);
    const QString missing = dir_->filePath(QStringLiteral("nowhere.rpt"));
    QCOMPARE(errorNumber([&] { engine.setReportFileName(missing); }),
             int(ReportError::ReportFileMissing));
    QVERIFY(errorText([&] {
                engine.setReportFileName(missing);
            }).contains(QStringLiteral("nowhere.rpt")));
    QCOMPARE(errorNumber([&] { engine.setReportFileName(dir_->path()); }),
             int(ReportError::ReportFileUnreadable));
    QCOMPARE(errorNumber([&] { engine.setAction(1); }), int(ReportError::NoReportFile));
    QCOMPARE(errorNumber([&] { engine.setDataFile(1, db_); }), int(ReportError::BadDataFileIndex));
    QCOMPARE(errorNumber([&] { engine.setDestination(1); }), int(ReportError::BadSetting));
    QCOMPARE(errorNumber([&] { engine.setWindowWidth(0); }), int(ReportError::BadSetting));
    // The engine stays usable after every failure.
    engine.setReportFileName(shippedDefinition());
    QCOMPARE(errorNumber([&] { engine.setSubreportToChange(QStringLiteral("Payroll")); }),
             int(ReportError::NoSuchSubreport));
    QCOMPARE(errorNumber([&] { engine.subreportName(3); }), int(ReportError::BadSubreportIndex));
    QCOMPARE(errorNumber([&] { engine.setAction(2); }), int(ReportError::BadSetting));
    QVERIFY(engine.previews().isEmpty());
    QVERIFY(engine.render()->pageCount() > 0);
}

void TestReportEngine::subreportTableMissingIsRecoverable() {
    QVERIFY(exec(db_, QStringLiteral("DROP TABLE assets")));
    ReportEngine engine;
    engine.setDataFile(0, db_);
    engine.setReportFileName(shippedDefinition());
    QList<int> numbers;
    for (int16_t i = 0; i < engine.subreportCount(); ++i) {
        engine.setSubreportToChange(engine.subreportName(i));
        numbers.append(errorNumber([&] { engine.setDataFile(0, db_); }));
    }
    QCOMPARE(numbers, (QList<int>{0, ReportError::Recoverable, 0}));
    // Pressed again on the same engine, the last subreport's table gone too: each missing
    // table is reported once, not twice (the first setting is the report's, not the last
    // subreport's, where the run left the selection).
    engine.setAction(1);
    QVERIFY(exec(db_, QStringLiteral("DROP TABLE rawmaterials")));
    numbers.clear();
    numbers.append(errorNumber([&] { engine.setDataFile(0, db_); }));
    engine.setReportFileName(shippedDefinition());
    for (int16_t i = 0; i < engine.subreportCount(); ++i) {
        engine.setSubreportToChange(engine.subreportName(i));
        numbers.append(errorNumber([&] { engine.setDataFile(0, db_); }));
    }
    QCOMPARE(numbers, (QList<int>{0, 0, ReportError::Recoverable, ReportError::Recoverable}));
    const QString text = flat(engine.render()->textDocument()->toPlainText());
    QVERIFY(text.contains(
        QStringLiteral("Figures unavailable: the table 'assets' is not in 0002.mdb")));
    QVERIFY(text.contains(QStringLiteral("No sales projections have been entered yet.")));
    QVERIFY(text.contains(QStringLiteral("12. Finance")));
}

void TestReportEngine::cancelledRenderShowsNothing() {
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    int calls = 0;
    int lastTotal = 0;
    QVERIFY(!engine.render([&](int done, int total) {
        ++calls;
        lastTotal = total;
        return done < 10;
    }));
    QCOMPARE(calls, 10);
    QVERIFY(lastTotal >= 93);
    // Left alone, the progress reaches its total once, at the end.
    QList<int> seen;
    QVERIFY(engine.render([&](int done, int total) {
        seen.append(done);
        return done <= total;
    }));
    QCOMPARE(seen.last(), lastTotal);
    QVERIFY(std::is_sorted(seen.begin(), seen.end()));
    // The layout after the last step is told of too, not only its end.
    QVERIFY(std::count_if(seen.begin(), seen.end(),
                          [&](int d) { return d > lastTotal / 2 && d < lastTotal; }) > 10);
    QVERIFY(engine.previews().isEmpty());
}

void TestReportEngine::longRenderCanBeCancelled() {
    // The progress dialog (here without the half second's wait, which a fast machine may
    // not need) keeps the main window from input, and its Cancel ends the run without a
    // preview.
    QString prose;
    while (prose.size() < 20000)
        prose += QStringLiteral("We bake bread for the cafes of the old town every morning. ");
    for (int step = 1; step <= 93; ++step)
        setAnswer(db_, step, richAnswer(prose, QStringLiteral("daily")));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    engine.setProgressDelay(0);
    bool seen = false;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, [&] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (auto* dialog = qobject_cast<QProgressDialog*>(w); dialog && dialog->isVisible()) {
                if (!seen) {
                    QVERIFY(dialog->isModal());
                    QVERIFY(dialog->value() < dialog->maximum());
                }
                seen = true;
                dialog->cancel();
            }
    });
    poll.start(50);
    engine.setAction(1);
    poll.stop();
    QVERIFY(seen);
    QVERIFY(engine.previews().isEmpty());
}

void TestReportEngine::exportAddsTheFormatsExtension() {
    using ReportExporter::Format;
    QCOMPARE(ReportExporter::withSuffix(QStringLiteral("/tmp/plan"), Format::Docx),
             QStringLiteral("/tmp/plan.docx"));
    QCOMPARE(ReportExporter::withSuffix(QStringLiteral("/tmp/plan.rtf"), Format::Rtf),
             QStringLiteral("/tmp/plan.rtf"));
    QCOMPARE(ReportExporter::withSuffix(QStringLiteral("/tmp/my.plan/draft"), Format::Odt),
             QStringLiteral("/tmp/my.plan/draft.odt"));
    QCOMPARE(ReportExporter::withSuffix(QStringLiteral("/tmp/plan.v2"), Format::Pdf),
             QStringLiteral("/tmp/plan.v2"));
}

void TestReportEngine::definitionWithoutSubreports() {
    QFile shipped(shippedDefinition());
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QByteArray text = shipped.readAll();
    text.truncate(text.indexOf("[subreport"));
    const QString path = writeFile(dir_->filePath(QStringLiteral("plain.rpt")), text);
    setAnswer(db_, 5,
              richAnswer(QStringLiteral("Owned by two partners"), QStringLiteral("equally")));
    ReportEngine engine;
    engine.setDataFile(0, db_);
    engine.setReportFileName(path);
    QCOMPARE(engine.subreportCount(), int16_t(0));
    engine.setAction(1);
    QCOMPARE(engine.previews().size(), 1);
    const QString rendered = engine.previews().front()->report().textDocument()->toPlainText();
    QVERIFY(rendered.contains(QStringLiteral("Owned by two partners equally")));
    QVERIFY(!rendered.contains(QStringLiteral("Sales projections")));
    // Not asked for: the export button stays hidden.
    QVERIFY(!engine.previews().front()->exportAction()->isVisible());
}

// A subreport that lists no columns shows the table's own, whatever their names hold: a
// quote inside a name stays part of the name, never ends it in the query.
void TestReportEngine::unlistedColumnsWithAnyName() {
    QFile shipped(shippedDefinition());
    QVERIFY(shipped.open(QIODevice::ReadOnly));
    QByteArray text = shipped.readAll();
    text.truncate(text.indexOf("[subreport"));
    text += "[subreport Odd names]\ndatafile = 0002.mdb\ntable    = oddnames\nafter    = 5\n"
            "caption  = Odd names\nempty    = Nothing here.\n";
    const QString path = writeFile(dir_->filePath(QStringLiteral("odd.rpt")), text);
    QVERIFY(exec(db_, QStringLiteral("CREATE TABLE oddnames (\"Say \"\"hi\"\"\" TEXT, Plain TEXT)")));
    QVERIFY(exec(db_, QStringLiteral("INSERT INTO oddnames VALUES ('quoted cell', 'plain cell')")));
    ReportEngine engine;
    prepare(engine, db_, path);
    engine.setAction(1);
    QCOMPARE(engine.previews().size(), 1);
    const QString rendered =
        flat(engine.previews().front()->report().textDocument()->toPlainText());
    QVERIFY2(rendered.contains(QStringLiteral("Say \"hi\"")), qPrintable(rendered.right(400)));
    QVERIFY(rendered.contains(QStringLiteral("quoted cell")));
    QVERIFY(rendered.contains(QStringLiteral("plain cell")));
}

void TestReportEngine::badDataFiles() {
    ReportEngine engine;
    const QString missing = dir_->filePath(QStringLiteral("gone.mdb"));
    QCOMPARE(errorNumber([&] { engine.setDataFile(0, missing); }),
             int(ReportError::DataFileUnavailable));
    QVERIFY(!QFile::exists(missing)); // never created by looking
    const QByteArray junk = "this is a text file, not a database\n";
    const QString text = writeFile(dir_->filePath(QStringLiteral("text.mdb")), junk);
    QCOMPARE(errorNumber([&] { engine.setDataFile(0, text); }),
             int(ReportError::DataFileUnavailable));
    QFile f(text);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), junk);
    // A database that lacks the answers table: the query error names the engine's text.
    QVERIFY(exec(db_, QStringLiteral("ALTER TABLE Answers RENAME TO Replies")));
    engine.setDataFile(0, db_);
    engine.setReportFileName(shippedDefinition());
    const QString message = errorText([&] { engine.render(); });
    QVERIFY2(message.contains(QStringLiteral("Answers")), qPrintable(message));
    QCOMPARE(errorNumber([&] { engine.setAction(1); }), int(ReportError::QueryFailed));
    QVERIFY(engine.previews().isEmpty());
}

void TestReportEngine::exportsReadBackByIndependentReaders() {
    const QStringList answers = {
        QStringLiteral("Fresh bread baked every morning"),
        QStringLiteral("Our customers are local cafes and offices"),
        QStringLiteral("We need a second oven by spring"),
    };
    setAnswer(db_, 2, richAnswer(answers[0], QStringLiteral("daily")));
    setAnswer(db_, 41, richAnswer(answers[1], QStringLiteral("nearby")));
    setAnswer(db_, 93, richAnswer(answers[2], QStringLiteral("soon")));
    QVERIFY(exec(db_, QStringLiteral("UPDATE rawmaterials SET MaterialInStock = 'Flour', "
                                     "StockCost = 320.25, MaterialNeeded = 'Rye', NeededCost = "
                                     "99 WHERE ID = 3")));
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    engine.setAction(1);
    ReportPreview* preview = engine.previews().front();

    const QString rtf = dir_->filePath(QStringLiteral("draft.rtf"));
    QCOMPARE(preview->exportTo(ReportExporter::Format::Rtf, rtf), QString());
    QString readBack;
    if (!QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
        readBack = run(QStringLiteral("pandoc"),
                       {QStringLiteral("-f"), QStringLiteral("rtf"), QStringLiteral("-t"),
                        QStringLiteral("plain"), QStringLiteral("--wrap=none"), rtf});
    else if (!QStandardPaths::findExecutable(QStringLiteral("unrtf")).isEmpty())
        readBack = run(QStringLiteral("unrtf"), {QStringLiteral("--text"), rtf});
    else
        QSKIP("neither pandoc nor unrtf is installed");
    readBack = flat(readBack);
    for (const QString& a : answers)
        QVERIFY2(readBack.contains(a), qPrintable(a));
    QVERIFY(readBack.contains(QStringLiteral("Still open")));
    QVERIFY2(readBack.contains(QStringLiteral("320.25")), qPrintable(readBack.right(2000)));
    QVERIFY(readBack.contains(QStringLiteral("Total")));
    QVERIFY(readBack.contains(QStringLiteral("99")));

    const QString pdf = dir_->filePath(QStringLiteral("draft.pdf"));
    QCOMPARE(preview->exportTo(ReportExporter::Format::Pdf, pdf), QString());
    QFile pdfFile(pdf);
    QVERIFY(pdfFile.open(QIODevice::ReadOnly));
    const QByteArray pdfBytes = pdfFile.readAll();
    QVERIFY(pdfBytes.startsWith("%PDF-"));
    QCOMPARE(pdfBytes.count("/Type /Page\n") + pdfBytes.count("/Type /Page\r") +
                 pdfBytes.count("/Type /Page>") + pdfBytes.count("/Type /Page "),
             qsizetype(preview->report().pageCount()));

    const QString odt = dir_->filePath(QStringLiteral("draft.odt"));
    QCOMPARE(preview->exportTo(ReportExporter::Format::Odt, odt), QString());
    QFile odtFile(odt);
    QVERIFY(odtFile.open(QIODevice::ReadOnly));
    QVERIFY(odtFile.read(2) == "PK");

    const QString html = dir_->filePath(QStringLiteral("draft.html"));
    QCOMPARE(preview->exportTo(ReportExporter::Format::Html, html), QString());
    QTextDocument back;
    QFile htmlFile(html);
    QVERIFY(htmlFile.open(QIODevice::ReadOnly));
    const QString markup = QString::fromUtf8(htmlFile.readAll());
    back.setHtml(markup);
    // One file: every picture inside it, and the contents lead to the chapters.
    QCOMPARE(markup.count(QStringLiteral("<img src=\"")),
             markup.count(QStringLiteral("<img src=\"data:image/")));
    QVERIFY(markup.contains(QStringLiteral("href=\"#chapter1\"")));
    for (const QString& a : answers)
        QVERIFY(back.toPlainText().contains(a));
}

void TestReportEngine::exportToAFolderThatCannotBeWritten() {
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    engine.setAction(1);
    ReportPreview* preview = engine.previews().front();
    // A "folder" that is a file: nothing can be created below it, even by root.
    const QString blocker = writeFile(dir_->filePath(QStringLiteral("blocker")), "keep me");
    const QString target = blocker + QStringLiteral("/draft.rtf");
    const QString message = preview->exportTo(ReportExporter::Format::Rtf, target);
    QVERIFY(message.contains(QStringLiteral("could not be exported")));
    QVERIFY(message.contains(QStringLiteral("draft.rtf")));
    QFile f(blocker);
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
    // An existing export is replaced only by a complete one; a failure leaves it alone.
    const QString existing =
        writeFile(dir_->filePath(QStringLiteral("old.pdf")), "previous export");
    QVERIFY(preview->exportTo(ReportExporter::Format::Pdf, dir_->path())
                .contains(QStringLiteral("folder")));
    QFile old(existing);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("previous export"));
    // The preview is still there and can export elsewhere.
    QCOMPARE(preview->exportTo(ReportExporter::Format::Pdf, existing), QString());
}

void TestReportEngine::exportToAFullDisk() {
    // A small file system of our own that the export cannot fit on (mounting needs root).
    const QString small = dir_->filePath(QStringLiteral("small"));
    QDir().mkpath(small);
    if (QProcess::execute(QStringLiteral("mount"),
                          {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                           QStringLiteral("size=8k"), QStringLiteral("tmpfs"), small}) != 0)
        QSKIP("a small file system cannot be mounted here (needs root)");
    const auto unmount = qScopeGuard([&] { QProcess::execute(QStringLiteral("umount"), {small}); });
    ReportEngine engine;
    prepare(engine, db_, shippedDefinition());
    engine.setAction(1);
    ReportPreview* preview = engine.previews().front();
    const QString existing = writeFile(QDir(small).filePath(QStringLiteral("plan.pdf")), "old");
    const QString message = preview->exportTo(ReportExporter::Format::Pdf, existing);
    QVERIFY2(message.contains(QStringLiteral("the disk is full")), qPrintable(message));
    QFile old(existing);
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), QByteArray("old"));
}

QTEST_MAIN(TestReportEngine)
#include "tst_reportengine.moc"
