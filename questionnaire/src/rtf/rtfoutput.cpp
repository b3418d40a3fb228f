#include "rtfoutput.h"

#include "rtfdecoders.h"

#include <algorithm>
#include <charconv>

namespace quill::rtf {
namespace {

constexpr int lineLength = 200;
constexpr char hexDigits[] = "0123456789abcdef";

} // namespace

void RtfOutput::word(std::string_view name) {
    if (column_ > lineLength)
        newline();
    put('\\');
    for (const char c : name)
        put(c);
    needDelimiter_ = true;
}

void RtfOutput::word(std::string_view name, int32_t param) {
    word(name);
    char digits[16];
    const auto end = std::to_chars(digits, digits + sizeof digits, param).ptr;
    out_.append(digits, end);
    column_ += static_cast<int>(end - digits);
}

void RtfOutput::open() {
    put('{');
    needDelimiter_ = false;
}

void RtfOutput::close() {
    put('}');
    needDelimiter_ = false;
}

void RtfOutput::symbol(char c) {
    put('\\');
    put(c);
    needDelimiter_ = false;
}

void RtfOutput::byte(uint8_t b) {
    put('\\');
    put('\'');
    put(hexDigits[b >> 4]);
    put(hexDigits[b & 15]);
    needDelimiter_ = false;
}

void RtfOutput::text(QStringView text) {
    const char16_t* c = text.utf16();
    const char16_t* const end = c + text.size();
    while (c != end) {
        // Most of an answer is plain ASCII: it goes in stretches, not a character at a time.
        const char16_t* plain = c;
        while (plain != end && isPlain(*plain))
            ++plain;
        if (plain != c) {
            plainText(c, plain);
            c = plain;
        } else {
            character(*c++);
        }
    }
}

void RtfOutput::plainText(const char16_t* from, const char16_t* to) {
    if (needDelimiter_) {
        put(' ');
        needDelimiter_ = false;
    }
    while (from != to) {
        // A line is broken after the first space that ends beyond the line length, as
        // character() breaks it; up to there the text goes in as it is.
        const char16_t* stop = to;
        bool breakAfter = false;
        if (column_ < lineLength) {
            stop = from + std::min<std::ptrdiff_t>(to - from, lineLength - column_);
        } else if (const char16_t* space = std::find(from, to, u' '); space != to) {
            stop = space + 1;
            breakAfter = true;
        }
        const std::size_t at = out_.size();
        out_.resize(at + std::size_t(stop - from));
        std::transform(from, stop, out_.begin() + std::ptrdiff_t(at),
                       [](char16_t ch) { return static_cast<char>(ch); });
        column_ += static_cast<int>(stop - from);
        from = stop;
        if (breakAfter)
            newline();
    }
}

void RtfOutput::character(char16_t ch) {
    switch (ch) {
    case u'\\':
    case u'{':
    case u'}':
        symbol(static_cast<char>(ch));
        return;
    case u'\t':
        word("tab");
        return;
    case 0x2028: // QChar::LineSeparator, Qt's line break within a paragraph
        word("line");
        return;
    case 0x00A0:
        symbol('~');
        return;
    case 0x00AD:
        symbol('-');
        return;
    case 0x2011:
        symbol('_');
        return;
    case 0xFFFC:
    case 0xFDD0:
    case 0xFDD1:
    case 0x2029:
        return;
    default:
        break;
    }
    if (ch < 0x20)
        return;
    if (ch < 0x80) {
        putText(static_cast<char>(ch));
        if (ch == u' ' && column_ > lineLength)
            newline();
        return;
    }
    if (const int b = cp1252Byte(ch); b >= 0) {
        byte(static_cast<uint8_t>(b));
        return;
    }
    // The fallback as \'3f rather than a bare "?": some readers skip the
    // character after a bare fallback as well.
    word("u", static_cast<int16_t>(ch));
    byte('?');
}

void RtfOutput::newline() {
    out_ += '\n';
    column_ = 0;
    needDelimiter_ = false;
}

void RtfOutput::hex(const QByteArray& data) {
    // The line break also ends the control word before the digits.
    newline();
    constexpr qsizetype perLine = 128;
    const QByteArray digits = data.toHex();
    reserve(digits.size() + digits.size() / perLine + 1);
    for (qsizetype i = 0; i < digits.size(); i += perLine) {
        out_.append(digits.constData() + i, std::size_t(std::min(perLine, digits.size() - i)));
        out_ += '\n';
    }
    column_ = 0;
    needDelimiter_ = false;
}

void RtfOutput::append(const QByteArray& rtf) {
    out_.append(rtf.constData(), std::size_t(rtf.size()));
    const qsizetype lf = rtf.lastIndexOf('\n');
    column_ =
        lf < 0 ? column_ + static_cast<int>(rtf.size()) : static_cast<int>(rtf.size() - lf - 1);
    needDelimiter_ = false;
}

} // namespace quill::rtf
