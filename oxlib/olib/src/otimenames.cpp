// OTimeNames, the locale's day and month names, and ODateTime::Format, which
// writes a date-time by a picture of pattern letters.
#include <oxlib/otime.h>

#include "sys/osys.h"

#include <clocale>
#include <cstdio>
#include <cstring>
#include <ctime>

namespace {

constexpr int32_t kAbbreviatedLimit = 11; // bytes an abbreviated name keeps
constexpr int32_t kFullLimit = 19;        // bytes a full name keeps

// strftime of one conversion, cut to its first word and to `limit` bytes at a
// character boundary. A result that does not fit the buffer counts as empty.
// Leading blanks are skipped, as a scan for a word does: some locales pad
// their names (ja_JP gives " 1月" for January).
OString localeText(const char* format, const std::tm& tm, int32_t limit) {
    char text[40];
    if (std::strftime(text, sizeof text, format, &tm) == 0)
        return OString();
    const char* buffer = text;
    while (*buffer == ' ' || *buffer == '\t')
        ++buffer;
    const char* end = buffer;
    while (*end != 0 && *end != ' ' && *end != '\t') {
        const char* next = end + oxsys::timeTextCharLength(end);
        if (next - buffer > limit)
            break; // never half a character
        end = next;
    }
    return OString(buffer, static_cast<int32_t>(end - buffer));
}

} // namespace

OTimeNames::OTimeNames(bool useUserLocale) {
    if (useUserLocale)
        std::setlocale(LC_TIME, "");
    std::tm tm{};
    tm.tm_mday = 1;
    tm.tm_year = 99;
    for (int month = 0; month < 12; ++month) {
        tm.tm_mon = month;
        m_names[14 + month] = localeText("%b", tm, kAbbreviatedLimit);
        m_names[26 + month] = localeText("%B", tm, kFullLimit);
    }
    tm.tm_mon = 7;
    for (int weekday = 0; weekday < 7; ++weekday) {
        tm.tm_wday = weekday;
        m_names[weekday] = localeText("%a", tm, kAbbreviatedLimit);
        m_names[7 + weekday] = localeText("%A", tm, kFullLimit);
    }
    for (int pm = 0; pm < 2; ++pm) {
        tm.tm_hour = pm ? 13 : 1;
        char buffer[40];
        if (std::strftime(buffer, sizeof buffer, "%p", &tm) == 0)
            buffer[0] = 0;
        m_names[40 + pm] = OString(buffer);
        m_names[38 + pm] = OString(buffer, oxsys::timeTextCharLength(buffer));
    }
}

const OString& OTimeNames::weekdayName(int32_t dayOfWeek, bool full) const {
    if (dayOfWeek < 0 || dayOfWeek > 6)
        return m_empty;
    return m_names[dayOfWeek + (full ? 7 : 0)];
}

const OString& OTimeNames::monthName(int32_t month, bool full) const {
    if (month < 1 || month > 12)
        return m_empty;
    return m_names[month + (full ? 25 : 13)];
}

const OString& OTimeNames::marker(bool pm, bool full) const {
    return m_names[(full ? 40 : 38) + (pm ? 1 : 0)];
}

// ---------------------------------------------------------------------------
// ODateTime::Format

namespace {

struct PatternLetters {
    bool is[256] = {};
    constexpr PatternLetters() {
        for (unsigned char c : {'d', 'M', 'y', 'g', 'h', 'H', 'm', 's', 'S', 't'})
            is[c] = true;
    }
};
constexpr PatternLetters kPatternLetters;

bool isPatternLetter(char c) {
    return kPatternLetters.is[static_cast<unsigned char>(c)];
}

// The text being built: bytes gather on the stack and go into the string in as
// few appends as possible (one, for any picture of ordinary length).
class Output {
public:
    explicit Output(OString& text) : m_text(text) {}
    ~Output() { flush(); }
    Output(const Output&) = delete;
    Output& operator=(const Output&) = delete;

    void put(const char* bytes, size_t n) {
        if (m_used + n > sizeof m_buffer) {
            flush();
            if (n > sizeof m_buffer) {
                m_text.appendBytes(bytes, static_cast<int32_t>(n));
                return;
            }
        }
        // Fields and literal runs are a few bytes: a loop beats a call.
        char* to = m_buffer + m_used;
        for (size_t i = 0; i < n; ++i)
            to[i] = bytes[i];
        m_used += n;
    }
    void put(const OString& s) { put(s.c_str(), static_cast<size_t>(s.getNativeCharsUsed())); }

    void byte(char c) {
        if (m_used == sizeof m_buffer)
            flush();
        m_buffer[m_used++] = c;
    }

    // What sprintf's "%d" (digits 1), "%.2d" (2) or "%.3d" (3) writes.
    void number(int32_t value, int digits) {
        if (m_used + 16 > sizeof m_buffer)
            flush();
        uint32_t magnitude = static_cast<uint32_t>(value);
        if (value < 0) {
            m_buffer[m_used++] = '-';
            magnitude = 0u - magnitude;
        }
        int length = 1;
        for (uint32_t rest = magnitude / 10; rest != 0; rest /= 10)
            ++length;
        if (length < digits)
            length = digits;
        char* p = m_buffer + m_used + length;
        for (int i = 0; i < length; ++i) {
            *--p = static_cast<char>('0' + magnitude % 10);
            magnitude /= 10;
        }
        m_used += static_cast<size_t>(length);
    }

    void flush() {
        if (m_used != 0)
            m_text.appendBytes(m_buffer, static_cast<int32_t>(m_used));
        m_used = 0;
    }

private:
    OString& m_text;
    char m_buffer[256];
    size_t m_used = 0;
};

// The fields of one date-time in one zone, worked out once per Format call.
struct Fields {
    bool dateValid = false;
    bool timeValid = false;
    int32_t year = 0, month = 0, day = 0, dayOfWeek = 0;
    int32_t hour = 0, minute = 0, second = 0, millisecond = 0;
    ODate universalDate;
};

Fields fieldsOf(const ODateTime& dt, const OTimeZone& zone) {
    Fields f;
    f.dateValid = dt.date().IsValid();
    f.timeValid = dt.time().IsValid();
    f.universalDate = dt.date();
    ODate localDate = dt.date();
    if (f.dateValid && f.timeValid) {
        // Date, hour and minute all from the zone's clock at dt itself, so that
        // they belong together even when the offset in force now is another.
        const ODateTime local = dt - zone.GetOffset(dt);
        localDate = local.date();
        const int32_t value = local.time().value();
        f.hour = static_cast<int32_t>(value / kMillisecondsPerHour);
        f.minute = static_cast<int32_t>((value % kMillisecondsPerHour) / kMillisecondsPerMinute);
    } else if (f.timeValid) {
        f.hour = dt.time().GetHour(zone);
        f.minute = dt.time().GetMinute(zone);
    }
    if (f.dateValid) {
        int16_t year = 0;
        uint8_t month = 0;
        uint8_t day = 0;
        localDate.GetYearMonthDay(year, month, day);
        f.year = year;
        f.month = month;
        f.day = day;
        f.dayOfWeek = localDate.GetDayOfWeek();
    }
    if (f.timeValid) {
        f.second = dt.time().GetSecond();
        f.millisecond = dt.time().GetMillisecond();
    }
    return f;
}

void appendField(Output& out, char letter, int32_t n, const Fields& f) {
    switch (letter) {
    case 'd':
        if (!f.dateValid)
            return;
        if (n <= 2)
            out.number(f.day, n);
        else
            out.put(timeNames.weekdayName(f.dayOfWeek, n > 3));
        return;
    case 'M':
        if (!f.dateValid)
            return;
        if (n <= 2)
            out.number(f.month, n);
        else
            out.put(timeNames.monthName(f.month, n > 3));
        return;
    case 'y':
        if (!f.dateValid)
            return;
        if (n <= 2)
            out.number(f.year % 100, n);
        else
            out.number(f.year, 1);
        return;
    case 'g':
        if (!f.dateValid)
            return;
        {
            // The era of the universal date: the calendar service has no zone.
            int16_t year = 0;
            uint8_t month = 0;
            uint8_t day = 0;
            f.universalDate.GetYearMonthDay(year, month, day);
            const std::string era = oxsys::eraText(year, month, day);
            out.put(era.data(), era.size());
        }
        return;
    default:
        break;
    }
    if (!f.timeValid)
        return;
    switch (letter) {
    case 'h':
        out.number(f.hour % 12 == 0 ? 12 : f.hour % 12, n >= 2 ? 2 : 1);
        return;
    case 'H':
        out.number(f.hour, n >= 2 ? 2 : 1);
        return;
    case 'm':
        out.number(f.minute, n >= 2 ? 2 : 1);
        return;
    case 's':
        out.number(f.second, n >= 2 ? 2 : 1);
        return;
    case 'S':
        out.number(f.millisecond, n >= 2 ? 3 : 1);
        return;
    case 't':
        out.put(timeNames.marker(f.hour > 11, n >= 2));
        return;
    default:
        return;
    }
}

} // namespace

OString ODateTime::Format(const OString& picture, const OTimeZone& zone) const {
    OString text;
    const char* p = picture.c_str();
    if (*p == 0)
        return text;
    const Fields fields = fieldsOf(*this, zone);
    Output out(text);
    while (*p != 0) {
        if (isPatternLetter(*p)) {
            const char letter = *p;
            int32_t n = 0;
            while (p[n] == letter)
                ++n;
            appendField(out, letter, n, fields);
            p += n;
            continue;
        }
        // Literal text up to the next pattern letter; quoted sections are copied
        // whole, pattern letters included, and their quotes dropped.
        while (*p != 0 && !isPatternLetter(*p)) {
            if (*p == '\'' || *p == '"') {
                const char quote = *p++;
                while (*p != 0 && *p != quote)
                    out.byte(*p++);
                if (*p != 0)
                    ++p;
                continue;
            }
            out.byte(*p++);
        }
    }
    out.flush();
    return text;
}
