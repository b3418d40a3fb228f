#pragma once

#include "financeinputs.h"
#include "financestatements.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <map>

// The statements as tables of text, the same for the Finance window and the report:
// headings, a label per row, money in the user's locale with two decimals.
namespace FinanceTables {

struct Row {
    QString label;
    QStringList cells;
    bool total = false; // a total or a result, printed in bold
};

struct Table {
    QString title;
    QStringList headings; // above the label column first
    QList<Row> rows;
};

// The actual column of the cash-flow budget, by month (1 to 12) and line.
using Actuals = std::map<std::pair<int, QString>, finance::Cents>;

// The lines of the cash-flow budget's actual column.
QString cashInLine();
QString cashOutLine();
QString closingLine();

// Years 1 to 3, then the months of year 1 in two halves.
QList<Table> profitAndLoss(const finance::Statements& s, const finance::Inputs& in);
// The months in two halves, then the budget beside the actual figures month by month.
QList<Table> cashFlow(const finance::Statements& s, const finance::Inputs& in,
                      const Actuals& actuals);
Table balanceSheet(const finance::Statements& s);
Table breakEven(const finance::Statements& s, const finance::Inputs& in);
// "Break-even is reached in month 4 (June)." or that it is not reached in year 1.
QString breakEvenSentence(const finance::Statements& s, const finance::Inputs& in);
// What the figures warn of, each a sentence; `salesRowsLeftOut` rows of the sales forecast
// could not be read.
QStringList warnings(const finance::Statements& s, const finance::Inputs& in, int salesRowsLeftOut);

} // namespace FinanceTables
