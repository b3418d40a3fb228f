// The office-format writers on a small document that holds what answers may hold: a picture,
// a bullet list, a shaded table with merged cells, a link, bold and italic. The packages are
// opened with libzip, every XML part must be well formed, and pandoc must find the text, the
// list and the picture.

#include "docxwriter.h"
#include "exportpage.h"
#include "odtwriter.h"
#include "rtftextproperties.h"
#include "zipreader.h"

#include <QDir>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTest>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextList>
#include <QTextTable>
#include <QXmlStreamReader>

namespace {

using ZipReader::entry;
using ZipReader::unzip;

std::unique_ptr<QTextDocument> sample() {
    auto doc = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("DejaVu Serif"));
    font.setPointSizeF(11);
    doc->setDefaultFont(font);
    QTextCursor c(doc.get());
    QTextBlockFormat heading;
    heading.setHeadingLevel(1);
    heading.setProperty(quill::rtf::KeepWithNextProperty, true);
    QTextCharFormat title;
    title.setFontPointSize(18);
    title.setFontWeight(QFont::Bold);
    title.setAnchor(true);
    title.setAnchorNames({QStringLiteral("chapter1")});
    c.setBlockFormat(heading);
    c.insertText(QStringLiteral("1. The bakery"), title);
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextCharFormat bold, italic, link;
    bold.setFontWeight(QFont::Bold);
    italic.setFontItalic(true);
    link.setAnchor(true);
    link.setAnchorHref(QStringLiteral("https://example.org/bakery"));
    c.insertText(QStringLiteral("We bake "), QTextCharFormat());
    c.insertText(QStringLiteral("sourdough"), bold);
    c.insertText(QStringLiteral(" for "), QTextCharFormat());
    c.insertText(QStringLiteral("cafes"), italic);
    c.insertText(QStringLiteral(", see "), QTextCharFormat());
    c.insertText(QStringLiteral("our site"), link);
    c.insertText(QStringLiteral(". Page "), QTextCharFormat());
    QTextCharFormat reference;
    reference.setProperty(quill::rtf::PageReferenceProperty, QStringLiteral("chapter1"));
    c.insertText(QStringLiteral("1"), reference);
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextListFormat bullets;
    bullets.setStyle(QTextListFormat::ListDisc);
    c.createList(bullets);
    c.insertText(QStringLiteral("Rye loaves"));
    c.insertBlock();
    c.insertText(QStringLiteral("Spelt rolls"));
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    c.setBlockFormat(QTextBlockFormat());
    QImage image(40, 20, QImage::Format_RGB32);
    image.fill(QColor(0x80, 0x40, 0x00));
    doc->addResource(QTextDocument::ImageResource, QUrl(QStringLiteral("oven.png")), image);
    QTextImageFormat picture;
    picture.setName(QStringLiteral("oven.png"));
    c.insertImage(picture);
    c.insertBlock(QTextBlockFormat(), QTextCharFormat());
    QTextTableFormat tf;
    tf.setBorder(0.5);
    tf.setHeaderRowCount(1);
    QTextTable* table = c.insertTable(3, 2, tf);
    QTextTableCell head = table->cellAt(0, 0);
    QTextCharFormat shaded = head.format();
    shaded.setBackground(QColor(0xFF, 0xE0, 0xC0));
    head.setFormat(shaded);
    head.firstCursorPosition().insertText(QStringLiteral("Product"));
    table->cellAt(0, 1).firstCursorPosition().insertText(QStringLiteral("Sales"));
    table->cellAt(1, 0).firstCursorPosition().insertText(QStringLiteral("Loaves"));
    table->cellAt(1, 1).firstCursorPosition().insertText(QStringLiteral("1,000.50"));
    table->mergeCells(2, 0, 1, 2);
    table->cellAt(2, 0).firstCursorPosition().insertText(QStringLiteral("Merged total row"));
    return doc;
}

ExportPage page() {
    ExportPage p;
    p.footer = QStringLiteral("Plan - page {page} of {pages}");
    p.title = QStringLiteral("Plan");
    return p;
}

// Every XML part must parse; returns the entries' names in order.
QStringList checkParts(const QList<QPair<QString, QByteArray>>& entries) {
    QStringList names;
    for (const auto& [name, data] : entries) {
        names.append(name);
        if (!name.endsWith(QStringLiteral(".xml")) && !name.endsWith(QStringLiteral(".rels")))
            continue;
        QXmlStreamReader xml(data);
        while (!xml.atEnd())
            xml.readNext();
        if (xml.hasError())
            qWarning("%s: %s", qPrintable(name), qPrintable(xml.errorString()));
        if (xml.hasError())
            return {};
    }
    return names;
}

QString writeFile(const QTemporaryDir& dir, const QString& name, const QByteArray& bytes) {
    const QString keep = qEnvironmentVariable("QUILL_KEEP_EXPORTS");
    const QString path = QDir(keep.isEmpty() ? dir.path() : keep).filePath(name);
    QFile f(path);
    if (!f.open(QIODevice::WriteOnly))
        return {};
    f.write(bytes);
    return path;
}

QString pandoc(const QString& path, const QString& from, const QString& to) {
    QProcess p;
    p.start(QStringLiteral("pandoc"), {QStringLiteral("-f"), from, QStringLiteral("-t"), to,
                                       QStringLiteral("--wrap=none"), path});
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        return {};
    return QString::fromUtf8(p.readAllStandardOutput());
}

} // namespace

class TestOfficeWriters : public QObject {
    Q_OBJECT
private slots:
    void docxPackage();
    void odtPackage();
};

void TestOfficeWriters::docxPackage() {
    const auto doc = sample();
    QString error;
    const QByteArray bytes = DocxWriter::write(*doc, page(), &error);
    QVERIFY2(!bytes.isEmpty(), qPrintable(error));
    const auto entries = unzip(bytes);
    const QStringList names = checkParts(entries);
    QVERIFY(!names.isEmpty());
    for (const char* part : {"[Content_Types].xml", "_rels/.rels", "word/document.xml",
                             "word/styles.xml", "word/numbering.xml", "word/footer1.xml",
                             "word/_rels/document.xml.rels", "word/media/image1.png"})
        QVERIFY2(names.contains(QLatin1String(part)), part);
    QImage png;
    QVERIFY(png.loadFromData(entry(entries, QStringLiteral("word/media/image1.png"))));
    QCOMPARE(png.size(), QSize(40, 20));
    const QByteArray document = entry(entries, QStringLiteral("word/document.xml"));
    for (const char* expected :
         {"<w:pStyle w:val=\"Heading1\"/>", "<w:keepNext/>", "w:name=\"chapter1\"",
          " PAGEREF chapter1 \\h ", "<w:numId w:val=\"1\"/>", "w:fill=\"FFE0C0\"",
          "<w:gridSpan w:val=\"2\"/>", "<w:tblHeader/>", "<w:b/>", "<w:i/>", "r:embed=\"rId",
          "<w:pgSz w:w=\"11906\" w:h=\"16838\"/>", "<w:titlePg/>"})
        QVERIFY2(document.contains(expected), expected);
    // A table's properties in the schema's order: Word refuses a file that breaks it.
    QVERIFY(document.indexOf("<w:tblLayout") >= 0 &&
            document.indexOf("<w:tblLayout") < document.indexOf("<w:tblCellMar"));
    QVERIFY(entry(entries, QStringLiteral("word/footer1.xml")).contains(" NUMPAGES "));
    QVERIFY(entry(entries, QStringLiteral("word/_rels/document.xml.rels"))
                .contains("Target=\"https://example.org/bakery\" TargetMode=\"External\""));

    if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
        QSKIP("pandoc is not installed");
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("sample.docx"), bytes);
    QVERIFY(!path.isEmpty());
    const QString md = pandoc(path, QStringLiteral("docx"), QStringLiteral("markdown"));
    for (const char* expected :
         {"# **1. The bakery**", "We bake **sourdough** for *cafes*",
          "[our site](https://example.org/bakery)", "-   Rye loaves", "-   Spelt rolls",
          "![](media/image1.png)", "Merged total row", "1,000.50"})
        QVERIFY2(md.contains(QLatin1String(expected)),
                 qPrintable(QLatin1String(expected) + QLatin1Char('\n') + md));
}

void TestOfficeWriters::odtPackage() {
    const auto doc = sample();
    ExportPage first = page();
    first.footerOnFirstPage = true;
    QString error;
    const QByteArray bytes = OdtWriter::write(*doc, first, &error);
    QVERIFY2(!bytes.isEmpty(), qPrintable(error));
    // The type comes first, stored, where a reader looks for it.
    QCOMPARE(bytes.mid(30, 47), QByteArray("mimetypeapplication/vnd.oasis.opendocument.text"));
    const auto entries = unzip(bytes);
    const QStringList names = checkParts(entries);
    QCOMPARE(names.value(0), QStringLiteral("mimetype"));
    for (const char* part :
         {"META-INF/manifest.xml", "styles.xml", "content.xml", "meta.xml", "Pictures/image1.png"})
        QVERIFY2(names.contains(QLatin1String(part)), part);
    QVERIFY(
        entry(entries, QStringLiteral("META-INF/manifest.xml")).contains("Pictures/image1.png"));
    const QByteArray styles = entry(entries, QStringLiteral("styles.xml"));
    for (const char* expected : {"fo:page-width=\"210.01mm\"", "fo:page-height=\"297.00mm\"",
                                 "<text:page-number text:select-page=\"current\">",
                                 "<text:page-count>", "style:font-name=\"DejaVu Serif\""})
        QVERIFY2(styles.contains(expected), expected);
    const QByteArray content = entry(entries, QStringLiteral("content.xml"));
    for (const char* expected :
         {"<text:h text:style-name=", "text:outline-level=\"1\"",
          "<text:bookmark-start text:name=\"chapter1\"/>",
          "text:reference-format=\"page\" text:ref-name=\"chapter1\"", "<text:list ",
          "fo:background-color=\"#ffe0c0\"", "table:number-columns-spanned=\"2\"",
          "<table:covered-table-cell/>", "xlink:href=\"Pictures/image1.png\"",
          "fo:keep-with-next=\"always\"", "fo:font-size=\"11.00pt\""})
        QVERIFY2(content.contains(expected), expected);

    if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
        QSKIP("pandoc is not installed");
    QTemporaryDir dir;
    const QString path = writeFile(dir, QStringLiteral("sample.odt"), bytes);
    QVERIFY(!path.isEmpty());
    const QString md = pandoc(path, QStringLiteral("odt"), QStringLiteral("markdown"));
    for (const char* expected :
         {"1. The bakery", "We bake **sourdough** for *cafes*",
          "[our site](https://example.org/bakery)", "-   Rye loaves", "-   Spelt rolls",
          "Pictures/image1.png", "Merged total row", "1,000.50"})
        QVERIFY2(md.contains(QLatin1String(expected)),
                 qPrintable(QLatin1String(expected) + QLatin1Char('\n') + md));
}

QTEST_MAIN(TestOfficeWriters)
#include "tst_officewriters.moc"
