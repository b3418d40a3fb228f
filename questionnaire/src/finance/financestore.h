#pragma once

#include "financeinputs.h"

#include <QList>
#include <QString>
#include <map>
#include <optional>

// The finance inputs kept in "0002.mdb" beside the answers, in tables of their own
// (FinanceSettings, FinanceCosts, FinanceLoans, FinanceProducts, FinanceActuals) whose
// columns have headings in words in GridColumns. A database made before them gets them the
// first time they are written; reading one without them gives the suggested inputs. The
// answers and the grid's tables are only read, never written.
//
// Money is stored in whole cents and shares in hundredths of a percent, so that what is
// read back is exactly what was typed.
class FinanceStore {
public:
    // The sales forecast, assets and stock as the grid holds them, turned into inputs.
    struct GridFigures {
        std::vector<finance::ProductSales> products;
        finance::Cents assetsOwned = 0;
        finance::Cents assetsToBuy = 0;
        finance::Cents stockOwned = 0;
        finance::Cents stockToBuy = 0;
        // Rows of the sales forecast with an amount whose month or amount is not understood.
        int salesRowsLeftOut = 0;
    };

    // The owner's own inputs: what the Finance window edits.
    struct Assumptions {
        finance::Inputs inputs;                      // without the grid's figures
        std::map<QString, int> productCostOfSalesBp; // by product name
        // The cash-flow budget's actual column, by month (1 to 12) and line.
        std::map<std::pair<int, QString>, finance::Cents> actuals;
        bool stored = false; // false: nothing stored yet, the suggested inputs
    };

    explicit FinanceStore(const QString& databasePath);
    ~FinanceStore();
    FinanceStore(const FinanceStore&) = delete;
    FinanceStore& operator=(const FinanceStore&) = delete;

    // False when the file cannot be opened; error() says why.
    bool isOpen() const;
    QString error() const { return error_; }

    static Assumptions suggested();
    // What is stored, or the suggested inputs when nothing is.
    Assumptions load();
    GridFigures readGrid(int firstMonth);
    // The stored inputs with the grid's figures: what the statements are built from.
    finance::Inputs inputs(const Assumptions& a, const GridFigures& g) const;

    // Writes everything in one transaction, creating the tables when missing. Refuses
    // (false, error() says why) inputs that validate() finds fault with, so the report never
    // meets figures it cannot use; what was stored before is then kept.
    bool save(const Assumptions& a);

    // Creates the finance tables and their headings when missing.
    bool ensureTables();
    bool hasTables() const;

private:
    QString connection_;
    QString error_;
    bool open_ = false;
};
