#include "store/importedfiles.h"

#include "store/database.h"
#include "store/dates.h"

#include <QStringList>

namespace kolva {

ImportedFileLookup::ImportedFileLookup(Database& db)
{
    QStringList marks;
    for (int i = 0; i < Chunk; ++i)
        marks << QStringLiteral("?");
    const QString list = marks.join(QLatin1Char(','));
    // The beginning of the digest as each engine's index of it is made: the
    // server's index is on substring(), which is another function than its
    // substr().
    const QString beginning = db.isServer() ? QStringLiteral("substring(Digest FROM 1 FOR 8)")
                                            : QStringLiteral("substr(Digest, 1, 8)");
    query_ = db.prepare(QStringLiteral("SELECT Digest, MAX(Imported_At), MAX(ID) FROM _Imported_Files "
                                       "WHERE %2 IN (%1) AND Digest IN (%1) GROUP BY Digest")
                            .arg(list, beginning));
}

QHash<QByteArray, ImportedFileLookup::Found> ImportedFileLookup::find(const QList<QByteArray>& digests)
{
    QHash<QByteArray, Found> found;
    if (digests.isEmpty())
        return found;
    if (digests.size() > Chunk)
        throw DbError(QStringLiteral("more digests than one look-up takes"));
    for (int i = 0; i < Chunk; ++i) {
        const bool given = i < digests.size();
        query_.bindValue(i, given ? QVariant(digests[i].left(8)) : QVariant());
        query_.bindValue(Chunk + i, given ? QVariant(digests[i]) : QVariant());
    }
    Database::run(query_);
    while (query_.next())
        found.insert(query_.value(0).toByteArray(), {fromDbDateTime(query_.value(1)), query_.value(2).toLongLong()});
    query_.finish();
    return found;
}

} // namespace kolva
