#include "platform/progress.h"
#include "store/database.h"
#include "tests/app/apptest.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>

#include <functional>

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

class EarlierVersionTest : public StartupTest {
protected:
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

TEST_F(StartupTest, WithTheDatabaseTheMainWindowShows)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(openWindow("frmMain"), main);
    EXPECT_TRUE(prompter.prompts().empty());
}

} // namespace
