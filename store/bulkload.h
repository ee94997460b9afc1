#pragma once
// A connection tuned for loading many rows in one transaction, and given
// back as it was afterwards.

#include <QVariant>

namespace kolva {

class Database;

// While it lives, the connection keeps up to cacheKiB of the file's pages
// in memory, so that the indexes of a large table are not read again and
// again, and its temporary data in memory. Its settings come back when it
// goes. The temporary store is left alone when the connection holds
// temporary tables, which changing it would drop.
class BulkLoadTuning {
public:
    BulkLoadTuning(Database& db, int cacheKiB);
    ~BulkLoadTuning();
    BulkLoadTuning(const BulkLoadTuning&) = delete;
    BulkLoadTuning& operator=(const BulkLoadTuning&) = delete;

private:
    Database& db_;
    QVariant cacheSize_;
    QVariant tempStore_;
};

} // namespace kolva
