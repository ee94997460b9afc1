#include "store/bulkload.h"
#include "store/database.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

TEST(BulkLoadTuning, TheConnectionSettingsComeBackAndTemporaryTablesSurvive)
{
    QTemporaryDir dir;
    auto db = Database::create(dir.filePath("bulk.db"));
    const QVariant cache = db->scalar("PRAGMA cache_size");
    const QVariant temp = db->scalar("PRAGMA temp_store");
    {
        const BulkLoadTuning tuning(*db, 4096);
        EXPECT_EQ(db->scalar("PRAGMA cache_size").toInt(), -4096) << "4 MiB of pages";
        EXPECT_EQ(db->scalar("PRAGMA temp_store").toInt(), 2) << "in memory";
    }
    EXPECT_EQ(db->scalar("PRAGMA cache_size"), cache);
    EXPECT_EQ(db->scalar("PRAGMA temp_store"), temp);

    // Changing the temporary store would drop the connection's temporary
    // tables: it is left alone while there are some.
    db->exec("CREATE TEMP TABLE scratch (x)");
    db->exec("INSERT INTO scratch VALUES (1)");
    {
        const BulkLoadTuning tuning(*db, 4096);
        EXPECT_EQ(db->scalar("PRAGMA temp_store"), temp);
    }
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM scratch").toInt(), 1);
    EXPECT_EQ(db->scalar("PRAGMA cache_size"), cache);
}

} // namespace
