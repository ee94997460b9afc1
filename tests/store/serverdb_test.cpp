// A real PostgreSQL server, started for these tests by tests/support/pgcluster.sh:
// KOLVA_TEST_PG_URI names its maintenance database.
#include "store/kolvadb.h"
#include "tests/support/serverdatabase.h"

#include <QSqlQuery>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

class ServerDatabaseTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(test::ServerTestDatabase::available()) << "KOLVA_TEST_PG_URI is not set";
        server = std::make_unique<test::ServerTestDatabase>();
        name = server->name();
        uri = server->uri();
    }
    QStringList tables(Database& db)
    {
        QStringList names;
        QSqlQuery q = db.query(QStringLiteral("SELECT table_name FROM information_schema.tables "
                                              "WHERE table_schema = current_schema() ORDER BY table_name"));
        while (q.next())
            names << q.value(0).toString();
        return names;
    }

    std::unique_ptr<test::ServerTestDatabase> server;
    QString name;
    QString uri;
};

TEST_F(ServerDatabaseTest, StartMakesTheSchemaOnAnEmptyDatabaseByItsSteps)
{
    auto db = openKolvaDatabase(uri);
    ASSERT_TRUE(db->isServer());
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);
    QStringList steps;
    QSqlQuery q = db->query(QStringLiteral("SELECT Version FROM _Schema_Version ORDER BY Version"));
    while (q.next())
        steps << q.value(0).toString();
    EXPECT_EQ(steps.join(','), QStringLiteral("1,2,3,4,5,6,7"));
    EXPECT_EQ(tables(*db).join(','),
              QStringLiteral("_archived_surveydata,_imported_files,_schema_version,_streets_master,_survey_history,"
                             "_tblcorraction,_tblcosts,_tblmobilization,risk_rating,riskzone,species,streets_pda,"
                             "surveyors"));
    // The supplied lists, and the one mobilization row.
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tblCorrAction").toInt(), 11);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM Risk_Rating WHERE Risk_Order = -1").toInt(), 4);
    EXPECT_EQ(db->scalar("SELECT Mobilize_Cost FROM _tblMobilization WHERE ID = 1").toDouble(), 0.0);
    EXPECT_EQ(db->path(), parseDatabaseTarget(uri).displayName());
}

TEST_F(ServerDatabaseTest, ASecondStartFindsTheSchemaMadeAndChangesNothing)
{
    {
        auto db = openKolvaDatabase(uri);
        db->exec("INSERT INTO _Archived_SurveyData (Tree_ID, Species, Date_Evaluated) VALUES (?, ?, ?)",
                 {7, "ACRU-RED MAPLE", "2024-05-01 09:30:00"});
    }
    auto db = openKolvaDatabase(uri);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Schema_Version").toInt(), CurrentSchemaVersion);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _tblCorrAction").toInt(), 11);
    EXPECT_EQ(db->scalar("SELECT Tree_ID FROM _Archived_SurveyData WHERE Species = ?", {"acru-red maple"}).toInt(), 7);
}

TEST_F(ServerDatabaseTest, AnOlderSchemaGetsTheStepsItLacks)
{
    {
        auto db = openKolvaDatabase(uri);
        // Back to version 5: the digest as text, its index on the whole text.
        db->execScript("DROP INDEX ix_Imported_Digest; ALTER TABLE _Imported_Files ALTER COLUMN Digest TYPE TEXT "
                       "USING encode(Digest, 'hex'); CREATE INDEX ix_Imported_Digest ON _Imported_Files (Digest); "
                       "DELETE FROM _Schema_Version WHERE Version >= 6");
        db->exec("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At) VALUES (?, ?, ?, ?), "
                 "(?, ?, ?, ?)",
                 {QString(64, QLatin1Char('a')), "A.DAT", 10, "2024-05-01 09:30:00", "not hex", "B.DAT", 11,
                  "2024-05-01 09:31:00"});
    }
    auto db = openKolvaDatabase(uri);
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);
    EXPECT_EQ(db->scalar("SELECT Digest FROM _Imported_Files WHERE File_Name = 'A.DAT'").toByteArray(),
              QByteArray(32, '\xaa'));
    EXPECT_EQ(db->scalar("SELECT Digest FROM _Imported_Files WHERE File_Name = 'B.DAT'").toByteArray(),
              QByteArray("not hex"));
}

TEST_F(ServerDatabaseTest, DatesAreTheStoredTextForm)
{
    auto db = openKolvaDatabase(uri);
    const QString insert = "INSERT INTO _Archived_SurveyData (Date_Evaluated) VALUES (?)";
    for (const char* good : {"2024-02-29 23:59:59", "1999-01-01 00:00:00"})
        EXPECT_NO_THROW(db->exec(insert, {QString::fromLatin1(good)})) << good;
    for (const char* bad : {"2024-05-01", "2024-05-01T09:30:00", "2023-12-31 24:00:00", "2023-02-29 10:00:00"})
        EXPECT_THROW(db->exec(insert, {QString::fromLatin1(bad)}), DbError) << bad;
    EXPECT_THROW(db->exec("INSERT INTO _Archived_SurveyData (DBH) VALUES (?)", {32768}), DbError);
    EXPECT_NO_THROW(db->exec("INSERT INTO _Archived_SurveyData (DBH) VALUES (?)", {32767}));
}

TEST_F(ServerDatabaseTest, ADatabaseWithOtherTablesIsRefusedUntouched)
{
    {
        auto db = Database::openServer(parseDatabaseTarget(uri));
        db->exec("CREATE TABLE payroll (id INTEGER)");
    }
    try {
        openKolvaDatabase(uri);
        FAIL() << "opened";
    } catch (const DatabaseRefused& e) {
        EXPECT_EQ(e.reason(), DatabaseRefused::Reason::NotKolva);
        EXPECT_TRUE(e.userMessage().contains(name)) << e.userMessage().toStdString();
    }
    auto db = Database::openServer(parseDatabaseTarget(uri));
    EXPECT_EQ(tables(*db), QStringList{"payroll"});
}

TEST_F(ServerDatabaseTest, ANewerSchemaIsRefused)
{
    {
        auto db = openKolvaDatabase(uri);
        db->exec("INSERT INTO _Schema_Version (Version, Applied_At) VALUES (?, '2030-01-01 00:00:00')",
                 {CurrentSchemaVersion + 1});
    }
    try {
        openKolvaDatabase(uri);
        FAIL() << "opened";
    } catch (const DatabaseRefused& e) {
        EXPECT_EQ(e.reason(), DatabaseRefused::Reason::TooNew);
    }
}

TEST_F(ServerDatabaseTest, TransactionsAndKeys)
{
    auto db = openKolvaDatabase(uri);
    EXPECT_FALSE(db->inTransaction());
    {
        Transaction t(*db);
        EXPECT_TRUE(db->inTransaction());
        db->exec("INSERT INTO Surveyors (Description) VALUES ('Kept out')");
    }
    EXPECT_FALSE(db->inTransaction());
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM Surveyors").toInt(), 0);
    db->exec("INSERT INTO Surveyors (Description) VALUES ('Pat')");
    EXPECT_EQ(db->lastInsertId(), db->scalar("SELECT ID FROM Surveyors").toLongLong());
    EXPECT_TRUE(db->tableExists("SURVEYORS"));
    EXPECT_FALSE(db->tableExists("Surveyor"));
}

TEST(ServerDatabase, AUriWithAPasswordIsRefusedBeforeAnyConnection)
{
    // Nothing listens on this socket: a connection attempt would say so.
    try {
        openKolvaDatabase("postgresql://kolva:hunter2@/trees?host=/nonexistent/socket");
        FAIL() << "opened";
    } catch (const DatabaseRefused& e) {
        EXPECT_TRUE(e.userMessage().contains("~/.pgpass")) << e.userMessage().toStdString();
        EXPECT_FALSE(e.userMessage().contains("hunter2"));
        EXPECT_FALSE(e.userMessage().contains("nonexistent/socket/.s.PGSQL"));
    }
}

TEST(ServerDatabase, AServerThatCannotBeReachedIsSaidInWords)
{
    try {
        openKolvaDatabase("postgresql:///trees?host=/nonexistent/socket&connect_timeout=2");
        FAIL() << "opened";
    } catch (const DatabaseRefused& e) {
        EXPECT_EQ(e.reason(), DatabaseRefused::Reason::EngineError);
        EXPECT_TRUE(e.userMessage().contains("could not be opened")) << e.userMessage().toStdString();
        EXPECT_TRUE(e.userMessage().contains("postgresql:///trees")) << e.userMessage().toStdString();
    }
}

} // namespace
