#pragma once

#include <QImage>
#include <QList>
#include <QSizeF>
#include <QString>
#include <QStringList>

// A chart of a subreport's figures drawn with Qt Charts into an image the report carries
// like any picture, so that it reaches the preview, print, PDF and every export: one bar
// per category (a month) stacked by series (a product), the height the sum of the values.
namespace FigureChart {

struct Data {
    QStringList categories; // in the order they first appear
    QStringList series;
    // values[s][c]: the sum for series s in category c.
    QList<QList<double>> values;
    bool isEmpty() const;
};

// Sums the value of each (category, series) pair; rows with no category or a value that
// is not a number are left out, a missing series name counts as `unnamed`.
Data collect(const QList<QStringList>& rows, int categoryColumn, int valueColumn, int seriesColumn,
             const QString& unnamed);

// The chart, `size` in points, drawn at `dpi`.
QImage draw(const Data& data, const QString& title, const QString& valueTitle,
            const QString& fontFamily, QSizeF size, double dpi);

} // namespace FigureChart
