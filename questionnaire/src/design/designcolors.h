#pragma once

#include <QColor>

// The windows' palette. Designs give colours as Windows RGB values, written &H00BBGGRR:
// blue in the high byte, red in the low one.
namespace DesignColors {

constexpr quint32 Background = 0x0080C0FF;   // light orange: windows and label backgrounds
constexpr quint32 DarkOrange = 0x000040C0;   // buttons, the strip at the left edge
constexpr quint32 PalePeach = 0x00C0E0FF;    // behind the question
constexpr quint32 QuestionText = 0x00404080; // brown-grey
constexpr quint32 Brown = 0x00004080;        // section title, step counter
constexpr quint32 DarkRed = 0x00000040;      // the "Section:" caption
constexpr quint32 SplashTitle = 0x00000080;  // the splash's product name

inline QColor toColor(quint32 bgr) {
    return QColor(int(bgr & 0xFF), int((bgr >> 8) & 0xFF), int((bgr >> 16) & 0xFF));
}

} // namespace DesignColors
