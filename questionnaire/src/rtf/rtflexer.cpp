#include "rtflexer.h"

#include <limits>

namespace quill::rtf {
namespace {

bool isLetter(char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
}
bool isDigit(char c) {
    return c >= '0' && c <= '9';
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

bool RtfLexer::next(RtfToken& token) {
    token = RtfToken{};
    while (pos_ < input_.size()) {
        const char c = input_[pos_];
        switch (c) {
        case '{':
            ++pos_;
            token.type = RtfToken::Type::GroupOpen;
            return true;
        case '}':
            ++pos_;
            token.type = RtfToken::Type::GroupClose;
            return true;
        case '\\':
            readControl(token);
            if (token.type != RtfToken::Type::End)
                return true;
            continue; // a control that yields nothing, e.g. \'h with a bad digit
        case '\r':
        case '\n':
            ++pos_;
            continue;
        default: {
            const std::size_t start = pos_;
            while (pos_ < input_.size()) {
                const char t = input_[pos_];
                if (t == '{' || t == '}' || t == '\\' || t == '\r' || t == '\n')
                    break;
                ++pos_;
            }
            token.type = RtfToken::Type::Text;
            token.data = input_.substr(start, pos_ - start);
            return true;
        }
        }
    }
    token.type = RtfToken::Type::End;
    return false;
}

void RtfLexer::readControl(RtfToken& token) {
    ++pos_; // the backslash
    if (pos_ >= input_.size()) {
        token.type = RtfToken::Type::End;
        return;
    }
    const char c = input_[pos_];
    if (!isLetter(c)) {
        ++pos_;
        if (c == '\'') {
            const int hi = pos_ < input_.size() ? hexValue(input_[pos_]) : -1;
            const int lo = pos_ + 1 < input_.size() ? hexValue(input_[pos_ + 1]) : -1;
            if (hi < 0 || lo < 0) {
                // Skip whatever hex digit there is; the rest is ordinary text.
                if (hi >= 0)
                    ++pos_;
                token.type = RtfToken::Type::End;
                return;
            }
            pos_ += 2;
            token.type = RtfToken::Type::HexByte;
            token.byte = static_cast<uint8_t>(hi * 16 + lo);
            return;
        }
        token.type = RtfToken::Type::ControlSymbol;
        token.symbol = c;
        return;
    }

    const std::size_t start = pos_;
    while (pos_ < input_.size() && isLetter(input_[pos_]))
        ++pos_;
    token.type = RtfToken::Type::ControlWord;
    token.name = input_.substr(start, pos_ - start);

    bool negative = false;
    if (pos_ + 1 < input_.size() && input_[pos_] == '-' && isDigit(input_[pos_ + 1])) {
        negative = true;
        ++pos_;
    }
    if (pos_ < input_.size() && isDigit(input_[pos_])) {
        int64_t value = 0;
        constexpr int64_t limit = int64_t(std::numeric_limits<int32_t>::max()) + 1;
        while (pos_ < input_.size() && isDigit(input_[pos_])) {
            if (value < limit)
                value = value * 10 + (input_[pos_] - '0');
            ++pos_;
        }
        if (value > limit)
            value = limit;
        if (negative)
            value = -value;
        else if (value > std::numeric_limits<int32_t>::max())
            value = std::numeric_limits<int32_t>::max();
        token.hasParam = true;
        token.param = static_cast<int32_t>(value);
    }
    if (pos_ < input_.size() && input_[pos_] == ' ')
        ++pos_;

    if (token.name == "bin") {
        // The raw bytes belong to the token, so nothing in them is read as RTF.
        const std::size_t left = input_.size() - pos_;
        const std::size_t count =
            token.hasParam && token.param > 0 ? static_cast<std::size_t>(token.param) : 0;
        const std::size_t take = count < left ? count : left;
        token.type = RtfToken::Type::Binary;
        token.data = input_.substr(pos_, take);
        pos_ += take;
    }
}

} // namespace quill::rtf
