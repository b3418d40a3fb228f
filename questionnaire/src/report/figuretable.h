#pragma once

#include <QColor>
#include <QTextCharFormat>
#include <QTextTableFormat>

class QTextTable;

// The look every table of figures in the report shares, the finance statements'
// and the figure subreports' alike: a thin grey rule round each cell, one header
// row, the text's full width; the header row and a totals row on pale peach.
namespace FigureTable {

inline const QColor kHeaderBackground(0xFF, 0xE0, 0xC0); // pale peach
inline const QColor kTotalBackground(0xFF, 0xF0, 0xE0);

// `cellPadding` in points: the statements' many columns take less than a subreport's.
QTextTableFormat format(double cellPadding);

// Writes `text` into the (empty) cell at `row`, `column`, aligned, in `chars`, on
// `background` (an invalid colour leaves the cell's own).
void fill(QTextTable* table, int row, int column, const QString& text, const QTextCharFormat& chars,
          const QColor& background, Qt::Alignment align);

} // namespace FigureTable
