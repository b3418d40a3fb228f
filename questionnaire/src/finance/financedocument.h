#pragma once

#include "financestatements.h"
#include "financetables.h"

#include <QString>
#include <optional>

class QTextCursor;

// The finance statements written into a rich-text document at a cursor, as real tables and
// chart pictures, so that every view and export of the document has them: the report under
// steps 89 to 92 and the Finance window's pages.
namespace FinanceDocument {

constexpr int kProfitAndLossStep = 89;
constexpr int kCashFlowStep = 90;
constexpr int kBalanceSheetStep = 91;
constexpr int kBreakEvenStep = 92;

struct Style {
    QString fontFamily;
    double fontSize = 10;
    double textWidth = 640; // in the document's layout units, for the charts
};

struct Figures {
    finance::Inputs inputs;
    finance::Statements statements;
    FinanceTables::Actuals actuals;
    int salesRowsLeftOut = 0;
};

// What the database holds: none when no finance inputs are stored yet, or the stored ones
// cannot be used.
std::optional<Figures> read(const QString& databasePath);

// Writes the statement of `step` (89 to 92) at the cursor; nothing for other steps. Without
// figures, a note says where they are entered. The cursor ends after what was written.
void insert(QTextCursor& cursor, int step, const Figures* figures, const Style& style);

} // namespace FinanceDocument
