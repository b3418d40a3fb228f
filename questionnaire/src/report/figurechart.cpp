#include "figurechart.h"

#include <QBarCategoryAxis>
#include <QBarSet>
#include <QChart>
#include <QGraphicsScene>
#include <QLocale>
#include <QPainter>
#include <QStackedBarSeries>
#include <QValueAxis>

#include <algorithm>

namespace FigureChart {

bool Data::isEmpty() const {
    for (const QList<double>& row : values)
        for (double v : row)
            if (v != 0)
                return false;
    return true;
}

Data collect(const QList<QStringList>& rows, int categoryColumn, int valueColumn, int seriesColumn,
             const QString& unnamed) {
    Data d;
    for (const QStringList& row : rows) {
        const QString category = row.value(categoryColumn).trimmed();
        QString number = row.value(valueColumn).trimmed();
        if (category.isEmpty() || number.isEmpty())
            continue;
        // The cells are as the table prints them: with the locale's group separators.
        const QLocale locale;
        bool ok = false;
        double value = locale.toDouble(number, &ok);
        if (!ok)
            value = QLocale(QLocale::English).toDouble(number, &ok);
        if (!ok)
            continue;
        QString series = seriesColumn >= 0 ? row.value(seriesColumn).trimmed() : QString();
        if (series.isEmpty())
            series = unnamed;
        qsizetype c = d.categories.indexOf(category);
        if (c < 0) {
            c = d.categories.size();
            d.categories.append(category);
            for (QList<double>& s : d.values)
                s.append(0);
        }
        qsizetype s = d.series.indexOf(series);
        if (s < 0) {
            s = d.series.size();
            d.series.append(series);
            d.values.append(QList<double>(d.categories.size(), 0.0));
        }
        d.values[s][c] += value;
    }
    return d;
}

QImage draw(const Data& data, const QString& title, const QString& valueTitle,
            const QString& fontFamily, QSizeF size, double dpi) {
    const double scale = dpi / 72.0;
    const QSize pixels(qRound(size.width() * scale), qRound(size.height() * scale));
    QFont font(fontFamily);
    font.setPixelSize(qRound(8 * scale));
    QFont titleFont = font;
    titleFont.setPixelSize(qRound(10 * scale));
    titleFont.setBold(true);

    auto* chart = new QChart;
    chart->setTitle(title);
    chart->setTitleFont(titleFont);
    chart->setAnimationOptions(QChart::NoAnimation);
    chart->setBackgroundVisible(false);
    chart->legend()->setFont(font);
    chart->legend()->setAlignment(Qt::AlignBottom);
    // The program's warm colours, one per product.
    static const QColor colours[] = {QColor(0xC0, 0x60, 0x20), QColor(0x40, 0x40, 0x80),
                                     QColor(0xE0, 0xA0, 0x40), QColor(0x60, 0x90, 0x60),
                                     QColor(0x90, 0x50, 0x70), QColor(0x70, 0x70, 0x70)};
    auto* bars = new QStackedBarSeries;
    double top = 0;
    for (qsizetype s = 0; s < data.series.size(); ++s) {
        auto* set = new QBarSet(data.series[s]);
        set->setColor(colours[s % std::size(colours)]);
        set->setBorderColor(Qt::white);
        for (double v : data.values[s])
            *set << v;
        bars->append(set);
    }
    for (qsizetype c = 0; c < data.categories.size(); ++c) {
        double sum = 0;
        for (const QList<double>& s : data.values)
            sum += std::max(0.0, s.value(c));
        top = std::max(top, sum);
    }
    chart->addSeries(bars);
    auto* x = new QBarCategoryAxis;
    x->append(data.categories);
    x->setLabelsFont(font);
    auto* y = new QValueAxis;
    y->setLabelsFont(font);
    y->setTitleFont(font);
    y->setTitleText(valueTitle);
    y->setRange(0, top > 0 ? top * 1.1 : 1);
    y->setLabelFormat(QStringLiteral("%.0f"));
    y->applyNiceNumbers();
    chart->addAxis(x, Qt::AlignBottom);
    chart->addAxis(y, Qt::AlignLeft);
    bars->attachAxis(x);
    bars->attachAxis(y);

    QGraphicsScene scene; // owns the chart
    scene.addItem(chart);
    chart->setGeometry(QRectF(QPointF(0, 0), QSizeF(pixels)));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::white);
    const double dpm = dpi / 0.0254;
    image.setDotsPerMeterX(qRound(dpm));
    image.setDotsPerMeterY(qRound(dpm));
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    scene.render(&painter, QRectF(QPointF(0, 0), QSizeF(pixels)),
                 QRectF(QPointF(0, 0), QSizeF(pixels)));
    painter.end();
    return image.convertToFormat(QImage::Format_RGB32);
}

} // namespace FigureChart
