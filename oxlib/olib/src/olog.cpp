// The log front end. Events are packed into an OXArray of OString and handed on;
// the level decides only whether callers build traces.
//
// Until the logger that binds the configured logging libraries is in place,
// delivery reaches the observer (if one is installed) and nothing else: with no
// logging library configured, that is also what the logger does.
#include <oxlib/olog.h>
#include <oxlib/ologobserver.h>
#include <oxlib/ostring.h>
#include <oxlib/oxarray.h>

#include "sys/osys.h"

#include <atomic>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <string>

namespace {

struct Observer {
    OLogObserver function;
    void* context;
};
std::atomic<Observer*> g_observer{nullptr};
Observer g_observerSlots[2];
std::atomic<int> g_observerSlot{0};

constexpr uint32_t kDefaultLevel = 2;

// The level: the environment variable "<host program>_logLevel" as an unsigned
// decimal number, else the default.
uint32_t readLevel() {
    const std::string name = std::string(oxsys::hostProgramBaseName()) + "_logLevel";
    const char* text = std::getenv(name.c_str());
    if (text == nullptr || *text == 0)
        return kDefaultLevel;
    char* end = nullptr;
    const unsigned long value = std::strtoul(text, &end, 10);
    return end != text ? static_cast<uint32_t>(value) : kDefaultLevel;
}

} // namespace

OLogObserver setLogObserver(OLogObserver observer, void* context) {
    Observer* previous = g_observer.load(std::memory_order_acquire);
    Observer* next = nullptr;
    if (observer != nullptr) {
        // Two slots alternate so a reader of the previous one is not overwritten.
        const int slot = g_observerSlot.fetch_xor(1) ^ 1;
        g_observerSlots[slot] = {observer, context};
        next = &g_observerSlots[slot];
    }
    g_observer.store(next, std::memory_order_release);
    return previous ? previous->function : nullptr;
}

bool logEvent(uint16_t eventType, uint16_t category, uint32_t messageId, const char* s1,
              const char* s2, const char* s3, const char* s4, const char* s5, const char* s6,
              const char* s7, const char* s8, const char* s9, const char* s10) {
    const char* all[] = {s1, s2, s3, s4, s5, s6, s7, s8, s9, s10};
    OXArray<OString> strings;
    for (const char* s : all) {
        if (s == nullptr)
            break;
        strings.add(OString(s));
    }
    if (Observer* observer = g_observer.load(std::memory_order_acquire))
        observer->function(observer->context, eventType, category, messageId, strings);
    return true;
}

bool logAssertion(const char* file, const char* line, const char* expression, const char* message) {
    return logEvent(EVENTLOG_ERROR_TYPE, kCategoryLibrary, kMsgAssertionFailed, file, line,
                    expression, message);
}

bool logTrace(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    int ret = std::vsnprintf(text, sizeof text, format ? format : "", args);
    va_end(args);
    // At most 511 characters are kept; a longer text counts as not fitting.
    if (ret > 511)
        ret = -1;
    if (ret < 0)
        text[511] = 0;
    if (!(ret > 0))
        logAssertion("olog.cpp", "52", "ret > 0");
    return logEvent(EVENTLOG_DEBUG_TYPE, kCategoryLibrary, kMsgDebugTrace, text);
}

uint32_t logLevel() {
    static const uint32_t level = readLevel();
    return level;
}
