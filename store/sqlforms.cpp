#include "store/sqlforms.h"

#include "store/database.h"

namespace kolva {

QString yearOfText(const Database& db, const QString& column)
{
    if (db.isServer()) {
        const QString text = QStringLiteral("btrim(CAST(%1 AS TEXT))").arg(column);
        return QStringLiteral("(CASE WHEN %1 ~ '^[0-9]{4}$' THEN CAST(%1 AS INTEGER)"
                              " WHEN %1 ~ '^[0-9]{2}$' THEN CAST(%1 AS INTEGER)"
                              " + CASE WHEN CAST(%1 AS INTEGER) < 30 THEN 2000 ELSE 1900 END END)")
            .arg(text);
    }
    const QString text = QStringLiteral("trim(%1)").arg(column);
    return QStringLiteral("(CASE WHEN %1 GLOB '[0-9][0-9][0-9][0-9]' THEN CAST(%1 AS INTEGER)"
                          " WHEN %1 GLOB '[0-9][0-9]' THEN CAST(%1 AS INTEGER)"
                          " + CASE WHEN CAST(%1 AS INTEGER) < 30 THEN 2000 ELSE 1900 END END)")
        .arg(text);
}

QString monthOfDate(const Database&, const QString& column)
{
    // Dates are stored as "yyyy-MM-dd" or "yyyy-MM-dd hh:mm:ss" on both
    // engines (the server keeps them as checked text too).
    return QStringLiteral("CAST(substr(%1,6,2) AS INTEGER)").arg(column);
}

QString dateShown(const Database& db, const QString& column)
{
    if (db.isServer())
        return QStringLiteral("(substr(%1,6,2)||'/'||substr(%1,9,2)||'/'||substr(%1,1,4))").arg(column);
    return QStringLiteral("strftime('%m/%d/%Y',%1)").arg(column);
}

QString leadingInteger(const Database& db, const QString& column)
{
    if (db.isServer()) {
        // Past the range of a 64-bit number the value stays at its end, as
        // the SQLite file's CAST keeps it.
        return QStringLiteral("(CASE WHEN %1 IS NULL THEN NULL ELSE LEAST(GREATEST(COALESCE(CAST(substring("
                              "CAST(%1 AS TEXT) FROM '^\\s*([-+]?[0-9]+)') AS NUMERIC), 0), "
                              "-9223372036854775808), 9223372036854775807) END)")
            .arg(column);
    }
    return QStringLiteral("CAST(%1 AS INTEGER)").arg(column);
}

QString orderKey(const Database& db, const QString& key, bool descending)
{
    if (db.isServer())
        return key + (descending ? QStringLiteral(" DESC NULLS LAST") : QStringLiteral(" NULLS FIRST"));
    return descending ? key + QStringLiteral(" DESC") : key;
}

QString utf8Length(const Database& db, const QString& column)
{
    if (db.isServer())
        return QStringLiteral("octet_length(%1)").arg(column);
    return QStringLiteral("length(CAST(%1 AS BLOB))").arg(column);
}

QString entryOrder(const Database& db)
{
    return hiddenRowKey(db);
}

} // namespace kolva
