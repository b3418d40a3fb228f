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

// --- Platform -----------------------------------------------------------------

#include <sys/utsname.h>

#include <cstdio>

namespace oxsys {

bool getVersion(VersionInfo& info) {
    struct utsname name;
    if (uname(&name) != 0)
        return false;
    // "6.1.0-18-amd64": the first two numbers are the major and minor version.
    unsigned major = 0;
    unsigned minor = 0;
    std::sscanf(name.release, "%u.%u", &major, &minor);
    info = VersionInfo{kPlatformPosix, major, minor};
    return true;
}

} // namespace oxsys

// --- Libraries ----------------------------------------------------------------

#include <dlfcn.h>

#include <cerrno>
#include <map>
#include <mutex>

namespace oxsys {

namespace {

// The calling thread's last loader failure; dlerror() keeps only one text per
// thread and any later loader call may clear it.
thread_local std::string t_loaderError;

// Handles this layer has handed out, with how often each is loaded. dlclose on
// a handle the loader no longer knows is undefined; this turns it into an error.
std::mutex g_librariesMutex;
std::map<void*, int32_t>& loadedLibraries() {
    static auto* loaded = new std::map<void*, int32_t>;
    return *loaded;
}

std::string takeDlError() {
    const char* text = dlerror();
    return text ? text : "unknown loader error";
}

} // namespace

LibraryHandle loadLibrary(const char* name) {
    dlerror();
    void* handle = name ? dlopen(name, RTLD_NOW) : nullptr;
    if (handle == nullptr) {
        t_loaderError = name ? takeDlError() : "no library name";
        return nullptr;
    }
    std::lock_guard lock(g_librariesMutex);
    ++loadedLibraries()[handle];
    return handle;
}

void* libraryFunction(LibraryHandle library, const char* name) {
    {
        std::lock_guard lock(g_librariesMutex);
        if (library == nullptr || loadedLibraries().count(library) == 0) {
            t_loaderError = "invalid library handle";
            return nullptr;
        }
    }
    dlerror();
    void* address = name ? dlsym(library, name) : nullptr;
    if (address == nullptr) {
        // dlerror() says "<file>: undefined symbol: <name>"; like the Windows text,
        // ours names no function: the caller knows which one it asked for.
        std::string text = name ? takeDlError() : "no function name";
        const size_t at = text.rfind(": ");
        if (name && at != std::string::npos && text.compare(at + 2, std::string::npos, name) == 0)
            text.erase(at);
        t_loaderError = text;
    }
    return address;
}

int32_t freeLibrary(LibraryHandle library) {
    {
        std::lock_guard lock(g_librariesMutex);
        auto found = loadedLibraries().find(library);
        if (library == nullptr || found == loadedLibraries().end()) {
            t_loaderError = "invalid library handle";
            return 0;
        }
        if (--found->second == 0)
            loadedLibraries().erase(found);
    }
    dlerror();
    if (dlclose(library) != 0) {
        t_loaderError = takeDlError();
        return 0;
    }
    return 1;
}

std::string systemErrorText(int32_t code) {
    if (code == -1)
        return t_loaderError;
    char buffer[256] = {};
    // The GNU strerror_r returns its text, which need not be in `buffer`.
    const char* text = strerror_r(code, buffer, sizeof buffer);
    return text ? text : "";
}

} // namespace oxsys

// --- Registry -----------------------------------------------------------------

#include "registrystore.h"

namespace oxsys {

int32_t regOpenKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    return registry::openKey(parent, subKey, access, key);
}

int32_t regCreateKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key) {
    return registry::createKey(parent, subKey, access, key);
}

int32_t regCloseKey(RegKey key) {
    return registry::closeKey(key);
}

int32_t regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                      uint32_t* size) {
    return registry::queryValue(key, name, type, data, size);
}

int32_t regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                    uint32_t size) {
    return registry::setValue(key, name, type, data, size);
}

int32_t regDeleteValue(RegKey key, const char* name) {
    return registry::deleteValue(key, name);
}

int32_t regDeleteTree(RegKey parent, const char* subKey) {
    return registry::deleteTree(parent, subKey);
}

int32_t regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize) {
    return registry::enumKey(key, index, name, nameSize);
}

int32_t regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                     unsigned char* data, uint32_t* dataSize) {
    return registry::enumValue(key, index, name, nameSize, type, data, dataSize);
}

std::string regErrorText(int32_t code) {
    if (std::string problem = registry::lastProblem(); !problem.empty())
        return problem;
    switch (code) {
    case kErrSuccess:
        return "The operation completed successfully.";
    case kErrFileNotFound:
        return "The system cannot find the file specified.";
    case kErrAccessDenied:
        return "Access is denied.";
    case kErrInvalidHandle:
        return "The handle is invalid.";
    case kErrInvalidParameter:
        return "The parameter is incorrect.";
    case kErrBadPathname:
        return "The specified path is invalid.";
    case kErrMoreData:
        return "More data is available.";
    case kErrNoMoreItems:
        return "No more data is available.";
    case kErrBadDb:
        return "The configuration registry database is corrupt.";
    case kErrCantWrite:
        return "The configuration registry key could not be written.";
    case kErrKeyDeleted:
        return "Illegal operation attempted on a registry key that has been marked for deletion.";
    default:
        return "Registry error " + std::to_string(code) + ".";
    }
}

std::string regLocation() {
    return registry::storePath();
}

} // namespace oxsys
