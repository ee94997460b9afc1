// The command line run as a scheduled job runs it: a process of its own,
// with no display at all.

#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

struct ProcessRun {
    int status = -1;
    QString out;
    QString err;
};

ProcessRun kolva(const QStringList& arguments)
{
    QProcess process;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(name);
    process.setProcessEnvironment(env);
    process.start(QStringLiteral(KOLVA_PROGRAM_DIR "/kolva"), arguments);
    ProcessRun run;
    if (!process.waitForFinished(60000))
        return run;
    run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
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
        {{"convert", dir.databasePath()}, 1, "not a Microsoft Access database"},
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
    EXPECT_TRUE(general.out.contains("convert")) << general.out.toStdString();
    const ProcessRun convert = kolva({"convert", "--help"});
    EXPECT_EQ(convert.status, 0);
    EXPECT_TRUE(convert.out.contains("Examples:\n  kolva convert")) << convert.out.toStdString();
}

} // namespace
