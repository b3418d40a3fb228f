#include "tablecolumns.h"

#include <algorithm>

std::vector<double> tableColumnWidths(const QTextTableFormat& format, int columns, double textWidth,
                                      const std::function<double(double)>& twips) {
    std::vector<double> widths(columns, 0);
    const QList<QTextLength> constraints = format.columnWidthConstraints();
    double used = 0;
    int open = 0;
    for (int c = 0; c < columns; ++c) {
        const QTextLength l = c < constraints.size() ? constraints[c] : QTextLength();
        if (l.type() == QTextLength::FixedLength)
            widths[c] = twips(l.rawValue());
        else if (l.type() == QTextLength::PercentageLength)
            widths[c] = textWidth * l.rawValue() / 100.0;
        else
            ++open;
        used += widths[c];
    }
    for (double& w : widths)
        if (w <= 0)
            w = std::max(360.0, (textWidth - used) / std::max(open, 1));
    return widths;
}
