// Rows written many at a time read back as the same rows written one by
// one: on the server through COPY, on SQLite by INSERTs of many rows.

#include "store/bulkload.h"
#include "store/database.h"
#include "store/kolvadb.h"
#include "tests/support/serverdatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

using namespace kolva;

namespace {

class BulkRowsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::onServer()) {
            server = std::make_unique<test::ServerTestDatabase>(test::ServerTestDatabase::Content::Kolva);
            db = openKolvaDatabase(server->uri());
        } else {
            createKolvaDatabase(dir.filePath("t.mdb"));
            db = openKolvaDatabase(dir.filePath("t.mdb"));
        }
    }

    QTemporaryDir dir;
    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> db;
};

TEST_F(BulkRowsTest, ValuesReadBackAsTheInsertsOnes)
{
    const struct {
        const char* column;
        QVariant value;
    } cases[] = {
        {"Surveyor", QString("O'NEIL, D'ARCY")},
        {"Surveyor", QString("a back\\slash and \\N")},
        {"Note", QString("a tab\there, a line\nand a carriage return\r\n")},
        {"Species", QString::fromUtf8("Caf\u00e9 \u2019s maple \u201csoon\u201d \u20ac")}, // Windows-1252 letters
        {"Note", QString("")},
        {"Note", QString()},
        {"Note", QVariant()},
        {"Note", QString("trailing blanks   ")},
        {"Date_Evaluated", QString("2008-07-14 09:05:00")},
        {"Date_Added", QString("1999-12-31 23:59:59")},
        {"DBH", 0},
        {"DBH", -32768},
        {"TrunkDecay_Pct", 32767},
        {"Hazard_Rating", QString("12")},
        {"Latitude", 42.123456789012345},
        {"Longitude", -71.1},
        {"Latitude", 1e-300},
        {"Report_Flag", 1},
    };
    Transaction transaction(*db);
    BulkRows bulk(*db, "_Archived_SurveyData", {"Tree_ID", "Surveyor", "Note", "Species", "Date_Evaluated",
                                                "Date_Added", "DBH", "TrunkDecay_Pct", "Hazard_Rating", "Latitude",
                                                "Longitude", "Report_Flag"});
    const QStringList columns = {"Surveyor", "Note", "Species", "Date_Evaluated", "Date_Added", "DBH", "TrunkDecay_Pct",
                                 "Hazard_Rating", "Latitude", "Longitude", "Report_Flag"};
    int tree = 0;
    for (const auto& c : cases) {
        // The one as an INSERT writes it (tree 2k), the other in bulk (2k + 1).
        tree += 2;
        db->exec(QStringLiteral("INSERT INTO _Archived_SurveyData (Tree_ID, %1) VALUES (?, ?)").arg(c.column),
                 {tree, c.value});
        QVariantList row{tree + 1};
        for (const QString& column : columns)
            row << (column == c.column ? c.value : (column == "Report_Flag" ? QVariant(0) : QVariant()));
        bulk.add(row);
    }
    EXPECT_EQ(bulk.pending(), qsizetype(std::size(cases)));
    bulk.write();
    EXPECT_EQ(bulk.pending(), 0);
    transaction.commit();

    tree = 0;
    for (const auto& c : cases) {
        tree += 2;
        QSqlQuery q = db->query(QStringLiteral("SELECT %1 FROM _Archived_SurveyData WHERE Tree_ID IN (?, ?) ORDER BY Tree_ID")
                                    .arg(c.column),
                                {tree, tree + 1});
        ASSERT_TRUE(q.next()) << c.column;
        const QVariant inserted = q.value(0);
        ASSERT_TRUE(q.next()) << c.column;
        const QVariant bulked = q.value(0);
        const std::string what = std::string(c.column) + " " + c.value.toString().toStdString();
        EXPECT_EQ(bulked.isNull(), inserted.isNull()) << what;
        EXPECT_EQ(bulked.typeId(), inserted.typeId()) << what;
        EXPECT_EQ(bulked, inserted) << what;
        // And the value itself came back, not only alike on both paths.
        if (c.value.typeId() == QMetaType::Double)
            EXPECT_EQ(bulked.toDouble(), c.value.toDouble()) << what;
        else
            EXPECT_EQ(bulked.toString(), c.value.toString()) << what;
    }
}

TEST_F(BulkRowsTest, BytesAndLargeNumbersReadBackAsWritten)
{
    QByteArray every;
    for (int b = 0; b < 256; ++b)
        every += char(b);
    Transaction transaction(*db);
    BulkRows bulk(*db, "_Imported_Files", {"Digest", "File_Name", "Byte_Size", "Imported_At", "Survey_ID"});
    bulk.add({every, QString("tab\tname.tree"), qint64(5'000'000'000), QString("2008-01-02 16:45:30"), QVariant()});
    bulk.add({QByteArray("\\x00"), QString("b.tree"), 0, QString("2008-01-02 16:45:30"), qint64(7)});
    bulk.write();
    transaction.commit();
    QSqlQuery q = db->query("SELECT Digest, File_Name, Byte_Size, Survey_ID FROM _Imported_Files ORDER BY File_Name");
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toByteArray(), QByteArray("\\x00"));
    EXPECT_EQ(q.value(3).toLongLong(), 7);
    ASSERT_TRUE(q.next());
    EXPECT_EQ(q.value(0).toByteArray(), every);
    EXPECT_EQ(q.value(1).toString(), "tab\tname.tree");
    EXPECT_EQ(q.value(2).toLongLong(), 5'000'000'000);
    EXPECT_TRUE(q.value(3).isNull());
    EXPECT_FALSE(q.next());
}

TEST_F(BulkRowsTest, ARefusedRowWritesNoneOfThemAndSaysWhy)
{
    Transaction transaction(*db);
    Savepoint savepoint(*db, "bulk");
    BulkRows bulk(*db, "_Archived_SurveyData", {"Tree_ID", "Date_Evaluated"});
    bulk.add({1, QString("2008-01-02 16:45:30")});
    bulk.add({2, QString("2008-02-30 00:00:00")}); // no such day
    try {
        bulk.write();
        FAIL() << "the impossible date was taken";
    } catch (const DbError& error) {
        EXPECT_TRUE(refusesOnlyTheValues(*db, error)) << error.message().toStdString() << " " << error.code().toStdString();
    }
    savepoint.rollback();
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID IN (1, 2)").toInt(), 0);
    // The transaction goes on.
    bulk.add({3, QString("2008-01-02 16:45:30")});
    bulk.write();
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID = 3").toInt(), 1);
}

TEST_F(BulkRowsTest, TheServerGivesRowIdsAheadThatNoInsertTakesAgain)
{
    if (!db->isServer())
        GTEST_SKIP() << "row IDs are taken ahead only on the server";
    const QList<qint64> ids = reserveRowIds(*db, "_Archived_SurveyData", 3);
    ASSERT_EQ(ids.size(), 3);
    EXPECT_LT(ids[0], ids[1]);
    EXPECT_LT(ids[1], ids[2]);
    db->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (1)");
    EXPECT_GT(db->lastInsertId(), ids[2]);
    EXPECT_TRUE(reserveRowIds(*db, "_Archived_SurveyData", 0).isEmpty());
}

} // namespace
