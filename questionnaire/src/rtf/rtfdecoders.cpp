#include "rtfdecoders.h"

#include <array>
#include <utility>

namespace quill::rtf {
namespace {

// Windows-1252 in 0x80..0x9F; zero where the code page leaves the byte undefined.
constexpr std::array<char16_t, 32> cp1252High = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

QStringDecoder makeDecoder(int codePage) {
    constexpr auto stateless = QStringConverter::Flag::Stateless;
    if (codePage == 65001)
        return QStringDecoder(QStringConverter::Utf8, stateless);
    if (codePage == 10000)
        return QStringDecoder("macintosh", stateless);
    // ICU knows the Windows code pages by "windows-N", the DOS ones by "IBMN".
    for (const char* pattern : {"windows-%1", "IBM%1", "cp%1"}) {
        QStringDecoder decoder(QString::fromLatin1(pattern).arg(codePage).toLatin1().constData(),
                               stateless);
        if (decoder.isValid())
            return decoder;
    }
    return QStringDecoder("windows-1252", stateless);
}

} // namespace

int codePageForCharset(int charset) {
    switch (charset) {
    case 77:
        return 10000;
    case 128:
        return 932;
    case 129:
        return 949;
    case 134:
        return 936;
    case 136:
        return 950;
    case 161:
        return 1253;
    case 162:
        return 1254;
    case 163:
        return 1258;
    case 177:
        return 1255;
    case 178:
        return 1256;
    case 186:
        return 1257;
    case 204:
        return 1251;
    case 222:
        return 874;
    case 238:
        return 1250;
    case 254:
        return 437;
    case 255:
        return 850;
    default:
        // 0 (ANSI), 1 (default), 2 (Symbol) and anything unknown: the document's.
        return 0;
    }
}

int cp1252Byte(char16_t ch) {
    if (ch < 0x20)
        return -1;
    if (ch < 0x80 || (ch >= 0xA0 && ch <= 0xFF))
        return ch;
    for (std::size_t i = 0; i < cp1252High.size(); ++i) {
        if (cp1252High[i] == ch)
            return static_cast<int>(0x80 + i);
    }
    return -1;
}

void RtfDecoders::decode(int codePage, const QByteArray& bytes, QString& out) {
    bool ascii = true;
    for (const char c : bytes) {
        if (static_cast<unsigned char>(c) >= 0x80) {
            ascii = false;
            break;
        }
    }
    if (ascii) {
        out += QLatin1StringView(bytes);
        return;
    }
    if (codePage == 1252) {
        // The common case, and the decoder's mapping of the five undefined bytes
        // differs between ICU versions: keep them as their Latin-1 characters.
        out.reserve(out.size() + bytes.size());
        for (const char c : bytes) {
            const auto b = static_cast<unsigned char>(c);
            const char16_t u = b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : b;
            out += QChar(u ? u : b);
        }
        return;
    }
    out += decoderFor(codePage).decode(bytes);
}

QStringDecoder& RtfDecoders::decoderFor(int codePage) {
    auto it = decoders_.find(codePage);
    if (it == decoders_.end())
        it = decoders_.emplace(codePage, makeDecoder(codePage)).first;
    return it->second;
}

} // namespace quill::rtf
