// Message formatting and string look-ups, each beside a baseline of the same run.
//
// Format/*: one three-marker template with three strings. formatLogMessage
// looks the template up in the program's own table (no message library is
// loaded, as in a process without one), fills it and cleans up the line
// breaks; OMessageFormatter is the fill alone; snprintf and fmt::format are the
// same text from a format string known at compile time.
// Lookup/*: loadResourceString against the built stringres_en.so, named by a
// registry store of the run's own, beside a strlen-and-copy of the same text.
#include "benchratios.h"
#include "oresmanagerstate.h"

#include <oxlib/omessageformatter.h>
#include <oxlib/oregistry.h>
#include <oxlib/oresmanager.h>

#include <benchmark/benchmark.h>
#include <fmt/format.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

namespace {

constexpr uint32_t kBenchTemplateId = 60100;
constexpr const char* kTemplate = "Connection to %1 on port %2 failed: %3";
const char* const kHost = "reference.example.net";
const char* const kPort = "13000";
const char* const kReason = "WSA10061";

} // namespace

// The program's own string table, found through the main module.
extern "C" __attribute__((visibility("default"))) const char* oxStringTable(uint32_t id) {
    return id == kBenchTemplateId ? kTemplate : nullptr;
}

namespace {

void Format_formatLogMessage(benchmark::State& state) {
    forgetStringResources();
    OXArray<OString> strings;
    strings.add(kHost);
    strings.add(kPort);
    strings.add(kReason);
    for (auto _ : state) {
        OString text = formatLogMessage(kBenchTemplateId, 3, strings, true);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void Format_OMessageFormatter(benchmark::State& state) {
    const OString templateText(kTemplate);
    const OString host(kHost), port(kPort), reason(kReason);
    for (auto _ : state) {
        OMessageFormatter formatter(kBenchTemplateId, templateText);
        formatter.addInsert(host);
        formatter.addInsert(port);
        formatter.addInsert(reason);
        OString text = formatter.build();
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void Format_snprintf(benchmark::State& state) {
    char buffer[512];
    for (auto _ : state) {
        const int n = std::snprintf(buffer, sizeof buffer, "Connection to %s on port %s failed: %s",
                                    kHost, kPort, kReason);
        benchmark::DoNotOptimize(n);
        benchmark::DoNotOptimize(buffer);
    }
    state.SetItemsProcessed(state.iterations());
}

void Format_fmt(benchmark::State& state) {
    for (auto _ : state) {
        std::string text =
            fmt::format("Connection to {} on port {} failed: {}", kHost, kPort, kReason);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Format_snprintf);
BENCHMARK(Format_fmt);
BENCHMARK(Format_OMessageFormatter);
BENCHMARK(Format_formatLogMessage);

// A store of the run's own whose "Path" names the built message libraries.
void useBuiltLibraries() {
    static const std::string store = [] {
        std::string folder = (std::filesystem::temp_directory_path() / "oxlib-bench-XXXXXX");
        if (mkdtemp(folder.data()) == nullptr)
            return std::string();
        const std::string file = folder + "/registry.db";
        setenv("OXLIB_REGISTRY", file.c_str(), 1);
        setenv("LANG", "C", 1);
        unsetenv("LC_ALL");
        unsetenv("LC_MESSAGES");
        ORegistry("Shared Tools\\Strings", "Software\\Corvane Software\\", HKEY_LOCAL_MACHINE)
            .writeString("Path", OX_STRINGRES_DIR);
        return folder;
    }();
    forgetStringResources();
    initStringResources();
}

void Lookup_loadResourceString(benchmark::State& state) {
    useBuiltLibraries();
    if (getStringLibraryPath().isEmpty()) {
        state.SkipWithError("stringres_en did not load");
        return;
    }
    for (auto _ : state) {
        OString text = loadResourceString(34408);
        benchmark::DoNotOptimize(text);
    }
    state.SetItemsProcessed(state.iterations());
}

void Lookup_copyBaseline(benchmark::State& state) {
    const char* text = "The logging library %1 could not be loaded or started and is not used.";
    char buffer[257];
    for (auto _ : state) {
        benchmark::DoNotOptimize(text);
        const size_t n = std::strlen(text);
        std::memcpy(buffer, text, n + 1);
        OString copy(buffer);
        benchmark::DoNotOptimize(copy);
    }
    state.SetItemsProcessed(state.iterations());
}

BENCHMARK(Lookup_copyBaseline);
BENCHMARK(Lookup_loadResourceString);

} // namespace

int main(int argc, char** argv) {
    return benchratios::runWithRatios(
        argc, argv,
        {{"formatLogMessage, three markers / fmt::format", "Format_formatLogMessage", "Format_fmt"},
         {"OMessageFormatter, three markers / fmt::format", "Format_OMessageFormatter",
          "Format_fmt"},
         {"fmt::format / snprintf", "Format_fmt", "Format_snprintf"},
         {"loadResourceString / strlen and copy", "Lookup_loadResourceString",
          "Lookup_copyBaseline"}});
}
