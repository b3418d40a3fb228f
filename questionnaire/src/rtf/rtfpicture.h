// Pictures in answers: the PNG and JPEG data an RTF \pict carries, kept in a
// QTextDocument as image resources.
//
// A picture lives in the document as the bytes of a PNG or JPEG file (a
// QByteArray image resource, which Qt decodes when it draws it), named after a
// hash of those bytes: the same picture read twice, or pasted from another
// document, is one resource, and names never clash between documents. The writer
// stores the bytes as they are, so a JPEG stays a JPEG; images Qt holds decoded
// (QImage, QPixmap) are stored as PNG.
//
// The limits below are what the reader accepts and what the answer box lets a
// paste add, so whatever is stored reads back whole. They bound memory against
// hostile files: the data of one picture, the sum over a document, the pixels a
// picture may decode to (its declared size is checked before anything is
// decoded), and the number of distinct pictures.
#pragma once

#include <QByteArray>
#include <QSize>
#include <QString>

#include <cstdint>

class QImage;
class QTextDocument;

namespace quill::rtf {

// 16 MiB of PNG or JPEG data per picture (32 MiB of hex digits in the RTF).
constexpr qsizetype maxPictureBytes = qsizetype(16) << 20;
// 64 MiB of picture data per document, counting each distinct picture once.
constexpr qsizetype maxDocumentPictureBytes = qsizetype(64) << 20;
// 50 megapixels a picture (200 MB decoded), 100 megapixels a document.
constexpr int64_t maxPicturePixels = 50'000'000;
constexpr int64_t maxDocumentPicturePixels = 100'000'000;
// Distinct pictures a document may hold.
constexpr int maxDocumentPictures = 1024;

enum class PictureKind { None, Png, Jpeg };

// What the bytes are, by their signature.
PictureKind pictureKind(const QByteArray& bytes);

// The size a PNG or JPEG declares, read from its header without decoding it; an
// invalid size when the bytes are neither, or the picture is over the limits.
QSize picturePixelSize(const QByteArray& bytes);

// The bytes as a picture the writer can store: PNG or JPEG bytes within the
// limits as they are, any other image format Qt reads converted to PNG. Empty
// when the bytes are no picture or one over the limits.
QByteArray storablePicture(const QByteArray& bytes);
QByteArray storablePicture(const QImage& image);

// The resource name for a picture's bytes.
QString pictureName(const QByteArray& bytes);

// The PNG or JPEG bytes of the image the document names (a resource, or what
// the document loads for that name); empty when there is none.
QByteArray pictureBytes(const QTextDocument& doc, const QString& name);

// The pictures a document's text shows: their data and pixels, each counted once.
struct PictureUsage {
    qsizetype bytes = 0;
    int64_t pixels = 0;
    int count = 0;
};
PictureUsage pictureUsage(const QTextDocument& doc);

// True when a picture of these bytes and size still fits a document using this much.
bool pictureFits(const PictureUsage& used, qsizetype bytes, QSize pixels);

// Adds stored picture bytes (from storablePicture) to the document as a
// resource; returns its name.
QString addPicture(QTextDocument* doc, const QByteArray& bytes);

// Copies into `to` the image resources that from's text shows, so text moved
// from one document to the other keeps its pictures.
void copyPictures(const QTextDocument& from, QTextDocument* to);

} // namespace quill::rtf
