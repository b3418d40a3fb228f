// RtfDocumentBuilder: turns the reader's stream of runs, paragraphs, cells and rows
// into a QTextDocument.
//
// Paragraphs outside tables go straight into the document. Table paragraphs are
// held until the table ends (a paragraph outside it, or the end), because RTF
// gives a table row by row and each row its own cell edges: the table's columns
// are the union of all rows' edges, a cell wider than one column spans several,
// and \clvmgf/\clvmrg cells span rows. Rows of more than maxColumns cells, or
// edges that make no grid, fall back to one column per cell.
//
// Lists: paragraphs with the same list key share one QTextList, so numbering runs
// on across the whole document as in a word processor; a paragraph at level L
// starts the deeper levels of its list afresh.
//
// Promises: the document only ever receives well-formed structure (every table
// rectangular, every merge inside it), so nothing a file says can break Qt's
// invariants; the work is linear in the size of what it is given.
#pragma once

#include <QColor>
#include <QString>
#include <QTextBlockFormat>
#include <QTextCharFormat>
#include <QTextCursor>
#include <QTextImageFormat>
#include <QTextListFormat>
#include <QTextTableFormat>

#include <cstdint>
#include <map>
#include <utility>
#include <vector>

class QTextDocument;
class QTextList;
class QTextTable;

namespace quill::rtf {

// Which list a paragraph belongs to: a list (group) and a level within it.
struct RtfListRef {
    int64_t group = 0; // 0: not in a list
    int level = 0;
    QTextListFormat format;
};

struct RtfCellDef {
    int32_t right = 0; // twips from the row's origin
    QColor background;
    bool mergeFirst = false; // \clvmgf: the first of vertically merged cells
    bool mergeNext = false;  // \clvmrg: merged into the cell above
    int32_t borderWidth = 0; // twips; 0 without a border
};

struct RtfRowDef {
    int32_t left = 0; // \trleft, twips
    int32_t gap = 0;  // \trgaph: half the space between cells, twips
    Qt::Alignment alignment = Qt::AlignLeft;
    int32_t borderWidth = 0; // \trbrdr..., twips
    std::vector<RtfCellDef> cells;
};

class RtfDocumentBuilder {
public:
    static constexpr int maxColumns = 64;

    RtfDocumentBuilder(QTextDocument* doc, double pixelsPerTwip);
    ~RtfDocumentBuilder();
    RtfDocumentBuilder(const RtfDocumentBuilder&) = delete;
    RtfDocumentBuilder& operator=(const RtfDocumentBuilder&) = delete;

    void addText(const QString& text, const QTextCharFormat& format);
    // A picture in the text: an image format whose name is a resource of the document.
    void addImage(const QTextImageFormat& format);
    // Cells have ended since the last \row.
    bool rowOpen() const { return !row_.cells.empty() || !cell_.paragraphs.empty(); }

    // Ends the paragraph in progress; mark is the format of its paragraph mark.
    void endParagraph(const QTextBlockFormat& format, const QTextCharFormat& mark,
                      const RtfListRef& list, bool inTable);
    void endCell();
    void endRow(const RtfRowDef& row);
    // Ends a row whose \row never came; the paragraph in progress is not in it.
    void closeRow(const RtfRowDef& row);

    // Ends the document: a last paragraph that has text is kept (with the given
    // formats), an empty one is the file's final paragraph mark; tables close.
    void finish(const QTextBlockFormat& format, const QTextCharFormat& mark, const RtfListRef& list,
                bool inTable);

private:
    struct Paragraph {
        QTextBlockFormat format;
        QTextCharFormat mark;
        RtfListRef list;
        std::vector<std::pair<QTextCharFormat, QString>> runs;
    };
    struct Cell {
        std::vector<Paragraph> paragraphs;
    };
    struct Row {
        RtfRowDef def;
        std::vector<Cell> cells;
    };
    struct Placement {
        int column = 0;
        int span = 1;
    };

    bool tablePending() const;
    void flushTable();
    std::vector<std::vector<Placement>> placeCells(std::vector<int32_t>& edges) const;
    void writeParagraph(QTextCursor& cursor, Paragraph& paragraph, bool& freshBlock,
                        bool cellStart);
    void attachToList(QTextCursor& cursor, const RtfListRef& list);

    double pixelsPerTwip_;
    QTextCursor cursor_;
    bool freshBlock_ = true; // the cursor's block is empty and not yet used

    Paragraph current_;
    Cell cell_;
    Row row_;
    std::vector<Row> rows_;

    std::map<std::pair<int64_t, int>, QTextList*> lists_;
    int tablesWithWidths_ = 0;
};

} // namespace quill::rtf
