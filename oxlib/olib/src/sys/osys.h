// The system layer: the only place where the library touches the platform.
//
// Portable code calls these functions; sys_posix.cpp implements them on Linux
// with the stand-ins our design names, sys_win32.cpp as thin calls of the Windows
// API. Each section belongs to one area of the library; add to your own section.
#pragma once

#include <cstdint>

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
#include <string>

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
