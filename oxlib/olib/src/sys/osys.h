// The system layer: the only place where the library touches the platform.
//
// Portable code calls these functions; sys_posix.cpp implements them on Linux
// with the stand-ins our design names, sys_win32.cpp as thin calls of the Windows
// API. Each section belongs to one area of the library; add to your own section.
// The sockets have a header of their own, osyssocket.h.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace oxsys {

// --- Multibyte text -------------------------------------------------------
// Windows: IsDBCSLeadByte / CharNextA / _mbslen / _mbsstr / WideCharToMultiByte
// with CP_ACP. Linux: the single-byte model (every byte is one character) and
// UTF-8 as the "ANSI" code page of wide conversions.

bool isDBCSLeadByte(unsigned char byte);
// The next character after `p`; `p` itself when it stands on the terminator.
const char* charNext(const char* p);
// Characters in a zero-terminated text, a double-byte character counting once.
int32_t mbsLen(const char* text);
// First occurrence of `needle` at a character boundary of `haystack`, or null.
const char* mbsStr(const char* haystack, const char* needle);
// Converts `nUnits` UTF-16 units (terminator included when the caller counts it)
// into the user's default code page. With `out` null returns the bytes needed;
// otherwise writes whole characters while they fit in `outSize` and returns the
// bytes written.
int32_t wideToNarrow(const char16_t* text, int32_t nUnits, char* out, int32_t outSize);

// --- Process ----------------------------------------------------------------
// The host program's file name without folder and extension ("quillmark").
const char* hostProgramBaseName();

} // namespace oxsys

// --- Platform ---------------------------------------------------------------
// Windows: GetVersionExA. POSIX: uname(), reported under a platform id of its
// own, so no Windows family test ever matches there.
namespace oxsys {

constexpr uint32_t kPlatformPosix = 0x0100;

struct VersionInfo {
    uint32_t platformId = 0;
    uint32_t major = 0;
    uint32_t minor = 0;
};

// Fills `info` from the system. A failed call leaves `info` as it was.
bool getVersion(VersionInfo& info);

} // namespace oxsys

// --- Libraries --------------------------------------------------------------
// Windows: LoadLibraryA / GetProcAddress / FreeLibrary, GetLastError with
// FormatMessageA. POSIX: dlopen(RTLD_NOW) / dlsym / dlclose, whose failures are
// kept per thread as that thread's last error text.
namespace oxsys {

using LibraryHandle = void*;

// Loads a library by name (the system's search rules apply to a bare name).
// Null on failure; the reason becomes the calling thread's last error.
LibraryHandle loadLibrary(const char* name);
// Address of an exported function, or null (the reason as above). A null or
// unknown handle fails instead of searching the whole process.
void* libraryFunction(LibraryHandle library, const char* name);
// Nonzero on success. Releasing a handle that is not (or no longer) loaded fails
// cleanly rather than touching freed loader state.
int32_t freeLibrary(LibraryHandle library);
// The system's message for `code`; -1 stands for the calling thread's last error.
// Empty when the system has no text for it.
std::string systemErrorText(int32_t code);

} // namespace oxsys

// --- Registry ---------------------------------------------------------------
// Windows: advapi32's Reg* calls. POSIX: the SQLite store of registrystore.h,
// one file for all roots. Results are Windows error codes (0 is success) on both,
// so callers act on the same codes everywhere. Names are in the process's
// multibyte code page; sizes follow the Windows calls (names in characters
// without the terminator on output, buffer sizes with it on input).
namespace oxsys {

using RegKey = void*;

// Access rights (the Windows values).
constexpr uint32_t kKeyQueryValue = 0x0001;
constexpr uint32_t kKeySetValue = 0x0002;
constexpr uint32_t kKeyCreateSubKey = 0x0004;
constexpr uint32_t kKeyEnumerateSubKeys = 0x0008;
constexpr uint32_t kKeyRead = 0x20019;
constexpr uint32_t kKeyWrite = 0x20006;

// Error codes the registry calls return (the Windows values).
constexpr int32_t kErrSuccess = 0;
constexpr int32_t kErrFileNotFound = 2;
constexpr int32_t kErrAccessDenied = 5;
constexpr int32_t kErrInvalidHandle = 6;
constexpr int32_t kErrInvalidParameter = 87;
constexpr int32_t kErrBadPathname = 161;
constexpr int32_t kErrMoreData = 234;
constexpr int32_t kErrNoMoreItems = 259;
constexpr int32_t kErrBadDb = 1009;
constexpr int32_t kErrCantWrite = 1013;
constexpr int32_t kErrKeyDeleted = 1018;

int32_t regOpenKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key);
// Opens the key, creating it and any missing parents first. New keys get the
// default, inherited security: never an access list that lets everyone write.
int32_t regCreateKey(RegKey parent, const char* subKey, uint32_t access, RegKey* key);
int32_t regCloseKey(RegKey key);
// With `data` null only the type and the size needed are returned.
int32_t regQueryValue(RegKey key, const char* name, uint32_t* type, unsigned char* data,
                      uint32_t* size);
// Opens `subKey` for reading, queries the value and closes the key again
// (RegOpenKeyExA, RegQueryValueExA, RegCloseKey); the store answers it in one
// look-up. Fails as the first of those calls that fails.
int32_t regGetValue(RegKey parent, const char* subKey, const char* name, uint32_t* type,
                    unsigned char* data, uint32_t* size);
int32_t regSetValue(RegKey key, const char* name, uint32_t type, const unsigned char* data,
                    uint32_t size);
int32_t regDeleteValue(RegKey key, const char* name);
// Deletes the key below `parent` with all its sub-keys and values; with an empty
// `subKey`, the sub-keys and values of `parent` itself.
int32_t regDeleteTree(RegKey parent, const char* subKey);
int32_t regEnumKey(RegKey key, uint32_t index, char* name, uint32_t* nameSize);
int32_t regEnumValue(RegKey key, uint32_t index, char* name, uint32_t* nameSize, uint32_t* type,
                     unsigned char* data, uint32_t* dataSize);
// What went wrong with the last registry call of this thread that failed with
// `code`: the system's text, on POSIX with the store's own account (file and
// reason) where it has one.
std::string regErrorText(int32_t code);
// Where the registry lives: the store file on POSIX, empty on Windows.
std::string regLocation();

} // namespace oxsys

// --- String resources ---------------------------------------------------------
// Windows: GetLocaleInfoA, LoadStringA and GetModuleFileNameA over the module
// handles of the loader section. POSIX: the user's language from LC_ALL /
// LC_MESSAGES / LANG, and message libraries that are shared objects exporting
// kStringTableEntry (the generated tables of oxlib/resources); a null module is
// the main program (dlopen(NULL)), which may carry a table of its own.
namespace oxsys {

// The file name extension of a loadable library, and the separator a folder
// gets before a file name.
#if defined(_WIN32)
constexpr const char* kLibraryExtension = ".dll";
constexpr char kPathSeparator = '\\';
#else
constexpr const char* kLibraryExtension = ".so";
constexpr char kPathSeparator = '/';
#endif

// The entry point of a message library on POSIX:
//   extern "C" const char* oxStringTable(uint32_t id);  // the template, or null
constexpr const char* kStringTableEntry = "oxStringTable";
using StringTableFunction = const char* (*)(uint32_t id);

// LoadLibraryA of a message library's file. Windows matches file names without
// regard to case, and the names made from the language keep the case of its
// abbreviation ("stringres_DE"), so on POSIX a path whose file is not there is
// tried once more with the folder's entry whose name differs only in case
// (stringres_de.so). A bare name goes through the loader's search, which
// cannot list folders: it is looked up as it stands and then in lower case,
// the case the message libraries are installed under.
LibraryHandle loadLibraryAnyCase(const char* path);
// GetLocaleInfoA(LOCALE_USER_DEFAULT, LOCALE_SABBREVLANGNAME): the user's
// language abbreviation ("DEU" on Windows; two upper-case letters, "DE", on
// POSIX, where C, POSIX and no setting at all give "EN"). Returns the characters
// written with the terminator, 0 on failure (the buffer is then undefined).
int32_t userLanguageAbbreviation(char* buffer, int32_t size);
// LoadStringA: copies string `id` of `module` (null: the main program) into
// `buffer`, cut to size - 1 bytes and zero-terminated. Returns the bytes copied
// without the terminator; 0 when the module has no such string.
int32_t loadString(LibraryHandle module, uint32_t id, char* buffer, int32_t size);
// GetModuleFileNameA: the full file name of `module` (null: the main program).
// Returns its length; 0 on failure and when the name does not fit in size - 1
// bytes (the buffer then holds it cut, and the caller asks again with more).
int32_t moduleFileName(LibraryHandle module, char* buffer, int32_t size);

} // namespace oxsys

// --- Time -------------------------------------------------------------------
// Windows: _ftime, GetTimeZoneInformation, GetDateFormatA. POSIX:
// clock_gettime(CLOCK_REALTIME); the zone from `TZ` if set, else /etc/localtime,
// as the POSIX rule (a TZif file's footer or the TZ text itself) mapped onto the
// Windows record (posixzone.h says what the mapping keeps); no era text.
namespace oxsys {

// Windows' SYSTEMTIME, as a zone rule uses it: wYear 0 is a yearly rule (the
// wDay-th wDayOfWeek of wMonth, 5 the last), otherwise a fixed date.
struct SystemTime {
    uint16_t wYear = 0;
    uint16_t wMonth = 0;
    uint16_t wDayOfWeek = 0;
    uint16_t wDay = 0;
    uint16_t wHour = 0;
    uint16_t wMinute = 0;
    uint16_t wSecond = 0;
    uint16_t wMilliseconds = 0;
};

// Windows' TIME_ZONE_INFORMATION: biases in minutes, universal minus local time.
// A daylightDate month of 0 means the zone has no daylight time.
struct TimeZoneInformation {
    int32_t bias = 0;
    char16_t standardName[32] = {};
    SystemTime standardDate;
    int32_t standardBias = 0;
    char16_t daylightName[32] = {};
    SystemTime daylightDate;
    int32_t daylightBias = 0;
};

// Seconds since 1970-01-01 00:00:00 universal time and the milliseconds (0..999).
void currentTime(int64_t* seconds, uint16_t* milliseconds);
// The system's current zone. Never fails: a zone it cannot read is UTC.
void getTimeZoneInformation(TimeZoneInformation& info);
// The era of a date in the user's locale ("gg"); empty where there is none.
std::string eraText(int32_t year, int32_t month, int32_t day);
// Bytes of the character at `text` in the encoding of the C runtime's time texts
// (strftime's output): the ANSI code page on Windows, UTF-8 on POSIX. A byte
// that starts no whole character counts as one; the terminator as zero.
int32_t timeTextCharLength(const char* text);

} // namespace oxsys

// --- Logging ------------------------------------------------------------------
// The event sink, the logger and the logging libraries we ship. Windows:
// _putenv, _open/_write/_close in text mode, RegisterEventSourceA /
// ReportEventA / DeregisterEventSource, GetModuleHandleExA, OutputDebugStringA.
// POSIX: setenv, open/write/close with O_APPEND, dladdr and syslog; there is no
// event-log service (the sink writes its file instead), so those calls fail.
namespace oxsys {

// Adds NAME=VALUE to the process's environment (replacing an earlier value), so
// that programs started later inherit it. False when the system refuses.
bool setEnvironment(const char* name, const char* value);

// A file opened for appending in text mode (on Windows a line feed is written
// as CR LF). Every write goes to the end of the file as it is at that moment,
// also when other processes append to it, and a write of one call is never
// interleaved with another process's. -1 when the file can't be opened.
using AppendFile = int;
constexpr AppendFile kNoFile = -1;
// Opens `path`, creating it (readable by everyone, as a text file) when missing.
AppendFile openAppendFile(const char* path);
// Writes all `size` bytes in one call where the system allows; false on failure.
bool appendToFile(AppendFile file, const char* data, size_t size);
void closeAppendFile(AppendFile file);

// The system event log (Windows only). Null handles mean failure.
using EventSource = void*;
EventSource registerEventSource(const char* server, const char* source);
// One event with exactly one insertion string, `text`; `user` is a SID or null.
bool reportEvent(EventSource source, uint16_t type, uint16_t category, uint32_t id, void* user,
                 const char* text, uint32_t dataSize, const void* data);
void deregisterEventSource(EventSource source);

// The full path of the loaded library (or program) that holds `address`;
// empty when the system can't say.
std::string modulePathOf(const void* address);

// Hands one line to the system's own log (syslog; on Windows the debugger
// output), with the severity of a Windows event type (1 error, 2 warning,
// anything else information or debug).
void writeSystemLog(const char* ident, uint16_t eventType, const char* line);

} // namespace oxsys
