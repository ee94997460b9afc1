// Several connections to one server database (KOLVA_TEST_PG_URI): exact
// comparison of what was read, snapshots of long reads, and a connection the
// server ends.
#include "store/kolvadb.h"
#include "tests/support/serverdatabase.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

class ServerConcurrencyTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::ServerTestDatabase::available()) << "KOLVA_TEST_PG_URI is not set";
        server = std::make_unique<test::ServerTestDatabase>();
        db = openKolvaDatabase(server->uri());
        other = openKolvaDatabase(server->uri());
        db->exec("INSERT INTO _Archived_SurveyData (Tree_ID, Species, DBH) VALUES (1, 'oak', 14), (2, NULL, NULL)");
    }
    int treeCount(Database& on) { return on.scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(); }
    // Ends the connection of on from another one, as a server restart would.
    void loseConnection(Database& on)
    {
        const QVariant backend = on.scalar("SELECT pg_backend_pid()");
        ASSERT_TRUE(other->scalar("SELECT pg_terminate_backend(?)", {backend}).toBool());
    }

    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> db;
    std::unique_ptr<Database> other;
};

TEST_F(ServerConcurrencyTest, HoldsExactlyComparesTextWithRegardToCaseAndOtherColumnsAsStored)
{
    struct Case {
        const char* column;
        ExactValue kind;
        int tree;
        QVariant value;
        bool holds;
    };
    const Case cases[] = {
        {"Species", ExactValue::Text, 1, "oak", true},
        {"Species", ExactValue::Text, 1, "Oak", false},
        {"Species", ExactValue::Text, 1, QVariant(), false},
        {"Species", ExactValue::Text, 2, QVariant(), true},
        {"Species", ExactValue::Text, 2, "", false},
        {"DBH", ExactValue::Other, 1, 14, true},
        {"DBH", ExactValue::Other, 1, 15, false},
        {"DBH", ExactValue::Other, 2, QVariant(), true},
        {"DBH", ExactValue::Other, 2, 0, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(std::string(c.column) + " " + c.value.toString().toStdString());
        const QString sql = QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID = ? AND ") +
                            holdsExactly(*db, c.column, c.kind);
        EXPECT_EQ(db->scalar(sql, {c.tree, c.value}).toInt(), c.holds ? 1 : 0);
    }
}

// What another connection commits between two reads of a snapshot is not
// seen by the second; after the snapshot it is.
TEST_F(ServerConcurrencyTest, AReadSnapshotSeesTheDatabaseAsAtItsFirstRead)
{
    {
        ReadSnapshot snapshot(*db);
        EXPECT_EQ(treeCount(*db), 2);
        other->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (3)");
        other->exec("UPDATE _Archived_SurveyData SET Species = 'elm' WHERE Tree_ID = 1");
        EXPECT_EQ(treeCount(*db), 2);
        EXPECT_EQ(db->scalar("SELECT Species FROM _Archived_SurveyData WHERE Tree_ID = 1").toString(), "oak");
        EXPECT_THROW(db->exec("DELETE FROM _Archived_SurveyData"), DbError);
    }
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(treeCount(*db), 3);
}

// A snapshot transaction's change of a row another connection changed
// since the snapshot is refused as the database in use: tried again, it goes.
TEST_F(ServerConcurrencyTest, ASnapshotTransactionDoesNotWriteOverAChangeItDidNotSee)
{
    const QString mine = "UPDATE _Archived_SurveyData SET DBH = 21 WHERE Tree_ID = 1";
    {
        Transaction transaction(*db, Transaction::Kind::Snapshot);
        EXPECT_EQ(treeCount(*db), 2);
        other->exec("UPDATE _Archived_SurveyData SET DBH = 20 WHERE Tree_ID = 1");
        try {
            db->exec(mine);
            ADD_FAILURE() << "wrote over a change the snapshot did not see";
        } catch (const DbError& error) {
            EXPECT_TRUE(isDatabaseLocked(error)) << error.message().toStdString();
        }
    }
    EXPECT_EQ(other->scalar("SELECT DBH FROM _Archived_SurveyData WHERE Tree_ID = 1").toInt(), 20);
    Transaction again(*db, Transaction::Kind::Snapshot);
    EXPECT_EQ(db->exec(mine), 1);
    again.commit();
}

// The statement that meets a lost connection says so; outside a transaction
// the next one opens the connection again.
TEST_F(ServerConcurrencyTest, ALostConnectionIsSaidInWordsAndOpenedAgainForTheNextStatement)
{
    loseConnection(*db);
    try {
        treeCount(*db);
        ADD_FAILURE() << "read on a lost connection";
    } catch (const DbError& error) {
        EXPECT_TRUE(isConnectionLost(error));
        EXPECT_FALSE(isDatabaseLocked(error));
        EXPECT_TRUE(error.message().startsWith("The connection to the database server was lost"))
            << error.message().toStdString();
    }
    EXPECT_TRUE(db->connectionLost());
    EXPECT_EQ(treeCount(*db), 2);
    EXPECT_FALSE(db->connectionLost());
    // The settings of the session come back with it.
    EXPECT_EQ(db->scalar("SELECT setting FROM pg_settings WHERE name = 'lock_timeout'").toInt(), DefaultBusyTimeoutMs);
}

// A transaction the loss ended goes no further on a new connection: its
// next statements fail, nothing of it is stored, and once it ends the
// connection opens again.
TEST_F(ServerConcurrencyTest, ATransactionMeetingALostConnectionStoresNothing)
{
    {
        Transaction transaction(*db);
        db->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (3)");
        loseConnection(*db);
        EXPECT_THROW(db->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (4)"), DbError);
        try {
            db->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (5)");
            ADD_FAILURE() << "wrote on after the connection was lost";
        } catch (const DbError& error) {
            EXPECT_TRUE(isConnectionLost(error));
        }
        EXPECT_FALSE(db->inTransaction());
    }
    EXPECT_EQ(treeCount(*other), 2);
    {
        Transaction transaction(*db);
        db->exec("INSERT INTO _Archived_SurveyData (Tree_ID) VALUES (3)");
        transaction.commit();
    }
    EXPECT_EQ(treeCount(*other), 3);
}

} // namespace
