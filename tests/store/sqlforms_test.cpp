#include "store/database.h"
#include "store/sqlforms.h"
#include "tests/support/serverdatabase.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

class SqlFormsTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (test::onServer()) {
            server = std::make_unique<test::ServerTestDatabase>();
            db = Database::open(server->uri());
        } else {
            db = Database::create(dir.filePath("t.db"));
        }
        db->exec("CREATE TABLE t (v TEXT)");
    }
    // What the expression made by form gives for value stored in a column.
    QVariant of(QString (*form)(const Database&, const QString&), const QVariant& value)
    {
        db->exec("DELETE FROM t");
        db->exec("INSERT INTO t (v) VALUES (?)", {value});
        return db->scalar("SELECT " + form(*db, "v") + " FROM t");
    }

    QTemporaryDir dir;
    std::unique_ptr<test::ServerTestDatabase> server;
    std::unique_ptr<Database> db;
};

TEST_F(SqlFormsTest, YearOfTextTakesFourOrTwoDigitsAndNothingElse)
{
    const struct {
        const char* text;
        int year; // 0: no year
    } cases[] = {
        {"2007", 2007}, {" 2007 ", 2007}, {"0999", 999}, {"07", 2007}, {"29", 2029}, {"30", 1930},
        {"99", 1999},   {"7", 0},         {"20071", 0},  {"", 0},     {"2oo7", 0},  {"-07", 0},
    };
    for (const auto& c : cases) {
        const QVariant year = of(yearOfText, QString::fromLatin1(c.text));
        if (c.year == 0)
            EXPECT_TRUE(year.isNull()) << c.text << " gave " << year.toString().toStdString();
        else
            EXPECT_EQ(year.toInt(), c.year) << c.text;
    }
    EXPECT_TRUE(of(yearOfText, QVariant()).isNull());
}

TEST_F(SqlFormsTest, MonthAndShownDateOfAStoredDate)
{
    const struct {
        const char* stored;
        int month;
        const char* shown;
    } cases[] = {
        {"2007-01-05", 1, "01/05/2007"},
        {"2007-12-31 23:59:59", 12, "12/31/2007"},
        {"2000-02-29 00:00:00", 2, "02/29/2000"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(of(monthOfDate, QString::fromLatin1(c.stored)).toInt(), c.month) << c.stored;
        EXPECT_EQ(of(dateShown, QString::fromLatin1(c.stored)).toString(), QString::fromLatin1(c.shown)) << c.stored;
    }
}

TEST_F(SqlFormsTest, EntryOrderIsTheOrderRowsWereAdded)
{
    db->exec("CREATE TABLE zones (name TEXT)");
    for (const char* name : {"Zeta", "Alpha", "Mid"})
        db->exec("INSERT INTO zones (name) VALUES (?)", {QString::fromLatin1(name)});
    QSqlQuery q = db->query("SELECT name FROM zones ORDER BY " + entryOrder(*db));
    QStringList names;
    while (q.next())
        names << q.value(0).toString();
    EXPECT_EQ(names, QStringList({"Zeta", "Alpha", "Mid"}));
}

} // namespace
