// ODateTime::Format beside Windows' own pictures: GetDateFormatA and
// GetTimeFormatA share the picture letters of dates and of clocks, so each
// picture here is a date picture and a clock picture, formatted by Windows in
// the user's locale at the local time SystemTimeToTzSpecificLocalTime gives.
#include "windowszones.h"

#include <oxlib/otime.h>

#include <gtest/gtest.h>

#include <string>

namespace {

std::string fmt(const ODateTime& dt, const std::string& picture, const OTimeZone& zone) {
    return dt.Format(OString(picture.c_str()), zone).c_str();
}

std::string windowsText(const SYSTEMTIME& local, const char* datePicture, const char* separator,
                        const char* timePicture) {
    char date[128] = {};
    char time[128] = {};
    if (datePicture != nullptr) {
        EXPECT_GT(GetDateFormatA(LOCALE_USER_DEFAULT, 0, &local, datePicture, date, sizeof date),
                  0);
    }
    if (timePicture != nullptr) {
        EXPECT_GT(GetTimeFormatA(LOCALE_USER_DEFAULT, 0, &local, timePicture, time, sizeof time),
                  0);
    }
    return std::string(date) + separator + time;
}

struct Pair {
    const char* datePicture; // nullptr: none
    const char* separator;
    const char* timePicture;
    bool englishOnly = false;
};
// The names are the C runtime's (strftime's, as on Linux). In German, Windows'
// date pictures abbreviate months with a period ("Jan.") where those names have
// none, so abbreviated months are compared in English only.
const Pair kPairs[] = {
    {"dd.MM.yyyy", " ", "HH:mm:ss"},
    {"ddd, d MMMM yy", "", nullptr},
    {"ddd, d MMM yy", "", nullptr, true},
    {"dddd d MMMM yyyy", " ", "hh:mm tt"},
    {"M/d/yy", " ", "h:mm:ss"},
    {"M'/'d'/'yy", "'   '", "h':'mm':'sstt'    '"},
    {"g yyyy", "", nullptr}, // Wine writes the era once per letter of "gg"
};

} // namespace

TEST(ODateTimeFormat, AgreesWithGetDateFormatAndGetTimeFormatInTheUserLocale) {
    const WindowsZone* zones[] = {&kUtcZone, &kCetZone, &kAestZone};
    const bool english = timeNames.weekdayName(0, true) == "Sunday";
    int compared = 0;
    for (const WindowsZone* z : zones) {
        const OTimeZone zone{OString(z->text)};
        // About 2700 instants over 1971-2037, never on a change of the daylight
        // rule (those fall on whole hours; this step keeps clear of them).
        const int64_t step = 7 * 86400 + 7 * 3600 + 13 * 60 + 17;
        for (int64_t t = 31536000; t < 2145916800; t += step) {
            const ODateTime dt = epoch + OTimeSpan::fromMilliseconds(t * 1000);
            const SYSTEMTIME utc = systemTimeOf(t);
            SYSTEMTIME local{};
            ASSERT_TRUE(SystemTimeToTzSpecificLocalTime(&z->record, &utc, &local));
            for (const Pair& pair : kPairs) {
                if (pair.englishOnly && !english)
                    continue;
                const std::string picture = std::string(pair.datePicture ? pair.datePicture : "") +
                                            pair.separator +
                                            (pair.timePicture ? pair.timePicture : "");
                const std::string separator =
                    pair.separator[0] == '\'' ? "   " : std::string(pair.separator);
                ASSERT_EQ(fmt(dt, picture, zone),
                          windowsText(local, pair.datePicture, separator.c_str(), pair.timePicture))
                    << picture << " at " << t << " in " << z->text;
                ++compared;
            }
        }
    }
    EXPECT_GT(compared, 40000);
}
