// The time module: millisecond spans, calendar dates, times of day, their pair,
// and the zones that turn universal time into a local clock and back.
//
// Dates and times of day are kept in universal time. A time of day is converted
// from a zone's local clock when it is built and back when its hour or minute is
// read. Invalid values hold a reserved number (the most negative 32-bit value);
// misuse is reported through the log front end's assertion report and the code
// carries on computing on that number, so callers test IsValid where it matters.
// Nothing here throws, and no value type has a base class or virtual operations.
//
// Dates before 1582-10-15 are in the Julian calendar, later ones in the Gregorian.
// There is no year 0: year -1 is followed by year 1, and a year before 1582 is a
// leap year when its own number is divisible by 4 (so -4 is one and -1 is not).
#pragma once

#include <oxlib/ostring.h>

#include <cstdint>

class OTimeZone;
class ODateTime;

// Signed count of milliseconds.
class OTimeSpan {
public:
    // The arguments should share one sign; mixed signs are reported and then
    // simply added up.
    OTimeSpan(int32_t nDays, int32_t nHours, int32_t nMinutes, int32_t nSeconds,
              int32_t nMilliseconds);
    static constexpr OTimeSpan fromMilliseconds(int64_t milliseconds) {
        return OTimeSpan(milliseconds, 0);
    }

    constexpr int64_t milliseconds() const { return m_milliseconds; }
    constexpr bool operator==(const OTimeSpan&) const = default;

private:
    constexpr OTimeSpan(int64_t milliseconds, int) : m_milliseconds(milliseconds) {}
    int64_t m_milliseconds;
};

constexpr int32_t kInvalidTimeValue = INT32_MIN; // 0x80000000
constexpr int64_t kMillisecondsPerDay = 86400000;
constexpr int64_t kMillisecondsPerHour = 3600000;
constexpr int64_t kMillisecondsPerMinute = 60000;
// A day argument that stands for the last day of the month.
constexpr uint8_t lastDayOfMonth = 100;
// Days per month by month number; entry 0 belongs to no month.
extern const uint8_t kDaysInMonth[13];

// A calendar date held as a day number: the Julian Day Number minus one
// (1970-01-01 is 2440587).
class ODate {
public:
    ODate() = default; // invalid
    ODate(int16_t year, uint8_t nMonth, uint8_t nDay);
    static constexpr ODate fromDayNumber(int32_t dayNumber) {
        ODate date;
        date.m_dayNumber = dayNumber;
        return date;
    }

    bool IsValid() const { return m_dayNumber != kInvalidTimeValue; }
    int32_t dayNumber() const { return m_dayNumber; }

    int16_t GetYear() const;
    uint8_t GetMonth() const;
    uint8_t GetDay() const;
    // 0 = Sunday to 6 = Saturday.
    uint8_t GetDayOfWeek() const;
    // The three of GetYear, GetMonth and GetDay from one decomposition (one
    // report, GetYear's, on an invalid date).
    void GetYearMonthDay(int16_t& year, uint8_t& month, uint8_t& day) const;

    // Whole days of the span, truncated toward zero: -1 ms changes nothing.
    ODate& operator+=(const OTimeSpan& span);
    ODate& operator-=(const OTimeSpan& span);

    bool operator==(const ODate&) const = default;

private:
    struct Civil {
        int32_t year, month, day;
    };
    Civil decompose() const;

    int32_t m_dayNumber = kInvalidTimeValue;
};

// Milliseconds after midnight, universal time, 0 to 86399999.
class OTimeOfDay {
public:
    OTimeOfDay() = default; // invalid
    // The local clock time of `zone` now, stored as universal time.
    OTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second, uint16_t millisecond,
               const OTimeZone& zone);
    static constexpr OTimeOfDay fromValue(int32_t milliseconds) {
        OTimeOfDay time;
        time.m_value = milliseconds;
        return time;
    }

    bool IsValid() const { return m_value != kInvalidTimeValue; }
    int32_t value() const { return m_value; }

    // Hour and minute of the zone's clock, at the zone's offset in force now.
    uint8_t GetHour(const OTimeZone& zone) const;
    uint8_t GetMinute(const OTimeZone& zone) const;
    uint8_t GetSecond() const;
    uint16_t GetMillisecond() const;

    // Wraps around midnight; the whole days of the span are dropped.
    OTimeOfDay& operator+=(const OTimeSpan& span);
    OTimeOfDay& operator-=(const OTimeSpan& span);
    OTimeOfDay operator-(const OTimeSpan& span) const;

    bool operator==(const OTimeOfDay&) const = default;

private:
    // Local milliseconds after midnight at the zone's current offset.
    int32_t localValue(const OTimeZone& zone) const;

    int32_t m_value = kInvalidTimeValue;
};

// A date and a time of day, both universal time.
class ODateTime {
public:
    ODateTime() = default; // both parts invalid
    ODateTime(const ODate& date, const OTimeOfDay& time) : m_date(date), m_time(time) {}

    // The current date-time from the system clock.
    static ODateTime Now();

    const ODate& date() const { return m_date; }
    const OTimeOfDay& time() const { return m_time; }
    bool IsValid() const { return m_date.IsValid() && m_time.IsValid(); }

    // A time of day that passes midnight moves the date by one day.
    ODateTime& operator+=(const OTimeSpan& span);
    ODateTime& operator-=(const OTimeSpan& span);
    ODateTime operator+(const OTimeSpan& span) const;
    ODateTime operator-(const OTimeSpan& span) const;

    // By day number, then by time value; the raw numbers are compared, so
    // invalid parts sort as the most negative numbers.
    bool operator<(const ODateTime& other) const;
    bool operator>(const ODateTime& other) const;
    bool operator==(const ODateTime&) const = default;

    // Text of this date-time in `zone` by a picture of pattern letters
    // (d, M, y, g, h, H, m, s, S, t) and literal text; an apostrophe or a double
    // quote quotes up to the next of the same kind. Fields of an invalid part are
    // empty.
    OString Format(const OString& picture, const OTimeZone& zone) const;

private:
    ODate m_date;
    OTimeOfDay m_time;
};

// One day of a yearly daylight-saving rule: the `week`-th `weekday` of `month`
// (week 5 is the last one) at hour:minute of the local clock.
struct OTimeZoneRule {
    uint8_t month = 0;
    uint8_t week = 0;
    uint8_t weekday = 0;
    uint8_t hour = 0;
    uint8_t minute = 0;
};

// A time zone: a standard name and offset and optionally a daylight-saving name,
// offset and yearly rule. Offsets are minutes of universal time minus local time
// (positive west of Greenwich). Built once, never changed.
class OTimeZone {
public:
    // From a zone text
    //   name,offset[,daylight-name[,delta][;m,w,d[/h,min],m,w,d[/h,min]]]
    // ("UTC,0", "EST,300,EDT"), or from the system's zone when `zoneText` is empty.
    explicit OTimeZone(const OString& zoneText);

    // Whether daylight time is in force at the universal date-time `dt`.
    bool IsDaylightTime(const ODateTime& dt) const;
    // Universal minus local time at `dt`.
    OTimeSpan GetOffset(const ODateTime& dt) const;
    OTimeSpan GetCurrentOffset() const;

    const OString& standardName() const { return m_standardName; }
    const OString& daylightName() const { return m_daylightName; }
    int16_t standardOffset() const { return m_standardOffset; }
    int16_t daylightOffset() const { return m_daylightOffset; }
    bool hasDaylightTime() const { return m_hasDaylightTime; }
    // The rule's start (local standard clock) and end (local daylight clock).
    const OTimeZoneRule& startRule() const { return m_start; }
    const OTimeZoneRule& endRule() const { return m_end; }

private:
    void readSystemZone();
    void readZoneText(const OString& zoneText);
    ODateTime changeOf(int32_t year, const OTimeZoneRule& rule, int16_t offset) const;

    // Tells zones apart in the per-thread cache of one year's changes; copies
    // share it, as they share every answer.
    uint32_t m_id;
    OString m_standardName;
    int16_t m_standardOffset = 0;
    OString m_daylightName;
    int16_t m_daylightOffset = 0;
    bool m_hasDaylightTime = false;
    OTimeZoneRule m_start;
    OTimeZoneRule m_end;
};

// Day and month names and the AM/PM markers of the C runtime's time locale.
class OTimeNames {
public:
    static constexpr int32_t kEntries = 42;

    // Takes the names from the process's current LC_TIME locale. With
    // `useUserLocale`, first sets LC_TIME to the user's default for the whole
    // process (as the shared table does at start-up).
    explicit OTimeNames(bool useUserLocale);

    // dayOfWeek 0 (Sunday) to 6 and month 1 to 12; other values give empty text.
    const OString& weekdayName(int32_t dayOfWeek, bool full) const;
    const OString& monthName(int32_t month, bool full) const;
    // The AM or PM marker, whole or its first character.
    const OString& marker(bool pm, bool full) const;

    const OString& entry(int32_t index) const { return m_names[index]; }

private:
    OString m_names[kEntries];
    OString m_empty;
};

// Shared objects, built at library start-up in this order and read-only after.
extern const OTimeOfDay invalidTime;
extern const ODate invalidDate;
extern const OTimeZone localZone; // the system's zone at start-up
extern const OTimeZone utcZone;   // "UTC,0"
extern const OTimeNames timeNames;
extern const ODateTime epoch; // 1970-01-01 00:00:00.000 universal time
