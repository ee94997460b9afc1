// Moving the files into the backup folder of the day, at the end of the
// import as the program runs it.

#include "tests/card/importscene.h"
#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"

#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

using namespace kolva;
using namespace kolva::test;

namespace {

// A card of three .tree files and a program directory with its database;
// the whole import with the backup box ticked, as the program runs it.
struct BackupScene : ImportScene {
    BackupScene()
    {
        for (const char* name : {"a.tree", "b.tree", "c.tree"})
            card.addTree(name, treeLines(name[0]));
    }
    // The move's part of the import's result.
    BackupResult move()
    {
        const CardImportResult result = import(true);
        EXPECT_TRUE(result.saved()) << result.why.toStdString();
        BackupResult moved;
        moved.moved = result.moved;
        moved.gone = result.goneFromCard;
        moved.failedName = result.moveStoppedAt;
        moved.error = result.moveError;
        moved.failedInBackup = result.moveFailedInBackup;
        moved.renamed = result.renamed;
        moved.cancelled = result.moveCancelled;
        return moved;
    }
    bool inBackup(const QString& name) { return QFileInfo::exists(QDir(backupDir).filePath(name)); }
    // The steps of the move, after those of the import.
    std::vector<ProgressRecorder::Stage> moveStages()
    {
        auto stages = progress.stages();
        while (!stages.empty() && !stages.front().label.startsWith("Copying"))
            stages.erase(stages.begin());
        return stages;
    }
};

class BackupTest : public ::testing::Test, public BackupScene {};
class BackupImportTest : public ::testing::Test, public ImportScene {};

TEST_F(BackupTest, MovesEveryFileAndKeepsANamesakeFromAnotherCardBesideIt)
{
    // a.tree was copied before (the same bytes); b.tree and b-2.tree came from other cards.
    writeBytes(QDir(backupDir).filePath("a.tree"), readBytes(card.path("a.tree")));
    writeBytes(QDir(backupDir).filePath("b.tree"), "the first crew's file\r\n");
    writeBytes(QDir(backupDir).filePath("b-2.tree"), "the second crew's file\r\n");
    const QByteArray b = readBytes(card.path("b.tree"));
    const BackupResult result = move();
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.moved, QStringList({"a.tree", "b.tree", "c.tree"}));
    EXPECT_TRUE(card.treeFiles().isEmpty());
    EXPECT_EQ(readBytes(QDir(backupDir).filePath("b.tree")), "the first crew's file\r\n");
    EXPECT_EQ(readBytes(QDir(backupDir).filePath("b-2.tree")), "the second crew's file\r\n");
    EXPECT_EQ(readBytes(QDir(backupDir).filePath("b-3.tree")), b);
    EXPECT_EQ(QDir(backupDir).entryList(QDir::Files | QDir::Hidden),
              QStringList({"a.tree", "b-2.tree", "b-3.tree", "b.tree", "c.tree", "import_20080102_164530.log"}))
        << "no temporary file left; the log names the renamed copy";
    ASSERT_EQ(result.renamed.size(), 1);
    EXPECT_EQ(result.renamed[0].name + ": " + result.renamed[0].reason, "b.tree: kept as b-3.tree");
    EXPECT_EQ(files.flushes, 1) << "one flush for the batch, before the first delete";
    EXPECT_EQ(progress.stages().back().lastDone, 3);
}

TEST(Backup, ALinkPipeOrFolderInTheCopysPlaceIsLeftAndTheCopyNamedBesideIt)
{
    for (const auto& odd : oddEntryCases) {
        SCOPED_TRACE(odd.says);
        BackupScene t;
        QTemporaryDir elsewhere;
        const QString outside = elsewhere.filePath("KOLVA.MDB");
        QDir().mkpath(t.backupDir);
        makeOddEntry(odd.kind, QDir(t.backupDir).filePath("c.tree"), outside);
        const QByteArray c = readBytes(t.card.path("c.tree"));
        const BackupResult result = t.move();
        EXPECT_TRUE(result.ok()) << result.error.toStdString();
        expectOddEntryKept(odd.kind, QDir(t.backupDir).filePath("c.tree"), outside);
        EXPECT_EQ(readBytes(QDir(t.backupDir).filePath("c-2.tree")), c);
        EXPECT_TRUE(t.card.treeFiles().isEmpty());
    }
}

TEST_F(BackupImportTest, AFullBackupDiskIsNotBlamedOnTheCardAndLeavesNoEmptyLog)
{
    const QString folder = fullDiskFolder();
    if (folder.isEmpty())
        return;
    card.addTree("a.tree", treeLines(1));
    card.addRaw("b.tree", "KOLVA\r\n"); // refused: the import has a log to write
    CardImportRequest r = request(true);
    r.dataDir = folder; // the database stays where it is
    const QString backup = backupFolderPath(folder, ImportTime.date());
    ASSERT_TRUE(QDir().mkpath(backup));
    fillFileSystem(folder);

    const CardImportResult result = importCard(r, progress, [](const AlreadyImported&) { return false; });
    EXPECT_EQ(result.imported, 1);
    EXPECT_TRUE(result.moveFailedInBackup);
    EXPECT_TRUE(result.moveError.endsWith("a.tree cannot be written: No space left on device"))
        << result.moveError.toStdString();
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree", "b.tree"}));
    EXPECT_TRUE(result.logFile.isEmpty());
    EXPECT_TRUE(result.logError.endsWith("No space left on device")) << result.logError.toStdString();
    EXPECT_EQ(QDir(backup).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot), QStringList())
        << "no copy, no temporary file, no empty log";
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
        {"backup folder is a file", [](BackupScene& t) { writeBytes(t.backupDir, "not a folder"); }, {},
         {"a.tree", "b.tree", "c.tree"}, "a.tree"},
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

TEST_F(BackupTest, AFileChangedOnTheCardSinceItWasReadIsNotDeleted)
{
    files.beforeMove = [this] {
        writeBytes(card.path("b.tree"), "written by the handheld after the import read the card\r\n");
    };
    const BackupResult result = move();
    EXPECT_EQ(result.failedName, "b.tree");
    EXPECT_EQ(result.error, "b.tree changed on the storage card after it was read; it was not deleted.");
    EXPECT_EQ(card.treeFiles(), QStringList({"b.tree", "c.tree"}));
}

TEST(Backup, AFileWhoseBytesWereNotKeptIsReadAgainAndMustStillHoldThem)
{
    // More bytes than the import keeps for the copies: the last large file
    // is copied from the card again.
    BackupScene t;
    const int large = int(KeptBytesBudget / 990000) + 1;
    QStringList names;
    for (int n = 1; n <= large; ++n) {
        names << QStringLiteral("big%1.tree").arg(n, 2, 10, QLatin1Char('0'));
        t.card.addRaw(names.last(), QByteArray(990000, char('a' + n % 26)));
    }
    t.files.beforeMove = [&] { t.card.addRaw(names.last(), QByteArray(990000, '!')); };
    const BackupResult result = t.move();
    EXPECT_EQ(result.failedName, names.last());
    EXPECT_EQ(result.error, names.last() + " changed on the storage card after it was read.");
    EXPECT_EQ(result.moved, QStringList({"a.tree", "b.tree"}) + names.mid(0, large - 1));
    EXPECT_EQ(t.card.treeFiles(), QStringList({names.last(), "c.tree"}));
    EXPECT_FALSE(t.inBackup(names.last()));

    // Unchanged, it is moved like the others.
    BackupScene same;
    for (int n = 1; n <= large; ++n)
        same.card.addRaw(names[n - 1], QByteArray(990000, char('a' + n % 26)));
    const BackupResult moved = same.move();
    EXPECT_TRUE(moved.ok()) << moved.error.toStdString();
    EXPECT_EQ(readBytes(QDir(same.backupDir).filePath(names.last())), QByteArray(990000, char('a' + large % 26)));
    EXPECT_TRUE(same.card.treeFiles().isEmpty());
}

TEST_F(BackupTest, EveryStepReportsAndCancelIsHeardWhileTheOriginalsAreDeleted)
{
    progress.cancelAt("Deleting", 1);
    const BackupResult result = move();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.moved, QStringList({"a.tree"}));
    EXPECT_EQ(card.treeFiles(), QStringList({"b.tree", "c.tree"}));
    EXPECT_TRUE(inBackup("b.tree")) << "the verified copy stays";
    const auto stages = moveStages();
    ASSERT_EQ(stages.size(), 3u);
    EXPECT_EQ(stages[0].label, "Copying the files into the backup folder");
    EXPECT_EQ(stages[0].lastDone, 3);
    EXPECT_EQ(stages[1].label, "Putting the copies on the disk");
    EXPECT_EQ(stages[2].label, "Deleting the moved files from the storage card");
    EXPECT_EQ(stages[2].total, 3);
    EXPECT_EQ(stages[2].lastDone, 1);
    for (const auto& stage : stages)
        EXPECT_TRUE(stage.cancellable) << stage.label.toStdString();
}

TEST_F(BackupTest, AFileTakenOffTheCardMeanwhileIsLeftToWhoeverTookIt)
{
    files.beforeMove = [this] { ASSERT_TRUE(QFile::remove(card.path("b.tree"))); };
    const BackupResult result = move();
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.moved, QStringList({"a.tree", "c.tree"}));
    EXPECT_EQ(result.gone, QStringList({"b.tree"}));
    EXPECT_FALSE(inBackup("b.tree"));

    // A card pulled out is not that: the move stops.
    BackupScene pulled;
    pulled.files.beforeMove = [&pulled] { QDir(pulled.card.root()).removeRecursively(); };
    const BackupResult stopped = pulled.move();
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.failedName, "a.tree");
    EXPECT_TRUE(stopped.gone.isEmpty());
    EXPECT_TRUE(stopped.moved.isEmpty());
}

TEST_F(BackupTest, CancelStopsAfterTheCurrentFileWithEveryCopyVerified)
{
    progress.cancelAt("Copying", 0);
    const BackupResult result = move();
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.moved, QStringList());
    EXPECT_EQ(card.treeFiles().size(), 3);
    EXPECT_TRUE(progress.stages().back().cancellable);
}

TEST(Backup, ANameAtTheFileSystemsLimitIsMoved)
{
    BackupScene t;
    const QString longName = QString(250, QLatin1Char('n')) + ".tree"; // 255 bytes
    t.card.addTree(longName, treeLines(9));
    const BackupResult result = t.move();
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_TRUE(t.inBackup(longName));
    EXPECT_EQ(t.card.treeFiles(), QStringList());
}


} // namespace
