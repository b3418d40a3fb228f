// libFuzzer target for the zone readers: the zone text of OTimeZone,
// the POSIX TZ rule and TZif data. Any bytes must read without a crash or
// undefined behaviour, and the zone read must answer for any date-time.
//
// Run (scripts/test.sh does this briefly):
//   build/fuzz/oxlib/fuzz/otimezone_fuzzer -max_total_time=30 build/fuzz/corpus-zone \
//       oxlib/fuzz/corpus/zone
#include "sys/posixzone.h"

#include <oxlib/otime.h>

#include <cstdint>
#include <cstdlib>
#include <string>

namespace {

void answer(const OTimeZone& zone) {
    // Ordinary instants, a year boundary, and the extremes of the day numbers.
    const ODateTime probes[] = {
        epoch,
        ODateTime(ODate(2024, 7, 1), OTimeOfDay(12, 0, 0, 0, utcZone)),
        ODateTime(ODate(1999, 12, 31), OTimeOfDay(23, 59, 59, 999, utcZone)),
        ODateTime(ODate::fromDayNumber(INT32_MAX), OTimeOfDay::fromValue(0)),
        ODateTime(ODate::fromDayNumber(INT32_MIN + 1), OTimeOfDay::fromValue(86399999)),
        ODateTime(),
    };
    for (const auto& dt : probes) {
        const bool daylight = zone.IsDaylightTime(dt);
        const int64_t offset = zone.GetOffset(dt).milliseconds();
        const int64_t expected = (daylight ? zone.daylightOffset() : zone.standardOffset()) * 60000;
        if (offset != expected)
            std::abort();
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string bytes(reinterpret_cast<const char*>(data), size);
    const std::string text = bytes.substr(0, bytes.find('\0')); // what a C string sees

    if (!text.empty())
        answer(OTimeZone(OString(text.c_str())));

    oxsys::TimeZoneInformation info;
    for (int64_t now : {int64_t{0}, int64_t{1719792000}, int64_t{-2208988800}}) {
        if (oxsys::zoneFromPosixRule(text.c_str(), now, info) && info.daylightDate.wMonth > 12)
            std::abort(); // the rule reader only ever maps months it has checked
        (void)oxsys::zoneFromTzif(bytes, now, info);
    }
    return 0;
}
