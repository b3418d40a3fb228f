// The POSIX TZ rule reader, the TZif reader and the mapping of both onto the
// Windows zone record (see posixzone.h for what the mapping keeps).
#include "posixzone.h"

#include <cctype>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace oxsys {

namespace {

constexpr int64_t kSecondsPerDay = 86400;

// Proleptic Gregorian calendar; the year of the current clock is all the zone
// mapping ever asks about, so no Julian dates arise here.
int64_t daysFromCivil(int64_t y, int64_t m, int64_t d) {
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const int64_t yoe = y - era * 400;
    const int64_t doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const int64_t doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468;
}

void civilFromDays(int64_t z, int64_t& y, int64_t& m, int64_t& d) {
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const int64_t doe = z - era * 146097;
    const int64_t yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    const int64_t doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const int64_t mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y = yoe + era * 400 + (m <= 2);
}

int64_t floorDiv(int64_t a, int64_t b) {
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

bool isLeap(int64_t y) {
    return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
}

int64_t yearOf(int64_t seconds) {
    int64_t y, m, d;
    civilFromDays(floorDiv(seconds, kSecondsPerDay), y, m, d);
    return y;
}

// --- The rule text ----------------------------------------------------------

struct Change {
    char form = 'M'; // 'M' (month.week.weekday), 'J' (1..365, no Feb 29), 'N' (0..365)
    int32_t month = 0, week = 0, weekday = 0, day = 0;
    int64_t time = 2 * 3600; // seconds after local midnight, may lie outside one day
};

struct Rule {
    std::string standardName, daylightName;
    int64_t standardOffset = 0; // seconds, universal minus local time
    int64_t daylightOffset = 0;
    bool hasDaylight = false;
    Change start, end;
};

class RuleParser {
public:
    explicit RuleParser(const char* text) : p_(text) {}

    bool parse(Rule& rule) {
        if (!name(rule.standardName) || !offset(rule.standardOffset, 24))
            return false;
        if (*p_ == 0)
            return true;
        if (!name(rule.daylightName))
            return false;
        rule.hasDaylight = true;
        rule.daylightOffset = rule.standardOffset - 3600;
        if (*p_ != ',' && *p_ != 0 && !offset(rule.daylightOffset, 24))
            return false;
        if (*p_ == 0) {
            // No rule given: the one the tz reference code assumes.
            rule.start = Change{'M', 3, 2, 0, 0, 2 * 3600};
            rule.end = Change{'M', 11, 1, 0, 0, 2 * 3600};
            return true;
        }
        if (*p_++ != ',' || !change(rule.start) || *p_++ != ',' || !change(rule.end))
            return false;
        return *p_ == 0;
    }

private:
    bool name(std::string& out) {
        if (*p_ == '<') {
            const char* close = std::strchr(p_ + 1, '>');
            if (close == nullptr || close - p_ - 1 < 1)
                return false;
            out.assign(p_ + 1, close);
            p_ = close + 1;
            return true;
        }
        const char* begin = p_;
        while (std::isalpha(static_cast<unsigned char>(*p_)))
            ++p_;
        out.assign(begin, p_);
        return out.size() >= 3;
    }

    bool digits(int64_t& value, int64_t limit) {
        if (!std::isdigit(static_cast<unsigned char>(*p_)))
            return false;
        value = 0;
        while (std::isdigit(static_cast<unsigned char>(*p_))) {
            value = value * 10 + (*p_++ - '0');
            if (value > limit)
                return false;
        }
        return true;
    }

    // [+-]hh[:mm[:ss]] in seconds.
    bool offset(int64_t& seconds, int64_t hourLimit) {
        int64_t sign = 1;
        if (*p_ == '+' || *p_ == '-')
            sign = *p_++ == '-' ? -1 : 1;
        int64_t h = 0, m = 0, s = 0;
        if (!digits(h, hourLimit))
            return false;
        if (*p_ == ':') {
            ++p_;
            if (!digits(m, 59))
                return false;
            if (*p_ == ':') {
                ++p_;
                if (!digits(s, 59))
                    return false;
            }
        }
        seconds = sign * (h * 3600 + m * 60 + s);
        return true;
    }

    bool change(Change& c) {
        int64_t a = 0, b = 0, d = 0;
        if (*p_ == 'M') {
            ++p_;
            if (!digits(a, 12) || a < 1 || *p_++ != '.' || !digits(b, 5) || b < 1 || *p_++ != '.' ||
                !digits(d, 6))
                return false;
            c = Change{'M', int32_t(a), int32_t(b), int32_t(d), 0, 2 * 3600};
        } else if (*p_ == 'J') {
            ++p_;
            if (!digits(a, 365) || a < 1)
                return false;
            c = Change{'J', 0, 0, 0, int32_t(a), 2 * 3600};
        } else {
            if (!digits(a, 365))
                return false;
            c = Change{'N', 0, 0, 0, int32_t(a), 2 * 3600};
        }
        if (*p_ == '/') {
            ++p_;
            if (!offset(c.time, 167))
                return false;
        }
        return true;
    }

    const char* p_;
};

// Day (days since 1970) on which the change falls in `year`, before its time.
int64_t changeDay(const Change& c, int64_t year) {
    const int64_t jan1 = daysFromCivil(year, 1, 1);
    if (c.form == 'J')
        return jan1 + c.day - 1 + (isLeap(year) && c.day >= 60 ? 1 : 0);
    if (c.form == 'N')
        return jan1 + c.day;
    const int64_t first = daysFromCivil(year, c.month, 1);
    const int64_t firstWeekday = (first % 7 + 11) % 7; // 1970-01-01 was a Thursday
    int64_t day = first + (c.weekday - firstWeekday + 7) % 7 + 7 * (c.week - 1);
    const int64_t next =
        c.month == 12 ? daysFromCivil(year + 1, 1, 1) : daysFromCivil(year, c.month + 1, 1);
    while (day >= next)
        day -= 7;
    return day;
}

// Universal seconds of the change in `year`; `offset` is the offset of the local
// clock the change's time is written in.
int64_t changeInstant(const Change& c, int64_t year, int64_t offset) {
    return changeDay(c, year) * kSecondsPerDay + c.time + offset;
}

// The rule's offset (universal minus local) and daylight flag at `t`.
void ruleAt(const Rule& rule, int64_t t, int64_t& offset, bool& daylight) {
    daylight = false;
    if (rule.hasDaylight) {
        const int64_t year = yearOf(t - rule.standardOffset);
        const int64_t start = changeInstant(rule.start, year, rule.standardOffset);
        const int64_t end = changeInstant(rule.end, year, rule.daylightOffset);
        daylight = start < end ? (start <= t && t < end) : !(end <= t && t < start);
    }
    offset = daylight ? rule.daylightOffset : rule.standardOffset;
}

void copyName(const std::string& name, char16_t (&out)[32]) {
    size_t i = 0;
    for (; i < name.size() && i < 31; ++i)
        out[i] = static_cast<unsigned char>(name[i]);
    out[i] = 0;
}

void fixedZone(const std::string& name, int64_t offset, TimeZoneInformation& info) {
    info = TimeZoneInformation{};
    copyName(name, info.standardName);
    info.bias = static_cast<int32_t>(offset / 60);
}

SystemTime systemTimeOf(const Change& c, int64_t year) {
    SystemTime st;
    // A time outside one day moves to the neighbouring day at the same clock time.
    const int64_t dayShift = floorDiv(c.time, kSecondsPerDay);
    const int64_t time = c.time - dayShift * kSecondsPerDay;
    st.wHour = static_cast<uint16_t>(time / 3600);
    st.wMinute = static_cast<uint16_t>(time % 3600 / 60);
    if (c.form == 'M') {
        st.wMonth = static_cast<uint16_t>(c.month);
        st.wDay = static_cast<uint16_t>(c.week);
        st.wDayOfWeek = static_cast<uint16_t>(((c.weekday + dayShift) % 7 + 7) % 7);
    } else {
        int64_t y, m, d;
        civilFromDays(changeDay(c, year) + dayShift, y, m, d);
        st.wYear = static_cast<uint16_t>(y);
        st.wMonth = static_cast<uint16_t>(m);
        st.wDay = static_cast<uint16_t>(d);
    }
    return st;
}

void mapRule(const Rule& rule, int64_t now, TimeZoneInformation& info) {
    if (!rule.hasDaylight) {
        fixedZone(rule.standardName, rule.standardOffset, info);
        return;
    }
    const int64_t year = yearOf(now - rule.standardOffset);
    const int64_t yearStart = daysFromCivil(year, 1, 1) * kSecondsPerDay + rule.standardOffset;
    const int64_t yearEnd = daysFromCivil(year + 1, 1, 1) * kSecondsPerDay + rule.standardOffset;
    if (changeInstant(rule.start, year, rule.standardOffset) <= yearStart &&
        changeInstant(rule.end, year, rule.daylightOffset) >= yearEnd) {
        fixedZone(rule.daylightName, rule.daylightOffset, info); // daylight time all year
        return;
    }
    info = TimeZoneInformation{};
    copyName(rule.standardName, info.standardName);
    copyName(rule.daylightName, info.daylightName);
    info.bias = static_cast<int32_t>(rule.standardOffset / 60);
    info.standardBias = 0;
    info.daylightBias = static_cast<int32_t>(rule.daylightOffset / 60 - rule.standardOffset / 60);
    info.daylightDate = systemTimeOf(rule.start, year);
    info.standardDate = systemTimeOf(rule.end, year);
}

// --- TZif -------------------------------------------------------------------

struct Reader {
    const std::string& data;
    size_t pos = 0;
    bool ok = true;

    uint64_t be(size_t n) {
        if (data.size() - pos < n || pos > data.size()) {
            ok = false;
            pos = data.size();
            return 0;
        }
        uint64_t v = 0;
        for (size_t i = 0; i < n; ++i)
            v = (v << 8) | static_cast<unsigned char>(data[pos++]);
        return v;
    }
    void skip(uint64_t n) {
        if (n > data.size() - pos) {
            ok = false;
            pos = data.size();
        } else {
            pos += n;
        }
    }
};

struct LocalType {
    int64_t offset; // universal minus local, seconds
    bool daylight;
    std::string name;
};

struct Counts {
    uint64_t isut, isstd, leap, time, type, chars;
};

bool header(Reader& r, char& version, Counts& c) {
    if (r.data.compare(r.pos, 4, "TZif") != 0)
        return false;
    r.skip(4);
    version = static_cast<char>(r.be(1));
    r.skip(15);
    c = Counts{r.be(4), r.be(4), r.be(4), r.be(4), r.be(4), r.be(4)};
    return r.ok && c.type > 0;
}

} // namespace

bool zoneFromPosixRule(const char* text, int64_t now, TimeZoneInformation& info) {
    Rule rule;
    if (text == nullptr || !RuleParser(text).parse(rule))
        return false;
    mapRule(rule, now, info);
    return true;
}

bool zoneFromTzif(const std::string& data, int64_t now, TimeZoneInformation& info) {
    Reader r{data};
    char version = 0;
    Counts c{};
    if (!header(r, version, c))
        return false;
    size_t timeSize = 4;
    if (version >= '2') {
        // Skip the 32-bit block; the 64-bit one after it says everything.
        r.skip(c.time * 5 + c.type * 6 + c.chars + c.leap * 8 + c.isstd + c.isut);
        if (!header(r, version, c))
            return false;
        timeSize = 8;
    }
    // Counts come from the file: never allocate for more than it holds.
    if (c.time * (timeSize + 1) + c.type * 6 + c.chars > data.size() - r.pos)
        return false;
    std::vector<int64_t> times(c.time);
    for (auto& t : times)
        t = timeSize == 8 ? static_cast<int64_t>(r.be(8))
                          : static_cast<int64_t>(static_cast<int32_t>(r.be(4)));
    std::vector<uint8_t> indices(c.time);
    for (auto& i : indices)
        i = static_cast<uint8_t>(r.be(1));
    std::vector<LocalType> types(c.type);
    std::vector<uint8_t> nameIndex(c.type);
    for (size_t i = 0; i < types.size(); ++i) {
        types[i].offset = -static_cast<int64_t>(static_cast<int32_t>(r.be(4)));
        types[i].daylight = r.be(1) != 0;
        nameIndex[i] = static_cast<uint8_t>(r.be(1));
    }
    if (!r.ok || r.data.size() - r.pos < c.chars)
        return false;
    const std::string chars = data.substr(r.pos, c.chars);
    r.skip(c.chars + c.leap * (timeSize + 4) + c.isstd + c.isut);
    for (size_t i = 0; i < types.size(); ++i) {
        const size_t at = nameIndex[i];
        types[i].name = at < chars.size() ? std::string(chars.c_str() + at) : std::string();
    }
    for (auto i : indices)
        if (i >= types.size() || !r.ok)
            return false;

    // The type in force now: type 0 before the first change.
    size_t current = 0;
    for (size_t i = 0; i < times.size() && times[i] <= now; ++i)
        current = indices[i];

    std::string footer;
    if (version >= '2' && r.pos < data.size() && data[r.pos] == '\n') {
        const size_t close = data.find('\n', r.pos + 1);
        if (close != std::string::npos)
            footer = data.substr(r.pos + 1, close - r.pos - 1);
    }
    Rule rule;
    if (!footer.empty() && RuleParser(footer.c_str()).parse(rule)) {
        // The footer holds from the table's last change on. Before that, it is
        // used only when it gives the table's offsets now and at every change of
        // this year; otherwise the rule changes within the year.
        bool agrees = times.empty() || now >= times.back();
        if (!agrees) {
            agrees = true;
            const int64_t year = yearOf(now);
            int64_t offset = 0;
            bool daylight = false;
            ruleAt(rule, now, offset, daylight);
            agrees = offset == types[current].offset && daylight == types[current].daylight;
            for (size_t i = 0; i < times.size() && agrees; ++i) {
                if (yearOf(times[i]) != year)
                    continue;
                ruleAt(rule, times[i], offset, daylight);
                agrees =
                    offset == types[indices[i]].offset && daylight == types[indices[i]].daylight;
            }
        }
        if (agrees) {
            mapRule(rule, now, info);
            return true;
        }
    }
    fixedZone(types[current].name, types[current].offset, info);
    return true;
}

void zoneFromEnvironment(const char* tzValue, const char* zoneDirectory, int64_t now,
                         TimeZoneInformation& info) {
    std::string path = "/etc/localtime";
    if (tzValue != nullptr) {
        if (*tzValue == ':')
            ++tzValue;
        else if (zoneFromPosixRule(tzValue, now, info))
            return;
        if (*tzValue == 0) {
            fixedZone("UTC", 0, info);
            return;
        }
        path = *tzValue == '/'
                   ? std::string(tzValue)
                   : std::string(zoneDirectory ? zoneDirectory : "/usr/share/zoneinfo") + "/" +
                         tzValue;
    }
    std::ifstream file(path, std::ios::binary);
    const std::string data((std::istreambuf_iterator<char>(file)),
                           std::istreambuf_iterator<char>());
    if (!file.bad() && zoneFromTzif(data, now, info))
        return;
    fixedZone("UTC", 0, info);
}

} // namespace oxsys
