#pragma once
// Orders shared by the reports and the Tree editor that the engine cannot
// give by plain column order.

#include "store/database.h"
#include "store/sqlforms.h"

#include <QString>
#include <QStringList>

namespace kolva {

// House numbers in the order a crew walks a street: by the number's value
// first, then by the whole text ("9", "12", "12A", "100"). A number without
// digits in front sorts as 0. column is the house number column as named in
// the statement ("StreetNum", "s.StreetNum").
inline QString streetNumberOrder(const QString& column = QStringLiteral("StreetNum"))
{
    return QStringLiteral("CAST(%1 AS INTEGER), %1").arg(column);
}

// The same order as the keys of an ORDER BY for db's engine: the number's
// value, then the whole text.
inline QStringList streetNumberKeys(const Database& db, const QString& column = QStringLiteral("StreetNum"))
{
    return {leadingInteger(db, column), column};
}

// An ascending term of an ORDER BY that puts rows without a value first, as
// the file's engine does (the server puts them last unless told).
inline QString ascendingOrder(const Database& db, const QString& term)
{
    return orderKey(db, term, false);
}

// A descending term that puts rows without a value last.
inline QString descendingOrder(const Database& db, const QString& term)
{
    return orderKey(db, term, true);
}

// A column for a condition or an order that the engine must not fetch rows
// by through an index: one pass over the table and one sort are faster for a
// report that reads much of it. The file's engine is told by a unary "+",
// which keeps the column's collation; the server's planner weighs it itself.
inline QString withoutIndex(const Database& db, const QString& column)
{
    return db.isServer() ? column : QStringLiteral("+") + column;
}

// The order of house numbers above, on either engine, with rows without a
// house number first.
inline QString streetNumberOrder(const Database& db, const QString& column = QStringLiteral("StreetNum"))
{
    QStringList keys;
    for (const QString& key : streetNumberKeys(db, column))
        keys << ascendingOrder(db, key);
    return keys.join(QStringLiteral(", "));
}

} // namespace kolva
