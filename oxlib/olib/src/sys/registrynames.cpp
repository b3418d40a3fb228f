#include "registrynames.h"

#include "osys.h"

#include <clocale>
#include <cwctype>

namespace oxsys::registry {
namespace {

locale_t foldLocale() {
    static const locale_t locale = [] {
        for (const char* name : {"C.UTF-8", "C.utf8", "en_US.UTF-8"})
            if (locale_t l = newlocale(LC_CTYPE_MASK, name, locale_t(nullptr)))
                return l;
        return locale_t(nullptr);
    }();
    return locale;
}

// Decodes one UTF-8 sequence at text[i]; 0 bytes when it is not valid.
size_t decodeUtf8(std::string_view text, size_t i, char32_t& cp) {
    const auto byte = [&](size_t k) { return static_cast<unsigned char>(text[k]); };
    const unsigned char lead = byte(i);
    const size_t n = lead >= 0xC2 && lead <= 0xDF   ? 2
                     : lead >= 0xE0 && lead <= 0xEF ? 3
                     : lead >= 0xF0 && lead <= 0xF4 ? 4
                                                    : 0;
    if (n == 0 || i + n > text.size())
        return 0;
    cp = lead & (0x7F >> n);
    for (size_t k = 1; k < n; ++k) {
        if ((byte(i + k) & 0xC0) != 0x80)
            return 0;
        cp = (cp << 6) | (byte(i + k) & 0x3F);
    }
    static constexpr char32_t minimum[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < minimum[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
        return 0;
    return n;
}

void encodeUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

} // namespace

size_t charCount(std::string_view text) {
    size_t n = 0;
    for (unsigned char c : text)
        n += (c & 0xC0) != 0x80;
    return n;
}

std::string foldName(std::string_view name) {
    std::string out;
    out.reserve(name.size());
    const locale_t locale = foldLocale();
    for (size_t i = 0; i < name.size();) {
        const auto byte = static_cast<unsigned char>(name[i]);
        if (byte < 0x80) {
            out += static_cast<char>(byte >= 'a' && byte <= 'z' ? byte - 32 : byte);
            ++i;
            continue;
        }
        char32_t cp = 0;
        const size_t n = decodeUtf8(name, i, cp);
        if (n == 0) {
            out += static_cast<char>(byte);
            ++i;
            continue;
        }
        if (locale) {
            const auto upper = static_cast<char32_t>(towupper_l(static_cast<wint_t>(cp), locale));
            // An upper case in ASCII (dotless i to I) would merge two names that
            // differ in more than case.
            if (upper >= 0x80 && !(upper >= 0xD800 && upper <= 0xDFFF) && upper <= 0x10FFFF)
                cp = upper;
        }
        encodeUtf8(cp, out);
        i += n;
    }
    return out;
}

int32_t splitKeyPath(const char* subKey, std::vector<std::string_view>& parts,
                     std::string& problem) {
    std::string_view text = subKey ? subKey : "";
    if (text.empty())
        return kErrSuccess;
    if (text.front() == '\\') {
        problem = "a key name must not start with a backslash";
        return kErrBadPathname;
    }
    if (text.back() == '\\')
        text.remove_suffix(1);
    while (true) {
        const size_t cut = text.find('\\');
        const std::string_view part = text.substr(0, cut);
        if (part.empty()) {
            problem = "a key path must not hold an empty name";
            return kErrBadPathname;
        }
        if (charCount(part) > kMaxKeyNameChars) {
            problem = "a key name is longer than 255 characters";
            return kErrInvalidParameter;
        }
        parts.push_back(part);
        if (cut == std::string_view::npos)
            return kErrSuccess;
        text.remove_prefix(cut + 1);
    }
}

size_t depthOf(const std::string& path) {
    size_t n = 0;
    for (char c : path)
        n += c == '\\';
    return n;
}

} // namespace oxsys::registry
