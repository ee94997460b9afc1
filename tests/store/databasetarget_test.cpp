#include "store/databasetarget.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

struct UriCase {
    const char* given;
    const char* user;
    const char* host;
    int port;
    const char* dbname;
    const char* options;
    const char* shown;
};

class DatabaseTargetUri : public ::testing::TestWithParam<UriCase> {};

TEST_P(DatabaseTargetUri, GivesTheConnectionParameters)
{
    const UriCase& c = GetParam();
    const DatabaseTarget target = parseDatabaseTarget(QString::fromUtf8(c.given));
    EXPECT_TRUE(target.isServer());
    EXPECT_EQ(target.user, QString::fromUtf8(c.user));
    EXPECT_EQ(target.host, QString::fromUtf8(c.host));
    EXPECT_EQ(target.port, c.port);
    EXPECT_EQ(target.dbname, QString::fromUtf8(c.dbname));
    EXPECT_EQ(target.connectOptions(), QString::fromUtf8(c.options));
    EXPECT_EQ(target.displayName(), QString::fromUtf8(c.shown));
}

INSTANTIATE_TEST_SUITE_P(
    Uris, DatabaseTargetUri,
    ::testing::Values(
        UriCase{"postgresql://arborist@db.example.org:5433/trees?sslmode=require", "arborist", "db.example.org", 5433,
                "trees", "sslmode=require", "postgresql://arborist@db.example.org:5433/trees?sslmode=require"},
        UriCase{"postgres://db.example.org/trees", "", "db.example.org", -1, "trees", "",
                "postgresql://db.example.org/trees"},
        UriCase{"postgresql:///trees", "", "", -1, "trees", "", "postgresql:///trees"},
        UriCase{"postgresql:///trees?host=/tmp/pg%20sock&connect_timeout=5", "", "", -1, "trees",
                "host=/tmp/pg sock;connect_timeout=5", "postgresql:///trees?host=/tmp/pg%20sock&connect_timeout=5"},
        UriCase{"postgresql://j%C3%B6rg@localhost/stra%C3%9Fe", "j\u00f6rg", "localhost", -1, "stra\u00dfe", "",
                "postgresql://j%C3%B6rg@localhost/stra%C3%9Fe"},
        UriCase{"POSTGRESQL://host/trees?service=kolva", "", "host", -1, "trees", "service=kolva",
                "postgresql://host/trees?service=kolva"}));

TEST(DatabaseTarget, APathIsASQLiteFile)
{
    for (const QString& given : {QStringLiteral("/srv/kolva/KOLVA.MDB"), QStringLiteral("postgresql.db"),
                                QStringLiteral("postgresql:/not-a-uri"), QStringLiteral("C:/data/trees.db")}) {
        const DatabaseTarget target = parseDatabaseTarget(given);
        EXPECT_FALSE(target.isServer()) << given.toStdString();
        EXPECT_EQ(target.path, given);
        EXPECT_EQ(target.displayName(), given);
    }
}

struct RefusedCase {
    const char* given;
    const char* secret; // must not appear in the message
    const char* says;
};

class DatabaseTargetRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(DatabaseTargetRefused, SaysWhyWithoutThePassword)
{
    const RefusedCase& c = GetParam();
    try {
        parseDatabaseTarget(QString::fromUtf8(c.given));
        FAIL() << "accepted " << c.given;
    } catch (const InputError& e) {
        EXPECT_TRUE(e.userText().contains(QString::fromUtf8(c.says))) << e.userText().toStdString();
        if (*c.secret) {
            EXPECT_FALSE(e.userText().contains(QString::fromUtf8(c.secret))) << e.userText().toStdString();
            EXPECT_FALSE(QString::fromStdString(e.what()).contains(QString::fromUtf8(c.secret)));
            EXPECT_TRUE(e.userText().contains(QStringLiteral("~/.pgpass")));
            EXPECT_TRUE(e.userText().contains(QStringLiteral("PGPASSFILE")));
        }
    }
}

INSTANTIATE_TEST_SUITE_P(
    Uris, DatabaseTargetRefused,
    ::testing::Values(RefusedCase{"postgresql://arborist:s3cr%40t@db:5432/trees", "s3cr", "password"},
                      RefusedCase{"postgresql://arborist:@db/trees", ":@", "password"},
                      RefusedCase{"postgres://db/trees?sslmode=require&password=hunter2", "hunter2", "password"},
                      RefusedCase{"postgresql://db/trees?PASSWORD=hunter2", "hunter2", "password"},
                      RefusedCase{"postgresql://db:notaport/trees", "", "not a PostgreSQL address"},
                      RefusedCase{"postgresql://db/trees/more", "", "is not a database name"},
                      RefusedCase{"postgresql://db/trees?sslmode=require;host=evil", "", "cannot be read"}));

} // namespace
