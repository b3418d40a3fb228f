#pragma once

#include "financestatements.h"

#include <QImage>
#include <QSizeF>
#include <QString>

// The finance statements' two charts, drawn into images the report and the Finance window
// carry like any picture: the closing cash balance month by month, and sales against total
// costs with the break-even point.
namespace FinanceChart {

// `size` in points, drawn at `dpi`; month headings as the statements print them.
QImage closingCash(const finance::Statements& s, int firstMonth, const QString& fontFamily,
                   QSizeF size, double dpi);
QImage salesAndCosts(const finance::Statements& s, int firstMonth, const QString& fontFamily,
                     QSizeF size, double dpi);

} // namespace FinanceChart
