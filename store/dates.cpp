#include "store/dates.h"

#include <QRegularExpression>

#include <algorithm>

namespace kolva {

namespace {
const QString DbFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString ShownDateFormat = QStringLiteral("MM/dd/yyyy");

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

QString shownDate(const QDate& date)
{
    return date.toString(ShownDateFormat);
}

QString shownDateTime(const QDateTime& dateTime)
{
    return dateTime.toString(ShownDateFormat + QStringLiteral(" HH:mm"));
}

QByteArray shownDateOfStored(QByteArrayView stored)
{
    if (stored.size() < 10 || stored[4] != '-' || stored[7] != '-')
        return {};
    for (const int i : {0, 1, 2, 3, 5, 6, 8, 9}) {
        if (!isDigit(stored[i]))
            return {};
    }
    QByteArray shown(10, '/');
    std::copy_n(stored.data() + 5, 2, shown.data());     // month
    std::copy_n(stored.data() + 8, 2, shown.data() + 3); // day
    std::copy_n(stored.data(), 4, shown.data() + 6);     // year
    return shown;
}

QString toDbDateTime(const QDateTime& dateTime)
{
    return dateTime.toString(DbFormat);
}

QDateTime fromDbDateTime(const QVariant& value)
{
    if (value.isNull())
        return {};
    return QDateTime::fromString(value.toString(), DbFormat);
}

std::optional<QDateTime> parseUsDateTime(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral(
        R"(^\s*(\d{1,2})[/-](\d{1,2})[/-](\d{4}|\d{2})(?:\s+(\d{1,2}):(\d{2})(?::(\d{2}))?\s*([AaPp][Mm])?)?\s*$)"));
    const QRegularExpressionMatch m = pattern.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    int year = m.captured(3).toInt();
    if (m.captured(3).size() == 2)
        year += year < 30 ? 2000 : 1900;
    const QDate date(year, m.captured(1).toInt(), m.captured(2).toInt());
    if (!date.isValid())
        return std::nullopt;

    int hour = 0, minute = 0, second = 0;
    if (m.hasCaptured(4)) {
        hour = m.captured(4).toInt();
        minute = m.captured(5).toInt();
        second = m.hasCaptured(6) ? m.captured(6).toInt() : 0;
        if (m.hasCaptured(7)) {
            if (hour < 1 || hour > 12)
                return std::nullopt;
            const bool pm = m.captured(7).startsWith(QLatin1Char('P'), Qt::CaseInsensitive);
            hour = (hour % 12) + (pm ? 12 : 0);
        }
    }
    const QTime time(hour, minute, second);
    if (!time.isValid())
        return std::nullopt;
    return QDateTime(date, time);
}

std::optional<int> storedReinspectionYear(const QString& text)
{
    const QString year = text.trimmed();
    if (year.size() != 2 && year.size() != 4)
        return std::nullopt;
    for (const QChar c : year) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return std::nullopt;
    }
    const int value = year.toInt();
    if (year.size() == 4)
        return value;
    return value + (value < 30 ? 2000 : 1900);
}

} // namespace kolva
