// Logging libraries for the logger's tests, one source built several times
// (see CMakeLists.txt). Each records every call it gets as one line in the file
// that OX_TEST_LOGGER_RECORD names:
//
//   <tag> Init <flag> <host path> <null|pointer>
//   <tag> Error <type> <category> <id> <count> [<s1>][<s2>]...
//   <tag> Error2 <type> <category> <id> [<text>]
//   <tag> Term
//
// Variants: TESTLOGGER_NO_AUDIT2 (lacks one entry point), TESTLOGGER_INIT_FAILS
// (Init returns 0), TESTLOGGER_THROWS (Error, Error2 and Term throw),
// TESTLOGGER_ERROR_FAILS (Error returns 0).
#include <oxlib/ologginglibrary.h>

#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <stdexcept>
#include <string>

#ifndef TESTLOGGER_TAG
#define TESTLOGGER_TAG "test"
#endif

namespace {

std::mutex g_mutex;

void record(const std::string& line) {
    const char* path = std::getenv("OX_TEST_LOGGER_RECORD");
    if (path == nullptr)
        return;
    std::lock_guard lock(g_mutex);
    if (FILE* f = std::fopen(path, "a")) {
        std::fprintf(f, "%s %s\n", TESTLOGGER_TAG, line.c_str());
        std::fclose(f);
    }
}

std::string numbers(uint32_t a, uint32_t b, uint32_t c) {
    return std::to_string(a) + " " + std::to_string(b) + " " + std::to_string(c);
}

} // namespace

OX_LOGGING_EXPORT int32_t OX_LOGAPI GetDLLVersion() {
    return 1;
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Init(uint32_t flag, const char* host, void* reserved) {
    record("Init " + std::to_string(flag) + " " + (host ? host : "(null)") + " " +
           (reserved ? "pointer" : "null"));
#if defined(TESTLOGGER_INIT_FAILS)
    return 0;
#else
    return 1;
#endif
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Error(uint32_t type, uint32_t category, uint32_t id,
                                          uint32_t count, const char** strings) {
    std::string line = "Error " + numbers(type, category, id) + " " + std::to_string(count) + " ";
    for (uint32_t i = 0; i < count; ++i)
        line += std::string("[") + strings[i] + "]";
    record(line);
#if defined(TESTLOGGER_THROWS)
    throw std::runtime_error("Error fails on purpose");
#elif defined(TESTLOGGER_ERROR_FAILS)
    return 0;
#else
    return 1;
#endif
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Error2(uint32_t type, uint32_t category, uint32_t id,
                                           const char* text) {
    record("Error2 " + numbers(type, category, id) + " [" + (text ? text : "(null)") + "]");
#if defined(TESTLOGGER_THROWS)
    throw std::runtime_error("Error2 fails on purpose");
#else
    return 1;
#endif
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Audit() {
    return 1;
}

#if !defined(TESTLOGGER_NO_AUDIT2)
OX_LOGGING_EXPORT int32_t OX_LOGAPI Audit2() {
    return 1;
}
#endif

OX_LOGGING_EXPORT int32_t OX_LOGAPI Term() {
    record("Term");
#if defined(TESTLOGGER_THROWS)
    throw std::runtime_error("Term fails on purpose");
#else
    return 1;
#endif
}
