// The RTF, DOCX and ODT writers on the same documents must say the same things: each word's
// size, the links, the bookmarks, the pictures' sizes on the page and which pictures are
// links. Each file is read back by what its format says (the RTF through our reader, the
// packages' XML directly), never through the writers' own code.

#include "docxwriter.h"
#include "exportpage.h"
#include "odtwriter.h"
#include "rtfreader.h"
#include "rtftextproperties.h"
#include "rtfwriter.h"
#include "zipreader.h"

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
#include <QTextDocumentFragment>
#include <QXmlStreamReader>

#include <algorithm>
#include <functional>
#include <memory>

namespace {

using ZipReader::unzipEntry;

// What a file says, in units every format can express.
struct Facts {
    QMap<QString, double> wordPoints; // each word of the text and its size
    QSet<QString> links;
    QSet<QString> bookmarks;
    QList<QSizeF> pictures; // on the page, in twips
    int linkedPictures = 0;
    int pageBreaks = 0; // paragraphs that open a page
    int keptWithNext = 0;

    void words(const QString& text, double points) {
        for (const QString& w :
             text.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts))
            wordPoints.insert(w, points);
    }
    void picture(double twipsWide, double twipsHigh, bool linked) {
        pictures.append(QSizeF(twipsWide, twipsHigh));
        linkedPictures += linked ? 1 : 0;
    }
};

Facts rtfFacts(const QByteArray& rtf) {
    Facts facts;
    QTextDocument doc;
    if (!quill::rtf::RtfReader::read(rtf, &doc))
        return facts;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat f = it.fragment().charFormat();
            if (!f.isImageFormat())
                facts.words(it.fragment().text(), f.fontPointSize());
        }
    }
    // Links, and pictures with their sizes on the page and whether they are inside a link,
    // from the file's own words: a group scan that knows which fields are HYPERLINKs.
    const QString text = QString::fromLatin1(rtf);
    static const QRegularExpression target(QStringLiteral("HYPERLINK \"([^\"]*)\""));
    static const QRegularExpression goal(
        QStringLiteral("^\\\\pict[^ \\n]*?\\\\picwgoal(\\d+)\\\\pichgoal(\\d+)"));
    static const QRegularExpression bookmark(QStringLiteral("\\{\\\\\\*\\\\bkmkstart ([^}]*)\\}"));
    for (auto it = bookmark.globalMatch(text); it.hasNext();)
        facts.bookmarks.insert(it.next().captured(1));
    static const QRegularExpression pagebb(QStringLiteral("\\\\pagebb(?![a-z])"));
    static const QRegularExpression keepn(QStringLiteral("\\\\keepn(?![a-z])"));
    facts.pageBreaks = int(text.count(pagebb));
    facts.keptWithNext = int(text.count(keepn));
    QList<bool> linkField{false}; // for each open group: inside a HYPERLINK field
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' && i + 1 < text.size() && QStringLiteral("{}\\").contains(text[i + 1])) {
            ++i;
        } else if (c == u'{') {
            linkField.append(linkField.last());
            if (QStringView(text).mid(i, 11) == QLatin1String("{\\*\\shppict")) {
                const auto m = goal.match(QStringView(text).mid(i + 12));
                facts.picture(m.captured(1).toDouble(), m.captured(2).toDouble(), linkField.last());
            }
        } else if (c == u'}') {
            if (linkField.size() > 1)
                linkField.removeLast();
        } else if (QStringView(text).mid(i, 10) == QLatin1String("HYPERLINK ")) {
            facts.links.insert(target.match(text, i).captured(1));
            // The field's group is three levels up: {\field{\*\fldinst{ HYPERLINK ...
            if (linkField.size() > 3)
                for (qsizetype k = linkField.size() - 3; k < linkField.size(); ++k)
                    linkField[k] = true;
        }
    }
    return facts;
}

Facts docxFacts(const QByteArray& package) {
    Facts facts;
    QHash<QString, QString> targets;
    QXmlStreamReader rels(unzipEntry(package, "word/_rels/document.xml.rels"));
    while (!rels.atEnd()) {
        rels.readNext();
        if (rels.isStartElement() && rels.name() == QLatin1String("Relationship"))
            targets.insert(rels.attributes().value(QLatin1String("Id")).toString(),
                           rels.attributes().value(QLatin1String("Target")).toString());
    }
    const QByteArray document = unzipEntry(package, "word/document.xml");
    facts.pageBreaks = int(document.count("<w:pageBreakBefore"));
    facts.keptWithNext = int(document.count("<w:keepNext"));
    QXmlStreamReader x(document);
    double points = 0;
    int linkDepth = 0;
    bool inRunProps = false;
    while (!x.atEnd()) {
        x.readNext();
        const QStringView name = x.name();
        if (x.isStartElement()) {
            const QXmlStreamAttributes a = x.attributes();
            if (name == QLatin1String("hyperlink")) {
                ++linkDepth;
                const QString anchor = a.value(QLatin1String("w:anchor")).toString();
                facts.links.insert(anchor.isEmpty()
                                       ? targets.value(a.value(QLatin1String("r:id")).toString())
                                       : u'#' + anchor);
            } else if (name == QLatin1String("bookmarkStart")) {
                facts.bookmarks.insert(a.value(QLatin1String("w:name")).toString());
            } else if (name == QLatin1String("r")) {
                points = 0;
            } else if (name == QLatin1String("rPr")) {
                inRunProps = true;
            } else if (name == QLatin1String("sz") && inRunProps) {
                points = a.value(QLatin1String("w:val")).toDouble() / 2;
            } else if (name == QLatin1String("t")) {
                facts.words(x.readElementText(), points);
            } else if (name == QLatin1String("extent")) {
                facts.picture(a.value(QLatin1String("cx")).toDouble() / 635,
                              a.value(QLatin1String("cy")).toDouble() / 635, linkDepth > 0);
            }
        } else if (x.isEndElement()) {
            if (name == QLatin1String("hyperlink"))
                --linkDepth;
            else if (name == QLatin1String("rPr"))
                inRunProps = false;
        }
    }
    return facts;
}

double odfTwips(QStringView length) {
    if (length.endsWith(QLatin1String("mm")))
        return length.chopped(2).toDouble() / 25.4 * 1440;
    if (length.endsWith(QLatin1String("pt")))
        return length.chopped(2).toDouble() * 20;
    return length.chopped(2).toDouble() * 1440; // "in"
}

Facts odtFacts(const QByteArray& package) {
    Facts facts;
    QHash<QString, double> stylePoints;
    QHash<QString, double> asianPoints;
    QSet<QString> breakStyles, keepStyles;
    QXmlStreamReader x(unzipEntry(package, "content.xml"));
    QString style;
    QList<double> spanPoints{0};
    QList<double> spanAsian{0};
    int linkDepth = 0;
    while (!x.atEnd()) {
        x.readNext();
        const QStringView name = x.name();
        const QXmlStreamAttributes a = x.attributes();
        if (x.isStartElement()) {
            if (name == QLatin1String("style")) {
                style = a.value(QLatin1String("style:name")).toString();
            } else if (name == QLatin1String("paragraph-properties")) {
                if (a.value(QLatin1String("fo:break-before")) == QLatin1String("page"))
                    breakStyles.insert(style);
                if (a.value(QLatin1String("fo:keep-with-next")) == QLatin1String("always"))
                    keepStyles.insert(style);
            } else if (name == QLatin1String("text-properties") &&
                       a.hasAttribute(QLatin1String("fo:font-size"))) {
                stylePoints.insert(style, odfTwips(a.value(QLatin1String("fo:font-size"))) / 20);
                // Japanese text is drawn at the Asian size; none given is the default 12 pt.
                const QStringView asian = a.value(QLatin1String("style:font-size-asian"));
                asianPoints.insert(style, asian.isEmpty() ? 12 : odfTwips(asian) / 20);
            } else if (name == QLatin1String("span") || name == QLatin1String("p") ||
                       name == QLatin1String("h")) {
                const QString styleName = a.value(QLatin1String("text:style-name")).toString();
                if (name != QLatin1String("span")) {
                    facts.pageBreaks += breakStyles.contains(styleName) ? 1 : 0;
                    facts.keptWithNext += keepStyles.contains(styleName) ? 1 : 0;
                }
                spanPoints.append(stylePoints.value(styleName, spanPoints.last()));
                spanAsian.append(asianPoints.value(styleName, spanAsian.last()));
            } else if (name == QLatin1String("a")) {
                ++linkDepth;
                facts.links.insert(a.value(QLatin1String("xlink:href")).toString());
            } else if (name == QLatin1String("bookmark-start") ||
                       name == QLatin1String("bookmark")) {
                facts.bookmarks.insert(a.value(QLatin1String("text:name")).toString());
            } else if (name == QLatin1String("frame")) {
                facts.picture(odfTwips(a.value(QLatin1String("svg:width"))),
                              odfTwips(a.value(QLatin1String("svg:height"))), linkDepth > 0);
            }
        } else if (x.isEndElement()) {
            if (name == QLatin1String("span") || name == QLatin1String("p") ||
                name == QLatin1String("h")) {
                spanPoints.removeLast();
                spanAsian.removeLast();
            } else if (name == QLatin1String("a"))
                --linkDepth;
        } else if (x.isCharacters() && !x.isWhitespace()) {
            const QString text = x.text().toString();
            const bool japanese = std::any_of(text.begin(), text.end(),
                                              [](QChar c) { return c.unicode() >= 0x3000; });
            facts.words(text, japanese ? spanAsian.last() : spanPoints.last());
        }
    }
    return facts;
}

QString pngResource(QTextDocument* doc, const QString& name, QSize size) {
    QImage image(size, QImage::Format_RGB32);
    image.fill(QColor(0x20, 0x60, 0xA0));
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    doc->addResource(QTextDocument::ImageResource, QUrl(name), png);
    return name;
}

std::unique_ptr<QTextDocument> newDocument() {
    auto doc = std::make_unique<QTextDocument>();
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setPointSizeF(12);
    doc->setDefaultFont(font);
    return doc;
}

// Links and bookmarks on pictures and on a page reference, and a relative size.
std::unique_ptr<QTextDocument> marksDocument() {
    auto doc = newDocument();
    QTextCursor c(doc.get());
    QTextCharFormat target;
    target.setAnchor(true);
    target.setAnchorNames({QStringLiteral("intro")});
    c.insertText(QStringLiteral("Introduction"), target);
    c.insertBlock();
    QTextImageFormat picture;
    picture.setName(pngResource(doc.get(), QStringLiteral("logo.png"), QSize(96, 48)));
    picture.setAnchor(true);
    picture.setAnchorHref(QStringLiteral("https://example.org/logo"));
    picture.setAnchorNames({QStringLiteral("logo")});
    c.insertImage(picture);
    c.insertText(QStringLiteral(" see page "), QTextCharFormat());
    QTextCharFormat reference;
    reference.setProperty(quill::rtf::PageReferenceProperty, QStringLiteral("intro"));
    reference.setAnchor(true);
    reference.setAnchorNames({QStringLiteral("seepage")});
    c.insertText(QStringLiteral("1"), reference);
    c.insertBlock();
    QTextCharFormat larger;
    larger.setProperty(QTextFormat::FontSizeAdjustment, 2);
    c.insertText(QStringLiteral("Enlarged"), larger);
    c.insertText(QStringLiteral(" plain"), QTextCharFormat());
    c.insertBlock();
    QTextCharFormat small;
    small.setFontPointSize(10);
    c.insertText(QStringLiteral("毎朝パンを焼きます"), small);
    return doc;
}

// What an owner pastes from a web page: a linked picture.
std::unique_ptr<QTextDocument> pastedDocument() {
    auto doc = newDocument();
    pngResource(doc.get(), QStringLiteral("shop.png"), QSize(120, 80));
    QTextCursor c(doc.get());
    c.insertFragment(QTextDocumentFragment::fromHtml(
        QStringLiteral("<p>Our <a href=\"https://example.org/shop\"><img src=\"shop.png\" "
                       "width=\"120\" height=\"80\"></a> shop</p>"),
        doc.get()));
    return doc;
}

// A page break the document asks for, one the layout added to move a heading (the word
// processor moves it itself, by keep-with-next), and the heading kept with its text.
std::unique_ptr<QTextDocument> breaksDocument() {
    auto doc = newDocument();
    QTextCursor c(doc.get());
    c.insertText(QStringLiteral("Title"));
    QTextBlockFormat chapter;
    chapter.setPageBreakPolicy(QTextFormat::PageBreak_AlwaysBefore);
    chapter.setProperty(quill::rtf::KeepWithNextProperty, true);
    c.insertBlock(chapter);
    c.insertText(QStringLiteral("Chapter"));
    c.insertBlock(QTextBlockFormat());
    c.insertText(QStringLiteral("Text"));
    QTextBlockFormat moved = chapter;
    moved.setProperty(quill::rtf::LayoutBreakProperty, true);
    c.insertBlock(moved);
    c.insertText(QStringLiteral("Question"));
    c.insertBlock(QTextBlockFormat());
    c.insertText(QStringLiteral("Answer"));
    return doc;
}

// A photograph far wider, and one far taller, than the page.
std::unique_ptr<QTextDocument> oversizedDocument() {
    auto doc = newDocument();
    QTextCursor c(doc.get());
    QTextImageFormat wide;
    wide.setName(pngResource(doc.get(), QStringLiteral("wide.png"), QSize(2400, 600)));
    c.insertImage(wide);
    c.insertBlock();
    QTextImageFormat tall;
    tall.setName(pngResource(doc.get(), QStringLiteral("tall.png"), QSize(300, 1344)));
    c.insertImage(tall);
    return doc;
}

} // namespace

class TestWriterAgreement : public QObject {
    Q_OBJECT

private slots:
    void sameFacts_data();
    void sameFacts();
};

void TestWriterAgreement::sameFacts_data() {
    QTest::addColumn<int>("which");
    QTest::newRow("links and bookmarks on pictures and references") << 0;
    QTest::newRow("linked picture pasted from HTML") << 1;
    QTest::newRow("pictures larger than the page") << 2;
    QTest::newRow("page breaks and headings kept with their text") << 3;
}

void TestWriterAgreement::sameFacts() {
    QFETCH(int, which);
    const std::function<std::unique_ptr<QTextDocument>()> make[] = {
        marksDocument, pastedDocument, oversizedDocument, breaksDocument};
    const auto doc = make[which]();
    ExportPage page;
    QString error;
    const QByteArray files[] = {quill::rtf::RtfWriter::write(*doc, page),
                                DocxWriter::write(*doc, page, &error),
                                OdtWriter::write(*doc, page, &error)};
    // QUILL_KEEP_EXPORTS names a folder to keep the files in, for a look.
    if (const QString keep = qEnvironmentVariable("QUILL_KEEP_EXPORTS"); !keep.isEmpty()) {
        for (int i = 0; i < 3; ++i) {
            QFile f(QDir(keep).filePath(
                QStringLiteral("agreement%1.%2")
                    .arg(which)
                    .arg(QStringList{QStringLiteral("rtf"), QStringLiteral("docx"),
                                     QStringLiteral("odt")}[i])));
            if (f.open(QIODevice::WriteOnly))
                f.write(files[i]);
        }
    }
    const Facts rtf = rtfFacts(files[0]);
    const Facts docx = docxFacts(files[1]);
    const Facts odt = odtFacts(files[2]);

    for (const Facts* other : {&docx, &odt}) {
        QCOMPARE(other->wordPoints, rtf.wordPoints);
        QCOMPARE(other->links, rtf.links);
        QCOMPARE(other->bookmarks, rtf.bookmarks);
        QCOMPARE(other->pictures.size(), rtf.pictures.size());
        for (qsizetype i = 0; i < rtf.pictures.size(); ++i) // within a twip's rounding
            QVERIFY2(qAbs(other->pictures[i].width() - rtf.pictures[i].width()) <= 2 &&
                         qAbs(other->pictures[i].height() - rtf.pictures[i].height()) <= 2,
                     qPrintable(QStringLiteral("%1x%2 against %3x%4")
                                    .arg(other->pictures[i].width())
                                    .arg(other->pictures[i].height())
                                    .arg(rtf.pictures[i].width())
                                    .arg(rtf.pictures[i].height())));
        QCOMPARE(other->linkedPictures, rtf.linkedPictures);
        QCOMPARE(other->pageBreaks, rtf.pageBreaks);
        QCOMPARE(other->keptWithNext, rtf.keptWithNext);
    }
    // And what the document means: every picture inside the text area, Qt's relative size.
    for (const QSizeF& p : rtf.pictures) {
        QVERIFY2(p.width() <= page.textWidth() + 20, qPrintable(QString::number(p.width())));
        QVERIFY2(p.height() <= page.textHeight(), qPrintable(QString::number(p.height())));
    }
    if (which == 0) {
        QCOMPARE(rtf.wordPoints.value(QStringLiteral("Enlarged")), 18.0);
        QCOMPARE(rtf.wordPoints.value(QStringLiteral("毎朝パンを焼きます")), 10.0);
        QCOMPARE(rtf.bookmarks, (QSet<QString>{QStringLiteral("intro"), QStringLiteral("logo"),
                                               QStringLiteral("seepage")}));
        QCOMPARE(rtf.linkedPictures, 1);
    }
    if (which == 1) {
        QCOMPARE(rtf.linkedPictures, 1);
        // Readers that know no \\shppict (pandoc) still find the picture.
        if (QStandardPaths::findExecutable(QStringLiteral("pandoc")).isEmpty())
            QSKIP("pandoc is not installed");
        QTemporaryDir dir;
        QFile file(dir.filePath(QStringLiteral("pasted.rtf")));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(quill::rtf::RtfWriter::write(*doc, page));
        file.close();
        QProcess pandoc;
        pandoc.start(QStringLiteral("pandoc"),
                     {QStringLiteral("-f"), QStringLiteral("rtf"), QStringLiteral("-t"),
                      QStringLiteral("html"), file.fileName()});
        QVERIFY(pandoc.waitForFinished(60000));
        QCOMPARE(QString::fromUtf8(pandoc.readAllStandardOutput()).count(QStringLiteral("<img")),
                 1);
    }
    if (which == 3) {
        // Only the break the document asks for; both headings kept with their text.
        QCOMPARE(rtf.pageBreaks, 1);
        QCOMPARE(rtf.keptWithNext, 2);
    }
    if (which == 2) {
        // Proportions kept: 4:1 and 300:1344.
        QCOMPARE(rtf.pictures.size(), 2);
        QVERIFY(qAbs(rtf.pictures[0].width() - 4 * rtf.pictures[0].height()) <= 8);
        QVERIFY(qAbs(rtf.pictures[1].height() * 300.0 / 1344 - rtf.pictures[1].width()) <= 4);
    }
}

QTEST_MAIN(TestWriterAgreement)
#include "tst_writeragreement.moc"
