// RtfPictureReader: reads the \pict groups of one document: a group's words and its
// data (hex digits, or \bin bytes) into PNG or JPEG bytes, which then become an image
// resource of the document, shown by the image format end() gives.
//
// Promises: memory stays within rtfpicture.h's limits whatever a file says. A
// picture's data past maxPictureBytes is let go at once and the picture dropped;
// data of other kinds (metafiles, device-independent bitmaps) is not kept at all;
// bytes that are not the PNG or JPEG they claim to be are not shown. The same bytes
// twice are one resource, and the document's totals count them once.
#pragma once

#include "rtflexer.h"
#include "rtfpicture.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <QTextImageFormat>

#include <cstdint>
#include <optional>

class QTextDocument;

namespace quill::rtf {

enum class RtfKeyword;

class RtfPictureReader {
public:
    RtfPictureReader(QTextDocument* doc, double pixelsPerTwip)
        : doc_(doc), pixelsPerTwip_(pixelsPerTwip) {}

    // A \pict group opens; what an earlier one left unfinished is dropped.
    void begin() { picture_ = Picture{}; }
    // A word inside the group: the picture's kind, size and scale.
    void word(RtfKeyword kw, const RtfToken& token);
    // Text (hex digits) or binary data inside the group.
    void data(const RtfToken& token);
    // The group closes: the format that shows the picture, its resource added to the
    // document; nothing when the picture is not one to show.
    std::optional<QTextImageFormat> end();
    // The group is skipped: its picture is not read.
    void discard() { picture_ = Picture{}; }

private:
    struct Picture {
        QByteArray data;
        int32_t goalWidth = 0, goalHeight = 0; // twips
        int32_t scaleX = 100, scaleY = 100;    // percent
        int nibble = -1;                       // a hex digit waiting for its pair
        bool readable = false;                 // \pngblip or \jpegblip
        bool otherKind = false;                // a kind we skip
        bool tooLarge = false;
    };

    QTextDocument* doc_;
    double pixelsPerTwip_;
    Picture picture_;
    PictureUsage used_;
    QSet<QString> names_;
};

} // namespace quill::rtf
