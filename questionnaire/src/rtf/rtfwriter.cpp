#include "rtfwriter.h"

#include "documentwalk.h"
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
    DocumentWriter(const QTextDocument& doc, const ExportPage* page);
    QByteArray write();

private:
    void writeRootFrame();
    void writeTable(QTextTable* table);
    void writeBlock(const QTextBlock& block, bool inTable, const char* ending);
    void writeParagraphFormat(const QTextBlock& block, bool inTable);
    void writeListText(const QTextBlock& block, QTextList* list);
    void writeRuns(const QTextBlock& block);
    void writePicture(const Run& run);
    void setRun(const RunProps& want);
    RunProps propsOf(const RunFormat& format);
    // A run's props, worked out once for each of the document's formats.
    RunProps propsOf(const Run& run);
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
    const ExportPage* page_;
    DocumentWalk walk_;
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
    QHash<int, RunProps> runProps_;
};

DocumentWriter::DocumentWriter(const QTextDocument& doc, const ExportPage* page)
    : doc_(doc), page_(page), walk_(doc, page), pixelsPerTwip_(walk_.pixelsPerTwip()) {
    fontIndex(doc.defaultFont().family());
    // Text with its formatting takes about twice its characters.
    body_.reserve(2 * qsizetype(doc.characterCount()) + 256);
}

QByteArray DocumentWriter::write() {
    writeRootFrame();
    // The footer is written after the text: its fonts and colours join the tables the
    // header lists, and it is placed ahead of the text in the section it belongs to.
    RtfOutput page;
    if (page_)
        writePageSetup(page);
    RtfOutput header;
    writeHeader(header);
    // Put together once, in place: a long document is not copied part by part.
    QByteArray rtf;
    rtf.reserve(header.size() + page.size() + body_.size() + 2);
    header.appendTo(rtf);
    page.appendTo(rtf);
    body_.appendTo(rtf);
    rtf += "}\n"; // the document's group closes on a line of its own
    return rtf;
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
                DocumentWalk::collectBlocks(frame->begin(), blocks);
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
            DocumentWalk::collectBlocks(slot.cell.begin(), blocks);
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
        setRun(propsOf(walk_.format(block.charFormat()))); // an empty line keeps its height
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

    const ParagraphInfo info = walk_.paragraph(block);
    if (info.pageBreakBefore)
        body_.word("pagebb");
    if (info.keepWithNext)
        body_.word("keepn");
    body_.word("widctlpar");
    if (info.headingLevel >= 1)
        body_.word("outlinelevel", info.headingLevel - 1);
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

    for (const Run& run : walk_.runs(block)) {
        if (run.link != href) {
            closeLink();
            if (!run.link.isEmpty()) {
                outside = current_;
                body_.open();
                body_.word("field");
                body_.open();
                body_.symbol('*');
                body_.word("fldinst");
                body_.open();
                // Field syntax: a quoted argument escapes its quotes and backslashes.
                QString target = run.link;
                target.replace(u'\\', QLatin1StringView("\\\\"));
                target.replace(u'"', QLatin1StringView("\\\""));
                body_.text(QStringLiteral(" HYPERLINK \"%1\" ").arg(target));
                body_.close();
                body_.close();
                body_.open();
                body_.word("fldrslt");
                body_.open();
                href = run.link;
            }
        }
        for (const QString& name : run.bookmarks)
            writeBookmark("bkmkstart", name);
        switch (run.kind) {
        case Run::Kind::Picture:
            writePicture(run);
            break;
        case Run::Kind::PageReference:
            writeField(QStringLiteral(" PAGEREF %1 \\h ").arg(run.reference), run.text,
                       propsOf(run));
            break;
        case Run::Kind::Text:
            setRun(propsOf(run));
            body_.text(run.text);
            break;
        }
        for (const QString& name : run.bookmarks)
            writeBookmark("bkmkend", name);
    }
    closeLink();
}

void DocumentWriter::writePicture(const Run& run) {
    const PictureData& data = walk_.picture(run.picture);
    // Within what readers accept, in double before it becomes a whole number.
    const auto goal = [&](double pixels) {
        return static_cast<int32_t>(
            std::lround(std::clamp(pixels / pixelsPerTwip_, 1.0, double(maxTwips))));
    };
    const auto pict = [&] {
        body_.open();
        body_.word("pict");
        body_.word(data.jpeg ? "jpegblip" : "pngblip");
        body_.word("picw", data.pixels.width());
        body_.word("pich", data.pixels.height());
        body_.word("picwgoal", goal(run.size.width()));
        body_.word("pichgoal", goal(run.size.height()));
        body_.hex(data.bytes);
        body_.close();
    };
    // Word processors read the \pict inside \shppict and skip \nonshppict; readers that
    // know no \shppict (pandoc and other converters) skip it and read the copy.
    body_.open();
    body_.symbol('*');
    body_.word("shppict");
    pict();
    body_.close();
    body_.open();
    body_.word("nonshppict");
    pict();
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
    const ExportPage& p = *page_;
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
    const ExportPage& p = *page_;
    body_.word("pard");
    body_.word("qc");
    const RunProps props =
        propsOf(walk_.format(footerCharFormat(p.footerPoints, p.footerItalic, p.footerColour)));
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

RunProps DocumentWriter::propsOf(const RunFormat& format) {
    RunProps p;
    p.font = fontIndex(format.family);
    p.size = std::clamp(static_cast<int>(std::lround(format.points * 2)), 1, 3276);
    p.bold = format.bold;
    p.italic = format.italic;
    p.strike = format.strike;
    p.underline = format.underline;
    if (format.vertical == QTextCharFormat::AlignSuperScript)
        p.vertical = 1;
    else if (format.vertical == QTextCharFormat::AlignSubScript)
        p.vertical = 2;
    if (format.caps == QFont::AllUppercase)
        p.caps = 1;
    else if (format.caps == QFont::SmallCaps)
        p.caps = 2;
    if (format.foreground.isValid())
        p.foreground = colorIndex(format.foreground);
    if (format.background.isValid())
        p.background = colorIndex(format.background);
    return p;
}

RunProps DocumentWriter::propsOf(const Run& run) {
    if (run.formatIndex < 0)
        return propsOf(run.format);
    auto known = runProps_.constFind(run.formatIndex);
    if (known == runProps_.cend())
        known = runProps_.insert(run.formatIndex, propsOf(run.format));
    return *known;
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
    // Widow and orphan control for the whole document; each paragraph asks for it too.
    out.word("widowctrl");
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
