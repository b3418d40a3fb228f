#include "statementmodel.h"

#include <cmath>
#include <vector>

namespace statementmodel {

using finance::Cents;

namespace {

Cents roundShare(Cents amount, long double numerator, long double denominator) {
    return Cents(std::llroundl(static_cast<long double>(amount) * numerator / denominator));
}

// The loan's outstanding balance after paying `payment` a month for `months`; below nought
// once it is cleared early.
long double leftAfter(Cents amount, int rateBp, int months, Cents payment) {
    Cents balance = amount;
    for (int m = 0; m < months; ++m) {
        if (balance <= 0)
            return 0;
        balance += roundShare(balance, rateBp, 120000);
        balance -= payment;
    }
    return balance < 0 ? 0 : balance;
}

// The annuity to the cent, then nudged to the smallest payment that clears the loan.
Cents payment(Cents amount, int rateBp, int years) {
    const int n = years * 12;
    const long double r = rateBp / 120000.0L;
    long double exact =
        r == 0 ? static_cast<long double>(amount) / n : amount * r / (1 - std::pow(1 + r, -n));
    Cents p = Cents(std::ceil(exact));
    while (leftAfter(amount, rateBp, n, p) > 0)
        ++p;
    while (p > 1 && leftAfter(amount, rateBp, n, p - 1) == 0)
        --p;
    return p;
}

enum Account { Cash, Equipment, Wear, Stock, Debtors, Loans, TaxOwed, Capital, Accounts };

struct Posting {
    int month; // 0: at the start; 1 to 36
    std::string what;
    Cents amount; // a profit and loss figure or a cash flow, by the `what`
};

} // namespace

Figures reckon(const finance::Inputs& in) {
    Figures f;
    const int lines = int(in.costs.size());
    Cents balances[Accounts] = {};
    // Profit and loss postings by month, and cash postings by month and kind.
    std::map<int, std::map<std::string, Cents>> pnl;
    std::map<int, std::map<std::string, Cents>> cash;
    auto cashIn = [&](int month, const std::string& kind, Cents amount) {
        cash[month][kind] += amount;
        balances[Cash] += amount;
    };

    // At the start.
    Cents lent = 0;
    for (const finance::Loan& l : in.loans)
        lent += l.amount;
    cashIn(1, "owner", in.ownerMoney);
    cashIn(1, "loans", lent);
    balances[Loans] += lent;
    balances[Capital] += in.ownerMoney + in.assetsOwned + in.stockOwned;
    cashIn(1, "assets", -in.assetsToBuy);
    cashIn(1, "stock", -in.stockToBuy);
    balances[Equipment] += in.assetsOwned + in.assetsToBuy;
    balances[Stock] += in.stockOwned + in.stockToBuy;
    Cents startBalances[Accounts];
    std::copy(balances, balances + Accounts, startBalances);

    // Year 1, month by month; the loans and the wear of the assets for all three years.
    std::vector<Cents> lateArrivals(40, 0);
    const int late = in.lateDays / 30 + (in.lateDays % 30 ? 1 : 0);
    for (int m = 1; m <= 12; ++m) {
        Cents sales = 0, direct = 0;
        for (const finance::ProductSales& p : in.products) {
            sales += p.months[m - 1];
            direct +=
                roundShare(p.months[m - 1], p.costOfSalesBp.value_or(in.costOfSalesBp), 10000);
        }
        pnl[m]["sales"] = sales;
        pnl[m]["costOfSales"] = direct;
        const Cents owedLater = roundShare(sales, in.latePayersBp, 10000);
        cashIn(m, "sales", sales - owedLater);
        balances[Debtors] += owedLater;
        lateArrivals[m + late] += owedLater;
        if (m + late <= 12) {
            // arrives within the year, posted below when its month comes
        }
        cashIn(m, "purchases", -direct);
        for (int i = 0; i < lines; ++i) {
            pnl[m]["cost" + std::to_string(i)] = in.costs[i].monthly;
            cashIn(m, "running", -in.costs[i].monthly);
        }
        balances[Capital] += sales - direct;
        for (int i = 0; i < lines; ++i)
            balances[Capital] -= in.costs[i].monthly;
    }
    for (int m = 1; m <= 12; ++m)
        if (lateArrivals[m] != 0) {
            cashIn(m, "sales", lateArrivals[m]);
            balances[Debtors] -= lateArrivals[m];
        }
    for (const finance::Loan& l : in.loans) {
        const Cents p = payment(l.amount, l.yearlyRateBp, l.years);
        f["loan." + l.name] = p;
        Cents left = l.amount;
        for (int m = 1; m <= 36 && m <= l.years * 12 && left > 0; ++m) {
            const Cents interest = roundShare(left, l.yearlyRateBp, 120000);
            Cents capital = p - interest;
            if (capital > left)
                capital = left;
            left -= capital;
            pnl[m]["interest"] += interest;
            if (m <= 12) {
                cashIn(m, "repayments", -(interest + capital));
                balances[Loans] -= capital;
                balances[Capital] -= interest;
            }
        }
    }
    const Cents equipment = in.assetsOwned + in.assetsToBuy;
    const int wearMonths = in.depreciationYears * 12;
    for (int m = 1; m <= 36 && m <= wearMonths; ++m) {
        const Cents part = equipment * m / wearMonths - equipment * (m - 1) / wearMonths;
        pnl[m]["depreciation"] += part;
        if (m <= 12) {
            balances[Wear] += part;
            balances[Capital] -= part;
        }
    }

    // The statements read back from the postings.
    auto yearOf = [&](int y, const std::string& what) {
        Cents sum = 0;
        for (int m = 12 * y + 1; m <= 12 * y + 12; ++m)
            sum += pnl[m][what];
        return sum;
    };
    auto put = [&](const std::string& period, const std::map<std::string, Cents>& p, Cents tax) {
        const Cents gross = p.at("sales") - p.at("costOfSales");
        Cents running = 0;
        for (int i = 0; i < lines; ++i) {
            running += p.at("cost" + std::to_string(i));
            f[period + ".cost" + std::to_string(i)] = p.at("cost" + std::to_string(i));
        }
        const Cents before = gross - running - p.at("depreciation") - p.at("interest");
        f[period + ".sales"] = p.at("sales");
        f[period + ".costOfSales"] = p.at("costOfSales");
        f[period + ".gross"] = gross;
        f[period + ".running"] = running;
        f[period + ".depreciation"] = p.at("depreciation");
        f[period + ".interest"] = p.at("interest");
        f[period + ".beforeTax"] = before;
        f[period + ".tax"] = tax;
        f[period + ".afterTax"] = before - tax;
        return before;
    };
    for (int m = 1; m <= 12; ++m) {
        std::map<std::string, Cents> p = pnl[m];
        p["depreciation"] += 0;
        p["interest"] += 0;
        put("pnl.m" + std::to_string(m), p, 0);
    }
    std::map<std::string, Cents> year[3];
    for (const char* what : {"sales", "costOfSales", "depreciation", "interest"})
        year[0][what] = yearOf(0, what);
    for (int i = 0; i < lines; ++i)
        year[0]["cost" + std::to_string(i)] = yearOf(0, "cost" + std::to_string(i));
    for (int y = 1; y < 3; ++y) {
        year[y] = year[0];
        const long double grow = 10000.0L + in.growthBp[y - 1];
        year[y]["sales"] = roundShare(year[y - 1]["sales"], grow, 10000);
        year[y]["costOfSales"] = roundShare(year[y - 1]["costOfSales"], grow, 10000);
        year[y]["depreciation"] = yearOf(y, "depreciation");
        year[y]["interest"] = yearOf(y, "interest");
    }
    Cents carried = 0, taxYear1 = 0;
    for (int y = 0; y < 3; ++y) {
        // Worked out without tax first, then again with it.
        Figures scratch;
        std::swap(scratch, f);
        const Cents before = put("x", year[y], 0);
        std::swap(scratch, f);
        Cents tax = 0;
        if (before - carried > 0) {
            tax = roundShare(before - carried, in.taxBp, 10000);
            carried = 0;
        } else {
            carried -= before;
        }
        put("pnl.y" + std::to_string(y + 1), year[y], tax);
        if (y == 0)
            taxYear1 = tax;
    }

    Cents opening = 0;
    for (int m = 1; m <= 12; ++m) {
        auto& c = cash[m];
        const std::string k = "cash.m" + std::to_string(m);
        f[k + ".opening"] = opening;
        f[k + ".salesReceived"] = c["sales"];
        f[k + ".owner"] = c["owner"];
        f[k + ".loans"] = c["loans"];
        f[k + ".in"] = c["sales"] + c["owner"] + c["loans"];
        f[k + ".purchases"] = -c["purchases"];
        f[k + ".running"] = -c["running"];
        f[k + ".repayments"] = -c["repayments"];
        f[k + ".assets"] = -c["assets"];
        f[k + ".stock"] = -c["stock"];
        f[k + ".out"] =
            -(c["purchases"] + c["running"] + c["repayments"] + c["assets"] + c["stock"]);
        opening += f[k + ".in"] - f[k + ".out"];
        f[k + ".closing"] = opening;
    }

    balances[TaxOwed] += taxYear1;
    balances[Capital] -= taxYear1;
    auto sheet = [&](const std::string& k, const Cents* b, Cents capitalIn) {
        f[k + ".fixed"] = b[Equipment] - b[Wear];
        f[k + ".stock"] = b[Stock];
        f[k + ".debtors"] = b[Debtors];
        f[k + ".cash"] = b[Cash];
        f[k + ".owned"] = b[Equipment] - b[Wear] + b[Stock] + b[Debtors] + b[Cash];
        f[k + ".loans"] = b[Loans];
        f[k + ".tax"] = b[TaxOwed];
        f[k + ".owed"] = b[Loans] + b[TaxOwed];
        f[k + ".ownersMoney"] = capitalIn;
        f[k + ".retained"] = b[Capital] - capitalIn;
        f[k + ".stake"] = b[Capital];
    };
    const Cents capitalIn = in.ownerMoney + in.assetsOwned + in.stockOwned;
    // The cash at the start is what the owners, lenders and purchases left before month 1.
    sheet("bs.start", startBalances, capitalIn);
    sheet("bs.end", balances, capitalIn);

    // Break-even: sales = fixed costs / (gross profit / sales), rounded up to the cent.
    const Cents yearSales = f["pnl.y1.sales"], yearGross = f["pnl.y1.gross"];
    f["be.reached"] = 0;
    for (int m = 1; m <= 12; ++m) {
        const std::string k = "pnl.m" + std::to_string(m);
        const Cents sales = f[k + ".sales"] > 0 ? f[k + ".sales"] : yearSales;
        const Cents gross = f[k + ".sales"] > 0 ? f[k + ".gross"] : yearGross;
        if (sales <= 0 || gross <= 0) {
            f["be.m" + std::to_string(m)] = -1;
            continue;
        }
        const Cents fixed = f[k + ".running"] + f[k + ".depreciation"] + f[k + ".interest"];
        __extension__ typedef __int128 Wide;
        const Wide num = static_cast<Wide>(fixed) * sales;
        const Cents needed = Cents((num + gross - 1) / gross);
        f["be.m" + std::to_string(m)] = needed;
        if (f["be.reached"] == 0 && f[k + ".sales"] > 0 && f[k + ".sales"] >= needed)
            f["be.reached"] = m;
    }
    return f;
}

} // namespace statementmodel
