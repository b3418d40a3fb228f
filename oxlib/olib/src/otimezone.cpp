// OTimeZone: a zone from a zone text or from the system, and which of
// its two offsets is in force at a universal date-time.
#include <oxlib/olog.h>
#include <oxlib/otime.h>

#include "sys/osys.h"

#include <atomic>

namespace {

std::atomic<uint32_t> g_nextZoneId{1};

// The changes of one zone in one year, with the day numbers the year spans, as
// this thread last worked them out. Zones never change, so an entry stays true;
// only entries computed without any report are kept, so every call that ought
// to report still does.
struct YearChanges {
    uint32_t zone = 0;
    int32_t firstDay = 0; // day number of 1 January
    int32_t endDay = 0;   // day number of 1 January of the next year
    ODateTime start;
    ODateTime end;
};
thread_local YearChanges t_changes;

bool inPeriod(const ODateTime& dt, const ODateTime& start, const ODateTime& end) {
    if (start > end) // the daylight period spans the new year
        return !(dt > end) || !(dt < start);
    return start < dt && dt < end;
}

// The same report the string iterator makes when a walk runs past the text.
void reportEndOfText() {
    logAssertion("ostring.h", "489", "!isAtEnd ()");
}

// Reads a zone text one multibyte character at a time.
class ZoneTextReader {
public:
    explicit ZoneTextReader(const OString& text) : m_it(text) {}

    bool atEnd() const { return m_it.isAtEnd(); }
    bool at(char c) const { return !m_it.isAtEnd() && m_it.current() == OChar(uint8_t(c)); }
    void skip() { m_it.advance(1); }
    // Skips the separator that must be here, reporting a text that has ended.
    void skipChecked() {
        if (m_it.isAtEnd())
            reportEndOfText();
        m_it.advance(1);
    }

    // Digits and minus signs: each digit shifts in, any "-" makes the result
    // negative. No digits read as 0. Wraps rather than overflows on long runs;
    // the fields that take the number are narrower still.
    int32_t number() {
        uint32_t value = 0;
        bool negative = false;
        while (!m_it.isAtEnd()) {
            const uint16_t c = m_it.current().value();
            if (c >= '0' && c <= '9')
                value = value * 10 + (c - '0');
            else if (c == '-')
                negative = true;
            else
                break;
            m_it.advance(1);
        }
        const uint32_t result = negative ? 0u - value : value;
        return static_cast<int32_t>(result);
    }

    // The characters up to (not including) the first of `stops` or the end.
    OString textUntil(const char* stops) {
        const NativeChar* begin = m_it.position();
        while (!m_it.isAtEnd()) {
            const uint16_t c = m_it.current().value();
            bool stop = false;
            for (const char* s = stops; *s != 0; ++s)
                stop = stop || c == static_cast<unsigned char>(*s);
            if (stop)
                break;
            m_it.advance(1);
        }
        return OString(begin, static_cast<int32_t>(m_it.position() - begin));
    }

    // month, week, weekday [/ hour, minute]; the change is at 2:00 without a time.
    OTimeZoneRule rule() {
        OTimeZoneRule r;
        r.month = static_cast<uint8_t>(number());
        skip();
        r.week = static_cast<uint8_t>(number());
        skip();
        r.weekday = static_cast<uint8_t>(number());
        if (at('/')) {
            skip();
            r.hour = static_cast<uint8_t>(number());
            skip();
            r.minute = static_cast<uint8_t>(number());
        } else {
            r.hour = 2;
            r.minute = 0;
        }
        return r;
    }

private:
    OStringIterator m_it;
};

OTimeZoneRule ruleFromSystem(const oxsys::SystemTime& date) {
    OTimeZoneRule r;
    r.month = static_cast<uint8_t>(date.wMonth);
    if (date.wYear != 0) {
        // A fixed date: its occurrence of its weekday in that year.
        const ODate fixed(static_cast<int16_t>(date.wYear), static_cast<uint8_t>(date.wMonth),
                          static_cast<uint8_t>(date.wDay));
        r.week = static_cast<uint8_t>((fixed.GetDay() - 1) / 7 + 1);
        r.weekday = fixed.GetDayOfWeek();
    } else {
        r.week = static_cast<uint8_t>(date.wDay);
        r.weekday = static_cast<uint8_t>(date.wDayOfWeek);
    }
    r.hour = static_cast<uint8_t>(date.wHour);
    r.minute = static_cast<uint8_t>(date.wMinute);
    return r;
}

} // namespace

OTimeZone::OTimeZone(const OString& zoneText)
    : m_id(g_nextZoneId.fetch_add(1, std::memory_order_relaxed)) {
    if (zoneText == "")
        readSystemZone();
    else
        readZoneText(zoneText);
}

void OTimeZone::readSystemZone() {
    oxsys::TimeZoneInformation info;
    oxsys::getTimeZoneInformation(info);
    m_standardName = OString::fromWide(info.standardName);
    m_daylightName = OString::fromWide(info.daylightName);
    m_standardOffset = static_cast<int16_t>(info.bias + info.standardBias);
    m_daylightOffset = static_cast<int16_t>(info.bias + info.daylightBias);
    m_hasDaylightTime = info.daylightDate.wMonth != 0;
    if (m_hasDaylightTime) {
        m_start = ruleFromSystem(info.daylightDate);
        m_end = ruleFromSystem(info.standardDate);
    }
}

void OTimeZone::readZoneText(const OString& zoneText) {
    ZoneTextReader reader(zoneText);
    m_standardName = reader.textUntil(",");
    reader.skipChecked();
    m_standardOffset = static_cast<int16_t>(reader.number());
    if (reader.atEnd())
        return;
    reader.skip();
    m_daylightName = reader.textUntil(",;");
    m_hasDaylightTime = true;
    if (reader.at(',')) {
        reader.skip();
        m_daylightOffset = static_cast<int16_t>(m_standardOffset + reader.number());
    } else {
        m_daylightOffset = static_cast<int16_t>(m_standardOffset - 60);
    }
    if (reader.at(';')) {
        reader.skip();
        m_start = reader.rule();
        reader.skipChecked();
        m_end = reader.rule();
    } else {
        // First Sunday of April to the last Sunday of October, 2 a.m.
        m_start = OTimeZoneRule{4, 1, 0, 2, 0};
        m_end = OTimeZoneRule{10, 5, 0, 2, 0};
    }
}

// The universal date-time of the rule's change in `year`; `offset` is the
// offset of the local clock the rule's time is written in.
ODateTime OTimeZone::changeOf(int32_t year, const OTimeZoneRule& rule, int16_t offset) const {
    const int16_t y = static_cast<int16_t>(year);
    const ODate first(y, rule.month, 1);
    const int32_t w = first.GetDayOfWeek();
    int32_t day = 1 + ((rule.weekday - w + 7) % 7) + 7 * (rule.week - 1);
    // February counts 28 days here, so a last-week rule in a leap February
    // lands a week early: the rule model's own reading.
    const int32_t monthDays = rule.month <= 12 ? kDaysInMonth[rule.month] : 0;
    if (day > monthDays)
        day -= 7;
    return ODateTime(ODate(y, rule.month, static_cast<uint8_t>(day)),
                     OTimeOfDay(rule.hour, rule.minute, 0, 0, utcZone)) +
           OTimeSpan::fromMilliseconds(int64_t{offset} * kMillisecondsPerMinute);
}

bool OTimeZone::IsDaylightTime(const ODateTime& dt) const {
    if (!m_hasDaylightTime)
        return false;
    YearChanges& cached = t_changes;
    const int32_t dayNumber = dt.date().dayNumber();
    if (cached.zone == m_id && dayNumber >= cached.firstDay && dayNumber < cached.endDay)
        return inPeriod(dt, cached.start, cached.end);

    const int32_t year = dt.date().GetYear();
    const ODateTime start = changeOf(year, m_start, m_standardOffset);
    const ODateTime end = changeOf(year, m_end, m_daylightOffset);
    if (dt.date().IsValid() && start.IsValid() && end.IsValid() && year > -32000 && year < 32000) {
        const int16_t next = static_cast<int16_t>(year == -1 ? 1 : year + 1);
        cached = YearChanges{m_id, ODate(static_cast<int16_t>(year), 1, 1).dayNumber(),
                             ODate(next, 1, 1).dayNumber(), start, end};
    }
    return inPeriod(dt, start, end);
}

OTimeSpan OTimeZone::GetOffset(const ODateTime& dt) const {
    const int16_t offset = IsDaylightTime(dt) ? m_daylightOffset : m_standardOffset;
    return OTimeSpan::fromMilliseconds(int64_t{offset} * kMillisecondsPerMinute);
}

OTimeSpan OTimeZone::GetCurrentOffset() const {
    // Without daylight time the offset does not depend on the date, so the clock
    // need not be read (nor the shared epoch exist yet while it is being built).
    if (!m_hasDaylightTime)
        return OTimeSpan::fromMilliseconds(int64_t{m_standardOffset} * kMillisecondsPerMinute);
    return GetOffset(ODateTime::Now());
}
