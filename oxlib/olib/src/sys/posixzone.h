// The system zone on POSIX: a POSIX TZ rule (from `TZ` or a TZif file's footer)
// mapped onto the Windows zone record the portable code reads.
//
// What the mapping keeps: both names, both offsets in whole minutes, and a yearly
// rule of the Mm.w.d form with its change times. What it cannot keep, and how it
// falls back:
// - seconds in offsets and change times are dropped;
// - a change time outside 0:00..23:59 (M3.5.0/-1, M3.4.4/26) becomes the same
//   clock time on the weekday before or after, which is the POSIX day except in
//   months where the shifted weekday's occurrence falls in another week;
// - the Jn and n day forms become that day of the current year as a fixed date,
//   which the zone reads as "that weekday's occurrence", right this year and
//   within a few days in others;
// - a rule that keeps daylight time all year becomes a zone without daylight
//   time at the daylight offset;
// - a TZif file without a footer, or whose table shows the offsets of this year
//   disagreeing with the footer's rule (the zone's rule changes within the
//   year), becomes a fixed zone at the offset in force now;
// - a rule or file that cannot be read at all is UTC.
#pragma once

#include "osys.h"

#include <cstdint>
#include <string>

namespace oxsys {

// Parses a POSIX TZ rule ("CET-1CEST,M3.5.0,M10.5.0/3") for the year of `now`
// (seconds since 1970). False when the text is not such a rule.
bool zoneFromPosixRule(const char* rule, int64_t now, TimeZoneInformation& info);

// Reads the zone from TZif data (the whole file's bytes) as of `now`. False when
// the data is not a TZif file.
bool zoneFromTzif(const std::string& data, int64_t now, TimeZoneInformation& info);

// The zone the system uses: `tzValue` is the TZ variable (null when unset),
// `zoneDirectory` where named zones live (TZDIR, else /usr/share/zoneinfo).
void zoneFromEnvironment(const char* tzValue, const char* zoneDirectory, int64_t now,
                         TimeZoneInformation& info);

} // namespace oxsys
