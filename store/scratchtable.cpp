#include "store/scratchtable.h"

#include "store/database.h"

namespace kolva {

void createConnectionTable(Database& db, const QString& name, const QString& columns)
{
    if (!isPlainIdentifier(name))
        throw DbError(QStringLiteral("not a table name: %1").arg(name));
    db.exec(QStringLiteral("DROP TABLE IF EXISTS temp.%1").arg(name));
    db.exec(QStringLiteral("CREATE TEMP TABLE %1 (%2)").arg(name, columns));
}

} // namespace kolva
