#include "store/textroutines.h"

#include "platform/keyfilter.h"

namespace kolva {

namespace {

bool isEmptyValue(const QVariant& value)
{
    return value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isEmpty());
}

QString& stripAll(QString& text, QChar c)
{
    qsizetype at;
    while ((at = text.indexOf(c)) >= 0)
        text.remove(at, 1);
    return text;
}

QString rightTrimmed(const QString& text)
{
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == QLatin1Char(' '))
        --end;
    return text.left(end);
}

} // namespace

QString SqlQuote(const QVariant& value)
{
    if (isEmptyValue(value))
        return {};
    QString s = value.toString();
    qsizetype from = 0;
    for (;;) {
        const qsizetype at = s.indexOf(QLatin1Char('\''), from);
        if (at < 0)
            return s;
        s = s.left(at) + QStringLiteral("''") + rightTrimmed(s.mid(at + 1, 500));
        from = at + 2;
    }
}

QString& StripApostrophes(QString& text)
{
    return stripAll(text, QLatin1Char('\''));
}

QString& StripCommas(QString& text)
{
    return stripAll(text, QLatin1Char(','));
}

QString PadLeftZeros(const QString& text, int n)
{
    QString result = text.trimmed();
    if (result.size() < n)
        result.prepend(QString(n - result.size(), QLatin1Char('0')));
    return result;
}

QVariant NullToBlank(const QVariant& value)
{
    return isEmptyValue(value) ? QVariant(QStringLiteral(" ")) : value;
}

QVariant NullToZero(const QVariant& value)
{
    return isEmptyValue(value) ? QVariant(0) : value;
}

bool IsIntegerKey(int keyCode)
{
    return isIntegerKeyCode(keyCode);
}

bool IsDecimalKey(int keyCode)
{
    return isDecimalKeyCode(keyCode);
}

} // namespace kolva
