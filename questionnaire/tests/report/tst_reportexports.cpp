// The exports for word processors, opened by LibreOffice and pandoc, on two plans: one with
// every question answered briefly, and one as owners write them (long answers, ten very long
// ones, pasted pictures far larger than the page, nested numbered lists, German and Japanese
// text). Checked: the pages LibreOffice lays out against ours, the contents' page numbers
// against LibreOffice's own pages, no heading left at the foot of a page, every picture
// inside the page, the words of every answer, the figures' totals, the lists' numbers. The
// web page export is looked at in headless Chromium: its screenshot must show the pictures.
//
// Set QUILL_KEEP_EXPORTS to a folder to keep the files (and LibreOffice's PDFs) for a look.

#include "reportdocument.h"
#include "reportengine.h"
#include "reportexporter.h"
#include "reportfixture.h"
#include "rtfpicture.h"
#include "rtftextproperties.h"
#include "rtfwriter.h"

#include <QAbstractTextDocumentLayout>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QUrl>

#include <functional>

using namespace ReportFixture;

namespace {

QString flat(QString s) {
    return s.replace(QRegularExpression(QStringLiteral("\\s+")), QStringLiteral(" ")).trimmed();
}

struct Run {
    bool ok = false;
    QString out;
};

Run run(const QString& program, const QStringList& args, int timeoutMs = 180000) {
    QProcess p;
    p.start(program, args);
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.ok = p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    return r;
}

// Words that differ from answer to answer, so a lost paragraph cannot hide behind another.
QString sentence(int step, int n) {
    static const QStringList words = {
        QStringLiteral("bakery"),   QStringLiteral("customers"), QStringLiteral("ovens"),
        QStringLiteral("flour"),    QStringLiteral("delivery"),  QStringLiteral("market"),
        QStringLiteral("price"),    QStringLiteral("morning"),   QStringLiteral("staff"),
        QStringLiteral("premises"), QStringLiteral("loan"),      QStringLiteral("growth"),
    };
    QStringList s;
    for (int i = 0; i < 14; ++i)
        s.append(words[(step * 7 + n * 3 + i * 5) % words.size()]);
    s.first()[0] = s.first()[0].toUpper();
    return QStringLiteral("Step%1 part%2 ").arg(step).arg(n) + s.join(u' ') + u'.';
}

// An answer as the answer box stores it: RTF from the program's writer, in the editor's
// default font with no size given on the runs, some with a bullet list and bold words.
QString answerFor(int step, QStringList& expected) {
    QTextDocument doc;
    QTextCursor c(&doc);
    const int paragraphs = 1 + step % 4;
    for (int p = 0; p < paragraphs; ++p) {
        if (p > 0)
            c.insertBlock();
        const QString s = sentence(step, p);
        expected.append(s);
        c.insertText(s);
    }
    if (step % 3 == 0) {
        QTextListFormat list;
        list.setStyle(QTextListFormat::ListDisc);
        c.insertBlock();
        c.createList(list);
        for (int i = 0; i < 3; ++i) {
            if (i > 0)
                c.insertBlock();
            const QString item = QStringLiteral("Item%1of%2 fresh loaves").arg(i + 1).arg(step);
            expected.append(item);
            QTextCharFormat bold;
            bold.setFontWeight(QFont::Bold);
            c.insertText(item.left(item.indexOf(u' ')), bold);
            c.insertText(item.mid(item.indexOf(u' ')), QTextCharFormat());
        }
    }
    return QString::fromLatin1(quill::rtf::RtfWriter::write(doc));
}

// A PNG of one colour, as an owner pastes a photograph.
QByteArray photo(QSize size, const QColor& colour) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

const QColor kWidePhoto(0xFF, 0x00, 0xFF);
const QColor kTallPhoto(0x00, 0xC0, 0xC0);

// An answer as owners write them: `bytes` of prose, and on some steps what they paste.
QString hardAnswerFor(int step, int bytes, QStringList& expected) {
    QTextDocument doc;
    QTextCursor c(&doc);
    int n = 0;
    while (QString::fromLatin1(quill::rtf::RtfWriter::write(doc)).size() < bytes) {
        if (n > 0)
            c.insertBlock();
        const QString s = sentence(step, n) + u' ' + sentence(step + 50, n + 1);
        ++n;
        c.insertText(s);
        if (n == 1)
            expected.append(s);
    }
    if (step == 20) {
        // A photograph 25 inches wide and one 14 inches tall, at 96 to the inch.
        c.insertBlock();
        QTextImageFormat wide;
        wide.setName(quill::rtf::addPicture(&doc, photo(QSize(2400, 600), kWidePhoto)));
        c.insertImage(wide);
        c.insertBlock();
        QTextImageFormat tall;
        tall.setName(quill::rtf::addPicture(&doc, photo(QSize(300, 1344), kTallPhoto)));
        c.insertImage(tall);
    }
    if (step == 30) {
        // A numbered list with a lettered sub-list between its second and third items.
        QTextListFormat outer;
        outer.setStyle(QTextListFormat::ListDecimal);
        QTextListFormat inner;
        inner.setStyle(QTextListFormat::ListLowerAlpha);
        inner.setIndent(2);
        c.insertBlock();
        QTextList* list = c.createList(outer);
        c.insertText(QStringLiteral("Outerfirst item"));
        c.insertBlock();
        c.insertText(QStringLiteral("Outersecond item"));
        c.insertBlock();
        c.createList(inner);
        c.insertText(QStringLiteral("Innerfirst item"));
        c.insertBlock();
        c.insertText(QStringLiteral("Innersecond item"));
        c.insertBlock();
        list->add(c.block());
        c.insertText(QStringLiteral("Outerthird item"));
    }
    if (step == 41 || step == 43) {
        c.insertBlock();
        const QString s =
            step == 40 ? QStringLiteral("Größere Öfen für Brötchen und Süßwaren, "
                                        "täglich frisch für Bäckereien.")
                       : QStringLiteral("当社は毎朝新鮮なパンを焼き、近くのカフェに届けます。");
        c.insertText(s);
        expected.append(s);
    }
    return QString::fromLatin1(quill::rtf::RtfWriter::write(doc));
}

// Pages of a PDF, as pdftotext reads them.
QStringList pdfPages(const QString& pdf) {
    const Run r =
        run(QStringLiteral("pdftotext"), {QStringLiteral("-layout"), pdf, QStringLiteral("-")});
    QStringList pages = r.out.split(u'\f');
    if (!pages.isEmpty() && pages.last().trimmed().isEmpty())
        pages.removeLast();
    return pages;
}

} // namespace

// One plan, rendered, with what its exports must show.
struct Plan {
    QString name;
    QString db;
    std::unique_ptr<ReportEngine> engine;
    std::unique_ptr<ReportDocument> report;
    QStringList expected;
    QList<QPair<QString, int>> chapters; // heading, our page (1-based)
    QStringList headings;                // every paragraph kept with the next (flattened)
    bool hard = false;
};

class TestReportExports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void ourLayout_data() { planRows(); }
    void ourLayout();
    void rtf_data() { planRows(); }
    void rtf();
    void docx_data() { planRows(); }
    void docx();
    void odt_data() { planRows(); }
    void odt();
    void html();

private:
    void planRows();
    bool makePlan(Plan& plan, const std::function<QString(int, QStringList&)>& answer);
    Plan& plan();
    // Converts an export with LibreOffice and compares it with our own pages.
    void compareWithLibreOffice(const QString& path);
    void checkPictures(const QString& pdf);
    void readByPandoc(const QString& path, const QString& from);
    QString exportAs(ReportExporter::Format format);

    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    Plan plans_[2];
};

void TestReportExports::planRows() {
    QTest::addColumn<int>("which");
    QTest::newRow("filled") << 0;
    QTest::newRow("hard") << 1;
}

Plan& TestReportExports::plan() {
    const int which = QTest::currentDataTag() && QByteArray(QTest::currentDataTag()) == "hard";
    return plans_[which];
}

bool TestReportExports::makePlan(Plan& p, const std::function<QString(int, QStringList&)>& answer) {
    const QString folder = dir_->filePath(p.name);
    QDir().mkpath(folder);
    p.db = makeDatabase(folder);
    if (p.db.isEmpty())
        return false;
    // Overview steps' answers are not printed, so the words expected are those of the
    // questions only.
    QStringList all;
    for (int step = 1; step <= 93; ++step) {
        QStringList words;
        setAnswer(p.db, step, answer(step, words));
        all.append(words);
    }
    if (!exec(p.db, QStringLiteral("UPDATE projections SET ProductOrService = 'Loaves', "
                                   "Customers = 1200, ItemsSold = 40000, SalesAmount = "
                                   "98000.5, Month = 'January' WHERE ID = 1")) ||
        !exec(p.db, QStringLiteral("UPDATE projections SET ProductOrService = 'Cakes', "
                                   "Customers = 300, ItemsSold = 2500, SalesAmount = 31250.25,"
                                   " Month = 'February' WHERE ID = 2")))
        return false;
    p.engine = std::make_unique<ReportEngine>();
    p.engine->setDataFile(0, p.db);
    p.engine->setReportFileName(shippedDefinition());
    for (int16_t i = 0; i < p.engine->subreportCount(); ++i) {
        p.engine->setSubreportToChange(p.engine->subreportName(i));
        p.engine->setDataFile(0, p.db);
    }
    p.report = p.engine->render();
    const QString text = p.report->textDocument()->toPlainText();
    for (const QString& s : all)
        if (text.contains(s))
            p.expected.append(s);
    for (QTextBlock b = p.report->textDocument()->begin(); b.isValid(); b = b.next()) {
        if (b.blockFormat().headingLevel() == 1 && !b.charFormat().anchorNames().isEmpty())
            p.chapters.append({b.text(), p.report->pageOf(b.position()) + 1});
        if (b.blockFormat().boolProperty(quill::rtf::KeepWithNextProperty))
            p.headings.append(flat(b.text()));
    }
    return p.expected.size() > (p.hard ? 60 : 150) && p.chapters.size() == 12;
}

void TestReportExports::initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    folder_ = qEnvironmentVariable("QUILL_KEEP_EXPORTS");
    if (folder_.isEmpty())
        folder_ = dir_->path();
    QDir().mkpath(folder_);
    plans_[0].name = QStringLiteral("filled");
    QVERIFY(makePlan(plans_[0], answerFor));
    plans_[1].name = QStringLiteral("hard");
    plans_[1].hard = true;
    // 2 KB answers, and ten of 20 KB.
    QVERIFY(makePlan(plans_[1], [](int step, QStringList& expected) {
        return hardAnswerFor(step, step >= 50 && step < 60 ? 20480 : 2048, expected);
    }));
}

QString TestReportExports::exportAs(ReportExporter::Format format) {
    const QString path = QDir(folder_).filePath(plan().name + QStringLiteral(".") +
                                                ReportExporter::info(format).suffix);
    const QString error = ReportExporter::write(*plan().report, format, path);
    return error.isEmpty() ? path : QString();
}

void TestReportExports::ourLayout() {
    // No paragraph kept with the next ends one of our pages, and our PDF's pictures fit.
    const ReportDocument& report = *plan().report;
    const QTextDocument& doc = *report.textDocument();
    // The page a paragraph's first line is shown on (a paragraph whose first line does not
    // fit at the foot of a page starts on the next one).
    const auto page = [&](const QTextBlock& b) {
        double y = doc.documentLayout()->blockBoundingRect(b).top();
        if (b.layout() && b.layout()->lineCount() > 0)
            y += b.layout()->lineAt(0).y() + b.layout()->lineAt(0).height() - 1;
        return int(y / report.pageSize().height());
    };
    QStringList alone;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QTextBlock next = b.next();
        if (next.isValid() && b.blockFormat().boolProperty(quill::rtf::KeepWithNextProperty) &&
            page(b) != page(next))
            alone.append(QStringLiteral("%1 (page %2)").arg(b.text()).arg(page(b) + 1));
    }
    QVERIFY2(alone.isEmpty(), qPrintable(alone.join(u'\n')));
    const QString pdf = exportAs(ReportExporter::Format::Pdf);
    QVERIFY(!pdf.isEmpty());
    checkPictures(pdf);
}

// Every picture in a PDF is inside the text area of its A4 page: its shown size, from its
// pixels and the resolution it is drawn at, no larger than the page less its margins.
void TestReportExports::checkPictures(const QString& pdf) {
    if (QStandardPaths::findExecutable(QStringLiteral("pdfimages")).isEmpty())
        QSKIP("pdfimages is not installed");
    const Run r = run(QStringLiteral("pdfimages"), {QStringLiteral("-list"), pdf});
    QVERIFY(r.ok);
    const double textWidth = (210 - 2 * plan().report->marginMm()) / 25.4;
    const double textHeight = (297 - 2 * plan().report->marginMm()) / 25.4;
    int pictures = 0;
    for (const QString& line : r.out.split(u'\n').mid(2)) {
        const QStringList f = line.simplified().split(u' ');
        if (f.size() < 14 || f[2] != QLatin1String("image"))
            continue;
        ++pictures;
        const double inchesWide = f[3].toDouble() / f[12].toDouble();
        const double inchesHigh = f[4].toDouble() / f[13].toDouble();
        QVERIFY2(inchesWide <= textWidth + 0.05 && inchesHigh <= textHeight + 0.05,
                 qPrintable(line));
    }
    QVERIFY(pictures >= (plan().hard ? 3 : 1));
}

void TestReportExports::compareWithLibreOffice(const QString& path) {
    if (QStandardPaths::findExecutable(QStringLiteral("soffice")).isEmpty() ||
        QStandardPaths::findExecutable(QStringLiteral("pdftotext")).isEmpty())
        QSKIP("LibreOffice or pdftotext is not installed");
    const QString out = QDir(folder_).filePath(QStringLiteral("lo"));
    QDir().mkpath(out);
    // A profile of our own: a LibreOffice another program runs must not take the conversion.
    const QString profile =
        QUrl::fromLocalFile(dir_->filePath(QStringLiteral("profile"))).toString();
    const Run r = run(QStringLiteral("soffice"),
                      {QStringLiteral("-env:UserInstallation=") + profile,
                       QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                       QStringLiteral("pdf"), QStringLiteral("--outdir"), out, path});
    QVERIFY2(r.ok, qPrintable(r.out));
    const QString pdf = QDir(out).filePath(QFileInfo(path).completeBaseName() + u'_' +
                                           QFileInfo(path).suffix() + QStringLiteral(".pdf"));
    QFile::remove(pdf);
    QVERIFY(QFile::rename(
        QDir(out).filePath(QFileInfo(path).completeBaseName() + QStringLiteral(".pdf")), pdf));
    const Plan& p = plan();
    const QStringList pages = pdfPages(pdf);
    QVERIFY2(std::abs(pages.size() - p.report->pageCount()) <= 1,
             qPrintable(QStringLiteral("LibreOffice %1 pages, ours %2")
                            .arg(pages.size())
                            .arg(p.report->pageCount())));
    // Each chapter opens a page: the one whose text begins with its heading; in a plan of
    // long answers a word processor may break lines differently, so one page either way.
    QStringList wrong;
    QList<int> theirPages;
    for (const auto& [heading, ours] : p.chapters) {
        int theirs = -1;
        for (int i = 2; i < pages.size() && theirs < 0; ++i)
            if (flat(pages[i]).startsWith(heading))
                theirs = i + 1;
        theirPages.append(theirs);
        if (theirs < 0 || std::abs(theirs - ours) > (p.hard ? 1 : 0))
            wrong.append(
                QStringLiteral("%1: ours %2, LibreOffice %3").arg(heading).arg(ours).arg(theirs));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    // Footers with the page numbers LibreOffice counted; none on the title page.
    QVERIFY2(flat(pages[1]).endsWith(QStringLiteral("page 2 of %1").arg(pages.size())),
             qPrintable(flat(pages[1]).right(80)));
    QVERIFY(!flat(pages[0]).contains(QStringLiteral("page 1 of")));
    // No page ends with a heading: its last line above the footer is not one.
    static const QRegularExpression footer(
        QStringLiteral("Draft Business Plan - page \\d+ of \\d+"));
    QStringList stranded;
    for (int i = 2; i < pages.size(); ++i) {
        QStringList lines = pages[i].split(u'\n');
        while (!lines.isEmpty() &&
               (flat(lines.last()).isEmpty() || footer.match(flat(lines.last())).hasMatch()))
            lines.removeLast();
        if (!lines.isEmpty() && p.headings.contains(flat(lines.last())))
            stranded.append(QStringLiteral("page %1: %2").arg(i + 1).arg(flat(lines.last())));
    }
    QVERIFY2(stranded.isEmpty(), qPrintable(stranded.join(u'\n')));
    checkPictures(pdf);
    // The words, without the footers that break a sentence running over a page.
    QString all = pages.join(u' ');
    all.remove(footer);
    all = flat(all);
    for (const QString& s : p.expected)
        QVERIFY2(all.contains(s), qPrintable(s));
    QVERIFY2(all.contains(QStringLiteral("1,500")), "customers' total");
    QVERIFY2(all.contains(QStringLiteral("129,250.75")), "sales total");
    if (p.hard) // the numbered list goes on after its sub-list
        QVERIFY2(all.contains(QStringLiteral("3. Outerthird item")),
                 qPrintable(all.mid(all.indexOf(QStringLiteral("Outerfirst")) - 10, 200)));
    // The contents' page numbers are LibreOffice's own count: each entry names the page its
    // chapter opens in the word processor.
    for (qsizetype i = 0; i < p.chapters.size(); ++i)
        QVERIFY2(
            flat(pages[1]).contains(p.chapters[i].first + u' ' + QString::number(theirPages[i])),
            qPrintable(p.chapters[i].first +
                       QStringLiteral(" not on page %1: ").arg(theirPages[i]) + flat(pages[1])));
}

void TestReportExports::readByPandoc(const QString& path, const QString& from) {
    if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
        QSKIP("pandoc is not installed");
    const Run r = run(QStringLiteral("pandoc"),
                      {QStringLiteral("-f"), from, QStringLiteral("-t"), QStringLiteral("plain"),
                       QStringLiteral("--wrap=none"), path});
    QVERIFY(r.ok);
    const QString all = flat(r.out);
    for (const QString& s : plan().expected)
        QVERIFY2(all.contains(s), qPrintable(s));
    QVERIFY(all.contains(QStringLiteral("129,250.75")));
    // Every list keeps its first bullet.
    if (!plan().hard)
        QVERIFY2(all.contains(QStringLiteral("- Item1of3 fresh loaves")),
                 qPrintable(all.left(3000)));
}

void TestReportExports::rtf() {
    const QString path = exportAs(ReportExporter::Format::Rtf);
    QVERIFY(!path.isEmpty());
    readByPandoc(path, QStringLiteral("rtf"));
    if (QTest::currentTestFailed())
        return;
    compareWithLibreOffice(path);
}

void TestReportExports::docx() {
    const QString path = exportAs(ReportExporter::Format::Docx);
    QVERIFY(!path.isEmpty());
    readByPandoc(path, QStringLiteral("docx"));
    if (QTest::currentTestFailed())
        return;
    compareWithLibreOffice(path);
}

void TestReportExports::odt() {
    const QString path = exportAs(ReportExporter::Format::Odt);
    QVERIFY(!path.isEmpty());
    readByPandoc(path, QStringLiteral("odt"));
    if (QTest::currentTestFailed())
        return;
    compareWithLibreOffice(path);
}

void TestReportExports::html() {
    const QString chromium = QStandardPaths::findExecutable(QStringLiteral("chromium"));
    if (chromium.isEmpty())
        QSKIP("chromium is not installed");
    // A plan whose second step holds the pasted photographs, near the top of the page.
    Plan p;
    p.name = QStringLiteral("pictures");
    const QString folder = dir_->filePath(p.name);
    QDir().mkpath(folder);
    p.db = makeDatabase(folder);
    QStringList unused;
    setAnswer(p.db, 2, hardAnswerFor(20, 200, unused));
    ReportEngine engine;
    engine.setDataFile(0, p.db);
    engine.setReportFileName(shippedDefinition());
    const auto report = engine.render();
    QVERIFY(report);
    const QString page = QDir(folder_).filePath(QStringLiteral("pictures.html"));
    QCOMPARE(ReportExporter::write(*report, ReportExporter::Format::Html, page), QString());
    QFile file(page);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QString markup = QString::fromUtf8(file.readAll());
    QVERIFY(markup.contains(QStringLiteral("href=\"#chapter1\"")));

    const QString shot = QDir(folder_).filePath(QStringLiteral("pictures.png"));
    QFile::remove(shot);
    const Run r =
        run(chromium,
            {QStringLiteral("--headless"), QStringLiteral("--no-sandbox"),
             QStringLiteral("--disable-gpu"), QStringLiteral("--disable-background-networking"),
             QStringLiteral("--disable-component-update"), QStringLiteral("--disable-sync"),
             QStringLiteral("--no-first-run"),
             QStringLiteral("--user-data-dir=") + dir_->filePath(QStringLiteral("chromium")),
             QStringLiteral("--screenshot=") + shot, QStringLiteral("--window-size=1000,4000"),
             QUrl::fromLocalFile(page).toString()});
    const QImage image(shot);
    QVERIFY2(!image.isNull(), qPrintable(r.out));
    // Both photographs are on the screen, whole: their colours cover what their shown sizes
    // in the page say (a picture the browser cannot find shows as a small broken icon).
    const auto near = [](QRgb a, const QColor& b) {
        return std::abs(qRed(a) - b.red()) <= 8 && std::abs(qGreen(a) - b.green()) <= 8 &&
               std::abs(qBlue(a) - b.blue()) <= 8;
    };
    const QImage rgb = image.convertToFormat(QImage::Format_RGB32);
    int wide = 0, tall = 0;
    for (int y = 0; y < rgb.height(); ++y) {
        const QRgb* line = reinterpret_cast<const QRgb*>(rgb.constScanLine(y));
        for (int x = 0; x < rgb.width(); ++x) {
            wide += near(line[x], kWidePhoto) ? 1 : 0;
            tall += near(line[x], kTallPhoto) ? 1 : 0;
        }
    }
    static const QRegularExpression size(
        QStringLiteral("<img[^>]*width=\"([\\d.]+)\"[^>]*height=\"([\\d.]+)\""));
    QList<double> areas;
    for (auto it = size.globalMatch(markup); it.hasNext();) {
        const auto m = it.next();
        areas.append(m.captured(1).toDouble() * m.captured(2).toDouble());
    }
    QCOMPARE(areas.size(), 2);
    QVERIFY2(wide >= 0.9 * areas[0] && tall >= 0.9 * areas[1],
             qPrintable(QStringLiteral("%1 of %2, %3 of %4 pixels")
                            .arg(wide)
                            .arg(areas[0])
                            .arg(tall)
                            .arg(areas[1])));
}

QTEST_MAIN(TestReportExports)
#include "tst_reportexports.moc"
