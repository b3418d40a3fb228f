#include "numbertext.h"

#include <limits>

QString signedNumberText(qint64 n) {
    const QString digits = QString::number(n);
    return n < 0 ? digits : QLatin1Char(' ') + digits;
}

qint64 leadingNumber(const QString& text) {
    qsizetype i = 0;
    while (i < text.size() && (text[i] == QLatin1Char(' ') || text[i] == QLatin1Char('\t')))
        ++i;
    bool negative = false;
    if (i < text.size() && (text[i] == QLatin1Char('-') || text[i] == QLatin1Char('+'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    constexpr qint64 Max = std::numeric_limits<qint64>::max();
    qint64 value = 0;
    for (; i < text.size() && text[i] >= QLatin1Char('0') && text[i] <= QLatin1Char('9'); ++i) {
        const int digit = text[i].unicode() - '0';
        value = value > (Max - digit) / 10 ? Max : value * 10 + digit;
    }
    return negative ? -value : value;
}
