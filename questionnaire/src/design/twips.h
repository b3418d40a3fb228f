#pragma once

#include <QRect>

// Window designs measure in twips, 1/1440 of an inch. These convert between twips and
// pixels at the primary screen's logical DPI, so a design keeps its physical size on every
// screen (15 twips to a pixel at 96 DPI). Conversions round to the nearest unit.
namespace Twips {

int toPixelsX(int twips);
int toPixelsY(int twips);
int fromPixelsX(int pixels);
int fromPixelsY(int pixels);

// A twips rectangle (left, top, width, height) in pixels.
QRect toPixels(const QRect& twips);

} // namespace Twips
