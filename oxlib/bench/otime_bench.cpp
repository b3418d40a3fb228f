// The time module beside the C library on the same work, in the same run:
// Format with the event log's picture beside strftime (plus localtime_r, which
// it needs to have a broken-down time) of the equivalent format; Now beside a
// bare clock_gettime; GetOffset in a zone with daylight time and one without,
// beside localtime_r's offset.
#include <oxlib/otime.h>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <ctime>

namespace {

const char* kEventLogPicture = "M'/'d'/'yy'   'h':'mm':'sstt'    '";
const char* kEventLogStrftime = "%-m/%-d/%y   %-I:%M:%S%p    "; // glibc's unpadded forms
const char* kCetRule = "CET-1CEST,M3.5.0,M10.5.0/3";
const char* kCetZoneText = "CET,-60,CEST,-60;3,5,0/2,0,10,5,0/3,0";

void useCetForTheCLibrary() {
    setenv("TZ", kCetRule, 1);
    tzset();
}

// Instants an hour apart, as an event log's lines come: mostly the same day.
ODateTime sample(int64_t i) {
    return epoch + OTimeSpan::fromMilliseconds((1700000000 + i * 3607) * 1000);
}

void Format_EventLog_ODateTime(benchmark::State& state) {
    const OTimeZone zone{OString(kCetZoneText)};
    const OString picture(kEventLogPicture);
    int64_t i = 0;
    for (auto _ : state) {
        OString text = sample(i++ & 1023).Format(picture, zone);
        benchmark::DoNotOptimize(text);
    }
}
// Every call on another day: what the caches of the last day cannot help with.
void Format_EventLog_ODateTime_NewDayEachCall(benchmark::State& state) {
    const OTimeZone zone{OString(kCetZoneText)};
    const OString picture(kEventLogPicture);
    int64_t i = 0;
    for (auto _ : state) {
        const int64_t seconds = 1700000000 + (i++ & 1023) * 90061;
        OString text = (epoch + OTimeSpan::fromMilliseconds(seconds * 1000)).Format(picture, zone);
        benchmark::DoNotOptimize(text);
    }
}
void Format_EventLog_Strftime(benchmark::State& state) {
    useCetForTheCLibrary();
    int64_t i = 0;
    char text[64];
    for (auto _ : state) {
        const std::time_t t = static_cast<std::time_t>(1700000000 + (i++ & 1023) * 3607);
        std::tm tm{};
        localtime_r(&t, &tm);
        benchmark::DoNotOptimize(std::strftime(text, sizeof text, kEventLogStrftime, &tm));
    }
}
BENCHMARK(Format_EventLog_ODateTime);
BENCHMARK(Format_EventLog_ODateTime_NewDayEachCall);
BENCHMARK(Format_EventLog_Strftime);

void Now_ODateTime(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(ODateTime::Now());
}
void Now_ClockGettime(benchmark::State& state) {
    for (auto _ : state) {
        timespec ts{};
        clock_gettime(CLOCK_REALTIME, &ts);
        benchmark::DoNotOptimize(ts);
    }
}
BENCHMARK(Now_ODateTime);
BENCHMARK(Now_ClockGettime);

void GetOffset_DaylightZone(benchmark::State& state) {
    const OTimeZone zone{OString(kCetZoneText)};
    int64_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(zone.GetOffset(sample(i++ & 1023)));
}
void GetOffset_FixedZone(benchmark::State& state) {
    int64_t i = 0;
    for (auto _ : state)
        benchmark::DoNotOptimize(utcZone.GetOffset(sample(i++ & 1023)));
}
void GetOffset_LocaltimeR(benchmark::State& state) {
    useCetForTheCLibrary();
    int64_t i = 0;
    for (auto _ : state) {
        const std::time_t t = static_cast<std::time_t>(1700000000 + (i++ & 1023) * 3607);
        std::tm tm{};
        localtime_r(&t, &tm);
        benchmark::DoNotOptimize(tm.tm_gmtoff);
    }
}
BENCHMARK(GetOffset_DaylightZone);
BENCHMARK(GetOffset_FixedZone);
BENCHMARK(GetOffset_LocaltimeR);

} // namespace

BENCHMARK_MAIN();
