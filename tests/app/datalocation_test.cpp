// Where the database, the backups and the logs live, the first start of an
// installed KOLVA, and what two starts remember.

#include "app/datalocation.h"
#include "platform/drivelist.h"
#include "platform/settings.h"
#include "store/database.h"
#include "tests/app/apptest.h"

#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

using namespace kolva;
using namespace kolva::test;

namespace {

// An installed KOLVA: a program folder without KOLVA.MDB, the supplied
// database where the package puts it, and the user's folders.
struct InstalledLayout {
    QTemporaryDir root;
    QString programDir = root.filePath("usr/bin");
    QString templateDatabase = root.filePath("usr/share/kolva/KOLVA.MDB");
    QString userData = root.filePath("home/.local/share/kolva");

    InstalledLayout()
    {
        QDir().mkpath(programDir);
        QDir().mkpath(QFileInfo(templateDatabase).path());
        makeSuppliedDatabase(templateDatabase);
    }
    EnvironmentFolders folders() const { return {userData, templateDatabase}; }
};

TEST(DataLocation, ChoosesTheDatabaseInOrderOfPrecedence)
{
    InstalledLayout layout;
    const QString portable = layout.root.filePath("portable");
    QDir().mkpath(portable);
    makeSuppliedDatabase(QDir(portable).filePath("KOLVA.MDB"));
    const QString elsewhere = layout.root.filePath("srv/KOLVA.MDB");
    const QString userDatabase = QDir(layout.userData).filePath("KOLVA.MDB");
    using Source = DataLocation::Source;
    struct Case {
        const char* name;
        QString programDir;
        EnvironmentFolders folders;
        QString setInSettings;
        QString option;
        QString database;
        Source source;
        bool makesOne;
    };
    const Case cases[] = {
        {"installed, first start", layout.programDir, layout.folders(), {}, {}, userDatabase, Source::UserData, true},
        {"portable: KOLVA.MDB beside the program", portable, layout.folders(), {}, {}, QDir(portable).filePath("KOLVA.MDB"),
         Source::BesideProgram, false},
        {"not installed, nothing beside: as before", layout.programDir, {layout.userData, layout.root.filePath("none.mdb")},
         {}, {}, QDir(layout.programDir).filePath("KOLVA.MDB"), Source::BesideProgram, false},
        {"the settings win over the program folder", portable, layout.folders(), elsewhere, {}, elsewhere,
         Source::Settings, false},
        {"--database wins over the settings", layout.programDir, layout.folders(), elsewhere,
         QDir(portable).filePath("KOLVA.MDB"), QDir(portable).filePath("KOLVA.MDB"), Source::Option, false},
    };
    for (const Case& c : cases) {
        TempSettings settings;
        if (!c.setInSettings.isEmpty())
            settings.setValue("database/path", c.setInSettings);
        const DataLocation location = resolveDataLocation(c.programDir, c.folders, settings, c.option);
        EXPECT_EQ(location.databasePath, c.database) << c.name;
        EXPECT_EQ(location.dataDir, QFileInfo(c.database).path()) << c.name << ": backups and logs beside the database";
        EXPECT_EQ(location.source, c.source) << c.name;
        EXPECT_EQ(location.makeFrom, c.makesOne ? layout.templateDatabase : QString()) << c.name;
    }
    EXPECT_FALSE(QFileInfo::exists(userDatabase)) << "resolving changes nothing";

    // Once made, the user's database is used as it is.
    ASSERT_TRUE(QDir().mkpath(layout.userData));
    ASSERT_TRUE(QFile::copy(layout.templateDatabase, userDatabase));
    TempSettings settings;
    const DataLocation later = resolveDataLocation(layout.programDir, layout.folders(), settings, {});
    EXPECT_EQ(later.databasePath, userDatabase);
    EXPECT_TRUE(later.makeFrom.isEmpty());
}

TEST(DataLocation, AServerDatabaseIsTakenAsItsUriWithLogsInTheUsersFolder)
{
    InstalledLayout layout;
    const QString uri = "postgresql://arborist@db.example.org/trees?sslmode=require";
    using Source = DataLocation::Source;
    for (const auto& [setInSettings, option, source] :
         {std::tuple{QString(), uri, Source::Option}, std::tuple{uri, QString(), Source::Settings}}) {
        TempSettings settings;
        if (!setInSettings.isEmpty())
            settings.setValue("database/path", setInSettings);
        const DataLocation location = resolveDataLocation(layout.programDir, layout.folders(), settings, option);
        EXPECT_EQ(location.databasePath, uri);
        EXPECT_EQ(location.dataDir, layout.userData);
        EXPECT_EQ(location.source, source);
        EXPECT_TRUE(location.makeFrom.isEmpty());
    }
}

// The database file of an installed program, in the user's data folder.
class InstalledStartTest : public AppTest {
protected:
    void SetUp() override { KOLVA_SQLITE_FILE_ONLY(); }
    frmMain* startInstalled()
    {
        const DataLocation location = resolveDataLocation(layout.programDir, layout.folders(), settings, {});
        StartOptions options;
        options.databasePath = location.databasePath;
        options.makeFrom = location.makeFrom;
        session.reset();
        settle();
        session = startKolva(layout.programDir, prompter, shell, drives, clock, settings, options);
        return session ? session->mainWindow() : nullptr;
    }
    InstalledLayout layout;
};

TEST_F(InstalledStartTest, TheFirstStartMakesTheDatabaseInTheUsersFolderAndSaysWhere)
{
    // The program folder cannot be written (as installed); root may write
    // anywhere, so the test also checks that nothing was put there.
    ASSERT_EQ(::chmod(QFile::encodeName(layout.programDir).constData(), 0555), 0);
    prompter.answer(MsgAnswer::Ok);
    frmMain* main = startInstalled();
    ASSERT_NE(main, nullptr);
    const QString database = QDir(layout.userData).filePath("KOLVA.MDB");
    ASSERT_EQ(prompter.prompts().size(), 1u);
    const MessageRequest& said = prompter.last().message;
    EXPECT_EQ(said.caption, "KOLVA");
    EXPECT_EQ(said.icon, MsgIcon::Information);
    EXPECT_TRUE(said.text.contains("first start")) << said.text.toStdString();
    EXPECT_TRUE(said.text.contains(QDir::toNativeSeparators(database))) << said.text.toStdString();
    EXPECT_EQ(session->context().db.path(), database);
    EXPECT_EQ(session->context().dataDir, layout.userData);
    EXPECT_GT(session->context().db.scalar("SELECT COUNT(*) FROM Risk_Rating").toInt(), 0) << "the supplied lists";
    EXPECT_TRUE(QFileInfo(database).isWritable());
    EXPECT_EQ(QDir(layout.programDir).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden), QStringList());
    EXPECT_EQ(QDir(layout.userData).entryList(QDir::Files | QDir::Hidden), QStringList({"KOLVA.MDB"}))
        << "no temporary file left";

    // The next start finds it and says nothing.
    session->context().db.exec("INSERT INTO Surveyors (Description) VALUES ('ANNA')");
    ASSERT_NE(startInstalled(), nullptr);
    EXPECT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(session->context().db.scalar("SELECT COUNT(*) FROM Surveyors WHERE Description = 'ANNA'").toInt(), 1);
    ::chmod(QFile::encodeName(layout.programDir).constData(), 0755);
}

TEST_F(InstalledStartTest, ADatabaseThatCannotBeMadeIsSaidAndNothingStarts)
{
    // A file where the user's data folder should be.
    QDir().mkpath(QFileInfo(layout.userData).path());
    QFile blocker(layout.userData);
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    prompter.answer(MsgAnswer::Ok);
    EXPECT_EQ(startInstalled(), nullptr);
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Critical);
    EXPECT_TRUE(prompter.last().message.text.contains(QDir::toNativeSeparators(layout.userData)))
        << prompter.last().message.text.toStdString();
}

TEST_F(AppTest, TwoStartsRememberTheCardFolderTheBackupBoxAndTheWindowsPlace)
{
    QTemporaryDir copiedCard;
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->chkSavePDAFiles()->isChecked()) << "ticked the first time";
    EXPECT_EQ(main->Drive1()->selectedRoot(), "/media/crew/CARD");
    // "Other folder..." is the last entry.
    prompter.answerFolder(copiedCard.path());
    main->Drive1()->setCurrentIndex(main->Drive1()->count() - 1);
    emit main->Drive1()->activated(main->Drive1()->count() - 1);
    ASSERT_EQ(main->Drive1()->selectedRoot(), copiedCard.path());
    QTest::mouseClick(main->chkSavePDAFiles(), Qt::LeftButton, {}, QPoint(6, main->chkSavePDAFiles()->height() / 2));
    ASSERT_FALSE(main->chkSavePDAFiles()->isChecked());
    const QRect placed(main->x() + 13, main->y() + 17, main->width() + 40, main->height() + 30);
    main->setGeometry(placed);
    main->close();
    session.reset();
    settle();

    // The second start reads the same settings file anew.
    FileSettings again(settings.path());
    StartOptions options;
    options.databasePath = databasePath();
    session = startKolva(dir.path(), prompter, shell, drives, clock, again, options);
    ASSERT_NE(session, nullptr);
    main = session->mainWindow();
    EXPECT_FALSE(main->chkSavePDAFiles()->isChecked());
    EXPECT_EQ(main->Drive1()->selectedRoot(), copiedCard.path()) << "the folder chosen last, listed again";
    EXPECT_EQ(main->geometry(), placed);

    // A remembered folder that is gone is not offered.
    session.reset();
    settle();
    copiedCard.remove();
    FileSettings third(settings.path());
    session = startKolva(dir.path(), prompter, shell, drives, clock, third, options);
    ASSERT_NE(session, nullptr);
    main = session->mainWindow();
    EXPECT_EQ(main->Drive1()->findText(QDir::toNativeSeparators(copiedCard.path())), -1);
    EXPECT_EQ(main->Drive1()->selectedRoot(), "/media/crew/CARD");
    session.reset(); // before the settings it was given
    settle();
}

} // namespace
