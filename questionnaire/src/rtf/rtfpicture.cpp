#include "rtfpicture.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QImage>
#include <QImageReader>
#include <QPixmap>
#include <QSet>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextFragment>
#include <QUrl>
#include <QVariant>

#include <functional>

namespace quill::rtf {
namespace {

// Formats other than PNG and JPEG (a BMP from the clipboard) are converted;
// uncompressed ones may be this much larger than the PNG they become.
constexpr qsizetype maxConvertedBytes = 4 * maxPictureBytes;

int64_t area(QSize size) {
    return int64_t(size.width()) * size.height();
}

// Each image name the document's text shows, once.
void forEachPictureName(const QTextDocument& doc, const std::function<void(const QString&)>& fn) {
    QSet<QString> seen;
    for (QTextBlock block = doc.begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextCharFormat format = it.fragment().charFormat();
            if (!format.isImageFormat())
                continue;
            const QString name = format.toImageFormat().name();
            if (name.isEmpty() || seen.contains(name))
                continue;
            seen.insert(name);
            fn(name);
        }
    }
}

} // namespace

PictureKind pictureKind(const QByteArray& bytes) {
    if (bytes.startsWith("\x89PNG\r\n\x1a\n"))
        return PictureKind::Png;
    if (bytes.startsWith("\xFF\xD8\xFF"))
        return PictureKind::Jpeg;
    return PictureKind::None;
}

QSize picturePixelSize(const QByteArray& bytes) {
    const PictureKind kind = pictureKind(bytes);
    if (kind == PictureKind::None || bytes.size() > maxPictureBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, kind == PictureKind::Png ? "png" : "jpeg");
    const QSize size = reader.size();
    if (!size.isValid() || size.isEmpty() || area(size) > maxPicturePixels)
        return {};
    return size;
}

QByteArray storablePicture(const QByteArray& bytes) {
    if (picturePixelSize(bytes).isValid())
        return bytes;
    if (bytes.isEmpty() || bytes.size() > maxConvertedBytes)
        return {};
    QBuffer buffer;
    buffer.setData(bytes);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer);
    // Readers that know their size say it before decoding; the others are held
    // to Qt's own allocation limit.
    if (const QSize size = reader.size(); size.isValid() && area(size) > maxPicturePixels)
        return {};
    return storablePicture(reader.read());
}

QByteArray storablePicture(const QImage& image) {
    if (image.isNull() || area(image.size()) > maxPicturePixels)
        return {};
    QByteArray png;
    QBuffer buffer(&png);
    buffer.open(QIODevice::WriteOnly);
    if (!image.save(&buffer, "PNG") || png.size() > maxPictureBytes)
        return {};
    return png;
}

QString pictureName(const QByteArray& bytes) {
    const QByteArray hash = QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex();
    const char* suffix = pictureKind(bytes) == PictureKind::Jpeg ? ".jpg" : ".png";
    return QStringLiteral("rtfimage:") + QLatin1StringView(hash) + QLatin1StringView(suffix);
}

QByteArray pictureBytes(const QTextDocument& doc, const QString& name) {
    const QVariant resource = doc.resource(QTextDocument::ImageResource, QUrl(name));
    switch (resource.typeId()) {
    case QMetaType::QByteArray: {
        const QByteArray bytes = resource.toByteArray();
        return pictureKind(bytes) != PictureKind::None ? bytes : storablePicture(bytes);
    }
    case QMetaType::QImage:
        return storablePicture(resource.value<QImage>());
    case QMetaType::QPixmap:
        return storablePicture(resource.value<QPixmap>().toImage());
    default:
        return {};
    }
}

PictureUsage pictureUsage(const QTextDocument& doc) {
    PictureUsage used;
    forEachPictureName(doc, [&](const QString& name) {
        const QByteArray bytes = pictureBytes(doc, name);
        if (bytes.isEmpty())
            return;
        used.bytes += bytes.size();
        used.pixels += area(picturePixelSize(bytes));
        ++used.count;
    });
    return used;
}

bool pictureFits(const PictureUsage& used, qsizetype bytes, QSize pixels) {
    return used.count < maxDocumentPictures && used.bytes + bytes <= maxDocumentPictureBytes &&
           used.pixels + area(pixels) <= maxDocumentPicturePixels;
}

QString addPicture(QTextDocument* doc, const QByteArray& bytes) {
    const QString name = pictureName(bytes);
    doc->addResource(QTextDocument::ImageResource, QUrl(name), bytes);
    return name;
}

void copyPictures(const QTextDocument& from, QTextDocument* to) {
    forEachPictureName(from, [&](const QString& name) {
        const QUrl url(name);
        const QVariant resource = from.resource(QTextDocument::ImageResource, url);
        if (resource.isValid())
            to->addResource(QTextDocument::ImageResource, url, resource);
    });
}

} // namespace quill::rtf
