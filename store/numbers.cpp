#include "store/numbers.h"

namespace kolva {

namespace {

bool isBlank(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t');
}

} // namespace

double leadingNumber(const QString& text)
{
    QString s;
    for (const QChar c : text) {
        if (c != QLatin1Char(' ') && c != QLatin1Char('\t') && c != QLatin1Char('\n') && c != QLatin1Char('\r'))
            s += c;
    }
    qsizetype i = 0;
    const auto isDigitAt = [&s](qsizetype at) { return at < s.size() && s.at(at).isDigit() && s.at(at).unicode() < 128; };
    if (i < s.size() && (s.at(i) == QLatin1Char('+') || s.at(i) == QLatin1Char('-')))
        ++i;
    const qsizetype digitsFrom = i;
    while (isDigitAt(i))
        ++i;
    if (i < s.size() && s.at(i) == QLatin1Char('.')) {
        ++i;
        while (isDigitAt(i))
            ++i;
    }
    if (i == digitsFrom || (i == digitsFrom + 1 && s.at(digitsFrom) == QLatin1Char('.')))
        return 0;
    qsizetype end = i;
    if (i < s.size() && QStringLiteral("EeDd").contains(s.at(i))) {
        qsizetype e = i + 1;
        if (e < s.size() && (s.at(e) == QLatin1Char('+') || s.at(e) == QLatin1Char('-')))
            ++e;
        if (isDigitAt(e)) {
            while (isDigitAt(e))
                ++e;
            end = e;
        }
    }
    QString number = s.left(end);
    number.replace(QLatin1Char('D'), QLatin1Char('E')).replace(QLatin1Char('d'), QLatin1Char('e'));
    return number.toDouble();
}

int wholeNumberValue(const QString& text)
{
    qsizetype at = 0;
    while (at < text.size() && text.at(at).isSpace())
        ++at;
    bool negative = false;
    if (at < text.size() && (text.at(at) == QLatin1Char('-') || text.at(at) == QLatin1Char('+'))) {
        negative = text.at(at) == QLatin1Char('-');
        ++at;
    }
    qint64 value = 0;
    while (at < text.size() && text.at(at) >= QLatin1Char('0') && text.at(at) <= QLatin1Char('9')) {
        value = value * 10 + (text.at(at).unicode() - '0');
        if (value > 1'000'000'000)
            break; // far beyond any rating; keeps the sum in range
        ++at;
    }
    return int(negative ? -value : value);
}

std::optional<qint64> roundHalfEven(QStringView text, qint64 min, qint64 max)
{
    qsizetype i = 0;
    qsizetype n = text.size();
    while (i < n && isBlank(text[i]))
        ++i;
    while (n > i && isBlank(text[n - 1]))
        --n;
    bool negative = false;
    if (i < n && (text[i] == QLatin1Char('+') || text[i] == QLatin1Char('-'))) {
        negative = text[i] == QLatin1Char('-');
        ++i;
    }
    constexpr quint64 Huge = quint64(1) << 62;
    quint64 whole = 0;
    bool tooBig = false;
    int digits = 0;
    for (; i < n && text[i].isDigit() && text[i].unicode() < 0x80; ++i, ++digits) {
        if (whole >= Huge / 10)
            tooBig = true;
        else
            whole = whole * 10 + (text[i].unicode() - '0');
    }
    int firstDecimal = 0;    // the digit that decides the rounding
    bool restNonZero = false; // any other non-zero digit after it
    if (i < n && text[i] == QLatin1Char('.')) {
        ++i;
        for (int place = 0; i < n && text[i].isDigit() && text[i].unicode() < 0x80; ++i, ++place, ++digits) {
            const int d = text[i].unicode() - '0';
            if (place == 0)
                firstDecimal = d;
            else if (d != 0)
                restNonZero = true;
        }
    }
    if (i != n || digits == 0 || tooBig)
        return std::nullopt;
    if (firstDecimal > 5 || (firstDecimal == 5 && (restNonZero || (whole & 1))))
        ++whole;
    const qint64 value = negative ? -qint64(whole) : qint64(whole);
    if (value < min || value > max)
        return std::nullopt;
    return value;
}

} // namespace kolva
