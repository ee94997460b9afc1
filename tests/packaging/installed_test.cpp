// The installed layout run as an office's user runs it: the package's /usr
// laid read-only over the system's in a private mount namespace (so the
// program folder cannot be written, as for a user), HOME and the XDG folders
// in a temporary folder, no display.

#include "store/database.h"
#include "tests/packaging/packagetest.h"
#include "tests/reports/pdftext.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#include <gtest/gtest.h>

#include <csignal>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

// Lays ROOT/usr read-only over /usr, then runs the command.
const char* const Overlay = R"(mount -t overlay kolva-installed -o "lowerdir=$0/usr:/usr" /usr && exec "$@")";

QStringList inInstalledLayout(const QStringList& command)
{
    QStringList arguments;
    if (::geteuid() != 0)
        arguments << "--map-root-user";
    return arguments + QStringList{"--mount", "sh", "-c", Overlay, unpackedRoot()} + command;
}

// Whether this system lets a test lay the package over /usr.
bool overlayAvailable()
{
    static const bool available =
        runProgram("unshare", inInstalledLayout({"test", "-x", "/usr/bin/kolva"})).status == 0;
    return available;
}

// A .tree file as the handheld writes it.
QByteArray treeFile(int treeId)
{
    QByteArrayList lines = {"PDA", QByteArray::number(treeId), "SMITH", "5/10/2007 09:00", "DOWNTOWN", "12", "MAIN ST",
                            "FRONT", "ACRU-RED MAPLE", "12", "S"};
    for (int i = 12; i <= 24; ++i)
        lines << "0. None";
    lines << "0" << "0" << "0";
    for (int i = 28; i <= 38; ++i)
        lines << "0. None";
    lines << "6" << "" << "2009" << "3,9" << "NOTE" << "";
    return lines.join("\r\n") + "\r\n";
}

class InstalledLayout : public ::testing::Test {
protected:
    void SetUp() override
    {
        KOLVA_REQUIRE_PACKAGE();
        ASSERT_TRUE(scratch.isValid());
        for (const char* folder : {"home", "run", "card", "out", "backups"})
            ASSERT_TRUE(QDir(scratch.path()).mkpath(folder));
        QFile::setPermissions(path("run"), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "XAUTHORITY", "QT_QPA_PLATFORM", "QT_LOGGING_RULES"})
            env.remove(name);
        env.insert("HOME", path("home"));
        env.insert("XDG_CONFIG_HOME", path("home/.config"));
        env.insert("XDG_DATA_HOME", path("home/.local/share"));
        env.insert("XDG_STATE_HOME", path("home/.local/state"));
        env.insert("XDG_CACHE_HOME", path("home/.cache"));
        env.insert("XDG_RUNTIME_DIR", path("run"));
        env.insert("LC_ALL", "C.UTF-8");
        if (!overlayAvailable()) {
            // Run from the unpacked folder itself, made read-only (binding
            // only where the test does not run as root).
            std::printf("No private mount here: the program runs from %s\n", qPrintable(unpackedRoot()));
            runProgram("chmod", {"-R", "a-w", unpackedRoot() + "/usr"});
        }
        QFile marker(path("card/RiskRating_1.txt"));
        ASSERT_TRUE(marker.open(QIODevice::WriteOnly));
        marker.write("x\r\n");
        for (const int id : {701, 702}) {
            QFile tree(path(QStringLiteral("card/%1.tree").arg(id)));
            ASSERT_TRUE(tree.open(QIODevice::WriteOnly));
            tree.write(treeFile(id));
        }
    }

    QString path(const QString& name) const { return scratch.filePath(name); }

    void prepare(QProcess& process, const QStringList& arguments, const QProcessEnvironment& environment) const
    {
        process.setProcessEnvironment(environment);
        if (overlayAvailable())
            process.start("unshare", inInstalledLayout(QStringList{"/usr/bin/kolva"} + arguments));
        else
            process.start(unpackedRoot() + "/usr/bin/kolva", arguments);
    }

    ToolRun kolva(const QStringList& arguments) const
    {
        QProcess process;
        prepare(process, arguments, env);
        ToolRun run;
        if (!process.waitForFinished(120000)) {
            process.kill();
            process.waitForFinished();
            return run;
        }
        run.status = process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
        run.out = QString::fromLocal8Bit(process.readAllStandardOutput());
        run.err = QString::fromLocal8Bit(process.readAllStandardError());
        return run;
    }

    // Starts the windows, waits until the Main window has been painted, then
    // ends the program with SIGTERM as a desktop's logout does: it closes its
    // windows as Exit does and ends by the signal.
    ::testing::AssertionResult windowsStartAndEnd(const QStringList& arguments) const
    {
        QProcess process;
        QProcessEnvironment windows = env;
        windows.insert("QT_QPA_PLATFORM", "offscreen");
        windows.insert("QT_LOGGING_RULES", "qt.widgets.painting=true");
        prepare(process, arguments, windows);
        if (!process.waitForStarted(30000))
            return ::testing::AssertionFailure() << process.errorString().toStdString();
        static const QRegularExpression painted(R"(qt\.widgets\.painting: Syncing QRegion\([^\n]*\) of kolva::frmMain\()");
        static const QRegularExpression message(R"(qt\.widgets\.painting: [^\n]* of QMessageBox\()");
        QString log;
        QElapsedTimer timer;
        timer.start();
        while (!painted.match(log).hasMatch()) {
            const bool asked = message.match(log).hasMatch();
            if (asked || process.state() == QProcess::NotRunning || timer.elapsed() > 120000) {
                process.kill();
                process.waitForFinished();
                log += QString::fromLocal8Bit(process.readAllStandardError());
                QStringList said; // what the program said, without the painting log
                for (const QString& line : log.split('\n', Qt::SkipEmptyParts)) {
                    if (!line.startsWith("qt.widgets.painting:"))
                        said << line;
                }
                return ::testing::AssertionFailure()
                       << (asked ? "a message box was shown instead of the Main window" : "the Main window was not painted")
                       << ":\n" << said.join('\n').toStdString();
            }
            process.waitForReadyRead(200);
            log += QString::fromLocal8Bit(process.readAllStandardError());
        }
        ::kill(pid_t(process.processId()), SIGTERM);
        if (!process.waitForFinished(60000)) {
            process.kill();
            process.waitForFinished();
            return ::testing::AssertionFailure() << "SIGTERM did not end the windows";
        }
        if (process.exitStatus() != QProcess::CrashExit)
            return ::testing::AssertionFailure() << "ended with status " << process.exitCode() << " instead of by SIGTERM";
        return ::testing::AssertionSuccess();
    }

    qint64 surveyCount(const QString& database) const
    {
        return Database::open(database)->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toLongLong();
    }

    QTemporaryDir scratch;
    QProcessEnvironment env;
};

TEST_F(InstalledLayout, StartsImportsACardAndPrintsAReport)
{
    const ToolRun version = kolva({"--version"});
    EXPECT_EQ(version.status, 0) << version.says().toStdString();
    EXPECT_EQ(version.out, "kolva " KOLVA_VERSION "\n");

    // An office's database made from the supplied one.
    const QString database = path("home/KOLVA.MDB");
    ASSERT_TRUE(QFile::copy(unpackedRoot() + "/usr/share/kolva/KOLVA.MDB", database));
    QFile::setPermissions(database, QFile::ReadOwner | QFile::WriteOwner | QFile::ReadGroup | QFile::ReadOther);

    const ToolRun import = kolva({"import", path("card"), "--database", database, "--backup-folder", path("backups")});
    EXPECT_EQ(import.status, 0) << import.says().toStdString();
    EXPECT_EQ(surveyCount(database), 2);
    EXPECT_TRUE(QDir(path("card")).entryList({"*.tree"}, QDir::Files).isEmpty()) << "moved off the card";
    const QStringList backups = QDir(path("backups")).entryList({"backup_*"}, QDir::Dirs);
    ASSERT_EQ(backups.size(), 1);
    EXPECT_EQ(QDir(path("backups/" + backups.first())).entryList({"*.tree"}, QDir::Files),
              QStringList({"701.tree", "702.tree"}));

    const QString pdf = path("out/worklist.pdf");
    const ToolRun report = kolva({"report", "needing-ca", "--pdf", pdf, "--database", database});
    EXPECT_EQ(report.status, 0) << report.says().toStdString();
    EXPECT_EQ(report.out, pdf + " created!\n1 page\n");
    const QString text = pdfText(pdf);
    EXPECT_TRUE(text.contains("Trees Needing Corrective Actions")) << text.toStdString();
    for (const char* id : {"701", "702"})
        EXPECT_TRUE(text.contains(QRegularExpression(QStringLiteral("\\b%1\\b").arg(id)))) << id;

    EXPECT_TRUE(windowsStartAndEnd({"--database", database}));
    EXPECT_EQ(surveyCount(database), 2);
}

// The first start of an installed program makes the user's database from the
// supplied one in $XDG_DATA_HOME/kolva and says where; the windows and the
// commands then work on it.
TEST_F(InstalledLayout, FirstStartMakesTheUsersDatabaseFromTheSuppliedOne)
{
    const QString database = path("home/.local/share/kolva/KOLVA.MDB");
    const ToolRun import = kolva({"import", path("card"), "--no-backup"});
    EXPECT_EQ(import.status, 0) << import.says().toStdString();
    EXPECT_TRUE(import.says().contains(".local/share/kolva/KOLVA.MDB")) << import.says().toStdString();
    ASSERT_TRUE(QFileInfo(database).isFile());
    EXPECT_EQ(surveyCount(database), 2);
    EXPECT_GT(Database::open(database)->scalar("SELECT COUNT(*) FROM _tblCorrAction").toInt(), 0);

    // The next start finds it: the windows open on it without a question.
    EXPECT_TRUE(windowsStartAndEnd({}));

    const QString pdf = path("out/worklist.pdf");
    const ToolRun report = kolva({"report", "needing-ca", "--pdf", pdf});
    EXPECT_EQ(report.status, 0) << report.says().toStdString();
    EXPECT_TRUE(pdfText(pdf).contains(QRegularExpression("\\b702\\b")));
}

} // namespace
