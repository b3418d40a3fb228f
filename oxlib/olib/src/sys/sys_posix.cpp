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

namespace {

// The executable's full path, however long; empty when it cannot be read.
std::string executablePath() {
    std::string path(256, '\0');
    for (;;) {
        const ssize_t n = readlink("/proc/self/exe", path.data(), path.size());
        if (n <= 0)
            return std::string();
        if (static_cast<size_t>(n) < path.size()) {
            path.resize(static_cast<size_t>(n));
            return path;
        }
        path.resize(path.size() * 2); // it may have been cut: ask again
    }
}

} // namespace

const char* hostProgramBaseName() {
    static const std::string name = [] {
        std::string base = executablePath();
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

#include <atomic>
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
// Counts every release, so a cache of something found in a library can tell
// that the handle it was found under may since name another library.
std::atomic<uint64_t> g_releases{0};
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
    // dlopen("") would give the main program, whose every global symbol would
    // then pass for the library's; Windows refuses an empty name, and so do we.
    const bool named = name != nullptr && *name != 0;
    void* handle = named ? dlopen(name, RTLD_NOW) : nullptr;
    if (handle == nullptr) {
        t_loaderError = named ? takeDlError() : "no library name";
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
        g_releases.fetch_add(1, std::memory_order_release);
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

// --- String resources -----------------------------------------------------------

#include <dirent.h>
#include <link.h>
#include <strings.h>

#include <algorithm>
#include <climits>
#include <cstdlib>

namespace oxsys {

LibraryHandle loadLibraryAnyCase(const char* path) {
    if (LibraryHandle handle = loadLibrary(path))
        return handle;
    const char* slash = path ? std::strrchr(path, '/') : nullptr;
    if (slash == nullptr) {
        if (path == nullptr)
            return nullptr;
        std::string lower(path);
        for (char& c : lower)
            if (c >= 'A' && c <= 'Z')
                c = static_cast<char>(c - 'A' + 'a');
        return lower == path ? nullptr : loadLibrary(lower.c_str());
    }
    const std::string folder(path, static_cast<size_t>(slash - path) + (slash == path ? 1 : 0));
    const char* name = slash + 1;
    std::string match; // the first in byte order when several differ only in case
    if (DIR* dir = opendir(folder.c_str())) {
        while (const dirent* entry = readdir(dir))
            if (strcasecmp(entry->d_name, name) == 0 && std::strcmp(entry->d_name, name) != 0 &&
                (match.empty() || match > entry->d_name))
                match = entry->d_name;
        closedir(dir);
    }
    if (match.empty())
        return nullptr; // the first attempt's failure stays the last error
    return loadLibrary((folder + (folder == "/" ? "" : "/") + match).c_str());
}

int32_t userLanguageAbbreviation(char* buffer, int32_t size) {
    if (buffer == nullptr || size < 3)
        return 0;
    // The variables in the order the C library's message catalogues obey them.
    const char* value = nullptr;
    for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
        const char* v = std::getenv(name);
        if (v != nullptr && *v != 0) {
            value = v;
            break;
        }
    }
    auto isLetter = [](char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); };
    auto upper = [](char c) { return c >= 'a' && c <= 'z' ? static_cast<char>(c - 'a' + 'A') : c; };
    if (value == nullptr || std::strcmp(value, "C") == 0 || std::strcmp(value, "POSIX") == 0 ||
        std::strncmp(value, "C.", 2) == 0) {
        std::memcpy(buffer, "EN", 3);
        return 3;
    }
    // "de_DE.UTF-8", "de": the language is the leading letters.
    if (!isLetter(value[0]) || !isLetter(value[1]))
        return 0;
    buffer[0] = upper(value[0]);
    buffer[1] = upper(value[1]);
    buffer[2] = 0;
    return 3;
}

namespace {

StringTableFunction tableOf(void* scope) {
    void* address = scope ? dlsym(scope, kStringTableEntry) : nullptr;
    StringTableFunction lookup = nullptr;
    static_assert(sizeof address == sizeof lookup);
    std::memcpy(&lookup, &address, sizeof lookup);
    return lookup;
}

// The main program's table, as a null module handle means on Windows. The
// program is loaded before anything else, so its answer never changes and a
// search of the whole global scope is made once.
StringTableFunction mainProgramTable() {
    static const StringTableFunction table = tableOf(dlopen(nullptr, RTLD_NOW));
    return table;
}

} // namespace

// The table of a message library, looked up once per thread and library:
// every event's message text needs it, and dlsym costs more than the lookup.
// A library released since then invalidates the cache.
StringTableFunction cachedTableOf(LibraryHandle module) {
    thread_local LibraryHandle cachedModule = nullptr;
    thread_local uint64_t cachedReleases = 0;
    thread_local StringTableFunction cachedTable = nullptr;
    const uint64_t releases = g_releases.load(std::memory_order_acquire);
    if (module != cachedModule || releases != cachedReleases) {
        cachedTable = tableOf(module);
        cachedModule = module;
        cachedReleases = releases;
    }
    return cachedTable;
}

int32_t loadString(LibraryHandle module, uint32_t id, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    const StringTableFunction lookup =
        module != nullptr ? cachedTableOf(module) : mainProgramTable();
    const char* text = lookup ? lookup(id) : nullptr;
    const size_t length = text ? std::strlen(text) : 0;
    const size_t n = std::min(length, static_cast<size_t>(size - 1));
    if (n != 0)
        std::memcpy(buffer, text, n);
    buffer[n] = 0;
    return static_cast<int32_t>(n);
}

int32_t moduleFileName(LibraryHandle module, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    std::string path;
    if (module == nullptr) {
        path = executablePath();
        if (path.empty())
            return 0;
    } else {
        link_map* map = nullptr;
        if (dlinfo(module, RTLD_DI_LINKMAP, &map) != 0 || map == nullptr ||
            map->l_name == nullptr || map->l_name[0] == 0)
            return 0;
        path = map->l_name;
        // A library loaded by a relative path: the full name, as Windows gives it.
        if (path[0] != '/') {
            char full[PATH_MAX];
            if (realpath(map->l_name, full) != nullptr)
                path = full;
        }
    }
    // A name that does not fit is cut but never reported as a success, as
    // GetModuleFileNameA reports ERROR_INSUFFICIENT_BUFFER.
    const size_t n = std::min(path.size(), static_cast<size_t>(size - 1));
    std::memcpy(buffer, path.data(), n);
    buffer[n] = 0;
    return n == path.size() ? static_cast<int32_t>(n) : 0;
}

} // namespace oxsys

// --- Time ---------------------------------------------------------------------

#include "posixzone.h"

#include <cstdlib>
#include <ctime>

namespace oxsys {

void currentTime(int64_t* seconds, uint16_t* milliseconds) {
    struct timespec now = {};
    clock_gettime(CLOCK_REALTIME, &now);
    *seconds = static_cast<int64_t>(now.tv_sec);
    *milliseconds = static_cast<uint16_t>(now.tv_nsec / 1000000);
}

void getTimeZoneInformation(TimeZoneInformation& info) {
    int64_t now = 0;
    uint16_t milliseconds = 0;
    currentTime(&now, &milliseconds);
    zoneFromEnvironment(std::getenv("TZ"), std::getenv("TZDIR"), now, info);
}

std::string eraText(int32_t, int32_t, int32_t) {
    return std::string();
}

int32_t timeTextCharLength(const char* text) {
    const auto lead = static_cast<unsigned char>(text[0]);
    if (lead == 0)
        return 0;
    if (lead < 0xC2 || lead > 0xF4)
        return 1; // ASCII, a trail byte, or no UTF-8 lead at all
    const int32_t length = lead >= 0xF0 ? 4 : lead >= 0xE0 ? 3 : 2;
    for (int32_t i = 1; i < length; ++i)
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80)
            return 1;
    return length;
}

} // namespace oxsys

// --- Logging ------------------------------------------------------------------

#include <fcntl.h>
#include <sys/stat.h>
#include <syslog.h>

namespace oxsys {

bool setEnvironment(const char* name, const char* value) {
    return setenv(name, value, 1) == 0;
}

AppendFile openAppendFile(const char* path) {
    int fd = -1;
    do
        fd = ::open(path, O_WRONLY | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
    while (fd < 0 && errno == EINTR);
    return fd < 0 ? kNoFile : fd;
}

bool appendToFile(AppendFile file, const char* data, size_t size) {
    if (file == kNoFile)
        return false;
    // One write() with O_APPEND places the whole text at the end at once; only
    // a write the kernel cuts short (a signal, a full disk) needs a second call.
    while (size > 0) {
        const ssize_t n = ::write(file, data, size);
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0)
            return false;
        data += n;
        size -= static_cast<size_t>(n);
    }
    return true;
}

void closeAppendFile(AppendFile file) {
    if (file != kNoFile)
        ::close(file);
}

EventSource registerEventSource(const char*, const char*) {
    return nullptr;
}

bool reportEvent(EventSource, uint16_t, uint16_t, uint32_t, void*, const char*, uint32_t,
                 const void*) {
    return false;
}

void deregisterEventSource(EventSource) {}

std::string modulePathOf(const void* address) {
    Dl_info info = {};
    if (dladdr(address, &info) == 0 || info.dli_fname == nullptr)
        return std::string();
    std::string path = info.dli_fname;
    if (!path.empty() && path[0] != '/') {
        char full[PATH_MAX];
        if (realpath(path.c_str(), full) != nullptr)
            path = full;
    }
    return path;
}

void writeSystemLog(const char* ident, uint16_t eventType, const char* line) {
    const int priority = eventType == 0x0001   ? LOG_ERR
                         : eventType == 0x0002 ? LOG_WARNING
                         : eventType == 0x0100 ? LOG_DEBUG
                                               : LOG_INFO;
    // openlog keeps the pointer it is given; the caller's ident must outlive it,
    // so the ident goes with each call instead.
    syslog(LOG_USER | priority, "%s: %s", ident, line);
}

} // namespace oxsys
