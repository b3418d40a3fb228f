// RtfDecoders: the Windows code pages behind RTF's 8-bit text.
//
// An RTF file names its code page with \ansicpgN (or \pc, \pca, \mac) and each font
// may name another through \fcharsetN or \cpgN; \'hh bytes and raw 8-bit text are in
// the code page of the font in use. RtfDecoders turns such bytes into text through
// Qt's converters (ICU), one stateless decoder per code page, created on first use;
// an unknown code page reads as 1252. The writer's side is cp1252Byte: the byte
// Windows-1252 has for a character, so the writer can keep 1252 text readable by
// old readers and fall back to \uN for everything else.
#pragma once

#include <QByteArray>
#include <QString>
#include <QStringDecoder>

#include <cstdint>
#include <map>

namespace quill::rtf {

// The code page for a \fcharsetN value; 0 means "the document's code page".
int codePageForCharset(int charset);

// The byte of Windows-1252 for ch, or -1 when 1252 has none (or it is below 0x20).
int cp1252Byte(char16_t ch);

class RtfDecoders {
public:
    // Appends the text of bytes in the given code page to out. Pure ASCII takes
    // a fast path; a double-byte character split over the end of bytes is not
    // joined to what follows, so callers pass whole runs.
    void decode(int codePage, const QByteArray& bytes, QString& out);

private:
    QStringDecoder& decoderFor(int codePage);

    std::map<int, QStringDecoder> decoders_;
};

} // namespace quill::rtf
