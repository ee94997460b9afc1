// The command line run as a scheduled job runs it: a process of its own,
// with no display at all.

#include "tests/reports/pdftext.h"
#include "tests/reports/surveydata.h"
#include "tests/support/heldlock.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QRegularExpression>
#include <QSettings>
#include <QSqlRecord>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

struct ProcessRun {
    int status = -1;
    QString out;
    QString err;
};

ProcessRun runProgram(const QString& program, const QStringList& arguments,
                      const QList<QPair<QString, QString>>& variables = {})
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(name);
    // The user's settings and data folder of the test's own, unless given.
    static QTemporaryDir user;
    env.insert("XDG_CONFIG_HOME", user.filePath("config"));
    env.insert("XDG_DATA_HOME", user.filePath("data"));
    for (const auto& [name, value] : variables)
        env.insert(name, value);
    process.setProcessEnvironment(env);
    process.start(program, arguments);
    ProcessRun done;
    if (!process.waitForFinished(60000))
        return done;
    done.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    done.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    done.err = QString::fromLocal8Bit(process.readAllStandardError());
    return done;
}

ProcessRun kolva(const QStringList& arguments, const QList<QPair<QString, QString>>& variables = {})
{
    return runProgram(QStringLiteral(KOLVA_PROGRAM_DIR "/kolva"), arguments, variables);
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

// A program directory and the database a command is given: KOLVA.MDB in
// the directory, or in a server run a KOLVA database of the test's own on the
// test server (the directory still holds the file).
struct CommandDir : TempProgramDir {
    std::unique_ptr<ServerTestDatabase> server =
        onServer() ? std::make_unique<ServerTestDatabase>(ServerTestDatabase::Content::Kolva) : nullptr;
    QString database() const { return server ? server->uri() : databasePath(); }
};

// What the user's data in a database is: the bytes of a file, the rows of
// the tables on the server.
QByteArray contentOf(const QString& database)
{
    if (!onServer())
        return sha256(database);
    auto db = Database::open(database);
    QCryptographicHash hash(QCryptographicHash::Sha256);
    for (const char* table : {"_Archived_SurveyData", "_Survey_History", "_Imported_Files", "Surveyors", "Species",
                              "RiskZone", "_Streets_Master", "Streets_PDA", "_tblCosts", "_tblCorrAction"}) {
        QSqlQuery q = db->query(QStringLiteral("SELECT * FROM %1 ORDER BY 1").arg(table));
        while (q.next())
            for (int i = 0; i < q.record().count(); ++i)
                hash.addData(q.value(i).toString().toUtf8() + '\t');
        hash.addData(QByteArray(table) + '\n');
    }
    return hash.result();
}

TEST(CommandLine, ConvertWritesTheNewDatabaseAndPrintsTheCounts)
{
    TempProgramDir dir(false);
    const QString access = dir.filePath("old.mdb");
    ASSERT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), access));
    const QString target = dir.filePath("KOLVA.MDB");

    const ProcessRun run = kolva({"convert", access, target});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.contains("Survey records: 5 of 5\nSurveyors: 3 of 3")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("Copying survey records...")) << "progress goes to standard error";
    EXPECT_EQ(sha256(access), sha256(testDataPath("legacy_kolva.mdb")));
    EXPECT_EQ(Database::open(target)->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 5);

    // In place, through --database: the Access file is kept beside it.
    const ProcessRun inPlace = kolva({"convert", "--database", access});
    EXPECT_EQ(inPlace.status, 0) << inPlace.err.toStdString();
    EXPECT_EQ(QDir(dir.path()).entryList({"old.mdb.access-*"}, QDir::Files).size(), 1);
}

TEST(CommandLine, FailuresAndWrongCommandLinesSayWhyWithTheirExitStatus)
{
    TempProgramDir dir; // holds a KOLVA database already
    const struct {
        QStringList arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"convert", dir.filePath("missing.mdb")}, 1, "does not exist"},
        {{"convert", dir.databasePath()}, 3, "is a SQLite database already"},
        {{"convert", testDataPath("species_zones.mdb"), dir.filePath("new.mdb")}, 1, "holds no table _Archived_SurveyData"},
        {{"convert", testDataPath("legacy_kolva.mdb"), dir.databasePath()}, 1, "already exists"},
        {{"convert", "a", "b", "c"}, 2, "at most two files"},
        {{"convert", "--frobnicate"}, 2, "Unknown option 'frobnicate'"},
        {{"frobnicate"}, 2, "unknown command \"frobnicate\""},
    };
    const QByteArray before = sha256(dir.databasePath());
    for (const auto& c : cases) {
        const ProcessRun run = kolva(c.arguments);
        EXPECT_EQ(run.status, c.status) << c.arguments.join(' ').toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
    }
    EXPECT_EQ(sha256(dir.databasePath()), before);
    EXPECT_FALSE(QFile::exists(dir.filePath("new.mdb")));
}

TEST(CommandLine, HelpGivesExamples)
{
    const ProcessRun general = kolva({"--help"});
    EXPECT_EQ(general.status, 0);
    const ProcessRun version = kolva({"--version"});
    EXPECT_EQ(version.status, 0);
    EXPECT_TRUE(QRegularExpression("^kolva [0-9]+\\.[0-9]+(\\.[0-9]+)?\n$").match(version.out).hasMatch())
        << version.out.toStdString();
    for (const char* command : {"import", "write-card", "report", "export-csv", "export-gis", "convert"}) {
        EXPECT_TRUE(general.out.contains(QStringLiteral("\n  %1 ").arg(command))) << command;
        const ProcessRun help = kolva({command, "--help"});
        EXPECT_EQ(help.status, 0) << command;
        EXPECT_TRUE(help.out.contains(QStringLiteral("Examples:\n  kolva %1").arg(command))) << help.out.toStdString();
    }
}

TEST(CommandLine, TheWindowsOptionsAreReadBeforeAnyWindowStarts)
{
    CommandDir dir;
    const QString database = dir.database();
    const QByteArray before = contentOf(database);
    const struct {
        QStringList arguments;
        int status;
        const char* out;
        const char* err;
    } cases[] = {
        {{"--version"}, 0, "kolva 1.0\n", ""},
        {{"-v"}, 0, "kolva 1.0\n", ""},
        {{"-style", "fusion", "--version"}, 0, "kolva 1.0\n", ""},
        {{"--frobnicate"}, 2, "", "kolva: Unknown option 'frobnicate'.\nUsage: kolva [--database FILE|URI]\n"},
        {{"-x"}, 2, "", "Unknown option 'x'"},
        {{"--database"}, 2, "", "Missing value after '--database'"},
        {{}, 1, "", "the windows need a display"},
        {{"--database", database}, 1, "", "the windows need a display"},
        {{"-reverse", "--database", database}, 1, "", "the windows need a display"},
    };
    for (const auto& c : cases) {
        const ProcessRun run = kolva(c.arguments);
        const std::string args = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << args << ": " << run.err.toStdString();
        EXPECT_EQ(run.out, c.out) << args;
        if (*c.err == 0)
            EXPECT_TRUE(run.err.isEmpty()) << args << ": " << run.err.toStdString();
        else
            EXPECT_TRUE(run.err.contains(c.err)) << args << ": " << run.err.toStdString();
    }
    EXPECT_EQ(contentOf(database), before);

    // A display that is named but cannot be reached: a failure, said.
    const ProcessRun gone = kolva({"--database", database}, {{"DISPLAY", ":12345"}});
    EXPECT_EQ(gone.status, 1) << gone.err.toStdString();
    EXPECT_TRUE(gone.err.contains("kolva: the windows cannot start")) << gone.err.toStdString();
}

// A .tree file as the handheld writes it.
QByteArray treeFile(int treeId, const char* date = "5/10/2007 09:00")
{
    QByteArrayList lines = {"PDA", QByteArray::number(treeId), "SMITH", date, "DOWNTOWN", "12", "MAIN ST", "FRONT",
                            "ACRU-RED MAPLE", "12", "S"};
    for (int i = 12; i <= 24; ++i)
        lines << "0. None";
    lines << "0" << "0" << "0";
    for (int i = 28; i <= 38; ++i)
        lines << "0. None";
    lines << "6" << "" << "2009" << "3,9" << "NOTE" << "";
    return lines.join("\r\n") + "\r\n";
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly)) << path.toStdString();
    f.write(bytes);
}

// A folder that stands for a storage card.
struct Card {
    QTemporaryDir dir;
    explicit Card(bool marked = true)
    {
        if (marked)
            writeFile(dir.filePath("RiskRating_1.txt"), "x\r\n");
    }
    QString root() const { return dir.path(); }
    QStringList trees() const { return QDir(dir.path()).entryList({"*.tree"}, QDir::Files, QDir::Name); }
};

qint64 surveyCount(const QString& database)
{
    return Database::open(database)->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toLongLong();
}

TEST(CommandLine, ImportTakesTheCardsFieldDataAndSaysWhatItDid)
{
    CommandDir dir;
    Card card;
    writeFile(card.dir.filePath("a.tree"), treeFile(101));
    writeFile(card.dir.filePath("b.tree"), treeFile(102));
    writeFile(card.dir.filePath("bad.tree"), treeFile(103, "2/30/2008"));
    const QStringList common = {"--database", dir.database(), "--backup-folder", dir.path()};

    const ProcessRun run = kolva(QStringList{"import", card.root()} + common);
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    for (const char* line : {"There are 3 .TREE files on the selected storage card", "2 records were saved in the database.",
                             "3 files were moved into the backup folder", "bad.tree: 2/30/2008 is not a date"})
        EXPECT_TRUE(run.out.contains(line)) << line << "\n" << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("Importing the .tree files")) << "progress goes to standard error";
    EXPECT_EQ(surveyCount(dir.database()), 2);
    EXPECT_TRUE(card.trees().isEmpty());
    const QStringList backups = QDir(dir.path()).entryList({"backup_*"}, QDir::Dirs);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(QDir(dir.filePath(backups[0])).entryList({"*.tree"}, QDir::Files).size(), 3);

    // The same files again: skipped as the window's default answer does,
    // imported again only when asked; --no-backup leaves them on the card.
    for (const char* name : {"a.tree", "b.tree"})
        ASSERT_TRUE(QFile::copy(dir.filePath(backups[0] + '/' + name), card.dir.filePath(name)));
    const ProcessRun again = kolva(QStringList{"import", card.root(), "--no-backup"} + common);
    EXPECT_EQ(again.status, 0) << again.err.toStdString();
    EXPECT_TRUE(again.out.contains("2 files were already imported and were not imported again")) << again.out.toStdString();
    EXPECT_TRUE(again.out.contains("--import-again"));
    EXPECT_EQ(surveyCount(dir.database()), 2);
    const ProcessRun forced = kolva(QStringList{"import", card.root(), "--no-backup", "--import-again"} + common);
    EXPECT_EQ(forced.status, 0) << forced.err.toStdString();
    EXPECT_TRUE(forced.out.contains("2 records were saved in the database.")) << forced.out.toStdString();
    EXPECT_EQ(surveyCount(dir.database()), 4);
    EXPECT_EQ(card.trees(), QStringList({"a.tree", "b.tree"}));
}

TEST(CommandLine, WriteCardNeverWritesThroughALinkOnTheCard)
{
    CommandDir dir;
    Card card(false);
    // A card whose species list points at the program's own database.
    ASSERT_TRUE(QFile::link(dir.databasePath(), card.dir.filePath("Species.txt")));
    const QByteArray before = sha256(dir.databasePath());
    const ProcessRun run = kolva({"write-card", card.root(), "--database", dir.database()});
    EXPECT_EQ(run.status, 1) << run.out.toStdString();
    EXPECT_FALSE(run.out.contains("successfully")) << run.out.toStdString();
    EXPECT_TRUE(run.err.contains("Species.txt is a symbolic link")) << run.err.toStdString();
    EXPECT_EQ(sha256(dir.databasePath()), before);
    EXPECT_TRUE(QFileInfo(card.dir.filePath("Species.txt")).isSymLink());
}

TEST(CommandLine, TheDatabaseSetInTheSettingsIsUsedUnlessOneIsGiven)
{
    CommandDir set, given;
    Database::open(set.database())->exec("INSERT INTO Surveyors (Description) VALUES ('FROM SETTINGS')");
    Database::open(given.database())->exec("INSERT INTO Surveyors (Description) VALUES ('FROM OPTION')");
    QTemporaryDir config;
    {
        // Where the program keeps its settings: $XDG_CONFIG_HOME/kolva/kolva.ini.
        QSettings file(config.filePath("kolva/kolva.ini"), QSettings::IniFormat);
        file.setValue("database/path", set.database());
    }
    const QList<QPair<QString, QString>> environment = {{"XDG_CONFIG_HOME", config.path()}};
    const auto surveyorsWritten = [&](const QStringList& extra) {
        Card card(false);
        const ProcessRun run = kolva(QStringList{"write-card", card.root()} + extra, environment);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        QFile surveyors(card.dir.filePath("Surveyors.txt"));
        return surveyors.open(QIODevice::ReadOnly) ? QString::fromLatin1(surveyors.readAll()) : QString();
    };
    EXPECT_TRUE(surveyorsWritten({}).contains("FROM SETTINGS"));
    EXPECT_TRUE(surveyorsWritten({"--database", given.database()}).contains("FROM OPTION"));

    // A report is written on the paper the windows lay reports out on.
    const QString pdf = set.filePath("report.pdf");
    for (const char* paper : {"Letter", "A4"}) {
        QSettings(config.filePath("kolva/kolva.ini"), QSettings::IniFormat).setValue("reports/paper", paper);
        const ProcessRun run = kolva({"report", "needing-ca", "--pdf", pdf, "--overwrite"}, environment);
        EXPECT_EQ(run.status, 0) << run.err.toStdString();
        EXPECT_TRUE(pdfInfo(pdf, "Page size").contains(QString("(%1)").arg(paper), Qt::CaseInsensitive))
            << paper << ": " << pdfInfo(pdf, "Page size").toStdString();
    }
}

TEST(CommandLine, WriteCardWritesTheEightLists)
{
    CommandDir dir;
    Card card(false);
    writeFile(card.dir.filePath("field.tree"), treeFile(1));
    const ProcessRun run = kolva({"write-card", card.root(), "--database", dir.database()});
    EXPECT_EQ(run.status, 0) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith("Storage Card initialized successfully!\n8 files written")) << run.out.toStdString();
    EXPECT_EQ(QDir(card.root()).entryList(QDir::Files).size(), 9);
    QFile surveyors(card.dir.filePath("Surveyors.txt"));
    ASSERT_TRUE(surveyors.open(QIODevice::ReadOnly));
    EXPECT_TRUE(surveyors.readAll().startsWith("-- UNKNOWN/OTHER -\r\n"));
    QFile tree(card.dir.filePath("field.tree"));
    ASSERT_TRUE(tree.open(QIODevice::ReadOnly));
    EXPECT_EQ(tree.readAll(), treeFile(1));
}

// Three trees: 501 (May 2007, DOWNTOWN, rated 9, actions 3,9, due 2009),
// 502 (November 2007, PARKS, 2, action 5, due 2009) and 503 (February 2007,
// DOWNTOWN, 4, no action, due 2010).
void addThreeTrees(const QString& database)
{
    auto db = Database::open(database);
    const auto add = [&db](int id, const char* evaluated, const char* zone, int rating, const char* actions,
                           const char* reinspectYear) {
        Tree t;
        t.treeId = id;
        t.evaluated = evaluated;
        t.zone = zone;
        t.rating = rating;
        t.actions = actions;
        t.reinspectYear = reinspectYear;
        addTree(*db, t);
    };
    // 501 has the highest rating the supplied risk questions can give: every default range holds it.
    add(501, "2007-05-10 09:00:00", "DOWNTOWN", 13, "3,9", "2009");
    add(502, "2007-11-10 09:00:00", "PARKS", 2, "5", "2009");
    add(503, "2007-02-10 09:00:00", "DOWNTOWN", 4, "", "2010");
}

TEST(CommandLine, ReportsAreWrittenAsPdfWithoutADisplay)
{
    CommandDir dir;
    addThreeTrees(dir.database());
    const struct {
        QStringList arguments;
        const char* header;
        QStringList listed;
        QStringList notListed;
    } cases[] = {
        {{"reinspection", "--year", "2009", "--quarters", "Q2,4"}, "Reinspection Report FOR 2009", {"501", "502"}, {"503"}},
        {{"reinspection", "--year", "2009", "--zone", "parks", "--sort", "tree-id"}, "(RISK ZONE: PARKS ONLY)", {"502"}, {"501"}},
        {{"needing-ca", "--rating-from", "5"}, "Trees Needing Corrective Actions - Risk Rating >= 5", {"501"}, {"502", "503"}},
        {{"needing-ca", "--divide-by-zone"}, "Risk Zone: PARKS", {"501", "502"}, {"503"}},
        {{"specific-ca", "--action", "remove tree"}, "Trees Needing 03 - Remove Tree", {"501"}, {"502"}},
        {{"cost-summary", "--from", "2007-03-01", "--to", "Dec 31 2007", "--sort", "tree-id"}, "Sorted by Tree ID",
         {"501", "502"}, {"503"}},
        {{"cost-summary", "--period", "all-on-file", "--rating-from", "3", "--actions", "3,9"},
         "Risk Reduction Cost Summary", {"501", "503"}, {"502"}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString pdf = dir.filePath(QStringLiteral("report%1.pdf").arg(++n));
        const ProcessRun run = kolva(QStringList{"report"} + c.arguments + QStringList{"--pdf", pdf, "--database", dir.database()});
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, 0) << what << ": " << run.err.toStdString();
        EXPECT_EQ(run.out, pdf + " created!\n1 page\n") << what;
        const QString text = pdfText(pdf);
        EXPECT_TRUE(text.contains(c.header)) << what << "\n" << text.toStdString();
        for (const QString& id : c.listed)
            EXPECT_TRUE(text.contains(QRegularExpression("\\b" + id + "\\b"))) << what << ": " << id.toStdString();
        for (const QString& id : c.notListed)
            EXPECT_FALSE(text.contains(QRegularExpression("\\b" + id + "\\b"))) << what << ": " << id.toStdString();
    }
    // The specific report marks its trees as the window's does.
    EXPECT_EQ(Database::open(dir.database())->scalar("SELECT Tree_ID FROM _Archived_SurveyData WHERE Report_Flag = 1").toInt(), 501);

    // An existing file is replaced only when asked.
    const QString pdf = dir.filePath("report1.pdf");
    const QByteArray before = sha256(pdf);
    const ProcessRun kept = kolva({"report", "needing-ca", "--pdf", pdf, "--database", dir.database()});
    EXPECT_EQ(kept.status, 1);
    EXPECT_TRUE(kept.err.contains("already exists")) << kept.err.toStdString();
    EXPECT_EQ(sha256(pdf), before);
    const ProcessRun replaced = kolva({"report", "needing-ca", "--pdf", pdf, "--overwrite", "--database", dir.database()});
    EXPECT_EQ(replaced.status, 0) << replaced.err.toStdString();
    EXPECT_TRUE(pdfText(pdf).contains("Trees Needing Corrective Actions"));

    // A character no installed font has is named on standard error.
    Tree tree;
    tree.treeId = 504;
    tree.actions = QStringLiteral("3");
    tree.note = "by " + QString::fromUcs4(U"\U0010FFFD");
    addTree(*Database::open(dir.database()), tree);
    const ProcessRun boxes = kolva({"report", "needing-ca", "--pdf", pdf, "--overwrite", "--database", dir.database()});
    EXPECT_EQ(boxes.status, 0) << boxes.err.toStdString();
    EXPECT_TRUE(boxes.err.contains("No installed font has one of this report's characters; it is printed as empty "
                                   "boxes: U+10FFFD (page 1).\n"))
        << boxes.err.toStdString();
    EXPECT_FALSE(replaced.err.contains("No installed font"));
}

TEST(CommandLine, ExportCsvWritesThePeriodOrAllOnFile)
{
    CommandDir dir;
    addThreeTrees(dir.database());
    {
        auto db = Database::open(dir.database());
        Tree undated;
        undated.treeId = 504;
        addTree(*db, undated);
        db->exec("UPDATE _Archived_SurveyData SET Date_Evaluated = NULL WHERE Tree_ID = 504");
    }
    const QString undated = "4 records from 2007-02-10 to 2007-11-10\n"
                            "1 record has no evaluation date; its Date is empty.\n";
    const struct {
        QStringList arguments;
        int status;
        QString says;
        QStringList trees; // the Tree IDs of the lines written
    } cases[] = {
        {{}, 0, undated, {"501", "502", "503", "504"}},
        {{"--period", "all-on-file", "--bom"}, 0, undated, {"501", "502", "503", "504"}},
        {{"--from", "3/1/2007", "--to", "2007-11-10"}, 0, "2 records from 2007-03-01 to 2007-11-10\n", {"501", "502"}},
        {{"--period", "Last-Year"}, 3, "No trees meet your selection criteria!", {}},
    };
    int n = 0;
    for (const auto& c : cases) {
        const QString csv = dir.filePath(QStringLiteral("export%1.csv").arg(++n));
        const ProcessRun run = kolva(QStringList{"export-csv", csv, "--database", dir.database()} + c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(c.status == 0 ? run.out.endsWith(c.says) : run.err.contains(c.says)) << what << ": " << run.out.toStdString();
        QFile file(csv);
        if (c.trees.isEmpty()) {
            EXPECT_FALSE(file.exists()) << what;
            continue;
        }
        ASSERT_TRUE(file.open(QIODevice::ReadOnly)) << what;
        const QList<QByteArray> lines = file.readAll().split('\n');
        ASSERT_EQ(lines.size(), c.trees.size() + 2) << what; // the header, and nothing after the last CR LF
        const bool bom = c.arguments.contains("--bom");
        EXPECT_TRUE(lines[0].startsWith(QByteArray(bom ? "\xEF\xBB\xBF" : "") + "\"Surveyor\",\"Date\"")) << what;
        QStringList trees;
        for (qsizetype i = 1; i + 1 < lines.size(); ++i)
            trees << QString::fromLatin1(lines[i].split(',').value(7));
        trees.sort();
        EXPECT_EQ(trees, c.trees) << what;
    }
}

TEST(CommandLine, BadInputIsRefusedWithItsReasonAndStatus)
{
    CommandDir dir;
    Card card;
    Card notACard(false);
    Card noTrees;
    writeFile(card.dir.filePath("a.tree"), treeFile(1));
    writeFile(notACard.dir.filePath("a.tree"), treeFile(1));
    const QString db = dir.database();
    const QString pdf = dir.filePath("out.pdf");
    const struct {
        QStringList arguments;
        int status;
        const char* says;
    } cases[] = {
        {{"import", dir.filePath("missing"), "--database", db}, 1, "missing does not exist"},
        {{"import", notACard.root(), "--database", db}, 1, "does not contain the KOLVA files"},
        {{"import", noTrees.root(), "--database", db}, 3, "does NOT contain any field data"},
        {{"import", card.root(), "--database", dir.filePath("none.mdb")}, 1, "could not be opened"},
        {{"import", card.root(), "--database", testDataPath("legacy_kolva.mdb")}, 1, "\"kolva convert\" converts it"},
        {{"import", card.root(), "--backup-folder", dir.filePath("nowhere"), "--database", db}, 1, "does not exist"},
        {{"import", card.root(), "--keep-backup", "--no-backup"}, 2, "cannot be given together"},
        {{"import", card.root(), "--wait", "soon"}, 2, "--wait takes a number of seconds"},
        {{"import"}, 2, "needs the folder of the storage card"},
        {{"import", "--frobnicate"}, 2, "Unknown option 'frobnicate'"},
        {{"write-card", dir.filePath("missing"), "--database", db}, 1, "cannot be found"},
        {{"write-card", card.root(), card.root()}, 2, "one too many"},
        {{"report"}, 2, "needs the kind of report"},
        {{"report", "weekly", "--pdf", pdf}, 2, "unknown report \"weekly\""},
        {{"report", "reinspection", "--database", db}, 2, "needs --pdf FILE"},
        {{"report", "needing-ca", "--pdf", pdf, "--year", "2020"}, 2, "--year is not an option of the needing-ca report"},
        {{"report", "reinspection", "--pdf", pdf, "--rating-from", "7", "--rating-to", "5", "--database", db}, 2,
         "There is a problem with the Risk Rating range"},
        {{"report", "reinspection", "--pdf", pdf, "--quarters", "", "--database", db}, 2, "Please select at least ONE quarter"},
        {{"report", "reinspection", "--pdf", pdf, "--quarters", "5", "--database", db}, 2, "--quarters takes"},
        {{"report", "reinspection", "--pdf", pdf, "--year", "next", "--database", db}, 2, "year"},
        {{"report", "needing-ca", "--pdf", pdf, "--rating-from", "high", "--database", db}, 2, "takes a whole number"},
        {{"report", "needing-ca", "--pdf", pdf, "--zone", "NOWHERE", "--database", db}, 2, "There is no risk zone \"NOWHERE\""},
        {{"report", "needing-ca", "--pdf", pdf, "--zone", "DOWNTOWN", "--divide-by-zone", "--database", db}, 2,
         "cannot be given with --zone"},
        {{"report", "specific-ca", "--pdf", pdf, "--action", "99", "--database", db}, 2, "There is no corrective action \"99\""},
        {{"report", "needing-ca", "--pdf", dir.filePath("no/folder/out.pdf"), "--database", db}, 1, "out.pdf"},
        {{"report", "cost-summary", "--pdf", pdf, "--zone", "PARKS"}, 2, "--zone is not an option of the cost-summary"},
        {{"report", "cost-summary", "--pdf", pdf, "--actions", "", "--database", db}, 2,
         "Please select at least ONE Corrective Action"},
        {{"report", "cost-summary", "--pdf", pdf, "--actions", "12", "--database", db}, 2, "--actions takes"},
        {{"report", "cost-summary", "--pdf", pdf, "--from", "Feb 30 2007", "--to", "2007-03-01", "--database", db}, 2,
         "Entry in Date Field MUST be a Valid Date"},
        {{"report", "cost-summary", "--pdf", pdf, "--database", db}, 3, "There are no trees which meet your selection criteria"},
        {{"export-csv", dir.filePath("out.csv"), "--database", db}, 3, "No trees meet your selection criteria!"},
        {{"export-csv", dir.filePath("out.csv"), "--from", "2008-01-01", "--to", "2007-01-01", "--database", db}, 2,
         "Something is wrong with your date range"},
        {{"export-csv", dir.filePath("out.csv"), "--from", "2008-01-01", "--database", db}, 2, "You must select a date range"},
        {{"export-csv", dir.filePath("out.csv"), "--period", "last-month", "--to", "2008-01-01"}, 2,
         "--period cannot be given with --from or --to"},
        {{"export-csv"}, 2, "needs the CSV file to write"},
    };
    const QByteArray before = contentOf(db);
    for (const auto& c : cases) {
        const ProcessRun run = kolva(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << what << ": " << run.out.toStdString();
    }
    EXPECT_EQ(contentOf(db), before);
    EXPECT_EQ(card.trees(), QStringList{"a.tree"});
    EXPECT_FALSE(QFile::exists(pdf));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.csv")));
}

// The records are saved before the files are moved: a move that fails (here
// the day's backup folder cannot be made, a file holding its name) ends the
// import with status 1, saying why and what was saved, also with --quiet.
TEST(CommandLine, AnImportWhoseMoveFailsSaysWhyWithStatus1)
{
    CommandDir dir;
    QTemporaryDir backups;
    // Today's name and tomorrow's, should the day end while the test runs.
    for (const QDate& day : {QDate::currentDate(), QDate::currentDate().addDays(1)})
        writeFile(backups.filePath("backup_" + day.toString("yyyyMMdd")), "in the way");
    int treeId = 100;
    for (const QStringList& extra : {QStringList{}, QStringList{"--quiet"}}) {
        Card card;
        writeFile(card.dir.filePath("a.tree"), treeFile(++treeId));
        const qint64 before = surveyCount(dir.database());
        const ProcessRun run = kolva(QStringList{"import", card.root(), "--database", dir.database(),
                                                 "--backup-folder", backups.path()} + extra);
        const std::string what = extra.join(' ').toStdString() + ": " + run.err.toStdString();
        EXPECT_EQ(run.status, 1) << what;
        const QStringList failures = run.err.split('\n').filter(QRegularExpression("^kolva: "));
        ASSERT_EQ(failures.size(), 1) << what;
        for (const char* says : {"There is a problem writing into the backup folder", "cannot be made",
                                 "1 record was saved in the database.", "1 .tree file is still on the storage card"})
            EXPECT_TRUE(failures[0].contains(says)) << says << "\n" << what;
        EXPECT_TRUE(run.out.isEmpty()) << run.out.toStdString();
        EXPECT_EQ(surveyCount(dir.database()), before + 1) << "the record stays saved";
        EXPECT_EQ(card.trees(), QStringList{"a.tree"});
    }
}

// An error that no command handles itself still ends the command with
// status 1 and one line saying so: never 0, never an abort.
TEST(CommandLine, AnUnexpectedErrorEndsTheCommandWithStatus1)
{
    CommandDir dir;
    Card card;
    writeFile(card.dir.filePath("a.tree"), treeFile(1));
    const struct {
        const char* kind;
        const char* says;
    } cases[] = {
        {"standard", "kolva: the parser broke in the middle\n"},
        {"unknown", "kolva: the command failed on an unexpected error that gives no description\n"},
    };
    for (const auto& c : cases) {
        for (const QStringList& arguments :
             {QStringList{"import", card.root(), "--database", dir.database()}, QStringList{"help", "import"},
              QStringList{"report", "cost-summary", "--pdf", dir.filePath("out.pdf")}}) {
            const ProcessRun run =
                kolva(arguments, {{"LD_PRELOAD", KOLVA_THROWING_PARSER},
                                  {"KOLVA_TEST_THROW", c.kind},
                                  // The sanitizers' library is not the first one loaded here.
                                  {"ASAN_OPTIONS", qEnvironmentVariable("ASAN_OPTIONS") + ":verify_asan_link_order=0"}});
            const std::string what = std::string(c.kind) + " " + arguments.join(' ').toStdString();
            EXPECT_EQ(run.status, 1) << what << ": " << run.err.toStdString();
            EXPECT_EQ(run.err, c.says) << what;
            EXPECT_TRUE(run.out.isEmpty()) << what;
        }
    }
    EXPECT_EQ(surveyCount(dir.database()), 0);
    EXPECT_EQ(card.trees(), QStringList{"a.tree"});
}

// Another KOLVA holding the database: the command says so within the wait
// it was given, and changes nothing.
TEST(CommandLine, ALockedDatabaseFailsWithinTheWait)
{
    CommandDir dir;
    Card card;
    writeFile(card.dir.filePath("a.tree"), treeFile(1));
    const QString db = dir.database();
    addThreeTrees(db);
    // The engine's own words for a lock held longer than the wait.
    const QString locked = onServer() ? "canceling statement due to lock timeout" : "database is locked";
    const struct {
        Held held;
        QStringList arguments;
        const char* says;
        bool writesOnlyItsOwnTable; // the server lets it write while another writes elsewhere
    } cases[] = {
        {Held::ReadsAndWrites, {"write-card", card.root()}, "kolva: The database ", false},
        {Held::ReadsAndWrites, {"export-csv", dir.filePath("out.csv")}, "", false},
        {Held::Writes, {"import", card.root(), "--backup-folder", dir.path()},
         "The field data could not be saved in the database: ", false},
        {Held::Writes, {"report", "specific-ca", "--pdf", dir.filePath("out.pdf")}, "The report could not be made: ", false},
        {Held::Writes, {"report", "cost-summary", "--pdf", dir.filePath("out.pdf"), "--period", "all-on-file"},
         "The report could not be made: ", true},
    };
    for (const auto& c : cases) {
        if (c.writesOnlyItsOwnTable && onServer())
            continue;
        auto other = Database::open(db);
        holdDatabase(*other, c.held);
        other->exec("UPDATE _Archived_SurveyData SET Note = 'other'");
        QElapsedTimer clock;
        clock.start();
        const ProcessRun run = kolva(c.arguments + QStringList{"--database", db, "--wait", "1"});
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_LT(clock.elapsed(), 20000) << what;
        EXPECT_EQ(run.status, 1) << what;
        EXPECT_TRUE(run.err.contains(c.says)) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(locked)) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("is in use: another program")) << what;
        EXPECT_TRUE(run.err.contains("the 1 second this command waits")) << what;
        other->exec("ROLLBACK");
    }
    EXPECT_EQ(card.trees(), QStringList{"a.tree"});
    EXPECT_EQ(surveyCount(db), 3);
    EXPECT_FALSE(QFile::exists(dir.filePath("out.pdf")));
    EXPECT_FALSE(QFile::exists(dir.filePath("out.csv")));
}

// What a scheduled job or a shell pipeline relies on: help without a
// display, silence on success with --quiet, one-line errors, standard output
// as a file, --wait everywhere.
TEST(CommandLine, CommandsFollowUnixHabits)
{
    CommandDir dir;
    addThreeTrees(dir.database());
    const QString db = dir.database();
    Card card;
    writeFile(card.dir.filePath("a.tree"), treeFile(601));

    // help [COMMAND] is the command's own --help.
    const ProcessRun general = kolva({"help"});
    EXPECT_EQ(general.status, 0);
    EXPECT_TRUE(general.out.contains("kolva help [COMMAND]")) << general.out.toStdString();
    const ProcessRun help = kolva({"help", "export-csv"});
    EXPECT_EQ(help.status, 0);
    EXPECT_EQ(help.out, kolva({"export-csv", "--help"}).out);
    EXPECT_TRUE(help.out.startsWith("Usage: kolva export-csv FILE|-")) << help.out.toStdString();

    const QString csv = dir.filePath("quiet.csv");
    const QString pdf = dir.filePath("quiet.pdf");
    const struct {
        QStringList arguments;
        int status;
        const char* err; // the whole of standard error; nothing on standard output
    } cases[] = {
        {{"help", "frobnicate"}, 2, "kolva: unknown command \"frobnicate\""},
        {{"help", "import", "report"}, 2, "kolva: help takes one command"},
        // --quiet: nothing at all on success, progress included.
        {{"import", card.root(), "--backup-folder", dir.path(), "--quiet", "--database", db}, 0, ""},
        {{"write-card", card.root(), "-q", "--database", db}, 0, ""},
        {{"export-csv", csv, "--quiet", "--database", db}, 0, ""},
        {{"report", "needing-ca", "--pdf", pdf, "--quiet", "--database", db}, 0, ""},
        // A failure is still said, on one line, also with --quiet.
        {{"write-card", dir.filePath("missing"), "--quiet", "--database", db}, 1, "kolva: "},
        {{"export-csv", dir.filePath("other.csv"), "--database", dir.filePath("none/KOLVA.MDB")}, 1,
         "kolva: The database file "},
        {{"report", "cost-summary", "--pdf", pdf, "--overwrite", "--period", "last-month", "-q", "--database", db}, 3,
         "kolva: There are no trees"},
        // Every command takes --wait.
        {{"import", card.root(), "--wait", "soon"}, 2, "kolva: --wait takes a number of seconds"},
        {{"write-card", card.root(), "--wait", "soon"}, 2, "kolva: --wait takes a number of seconds"},
        {{"report", "needing-ca", "--wait", "-1"}, 2, "kolva: --wait takes a number of seconds"},
        {{"export-csv", csv, "--wait", "soon"}, 2, "kolva: --wait takes a number of seconds"},
        {{"convert", "--wait", "soon"}, 2, "kolva: --wait takes a number of seconds"},
    };
    for (const auto& c : cases) {
        const ProcessRun run = kolva(c.arguments);
        const std::string what = c.arguments.join(' ').toStdString();
        EXPECT_EQ(run.status, c.status) << what << ": " << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty()) << what << ": " << run.out.toStdString();
        if (*c.err == 0) {
            EXPECT_TRUE(run.err.isEmpty()) << what << ": " << run.err.toStdString();
        } else {
            EXPECT_TRUE(run.err.startsWith(c.err)) << what << ": " << run.err.toStdString();
            if (c.status == 1 || c.status == 3) { // the reason on one line
                EXPECT_EQ(run.err.count('\n'), 1) << what << ": " << run.err.toStdString();
            }
        }
    }
    EXPECT_EQ(surveyCount(db), 4) << "the quiet import saved its record";
    EXPECT_TRUE(QFile::exists(csv));
    EXPECT_TRUE(pdfText(pdf).contains("Trees Needing Corrective Actions"));

    // "-": the lines on standard output, what was done on standard error.
    const ProcessRun piped = kolva({"export-csv", "-", "--from", "3/1/2007", "--to", "2007-11-10", "--database", db});
    EXPECT_EQ(piped.status, 0) << piped.err.toStdString();
    const QStringList lines = piped.out.split("\r\n");
    // The header, 501, 502 and the imported 601, nothing after the last CR LF.
    ASSERT_EQ(lines.size(), 5) << piped.out.toStdString();
    EXPECT_TRUE(lines[0].startsWith("\"Surveyor\",\"Date\""));
    QStringList trees;
    for (int i = 1; i <= 3; ++i)
        trees << lines[i].split(',').value(7);
    trees.sort();
    EXPECT_EQ(trees, QStringList({"501", "502", "601"}));
    EXPECT_TRUE(piped.err.contains("3 records from 2007-03-01 to 2007-11-10")) << piped.err.toStdString();
    EXPECT_FALSE(QFile::exists(dir.filePath("-")));
    const ProcessRun empty = kolva({"export-csv", "-", "--period", "last-year", "--database", db});
    EXPECT_EQ(empty.status, 3);
    EXPECT_TRUE(empty.out.isEmpty()) << empty.out.toStdString();
}

// The commands linked without any window library do every kind of job as
// kolva does: a report (fonts, no display), an export, writing a card, a
// refusal of the command line.
TEST(CommandLine, TheCommandsNeedNoWindowCode)
{
    CommandDir dir;
    addThreeTrees(dir.database());
    const QString db = dir.database();
    Card card(false);
    const QString pdf = dir.filePath("report.pdf");
    const QStringList commands[] = {
        {"help", "report"},
        {"export-csv", "-", "--database", db},
        {"report", "needing-ca", "--pdf", pdf, "--overwrite", "--database", db},
        {"write-card", card.root(), "--database", db},
        {"export-gis", dir.filePath("trees.geojson"), "--period", "last-year", "--database", db},
        {"export-csv", "-", "--wait", "soon"},
    };
    for (const QStringList& arguments : commands) {
        const std::string what = arguments.join(' ').toStdString();
        const ProcessRun expected = kolva(arguments);
        ASSERT_GE(expected.status, 0) << what;
        const ProcessRun alone = runProgram(QStringLiteral(KOLVA_COMMANDS_ONLY), arguments);
        EXPECT_EQ(alone.status, expected.status) << what << ": " << alone.err.toStdString();
        EXPECT_EQ(alone.out, expected.out) << what;
        EXPECT_EQ(alone.err.section('\n', -2), expected.err.section('\n', -2)) << what << ": the last line";
    }
    EXPECT_TRUE(pdfText(pdf).contains("Trees Needing Corrective Actions"));
}

} // namespace
