#include "platform/progress.h"
#include "store/database.h"
#include "tests/app/apptest.h"

#include "platform/progress.h"
#include "store/surveyhistory.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <csignal>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QByteArray sha256(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256)
                                       : QByteArray();
}

class StartupTest : public AppTest {};

TEST_F(StartupTest, WithoutTheDatabaseTheEnginesErrorShowsAndNothingStarts)
{
    KOLVA_SQLITE_FILE_ONLY();
    ASSERT_TRUE(QFile::remove(dir.databasePath()));
    prompter.answer(MsgAnswer::Ok);
    EXPECT_EQ(start(), nullptr);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const MessageRequest& shown = prompter.last().message;
    EXPECT_EQ(shown.caption, "KOLVA");
    EXPECT_EQ(shown.icon, MsgIcon::Critical);
    EXPECT_TRUE(shown.text.contains(QDir::toNativeSeparators(dir.databasePath())));
    EXPECT_TRUE(shown.text.contains("unable to open database file")) << shown.text.toStdString();
    EXPECT_EQ(openWindow("frmMain"), nullptr);
    EXPECT_FALSE(QFile::exists(dir.databasePath()));
}

// An Access file in the place of the database file.
class EarlierVersionTest : public StartupTest {
protected:
    void SetUp() override { KOLVA_SQLITE_FILE_ONLY(); }
    // The Access fixture as the program's database, changed by patch.
    void placeAccessFile(const std::function<void(QByteArray&)>& patch = {})
    {
        QFile in(testDataPath("legacy_kolva.mdb"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        QByteArray bytes = in.readAll();
        if (patch)
            patch(bytes);
        ASSERT_TRUE(QFile::remove(dir.databasePath()));
        QFile out(dir.databasePath());
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(bytes);
        out.close();
        before = sha256(dir.databasePath());
    }
    bool waitForConversion()
    {
        QElapsedTimer timer;
        timer.start();
        while (!conversionDone && timer.elapsed() < 30000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        return conversionDone;
    }
    QByteArray before;
};

TEST_F(EarlierVersionTest, IsOfferedForConversionAndNoLeavesItUnchanged)
{
    placeAccessFile();
    prompter.answer(MsgAnswer::No);
    EXPECT_EQ(start(), nullptr);
    EXPECT_FALSE(converting);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const MessageRequest& asked = prompter.last().message;
    EXPECT_EQ(asked.caption, "KOLVA");
    EXPECT_EQ(asked.icon, MsgIcon::Question);
    EXPECT_EQ(asked.buttons, MsgButtons::YesNo);
    EXPECT_EQ(asked.defaultButton, MsgAnswer::Yes);
    for (const QString& part : {QDir::toNativeSeparators(dir.databasePath()), QString("Microsoft Access database"),
                                QString("5 survey records"), QString("Convert this database now?"),
                                QString("KOLVA.MDB.access-20080102")})
        EXPECT_TRUE(asked.text.contains(part)) << asked.text.toStdString();
    settle();
    EXPECT_EQ(sha256(dir.databasePath()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"KOLVA.MDB"}));
}

TEST_F(EarlierVersionTest, YesConvertsItAndTheMainWindowOpensOnTheNewDatabase)
{
    placeAccessFile();
    // The history names the account the program runs as, whatever the
    // environment says.
    const QByteArray user = qgetenv("USER");
    qputenv("USER", "somebody-else");
    prompter.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    EXPECT_EQ(start(), nullptr) << "the Main window waits for the conversion";
    EXPECT_TRUE(converting);
    ASSERT_TRUE(waitForConversion());
    ASSERT_NE(session, nullptr);
    EXPECT_TRUE(session->mainWindow()->isVisible());

    ASSERT_EQ(prompter.prompts().size(), 2u);
    const MessageRequest& closing = prompter.last().message;
    EXPECT_EQ(closing.icon, MsgIcon::Information);
    EXPECT_EQ(closing.caption, "KOLVA");
    EXPECT_TRUE(closing.text.contains("Survey records: 5 of 5\nSurveyors: 3 of 3\nSpecies: 3 of 3")) << closing.text.toStdString();
    EXPECT_TRUE(closing.text.contains("Cost table: 5 of 5"));
    const QString kept = dir.filePath("KOLVA.MDB.access-20080102");
    EXPECT_TRUE(closing.text.contains(QDir::toNativeSeparators(kept)));
    EXPECT_EQ(sha256(kept), before);
    EXPECT_EQ(session->context().db.scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 5);
    qputenv("USER", user);
    EXPECT_EQ(session->context().db.scalar("SELECT COUNT(*) FROM _Survey_History WHERE Changed_By = ?",
                                           {operatingSystemUser()}).toInt(),
              5);
    EXPECT_NE(operatingSystemUser(), "somebody-else");
}

TEST_F(EarlierVersionTest, TheEndOfTheProgramDuringTheConversionWaitsForItAndLeavesOneWholeDatabase)
{
    placeAccessFile();
    const QStringList filesBefore = QDir(dir.path()).entryList(QDir::Files | QDir::Hidden);
    prompter.answer(MsgAnswer::Yes);
    EXPECT_EQ(start(), nullptr);
    ASSERT_TRUE(converting);
    ASSERT_EQ(BackgroundJob::running().size(), 1);
    BackgroundJob::stopAllNow(); // the program ends, as after the event loop
    settle();
    EXPECT_TRUE(BackgroundJob::running().isEmpty());
    EXPECT_FALSE(conversionDone) << "nothing starts on a database while the program ends";
    if (sha256(dir.databasePath()) == before) {
        EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files | QDir::Hidden), filesBefore) << "stopped: nothing left beside it";
    } else {
        EXPECT_EQ(sha256(dir.filePath("KOLVA.MDB.access-20080102")), before);
        EXPECT_EQ(Database::open(dir.databasePath())->scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(), 5);
    }
}

TEST_F(EarlierVersionTest, AFailedConversionSaysWhatFailedAndChangesNothing)
{
    placeAccessFile([](QByteArray& b) {
        // The survey records' page says it holds far more rows than fit.
        b[27 * 4096 + 12] = char(0xff);
        b[27 * 4096 + 13] = char(0x7f);
    });
    prompter.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    start();
    ASSERT_TRUE(waitForConversion());
    EXPECT_EQ(session, nullptr);
    const MessageRequest& shown = prompter.last().message;
    EXPECT_EQ(shown.icon, MsgIcon::Critical);
    EXPECT_TRUE(shown.text.contains("_Archived_SurveyData is damaged")) << shown.text.toStdString();
    EXPECT_TRUE(shown.text.contains("The Access file has not been changed."));
    EXPECT_EQ(sha256(dir.databasePath()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"KOLVA.MDB"}));
}

TEST_F(EarlierVersionTest, AConversionInterruptedBeforeIsUndoneAndSaidBeforeTheFileIsOffered)
{
    placeAccessFile();
    // Killed between its two steps: the Access file under a second name and
    // the unfinished new database beside it.
    const QString kept = dir.filePath("KOLVA.MDB.access-20080102");
    ASSERT_EQ(::link(QFile::encodeName(dir.databasePath()).constData(), QFile::encodeName(kept).constData()), 0);
    {
        QFile unfinished(dir.filePath("KOLVA.MDB.converting-a1b2c3d4"));
        ASSERT_TRUE(unfinished.open(QIODevice::WriteOnly));
        unfinished.write("half");
    }
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::No);
    EXPECT_EQ(start(), nullptr);
    ASSERT_EQ(prompter.prompts().size(), 2u);
    const MessageRequest& said = prompter.prompts()[0].message;
    EXPECT_EQ(said.caption, "KOLVA");
    EXPECT_EQ(said.icon, MsgIcon::Information);
    EXPECT_TRUE(said.text.contains("was interrupted before the new database was put in place. It has been undone"))
        << said.text.toStdString();
    EXPECT_TRUE(said.text.contains("KOLVA.MDB.converting-a1b2c3d4")) << said.text.toStdString();
    EXPECT_TRUE(prompter.last().message.text.contains("Convert this database now?"));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"KOLVA.MDB"}));
    EXPECT_EQ(sha256(dir.databasePath()), before);
}

TEST_F(EarlierVersionTest, ATerminationSignalStopsTheConversionAsCancelWould)
{
    placeAccessFile();
    noteTermination(SIGTERM); // as the handler of SIGTERM notes it
    prompter.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    start();
    const bool ended = waitForConversion();
    noteTermination(0);
    ASSERT_TRUE(ended);
    EXPECT_EQ(session, nullptr);
    EXPECT_EQ(prompter.last().message.text,
              "The conversion was stopped. The Access database has not been changed.");
    EXPECT_EQ(sha256(dir.databasePath()), before);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"KOLVA.MDB"}));
}

TEST_F(StartupTest, APipeNamedAsTheDatabaseIsRefusedAtOnce)
{
    KOLVA_SQLITE_FILE_ONLY();
    ASSERT_TRUE(QFile::remove(dir.databasePath()));
    ASSERT_EQ(::mkfifo(QFile::encodeName(dir.databasePath()).constData(), 0644), 0);
    prompter.answer(MsgAnswer::Ok);
    EXPECT_EQ(start(), nullptr); // a blocking open would hang here
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Critical);
    EXPECT_TRUE(prompter.last().message.text.contains("is not a regular file: it is a named pipe (FIFO)."))
        << prompter.last().message.text.toStdString();
}

TEST_F(StartupTest, WithTheDatabaseTheMainWindowShows)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(openWindow("frmMain"), main);
    EXPECT_TRUE(prompter.prompts().empty());
}

} // namespace
