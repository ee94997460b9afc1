// The conversion run as a scheduled job runs it, against what happens to
// such jobs: odd files, two runs at once, a kill half-way, a SIGTERM.

#include "store/conversion.h"
#include "store/database.h"
#include "store/localfiles.h"
#include "store/surveyhistory.h"
#include "tests/support/testcontext.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QProcessEnvironment>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <gtest/gtest.h>

#include <csignal>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

const QString program = QStringLiteral(KOLVA_PROGRAM_DIR "/kolva");

struct ProgramRun {
    int status = -1; // the exit status; -1 when ended by a signal or not ended
    bool signalled = false;
    QString out;
    QString err;
};

void prepare(QProcess& process, const QStringList& environment)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
        env.remove(name);
    for (const QString& setting : environment)
        env.insert(setting.section('=', 0, 0), setting.section('=', 1));
    process.setProcessEnvironment(env);
}

ProgramRun finish(QProcess& process)
{
    ProgramRun run;
    if (!process.waitForFinished(60000)) {
        process.kill();
        process.waitForFinished();
        return run;
    }
    run.signalled = process.exitStatus() == QProcess::CrashExit;
    run.status = run.signalled ? -1 : process.exitCode();
    run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(process.readAllStandardError());
    return run;
}

ProgramRun kolva(const QStringList& arguments, const QStringList& environment = {}, const QString& runAs = {})
{
    QProcess process;
    prepare(process, environment);
    if (runAs.isEmpty())
        process.start(program, arguments);
    else
        process.start(QStringLiteral("setpriv"), QStringList{"--reuid=" + runAs, "--regid=" + runAs, "--clear-groups",
                                                             program} + arguments);
    return finish(process);
}

// Whether the process has stopped itself (SIGSTOP), waiting up to 60 s.
bool waitUntilStopped(qint64 pid)
{
    QElapsedTimer timer;
    timer.start();
    while (timer.elapsed() < 60000) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray text = stat.readAll();
            const qsizetype close = text.lastIndexOf(')');
            if (close > 0 && text.mid(close + 2, 1) == "T")
                return true;
        }
        QThread::msleep(20);
    }
    return false;
}

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256) : QByteArray();
}

QStringList folderContents(const QString& path)
{
    return QDir(path).entryList(QDir::Files | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot, QDir::Name);
}

class ConvertCommand : public ::testing::Test {
protected:
    ConvertCommand() : dir(false)
    {
        EXPECT_TRUE(QFile::copy(testDataPath("legacy_kolva.mdb"), access));
        accessBytes = sha256(access);
    }
    bool isConverted() const
    {
        return Database::open(access)->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt() == 5;
    }
    QStringList keptFiles() const { return QDir(dir.path()).entryList({"KOLVA.MDB.access-*"}, QDir::Files); }

    TempProgramDir dir;
    const QString access = dir.filePath("KOLVA.MDB");
    QByteArray accessBytes;
};

TEST_F(ConvertCommand, FilesThatAreNotRegularOrCannotBeReadAreSaidSoWithoutWaiting)
{
    const QString fifo = dir.filePath("pipe.mdb");
    ASSERT_EQ(::mkfifo(QFile::encodeName(fifo).constData(), 0644), 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.mdb"));
    ASSERT_TRUE(QFile::link("/dev/null", dir.filePath("null.mdb")));
    const struct {
        QStringList arguments;
        const char* says;
    } cases[] = {
        {{"convert", fifo}, "it is not a regular file: it is a named pipe (FIFO)."},
        {{"convert", dir.filePath("folder.mdb")}, "it is not a regular file: it is a folder."},
        {{"convert", dir.filePath("null.mdb")}, "it is not a regular file: it is a device."},
        // Every command that opens a database checks it the same way.
        {{"write-card", dir.path(), "--database", fifo}, "is not a regular file: it is a named pipe (FIFO)."},
        {{"export-csv", dir.filePath("out.csv"), "--database", dir.filePath("folder.mdb")},
         "is not a regular file: it is a folder."},
    };
    for (const auto& c : cases) {
        const ProgramRun run = kolva(c.arguments);
        EXPECT_EQ(run.status, 1) << c.arguments.join(' ').toStdString() << "\n" << run.err.toStdString();
        EXPECT_TRUE(run.err.contains(c.says)) << run.err.toStdString();
    }
    EXPECT_EQ(pathKind(fifo), PathKind::Pipe);

    if (::geteuid() != 0 || QStandardPaths::findExecutable("setpriv").isEmpty())
        GTEST_SKIP() << "reading as another user takes root and setpriv";
    // An Access file another user may not read is said to be unreadable.
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(access).constData(), 0600), 0);
    const ProgramRun unreadable = kolva({"convert", access}, {}, "65534");
    EXPECT_EQ(unreadable.status, 1) << unreadable.err.toStdString();
    EXPECT_TRUE(unreadable.err.contains("the file cannot be read: Permission denied.")) << unreadable.err.toStdString();
    EXPECT_EQ(sha256(access), accessBytes);
    // The same of a database the commands open.
    const ProgramRun locked = kolva({"write-card", dir.path(), "--database", access}, {}, "65534");
    EXPECT_EQ(locked.status, 1) << locked.err.toStdString();
    EXPECT_TRUE(locked.err.contains("cannot be read: Permission denied")) << locked.err.toStdString();
}

TEST_F(ConvertCommand, TwoConversionsOfOneFileAtOnceCannotUndoEachOther)
{
    // The first stops itself between its two steps: the Access file has its
    // second name, the new database is not yet in place.
    QProcess first;
    prepare(first, {"KOLVA_TEST_CONVERSION_STOP_AT=linked"});
    first.start(program, {"convert", access});
    ASSERT_TRUE(waitUntilStopped(first.processId()));
    ASSERT_EQ(keptFiles().size(), 1);

    const ProgramRun second = kolva({"convert", access});
    EXPECT_EQ(second.status, 1);
    EXPECT_TRUE(second.err.contains("another conversion of this file is running")) << second.err.toStdString();
    // One that is told to wait waits for the first to end, and then finds
    // the file converted.
    QProcess waiting;
    prepare(waiting, {});
    waiting.start(program, {"convert", access, "--wait", "60"});
    ASSERT_TRUE(waiting.waitForStarted());
    QByteArray said;
    QElapsedTimer clock;
    clock.start();
    while (!said.contains("Reading the Access database") && clock.elapsed() < 30000) {
        waiting.waitForReadyRead(100);
        said += waiting.readAllStandardError();
    }
    ASSERT_TRUE(said.contains("Reading the Access database")) << said.toStdString();
    // Nor does the start of another program take the running one for an
    // interrupted one.
    EXPECT_TRUE(recoverInterruptedConversion(access).isEmpty());
    EXPECT_EQ(keptFiles().size(), 1);
    EXPECT_EQ(sha256(access), accessBytes) << "still the Access file";

    ::kill(pid_t(first.processId()), SIGCONT);
    const ProgramRun done = finish(first);
    EXPECT_EQ(done.status, 0) << done.err.toStdString();
    const ProgramRun waited = finish(waiting);
    EXPECT_EQ(waited.status, 3) << waited.err.toStdString();
    EXPECT_TRUE(waited.err.contains("has been converted. Nothing was changed.")) << waited.err.toStdString();
    EXPECT_TRUE(isConverted());
    ASSERT_EQ(keptFiles().size(), 1);
    EXPECT_EQ(sha256(dir.filePath(keptFiles().first())), accessBytes);

    // Once it is done, a late second run changes nothing.
    const QByteArray converted = sha256(access);
    const ProgramRun late = kolva({"convert", access});
    EXPECT_EQ(late.status, 3);
    EXPECT_TRUE(late.err.contains("\nkolva: ") && late.err.contains("is a SQLite database already"))
        << late.err.toStdString();
    EXPECT_EQ(sha256(access), converted);
    EXPECT_EQ(folderContents(dir.path()),
              QStringList({"KOLVA.MDB", keptFiles().first(), "KOLVA.MDB.conversion.log"}));
}

TEST_F(ConvertCommand, AConversionKilledAnywhereLeavesTheDatabaseUsableAndTheNextRunCleansUp)
{
    const struct {
        const char* step;
        const char* said;
    } cases[] = {
        {"copied", "Files left behind by an interrupted run were removed: KOLVA.MDB.converting-"},
        {"linked", "was interrupted before the new database was put in place. It has been undone"},
    };
    for (const auto& c : cases) {
        const ProgramRun killed = kolva({"convert", access}, {QStringLiteral("KOLVA_TEST_CONVERSION_KILL_AT=%1").arg(c.step)});
        ASSERT_TRUE(killed.signalled) << c.step;
        // The database's name still names the whole Access file.
        EXPECT_EQ(sha256(access), accessBytes) << c.step;

        const ProgramRun again = kolva({"convert", access});
        EXPECT_EQ(again.status, 0) << c.step << ": " << again.err.toStdString();
        EXPECT_TRUE(again.err.contains(c.said)) << c.step << ": " << again.err.toStdString();
        EXPECT_TRUE(isConverted());
        ASSERT_EQ(keptFiles().size(), 1) << c.step;
        EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB", keptFiles().first(), "KOLVA.MDB.conversion.log"}));

        // Back to the Access file for the next case.
        ASSERT_TRUE(QFile::remove(access));
        ASSERT_TRUE(QFile::rename(dir.filePath(keptFiles().first()), access));
        ASSERT_TRUE(QFile::remove(dir.filePath("KOLVA.MDB.conversion.log")));
    }
}

TEST_F(ConvertCommand, SigtermOrCtrlCStopsTheConversionCleanly)
{
    for (const int signal : {SIGTERM, SIGINT}) {
        QProcess process;
        prepare(process, {"KOLVA_TEST_CONVERSION_STOP_AT=copied"});
        process.start(program, {"convert", access});
        ASSERT_TRUE(waitUntilStopped(process.processId()));
        ::kill(pid_t(process.processId()), signal);
        ::kill(pid_t(process.processId()), SIGCONT);
        const ProgramRun run = finish(process);
        EXPECT_TRUE(run.signalled) << "ends by the signal, as its caller expects";
        EXPECT_TRUE(run.err.contains("The conversion was stopped. The Access database has not been changed."))
            << run.err.toStdString();
        EXPECT_EQ(sha256(access), accessBytes);
        EXPECT_EQ(folderContents(dir.path()), QStringList({"KOLVA.MDB"})) << "no temporary file is left";
    }
}

// A .tree file as the handheld writes it.
QByteArray treeFile(int treeId)
{
    QByteArrayList lines = {"PDA", QByteArray::number(treeId), "SMITH", "5/10/2007 09:00", "DOWNTOWN", "12",
                            "MAIN ST", "FRONT", "ACRU-RED MAPLE", "12", "S"};
    for (int i = 12; i <= 24; ++i)
        lines << "0. None";
    lines << "0" << "0" << "0";
    for (int i = 28; i <= 38; ++i)
        lines << "0. None";
    lines << "6" << "" << "2009" << "3,9" << "NOTE" << "";
    return lines.join("\r\n") + "\r\n";
}

TEST(ImportCommand, SigtermStopsTheImportWithoutLosingOrHalfSavingAnything)
{
    TempProgramDir dir;
    QTemporaryDir card;
    constexpr int files = 3000;
    for (int i = 0; i < files; ++i) {
        QFile f(card.filePath(QStringLiteral("%1.tree").arg(i)));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(treeFile(1000 + i));
    }
    QFile marker(card.filePath("RiskRating_1.txt"));
    ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
    marker.write("x\r\n");
    marker.close();

    QProcess process;
    prepare(process, {});
    process.start(program, {"import", card.path(), "--database", dir.databasePath(), "--backup-folder", dir.path()});
    QByteArray err;
    QElapsedTimer timer;
    timer.start();
    while (!err.contains("Importing the .tree files") && timer.elapsed() < 60000
           && process.state() != QProcess::NotRunning) {
        process.waitForReadyRead(100);
        err += process.readAllStandardError();
    }
    ASSERT_TRUE(err.contains("Importing the .tree files")) << err.toStdString();
    ::kill(pid_t(process.processId()), SIGTERM);
    const ProgramRun run = finish(process);
    EXPECT_TRUE(run.signalled) << run.err.toStdString();

    // All or nothing in the database, and every file either still on the
    // card or in the backup folder.
    const qint64 saved = Database::open(dir.databasePath())->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toLongLong();
    EXPECT_TRUE(saved == 0 || saved == files) << saved;
    qint64 onCard = QDir(card.path()).entryList({"*.tree"}, QDir::Files).size();
    qint64 backedUp = 0;
    for (const QString& backup : QDir(dir.path()).entryList({"backup_*"}, QDir::Dirs))
        backedUp += QDir(dir.filePath(backup)).entryList({"*.tree"}, QDir::Files).size();
    EXPECT_EQ(onCard + backedUp, files);
    if (saved == 0) {
        EXPECT_EQ(onCard, files) << "nothing saved, nothing moved";
        EXPECT_TRUE(run.err.contains("The import was cancelled.")) << "it stopped as Cancel would, and said so";
    }
    EXPECT_FALSE(QFile::exists(dir.databasePath() + "-journal")) << "the transaction was ended, not cut off";
}

TEST_F(ConvertCommand, TheHistoryNamesTheRealAccountNotTheEnvironments)
{
    const ProgramRun run = kolva({"convert", access}, {"USER=somebody-else", "LOGNAME=somebody-else", "USERNAME=somebody-else"});
    ASSERT_EQ(run.status, 0) << run.err.toStdString();
    auto db = Database::open(access);
    EXPECT_EQ(db->scalar("SELECT COUNT(*) FROM _Survey_History WHERE Changed_By = ?", {operatingSystemUser()}).toInt(), 5);
    EXPECT_NE(operatingSystemUser(), "somebody-else");
}

} // namespace
