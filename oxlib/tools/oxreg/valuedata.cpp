#include "valuedata.h"

#include <oxlib/oregistry.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

struct TypeEntry {
    uint32_t type;
    const char* name;
};

constexpr TypeEntry kTypes[] = {
    {REG_NONE, "REG_NONE"},     {REG_SZ, "REG_SZ"},       {REG_EXPAND_SZ, "REG_EXPAND_SZ"},
    {REG_BINARY, "REG_BINARY"}, {REG_DWORD, "REG_DWORD"}, {REG_MULTI_SZ, "REG_MULTI_SZ"},
    {REG_QWORD, "REG_QWORD"},
};

std::string upper(std::string text) {
    for (char& c : text)
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    return text;
}

// Decimal, or hex after "0x"; nothing else, and nothing above `maximum`.
bool parseNumber(const std::string& text, uint64_t maximum, uint64_t& value) {
    if (text.empty() || text[0] == '-' || text[0] == '+' ||
        std::isspace(static_cast<unsigned char>(text[0])))
        return false;
    const bool hex = text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X');
    errno = 0;
    char* end = nullptr;
    const unsigned long long parsed =
        std::strtoull(text.c_str() + (hex ? 2 : 0), &end, hex ? 16 : 10);
    if (errno != 0 || *end != 0 || parsed > maximum)
        return false;
    value = parsed;
    return true;
}

void appendText(Bytes& out, const std::string& text) {
    out.insert(out.end(), text.begin(), text.end());
    out.push_back(0);
}

// The text of stored string data: up to its first zero, never past its end.
std::string textOf(const Bytes& data, size_t from = 0) {
    size_t end = from;
    while (end < data.size() && data[end] != 0)
        ++end;
    return std::string(data.begin() + static_cast<std::ptrdiff_t>(from),
                       data.begin() + static_cast<std::ptrdiff_t>(end));
}

} // namespace

bool parseTypeName(const std::string& name, uint32_t& type) {
    const std::string wanted = upper(name);
    for (const auto& entry : kTypes)
        if (wanted == entry.name) {
            type = entry.type;
            return true;
        }
    return false;
}

std::string typeName(uint32_t type) {
    for (const auto& entry : kTypes)
        if (entry.type == type)
            return entry.name;
    return "REG_TYPE_" + std::to_string(type);
}

bool encodeData(uint32_t type, const std::string& text, const std::string& separator, Bytes& out,
                std::string& problem) {
    out.clear();
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        appendText(out, text);
        return true;
    case REG_MULTI_SZ: {
        if (separator.empty()) {
            problem = "the separator must not be empty";
            return false;
        }
        size_t from = 0;
        while (!text.empty()) {
            const size_t at = text.find(separator, from);
            const std::string part = text.substr(from, at == std::string::npos ? at : at - from);
            if (part.empty()) {
                problem = "REG_MULTI_SZ data must not hold an empty string";
                return false;
            }
            appendText(out, part);
            if (at == std::string::npos)
                break;
            from = at + separator.size();
        }
        out.push_back(0);
        return true;
    }
    case REG_DWORD: {
        uint64_t value = 0;
        if (!parseNumber(text.empty() ? "0" : text, 0xFFFFFFFFu, value)) {
            problem = "REG_DWORD data must be a number from 0 to 4294967295 (or 0x0 to 0xffffffff)";
            return false;
        }
        const auto dword = static_cast<uint32_t>(value);
        out.resize(sizeof dword);
        std::memcpy(out.data(), &dword, sizeof dword);
        return true;
    }
    case REG_QWORD: {
        uint64_t value = 0;
        if (!parseNumber(text.empty() ? "0" : text, UINT64_MAX, value)) {
            problem = "REG_QWORD data must be a number from 0 to 18446744073709551615";
            return false;
        }
        out.resize(sizeof value);
        std::memcpy(out.data(), &value, sizeof value);
        return true;
    }
    case REG_BINARY:
    case REG_NONE: {
        if (text.size() % 2 != 0) {
            problem = "binary data must be pairs of hex digits";
            return false;
        }
        for (size_t i = 0; i < text.size(); i += 2) {
            if (!std::isxdigit(static_cast<unsigned char>(text[i])) ||
                !std::isxdigit(static_cast<unsigned char>(text[i + 1]))) {
                problem = "binary data must be pairs of hex digits";
                return false;
            }
            out.push_back(static_cast<unsigned char>(std::stoul(text.substr(i, 2), nullptr, 16)));
        }
        return true;
    }
    default:
        problem = "unsupported type";
        return false;
    }
}

std::string formatData(uint32_t type, const Bytes& data) {
    char number[32];
    switch (type) {
    case REG_SZ:
    case REG_EXPAND_SZ:
        return textOf(data);
    case REG_MULTI_SZ: {
        std::string out;
        for (size_t at = 0; at < data.size() && data[at] != 0;) {
            const std::string part = textOf(data, at);
            out += (out.empty() ? "" : "\\0") + part;
            at += part.size() + 1;
        }
        return out;
    }
    case REG_DWORD:
        if (data.size() == 4) {
            uint32_t value = 0;
            std::memcpy(&value, data.data(), sizeof value);
            std::snprintf(number, sizeof number, "0x%x", value);
            return number;
        }
        break;
    case REG_QWORD:
        if (data.size() == 8) {
            uint64_t value = 0;
            std::memcpy(&value, data.data(), sizeof value);
            std::snprintf(number, sizeof number, "0x%llx", static_cast<unsigned long long>(value));
            return number;
        }
        break;
    default:
        break;
    }
    std::string out;
    for (unsigned char byte : data) {
        std::snprintf(number, sizeof number, "%02X", byte);
        out += number;
    }
    return out;
}
