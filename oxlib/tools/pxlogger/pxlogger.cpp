// pxlogger: a logging library for the support library's logger. It writes
// every event it gets as one line,
//
//   2026-12-08T12:34:56.789Z 1 15 34408 The logging library ... is not used.
//
// (universal time, type, category, message id, text) to the file that the
// value "LogFile" of its own sub-key names (the sub-key of
// HKLM\Software\Corvane Software\Corvane Logging whose "DLLPath" is this
// library), or, without one, to the system log (syslog).
//
// Lines come through Error2, which the logger calls for every event right after
// Error, and which alone carries assertions and traces; Error itself records
// nothing, so no event is written twice. Writing is safe from any number of
// threads: lines are gathered under a lock and appended in blocks of whole
// lines, so processes sharing a file never tear one another's lines. A block
// is written when it passes 16 KiB, at every error event, and at Term; a
// process that dies in between loses at most that unwritten block.
#include <oxlib/ologginglibrary.h>
#include <oxlib/oregistry.h>

#include "sys/osys.h"

#include <chrono>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>

namespace {

constexpr const char* kLoggingKey = "Software\\Corvane Software\\Corvane Logging";
constexpr size_t kBlockSize = 16 * 1024;
constexpr size_t kRegistryBufferSize = 1024;

// The library's state is never destroyed: at process exit the destructors of
// a loaded library's static objects may run before its host calls Term, which
// still needs the unwritten lines.
struct State {
    std::mutex mutex;
    oxsys::AppendFile file = oxsys::kNoFile;
    bool toSystemLog = true;
    std::string pending;
};
State& state() {
    static State* const s = new State;
    return *s;
}

// A REG_SZ value of an open key; empty when missing or of another type.
std::string readText(oxsys::RegKey key, const char* name) {
    unsigned char data[kRegistryBufferSize];
    uint32_t size = sizeof data;
    uint32_t type = 0;
    if (oxsys::regQueryValue(key, name, &type, data, &size) != oxsys::kErrSuccess || type != REG_SZ)
        return std::string();
    const auto* text = reinterpret_cast<const char*>(data);
    return std::string(text, strnlen(text, size));
}

bool samePath(const std::string& configured, const std::string& own) {
    if (configured == own)
        return true;
    std::error_code error;
    return std::filesystem::equivalent(configured, own, error) && !error;
}

// "LogFile" of the sub-key whose "DLLPath" names this library.
std::string configuredLogFile() {
    const std::string own = oxsys::modulePathOf(reinterpret_cast<const void*>(&configuredLogFile));
    oxsys::RegKey logging = nullptr;
    if (oxsys::regOpenKey(HKEY_LOCAL_MACHINE, kLoggingKey, oxsys::kKeyRead, &logging) !=
        oxsys::kErrSuccess)
        return std::string();
    std::string file;
    for (uint32_t index = 0;; ++index) {
        char name[kRegistryBufferSize];
        uint32_t nameSize = sizeof name;
        if (oxsys::regEnumKey(logging, index, name, &nameSize) != oxsys::kErrSuccess)
            break;
        oxsys::RegKey library = nullptr;
        if (oxsys::regOpenKey(logging, name, oxsys::kKeyRead, &library) != oxsys::kErrSuccess)
            continue;
        const std::string path = readText(library, "DLLPath");
        if (!path.empty() && samePath(path, own))
            file = readText(library, "LogFile");
        oxsys::regCloseKey(library);
        if (!file.empty())
            break;
    }
    oxsys::regCloseKey(logging);
    return file;
}

void appendNumber(std::string& out, uint32_t value, int width = 0) {
    char digits[10];
    int n = 0;
    do {
        digits[n++] = static_cast<char>('0' + value % 10);
        value /= 10;
    } while (value != 0);
    for (int i = n; i < width; ++i)
        out += '0';
    while (n > 0)
        out += digits[--n];
}

// 2026-12-08T12:34:56.789Z. The text up to the seconds changes once a second,
// so each thread keeps the last one it made. Kept in plain characters: a thread-local
// object with a destructor, in a library loaded and unloaded at run time, is torn down by
// the runtime at thread exit, which MinGW's runtime does not do safely.
void appendTimeStamp(std::string& out) {
    using namespace std::chrono;
    const auto now = time_point_cast<milliseconds>(system_clock::now());
    const auto second = floor<seconds>(now);
    constexpr std::size_t stampLength = 19; // 2026-12-08T12:34:56
    thread_local seconds::rep cachedSecond = -1;
    thread_local char cachedText[stampLength];
    std::string fresh;
    if (second.time_since_epoch().count() != cachedSecond) {
        const auto day = floor<days>(second);
        const year_month_day date{day};
        const hh_mm_ss time{second - day};
        appendNumber(fresh, static_cast<uint32_t>(static_cast<int>(date.year())), 4);
        fresh += '-';
        appendNumber(fresh, static_cast<unsigned>(date.month()), 2);
        fresh += '-';
        appendNumber(fresh, static_cast<unsigned>(date.day()), 2);
        fresh += 'T';
        appendNumber(fresh, static_cast<uint32_t>(time.hours().count()), 2);
        fresh += ':';
        appendNumber(fresh, static_cast<uint32_t>(time.minutes().count()), 2);
        fresh += ':';
        appendNumber(fresh, static_cast<uint32_t>(time.seconds().count()), 2);
        // A clock beyond the year 9999 gives a longer text, made afresh each time.
        if (fresh.size() == stampLength) {
            std::memcpy(cachedText, fresh.data(), stampLength);
            cachedSecond = second.time_since_epoch().count();
            fresh.clear();
        }
    }
    if (fresh.empty())
        out.append(cachedText, stampLength);
    else
        out += fresh;
    out += '.';
    appendNumber(out, static_cast<uint32_t>((now - second).count()), 3);
    out += 'Z';
}

// Called with the lock held.
bool flushPending(State& s) {
    if (s.pending.empty())
        return true;
    const bool ok = oxsys::appendToFile(s.file, s.pending.data(), s.pending.size());
    s.pending.clear();
    return ok;
}

} // namespace

OX_LOGGING_EXPORT int32_t OX_LOGAPI GetDLLVersion() {
    return 0x00010000; // 1.0
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Init(uint32_t, const char*, void*) {
    const std::string file = configuredLogFile();
    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.file != oxsys::kNoFile)
        return 1; // started already
    s.toSystemLog = file.empty();
    if (s.toSystemLog)
        return 1;
    s.file = oxsys::openAppendFile(file.c_str());
    return s.file != oxsys::kNoFile ? 1 : 0;
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Error(uint32_t, uint32_t, uint32_t, uint32_t, const char**) {
    return 1; // the line is written by Error2, which follows with the text
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Error2(uint32_t eventType, uint32_t category,
                                           uint32_t messageId, const char* text) {
    std::string line;
    line.reserve(64 + (text ? std::strlen(text) : 0));
    appendTimeStamp(line);
    line += ' ';
    appendNumber(line, eventType & 0xFFFF);
    line += ' ';
    appendNumber(line, category & 0xFFFF);
    line += ' ';
    appendNumber(line, messageId);
    line += ' ';
    // One event, one line, whatever the text holds.
    for (const char* p = text ? text : ""; *p; ++p)
        line += (*p == '\n' || *p == '\r') ? ' ' : *p;

    State& s = state();
    std::lock_guard lock(s.mutex);
    if (s.toSystemLog) {
        oxsys::writeSystemLog("pxlogger", static_cast<uint16_t>(eventType), line.c_str());
        return 1;
    }
    line += '\n';
    s.pending += line;
    if (s.pending.size() >= kBlockSize || eventType == 0x0001)
        return flushPending(s) ? 1 : 0;
    return 1;
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Audit() {
    return 1;
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Audit2() {
    return 1;
}

OX_LOGGING_EXPORT int32_t OX_LOGAPI Term() {
    State& s = state();
    std::lock_guard lock(s.mutex);
    const bool ok = s.file == oxsys::kNoFile || flushPending(s);
    oxsys::closeAppendFile(s.file);
    s.file = oxsys::kNoFile;
    s.toSystemLog = true;
    return ok ? 1 : 0;
}
