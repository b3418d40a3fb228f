#include "financecalculator.h"

#include <algorithm>

namespace finance {

namespace {

// Products of two amounts need 128 bits.
__extension__ typedef __int128 Wide;

// a * num / den to the nearest cent, halves away from nought; den > 0.
Cents mulDiv(Cents a, Wide num, Wide den) {
    const Wide p = Wide(a) * num;
    const Wide q = (p >= 0 ? p + den / 2 : p - den / 2) / den;
    return Cents(q);
}

// a * num / den rounded up; a, num >= 0, den > 0.
Cents mulDivUp(Cents a, Wide num, Wide den) {
    return Cents((Wide(a) * num + den - 1) / den);
}

Cents share(Cents amount, int bp) {
    return mulDiv(amount, bp, 10000);
}

Cents monthlyInterest(Cents balance, int yearlyRateBp) {
    return mulDiv(balance, yearlyRateBp, 120000);
}

// Whether `payment` clears the loan within `months`.
bool clears(Cents amount, int rateBp, int months, Cents payment) {
    Cents balance = amount;
    for (int m = 0; m < months && balance > 0; ++m) {
        balance += monthlyInterest(balance, rateBp);
        balance -= std::min(balance, payment);
    }
    return balance == 0;
}

// Interest and capital repaid in each month of the first three years.
struct LoanMonths {
    std::array<Cents, kYears * kMonths> interest{};
    std::array<Cents, kYears * kMonths> capital{};
};

LoanMonths schedule(const Loan& loan, Cents payment) {
    LoanMonths out;
    Cents balance = loan.amount;
    const int months = std::min(loan.years * kMonths, kYears * kMonths);
    for (int m = 0; m < months && balance > 0; ++m) {
        const Cents interest = monthlyInterest(balance, loan.yearlyRateBp);
        const Cents capital = std::min(balance, payment - interest);
        out.interest[m] = interest;
        out.capital[m] = capital;
        balance -= capital;
    }
    return out;
}

// Depreciation of month m (0-based) of a cost spread over `months`.
Cents depreciation(Cents cost, int months, int m) {
    if (m >= months)
        return 0;
    return Cents(Wide(cost) * (m + 1) / months - Wide(cost) * m / months);
}

void finish(ProfitAndLoss& p) {
    p.grossProfit = p.sales - p.costOfSales;
    p.runningCosts = 0;
    for (Cents c : p.costs)
        p.runningCosts += c;
    p.profitBeforeTax = p.grossProfit - p.runningCosts - p.depreciation - p.interest;
    p.profitAfterTax = p.profitBeforeTax - p.tax;
}

void add(ProfitAndLoss& to, const ProfitAndLoss& p) {
    to.sales += p.sales;
    to.costOfSales += p.costOfSales;
    to.costs.resize(p.costs.size());
    for (std::size_t i = 0; i < p.costs.size(); ++i)
        to.costs[i] += p.costs[i];
    to.depreciation += p.depreciation;
    to.interest += p.interest;
}

} // namespace

Cents loanInstalment(Cents amount, int yearlyRateBp, int years) {
    const int months = years * kMonths;
    if (amount <= 0 || months <= 0)
        return 0;
    // The smallest whole-cent instalment that clears the loan: between the capital alone and
    // the capital with the first month's interest on all of it for every month.
    Cents low = (amount + months - 1) / months;
    Cents high = low + monthlyInterest(amount, yearlyRateBp) + 1;
    if (clears(amount, yearlyRateBp, months, low))
        return low;
    while (high - low > 1) {
        const Cents mid = low + (high - low) / 2;
        (clears(amount, yearlyRateBp, months, mid) ? high : low) = mid;
    }
    return high;
}

std::optional<Statements> calculate(const Inputs& in) {
    if (!validate(in).empty())
        return std::nullopt;
    Statements s;
    const std::size_t lines = in.costs.size();

    std::vector<LoanMonths> loans;
    Cents lent = 0;
    for (const Loan& l : in.loans) {
        const Cents payment = loanInstalment(l.amount, l.yearlyRateBp, l.years);
        s.loanInstalments.push_back(payment);
        loans.push_back(schedule(l, payment));
        lent += l.amount;
    }
    auto interestIn = [&](int m) {
        Cents sum = 0;
        for (const LoanMonths& l : loans)
            sum += l.interest[m];
        return sum;
    };
    auto capitalIn = [&](int m) {
        Cents sum = 0;
        for (const LoanMonths& l : loans)
            sum += l.capital[m];
        return sum;
    };
    const Cents assets = in.assetsOwned + in.assetsToBuy;
    const int depMonths = in.depreciationYears * kMonths;

    // Profit and loss of year 1, month by month.
    std::array<Cents, kMonths> credit{};
    for (int m = 0; m < kMonths; ++m) {
        ProfitAndLoss& p = s.months[m];
        for (const ProductSales& prod : in.products) {
            p.sales += prod.months[m];
            p.costOfSales += share(prod.months[m], prod.costOfSalesBp.value_or(in.costOfSalesBp));
        }
        p.costs.resize(lines);
        for (std::size_t i = 0; i < lines; ++i)
            p.costs[i] = in.costs[i].monthly;
        p.depreciation = depreciation(assets, depMonths, m);
        p.interest = interestIn(m);
        finish(p);
        credit[m] = share(p.sales, in.latePayersBp);
    }

    // The three years; later years grow sales and their direct costs.
    ProfitAndLoss& y1 = s.years[0];
    y1.costs.assign(lines, 0);
    for (const ProfitAndLoss& p : s.months)
        add(y1, p);
    for (int y = 1; y < kYears; ++y) {
        ProfitAndLoss& p = s.years[y];
        const ProfitAndLoss& before = s.years[y - 1];
        p.sales = mulDiv(before.sales, 10000 + in.growthBp[y - 1], 10000);
        p.costOfSales = mulDiv(before.costOfSales, 10000 + in.growthBp[y - 1], 10000);
        p.costs = y1.costs;
        for (int m = y * kMonths; m < (y + 1) * kMonths; ++m) {
            p.depreciation += depreciation(assets, depMonths, m);
            p.interest += interestIn(m);
        }
    }
    Cents losses = 0;
    for (ProfitAndLoss& p : s.years) {
        finish(p);
        const Cents taxable = p.profitBeforeTax - losses;
        losses = std::max<Cents>(0, -taxable);
        p.tax = taxable > 0 ? share(taxable, in.taxBp) : 0;
        p.profitAfterTax = p.profitBeforeTax - p.tax;
    }

    // The cash-flow budget.
    const int delay = (in.lateDays + 29) / 30;
    Cents balance = 0;
    for (int m = 0; m < kMonths; ++m) {
        CashMonth& c = s.cash[m];
        const ProfitAndLoss& p = s.months[m];
        c.opening = balance;
        c.salesReceived = p.sales - credit[m] + (m - delay >= 0 ? credit[m - delay] : 0);
        if (m == 0) {
            c.ownerMoney = in.ownerMoney;
            c.loansReceived = lent;
            c.assetsBought = in.assetsToBuy;
            c.stockBought = in.stockToBuy;
        }
        c.totalIn = c.salesReceived + c.ownerMoney + c.loansReceived;
        c.purchases = p.costOfSales;
        c.runningCosts = p.runningCosts;
        c.loanRepayments = p.interest + capitalIn(m);
        c.totalOut =
            c.purchases + c.runningCosts + c.loanRepayments + c.assetsBought + c.stockBought;
        c.closing = c.opening + c.totalIn - c.totalOut;
        balance = c.closing;
    }

    // The balance sheets.
    auto settle = [](BalanceSheet& b) {
        b.totalOwned = b.fixedAssets + b.stock + b.debtors + b.cash;
        b.totalOwed = b.loans + b.taxOwed;
        b.ownersStake = b.ownersMoney + b.retainedProfit;
    };
    BalanceSheet& open = s.opening;
    open.fixedAssets = assets;
    open.stock = in.stockOwned + in.stockToBuy;
    open.cash = in.ownerMoney + lent - in.assetsToBuy - in.stockToBuy;
    open.loans = lent;
    open.ownersMoney = in.ownerMoney + in.assetsOwned + in.stockOwned;
    settle(open);
    BalanceSheet& close = s.closing;
    close.fixedAssets = assets - y1.depreciation;
    close.stock = open.stock;
    for (int m = std::max(0, kMonths - delay); m < kMonths; ++m)
        close.debtors += credit[m];
    close.cash = balance;
    Cents repaid = 0;
    for (int m = 0; m < kMonths; ++m)
        repaid += capitalIn(m);
    close.loans = lent - repaid;
    close.taxOwed = y1.tax;
    close.ownersMoney = open.ownersMoney;
    close.retainedProfit = y1.profitAfterTax;
    settle(close);

    // Break-even: the month's fixed costs over the share of a sale left after direct costs,
    // the month's own share or, in a month without sales, year 1's.
    for (int m = 0; m < kMonths; ++m) {
        const ProfitAndLoss& p = s.months[m];
        const bool own = p.sales > 0;
        const Cents sales = own ? p.sales : y1.sales;
        const Cents gross = own ? p.grossProfit : y1.grossProfit;
        if (sales <= 0 || gross <= 0)
            continue;
        const Cents fixed = p.runningCosts + p.depreciation + p.interest;
        const Cents needed = fixed > 0 ? mulDivUp(fixed, sales, gross) : 0;
        s.breakEven.salesNeeded[m] = needed;
        if (s.breakEven.monthReached == 0 && p.sales > 0 && p.sales >= needed)
            s.breakEven.monthReached = m + 1;
    }

    Warnings& w = s.warnings;
    for (int m = 0; m < kMonths; ++m) {
        w.lowestCash = m == 0 ? s.cash[m].closing : std::min(w.lowestCash, s.cash[m].closing);
        if (s.cash[m].closing < 0)
            w.negativeCashMonths.push_back(m + 1);
    }
    w.lossEveryYear = std::all_of(s.years.begin(), s.years.end(),
                                  [](const ProfitAndLoss& p) { return p.profitBeforeTax < 0; });
    w.fundingGap = std::max<Cents>(0, in.moneyNeeded - in.ownerMoney - lent);
    w.noSales = y1.sales == 0;
    return s;
}

} // namespace finance
