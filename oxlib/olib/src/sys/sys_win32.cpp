// The system layer on Windows: thin calls of the Windows API.
#include "osys.h"

#include <mbstring.h>
#include <windows.h>

#include <string>

namespace oxsys {

// --- Multibyte text -----------------------------------------------------------

bool isDBCSLeadByte(unsigned char byte) {
    return IsDBCSLeadByte(byte) != FALSE;
}

const char* charNext(const char* p) {
    return CharNextA(p);
}

int32_t mbsLen(const char* text) {
    return static_cast<int32_t>(_mbslen(reinterpret_cast<const unsigned char*>(text)));
}

const char* mbsStr(const char* haystack, const char* needle) {
    return reinterpret_cast<const char*>(_mbsstr(reinterpret_cast<const unsigned char*>(haystack),
                                                 reinterpret_cast<const unsigned char*>(needle)));
}

int32_t wideToNarrow(const char16_t* text, int32_t nUnits, char* out, int32_t outSize) {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), nUnits, out,
                               out ? outSize : 0, nullptr, nullptr);
}

// --- Process ------------------------------------------------------------------

const char* hostProgramBaseName() {
    static const std::string name = [] {
        char path[MAX_PATH + 1] = {};
        GetModuleFileNameA(nullptr, path, MAX_PATH);
        std::string base(path);
        base = base.substr(base.find_last_of("\\/:") + 1);
        const size_t dot = base.find_last_of('.');
        return dot == std::string::npos || dot == 0 ? base : base.substr(0, dot);
    }();
    return name.c_str();
}

} // namespace oxsys
