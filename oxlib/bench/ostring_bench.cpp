// OString beside std::string on the same operations, in the same run.
// Each pair is named Op/OString and Op/StdString so the ratio reads off directly.
#include "benchratios.h"

#include <oxlib/ostring.h>

#include <benchmark/benchmark.h>

#include <atomic>
#include <string>

namespace {

const char* textOf(int64_t length) {
    static std::string pool(1 << 16, 'q');
    return pool.c_str() + pool.size() - static_cast<size_t>(length);
}

// --- copy (a string that stays alive, so the copy is the whole cost) -------

void Copy_OString(benchmark::State& state) {
    const OString source(textOf(state.range(0)));
    for (auto _ : state) {
        OString copy(source);
        benchmark::DoNotOptimize(copy);
    }
}
void Copy_StdString(benchmark::State& state) {
    const std::string source(textOf(state.range(0)));
    for (auto _ : state) {
        std::string copy(source);
        benchmark::DoNotOptimize(copy);
    }
}
BENCHMARK(Copy_OString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK(Copy_StdString)->Arg(8)->Arg(64)->Arg(1024);

// --- assign one string to another ------------------------------------------

void Assign_OString(benchmark::State& state) {
    const OString a(textOf(state.range(0)));
    const OString b(textOf(state.range(0) / 2 + 1));
    OString target;
    bool flip = false;
    for (auto _ : state) {
        target = flip ? a : b;
        flip = !flip;
        benchmark::DoNotOptimize(target);
    }
}
void Assign_StdString(benchmark::State& state) {
    const std::string a(textOf(state.range(0)));
    const std::string b(textOf(state.range(0) / 2 + 1));
    std::string target;
    bool flip = false;
    for (auto _ : state) {
        target = flip ? a : b;
        flip = !flip;
        benchmark::DoNotOptimize(target);
    }
}
// What sharing costs at the least: the new buffer's count goes up and the old
// one's down, both atomically, as the string's thread safety demands.
void Assign_AtomicFloor(benchmark::State& state) {
    std::atomic<int32_t> a{2}, b{2};
    bool flip = false;
    for (auto _ : state) {
        std::atomic<int32_t>& taken = flip ? a : b;
        std::atomic<int32_t>& released = flip ? b : a;
        taken.fetch_add(1, std::memory_order_relaxed);
        benchmark::DoNotOptimize(released.fetch_sub(1, std::memory_order_acq_rel));
        flip = !flip;
    }
}
BENCHMARK(Assign_OString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK(Assign_StdString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK(Assign_AtomicFloor);

// --- small appends: a short text built from a few pieces ---------------------
// Appending to a string that already owns its buffer measures the appends; the
// Build pair adds the construction, where std::string's in-object buffer spares
// it the allocation that every fresh OString makes.

void SmallAppend_OString(benchmark::State& state) {
    OString s("");
    for (auto _ : state) {
        s.assign("key");
        s.append("\\");
        s.append("Corvane Logging");
        s.append('\\');
        s.append(int32_t{42});
        benchmark::DoNotOptimize(s);
    }
}
void SmallAppend_StdString(benchmark::State& state) {
    std::string s;
    for (auto _ : state) {
        s.assign("key");
        s.append("\\");
        s.append("Corvane Logging");
        s.push_back('\\');
        s.append(std::to_string(42));
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(SmallAppend_OString);
BENCHMARK(SmallAppend_StdString);

void BuildSmall_OString(benchmark::State& state) {
    for (auto _ : state) {
        OString s("key");
        s.append("\\");
        s.append("Corvane Logging");
        s.append('\\');
        s.append(int32_t{42});
        benchmark::DoNotOptimize(s);
    }
}
void BuildSmall_StdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s("key");
        s.append("\\");
        s.append("Corvane Logging");
        s.push_back('\\');
        s.append(std::to_string(42));
        benchmark::DoNotOptimize(s);
    }
}
BENCHMARK(BuildSmall_OString);
BENCHMARK(BuildSmall_StdString);

// --- large appends: 1 MB built by 8-byte appends ----------------------------

constexpr int kMegabyteAppends = (1 << 20) / 8;

void LargeAppend_OString(benchmark::State& state) {
    for (auto _ : state) {
        OString s;
        for (int i = 0; i < kMegabyteAppends; ++i)
            s.append("01234567");
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
void LargeAppend_StdString(benchmark::State& state) {
    for (auto _ : state) {
        std::string s;
        for (int i = 0; i < kMegabyteAppends; ++i)
            s.append("01234567");
        benchmark::DoNotOptimize(s);
    }
    state.SetBytesProcessed(state.iterations() * (1 << 20));
}
BENCHMARK(LargeAppend_OString)->Unit(benchmark::kMicrosecond);
BENCHMARK(LargeAppend_StdString)->Unit(benchmark::kMicrosecond);

// --- concatenation -----------------------------------------------------------

void Concat_OString(benchmark::State& state) {
    const OString a(textOf(state.range(0)));
    const OString b(textOf(state.range(0)));
    for (auto _ : state) {
        OString c = a + b;
        benchmark::DoNotOptimize(c);
    }
}
void Concat_StdString(benchmark::State& state) {
    const std::string a(textOf(state.range(0)));
    const std::string b(textOf(state.range(0)));
    for (auto _ : state) {
        std::string c = a + b;
        benchmark::DoNotOptimize(c);
    }
}
BENCHMARK(Concat_OString)->Arg(8)->Arg(256);
BENCHMARK(Concat_StdString)->Arg(8)->Arg(256);

// --- find a text in a 4 KB haystack ------------------------------------------

std::string haystack() {
    std::string h;
    while (h.size() < 4096)
        h += "Software\\Corvane Software\\Shared Tools\\";
    return h + "Corvane Logging\\pxlogger";
}

void Find_OString(benchmark::State& state) {
    const OString h(haystack().c_str());
    const OString needle("Corvane Logging");
    for (auto _ : state)
        benchmark::DoNotOptimize(h.find(needle));
}
void Find_StdString(benchmark::State& state) {
    const std::string h = haystack();
    const std::string needle("Corvane Logging");
    for (auto _ : state)
        benchmark::DoNotOptimize(h.find(needle));
}
BENCHMARK(Find_OString);
BENCHMARK(Find_StdString);

} // namespace

int main(int argc, char** argv) {
    std::vector<benchratios::Pair> pairs;
    for (const char* n : {"8", "64", "1024"}) {
        pairs.push_back({std::string("copy ") + n + " B", std::string("Copy_OString/") + n,
                         std::string("Copy_StdString/") + n});
        pairs.push_back({std::string("assign ") + n + " B", std::string("Assign_OString/") + n,
                         std::string("Assign_StdString/") + n});
    }
    pairs.push_back({"assign 64 B / its two atomic counts", "Assign_OString/64",
                     "Assign_AtomicFloor"});
    pairs.push_back({"small appends", "SmallAppend_OString", "SmallAppend_StdString"});
    pairs.push_back({"build a small string", "BuildSmall_OString", "BuildSmall_StdString"});
    pairs.push_back({"1 MB by 8-byte appends", "LargeAppend_OString", "LargeAppend_StdString"});
    for (const char* n : {"8", "256"})
        pairs.push_back({std::string("concatenate 2 x ") + n + " B",
                         std::string("Concat_OString/") + n, std::string("Concat_StdString/") + n});
    pairs.push_back({"find in 4 KB", "Find_OString", "Find_StdString"});
    return benchratios::runWithRatios(argc, argv, pairs);
}
