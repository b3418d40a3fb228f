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

// --- Platform -----------------------------------------------------------------

namespace oxsys {

bool getVersion(VersionInfo& info) {
    OSVERSIONINFOA version = {};
    version.dwOSVersionInfoSize = sizeof version; // 148: the ANSI structure
    if (!GetVersionExA(&version))
        return false;
    info = VersionInfo{version.dwPlatformId, version.dwMajorVersion, version.dwMinorVersion};
    return true;
}

} // namespace oxsys

// --- Libraries ----------------------------------------------------------------

#include <cstring>

namespace oxsys {

LibraryHandle loadLibrary(const char* name) {
    return LoadLibraryA(name);
}

void* libraryFunction(LibraryHandle library, const char* name) {
    const FARPROC function = GetProcAddress(static_cast<HMODULE>(library), name);
    // A function address travels as void*, as dlsym gives it on POSIX.
    void* address = nullptr;
    static_assert(sizeof address == sizeof function);
    std::memcpy(&address, &function, sizeof address);
    return address;
}

int32_t freeLibrary(LibraryHandle library) {
    return FreeLibrary(static_cast<HMODULE>(library)) ? 1 : 0;
}

std::string systemErrorText(int32_t code) {
    const DWORD error = code == -1 ? GetLastError() : static_cast<DWORD>(code);
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_IGNORE_INSERTS |
                                       FORMAT_MESSAGE_FROM_SYSTEM,
                                   nullptr, error, MAKELANGID(LANG_NEUTRAL, SUBLANG_DEFAULT),
                                   reinterpret_cast<LPSTR>(&text), 0, nullptr);
    std::string result = n && text ? std::string(text, n) : std::string();
    if (text)
        LocalFree(text);
    return result;
}

} // namespace oxsys

// --- Registry -----------------------------------------------------------------

namespace oxsys {

int32_t regOpenKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    HKEY opened = nullptr;
    const LONG rc = RegOpenKeyExA(static_cast<HKEY>(parent), subKey, 0, access, &opened);
    *key = rc == ERROR_SUCCESS ? opened : nullptr;
    return rc;
}

int32_t regCreateKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    // No security attributes: the key inherits its parent's access list. An
    // explicit null access list would let any user rewrite what it configures.
    HKEY created = nullptr;
    DWORD disposition = 0;
    const LONG rc =
        RegCreateKeyExA(static_cast<HKEY>(parent), subKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                        access, nullptr, &created, &disposition);
    *key = rc == ERROR_SUCCESS ? created : nullptr;
    return rc;
}

int32_t regCloseKey(RegKey key) {
    return RegCloseKey(static_cast<HKEY>(key));
}

int32_t regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                      uint32_t* size) {
    DWORD t = 0;
    DWORD n = size ? *size : 0;
    const LONG rc =
        RegQueryValueExA(static_cast<HKEY>(key), name, nullptr, &t, data, size ? &n : nullptr);
    if (type)
        *type = t;
    if (size)
        *size = n;
    return rc;
}

int32_t regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                    uint32_t size) {
    return RegSetValueExA(static_cast<HKEY>(key), name, 0, type, data, size);
}

int32_t regDeleteValue(RegKey key, const char* name) {
    return RegDeleteValueA(static_cast<HKEY>(key), name);
}

int32_t regDeleteTree(RegKey parent, const char* subKey) {
    return RegDeleteTreeA(static_cast<HKEY>(parent), subKey && *subKey ? subKey : nullptr);
}

int32_t regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
    DWORD n = *nameSize;
    const LONG rc =
        RegEnumKeyExA(static_cast<HKEY>(key), index, name, &n, nullptr, nullptr, nullptr, nullptr);
    if (rc == ERROR_SUCCESS)
        *nameSize = n;
    return rc;
}

int32_t regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                     unsigned char* data, uint32_t* dataSize) {
    DWORD n = *nameSize;
    DWORD t = 0;
    DWORD d = dataSize ? *dataSize : 0;
    const LONG rc = RegEnumValueA(static_cast<HKEY>(key), index, name, &n, nullptr, &t, data,
                                  dataSize ? &d : nullptr);
    *nameSize = n;
    if (type)
        *type = t;
    if (dataSize)
        *dataSize = d;
    return rc;
}

std::string regErrorText(int32_t code) {
    return systemErrorText(code);
}

std::string regLocation() {
    return {};
}

} // namespace oxsys
