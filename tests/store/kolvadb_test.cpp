#include "store/kolvadb.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlRecord>

#include <gtest/gtest.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <future>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QByteArray sha256(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

QStringList columnsOf(Database& db, const QString& table)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT name FROM pragma_table_info(?) ORDER BY cid"), {table});
    while (q.next())
        names << q.value(0).toString();
    return names;
}

class SuppliedDatabase : public ::testing::Test {
protected:
    TempProgramDir dir;
    std::unique_ptr<Database> db = openKolvaDatabase(dir.databasePath());
};

TEST_F(SuppliedDatabase, HasEveryTableAndFieldSpelledExactly)
{
    const QStringList survey = {
        "ID", "Surveyor", "Date_Evaluated", "RiskZone", "StreetNum", "StreetName", "Tree_ID", "Location", "Species",
        "DBH", "Site", "Obstructions_Physical", "Obstructions_Visual", "Crown_Canker", "Crown_Crack",
        "Crown_Deadwood", "Crown_Decay", "Crown_Arch_1", "Crown_Arch_2", "Crown_Arch_3", "WeakUnion",
        "Trunk_Canker", "Trunk_Crack", "Trunk_Decay", "TrunkDecay_Shell", "TrunkDecay_Diam", "TrunkDecay_Pct",
        "Trunk_Arch_1", "Trunk_Arch_2", "Roots_Deep", "Roots_Injury", "Roots_Decay", "Roots_Arch1", "Roots_Arch2",
        "Size_Defect", "Prob_Failure", "Prob_TargetImpact", "OtherRisk", "Hazard_Rating", "Desc_OtherRisk",
        "ReinspectYear", "CorrectiveActions", "Note", "Date_Added", "Utility_Conflict", "Latitude", "Longitude",
        "Report_Flag"};
    EXPECT_EQ(columnsOf(*db, "_Archived_SurveyData"), survey);
    const struct {
        const char* table;
        QStringList mustHave;
    } tables[] = {
        {"Surveyors", {"Description"}},
        {"Species", {"Description"}},
        {"RiskZone", {"Description"}},
        {"Risk_Rating", {"Risk_Question_Num", "Risk_Order", "Description"}},
        {"_Streets_Master", {"StreetName", "SendToPDA"}},
        {"Streets_PDA", {"StreetName"}},
        {"_tblCorrAction", {"CA_Code", "CA_Description"}},
        {"_tblCosts", {"ID", "CA_TYPE", "DBH_LowerLimit", "DBH_UpperLimit", "CA_Cost"}},
    };
    for (const auto& t : tables) {
        const QStringList columns = columnsOf(*db, t.table);
        for (const QString& column : t.mustHave)
            EXPECT_TRUE(columns.contains(column)) << t.table << "." << column.toStdString();
        // The exact spelling is stored, not just accepted.
        EXPECT_EQ(db->scalar("SELECT name FROM sqlite_master WHERE type='table' AND name = ? COLLATE BINARY",
                             {QString(t.table)})
                      .toString(),
                  QString(t.table));
    }
    EXPECT_FALSE(db->tableExists("_tmp_Cost_Report")) << "made at run time only";
}

TEST(CreateKolvaDatabase, NeverReplacesAFileAndLeavesNoPartialFile)
{
    TempProgramDir dir(false);
    const QString path = dir.databasePath();
    const mode_t mask = ::umask(027);
    createKolvaDatabase(path);
    ::umask(mask);
    struct stat st {};
    ASSERT_EQ(::stat(QFile::encodeName(path).constData(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u) << "the user's file-creation mask, as any new file";
    {
        auto db = openKolvaDatabase(path);
        db->exec("INSERT INTO Surveyors (Description) VALUES ('MY DATA')");
    }
    const QByteArray before = sha256(path);
    EXPECT_THROW(createKolvaDatabase(path), DbError);
    EXPECT_EQ(sha256(path), before);
    EXPECT_FALSE(QFile::exists(path + ".partial"));
}

// The build runs kolva-makedb on every build: it must make the file once and
// never touch it again.
TEST(MakeDbTool, MakesTheDatabaseOnceAndNeverReplacesUserData)
{
    TempProgramDir dir(false);
    const QString path = dir.databasePath();
    const auto run = [&] { return QProcess::execute(QStringLiteral(KOLVA_MAKEDB), {path}); };
    ASSERT_EQ(run(), 0);
    ASSERT_TRUE(QFile::exists(path));
    {
        auto db = openKolvaDatabase(path);
        db->exec("INSERT INTO _Archived_SurveyData (Tree_ID, Surveyor) VALUES (77, 'FIELD CREW')");
    }
    const QByteArray withUserData = sha256(path);
    ASSERT_EQ(run(), 0);
    EXPECT_EQ(sha256(path), withUserData);
    EXPECT_EQ(openKolvaDatabase(path)->scalar("SELECT Surveyor FROM _Archived_SurveyData WHERE Tree_ID = 77").toString(),
              "FIELD CREW");

    // An older Access file in its place is left alone as well.
    TempProgramDir other(false);
    ASSERT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), other.databasePath()));
    const QByteArray access = sha256(other.databasePath());
    EXPECT_EQ(QProcess::execute(QStringLiteral(KOLVA_MAKEDB), {other.databasePath()}), 0);
    EXPECT_EQ(sha256(other.databasePath()), access);
}

struct RefusedCase {
    const char* name;
    std::function<void(const QString& path)> make;
    DatabaseRefused::Reason reason;
    QStringList messageHas;
};

void PrintTo(const RefusedCase& c, std::ostream* os)
{
    *os << c.name;
}


class OpenRefused : public ::testing::TestWithParam<RefusedCase> {};

TEST_P(OpenRefused, TellsWhatTheFileIsAndLeavesItUnchanged)
{
    TempProgramDir dir(false);
    const QString path = dir.databasePath();
    GetParam().make(path);
    const bool existed = QFile::exists(path);
    const QByteArray before = sha256(path);
    try {
        openKolvaDatabase(path);
        FAIL() << "the file was accepted";
    } catch (const DatabaseRefused& refused) {
        EXPECT_EQ(refused.reason(), GetParam().reason);
        EXPECT_TRUE(refused.userMessage().contains(QDir::toNativeSeparators(path)))
            << refused.userMessage().toStdString();
        for (const QString& part : GetParam().messageHas)
            EXPECT_TRUE(refused.userMessage().contains(part)) << refused.userMessage().toStdString();
    }
    EXPECT_EQ(QFile::exists(path), existed) << "no file is made in place of a missing one";
    EXPECT_EQ(sha256(path), before);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
}

INSTANTIATE_TEST_SUITE_P(
    Files, OpenRefused,
    ::testing::Values(
        RefusedCase{"missing", [](const QString&) {}, DatabaseRefused::Reason::EngineError,
                    {"could not be opened", "unable to open database file"}},
        RefusedCase{"empty", [](const QString& p) { writeBytes(p, {}); }, DatabaseRefused::Reason::NotSQLite,
                    {"is empty", "has not been changed"}},
        RefusedCase{"access_file_of_an_earlier_version",
                    [](const QString& p) { QFile::copy(testDataPath("legacy_kolva.mdb"), p); },
                    DatabaseRefused::Reason::EarlierVersion,
                    {"Microsoft Access database", "Access 2000 (Jet 4)", "earlier version of KOLVA",
                     "5 survey records"}},
        RefusedCase{"access_file_of_another_program",
                    [](const QString& p) { QFile::copy(testDataPath("species_zones.mdb"), p); },
                    DatabaseRefused::Reason::NotSQLite,
                    {"Microsoft Access database", "Access 2000 (Jet 4)", "has not been changed"}},
        RefusedCase{"garbage", [](const QString& p) { writeBytes(p, QByteArray(4096, '\x7f')); },
                    DatabaseRefused::Reason::NotSQLite, {"is not a database file"}},
        RefusedCase{"other_sqlite_database",
                    [](const QString& p) { Database::create(p)->exec("CREATE TABLE notes (x)"); },
                    DatabaseRefused::Reason::NotKolva, {"not a KOLVA database"}},
        RefusedCase{"newer_version",
                    [](const QString& p) {
                        makeSuppliedDatabase(p);
                        Database::open(p)->exec("PRAGMA user_version = 99");
                    },
                    DatabaseRefused::Reason::TooNew, {"newer version of KOLVA", "99"}}),
    [](const auto& info) { return std::string(info.param.name); });

// A pipe, a folder or a device named as the database is refused at once,
// never opened: opening a pipe for reading waits for a writer for ever.
TEST(OpenRefusedKind, ANonRegularFileIsSaidToBeOneWithoutOpeningIt)
{
    const struct {
        const char* name;
        std::function<bool(const QString&)> make;
        const char* says;
    } cases[] = {
        {"fifo", [](const QString& p) { return ::mkfifo(QFile::encodeName(p).constData(), 0644) == 0; },
         "is not a regular file: it is a named pipe (FIFO)."},
        {"folder", [](const QString& p) { return QDir().mkdir(p); }, "is not a regular file: it is a folder."},
        {"link_to_dev_null", [](const QString& p) { return QFile::link("/dev/null", p); },
         "is not a regular file: it is a device."},
    };
    for (const auto& c : cases) {
        TempProgramDir dir(false);
        const QString path = dir.databasePath();
        ASSERT_TRUE(c.make(path)) << c.name;
        auto outcome = std::async(std::launch::async, [&]() -> QString {
            try {
                openKolvaDatabase(path);
                return "accepted";
            } catch (const DatabaseRefused& refused) {
                return refused.reason() == DatabaseRefused::Reason::NotRegularFile ? refused.userMessage()
                                                                                    : "wrong reason";
            }
        });
        if (outcome.wait_for(std::chrono::seconds(20)) != std::future_status::ready) {
            // Let the blocked reader go before failing.
            const int writer = ::open(QFile::encodeName(path).constData(), O_WRONLY | O_NONBLOCK);
            outcome.wait();
            ::close(writer);
            FAIL() << c.name << ": the start-up check waits on the file";
        }
        const QString message = outcome.get();
        EXPECT_TRUE(message.contains(c.says)) << c.name << ": " << message.toStdString();
        EXPECT_TRUE(message.contains(QDir::toNativeSeparators(path))) << c.name;
        EXPECT_TRUE(QFileInfo(path).exists() || QFileInfo(path).isSymLink()) << c.name << " is left where it was";
    }
}

} // namespace

namespace {

QString resourceText(const QString& name)
{
    QFile file(name);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

// A database as version 1 of KOLVA made it: the data model and the supplied
// lists, with one survey record of the user's.
void makeVersion1Database(const QString& path)
{
    auto db = Database::create(path);
    db->execScript(resourceText(":/store/schema.sql"));
    db->execScript(resourceText(":/store/supplied.sql"));
    db->exec("INSERT INTO _Archived_SurveyData (Tree_ID, StreetName, Date_Evaluated) VALUES (7, 'O''NEIL ST', "
             "'2008-01-02 00:00:00')");
    ASSERT_EQ(schemaVersion(*db), 1);
}

QStringList tablesOf(Database& db)
{
    QStringList names;
    QSqlQuery q = db.query("SELECT name FROM sqlite_master WHERE type = 'table' AND name NOT LIKE 'sqlite%' "
                           "ORDER BY name");
    while (q.next())
        names << q.value(0).toString();
    return names;
}

// Every index as "table: statement".
QStringList indexesOf(Database& db)
{
    QStringList indexes;
    QSqlQuery q = db.query("SELECT tbl_name, sql FROM sqlite_master WHERE type = 'index' AND sql IS NOT NULL "
                           "ORDER BY name");
    while (q.next())
        indexes << q.value(0).toString() + ": " + q.value(1).toString();
    return indexes;
}

TEST(UpgradeSchema, BringsAVersion1FileUpToDateKeepingItsData)
{
    TempProgramDir dir(false);
    makeVersion1Database(dir.databasePath());
    TempProgramDir fresh;

    auto db = openKolvaDatabase(dir.databasePath());
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);
    // The upgraded file has the same tables and columns as a new one.
    auto supplied = openKolvaDatabase(fresh.databasePath());
    EXPECT_EQ(tablesOf(*db), tablesOf(*supplied));
    for (const QString& table : tablesOf(*supplied))
        EXPECT_EQ(columnsOf(*db, table), columnsOf(*supplied, table)) << table.toStdString();
    EXPECT_EQ(indexesOf(*db), indexesOf(*supplied));
    EXPECT_EQ(db->scalar("SELECT StreetName FROM _Archived_SurveyData WHERE Tree_ID = 7").toString(), "O'NEIL ST");
    EXPECT_EQ(db->scalar("SELECT Mobilize_Cost FROM _tblMobilization WHERE ID = 1").toDouble(), 0.0);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Survey_History").toInt(), 0);
}

TEST(UpgradeSchema, Version6KeepsEveryImportedFileWithItsDigestAsBytes)
{
    TempProgramDir dir(false);
    makeDatabaseOfVersion(dir.databasePath(), 5);
    const QByteArray bytes = "7\r\nO'NEIL ST\r\n";
    const QByteArray hex = QCryptographicHash::hash(bytes, QCryptographicHash::Sha256).toHex();
    const struct {
        int id;
        QVariant digest;   // as version 5 held it
        QVariant expected; // as version 6 holds it
    } rows[] = {
        {3, QString::fromLatin1(hex), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)},
        {4, QString::fromLatin1(hex.toUpper()), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256)},
        // Not a digest in hexadecimal (63 characters, a letter past f): kept as it was.
        {8, QString::fromLatin1(hex.left(63)), QString::fromLatin1(hex.left(63))},
        {9, QString::fromLatin1(hex.left(63) + "g"), QString::fromLatin1(hex.left(63) + "g")},
    };
    {
        auto db = Database::open(dir.databasePath());
        for (const auto& r : rows)
            db->exec("INSERT INTO _Imported_Files (ID, Digest, File_Name, Byte_Size, Imported_At, Survey_ID) "
                     "VALUES (?, ?, 'a.tree', 16, '2008-01-02 16:45:30', NULL)",
                     {r.id, r.digest});
        // Row 12 was the last given and has gone: the numbering goes on from it.
        db->exec("UPDATE sqlite_sequence SET seq = 12 WHERE name = '_Imported_Files'");
    }

    auto db = openKolvaDatabase(dir.databasePath());
    EXPECT_EQ(schemaVersion(*db), CurrentSchemaVersion);
    for (const auto& r : rows) {
        QSqlQuery q = db->query("SELECT Digest, typeof(Digest), File_Name, Byte_Size, Imported_At, Survey_ID "
                                "FROM _Imported_Files WHERE ID = ?", {r.id});
        ASSERT_TRUE(q.next()) << r.id;
        EXPECT_EQ(q.value(1).toString(), r.expected.typeId() == QMetaType::QByteArray ? "blob" : "text") << r.id;
        EXPECT_EQ(q.value(0).toByteArray(), r.expected.toByteArray()) << r.id;
        EXPECT_EQ(q.value(2).toString(), "a.tree");
        EXPECT_EQ(q.value(3).toLongLong(), 16);
        EXPECT_EQ(q.value(4).toString(), "2008-01-02 16:45:30");
        EXPECT_TRUE(q.value(5).isNull());
    }
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Imported_Files").toInt(), 4);
    db->exec("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At) "
             "VALUES (x'00', 'b.tree', 1, '2008-01-03 00:00:00')");
    EXPECT_EQ(db->lastInsertId(), 13);
    EXPECT_FALSE(db->tableExists("_Imported_Files_5"));
}

TEST(UpgradeSchema, AFailedStepLeavesTheFileAtItsOldVersion)
{
    TempProgramDir dir(false);
    makeVersion1Database(dir.databasePath());
    // A table of the same name as one of a later step makes that step fail.
    Database::open(dir.databasePath())->exec("CREATE TABLE _Imported_Files (x)");

    try {
        openKolvaDatabase(dir.databasePath());
        FAIL() << "the upgrade should fail";
    } catch (const DatabaseRefused& refused) {
        EXPECT_TRUE(refused.userMessage().contains("could not be brought up to date"));
        EXPECT_TRUE(refused.userMessage().contains("has not been changed"));
    }
    auto db = Database::open(dir.databasePath());
    EXPECT_EQ(schemaVersion(*db), 1);
    EXPECT_FALSE(db->tableExists("_Survey_History")) << "the earlier steps are undone too";
}

} // namespace
