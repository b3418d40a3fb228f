// Zones against Windows' own conversion, SystemTimeToTzSpecificLocalTime, for
// every hour of two years: zone texts against the zone records they stand for,
// and the system's zone (the prefix's, which Wine takes from TZ) as
// GetTimeZoneInformation gives it.
#include "logcapture.h"

#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdlib>
#include <set>
#include <string>

namespace {

int64_t unixOf(int year, int month, int day, int hour) {
    const int64_t days =
        ODate(static_cast<int16_t>(year), static_cast<uint8_t>(month), static_cast<uint8_t>(day))
            .dayNumber() -
        2440587;
    return days * 86400 + hour * 3600;
}

ODateTime fromUnix(int64_t seconds) {
    return epoch + OTimeSpan::fromMilliseconds(seconds * 1000);
}

SYSTEMTIME systemTimeOf(int64_t seconds) {
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(seconds + 11644473600LL) * 10000000ULL;
    FILETIME file{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME st{};
    FileTimeToSystemTime(&file, &st);
    return st;
}

int64_t secondsOf(const SYSTEMTIME& st) {
    FILETIME file{};
    SystemTimeToFileTime(&st, &file);
    ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
    return static_cast<int64_t>(ticks.QuadPart / 10000000ULL) - 11644473600LL;
}

// Universal minus local time at `t`, in minutes, as Windows converts it with
// `zone` (nullptr: the system's zone).
int64_t windowsOffsetMinutes(const TIME_ZONE_INFORMATION* zone, int64_t t) {
    const SYSTEMTIME utc = systemTimeOf(t);
    SYSTEMTIME local{};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(zone, &utc, &local));
    return (t - secondsOf(local)) / 60;
}

SYSTEMTIME ruleDate(WORD month, WORD weekday, WORD week, WORD hour) {
    SYSTEMTIME st{};
    st.wMonth = month;
    st.wDayOfWeek = weekday;
    st.wDay = week;
    st.wHour = hour;
    return st;
}

// Every hour of `year`: the model's offset and daylight flag against Windows'.
// `differ` names the hours (universal time) where the two disagree by design:
// the model's start of a period that lies within the year is exclusive, and
// the end of a period that spans the new year is inclusive; Windows counts the
// change instant to the new period in both cases.
void compareYear(const OTimeZone& zone, const TIME_ZONE_INFORMATION* windows, int year,
                 std::set<int64_t> differ, const char* what) {
    const int64_t standard = windows ? windows->Bias + windows->StandardBias : 0;
    int hours = 0;
    for (int64_t t = unixOf(year, 1, 1, 0); t < unixOf(year + 1, 1, 1, 0); t += 3600, ++hours) {
        const int64_t expected = windowsOffsetMinutes(windows, t);
        bool byDesign = differ.erase(t) == 1;
        const ODateTime dt = fromUnix(t);
        if (windows == nullptr) {
            // The system zone's change instants are not known here: at one, the
            // model may still give the period before.
            const int64_t before = windowsOffsetMinutes(nullptr, t - 3600);
            byDesign = expected != before && zone.GetOffset(dt).milliseconds() == before * 60000;
        }
        if (byDesign) {
            EXPECT_NE(zone.GetOffset(dt).milliseconds(), expected * 60000) << what << " at " << t;
            continue;
        }
        ASSERT_EQ(zone.GetOffset(dt).milliseconds(), expected * 60000) << what << " at " << t;
        if (windows != nullptr) {
            ASSERT_EQ(zone.IsDaylightTime(dt), expected != standard) << what << " at " << t;
        }
    }
    EXPECT_EQ(hours, year % 4 == 0 ? 8784 : 8760);
    EXPECT_TRUE(differ.empty()) << what << ": a by-design hour was never reached";
}

struct ZoneCase {
    const char* text;
    LONG bias;
    LONG daylightBias;
    SYSTEMTIME daylightStart; // local standard time
    SYSTEMTIME standardStart; // local daylight time
    std::set<int64_t> differ2023, differ2024;
};

} // namespace

TEST(OTimeZoneWindows, EveryHourOf2023And2024AgreesWithWindows) {
    LogCapture log;
    const ZoneCase cases[] = {
        // The default rule: first Sunday of April to the last of October.
        {"EST,300,EDT",
         300,
         -60,
         ruleDate(4, 0, 1, 2),
         ruleDate(10, 0, 5, 2),
         {unixOf(2023, 4, 2, 7)},
         {unixOf(2024, 4, 7, 7)}},
        {"CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0",
         -60,
         -60,
         ruleDate(3, 0, 5, 2),
         ruleDate(10, 0, 5, 3),
         {unixOf(2023, 3, 26, 1)},
         {unixOf(2024, 3, 31, 1)}},
        // Daylight time from October into April of the next year.
        {"AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0",
         -600,
         -60,
         ruleDate(10, 0, 1, 2),
         ruleDate(4, 0, 1, 3),
         {unixOf(2023, 4, 1, 16)},
         {unixOf(2024, 4, 6, 16)}},
        // Half-hour offsets and a rule on a Friday past midnight's hour.
        {"IST,-330,IDT,-30;3,4,5/1,30,10,5,0/2,0",
         -330,
         -30,
         ruleDate(3, 5, 4, 1),
         ruleDate(10, 0, 5, 2),
         {unixOf(2023, 3, 23, 20)},
         {unixOf(2024, 3, 21, 20)}},
    };
    for (const ZoneCase& c : cases) {
        const OTimeZone zone{OString(c.text)};
        TIME_ZONE_INFORMATION windows{};
        windows.Bias = c.bias;
        windows.DaylightBias = c.daylightBias;
        windows.DaylightDate = c.daylightStart;
        windows.StandardDate = c.standardStart;
        windows.DaylightDate.wMinute = c.text[0] == 'I' ? 30 : 0;
        compareYear(zone, &windows, 2023, c.differ2023, c.text);
        compareYear(zone, &windows, 2024, c.differ2024, c.text);
    }
    EXPECT_TRUE(log.assertions().empty());
}

// The system zone: run with TZ naming a zone, and OX_TEST_ZONE_BIAS its
// standard bias, so a prefix that did not take the zone fails here.
TEST(SystemZoneWindows, TheSystemZoneIsGetTimeZoneInformations) {
    TIME_ZONE_INFORMATION windows{};
    ASSERT_NE(GetTimeZoneInformation(&windows), TIME_ZONE_ID_INVALID);
    if (const char* bias = std::getenv("OX_TEST_ZONE_BIAS")) {
        ASSERT_EQ(windows.Bias, std::atol(bias)) << "the prefix did not take TZ's zone";
    }

    const OTimeZone zone{OString()};
    EXPECT_EQ(zone.standardName(),
              OString::fromWide(reinterpret_cast<const WideChar*>(windows.StandardName)));
    EXPECT_EQ(zone.standardOffset(), windows.Bias + windows.StandardBias);
    EXPECT_EQ(zone.hasDaylightTime(), windows.DaylightDate.wMonth != 0);
    if (zone.hasDaylightTime()) {
        EXPECT_EQ(zone.daylightName(),
                  OString::fromWide(reinterpret_cast<const WideChar*>(windows.DaylightName)));
        EXPECT_EQ(zone.daylightOffset(), windows.Bias + windows.DaylightBias);
    }
    compareYear(zone, nullptr, 2023, {}, "system zone");
    compareYear(zone, nullptr, 2024, {}, "system zone");
}
