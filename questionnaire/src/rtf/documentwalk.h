// DocumentWalk: what a QTextDocument says, read once for every file writer (RTF, DOCX, ODT).
//
// The writers differ only in how they spell things; what a run's font and size are, where a
// link or a bookmark starts, how large a picture is on the page and whether a paragraph
// opens a new page are decided here, so that every format says the same.
//
// Runs carry their characters fully resolved: a font family and a size in points always
// (a reader's own defaults differ from the document's), relative sizes from pasted HTML
// scaled as Qt scales them. A link or a bookmark belongs to whatever run holds it: text, a
// picture or a page reference. A bookmark is given once, on the first run that names it.
// With a page, a picture is never larger than the page's text area (its proportions kept).
#pragma once

#include "exportpage.h"

#include <QByteArray>
#include <QColor>
#include <QFont>
#include <QHash>
#include <QSet>
#include <QSize>
#include <QSizeF>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCharFormat>
#include <QTextFrame>

#include <vector>

class QTextDocument;
class QTextTable;
class QTextTableCell;

namespace quill::rtf {

// The characters of a run.
struct RunFormat {
    QString family;
    double points = 12;
    bool bold = false;
    bool italic = false;
    bool strike = false;
    QTextCharFormat::UnderlineStyle underline = QTextCharFormat::NoUnderline;
    QTextCharFormat::VerticalAlignment vertical = QTextCharFormat::AlignNormal;
    QFont::Capitalization caps = QFont::MixedCase;
    QColor foreground; // invalid: none given
    QColor background; // invalid: none given
    bool operator==(const RunFormat&) const = default;
};

// A picture's data, as the document holds it: PNG or JPEG bytes and their pixels.
struct PictureData {
    QByteArray bytes;
    QSize pixels;
    bool jpeg = false;
};

struct Run {
    enum class Kind { Text, Picture, PageReference };
    Kind kind = Kind::Text;
    // Text: the characters; PageReference: the page number the program counted, which a
    // word processor replaces with its own.
    QString text;
    RunFormat format;
    QString link;          // the link's target; empty: none
    QStringList bookmarks; // bookmarks that enclose this run
    QString reference;     // PageReference: the bookmark whose page it shows
    QString picture;       // Picture: the document's name for it (see DocumentWalk::picture)
    QSizeF size;           // Picture: on the page, in the document's pixels
    // The document's index of the run's character format: runs with one index have one
    // format, so a writer may work out what it makes of a format once. -1: none.
    int formatIndex = -1;
};

// A paragraph as the writers need it beyond its runs.
struct ParagraphInfo {
    // The document asks for a new page here (the title, the contents, each chapter); a
    // break that the program's own layout added to keep a heading with its text is not one.
    bool pageBreakBefore = false;
    bool keepWithNext = false;
    int headingLevel = 0; // 0: none
};

// The largest a picture may be on the page, in the document's pixels (`pixelsPerTwip`): the
// text area, less a quarter inch of height for the line the picture stands on.
QSizeF pictureArea(const ExportPage& page, double pixelsPerTwip);
// `size` scaled down to fit `area`, its proportions kept; a size that fits is kept.
QSizeF fitInto(QSizeF size, QSizeF area);

class DocumentWalk {
public:
    // Without a page, pictures keep the size the document gives them.
    explicit DocumentWalk(const QTextDocument& doc, const ExportPage* page = nullptr);

    const QTextDocument& document() const { return doc_; }
    double pixelsPerTwip() const { return pixelsPerTwip_; }

    // The runs of one paragraph, in order. Bookmarks already given are not given again:
    // walk each paragraph once (a writer that writes twice uses a fresh walk).
    std::vector<Run> runs(const QTextBlock& block);
    ParagraphInfo paragraph(const QTextBlock& block) const;
    RunFormat format(const QTextCharFormat& chars) const;
    // The data of a picture named by a Picture run; null bytes when the document has none.
    const PictureData& picture(const QString& name);

    // The paragraphs from `it` on, in reading order: a table inside a table cell, or another
    // frame, keeps its text, not its structure.
    static void collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out);
    // The top-level parts of the document in order: paragraphs, and tables (frames other
    // than tables give their paragraphs).
    struct Part {
        QTextBlock block;            // valid for a paragraph
        QTextTable* table = nullptr; // set for a table
        bool contents = false;       // the table is the document's contents (ContentsProperty)
    };
    std::vector<Part> parts() const;

private:
    QSizeF pictureSize(const QTextImageFormat& format, QSize pixels) const;
    void addParts(QTextFrame::iterator it, std::vector<Part>& out) const;

    const QTextDocument& doc_;
    const ExportPage* page_;
    double pixelsPerTwip_;
    double defaultPoints_;
    QSet<QString> bookmarks_;
    QHash<QString, PictureData> pictures_;
    // What runs() needs of each character format the document holds, by its index: a long
    // answer has thousands of fragments but only a handful of formats.
    struct FormatFacts {
        RunFormat format;
        QString link;
        QStringList anchorNames;
        QString reference; // a page reference's bookmark
        bool image = false;
    };
    const FormatFacts& facts(const QTextFragment& fragment);
    QHash<int, FormatFacts> formats_;
};

} // namespace quill::rtf
