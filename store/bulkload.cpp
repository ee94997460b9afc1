#include "store/bulkload.h"

#include "store/database.h"

namespace kolva {

BulkLoadTuning::BulkLoadTuning(Database& db, int cacheKiB) : db_(db)
{
    // The server keeps its own cache, for every connection.
    if (db_.isServer())
        return;
    cacheSize_ = db_.scalar(QStringLiteral("PRAGMA cache_size"));
    // A negative size counts KiB rather than pages.
    db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(-qint64(cacheKiB)));
    const bool hasTemporaryObjects =
        db_.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_temp_master")).toInt() > 0;
    if (!hasTemporaryObjects) {
        tempStore_ = db_.scalar(QStringLiteral("PRAGMA temp_store"));
        db_.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    }
}

BulkLoadTuning::~BulkLoadTuning()
{
    if (db_.isServer())
        return;
    try {
        db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize_.toLongLong()));
        if (tempStore_.isValid())
            db_.exec(QStringLiteral("PRAGMA temp_store = %1").arg(tempStore_.toInt()));
    } catch (const DbError& error) {
        // Nothing can be thrown from here, and only speed is at stake.
        qWarning("connection settings not restored after a bulk load: %s", qPrintable(error.message()));
    }
}

} // namespace kolva
