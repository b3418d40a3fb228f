// The calculator's statements against a ledger reckoned in the test, for three businesses,
// and its refusal of figures that make no sense.
#include "financecalculator.h"
#include "samplebusinesses.h"
#include "statementmodel.h"

#include <QTest>

using namespace finance;

Q_DECLARE_METATYPE(finance::Inputs)

namespace {

// The calculator's statements under the model's names.
statementmodel::Figures flatten(const Inputs& in, const Statements& s) {
    statementmodel::Figures f;
    auto pnl = [&](const std::string& k, const ProfitAndLoss& p) {
        f[k + ".sales"] = p.sales;
        f[k + ".costOfSales"] = p.costOfSales;
        f[k + ".gross"] = p.grossProfit;
        for (std::size_t i = 0; i < p.costs.size(); ++i)
            f[k + ".cost" + std::to_string(i)] = p.costs[i];
        f[k + ".running"] = p.runningCosts;
        f[k + ".depreciation"] = p.depreciation;
        f[k + ".interest"] = p.interest;
        f[k + ".beforeTax"] = p.profitBeforeTax;
        f[k + ".tax"] = p.tax;
        f[k + ".afterTax"] = p.profitAfterTax;
    };
    for (int m = 0; m < kMonths; ++m)
        pnl("pnl.m" + std::to_string(m + 1), s.months[m]);
    for (int y = 0; y < kYears; ++y)
        pnl("pnl.y" + std::to_string(y + 1), s.years[y]);
    for (int m = 0; m < kMonths; ++m) {
        const CashMonth& c = s.cash[m];
        const std::string k = "cash.m" + std::to_string(m + 1);
        f[k + ".opening"] = c.opening;
        f[k + ".salesReceived"] = c.salesReceived;
        f[k + ".owner"] = c.ownerMoney;
        f[k + ".loans"] = c.loansReceived;
        f[k + ".in"] = c.totalIn;
        f[k + ".purchases"] = c.purchases;
        f[k + ".running"] = c.runningCosts;
        f[k + ".repayments"] = c.loanRepayments;
        f[k + ".assets"] = c.assetsBought;
        f[k + ".stock"] = c.stockBought;
        f[k + ".out"] = c.totalOut;
        f[k + ".closing"] = c.closing;
    }
    auto sheet = [&](const std::string& k, const BalanceSheet& b) {
        f[k + ".fixed"] = b.fixedAssets;
        f[k + ".stock"] = b.stock;
        f[k + ".debtors"] = b.debtors;
        f[k + ".cash"] = b.cash;
        f[k + ".owned"] = b.totalOwned;
        f[k + ".loans"] = b.loans;
        f[k + ".tax"] = b.taxOwed;
        f[k + ".owed"] = b.totalOwed;
        f[k + ".ownersMoney"] = b.ownersMoney;
        f[k + ".retained"] = b.retainedProfit;
        f[k + ".stake"] = b.ownersStake;
    };
    sheet("bs.start", s.opening);
    sheet("bs.end", s.closing);
    for (int m = 0; m < kMonths; ++m)
        f["be.m" + std::to_string(m + 1)] = s.breakEven.salesNeeded[m].value_or(-1);
    f["be.reached"] = s.breakEven.monthReached;
    for (std::size_t i = 0; i < in.loans.size(); ++i)
        f["loan." + in.loans[i].name] = s.loanInstalments[i];
    return f;
}

void addSamples() {
    QTest::addColumn<Inputs>("inputs");
    QTest::newRow("bakery with stock and a loan") << samplebusinesses::bakery();
    QTest::newRow("consultancy, late payers") << samplebusinesses::consultancy();
    QTest::newRow("shop losing money") << samplebusinesses::losingShop();
}

} // namespace

class tst_FinanceCalculator : public QObject {
    Q_OBJECT
private slots:
    void everyFigureAgreesWithTheLedger_data() { addSamples(); }
    void everyFigureAgreesWithTheLedger() {
        QFETCH(Inputs, inputs);
        const auto s = calculate(inputs);
        QVERIFY(s);
        const statementmodel::Figures expected = statementmodel::reckon(inputs);
        const statementmodel::Figures got = flatten(inputs, *s);
        QStringList differences;
        for (const auto& [name, value] : expected) {
            const auto it = got.find(name);
            if (it == got.end())
                differences << QStringLiteral("%1 missing").arg(QString::fromStdString(name));
            else if (it->second != value)
                differences << QStringLiteral("%1: %2, the ledger says %3")
                                   .arg(QString::fromStdString(name))
                                   .arg(it->second)
                                   .arg(value);
        }
        QVERIFY2(differences.isEmpty(), qPrintable(differences.join(u'\n')));
        QCOMPARE(got.size(), expected.size());
    }

    void statementsHangTogether_data() { addSamples(); }
    void statementsHangTogether() {
        QFETCH(Inputs, inputs);
        const Statements s = *calculate(inputs);
        for (const BalanceSheet* b : {&s.opening, &s.closing})
            QCOMPARE(b->totalOwned, b->totalOwed + b->ownersStake);
        Cents sales = 0, before = 0, depreciation = 0;
        for (int m = 0; m < kMonths; ++m) {
            if (m > 0)
                QCOMPARE(s.cash[m].opening, s.cash[m - 1].closing);
            sales += s.months[m].sales;
            before += s.months[m].profitBeforeTax;
            depreciation += s.months[m].depreciation;
        }
        QCOMPARE(s.years[0].sales, sales);
        QCOMPARE(s.years[0].profitBeforeTax, before);
        QCOMPARE(s.years[0].depreciation, depreciation);
        QCOMPARE(s.closing.cash, s.cash[11].closing);
        QCOMPARE(s.opening.cash, s.cash[0].ownerMoney + s.cash[0].loansReceived -
                                     s.cash[0].assetsBought - s.cash[0].stockBought);
    }

    // What each business's figures warn of.
    void warnings() {
        const Statements bakery = *calculate(samplebusinesses::bakery());
        QVERIFY(bakery.warnings.negativeCashMonths.empty());
        QVERIFY(!bakery.warnings.lossEveryYear);
        QCOMPARE(bakery.warnings.fundingGap, 0);
        QVERIFY(bakery.breakEven.monthReached > 0);

        const Statements consultancy = *calculate(samplebusinesses::consultancy());
        QVERIFY(consultancy.closing.debtors > 0);        // two months of late payers
        QCOMPARE(consultancy.breakEven.monthReached, 2); // nothing sold in month 1

        const Statements shop = *calculate(samplebusinesses::losingShop());
        QVERIFY(shop.warnings.lossEveryYear);
        QVERIFY(!shop.warnings.negativeCashMonths.empty());
        QVERIFY(shop.warnings.lowestCash < 0);
        QCOMPARE(shop.warnings.fundingGap, 1'200'000 - 200'000 - 450'000);
        QCOMPARE(shop.breakEven.monthReached, 0);
    }

    // Instalments a lender's table gives: 10,000.00 over 1 year at 12 % is 888.49 a month
    // (the last one a few cents less); without interest the capital in equal parts.
    void loanInstalments_data() {
        QTest::addColumn<qint64>("amount");
        QTest::addColumn<int>("rateBp");
        QTest::addColumn<int>("years");
        QTest::addColumn<qint64>("instalment");
        QTest::newRow("12 %, 1 year") << qint64(1'000'000) << 1200 << 1 << qint64(88'849);
        QTest::newRow("no interest, rounds up") << qint64(1'000'000) << 0 << 3 << qint64(27'778);
        QTest::newRow("6 %, 25 years") << qint64(20'000'000) << 600 << 25 << qint64(128'861);
        QTest::newRow("100 %, 30 years") << qint64(100'000) << 10000 << 30 << qint64(8'334);
    }
    void loanInstalments() {
        QFETCH(qint64, amount);
        QFETCH(int, rateBp);
        QFETCH(int, years);
        QFETCH(qint64, instalment);
        QCOMPARE(loanInstalment(amount, rateBp, years), instalment);
    }

    // Figures that make no sense are refused with a message for their field; nothing is
    // calculated from them.
    void badInputIsRefused_data() {
        QTest::addColumn<Inputs>("inputs");
        QTest::addColumn<int>("field");
        auto with = [](auto change) {
            Inputs in = samplebusinesses::bakery();
            change(in);
            return in;
        };
        QTest::newRow("loan at 1000 %")
            << with([](Inputs& in) { in.loans[0].yearlyRateBp = 100000; })
            << int(InputProblem::LoanRate);
        QTest::newRow("loan over 0 years")
            << with([](Inputs& in) { in.loans[0].years = 0; }) << int(InputProblem::LoanYears);
        QTest::newRow("negative loan")
            << with([](Inputs& in) { in.loans[0].amount = -5; }) << int(InputProblem::LoanAmount);
        QTest::newRow("negative rent") << with([](Inputs& in) { in.costs[0].monthly = -100; })
                                       << int(InputProblem::CostAmount);
        QTest::newRow("unnamed cost")
            << with([](Inputs& in) { in.costs[1].name.clear(); }) << int(InputProblem::CostName);
        QTest::newRow("cost of sales 150 %")
            << with([](Inputs& in) { in.costOfSalesBp = 15000; }) << int(InputProblem::CostOfSales);
        QTest::newRow("depreciation over 0 years")
            << with([](Inputs& in) { in.depreciationYears = 0; })
            << int(InputProblem::DepreciationYears);
        QTest::newRow("negative owner's money")
            << with([](Inputs& in) { in.ownerMoney = -1; }) << int(InputProblem::OwnerMoney);
        QTest::newRow("paid after 400 days")
            << with([](Inputs& in) { in.lateDays = 400; }) << int(InputProblem::LateDays);
        QTest::newRow("month 13") << with([](Inputs& in) { in.firstMonth = 13; })
                                  << int(InputProblem::FirstMonth);
        QTest::newRow("tax 101 %")
            << with([](Inputs& in) { in.taxBp = 10100; }) << int(InputProblem::Tax);
        QTest::newRow("sales shrink by more than all")
            << with([](Inputs& in) { in.growthBp[1] = -10001; }) << int(InputProblem::Growth);
        QTest::newRow("amount past the largest")
            << with([](Inputs& in) { in.assetsToBuy = kMaxAmount + 1; })
            << int(InputProblem::Assets);
    }
    void badInputIsRefused() {
        QFETCH(Inputs, inputs);
        QFETCH(int, field);
        const auto problems = validate(inputs);
        QCOMPARE(problems.size(), std::size_t(1));
        QCOMPARE(int(problems[0].field), field);
        QVERIFY(!problems[0].message.empty());
        QVERIFY(!calculate(inputs));
    }

    // A business with no sales yet still gets statements that balance, and says so.
    void noSales() {
        Inputs in = samplebusinesses::bakery();
        in.products.clear();
        const auto s = calculate(in);
        QVERIFY(s);
        QVERIFY(s->warnings.noSales);
        QCOMPARE(s->breakEven.monthReached, 0);
        QVERIFY(!s->breakEven.salesNeeded[0]);
        QCOMPARE(s->closing.totalOwned, s->closing.totalOwed + s->closing.ownersStake);
    }
};

QTEST_GUILESS_MAIN(tst_FinanceCalculator)
#include "tst_financecalculator.moc"
