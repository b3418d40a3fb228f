// OString beside std::string on the same operations, in the same run.
// Each pair is named Op/OString and Op/StdString so the ratio reads off directly.
#include <oxlib/ostring.h>

#include <benchmark/benchmark.h>

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
BENCHMARK(Assign_OString)->Arg(8)->Arg(64)->Arg(1024);
BENCHMARK(Assign_StdString)->Arg(8)->Arg(64)->Arg(1024);

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

BENCHMARK_MAIN();
