#pragma once

#include <QString>

#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <memory>

class QTemporaryDir;
class mainForm;

// What the window benchmarks share, so their figures are taken the same way.

// The whole main() of a window benchmark: makes the application (offscreen unless a display
// is set, without the offscreen platform's warning about size hints, one per window), runs
// the benchmarks the command line selects and says how the ratio is taken.
int runWindowBenchmarks(int argc, char** argv);

// The folder made ready as a program folder with a copy of the shipped database; false,
// with the reason printed, when the copy fails.
bool copyShippedDatabase(const QTemporaryDir& folder);

// The program on a copy of the shipped database in `folder`, loaded but not shown; null,
// with the benchmark skipped and the reason given, when the copy, `prepare` (run on the
// copy before the load) or the load fails.
std::unique_ptr<mainForm> loadedForm(benchmark::State& state, const QTemporaryDir& folder,
                                     const std::function<bool()>& prepare = {});

// Times a benchmark against its baseline, both measured in the same iterations: the
// benchmark's own time is what it reports (manual time), and the baseline's goes into the
// counters "baseline_s" (seconds per iteration) and "ratio" (own time / baseline time, over
// the same iterations), so the ratio agrees with the two times whatever the flags.
class PairedTimer {
public:
    explicit PairedTimer(benchmark::State& state) : m_state(state) {}
    ~PairedTimer();

    void own(double seconds);
    void baseline(double seconds) { m_baseline += seconds; }

private:
    benchmark::State& m_state;
    double m_own = 0;
    double m_baseline = 0;
};

// Seconds taken by `f`.
template <typename F> double secondsOf(F&& f) {
    const auto start = std::chrono::steady_clock::now();
    f();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}
