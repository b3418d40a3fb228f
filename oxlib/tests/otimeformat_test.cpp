// ODateTime::Format and the name table: the picture rules, and on Linux the
// output beside glibc's strftime for equivalent formats in the process's time
// locale (Windows' counterpart, GetDateFormatA and GetTimeFormatA, is in
// otimeformatwin32_test.cpp). The suite runs twice: under LC_ALL=C and under
// LC_ALL=de_DE.UTF-8; the library takes the time locale from the environment
// when it starts.
#include "sys/osys.h"

#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <ctime>
#include <string>

namespace {

ODateTime at(int16_t y, uint8_t mo, uint8_t d, uint8_t h, uint8_t mi, uint8_t s = 0,
             uint16_t ms = 0) {
    return ODateTime(ODate(y, mo, d), OTimeOfDay(h, mi, s, ms, utcZone));
}

std::string fmt(const ODateTime& dt, const char* picture, const OTimeZone& zone = utcZone) {
    return dt.Format(OString(picture), zone).c_str();
}

bool englishNames() {
    return timeNames.weekdayName(6, true) == "Saturday";
}

#if !defined(_WIN32)
TEST(OTimeNames, TheProcessHasTheLocaleItWasStartedIn) {
    const char* expected = std::getenv("LC_ALL");
    const char* actual = std::setlocale(LC_TIME, nullptr);
    if (expected == nullptr || *expected == 0)
        GTEST_SKIP() << "run without LC_ALL";
    ASSERT_STREQ(actual, expected)
        << "the locale is missing: scripts/deps.sh generates de_DE.UTF-8";
    if (std::string(expected) == "C") {
        EXPECT_EQ(timeNames.weekdayName(0, false), "Sun");
        EXPECT_EQ(timeNames.weekdayName(6, true), "Saturday");
        EXPECT_EQ(timeNames.monthName(1, false), "Jan");
        EXPECT_EQ(timeNames.monthName(12, true), "December");
        EXPECT_EQ(timeNames.marker(true, false), "P");
        EXPECT_EQ(timeNames.marker(true, true), "PM");
    } else if (std::string(expected).rfind("de_DE", 0) == 0) {
        EXPECT_EQ(timeNames.weekdayName(4, true), "Donnerstag");
        EXPECT_EQ(timeNames.monthName(3, true), "M\xc3\xa4rz");
        EXPECT_EQ(timeNames.monthName(3, false), "M\xc3\xa4r");
        EXPECT_TRUE(timeNames.marker(false, true).isEmpty()); // German has no AM/PM
    }
    EXPECT_TRUE(timeNames.weekdayName(7, false).isEmpty());
    EXPECT_TRUE(timeNames.weekdayName(-1, true).isEmpty());
    EXPECT_TRUE(timeNames.monthName(0, false).isEmpty());
    EXPECT_TRUE(timeNames.monthName(13, true).isEmpty());
}

// Names are cut and markers shortened by whole characters of strftime's UTF-8.
TEST(OTimeNames, CharactersOfTheLocaleTexts) {
    EXPECT_EQ(oxsys::timeTextCharLength("AM"), 1);
    EXPECT_EQ(oxsys::timeTextCharLength("\xc3\xa4r"), 2);
    EXPECT_EQ(oxsys::timeTextCharLength("\xcf\x80\xce\xbc"), 2);
    EXPECT_EQ(oxsys::timeTextCharLength("\xe5\x8d\x88\xe5\x89\x8d"), 3);
    EXPECT_EQ(oxsys::timeTextCharLength("\xf0\x9f\x95\x90"), 4);
    EXPECT_EQ(oxsys::timeTextCharLength("\xc3x"), 1);    // a cut sequence
    EXPECT_EQ(oxsys::timeTextCharLength("\x80\x80"), 1); // no lead byte
    EXPECT_EQ(oxsys::timeTextCharLength("\xe5\x8d"), 1);
    EXPECT_EQ(oxsys::timeTextCharLength(""), 0);
}
#endif

TEST(ODateTimeFormat, NumberFieldsAndRepeatCounts) {
    EXPECT_EQ(fmt(at(2000, 2, 5, 3, 4, 5, 6), "yyyy-MM-dd HH:mm:ss.SSS"),
              "2000-02-05 03:04:05.006");
    EXPECT_EQ(fmt(at(2000, 2, 5, 3, 4, 5, 6), "d dd M MM H m s S"), "5 05 2 02 3 4 5 6");
    EXPECT_EQ(fmt(at(2005, 1, 1, 0, 0), "y|yy|yyy|yyyyy"), "5|05|2005|2005");
    EXPECT_EQ(fmt(at(-45, 3, 15, 0, 0), "y yy yyy"), "-45 -45 -45");
    EXPECT_EQ(fmt(at(2000, 1, 1, 14, 5, 3), "h hh H HH m mm s ss"), "2 02 14 14 5 05 3 03");
    EXPECT_EQ(fmt(at(2000, 1, 1, 0, 0), "h/H/hh/HH"), "12/0/12/00");
    EXPECT_EQ(fmt(at(2000, 1, 1, 12, 0), "h hhh HHH sss SSSS"), "12 12 12 00 000");
    EXPECT_EQ(fmt(at(2000, 1, 1, 0, 0), ""), "");
#if !defined(_WIN32)
    EXPECT_EQ(fmt(at(2000, 1, 1, 0, 0), "g|gg"), "|"); // no era on this platform
#endif
}

TEST(ODateTimeFormat, NamesAndMarkers) {
    const ODateTime fifth = at(2000, 2, 5, 14, 5, 3);
    EXPECT_EQ(fmt(fifth, "ddd"), timeNames.weekdayName(6, false).c_str());
    EXPECT_EQ(fmt(fifth, "dddd"), timeNames.weekdayName(6, true).c_str());
    EXPECT_EQ(fmt(fifth, "dddddd"), timeNames.weekdayName(6, true).c_str());
    EXPECT_EQ(fmt(fifth, "MMM MMMMM"), std::string(timeNames.monthName(2, false).c_str()) + " " +
                                           timeNames.monthName(2, true).c_str());
    if (!englishNames())
        return;
    EXPECT_EQ(fmt(fifth, "dddd ddd"), "Saturday Sat");
    EXPECT_EQ(fmt(at(2000, 1, 1, 0, 30), "h tt"), "12 AM");
    EXPECT_EQ(fmt(at(2000, 1, 1, 12, 30), "h t"), "12 P");
    EXPECT_EQ(fmt(at(2000, 1, 1, 14, 5, 3), "h hh H HH m mm s ss t tt"),
              "2 02 14 14 5 05 3 03 P PM");
    EXPECT_EQ(fmt(at(2000, 1, 1, 11, 59), "tt"), "AM");
    // The event log's picture.
    EXPECT_EQ(fmt(at(2000, 1, 12, 16, 9, 8), "M'/'d'/'yy'   'h':'mm':'sstt'    '"),
              "1/12/00   4:09:08PM    ");
}

TEST(ODateTimeFormat, LiteralsAndQuotes) {
    const ODateTime dt = at(2000, 2, 5, 3, 4);
    EXPECT_EQ(fmt(dt, "'d'd"), "d5");
    EXPECT_EQ(fmt(dt, "'It''s'"), "Its");
    EXPECT_EQ(fmt(dt, "\"HH\"HH"), "HH03");
    EXPECT_EQ(fmt(dt, "\"it's\" 'say \"x\"'"), "it's say \"x\"");
    EXPECT_EQ(fmt(dt, "HH'mm"), "03mm"); // an open quote runs to the end
    EXPECT_EQ(fmt(dt, "''\"\""), "");
    EXPECT_EQ(fmt(dt, "[HH]-xyz/T"), "[03]-x0z/T"); // y is a pattern letter, z and T are not
    EXPECT_EQ(fmt(dt, "\xc3\xa4 HH \xc3\xa4"), "\xc3\xa4 03 \xc3\xa4");
}

TEST(ODateTimeFormat, InvalidPartsGiveEmptyFields) {
    const ODateTime noTime(ODate(2000, 2, 5), OTimeOfDay());
    EXPECT_EQ(fmt(noTime, "dd.MM HH"), "05.02 ");
    EXPECT_EQ(fmt(noTime, "h:m:s.S t|yyyy"), "::. |2000");
    const ODateTime noDate(ODate(), OTimeOfDay(3, 4, 5, 0, utcZone));
    EXPECT_EQ(fmt(noDate, "dd.MM.yy ddd MMMM g HH:mm:ss"), "..    03:04:05");
    EXPECT_EQ(fmt(ODateTime(), "'x'd-H"), "x-");
}

TEST(ODateTimeFormat, TheZoneDecidesTheLocalDateAndClock) {
    const OTimeZone cet(OString("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0"));
    const OTimeZone west(OString("W,600"));
    EXPECT_EQ(fmt(at(2000, 1, 1, 23, 30), "yyyy-MM-dd HH:mm", cet), "2000-01-02 00:30");
    EXPECT_EQ(fmt(at(2000, 1, 1, 5, 30), "yyyy-MM-dd HH:mm ddd", west),
              std::string("1999-12-31 19:30 ") + timeNames.weekdayName(5, false).c_str());
    // Date and clock both at the offset in force at the date-time itself, in
    // summer and in winter, whichever is in force now.
    EXPECT_EQ(fmt(at(2024, 7, 1, 22, 30), "yyyy-MM-dd HH:mm", cet), "2024-07-02 00:30");
    EXPECT_EQ(fmt(at(2024, 1, 1, 22, 30), "yyyy-MM-dd HH:mm", cet), "2024-01-01 23:30");
}

#if !defined(_WIN32)
// strftime's counterpart of each picture; the "%-" forms are glibc's unpadded ones.
struct Pair {
    const char* picture;
    const char* strftimeFormat;
};
const Pair kPairs[] = {
    {"dd.MM.yyyy HH:mm:ss", "%d.%m.%Y %H:%M:%S"},
    {"ddd, d MMM yy", "%a, %-d %b %y"},
    {"dddd d MMMM yyyy hh:mm tt", "%A %-d %B %Y %I:%M %p"},
    {"M/d/yy h:mm:ss", "%-m/%-d/%y %-I:%M:%S"},
    {"M'/'d'/'yy'   'h':'mm':'sstt'    '", "%-m/%-d/%y   %-I:%M:%S%p    "},
};

void compareWithStrftime(const char* zoneText, const char* posix) {
    const OTimeZone zone{OString(zoneText)};
    const char* old = std::getenv("TZ");
    const std::string saved = old ? old : "";
    setenv("TZ", posix, 1);
    tzset();
    // About 2700 instants over 1971-2037, never on a change of the daylight rule
    // (those fall on whole hours; this step keeps clear of them).
    const int64_t step = 7 * 86400 + 7 * 3600 + 13 * 60 + 17;
    int compared = 0;
    for (int64_t t = 31536000; t < 2145916800; t += step) {
        const ODateTime dt = epoch + OTimeSpan::fromMilliseconds(t * 1000);
        std::tm tm{};
        const std::time_t tt = static_cast<std::time_t>(t);
        localtime_r(&tt, &tm);
        for (const auto& pair : kPairs) {
            char expected[128];
            const size_t n = std::strftime(expected, sizeof expected, pair.strftimeFormat, &tm);
            ASSERT_GT(n, 0u);
            ASSERT_EQ(fmt(dt, pair.picture, zone), expected) << pair.picture << " at " << t;
            ++compared;
        }
    }
    EXPECT_GT(compared, 10000);
    if (old)
        setenv("TZ", saved.c_str(), 1);
    else
        unsetenv("TZ");
    tzset();
}

TEST(ODateTimeFormat, AgreesWithStrftimeInTheProcessLocale) {
    compareWithStrftime("UTC,0", "UTC0");
    compareWithStrftime("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0", "CET-1CEST,M3.5.0,M10.5.0/3");
    compareWithStrftime("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0", "AEST-10AEDT,M10.1.0,M4.1.0/3");
}

#endif

} // namespace

namespace {

// strftime's text for one conversion without the blanks some locales pad with.
std::string localeWord(const char* format, int month, int weekday) {
    std::tm tm{};
    tm.tm_mday = 1;
    tm.tm_year = 99;
    tm.tm_mon = month;
    tm.tm_wday = weekday;
    char buffer[40] = {};
    std::strftime(buffer, sizeof buffer, format, &tm);
    std::string word(buffer);
    word.erase(0, word.find_first_not_of(" \t"));
    return word.substr(0, word.find_first_of(" \t"));
}

} // namespace

// Every name of the table is the locale's word, none is empty: in C, German
// and Japanese (whose month abbreviations strftime pads with a blank).
TEST(OTimeNames, EveryNameIsTheLocalesWord) {
    for (int month = 1; month <= 12; ++month) {
        SCOPED_TRACE(month);
        for (const bool full : {false, true}) {
            const std::string name = timeNames.monthName(month, full).c_str();
            EXPECT_FALSE(name.empty());
            const std::string word = localeWord(full ? "%B" : "%b", month - 1, 0);
            if (word.size() <= (full ? 19u : 11u)) {
                EXPECT_EQ(name, word);
            }
        }
    }
    for (int day = 0; day < 7; ++day)
        EXPECT_EQ(std::string(timeNames.weekdayName(day, false).c_str()), localeWord("%a", 7, day));
    const char* lcAll = std::getenv("LC_ALL");
    if (lcAll != nullptr && std::string(lcAll).rfind("ja_JP", 0) == 0) {
        EXPECT_EQ(timeNames.monthName(1, false), "1\xe6\x9c\x88");   // 1月
        EXPECT_EQ(timeNames.monthName(12, false), "12\xe6\x9c\x88"); // 12月
        EXPECT_EQ(fmt(at(2000, 3, 5, 0, 0), "MMM d"), "3\xe6\x9c\x88 5");
    }
}
