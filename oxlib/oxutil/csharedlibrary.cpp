// The dynamic library loader.
#include <oxlib/csharedlibrary.h>
#include <oxlib/olog.h>

#include "sys/osys.h"

#include <cstring>

namespace {

constexpr const char* kFile = "oxutil\\csharedlibrary.cpp";
constexpr uint32_t kTraceLevel = 255;

} // namespace

OString getSystemErrorText(int32_t code) {
    const std::string text = oxsys::systemErrorText(code);
    return OString(text.c_str(), static_cast<int32_t>(text.size()));
}

CSharedLibrary::CSharedLibrary(const OString& dllName) : m_hDLL(nullptr), m_dllName(dllName) {
    m_hDLL = static_cast<HMODULE>(oxsys::loadLibrary(m_dllName.c_str()));
    if (m_hDLL != nullptr)
        return;
    // The system text first: the level query may start the logger, which loads
    // libraries of its own and so replaces this thread's last error.
    const OString detail = "detail=DLLNAME: " + m_dllName + " error: " + getSystemErrorText(-1);
    if (logLevel() > kTraceLevel)
        logTrace("CSharedLibrary::CSharedLibrary: Error: %s", detail.c_str());
    throw CSharedLibraryException(CSharedLibraryException::kLoad, detail);
}

OXFunction CSharedLibrary::GetFunction(const OString& functionName) {
    OX_ASSERT_AT(m_hDLL != nullptr, kFile, "49", "m_hDLL!=0");
    if (void* address = oxsys::libraryFunction(m_hDLL, functionName.c_str())) {
        OXFunction function = nullptr;
        static_assert(sizeof function == sizeof address);
        std::memcpy(&function, &address, sizeof function);
        return function;
    }
    const OString detail = "detail=GETFUNCTION: " + m_dllName + " error: " + getSystemErrorText(-1);
    if (logLevel() > kTraceLevel)
        logTrace("CSharedLibrary::GetFunction: Error: %s", detail.c_str());
    throw CSharedLibraryException(CSharedLibraryException::kGetFunction, detail);
}

int32_t CSharedLibrary::FreeLibrary() {
    OX_ASSERT_AT(m_hDLL != nullptr, kFile, "82", "m_hDLL!=0");
    if (const int32_t result = oxsys::freeLibrary(m_hDLL))
        return result;
    const OString detail = "detail=FREELIBRARY:" + m_dllName + "error:" + getSystemErrorText(-1);
    if (logLevel() > kTraceLevel)
        logTrace("CSharedLibrary::FreeLibrary: %s", detail.c_str());
    throw CSharedLibraryException(CSharedLibraryException::kFree, detail);
}
