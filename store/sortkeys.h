#pragma once
// Orders shared by the reports and the Tree editor that the engine cannot
// give by plain column order.

#include "store/database.h"

#include <QString>

namespace kolva {

// House numbers in the order a crew walks a street: by the number's value
// first, then by the whole text ("9", "12", "12A", "100"). A number without
// digits in front sorts as 0. column is the house number column as named in
// the statement ("StreetNum", "s.StreetNum").
inline QString streetNumberOrder(const QString& column = QStringLiteral("StreetNum"))
{
    return QStringLiteral("CAST(%1 AS INTEGER), %1").arg(column);
}

// An ascending term of an ORDER BY that puts rows without a value first, as
// the file's engine does (the server puts them last unless told).
inline QString ascendingOrder(const Database& db, const QString& term)
{
    return db.isServer() ? term + QStringLiteral(" NULLS FIRST") : term;
}

// A descending term that puts rows without a value last.
inline QString descendingOrder(const Database& db, const QString& term)
{
    return db.isServer() ? term + QStringLiteral(" DESC NULLS LAST") : term + QStringLiteral(" DESC");
}

// A column for a condition or an order that the engine must not fetch rows
// by through an index: one pass over the table and one sort are faster for a
// report that reads much of it. The file's engine is told by a unary "+",
// which keeps the column's collation; the server's planner weighs it itself.
inline QString withoutIndex(const Database& db, const QString& column)
{
    return db.isServer() ? column : QStringLiteral("+") + column;
}

// The order of house numbers above, on either engine: the number in front
// of the text is read as the file's engine casts a text to a whole number
// (blanks before it and a sign allowed, anything after it ignored, 0 without
// one); rows without a house number come first.
inline QString streetNumberOrder(const Database& db, const QString& column = QStringLiteral("StreetNum"))
{
    if (!db.isServer())
        return streetNumberOrder(column);
    const QString number =
        QStringLiteral("(CASE WHEN %1 IS NULL THEN NULL ELSE coalesce(CAST(substring(CAST(%1 AS TEXT) "
                       "FROM '^[[:space:]]*([-+]?[0-9]+)') AS NUMERIC), 0) END)")
            .arg(column);
    return ascendingOrder(db, number) + QStringLiteral(", ") + ascendingOrder(db, column);
}

} // namespace kolva
