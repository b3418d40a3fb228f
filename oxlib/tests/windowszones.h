// Zone records as Windows keeps them (TIME_ZONE_INFORMATION), each beside the
// zone text of ours that stands for the same rule, for the tests that take
// Windows' own conversions and pictures as their oracle; and the step between
// Unix seconds and Windows' SYSTEMTIME that they share. The records are written
// out field by field, not derived from the texts, so the oracle stays
// independent of the zone reader under test.
#pragma once

#include <windows.h>

#include <cstdint>

// A rule's change instant as TIME_ZONE_INFORMATION holds it: the `week`-th
// (5: the last) `weekday` (0: Sunday) of `month`, at `hour`:`minute` local time.
inline SYSTEMTIME ruleDate(WORD month, WORD weekday, WORD week, WORD hour, WORD minute = 0) {
    SYSTEMTIME st{};
    st.wMonth = month;
    st.wDayOfWeek = weekday;
    st.wDay = week;
    st.wHour = hour;
    st.wMinute = minute;
    return st;
}

struct WindowsZone {
    const char* text; // ours
    TIME_ZONE_INFORMATION record;
};

// `daylightStart` is in local standard time, `standardStart` in local daylight time.
inline WindowsZone windowsZone(const char* text, LONG bias, LONG daylightBias,
                               SYSTEMTIME daylightStart = {}, SYSTEMTIME standardStart = {}) {
    WindowsZone zone{text, {}};
    zone.record.Bias = bias;
    zone.record.DaylightBias = daylightBias;
    zone.record.DaylightDate = daylightStart;
    zone.record.StandardDate = standardStart;
    return zone;
}

inline const WindowsZone kUtcZone = windowsZone("UTC,0", 0, 0);
// The default rule: first Sunday of April to the last of October.
inline const WindowsZone kEstZone =
    windowsZone("EST,300,EDT", 300, -60, ruleDate(4, 0, 1, 2), ruleDate(10, 0, 5, 2));
inline const WindowsZone kCetZone = windowsZone("CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0", -60, -60,
                                                ruleDate(3, 0, 5, 2), ruleDate(10, 0, 5, 3));
// Daylight time from October into April of the next year.
inline const WindowsZone kAestZone = windowsZone("AEST,-600,AEDT,-60;10,1,0/2,0,4,1,0/3,0", -600,
                                                 -60, ruleDate(10, 0, 1, 2), ruleDate(4, 0, 1, 3));
// Half-hour offsets and a rule on a Friday past midnight's hour.
inline const WindowsZone kIstZone = windowsZone("IST,-330,IDT,-30;3,4,5/1,30,10,5,0/2,0", -330, -30,
                                                ruleDate(3, 5, 4, 1, 30), ruleDate(10, 0, 5, 2));

inline SYSTEMTIME systemTimeOf(int64_t unixSeconds) {
    ULARGE_INTEGER ticks;
    ticks.QuadPart = static_cast<ULONGLONG>(unixSeconds + 11644473600LL) * 10000000ULL;
    FILETIME file{ticks.LowPart, ticks.HighPart};
    SYSTEMTIME st{};
    FileTimeToSystemTime(&file, &st);
    return st;
}

inline int64_t unixSecondsOf(const SYSTEMTIME& st) {
    FILETIME file{};
    SystemTimeToFileTime(&st, &file);
    ULARGE_INTEGER ticks{{file.dwLowDateTime, file.dwHighDateTime}};
    return static_cast<int64_t>(ticks.QuadPart / 10000000ULL) - 11644473600LL;
}
