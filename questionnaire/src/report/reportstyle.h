#pragma once

#include <QColor>
#include <QFont>
#include <QString>
#include <QTextCharFormat>

// The report's text, shared by the renderer and the finance statements it prints:
// one family, a size, weight, slant and colour, and the program's brown for headings.
namespace ReportStyle {

inline const QColor kHeadingColour(0x80, 0x40, 0x00); // the program's brown

inline QTextCharFormat text(const QString& family, double pointSize, bool bold = false,
                            bool italic = false, const QColor& colour = Qt::black) {
    QTextCharFormat f;
    f.setFontFamilies({family});
    f.setFontPointSize(pointSize);
    f.setFontWeight(bold ? QFont::Bold : QFont::Normal);
    f.setFontItalic(italic);
    f.setForeground(colour);
    return f;
}

} // namespace ReportStyle
