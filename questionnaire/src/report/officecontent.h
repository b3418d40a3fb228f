#pragma once

#include <QByteArray>
#include <QImage>
#include <QSizeF>
#include <QString>
#include <QStringView>
#include <QTextCharFormat>
#include <QTextFrame>

#include <vector>

class QTextBlock;
class QTextDocument;
class QTextImageFormat;
class QTextTable;

// What the DOCX and ODT writers read from a document the same way; each writes it in its
// own format.
namespace OfficeContent {

// The text without the characters XML 1.0 cannot hold (and without the object replacement
// character, which stands for an image written on its own). Tabs and line breaks stay.
QString xmlSafe(QStringView s);

// The paragraphs from `it` on, in order, into `out`: a table inside a table cell keeps its
// text, not its structure.
void collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out);

// The image a document's image format names, from the document's resources; null where the
// document cannot show it (the preview then leaves it out too).
QImage documentImage(const QTextDocument& doc, const QString& name);

// The image as the bytes of a PNG file, as both packages store pictures.
QByteArray pngBytes(const QImage& image);

// The size, in the document's pixels, an image is written at: the one the format gives
// (one side given keeps the image's proportions), else the image's own at 96 dots per inch;
// never wider than `maxWidth`.
QSizeF imageSize(const QTextImageFormat& format, const QImage& image, double maxWidth);

// One row of a table marked as the contents: the heading's title (first column) and its page
// (last column), the bookmark the page refers to (empty: none), and the characters to write
// the entry in (the title's, or those of the page reference).
struct ContentsEntry {
    QString title;
    QString page;
    QString bookmark;
    QTextCharFormat chars;
};
ContentsEntry contentsEntry(const QTextTable& table, int row);

} // namespace OfficeContent
