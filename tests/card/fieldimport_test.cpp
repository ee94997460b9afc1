#include "card/fieldimport.h"
#include "card/importmessages.h"
#include "platform/progress.h"
#include "store/database.h"
#include "store/kolvadb.h"
#include "tests/card/cardtest.h"
#include "tests/support/fulldisk.h"
#include "tests/support/oddentries.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

const QDateTime ImportTime(QDate(2008, 1, 2), QTime(16, 45, 30));

// File operations that fail where a test wants them to.
class FailingFiles : public CardFiles {
public:
    QString unwritableFolder; // no file can be made in this folder
    QString failCopyOf;       // copying this file fails
    QString corruptCopyOf;    // this file's copy differs from the original
    QString failRemoveOf;     // deleting this file from the card fails
    bool failFlush = false;
    int flushes = 0;

    static QString nameOf(const std::filesystem::path& path) { return QString::fromStdString(path.filename().string()); }
    bool canWriteIn(const QString& folder, QString* error) override
    {
        if (folder == unwritableFolder) {
            *error = "Read-only file system";
            return false;
        }
        return CardFiles::canWriteIn(folder, error);
    }
    bool writeCopy(const QByteArray& bytes, std::filesystem::path& to, QString* error) override
    {
        if (nameOf(to) == failCopyOf) {
            *error = "the backup volume is full";
            return false;
        }
        return CardFiles::writeCopy(nameOf(to) == corruptCopyOf ? QByteArray("1\r\n") : bytes, to, error);
    }
    bool removeFile(const std::filesystem::path& path, QString* error) override
    {
        if (nameOf(path) == failRemoveOf) {
            *error = nameOf(path) + " cannot be deleted: Read-only file system";
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

// A card, a program directory with its database, and the import between.
struct ImportScene {
    ImportScene() { backupDir = backupFolderPath(ctx.dir.path(), ImportTime.date()); }

    int count(const char* table) { return ctx.db->scalar(QStringLiteral("SELECT COUNT(*) FROM %1").arg(table)).toInt(); }
    int rows() { return count("_Archived_SurveyData"); }
    CardImportRequest request(bool keepBackup)
    {
        CardImportRequest r;
        r.cardRoot = card.root();
        r.dataDir = ctx.dir.path();
        r.databasePath = ctx.db->path();
        r.keepBackup = keepBackup;
        r.now = ImportTime;
        r.user = "anna";
        r.files = &files;
        r.openDatabase = openDatabase;
        return r;
    }
    // The whole import; again answers the question about files imported
    // before (a question without an answer fails the test).
    CardImportResult import(bool keepBackup = false, std::optional<bool> again = std::nullopt,
                            Progress* with = nullptr)
    {
        asked.clear();
        return importCard(request(keepBackup), with ? *with : progress, [&](const AlreadyImported& already) {
            asked << alreadyImportedQuestion(already);
            if (!again)
                ADD_FAILURE() << "unexpected question: " << asked.last().toStdString();
            return again.value_or(false);
        });
    }
    QStringList backupFiles() const { return QDir(backupDir).entryList(QDir::Files | QDir::Hidden, QDir::Name); }

    TestContext ctx;
    TestCard card;
    FailingFiles files;
    ProgressRecorder progress;
    std::function<std::unique_ptr<Database>(const QString&)> openDatabase;
    QStringList asked;
    QString backupDir;
};

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

QStringList names(const QList<NamedFile>& files, bool withReasons = false)
{
    QStringList out;
    for (const NamedFile& file : files)
        out << (withReasons ? file.name + ": " + file.reason : file.name);
    return out;
}

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
    ctx.db->exec("CREATE TRIGGER log_import AFTER INSERT ON _Archived_SurveyData BEGIN "
                 "INSERT INTO import_log VALUES (NEW.Tree_ID); "
                 "SELECT RAISE(ABORT, 'tree 666 refused') WHERE NEW.Tree_ID = 666; END");
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(666));
    card.addTree("c.tree", treeLines(3));
    const CardImportResult result = import();
    EXPECT_EQ(result.imported, 2) << result.why.toStdString();
    EXPECT_EQ(names(result.refused, true), QStringList({"b.tree: tree 666 refused"}));
    EXPECT_EQ(ctx.db->scalar("SELECT group_concat(Tree_ID) FROM _Archived_SurveyData").toString(), "1,3");
    EXPECT_EQ(ctx.db->scalar("SELECT group_concat(tree) FROM import_log").toString(), "1,3");
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

TEST(FieldImport, ADatabaseThatFailsPartWaySavesNothingAndLeavesEveryFileOnTheCard)
{
    const struct {
        const char* name;
        const char* pragma;          // run on the import's own connection
        const char* trigger;         // made in the database beforehand
        bool holdRead;               // another program keeps a read open
        const char* why;             // in the cause given
        bool partWay = true;         // records were added before the failure
    } cases[] = {
        {"disk full", "PRAGMA max_page_count = %1", nullptr, false, "full"},
        {"read-only file", "PRAGMA query_only = ON", nullptr, false, "readonly", false},
        {"transaction ended by the engine", nullptr,
         "CREATE TRIGGER stop AFTER INSERT ON _Archived_SurveyData WHEN NEW.Tree_ID = 30 BEGIN "
         "SELECT RAISE(ROLLBACK, 'the engine gave up'); END",
         false, "the engine gave up"},
        {"locked at the commit", "PRAGMA busy_timeout = 50", nullptr, true, "locked"},
    };
    for (const auto& c : cases) {
        ImportScene t;
        for (int n = 1; n <= 120; ++n)
            t.card.addTree(QStringLiteral("%1.tree").arg(n, 3, 10, QLatin1Char('0')), treeLines(n));
        if (c.trigger)
            t.ctx.db->exec(c.trigger);
        const int before = t.rows();
        const int pages = t.ctx.db->scalar("PRAGMA page_count").toInt();
        const QString pragma = c.pragma ? QString::fromLatin1(c.pragma).arg(pages + 4) : QString();
        t.openDatabase = [pragma](const QString& path) {
            auto db = Database::open(path);
            if (!pragma.isEmpty())
                db->scalar(pragma);
            return db;
        };
        std::unique_ptr<Database> reader;
        QSqlQuery hold;
        if (c.holdRead) {
            reader = Database::open(t.ctx.db->path());
            reader->exec("BEGIN");
            hold = reader->query("SELECT * FROM _Archived_SurveyData");
            hold.next();
        }
        const CardImportResult result = t.import(true);
        hold = QSqlQuery();
        reader.reset();

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

TEST_F(FieldImportTest, ImportTreeFileAddsOneRecordOrSaysWhyNot)
{
    QByteArrayList wideDbh = treeLines(2);
    wideDbh[9] = "32768";
    card.addTree("good.tree", treeLines(1));
    card.addTree("wide.tree", wideDbh);
    const int before = rows();
    Transaction transaction(*ctx.db);
    TreeFileImporter importer(*ctx.db, ImportTime, "anna");
    EXPECT_EQ(importer.ImportTreeFile(card.path("good.tree")), "");
    EXPECT_EQ(importer.ImportTreeFile(card.path("wide.tree")), "DBH 32768 is outside -32768 to 32767");
    EXPECT_TRUE(importer.ImportTreeFile(card.path("gone.tree")).startsWith("cannot be opened"));
    transaction.commit();
    EXPECT_EQ(rows(), before + 1);
    EXPECT_EQ(row(1).value("Date_Added").toString(), "2008-01-02 16:45:30");
    EXPECT_THROW(importer.ImportTreeFile(card.path("good.tree")), DbError) << "never outside a transaction";
}

TEST_F(FieldImportTest, AFileImportedBeforeIsAskedAboutOnceAndNoSkipsItsRecord)
{
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    const int first = rows();
    ASSERT_EQ(import().imported, 2);
    EXPECT_TRUE(asked.isEmpty());

    // The same two files, a new one and a copy of a.tree under another name.
    card.addTree("c.tree", treeLines(3));
    card.addTree("a copy.tree", treeLines(1));
    const CardImportResult no = import(true, false);
    EXPECT_EQ(asked, QStringList({"3 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(no.imported, 1) << "c.tree";
    EXPECT_EQ(names(no.skipped, true), QStringList({"a copy.tree: already imported on 01/02/2008",
                                                     "a.tree: already imported on 01/02/2008",
                                                     "b.tree: already imported on 01/02/2008"}));
    EXPECT_EQ(no.moved, QStringList({"a copy.tree", "a.tree", "b.tree", "c.tree"})) << "skipped files still move";
    EXPECT_EQ(rows(), first + 3);

    // Yes imports them again, identical bytes only once; a file with the
    // same name and other bytes is new.
    QByteArrayList changed = treeLines(2);
    changed[2] = "BOB SMITH";
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", changed);
    card.addTree("d.tree", treeLines(1));
    const CardImportResult yes = import(true, true);
    EXPECT_EQ(asked, QStringList({"2 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(yes.imported, 2) << "a.tree again and the changed b.tree";
    EXPECT_EQ(names(yes.skipped, true), QStringList({"d.tree: the same bytes as a.tree"}));
    EXPECT_EQ(rows(), first + 5);
}

TEST_F(FieldImportTest, FilesImportedBeforeTheDigestsWereStoredAsBytesAreRecognised)
{
    // A database of version 5 held the digests in hexadecimal.
    const QString path = ctx.db->path();
    ctx.db.reset();
    ASSERT_TRUE(QFile::remove(path));
    makeDatabaseOfVersion(path, 5);
    {
        auto old = Database::open(path);
        for (int tree : {1, 2})
            old->exec("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, Imported_At) "
                      "VALUES (?, ?, 10, '2008-01-02 09:00:00')",
                      {QString::fromLatin1(QCryptographicHash::hash(joinLines(treeLines(tree)), QCryptographicHash::Sha256)
                                               .toHex()),
                       QString("%1.tree").arg(tree)});
    }
    ctx.db = openKolvaDatabase(path);

    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    card.addTree("c.tree", treeLines(3));
    const CardImportResult result = import(false, false);
    EXPECT_EQ(asked, QStringList({"2 files on the card were already imported on 01/02/2008. Import them again?"}));
    EXPECT_EQ(names(result.skipped), QStringList({"a.tree", "b.tree"}));
    EXPECT_EQ(result.imported, 1) << "c.tree";

    // c.tree is now known by its bytes too, beside the files of before.
    const CardImportResult again = import(false, false);
    EXPECT_EQ(names(again.skipped), QStringList({"a.tree", "b.tree", "c.tree"}));
    EXPECT_EQ(again.imported, 0);
}

TEST(AlreadyImportedQuestion, TellsHowManyAndWhen)
{
    const QDate jan2(2008, 1, 2);
    const QDate feb5(2008, 2, 5);
    EXPECT_EQ(alreadyImportedQuestion({1, jan2, jan2}),
              "1 file on the card was already imported on 01/02/2008. Import it again?");
    EXPECT_EQ(alreadyImportedQuestion({12, jan2, jan2}),
              "12 files on the card were already imported on 01/02/2008. Import them again?");
    EXPECT_EQ(alreadyImportedQuestion({3, jan2, feb5}),
              "3 files on the card were already imported between 01/02/2008 and 02/05/2008. Import them again?");
}

TEST_F(FieldImportTest, TheConnectionSettingsComeBackAfterSaving)
{
    const QVariant cache = ctx.db->scalar("PRAGMA cache_size");
    const QVariant temp = ctx.db->scalar("PRAGMA temp_store");
    card.addTree("a.tree", treeLines(1));
    NullProgress quiet;
    CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
    saveRecords(*ctx.db, read, false, ImportTime, "anna", quiet);
    EXPECT_EQ(ctx.db->scalar("PRAGMA cache_size"), cache);
    EXPECT_EQ(ctx.db->scalar("PRAGMA temp_store"), temp);
    // A temporary table of the connection survives.
    ctx.db->exec("CREATE TEMP TABLE scratch (x)");
    ctx.db->exec("INSERT INTO scratch VALUES (1)");
    saveRecords(*ctx.db, read, true, ImportTime, "anna", quiet);
    EXPECT_EQ(ctx.db->scalar("SELECT COUNT(*) FROM scratch").toInt(), 1);
}

TEST_F(FieldImportTest, LinksSpecialFilesAndHugeFilesAreNamedAndLeftAloneWithoutBlocking)
{
    QTemporaryDir outside;
    const QByteArray pipe = QFile::encodeName(outside.filePath("pipe"));
    ASSERT_EQ(::mkfifo(pipe.constData(), 0600), 0);
    writeBytes(outside.filePath("private"), joinLines(treeLines(77)));
    QFile::setPermissions(outside.filePath("private"), QFile::ReadOwner | QFile::WriteOwner);
    card.addTree("a.tree", treeLines(1));
    ASSERT_EQ(::mkfifo(QFile::encodeName(card.path("fifo.tree")).constData(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", QFile::encodeName(card.path("zero.tree")).constData()), 0);
    ASSERT_EQ(::symlink(pipe.constData(), QFile::encodeName(card.path("pipe link.tree")).constData()), 0);
    ASSERT_EQ(::symlink(QFile::encodeName(outside.filePath("private")).constData(),
                        QFile::encodeName(card.path("secret.tree")).constData()), 0);
    ASSERT_EQ(::symlink("a.tree", QFile::encodeName(card.path("twin.tree")).constData()), 0);
    {
        QFile huge(card.path("huge.tree"));
        ASSERT_TRUE(huge.open(QIODevice::WriteOnly) && huge.resize(2 * 1024 * 1024));
    }
    // A name in another code page than the system's (a card mounted so).
    const QByteArray rawName = QFile::encodeName(card.root()) + "/A\xe1rbol.tree";
    const QByteArray bytes = joinLines(treeLines(2));
    const int fd = ::open(rawName.constData(), O_WRONLY | O_CREAT, 0644);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::write(fd, bytes.constData(), size_t(bytes.size())), bytes.size());
    ::close(fd);

    const CardImportResult result = import(true);
    EXPECT_EQ(result.found, 8);
    EXPECT_EQ(result.imported, 2);
    EXPECT_EQ(ctx.db->scalar("SELECT group_concat(Tree_ID) FROM _Archived_SurveyData WHERE Tree_ID IN (1, 2, 77)"),
              "1,2");
    const QString special = "is a link or a special file, not a field data file; left alone";
    EXPECT_EQ(names(result.leftAlone, true),
              QStringList({"fifo.tree: " + special, "huge.tree: is 2,097,152 bytes, larger than any field data file "
                                                    "(1 MiB); left alone",
                           "pipe link.tree: " + special, "secret.tree: " + special, "twin.tree: " + special,
                           "zero.tree: " + special}));
    EXPECT_EQ(result.moved, QStringList({"a.tree", QString::fromUtf8("A\u00e1rbol.tree")}));
    EXPECT_EQ(QDir(card.root()).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name),
              QStringList({"RiskRating_1.txt", "fifo.tree", "huge.tree", "pipe link.tree", "secret.tree", "twin.tree",
                           "zero.tree"}))
        << "left on the card as they were";
    EXPECT_EQ(::access((QFile::encodeName(backupDir) + "/A\xe1rbol.tree").constData(), F_OK), 0)
        << "the copy keeps the name's bytes";
    EXPECT_FALSE(QFileInfo::exists(QDir(backupDir).filePath("secret.tree")));
    EXPECT_FALSE(QFileInfo::exists(QDir(backupDir).filePath("zero.tree")));
}

// Pulls the card out once the given number of files has been read.
class PullOutCard : public NullProgress {
public:
    PullOutCard(QString root, qint64 after) : root_(std::move(root)), after_(after) {}
    ~PullOutCard() override { QDir(root_ + "-out").removeRecursively(); }
    void advance(qint64 done) override
    {
        // All its files are gone at once.
        if (done == after_)
            QDir().rename(root_, root_ + "-out");
    }

private:
    QString root_;
    qint64 after_;
};

TEST_F(FieldImportTest, ACardPulledOutWhileItIsReadSavesNothing)
{
    // More files than are read ahead of the records being saved.
    for (int n = 1; n <= 600; ++n)
        card.addTree(QStringLiteral("%1.tree").arg(n, 3, 10, QLatin1Char('0')), treeLines(n));
    const int before = rows();
    PullOutCard pull(card.root(), 4);
    const CardImportResult result = import(true, std::nullopt, &pull);
    EXPECT_EQ(result.stop, CardImportResult::Stop::CardRemoved);
    EXPECT_EQ(result.why, "The storage card was removed while its files were read.");
    EXPECT_EQ(rows(), before);
    EXPECT_FALSE(QFileInfo::exists(backupDir));
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

TEST_F(FieldImportTest, FilesImportedWhileTheQuestionWaitsAreNotSavedTwice)
{
    // The question is about a.tree. Meanwhile another import of the card
    // saves the new files, and a.tree again or not; then the question is
    // answered Yes.
    const struct {
        bool otherAgain;
        int saved;
        QStringList skipped;
    } cases[] = {
        {false, 1, {"b.tree", "c.tree"}},
        {true, 0, {"a.tree", "b.tree", "c.tree"}},
    };
    for (const auto& c : cases) {
        const qint64 mark = ctx.db->scalar("SELECT COALESCE(MAX(ID), 0) FROM _Archived_SurveyData").toLongLong();
        card.addTree("a.tree", treeLines(1));
        ASSERT_EQ(import(false, true).imported, 1);
        card.addTree("b.tree", treeLines(2));
        card.addTree("c.tree", treeLines(3));
        const int before = rows();
        CardImport waiting(request(false));
        ASSERT_TRUE(waiting.prepare());
        waiting.importFiles(progress);
        ASSERT_TRUE(waiting.alreadyImported());
        EXPECT_EQ(waiting.alreadyImported()->count, 1);

        ASSERT_EQ(import(false, c.otherAgain).imported, c.otherAgain ? 3 : 2);
        waiting.finish(progress, true);
        const CardImportResult& result = waiting.result();
        EXPECT_EQ(result.stop, CardImportResult::Stop::None);
        EXPECT_EQ(result.imported, c.saved) << c.otherAgain;
        QStringList skipped;
        for (const QString& name : c.skipped)
            skipped << name + ": imported meanwhile by another import, on 01/02/2008";
        EXPECT_EQ(names(result.skipped, true), skipped) << c.otherAgain;
        EXPECT_EQ(rows(), before + (c.otherAgain ? 3 : 2) + c.saved) << c.otherAgain;
        for (int tree : {2, 3})
            EXPECT_EQ(ctx.db->scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID = ? AND ID > ?",
                                     {tree, mark})
                          .toInt(),
                      1)
                << "tree " << tree;
        ctx.db->exec("DELETE FROM _Imported_Files");
        for (const char* name : {"b.tree", "c.tree"})
            QFile::remove(card.path(name));
    }
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

// A card of three .tree files read, and an empty program directory.
struct BackupScene {
    BackupScene()
    {
        for (const char* name : {"a.tree", "b.tree", "c.tree"})
            card.addTree(name, treeLines(name[0]));
        backupDir = programDir.filePath("backup_20080102");
    }
    BackupResult move()
    {
        NullProgress quiet;
        const CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
        return moveToBackup(read, backupDir, files, progress);
    }
    bool inBackup(const QString& name) { return QFileInfo::exists(QDir(backupDir).filePath(name)); }

    TestCard card;
    QTemporaryDir programDir;
    QString backupDir;
    FailingFiles files;
    ProgressRecorder progress;
};

class BackupTest : public ::testing::Test, public BackupScene {};

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
              QStringList({"a.tree", "b-2.tree", "b-3.tree", "b.tree", "c.tree"}))
        << "no temporary file left";
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

TEST_F(FieldImportTest, AFullBackupDiskIsNotBlamedOnTheCardAndLeavesNoEmptyLog)
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
    NullProgress quiet;
    const CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
    writeBytes(card.path("b.tree"), "written by the handheld after the import read the card\r\n");
    const BackupResult result = moveToBackup(read, backupDir, files, progress);
    EXPECT_EQ(result.failedName, "b.tree");
    EXPECT_EQ(result.error, "b.tree changed on the storage card after it was read; it was not deleted.");
    EXPECT_EQ(card.treeFiles(), QStringList({"b.tree", "c.tree"}));
}

TEST_F(BackupTest, EveryStepReportsAndCancelIsHeardWhileTheOriginalsAreDeleted)
{
    progress.cancelAt("Deleting", 1);
    NullProgress quiet;
    const CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
    const BackupResult result = moveToBackup(read, backupDir, files, progress);
    EXPECT_TRUE(result.cancelled);
    EXPECT_TRUE(result.error.isEmpty());
    EXPECT_EQ(result.moved, QStringList({"a.tree"}));
    EXPECT_EQ(card.treeFiles(), QStringList({"b.tree", "c.tree"}));
    EXPECT_TRUE(inBackup("b.tree")) << "the verified copy stays";
    const auto stages = progress.stages();
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
    NullProgress quiet;
    const CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
    ASSERT_TRUE(QFile::remove(card.path("b.tree")));
    const BackupResult result = moveToBackup(read, backupDir, files, progress);
    EXPECT_TRUE(result.ok()) << result.error.toStdString();
    EXPECT_EQ(result.moved, QStringList({"a.tree", "c.tree"}));
    EXPECT_EQ(result.gone, QStringList({"b.tree"}));
    EXPECT_FALSE(inBackup("b.tree"));

    // A card pulled out is not that: the move stops.
    BackupScene pulled;
    const CardRead all = readCard(scanCard(pulled.card.root()), ImportTime, quiet);
    QDir(pulled.card.root()).removeRecursively();
    const BackupResult stopped = moveToBackup(all, pulled.backupDir, pulled.files, pulled.progress);
    EXPECT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.failedName, "a.tree");
    EXPECT_TRUE(stopped.gone.isEmpty());
    EXPECT_TRUE(stopped.moved.isEmpty());
}

TEST_F(BackupTest, CancelStopsAfterTheCurrentFileWithEveryCopyVerified)
{
    progress.cancelAt("Copying", 0);
    NullProgress quiet;
    const CardRead read = readCard(scanCard(card.root()), ImportTime, quiet);
    const BackupResult result = moveToBackup(read, backupDir, files, progress);
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

TEST(DisplayFolder, ShowsTheFolderAsTheUserSeesIt)
{
    EXPECT_EQ(displayFolder("/"), "/");
    EXPECT_EQ(displayFolder("/media/crew/CARD/"), "/media/crew/CARD");
    EXPECT_EQ(displayFolder("/media/crew/CARD"), "/media/crew/CARD");
}

} // namespace
