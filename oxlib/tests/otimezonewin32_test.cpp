// Zones against Windows' own conversion, SystemTimeToTzSpecificLocalTime, for
// every hour of two years: zone texts against the zone records they stand for,
// and the system's zone (the prefix's, which Wine takes from TZ) as
// GetTimeZoneInformation gives it.
#include "logcapture.h"
#include "windowszones.h"

#include <oxlib/otime.h>

#include <gtest/gtest.h>

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

// Universal minus local time at `t`, in minutes, as Windows converts it with
// `zone` (nullptr: the system's zone).
int64_t windowsOffsetMinutes(const TIME_ZONE_INFORMATION* zone, int64_t t) {
    const SYSTEMTIME utc = systemTimeOf(t);
    SYSTEMTIME local{};
    EXPECT_TRUE(SystemTimeToTzSpecificLocalTime(zone, &utc, &local));
    return (t - unixSecondsOf(local)) / 60;
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

// A zone and the hours of 2023 and 2024 where the model and Windows disagree by
// design (see compareYear).
struct ZoneCase {
    const WindowsZone& zone;
    std::set<int64_t> differ2023, differ2024;
};

} // namespace

TEST(OTimeZoneWindows, EveryHourOf2023And2024AgreesWithWindows) {
    LogCapture log;
    const ZoneCase cases[] = {
        {kEstZone, {unixOf(2023, 4, 2, 7)}, {unixOf(2024, 4, 7, 7)}},
        {kCetZone, {unixOf(2023, 3, 26, 1)}, {unixOf(2024, 3, 31, 1)}},
        {kAestZone, {unixOf(2023, 4, 1, 16)}, {unixOf(2024, 4, 6, 16)}},
        {kIstZone, {unixOf(2023, 3, 23, 20)}, {unixOf(2024, 3, 21, 20)}},
    };
    for (const ZoneCase& c : cases) {
        const OTimeZone zone{OString(c.zone.text)};
        compareYear(zone, &c.zone.record, 2023, c.differ2023, c.zone.text);
        compareYear(zone, &c.zone.record, 2024, c.differ2024, c.zone.text);
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
