// Helpers shared by the RTF tests: reading fixtures, reading RTF into a fresh
// document, and describing a document's content and formatting as comparable text.
#pragma once

#include <QBuffer>
#include <QByteArray>
#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextFragment>
#include <QTextImageFormat>
#include <QTextList>
#include <QTextTable>

#include <memory>

#include "rtfpicture.h"
#include "rtfreader.h"
#include "rtfwriter.h"

namespace quill::rtf::testing {

inline QByteArray fixture(const QString& name) {
    QFile file(QStringLiteral(QUILL_RTF_FIXTURES "/") + name);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

inline std::unique_ptr<QTextDocument> readRtf(const QByteArray& rtf, bool* ok = nullptr) {
    auto doc = std::make_unique<QTextDocument>();
    const bool read = RtfReader::read(rtf, doc.get());
    if (ok)
        *ok = read;
    return doc;
}

inline QStringList blockTexts(const QTextDocument& doc) {
    QStringList texts;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        texts << b.text();
    return texts;
}

// The effective character formatting of a fragment, as one line of text: what a
// user sees, so "not given" and "given as the default" compare equal.
inline QString describeChar(const QTextCharFormat& f, const QTextDocument& doc) {
    const QStringList families = f.property(QTextFormat::FontFamilies).toStringList();
    const QString family = families.isEmpty() ? doc.defaultFont().family() : families.first();
    double size = f.hasProperty(QTextFormat::FontPointSize) ? f.fontPointSize()
                                                            : doc.defaultFont().pointSizeF();
    if (!f.hasProperty(QTextFormat::FontPointSize) &&
        f.hasProperty(QTextFormat::FontSizeAdjustment)) {
        // Qt's own scale for relative sizes (HTML's <big>, headings).
        static constexpr double scale[] = {0.7, 0.8, 1.0, 1.2, 1.5, 2.0, 2.4};
        size *= scale[qBound(0, f.intProperty(QTextFormat::FontSizeAdjustment) + 2, 6)];
    }
    QStringList d;
    d << family << QString::number(size);
    if (f.fontWeight() >= QFont::DemiBold)
        d << "bold";
    if (f.fontItalic())
        d << "italic";
    if (f.underlineStyle() != QTextCharFormat::NoUnderline)
        d << QStringLiteral("underline%1").arg(f.underlineStyle());
    if (f.fontStrikeOut())
        d << "strike";
    if (f.verticalAlignment() == QTextCharFormat::AlignSuperScript)
        d << "super";
    if (f.verticalAlignment() == QTextCharFormat::AlignSubScript)
        d << "sub";
    if (f.fontCapitalization() == QFont::AllUppercase)
        d << "caps";
    if (f.fontCapitalization() == QFont::SmallCaps)
        d << "smallcaps";
    if (f.foreground().style() != Qt::NoBrush)
        d << "fg" + f.foreground().color().name();
    if (f.background().style() != Qt::NoBrush)
        d << "bg" + f.background().color().name();
    if (f.isAnchor())
        d << "href=" + f.anchorHref();
    return d.join(u' ');
}

// Lengths in whole twips at 96 DPI (15 twips a pixel), as RTF stores them.
inline QString twips(double pixels) {
    return QString::number(qRound(pixels * 15));
}

inline QString describeBlock(const QTextBlock& block, const QTextDocument& doc) {
    const QTextBlockFormat f = block.blockFormat();
    QStringList d;
    const Qt::Alignment align = f.alignment() & Qt::AlignHorizontal_Mask & ~Qt::AlignAbsolute;
    if (align != Qt::AlignLeft && align != Qt::AlignLeading)
        d << QStringLiteral("align%1").arg(int(align));
    const double left = f.leftMargin() + f.indent() * doc.indentWidth();
    if (qRound(left * 15) != 0)
        d << "left" + twips(left);
    if (qRound(f.rightMargin() * 15) != 0)
        d << "right" + twips(f.rightMargin());
    if (!block.textList() && qRound(f.textIndent() * 15) != 0)
        d << "indent" + twips(f.textIndent());
    if (qRound(f.topMargin() * 15) != 0)
        d << "top" + twips(f.topMargin());
    if (qRound(f.bottomMargin() * 15) != 0)
        d << "bottom" + twips(f.bottomMargin());
    if (f.lineHeightType() == QTextBlockFormat::ProportionalHeight && f.lineHeight() != 100)
        d << QStringLiteral("line%1%").arg(f.lineHeight());
    else if (f.lineHeightType() != QTextBlockFormat::SingleHeight &&
             f.lineHeightType() != QTextBlockFormat::ProportionalHeight)
        d << QStringLiteral("line%1:").arg(f.lineHeightType()) + twips(f.lineHeight());
    if (f.headingLevel() > 0)
        d << QStringLiteral("h%1").arg(f.headingLevel());
    if (f.pageBreakPolicy() & QTextFormat::PageBreak_AlwaysBefore)
        d << "pagebreak";
    if (f.layoutDirection() == Qt::RightToLeft)
        d << "rtl";
    for (const auto& tab : f.tabPositions())
        d << QStringLiteral("tab%1@").arg(tab.type) + twips(tab.position);
    if (QTextList* list = block.textList()) {
        const QTextListFormat lf = list->format();
        d << QStringLiteral("list%1/%2").arg(lf.style()).arg(lf.indent());
        d << "item:" + list->itemText(block);
    }
    if (QTextTable* table = QTextCursor(block).currentTable()) {
        const QTextTableCell cell = table->cellAt(block.position());
        d << QStringLiteral("cell%1,%2/%3x%4")
                 .arg(cell.row())
                 .arg(cell.column())
                 .arg(cell.rowSpan())
                 .arg(cell.columnSpan());
    }
    QList<QPair<QString, QString>> runs; // text, description
    for (auto it = block.begin(); !it.atEnd(); ++it) {
        const QTextFragment fragment = it.fragment();
        const QString description = describeChar(fragment.charFormat(), doc);
        if (!runs.isEmpty() && runs.last().second == description)
            runs.last().first += fragment.text();
        else
            runs.append({fragment.text(), description});
    }
    QStringList parts;
    for (const auto& [text, description] : runs)
        parts << text + u'|' + description;
    if (block.length() <= 1 && !QTextCursor(block).currentTable())
        parts << "mark|" + describeChar(block.charFormat(), doc); // an empty line's size
    return d.join(u' ') + " [" + parts.join(QStringLiteral("] [")) + "]";
}

// Every block of the document in order, each with its formats and runs.
inline QStringList describe(const QTextDocument& doc) {
    QStringList lines;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next())
        lines << describeBlock(b, doc);
    return lines;
}

// A picture whose every pixel differs from its neighbours, so a lost row, a
// swapped channel or a scaled copy shows.
inline QImage samplePicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y, qRgb(x * 255 / width, y * 255 / height, (x * 7 + y * 13) & 255));
    return image;
}

inline QByteArray encoded(const QImage& image, const char* format) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, format, 90);
    return bytes;
}

// A picture as the document shows it: its data, decoded, and the size it is
// drawn at (pixels).
struct ShownPicture {
    QByteArray bytes;
    QImage image;
    QSizeF size;
};

// Every picture character of the document, in order.
inline QList<ShownPicture> picturesOf(const QTextDocument& doc) {
    QList<ShownPicture> pictures;
    for (QTextBlock b = doc.begin(); b.isValid(); b = b.next()) {
        for (auto it = b.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            if (!fragment.charFormat().isImageFormat())
                continue;
            const QTextImageFormat format = fragment.charFormat().toImageFormat();
            ShownPicture picture;
            picture.bytes = pictureBytes(doc, format.name());
            picture.image = QImage::fromData(picture.bytes).convertToFormat(QImage::Format_RGB32);
            picture.size = QSizeF(format.width(), format.height());
            for (const QChar c : fragment.text()) {
                if (c == QChar::ObjectReplacementCharacter)
                    pictures << picture;
            }
        }
    }
    return pictures;
}

} // namespace quill::rtf::testing
