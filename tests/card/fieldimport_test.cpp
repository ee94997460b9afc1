#include "card/fieldimport.h"
#include "store/database.h"
#include "tests/card/cardtest.h"
#include "tests/support/testcontext.h"

#include <QDir>
#include <QFile>
#include <QSqlRecord>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

const QDateTime ImportTime(QDate(2008, 1, 2), QTime(16, 45, 30));

class FieldImportTest : public ::testing::Test {
protected:
    int rows() { return ctx.db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(); }
    QSqlRecord row(int treeId)
    {
        QSqlQuery q = ctx.db->query("SELECT * FROM _Archived_SurveyData WHERE Tree_ID = ?", {treeId});
        if (!q.next()) {
            ADD_FAILURE() << "no record of tree " << treeId;
            return {};
        }
        return q.record();
    }
    ImportResult import() { return importTreeFiles(*ctx.db, card.root(), listTreeFiles(card.root()), ImportTime); }

    TestContext ctx;
    TestCard card;
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
    EXPECT_EQ(ctx.db->scalar("SELECT typeof(Tree_ID) || typeof(DBH) || typeof(Hazard_Rating) FROM _Archived_SurveyData")
                  .toString(),
              "integerintegerinteger");
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
    card.addRaw("03.tree", "KOLVA\r\n");
    card.addTree("04.tree", nonNumeric);
    card.addTree("05.tree", wideDbh);
    card.addTree("06.tree", badDate);
    card.addRaw("07.tree", QByteArray(4096, '\0'));
    card.addTree("08.tree", shortFile);
    card.addTree("09.tree", treeLines(9));

    const ImportResult result = import();
    EXPECT_EQ(result.imported, 3);
    EXPECT_EQ(result.failedNames(), QStringList({"02.tree", "03.tree", "04.tree", "05.tree", "06.tree", "07.tree"}));
    for (const FailedFile& failed : result.failed)
        EXPECT_FALSE(failed.reason.isEmpty()) << failed.name.toStdString();
    QSqlQuery q = ctx.db->query("SELECT Tree_ID, DBH, Species FROM _Archived_SurveyData ORDER BY Tree_ID");
    QStringList stored;
    while (q.next())
        stored << q.value(0).toString() + "/" + q.value(1).toString() + "/" + q.value(2).toString();
    EXPECT_EQ(stored, QStringList({"1/14/ACRU-RED MAPLE", "6/0/", "9/14/ACRU-RED MAPLE"}))
        << "a short file stores empty texts and 0";
}

TEST_F(FieldImportTest, ARecordTheDatabaseRefusesLeavesNoRowBehind)
{
    // A rule of the database that refuses one tree after its row was written.
    ctx.db->exec("CREATE TABLE import_log (tree INTEGER)");
    ctx.db->exec("CREATE TRIGGER log_import AFTER INSERT ON _Archived_SurveyData BEGIN "
                 "INSERT INTO import_log VALUES (NEW.Tree_ID); "
                 "SELECT RAISE(ABORT, 'tree 666 refused') WHERE NEW.Tree_ID = 666; END");
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(666));
    card.addTree("c.tree", treeLines(3));
    const ImportResult result = import();
    EXPECT_EQ(result.imported, 2);
    ASSERT_EQ(result.failed.size(), 1);
    EXPECT_EQ(result.failed[0].name, "b.tree");
    EXPECT_TRUE(result.failed[0].reason.contains("tree 666 refused")) << result.failed[0].reason.toStdString();
    EXPECT_EQ(ctx.db->scalar("SELECT group_concat(Tree_ID) FROM _Archived_SurveyData").toString(), "1,3");
    EXPECT_EQ(ctx.db->scalar("SELECT group_concat(tree) FROM import_log").toString(), "1,3");
}

TEST_F(FieldImportTest, AFailingCommitLeavesTheDatabaseAsItWas)
{
    const int before = rows();
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    // Another program reads the database and keeps its read open: the
    // import cannot write its transaction.
    auto reader = Database::open(ctx.db->path());
    reader->exec("BEGIN");
    QSqlQuery hold = reader->query("SELECT * FROM _Archived_SurveyData");
    ctx.db->exec("PRAGMA busy_timeout = 50");
    EXPECT_THROW(import(), DbError);
    hold.finish();
    reader->exec("ROLLBACK");
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(import().imported, 2) << "the connection is usable again";
}

TEST_F(FieldImportTest, ImportTreeFileAddsOneRecordOrSaysWhyNot)
{
    QByteArrayList wideDbh = treeLines(2);
    wideDbh[9] = "32768";
    card.addTree("good.tree", treeLines(1));
    card.addTree("wide.tree", wideDbh);
    const int before = rows();
    Transaction transaction(*ctx.db);
    TreeFileImporter importer(*ctx.db);
    EXPECT_EQ(importer.ImportTreeFile(card.path("good.tree"), ImportTime), "");
    EXPECT_EQ(importer.ImportTreeFile(card.path("wide.tree"), ImportTime),
              "line 10 (DBH) is not a whole number of 16 bits: \"32768\"");
    EXPECT_TRUE(importer.ImportTreeFile(card.path("gone.tree"), ImportTime).startsWith("cannot be opened"));
    transaction.commit();
    EXPECT_EQ(rows(), before + 1);
    EXPECT_EQ(row(1).value("Date_Added").toString(), "2008-01-02 16:45:30");
}

TEST_F(FieldImportTest, ManyFilesImportInListOrderWithTheBadOnesNamed)
{
    // More files than are read ahead at a time, bad ones among them.
    QStringList expectedFailures;
    for (int n = 1; n <= 700; ++n) {
        const QString name = QStringLiteral("%1.tree").arg(n, 4, 10, QLatin1Char('0'));
        if (n % 97 == 0) {
            card.addRaw(name, "not a tree file");
            expectedFailures << name;
        } else {
            card.addTree(name, treeLines(n));
        }
    }
    const int before = rows();
    const ImportResult result = import();
    EXPECT_EQ(result.imported, 700 - expectedFailures.size());
    EXPECT_EQ(result.failedNames(), expectedFailures);
    EXPECT_EQ(rows(), before + result.imported);
    QSqlQuery q = ctx.db->query("SELECT Tree_ID FROM _Archived_SurveyData WHERE ID > ? ORDER BY ID",
                                {ctx.db->scalar("SELECT MAX(ID) FROM _Archived_SurveyData").toInt() - result.imported});
    int previous = 0;
    bool ordered = true;
    while (q.next()) {
        ordered = ordered && q.value(0).toInt() > previous;
        previous = q.value(0).toInt();
    }
    EXPECT_TRUE(ordered) << "records are added in list order";
    EXPECT_EQ(previous, 700);
}

TEST_F(FieldImportTest, TheConnectionSettingsComeBackAfterAnImport)
{
    const QVariant cache = ctx.db->scalar("PRAGMA cache_size");
    const QVariant temp = ctx.db->scalar("PRAGMA temp_store");
    card.addTree("a.tree", treeLines(1));
    import();
    EXPECT_EQ(ctx.db->scalar("PRAGMA cache_size"), cache);
    EXPECT_EQ(ctx.db->scalar("PRAGMA temp_store"), temp);
    // A temporary table of the connection survives an import.
    ctx.db->exec("CREATE TEMP TABLE scratch (x)");
    ctx.db->exec("INSERT INTO scratch VALUES (1)");
    import();
    EXPECT_EQ(ctx.db->scalar("SELECT COUNT(*) FROM scratch").toInt(), 1);
}

TEST(CardFolder, TheMarkerAndTheTreePatternMatchInAnyCase)
{
    const struct {
        const char* marker;
        bool isCard;
    } markers[] = {{"RiskRating_1.txt", true}, {"RISKRATING_1.TXT", true}, {"riskrating_1.txt", true},
                   {"RiskRating_2.txt", false}, {"RiskRating_1.txt.bak", false}};
    for (const auto& m : markers) {
        TestCard card(false);
        card.addRaw(m.marker, "x\r\n");
        EXPECT_EQ(isKolvaCard(card.root()), m.isCard) << m.marker;
    }
    TestCard folderNamedLikeTheMarker(false);
    QDir(folderNamedLikeTheMarker.root()).mkdir("RiskRating_1.txt");
    EXPECT_FALSE(isKolvaCard(folderNamedLikeTheMarker.root()));

    TestCard card;
    for (const char* name : {"b.tree", "A.TREE", "c.Tree", "a2.tree", "notes.txt", "x.tree.bak", ".hidden.tree"})
        card.addRaw(name, "1\r\n");
    QDir(card.root()).mkdir("folder.tree");
    EXPECT_EQ(listTreeFiles(card.root()), QStringList({"A.TREE", "a2.tree", "b.tree", "c.Tree"}));
}

// File operations that fail where a test wants them to.
class FailingFiles : public CardFiles {
public:
    QString failCopyOf;   // copying this file fails
    QString corruptCopyOf; // this file's copy differs from the original
    QString failRemoveOf; // deleting this file from the card fails
    bool failFlush = false;
    int flushes = 0;

    bool copyFile(const QString& from, const QString& to, QString* error) override
    {
        if (QFileInfo(from).fileName() == failCopyOf) {
            *error = "the backup volume is full";
            return false;
        }
        if (!CardFiles::copyFile(from, to, error))
            return false;
        if (QFileInfo(from).fileName() == corruptCopyOf) {
            QFile copy(to);
            copy.open(QIODevice::WriteOnly | QIODevice::Truncate);
            copy.write("1\r\n");
        }
        return true;
    }
    bool removeFile(const QString& path, QString* error) override
    {
        if (QFileInfo(path).fileName() == failRemoveOf) {
            *error = "the card is write-protected";
            return false;
        }
        return CardFiles::removeFile(path, error);
    }
    bool flushToDisk(const QString& folder, QString* error) override
    {
        ++flushes;
        if (failFlush) {
            *error = "flush failed";
            return false;
        }
        return CardFiles::flushToDisk(folder, error);
    }
};

// A card of three .tree files and an empty program directory.
struct BackupScene {
    BackupScene()
    {
        for (const char* name : {"a.tree", "b.tree", "c.tree"})
            card.addTree(name, treeLines(name[0]));
        backupDir = programDir.filePath("backup_20080102");
    }
    BackupResult move() { return moveToBackup(card.root(), {"a.tree", "b.tree", "c.tree"}, backupDir, files); }

    bool inBackup(const QString& name) { return QFileInfo::exists(QDir(backupDir).filePath(name)); }

    TestCard card;
    QTemporaryDir programDir;
    QString backupDir;
    FailingFiles files;
};

class BackupTest : public ::testing::Test, public BackupScene {};

TEST_F(BackupTest, MovesEveryFileAndReplacesAnOlderCopy)
{
    writeBytes(QDir(backupDir).filePath("b.tree"), "an older copy\r\n");
    const QByteArray b = readBytes(card.path("b.tree"));
    const BackupResult result = move();
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.moved, QStringList({"a.tree", "b.tree", "c.tree"}));
    EXPECT_TRUE(card.treeFiles().isEmpty());
    EXPECT_EQ(readBytes(QDir(backupDir).filePath("b.tree")), b);
    EXPECT_EQ(QDir(backupDir).entryList(QDir::Files), QStringList({"a.tree", "b.tree", "c.tree"}))
        << "no temporary file left";
    EXPECT_EQ(files.flushes, 1) << "one flush for all copies, before the first delete";
}

TEST(Backup, AFailureKeepsEveryFileWithoutAVerifiedCopyOnTheCard)
{
    const struct {
        const char* name;
        void (*arrange)(BackupScene&);
        QStringList moved;
        QStringList onCard;
        const char* failedName;
    } cases[] = {
        {"copy fails", [](BackupScene& t) { t.files.failCopyOf = "b.tree"; }, {"a.tree"}, {"b.tree", "c.tree"}, "b.tree"},
        {"copy differs", [](BackupScene& t) { t.files.corruptCopyOf = "b.tree"; }, {"a.tree"}, {"b.tree", "c.tree"},
         "b.tree"},
        {"delete fails", [](BackupScene& t) { t.files.failRemoveOf = "b.tree"; }, {"a.tree"}, {"b.tree", "c.tree"},
         "b.tree"},
        {"flush fails", [](BackupScene& t) { t.files.failFlush = true; }, {}, {"a.tree", "b.tree", "c.tree"}, "a.tree"},
        {"copy target is a folder",
         [](BackupScene& t) { QDir().mkpath(QDir(t.backupDir).filePath("b.tree/inside")); }, {"a.tree"},
         {"b.tree", "c.tree"}, "b.tree"},
    };
    for (const auto& c : cases) {
        BackupScene t;
        c.arrange(t);
        const BackupResult result = t.move();
        EXPECT_FALSE(result.ok()) << c.name;
        EXPECT_FALSE(result.error.isEmpty()) << c.name;
        EXPECT_EQ(result.failedName, c.failedName) << c.name;
        EXPECT_EQ(result.moved, c.moved) << c.name;
        EXPECT_EQ(t.card.treeFiles(), c.onCard) << c.name;
        for (const QString& name : c.moved)
            EXPECT_TRUE(t.inBackup(name)) << c.name;
    }
}

TEST_F(BackupTest, AFileWhereTheBackupFolderShouldBeStopsBeforeAnyCopy)
{
    writeBytes(backupDir, "not a folder");
    const BackupResult result = move();
    EXPECT_FALSE(result.ok());
    EXPECT_TRUE(result.moved.isEmpty());
    EXPECT_EQ(card.treeFiles().size(), 3);
}

TEST(FailedFilesReport, SaysHowManyWhereAndWhich)
{
    const QString backup = "/opt/kolva/backup_20080102";
    const QString card = "/media/crew/CARD/";
    EXPECT_EQ(failedFilesReport({"b.tree"}, {"a.tree", "b.tree"}, backup, card),
              "1 file could not be imported; it is in the backup folder /opt/kolva/backup_20080102:\nb.tree");
    EXPECT_EQ(failedFilesReport({"b.tree", "d.tree"}, {}, backup, card),
              "2 files could not be imported; they are still on the storage card in /media/crew/CARD:\nb.tree\nd.tree");
    EXPECT_EQ(failedFilesReport({"b.tree", "d.tree"}, {"b.tree"}, backup, card),
              "2 files could not be imported.\nIn the backup folder /opt/kolva/backup_20080102:\nb.tree\n"
              "Still on the storage card in /media/crew/CARD:\nd.tree");
    QStringList many;
    for (int i = 0; i < 25; ++i)
        many << QStringLiteral("%1.tree").arg(i, 2, 10, QLatin1Char('0'));
    const QStringList lines = failedFilesReport(many, {}, backup, card).split('\n');
    ASSERT_EQ(lines.size(), 22);
    EXPECT_TRUE(lines[0].startsWith("25 files could not be imported"));
    EXPECT_EQ(lines[20], "19.tree");
    EXPECT_EQ(lines[21], "... and 5 more");
}

TEST(DisplayFolder, ShowsTheFolderAsTheUserSeesIt)
{
    EXPECT_EQ(displayFolder("/"), "/");
    EXPECT_EQ(displayFolder("/media/crew/CARD/"), "/media/crew/CARD");
    EXPECT_EQ(displayFolder("/media/crew/CARD"), "/media/crew/CARD");
}

} // namespace
