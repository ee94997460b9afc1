#include "store/database.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

// A work table's rows are copies: dropping it does not wipe its pages, and
// the file's own setting for the other tables stays as it was.
TEST(DatabaseFile, AWorkTableLeavesTheWipingOfDeletedRowsAsItWas)
{
    QTemporaryDir dir;
    auto db = Database::create(dir.filePath("t.db"));
    for (const int wiping : {0, 1, 2}) {
        db->exec(QStringLiteral("PRAGMA secure_delete = %1").arg(wiping == 2 ? QStringLiteral("FAST") : QString::number(wiping)));
        db->createWorkTable("_tmp_Work", "\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, Tree_ID INTEGER");
        db->exec("INSERT INTO _tmp_Work (Tree_ID) VALUES (1)");
        db->createWorkTable("_tmp_Work", "\"Key\" INTEGER PRIMARY KEY AUTOINCREMENT, Tree_ID INTEGER");
        EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tmp_Work").toInt(), 0);
        EXPECT_EQ(db->scalar("PRAGMA secure_delete").toInt(), wiping) << "deleted rows of other tables still wiped";
    }
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
