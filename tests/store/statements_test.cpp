// The database layer's statements, transactions, work tables and stops, on
// either engine.
#include "store/database.h"
#include "tests/support/serverdatabase.h"

#include <QTemporaryDir>

#include <atomic>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::onServer()) {
            server = std::make_unique<test::ServerTestDatabase>(test::ServerTestDatabase::Content::Kolva);
            db = Database::open(server->uri());
            db->exec("CREATE TABLE t (id SERIAL PRIMARY KEY, name CITEXT COLLATE \"C\", n INTEGER)");
        } else {
            db = Database::create(dir.filePath("t.db"));
            db->exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE, n INTEGER)");
        }
    }
    int count() { return db->scalar("SELECT COUNT(*) FROM t").toInt(); }
    // A work table's columns: a key the engine numbers, and a tree.
    static QString workColumns()
    {
        return test::onServer() ? "key SERIAL PRIMARY KEY, Tree_ID INTEGER"
                                : "\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, Tree_ID INTEGER";
    }

    QTemporaryDir dir;
    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> db;
};

TEST_F(DatabaseTest, BoundValuesAreStoredExactly)
{
    const QString texts[] = {"O'NEIL ST", "say \"hi\"; DROP TABLE t; --", QString(5000, QLatin1Char('x')) + "'",
                             QString::fromUtf8("Caf\u00e9 \u2019s"), "  padded  "};
    for (const QString& text : texts)
        db->exec("INSERT INTO t (name) VALUES (?)", {text});
    QSqlQuery q = db->query("SELECT name FROM t ORDER BY id");
    for (const QString& text : texts) {
        ASSERT_TRUE(q.next());
        EXPECT_EQ(q.value(0).toString(), text);
    }
    EXPECT_FALSE(q.next());
    EXPECT_TRUE(db->tableExists("t"));
}

TEST_F(DatabaseTest, ExecReportsChangedRowsAndScalarIsNullWithoutRows)
{
    db->exec("INSERT INTO t (name, n) VALUES (?, ?), (?, ?)", {"a", 1, "b", 2});
    EXPECT_EQ(db->exec("UPDATE t SET n = n + 1 WHERE name = ?", {"A"}), 1) << "text compares without case";
    EXPECT_TRUE(db->scalar("SELECT n FROM t WHERE name = ?", {"zzz"}).isNull());
    EXPECT_EQ(db->scalar("SELECT n FROM t WHERE name = ?", {"a"}).toInt(), 2);
}

TEST_F(DatabaseTest, FailuresCarryTheEngineMessageAndTheStatement)
{
    const bool server = test::onServer();
    try {
        db->query("SELECT somefield FROM missing_table");
        FAIL() << "no error";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(server ? "relation \"missing_table\" does not exist" : "no such table"))
            << error.message().toStdString();
        EXPECT_EQ(error.statement(), "SELECT somefield FROM missing_table");
    }
    db->exec("CREATE TABLE u (x INTEGER CHECK (x < 10))");
    try {
        db->exec("INSERT INTO u (x) VALUES (?)", {50});
        FAIL() << "no error";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains(server ? "violates check constraint" : "CHECK constraint failed"))
            << error.message().toStdString();
        EXPECT_FALSE(error.code().isEmpty());
    }
}

TEST_F(DatabaseTest, TransactionRollsBackUnlessCommitted)
{
    {
        Transaction tx(*db);
        db->exec("INSERT INTO t (name) VALUES ('kept')");
        tx.commit();
    }
    {
        Transaction tx(*db);
        db->exec("INSERT INTO t (name) VALUES ('lost')");
    }
    EXPECT_THROW(
        {
            Transaction tx(*db);
            db->exec("INSERT INTO t (name) VALUES ('lost too')");
            db->exec("INSERT INTO missing VALUES (1)");
            tx.commit();
        },
        DbError);
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(count(), 1);
    EXPECT_EQ(db->scalar("SELECT name FROM t").toString(), "kept");
}

TEST_F(DatabaseTest, SavepointUndoesOnlyItsOwnPart)
{
    Transaction tx(*db);
    db->exec("INSERT INTO t (name) VALUES ('first')");
    {
        Savepoint sp(*db, "one_file");
        db->exec("INSERT INTO t (name) VALUES ('partial')");
    } // not released: undone
    {
        Savepoint sp(*db, "one_file");
        db->exec("INSERT INTO t (name) VALUES ('second')");
        sp.release();
    }
    tx.commit();
    QSqlQuery q = db->query("SELECT name FROM t ORDER BY id");
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    EXPECT_EQ(names, QStringList({"first", "second"}));
}

TEST_F(DatabaseTest, WorkTablesAreMadeAgainEachTimeAndNamedWithoutRegardToCase)
{
    EXPECT_FALSE(db->tableExists("_tmp_Work"));
    db->createWorkTable("_tmp_Work", workColumns());
    db->exec("INSERT INTO _tmp_Work (Tree_ID) VALUES (1)");
    EXPECT_TRUE(db->tableExists("_TMP_work")) << "names compare without case";
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _TMP_WORK").toInt(), 1);
    db->createWorkTable("_tmp_Work", workColumns());
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tmp_Work").toInt(), 0);
    db->dropTable("_TMP_WORK");
    EXPECT_FALSE(db->tableExists("_tmp_Work"));
    EXPECT_THROW(db->dropTable("t; DROP TABLE t"), DbError);
    EXPECT_FALSE(db->tableExists("t; DROP TABLE t"));
    EXPECT_TRUE(db->tableExists("t"));
    // A table of the schema, named as the schema writes it.
    db->exec("CREATE TABLE Old_Work (x INTEGER)");
    db->dropTable("Old_Work");
    EXPECT_FALSE(db->tableExists("Old_Work"));
}

TEST_F(DatabaseTest, AStatementStopsWhenAskedAndRunsWhenNot)
{
    // A select that reads a hundred million numbers before its one row.
    const QString longSelect = "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 100000000) "
                               "SELECT count(*) FROM c";
    std::atomic<int> asked = 0;
    {
        const StatementStop stop(*db, [&asked] { return ++asked > 20; });
        ASSERT_TRUE(stop.active()) << "the engine's library is reachable";
        EXPECT_THROW(db->scalar(longSelect), DbError);
        EXPECT_GT(asked, 20);
    }
    EXPECT_EQ(db->scalar("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000) "
                         "SELECT count(*) FROM c")
                  .toInt(),
              1000)
        << "without the guard statements run to their end";
    // A guard that is never asked to stop lets the statement end.
    const StatementStop idle(*db, [] { return false; });
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM t").toInt(), 0);
}

} // namespace
