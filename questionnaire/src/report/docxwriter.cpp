#include "docxwriter.h"

#include "documentwalk.h"
#include "footerfields.h"
#include "officecontent.h"
#include "rtftextproperties.h"
#include "tablecolumns.h"
#include "zippackage.h"

#include <QFont>
#include <QHash>
#include <QImage>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>
#include <QXmlStreamWriter>

#include <algorithm>
#include <cmath>
#include <vector>

namespace DocxWriter {
namespace {

using OfficeContent::xmlSafe;
using quill::rtf::DocumentWalk;
using quill::rtf::footerCharFormat;
using quill::rtf::FooterField;
using quill::rtf::ParagraphInfo;
using quill::rtf::Run;
using quill::rtf::RunFormat;
using quill::rtf::splitFooterFields;

const QString kW = QStringLiteral("http://schemas.openxmlformats.org/wordprocessingml/2006/main");
const QString kR =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships");
const QString kRelImage =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/image");
const QString kRelLink =
    QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/hyperlink");
constexpr double kEmuPerPixel = 914400.0 / 96.0;

QString hex(const QColor& c) {
    return c.name(QColor::HexRgb).mid(1).toUpper();
}

class Writer {
public:
    Writer(const QTextDocument& doc, const ExportPage& page)
        : doc_(doc), page_(page), walk_(doc, &page) {}
    QByteArray write(QString* error);

private:
    // Parts of the package.
    QByteArray documentPart();
    QByteArray stylesPart() const;
    QByteArray numberingPart() const;
    QByteArray footerPart(bool empty);
    QByteArray relationshipsPart() const;
    QByteArray contentTypesPart() const;
    QByteArray corePart() const;

    void start(QXmlStreamWriter& x, const QString& root) const;
    void table(QTextTable* table);
    void contents(QTextTable* table);
    void paragraph(const QTextBlock& block);
    void paragraphProperties(const QTextBlock& block);
    void runs(const QTextBlock& block);
    void runProperties(const RunFormat& format);
    void text(const QString& s, const RunFormat& format);
    void field(const QString& instruction, const QString& result, const RunFormat& format);
    void picture(const Run& run);
    int twips(double pixels) const { return int(std::lround(pixels / page_.pixelsPerTwip)); }
    int listId(QTextList* list);
    QString relationship(const QString& type, const QString& target, bool external);

    const QTextDocument& doc_;
    const ExportPage& page_;
    DocumentWalk walk_;
    QXmlStreamWriter* x_ = nullptr;
    QByteArray footerText_;

    struct Relationship {
        QString id, type, target;
        bool external;
    };
    QList<Relationship> relationships_;
    QList<QPair<QString, QByteArray>> media_;
    QHash<QString, QString> imageIds_; // image name -> relationship id
    std::vector<QTextListFormat> lists_;
    QHash<const QTextList*, int> listIds_;
    QHash<QString, int> bookmarkIds_;
    int drawings_ = 0;
};

void Writer::start(QXmlStreamWriter& x, const QString& root) const {
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeNamespace(kW, QStringLiteral("w"));
    x.writeNamespace(kR, QStringLiteral("r"));
    x.writeStartElement(kW, root);
}

QByteArray Writer::write(QString* error) {
    // The document first: it finds the images, lists and links the other parts list.
    const QByteArray document = documentPart();
    ZipPackage zip;
    zip.add(QStringLiteral("[Content_Types].xml"), contentTypesPart());
    zip.add(QStringLiteral("_rels/.rels"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<Relationships xmlns="http://schemas.openxmlformats.org/package/2006/relationships"><Relationship Id="rId1" Type="http://schemas.openxmlformats.org/officeDocument/2006/relationships/officeDocument" Target="word/document.xml"/><Relationship Id="rId2" Type="http://schemas.openxmlformats.org/package/2006/relationships/metadata/core-properties" Target="docProps/core.xml"/></Relationships>
)");
    zip.add(QStringLiteral("docProps/core.xml"), corePart());
    zip.add(QStringLiteral("word/document.xml"), document);
    zip.add(QStringLiteral("word/styles.xml"), stylesPart());
    zip.add(QStringLiteral("word/settings.xml"),
            R"(<?xml version="1.0" encoding="UTF-8" standalone="yes"?>
<w:settings xmlns:w="http://schemas.openxmlformats.org/wordprocessingml/2006/main"><w:defaultTabStop w:val="720"/><w:updateFields w:val="true"/><w:compat><w:compatSetting w:name="compatibilityMode" w:uri="http://schemas.microsoft.com/office/word" w:val="15"/></w:compat></w:settings>
)");
    if (!lists_.empty())
        zip.add(QStringLiteral("word/numbering.xml"), numberingPart());
    if (!page_.footer.isEmpty()) {
        zip.add(QStringLiteral("word/footer1.xml"), footerPart(false));
        zip.add(QStringLiteral("word/footer2.xml"), footerPart(true));
    }
    for (const auto& [name, bytes] : media_)
        zip.add(QStringLiteral("word/") + name, bytes, false);
    zip.add(QStringLiteral("word/_rels/document.xml.rels"), relationshipsPart());
    return zip.finish(error);
}

QString Writer::relationship(const QString& type, const QString& target, bool external) {
    const QString id = QStringLiteral("rId%1").arg(relationships_.size() + 10);
    relationships_.append({id, type, target, external});
    return id;
}

QByteArray Writer::documentPart() {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x_ = &x;
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeNamespace(kW, QStringLiteral("w"));
    x.writeNamespace(kR, QStringLiteral("r"));
    x.writeNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing"),
        QStringLiteral("wp"));
    x.writeNamespace(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main"),
                     QStringLiteral("a"));
    x.writeNamespace(QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture"),
                     QStringLiteral("pic"));
    x.writeStartElement(kW, QStringLiteral("document"));
    x.writeStartElement(kW, QStringLiteral("body"));
    for (const DocumentWalk::Part& part : walk_.parts()) {
        if (part.contents)
            contents(part.table);
        else if (part.table)
            table(part.table);
        else
            paragraph(part.block);
    }

    QString footerId, firstFooterId;
    if (!page_.footer.isEmpty()) {
        const QString type = QStringLiteral(
            "http://schemas.openxmlformats.org/officeDocument/2006/relationships/footer");
        footerId = relationship(type, QStringLiteral("footer1.xml"), false);
        firstFooterId = relationship(type, QStringLiteral("footer2.xml"), false);
    }
    x.writeStartElement(kW, QStringLiteral("sectPr"));
    if (!footerId.isEmpty()) {
        x.writeEmptyElement(kW, QStringLiteral("footerReference"));
        x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("default"));
        x.writeAttribute(kR, QStringLiteral("id"), footerId);
        if (!page_.footerOnFirstPage) {
            x.writeEmptyElement(kW, QStringLiteral("footerReference"));
            x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("first"));
            x.writeAttribute(kR, QStringLiteral("id"), firstFooterId);
        }
    }
    x.writeEmptyElement(kW, QStringLiteral("pgSz"));
    x.writeAttribute(kW, QStringLiteral("w"), QString::number(page_.paperWidth));
    x.writeAttribute(kW, QStringLiteral("h"), QString::number(page_.paperHeight));
    x.writeEmptyElement(kW, QStringLiteral("pgMar"));
    for (const char* side : {"top", "right", "bottom", "left"})
        x.writeAttribute(kW, QLatin1String(side), QString::number(page_.margin));
    x.writeAttribute(kW, QStringLiteral("header"), QString::number(page_.margin / 2));
    // The footer sits in the lower margin, a quarter of it above the paper's edge.
    x.writeAttribute(kW, QStringLiteral("footer"), QString::number(page_.margin / 4));
    x.writeAttribute(kW, QStringLiteral("gutter"), QStringLiteral("0"));
    if (!footerId.isEmpty() && !page_.footerOnFirstPage)
        x.writeEmptyElement(kW, QStringLiteral("titlePg"));
    x.writeEndElement(); // sectPr
    x.writeEndElement(); // body
    x.writeEndElement(); // document
    x.writeEndDocument();
    x_ = nullptr;
    return bytes;
}

void Writer::table(QTextTable* t) {
    QXmlStreamWriter& x = *x_;
    const QTextTableFormat format = t->format();
    const int columns = t->columns();
    const int textWidth = page_.textWidth();

    const std::vector<double> widths = tableColumnWidths(
        format, columns, textWidth, [this](double pixels) { return twips(pixels); });

    x.writeStartElement(kW, QStringLiteral("tbl"));
    x.writeStartElement(kW, QStringLiteral("tblPr"));
    x.writeEmptyElement(kW, QStringLiteral("tblW"));
    const QTextLength width = format.width();
    if (width.type() == QTextLength::PercentageLength) {
        x.writeAttribute(kW, QStringLiteral("w"), QString::number(qRound(width.rawValue() * 50)));
        x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("pct"));
    } else {
        x.writeAttribute(kW, QStringLiteral("w"), QStringLiteral("0"));
        x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("auto"));
    }
    const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
    if (align & (Qt::AlignHCenter | Qt::AlignRight)) {
        x.writeEmptyElement(kW, QStringLiteral("jc"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         align & Qt::AlignHCenter ? QStringLiteral("center")
                                                  : QStringLiteral("right"));
    }
    x.writeStartElement(kW, QStringLiteral("tblBorders"));
    const bool bordered = format.border() > 0;
    const QString colour = bordered && format.borderBrush().style() != Qt::NoBrush
                               ? hex(format.borderBrush().color())
                               : QStringLiteral("auto");
    // Border widths are in eighths of a point.
    const int eighths = std::clamp(int(std::lround(twips(format.border()) / 20.0 * 8)), 2, 96);
    for (const char* side : {"top", "left", "bottom", "right", "insideH", "insideV"}) {
        x.writeEmptyElement(kW, QLatin1String(side));
        x.writeAttribute(kW, QStringLiteral("val"),
                         bordered ? QStringLiteral("single") : QStringLiteral("nil"));
        if (bordered) {
            x.writeAttribute(kW, QStringLiteral("sz"), QString::number(eighths));
            x.writeAttribute(kW, QStringLiteral("space"), QStringLiteral("0"));
            x.writeAttribute(kW, QStringLiteral("color"), colour);
        }
    }
    x.writeEndElement(); // tblBorders
    x.writeEmptyElement(kW, QStringLiteral("tblLayout"));
    x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("fixed"));
    x.writeStartElement(kW, QStringLiteral("tblCellMar"));
    const QString padding = QString::number(std::max(0, twips(format.cellPadding())));
    for (const char* side : {"top", "left", "bottom", "right"}) {
        x.writeEmptyElement(kW, QLatin1String(side));
        x.writeAttribute(kW, QStringLiteral("w"), padding);
        x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("dxa"));
    }
    x.writeEndElement(); // tblCellMar
    x.writeEndElement(); // tblPr
    x.writeStartElement(kW, QStringLiteral("tblGrid"));
    for (double w : widths) {
        x.writeEmptyElement(kW, QStringLiteral("gridCol"));
        x.writeAttribute(kW, QStringLiteral("w"), QString::number(qRound(w)));
    }
    x.writeEndElement(); // tblGrid

    for (int r = 0; r < t->rows(); ++r) {
        x.writeStartElement(kW, QStringLiteral("tr"));
        if (r < format.headerRowCount()) {
            x.writeStartElement(kW, QStringLiteral("trPr"));
            x.writeEmptyElement(kW, QStringLiteral("tblHeader"));
            x.writeEmptyElement(kW, QStringLiteral("cantSplit"));
            x.writeEndElement();
        }
        for (int c = 0; c < columns;) {
            const QTextTableCell cell = t->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            const bool continued = cell.row() != r;
            double w = 0;
            for (int k = c; k < std::min(columns, c + span); ++k)
                w += widths[k];
            x.writeStartElement(kW, QStringLiteral("tc"));
            x.writeStartElement(kW, QStringLiteral("tcPr"));
            x.writeEmptyElement(kW, QStringLiteral("tcW"));
            x.writeAttribute(kW, QStringLiteral("w"), QString::number(qRound(w)));
            x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("dxa"));
            if (span > 1) {
                x.writeEmptyElement(kW, QStringLiteral("gridSpan"));
                x.writeAttribute(kW, QStringLiteral("val"), QString::number(span));
            }
            if (cell.rowSpan() > 1 || continued) {
                x.writeEmptyElement(kW, QStringLiteral("vMerge"));
                if (!continued)
                    x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("restart"));
            }
            const QBrush background = cell.format().background();
            if (background.style() != Qt::NoBrush) {
                x.writeEmptyElement(kW, QStringLiteral("shd"));
                x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("clear"));
                x.writeAttribute(kW, QStringLiteral("color"), QStringLiteral("auto"));
                x.writeAttribute(kW, QStringLiteral("fill"), hex(background.color()));
            }
            x.writeEndElement(); // tcPr
            std::vector<QTextBlock> blocks;
            if (!continued)
                DocumentWalk::collectBlocks(cell.begin(), blocks);
            if (blocks.empty())
                x.writeEmptyElement(kW, QStringLiteral("p")); // a cell holds a paragraph
            for (const QTextBlock& b : blocks)
                paragraph(b);
            x.writeEndElement(); // tc
            c += span;
        }
        x.writeEndElement(); // tr
    }
    x.writeEndElement(); // tbl
}

void Writer::contents(QTextTable* t) {
    // The program's own list, each entry a link to its heading's bookmark, with a tab to the
    // right margin and a PAGEREF field to the bookmark. Not a TOC field: a word processor
    // keeps a TOC field's result as it was written until the owner refreshes it (so its
    // page numbers are ours, wrong wherever its pages differ), while it counts a PAGEREF
    // field on its own pages. settings.xml asks Word to refresh fields on opening.
    QXmlStreamWriter& x = *x_;
    for (int r = 0; r < t->rows(); ++r) {
        const QTextTableCell titleCell = t->cellAt(r, 0);
        const OfficeContent::ContentsEntry entry = OfficeContent::contentsEntry(*t, r);
        x.writeStartElement(kW, QStringLiteral("p"));
        x.writeStartElement(kW, QStringLiteral("pPr"));
        x.writeEmptyElement(kW, QStringLiteral("pStyle"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("TOC1"));
        x.writeStartElement(kW, QStringLiteral("tabs"));
        x.writeEmptyElement(kW, QStringLiteral("tab"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("right"));
        x.writeAttribute(kW, QStringLiteral("pos"), QString::number(page_.textWidth()));
        x.writeEndElement(); // tabs
        const QTextBlockFormat bf = titleCell.firstCursorPosition().blockFormat();
        x.writeEmptyElement(kW, QStringLiteral("spacing"));
        x.writeAttribute(kW, QStringLiteral("before"), QStringLiteral("0"));
        x.writeAttribute(kW, QStringLiteral("after"),
                         QString::number(twips(bf.bottomMargin() + 2 * t->format().cellPadding())));
        x.writeEndElement(); // pPr
        const RunFormat chars = walk_.format(entry.chars);
        if (!entry.bookmark.isEmpty()) {
            x.writeStartElement(kW, QStringLiteral("hyperlink"));
            x.writeAttribute(kW, QStringLiteral("anchor"), entry.bookmark);
        }
        text(entry.title, chars);
        text(QStringLiteral("\t"), chars);
        if (entry.bookmark.isEmpty())
            text(entry.page, chars);
        else
            field(QStringLiteral(" PAGEREF %1 \\h ").arg(entry.bookmark), entry.page, chars);
        if (!entry.bookmark.isEmpty())
            x.writeEndElement(); // hyperlink
        x.writeEndElement();     // p
    }
}

void Writer::paragraph(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    x.writeStartElement(kW, QStringLiteral("p"));
    paragraphProperties(block);
    runs(block);
    x.writeEndElement();
}

void Writer::paragraphProperties(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    const QTextBlockFormat f = block.blockFormat();
    QTextList* list = block.textList();
    x.writeStartElement(kW, QStringLiteral("pPr"));
    const ParagraphInfo info = walk_.paragraph(block);
    const int level = info.headingLevel;
    if (level >= 1 && level <= 3) {
        x.writeEmptyElement(kW, QStringLiteral("pStyle"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("Heading%1").arg(level));
    }
    if (info.keepWithNext)
        x.writeEmptyElement(kW, QStringLiteral("keepNext"));
    if (info.pageBreakBefore)
        x.writeEmptyElement(kW, QStringLiteral("pageBreakBefore"));
    x.writeEmptyElement(kW, QStringLiteral("widowControl"));
    if (list) {
        x.writeStartElement(kW, QStringLiteral("numPr"));
        x.writeEmptyElement(kW, QStringLiteral("ilvl"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         QString::number(std::clamp(list->format().indent() - 1, 0, 8)));
        x.writeEmptyElement(kW, QStringLiteral("numId"));
        x.writeAttribute(kW, QStringLiteral("val"), QString::number(listId(list)));
        x.writeEndElement();
    }
    const QList<QTextOption::Tab> tabs = f.tabPositions();
    if (!tabs.isEmpty()) {
        x.writeStartElement(kW, QStringLiteral("tabs"));
        for (const QTextOption::Tab& tab : tabs) {
            x.writeEmptyElement(kW, QStringLiteral("tab"));
            x.writeAttribute(kW, QStringLiteral("val"),
                             tab.type == QTextOption::RightTab       ? QStringLiteral("right")
                             : tab.type == QTextOption::CenterTab    ? QStringLiteral("center")
                             : tab.type == QTextOption::DelimiterTab ? QStringLiteral("decimal")
                                                                     : QStringLiteral("left"));
            x.writeAttribute(kW, QStringLiteral("pos"),
                             QString::number(std::max(0, twips(tab.position))));
        }
        x.writeEndElement();
    }
    x.writeEmptyElement(kW, QStringLiteral("spacing"));
    x.writeAttribute(kW, QStringLiteral("before"),
                     QString::number(std::max(0, twips(f.topMargin()))));
    x.writeAttribute(kW, QStringLiteral("after"),
                     QString::number(std::max(0, twips(f.bottomMargin()))));
    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        x.writeAttribute(kW, QStringLiteral("line"),
                         QString::number(f.lineHeight() > 0 ? qRound(f.lineHeight() * 2.4) : 240));
        x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("auto"));
        break;
    case QTextBlockFormat::FixedHeight:
        x.writeAttribute(kW, QStringLiteral("line"), QString::number(twips(f.lineHeight())));
        x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("exact"));
        break;
    case QTextBlockFormat::MinimumHeight:
        x.writeAttribute(kW, QStringLiteral("line"), QString::number(twips(f.lineHeight())));
        x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("atLeast"));
        break;
    default:
        x.writeAttribute(kW, QStringLiteral("line"), QStringLiteral("240"));
        x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("auto"));
        break;
    }
    int left = twips(f.leftMargin() + f.indent() * doc_.indentWidth());
    int first = twips(f.textIndent());
    if (list) {
        left += (std::clamp(list->format().indent() - 1, 0, 8) + 1) * 720;
        first = -360;
    }
    const int right = twips(f.rightMargin());
    if (left || first || right) {
        x.writeEmptyElement(kW, QStringLiteral("ind"));
        x.writeAttribute(kW, QStringLiteral("left"), QString::number(left));
        x.writeAttribute(kW, QStringLiteral("right"), QString::number(right));
        if (first < 0)
            x.writeAttribute(kW, QStringLiteral("hanging"), QString::number(-first));
        else if (first > 0)
            x.writeAttribute(kW, QStringLiteral("firstLine"), QString::number(first));
    }
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    if (align == Qt::AlignHCenter || align == Qt::AlignRight || align == Qt::AlignJustify) {
        x.writeEmptyElement(kW, QStringLiteral("jc"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         align == Qt::AlignHCenter ? QStringLiteral("center")
                         : align == Qt::AlignRight ? QStringLiteral("right")
                                                   : QStringLiteral("both"));
    }
    if (level >= 1 && level <= 9) {
        x.writeEmptyElement(kW, QStringLiteral("outlineLvl"));
        x.writeAttribute(kW, QStringLiteral("val"), QString::number(level - 1));
    }
    // The paragraph mark's size gives an empty paragraph its height.
    runProperties(walk_.format(block.charFormat()));
    x.writeEndElement(); // pPr
}

void Writer::runs(const QTextBlock& block) {
    QXmlStreamWriter& x = *x_;
    QString href;
    const auto closeLink = [&] {
        if (!href.isEmpty())
            x.writeEndElement();
        href.clear();
    };
    for (const Run& run : walk_.runs(block)) {
        if (run.link != href) {
            closeLink();
            if (!run.link.isEmpty()) {
                x.writeStartElement(kW, QStringLiteral("hyperlink"));
                if (run.link.startsWith(u'#'))
                    x.writeAttribute(kW, QStringLiteral("anchor"), run.link.mid(1));
                else
                    x.writeAttribute(kR, QStringLiteral("id"),
                                     relationship(kRelLink, run.link, true));
                href = run.link;
            }
        }
        for (const QString& name : run.bookmarks) {
            const int id = int(bookmarkIds_.size());
            bookmarkIds_.insert(name, id);
            x.writeEmptyElement(kW, QStringLiteral("bookmarkStart"));
            x.writeAttribute(kW, QStringLiteral("id"), QString::number(id));
            x.writeAttribute(kW, QStringLiteral("name"), name);
        }
        switch (run.kind) {
        case Run::Kind::Picture:
            picture(run);
            break;
        case Run::Kind::PageReference:
            field(QStringLiteral(" PAGEREF %1 \\h ").arg(run.reference), run.text, run.format);
            break;
        case Run::Kind::Text:
            text(run.text, run.format);
            break;
        }
        for (const QString& name : run.bookmarks) {
            x.writeEmptyElement(kW, QStringLiteral("bookmarkEnd"));
            x.writeAttribute(kW, QStringLiteral("id"), QString::number(bookmarkIds_.value(name)));
        }
    }
    closeLink();
}

void Writer::runProperties(const RunFormat& f) {
    QXmlStreamWriter& x = *x_;
    x.writeStartElement(kW, QStringLiteral("rPr"));
    x.writeEmptyElement(kW, QStringLiteral("rFonts"));
    for (const char* slot : {"ascii", "hAnsi", "cs", "eastAsia"})
        x.writeAttribute(kW, QLatin1String(slot), f.family);
    if (f.bold)
        x.writeEmptyElement(kW, QStringLiteral("b"));
    if (f.italic)
        x.writeEmptyElement(kW, QStringLiteral("i"));
    if (f.caps == QFont::AllUppercase)
        x.writeEmptyElement(kW, QStringLiteral("caps"));
    else if (f.caps == QFont::SmallCaps)
        x.writeEmptyElement(kW, QStringLiteral("smallCaps"));
    if (f.strike)
        x.writeEmptyElement(kW, QStringLiteral("strike"));
    if (f.foreground.isValid()) {
        x.writeEmptyElement(kW, QStringLiteral("color"));
        x.writeAttribute(kW, QStringLiteral("val"), hex(f.foreground));
    }
    const QString halfPoints = QString::number(std::clamp(int(std::lround(f.points * 2)), 2, 3276));
    x.writeEmptyElement(kW, QStringLiteral("sz"));
    x.writeAttribute(kW, QStringLiteral("val"), halfPoints);
    x.writeEmptyElement(kW, QStringLiteral("szCs"));
    x.writeAttribute(kW, QStringLiteral("val"), halfPoints);
    if (f.underline != QTextCharFormat::NoUnderline) {
        x.writeEmptyElement(kW, QStringLiteral("u"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         f.underline == QTextCharFormat::WaveUnderline ? QStringLiteral("wave")
                         : f.underline == QTextCharFormat::DotLine     ? QStringLiteral("dotted")
                         : f.underline == QTextCharFormat::DashUnderline
                             ? QStringLiteral("dash")
                             : QStringLiteral("single"));
    }
    if (f.background.isValid()) {
        x.writeEmptyElement(kW, QStringLiteral("shd"));
        x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("clear"));
        x.writeAttribute(kW, QStringLiteral("color"), QStringLiteral("auto"));
        x.writeAttribute(kW, QStringLiteral("fill"), hex(f.background));
    }
    if (f.vertical != QTextCharFormat::AlignNormal) {
        x.writeEmptyElement(kW, QStringLiteral("vertAlign"));
        x.writeAttribute(kW, QStringLiteral("val"),
                         f.vertical == QTextCharFormat::AlignSuperScript
                             ? QStringLiteral("superscript")
                             : QStringLiteral("subscript"));
    }
    x.writeEndElement(); // rPr
}

void Writer::text(const QString& s, const RunFormat& format) {
    QXmlStreamWriter& x = *x_;
    const QString clean = xmlSafe(s);
    if (clean.isEmpty())
        return;
    x.writeStartElement(kW, QStringLiteral("r"));
    runProperties(format);
    QString pending;
    const auto flush = [&] {
        if (pending.isEmpty())
            return;
        x.writeStartElement(kW, QStringLiteral("t"));
        x.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
        x.writeCharacters(pending);
        x.writeEndElement();
        pending.clear();
    };
    for (const QChar c : clean) {
        if (c == u'\t') {
            flush();
            x.writeEmptyElement(kW, QStringLiteral("tab"));
        } else if (c == QChar::LineSeparator || c == u'\n') {
            flush();
            x.writeEmptyElement(kW, QStringLiteral("br"));
        } else {
            pending.append(c);
        }
    }
    flush();
    x.writeEndElement(); // r
}

void Writer::field(const QString& instruction, const QString& result, const RunFormat& format) {
    QXmlStreamWriter& x = *x_;
    const auto mark = [&](const char* type) {
        x.writeStartElement(kW, QStringLiteral("r"));
        runProperties(format);
        x.writeEmptyElement(kW, QStringLiteral("fldChar"));
        x.writeAttribute(kW, QStringLiteral("fldCharType"), QLatin1String(type));
        x.writeEndElement();
    };
    mark("begin");
    x.writeStartElement(kW, QStringLiteral("r"));
    runProperties(format);
    x.writeStartElement(kW, QStringLiteral("instrText"));
    x.writeAttribute(QStringLiteral("xml:space"), QStringLiteral("preserve"));
    x.writeCharacters(instruction);
    x.writeEndElement();
    x.writeEndElement();
    mark("separate");
    text(result, format);
    mark("end");
}

void Writer::picture(const Run& run) {
    const QString& name = run.picture;
    QString id = imageIds_.value(name);
    if (id.isEmpty()) {
        const quill::rtf::PictureData& data = walk_.picture(name);
        const QString file = QStringLiteral("media/image%1.%2")
                                 .arg(media_.size() + 1)
                                 .arg(data.jpeg ? QStringLiteral("jpeg") : QStringLiteral("png"));
        media_.append({file, data.bytes});
        id = relationship(kRelImage, file, false);
        imageIds_.insert(name, id);
    }
    const double w = run.size.width();
    const double h = run.size.height();
    const QString cx = QString::number(qRound64(w * kEmuPerPixel));
    const QString cy = QString::number(qRound64(h * kEmuPerPixel));
    const QString number = QString::number(++drawings_);
    const QString wp =
        QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/wordprocessingDrawing");
    const QString a = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/main");
    const QString pic = QStringLiteral("http://schemas.openxmlformats.org/drawingml/2006/picture");
    QXmlStreamWriter& x = *x_;
    x.writeStartElement(kW, QStringLiteral("r"));
    x.writeStartElement(kW, QStringLiteral("drawing"));
    x.writeStartElement(wp, QStringLiteral("inline"));
    for (const char* d : {"distT", "distB", "distL", "distR"})
        x.writeAttribute(QLatin1String(d), QStringLiteral("0"));
    x.writeEmptyElement(wp, QStringLiteral("extent"));
    x.writeAttribute(QStringLiteral("cx"), cx);
    x.writeAttribute(QStringLiteral("cy"), cy);
    x.writeEmptyElement(wp, QStringLiteral("docPr"));
    x.writeAttribute(QStringLiteral("id"), number);
    x.writeAttribute(QStringLiteral("name"), QStringLiteral("Picture ") + number);
    x.writeStartElement(a, QStringLiteral("graphic"));
    x.writeStartElement(a, QStringLiteral("graphicData"));
    x.writeAttribute(QStringLiteral("uri"), pic);
    x.writeStartElement(pic, QStringLiteral("pic"));
    x.writeStartElement(pic, QStringLiteral("nvPicPr"));
    x.writeEmptyElement(pic, QStringLiteral("cNvPr"));
    x.writeAttribute(QStringLiteral("id"), number);
    x.writeAttribute(QStringLiteral("name"), QStringLiteral("image") + number);
    x.writeEmptyElement(pic, QStringLiteral("cNvPicPr"));
    x.writeEndElement(); // nvPicPr
    x.writeStartElement(pic, QStringLiteral("blipFill"));
    x.writeEmptyElement(a, QStringLiteral("blip"));
    x.writeAttribute(kR, QStringLiteral("embed"), id);
    x.writeStartElement(a, QStringLiteral("stretch"));
    x.writeEmptyElement(a, QStringLiteral("fillRect"));
    x.writeEndElement();
    x.writeEndElement(); // blipFill
    x.writeStartElement(pic, QStringLiteral("spPr"));
    x.writeStartElement(a, QStringLiteral("xfrm"));
    x.writeEmptyElement(a, QStringLiteral("off"));
    x.writeAttribute(QStringLiteral("x"), QStringLiteral("0"));
    x.writeAttribute(QStringLiteral("y"), QStringLiteral("0"));
    x.writeEmptyElement(a, QStringLiteral("ext"));
    x.writeAttribute(QStringLiteral("cx"), cx);
    x.writeAttribute(QStringLiteral("cy"), cy);
    x.writeEndElement(); // xfrm
    x.writeStartElement(a, QStringLiteral("prstGeom"));
    x.writeAttribute(QStringLiteral("prst"), QStringLiteral("rect"));
    x.writeEmptyElement(a, QStringLiteral("avLst"));
    x.writeEndElement();
    x.writeEndElement(); // spPr
    x.writeEndElement(); // pic
    x.writeEndElement(); // graphicData
    x.writeEndElement(); // graphic
    x.writeEndElement(); // inline
    x.writeEndElement(); // drawing
    x.writeEndElement(); // r
}

int Writer::listId(QTextList* list) {
    if (const auto it = listIds_.constFind(list); it != listIds_.constEnd())
        return it.value();
    lists_.push_back(list->format());
    const int id = int(lists_.size());
    listIds_.insert(list, id);
    return id;
}

QByteArray Writer::numberingPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    start(x, QStringLiteral("numbering"));
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        const QTextListFormat& f = lists_[i];
        const QTextListFormat::Style style = f.style();
        const bool bullet = style == QTextListFormat::ListDisc ||
                            style == QTextListFormat::ListCircle ||
                            style == QTextListFormat::ListSquare;
        QString format = QStringLiteral("decimal");
        if (style == QTextListFormat::ListLowerAlpha)
            format = QStringLiteral("lowerLetter");
        else if (style == QTextListFormat::ListUpperAlpha)
            format = QStringLiteral("upperLetter");
        else if (style == QTextListFormat::ListLowerRoman)
            format = QStringLiteral("lowerRoman");
        else if (style == QTextListFormat::ListUpperRoman)
            format = QStringLiteral("upperRoman");
        const QChar symbol = style == QTextListFormat::ListCircle   ? QChar(0x25E6)
                             : style == QTextListFormat::ListSquare ? QChar(0x25AA)
                                                                    : QChar(0x2022);
        const QString suffix =
            f.hasProperty(QTextFormat::ListNumberSuffix) ? f.numberSuffix() : QStringLiteral(".");
        x.writeStartElement(kW, QStringLiteral("abstractNum"));
        x.writeAttribute(kW, QStringLiteral("abstractNumId"), QString::number(i + 1));
        for (int level = 0; level < 9; ++level) {
            x.writeStartElement(kW, QStringLiteral("lvl"));
            x.writeAttribute(kW, QStringLiteral("ilvl"), QString::number(level));
            x.writeEmptyElement(kW, QStringLiteral("start"));
            x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("1"));
            x.writeEmptyElement(kW, QStringLiteral("numFmt"));
            x.writeAttribute(kW, QStringLiteral("val"), bullet ? QStringLiteral("bullet") : format);
            x.writeEmptyElement(kW, QStringLiteral("lvlText"));
            x.writeAttribute(kW, QStringLiteral("val"),
                             bullet ? QString(symbol)
                                    : f.numberPrefix() + QStringLiteral("%%1").arg(level + 1) +
                                          suffix);
            x.writeEmptyElement(kW, QStringLiteral("lvlJc"));
            x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("left"));
            x.writeStartElement(kW, QStringLiteral("pPr"));
            x.writeEmptyElement(kW, QStringLiteral("ind"));
            x.writeAttribute(kW, QStringLiteral("left"), QString::number((level + 1) * 720));
            x.writeAttribute(kW, QStringLiteral("hanging"), QStringLiteral("360"));
            x.writeEndElement();
            x.writeEndElement(); // lvl
        }
        x.writeEndElement(); // abstractNum
    }
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        x.writeStartElement(kW, QStringLiteral("num"));
        x.writeAttribute(kW, QStringLiteral("numId"), QString::number(i + 1));
        x.writeEmptyElement(kW, QStringLiteral("abstractNumId"));
        x.writeAttribute(kW, QStringLiteral("val"), QString::number(i + 1));
        x.writeEndElement();
    }
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::footerPart(bool empty) {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    start(x, QStringLiteral("ftr"));
    x.writeStartElement(kW, QStringLiteral("p"));
    x.writeStartElement(kW, QStringLiteral("pPr"));
    x.writeEmptyElement(kW, QStringLiteral("jc"));
    x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("center"));
    x.writeEndElement();
    if (!empty) {
        const RunFormat format = walk_.format(
            footerCharFormat(page_.footerPoints, page_.footerItalic, page_.footerColour));
        QXmlStreamWriter* saved = x_;
        x_ = &x;
        splitFooterFields(
            page_.footer, [&](QStringView piece) { text(piece.toString(), format); },
            [&](FooterField f) {
                field(f == FooterField::PageCount ? QStringLiteral(" NUMPAGES ")
                                                  : QStringLiteral(" PAGE "),
                      QStringLiteral("1"), format);
            });
        x_ = saved;
    }
    x.writeEndElement(); // p
    x.writeEndElement(); // ftr
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::stylesPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    start(x, QStringLiteral("styles"));
    const QFont font = doc_.defaultFont();
    const QString size =
        QString::number(qRound((font.pointSizeF() > 0 ? font.pointSizeF() : 12) * 2));
    x.writeStartElement(kW, QStringLiteral("docDefaults"));
    x.writeStartElement(kW, QStringLiteral("rPrDefault"));
    x.writeStartElement(kW, QStringLiteral("rPr"));
    x.writeEmptyElement(kW, QStringLiteral("rFonts"));
    for (const char* slot : {"ascii", "hAnsi", "cs", "eastAsia"})
        x.writeAttribute(kW, QLatin1String(slot), font.family());
    x.writeEmptyElement(kW, QStringLiteral("sz"));
    x.writeAttribute(kW, QStringLiteral("val"), size);
    x.writeEmptyElement(kW, QStringLiteral("szCs"));
    x.writeAttribute(kW, QStringLiteral("val"), size);
    x.writeEndElement();
    x.writeEndElement();
    x.writeStartElement(kW, QStringLiteral("pPrDefault"));
    x.writeStartElement(kW, QStringLiteral("pPr"));
    x.writeEmptyElement(kW, QStringLiteral("spacing"));
    x.writeAttribute(kW, QStringLiteral("before"), QStringLiteral("0"));
    x.writeAttribute(kW, QStringLiteral("after"), QStringLiteral("0"));
    x.writeAttribute(kW, QStringLiteral("line"), QStringLiteral("240"));
    x.writeAttribute(kW, QStringLiteral("lineRule"), QStringLiteral("auto"));
    x.writeEndElement();
    x.writeEndElement();
    x.writeEndElement(); // docDefaults

    const auto style = [&](const QString& id, const QString& name, int outline, bool isDefault) {
        x.writeStartElement(kW, QStringLiteral("style"));
        x.writeAttribute(kW, QStringLiteral("type"), QStringLiteral("paragraph"));
        x.writeAttribute(kW, QStringLiteral("styleId"), id);
        if (isDefault)
            x.writeAttribute(kW, QStringLiteral("default"), QStringLiteral("1"));
        x.writeEmptyElement(kW, QStringLiteral("name"));
        x.writeAttribute(kW, QStringLiteral("val"), name);
        if (!isDefault) {
            x.writeEmptyElement(kW, QStringLiteral("basedOn"));
            x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("Normal"));
            x.writeEmptyElement(kW, QStringLiteral("next"));
            x.writeAttribute(kW, QStringLiteral("val"), QStringLiteral("Normal"));
            x.writeEmptyElement(kW, QStringLiteral("qFormat"));
        }
        if (outline >= 0) {
            x.writeStartElement(kW, QStringLiteral("pPr"));
            x.writeEmptyElement(kW, QStringLiteral("keepNext"));
            x.writeEmptyElement(kW, QStringLiteral("outlineLvl"));
            x.writeAttribute(kW, QStringLiteral("val"), QString::number(outline));
            x.writeEndElement();
            x.writeStartElement(kW, QStringLiteral("rPr"));
            x.writeEmptyElement(kW, QStringLiteral("b"));
            x.writeEndElement();
        }
        x.writeEndElement();
    };
    style(QStringLiteral("Normal"), QStringLiteral("Normal"), -1, true);
    style(QStringLiteral("Heading1"), QStringLiteral("heading 1"), 0, false);
    style(QStringLiteral("Heading2"), QStringLiteral("heading 2"), 1, false);
    style(QStringLiteral("Heading3"), QStringLiteral("heading 3"), 2, false);
    style(QStringLiteral("TOC1"), QStringLiteral("toc 1"), -1, false);
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::relationshipsPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeStartElement(QStringLiteral("Relationships"));
    x.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/relationships"));
    const auto add = [&](const QString& id, const QString& type, const QString& target,
                         bool external) {
        x.writeEmptyElement(QStringLiteral("Relationship"));
        x.writeAttribute(QStringLiteral("Id"), id);
        x.writeAttribute(QStringLiteral("Type"), type);
        x.writeAttribute(QStringLiteral("Target"), target);
        if (external)
            x.writeAttribute(QStringLiteral("TargetMode"), QStringLiteral("External"));
    };
    const QString base =
        QStringLiteral("http://schemas.openxmlformats.org/officeDocument/2006/relationships/");
    add(QStringLiteral("rId1"), base + QStringLiteral("styles"), QStringLiteral("styles.xml"),
        false);
    add(QStringLiteral("rId2"), base + QStringLiteral("settings"), QStringLiteral("settings.xml"),
        false);
    if (!lists_.empty())
        add(QStringLiteral("rId3"), base + QStringLiteral("numbering"),
            QStringLiteral("numbering.xml"), false);
    for (const Relationship& r : relationships_)
        add(r.id, r.type, r.target, r.external);
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::contentTypesPart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    x.writeStartElement(QStringLiteral("Types"));
    x.writeDefaultNamespace(
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/content-types"));
    const auto byExtension = [&](const char* ext, const char* type) {
        x.writeEmptyElement(QStringLiteral("Default"));
        x.writeAttribute(QStringLiteral("Extension"), QLatin1String(ext));
        x.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    byExtension("rels", "application/vnd.openxmlformats-package.relationships+xml");
    byExtension("xml", "application/xml");
    byExtension("png", "image/png");
    byExtension("jpeg", "image/jpeg");
    const auto part = [&](const char* name, const char* type) {
        x.writeEmptyElement(QStringLiteral("Override"));
        x.writeAttribute(QStringLiteral("PartName"), QLatin1String(name));
        x.writeAttribute(QStringLiteral("ContentType"), QLatin1String(type));
    };
    const char* wml = "application/vnd.openxmlformats-officedocument.wordprocessingml.";
    const auto wordPart = [&](const char* name, const char* kind) {
        part(name, (QByteArray(wml) + kind).constData());
    };
    wordPart("/word/document.xml", "document.main+xml");
    wordPart("/word/styles.xml", "styles+xml");
    wordPart("/word/settings.xml", "settings+xml");
    if (!lists_.empty())
        wordPart("/word/numbering.xml", "numbering+xml");
    if (!page_.footer.isEmpty()) {
        wordPart("/word/footer1.xml", "footer+xml");
        wordPart("/word/footer2.xml", "footer+xml");
    }
    part("/docProps/core.xml", "application/vnd.openxmlformats-package.core-properties+xml");
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

QByteArray Writer::corePart() const {
    QByteArray bytes;
    QXmlStreamWriter x(&bytes);
    x.writeStartDocument(QStringLiteral("1.0"), true);
    const QString cp =
        QStringLiteral("http://schemas.openxmlformats.org/package/2006/metadata/core-properties");
    const QString dc = QStringLiteral("http://purl.org/dc/elements/1.1/");
    x.writeNamespace(cp, QStringLiteral("cp"));
    x.writeNamespace(dc, QStringLiteral("dc"));
    x.writeStartElement(cp, QStringLiteral("coreProperties"));
    x.writeTextElement(dc, QStringLiteral("title"), xmlSafe(page_.title));
    x.writeTextElement(dc, QStringLiteral("creator"), QStringLiteral("Quillmark"));
    x.writeEndElement();
    x.writeEndDocument();
    return bytes;
}

} // namespace

QByteArray write(const QTextDocument& doc, const ExportPage& page, QString* error) {
    QString ignored;
    return Writer(doc, page).write(error ? error : &ignored);
}

} // namespace DocxWriter
