// Dates, times of day, spans and date-times: every day of the supported range
// against a calendar computed another way, the checks and their reports, and the
// carry and wrap rules of the arithmetic.
#include "logcapture.h"

#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// --- The oracle: days-from-civil in two calendars ----------------------------
// Day counts from 1970-01-01, written the way Hinnant's algorithms are, with no
// floating point and no shared code with the library.

int64_t gregorianDays(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return era * 146097 + yoe * 365 + yoe / 4 - yoe / 100 + doy - 719468;
}

// The Julian calendar in astronomical years (year 0 exists and leaps): four-year
// cycles of 1461 days counted from a March 1st.
int64_t julianDays(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t cycle = (y >= 0 ? y : y - 3) / 4;
    const int64_t yoc = y - cycle * 4;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    return cycle * 1461 + yoc * 365 + doy - 719470;
}

bool oracleLeap(int64_t year) {
    if (year >= 1582)
        return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year % 4 == 0;
}

int oracleMonthDays(int64_t year, int month) {
    static const int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && oracleLeap(year) ? 29 : days[month - 1];
}

// The library's day number (Julian Day Number minus one) of a historical date.
// Before year 1 the library has no year 0 and its years leap on their own
// numbers (-4, -8, ...): that is the astronomical Julian calendar with its year 0
// (366 days) left out, so those dates lie 366 days later than the same labels.
int64_t oracleDayNumber(int64_t year, int month, int day) {
    const bool gregorian =
        year > 1582 || (year == 1582 && (month > 10 || (month == 10 && day >= 15)));
    if (gregorian)
        return gregorianDays(year, month, day) + 2440587;
    const int64_t julian = julianDays(year, month, day) + 2440587;
    return year < 0 ? julian + 366 : julian;
}

// Every year the type holds: day numbers below zero (before -4712) and above
// 9999 take the same calendar as the years between.
TEST(ODate, EveryDayOfEveryYearAgreesWithTheOracle) {
    LogCapture log;
    int64_t expectedNext = oracleDayNumber(INT16_MIN, 1, 1);
    int64_t days = 0;
    for (int year = INT16_MIN; year <= INT16_MAX; ++year) {
        if (year == 0)
            continue;
        for (int month = 1; month <= 12; ++month) {
            const int last = oracleMonthDays(year, month);
            for (int day = 1; day <= last; ++day) {
                if (year == 1582 && month == 10 && day > 4 && day < 15)
                    continue; // the ten days the calendar reform dropped
                const int64_t expected = oracleDayNumber(year, month, day);
                const ODate date(static_cast<int16_t>(year), static_cast<uint8_t>(month),
                                 static_cast<uint8_t>(day));
                // Consecutive days have consecutive numbers, across 1582 and year 0 too.
                ASSERT_EQ(expected, expectedNext) << year << "-" << month << "-" << day;
                ASSERT_EQ(date.dayNumber(), expected) << year << "-" << month << "-" << day;
                ASSERT_EQ(date.GetYear(), year) << expected;
                ASSERT_EQ(date.GetMonth(), month) << expected;
                ASSERT_EQ(date.GetDay(), day) << expected;
                ASSERT_EQ(date.GetDayOfWeek(), ((expected + 2) % 7 + 7) % 7) << expected;
                expectedNext = expected + 1;
                ++days;
            }
        }
    }
    EXPECT_GT(days, 23000000);
    EXPECT_TRUE(log.assertions().empty());
}

TEST(ODate, KnownDayNumbersLeapRulesAndLastDay) {
    LogCapture log;
    EXPECT_EQ(ODate(1970, 1, 1).dayNumber(), 2440587);
    EXPECT_EQ(ODate(2000, 1, 1).dayNumber(), 2451544);
    EXPECT_EQ(ODate(1582, 10, 15).dayNumber(), 2299160);
    EXPECT_EQ(ODate(1582, 10, 4).dayNumber(), 2299159);
    EXPECT_EQ(ODate(1, 1, 1).dayNumber(), 1721423);
    EXPECT_EQ(ODate(1970, 1, 1).GetDayOfWeek(), 4);
    EXPECT_EQ(ODate(1582, 10, 4).GetDayOfWeek(), 4);
    EXPECT_EQ(ODate(1582, 10, 15).GetDayOfWeek(), 5);
    EXPECT_EQ(ODate(-1, 12, 31).dayNumber() + 1, ODate(1, 1, 1).dayNumber());

    EXPECT_TRUE(ODate(2000, 2, 29).IsValid());
    EXPECT_TRUE(ODate(1500, 2, 29).IsValid());
    EXPECT_TRUE(ODate(-4, 2, 29).IsValid());
    EXPECT_EQ(ODate(2001, 2, lastDayOfMonth), ODate(2001, 2, 28));
    EXPECT_EQ(ODate(2000, 2, lastDayOfMonth), ODate(2000, 2, 29));
    EXPECT_EQ(ODate(1999, 12, lastDayOfMonth), ODate(1999, 12, 31));
    EXPECT_TRUE(log.assertions().empty());

    ODate one(1, 1, 1);
    one -= OTimeSpan(1, 0, 0, 0, 0);
    EXPECT_EQ(one.GetYear(), -1);
    EXPECT_EQ(one.GetMonth(), 12);
    EXPECT_EQ(one.GetDay(), 31);
}

TEST(ODate, BadArgumentsGiveTheInvalidDateAndOneReport) {
    const std::string dayCheck =
        "otime.cpp:141:((nDay > 0) && (nDay <= cDaysInMonth)) || nDay==lastDayOfMonth";
    const std::string monthCheck = "otime.cpp:129:(nMonth > 0) && (nMonth < 13)";
    struct Case {
        int16_t y;
        uint8_t m, d;
        std::string report;
    } cases[] = {{1900, 2, 29, dayCheck},   {-1, 2, 29, dayCheck},     {2000, 4, 31, dayCheck},
                 {2000, 1, 0, dayCheck},    {2000, 13, 1, monthCheck}, {2000, 0, 1, monthCheck},
                 {2000, 13, 40, monthCheck}};
    for (const auto& c : cases) {
        LogCapture log;
        const ODate date(c.y, c.m, c.d);
        EXPECT_FALSE(date.IsValid());
        EXPECT_EQ(date, invalidDate);
        EXPECT_EQ(log.assertions(), std::vector<std::string>{c.report}) << c.y << "-" << int(c.m);
    }
}

TEST(ODate, AccessorsAndArithmeticOnTheInvalidDateReportAndGoOn) {
    LogCapture log;
    ODate date;
    (void)date.GetYear();
    (void)date.GetMonth();
    (void)date.GetDay();
    (void)date.GetDayOfWeek();
    date += OTimeSpan(1, 0, 0, 0, 0); // computes on the reserved number
    EXPECT_EQ(date.dayNumber(), INT32_MIN + 1);
    ODate other;
    other -= OTimeSpan(1, 0, 0, 0, 0);
    EXPECT_EQ(log.assertions(),
              (std::vector<std::string>{"otime.cpp:177:IsValid()", "otime.cpp:188:IsValid()",
                                        "otime.cpp:199:IsValid()", "otime.cpp:210:IsValid()",
                                        "otime.cpp:227:IsValid()", "otime.cpp:245:IsValid()"}));
}

TEST(ODate, SpansMoveByWholeDaysTruncatedTowardZero) {
    ODate date(2000, 3, 1);
    date += OTimeSpan(0, 0, 0, 0, -1);
    EXPECT_EQ(date, ODate(2000, 3, 1));
    date += OTimeSpan(0, -24, 0, 0, 0);
    EXPECT_EQ(date, ODate(2000, 2, 29));
    date -= OTimeSpan(0, 47, 59, 0, 0);
    EXPECT_EQ(date, ODate(2000, 2, 28));
    date += OTimeSpan(366, 0, 0, 0, 0);
    EXPECT_EQ(date, ODate(2001, 2, 28));
}

TEST(OTimeSpan, AddsUpInSixtyFourBitsAndReportsMixedSigns) {
    LogCapture log;
    EXPECT_EQ(OTimeSpan(1, 0, 0, 0, 0).milliseconds(), 86400000);
    EXPECT_EQ(OTimeSpan(-1, -2, -3, -4, -5).milliseconds(), -93784005);
    EXPECT_EQ(OTimeSpan(INT32_MAX, 0, 0, 0, 0).milliseconds(), int64_t{INT32_MAX} * 86400000);
    EXPECT_TRUE(log.assertions().empty());
    EXPECT_EQ(OTimeSpan(0, -1, 30, 0, 0).milliseconds(), -1800000);
    const auto reports = log.assertions();
    ASSERT_EQ(reports.size(), 1u);
    EXPECT_EQ(reports[0].rfind("otime.cpp:55:((nDays >= 0) && (nHours >= 0)", 0), 0u);
}

TEST(OTimeOfDay, BuildsUniversalTimeFromTheZoneClockAndReadsItBack) {
    LogCapture log;
    EXPECT_EQ(OTimeOfDay(23, 59, 59, 999, utcZone).value(), 86399999);
    const OTimeZone east(OString("CET,-60"));
    const OTimeZone west(OString("EST,300"));
    const OTimeOfDay t1(0, 30, 15, 250, east); // 23:30:15.250 universal, the day before
    EXPECT_EQ(t1.value(), 23 * 3600000 + 30 * 60000 + 15250);
    EXPECT_EQ(t1.GetHour(east), 0);
    EXPECT_EQ(t1.GetMinute(east), 30);
    EXPECT_EQ(t1.GetHour(utcZone), 23);
    EXPECT_EQ(t1.GetHour(west), 18);
    EXPECT_EQ(t1.GetSecond(), 15);
    EXPECT_EQ(t1.GetMillisecond(), 250);
    const OTimeOfDay t2(22, 0, 0, 0, west); // 03:00 universal
    EXPECT_EQ(t2.value(), 3 * 3600000);
    EXPECT_TRUE(log.assertions().empty());
}

TEST(OTimeOfDay, OutOfRangeArgumentsStayInvalidWithOneReport) {
    const std::string check =
        "otime.cpp:354:(hour < 24) && (minute < 60) && (second < 60) && (millisecond < 1000)";
    const OTimeZone west(OString("EST,300"));
    for (const auto& t : {std::vector<int>{24, 0, 0, 0},
                          {0, 60, 0, 0},
                          {0, 0, 60, 0},
                          {0, 0, 0, 1000},
                          {255, 255, 255, 65535}}) {
        LogCapture log;
        const OTimeOfDay time{uint8_t(t[0]), uint8_t(t[1]), uint8_t(t[2]), uint16_t(t[3]), west};
        EXPECT_FALSE(time.IsValid());
        EXPECT_EQ(time, invalidTime);
        EXPECT_EQ(log.assertions(), std::vector<std::string>{check});
    }
    LogCapture log;
    OTimeOfDay time;
    (void)time.GetHour(utcZone);
    (void)time.GetMinute(utcZone);
    (void)time.GetSecond();
    (void)time.GetMillisecond();
    time += OTimeSpan(0, 1, 0, 0, 0);
    time = OTimeOfDay() - OTimeSpan(0, 1, 0, 0, 0);
    EXPECT_EQ(log.assertions(),
              (std::vector<std::string>{"otime.cpp:384:IsValid()", "otime.cpp:391:IsValid()",
                                        "otime.cpp:398:IsValid()", "otime.cpp:404:IsValid()",
                                        "otime.cpp:438:IsValid()", "otime.cpp:462:IsValid()"}));
}

TEST(OTimeOfDay, SpansWrapAroundMidnightAndDropWholeDays) {
    OTimeOfDay t(23, 30, 0, 0, utcZone);
    t += OTimeSpan(0, 1, 0, 0, 0);
    EXPECT_EQ(t, OTimeOfDay(0, 30, 0, 0, utcZone));
    t -= OTimeSpan(0, 1, 0, 0, 0);
    EXPECT_EQ(t, OTimeOfDay(23, 30, 0, 0, utcZone));
    t += OTimeSpan(5, 0, 10, 0, 0); // five days drop out
    EXPECT_EQ(t, OTimeOfDay(23, 40, 0, 0, utcZone));
    EXPECT_EQ(t - OTimeSpan(-3, -23, -40, 0, 0), OTimeOfDay(23, 20, 0, 0, utcZone));
    EXPECT_EQ(t, OTimeOfDay(23, 40, 0, 0, utcZone)); // unchanged by the operator
}

ODateTime at(int16_t y, uint8_t mo, uint8_t d, uint8_t h, uint8_t mi) {
    return ODateTime(ODate(y, mo, d), OTimeOfDay(h, mi, 0, 0, utcZone));
}

TEST(ODateTime, SpansCarryOverMidnightIntoTheDate) {
    LogCapture log;
    EXPECT_EQ(at(2000, 1, 1, 23, 30) + OTimeSpan(0, 1, 0, 0, 0), at(2000, 1, 2, 0, 30));
    EXPECT_EQ(at(2000, 1, 1, 0, 30) - OTimeSpan(0, 1, 0, 0, 0), at(1999, 12, 31, 23, 30));
    EXPECT_EQ(at(2000, 2, 28, 12, 0) + OTimeSpan(1, 12, 0, 0, 0), at(2000, 3, 1, 0, 0));
    EXPECT_EQ(at(2000, 3, 1, 0, 0) + OTimeSpan(-1, -12, 0, 0, 0), at(2000, 2, 28, 12, 0));
    EXPECT_EQ(at(1582, 10, 4, 23, 0) + OTimeSpan(0, 2, 0, 0, 0), at(1582, 10, 15, 1, 0));
    ODateTime dt = at(2000, 12, 31, 23, 59);
    dt += OTimeSpan(0, 0, 0, 60, 0);
    EXPECT_EQ(dt, at(2001, 1, 1, 0, 0));
    dt -= OTimeSpan(366, 0, 0, 0, 0);
    EXPECT_EQ(dt, at(2000, 1, 1, 0, 0));
    EXPECT_TRUE(log.assertions().empty());

    // Invalid parts: the date-time's report, then the date's own when it is the date.
    ODateTime noTime(ODate(2000, 1, 1), OTimeOfDay());
    noTime += OTimeSpan(0, 0, 0, 0, 1);
    EXPECT_EQ(log.assertions(), std::vector<std::string>{"otime.cpp:643:IsValid()"});
    log.clear();
    ODateTime noDate(ODate(), OTimeOfDay(1, 0, 0, 0, utcZone));
    noDate -= OTimeSpan(0, 0, 0, 0, 1);
    EXPECT_EQ(log.assertions(),
              (std::vector<std::string>{"otime.cpp:674:IsValid()", "otime.cpp:245:IsValid()"}));
}

TEST(ODateTime, OrdersByDayThenTimeWithInvalidPartsFirst) {
    const ODateTime a = at(2000, 1, 1, 12, 0);
    const ODateTime b = at(2000, 1, 1, 12, 1);
    const ODateTime c = at(2000, 1, 2, 0, 0);
    EXPECT_TRUE(a < b && b < c && a < c);
    EXPECT_TRUE(c > b && b > a);
    EXPECT_FALSE(a < a || a > a);
    EXPECT_TRUE(ODateTime(ODate(2000, 1, 1), OTimeOfDay()) < a);
    EXPECT_TRUE(ODateTime() < ODateTime(ODate(-4712, 1, 1), OTimeOfDay()));
}

TEST(ODateTime, NowIsTheSystemClockAfterTheEpoch) {
    EXPECT_EQ(epoch, at(1970, 1, 1, 0, 0));
    EXPECT_EQ(epoch.date().dayNumber(), 2440587);
    const std::time_t before = std::time(nullptr);
    const ODateTime now = ODateTime::Now();
    const std::time_t after = std::time(nullptr);
    EXPECT_TRUE(now > epoch);
    ASSERT_TRUE(now.IsValid());
    const int64_t seconds =
        (int64_t{now.date().dayNumber()} - 2440587) * 86400 + now.time().value() / 1000;
    EXPECT_GE(seconds, before);
    EXPECT_LE(seconds, after);
    EXPECT_FALSE(ODateTime::Now() < now);
}

} // namespace

namespace {

// Zones and the decomposition keep per-thread caches of their last answers; many
// threads working on the shared zones at once must each get the answers one
// thread gets alone.
TEST(OTimeThreads, SharedZonesAnswerAlikeOnEveryThread) {
    const OTimeZone cet(OString("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0"));
    const OTimeZone aus(OString("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0"));
    const OString picture("yyyy-MM-dd HH:mm:ss.SSS ddd MMM");
    auto work = [&](std::vector<std::string>& out) {
        for (int64_t i = 0; i < 3000; ++i) {
            const ODateTime dt =
                epoch + OTimeSpan::fromMilliseconds(i * 7777777777LL % 2000000000000LL);
            out.push_back(std::string(dt.Format(picture, i % 2 ? cet : aus).c_str()) +
                          (cet.IsDaylightTime(dt) ? "+" : "-") +
                          (aus.IsDaylightTime(dt) ? "+" : "-"));
        }
    };
    std::vector<std::string> alone;
    work(alone);
    std::vector<std::vector<std::string>> results(4);
    std::vector<std::thread> threads;
    for (auto& r : results)
        threads.emplace_back(work, std::ref(r));
    for (auto& t : threads)
        t.join();
    for (const auto& r : results)
        EXPECT_EQ(r, alone);
}

} // namespace
