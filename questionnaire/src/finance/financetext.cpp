#include "financetext.h"

#include <cmath>

namespace FinanceText {

namespace {

// Digits with at most `decimals` decimals after the point, as a whole number of units of
// the last decimal; `text` has been cleared of separators and signs.
std::optional<qint64> fixedPoint(QString text, QChar point, int decimals, qint64 limit) {
    if (text.isEmpty())
        return std::nullopt;
    QString whole = text, fraction;
    if (const qsizetype at = text.indexOf(point); at >= 0) {
        whole = text.left(at);
        fraction = text.mid(at + 1);
    }
    if ((whole.isEmpty() && fraction.isEmpty()) || fraction.size() > decimals)
        return std::nullopt;
    for (const QString* part : {&whole, &fraction})
        for (QChar c : *part)
            if (c < u'0' || c > u'9')
                return std::nullopt;
    qint64 value = 0;
    for (QChar c : whole) {
        value = value * 10 + (c.unicode() - u'0');
        if (value > limit)
            return std::nullopt;
    }
    for (int i = 0; i < decimals; ++i)
        value = value * 10 + (i < fraction.size() ? fraction[i].unicode() - u'0' : 0);
    return value;
}

struct Signed {
    bool negative = false;
    QString digits;
};

Signed strip(const QString& typed, const QLocale& l, bool allowCurrency) {
    Signed s;
    QString t = typed.trimmed();
    if (allowCurrency) {
        const QString symbol = l.currencySymbol();
        for (const QString& sign :
             {symbol, QStringLiteral("$"), QStringLiteral("£"), QStringLiteral("€")})
            if (!sign.isEmpty()) {
                if (t.startsWith(sign))
                    t = t.mid(sign.size()).trimmed();
                if (t.endsWith(sign))
                    t.chop(sign.size());
            }
        t = t.trimmed();
    }
    if (t.startsWith(u'-') || t.startsWith(l.negativeSign())) {
        s.negative = true;
        t = t.mid(1);
    } else if (t.startsWith(u'(') && t.endsWith(u')')) {
        s.negative = true;
        t = t.mid(1, t.size() - 2);
    }
    t.remove(l.groupSeparator());
    t.remove(u' ');
    t.remove(QChar(0x00A0));
    t.remove(QChar(0x202F));
    s.digits = t.trimmed();
    return s;
}

} // namespace

QLocale locale() {
    const QLocale system;
    return system.language() == QLocale::C ? QLocale(QLocale::English, QLocale::UnitedKingdom)
                                           : system;
}

QString money(finance::Cents c) {
    const QLocale l = locale();
    const finance::Cents a = c < 0 ? -c : c;
    QString text = l.toString(qlonglong(a / 100)) + l.decimalPoint() +
                   QStringLiteral("%1").arg(int(a % 100), 2, 10, QLatin1Char('0'));
    return c < 0 ? l.negativeSign() + text : text;
}

QString percent(int bp) {
    const QLocale l = locale();
    QString text = l.toString(bp / 100.0, 'f', 2);
    // 12.50 reads as 12.5, 12.00 as 12.
    const QString point = l.decimalPoint();
    if (text.contains(point)) {
        while (text.endsWith(u'0'))
            text.chop(1);
        if (text.endsWith(point))
            text.chop(point.size());
    }
    return text + QStringLiteral(" %");
}

std::optional<finance::Cents> parseMoney(const QString& text) {
    if (text.trimmed().isEmpty())
        return 0;
    // The user's locale first; plain digits with a full stop are read too, as typed on a
    // keyboard whatever the locale, unless the full stop is the locale's group separator.
    const QLocale l = locale();
    for (const QLocale& reading : {l, QLocale::c()}) {
        const Signed s = strip(text, reading, true);
        QString digits = s.digits;
        if (reading == QLocale::c())
            digits.remove(u',');
        const auto v =
            fixedPoint(digits, reading.decimalPoint().front(), 2, finance::kMaxAmount / 100);
        if (v)
            return s.negative ? -*v : *v;
    }
    return std::nullopt;
}

std::optional<int> parsePercent(const QString& text) {
    QString t = text.trimmed();
    if (t.endsWith(u'%'))
        t.chop(1);
    if (t.trimmed().isEmpty())
        return 0;
    const QLocale l = locale();
    for (const QLocale& reading : {l, QLocale::c()}) {
        const Signed s = strip(t, reading, false);
        const auto v = fixedPoint(s.digits, reading.decimalPoint().front(), 2, 10'000'000);
        if (v)
            return int(s.negative ? -*v : *v);
    }
    return std::nullopt;
}

std::optional<int> parseWhole(const QString& text) {
    bool ok = false;
    const int v = text.trimmed().toInt(&ok);
    if (ok)
        return v;
    const int localised = locale().toInt(text.trimmed(), &ok);
    return ok ? std::optional<int>(localised) : std::nullopt;
}

std::optional<finance::Cents> gridMoney(const QVariant& v) {
    if (v.isNull())
        return std::nullopt;
    const int type = v.typeId();
    if (type == QMetaType::Int || type == QMetaType::LongLong)
        return finance::Cents(v.toLongLong()) * 100;
    if (type == QMetaType::Double) {
        const double d = v.toDouble();
        if (!(d > -1e10 && d < 1e10))
            return std::nullopt;
        return finance::Cents(std::llround(d * 100));
    }
    if (v.toString().trimmed().isEmpty())
        return std::nullopt;
    return parseMoney(v.toString());
}

QString monthName(int calendarMonth) {
    return QLocale(QLocale::English).monthName(calendarMonth, QLocale::LongFormat);
}

std::optional<int> tradingMonth(const QVariant& cell, int firstMonth) {
    const QString t = cell.toString().trimmed();
    if (t.isEmpty())
        return std::nullopt;
    bool ok = false;
    const int n = t.toInt(&ok);
    if (ok)
        return n >= 1 && n <= 12 ? std::optional<int>(n) : std::nullopt;
    for (const QLocale& l : {QLocale(QLocale::English), locale()})
        for (int m = 1; m <= 12; ++m)
            for (auto format : {QLocale::LongFormat, QLocale::ShortFormat})
                if (t.compare(l.monthName(m, format), Qt::CaseInsensitive) == 0 ||
                    t.compare(l.monthName(m, format).remove(u'.'), Qt::CaseInsensitive) == 0)
                    return (m - firstMonth + 12) % 12 + 1;
    return std::nullopt;
}

QString tradingMonthHeading(int m, int firstMonth) {
    const int calendar = (firstMonth - 1 + m - 1) % 12 + 1;
    return QLocale(QLocale::English).monthName(calendar, QLocale::ShortFormat);
}

} // namespace FinanceText
