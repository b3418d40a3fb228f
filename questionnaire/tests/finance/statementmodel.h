#pragma once

#include "financeinputs.h"

#include <map>
#include <string>

// A second reckoning of the finance statements, kept apart from the calculator: every
// transaction of the first three years is posted to a ledger of accounts, and the
// statements are read back from the postings. Figures are named "pnl.m3.sales",
// "cash.m12.closing", "bs.end.cash", "be.m4", ... so that two reckonings compare figure by
// figure.
namespace statementmodel {

using Figures = std::map<std::string, finance::Cents>;

Figures reckon(const finance::Inputs& in);

} // namespace statementmodel
