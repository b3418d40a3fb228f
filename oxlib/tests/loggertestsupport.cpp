#include "loggertestsupport.h"

#include "sys/osys.h"

#include <oxlib/oregistry.h>

#if defined(_WIN32)
#include <windows.h>
#endif

#include <climits>
#include <cstdlib>
#include <regex>
#include <stdexcept>

namespace {

constexpr const char* kLoggingKey = "Software\\Corvane Software\\Corvane Logging";

void createKey(const std::string& path) {
    oxsys::RegKey key = nullptr;
    if (oxsys::regCreateKey(HKEY_LOCAL_MACHINE, path.c_str(), oxsys::kKeyWrite, &key) !=
        oxsys::kErrSuccess)
        throw std::runtime_error("cannot create " + path);
    oxsys::regCloseKey(key);
}

void setOrUnset(const char* name, const std::string& value) {
#if defined(_WIN32)
    oxsys::setEnvironment(name, value.c_str()); // an empty value removes the variable
#else
    if (value.empty())
        unsetenv(name);
    else
        setenv(name, value.c_str(), 1);
#endif
}

} // namespace

#if defined(_WIN32)
namespace {

// A build path as Windows names it (Wine shows the build folder on drive Z:).
std::string windowsPath(const std::string& path) {
    char full[MAX_PATH];
    return GetFullPathNameA(path.c_str(), sizeof full, full, nullptr) ? std::string(full) : path;
}

} // namespace
#endif

std::string pxloggerPath() {
#if defined(_WIN32)
    return windowsPath(OX_PXLOGGER);
#else
    return OX_PXLOGGER;
#endif
}

std::string testLogger(const std::string& variant) {
#if defined(_WIN32)
    return windowsPath(std::string(OX_TESTLOG_DIR) + "/liboxtestlog_" + variant + ".dll");
#else
    return std::string(OX_TESTLOG_DIR) + "/liboxtestlog_" + variant + ".so";
#endif
}

std::string helperPath() {
#if defined(_WIN32)
    return windowsPath(OX_LOGGER_HELPER); // as the helper's module file name gives it
#else
    char full[PATH_MAX];
    return realpath(OX_LOGGER_HELPER, full) ? std::string(full) : std::string(OX_LOGGER_HELPER);
#endif
}

EventLogLine parseEventLogLine(const std::string& line) {
    static const std::regex shape(
        R"(^(\d{1,2}/\d{1,2}/\d{2}   \d{1,2}:\d{2}:\d{2}(?:AM|PM)    )(-?\d+)    (\d+)      (.*)$)");
    std::smatch m;
    EventLogLine out;
    if (!std::regex_match(line, m, shape))
        return out;
    out.valid = true;
    out.stamp = m[1];
    out.type = m[2];
    out.category = m[3];
    out.message = m[4];
    return out;
}

std::vector<std::string> splitLines(const std::string& text) {
    std::vector<std::string> lines;
    size_t start = 0;
    while (start < text.size()) {
        const size_t end = text.find('\n', start);
        if (end == std::string::npos) {
            lines.push_back(text.substr(start) + "<no line end>");
            break;
        }
#if defined(_WIN32)
        // Files written in text mode end their lines with CR LF.
        const size_t cut = end > start && text[end - 1] == '\r' ? end - 1 : end;
        lines.push_back(text.substr(start, cut - start));
#else
        lines.push_back(text.substr(start, end - start));
#endif
        start = end + 1;
    }
    return lines;
}

LoggerScene::LoggerScene() {
    // Real message texts: the built English library, by the registry's folder.
    const ORegistry strings("Shared Tools\\Strings", "Software\\Corvane Software\\",
                            HKEY_LOCAL_MACHINE);
    if (!strings.writeString("Path", OX_STRINGRES_DIR))
        throw std::runtime_error("cannot write the strings folder");
}

LoggerScene::~LoggerScene() = default;

void LoggerScene::createLoggingKey() {
    createKey(kLoggingKey);
}

void LoggerScene::addLibrary(const std::string& subKey, const std::string& dllPath,
                             const std::string& logFile) {
    const ORegistry library(subKey.c_str(), "Software\\Corvane Software\\Corvane Logging\\",
                            HKEY_LOCAL_MACHINE);
    if (!library.writeString("DLLPath", dllPath.c_str()) ||
        (!logFile.empty() && !library.writeString("LogFile", logFile.c_str())))
        throw std::runtime_error("cannot configure " + subKey);
}

ChildResult LoggerScene::run(const std::string& input, const std::string& level,
                             const std::string& program) {
    // The child inherits the environment: set what it needs, then put it back.
    const char* previousLevel = std::getenv(kHelperLevelVariable);
    const std::string savedLevel = previousLevel ? previousLevel : "";
    setOrUnset(kHelperLevelVariable, level);
    setOrUnset("OX_TEST_LOGGER_RECORD", path("record.txt"));
    setOrUnset("LC_ALL", "C");
    ChildResult result = runChild({program.empty() ? std::string(OX_LOGGER_HELPER) : program},
                                  "cd " + folder() + "\n" + input, 120);
    setOrUnset(kHelperLevelVariable, savedLevel);
    setOrUnset("OX_TEST_LOGGER_RECORD", "");
    return result;
}
