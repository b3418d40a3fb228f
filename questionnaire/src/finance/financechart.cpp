#include "financechart.h"

#include "financetext.h"

#include <QFont>
#include <QFontMetricsF>
#include <QPainter>
#include <QPainterPath>
#include <algorithm>
#include <cmath>

namespace FinanceChart {

namespace {

const QColor kBrown(0x80, 0x40, 0x00);
const QColor kCash(0x3A, 0x6E, 0xA5);
const QColor kOverdrawn(0xC0, 0x39, 0x2B);
const QColor kCosts(0xC0, 0x6A, 0x1A);
const QColor kGrid(0xD8, 0xD8, 0xD8);

// A value axis with round steps over [low, high], both in cents.
struct Axis {
    double low, high, step;
};

Axis axis(double low, double high) {
    low = std::min(low, 0.0);
    high = std::max(high, 0.0);
    if (high - low < 100)
        high = low + 100;
    const double raw = (high - low) / 5;
    const double power = std::pow(10.0, std::floor(std::log10(raw)));
    double step = power;
    for (double m : {1.0, 2.0, 2.5, 5.0, 10.0})
        if (power * m >= raw) {
            step = power * m;
            break;
        }
    return {std::floor(low / step) * step, std::ceil(high / step) * step, step};
}

// The frame every chart shares: title, value axis with grid lines, month headings. Returns
// the plot area; `y` maps a value in cents to a height in it.
struct Frame {
    QRectF plot;
    Axis ax;
    double y(double cents) const {
        return plot.bottom() - (cents - ax.low) / (ax.high - ax.low) * plot.height();
    }
    double x(int month) const { return plot.left() + (month + 0.5) * plot.width() / 12; }
};

Frame drawFrame(QPainter& p, const QString& title, const QString& family, QSizeF size,
                const Axis& ax, int firstMonth) {
    QFont titleFont(family);
    titleFont.setPixelSize(11); // the painter draws in points
    titleFont.setBold(true);
    QFont small(family);
    small.setPixelSize(8);
    p.setFont(titleFont);
    p.setPen(kBrown);
    const double titleHeight = QFontMetricsF(titleFont).height() * 1.6;
    p.drawText(QRectF(0, 0, size.width(), titleHeight), Qt::AlignCenter, title);
    p.setFont(small);
    const QFontMetricsF fm(small);
    double labelWidth = 0;
    for (double v = ax.low; v <= ax.high + ax.step / 2; v += ax.step)
        labelWidth = std::max(labelWidth, fm.horizontalAdvance(FinanceText::money(qint64(v))));
    Frame f{QRectF(labelWidth + 8, titleHeight, size.width() - labelWidth - 14,
                   size.height() - titleHeight - fm.height() * 3.2),
            ax};
    for (double v = ax.low; v <= ax.high + ax.step / 2; v += ax.step) {
        const double y = f.y(v);
        p.setPen(QPen(v == 0 ? Qt::black : kGrid, v == 0 ? 1.0 : 0.6));
        p.drawLine(QPointF(f.plot.left(), y), QPointF(f.plot.right(), y));
        p.setPen(Qt::black);
        p.drawText(QRectF(0, y - fm.height() / 2, labelWidth + 4, fm.height()),
                   Qt::AlignRight | Qt::AlignVCenter, FinanceText::money(qint64(v)));
    }
    for (int m = 0; m < 12; ++m)
        p.drawText(QRectF(f.x(m) - 30, f.plot.bottom() + 2, 60, fm.height()), Qt::AlignCenter,
                   FinanceText::tradingMonthHeading(m + 1, firstMonth));
    return f;
}

// A white picture of `size` points at `dpi`, painted by `draw` in points with smooth edges.
template <typename Draw> QImage drawn(QSizeF size, double dpi, Draw&& draw) {
    const double scale = dpi / 72.0;
    QImage image(QSize(int(size.width() * scale), int(size.height() * scale)),
                 QImage::Format_ARGB32);
    image.setDotsPerMeterX(int(dpi / 0.0254));
    image.setDotsPerMeterY(int(dpi / 0.0254));
    image.fill(Qt::white);
    QPainter p(&image);
    p.setRenderHint(QPainter::Antialiasing);
    p.scale(scale, scale);
    draw(p);
    p.end();
    return image;
}

void legend(QPainter& p, const Frame& f, const QList<QPair<QColor, QString>>& entries) {
    const QFontMetricsF fm(p.font());
    double x = f.plot.left();
    const double y = f.plot.bottom() + fm.height() * 1.6;
    for (const auto& [colour, text] : entries) {
        p.fillRect(QRectF(x, y + fm.height() * 0.3, 10, fm.height() * 0.4), colour);
        p.setPen(Qt::black);
        p.drawText(QPointF(x + 14, y + fm.ascent()), text);
        x += 24 + fm.horizontalAdvance(text);
    }
}

} // namespace

QImage closingCash(const finance::Statements& s, int firstMonth, const QString& fontFamily,
                   QSizeF size, double dpi) {
    return drawn(size, dpi, [&](QPainter& p) {
        double low = 0, high = 0;
        for (const finance::CashMonth& c : s.cash) {
            low = std::min(low, double(c.closing));
            high = std::max(high, double(c.closing));
        }
        const Frame f = drawFrame(p, QStringLiteral("Closing cash balance, month by month"),
                                  fontFamily, size, axis(low, high), firstMonth);
        const double width = f.plot.width() / 12 * 0.6;
        for (int m = 0; m < 12; ++m) {
            const double v = double(s.cash[m].closing);
            const QRectF bar = QRectF(QPointF(f.x(m) - width / 2, f.y(std::max(v, 0.0))),
                                      QPointF(f.x(m) + width / 2, f.y(std::min(v, 0.0))));
            p.fillRect(bar, v < 0 ? kOverdrawn : kCash);
        }
        legend(p, f,
               {{kCash, QStringLiteral("In hand")}, {kOverdrawn, QStringLiteral("Overdrawn")}});
    });
}

QImage salesAndCosts(const finance::Statements& s, int firstMonth, const QString& fontFamily,
                     QSizeF size, double dpi) {
    return drawn(size, dpi, [&](QPainter& p) {
        auto costs = [&](int m) {
            const finance::ProfitAndLoss& x = s.months[m];
            return double(x.costOfSales + x.runningCosts + x.depreciation + x.interest);
        };
        double high = 0;
        for (int m = 0; m < 12; ++m)
            high = std::max({high, double(s.months[m].sales), costs(m)});
        const Frame f = drawFrame(p, QStringLiteral("Sales against total costs"), fontFamily, size,
                                  axis(0, high), firstMonth);
        auto line = [&](auto value, const QColor& colour) {
            QPainterPath path;
            for (int m = 0; m < 12; ++m)
                m == 0 ? path.moveTo(f.x(m), f.y(value(m))) : path.lineTo(f.x(m), f.y(value(m)));
            p.setPen(QPen(colour, 2));
            p.setBrush(Qt::NoBrush);
            p.drawPath(path);
        };
        line([&](int m) { return double(s.months[m].sales); }, kCash);
        line(costs, kCosts);
        const int reached = s.breakEven.monthReached;
        if (reached > 0) {
            const double x = f.x(reached - 1);
            const double y = f.y(double(s.months[reached - 1].sales));
            p.setPen(QPen(kBrown, 1, Qt::DashLine));
            p.drawLine(QPointF(x, f.plot.top()), QPointF(x, f.plot.bottom()));
            p.setBrush(kBrown);
            p.drawEllipse(QPointF(x, y), 4, 4);
            p.setPen(kBrown);
            const QString text = QStringLiteral("Break-even");
            const double w = QFontMetricsF(p.font()).horizontalAdvance(text);
            const double tx = x + 6 + w > f.plot.right() ? x - 6 - w : x + 6;
            p.drawText(QPointF(tx, f.plot.top() + QFontMetricsF(p.font()).ascent()), text);
        }
        legend(p, f,
               {{kCash, QStringLiteral("Sales")},
                {kCosts, QStringLiteral("Total costs")},
                {kBrown, reached > 0 ? QStringLiteral("Break-even reached")
                                     : QStringLiteral("Break-even not reached in year 1")}});
    });
}

} // namespace FinanceChart
