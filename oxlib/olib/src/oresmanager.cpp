// The string-resource manager: process-wide handles set without locks, because
// initStringResources runs during the logging set-up, before other threads use
// the strings; lookups only read them.
#include <oxlib/olog.h>
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include "oresmanagerstate.h"
#include "resourcetext.h"
#include "sys/osys.h"

#include <cstring>

namespace {

constexpr int32_t kLanguageBufferSize = 40;
constexpr int32_t kPathBufferSize = 1024;
constexpr int32_t kModuleNameBufferSize = 1024;
constexpr int32_t kStringBufferSize = kResourceTextSize;

oxsys::LibraryHandle g_resHandle = nullptr;
// Searched when the message library lacks an id; null is the main program.
oxsys::LibraryHandle g_fallbackHandle = nullptr;
bool g_notFoundReported = false;

// _makepath with no drive: the folder, a separator unless it already ends in
// one (none for an empty folder), the name and the extension. The result is cut
// to the path buffer's size.
OString makePath(const OString& folder, const OString& name) {
    OString path = folder;
    const int32_t used = folder.getNativeCharsUsed();
    if (used > 0) {
        const char last = folder.c_str()[used - 1];
        if (last != '\\' && last != '/')
            path.append(oxsys::kPathSeparator);
    }
    path.append(name);
    path.append(oxsys::kLibraryExtension);
    if (path.getNativeCharsUsed() >= kPathBufferSize)
        path = OString(path.c_str(), kPathBufferSize - 1);
    return path;
}

} // namespace

void initStringResources() {
    if (g_resHandle == nullptr) {
        g_resHandle = loadStringLibrary("stringres");
        if (g_resHandle == nullptr)
            g_resHandle = g_fallbackHandle;
    }
    g_fallbackHandle = nullptr;
}

void* loadStringLibrary(const char* baseName) {
    const OString base(baseName ? baseName : "");

    char language[kLanguageBufferSize] = {};
    if (oxsys::userLanguageAbbreviation(language, kLanguageBufferSize) == 0)
        std::strcpy(language, "en");
    language[kLanguageBufferSize - 1] = 0;
    // The first two characters, whole double-byte characters included.
    OStringIterator cut(language);
    cut.advance(2);
    OString name = base;
    name.append("_");
    name.appendBytes(language, static_cast<int32_t>(cut.position() - language));

    const ORegistry strings("Shared Tools\\Strings", "Software\\Corvane Software\\",
                            HKEY_LOCAL_MACHINE);
    const OString folder = strings.readString("Path");

    oxsys::LibraryHandle handle = oxsys::loadLibraryAnyCase(makePath(folder, name).c_str());
    if (handle == nullptr)
        handle = oxsys::loadLibraryAnyCase((name + oxsys::kLibraryExtension).c_str());
    if (handle == nullptr) {
        name = base + "_en";
        handle = oxsys::loadLibraryAnyCase(makePath(folder, name).c_str());
    }
    if (handle == nullptr)
        handle = oxsys::loadLibraryAnyCase((name + oxsys::kLibraryExtension).c_str());
    if (handle == nullptr && !g_notFoundReported) {
        g_notFoundReported = true;
        logAssertion("oresmanager.cpp", "105", "resHandle",
                     "Could not find string resource DLL. Some strings may not appear.");
    }
    return handle;
}

OString getStringLibraryPath() {
    char buffer[kModuleNameBufferSize] = {};
    if (g_resHandle != nullptr &&
        oxsys::moduleFileName(g_resHandle, buffer, kModuleNameBufferSize) != 0)
        return OString(buffer);
    return OString();
}

int32_t loadResourceText(uint32_t id, char* buffer) {
    buffer[0] = 0;
    if (oxsys::loadString(g_resHandle, id, buffer, kStringBufferSize) == 0) {
        buffer[0] = 0;
        if (oxsys::loadString(g_fallbackHandle, id, buffer, kStringBufferSize) == 0) {
            buffer[0] = 0;
            return 0;
        }
    }
    buffer[kStringBufferSize - 1] = 0;
    return static_cast<int32_t>(std::strlen(buffer));
}

OString loadResourceString(uint32_t id) {
    char buffer[kStringBufferSize];
    std::memset(buffer, 0, sizeof buffer);
    loadResourceText(id, buffer);
    return OString(buffer);
}

void forgetStringResources() {
    g_resHandle = nullptr;
    g_fallbackHandle = nullptr;
    g_notFoundReported = false;
}
