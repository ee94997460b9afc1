#pragma once
// Orders shared by the reports and the Tree editor that the engine cannot
// give by plain column order.

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

inline QString streetNumberOrder(const Database& db, const QString& column = QStringLiteral("StreetNum"))
{
    return streetNumberKeys(db, column).join(QStringLiteral(", "));
}

} // namespace kolva
