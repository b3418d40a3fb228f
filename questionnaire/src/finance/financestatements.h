#pragma once

#include "financeinputs.h"

#include <array>
#include <optional>
#include <vector>

// The statements built from the owner's figures: profit and loss for each month of year 1
// and for years 1 to 3, the cash-flow budget of year 1, the balance sheet at the start of
// trading and at the end of year 1, the break-even point, and what the figures warn of.
namespace finance {

// One period of the profit and loss statement. Tax is worked out per year: in a month's
// column it is nought and the profit after tax is the profit before it.
struct ProfitAndLoss {
    Cents sales = 0;
    Cents costOfSales = 0;
    Cents grossProfit = 0;
    std::vector<Cents> costs; // one per running cost line, in the inputs' order
    Cents runningCosts = 0;
    Cents depreciation = 0;
    Cents interest = 0;
    Cents profitBeforeTax = 0;
    Cents tax = 0;
    Cents profitAfterTax = 0;
};

// One month of the cash-flow budget.
struct CashMonth {
    Cents opening = 0;
    Cents salesReceived = 0;
    Cents ownerMoney = 0;
    Cents loansReceived = 0;
    Cents totalIn = 0;
    Cents purchases = 0; // replacing the stock sold: the month's cost of sales
    Cents runningCosts = 0;
    Cents loanRepayments = 0; // interest and capital
    Cents assetsBought = 0;
    Cents stockBought = 0;
    Cents totalOut = 0;
    Cents closing = 0;
};

// What the business owns, what it owes and the owners' stake; owns = owes + stake.
struct BalanceSheet {
    Cents fixedAssets = 0; // at cost less depreciation
    Cents stock = 0;
    Cents debtors = 0; // sales not yet paid for
    Cents cash = 0;    // below nought: an overdraft
    Cents totalOwned = 0;
    Cents loans = 0;
    Cents taxOwed = 0;
    Cents totalOwed = 0;
    Cents ownersMoney = 0; // cash, assets and stock the owners put in
    Cents retainedProfit = 0;
    Cents ownersStake = 0;
};

struct BreakEven {
    // The sales a month needs to cover all its costs; none when nothing is left of a sale
    // after its direct costs.
    std::array<std::optional<Cents>, kMonths> salesNeeded{};
    int monthReached = 0; // 1 to 12; 0: not reached in year 1
};

struct Warnings {
    std::vector<int> negativeCashMonths; // 1 to 12
    Cents lowestCash = 0;
    bool lossEveryYear = false;
    Cents fundingGap = 0; // the money needed less the money put in and lent; 0: none
    bool noSales = false;
};

struct Statements {
    std::array<ProfitAndLoss, kMonths> months;
    std::array<ProfitAndLoss, kYears> years;
    std::array<CashMonth, kMonths> cash;
    BalanceSheet opening; // at the start of trading
    BalanceSheet closing; // at the end of year 1
    BreakEven breakEven;
    Warnings warnings;
    std::vector<Cents> loanInstalments; // the monthly repayment of each loan
};

} // namespace finance
