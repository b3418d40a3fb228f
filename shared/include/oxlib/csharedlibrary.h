// CSharedLibrary: one dynamically loaded library (a DLL on Windows, a shared
// object elsewhere), loaded by name when it is constructed.
//
// Every failure throws a CSharedLibraryException whose detail names the failing
// step, the library (never the function looked up) and the system's own error
// text; at a log level of 256 or more the same text is traced first. Destroying
// the object does not release the library: the owner calls FreeLibrary, and
// drops the object afterwards.
#pragma once

#include <oxlib/ostring.h>

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
using HMODULE = void*;
#endif

// The address of an exported function; cast it to the function's own type.
using OXFunction = void (*)();

// What failed: thrown and caught by value.
class CSharedLibraryException {
public:
    static constexpr int32_t kLoad = 0;        // the constructor
    static constexpr int32_t kGetFunction = 1; // CSharedLibrary::GetFunction
    static constexpr int32_t kFree = 2;        // CSharedLibrary::FreeLibrary

    CSharedLibraryException(int32_t code, const OString& detail) : m_code(code), m_detail(detail) {}

    int32_t GetCode() const { return m_code; }
    OString GetDetail() const { return m_detail; }

private:
    int32_t m_code;
    OString m_detail;
};

class CSharedLibrary {
public:
    // Loads `dllName` (the system's search order applies to a bare name).
    // Throws kLoad with the detail "detail=DLLNAME: <name> error: <system text>".
    // An empty name fails the same way: it never stands for the program itself.
    explicit CSharedLibrary(const OString& dllName);

    // Throws kGetFunction with "detail=GETFUNCTION: <library> error: <text>".
    OXFunction GetFunction(const OString& functionName);

    // Releases the library and returns the system call's nonzero result. Throws
    // kFree with "detail=FREELIBRARY:<library>error:<text>". The handle stays
    // stored but must not be used again.
    int32_t FreeLibrary();

    HMODULE getHandle() const { return m_hDLL; }
    const OString& getName() const { return m_dllName; }

private:
    HMODULE m_hDLL;
    OString m_dllName;
};

// The system's message for `code` (-1: the calling thread's last error, so call
// it right after the failing call, on the same thread). Empty when the system
// has none. On Windows the text keeps its closing line end.
OString getSystemErrorText(int32_t code);
