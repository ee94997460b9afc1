#include "store/sqlforms.h"

#include "store/database.h"

namespace kolva {

QString yearOfText(const QString& column)
{
    const QString text = QStringLiteral("trim(%1)").arg(column);
    return QStringLiteral("(CASE WHEN %1 GLOB '[0-9][0-9][0-9][0-9]' THEN CAST(%1 AS INTEGER)"
                          " WHEN %1 GLOB '[0-9][0-9]' THEN CAST(%1 AS INTEGER)"
                          " + CASE WHEN CAST(%1 AS INTEGER) < 30 THEN 2000 ELSE 1900 END END)")
        .arg(text);
}

QString monthOfDate(const QString& column)
{
    // Dates are stored as "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss".
    return QStringLiteral("CAST(substr(%1,6,2) AS INTEGER)").arg(column);
}

QString dateShown(const QString& column)
{
    return QStringLiteral("strftime('%m/%d/%Y',%1)").arg(column);
}

QString entryOrder()
{
    return hiddenRowKey();
}

} // namespace kolva
