// The writer's output as independent readers see it: pandoc and unrtf (both from
// Debian, installed by scripts/deps.sh) must find every paragraph's text, in order;
// LibreOffice must show the pictures (checked in the PDF it converts the file to).
#include <QtTest>

#include "rtftestsupport.h"
#include "rtftextproperties.h"

#include <QProcess>
#include <QStandardPaths>
#include <QStringDecoder>
#include <QTemporaryDir>
#include <QTextCursor>
#include <QTextList>
#include <QTextTable>

using namespace quill::rtf;
using namespace quill::rtf::testing;

namespace {

// White space of any kind (tabs, line breaks, no-break spaces) as one space.
QString normalized(const QString& text) {
    QString out;
    bool space = false;
    for (const QChar c : text) {
        if (c.isSpace() || c == QChar::LineSeparator) {
            space = true;
            continue;
        }
        if (space && !out.isEmpty())
            out += u' ';
        space = false;
        out += c;
    }
    return out;
}

// Runs an RTF reader on the file; its standard output, or a null string.
QByteArray runReader(const QString& program, const QStringList& arguments) {
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(60000) || process.exitStatus() != QProcess::NormalExit ||
        process.exitCode() != 0) {
        process.kill();
        qWarning() << program << process.readAllStandardError();
        return {};
    }
    return process.readAllStandardOutput();
}

// Every non-empty paragraph of doc, in document order, must be in output.
void verifyParagraphsIn(const QTextDocument& doc, const QString& output) {
    const QString haystack = normalized(output);
    qsizetype from = 0;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        const QString needle = normalized(b.text());
        if (needle.isEmpty())
            continue;
        const qsizetype at = haystack.indexOf(needle, from);
        QVERIFY2(at >= 0, qPrintable(QStringLiteral("\"%1\" is missing after position %2 of:\n%3")
                                         .arg(needle)
                                         .arg(from)
                                         .arg(haystack)));
        from = at + needle.size();
    }
}

// A document with what answers hold: formatting, lists, a table with merged
// cells, a link, RTF's own special characters; 1252 text only when latin1Only.
std::unique_ptr<QTextDocument> sampleDocument(bool latin1Only) {
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor c(doc.get());
    QTextCharFormat heading;
    heading.setFontWeight(QFont::Bold);
    heading.setFontPointSize(16);
    c.insertText("Market analysis", heading);
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());

    QTextCharFormat bold, italic, underline, red, serif;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    underline.setFontUnderline(true);
    red.setForeground(Qt::red);
    serif.setFontFamilies({"DejaVu Serif"});
    c.insertText("Our customers are ");
    c.insertText("small", bold);
    c.insertText(" caf\u00e9s in the ");
    c.insertText("old town", italic);
    c.insertText(", with ");
    c.insertText("{braces}", underline);
    c.insertText(" and a \\backslash in ");
    c.insertText("red serif", red);
    c.insertText(" text.", serif);

    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    c.insertBlock(centred, QTextCharFormat());
    c.insertText(latin1Only ? "Pr\u00fcfung \u00e0 la carte, na\u00efve"
                            : "Prices in \u20ac, \u201cquoted\u201d \u2014 \u0395\u03bb\u03bb\u03b7"
                              "\u03bd\u03b9\u03ba\u03ac \u65e5\u672c\u8a9e");

    c.insertBlock(QTextBlockFormat());
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    QTextList* list = c.createList(bullets);
    c.insertText("First point");
    c.insertBlock();
    c.insertText("Second point");
    c.insertBlock(QTextBlockFormat());
    QTextListFormat numbers;
    numbers.setStyle(QTextListFormat::ListDecimal);
    numbers.setIndent(2);
    c.createList(numbers);
    c.insertText("Nested numbered");
    c.insertBlock();
    list->add(c.block());
    c.insertText("Third point");

    c.insertBlock(QTextBlockFormat());
    c.insertText("Figures:");
    c.insertBlock(QTextBlockFormat());
    QTextTable* table = c.insertTable(3, 3);
    const char* cells[3][3] = {{"Year", "Revenue", "Costs"},
                               {"2024", "120000", "90000"},
                               {"2025", "250000 in total", nullptr}};
    table->mergeCells(2, 1, 1, 2);
    for (int r = 0; r < 3; ++r) {
        for (int col = 0; col < 3; ++col) {
            if (cells[r][col])
                table->cellAt(r, col).firstCursorPosition().insertText(cells[r][col]);
        }
    }
    c.setPosition(table->lastPosition() + 1);
    QTextCharFormat link;
    link.setAnchor(true);
    link.setAnchorHref("https://example.org/plan");
    c.insertText("See ");
    c.insertText("our site", link);
    c.insertText(" for more.", QTextCharFormat());
    return doc;
}

// Text around a PNG drawn larger than its pixels and a JPEG at its own size.
std::unique_ptr<QTextDocument> documentWithPictures() {
    auto doc = std::make_unique<QTextDocument>();
    QTextCursor c(doc.get());
    c.insertText("The shop front, as it is today:");
    c.insertBlock();
    QTextImageFormat front;
    front.setName(addPicture(doc.get(), encoded(samplePicture(64, 32), "PNG")));
    front.setWidth(128);
    front.setHeight(64);
    c.insertImage(front);
    c.insertBlock();
    c.insertText("And the plan for the new one ");
    QTextImageFormat plan;
    plan.setName(addPicture(doc.get(), encoded(samplePicture(48, 48), "JPEG")));
    c.insertImage(plan);
    c.insertText(" drawn by hand.");
    c.insertBlock();
    c.insertText("Both are ours.");
    return doc;
}

QString writeSample(const QTemporaryDir& dir, const QTextDocument& doc) {
    const QString path = dir.filePath("sample.rtf");
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return {};
    file.write(RtfWriter::write(doc));
    return path;
}

} // namespace

class TestRtfInterop : public QObject {
    Q_OBJECT

private slots:
    void pandocReadsTheText();
    void unrtfReadsTheText();
    void pandocKeepsTheTextAroundPictures();
    void libreOfficeShowsThePictures();
    void pageSetupFieldsAndTheFirstBullet();
};

void TestRtfInterop::pandocReadsTheText() {
    const QString pandoc = QStandardPaths::findExecutable("pandoc");
    QVERIFY2(!pandoc.isEmpty(), "pandoc is not installed (scripts/deps.sh installs it)");
    QTemporaryDir dir;
    auto doc = sampleDocument(false);
    const QString path = writeSample(dir, *doc);
    const QByteArray out =
        runReader(pandoc, {"-f", "rtf", "-t", "plain", "--wrap=none", "--columns=1000", path});
    QVERIFY(!out.isEmpty());
    verifyParagraphsIn(*doc, QString::fromUtf8(out));
}

void TestRtfInterop::unrtfReadsTheText() {
    // unrtf writes text in Windows-1252 and shows only the fallback of \uN
    // characters, so this document keeps to Latin-1 letters.
    const QString unrtf = QStandardPaths::findExecutable("unrtf");
    QVERIFY2(!unrtf.isEmpty(), "unrtf is not installed (scripts/deps.sh installs it)");
    QTemporaryDir dir;
    auto doc = sampleDocument(true);
    const QString path = writeSample(dir, *doc);
    const QByteArray out = runReader(unrtf, {"--text", "--nopict", path});
    QVERIFY(!out.isEmpty());
    QString text = QStringDecoder("windows-1252").decode(out);
    // Its banner lines are not the document's.
    QStringList lines = text.split(u'\n');
    lines.removeIf([](const QString& line) { return line.startsWith(u'#'); });
    verifyParagraphsIn(*doc, lines.join(u'\n'));
}

void TestRtfInterop::pandocKeepsTheTextAroundPictures() {
    // pandoc reads pictures only outside \shppict: it finds each in its \nonshppict copy,
    // once, and keeps the text around it.
    const QString pandoc = QStandardPaths::findExecutable("pandoc");
    QVERIFY2(!pandoc.isEmpty(), "pandoc is not installed (scripts/deps.sh installs it)");
    QTemporaryDir dir;
    auto doc = documentWithPictures();
    const QString path = writeSample(dir, *doc);
    const QByteArray out =
        runReader(pandoc, {"-f", "rtf", "-t", "plain", "--wrap=none", "--columns=1000", path});
    QVERIFY(!out.isEmpty());
    QTextDocument text;
    text.setPlainText(
        doc->toPlainText().replace(QChar::ObjectReplacementCharacter, QStringLiteral("[image]")));
    verifyParagraphsIn(text, QString::fromUtf8(out));
    QCOMPARE(QString::fromUtf8(out).count(QStringLiteral("[image]")),
             doc->toPlainText().count(QChar::ObjectReplacementCharacter));
}

void TestRtfInterop::libreOfficeShowsThePictures() {
    const QString soffice = QStandardPaths::findExecutable("soffice");
    QVERIFY2(!soffice.isEmpty(),
             "LibreOffice is not installed (scripts/deps.sh installs libreoffice-writer-nogui)");
    const QString pdfimages = QStandardPaths::findExecutable("pdfimages");
    QVERIFY2(!pdfimages.isEmpty(), "pdfimages is not installed (scripts/deps.sh: poppler-utils)");
    QTemporaryDir dir;
    auto doc = documentWithPictures();
    const QString path = writeSample(dir, *doc);
    // A profile of its own, so a LibreOffice already running is not disturbed.
    const QString profile = QUrl::fromLocalFile(dir.filePath("profile")).toString();
    runReader(soffice, {"-env:UserInstallation=" + profile, "--headless", "--convert-to", "pdf",
                        "--outdir", dir.path(), path});
    const QString pdf = dir.filePath("sample.pdf");
    QVERIFY2(QFile::exists(pdf), "LibreOffice made no PDF");

    // pdfimages -list: page num type width height ... x-ppi y-ppi ..., a line per
    // picture. The resolution says the size it is drawn at: 64 pixels over 128
    // at 96 DPI is 48 pixels an inch.
    const QString list = QString::fromUtf8(runReader(pdfimages, {"-list", pdf}));
    QStringList pictures;
    for (const QString& line : list.split(u'\n').mid(2)) {
        const QStringList fields = line.simplified().split(u' ');
        if (fields.size() > 13 && fields[2] == "image")
            pictures << fields[3] + "x" + fields[4] + "@" + fields[12] + "," + fields[13];
    }
    QCOMPARE(pictures, QStringList({"64x32@48,48", "48x48@96,96"}));

    const QString pdftotext = QStandardPaths::findExecutable("pdftotext");
    if (!pdftotext.isEmpty()) {
        const QByteArray text = runReader(pdftotext, {"-raw", pdf, "-"});
        QTextDocument expected;
        expected.setPlainText(doc->toPlainText().remove(QChar::ObjectReplacementCharacter));
        verifyParagraphsIn(expected, QString::fromUtf8(text));
    }
}

void TestRtfInterop::pageSetupFieldsAndTheFirstBullet() {
    auto doc = sampleDocument(false);
    // A bookmark on the heading and a page reference to it, as a report's contents has.
    QTextCursor heading(doc.get());
    heading.movePosition(QTextCursor::EndOfBlock, QTextCursor::KeepAnchor);
    QTextCharFormat mark;
    mark.setAnchor(true);
    mark.setAnchorNames({QStringLiteral("market")});
    heading.mergeCharFormat(mark);
    QTextCursor end(doc.get());
    end.movePosition(QTextCursor::End);
    end.insertBlock(QTextBlockFormat(), QTextCharFormat());
    end.insertText(QStringLiteral("Market analysis, page "));
    QTextCharFormat reference;
    reference.setProperty(PageReferenceProperty, QStringLiteral("market"));
    end.insertText(QStringLiteral("1"), reference);
    RtfWriter::Page page;
    page.footer = QStringLiteral("Plan - page {page} of {pages}");
    page.footerOnFirstPage = false;
    const QByteArray rtf = RtfWriter::write(*doc, page);
    for (const char* expected :
         {"\\paperw11906", "\\paperh16838", "\\margl1134", "\\titlepg", "{\\footer", "{\\footerf",
          " PAGE ", " NUMPAGES ", "{\\*\\bkmkstart market}", "{\\*\\bkmkend market}",
          " PAGEREF market \\\\h "})
        QVERIFY2(rtf.contains(expected), expected);
    // Runs always name their font and size: nothing needs \plain to get back to them.
    QVERIFY(!rtf.contains("\\plain"));
    const QString pandoc = QStandardPaths::findExecutable("pandoc");
    QVERIFY2(!pandoc.isEmpty(), "pandoc is not installed (scripts/deps.sh installs it)");
    QTemporaryDir dir;
    const QString path = dir.filePath("paged.rtf");
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(rtf);
    file.close();
    const QString out = normalized(QString::fromUtf8(
        runReader(pandoc, {"-f", "rtf", "-t", "plain", "--wrap=none", "--columns=1000", path})));
    QVERIFY2(out.contains("- First point - Second point"), qPrintable(out));
    // pandoc keeps the result of HYPERLINK fields only: a page reference is left out there.
    QVERIFY2(out.contains("Market analysis, page"), qPrintable(out));
    // Our own reader takes the fields' results as text and the footer not at all.
    QTextDocument back;
    QVERIFY(RtfReader::read(rtf, &back));
    verifyParagraphsIn(*doc, back.toPlainText());
    QVERIFY(!back.toPlainText().contains("Plan - page"));
}

QTEST_MAIN(TestRtfInterop)
#include "tst_rtfinterop.moc"
