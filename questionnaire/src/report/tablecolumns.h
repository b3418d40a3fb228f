#pragma once

#include <QTextTableFormat>

#include <functional>
#include <vector>

// The widths, in twips, that the word-processor exports give a table's columns: fixed widths
// as the document gives them, percentages of the text width, and the width left over shared
// by the columns that have neither (never narrower than a quarter inch).
// `twips` turns a length of the document (pixels) into twips; each format rounds as it needs.
std::vector<double> tableColumnWidths(const QTextTableFormat& format, int columns, double textWidth,
                                      const std::function<double(double)>& twips);
