#include "twips.h"

#include <QGuiApplication>
#include <QScreen>

#include <cmath>

namespace {

constexpr double TwipsPerInch = 1440.0;

double dpiX() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchX() : 96.0;
}

double dpiY() {
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->logicalDotsPerInchY() : 96.0;
}

int roundToInt(double v) {
    return static_cast<int>(std::lround(v));
}

} // namespace

namespace Twips {

int toPixelsX(int twips) {
    return roundToInt(twips * dpiX() / TwipsPerInch);
}
int toPixelsY(int twips) {
    return roundToInt(twips * dpiY() / TwipsPerInch);
}
int fromPixelsX(int pixels) {
    return roundToInt(pixels * TwipsPerInch / dpiX());
}
int fromPixelsY(int pixels) {
    return roundToInt(pixels * TwipsPerInch / dpiY());
}

QRect toPixels(const QRect& twips) {
    // Convert the edges, not the sizes, so that controls designed edge to edge stay so.
    const int left = toPixelsX(twips.x());
    const int top = toPixelsY(twips.y());
    const int right = toPixelsX(twips.x() + twips.width());
    const int bottom = toPixelsY(twips.y() + twips.height());
    return QRect(left, top, right - left, bottom - top);
}

} // namespace Twips
