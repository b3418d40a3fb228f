#include "financedocument.h"

#include "figuretable.h"
#include "financecalculator.h"
#include "financechart.h"
#include "financestore.h"
#include "reportstyle.h"

#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

namespace FinanceDocument {

namespace {

using ReportStyle::kHeadingColour;
const QColor kWarning(0xB0, 0x30, 0x20);

QTextCharFormat chars(const Style& style, double scale, bool bold = false, bool italic = false,
                      const QColor& colour = Qt::black) {
    return ReportStyle::text(style.fontFamily, style.fontSize * scale, bold, italic, colour);
}

void paragraph(QTextCursor& c, const QString& text, const QTextCharFormat& format, double after = 4,
               Qt::Alignment align = Qt::AlignLeft) {
    QTextBlockFormat b;
    b.setBottomMargin(after);
    b.setAlignment(align);
    c.insertBlock(b, format);
    c.insertText(text, format);
}

void table(QTextCursor& c, const FinanceTables::Table& t, const Style& style) {
    paragraph(c, t.title, chars(style, 1.0, true, false, kHeadingColour), 3);
    const int columns = int(t.headings.size());
    QTextTableFormat format = FigureTable::format(2);
    // The labels take the room they need; the figures share the rest.
    QList<QTextLength> widths;
    const double label = columns > 4 ? 28 : 46;
    widths << QTextLength(QTextLength::PercentageLength, label);
    for (int i = 1; i < columns; ++i)
        widths << QTextLength(QTextLength::PercentageLength, (100 - label) / (columns - 1));
    format.setColumnWidthConstraints(widths);
    QTextTable* tt = c.insertTable(int(t.rows.size()) + 1, columns, format);
    const double scale = columns > 4 ? 0.72 : 0.85;
    auto put = [&](int r, int col, const QString& s, bool bold, const QColor& background) {
        FigureTable::fill(tt, r, col, s, chars(style, scale, bold), background,
                          col == 0 ? Qt::AlignLeft : Qt::AlignRight);
    };
    for (int col = 0; col < columns; ++col)
        put(0, col, t.headings[col], true, FigureTable::kHeaderBackground);
    for (int r = 0; r < t.rows.size(); ++r) {
        const FinanceTables::Row& row = t.rows[r];
        const QColor background = row.total ? FigureTable::kTotalBackground : QColor();
        put(r + 1, 0, row.label, row.total, background);
        for (int col = 1; col < columns; ++col)
            put(r + 1, col, row.cells.value(col - 1), row.total, background);
    }
    c.movePosition(QTextCursor::End);
}

void chart(QTextCursor& c, const QImage& image, const QString& name, const Style& style) {
    QTextDocument* doc = c.document();
    // One name per document and picture: a second render into the same document replaces it.
    const QUrl url(name);
    doc->addResource(QTextDocument::ImageResource, url, image);
    QTextBlockFormat b;
    b.setAlignment(Qt::AlignHCenter);
    b.setBottomMargin(8);
    c.insertBlock(b, chars(style, 1.0));
    QTextImageFormat picture;
    picture.setName(url.toString());
    picture.setWidth(style.textWidth);
    picture.setHeight(style.textWidth * 0.45);
    c.insertImage(picture);
}

} // namespace

std::optional<Figures> read(const QString& databasePath) {
    FinanceStore store(databasePath);
    if (!store.isOpen() || !store.hasTables())
        return std::nullopt;
    const FinanceStore::Assumptions a = store.load();
    if (!a.stored)
        return std::nullopt;
    const FinanceStore::GridFigures g = store.readGrid(a.inputs.firstMonth);
    Figures f;
    f.inputs = store.inputs(a, g);
    const auto s = finance::calculate(f.inputs);
    if (!s)
        return std::nullopt;
    f.statements = *s;
    f.actuals = a.actuals;
    f.salesRowsLeftOut = g.salesRowsLeftOut;
    return f;
}

void insert(QTextCursor& c, int step, const Figures* f, const Style& style) {
    if (step < kProfitAndLossStep || step > kBreakEvenStep)
        return;
    c.movePosition(QTextCursor::End);
    if (!f) {
        paragraph(c,
                  QStringLiteral("No finance figures yet: the Finance window (menu \"Finance\") "
                                 "builds this statement from your sales forecast and costs."),
                  chars(style, 0.9, false, true), 8);
        return;
    }
    const finance::Statements& s = f->statements;
    const QSizeF chartSize(style.textWidth * 0.75, style.textWidth * 0.45 * 0.75);
    switch (step) {
    case kProfitAndLossStep:
        for (const FinanceTables::Table& t : FinanceTables::profitAndLoss(s, f->inputs))
            table(c, t, style);
        break;
    case kCashFlowStep:
        for (const FinanceTables::Table& t : FinanceTables::cashFlow(s, f->inputs, f->actuals))
            table(c, t, style);
        chart(c,
              FinanceChart::closingCash(s, f->inputs.firstMonth, style.fontFamily, chartSize, 192),
              QStringLiteral("finance-closing-cash.png"), style);
        break;
    case kBalanceSheetStep:
        table(c, FinanceTables::balanceSheet(s), style);
        break;
    case kBreakEvenStep: {
        table(c, FinanceTables::breakEven(s, f->inputs), style);
        paragraph(c, FinanceTables::breakEvenSentence(s, f->inputs), chars(style, 1.0, true), 6);
        chart(
            c,
            FinanceChart::salesAndCosts(s, f->inputs.firstMonth, style.fontFamily, chartSize, 192),
            QStringLiteral("finance-sales-costs.png"), style);
        const QStringList warnings = FinanceTables::warnings(s, f->inputs, f->salesRowsLeftOut);
        if (!warnings.isEmpty()) {
            paragraph(c, QStringLiteral("Points to watch"),
                      chars(style, 1.0, true, false, kHeadingColour), 3);
            for (const QString& w : warnings)
                paragraph(c, QStringLiteral("\u2022 ") + w,
                          chars(style, 0.9, false, false, kWarning), 3);
        }
        break;
    }
    default:
        break;
    }
    QTextBlockFormat space;
    space.setBottomMargin(10);
    c.insertBlock(space, chars(style, 0.5));
}

} // namespace FinanceDocument
