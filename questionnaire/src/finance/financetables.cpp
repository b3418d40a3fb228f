#include "financetables.h"

#include "financetext.h"

using finance::Cents;
using FinanceText::money;

namespace FinanceTables {

namespace {

QString monthHeading(int m, const finance::Inputs& in) {
    return QStringLiteral("%1 %2").arg(m).arg(FinanceText::tradingMonthHeading(m, in.firstMonth));
}

// The profit and loss lines over a set of periods.
Table pnlTable(const QString& title, const QStringList& periods,
               const QList<const finance::ProfitAndLoss*>& p, const finance::Inputs& in,
               bool withTax) {
    Table t{title, QStringList{QString()} + periods, {}};
    auto row = [&](const QString& label, auto get, bool total = false) {
        Row r{label, {}, total};
        for (const finance::ProfitAndLoss* x : p)
            r.cells << money(get(*x));
        t.rows << r;
    };
    row(QStringLiteral("Sales"), [](auto& x) { return x.sales; });
    row(QStringLiteral("Cost of sales"), [](auto& x) { return x.costOfSales; });
    row(
        QStringLiteral("Gross profit"), [](auto& x) { return x.grossProfit; }, true);
    for (std::size_t i = 0; i < in.costs.size(); ++i)
        row(QString::fromStdString(in.costs[i].name),
            [i](auto& x) { return i < x.costs.size() ? x.costs[i] : Cents(0); });
    row(QStringLiteral("Depreciation"), [](auto& x) { return x.depreciation; });
    row(QStringLiteral("Loan interest"), [](auto& x) { return x.interest; });
    row(
        QStringLiteral("Total running costs"),
        [](auto& x) { return x.runningCosts + x.depreciation + x.interest; }, true);
    row(
        QStringLiteral("Net profit before tax"), [](auto& x) { return x.profitBeforeTax; }, true);
    if (withTax) {
        row(QStringLiteral("Tax"), [](auto& x) { return x.tax; });
        row(
            QStringLiteral("Net profit after tax"), [](auto& x) { return x.profitAfterTax; }, true);
    }
    return t;
}

} // namespace

QString cashInLine() {
    return QStringLiteral("Cash in");
}
QString cashOutLine() {
    return QStringLiteral("Cash out");
}
QString closingLine() {
    return QStringLiteral("Closing balance");
}

QList<Table> profitAndLoss(const finance::Statements& s, const finance::Inputs& in) {
    QList<Table> out;
    out << pnlTable(QStringLiteral("Profit and loss, years 1 to 3"),
                    {QStringLiteral("Year 1"), QStringLiteral("Year 2"), QStringLiteral("Year 3")},
                    {&s.years[0], &s.years[1], &s.years[2]}, in, true);
    for (int half = 0; half < 2; ++half) {
        QStringList periods;
        QList<const finance::ProfitAndLoss*> p;
        for (int m = half * 6; m < half * 6 + 6; ++m) {
            periods << monthHeading(m + 1, in);
            p << &s.months[m];
        }
        out << pnlTable(QStringLiteral("Profit and loss, months %1 to %2 of year 1")
                            .arg(half * 6 + 1)
                            .arg(half * 6 + 6),
                        periods, p, in, false);
    }
    return out;
}

QList<Table> cashFlow(const finance::Statements& s, const finance::Inputs& in,
                      const Actuals& actuals) {
    QList<Table> out;
    for (int half = 0; half < 2; ++half) {
        Table t{
            QStringLiteral("Cash-flow budget, months %1 to %2").arg(half * 6 + 1).arg(half * 6 + 6),
            {QString()},
            {}};
        const int from = half * 6, to = half * 6 + 6;
        for (int m = from; m < to; ++m)
            t.headings << monthHeading(m + 1, in);
        auto row = [&](const QString& label, auto get, bool total = false, bool always = true) {
            Row r{label, {}, total};
            bool any = false;
            for (int m = from; m < to; ++m) {
                r.cells << money(get(s.cash[m]));
                any = any || get(s.cash[m]) != 0;
            }
            if (always || any)
                t.rows << r;
        };
        row(
            QStringLiteral("Opening balance"), [](auto& c) { return c.opening; }, true);
        row(QStringLiteral("Sales received"), [](auto& c) { return c.salesReceived; });
        row(
            QStringLiteral("Owners' money"), [](auto& c) { return c.ownerMoney; }, false, false);
        row(
            QStringLiteral("Loans received"), [](auto& c) { return c.loansReceived; }, false,
            false);
        row(
            QStringLiteral("Total cash in"), [](auto& c) { return c.totalIn; }, true);
        row(QStringLiteral("Stock bought to replace sales"), [](auto& c) { return c.purchases; });
        row(QStringLiteral("Running costs"), [](auto& c) { return c.runningCosts; });
        row(QStringLiteral("Loan repayments"), [](auto& c) { return c.loanRepayments; });
        row(
            QStringLiteral("Assets bought"), [](auto& c) { return c.assetsBought; }, false, false);
        row(
            QStringLiteral("Opening stock bought"), [](auto& c) { return c.stockBought; }, false,
            false);
        row(
            QStringLiteral("Total cash out"), [](auto& c) { return c.totalOut; }, true);
        row(
            QStringLiteral("Closing balance"), [](auto& c) { return c.closing; }, true);
        out << t;
    }
    Table t{QStringLiteral("Cash-flow budget and actual figures"),
            {QStringLiteral("Month"), QStringLiteral("Cash in, budget"),
             QStringLiteral("Cash in, actual"), QStringLiteral("Cash out, budget"),
             QStringLiteral("Cash out, actual"), QStringLiteral("Closing balance, budget"),
             QStringLiteral("Closing balance, actual")},
            {}};
    auto actual = [&](int m, const QString& line) {
        const auto it = actuals.find({m, line});
        return it == actuals.end() ? QString() : money(it->second);
    };
    for (int m = 1; m <= 12; ++m) {
        const finance::CashMonth& c = s.cash[m - 1];
        t.rows << Row{monthHeading(m, in),
                      {money(c.totalIn), actual(m, cashInLine()), money(c.totalOut),
                       actual(m, cashOutLine()), money(c.closing), actual(m, closingLine())}};
    }
    out << t;
    return out;
}

Table balanceSheet(const finance::Statements& s) {
    Table t{QStringLiteral("Balance sheet"),
            {QString(), QStringLiteral("Start of trading"), QStringLiteral("End of year 1")},
            {}};
    auto row = [&](const QString& label, Cents finance::BalanceSheet::*field, bool total = false) {
        t.rows << Row{label, {money(s.opening.*field), money(s.closing.*field)}, total};
    };
    row(QStringLiteral("Equipment and other assets, less depreciation"),
        &finance::BalanceSheet::fixedAssets);
    row(QStringLiteral("Stock"), &finance::BalanceSheet::stock);
    row(QStringLiteral("Owed by customers"), &finance::BalanceSheet::debtors);
    row(QStringLiteral("Cash (below nought: overdrawn)"), &finance::BalanceSheet::cash);
    row(QStringLiteral("What the business owns"), &finance::BalanceSheet::totalOwned, true);
    row(QStringLiteral("Loans still to repay"), &finance::BalanceSheet::loans);
    row(QStringLiteral("Tax owed"), &finance::BalanceSheet::taxOwed);
    row(QStringLiteral("What the business owes"), &finance::BalanceSheet::totalOwed, true);
    row(QStringLiteral("Money, assets and stock the owners put in"),
        &finance::BalanceSheet::ownersMoney);
    row(QStringLiteral("Profit kept in the business"), &finance::BalanceSheet::retainedProfit);
    row(QStringLiteral("Owners' stake"), &finance::BalanceSheet::ownersStake, true);
    t.rows << Row{QStringLiteral("What it owes plus the owners' stake"),
                  {money(s.opening.totalOwed + s.opening.ownersStake),
                   money(s.closing.totalOwed + s.closing.ownersStake)},
                  true};
    return t;
}

Table breakEven(const finance::Statements& s, const finance::Inputs& in) {
    Table t{QStringLiteral("Break-even"),
            {QStringLiteral("Month"), QStringLiteral("Sales forecast"),
             QStringLiteral("Sales needed to break even"), QStringLiteral("Covered")},
            {}};
    for (int m = 0; m < 12; ++m) {
        const auto& needed = s.breakEven.salesNeeded[m];
        const Cents sales = s.months[m].sales;
        t.rows << Row{monthHeading(m + 1, in),
                      {money(sales), needed ? money(*needed) : QStringLiteral("not reachable"),
                       needed && sales > 0 && sales >= *needed ? QStringLiteral("yes")
                                                               : QStringLiteral("no")},
                      m + 1 == s.breakEven.monthReached};
    }
    return t;
}

QString breakEvenSentence(const finance::Statements& s, const finance::Inputs& in) {
    if (s.breakEven.monthReached == 0)
        return QStringLiteral("Break-even is not reached in year 1.");
    const int m = s.breakEven.monthReached;
    const int calendar = (in.firstMonth - 1 + m - 1) % 12 + 1;
    return QStringLiteral("Break-even is reached in month %1 of trading (%2).")
        .arg(m)
        .arg(FinanceText::monthName(calendar));
}

QStringList warnings(const finance::Statements& s, const finance::Inputs& in,
                     int salesRowsLeftOut) {
    QStringList out;
    const finance::Warnings& w = s.warnings;
    if (w.noSales)
        out << QStringLiteral("There are no sales yet: fill in the sales forecast (step 42) "
                              "with a product, a month and an amount on each row.");
    if (salesRowsLeftOut > 0)
        out << QStringLiteral("%1 row(s) of the sales forecast (step 42) are left out: their "
                              "month or amount is not understood. Give the month as 1 to 12 "
                              "or its name.")
                   .arg(salesRowsLeftOut);
    if (!w.negativeCashMonths.empty()) {
        QStringList months;
        for (int m : w.negativeCashMonths)
            months << monthHeading(m, in);
        out << QStringLiteral("Cash runs out in month(s) %1: the lowest balance is %2. Put in "
                              "more money, borrow more or cut costs.")
                   .arg(months.join(QStringLiteral(", ")), money(w.lowestCash));
    }
    if (w.lossEveryYear)
        out << QStringLiteral("The business makes a loss in every one of the three years.");
    if (w.fundingGap > 0)
        out << QStringLiteral("The plan needs %1 (step 85) but the owners' money and the loans "
                              "come to %2: a funding gap of %3.")
                   .arg(money(in.moneyNeeded), money(in.moneyNeeded - w.fundingGap),
                        money(w.fundingGap));
    return out;
}

} // namespace FinanceTables
