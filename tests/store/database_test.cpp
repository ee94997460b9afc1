#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

class DatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        db = Database::create(dir.filePath("t.db"));
        db->exec("CREATE TABLE t (id INTEGER PRIMARY KEY, name TEXT COLLATE NOCASE, n INTEGER)");
    }
    int count() { return db->scalar("SELECT COUNT(*) FROM t").toInt(); }

    QTemporaryDir dir;
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
    try {
        db->query("SELECT somefield FROM missing_table");
        FAIL() << "no error";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains("no such table")) << error.message().toStdString();
        EXPECT_EQ(error.statement(), "SELECT somefield FROM missing_table");
    }
    db->exec("CREATE TABLE u (x INTEGER CHECK (x < 10))");
    try {
        db->exec("INSERT INTO u (x) VALUES (?)", {50});
        FAIL() << "no error";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains("CHECK constraint failed")) << error.message().toStdString();
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
    try {
        Transaction tx(*db);
        db->exec("INSERT INTO t (name) VALUES ('lost too')");
        db->exec("INSERT INTO missing VALUES (1)");
        tx.commit();
    } catch (const DbError&) {
    }
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

TEST_F(DatabaseTest, WorkTablesAreMadeAgainEachTime)
{
    db->createWorkTable("_tmp_Work", "\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, Tree_ID INTEGER");
    db->exec("INSERT INTO _tmp_Work (Tree_ID) VALUES (1)");
    EXPECT_TRUE(db->tableExists("_TMP_work")) << "names compare without case";
    const int wiping = db->scalar("PRAGMA secure_delete").toInt();
    db->createWorkTable("_tmp_Work", "\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, Tree_ID INTEGER");
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tmp_Work").toInt(), 0);
    EXPECT_EQ(db->scalar("PRAGMA secure_delete").toInt(), wiping) << "deleted rows of other tables still wiped";
    db->dropTable("_tmp_Work");
    EXPECT_FALSE(db->tableExists("_tmp_Work"));
    EXPECT_THROW(db->dropTable("t; DROP TABLE t"), DbError);
    EXPECT_TRUE(db->tableExists("t"));
}

TEST_F(DatabaseTest, AStatementStopsWhenAskedAndRunsWhenNot)
{
    // A select that reads a hundred million numbers before its one row.
    const QString longSelect = "WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 100000000) "
                               "SELECT count(*) FROM c";
    int asked = 0;
    {
        const StatementStop stop(*db, [&asked] { return ++asked > 20; });
        ASSERT_TRUE(stop.active()) << "the system's engine is reachable";
        EXPECT_THROW(db->scalar(longSelect), DbError);
        EXPECT_GT(asked, 20);
    }
    EXPECT_EQ(db->scalar("WITH RECURSIVE c(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM c WHERE i < 1000) "
                         "SELECT count(*) FROM c")
                  .toInt(),
              1000)
        << "without the guard statements run to their end";
}

TEST(DatabaseOpen, AMissingFileIsAnErrorAndIsNotCreated)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("KOLVA.MDB");
    try {
        Database::open(path);
        FAIL() << "opened a missing file";
    } catch (const DbError& error) {
        EXPECT_TRUE(error.message().contains("unable to open database file")) << error.message().toStdString();
    }
    EXPECT_FALSE(QFile::exists(path));
}

TEST(DatabaseOpen, CreateRefusesAnExistingFile)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("x.db");
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    EXPECT_THROW(Database::create(path), DbError);
    ASSERT_TRUE(f.open(QIODevice::ReadOnly));
    EXPECT_EQ(f.readAll(), "keep me");
}

TEST(DatabaseOpen, PathsWithUriCharactersWork)
{
    QTemporaryDir dir;
    const QString path = dir.filePath("a dir?x=1#frag%20/KOLVA.MDB");
    ASSERT_TRUE(QDir().mkpath(QFileInfo(path).path()));
    { Database::create(path)->exec("CREATE TABLE t (x)"); }
    EXPECT_TRUE(QFile::exists(path));
    EXPECT_TRUE(Database::open(path)->tableExists("t"));
}

} // namespace
