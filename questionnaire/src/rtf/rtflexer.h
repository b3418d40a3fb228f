// RtfLexer: splits RTF bytes into tokens (groups, control words and symbols, hex
// bytes, binary data, runs of text).
//
// Promises: every call consumes at least one byte until the end, so a whole input
// is tokenised in linear time; no token reads past the buffer, whatever the input
// (truncated control words, \'h with bad digits, \binN larger than what is left).
// Parameters saturate at the 32-bit range. CR and LF in text are dropped, as RTF
// wants; a backslash before CR or LF is the paragraph symbol. The lexer does not
// own the bytes: tokens point into the buffer given to the constructor.
#pragma once

#include <cstdint>
#include <string_view>

namespace quill::rtf {

struct RtfToken {
    enum class Type {
        End,
        GroupOpen,
        GroupClose,
        ControlWord,   // name, hasParam, param
        ControlSymbol, // symbol
        HexByte,       // byte
        Text,          // data: bytes without backslash, braces, CR or LF
        Binary,        // data: the raw bytes after \binN
    };

    Type type = Type::End;
    std::string_view name;
    std::string_view data;
    int32_t param = 0;
    bool hasParam = false;
    char symbol = 0;
    uint8_t byte = 0;
};

class RtfLexer {
public:
    explicit RtfLexer(std::string_view input) : input_(input) {}

    // Reads the next token; returns false (and an End token) at the end of input.
    bool next(RtfToken& token);

    std::size_t position() const { return pos_; }

private:
    void readControl(RtfToken& token);

    std::string_view input_;
    std::size_t pos_ = 0;
};

} // namespace quill::rtf
