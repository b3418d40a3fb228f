#include "officecontent.h"

#include "rtftextproperties.h"

#include <QBuffer>
#include <QPixmap>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextTable>
#include <QUrl>

#include <algorithm>

namespace OfficeContent {

QString xmlSafe(QStringView s) {
    QString out;
    out.reserve(s.size());
    for (const QChar c : s) {
        const char16_t u = c.unicode();
        if ((u < 0x20 && u != u'\t' && u != u'\n') || u == 0xFFFE || u == 0xFFFF ||
            u == QChar::ObjectReplacementCharacter)
            continue;
        out.append(c);
    }
    return out;
}

void collectBlocks(QTextFrame::iterator it, std::vector<QTextBlock>& out) {
    for (; !it.atEnd(); ++it) {
        QTextFrame* frame = it.currentFrame();
        if (!frame) {
            out.push_back(it.currentBlock());
        } else if (auto* t = qobject_cast<QTextTable*>(frame)) {
            for (int r = 0; r < t->rows(); ++r)
                for (int c = 0; c < t->columns(); ++c) {
                    const QTextTableCell cell = t->cellAt(r, c);
                    if (cell.row() == r && cell.column() == c)
                        collectBlocks(cell.begin(), out);
                }
        } else {
            collectBlocks(frame->begin(), out);
        }
    }
}

QImage documentImage(const QTextDocument& doc, const QString& name) {
    const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(name));
    QImage image;
    if (resource.canConvert<QImage>())
        image = resource.value<QImage>();
    if (image.isNull() && resource.canConvert<QPixmap>())
        image = resource.value<QPixmap>().toImage();
    if (image.isNull() && resource.typeId() == QMetaType::QByteArray)
        image.loadFromData(resource.toByteArray());
    return image;
}

QByteArray pngBytes(const QImage& image) {
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "PNG");
    return png;
}

QSizeF imageSize(const QTextImageFormat& format, const QImage& image, double maxWidth) {
    double w = format.width() > 0 ? format.width() : image.width();
    double h = format.height() > 0 ? format.height() : image.height();
    if (format.width() > 0 && format.height() <= 0)
        h = image.height() * w / std::max(1, image.width());
    else if (format.height() > 0 && format.width() <= 0)
        w = image.width() * h / std::max(1, image.height());
    if (w > maxWidth) {
        h *= maxWidth / w;
        w = maxWidth;
    }
    return {w, h};
}

ContentsEntry contentsEntry(const QTextTable& table, int row) {
    const QTextTableCell titleCell = table.cellAt(row, 0);
    const QTextTableCell pageCell = table.cellAt(row, table.columns() - 1);
    ContentsEntry entry;
    for (auto it = titleCell.begin(); !it.atEnd(); ++it)
        if (!it.currentFrame())
            entry.title += it.currentBlock().text();
    entry.chars = titleCell.firstCursorPosition().charFormat();
    for (auto it = pageCell.begin(); !it.atEnd(); ++it) {
        if (it.currentFrame())
            continue;
        for (auto f = it.currentBlock().begin(); !f.atEnd(); ++f) {
            entry.page += f.fragment().text();
            const QString name =
                f.fragment().charFormat().stringProperty(quill::rtf::PageReferenceProperty);
            if (!name.isEmpty()) {
                entry.bookmark = name;
                entry.chars = f.fragment().charFormat();
            }
        }
    }
    return entry;
}

} // namespace OfficeContent
