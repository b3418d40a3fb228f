// Spans, dates, times of day and date-times: validation, the day-number
// arithmetic and the wrap-around rules.
//
// Everything that can leave 32 bits is computed in 64 bits and brought back by
// the modular conversion, so arithmetic on the reserved invalid number gives a
// defined (if meaningless) result, as callers that skip IsValid expect.
#include <oxlib/olog.h>
#include <oxlib/otime.h>

#include "sys/osys.h"

namespace {

constexpr const char* kFile = "otime.cpp";
constexpr const char* kIsValid = "IsValid()";

// The first Gregorian day, 1582-10-15, as the date constructor's key y*10000+m*100+d.
constexpr int64_t kGregorianKey = 15821015;
constexpr int32_t kEpochDayNumber = 2440587; // 1970-01-01
// The day number plus one of -4712-01-01, the first day whose decomposition
// needs no shift.
constexpr int64_t kFirstFormulaDay = 366;

bool isLeapYear(int32_t year) {
    if (year >= 1582)
        return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    return year % 4 == 0; // C's remainder keeps the year's sign: -4 leaps, -1 does not
}

// Value plus or minus the span's part below one day, brought back into one day.
int32_t wrapped(int32_t value, const OTimeSpan& span, int sign) {
    const int64_t r = span.milliseconds() % kMillisecondsPerDay;
    int64_t result = static_cast<int64_t>(value) + sign * r;
    if (result > kMillisecondsPerDay - 1)
        result -= kMillisecondsPerDay;
    else if (result < 0)
        result += kMillisecondsPerDay;
    return static_cast<int32_t>(result);
}

} // namespace

const uint8_t kDaysInMonth[13] = {0, 31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};

// ---------------------------------------------------------------------------
// OTimeSpan

OTimeSpan::OTimeSpan(int32_t nDays, int32_t nHours, int32_t nMinutes, int32_t nSeconds,
                     int32_t nMilliseconds) {
    OX_ASSERT_AT(((nDays >= 0) && (nHours >= 0) && (nMinutes >= 0) && (nSeconds >= 0) &&
                  (nMilliseconds >= 0)) ||
                     ((nDays <= 0) && (nHours <= 0) && (nMinutes <= 0) && (nSeconds <= 0) &&
                      (nMilliseconds <= 0)),
                 kFile, "55",
                 "((nDays >= 0) && (nHours >= 0) && (nMinutes >= 0) && (nSeconds >= 0) && "
                 "(nMilliseconds >= 0)) || ((nDays <= 0) && (nHours <= 0) && (nMinutes <= 0) && "
                 "(nSeconds <= 0) && (nMilliseconds <= 0))");
    m_milliseconds =
        (((int64_t{nDays} * 24 + nHours) * 60 + nMinutes) * 60 + nSeconds) * 1000 + nMilliseconds;
}

// ---------------------------------------------------------------------------
// ODate

ODate::ODate(int16_t year, uint8_t nMonth, uint8_t nDay) {
    if (!((nMonth > 0) && (nMonth < 13))) {
        logAssertion(kFile, "129", "(nMonth > 0) && (nMonth < 13)");
        return;
    }
    uint8_t cDaysInMonth = kDaysInMonth[nMonth];
    if (nMonth == 2 && isLeapYear(year))
        cDaysInMonth = 29;
    if (!(((nDay > 0) && (nDay <= cDaysInMonth)) || nDay == lastDayOfMonth)) {
        logAssertion(kFile, "141",
                     "((nDay > 0) && (nDay <= cDaysInMonth)) || nDay==lastDayOfMonth");
        return;
    }
    if (nDay == lastDayOfMonth)
        nDay = cDaysInMonth;

    // The ranges in the comments hold for every year of the type. Before year 1
    // the quotient of 1461 * y truncates toward zero rather than down; that is
    // what makes the years -4, -8, ... leap and leaves out the year 0.
    int64_t y = year < 0 ? year + 1 : year; // [-32767, 32767], year 0 standing for -1
    int64_t m = nMonth;                     // [1, 12]
    if (m <= 2) {
        y -= 1;  // [-32768, 32766]: the year counts from March
        m += 12; // [13, 14]
    }
    // m: [3, 14]
    int64_t b = 0; // [-244, 0]: the days the Gregorian calendar drops
    if (y * 10000 + m * 100 + nDay >= kGregorianKey) {
        const int64_t a = y / 100; // [15, 327]: trunc(y * 0.01)
        b = 2 - a + a / 4;         // [-244, -10]
    }
    // trunc(365.25 * y) + trunc(30.6001 * (m + 1)), in whole numbers:
    // [-11968084, 11968543]; the day number: [-10247089, 13689324].
    m_dayNumber =
        static_cast<int32_t>((1461 * y) / 4 + (306001 * (m + 1)) / 10000 + nDay + 1720994 + b);
}

// The formula's constants are scaled to whole numbers (36524.25 = 146097/4,
// 365.25 = 36525/100, 30.6001 = 306001/10000), so every quotient is exact and
// truncates toward zero as C++ division does. Multiplying by rounded reciprocals
// in double precision instead puts one day of the supported range, 6700-03-01,
// on the wrong side of a whole number and yields the non-existent 6700-02-29.
ODate::Civil ODate::decompose() const {
    // Time stamps come in runs of one day: this thread's last answer is kept.
    thread_local int32_t lastDayNumber = kInvalidTimeValue;
    thread_local Civil lastCivil{0, 0, 0};
    if (m_dayNumber == lastDayNumber && m_dayNumber != kInvalidTimeValue)
        return lastCivil;

    // The steps below are the classic formula, whose quotients truncate as floors
    // would only while the dividends are not negative, that is from -4712-01-01
    // (z = 366) on. An earlier day is first moved forward by whole four-year
    // cycles: before year 1 every fourth year leaps (-4, -8, ...), so 1461 days
    // later is the same month and day four years later, and the year is moved
    // back at the end.
    int64_t z = int64_t{m_dayNumber} + 1; // [INT32_MIN + 1, INT32_MAX + 1]
    int64_t cycles = 0;                   // [0, 1469873]: for z down to INT32_MIN + 1
    if (z < kFirstFormulaDay) {
        cycles = (kFirstFormulaDay - z + 1460) / 1461;
        z += cycles * 1461; // [366, 1826]: -4712-01-01 to -4709-12-31
    }
    // The ranges below hold for z up to that of 32767-12-31 (13689325), the last
    // day of the type's years.
    int64_t a = z; // [366, 13689569]
    if (z >= 2299161) {
        // [11, 323]: (z - 1867216.25) / 36524.25, the Gregorian centuries so far
        const int64_t alpha = (4 * z - 7468865) / 146097;
        a = z + 1 + alpha - alpha / 4;
    }
    const int64_t b = a > 1721423 ? a + 1524 : a + 1158; // [1524, 13691093]
    const int64_t c = (100 * b - 12210) / 36525;         // [3, 37483]: (b - 122.1) / 365.25
    const int64_t d = (1461 * c) / 4;                    // [1095, 13690665]: c * 365.25
    const int64_t e = (10000 * (b - d)) / 306001;        // [4, 15]: (b - d) / 30.6001
    const int64_t day = b - (306001 * e) / 10000 - d;    // [1, 31]
    const int64_t month = e < 14 ? e - 1 : e - 13;       // [1, 12]
    // [-4712, 32767], never 0; with the cycles put back [INT16_MIN, 32767] for the
    // day numbers of the type's years.
    const int64_t year = (month > 2 ? c - 4716 : c - 4715) - 4 * cycles;
    lastCivil = {static_cast<int32_t>(year), static_cast<int32_t>(month),
                 static_cast<int32_t>(day)};
    lastDayNumber = m_dayNumber;
    return lastCivil;
}

int16_t ODate::GetYear() const {
    OX_ASSERT_AT(IsValid(), kFile, "177", kIsValid);
    return static_cast<int16_t>(decompose().year);
}

uint8_t ODate::GetMonth() const {
    OX_ASSERT_AT(IsValid(), kFile, "188", kIsValid);
    return static_cast<uint8_t>(decompose().month);
}

uint8_t ODate::GetDay() const {
    OX_ASSERT_AT(IsValid(), kFile, "199", kIsValid);
    return static_cast<uint8_t>(decompose().day);
}

void ODate::GetYearMonthDay(int16_t& year, uint8_t& month, uint8_t& day) const {
    OX_ASSERT_AT(IsValid(), kFile, "177", kIsValid);
    const Civil civil = decompose();
    year = static_cast<int16_t>(civil.year);
    month = static_cast<uint8_t>(civil.month);
    day = static_cast<uint8_t>(civil.day);
}

uint8_t ODate::GetDayOfWeek() const {
    OX_ASSERT_AT(IsValid(), kFile, "210", kIsValid);
    // Floored: days before -4712 have negative numbers.
    const int64_t weekday = (int64_t{m_dayNumber} + 2) % 7; // [-6, 6]
    return static_cast<uint8_t>(weekday < 0 ? weekday + 7 : weekday);
}

ODate& ODate::operator+=(const OTimeSpan& span) {
    OX_ASSERT_AT(IsValid(), kFile, "227", kIsValid);
    m_dayNumber = static_cast<int32_t>(m_dayNumber + span.milliseconds() / kMillisecondsPerDay);
    return *this;
}

ODate& ODate::operator-=(const OTimeSpan& span) {
    OX_ASSERT_AT(IsValid(), kFile, "245", kIsValid);
    m_dayNumber = static_cast<int32_t>(m_dayNumber - span.milliseconds() / kMillisecondsPerDay);
    return *this;
}

// ---------------------------------------------------------------------------
// OTimeOfDay

OTimeOfDay::OTimeOfDay(uint8_t hour, uint8_t minute, uint8_t second, uint16_t millisecond,
                       const OTimeZone& zone) {
    if (!((hour < 24) && (minute < 60) && (second < 60) && (millisecond < 1000))) {
        // Stays invalid: shifting the reserved number by the offset would turn
        // it into an ordinary time.
        logAssertion(kFile, "354",
                     "(hour < 24) && (minute < 60) && (second < 60) && (millisecond < 1000)");
        return;
    }
    const int32_t local = ((hour * 60 + minute) * 60 + second) * 1000 + millisecond;
    m_value = wrapped(local, zone.GetCurrentOffset(), +1);
}

int32_t OTimeOfDay::localValue(const OTimeZone& zone) const {
    return wrapped(m_value, zone.GetCurrentOffset(), -1);
}

uint8_t OTimeOfDay::GetHour(const OTimeZone& zone) const {
    OX_ASSERT_AT(IsValid(), kFile, "384", kIsValid);
    return static_cast<uint8_t>(localValue(zone) / kMillisecondsPerHour);
}

uint8_t OTimeOfDay::GetMinute(const OTimeZone& zone) const {
    OX_ASSERT_AT(IsValid(), kFile, "391", kIsValid);
    return static_cast<uint8_t>((localValue(zone) % kMillisecondsPerHour) / kMillisecondsPerMinute);
}

uint8_t OTimeOfDay::GetSecond() const {
    OX_ASSERT_AT(IsValid(), kFile, "398", kIsValid);
    return static_cast<uint8_t>((m_value % kMillisecondsPerMinute) / 1000);
}

uint16_t OTimeOfDay::GetMillisecond() const {
    OX_ASSERT_AT(IsValid(), kFile, "404", kIsValid);
    return static_cast<uint16_t>(m_value % 1000);
}

OTimeOfDay& OTimeOfDay::operator+=(const OTimeSpan& span) {
    OX_ASSERT_AT(IsValid(), kFile, "438", kIsValid);
    m_value = wrapped(m_value, span, +1);
    return *this;
}

OTimeOfDay& OTimeOfDay::operator-=(const OTimeSpan& span) {
    OX_ASSERT_AT(IsValid(), kFile, "462", kIsValid);
    m_value = wrapped(m_value, span, -1);
    return *this;
}

OTimeOfDay OTimeOfDay::operator-(const OTimeSpan& span) const {
    OTimeOfDay result(*this);
    result -= span;
    return result;
}

// ---------------------------------------------------------------------------
// ODateTime

ODateTime ODateTime::Now() {
    int64_t seconds = 0;
    uint16_t milliseconds = 0;
    oxsys::currentTime(&seconds, &milliseconds);
    // The epoch's own value rather than the shared object, so that the clock can
    // be read while the shared objects are still being built.
    const ODateTime start(ODate::fromDayNumber(kEpochDayNumber), OTimeOfDay::fromValue(0));
    return start + OTimeSpan::fromMilliseconds(seconds * 1000 + milliseconds);
}

namespace {

// The time part after adding (sign +1) or subtracting the span's part below one
// day; a pass over midnight moves the date by one day.
void carry(ODate& date, int32_t time, const OTimeSpan& span, int sign, int32_t& result) {
    int64_t t = static_cast<int64_t>(time) + sign * (span.milliseconds() % kMillisecondsPerDay);
    if (t > kMillisecondsPerDay - 1) {
        t -= kMillisecondsPerDay;
        date += OTimeSpan(1, 0, 0, 0, 0);
    } else if (t < 0) {
        t += kMillisecondsPerDay;
        date -= OTimeSpan(1, 0, 0, 0, 0);
    }
    result = static_cast<int32_t>(t);
}

} // namespace

ODateTime& ODateTime::operator+=(const OTimeSpan& span) {
    OX_ASSERT_AT(m_date.IsValid() && m_time.IsValid(), kFile, "643", kIsValid);
    m_date += span;
    int32_t t = 0;
    carry(m_date, m_time.value(), span, +1, t);
    m_time = OTimeOfDay::fromValue(t);
    return *this;
}

ODateTime& ODateTime::operator-=(const OTimeSpan& span) {
    OX_ASSERT_AT(m_date.IsValid() && m_time.IsValid(), kFile, "674", kIsValid);
    m_date -= span;
    int32_t t = 0;
    carry(m_date, m_time.value(), span, -1, t);
    m_time = OTimeOfDay::fromValue(t);
    return *this;
}

ODateTime ODateTime::operator+(const OTimeSpan& span) const {
    ODateTime result(*this);
    result += span;
    return result;
}

ODateTime ODateTime::operator-(const OTimeSpan& span) const {
    ODateTime result(*this);
    result -= span;
    return result;
}

bool ODateTime::operator<(const ODateTime& other) const {
    return m_date.dayNumber() < other.m_date.dayNumber() ||
           (m_date.dayNumber() == other.m_date.dayNumber() &&
            m_time.value() < other.m_time.value());
}

bool ODateTime::operator>(const ODateTime& other) const {
    return other < *this;
}
