// Runs the registered benchmarks, then prints each named pair's ratio of time
// per iteration (real time for a benchmark that measures real time, else CPU
// time), as "ratios (same run)". A ratio comes from the medians
// when the run has repetitions (the mean when only that was reported), else
// from the one measurement: it agrees with the figures printed above it under
// any flags. A pair whose either half did not run (filtered out, or failed) is
// left out. The ratios go to standard output after a console table, and to
// standard error after JSON or CSV, which stay readable by their tools.
#pragma once

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <string>
#include <unistd.h>
#include <vector>

namespace benchratios {

struct Pair {
    std::string label;
    std::string numerator;   // a benchmark's name as printed, without an aggregate's suffix
    std::string denominator; // the baseline
};

class RatioReporter : public benchmark::BenchmarkReporter {
public:
    RatioReporter(const std::string& format, bool color, std::vector<Pair> pairs)
        : pairs_(std::move(pairs)), tabular_(format.empty() || format == "console") {
        if (format == "json")
            inner_ = std::make_unique<benchmark::JSONReporter>();
        else if (format == "csv") {
            // Deprecated, but still what --benchmark_format=csv gives.
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wdeprecated-declarations"
            inner_ = std::make_unique<benchmark::CSVReporter>();
#pragma GCC diagnostic pop
        }
        else
            inner_ = std::make_unique<benchmark::ConsoleReporter>(
                color ? benchmark::ConsoleReporter::OO_ColorTabular
                      : benchmark::ConsoleReporter::OO_Tabular);
    }

    bool ReportContext(const Context& context) override { return inner_->ReportContext(context); }

    void ReportRuns(const std::vector<Run>& runs) override {
        for (const Run& run : runs) {
            if (run.error_occurred)
                continue;
            Times& t = times_[run.run_name.str()];
            // The time the benchmark measures by: real time when it asks for
            // it (waits on files and sockets), else the CPU time that
            // Google Benchmark itself goes by, which other processes on
            // shared cores disturb least.
            const bool real = run.run_name.time_type.find("real_time") != std::string::npos;
            const double seconds = (real ? run.GetAdjustedRealTime() : run.GetAdjustedCPUTime()) /
                                   benchmark::GetTimeUnitMultiplier(run.time_unit);
            if (run.run_type == Run::RT_Iteration)
                t.runs.push_back(seconds);
            else if (run.aggregate_name == "median")
                t.median = seconds;
            else if (run.aggregate_name == "mean")
                t.mean = seconds;
        }
        inner_->ReportRuns(runs);
    }

    void Finalize() override {
        inner_->Finalize();
        std::FILE* out = tabular_ ? stdout : stderr;
        std::fflush(stdout);
        bool header = false;
        for (const Pair& p : pairs_) {
            std::string how;
            const double a = value(p.numerator, &how);
            const double b = value(p.denominator, &how);
            if (a <= 0 || b <= 0)
                continue;
            if (!header) {
                std::fprintf(out,
                             "\nratios (same run; real time where measured, else CPU time):\n");
                header = true;
            }
            std::fprintf(out, "  %-44s %6.2fx  (%s / %s, %s)\n", p.label.c_str(), a / b,
                         p.numerator.c_str(), p.denominator.c_str(), how.c_str());
        }
        std::fflush(out);
    }

private:
    struct Times {
        std::vector<double> runs;
        double median = 0;
        double mean = 0;
    };

    // The median when there is one, else the mean, else the measurements'
    // own median (a single run: that run).
    double value(const std::string& name, std::string* how) const {
        const auto it = times_.find(name);
        if (it == times_.end())
            return 0;
        const Times& t = it->second;
        if (t.median > 0) {
            *how = "medians";
            return t.median;
        }
        if (t.mean > 0) {
            *how = "means";
            return t.mean;
        }
        if (t.runs.empty())
            return 0;
        std::vector<double> sorted = t.runs;
        std::sort(sorted.begin(), sorted.end());
        const size_t n = sorted.size();
        *how = n == 1 ? "one run each" : "medians of the runs";
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }

    std::unique_ptr<benchmark::BenchmarkReporter> inner_;
    std::vector<Pair> pairs_;
    bool tabular_;
    std::map<std::string, Times> times_;
};

// The value of a --benchmark_NAME=VALUE flag, read before Initialize takes the
// flags away.
inline std::string flagValue(int argc, char** argv, const char* name) {
    const std::string prefix = std::string("--benchmark_") + name + "=";
    std::string value;
    for (int i = 1; i < argc; ++i)
        if (std::strncmp(argv[i], prefix.c_str(), prefix.size()) == 0)
            value = argv[i] + prefix.size();
    return value;
}

// Initialize, run and shut down, with the ratios of `pairs` at the end.
inline int runWithRatios(int argc, char** argv, std::vector<Pair> pairs) {
    const std::string format = flagValue(argc, argv, "format");
    const std::string color = flagValue(argc, argv, "color");
    const bool useColor = color == "true" || color == "yes" || color == "1" ||
                          ((color.empty() || color == "auto") && isatty(1));
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter(format, useColor, std::move(pairs));
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}

} // namespace benchratios
