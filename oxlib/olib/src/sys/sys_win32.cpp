// The system layer on Windows: thin calls of the Windows API.
#include "osys.h"

#include <mbstring.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
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

// _mbsstr's search, made at character boundaries here: Wine's _mbsstr is a plain
// strstr and would find a '\\' that is the trail byte of a double-byte character.
const char* mbsStr(const char* haystack, const char* needle) {
    const size_t length = std::strlen(needle);
    for (const char* p = haystack;; p = CharNextA(p)) {
        if (std::strncmp(p, needle, length) == 0)
            return p;
        if (*p == 0)
            return nullptr;
    }
}

int32_t wideToNarrow(const char16_t* text, int32_t nUnits, char* out, int32_t outSize) {
    return WideCharToMultiByte(CP_ACP, 0, reinterpret_cast<LPCWSTR>(text), nUnits, out,
                               out ? outSize : 0, nullptr, nullptr);
}

// --- Process ------------------------------------------------------------------

const char* hostProgramBaseName() {
    static const std::string name = [] {
        std::string base(MAX_PATH + 1, '\0');
        while (moduleFileName(nullptr, &base[0], static_cast<int32_t>(base.size())) == 0 &&
               base.size() < 32768)
            base.resize(base.size() * 2); // a long path: ask again with more room
        base.resize(std::strlen(base.c_str()));
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

int32_t regGetValue(RegKey parent, const char* subKey, const char* name, uint32_t* type,
                    unsigned char* data, uint32_t* size) {
    RegKey key = nullptr;
    if (const int32_t rc = regOpenKey(parent, subKey, kKeyRead, &key); rc != kErrSuccess)
        return rc;
    const int32_t rc = regQueryValue(key, name, type, data, size);
    regCloseKey(key);
    return rc;
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

namespace {

// Deletes the values of `key`, always the first one left: deleting while
// enumerating shifts the indices.
LONG deleteValues(HKEY key) {
    char name[16384]; // value names are at most 16383 characters
    for (;;) {
        DWORD n = sizeof name;
        LONG rc = RegEnumValueA(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            return ERROR_SUCCESS;
        if (rc == ERROR_SUCCESS)
            rc = RegDeleteValueA(key, name);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
}

// Deletes the sub-keys of `key`, depth first (NT's RegDeleteKeyA refuses a key
// that still has sub-keys), then its values.
LONG deleteContents(HKEY key) {
    for (;;) {
        char name[256]; // key names are at most 255 characters
        DWORD n = sizeof name;
        LONG rc = RegEnumKeyExA(key, 0, name, &n, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_NO_MORE_ITEMS)
            break;
        HKEY child = nullptr;
        if (rc == ERROR_SUCCESS)
            rc = RegOpenKeyExA(key, name, 0, KEY_READ | KEY_WRITE, &child);
        if (rc == ERROR_SUCCESS) {
            rc = deleteContents(child);
            RegCloseKey(child);
        }
        if (rc == ERROR_SUCCESS)
            rc = RegDeleteKeyA(key, name);
        if (rc != ERROR_SUCCESS)
            return rc;
    }
    return deleteValues(key);
}

} // namespace

// Our own walk rather than RegDeleteTreeA, which Windows has only since Vista.
int32_t regDeleteTree(RegKey parent, const char* subKey) {
    const bool self = !subKey || !*subKey;
    HKEY key = nullptr;
    LONG rc = RegOpenKeyExA(static_cast<HKEY>(parent), self ? nullptr : subKey, 0,
                            KEY_READ | KEY_WRITE, &key);
    if (rc != ERROR_SUCCESS)
        return rc;
    rc = deleteContents(key);
    RegCloseKey(key);
    if (rc == ERROR_SUCCESS && !self)
        rc = RegDeleteKeyA(static_cast<HKEY>(parent), subKey);
    return rc;
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

// --- String resources -----------------------------------------------------------

namespace oxsys {

LibraryHandle loadLibraryAnyCase(const char* path) {
    return LoadLibraryA(path); // the file system ignores case already
}

int32_t userLanguageAbbreviation(char* buffer, int32_t size) {
    return GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME, buffer, size);
}

int32_t loadString(LibraryHandle module, uint32_t id, char* buffer, int32_t size) {
    return LoadStringA(static_cast<HINSTANCE>(module), id, buffer, size);
}

int32_t moduleFileName(LibraryHandle module, char* buffer, int32_t size) {
    if (buffer == nullptr || size <= 0)
        return 0;
    const DWORD n =
        GetModuleFileNameA(static_cast<HMODULE>(module), buffer, static_cast<DWORD>(size));
    // A name that does not fit comes back as the buffer's size (with
    // ERROR_INSUFFICIENT_BUFFER), on older systems without its terminator:
    // cut, and not a success.
    if (n >= static_cast<DWORD>(size)) {
        buffer[size - 1] = 0;
        return 0;
    }
    buffer[n] = 0;
    return static_cast<int32_t>(n);
}

} // namespace oxsys

// --- Time ---------------------------------------------------------------------

#include <sys/timeb.h>

namespace oxsys {

void currentTime(int64_t* seconds, uint16_t* milliseconds) {
    struct __timeb64 now = {};
    _ftime64(&now);
    *seconds = static_cast<int64_t>(now.time);
    *milliseconds = static_cast<uint16_t>(now.millitm);
}

namespace {

SystemTime fromSystemTime(const SYSTEMTIME& st) {
    return SystemTime{st.wYear, st.wMonth,  st.wDayOfWeek, st.wDay,
                      st.wHour, st.wMinute, st.wSecond,    st.wMilliseconds};
}

} // namespace

void getTimeZoneInformation(TimeZoneInformation& info) {
    TIME_ZONE_INFORMATION tz = {};
    GetTimeZoneInformation(&tz); // the zone's fields hold whatever the result code says
    info = TimeZoneInformation{};
    info.bias = tz.Bias;
    info.standardBias = tz.StandardBias;
    info.daylightBias = tz.DaylightBias;
    static_assert(sizeof tz.StandardName / sizeof tz.StandardName[0] == 32, "32 UTF-16 units");
    for (int i = 0; i < 31; ++i) {
        info.standardName[i] = static_cast<char16_t>(tz.StandardName[i]);
        info.daylightName[i] = static_cast<char16_t>(tz.DaylightName[i]);
    }
    info.standardDate = fromSystemTime(tz.StandardDate);
    info.daylightDate = fromSystemTime(tz.DaylightDate);
}

std::string eraText(int32_t year, int32_t month, int32_t day) {
    SYSTEMTIME date = {};
    date.wYear = static_cast<WORD>(year);
    date.wMonth = static_cast<WORD>(month);
    date.wDay = static_cast<WORD>(day);
    // "g" and "gg" are the same picture on Windows; Wine writes the era once per
    // letter. The size is asked first: an era text can be longer than a few bytes.
    const int size = GetDateFormatA(LOCALE_USER_DEFAULT, 0, &date, "g", nullptr, 0);
    if (size <= 0)
        return std::string();
    std::string text(static_cast<size_t>(size), '\0');
    if (GetDateFormatA(LOCALE_USER_DEFAULT, 0, &date, "g", text.data(), size) == 0)
        return std::string();
    text.resize(std::strlen(text.c_str()));
    return text;
}

int32_t timeTextCharLength(const char* text) {
    if (text[0] == 0)
        return 0;
    return IsDBCSLeadByte(static_cast<BYTE>(text[0])) && text[1] != 0 ? 2 : 1;
}

} // namespace oxsys

// --- Logging ------------------------------------------------------------------

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdlib>

namespace oxsys {

bool setEnvironment(const char* name, const char* value) {
    const std::string entry = std::string(name) + "=" + value;
    return _putenv(entry.c_str()) == 0;
}

// The file is opened for appending only (FILE_APPEND_DATA), so each WriteFile
// lands whole at the end even while other processes append too; the C
// runtime's _O_APPEND seeks to the end and writes after, and its text mode
// writes a line in pieces, so lines of processes appending at once were lost
// or torn. Wine does not make such appends atomic, so each write also holds a
// lock on a byte far past any end (readers are never kept out). Lines still
// end in CR LF, as in a text-mode file.
AppendFile openAppendFile(const char* path) {
    const HANDLE file = CreateFileA(path, FILE_READ_DATA | FILE_APPEND_DATA | SYNCHRONIZE,
                                    FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                                    OPEN_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return kNoFile;
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(file), _O_APPEND | _O_BINARY);
    if (fd < 0)
        CloseHandle(file);
    return fd < 0 ? kNoFile : fd;
}

bool appendToFile(AppendFile file, const char* data, size_t size) {
    if (file == kNoFile)
        return false;
    std::string text;
    text.reserve(size + size / 16);
    for (size_t i = 0; i < size; ++i) {
        if (data[i] == '\n')
            text += '\r';
        text += data[i];
    }
    const HANDLE handle = reinterpret_cast<HANDLE>(_get_osfhandle(file));
    OVERLAPPED lockAt = {};
    lockAt.Offset = 0xFFFFFFFEu;
    lockAt.OffsetHigh = 0x7FFFFFFFu;
    const bool locked = LockFileEx(handle, LOCKFILE_EXCLUSIVE_LOCK, 0, 1, 0, &lockAt) != 0;
    size_t done = 0;
    bool ok = true;
    while (ok && done < text.size()) {
        const DWORD chunk = static_cast<DWORD>(std::min<size_t>(text.size() - done, 0x40000000u));
        DWORD written = 0;
        ok = WriteFile(handle, text.data() + done, chunk, &written, nullptr) && written != 0;
        done += written;
    }
    if (locked)
        UnlockFileEx(handle, 0, 1, 0, &lockAt);
    return ok;
}

void closeAppendFile(AppendFile file) {
    if (file != kNoFile)
        _close(file);
}

EventSource registerEventSource(const char* server, const char* source) {
    return RegisterEventSourceA(server, source);
}

bool reportEvent(EventSource source, uint16_t type, uint16_t category, uint32_t id, void* user,
                 const char* text, uint32_t dataSize, const void* data) {
    LPCSTR strings[1] = {text};
    return ReportEventA(static_cast<HANDLE>(source), type, category, id, static_cast<PSID>(user), 1,
                        dataSize, strings, const_cast<void*>(data)) != FALSE;
}

void deregisterEventSource(EventSource source) {
    if (source != nullptr)
        DeregisterEventSource(static_cast<HANDLE>(source));
}

std::string modulePathOf(const void* address) {
    HMODULE module = nullptr;
    if (!GetModuleHandleExA(GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS |
                                GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT,
                            static_cast<LPCSTR>(address), &module))
        return std::string();
    char path[MAX_PATH + 1] = {};
    const DWORD n = GetModuleFileNameA(module, path, MAX_PATH);
    return std::string(path, n < MAX_PATH ? n : MAX_PATH);
}

void writeSystemLog(const char* ident, uint16_t, const char* line) {
    const std::string text = std::string(ident) + ": " + line + "\n";
    OutputDebugStringA(text.c_str());
}

} // namespace oxsys
