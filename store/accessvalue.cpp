#include "store/accessvalue.h"

#include "store/dates.h"

#include <QDateTime>
#include <QLocale>

#include <cmath>

namespace kolva {

namespace {

QString typeName(AccessType type)
{
    switch (type) {
    case AccessType::Boolean: return QStringLiteral("Yes/No");
    case AccessType::Byte: return QStringLiteral("Byte");
    case AccessType::Integer: return QStringLiteral("Integer");
    case AccessType::LongInteger: return QStringLiteral("Long Integer");
    case AccessType::Money: return QStringLiteral("Currency");
    case AccessType::Single: return QStringLiteral("Single");
    case AccessType::Double: return QStringLiteral("Double");
    case AccessType::DateTime: return QStringLiteral("Date/Time");
    case AccessType::Text: return QStringLiteral("Text");
    case AccessType::Memo: return QStringLiteral("Memo");
    case AccessType::Other: break;
    }
    return QStringLiteral("an unsupported type");
}

QString moneyText(qint64 tenThousandths)
{
    const bool negative = tenThousandths < 0;
    const quint64 magnitude = negative ? quint64(0) - quint64(tenThousandths) : quint64(tenThousandths);
    return QStringLiteral("%1%2.%3")
        .arg(negative ? QStringLiteral("-") : QString())
        .arg(magnitude / 10000)
        .arg(magnitude % 10000, 4, 10, QLatin1Char('0'));
}

bool isWhole(double d)
{
    return std::isfinite(d) && d == std::trunc(d) && std::fabs(d) < 9007199254740992.0;
}

} // namespace

QVariant storedValue(const QVariant& value, AccessType from, StoredKind to)
{
    if (value.isNull())
        return to == StoredKind::Flag ? QVariant(qlonglong(0)) : QVariant();
    const auto fail = [&](const QString& why) -> QVariant { throw UnfitValue{why}; };
    switch (to) {
    case StoredKind::Integer:
        switch (from) {
        case AccessType::Byte:
        case AccessType::Integer:
        case AccessType::LongInteger: return value;
        case AccessType::Money:
            if (value.toLongLong() % 10000 != 0)
                return fail(QStringLiteral("%1 is not a whole number").arg(moneyText(value.toLongLong())));
            return QVariant(qlonglong(value.toLongLong() / 10000));
        case AccessType::Single:
        case AccessType::Double:
            if (!isWhole(value.toDouble()))
                return fail(QStringLiteral("%1 is not a whole number").arg(value.toDouble(), 0, 'g', 17));
            return QVariant(qlonglong(value.toDouble()));
        case AccessType::Text:
        case AccessType::Memo: {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            bool ok = false;
            const qlonglong n = text.toLongLong(&ok);
            if (!ok)
                return fail(QStringLiteral("\"%1\" is not a whole number").arg(value.toString()));
            return QVariant(n);
        }
        default: break;
        }
        break;
    case StoredKind::Real:
        switch (from) {
        case AccessType::Byte:
        case AccessType::Integer:
        case AccessType::LongInteger: return QVariant(double(value.toLongLong()));
        case AccessType::Money: return QVariant(double(value.toLongLong()) / 10000.0);
        case AccessType::Single:
        case AccessType::Double:
            if (!std::isfinite(value.toDouble()))
                return fail(QStringLiteral("it is not a number"));
            return value;
        case AccessType::Text:
        case AccessType::Memo: {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            bool ok = false;
            const double d = text.toDouble(&ok); // C locale: a decimal point
            if (!ok || !std::isfinite(d))
                return fail(QStringLiteral("\"%1\" is not a number").arg(value.toString()));
            return QVariant(d);
        }
        default: break;
        }
        break;
    case StoredKind::Text:
        switch (from) {
        case AccessType::Text:
        case AccessType::Memo: return value;
        case AccessType::Byte:
        case AccessType::Integer:
        case AccessType::LongInteger: return QVariant(QString::number(value.toLongLong()));
        case AccessType::Money: return QVariant(moneyText(value.toLongLong()));
        case AccessType::Single:
        case AccessType::Double: return QVariant(QString::number(value.toDouble(), 'g', QLocale::FloatingPointShortest));
        case AccessType::Boolean: return QVariant(value.toBool() ? QStringLiteral("1") : QStringLiteral("0"));
        case AccessType::DateTime: {
            const auto text = accessDateText(value.toDouble());
            if (!text)
                return fail(QStringLiteral("it is not a date Access can hold"));
            return QVariant(*text);
        }
        default: break;
        }
        break;
    case StoredKind::Date:
        switch (from) {
        case AccessType::DateTime: {
            const auto text = accessDateText(value.toDouble());
            if (!text)
                return fail(QStringLiteral("it is not a date Access can hold (stored as %1)")
                                .arg(value.toDouble(), 0, 'g', 17));
            return QVariant(*text);
        }
        case AccessType::Text:
        case AccessType::Memo: {
            const QString text = value.toString().trimmed();
            if (text.isEmpty())
                return QVariant();
            QDateTime parsed = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
            if (!parsed.isValid())
                parsed = QDateTime(QDate::fromString(text, QStringLiteral("yyyy-MM-dd")), QTime(0, 0));
            if (!parsed.isValid()) {
                if (const auto us = parseUsDateTime(text))
                    parsed = *us;
            }
            if (!parsed.isValid())
                return fail(QStringLiteral("\"%1\" is not a date").arg(value.toString()));
            return QVariant(toDbDateTime(parsed));
        }
        default: break;
        }
        break;
    case StoredKind::Flag:
        switch (from) {
        case AccessType::Boolean: return QVariant(qlonglong(value.toBool() ? 1 : 0));
        case AccessType::Byte:
        case AccessType::Integer:
        case AccessType::LongInteger: return QVariant(qlonglong(value.toLongLong() != 0 ? 1 : 0));
        case AccessType::Text:
        case AccessType::Memo: {
            const QString text = value.toString().trimmed().toLower();
            if (text.isEmpty() || text == QLatin1String("0") || text == QLatin1String("no")
                || text == QLatin1String("false"))
                return QVariant(qlonglong(0));
            if (text == QLatin1String("1") || text == QLatin1String("-1") || text == QLatin1String("yes")
                || text == QLatin1String("true"))
                return QVariant(qlonglong(1));
            return fail(QStringLiteral("\"%1\" is neither Yes nor No").arg(value.toString()));
        }
        default: break;
        }
        break;
    }
    return fail(QStringLiteral("a %1 value cannot be stored there").arg(typeName(from)));
}

} // namespace kolva
