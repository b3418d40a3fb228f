// Zones: the zone text and its daylight rule; on Linux also the rule against
// glibc's localtime_r for every hour of two years, and the system zone read
// from TZ and TZif files (Windows' counterparts: otimezonewin32_test.cpp).
#include "logcapture.h"
#if !defined(_WIN32)
#include "sys/posixzone.h"
#endif

#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <set>
#include <string>
#include <vector>

namespace {

ODateTime fromUnix(int64_t seconds) {
    return epoch + OTimeSpan::fromMilliseconds(seconds * 1000);
}

int64_t unixOf(int year, int month, int day, int hour) {
    return (int64_t{ODate(static_cast<int16_t>(year), static_cast<uint8_t>(month),
                          static_cast<uint8_t>(day))
                        .dayNumber()} -
            2440587) *
               86400 +
           hour * 3600;
}

#if !defined(_WIN32)
// Sets TZ for the test's lifetime and restores the previous value.
class ScopedTz {
public:
    explicit ScopedTz(const char* value) {
        if (const char* old = std::getenv("TZ"))
            old_ = old, hadOld_ = true;
        if (value)
            setenv("TZ", value, 1);
        else
            unsetenv("TZ");
        tzset();
    }
    ~ScopedTz() {
        if (hadOld_)
            setenv("TZ", old_.c_str(), 1);
        else
            unsetenv("TZ");
        tzset();
    }

private:
    std::string old_;
    bool hadOld_ = false;
};
#endif

TEST(OTimeZone, ZoneTexts) {
    LogCapture log;
    const OTimeZone utc(OString("UTC,0"));
    EXPECT_EQ(utc.standardName(), "UTC");
    EXPECT_EQ(utc.standardOffset(), 0);
    EXPECT_TRUE(utc.daylightName().isEmpty());
    EXPECT_FALSE(utc.hasDaylightTime());

    const OTimeZone est(OString("EST,300,EDT"));
    EXPECT_EQ(est.standardName(), "EST");
    EXPECT_EQ(est.daylightName(), "EDT");
    EXPECT_EQ(est.standardOffset(), 300);
    EXPECT_EQ(est.daylightOffset(), 240);
    EXPECT_TRUE(est.hasDaylightTime());
    EXPECT_EQ(est.startRule().month, 4);
    EXPECT_EQ(est.startRule().week, 1);
    EXPECT_EQ(est.startRule().hour, 2);
    EXPECT_EQ(est.endRule().month, 10);
    EXPECT_EQ(est.endRule().week, 5);

    // A delta, an explicit rule with and without times, any separator character.
    const OTimeZone aus(OString("AEST,-600,AEDT,-60;10,1,0/2,30x4.1.6"));
    EXPECT_EQ(aus.daylightOffset(), -660);
    EXPECT_EQ(aus.startRule().month, 10);
    EXPECT_EQ(aus.startRule().minute, 30);
    EXPECT_EQ(aus.endRule().month, 4);
    EXPECT_EQ(aus.endRule().weekday, 6);
    EXPECT_EQ(aus.endRule().hour, 2);
    EXPECT_EQ(aus.endRule().minute, 0);

    // ";" right after the name: no delta, so one hour ahead, and the rule is read.
    const OTimeZone cet(OString("CET,-60,CEST;3,5,0/2,0,10,5,0/3,0"));
    EXPECT_EQ(cet.daylightName(), "CEST");
    EXPECT_EQ(cet.daylightOffset(), -120);
    EXPECT_EQ(cet.startRule().month, 3);
    EXPECT_EQ(cet.endRule().hour, 3);

    // Minus signs anywhere in a number make it negative; other characters end it.
    EXPECT_EQ(OTimeZone(OString("X,3-0")).standardOffset(), -30);
    EXPECT_EQ(OTimeZone(OString("X,+90")).standardOffset(), 0);
    EXPECT_TRUE(log.assertions().empty());
}

TEST(OTimeZone, TruncatedTextsReportTheEndOfTextOnce) {
    const std::string endOfText = "ostring.h:489:!isAtEnd ()";
    {
        LogCapture log;
        const OTimeZone zone(OString("Nowhere"));
        EXPECT_EQ(zone.standardName(), "Nowhere");
        EXPECT_EQ(zone.standardOffset(), 0);
        EXPECT_FALSE(zone.hasDaylightTime());
        EXPECT_EQ(log.assertions(), std::vector<std::string>{endOfText});
    }
    {
        LogCapture log;
        const OTimeZone zone(OString("A,60,B;3,5,0"));
        EXPECT_EQ(zone.startRule().month, 3);
        EXPECT_EQ(zone.endRule().month, 0);
        EXPECT_EQ(log.assertions(), std::vector<std::string>{endOfText});
        log.clear();
        // The impossible end rule reports through the dates it makes, and answers.
        (void)zone.IsDaylightTime(fromUnix(0));
        EXPECT_FALSE(log.assertions().empty());
    }
}

TEST(OTimeZone, DefaultRuleTransitionsOf2001) {
    const OTimeZone est(OString("EST,300,EDT"));
    const int64_t start = unixOf(2001, 4, 1, 7);
    const int64_t end = unixOf(2001, 10, 28, 6);
    EXPECT_FALSE(est.IsDaylightTime(fromUnix(start)));
    EXPECT_TRUE(est.IsDaylightTime(fromUnix(start + 1)));
    EXPECT_TRUE(est.IsDaylightTime(fromUnix(end - 1)));
    EXPECT_FALSE(est.IsDaylightTime(fromUnix(end)));
    EXPECT_EQ(est.GetOffset(fromUnix(start + 1)).milliseconds(), 240 * 60000);
    EXPECT_EQ(est.GetOffset(fromUnix(start)).milliseconds(), 300 * 60000);

    // Week 5 in a 31-day month that starts on the rule's weekday is the 29th.
    const OTimeZone last(OString("L,0,D,0;1,1,0/0,0,7,5,0/0,0")); // July 2001 starts on a Sunday
    EXPECT_TRUE(last.IsDaylightTime(fromUnix(unixOf(2001, 7, 29, 0) - 1)));
    EXPECT_FALSE(last.IsDaylightTime(fromUnix(unixOf(2001, 7, 29, 0))));

    // A period across the new year.
    const OTimeZone south(OString("S,0,D;10,1,0,3,1,0"));
    EXPECT_TRUE(south.IsDaylightTime(fromUnix(unixOf(2024, 1, 15, 12))));
    EXPECT_FALSE(south.IsDaylightTime(fromUnix(unixOf(2024, 7, 15, 12))));
    EXPECT_TRUE(south.IsDaylightTime(fromUnix(unixOf(2024, 12, 15, 12))));
}

#if !defined(_WIN32)
// Every hour of the year, the model against glibc with the equivalent POSIX rule.
// `differ` names the hours (universal time) where the two disagree by design:
// the model's start of a period that lies within the year is exclusive, and the
// end of a period that spans the new year is inclusive; POSIX counts the change
// instant to the new period in both cases.
void compareYear(const char* zoneText, const char* posix, int year, std::set<int64_t> differ) {
    const OTimeZone zone{OString(zoneText)};
    const ScopedTz tz(posix);
    const int64_t first = unixOf(year, 1, 1, 0);
    const int64_t last = unixOf(year + 1, 1, 1, 0);
    int hours = 0;
    for (int64_t t = first; t < last; t += 3600, ++hours) {
        std::tm tm{};
        const std::time_t tt = static_cast<std::time_t>(t);
        ASSERT_NE(localtime_r(&tt, &tm), nullptr);
        const bool byDesign = differ.erase(t) == 1;
        const bool expected = (tm.tm_isdst > 0) != byDesign;
        const ODateTime dt = fromUnix(t);
        ASSERT_EQ(zone.IsDaylightTime(dt), expected)
            << zoneText << " at " << t << (byDesign ? " (differs by design)" : "");
        if (byDesign)
            continue;
        ASSERT_EQ(zone.GetOffset(dt).milliseconds(), -int64_t{tm.tm_gmtoff} * 1000)
            << zoneText << " at " << t;
    }
    EXPECT_EQ(hours, year % 4 == 0 ? 8784 : 8760);
    EXPECT_TRUE(differ.empty()) << "a by-design hour was never reached";
}

TEST(OTimeZone, EveryHourOf2001And2024AgreesWithGlibc) {
    LogCapture log;
    // US rule of 2001 written as the default rule.
    compareYear("EST,300,EDT", "EST5EDT,M4.1.0,M10.5.0", 2001, {unixOf(2001, 4, 1, 7)});
    compareYear("EST,300,EDT", "EST5EDT,M4.1.0,M10.5.0", 2024, {unixOf(2024, 4, 7, 7)});
    // Central Europe.
    compareYear("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0", "CET-1CEST,M3.5.0,M10.5.0/3", 2001,
                {unixOf(2001, 3, 25, 1)});
    compareYear("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0", "CET-1CEST,M3.5.0,M10.5.0/3", 2024,
                {unixOf(2024, 3, 31, 1)});
    // Eastern Australia: daylight time from October into April of the next year.
    compareYear("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0", "AEST-10AEDT,M10.1.0,M4.1.0/3", 2001,
                {unixOf(2001, 3, 31, 16)});
    compareYear("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0", "AEST-10AEDT,M10.1.0,M4.1.0/3", 2024,
                {unixOf(2024, 4, 6, 16)});
    EXPECT_TRUE(log.assertions().empty());
}

// --- The system zone ----------------------------------------------------------

TEST(SystemZone, PosixRulesMapOntoTheWindowsRecord) {
    const int64_t now2024 = unixOf(2024, 6, 1, 0);
    oxsys::TimeZoneInformation info;
    ASSERT_TRUE(oxsys::zoneFromPosixRule("CET-1CEST,M3.5.0,M10.5.0/3", now2024, info));
    EXPECT_EQ(info.bias, -60);
    EXPECT_EQ(info.daylightBias, -60);
    EXPECT_EQ(std::u16string(info.standardName), u"CET");
    EXPECT_EQ(std::u16string(info.daylightName), u"CEST");
    EXPECT_EQ(info.daylightDate.wMonth, 3);
    EXPECT_EQ(info.daylightDate.wDay, 5);
    EXPECT_EQ(info.daylightDate.wHour, 2);
    EXPECT_EQ(info.standardDate.wMonth, 10);
    EXPECT_EQ(info.standardDate.wHour, 3);

    // Quoted names, minutes in offsets, the default daylight offset.
    ASSERT_TRUE(oxsys::zoneFromPosixRule("<+0530>-5:30", now2024, info));
    EXPECT_EQ(std::u16string(info.standardName), u"+0530");
    EXPECT_EQ(info.bias, -330);
    EXPECT_EQ(info.daylightDate.wMonth, 0);
    ASSERT_TRUE(oxsys::zoneFromPosixRule("NZST-12NZDT,M9.5.0,M4.1.0/3", now2024, info));
    EXPECT_EQ(info.daylightBias, -60);
    // Daylight time without a rule: the tz reference code's US rule.
    ASSERT_TRUE(oxsys::zoneFromPosixRule("EST5EDT", now2024, info));
    EXPECT_EQ(info.daylightDate.wMonth, 3);
    EXPECT_EQ(info.daylightDate.wDay, 2);
    EXPECT_EQ(info.standardDate.wMonth, 11);
    EXPECT_EQ(info.standardDate.wDay, 1);

    // A time past midnight moves to the next weekday; one before it, to the day before.
    ASSERT_TRUE(oxsys::zoneFromPosixRule("IST-2IDT,M3.4.4/26,M10.5.0", now2024, info));
    EXPECT_EQ(info.daylightDate.wDayOfWeek, 5);
    EXPECT_EQ(info.daylightDate.wHour, 2);
    ASSERT_TRUE(oxsys::zoneFromPosixRule("<-02>2<-01>,M3.5.0/-1,M10.5.0/0", now2024, info));
    EXPECT_EQ(info.daylightDate.wDayOfWeek, 6);
    EXPECT_EQ(info.daylightDate.wHour, 23);

    // Day-of-year forms become this year's date; daylight time all year, a fixed zone.
    ASSERT_TRUE(oxsys::zoneFromPosixRule("XST3XDT,J60,J300", now2024, info));
    EXPECT_EQ(info.daylightDate.wYear, 2024);
    EXPECT_EQ(info.daylightDate.wMonth, 3);
    EXPECT_EQ(info.daylightDate.wDay, 1);
    ASSERT_TRUE(oxsys::zoneFromPosixRule("EST5EDT4,0/0,J365/25", now2024, info));
    EXPECT_EQ(info.daylightDate.wMonth, 0);
    EXPECT_EQ(info.bias, 240);
    EXPECT_EQ(std::u16string(info.standardName), u"EDT");

    for (const char* bad : {"", "Europe/Berlin", "EST", "EST5EDT,M13.1.0,M10.5.0", "E5", "<ABC5",
                            "CET-1CEST,M3.5.0", "EST5EDT,M4.1.0,M10.5.0junk"}) {
        EXPECT_FALSE(oxsys::zoneFromPosixRule(bad, now2024, info)) << bad;
    }
}

// The whole road: TZ naming a zone of the tz database, through the TZif footer
// and the Windows record, to a zone object, against glibc for every hour of 2024.
// Each zone with daylight time differs in exactly one hour by design (see
// compareYear): the start of the northern periods, the end of Sydney's.
TEST(SystemZone, ZonesFromTzAgreeWithGlibcOverAYear) {
    const char* zoneDir = "/usr/share/zoneinfo";
    const struct {
        const char* name;
        int byDesign;
    } zones[] = {{"Europe/Berlin", 1},
                 {"America/New_York", 1},
                 {"Australia/Sydney", 1},
                 {"Asia/Kolkata", 0}};
    for (const auto& z : zones) {
        if (!std::filesystem::exists(std::string(zoneDir) + "/" + z.name))
            GTEST_SKIP() << "no tz database at " << zoneDir;
        const ScopedTz tz(z.name);
        const OTimeZone zone{OString()};
        EXPECT_FALSE(zone.standardName().isEmpty()) << z.name;
        int disagreements = 0;
        for (int64_t t = unixOf(2024, 1, 1, 0); t < unixOf(2025, 1, 1, 0); t += 3600) {
            std::tm tm{};
            const std::time_t tt = static_cast<std::time_t>(t);
            localtime_r(&tt, &tm);
            disagreements += zone.GetOffset(fromUnix(t)).milliseconds() != -tm.tm_gmtoff * 1000;
        }
        EXPECT_EQ(disagreements, z.byDesign) << z.name;
    }
    // TZ names a file, a rule, or nothing usable.
    oxsys::TimeZoneInformation info;
    oxsys::zoneFromEnvironment(":Europe/Berlin", zoneDir, unixOf(2024, 6, 1, 0), info);
    EXPECT_EQ(std::u16string(info.daylightName), u"CEST");
    oxsys::zoneFromEnvironment("/usr/share/zoneinfo/Asia/Tokyo", zoneDir, 0, info);
    EXPECT_EQ(info.bias, -540);
    oxsys::zoneFromEnvironment("No/Such_Zone", zoneDir, 0, info);
    EXPECT_EQ(std::u16string(info.standardName), u"UTC");
    EXPECT_EQ(info.bias, 0);
    oxsys::zoneFromEnvironment("", zoneDir, 0, info);
    EXPECT_EQ(std::u16string(info.standardName), u"UTC");
}

TEST(SystemZone, EmptyZoneTextReadsTz) {
    const ScopedTz tz("CET-1CEST,M3.5.0,M10.5.0/3");
    const OTimeZone zone{OString()};
    EXPECT_EQ(zone.standardName(), "CET");
    EXPECT_EQ(zone.daylightName(), "CEST");
    EXPECT_EQ(zone.standardOffset(), -60);
    EXPECT_EQ(zone.daylightOffset(), -120);
    EXPECT_EQ(zone.endRule().hour, 3);
    EXPECT_TRUE(zone.IsDaylightTime(fromUnix(unixOf(2024, 7, 1, 12))));
    EXPECT_FALSE(zone.IsDaylightTime(fromUnix(unixOf(2024, 1, 1, 12))));
}

// --- TZif files written by the test ------------------------------------------

struct TzifType {
    int32_t utoff;
    bool dst;
    std::string name;
};

void putBe(std::string& out, uint64_t value, int bytes) {
    for (int i = bytes - 1; i >= 0; --i)
        out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
}

// A version-2 file (or version 1 without footer when `footer` is null).
std::string tzif(const std::vector<int64_t>& times, const std::vector<uint8_t>& idx,
                 const std::vector<TzifType>& types, const char* footer) {
    std::string chars;
    std::vector<size_t> at;
    for (const auto& t : types) {
        at.push_back(chars.size());
        chars += t.name + '\0';
    }
    auto block = [&](int timeSize, char version) {
        std::string b = "TZif";
        b.push_back(version);
        b.append(15, '\0');
        for (uint64_t n : {uint64_t{0}, uint64_t{0}, uint64_t{0}, uint64_t(times.size()),
                           uint64_t(types.size()), uint64_t(chars.size())})
            putBe(b, n, 4);
        for (int64_t t : times)
            putBe(b, static_cast<uint64_t>(t), timeSize);
        for (uint8_t i : idx)
            b.push_back(static_cast<char>(i));
        for (size_t i = 0; i < types.size(); ++i) {
            putBe(b, static_cast<uint32_t>(types[i].utoff), 4);
            b.push_back(types[i].dst ? 1 : 0);
            b.push_back(static_cast<char>(at[i]));
        }
        return b + chars;
    };
    if (footer == nullptr)
        return block(4, 0);
    return block(4, '2') + block(8, '2') + "\n" + footer + "\n";
}

TEST(SystemZone, TzifFooterTableAndFallbacks) {
    const int64_t jun2024 = unixOf(2024, 6, 1, 0);
    const std::vector<TzifType> types = {{3600, false, "CET"}, {7200, true, "CEST"}};
    oxsys::TimeZoneInformation info;

    // The table's changes of this year follow the footer: the rule is kept.
    const std::vector<int64_t> changes = {unixOf(2024, 3, 31, 1), unixOf(2024, 10, 27, 1),
                                          unixOf(2025, 3, 30, 1)};
    ASSERT_TRUE(oxsys::zoneFromTzif(tzif(changes, {1, 0, 1}, types, "CET-1CEST,M3.5.0,M10.5.0/3"),
                                    jun2024, info));
    EXPECT_EQ(info.daylightDate.wMonth, 3);
    EXPECT_EQ(info.bias, -60);

    // This year's table disagrees with the footer (the rule changes in the year):
    // a fixed zone at the offset in force now.
    ASSERT_TRUE(oxsys::zoneFromTzif(
        tzif({unixOf(2024, 3, 31, 1), unixOf(2024, 9, 1, 1)}, {1, 0}, types, "CET-1"), jun2024,
        info));
    EXPECT_EQ(info.daylightDate.wMonth, 0);
    EXPECT_EQ(info.bias, -120);
    EXPECT_EQ(std::u16string(info.standardName), u"CEST");

    // After the table's last change the footer holds, whatever came before.
    ASSERT_TRUE(
        oxsys::zoneFromTzif(tzif({unixOf(2024, 3, 31, 1)}, {0}, types, "CET-1"), jun2024, info));
    EXPECT_EQ(info.bias, -60);
    EXPECT_EQ(info.daylightDate.wMonth, 0);

    // Version 1, no footer: the type in force now; before the first change, type 0.
    ASSERT_TRUE(oxsys::zoneFromTzif(tzif(changes, {1, 0, 1}, types, nullptr), jun2024, info));
    EXPECT_EQ(info.bias, -120);
    ASSERT_TRUE(oxsys::zoneFromTzif(tzif(changes, {1, 0, 1}, types, nullptr), 0, info));
    EXPECT_EQ(info.bias, -60);

    // Broken files: rejected, never read past their end.
    const std::string good = tzif(changes, {1, 0, 1}, types, "CET-1CEST,M3.5.0,M10.5.0/3");
    for (size_t cut = 0; cut < good.size(); cut += 7)
        (void)oxsys::zoneFromTzif(good.substr(0, cut), jun2024, info);
    std::string huge = good;
    huge[32] = '\x7f'; // the 32-bit block's type count
    EXPECT_FALSE(oxsys::zoneFromTzif(huge, jun2024, info));
    std::string badIndex = tzif(changes, {1, 0, 9}, types, nullptr);
    EXPECT_FALSE(oxsys::zoneFromTzif(badIndex, jun2024, info));
    EXPECT_FALSE(oxsys::zoneFromTzif("TZjf", jun2024, info));

    // Through TZ naming a real file in a temporary folder.
    const auto dir = std::filesystem::temp_directory_path() / "otime_tzif_test";
    std::filesystem::create_directories(dir);
    { std::ofstream(dir / "Test_Zone", std::ios::binary) << good; }
    oxsys::zoneFromEnvironment("Test_Zone", dir.c_str(), jun2024, info);
    EXPECT_EQ(std::u16string(info.daylightName), u"CEST");
    std::filesystem::remove_all(dir);
}

#endif

} // namespace
