#include "rtfwriter.h"

#include "footerfields.h"
#include "rtfliststyle.h"
#include "rtfoutput.h"
#include "rtfpicture.h"
#include "rtftextproperties.h"
#include "rtfunits.h"

#include <QFont>
#include <QHash>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFrame>
#include <QTextList>
#include <QTextTable>

#include <algorithm>
#include <cmath>
#include <utility>
#include <vector>

namespace quill::rtf {
namespace {

// A table without widths spreads over the text width of a Letter or A4 page with
// one-inch margins.
constexpr int32_t defaultTableTwips = 9360;

// The character formatting RTF carries, as the writer tracks it: what the reader
// of the output currently has in effect.
struct RunProps {
    int font = -1; // font table index; -1: the default font
    int size = 0;  // half-points; 0: not given
    bool bold = false;
    bool italic = false;
    bool strike = false;
    int underline = QTextCharFormat::NoUnderline;
    int vertical = 0; // 0 normal, 1 superscript, 2 subscript
    int caps = 0;     // 0 none, 1 all capitals, 2 small capitals
    int foreground = 0;
    int background = 0;
    bool operator==(const RunProps&) const = default;
};

const char* underlineWord(int style) {
    switch (style) {
    case QTextCharFormat::SingleUnderline:
        return "ul";
    case QTextCharFormat::DashUnderline:
        return "uldash";
    case QTextCharFormat::DotLine:
        return "uld";
    case QTextCharFormat::DashDotLine:
        return "uldashd";
    case QTextCharFormat::DashDotDotLine:
        return "uldashdd";
    case QTextCharFormat::WaveUnderline:
        return "ulwave";
    default:
        return "ulnone";
    }
}

class DocumentWriter {
public:
    DocumentWriter(const QTextDocument& doc, const RtfWriter::Page* page);
    QByteArray write();

private:
    void writeRootFrame();
    void writeTable(QTextTable* table);
    void collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out) const;
    void writeBlock(const QTextBlock& block, bool inTable, const char* ending);
    void writeParagraphFormat(const QTextBlock& block, bool inTable);
    void writeListText(const QTextBlock& block, QTextList* list);
    void writeRuns(const QTextBlock& block);
    void writePicture(const QTextImageFormat& format);
    void setRun(const RunProps& want);
    RunProps propsOf(const QTextCharFormat& format);
    std::vector<int32_t> columnEdges(const QTextTable* table) const;

    int fontIndex(const QString& family);
    int colorIndex(const QColor& color);
    int listIndex(QTextList* list);
    int32_t twips(double pixels) const {
        return static_cast<int32_t>(std::lround(pixels / pixelsPerTwip_));
    }

    void writeHeader(RtfOutput& out) const;
    void writeListTables(RtfOutput& out) const;
    void writePageSetup(RtfOutput& out);
    void writeFooterText(const QString& footer);
    void writeField(const QString& instruction, const QString& result, const RunProps& props);
    void writeBookmark(const char* which, const QString& name);

    const QTextDocument& doc_;
    const RtfWriter::Page* page_;
    double pixelsPerTwip_;
    RtfOutput body_;
    RunProps current_;

    std::vector<QString> fonts_;
    QHash<QString, int> fontIndices_;
    std::vector<QRgb> colors_;
    QHash<QRgb, int> colorIndices_;
    std::vector<QTextListFormat> lists_;
    QHash<const QTextList*, int> listIndices_;
    QSet<QString> bookmarks_;
};

DocumentWriter::DocumentWriter(const QTextDocument& doc, const RtfWriter::Page* page)
    : doc_(doc), page_(page),
      pixelsPerTwip_(page && page->pixelsPerTwip > 0 ? page->pixelsPerTwip : pixelsPerTwip()) {
    fontIndex(doc.defaultFont().family());
}

QByteArray DocumentWriter::write() {
    writeRootFrame();
    // The footer is written after the text: its fonts and colours join the tables the
    // header lists, and it is placed ahead of the text in the section it belongs to.
    RtfOutput page;
    if (page_)
        writePageSetup(page);
    RtfOutput out;
    writeHeader(out);
    out.append(page.bytes());
    out.append(body_.bytes());
    out.close();
    out.newline();
    return out.bytes();
}

void DocumentWriter::writeRootFrame() {
    QTextFrame* root = doc_.rootFrame();
    bool first = true;
    for (auto it = root->begin(); !it.atEnd(); ++it) {
        if (QTextFrame* frame = it.currentFrame()) {
            if (auto* table = qobject_cast<QTextTable*>(frame)) {
                writeTable(table);
            } else {
                std::vector<QTextBlock> blocks;
                collectBlocks(frame->begin(), blocks);
                for (const QTextBlock& block : blocks)
                    writeBlock(block, false, "par");
            }
        } else {
            const QTextBlock block = it.currentBlock();
            auto next = it;
            ++next;
            // Qt keeps an empty paragraph ahead of a table that opens the
            // document; the reader makes it again, other readers need not see it.
            const bool beforeTable =
                !next.atEnd() && qobject_cast<QTextTable*>(next.currentFrame());
            if (!(first && beforeTable && block.length() <= 1 && !block.textList()))
                writeBlock(block, false, "par");
        }
        first = false;
    }
}

void DocumentWriter::collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out) const {
    // Frames inside frames (a table in a table cell) lose their structure, not
    // their text: their paragraphs join the enclosing one's in reading order.
    for (; !it.atEnd(); ++it) {
        QTextFrame* frame = it.currentFrame();
        if (!frame) {
            out.push_back(it.currentBlock());
            continue;
        }
        if (auto* table = qobject_cast<QTextTable*>(frame)) {
            for (int r = 0; r < table->rows(); ++r) {
                for (int c = 0; c < table->columns(); ++c) {
                    const QTextTableCell cell = table->cellAt(r, c);
                    if (cell.row() == r && cell.column() == c)
                        collectBlocks(cell.begin(), out);
                }
            }
        } else {
            collectBlocks(frame->begin(), out);
        }
    }
}

std::vector<int32_t> DocumentWriter::columnEdges(const QTextTable* table) const {
    const int columns = table->columns();
    const QList<QTextLength> constraints = table->format().columnWidthConstraints();
    std::vector<double> widths(columns, 0.0);
    double fixed = 0;
    int variable = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength length = c < constraints.size() ? constraints[c] : QTextLength();
        switch (length.type()) {
        case QTextLength::FixedLength:
            widths[c] = length.rawValue() / pixelsPerTwip_;
            break;
        case QTextLength::PercentageLength:
            widths[c] = defaultTableTwips * length.rawValue() / 100.0;
            break;
        default:
            ++variable;
            continue;
        }
        fixed += widths[c];
    }
    const double share = variable ? std::max(360.0, (defaultTableTwips - fixed) / variable) : 0;
    double total = 0;
    for (int c = 0; c < columns; ++c)
        total += widths[c] > 0 ? widths[c] : share;
    // Readers clamp lengths; a wider table is scaled to fit, keeping proportions.
    const double scale = total > maxTwips ? maxTwips / total : 1.0;
    std::vector<int32_t> edges{0};
    double x = 0;
    for (int c = 0; c < columns; ++c) {
        x += (widths[c] > 0 ? widths[c] : share) * scale;
        edges.push_back(std::max(edges.back() + 1, static_cast<int32_t>(std::lround(x))));
    }
    return edges;
}

void DocumentWriter::writeTable(QTextTable* table) {
    const QTextTableFormat format = table->format();
    const std::vector<int32_t> edges = columnEdges(table);
    const int32_t border = format.border() > 0 ? std::clamp(twips(format.border()), 1, 75) : 0;

    for (int r = 0; r < table->rows(); ++r) {
        struct Slot {
            QTextTableCell cell;
            bool continued;
        };
        std::vector<Slot> rowCells;
        body_.word("trowd");
        body_.word("trgaph", std::max(0, twips(format.cellPadding())));
        body_.word("trleft", 0);
        const Qt::Alignment align = format.alignment() & Qt::AlignHorizontal_Mask;
        if (align & Qt::AlignHCenter)
            body_.word("trqc");
        else if (align & Qt::AlignRight)
            body_.word("trqr");

        for (int c = 0; c < table->columns();) {
            const QTextTableCell cell = table->cellAt(r, c);
            const int span = std::max(1, cell.columnSpan());
            const bool continued = cell.row() != r;
            if (continued)
                body_.word("clvmrg");
            else if (cell.rowSpan() > 1)
                body_.word("clvmgf");
            const QBrush background = cell.format().background();
            if (!continued && background.style() != Qt::NoBrush)
                body_.word("clcbpat", colorIndex(background.color()));
            if (border > 0) {
                for (const char* side : {"clbrdrt", "clbrdrl", "clbrdrb", "clbrdrr"}) {
                    body_.word(side);
                    body_.word("brdrs");
                    body_.word("brdrw", border);
                }
            }
            body_.word("cellx", edges[std::min<std::size_t>(c + span, edges.size() - 1)]);
            rowCells.push_back({cell, continued});
            c += span;
        }
        body_.newline();

        for (const Slot& slot : rowCells) {
            if (slot.continued) {
                body_.word("pard");
                body_.word("intbl");
                body_.word("cell");
                continue;
            }
            std::vector<QTextBlock> blocks;
            collectBlocks(slot.cell.begin(), blocks);
            for (std::size_t i = 0; i < blocks.size(); ++i)
                writeBlock(blocks[i], true, i + 1 == blocks.size() ? "cell" : "par");
        }
        body_.word("row");
        body_.newline();
    }
}

void DocumentWriter::writeBlock(const QTextBlock& block, bool inTable, const char* ending) {
    QTextList* list = block.textList();
    if (list)
        writeListText(block, list);
    writeParagraphFormat(block, inTable);
    writeRuns(block);
    if (block.length() <= 1)
        setRun(propsOf(block.charFormat())); // an empty line keeps its height
    body_.word(ending);
    body_.newline();
}

void DocumentWriter::writeParagraphFormat(const QTextBlock& block, bool inTable) {
    const QTextBlockFormat f = block.blockFormat();
    QTextList* list = block.textList();
    body_.word("pard");
    if (inTable)
        body_.word("intbl");

    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    if (align == Qt::AlignHCenter)
        body_.word("qc");
    else if (align == Qt::AlignRight)
        body_.word("qr");
    else if (align == Qt::AlignJustify)
        body_.word("qj");

    const int level = list ? std::clamp(list->format().indent() - 1, 0, 8) : 0;
    int32_t left = twips(f.leftMargin() + f.indent() * doc_.indentWidth());
    int32_t first = twips(f.textIndent());
    if (list) {
        left += (level + 1) * listLevelTwips;
        first = -listHangTwips;
    }
    if (left != 0)
        body_.word("li", left);
    if (first != 0)
        body_.word("fi", first);
    if (const int32_t right = twips(f.rightMargin()); right != 0)
        body_.word("ri", right);
    if (const int32_t before = twips(f.topMargin()); before != 0)
        body_.word("sb", before);
    if (const int32_t after = twips(f.bottomMargin()); after != 0)
        body_.word("sa", after);

    switch (f.lineHeightType()) {
    case QTextBlockFormat::ProportionalHeight:
        if (f.lineHeight() > 0 && f.lineHeight() != 100) {
            body_.word("sl", static_cast<int32_t>(std::lround(f.lineHeight() * 2.4)));
            body_.word("slmult", 1);
        }
        break;
    case QTextBlockFormat::FixedHeight:
        if (const int32_t h = twips(f.lineHeight()); h > 0) {
            body_.word("sl", -h);
            body_.word("slmult", 0);
        }
        break;
    case QTextBlockFormat::MinimumHeight:
        if (const int32_t h = twips(f.lineHeight()); h > 0) {
            body_.word("sl", h);
            body_.word("slmult", 0);
        }
        break;
    default:
        break;
    }

    if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        body_.word("pagebb");
    if (f.boolProperty(KeepWithNextProperty))
        body_.word("keepn");
    if (f.headingLevel() >= 1 && f.headingLevel() <= 9)
        body_.word("outlinelevel", f.headingLevel() - 1);
    if (f.hasProperty(QTextFormat::LayoutDirection) && f.layoutDirection() == Qt::RightToLeft)
        body_.word("rtlpar");
    for (const QTextOption::Tab& tab : f.tabPositions()) {
        if (tab.type == QTextOption::RightTab)
            body_.word("tqr");
        else if (tab.type == QTextOption::CenterTab)
            body_.word("tqc");
        else if (tab.type == QTextOption::DelimiterTab)
            body_.word("tqdec");
        body_.word("tx", std::max(0, twips(tab.position)));
    }
    if (list) {
        body_.word("ls", listIndex(list));
        body_.word("ilvl", level);
    }
}

void DocumentWriter::writeListText(const QTextBlock& block, QTextList* list) {
    // For readers without list tables: the item's number as plain text.
    body_.open();
    body_.word("listtext");
    if (isBulletStyle(list->format().style()))
        body_.character(0x2022);
    else
        body_.text(list->itemText(block));
    body_.word("tab");
    body_.close();
}

void DocumentWriter::writeRuns(const QTextBlock& block) {
    QString href;
    RunProps outside;
    const auto closeLink = [&] {
        if (href.isEmpty())
            return;
        body_.close(); // the result's own group
        body_.close(); // \fldrslt
        body_.close(); // \field
        current_ = outside;
        href.clear();
    };

    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QTextCharFormat format = fragment.charFormat();
        if (format.isImageFormat()) {
            // Equal pictures side by side are one fragment, a character each.
            const QString text = fragment.text();
            for (const QChar c : text) {
                if (c == QChar::ObjectReplacementCharacter)
                    writePicture(format.toImageFormat());
            }
            continue;
        }
        const QString reference = format.stringProperty(PageReferenceProperty);
        if (!reference.isEmpty()) {
            closeLink();
            writeField(QStringLiteral(" PAGEREF %1 \\h ").arg(reference), fragment.text(),
                       propsOf(format));
            continue;
        }
        QStringList marks;
        for (const QString& name : format.anchorNames())
            if (!name.isEmpty() && !bookmarks_.contains(name))
                marks.append(name);
        for (const QString& name : marks) {
            bookmarks_.insert(name);
            writeBookmark("bkmkstart", name);
        }
        const QString link = format.isAnchor() ? format.anchorHref() : QString();
        if (link != href) {
            closeLink();
            if (!link.isEmpty()) {
                outside = current_;
                body_.open();
                body_.word("field");
                body_.open();
                body_.symbol('*');
                body_.word("fldinst");
                body_.open();
                // Field syntax: a quoted argument escapes its quotes and backslashes.
                QString target = link;
                target.replace(u'\\', QLatin1StringView("\\\\"));
                target.replace(u'"', QLatin1StringView("\\\""));
                body_.text(QStringLiteral(" HYPERLINK \"%1\" ").arg(target));
                body_.close();
                body_.close();
                body_.open();
                body_.word("fldrslt");
                body_.open();
                href = link;
            }
        }
        setRun(propsOf(format));
        body_.text(fragment.text());
        for (const QString& name : marks)
            writeBookmark("bkmkend", name);
    }
    closeLink();
}

void DocumentWriter::writePicture(const QTextImageFormat& format) {
    // A picture the document holds no PNG or JPEG bytes for (a missing resource, or one
    // over the picture limits) is left out: there is nothing to store that reads back.
    const QByteArray bytes = pictureBytes(doc_, format.name());
    const QSize pixels = picturePixelSize(bytes);
    if (!pixels.isValid())
        return;
    // Qt's own rule: a missing side keeps the picture's proportions.
    double width = format.width();
    double height = format.height();
    const bool hasWidth = width > 0 && std::isfinite(width);
    const bool hasHeight = height > 0 && std::isfinite(height);
    if (!hasWidth && !hasHeight) {
        width = pixels.width();
        height = pixels.height();
    } else if (!hasWidth) {
        width = height * pixels.width() / pixels.height();
    } else if (!hasHeight) {
        height = width * pixels.height() / pixels.width();
    }
    // Within what readers accept, in double before it becomes a whole number.
    const auto goal = [&](double pixels) {
        return static_cast<int32_t>(
            std::lround(std::clamp(pixels / pixelsPerTwip_, 1.0, double(maxTwips))));
    };
    // Word processors read a \pict inside \shppict (pandoc only a bare one, and
    // keeps the text); a \nonshppict copy would double the stored data.
    body_.open();
    body_.symbol('*');
    body_.word("shppict");
    body_.open();
    body_.word("pict");
    body_.word(pictureKind(bytes) == PictureKind::Jpeg ? "jpegblip" : "pngblip");
    body_.word("picw", pixels.width());
    body_.word("pich", pixels.height());
    body_.word("picwgoal", goal(width));
    body_.word("pichgoal", goal(height));
    body_.hex(bytes);
    body_.close();
    body_.close();
}

void DocumentWriter::writeBookmark(const char* which, const QString& name) {
    body_.open();
    body_.symbol('*');
    body_.word(which);
    body_.text(name);
    body_.close();
}

void DocumentWriter::writeField(const QString& instruction, const QString& result,
                                const RunProps& props) {
    // Formatting of the result is set inside the field, where the group's end undoes it.
    setRun(props);
    body_.open();
    body_.word("field");
    body_.open();
    body_.symbol('*');
    body_.word("fldinst");
    body_.open();
    body_.text(instruction);
    body_.close();
    body_.close();
    body_.open();
    body_.word("fldrslt");
    body_.open();
    body_.text(result);
    body_.close();
    body_.close();
    body_.close();
}

void DocumentWriter::writePageSetup(RtfOutput& out) {
    const RtfWriter::Page& p = *page_;
    const int32_t width = std::clamp(p.paperWidth, 1440, maxTwips);
    const int32_t height = std::clamp(p.paperHeight, 1440, maxTwips);
    const int32_t margin = std::clamp(p.margin, 0, std::min(width, height) / 3);
    out.word("paperw", width);
    out.word("paperh", height);
    out.word("margl", margin);
    out.word("margr", margin);
    out.word("margt", margin);
    out.word("margb", margin);
    out.newline();
    out.word("sectd");
    out.word("pgwsxn", width);
    out.word("pghsxn", height);
    out.word("marglsxn", margin);
    out.word("margrsxn", margin);
    out.word("margtsxn", margin);
    out.word("margbsxn", margin);
    // The footer sits in the lower margin, a quarter of it above the paper's edge.
    out.word("footery", margin / 4 + 1);
    if (p.footer.isEmpty())
        return;
    if (!p.footerOnFirstPage)
        out.word("titlepg");
    out.newline();

    // The footer's runs are built with the body's machinery, then moved to the page set-up.
    const RtfOutput body = std::exchange(body_, RtfOutput{});
    const RunProps outside = std::exchange(current_, RunProps{});
    body_.open();
    body_.word("footer");
    writeFooterText(p.footer);
    body_.close();
    if (!p.footerOnFirstPage) {
        body_.open();
        body_.word("footerf");
        body_.word("pard");
        body_.word("par");
        body_.close();
    }
    body_.newline();
    out.append(body_.bytes());
    body_ = body;
    current_ = outside;
}

void DocumentWriter::writeFooterText(const QString& footer) {
    const RtfWriter::Page& p = *page_;
    body_.word("pard");
    body_.word("qc");
    const RunProps props =
        propsOf(footerCharFormat(p.footerPoints, p.footerItalic, p.footerColour));
    splitFooterFields(
        footer,
        [&](QStringView text) {
            setRun(props);
            body_.text(text);
        },
        [&](FooterField field) {
            // The cached result is a placeholder a reader replaces when it lays the page out.
            writeField(field == FooterField::PageCount ? QStringLiteral(" NUMPAGES ")
                                                       : QStringLiteral(" PAGE "),
                       QStringLiteral("1"), props);
        });
    body_.word("par");
}

void DocumentWriter::setRun(const RunProps& want) {
    if (want == current_)
        return;
    // Only \plain takes a font or a size back to "not given".
    if ((current_.font >= 0 && want.font < 0) || (current_.size > 0 && want.size == 0)) {
        body_.word("plain");
        current_ = RunProps{};
    }
    if (want.font != current_.font)
        body_.word("f", want.font);
    if (want.size != current_.size)
        body_.word("fs", want.size);
    if (want.bold != current_.bold)
        want.bold ? body_.word("b") : body_.word("b", 0);
    if (want.italic != current_.italic)
        want.italic ? body_.word("i") : body_.word("i", 0);
    if (want.strike != current_.strike)
        want.strike ? body_.word("strike") : body_.word("strike", 0);
    if (want.underline != current_.underline)
        body_.word(underlineWord(want.underline));
    if (want.vertical != current_.vertical) {
        // Some readers know only the toggle form, others only \nosupersub.
        if (current_.vertical != 0) {
            body_.word(current_.vertical == 1 ? "super" : "sub", 0);
            body_.word("nosupersub");
        }
        if (want.vertical != 0)
            body_.word(want.vertical == 1 ? "super" : "sub");
    }
    if (want.caps != current_.caps) {
        if (current_.caps == 1)
            body_.word("caps", 0);
        else if (current_.caps == 2)
            body_.word("scaps", 0);
        if (want.caps == 1)
            body_.word("caps");
        else if (want.caps == 2)
            body_.word("scaps");
    }
    if (want.foreground != current_.foreground)
        body_.word("cf", want.foreground);
    if (want.background != current_.background) {
        // Word processors differ in which of the two they read.
        body_.word("chcbpat", want.background);
        body_.word("highlight", want.background);
    }
    current_ = want;
}

RunProps DocumentWriter::propsOf(const QTextCharFormat& format) {
    RunProps p;
    const QStringList families = format.property(QTextFormat::FontFamilies).toStringList();
    if (!families.isEmpty() && !families.first().isEmpty())
        p.font = fontIndex(families.first());

    double points = 0;
    if (format.hasProperty(QTextFormat::FontPointSize)) {
        points = format.fontPointSize();
    } else if (format.hasProperty(QTextFormat::FontPixelSize)) {
        points = format.intProperty(QTextFormat::FontPixelSize) * 72.0 / (pixelsPerTwip_ * 1440);
    } else if (format.hasProperty(QTextFormat::FontSizeAdjustment)) {
        // Relative sizes (pasted HTML headings): the scale Qt itself applies.
        static constexpr double scale[] = {0.7, 0.8, 1.0, 1.2, 1.5, 2.0, 2.4};
        const int step = std::clamp(format.intProperty(QTextFormat::FontSizeAdjustment) + 2, 0, 6);
        points = scale[step] * doc_.defaultFont().pointSizeF();
    }
    if (points <= 0) {
        // Every run names its size: a reader's own default differs from the document's.
        const QFont font = doc_.defaultFont();
        points = font.pointSizeF() > 0  ? font.pointSizeF()
                 : font.pixelSize() > 0 ? font.pixelSize() * 72.0 / (pixelsPerTwip_ * 1440)
                                        : 12.0;
    }
    p.size = std::clamp(static_cast<int>(std::lround(points * 2)), 1, 3276);
    if (p.font < 0)
        p.font = 0; // the default font, named so that \plain is never needed to get it back

    p.bold = format.hasProperty(QTextFormat::FontWeight) && format.fontWeight() >= QFont::DemiBold;
    p.italic = format.fontItalic();
    p.strike = format.fontStrikeOut();
    p.underline = format.underlineStyle();
    if (p.underline == QTextCharFormat::SpellCheckUnderline)
        p.underline = QTextCharFormat::NoUnderline;
    if (format.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        p.vertical = 1;
    else if (format.verticalAlignment() == QTextCharFormat::AlignSubScript)
        p.vertical = 2;
    if (format.fontCapitalization() == QFont::AllUppercase)
        p.caps = 1;
    else if (format.fontCapitalization() == QFont::SmallCaps)
        p.caps = 2;
    if (const QBrush b = format.foreground(); b.style() != Qt::NoBrush)
        p.foreground = colorIndex(b.color());
    if (const QBrush b = format.background(); b.style() != Qt::NoBrush)
        p.background = colorIndex(b.color());
    return p;
}

int DocumentWriter::fontIndex(const QString& family) {
    QString name = family;
    name.remove(u';');
    if (const auto it = fontIndices_.constFind(name); it != fontIndices_.constEnd())
        return it.value();
    const int index = static_cast<int>(fonts_.size());
    fonts_.push_back(name);
    fontIndices_.insert(name, index);
    return index;
}

int DocumentWriter::colorIndex(const QColor& color) {
    const QRgb rgb = color.rgb();
    if (const auto it = colorIndices_.constFind(rgb); it != colorIndices_.constEnd())
        return it.value();
    colors_.push_back(rgb);
    const int index = static_cast<int>(colors_.size()); // 0 is "automatic"
    colorIndices_.insert(rgb, index);
    return index;
}

int DocumentWriter::listIndex(QTextList* list) {
    if (const auto it = listIndices_.constFind(list); it != listIndices_.constEnd())
        return it.value();
    lists_.push_back(list->format());
    const int index = static_cast<int>(lists_.size());
    listIndices_.insert(list, index);
    return index;
}

void DocumentWriter::writeHeader(RtfOutput& out) const {
    out.open();
    out.word("rtf", 1);
    out.word("ansi");
    out.word("ansicpg", 1252);
    out.word("deff", 0);
    out.word("uc", 1);
    out.newline();

    out.open();
    out.word("fonttbl");
    for (std::size_t i = 0; i < fonts_.size(); ++i) {
        out.open();
        out.word("f", static_cast<int32_t>(i));
        out.word("fnil");
        out.word("fcharset", 0);
        out.text(fonts_[i]);
        out.text(u";");
        out.close();
    }
    out.close();
    out.newline();

    out.open();
    out.word("colortbl");
    out.text(u";");
    for (const QRgb rgb : colors_) {
        out.word("red", qRed(rgb));
        out.word("green", qGreen(rgb));
        out.word("blue", qBlue(rgb));
        out.text(u";");
    }
    out.close();
    out.newline();

    if (!lists_.empty())
        writeListTables(out);
}

void DocumentWriter::writeListTables(RtfOutput& out) const {
    out.open();
    out.symbol('*');
    out.word("listtable");
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        const QTextListFormat& format = lists_[i];
        const bool bullet = isBulletStyle(format.style());
        const int nfc = nfcForListStyle(format.style());
        // Qt numbers "1." when a list says nothing about its prefix and suffix.
        const QString prefix = bullet ? QString() : format.numberPrefix();
        const QString suffix = bullet ? QString()
                               : format.hasProperty(QTextFormat::ListNumberSuffix)
                                   ? format.numberSuffix()
                                   : QStringLiteral(".");
        out.open();
        out.word("list");
        out.word("listtemplateid", static_cast<int32_t>(i + 1));
        // Every level has the list's style: a Qt list is one level, written at
        // the level its indent gives it.
        for (int level = 0; level < 9; ++level) {
            out.open();
            out.word("listlevel");
            out.word("levelnfc", nfc);
            out.word("levelnfcn", nfc);
            out.word("leveljc", 0);
            out.word("levelfollow", 0);
            out.word("levelstartat", 1);
            out.open();
            out.word("leveltext");
            if (bullet) {
                out.byte(1);
                out.character(bulletCharFor(format.style()).unicode());
            } else {
                out.byte(static_cast<uint8_t>(
                    std::min<qsizetype>(prefix.size() + 1 + suffix.size(), 255)));
                out.text(prefix);
                out.byte(static_cast<uint8_t>(level));
                out.text(suffix);
            }
            out.text(u";");
            out.close();
            out.open();
            out.word("levelnumbers");
            if (!bullet)
                out.byte(static_cast<uint8_t>(prefix.size() + 1));
            out.text(u";");
            out.close();
            out.word("fi", -listHangTwips);
            out.word("li", (level + 1) * listLevelTwips);
            out.close();
        }
        out.word("listid", static_cast<int32_t>(i + 1));
        out.close();
        out.newline();
    }
    out.close();
    out.newline();

    out.open();
    out.symbol('*');
    out.word("listoverridetable");
    for (std::size_t i = 0; i < lists_.size(); ++i) {
        out.open();
        out.word("listoverride");
        out.word("listid", static_cast<int32_t>(i + 1));
        out.word("listoverridecount", 0);
        out.word("ls", static_cast<int32_t>(i + 1));
        out.close();
    }
    out.close();
    out.newline();
}

} // namespace

QByteArray RtfWriter::write(const QTextDocument& doc) {
    return DocumentWriter(doc, nullptr).write();
}

QByteArray RtfWriter::write(const QTextDocument& doc, const Page& page) {
    return DocumentWriter(doc, &page).write();
}

} // namespace quill::rtf
