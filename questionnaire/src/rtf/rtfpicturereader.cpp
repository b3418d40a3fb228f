#include "rtfpicturereader.h"

#include "rtfkeyword.h"
#include "rtfunits.h"

#include <algorithm>

namespace quill::rtf {

using Kw = RtfKeyword;

void RtfPictureReader::word(Kw kw, const RtfToken& token) {
    Picture& p = picture_;
    const int32_t value = token.param;
    switch (kw) {
    case Kw::pngblip:
    case Kw::jpegblip:
        p.readable = true;
        break;
    case Kw::emfblip:
    case Kw::wmetafile:
    case Kw::pmmetafile:
    case Kw::dibitmap:
    case Kw::wbitmap:
    case Kw::macpict:
        p.otherKind = true;
        p.data.clear(); // not kept, so not held either
        break;
    case Kw::picw:
    case Kw::pich:
        break; // the data's own header says its pixels, more reliably
    case Kw::picwgoal:
        p.goalWidth = std::clamp(value, 0, maxTwips);
        break;
    case Kw::pichgoal:
        p.goalHeight = std::clamp(value, 0, maxTwips);
        break;
    case Kw::picscalex:
        p.scaleX = std::clamp(value, 1, 1000);
        break;
    case Kw::picscaley:
        p.scaleY = std::clamp(value, 1, 1000);
        break;
    default:
        break;
    }
}

void RtfPictureReader::data(const RtfToken& token) {
    Picture& p = picture_;
    if (p.otherKind || p.tooLarge)
        return;
    const auto room = [&](std::size_t bytes) {
        if (static_cast<std::size_t>(p.data.size()) + bytes <= std::size_t(maxPictureBytes))
            return true;
        // Past the limit the picture is dropped whole, and its data let go.
        p.tooLarge = true;
        p.data = QByteArray();
        return false;
    };
    if (token.type == RtfToken::Type::Binary) {
        if (room(token.data.size()))
            p.data.append(token.data.data(), static_cast<qsizetype>(token.data.size()));
        return;
    }
    // Two digits a byte at most; the exact count is checked as they come.
    if (!room(0))
        return;
    p.data.reserve(
        std::min<qsizetype>(maxPictureBytes, p.data.size() + qsizetype(token.data.size() / 2 + 1)));
    for (const char c : token.data) {
        int digit = -1;
        if (c >= '0' && c <= '9')
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        if (digit < 0)
            continue; // white space between the digits
        if (p.nibble < 0) {
            p.nibble = digit;
        } else {
            if (!room(1))
                return;
            p.data.append(static_cast<char>(p.nibble * 16 + digit));
            p.nibble = -1;
        }
    }
}

std::optional<QTextImageFormat> RtfPictureReader::end() {
    Picture p = std::move(picture_);
    picture_ = Picture{};
    if (!p.readable || p.otherKind || p.tooLarge)
        return std::nullopt;
    // The data must be what it says: a PNG or JPEG of a size we accept.
    const QSize pixels = picturePixelSize(p.data);
    if (!pixels.isValid())
        return std::nullopt;
    const QString name = pictureName(p.data);
    if (!names_.contains(name)) {
        if (!pictureFits(used_, p.data.size(), pixels))
            return std::nullopt;
        used_.bytes += p.data.size();
        used_.pixels += int64_t(pixels.width()) * pixels.height();
        ++used_.count;
        names_.insert(name);
        addPicture(doc_, p.data);
    }

    // Shown at the goal size, scaled; without a goal at the picture's own pixels
    // (\picw and \pich mean pixels to some writers, hundredths of a millimetre
    // to others).
    const auto length = [&](int32_t goal, int own, int32_t scale) {
        const double twips = goal > 0 ? double(goal) : own / pixelsPerTwip_;
        return std::clamp(twips * scale / 100.0, 1.0, double(maxTwips)) * pixelsPerTwip_;
    };
    QTextImageFormat format;
    format.setName(name);
    format.setWidth(length(p.goalWidth, pixels.width(), p.scaleX));
    format.setHeight(length(p.goalHeight, pixels.height(), p.scaleY));
    return format;
}

} // namespace quill::rtf
