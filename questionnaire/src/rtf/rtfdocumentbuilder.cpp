#include "rtfdocumentbuilder.h"

#include "rtfunits.h"

#include <QTextDocument>
#include <QTextList>
#include <QTextTable>

#include <algorithm>

namespace quill::rtf {
namespace {

// Each merge makes Qt rebuild the table's grid, so a table with very many merges
// would take quadratic time; past this budget of merges x cells the cells stay
// unmerged (their text is all still there).
constexpr int64_t mergeBudget = 20'000'000;

// Qt's format lookup hashes column widths by their count only, so tables that
// differ in widths alone all collide; past this many tables, Qt sizes the
// columns itself.
constexpr int maxTablesWithWidths = 256;

} // namespace

RtfDocumentBuilder::RtfDocumentBuilder(QTextDocument* doc, double pixelsPerTwip)
    : pixelsPerTwip_(pixelsPerTwip), cursor_(doc) {}

RtfDocumentBuilder::~RtfDocumentBuilder() = default;

void RtfDocumentBuilder::addText(const QString& text, const QTextCharFormat& format) {
    if (text.isEmpty())
        return;
    if (!current_.runs.empty() && current_.runs.back().first == format)
        current_.runs.back().second += text;
    else
        current_.runs.emplace_back(format, text);
}

void RtfDocumentBuilder::addImage(const QTextImageFormat& format) {
    // A run of its own: the object character is what Qt draws the picture for.
    current_.runs.emplace_back(format, QString(QChar::ObjectReplacementCharacter));
}

void RtfDocumentBuilder::endParagraph(const QTextBlockFormat& format, const QTextCharFormat& mark,
                                      const RtfListRef& list, bool inTable) {
    Paragraph paragraph = std::move(current_);
    current_ = Paragraph{};
    paragraph.format = format;
    paragraph.mark = mark;
    paragraph.list = list;
    if (inTable) {
        cell_.paragraphs.push_back(std::move(paragraph));
        return;
    }
    if (tablePending())
        flushTable();
    writeParagraph(cursor_, paragraph, freshBlock_, false);
}

void RtfDocumentBuilder::endCell() {
    if (row_.cells.size() >= maxColumns) {
        // Past the widest table we lay out, the cell's text joins the last cell.
        auto& last = row_.cells.back().paragraphs;
        for (auto& p : cell_.paragraphs)
            last.push_back(std::move(p));
    } else {
        row_.cells.push_back(std::move(cell_));
    }
    cell_ = Cell{};
}

void RtfDocumentBuilder::endRow(const RtfRowDef& row) {
    if (!current_.runs.empty()) {
        // Text between the last \cell and \row: keep it as a cell of its own.
        cell_.paragraphs.push_back(std::move(current_));
        current_ = Paragraph{};
    }
    closeRow(row);
}

void RtfDocumentBuilder::closeRow(const RtfRowDef& row) {
    if (!cell_.paragraphs.empty())
        endCell();
    if (row_.cells.empty())
        return;
    row_.def = row;
    rows_.push_back(std::move(row_));
    row_ = Row{};
}

void RtfDocumentBuilder::finish(const QTextBlockFormat& format, const QTextCharFormat& mark,
                                const RtfListRef& list, bool inTable) {
    if (!current_.runs.empty())
        endParagraph(format, mark, list, inTable);
    if (tablePending())
        flushTable();
}

bool RtfDocumentBuilder::tablePending() const {
    return !rows_.empty() || !row_.cells.empty() || !cell_.paragraphs.empty();
}

void RtfDocumentBuilder::flushTable() {
    if (!cell_.paragraphs.empty())
        endCell();
    if (!row_.cells.empty()) {
        // A row the file never closed: lay it out like the row before it.
        row_.def = rows_.empty() ? RtfRowDef{} : rows_.back().def;
        rows_.push_back(std::move(row_));
        row_ = Row{};
    }
    if (rows_.empty())
        return;

    std::vector<int32_t> edges;
    const auto placements = placeCells(edges);
    int columns = 1;
    if (edges.size() > 1) {
        columns = static_cast<int>(edges.size()) - 1;
    } else {
        for (const auto& row : placements)
            columns = std::max(columns, static_cast<int>(row.size()));
    }
    const int rowCount = static_cast<int>(rows_.size());

    // Vertical merges: a \clvmrg cell continues the cell above when that cell
    // starts a merge (or continues one) at the same column with the same span.
    struct Merge {
        int row, column, rows, columns;
    };
    std::vector<Merge> merges;
    std::vector<std::vector<bool>> covered(rowCount);
    std::vector<int> open(columns, -1); // per column: the merge reaching down to it
    for (int r = 0; r < rowCount; ++r) {
        const auto& defs = rows_[r].def.cells;
        covered[r].assign(placements[r].size(), false);
        std::vector<int> nextOpen(columns, -1);
        for (std::size_t i = 0; i < placements[r].size(); ++i) {
            const Placement& p = placements[r][i];
            const bool first = i < defs.size() && defs[i].mergeFirst;
            const bool next = i < defs.size() && defs[i].mergeNext;
            const int above = open[p.column];
            if (next && above >= 0 && merges[above].column == p.column &&
                merges[above].columns == p.span) {
                ++merges[above].rows;
                covered[r][i] = true;
                nextOpen[p.column] = above;
                continue;
            }
            if (p.span > 1 || first) {
                merges.push_back({r, p.column, 1, p.span});
                if (first)
                    nextOpen[p.column] = static_cast<int>(merges.size()) - 1;
            }
        }
        open = std::move(nextOpen);
    }

    QTextTableFormat tableFormat;
    int32_t border = 0;
    for (const Row& row : rows_) {
        border = std::max(border, row.def.borderWidth);
        for (const RtfCellDef& cell : row.def.cells)
            border = std::max(border, cell.borderWidth);
    }
    if (border > 0) {
        tableFormat.setBorder(std::max(1.0, border * pixelsPerTwip_));
        tableFormat.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
        tableFormat.setBorderBrush(Qt::black);
        tableFormat.setBorderCollapse(true);
    } else {
        tableFormat.setBorder(0);
    }
    tableFormat.setCellSpacing(0);
    tableFormat.setCellPadding(std::max<int32_t>(0, rows_.front().def.gap) * pixelsPerTwip_);
    tableFormat.setAlignment(rows_.front().def.alignment);
    if (edges.size() > 1 && tablesWithWidths_ < maxTablesWithWidths) {
        ++tablesWithWidths_;
        QList<QTextLength> widths;
        for (std::size_t i = 1; i < edges.size(); ++i)
            widths.append(
                QTextLength(QTextLength::FixedLength, (edges[i] - edges[i - 1]) * pixelsPerTwip_));
        tableFormat.setColumnWidthConstraints(widths);
    }

    QTextTable* table = cursor_.insertTable(rowCount, columns, tableFormat);
    const int64_t cells = int64_t(rowCount) * columns;
    int64_t budget = mergeBudget;
    for (const Merge& g : merges) {
        if (g.rows * g.columns <= 1 || budget < cells)
            continue;
        budget -= cells;
        table->mergeCells(g.row, g.column, g.rows, g.columns);
    }

    for (int r = 0; r < rowCount; ++r) {
        Row& row = rows_[r];
        for (std::size_t i = 0; i < placements[r].size(); ++i) {
            const Placement& p = placements[r][i];
            // A covered cell (\clvmrg) finds the merged cell here and adds what
            // little it holds to it; the file usually leaves it empty.
            QTextTableCell cell = table->cellAt(r, p.column);
            if (!covered[r][i] && i < row.def.cells.size() &&
                row.def.cells[i].background.isValid()) {
                QTextTableCellFormat cellFormat;
                cellFormat.setBackground(row.def.cells[i].background);
                cell.setFormat(cellFormat);
            }
            QTextCursor cellCursor = cell.lastCursorPosition();
            bool fresh = cell.firstPosition() == cell.lastPosition();
            for (Paragraph& paragraph : row.cells[i].paragraphs) {
                if (covered[r][i] && paragraph.runs.empty())
                    continue;
                writeParagraph(cellCursor, paragraph, fresh, true);
            }
        }
    }
    rows_.clear();

    // The block Qt keeps after every table; the frame's end marker precedes it.
    cursor_.setPosition(table->lastPosition() + 1);
    freshBlock_ = true;
}

std::vector<std::vector<RtfDocumentBuilder::Placement>>
RtfDocumentBuilder::placeCells(std::vector<int32_t>& edges) const {
    std::vector<std::vector<int32_t>> rights(rows_.size());
    std::vector<int32_t> all;
    for (std::size_t r = 0; r < rows_.size(); ++r) {
        const Row& row = rows_[r];
        int32_t previous = row.def.left;
        all.push_back(previous);
        for (std::size_t i = 0; i < row.cells.size(); ++i) {
            // A cell without an edge, or with one left of its neighbour, gets an
            // inch: the file says nothing better.
            // (Within the lengths the reader accepts, so a written table reads
            // back with the same edges.)
            int32_t right = i < row.def.cells.size() ? row.def.cells[i].right : previous + 1440;
            if (right <= previous)
                right = previous + (i < row.def.cells.size() ? 1 : 1440);
            right = std::min(right, std::max<int32_t>(previous + 1, maxTwips));
            rights[r].push_back(right);
            all.push_back(right);
            previous = right;
        }
    }
    std::sort(all.begin(), all.end());
    all.erase(std::unique(all.begin(), all.end()), all.end());

    // Rows rarely agree to the twip; edges closer than this are one column edge.
    constexpr int32_t tolerance = 30;
    std::vector<int32_t> kept;
    for (const int32_t x : all) {
        if (kept.empty() || x >= kept.back() + tolerance)
            kept.push_back(x);
    }
    const auto edgeIndex = [&](int32_t x) {
        return static_cast<int>(std::upper_bound(kept.begin(), kept.end(), x) - kept.begin()) - 1;
    };

    std::vector<std::vector<Placement>> placements(rows_.size());
    bool grid = kept.size() - 1 <= static_cast<std::size_t>(maxColumns);
    for (std::size_t r = 0; grid && r < rows_.size(); ++r) {
        int32_t left = rows_[r].def.left;
        int previousEnd = 0;
        for (const int32_t right : rights[r]) {
            const int start = edgeIndex(left);
            const int end = edgeIndex(right);
            if (end <= start || start < previousEnd) {
                grid = false; // cells too narrow to tell apart
                break;
            }
            placements[r].push_back({start, end - start});
            previousEnd = end;
            left = right;
        }
    }
    if (grid) {
        edges = std::move(kept);
    } else {
        edges.clear();
        for (std::size_t r = 0; r < rows_.size(); ++r) {
            placements[r].clear();
            for (std::size_t i = 0; i < rows_[r].cells.size(); ++i)
                placements[r].push_back({static_cast<int>(i), 1});
        }
    }
    return placements;
}

void RtfDocumentBuilder::writeParagraph(QTextCursor& cursor, Paragraph& paragraph, bool& freshBlock,
                                        bool cellStart) {
    if (freshBlock) {
        cursor.setBlockFormat(paragraph.format);
        // A cell's first block carries the cell's own format (spans, background)
        // as its character format; the paragraph mark must not replace it.
        if (!cellStart)
            cursor.setBlockCharFormat(paragraph.mark);
        freshBlock = false;
    } else {
        cursor.insertBlock(paragraph.format, paragraph.mark);
    }
    if (paragraph.list.group != 0)
        attachToList(cursor, paragraph.list);
    for (auto& [format, text] : paragraph.runs)
        cursor.insertText(text, format);
}

void RtfDocumentBuilder::attachToList(QTextCursor& cursor, const RtfListRef& list) {
    // A paragraph at level L ends the deeper levels of its list: their numbering
    // starts again under the next item.
    auto deeper = lists_.upper_bound({list.group, list.level});
    while (deeper != lists_.end() && deeper->first.first == list.group)
        deeper = lists_.erase(deeper);

    const auto key = std::make_pair(list.group, list.level);
    if (const auto it = lists_.find(key); it != lists_.end())
        it->second->add(cursor.block());
    else
        lists_.emplace(key, cursor.createList(list.format));
}

} // namespace quill::rtf
