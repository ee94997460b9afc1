#include "card/importsd.h"
#include "platform/busycursor.h"
#include "platform/drivelist.h"
#include "store/database.h"
#include "tests/app/apptest.h"
#include "tests/card/cardtest.h"

#include <QCheckBox>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QProcess>
#include <QProcessEnvironment>
#include <QProgressBar>
#include <QElapsedTimer>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <atomic>
#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

struct Expected {
    QString text;
    QString caption;
    MsgIcon icon;
    MsgButtons buttons = MsgButtons::Ok;
    MsgAnswer defaultButton = MsgAnswer::Ok;
};

void expectMessage(const PromptRecord& record, const Expected& e)
{
    EXPECT_EQ(record.kind, PromptRecord::Kind::Message);
    EXPECT_EQ(record.message.text, e.text) << record.message.text.toStdString();
    EXPECT_EQ(record.message.caption, e.caption);
    EXPECT_EQ(record.message.icon, e.icon) << e.text.toStdString();
    EXPECT_EQ(record.message.buttons, e.buttons) << e.text.toStdString();
    EXPECT_EQ(record.message.defaultButton, e.defaultButton) << e.text.toStdString();
    EXPECT_FALSE(record.busyCursor) << "the normal pointer shows with " << e.text.toStdString();
}

// The closing message of an import that went through.
Expected doneMessage(int saved, int moved = -1, const QString& backup = {})
{
    QString text = "Done!\n" + (saved == 1 ? QString("1 record was saved in the database.")
                                           : QString("%1 records were saved in the database.").arg(saved));
    if (moved >= 0)
        text += moved == 1 ? QString("\n1 file was moved into the backup folder %1.").arg(QDir::toNativeSeparators(backup))
                           : QString("\n%1 files were moved into the backup folder %2.")
                                 .arg(moved)
                                 .arg(QDir::toNativeSeparators(backup));
    return {text, "Data Import Completed", MsgIcon::Information};
}
const Expected DriveError{"There is a problem accessing the selected location.", "File/Drive Error",
                          MsgIcon::Exclamation};

class ImportSdTest : public AppTest {
protected:
    ImportSdTest() { drives.list = {{"/", "", true}, {card.root(), "CARD", false}}; }

    frmMain* startOnCard()
    {
        main = start();
        if (!main)
            return nullptr;
        // While a message shows, the import button must not start a second import.
        prompter.onPrompt = [this](const PromptRecord&) { enabledWhilePrompting.push_back(main->cmdImportSD()->isEnabled()); };
        return main;
    }
    // Clicks the button and lets the window thread run until the import
    // has ended (the button is usable again).
    void clickImport()
    {
        QTest::mouseClick(main->cmdImportSD(), Qt::LeftButton);
        QElapsedTimer waited;
        waited.start();
        while (!main->cmdImportSD()->isEnabled() && waited.elapsed() < 60000) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
            QThread::msleep(2);
        }
        EXPECT_TRUE(main->cmdImportSD()->isEnabled()) << "the import did not end";
        settle();
    }
    QString logPath(bool inBackup) const
    {
        return QDir::toNativeSeparators(QDir(inBackup ? backupDir() : dataDir()).filePath("import_20080102_103000.log"));
    }
    int rows() { return session->context().db.scalar("SELECT COUNT(*) FROM _Archived_SurveyData").toInt(); }
    // Where the program keeps its backups and logs: beside the database file,
    // or for a server database in the user's data folder.
    QString dataDir() const { return server ? dir.filePath("userdata/kolva") : dir.path(); }
    QString backupDir() const { return QDir(dataDir()).filePath("backup_20080102"); }
    QStringList backupFiles() const { return QDir(backupDir()).entryList(QDir::Files | QDir::Hidden, QDir::Name); }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < main->File1()->count(); ++i)
            names << main->File1()->item(i)->text();
        return names;
    }
    void expectIdleAfterwards()
    {
        EXPECT_TRUE(main->cmdImportSD()->isEnabled());
        EXPECT_FALSE(busyCursorShown());
        EXPECT_EQ(QApplication::overrideCursor(), nullptr);
        for (size_t i = 0; i < enabledWhilePrompting.size(); ++i)
            EXPECT_FALSE(enabledWhilePrompting[i]) << "prompt " << i;
    }

    TestCard card;
    frmMain* main = nullptr;
    std::vector<bool> enabledWhilePrompting;
};

TEST_F(ImportSdTest, ImportsEveryFileAndMovesThemIntoTheBackupFolderOfTheDay)
{
    ASSERT_NE(startOnCard(), nullptr);
    EXPECT_TRUE(main->cmdImportSD()->isEnabled());
    card.addTree("b.tree", treeLines(2));
    card.addTree("A.TREE", treeLines(1));
    card.addTree("c.tree", treeLines(3));
    writeBytes(card.path("Species.txt"), "ACRU-RED MAPLE\r\n");
    const int before = rows();
    clock.current = QDateTime(QDate(2008, 1, 2), QTime(17, 5, 9));
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    clickImport();

    ASSERT_EQ(prompter.prompts().size(), 2u);
    expectMessage(prompter.prompts()[0],
                  {"There are 3 .TREE files on the selected storage card", "Tree Count", MsgIcon::Information});
    expectMessage(prompter.prompts()[1], doneMessage(3, 3, backupDir()));
    EXPECT_EQ(listed(), QStringList({"A.TREE", "b.tree", "c.tree"}));
    EXPECT_EQ(rows(), before + 3);
    QSqlQuery added = session->context().db.query(
        "SELECT Tree_ID, Date_Added FROM _Archived_SurveyData WHERE ID > (SELECT MAX(ID) - 3 FROM _Archived_SurveyData) "
        "ORDER BY ID");
    QStringList stored;
    while (added.next())
        stored << added.value(0).toString() + " " + added.value(1).toString();
    EXPECT_EQ(stored, QStringList({"1 2008-01-02 17:05:09", "2 2008-01-02 17:05:09", "3 2008-01-02 17:05:09"}))
        << "in list order, stamped with the import time";
    EXPECT_TRUE(card.treeFiles().isEmpty());
    EXPECT_TRUE(card.has("Species.txt") && card.has("RiskRating_1.txt")) << "only .tree files are moved";
    EXPECT_EQ(backupFiles(), QStringList({"A.TREE", "b.tree", "c.tree"}));
    EXPECT_EQ(readBytes(QDir(backupDir()).filePath("b.tree")), joinLines(treeLines(2)));
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, OneFileGivesTheSingularCountAndAClearBoxLeavesTheFilesOnTheCard)
{
    ASSERT_NE(startOnCard(), nullptr);
    main->chkSavePDAFiles()->setChecked(false);
    card.addTree("only.tree", treeLines(7));
    const int before = rows();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok).answer(MsgAnswer::Ok).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    clickImport();
    clickImport();
    EXPECT_EQ(prompter.messageTexts(),
              QStringList({"There is 1 .TREE file on the selected storage card", doneMessage(1).text,
                           "There is 1 .TREE file on the selected storage card",
                           "1 file on the card was already imported on 01/02/2008. Import it again?",
                           doneMessage(1).text}));
    expectMessage(prompter.prompts()[3], {"1 file on the card was already imported on 01/02/2008. Import it again?",
                                          "Already Imported", MsgIcon::Question, MsgButtons::YesNo, MsgAnswer::No});
    EXPECT_EQ(rows(), before + 2) << "imported again when the user says so";
    EXPECT_EQ(card.treeFiles(), QStringList({"only.tree"}));
    EXPECT_FALSE(QFileInfo::exists(backupDir()));
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, TheSystemVolumeIsAskedAboutAndCancelChangesNothing)
{
    drives.list = {{card.root(), "", true}};
    ASSERT_NE(startOnCard(), nullptr);
    ASSERT_TRUE(main->Drive1()->selectedIsSystem());
    card.addTree("a.tree", treeLines(1));
    const int before = rows();
    const Expected question{"It's fairly unlikely that your Storage Card is the location " +
                                QDir::toNativeSeparators(card.root()) +
                                "\nAre you sure you wish to continue?",
                            "Confirm Drive Location", MsgIcon::Question, MsgButtons::OkCancel, MsgAnswer::Cancel};

    prompter.answer(MsgAnswer::Cancel);
    clickImport();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    expectMessage(prompter.prompts()[0], question);
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree"}));
    EXPECT_EQ(main->File1()->count(), 0);
    EXPECT_TRUE(main->cmdImportSD()->isEnabled());

    prompter.clear();
    enabledWhilePrompting.clear();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    clickImport();
    ASSERT_EQ(prompter.prompts().size(), 3u);
    expectMessage(prompter.prompts()[0], question);
    expectMessage(prompter.last(), doneMessage(1, 1, backupDir()));
    EXPECT_EQ(rows(), before + 1);
    EXPECT_TRUE(enabledWhilePrompting[0]) << "nothing has started while the question shows";
    enabledWhilePrompting.erase(enabledWhilePrompting.begin());
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, AFolderWithoutTheCardFileIsRefusedWhateverTreeFilesItHolds)
{
    TestCard plain(false);
    plain.addTree("a.tree", treeLines(1));
    drives.list = {{"/", "", true}, {plain.root(), "USB", false}};
    ASSERT_NE(startOnCard(), nullptr);
    const int before = rows();
    prompter.answer(MsgAnswer::Ok);
    clickImport();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    expectMessage(prompter.prompts()[0], {"The selected location (" + QDir::toNativeSeparators(plain.root()) +
                                              ") does not contain the KOLVA files",
                                          "Error", MsgIcon::Exclamation});
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(plain.treeFiles(), QStringList({"a.tree"}));
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, ACardWithoutTreeFilesHasNoFieldData)
{
    TestCard upper(false);
    upper.addRaw("RISKRATING_1.TXT", "x\r\n");
    upper.addRaw("notes.txt", "x\r\n");
    drives.list = {{"/", "", true}, {upper.root(), "CARD", false}};
    ASSERT_NE(startOnCard(), nullptr);
    prompter.answer(MsgAnswer::Ok);
    clickImport();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    expectMessage(prompter.prompts()[0],
                  {"The selected location DOES appear to be an KOLVA card, but it does NOT contain any field data.",
                   "No field data on card", MsgIcon::Exclamation});
    EXPECT_FALSE(QFileInfo::exists(backupDir()));
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, FilesThatCouldNotBeImportedAreNamedWithTheirReasonsAndLogged)
{
    const struct {
        bool save;
        QString where;
    } cases[] = {
        {true, "they are in the backup folder " + QDir::toNativeSeparators(backupDir())},
        {false, "they are still on the storage card in " + QDir::toNativeSeparators(card.root())},
    };
    ASSERT_NE(startOnCard(), nullptr);
    int tree = 1;
    for (const auto& c : cases) {
        QByteArrayList badDate = treeLines(tree++);
        badDate[3] = "2/30/2008";
        card.addTree("1.tree", treeLines(tree++));
        card.addTree("2.tree", badDate);
        card.addRaw("3.tree", "");
        main->chkSavePDAFiles()->setChecked(c.save);
        const int before = rows();
        prompter.clear();
        prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
        clickImport();
        ASSERT_EQ(prompter.prompts().size(), 2u);
        expectMessage(prompter.prompts()[1], {doneMessage(1, c.save ? 3 : -1, backupDir()).text +
                                                  "\n2 files could not be imported; " + c.where +
                                                  ":\n2.tree: 2/30/2008 is not a date\n3.tree: the date (line 4) is "
                                                  "empty\nThe whole list is in the import log " + logPath(c.save) + ".",
                                              "Data Import Completed", MsgIcon::Exclamation});
        EXPECT_EQ(rows(), before + 1);
        EXPECT_EQ(card.treeFiles().isEmpty(), c.save);
        EXPECT_TRUE(readBytes(logPath(c.save)).contains("3.tree: the date (line 4) is empty"));
        if (c.save) {
            EXPECT_EQ(backupFiles(), QStringList({"1.tree", "2.tree", "3.tree", "import_20080102_103000.log"}))
                << "failed files are moved as they were written";
            EXPECT_EQ(readBytes(QDir(backupDir()).filePath("2.tree")), joinLines(badDate));
        }
    }
    expectIdleAfterwards();
}

// The disk of the backup folder fills up at b.tree.
class FullBackupDisk : public CardFiles {
public:
    bool writeCopy(const QByteArray& bytes, std::filesystem::path& to, QString* error) override
    {
        if (to.filename() != "b.tree")
            return CardFiles::writeCopy(bytes, to, error);
        *error = QString::fromStdString(to.string()) + " cannot be written: No space left on device";
        return false;
    }
};

TEST_F(ImportSdTest, ABackupMoveThatStopsSaysWhatWasSavedWhatIsLeftAndWhy)
{
    ASSERT_NE(startOnCard(), nullptr);
    for (const char* name : {"a.tree", "b.tree", "c.tree"})
        card.addTree(name, treeLines(name[0]));
    const int before = rows();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    FullBackupDisk files;
    bool done = false;
    importFieldData(main->context(), {main, main->Drive1(), main->File1(), main->chkSavePDAFiles(), main->cmdImportSD()},
                    files, [&] { done = true; });
    QElapsedTimer waited;
    waited.start();
    while (!done && waited.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_TRUE(done) << "the import did not end";
    settle();
    ASSERT_EQ(prompter.prompts().size(), 2u);
    const QString backup = QDir::toNativeSeparators(backupDir());
    // The card is not blamed for the backup folder's full disk.
    expectMessage(prompter.prompts()[1],
                  {"There is a problem writing into the backup folder " + backup +
                       ".\n3 records were saved in the database.\n1 file was moved into the backup folder " +
                       backup + ".\nThe move stopped at b.tree: " + backup + "/b.tree cannot be written: No space left on device" +
                       "\n2 .tree files are still on the storage card in " + QDir::toNativeSeparators(card.root()) +
                       ".\nTheir records are saved: the next import recognises these files and asks before importing "
                       "them again; answer No to move them into the backup folder.\nCheck that the disk of the backup "
                       "folder has room and can be written, then import again.\nThe whole list is in the import log " +
                       logPath(true) + ".",
                   DriveError.caption, MsgIcon::Exclamation});
    EXPECT_EQ(card.treeFiles(), QStringList({"b.tree", "c.tree"}));
    EXPECT_EQ(rows(), before + 3) << "the records were saved before any file was moved";

    // The retry recognises the files: No moves them without a record more.
    prompter.clear();
    enabledWhilePrompting.clear();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::No).answer(MsgAnswer::Ok);
    clickImport();
    EXPECT_EQ(prompter.messageTexts().mid(1),
              QStringList({"2 files on the card were already imported on 01/02/2008. Import them again?",
                           doneMessage(0, 2, backupDir()).text +
                               "\n2 files were already imported and were not imported again; they are in the backup "
                           "folder " + backup + ":\nb.tree: already imported on 01/02/2008\nc.tree: already imported on "
                           "01/02/2008\nThe whole list is in the import log " + logPath(true) + "."}));
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Information);
    EXPECT_EQ(rows(), before + 3);
    EXPECT_TRUE(card.treeFiles().isEmpty());
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, ACardThatIsGoneGivesTheFileDriveError)
{
    auto gone = std::make_unique<TestCard>();
    const QString root = gone->root();
    drives.list = {{"/", "", true}, {root, "CARD", false}};
    ASSERT_NE(startOnCard(), nullptr);
    gone.reset();
    ASSERT_FALSE(QFileInfo::exists(root));
    prompter.answer(MsgAnswer::Ok);
    clickImport();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    expectMessage(prompter.prompts()[0], DriveError);
    expectIdleAfterwards();
}

// Deleting from the card fails: a write-protected card, say.
class ProtectedCard : public CardFiles {
public:
    bool removeFile(const std::filesystem::path& path, QString* error) override
    {
        *error = QString::fromStdString(path.filename().string()) + " cannot be deleted: Read-only file system";
        return false;
    }
};

TEST_F(ImportSdTest, ACardFileThatCannotBeDeletedStaysWithItsCopyInTheBackup)
{
    ASSERT_NE(startOnCard(), nullptr);
    card.addTree("a.tree", treeLines(1));
    card.addRaw("b.tree", "KOLVA\r\n");
    ProtectedCard files;
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    bool done = false;
    importFieldData(main->context(), {main, main->Drive1(), main->File1(), main->chkSavePDAFiles(), main->cmdImportSD()},
                    files, [&] { done = true; });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    ASSERT_EQ(prompter.prompts().size(), 2u);
    const QString text = prompter.prompts()[1].message.text;
    EXPECT_TRUE(text.startsWith(DriveError.text + "\n1 record was saved in the database.\n0 files were moved"))
        << text.toStdString();
    EXPECT_TRUE(text.contains("The move stopped at a.tree: a.tree cannot be deleted: Read-only file system\n"));
    EXPECT_TRUE(text.contains("\n1 file could not be imported; it is still on the storage card in " +
                              QDir::toNativeSeparators(card.root()) + ":\nb.tree: the date (line 4) is empty"));
    // Only a.tree's record is saved: only it is recognised next time.
    EXPECT_TRUE(text.contains("\n2 .tree files are still on the storage card in " +
                              QDir::toNativeSeparators(card.root()) +
                              ".\nThe record of 1 of them is saved: the next import recognises that file and asks "
                              "before importing it again; answer No to move it into the backup folder.\n"))
        << text.toStdString();
    EXPECT_FALSE(text.contains("Their records are saved"));
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree", "b.tree"}));
    EXPECT_EQ(backupFiles(), QStringList({"a.tree", "b.tree", "import_20080102_103000.log"}));
    expectIdleAfterwards();
}

TEST_F(ImportSdTest, ADatabaseThatCannotSaveTheImportLeavesEverythingAsItWas)
{
    ASSERT_NE(startOnCard(), nullptr);
    card.addTree("a.tree", treeLines(1));
    card.addTree("b.tree", treeLines(2));
    Database& db = session->context().db;
    // The engine gives up the import's transaction at the second record.
    test::failInsertsWhen(db, "NEW.Tree_ID = 2", test::InsertFailure::EngineGivesUp, "disk I/O error");
    const int before = rows();
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    clickImport();

    ASSERT_EQ(prompter.prompts().size(), 2u);
    expectMessage(prompter.prompts()[1], {"The field data could not be saved in the database: disk I/O error\n"
                                          "Nothing was imported; every .tree file is still on the storage card.",
                                          "Data Import Failed", MsgIcon::Critical});
    EXPECT_EQ(rows(), before);
    EXPECT_EQ(card.treeFiles(), QStringList({"a.tree", "b.tree"}));
    EXPECT_FALSE(QFileInfo::exists(QDir(backupDir()).filePath("a.tree")));
    expectIdleAfterwards();
}

// The card holds a.tree, imported before, and two new files. While this
// window asks about a.tree, other() imports the same card; then the question
// is answered No. The new files' records are saved once, by the other import.
class OverlappingImportTest : public ImportSdTest {
protected:
    void importWhileAnotherImports(const std::function<void()>& other)
    {
        ASSERT_NE(startOnCard(), nullptr);
        main->chkSavePDAFiles()->setChecked(false);
        card.addTree("a.tree", treeLines(1));
        prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
        clickImport();
        main->chkSavePDAFiles()->setChecked(true);
        card.addTree("b.tree", treeLines(2));
        card.addTree("c.tree", treeLines(3));
        const int before = rows();

        prompter.clear();
        enabledWhilePrompting.clear();
        prompter.onPrompt = [&](const PromptRecord& record) {
            enabledWhilePrompting.push_back(main->cmdImportSD()->isEnabled());
            if (record.message.caption == "Already Imported")
                other();
        };
        prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::No).answer(MsgAnswer::Ok);
        clickImport();

        EXPECT_EQ(rows(), before + 2) << "b.tree and c.tree, once";
        EXPECT_EQ(session->context().db.scalar("SELECT COUNT(*) FROM _Archived_SurveyData WHERE Tree_ID IN (2, 3)"), 2);
        EXPECT_TRUE(card.treeFiles().isEmpty()) << "the other import moved them";
        ASSERT_EQ(prompter.prompts().size(), 3u);
        const QString closing = prompter.last().message.text;
        EXPECT_TRUE(closing.startsWith(
            doneMessage(0, 0, backupDir()).text +
            "\n3 files were already imported and were not imported again; they are no longer on the storage card "
            "(taken off it meanwhile):\na.tree: already imported on 01/02/2008\n"
            "b.tree: imported meanwhile by another import, on "))
            << closing.toStdString();
        EXPECT_TRUE(closing.contains("\nc.tree: imported meanwhile by another import, on ")) << closing.toStdString();
        EXPECT_EQ(prompter.last().message.icon, MsgIcon::Information);
        expectIdleAfterwards();
    }
};

TEST_F(OverlappingImportTest, ASecondWindowImportingMeanwhileIsNotSavedAgain)
{
    ScriptedPrompter otherPrompter;
    std::unique_ptr<KolvaSession> second;
    importWhileAnotherImports([&] {
        StartOptions options;
        options.databasePath = databasePath();
        second = startKolva(dir.path(), otherPrompter, shell, drives, clock, settings, options);
        ASSERT_TRUE(second);
        frmMain* other = second->mainWindow();
        ASSERT_TRUE(other->chkSavePDAFiles()->isChecked());
        otherPrompter.answer(MsgAnswer::Ok).answer(MsgAnswer::No).answer(MsgAnswer::Ok);
        QTest::mouseClick(other->cmdImportSD(), Qt::LeftButton);
        QTRY_VERIFY_WITH_TIMEOUT(otherPrompter.scriptDone() && other->cmdImportSD()->isEnabled(), 60000);
        EXPECT_EQ(otherPrompter.last().message.text,
                  doneMessage(2, 3, backupDir()).text + "\n1 file was already imported and was not imported again; "
                  "it is in the backup folder " + QDir::toNativeSeparators(backupDir()) +
                  ":\na.tree: already imported on 01/02/2008\nThe whole list is in the import log " +
                  logPath(true) + ".");
    });
    second.reset();
}

TEST_F(OverlappingImportTest, TheScheduledCommandLineImportingMeanwhileIsNotSavedAgain)
{
    QString out;
    importWhileAnotherImports([&] {
        QProcess kolva;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM", "XAUTHORITY"})
            env.remove(name);
        kolva.setProcessEnvironment(env);
        kolva.start(QStringLiteral(KOLVA_PROGRAM_DIR "/kolva"),
                    {"import", card.root(), "--database", session->context().db.path(), "--backup-folder", dir.path()});
        ASSERT_TRUE(kolva.waitForFinished(60000));
        out = QString::fromLocal8Bit(kolva.readAllStandardOutput());
        EXPECT_EQ(kolva.exitCode(), 0) << kolva.readAllStandardError().toStdString();
    });
    EXPECT_TRUE(out.contains("\n2 records were saved in the database.\n3 files were moved into the backup folder"))
        << out.toStdString();
}

// Deleting the originals from the card waits at the second file until the
// test lets it go.
class HeldCard : public CardFiles {
public:
    bool removeFile(const std::filesystem::path& path, QString* error) override
    {
        if (removed == 1) {
            held = true;
            while (!released)
                QThread::msleep(2);
        }
        ++removed;
        return CardFiles::removeFile(path, error);
    }
    std::atomic<int> removed{0};
    std::atomic<bool> held{false};
    std::atomic<bool> released{false};
};

TEST_F(ImportSdTest, CancelWhileTheOriginalsAreDeletedStopsTheMoveAfterTheCurrentFile)
{
    ASSERT_NE(startOnCard(), nullptr);
    for (const char* name : {"a.tree", "b.tree", "c.tree"})
        card.addTree(name, treeLines(name[0]));
    const int before = rows();
    HeldCard files;
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    bool done = false;
    importFieldData(main->context(), {main, main->Drive1(), main->File1(), main->chkSavePDAFiles(), main->cmdImportSD()},
                    files, [&] { done = true; });
    QTRY_VERIFY_WITH_TIMEOUT(files.held, 20000);
    QWidget* dialog = nullptr;
    QTRY_VERIFY((dialog = main->findChild<QWidget*>("dlgProgress")) && dialog->isVisible());
    auto* label = dialog->findChild<QLabel*>("lblProgress");
    auto* bar = dialog->findChild<QProgressBar*>("barProgress");
    auto* cancel = dialog->findChild<QPushButton*>("cmdCancel");
    QTRY_COMPARE(label->text(),
                 QString("Deleting the moved files from the storage card"));
    EXPECT_EQ(bar->text(), "1 of 3");
    QTRY_VERIFY(cancel->isEnabled());
    QTest::mouseClick(cancel, Qt::LeftButton);
    files.released = true;
    QTRY_VERIFY_WITH_TIMEOUT(done, 20000);

    ASSERT_EQ(prompter.prompts().size(), 2u);
    expectMessage(prompter.prompts()[1],
                  {"The move into the backup folder was cancelled.\n3 records were saved in the database.\n2 files "
                   "were moved into the backup folder " + QDir::toNativeSeparators(backupDir()) +
                       ".\n1 .tree file is still on the storage card in " + QDir::toNativeSeparators(card.root()) +
                       ".\nIts record is saved: the next import recognises this file and asks before importing it "
                       "again; answer No to move it into the backup folder.\nThe whole list is in the import log " +
                       logPath(true) + ".",
                   "Data Import Completed", MsgIcon::Exclamation});
    EXPECT_EQ(rows(), before + 3);
    EXPECT_EQ(card.treeFiles(), QStringList({"c.tree"}));
    expectIdleAfterwards();
}

TEST(ClosingMessage, NamesTwentyFilesInAllAndPointsToTheLogForTheRest)
{
    CardImportResult result;
    result.cardRoot = "/media/crew/CARD";
    result.backupDir = "/opt/kolva/backup_20080102";
    result.keepBackup = true;
    result.logFile = "/opt/kolva/backup_20080102/import_20080102_103000.log";
    for (int i = 0; i < 25; ++i) {
        const QString name = QStringLiteral("%1.tree").arg(i, 2, 10, QLatin1Char('0'));
        result.refused.append(NamedFile{name, "2/30/2008 is not a date"});
        result.moved << name;
    }
    result.skipped.append(NamedFile{"x.tree", "already imported on 01/02/2008"});
    result.moved << "x.tree";
    const MessageRequest message = importsd::closingMessage(result);
    const QStringList lines = message.text.split('\n');
    ASSERT_EQ(lines.size(), 27);
    EXPECT_EQ(lines[1], "0 records were saved in the database.");
    EXPECT_EQ(lines[2], "26 files were moved into the backup folder /opt/kolva/backup_20080102.");
    EXPECT_EQ(lines[3], "25 files could not be imported; they are in the backup folder /opt/kolva/backup_20080102:");
    EXPECT_EQ(lines[23], "19.tree: 2/30/2008 is not a date");
    EXPECT_EQ(lines[24], "... and 5 more");
    EXPECT_EQ(lines[25], "1 file was already imported and was not imported again; it is in the backup folder "
                         "/opt/kolva/backup_20080102.");
    EXPECT_EQ(lines[26], "The whole list is in the import log /opt/kolva/backup_20080102/import_20080102_103000.log.");
    EXPECT_EQ(message.icon, MsgIcon::Exclamation);
    EXPECT_EQ(message.caption, "Data Import Completed");
}

} // namespace

namespace {

// The system's file operations, but nothing can be made in one folder.
class ReadOnlyFolder : public CardFiles {
public:
    explicit ReadOnlyFolder(QString folder) : folder_(std::move(folder)) {}
    bool canWriteIn(const QString& folder, QString* error) override
    {
        if (QDir(folder) == QDir(folder_)) {
            *error = "Read-only file system";
            return false;
        }
        return CardFiles::canWriteIn(folder, error);
    }

private:
    QString folder_;
};

TEST_F(ImportSdTest, AProgramFolderThatCannotBeWrittenDoesNotStopAnImportIntoADatabaseElsewhere)
{
    QTemporaryDir data;
    const QString database = data.filePath("KOLVA.MDB");
    ASSERT_TRUE(QFile::rename(dir.databasePath(), database));
    StartOptions options;
    options.databasePath = database;
    main = start(options);
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(session->context().dataDir, data.path());
    card.addTree("a.tree", treeLines(1));
    clock.current = QDateTime(QDate(2008, 1, 2), QTime(10, 30));
    prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    ReadOnlyFolder files(dir.path());
    bool ended = false;
    importFieldData(session->context(), {main, main->Drive1(), main->File1(), main->chkSavePDAFiles(), main->cmdImportSD()},
                    files, [&ended] { ended = true; });
    ASSERT_TRUE(QTest::qWaitFor([&ended] { return ended; }, 60000));
    settle();

    ASSERT_EQ(prompter.prompts().size(), 2u);
    const QString backup = QDir(data.path()).filePath("backup_20080102");
    expectMessage(prompter.prompts()[1], doneMessage(1, 1, backup));
    EXPECT_EQ(QDir(backup).entryList(QDir::Files), QStringList({"a.tree"})) << "the backups go beside the database";
    EXPECT_FALSE(QFileInfo::exists(backupDir())) << "nothing in the program folder";
}

} // namespace
