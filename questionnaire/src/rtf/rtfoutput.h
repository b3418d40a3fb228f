// RtfOutput: the byte stream of an RTF file as the writer builds it.
//
// It knows RTF's lexical rules so the writer does not have to: a control word is
// followed by a space only where the next character would otherwise join it;
// text is escaped (\\ \{ \}), kept as 7-bit ASCII with \'hh for the rest of
// Windows-1252 and \uN\'3f (a "?" fallback, \uc1) for everything else, one
// UTF-16 unit at a time so characters beyond the BMP become surrogate pairs.
// Characters RTF text cannot hold (C0 controls, object placeholders) are dropped.
// Lines are broken near 200 columns at places where RTF ignores the break.
#pragma once

#include <QByteArray>
#include <QStringView>

#include <cstdint>
#include <string>
#include <string_view>

namespace quill::rtf {

class RtfOutput {
public:
    void word(std::string_view name);
    void word(std::string_view name, int32_t param);
    void open();
    void close();
    void symbol(char c);  // a control symbol such as \*
    void byte(uint8_t b); // \'hh
    void text(QStringView text);
    // One character of a level text or similar: counted as one, whatever it takes.
    void character(char16_t ch);
    void newline();
    // Binary data as hex digits on lines of their own (a picture's data).
    void hex(const QByteArray& data);
    void append(const QByteArray& rtf);
    // Room for about this many bytes more, so a long answer is not copied as it grows.
    void reserve(qsizetype bytes) { out_.reserve(out_.size() + std::size_t(bytes)); }

    qsizetype size() const { return qsizetype(out_.size()); }
    QByteArray bytes() const { return QByteArray(out_.data(), qsizetype(out_.size())); }
    void appendTo(QByteArray& target) const { target.append(out_.data(), qsizetype(out_.size())); }

private:
    // Called for every byte written: kept inline and on a std::string, whose append of a
    // byte is a few instructions where QByteArray's is a call.
    void put(char c) {
        out_ += c;
        ++column_;
    }
    // Characters that stand for themselves in RTF text.
    static bool isPlain(char16_t c) {
        return c >= 0x20 && c < 0x80 && c != u'\\' && c != u'{' && c != u'}';
    }
    void plainText(const char16_t* from, const char16_t* to);
    void putText(char c) {
        if (needDelimiter_) {
            put(' ');
            needDelimiter_ = false;
        }
        put(c);
    }

    std::string out_;
    bool needDelimiter_ = false;
    int column_ = 0;
};

} // namespace quill::rtf
