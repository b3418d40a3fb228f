#pragma once

#include <QString>

// The number texts of the step counter and the hidden number labels.

// A number with a leading position for its sign: a blank before a non-negative number,
// "-" before a negative one (1 -> " 1", 93 -> " 93", -4 -> "-4").
QString signedNumberText(qint64 n);

// The leading number of a text: leading blanks and tabs skipped, then an optional sign and
// digits; whatever follows is ignored, and a text without a number reads as 0
// (" 2" -> 2, "42abc" -> 42, "" -> 0, "x1" -> 0). Values beyond 64 bits saturate.
qint64 leadingNumber(const QString& text);
