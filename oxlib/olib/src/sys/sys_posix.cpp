// The system layer on Linux and other POSIX systems.
#include "osys.h"

#include <cstring>
#include <string>
#include <unistd.h>

namespace oxsys {

// --- Multibyte text: the single-byte model ----------------------------------

bool isDBCSLeadByte(unsigned char) {
    return false;
}

const char* charNext(const char* p) {
    return *p ? p + 1 : p;
}

int32_t mbsLen(const char* text) {
    return static_cast<int32_t>(std::strlen(text));
}

const char* mbsStr(const char* haystack, const char* needle) {
    return std::strstr(haystack, needle);
}

namespace {

// Bytes of the UTF-8 form of one code point.
int32_t utf8Length(char32_t cp) {
    return cp < 0x80 ? 1 : cp < 0x800 ? 2 : cp < 0x10000 ? 3 : 4;
}

void writeUtf8(char32_t cp, char* out) {
    const int32_t n = utf8Length(cp);
    if (n == 1) {
        out[0] = static_cast<char>(cp);
        return;
    }
    static constexpr unsigned char lead[] = {0, 0, 0xC0, 0xE0, 0xF0};
    for (int32_t i = n - 1; i > 0; --i) {
        out[i] = static_cast<char>(0x80 | (cp & 0x3F));
        cp >>= 6;
    }
    out[0] = static_cast<char>(lead[n] | cp);
}

} // namespace

int32_t wideToNarrow(const char16_t* text, int32_t nUnits, char* out, int32_t outSize) {
    int32_t written = 0;
    for (int32_t i = 0; i < nUnits; ++i) {
        char32_t cp = text[i];
        if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < nUnits && text[i + 1] >= 0xDC00 &&
            text[i + 1] <= 0xDFFF) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (cp >= 0xD800 && cp <= 0xDFFF) {
            cp = 0xFFFD; // an unpaired surrogate, as the system converter does
        }
        const int32_t n = utf8Length(cp);
        if (out != nullptr) {
            if (written + n > outSize)
                break;
            writeUtf8(cp, out + written);
        }
        written += n;
    }
    return written;
}

// --- Process ------------------------------------------------------------------

const char* hostProgramBaseName() {
    static const std::string name = [] {
        char path[4096];
        const ssize_t n = readlink("/proc/self/exe", path, sizeof path - 1);
        std::string base = n > 0 ? std::string(path, static_cast<size_t>(n)) : std::string();
        base = base.substr(base.find_last_of('/') + 1);
        const size_t dot = base.find_last_of('.');
        return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    }();
    return name.c_str();
}

} // namespace oxsys
