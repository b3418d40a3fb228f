#pragma once

#include "financeinputs.h"

#include <QLocale>
#include <QString>
#include <QVariant>
#include <optional>

// Money and shares as the owner reads and types them: in the user's locale with two
// decimals, as the figure grid shows them.
namespace FinanceText {

// The user's locale; the C locale (none set) has no separators, so British English stands in.
QLocale locale();

QString money(finance::Cents c);
// 1250 basis points as "12.5 %".
QString percent(int bp);

// An amount as typed: the locale's or plain digits, thousands separators, an optional
// leading currency sign, at most two decimals. Empty text is nought. None when it is not
// an amount.
std::optional<finance::Cents> parseMoney(const QString& text);
// A share as typed, "12.5", "12,5 %": at most two decimals. Empty text is nought.
std::optional<int> parsePercent(const QString& text);
// A whole number as typed. Empty text is none.
std::optional<int> parseWhole(const QString& text);

// A figure stored in one of the grid's tables: a number, or text typed as an amount.
std::optional<finance::Cents> gridMoney(const QVariant& v);

// "January" for 1.
QString monthName(int calendarMonth);
// The month of trading (1 to 12) a cell of the sales forecast's Month column names: a
// number counts from the first month of trading, a month's name (in English or the user's
// language, whole or short) is that calendar month. None when it names no month.
std::optional<int> tradingMonth(const QVariant& cell, int firstMonth);
// The heading of month m of trading: "Mar" when trading starts in March, for m = 1.
QString tradingMonthHeading(int m, int firstMonth);

} // namespace FinanceText
