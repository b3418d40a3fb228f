// Recomputing every finance statement after one input changes, for a large plan: 24
// products over 12 months, 40 running cost lines and three loans. The baseline, measured in
// the same run, is the raw arithmetic of the same figures: each month's sales, cost of
// sales and running costs summed in plain loops, without the statements around them.

#include "financecalculator.h"

#include <benchmark/benchmark.h>

#include <cstdio>
#include <map>
#include <string>

namespace {

finance::Inputs largePlan() {
    finance::Inputs in;
    in.firstMonth = 4;
    for (int p = 0; p < 24; ++p) {
        finance::ProductSales s{"Product " + std::to_string(p + 1), {}, std::nullopt};
        for (int m = 0; m < 12; ++m)
            s.months[m] = 100'000 + p * 3'217 + m * 1'009;
        if (p % 4 == 0)
            s.costOfSalesBp = 2000 + p * 50;
        in.products.push_back(s);
    }
    in.costOfSalesBp = 3500;
    for (int c = 0; c < 40; ++c)
        in.costs.push_back({"Cost " + std::to_string(c + 1), 10'000 + c * 777});
    in.ownerMoney = 5'000'000;
    in.loans = {
        {"Bank", 10'000'000, 675, 10}, {"Equipment", 2'500'000, 899, 5}, {"Family", 500'000, 0, 3}};
    in.assetsOwned = 300'000;
    in.assetsToBuy = 4'500'000;
    in.stockToBuy = 750'000;
    in.latePayersBp = 2500;
    in.lateDays = 45;
    in.taxBp = 2100;
    in.growthBp = {1000, 500};
    in.moneyNeeded = 20'000'000;
    return in;
}

// The whole statements after the rent changes.
void BM_RecomputeAfterOneChange(benchmark::State& state) {
    finance::Inputs in = largePlan();
    finance::Cents rent = 120'000;
    for (auto _ : state) {
        in.costs[0].monthly = ++rent;
        auto s = finance::calculate(in);
        benchmark::DoNotOptimize(s);
    }
}

// The same figures summed bare: sales, cost of sales and running costs of each month.
void BM_RawArithmetic(benchmark::State& state) {
    finance::Inputs in = largePlan();
    finance::Cents rent = 120'000;
    for (auto _ : state) {
        in.costs[0].monthly = ++rent;
        finance::Cents profit[12] = {};
        for (int m = 0; m < 12; ++m) {
            for (const finance::ProductSales& p : in.products) {
                const finance::Cents sales = p.months[m];
                profit[m] += sales - sales * p.costOfSalesBp.value_or(in.costOfSalesBp) / 10000;
            }
            for (const finance::CostLine& c : in.costs)
                profit[m] -= c.monthly;
        }
        benchmark::DoNotOptimize(profit);
        benchmark::ClobberMemory();
    }
}

BENCHMARK(BM_RawArithmetic)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_RecomputeAfterOneChange)->Unit(benchmark::kMicrosecond);

// Prints the runs as usual and, at the end, the recompute against the baseline and the
// 5 ms budget. Both figures are real time per iteration in microseconds.
class RatioReporter : public benchmark::ConsoleReporter {
public:
    void ReportRuns(const std::vector<Run>& runs) override {
        ConsoleReporter::ReportRuns(runs);
        for (const Run& r : runs)
            if (!r.error_occurred && r.run_type == Run::RT_Iteration)
                times[r.run_name.function_name] = r.GetAdjustedRealTime();
    }
    void Finalize() override {
        ConsoleReporter::Finalize();
        const double raw = times["BM_RawArithmetic"];
        const double all = times["BM_RecomputeAfterOneChange"];
        std::printf("\nratios (same run)\n");
        if (raw > 0 && all > 0)
            std::printf("  all statements / raw arithmetic: %.1fx (%.1f us against %.2f us)\n",
                        all / raw, all, raw);
        if (all > 0)
            std::printf("  all statements / 5 ms budget:    %.4f\n", all / 5000.0);
    }
    std::map<std::string, double> times;
};

} // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv))
        return 1;
    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks(&reporter);
    benchmark::Shutdown();
    return 0;
}
