// The log front end: the calls through which every part of the library reports
// events, debug traces and failed internal checks.
//
// logEvent hands an event to the one logger object; logTrace formats a debug
// trace of at most 511 bytes; logLevel tells callers whether tracing is on (they
// trace only when it is greater than 255). An assertion report is a logEvent of a
// fixed shape (error type, category 1, message id 33009) and never stops the
// program: the code goes on after the check.
#pragma once

#include <cstdint>

#if defined(_WIN32)
#include <windows.h>
#else
#define EVENTLOG_ERROR_TYPE 0x0001
#define EVENTLOG_WARNING_TYPE 0x0002
#define EVENTLOG_INFORMATION_TYPE 0x0004
#define EVENTLOG_AUDIT_SUCCESS 0x0008
#define EVENTLOG_AUDIT_FAILURE 0x0010
#endif
#ifndef EVENTLOG_DEBUG_TYPE
#define EVENTLOG_DEBUG_TYPE 0x0100
#endif

// Message ids the front end itself uses; they are also string-table ids.
constexpr uint32_t kMsgAssertionFailed = 33009; // file, line, expression[, message]
constexpr uint32_t kMsgDebugTrace = 33011;      // trace text
constexpr uint16_t kCategoryLibrary = 1;

// Reports an event with up to ten insertion strings. Counting stops at the first
// null string; later ones are ignored. Returns false only when a logging library
// failed by raising during delivery.
bool logEvent(uint16_t eventType, uint16_t category, uint32_t messageId, const char* s1 = nullptr,
              const char* s2 = nullptr, const char* s3 = nullptr, const char* s4 = nullptr,
              const char* s5 = nullptr, const char* s6 = nullptr, const char* s7 = nullptr,
              const char* s8 = nullptr, const char* s9 = nullptr, const char* s10 = nullptr);

// printf-style debug trace (type EVENTLOG_DEBUG_TYPE, category 1, id 33011). The
// text is cut at 511 bytes; an empty or overlong text also reports "ret > 0".
bool logTrace(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The current log level; the first call of the process starts the logger.
uint32_t logLevel();

// Assertion report: logEvent(EVENTLOG_ERROR_TYPE, 1, 33009, file, line, expression
// [, message]). Returns logEvent's result.
bool logAssertion(const char* file, const char* line, const char* expression,
                  const char* message = nullptr);

// Reports an assertion when `cond` is false, then carries on. File, line and
// expression are the fixed texts the report carries, not the C++ source position.
#define OX_ASSERT_AT(cond, fileText, lineText, exprText)                                           \
    do {                                                                                           \
        if (!(cond))                                                                               \
            logAssertion((fileText), (lineText), (exprText));                                      \
    } while (0)
#define OX_ASSERT_MSG_AT(cond, fileText, lineText, exprText, message)                              \
    do {                                                                                           \
        if (!(cond))                                                                               \
            logAssertion((fileText), (lineText), (exprText), (message));                           \
    } while (0)
