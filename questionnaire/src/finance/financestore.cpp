#include "financestore.h"

#include "financetext.h"

#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <climits>

namespace {

// Each setting's stored name, and the member it fills.
struct Setting {
    const char* name;
    int finance::Inputs::*whole = nullptr;
    finance::Cents finance::Inputs::*money = nullptr;
};

const Setting kSettings[] = {
    {"FirstMonth", &finance::Inputs::firstMonth, nullptr},
    {"CostOfSalesBp", &finance::Inputs::costOfSalesBp, nullptr},
    {"OwnerMoneyCents", nullptr, &finance::Inputs::ownerMoney},
    {"DepreciationYears", &finance::Inputs::depreciationYears, nullptr},
    {"LatePayersBp", &finance::Inputs::latePayersBp, nullptr},
    {"LateDays", &finance::Inputs::lateDays, nullptr},
    {"TaxBp", &finance::Inputs::taxBp, nullptr},
    {"MoneyNeededCents", nullptr, &finance::Inputs::moneyNeeded},
};

const char* const kTables[] = {
    "CREATE TABLE IF NOT EXISTS FinanceSettings (Setting TEXT PRIMARY KEY, Value INTEGER)",
    "CREATE TABLE IF NOT EXISTS FinanceCosts (ID INTEGER PRIMARY KEY, CostName TEXT, "
    "MonthlyCents INTEGER)",
    "CREATE TABLE IF NOT EXISTS FinanceLoans (ID INTEGER PRIMARY KEY, LoanName TEXT, "
    "AmountCents INTEGER, YearlyRateBp INTEGER, Years INTEGER)",
    "CREATE TABLE IF NOT EXISTS FinanceProducts (ProductName TEXT PRIMARY KEY, "
    "CostOfSalesBp INTEGER)",
    "CREATE TABLE IF NOT EXISTS FinanceActuals (Month INTEGER, Line TEXT, ActualCents INTEGER, "
    "PRIMARY KEY (Month, Line))",
};

const char* const kHeadings[][3] = {
    {"FinanceSettings", "Setting", "Assumption"},
    {"FinanceSettings", "Value", "Figure (cents, hundredths of a percent, months, days or years)"},
    {"FinanceCosts", "CostName", "Running cost"},
    {"FinanceCosts", "MonthlyCents", "Each month (cents)"},
    {"FinanceLoans", "LoanName", "Loan"},
    {"FinanceLoans", "AmountCents", "Amount (cents)"},
    {"FinanceLoans", "YearlyRateBp", "Yearly interest (hundredths of a percent)"},
    {"FinanceLoans", "Years", "Years to repay"},
    {"FinanceProducts", "ProductName", "Product or service"},
    {"FinanceProducts", "CostOfSalesBp", "Cost of sales (hundredths of a percent of its sales)"},
    {"FinanceActuals", "Month", "Month of trading"},
    {"FinanceActuals", "Line", "Cash-flow line"},
    {"FinanceActuals", "ActualCents", "Actual (cents)"},
};

} // namespace

FinanceStore::FinanceStore(const QString& databasePath)
    : connection_(QStringLiteral("quillmark-finance-%1").arg(quintptr(this), 0, 16)) {
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection_);
    db.setDatabaseName(databasePath);
    // Never create a database: a missing file is an error, not an empty plan.
    db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY=0;QSQLITE_BUSY_TIMEOUT=5000"));
    if (!QFileInfo::exists(databasePath))
        error_ = QStringLiteral("%1 does not exist.").arg(databasePath);
    else if (!db.open())
        error_ = db.lastError().text();
    else
        open_ = true;
}

FinanceStore::~FinanceStore() {
    {
        QSqlDatabase db = QSqlDatabase::database(connection_, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection_);
}

bool FinanceStore::isOpen() const {
    return open_;
}

bool FinanceStore::hasTables() const {
    const QStringList tables = QSqlDatabase::database(connection_, false).tables();
    for (const char* t :
         {"FinanceSettings", "FinanceCosts", "FinanceLoans", "FinanceProducts", "FinanceActuals"})
        if (!tables.contains(QLatin1String(t)))
            return false;
    return true;
}

bool FinanceStore::ensureTables() {
    if (!isOpen())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    for (const char* sql : kTables)
        if (!q.exec(QLatin1String(sql))) {
            error_ = q.lastError().text();
            return false;
        }
    // The headings go where the grid keeps its own, when the database has that table.
    if (db.tables().contains(QStringLiteral("GridColumns"))) {
        q.prepare(QStringLiteral("INSERT OR IGNORE INTO GridColumns (TableName, ColumnName, "
                                 "Caption) VALUES (?, ?, ?)"));
        for (const auto& h : kHeadings) {
            for (int i = 0; i < 3; ++i)
                q.bindValue(i, QLatin1String(h[i]));
            if (!q.exec()) {
                error_ = q.lastError().text();
                return false;
            }
        }
    }
    return true;
}

FinanceStore::Assumptions FinanceStore::suggested() {
    Assumptions a;
    finance::Inputs& in = a.inputs;
    in.costOfSalesBp = 3000;
    in.depreciationYears = 5;
    in.lateDays = 30;
    in.taxBp = 2000;
    for (const char* name : {"Rent", "Wages", "Power and water", "Marketing", "Insurance"})
        in.costs.push_back({name, 0});
    return a;
}

FinanceStore::Assumptions FinanceStore::load() {
    if (!isOpen() || !hasTables())
        return suggested();
    Assumptions a = suggested();
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral("SELECT Setting, Value FROM FinanceSettings")))
        while (q.next()) {
            const QString name = q.value(0).toString();
            a.stored = true;
            const qint64 v = q.value(1).toLongLong();
            for (const Setting& s : kSettings)
                if (name == QLatin1String(s.name)) {
                    if (s.whole)
                        a.inputs.*s.whole = int(std::clamp<qint64>(v, INT_MIN, INT_MAX));
                    else
                        a.inputs.*s.money = v;
                }
            if (name == QLatin1String("GrowthYear2Bp"))
                a.inputs.growthBp[0] = int(v);
            if (name == QLatin1String("GrowthYear3Bp"))
                a.inputs.growthBp[1] = int(v);
        }
    if (!a.stored)
        return a;
    a.inputs.costs.clear();
    if (q.exec(QStringLiteral("SELECT CostName, MonthlyCents FROM FinanceCosts ORDER BY ID")))
        while (q.next())
            a.inputs.costs.push_back(
                {q.value(0).toString().toStdString(), finance::Cents(q.value(1).toLongLong())});
    if (q.exec(QStringLiteral(
            "SELECT LoanName, AmountCents, YearlyRateBp, Years FROM FinanceLoans ORDER BY ID")))
        while (q.next())
            a.inputs.loans.push_back({q.value(0).toString().toStdString(),
                                      finance::Cents(q.value(1).toLongLong()), q.value(2).toInt(),
                                      q.value(3).toInt()});
    if (q.exec(QStringLiteral("SELECT ProductName, CostOfSalesBp FROM FinanceProducts")))
        while (q.next())
            a.productCostOfSalesBp[q.value(0).toString()] = q.value(1).toInt();
    if (q.exec(QStringLiteral("SELECT Month, Line, ActualCents FROM FinanceActuals")))
        while (q.next())
            a.actuals[{q.value(0).toInt(), q.value(1).toString()}] = q.value(2).toLongLong();
    return a;
}

FinanceStore::GridFigures FinanceStore::readGrid(int firstMonth) {
    GridFigures g;
    if (!isOpen())
        return g;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    QSqlQuery q(db);
    q.setForwardOnly(true);
    if (q.exec(QStringLiteral(
            "SELECT ProductOrService, SalesAmount, Month FROM projections ORDER BY rowid"))) {
        while (q.next()) {
            const QString name = q.value(0).toString().simplified();
            const auto amount = FinanceText::gridMoney(q.value(1));
            const bool blank = q.value(1).isNull() || q.value(1).toString().trimmed().isEmpty();
            if (blank)
                continue; // a row the owner has not filled in
            const auto month = FinanceText::tradingMonth(q.value(2), firstMonth);
            if (!amount || !month || *amount < -finance::kMaxAmount ||
                *amount > finance::kMaxAmount) {
                ++g.salesRowsLeftOut;
                continue;
            }
            const std::string key =
                (name.isEmpty() ? QStringLiteral("Other sales") : name).toStdString();
            auto it = std::find_if(g.products.begin(), g.products.end(), [&](auto& p) {
                return QString::fromStdString(p.name).compare(QString::fromStdString(key),
                                                              Qt::CaseInsensitive) == 0;
            });
            if (it == g.products.end()) {
                g.products.push_back({key, {}, std::nullopt});
                it = g.products.end() - 1;
            }
            it->months[*month - 1] += *amount;
        }
    }
    auto sum = [&](const char* sql, finance::Cents& a, finance::Cents& b) {
        if (!q.exec(QLatin1String(sql)))
            return;
        while (q.next()) {
            a += FinanceText::gridMoney(q.value(0)).value_or(0);
            b += FinanceText::gridMoney(q.value(1)).value_or(0);
        }
    };
    sum("SELECT OwnedCost, RequiredCost FROM assets", g.assetsOwned, g.assetsToBuy);
    sum("SELECT StockCost, NeededCost FROM rawmaterials", g.stockOwned, g.stockToBuy);
    return g;
}

finance::Inputs FinanceStore::inputs(const Assumptions& a, const GridFigures& g) const {
    finance::Inputs in = a.inputs;
    in.products = g.products;
    for (finance::ProductSales& p : in.products)
        if (const auto it = a.productCostOfSalesBp.find(QString::fromStdString(p.name));
            it != a.productCostOfSalesBp.end())
            p.costOfSalesBp = it->second;
    in.assetsOwned = g.assetsOwned;
    in.assetsToBuy = g.assetsToBuy;
    in.stockOwned = g.stockOwned;
    in.stockToBuy = g.stockToBuy;
    return in;
}

bool FinanceStore::save(const Assumptions& a) {
    const auto problems = finance::validate(a.inputs);
    if (!problems.empty()) {
        error_ = QString::fromStdString(problems.front().message);
        return false;
    }
    for (const auto& [name, bp] : a.productCostOfSalesBp)
        if (bp < 0 || bp > 10000) {
            error_ = QStringLiteral("The cost of sales of %1 is not from 0 % to 100 %.").arg(name);
            return false;
        }
    if (!ensureTables())
        return false;
    QSqlDatabase db = QSqlDatabase::database(connection_);
    if (!db.transaction()) {
        error_ = db.lastError().text();
        return false;
    }
    QSqlQuery q(db);
    bool ok = true;
    auto run = [&](const QString& sql, const QVariantList& values) {
        if (!ok)
            return;
        q.prepare(sql);
        for (int i = 0; i < values.size(); ++i)
            q.bindValue(i, values[i]);
        ok = q.exec();
        if (!ok)
            error_ = q.lastError().text();
    };
    for (const char* table :
         {"FinanceSettings", "FinanceCosts", "FinanceLoans", "FinanceProducts", "FinanceActuals"})
        run(QStringLiteral("DELETE FROM %1").arg(QLatin1String(table)), {});
    const QString setting = QStringLiteral("INSERT INTO FinanceSettings VALUES (?, ?)");
    for (const Setting& s : kSettings)
        run(setting, {QLatin1String(s.name),
                      s.whole ? qint64(a.inputs.*s.whole) : qint64(a.inputs.*s.money)});
    run(setting, {QStringLiteral("GrowthYear2Bp"), a.inputs.growthBp[0]});
    run(setting, {QStringLiteral("GrowthYear3Bp"), a.inputs.growthBp[1]});
    for (const finance::CostLine& c : a.inputs.costs)
        run(QStringLiteral("INSERT INTO FinanceCosts (CostName, MonthlyCents) VALUES (?, ?)"),
            {QString::fromStdString(c.name), qint64(c.monthly)});
    for (const finance::Loan& l : a.inputs.loans)
        run(QStringLiteral("INSERT INTO FinanceLoans (LoanName, AmountCents, YearlyRateBp, "
                           "Years) VALUES (?, ?, ?, ?)"),
            {QString::fromStdString(l.name), qint64(l.amount), l.yearlyRateBp, l.years});
    for (const auto& [name, bp] : a.productCostOfSalesBp)
        run(QStringLiteral("INSERT INTO FinanceProducts VALUES (?, ?)"), {name, bp});
    for (const auto& [key, cents] : a.actuals)
        run(QStringLiteral("INSERT INTO FinanceActuals VALUES (?, ?, ?)"),
            {key.first, key.second, qint64(cents)});
    if (!ok) {
        db.rollback();
        return false;
    }
    if (!db.commit()) {
        error_ = db.lastError().text();
        db.rollback();
        return false;
    }
    return true;
}
