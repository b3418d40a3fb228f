// The log front end: what logEvent hands on, trace cutting, the default level.
#include "logcapture.h"

#include <oxlib/olog.h>

#include <gtest/gtest.h>

#include <string>

namespace {

TEST(LogEvent, CountsLeadingStringsOnly) {
    LogCapture log;
    logEvent(EVENTLOG_WARNING_TYPE, 7, 1234);
    logEvent(EVENTLOG_INFORMATION_TYPE, 2, 99, "one", "two", nullptr, "ignored");
    logEvent(EVENTLOG_ERROR_TYPE, 3, 5, "1", "2", "3", "4", "5", "6", "7", "8", "9", "10");
    const auto events = log.events();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[0].type, EVENTLOG_WARNING_TYPE);
    EXPECT_EQ(events[0].category, 7);
    EXPECT_EQ(events[0].id, 1234u);
    EXPECT_TRUE(events[0].strings.empty());
    EXPECT_EQ(events[1].strings, (std::vector<std::string>{"one", "two"}));
    EXPECT_EQ(events[2].strings.size(), 10u);
    EXPECT_EQ(events[2].strings[9], "10");
}

TEST(LogTrace, CutsAt511AndReportsOverflowAndEmptiness) {
    LogCapture log;
    const std::string long600(600, 'x');
    logTrace("%s", long600.c_str());
    auto events = log.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].id, kMsgAssertionFailed);
    EXPECT_EQ(events[0].strings[2], "ret > 0");
    EXPECT_EQ(events[0].strings.size(), 3u);
    EXPECT_EQ(events[1].type, EVENTLOG_DEBUG_TYPE);
    EXPECT_EQ(events[1].id, kMsgDebugTrace);
    EXPECT_EQ(events[1].strings[0], std::string(511, 'x'));

    for (const char* format : {"%s", static_cast<const char*>(nullptr)}) { // no format is empty
        log.clear();
        logTrace(format, "");
        events = log.events();
        ASSERT_EQ(events.size(), 2u);
        EXPECT_EQ(events[0].strings[2], "ret > 0");
        EXPECT_EQ(events[1].strings[0], "");
    }

    log.clear();
    logTrace("%s", std::string(511, 'y').c_str()); // exactly fits
    logTrace("fd=%d err=%s", 3, "WSA10061");
    events = log.events();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(events[0].strings[0].size(), 511u);
    EXPECT_EQ(events[1].strings[0], "fd=3 err=WSA10061");
}

TEST(LogLevel, DefaultsToTwoSoTracingIsOff) {
    // The test program sets no "<program>_logLevel" variable.
    EXPECT_EQ(logLevel(), 2u);
    EXPECT_FALSE(logLevel() > 255);
}

} // namespace
