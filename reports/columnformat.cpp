#include "reports/columnformat.h"

#include "reports/textmeasure.h"

#include <stdexcept>

namespace kolva {

QString headerLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'%' || c == u'|')
            out += u'%';
        out += c;
    }
    return out;
}

double parseInches(const QString& length)
{
    QString t = length.trimmed();
    if (t.endsWith(QLatin1String("in"), Qt::CaseInsensitive))
        t.chop(2);
    bool ok = false;
    const double value = t.trimmed().toDouble(&ok);
    if (!ok || value < 0 || t.isEmpty())
        throw std::invalid_argument(QStringLiteral("not a length in inches: \"%1\"").arg(length).toStdString());
    return value;
}

std::vector<ColumnFormat> parseColumnFormat(const QString& format)
{
    std::vector<ColumnFormat> columns;
    for (const QString& raw : format.split(QLatin1Char('|'))) {
        const QString part = raw.trimmed();
        ColumnFormat column;
        qsizetype at = 0;
        if (at < part.size()) {
            switch (part.at(at).unicode()) {
            case '<': column.alignment = Qt::AlignLeft; ++at; break;
            case '^': column.alignment = Qt::AlignHCenter; ++at; break;
            case '>': column.alignment = Qt::AlignRight; ++at; break;
            default: break;
            }
        }
        if (at < part.size() && part.at(at) == QLatin1Char('+')) {
            column.plus = true;
            ++at;
        }
        try {
            column.widthInches = parseInches(part.mid(at));
        } catch (const std::invalid_argument&) {
            throw std::invalid_argument(
                QStringLiteral("column format \"%1\": the column \"%2\" is not understood").arg(format, raw).toStdString());
        }
        columns.push_back(column);
    }
    return columns;
}

namespace layout {

Part splitParts(const QString& text, int pageNumber, int pageCount)
{
    QString parts[3];
    int part = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'%' && i + 1 < text.size()) {
            const QChar token = text.at(i + 1);
            if (token == u'd' || token == u't') {
                if (pageNumber > 0)
                    parts[part] += QString::number(token == u'd' ? pageNumber : pageCount);
                ++i;
                continue;
            }
            if (token == u'%' || token == u'|') {
                parts[part] += token;
                ++i;
                continue;
            }
        }
        if (c == u'|' && part < 2) {
            ++part;
            continue;
        }
        parts[part] += c;
    }
    Part p;
    const auto linesOf = [](const QString& s) { return s.isEmpty() ? QStringList() : splitLines(s); };
    p.left = linesOf(parts[0]);
    p.centre = linesOf(parts[1]);
    p.right = linesOf(parts[2]);
    return p;
}

} // namespace layout

} // namespace kolva
