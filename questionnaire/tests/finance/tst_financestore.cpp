// The finance inputs in the database beside the answers, and money as the owner types it.
#include "financedocument.h"
#include "financestore.h"
#include "financetext.h"
#include "testfolder.h"

#include <QTest>
#include <QTextCursor>
#include <QTextDocument>

using finance::Cents;

class tst_FinanceStore : public QObject {
    Q_OBJECT
private slots:
    void moneyAsTyped_data() {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<qint64>("cents"); // -1: refused
        QTest::newRow("plain") << "1250" << qint64(125000);
        QTest::newRow("separators and cents") << "1,250.50" << qint64(125050);
        QTest::newRow("currency sign") << "£ 99.9" << qint64(9990);
        QTest::newRow("negative") << "-12.34" << qint64(-1234);
        QTest::newRow("empty is nought") << "  " << qint64(0);
        QTest::newRow("letters") << "twelve" << qint64(-1);
        QTest::newRow("digits then letters") << "12abc" << qint64(-1);
        QTest::newRow("three decimals") << "1.005" << qint64(-1);
        QTest::newRow("too large") << "99999999999999" << qint64(-1);
    }
    void moneyAsTyped() {
        QFETCH(QString, typed);
        QFETCH(qint64, cents);
        const auto got = FinanceText::parseMoney(typed);
        QCOMPARE(got ? qint64(*got) : qint64(-1), cents);
    }

    void sharesAndMonths() {
        QCOMPARE(FinanceText::parsePercent(QStringLiteral("12.5 %")), std::optional<int>(1250));
        QCOMPARE(FinanceText::parsePercent(QStringLiteral("1000")), std::optional<int>(100000));
        QVERIFY(!FinanceText::parsePercent(QStringLiteral("a lot")));
        QCOMPARE(FinanceText::percent(1250), QStringLiteral("12.5 %"));
        QCOMPARE(FinanceText::money(-123456789), QStringLiteral("-1,234,567.89"));
        // Names are calendar months counted from the first month of trading; numbers are
        // months of trading.
        QCOMPARE(FinanceText::tradingMonth(QStringLiteral("March"), 3), std::optional<int>(1));
        QCOMPARE(FinanceText::tradingMonth(QStringLiteral("feb"), 3), std::optional<int>(12));
        QCOMPARE(FinanceText::tradingMonth(QStringLiteral("4"), 3), std::optional<int>(4));
        QVERIFY(!FinanceText::tradingMonth(QStringLiteral("13"), 1));
        QVERIFY(!FinanceText::tradingMonth(QStringLiteral("soon"), 1));
    }

    // A database from before the finance tables: it opens, gives the suggested inputs, and
    // gets the tables and their headings on the first save; the answers and the grid's
    // tables stay exactly as they were.
    void olderDatabaseGetsTheTables() {
        TestFolder folder;
        QVERIFY(
            folder.exec({QStringLiteral("UPDATE Answers SET Answer = 'kept' WHERE AnswerID = 89"),
                         QStringLiteral("UPDATE projections SET ProductOrService = 'Bread', "
                                        "SalesAmount = 1200.5, Month = 'January' WHERE ID = 1")}));
        const QString answersBefore =
            folder.value(QStringLiteral("SELECT group_concat(quote(Answer), '|') FROM Answers"))
                .toString();
        const QString gridBefore =
            folder
                .value(QStringLiteral(
                    "SELECT group_concat(quote(ProductOrService) || quote(SalesAmount) || "
                    "quote(Month), '|') FROM projections"))
                .toString();
        {
            FinanceStore store(folder.databasePath());
            QVERIFY(store.isOpen());
            QVERIFY(!store.hasTables());
            FinanceStore::Assumptions a = store.load();
            QVERIFY(!a.stored);
            const FinanceStore::GridFigures g = store.readGrid(1);
            QCOMPARE(g.products.size(), std::size_t(1));
            QCOMPARE(g.products[0].months[0], Cents(120050));

            a.inputs.ownerMoney = 500000;
            a.inputs.costs = {{"Rent", 80000}};
            a.inputs.loans = {{"Bank", 1000000, 650, 4}};
            a.productCostOfSalesBp[QStringLiteral("Bread")] = 2500;
            a.actuals[{3, QStringLiteral("Closing balance")}] = -4200;
            QVERIFY2(store.save(a), qPrintable(store.error()));
        }
        QCOMPARE(folder.value(QStringLiteral("SELECT Caption FROM GridColumns WHERE TableName = "
                                             "'FinanceCosts' AND ColumnName = 'MonthlyCents'")),
                 QVariant(QStringLiteral("Each month (cents)")));
        QCOMPARE(
            folder.value(QStringLiteral("SELECT group_concat(quote(Answer), '|') FROM Answers"))
                .toString(),
            answersBefore);
        QCOMPARE(
            folder
                .value(QStringLiteral("SELECT group_concat(quote(ProductOrService) || "
                                      "quote(SalesAmount) || quote(Month), '|') FROM projections"))
                .toString(),
            gridBefore);

        FinanceStore again(folder.databasePath());
        const FinanceStore::Assumptions back = again.load();
        QVERIFY(back.stored);
        QCOMPARE(back.inputs.ownerMoney, Cents(500000));
        QCOMPARE(back.inputs.costs.size(), std::size_t(1));
        QCOMPARE(back.inputs.costs[0].monthly, Cents(80000));
        QCOMPARE(back.inputs.loans[0].yearlyRateBp, 650);
        QCOMPARE(back.productCostOfSalesBp.at(QStringLiteral("Bread")), 2500);
        QCOMPARE(back.actuals.at({3, QStringLiteral("Closing balance")}), Cents(-4200));
        const finance::Inputs in = again.inputs(back, again.readGrid(back.inputs.firstMonth));
        QCOMPARE(in.products[0].costOfSalesBp, std::optional<int>(2500));

        // Figures the statements cannot use are refused, and what was stored is kept.
        FinanceStore::Assumptions bad = back;
        bad.inputs.loans[0].yearlyRateBp = 100000;
        QVERIFY(!again.save(bad));
        QVERIFY(again.error().contains(QStringLiteral("interest")));
        QCOMPARE(again.load().inputs.loans[0].yearlyRateBp, 650);
    }

    // Rows of the sales forecast that cannot be read are left out and counted; blank rows
    // are not figures at all.
    void salesRowsTheGridHolds() {
        TestFolder folder;
        QVERIFY(folder.exec({
            QStringLiteral("UPDATE projections SET ProductOrService = 'Tea', SalesAmount = 10, "
                           "Month = '1' WHERE ID = 1"),
            QStringLiteral(
                "UPDATE projections SET ProductOrService = 'tea', SalesAmount = '1,000.25', "
                "Month = 'Jan' WHERE ID = 2"),
            QStringLiteral("UPDATE projections SET ProductOrService = 'Tea', SalesAmount = 5, "
                           "Month = 'someday' WHERE ID = 3"),
            QStringLiteral(
                "UPDATE projections SET ProductOrService = 'Cake', SalesAmount = 'lots', "
                "Month = '2' WHERE ID = 4"),
            QStringLiteral("UPDATE assets SET OwnedCost = 100, RequiredCost = 2500.5 WHERE ID = 1"),
            QStringLiteral("UPDATE rawmaterials SET NeededCost = 300 WHERE ID = 1"),
        }));
        FinanceStore store(folder.databasePath());
        const FinanceStore::GridFigures g = store.readGrid(1);
        QCOMPARE(g.products.size(), std::size_t(1));
        QCOMPARE(g.products[0].months[0], Cents(1000 + 100025));
        QCOMPARE(g.salesRowsLeftOut, 2);
        QCOMPARE(g.assetsOwned, Cents(10000));
        QCOMPARE(g.assetsToBuy, Cents(250050));
        QCOMPARE(g.stockToBuy, Cents(30000));
    }

    // Figures changed by hand into ones the statements cannot use never break the report:
    // it prints a note where the statements would be.
    void unusableStoredFiguresLeaveANote() {
        TestFolder folder;
        {
            FinanceStore store(folder.databasePath());
            FinanceStore::Assumptions a = store.load();
            a.inputs.loans = {{"Bank", 1000000, 650, 4}};
            QVERIFY(store.save(a));
        }
        QVERIFY(FinanceDocument::read(folder.databasePath()));
        QVERIFY(folder.exec(QStringLiteral("UPDATE FinanceLoans SET YearlyRateBp = 100000")));
        const auto figures = FinanceDocument::read(folder.databasePath());
        QVERIFY(!figures);
        QTextDocument doc;
        QTextCursor c(&doc);
        FinanceDocument::insert(c, FinanceDocument::kProfitAndLossStep, nullptr,
                                {QStringLiteral("Serif"), 10, 600});
        QVERIFY(doc.toPlainText().contains(QStringLiteral("No finance figures yet")));
    }

    void missingDatabaseIsAnError() {
        TestFolder empty(TestFolder::Empty);
        FinanceStore store(empty.databasePath());
        QVERIFY(!store.isOpen());
        QVERIFY(store.error().contains(QStringLiteral("does not exist")));
        QVERIFY(!QFileInfo::exists(empty.databasePath()));
    }
};

QTEST_MAIN(tst_FinanceStore)
#include "tst_financestore.moc"
