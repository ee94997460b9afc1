// The whole import as the program runs it: the records it saves, their
// history and files, all or nothing, Cancel, and the import log.

#include "card/importmessages.h"
#include "tests/card/importscene.h"
#include "tests/support/oddentries.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace kolva;
using namespace kolva::test;

namespace {

class FieldImportTest : public ::testing::Test, public ImportScene {
protected:
    QSqlRecord row(int treeId)
    {
        QSqlQuery q = ctx.db->query("SELECT * FROM _Archived_SurveyData WHERE Tree_ID = ?", {treeId});
        if (!q.next()) {
            ADD_FAILURE() << "no record of tree " << treeId;
            return {};
        }
        return q.record();
    }
};

TEST_F(FieldImportTest, EveryLineLandsInItsColumn)
{
    QByteArrayList lines;
    for (int line = 1; line <= 50; ++line)
        lines << "line " + QByteArray::number(line);
    lines[1] = "4711";          // Tree_ID
    lines[3] = "7/14/2008 9:05"; // Date_Evaluated
    lines[9] = "10";            // DBH
    lines[24] = "25";           // TrunkDecay_Shell
    lines[25] = "26";
    lines[26] = "27";
    lines[38] = "39";           // Hazard_Rating
    card.addTree("a.tree", lines);
    ASSERT_EQ(import().imported, 1);

    const QSqlRecord r = row(4711);
    const struct {
        const char* column;
        QVariant value;
    } expected[] = {
        {"Tree_ID", 4711}, {"Surveyor", "line 3"}, {"Date_Evaluated", "2008-07-14 09:05:00"},
        {"RiskZone", "line 5"}, {"StreetNum", "line 6"}, {"StreetName", "line 7"}, {"Location", "line 8"},
        {"Species", "line 9"}, {"DBH", 10}, {"Site", "line 11"}, {"Obstructions_Physical", "line 12"},
        {"Obstructions_Visual", "line 13"}, {"Crown_Canker", "line 14"}, {"Crown_Crack", "line 15"},
        {"Crown_Deadwood", "line 16"}, {"Crown_Decay", "line 17"}, {"Crown_Arch_1", "line 18"},
        {"Crown_Arch_2", "line 19"}, {"Crown_Arch_3", "line 20"}, {"WeakUnion", "line 21"},
        {"Trunk_Canker", "line 22"}, {"Trunk_Crack", "line 23"}, {"Trunk_Decay", "line 24"},
        {"TrunkDecay_Shell", 25}, {"TrunkDecay_Diam", 26}, {"TrunkDecay_Pct", 27}, {"Trunk_Arch_1", "line 28"},
        {"Trunk_Arch_2", "line 29"}, {"Roots_Deep", "line 30"}, {"Roots_Injury", "line 31"},
        {"Roots_Decay", "line 32"}, {"Roots_Arch1", "line 33"}, {"Roots_Arch2", "line 34"},
        {"Size_Defect", "line 35"}, {"Prob_Failure", "line 36"}, {"Prob_TargetImpact", "line 37"},
        {"OtherRisk", "line 38"}, {"Hazard_Rating", 39}, {"Desc_OtherRisk", "line 40"},
        {"ReinspectYear", "line 41"}, {"CorrectiveActions", "line 42"}, {"Note", "line 43"},
        {"Date_Added", "2008-01-02 16:45:30"}, {"Utility_Conflict", "line 44"},
    };
    ASSERT_EQ(std::size(expected), 44u);
    for (const auto& e : expected) {
        EXPECT_EQ(r.value(e.column).toString(), e.value.toString()) << e.column;
    }
    for (const char* untouched : {"Latitude", "Longitude"})
        EXPECT_TRUE(r.value(untouched).isNull()) << untouched;
    EXPECT_EQ(r.value("Report_Flag").toInt(), 0);
    // Numbers are stored as numbers, so that they order numerically.
    for (const char* number : {"Tree_ID", "DBH", "Hazard_Rating"}) {
        const int type = r.value(number).typeId();
        EXPECT_TRUE(type == QMetaType::Int || type == QMetaType::LongLong) << number << " read back as " << type;
    }
}


TEST_F(FieldImportTest, TextsAreStoredExactlyAsTheFileHoldsThem)
{
    const QByteArray afterApostrophe = "O'" + QByteArray(900, 'x') + "   ";
    QByteArrayList lines = treeLines(1);
    lines[2] = "O'NEIL, D'ARCY";                        // Surveyor
    lines[6] = "MAIN ST \"OLD\"";                       // StreetName
    lines[8] = "Caf\xe9 \x92s maple";                   // Species, Windows-1252
    lines[39] = "'; DROP TABLE _Archived_SurveyData; --"; // Desc_OtherRisk
    lines[42] = afterApostrophe;                          // Note
    card.addTree("a.tree", lines);
    ASSERT_EQ(import().imported, 1);
    const QSqlRecord r = row(1);
    EXPECT_EQ(r.value("Surveyor").toString(), "O'NEIL, D'ARCY");
    EXPECT_EQ(r.value("StreetName").toString(), "MAIN ST \"OLD\"");
    EXPECT_EQ(r.value("Species").toString(), QString::fromUtf8("Café \u2019s maple"));
    EXPECT_EQ(r.value("Desc_OtherRisk").toString(), "'; DROP TABLE _Archived_SurveyData; --");
    EXPECT_EQ(r.value("Note").toString(), QString::fromLatin1(afterApostrophe)) << "not cut after the apostrophe";
    EXPECT_EQ(ctx.db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Note IS NULL OR Location IS NULL").toInt(),
              0);
}


TEST_F(FieldImportTest, ABadFileAddsNothingAndTheOthersStillImport)
{
    QByteArrayList nonNumeric = treeLines(3);
    nonNumeric[1] = "T3";
    QByteArrayList wideDbh = treeLines(4);
    wideDbh[9] = "70000";
    QByteArrayList badDate = treeLines(5);
    badDate[3] = "2/30/2008";
    QByteArrayList shortFile = {"x", "6", "ANNA", "3/1/2008"};
    card.addTree("01.tree", treeLines(1));
    card.addRaw("02.tree", "");
    card.addTree("04.tree", nonNumeric);
    card.addTree("05.tree", wideDbh);
    card.addTree("06.tree", badDate);
    card.addRaw("07.tree", QByteArray(4096, '\0'));
    card.addTree("08.tree", shortFile);
    card.addTree("09.tree", treeLines(9));

    const CardImportResult result = import();
    EXPECT_TRUE(result.saved());
    EXPECT_EQ(result.found, 8);
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(names(result.refused, true),
              QStringList({"02.tree: the date (line 4) is empty", "04.tree: Tree_ID \"T3\" is not a number",
                           "05.tree: DBH 70000 is outside -32768 to 32767", "06.tree: 2/30/2008 is not a date",
                           "07.tree: not a text file (line 1 holds a NUL byte)"}));
    QSqlQuery q = ctx.db->query("SELECT Tree_ID, DBH, Species FROM _Archived_SurveyData ORDER BY Tree_ID");
    QStringList stored;
    while (q.next())
        stored << q.value(0).toString() + "/" + q.value(1).toString() + "/" + q.value(2).toString();
    EXPECT_EQ(stored, QStringList({"1/14/ACRU-RED MAPLE", "6/0/", "9/14/ACRU-RED MAPLE"}))
        << "a short file stores empty texts and 0";
    // The whole list goes to the log beside the program (the backup box is clear).
    ASSERT_FALSE(result.logFile.isEmpty());
    EXPECT_EQ(QFileInfo(result.logFile).absolutePath(), QFileInfo(ctx.dir.path()).absoluteFilePath());
    const QString log = QString::fromUtf8(readBytes(result.logFile));
    for (const QString& line : names(result.refused, true))
        EXPECT_TRUE(log.contains(line)) << line.toStdString();
}


TEST_F(FieldImportTest, ARecordTheDatabaseRefusesLeavesNoRowBehind)
{
    // A rule of the database that refuses one tree after its row was written.
    ctx.db->exec("CREATE TABLE import_log (tree INTEGER)");
    failInsertsWhen(*ctx.db, "NEW.Tree_ID = 666", InsertFailure::Refused, "tree 666 refused", "import_log");
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(666));
    QByteArrayList badDate = treeLines(4);
    badDate[3] = "2/30/2008";
    card.addTree("b2.tree", badDate);
    card.addTree("c.tree", treeLines(3));
    const CardImportResult result = import();
    EXPECT_EQ(result.imported, 2) << result.why.toStdString();
    // In the order of the files, whichever refused them.
    EXPECT_EQ(names(result.refused, true),
              QStringList({"b.tree: tree 666 refused", "b2.tree: 2/30/2008 is not a date"}));
    EXPECT_EQ(joined("SELECT Tree_ID FROM _Archived_SurveyData ORDER BY Tree_ID"), "1,3");
    EXPECT_EQ(joined("SELECT tree FROM import_log ORDER BY tree"), "1,3");
    EXPECT_EQ(count("_Survey_History"), 2);
    EXPECT_EQ(count("_Imported_Files"), 2);
}


TEST_F(FieldImportTest, EachRecordHasItsHistoryRowAndItsFileIsRemembered)
{
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    ASSERT_EQ(import().imported, 2);
    QSqlQuery q = ctx.db->query(
        "SELECT s.Tree_ID, h.Action, h.Field, h.Old_Value, h.New_Value, h.Changed_At, h.Changed_By, f.File_Name, "
        "f.Byte_Size, f.Digest, f.Imported_At FROM _Archived_SurveyData s JOIN _Survey_History h ON h.Survey_ID = s.ID "
        "JOIN _Imported_Files f ON f.Survey_ID = s.ID ORDER BY s.Tree_ID");
    for (int tree : {1, 2}) {
        ASSERT_TRUE(q.next());
        const QByteArray bytes = joinLines(treeLines(tree));
        EXPECT_EQ(q.value(0).toInt(), tree);
        EXPECT_EQ(q.value(1).toString(), "imported");
        EXPECT_TRUE(q.value(2).isNull() && q.value(3).isNull() && q.value(4).isNull());
        EXPECT_EQ(q.value(5).toString(), "2008-01-02 16:45:30");
        EXPECT_EQ(q.value(6).toString(), "anna");
        EXPECT_EQ(q.value(7).toString(), tree == 1 ? "a.tree" : "b.tree");
        EXPECT_EQ(q.value(8).toLongLong(), bytes.size());
        EXPECT_EQ(q.value(9).toByteArray(), QCryptographicHash::hash(bytes, QCryptographicHash::Sha256));
        EXPECT_EQ(q.value(10).toString(), "2008-01-02 16:45:30");
    }
    EXPECT_FALSE(q.next()) << "one history row and one file row a record";
}


TEST(FieldImport, TheHistoryOfAnImportIntoAFullDatabaseNamesExactlyItsOwnRecords)
{
    // On a server the records go in one stream for the card, or in many
    // short ones: a refused record first in its stream and one amid it.
    for (const qint64 stream : {DefaultRecordsAStream, qint64(7)}) {
        SCOPED_TRACE(stream);
        ImportScene t;
        t.recordsAStream = stream;
        // Records of before: one imported, one entered without an import.
        t.card.addTree("first.tree", treeLines(1));
        ASSERT_EQ(t.import().imported, 1);
        ASSERT_TRUE(QFile::remove(t.card.path("first.tree")));
        t.ctx.db->exec("INSERT INTO _Archived_SurveyData (Tree_ID, Date_Added) VALUES (2, '2008-01-01 08:00:00')");
        // More records than are written at once, two refused by the database.
        failInsertsWhen(*t.ctx.db, "NEW.Tree_ID IN (500, 1000)", InsertFailure::Refused, "refused here");
        for (int n = 10; n < 1210; ++n)
            t.card.addTree(QStringLiteral("%1.tree").arg(n, 4, 10, QLatin1Char('0')), treeLines(n));

        const CardImportResult result = t.import();
        EXPECT_EQ(result.imported, 1198);
        EXPECT_EQ(names(result.refused, true), QStringList({"0500.tree: refused here", "1000.tree: refused here"}));
        // Each record has one history row and one file row of its own, and the
        // records of before keep theirs.
        // The fewest and most rows a record has, and how many records.
        const auto perRecord = [&t](const char* table, const char* where) {
            return t.ctx.db
                ->scalar(QStringLiteral("SELECT MIN(n) || ',' || MAX(n) || ',' || COUNT(*) FROM (SELECT COUNT(h.ID) AS n "
                                        "FROM _Archived_SurveyData s LEFT JOIN %1 h ON h.Survey_ID = s.ID WHERE %2 "
                                        "GROUP BY s.ID) AS per_record")
                             .arg(table, where))
                .toString();
        };
        EXPECT_EQ(perRecord("_Survey_History", "s.Tree_ID >= 10"), "1,1,1198");
        EXPECT_EQ(perRecord("_Imported_Files", "s.Tree_ID >= 10"), "1,1,1198");
        EXPECT_EQ(perRecord("_Survey_History", "s.Tree_ID = 1"), "1,1,1");
        EXPECT_EQ(perRecord("_Survey_History", "s.Tree_ID = 2"), "0,0,1");
        EXPECT_EQ(t.count("_Survey_History"), 1 + 1198);
        QSqlQuery named = t.ctx.db->query(
            "SELECT f.File_Name, s.Tree_ID FROM _Imported_Files f JOIN _Archived_SurveyData s ON s.ID = f.Survey_ID");
        int namesItsRecord = 0;
        while (named.next())
            namesItsRecord += named.value(0).toString() == QStringLiteral("%1.tree").arg(named.value(1).toInt(), 4, 10,
                                                                                           QLatin1Char('0'));
        EXPECT_EQ(namesItsRecord, 1198) << "each file row names the record of its file";
    }
}

TEST(FieldImport, ADatabaseThatFailsPartWaySavesNothingAndLeavesEveryFileOnTheCard)
{
    // Each engine's own ways to fail: SQLite's file full, read-only or
    // locked; the server's session read-only or a table locked by another.
    const bool server = onServer();
    const struct {
        const char* name;
        const char* setting;         // run on the import's own connection
        std::optional<InsertFailure> failure; // at tree 30, from a trigger made beforehand
        bool holdLock;               // another program keeps a read (a lock on the server) open
        const char* why;             // in the cause given
        bool partWay = true;         // records were added before the failure
    } cases[] = {
        {"disk full", server ? nullptr : "PRAGMA max_page_count = %1",
         server ? std::optional(InsertFailure::DiskFull) : std::nullopt, false, server ? "No space left" : "full"},
        {"read-only", server ? "SET default_transaction_read_only = on" : "PRAGMA query_only = ON", std::nullopt, false,
         server ? "read-only" : "readonly", false},
        {"transaction ended by the engine", nullptr, InsertFailure::EngineGivesUp, false, "the engine gave up"},
        {"locked", server ? "SET lock_timeout = 50" : "PRAGMA busy_timeout = 50", std::nullopt, true,
         server ? "lock timeout" : "locked", !server}, // the server locks the table as the insert is prepared
    };
    for (const auto& c : cases) {
        ImportScene t;
        for (int n = 1; n <= 120; ++n)
            t.card.addTree(QStringLiteral("%1.tree").arg(n, 3, 10, QLatin1Char('0')), treeLines(n));
        if (c.failure)
            failInsertsWhen(*t.ctx.db, "NEW.Tree_ID = 30", *c.failure,
                            *c.failure == InsertFailure::DiskFull ? "could not extend file: No space left on device"
                                                                   : "the engine gave up");
        const int before = t.rows();
        const int pages = server ? 0 : t.ctx.db->scalar("PRAGMA page_count").toInt();
        QString setting = QString::fromLatin1(c.setting);
        if (setting.contains(QLatin1String("%1")))
            setting = setting.arg(pages + 4);
        t.openDatabase = [setting](const QString& path) {
            auto db = Database::open(path);
            if (!setting.isEmpty())
                db->exec(setting);
            return db;
        };
        std::unique_ptr<Database> other;
        QSqlQuery hold;
        if (c.holdLock) {
            other = Database::open(t.ctx.databasePath());
            other->exec("BEGIN");
            if (server) {
                other->exec("LOCK TABLE _Archived_SurveyData IN EXCLUSIVE MODE");
            } else {
                hold = other->query("SELECT * FROM _Archived_SurveyData");
                hold.next();
            }
        }
        const CardImportResult result = t.import(true);
        hold = QSqlQuery();
        other.reset();

        EXPECT_EQ(result.stop, CardImportResult::Stop::Database) << c.name;
        EXPECT_TRUE(result.why.contains(c.why)) << c.name << ": " << result.why.toStdString();
        EXPECT_EQ(t.rows(), before) << c.name;
        EXPECT_EQ(t.count("_Survey_History"), 0) << c.name;
        EXPECT_EQ(t.count("_Imported_Files"), 0) << c.name;
        EXPECT_EQ(t.card.treeFiles().size(), 120) << c.name;
        EXPECT_TRUE(t.backupFiles().isEmpty()) << c.name;
        if (c.partWay) {
            EXPECT_GT(t.progress.stages().back().lastDone, 1) << c.name << ": failed part-way, not at once";
        }
    }
}


TEST(FieldImport, CancelBeforeTheCommitSavesAndMovesNothing)
{
    // Cancelled while the files are imported, and while the files imported
    // before are saved again after the question; inside the step and after
    // its last file, just before the commit.
    const struct {
        bool again;
        const char* stage;
        qint64 at;
    } cases[] = {{false, "Importing", 2}, {false, "Importing", 5}, {true, "Saving", 2}, {true, "Saving", 5}};
    for (const auto& c : cases) {
        const std::string name = std::string(c.stage) + " " + std::to_string(c.at);
        ImportScene t;
        for (int n = 1; n <= 5; ++n)
            t.card.addTree(QStringLiteral("%1.tree").arg(n), treeLines(n));
        if (c.again) {
            ASSERT_EQ(t.import().imported, 5);
        }
        const int before = t.rows();
        const int files = t.count("_Imported_Files");
        t.progress.cancelAt(c.stage, c.at);
        const CardImportResult result = t.import(true, c.again ? std::optional<bool>(true) : std::nullopt);
        EXPECT_EQ(result.stop, CardImportResult::Stop::Cancelled) << name;
        EXPECT_EQ(t.rows(), before) << name;
        EXPECT_EQ(t.count("_Imported_Files"), files) << name;
        EXPECT_EQ(t.card.treeFiles().size(), 5) << name;
        EXPECT_FALSE(QFileInfo::exists(t.backupDir)) << name;
        EXPECT_TRUE(t.progress.stages().back().cancellable) << name;
    }
}


TEST_F(FieldImportTest, AProgramFolderThatCannotBeWrittenIsNamedBeforeAnythingIsRead)
{
    card.addTree("a.tree", treeLines(1));
    files.unwritableFolder = ctx.dir.path();
    const CardImportResult result = import(true);
    EXPECT_EQ(result.stop, CardImportResult::Stop::ProgramFolder);
    EXPECT_EQ(result.why, "The data folder " + QDir::toNativeSeparators(ctx.dir.path()) +
                              " cannot be written: Read-only file system");
    EXPECT_TRUE(progress.stages().empty()) << "nothing was read";
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree"}));
}


TEST_F(FieldImportTest, NamesAreShownWithTheirControlCharactersVisible)
{
    card.addRaw(QString::fromUtf8("two\nlines.tree"), "x\r\n");
    card.addRaw(QString::fromUtf8("gpj.\u202Eexe.tree"), "x\r\n");
    card.addTree("tab\tbed.tree", treeLines(1));
    const CardImportResult result = import(true);
    EXPECT_EQ(names(result.refused), QStringList({"gpj.<U+202E>exe.tree", "two<U+000A>lines.tree"}));
    EXPECT_EQ(result.moved, QStringList({"gpj.<U+202E>exe.tree", "tab<U+0009>bed.tree", "two<U+000A>lines.tree"}));
    const QString message = importsd::closingMessage(result).text;
    EXPECT_TRUE(message.contains("\ntwo<U+000A>lines.tree: the date (line 4) is empty\n")) << message.toStdString();
    EXPECT_FALSE(message.contains(QChar(0x202E)));
    const QByteArray log = readBytes(result.logFile);
    EXPECT_TRUE(log.contains("\ngpj.<U+202E>exe.tree: the date (line 4) is empty\n")) << log.toStdString();
    EXPECT_FALSE(log.contains("two\nlines"));
    EXPECT_EQ(ctx.db->scalar("SELECT File_Name FROM _Imported_Files").toString(), "tab\tbed.tree")
        << "the record of imported files keeps the name as it is";
    EXPECT_TRUE(QFileInfo::exists(QDir(backupDir).filePath("two\nlines.tree")));
}


TEST(FieldImport, TheImportLogIsNeverWrittenThroughALinkPipeOrFolder)
{
    for (const auto& odd : oddEntryCases) {
        SCOPED_TRACE(odd.says);
        ImportScene t;
        t.card.addRaw("b.tree", "KOLVA\r\n"); // refused: the import has a log to write
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath("KOLVA.MDB");
        const QString log = t.ctx.dir.filePath("import_20080102_164530.log");
        makeOddEntry(odd.kind, log, outside);
        const CardImportResult result = t.import();
        EXPECT_EQ(result.refused.size(), 1);
        EXPECT_TRUE(result.logFile.isEmpty());
        EXPECT_EQ(result.logError, QString("import_20080102_164530.log ") + odd.says);
        expectOddEntryKept(odd.kind, log, outside);
        EXPECT_TRUE(leftTemporaryFiles(t.ctx.dir.path()).isEmpty());
    }
}


} // namespace
