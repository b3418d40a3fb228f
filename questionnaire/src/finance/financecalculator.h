#pragma once

#include "financeinputs.h"
#include "financestatements.h"

#include <optional>

// Builds the finance statements from the owner's figures, in whole cents.
//
// The rules a lender's adviser will ask about:
// - Cost of sales is a share of each product's sales, rounded to the cent per product and
//   month. Stock is kept at its opening level: what is sold is bought again in the month.
// - Running costs are paid in the month; years 2 and 3 repeat year 1's lines. Sales and
//   cost of sales grow by the year's growth rate.
// - A loan arrives at the start and is repaid from month 1 in equal monthly instalments, the
//   smallest whole-cent amount that clears it in its term; interest is the outstanding
//   balance times a twelfth of the yearly rate, to the nearest cent; the last instalment
//   pays what is left.
// - Assets (owned and bought) depreciate in equal monthly parts over their years; the cents
//   are spread so that the parts add up to the cost exactly.
// - The late payers' share of a month's sales arrives whole months later (30 days a month,
//   part months counted whole); what is unpaid at the end of year 1 is owed to the business.
// - Tax is the rate on a year's profit after earlier years' losses, owed after the year.
// - The cash-flow budget opens at nought; the owners' money, the loans and the purchases
//   made at the start pass through month 1. The opening balance sheet is the position
//   after them.
namespace finance {

// The statements, or none when validate() finds a problem with the inputs.
std::optional<Statements> calculate(const Inputs& in);

// The monthly instalment that clears `amount` at `yearlyRateBp` in `years` years.
Cents loanInstalment(Cents amount, int yearlyRateBp, int years);

} // namespace finance
