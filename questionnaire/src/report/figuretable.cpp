#include "figuretable.h"

#include <QTextCursor>
#include <QTextTable>

namespace FigureTable {

QTextTableFormat format(double cellPadding) {
    QTextTableFormat format;
    format.setBorder(0.5);
    format.setBorderBrush(QColor(0x90, 0x90, 0x90));
    format.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    format.setCellSpacing(0);
    format.setCellPadding(cellPadding);
    format.setHeaderRowCount(1);
    format.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    return format;
}

void fill(QTextTable* table, int row, int column, const QString& text, const QTextCharFormat& chars,
          const QColor& background, Qt::Alignment align) {
    QTextTableCell cell = table->cellAt(row, column);
    if (background.isValid()) {
        QTextCharFormat cf = cell.format();
        cf.setBackground(background);
        cell.setFormat(cf);
    }
    QTextCursor in = cell.firstCursorPosition();
    QTextBlockFormat bf;
    bf.setAlignment(align);
    in.setBlockFormat(bf);
    in.insertText(text, chars);
}

} // namespace FigureTable
