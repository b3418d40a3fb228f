// Units of RTF lengths: twips (1/1440 inch) against the document's pixels.
//
// QTextDocument lengths in a QTextEdit are pixels at the screen's logical DPI; the
// reader and the writer convert through the same factor, so lengths survive a
// round trip. Without a GUI application (tools, benchmarks) the factor is that
// of 96 DPI.
#pragma once

#include <algorithm>
#include <cstdint>

namespace quill::rtf {

double pixelsPerTwip();

// How far a list level indents, and how far its number hangs left of the text,
// in the files word processors write. Reader and writer use the same steps, so
// the margin a list paragraph has beyond its level survives a round trip.
constexpr int listLevelTwips = 720;

// The longest length the reader accepts (22 inches, as word processors do) and
// the writer produces, so what one writes the other reads unclamped.
constexpr int maxTwips = 31680;

// A signed length as the reader keeps it: within maxTwips either way.
inline int32_t clampTwips(int32_t twips) {
    return std::clamp(twips, -maxTwips, maxTwips);
}

constexpr int listHangTwips = 360;

} // namespace quill::rtf
