#include "store/textroutines.h"


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

QString visibleText(QStringView text)
{
    const auto hidden = [](char32_t c) {
        if (c == U' ')
            return false;
        switch (QChar::category(c)) {
        case QChar::Other_Control:
        case QChar::Other_Format:
        case QChar::Other_Surrogate:
        case QChar::Separator_Line:
        case QChar::Separator_Paragraph:
        case QChar::Separator_Space:
            return true;
        default:
            return false;
        }
    };
    QString shown;
    shown.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        char32_t c = text[i].unicode();
        qsizetype width = 1;
        if (text[i].isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate()) {
            c = QChar::surrogateToUcs4(text[i], text[i + 1]);
            width = 2;
        }
        if (hidden(c))
            shown += QStringLiteral("<U+%1>").arg(QString::number(uint(c), 16).toUpper().rightJustified(4, QLatin1Char('0')));
        else
            shown += text.mid(i, width);
        i += width - 1;
    }
    return shown;
}

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

} // namespace kolva
