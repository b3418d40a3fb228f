#include "financeinputs.h"

namespace finance {

namespace {

bool amountOk(Cents c) {
    return c >= 0 && c <= kMaxAmount;
}

const char* const kAmountRange = "Enter an amount from 0 to 10,000,000,000.";

} // namespace

std::vector<InputProblem> validate(const Inputs& in) {
    std::vector<InputProblem> out;
    auto problem = [&](InputProblem::Field f, int index, const char* message) {
        out.push_back({f, index, message});
    };
    if (in.firstMonth < 1 || in.firstMonth > 12)
        problem(InputProblem::FirstMonth, 0,
                "Choose the month you start trading, January to December.");
    if (in.costOfSalesBp < 0 || in.costOfSalesBp > 10000)
        problem(InputProblem::CostOfSales, 0,
                "The cost of sales is a share of sales from 0 % to 100 %.");
    for (std::size_t i = 0; i < in.products.size(); ++i) {
        const ProductSales& p = in.products[i];
        if (p.costOfSalesBp && (*p.costOfSalesBp < 0 || *p.costOfSalesBp > 10000))
            problem(InputProblem::ProductCostOfSales, int(i),
                    "A product's cost of sales is a share of its sales from 0 % to 100 %.");
        for (Cents m : p.months)
            if (m < -kMaxAmount || m > kMaxAmount) {
                problem(InputProblem::Sales, int(i), "A month's sales are too large to work with.");
                break;
            }
    }
    for (std::size_t i = 0; i < in.costs.size(); ++i) {
        if (in.costs[i].name.empty())
            problem(InputProblem::CostName, int(i), "Give the running cost a name, such as Rent.");
        if (!amountOk(in.costs[i].monthly))
            problem(InputProblem::CostAmount, int(i),
                    "A running cost is what you pay each month: 0 or more, up to 10,000,000,000.");
    }
    if (!amountOk(in.ownerMoney))
        problem(InputProblem::OwnerMoney, 0, kAmountRange);
    for (std::size_t i = 0; i < in.loans.size(); ++i) {
        const Loan& l = in.loans[i];
        if (l.amount <= 0 || l.amount > kMaxAmount)
            problem(InputProblem::LoanAmount, int(i),
                    "A loan's amount is more than 0, up to 10,000,000,000.");
        if (l.yearlyRateBp < 0 || l.yearlyRateBp > 10000)
            problem(InputProblem::LoanRate, int(i),
                    "A loan's yearly interest rate is from 0 % to 100 %.");
        if (l.years < 1 || l.years > 30)
            problem(InputProblem::LoanYears, int(i), "A loan is repaid over 1 to 30 years.");
    }
    if (in.depreciationYears < 1 || in.depreciationYears > 50)
        problem(InputProblem::DepreciationYears, 0, "Assets wear out over 1 to 50 years.");
    if (!amountOk(in.assetsOwned) || !amountOk(in.assetsToBuy))
        problem(InputProblem::Assets, 0, "The assets' costs are from 0 to 10,000,000,000.");
    if (!amountOk(in.stockOwned) || !amountOk(in.stockToBuy))
        problem(InputProblem::Stock, 0, "The stock's costs are from 0 to 10,000,000,000.");
    if (in.latePayersBp < 0 || in.latePayersBp > 10000)
        problem(InputProblem::LatePayers, 0, "The share of sales paid later is from 0 % to 100 %.");
    if (in.lateDays < 0 || in.lateDays > 365)
        problem(InputProblem::LateDays, 0, "Late payers pay after 0 to 365 days.");
    if (in.taxBp < 0 || in.taxBp > 10000)
        problem(InputProblem::Tax, 0, "The tax rate is from 0 % to 100 % of the profit.");
    for (int g = 0; g < 2; ++g)
        if (in.growthBp[g] < -10000 || in.growthBp[g] > 100000)
            problem(InputProblem::Growth, g, "Growth is from -100 % to 1000 % a year.");
    if (!amountOk(in.moneyNeeded))
        problem(InputProblem::MoneyNeeded, 0, kAmountRange);
    return out;
}

} // namespace finance
