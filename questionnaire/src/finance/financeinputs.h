#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The owner's figures that the finance statements are built from. Money is in whole cents
// and shares in hundredths of a percent (basis points: 1250 is 12.5 %), so that every sum
// is exact and a total is always the sum of what is printed above it.
namespace finance {

using Cents = std::int64_t;

constexpr int kMonths = 12;
constexpr int kYears = 3;
// The largest amount any one figure may hold: ten thousand million in the owner's currency.
// Sums of a few thousand such figures still fit in 64 bits, products in 128.
constexpr Cents kMaxAmount = 1'000'000'000'000;

// One product or service of the sales forecast: what it brings in each month of year 1.
struct ProductSales {
    std::string name;
    std::array<Cents, kMonths> months{};
    // Its own cost of sales as a share of its sales; none: the business's common share.
    std::optional<int> costOfSalesBp;
};

// A running cost paid every month (rent, wages, power, ...).
struct CostLine {
    std::string name;
    Cents monthly = 0;
};

// A loan received at the start of trading and repaid in equal monthly instalments.
struct Loan {
    std::string name;
    Cents amount = 0;
    int yearlyRateBp = 0;
    int years = 0;
};

struct Inputs {
    int firstMonth = 1; // calendar month of the first month of trading, 1 = January
    std::vector<ProductSales> products;
    int costOfSalesBp = 0;
    std::vector<CostLine> costs;
    Cents ownerMoney = 0; // cash the owners put in at the start
    std::vector<Loan> loans;
    Cents assetsOwned = 0; // brought into the business by the owners (step 66)
    Cents assetsToBuy = 0; // bought with cash at the start (step 66)
    int depreciationYears = 5;
    Cents stockOwned = 0;          // brought in by the owners (step 67)
    Cents stockToBuy = 0;          // bought with cash at the start (step 67)
    int latePayersBp = 0;          // share of sales paid later
    int lateDays = 0;              // how many days later
    int taxBp = 0;                 // tax on each year's profit
    std::array<int, 2> growthBp{}; // sales growth in years 2 and 3
    Cents moneyNeeded = 0;         // the total the plan asks for (step 85); 0: not given
};

// A figure the statements cannot use, with the input it belongs to.
struct InputProblem {
    enum Field {
        FirstMonth,
        CostOfSales,
        ProductCostOfSales,
        CostName,
        CostAmount,
        OwnerMoney,
        LoanAmount,
        LoanRate,
        LoanYears,
        DepreciationYears,
        Assets,
        Stock,
        LatePayers,
        LateDays,
        Tax,
        Growth,
        MoneyNeeded,
        Sales,
    };
    Field field;
    int index = 0; // which row, for the fields that have several
    std::string message;
};

// Every problem with the inputs, in the order of the fields; empty when the statements can
// be built. The calculator refuses inputs that have problems.
std::vector<InputProblem> validate(const Inputs& in);

} // namespace finance
