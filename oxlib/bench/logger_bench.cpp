// The logger beside spdlog: logLevel after start-up, logEvent with no library
// bound (beside spdlog's null sink), and logEvent to pxlogger's file (beside
// spdlog's basic file sink).
//
// The process's logger starts once, so the bound case runs in a second process:
// this program runs the unbound benchmarks, then itself again with
// OX_LOGGER_BENCH_BOUND set, where pxlogger is bound and spdlog's file sink
// measured beside it. Each process prints its own baseline.
#include <oxlib/olog.h>
#include <oxlib/ologimp.h>
#include <oxlib/oregistry.h>

#include "benchratios.h"
#include "sys/osys.h"

#include <benchmark/benchmark.h>
#include <spdlog/sinks/basic_file_sink.h>
#include <spdlog/sinks/null_sink.h>
#include <spdlog/spdlog.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {

constexpr uint32_t kMessageId = 34402; // "The logging library %1 did not accept ..."
std::string g_folder;

void BM_LogLevel(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(logLevel());
    state.SetItemsProcessed(state.iterations());
}

void BM_LogEventNoLibrary(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            logEvent(EVENTLOG_INFORMATION_TYPE, 3, kMessageId, "library", "42"));
    state.SetItemsProcessed(state.iterations());
}

void BM_SpdlogNullSink(benchmark::State& state) {
    auto logger =
        std::make_shared<spdlog::logger>("null", std::make_shared<spdlog::sinks::null_sink_mt>());
    for (auto _ : state)
        logger->info("The logging library {} did not accept an event, or failed while taking it.{}",
                     "library", "42");
    state.SetItemsProcessed(state.iterations());
}

void BM_LogEventPxloggerFile(benchmark::State& state) {
    for (auto _ : state)
        benchmark::DoNotOptimize(
            logEvent(EVENTLOG_INFORMATION_TYPE, 3, kMessageId, "library", "42"));
    state.SetItemsProcessed(state.iterations());
}

void BM_SpdlogBasicFileSink(benchmark::State& state) {
    auto logger = std::make_shared<spdlog::logger>(
        "file", std::make_shared<spdlog::sinks::basic_file_sink_mt>(g_folder + "/spdlog.log"));
    for (auto _ : state)
        logger->info("The logging library {} did not accept an event, or failed while taking it.{}",
                     "library", "42");
    state.SetItemsProcessed(state.iterations());
}

std::string makeFolder() {
    char pattern[] = "/tmp/logger-bench-XXXXXX";
    return mkdtemp(pattern) ? std::string(pattern) : std::string("/tmp");
}

// A store of the benchmark's own: the message texts, and pxlogger when bound.
void configure(bool bound) {
    setenv("OXLIB_REGISTRY", (g_folder + "/registry.db").c_str(), 1);
    const ORegistry strings("Shared Tools\\Strings", "Software\\Corvane Software\\",
                            HKEY_LOCAL_MACHINE);
    strings.writeString("Path", OX_STRINGRES_DIR);
    if (bound) {
        const ORegistry px("pxlogger", "Software\\Corvane Software\\Corvane Logging\\",
                           HKEY_LOCAL_MACHINE);
        px.writeString("DLLPath", OX_PXLOGGER);
        px.writeString("LogFile", (g_folder + "/px.log").c_str());
    }
    std::filesystem::current_path(g_folder); // event.log, if anything goes wrong
    logLevel();
}

} // namespace

int main(int argc, char** argv) {
    const bool bound = std::getenv("OX_LOGGER_BENCH_BOUND") != nullptr;
    g_folder = makeFolder();
    configure(bound);
    if (bound) {
        if (theLogger.bindingCount() != 1) {
            std::fprintf(stderr, "pxlogger is not bound\n");
            return 1;
        }
        benchmark::RegisterBenchmark("LogEvent/pxlogger file", BM_LogEventPxloggerFile);
        benchmark::RegisterBenchmark("spdlog/basic file sink (baseline)", BM_SpdlogBasicFileSink);
    } else {
        benchmark::RegisterBenchmark("LogLevel/after start-up", BM_LogLevel);
        benchmark::RegisterBenchmark("LogEvent/no library bound", BM_LogEventNoLibrary);
        benchmark::RegisterBenchmark("spdlog/null sink (baseline)", BM_SpdlogNullSink);
    }
    // Initialize takes the --benchmark_* flags out of argv; the bound half
    // gets them all the same.
    std::vector<char*> arguments(argv, argv + argc);
    arguments.push_back(nullptr);
    if (bound)
        benchratios::runWithRatios(
            argc, argv,
            {{"logEvent to pxlogger's file / spdlog's file sink", "LogEvent/pxlogger file",
              "spdlog/basic file sink (baseline)"}});
    else
        benchratios::runWithRatios(argc, argv,
                                   {{"logEvent, no library bound / spdlog's null sink",
                                     "LogEvent/no library bound", "spdlog/null sink (baseline)"}});
    std::fflush(stdout);
    int status = 0;
    if (!bound) {
        // The same program, bound to pxlogger, with the same arguments.
        const pid_t child = fork();
        if (child == 0) {
            setenv("OX_LOGGER_BENCH_BOUND", "1", 1);
            execv("/proc/self/exe", arguments.data());
            _exit(127);
        }
        waitpid(child, &status, 0);
    }
    std::error_code ignored;
    std::filesystem::current_path("/");
    std::filesystem::remove_all(g_folder, ignored);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 1;
}
