// The exports for word processors, opened by LibreOffice and pandoc on a plan with every
// question answered: the pages LibreOffice lays out against ours, the words of every answer,
// the figures' totals, and the first bullet of a list.
//
// Set QUILL_KEEP_EXPORTS to a folder to keep the files (and LibreOffice's PDFs) for a look.

#include "reportdocument.h"
#include "reportengine.h"
#include "reportexporter.h"
#include "reportfixture.h"
#include "rtfwriter.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>

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

class TestReportExports : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void rtf();
    void docx();
    void odt();

private:
    // Converts an export with LibreOffice and compares it with our own pages.
    void compareWithLibreOffice(const QString& path);
    void readByPandoc(const QString& path, const QString& from);
    QString exportAs(ReportExporter::Format format);

    std::unique_ptr<QTemporaryDir> dir_;
    QString folder_;
    QString db_;
    std::unique_ptr<ReportEngine> engine_;
    std::unique_ptr<ReportDocument> report_;
    QStringList expected_;
    QList<QPair<QString, int>> chapters_; // heading, our page (1-based)
};

void TestReportExports::initTestCase() {
    dir_ = std::make_unique<QTemporaryDir>();
    QVERIFY(dir_->isValid());
    folder_ = qEnvironmentVariable("QUILL_KEEP_EXPORTS");
    if (folder_.isEmpty())
        folder_ = dir_->path();
    QDir().mkpath(folder_);
    db_ = makeDatabase(dir_->path());
    QVERIFY(!db_.isEmpty());
    // Every step gets an answer; overview steps' answers are not printed, so the words
    // expected are those of the questions only.
    QStringList all;
    for (int step = 1; step <= 93; ++step) {
        QStringList words;
        setAnswer(db_, step, answerFor(step, words));
        all.append(words);
    }
    QVERIFY(exec(db_, QStringLiteral("UPDATE projections SET ProductOrService = 'Loaves', "
                                     "Customers = 1200, ItemsSold = 40000, SalesAmount = "
                                     "98000.5, Month = 'January' WHERE ID = 1")));
    QVERIFY(exec(db_, QStringLiteral("UPDATE projections SET ProductOrService = 'Cakes', "
                                     "Customers = 300, ItemsSold = 2500, SalesAmount = 31250.25,"
                                     " Month = 'February' WHERE ID = 2")));
    engine_ = std::make_unique<ReportEngine>();
    engine_->setDataFile(0, db_);
    engine_->setReportFileName(shippedDefinition());
    for (int16_t i = 0; i < engine_->subreportCount(); ++i) {
        engine_->setSubreportToChange(engine_->subreportName(i));
        engine_->setDataFile(0, db_);
    }
    report_ = engine_->render();
    const QString text = report_->textDocument()->toPlainText();
    for (const QString& s : all)
        if (text.contains(s))
            expected_.append(s);
    QVERIFY(expected_.size() > 150);
    for (QTextBlock b = report_->textDocument()->begin(); b.isValid(); b = b.next())
        if (b.blockFormat().headingLevel() == 1 && !b.charFormat().anchorNames().isEmpty())
            chapters_.append({b.text(), report_->pageOf(b.position()) + 1});
    QCOMPARE(chapters_.size(), 12);
    // Our own PDF beside the exports, to compare by eye.
    QVERIFY(!exportAs(ReportExporter::Format::Pdf).isEmpty());
}

QString TestReportExports::exportAs(ReportExporter::Format format) {
    const QString path =
        QDir(folder_).filePath(QStringLiteral("plan.") + ReportExporter::info(format).suffix);
    const QString error = ReportExporter::write(*report_, format, path);
    return error.isEmpty() ? path : QString();
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
    const QStringList pages = pdfPages(pdf);
    QVERIFY2(std::abs(pages.size() - report_->pageCount()) <= 1,
             qPrintable(QStringLiteral("LibreOffice %1 pages, ours %2")
                            .arg(pages.size())
                            .arg(report_->pageCount())));
    // Each chapter opens a page: the one whose text begins with its heading.
    QStringList wrong;
    for (const auto& [heading, ours] : chapters_) {
        int theirs = -1;
        for (int p = 2; p < pages.size() && theirs < 0; ++p)
            if (flat(pages[p]).startsWith(heading))
                theirs = p + 1;
        if (theirs != ours)
            wrong.append(
                QStringLiteral("%1: ours %2, LibreOffice %3").arg(heading).arg(ours).arg(theirs));
    }
    QVERIFY2(wrong.isEmpty(), qPrintable(wrong.join(u'\n')));
    // Footers with the page numbers LibreOffice counted; none on the title page.
    QVERIFY2(flat(pages[1]).endsWith(QStringLiteral("page 2 of %1").arg(pages.size())),
             qPrintable(flat(pages[1]).right(80)));
    QVERIFY(!flat(pages[0]).contains(QStringLiteral("page 1 of")));
    // The words, without the footers that break a sentence running over a page.
    QString all = pages.join(u' ');
    all.remove(QRegularExpression(QStringLiteral("Draft Business Plan - page \\d+ of \\d+")));
    all = flat(all);
    for (const QString& s : expected_)
        QVERIFY2(all.contains(s), qPrintable(s));
    QVERIFY2(all.contains(QStringLiteral("1,500")), "customers' total");
    QVERIFY2(all.contains(QStringLiteral("129,250.75")), "sales total");
    // The contents' page numbers are LibreOffice's own count, equal to ours.
    for (const auto& [heading, ours] : chapters_)
        QVERIFY2(flat(pages[1]).contains(heading + u' ' + QString::number(ours)),
                 qPrintable(heading));
}

void TestReportExports::readByPandoc(const QString& path, const QString& from) {
    if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
        QSKIP("pandoc is not installed");
    const Run r = run(QStringLiteral("pandoc"),
                      {QStringLiteral("-f"), from, QStringLiteral("-t"), QStringLiteral("plain"),
                       QStringLiteral("--wrap=none"), path});
    QVERIFY(r.ok);
    const QString all = flat(r.out);
    for (const QString& s : expected_)
        QVERIFY2(all.contains(s), qPrintable(s));
    QVERIFY(all.contains(QStringLiteral("129,250.75")));
    // Every list keeps its first bullet.
    QVERIFY2(all.contains(QStringLiteral("- Item1of3 fresh loaves")), qPrintable(all.left(3000)));
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

QTEST_MAIN(TestReportExports)
#include "tst_reportexports.moc"
