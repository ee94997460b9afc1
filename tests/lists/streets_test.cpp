// The street list window, the street CSV import window and the street data
// code behind them.

#include "lists/frmImportStreets.h"
#include "lists/frmStreetList.h"
#include "lists/streets.h"
#include "tests/support/dbrules.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QPointer>
#include <QPushButton>
#include <QSignalSpy>
#include <QStringEncoder>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kolva;
using namespace kolva::test;

namespace {

using Streets = std::vector<std::pair<QString, bool>>;

void setStreets(Database& db, const Streets& streets)
{
    db.exec(QStringLiteral("DELETE FROM _Streets_Master"));
    for (const auto& [name, send] : streets)
        db.exec(QStringLiteral("INSERT INTO _Streets_Master (StreetName, SendToPDA) VALUES (?, ?)"), {name, send ? 1 : 0});
}

Streets storedStreets(Database& db)
{
    Streets streets;
    QSqlQuery q = db.query(QStringLiteral("SELECT StreetName, SendToPDA FROM _Streets_Master ORDER BY StreetName"));
    while (q.next())
        streets.emplace_back(q.value(0).toString(), q.value(1).toInt() == 1);
    return streets;
}

QStringList storedNames(Database& db, const QString& sql)
{
    QStringList names;
    QSqlQuery q = db.query(sql);
    while (q.next())
        names << q.value(0).toString();
    return names;
}

QStringList streetNames(Database& db)
{
    return storedNames(db, QStringLiteral("SELECT StreetName FROM _Streets_Master ORDER BY StreetName"));
}

QStringList pdaStreets(Database& db)
{
    return storedNames(db, QStringLiteral("SELECT StreetName FROM Streets_PDA ORDER BY StreetName"));
}

// A sheet saved as "Unicode text": UTF-16 after its byte-order mark.
QByteArray utf16(const QString& text, bool bigEndian = false)
{
    QStringEncoder encoder(bigEndian ? QStringEncoder::Utf16BE : QStringEncoder::Utf16LE,
                           QStringEncoder::Flag::WriteBom);
    return encoder.encode(text);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// ---------------------------------------------------------------- the data code

TEST(StreetNames, AreCleanedAsTheyAreStored)
{
    const struct {
        QString typed;
        QString stored;
    } cases[] = {
        {"main st", "MAIN ST"},
        {"o'neil, ave", "ONEIL AVE"},
        {"  elm st  ", "ELM ST"},
        {"elm\tst", "ELM ST"},
        {QString(35, QLatin1Char('a')), QString(30, QLatin1Char('A'))},
        {"abcdefghijklmnopqrstuvwxyz1234'5", "ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"}, // cut after the apostrophe goes
        {"twenty-nine characters name x y", "TWENTY-NINE CHARACTERS NAME X"}, // no blank left at the cut
        {QString::fromUtf8("caf\u00e9 rue"), QString::fromUtf8("CAF\u00c9 RUE")},
        {"','", ""},
        {"", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(cleanStreetName(c.typed), c.stored) << c.typed.toStdString();
}

TEST(StreetNames, AreCleanedBeforeTheyAreCutToThirtyCharacters)
{
    const QString thirty = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZ1234"); // 30 characters
    const struct {
        const char* what;
        QString typed;
        QString stored;
    } cases[] = {
        {"leading blanks", QStringLiteral("    ") + thirty, thirty},
        {"leading tab and vertical tab", QStringLiteral("\t\v") + thirty, thirty},
        {"leading controls and blanks, trailing blanks", QStringLiteral(" \x01\x1f ") + thirty + QStringLiteral("  "),
         thirty},
        {"apostrophes and commas inside", QStringLiteral("A'B,C") + thirty.mid(3), thirty},
        {"one character over after cleaning", QStringLiteral("   ") + thirty + QStringLiteral("5"), thirty},
        {"thirty-one typed, twenty-nine after cleaning", QStringLiteral("  ") + thirty.left(29), thirty.left(29)},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(cleanStreetName(c.typed), c.stored) << c.what;
        // The same through a street file.
        const QByteArray line = "\"" + c.typed.toUtf8() + "\",1\r\nOak Ave\r\n";
        EXPECT_EQ(streetNamesFromCsv(line).names, QStringList({c.stored, "OAK AVE"})) << c.what;
    }
}

TEST(StreetFile, WithAByteOrderMarkIsUtf8EvenWithABadByte)
{
    // 0x80 alone is not UTF-8; without the mark the file would be taken as
    // Windows-1252 and "Caf\xC3\xA9" would become two characters.
    TempProgramDir dir(false);
    const QString path = dir.filePath("streets.csv");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("\xEF\xBB\xBFStreet\r\nRue Caf\xC3\xA9\r\nElm\x80 St\r\n");
    file.close();
    const StreetFileNames read = readStreetFile(path);
    EXPECT_TRUE(read.titleLineSkipped);
    EXPECT_EQ(read.names, QStringList({QString::fromUtf8("RUE CAF\u00c9"), QString::fromUtf8("ELM\uFFFD ST")}));
}

TEST(StreetFile, TakesTheFirstFieldOfEveryRecord)
{
    const struct {
        const char* name;
        QByteArray bytes;
        QStringList names;
        bool titles;
    } cases[] = {
        {"CR LF", "Elm St,1\r\nOak Ave,2\r\n", {"ELM ST", "OAK AVE"}, false},
        {"LF", "Elm St\nOak Ave", {"ELM ST", "OAK AVE"}, false},
        {"CR", "Elm St\rOak Ave\r", {"ELM ST", "OAK AVE"}, false},
        {"title line", "Street Name,Ward\r\nElm St,1\r\n", {"ELM ST"}, true},
        {"a title only on the first line", "Elm St\r\nStreet\r\n", {"ELM ST", "STREET"}, false},
        {"empty lines and empty first fields", "\r\nElm St\r\n,3\r\n  ,4\r\n\r\n", {"ELM ST"}, false},
        {"quoted comma", "\"Main St, North\",x\r\n\"O'Hara Rd\"\r\n", {"MAIN ST NORTH", "OHARA RD"}, false},
        {"UTF-8 with byte-order mark", "\xEF\xBB\xBFStreet\r\nRue Caf\xC3\xA9\r\n", {QString::fromUtf8("RUE CAF\u00c9")}, true},
        {"Windows-1252", "Rue Caf\xE9\r\n", {QString::fromUtf8("RUE CAF\u00c9")}, false},
        {"duplicates kept for the import to count", "Elm\r\nelm\r\n", {"ELM", "ELM"}, false},
        {"Unicode text: UTF-16, tabs", utf16(QString::fromUtf8("Street\tWard\r\nRue Caf\u00e9\t1\r\nElm St, N\t2\r\n")),
         {QString::fromUtf8("RUE CAF\u00c9"), "ELM ST N"}, true},
        {"UTF-16 big-endian", utf16("Elm St,1\r\nOak Ave,2\r\n", true), {"ELM ST", "OAK AVE"}, false},
        {"semicolons", "Street;Ward\r\nPINE ST;1\r\nMain St, North;2,5\r\n", {"PINE ST", "MAIN ST NORTH"}, true},
        {"line breaks inside quotes in a later column", "Elm St,\"two\r\nlines\"\r\nOak Ave\r\n", {"ELM ST", "OAK AVE"},
         false},
    };
    for (const auto& c : cases) {
        const StreetFileNames read = streetNamesFromCsv(c.bytes);
        EXPECT_EQ(read.names, c.names) << c.name;
        EXPECT_EQ(read.titleLineSkipped, c.titles) << c.name;
    }
}

TEST(StreetFile, ALineOfTenMegabytesGivesItsFirstThirtyCharacters)
{
    QByteArray bytes = "Elm St\r\n";
    bytes += QByteArray(10 * 1024 * 1024, 'x');
    bytes += ",second\r\nOak Ave\r\n";
    EXPECT_EQ(streetNamesFromCsv(bytes).names, QStringList({"ELM ST", QString(30, QLatin1Char('X')), "OAK AVE"}));
}

TEST(StreetFile, AQuoteLeftOpenIsRefusedNamingItsLine)
{
    const struct {
        const char* name;
        QByteArray bytes;
        QString message;
    } cases[] = {
        {"never closed", "Elm St\r\n\"Pine St,1\r\nOak Ave\r\nBirch Ln\r\n",
         "the quote that opens on line 2 is never closed"},
        {"never closed in a later column", "Elm St,\"by the school\r\nOak Ave\r\n",
         "the quote that opens on line 1 is never closed"},
        {"closed lines later", "Elm St\r\nOak Ave\r\n\"Pine St\r\nBirch Ln\r\n\"Cedar Ct\",4\r\n",
         "the name in quotes on line 3 runs on to the next line: its closing quote is missing"},
    };
    for (const auto& c : cases) {
        try {
            const StreetFileNames read = streetNamesFromCsv(c.bytes);
            ADD_FAILURE() << c.name << ": read as " << read.names.join('|').toStdString();
        } catch (const StreetFileError& error) {
            EXPECT_EQ(error.message(), c.message) << c.name;
        }
    }
}

TEST(StreetFile, BytesThatAreNotTextAreRefused)
{
    QByteArray binary("PK\x03\x04\x14\x00\x06\x00", 8);
    EXPECT_THROW(streetNamesFromCsv(binary), StreetFileError);
    TempProgramDir dir(false);
    try {
        readStreetFile(dir.filePath("missing.csv"));
        ADD_FAILURE() << "a missing file was read";
    } catch (const StreetFileError& error) {
        EXPECT_EQ(error.message(), "there is no such file");
    }
}

class StreetData : public ::testing::Test {
protected:
    TestContext t;
    ProgressRecorder progress;
};

TEST_F(StreetData, ImportAddsOnlyNewNamesAndCountsThem)
{
    setStreets(*t.db, {{"ELM ST", true}, {"OAK AVE", false}, {"MAIN ST", false}});
    // Two new names and three that are there (one typed otherwise), as the
    // first columns of a five-line file.
    const QString csv = t.dir.filePath("streets.csv");
    writeFile(csv, "Birch Ln,1\r\nelm st,2\r\nOak Ave,3\r\nPine Rd,4\r\nMAIN ST,5\r\n");
    const StreetImportResult result = importStreetFile(t.db->path(), csv, progress);
    EXPECT_EQ(result.added, 2);
    EXPECT_EQ(result.namesRead, 5);
    EXPECT_EQ(storedStreets(*t.db), (Streets{{"BIRCH LN", false},
                                              {"ELM ST", true},
                                              {"MAIN ST", false},
                                              {"OAK AVE", false},
                                              {"PINE RD", false}}));

    // The same file again adds nothing; a name twice in a file is added once.
    EXPECT_EQ(importStreetFile(t.db->path(), csv, progress).added, 0);
    EXPECT_EQ(addStreetNames(*t.db, {"CEDAR CT", "CEDAR CT"}, progress), 1);
}

TEST_F(StreetData, AFailedOrStoppedImportAddsNothing)
{
    setStreets(*t.db, {{"ELM ST", false}});
    QStringList names;
    for (int i = 0; i < 5000; ++i)
        names << QStringLiteral("STREET %1").arg(i);
    refuseWrites(*t.db, "refuse", Write::Insert, "_Streets_Master", "refused", "NEW.StreetName = 'STREET 4000'");
    EXPECT_THROW(addStreetNames(*t.db, names, progress), DbError);
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));
    allowWrites(*t.db, "refuse", "_Streets_Master");

    ProgressRecorder stopping;
    stopping.cancelAt(QStringLiteral("Adding"), 2000);
    EXPECT_THROW(addStreetNames(*t.db, names, stopping), StreetImportCancelled);
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));
    ASSERT_FALSE(stopping.stages().empty());
    EXPECT_TRUE(stopping.stages().back().cancellable);
}

TEST_F(StreetData, ThePdaListIsRebuiltFromTheTicks)
{
    setStreets(*t.db, {{"ELM ST", true}, {"O'HARA RD", true}, {"OAK AVE", false}});
    t.db->exec(QStringLiteral("INSERT INTO Streets_PDA (StreetName) VALUES ('OLD ST')"));
    EXPECT_EQ(rebuildPdaStreets(*t.db), 2);
    EXPECT_EQ(pdaStreets(*t.db), QStringList({"ELM ST", "O'HARA RD"}));
    EXPECT_TRUE(setSendToPda(*t.db, "O'HARA RD", false));
    EXPECT_FALSE(setSendToPda(*t.db, "NO SUCH ST", true));
    deleteStreet(*t.db, "O'HARA RD");
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST", "OAK AVE"}));
}

// ---------------------------------------------------------------- the windows

class StreetListTest : public ::testing::Test {
protected:
    ~StreetListTest() override
    {
        window.reset();
        settle();
    }
    frmStreetList* open()
    {
        window = std::make_unique<frmStreetList>(t.context());
        window->show();
        QApplication::setActiveWindow(window.get());
        settle();
        return window.get();
    }
    QListWidget* list() const { return window->List1(); }
    QStringList listed() const
    {
        QStringList names;
        for (int i = 0; i < list()->count(); ++i)
            names << list()->item(i)->text();
        return names;
    }
    void click(const QString& name) { QTest::mouseClick(child(window.get(), name), Qt::LeftButton); }
    void highlight(const QString& name)
    {
        const QList<QListWidgetItem*> found = list()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, list()->visualItemRect(found.first()).center());
    }
    // Clicks the check box of an entry, as a user does.
    void tick(const QString& name)
    {
        const QList<QListWidgetItem*> found = list()->findItems(name, Qt::MatchExactly);
        ASSERT_EQ(found.size(), 1) << name.toStdString();
        const QRect rect = list()->visualItemRect(found.first());
        QTest::mouseClick(list()->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 10, rect.center().y()));
    }

    TestContext t;
    std::unique_ptr<frmStreetList> window;
};

TEST_F(StreetListTest, ShowsTheStreetsWithTheirTicksAndWritesATickAtOnce)
{
    setStreets(*t.db, {{"OAK AVE", false}, {"ELM ST", true}, {"MAIN ST", false}});
    open();
    EXPECT_EQ(window->windowTitle(), "Street Listing");
    EXPECT_EQ(listed(), QStringList({"ELM ST", "MAIN ST", "OAK AVE"}));
    EXPECT_EQ(list()->item(0)->checkState(), Qt::Checked);
    EXPECT_EQ(list()->item(1)->checkState(), Qt::Unchecked);
    EXPECT_EQ(child<QLabel>(window.get(), "Label2")->text(),
              "Make sure you click the \"Create File for PDA\" button if you are going to transfer your selections "
              "to the Pocket  PC device.");
    const std::pair<const char*, const char*> buttons[] = {{"cmdAdd", "&Add"},
                                                           {"Command1", "&Delete Selected"},
                                                           {"cmdDeleteAl", "&Delete All"},
                                                           {"cmdPDA", "&Create File for PDAs"},
                                                           {"cmdImport", "Import a Street List from an Excel File"},
                                                           {"cmdExit", "E&xit"}};
    for (const auto& [name, text] : buttons)
        EXPECT_EQ(child<QPushButton>(window.get(), name)->text(), text);
    EXPECT_FALSE(list()->accessibleName().isEmpty());

    tick("MAIN ST");
    EXPECT_EQ(storedStreets(*t.db), (Streets{{"ELM ST", true}, {"MAIN ST", true}, {"OAK AVE", false}}));
    highlight("ELM ST");
    QTest::keyClick(list(), Qt::Key_Space);
    EXPECT_EQ(storedStreets(*t.db), (Streets{{"ELM ST", false}, {"MAIN ST", true}, {"OAK AVE", false}}));
    EXPECT_TRUE(pdaStreets(*t.db).isEmpty()) << "the handheld's list changes only on Create File for PDAs";

    // A street gone from the table since the list was filled.
    t.db->exec(QStringLiteral("DELETE FROM _Streets_Master WHERE StreetName = 'OAK AVE'"));
    t.prompter.answer(MsgAnswer::Ok);
    tick("OAK AVE");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text, "Unexpected Error");
    EXPECT_EQ(t.prompter.last().message.caption, "OAK AVE");
    EXPECT_EQ(listed(), QStringList({"ELM ST", "MAIN ST"}));
}

TEST_F(StreetListTest, CreateFileForPdasCopiesTheTickedStreetsAndAsksWhenNoneIs)
{
    setStreets(*t.db, {{"ELM ST", false}, {"OAK AVE", false}});
    t.db->exec(QStringLiteral("INSERT INTO Streets_PDA (StreetName) VALUES ('OLD ST')"));
    open();
    t.prompter.answer(MsgAnswer::No);
    click("cmdPDA");
    const MessageRequest& q = t.prompter.last().message;
    EXPECT_EQ(q.text, "You have not selected ANY Street Names to send to the PDA!  Are you SURE you want to do this?");
    EXPECT_EQ(q.caption, "No Streets Selected");
    EXPECT_EQ(q.buttons, MsgButtons::YesNo);
    EXPECT_EQ(q.icon, MsgIcon::Exclamation);
    EXPECT_EQ(q.defaultButton, MsgAnswer::No);
    EXPECT_EQ(pdaStreets(*t.db), QStringList({"OLD ST"})) << "No changes nothing";

    t.prompter.answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    click("cmdPDA");
    EXPECT_TRUE(pdaStreets(*t.db).isEmpty());

    tick("OAK AVE");
    t.prompter.clear();
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdPDA");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text,
              "PDA Street List created.  This will be transferred to the PDA when you create your KOLVA storage card.");
    EXPECT_EQ(t.prompter.last().message.caption, "Completed");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    EXPECT_EQ(pdaStreets(*t.db), QStringList({"OAK AVE"}));
}

TEST_F(StreetListTest, AddStoresTheCleanedNameAndRefusesADuplicate)
{
    setStreets(*t.db, {{"ELM ST", false}});
    open();
    t.prompter.answerInput(QStringLiteral("o'neil, ave")).answer(MsgAnswer::Ok);
    click("cmdAdd");
    const InputRequest& asked = t.prompter.prompts().front().input;
    EXPECT_EQ(asked.prompt, "Enter the Street Name to Add (Don't use COMMAS or APOSTROPHES!)");
    EXPECT_EQ(asked.title, "Add Street Name");
    EXPECT_EQ(t.prompter.last().message.text, "ONEIL AVE ADDED");
    EXPECT_EQ(t.prompter.last().message.caption, "New Street");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    EXPECT_EQ(storedStreets(*t.db), (Streets{{"ELM ST", false}, {"ONEIL AVE", false}}));
    EXPECT_EQ(listed(), QStringList({"ELM ST", "ONEIL AVE"}));
    EXPECT_EQ(list()->currentItem()->text(), "ONEIL AVE");

    t.prompter.clear();
    t.prompter.answerInput(QStringLiteral("Oneil Ave")).answer(MsgAnswer::Ok);
    click("cmdAdd");
    EXPECT_EQ(t.prompter.last().message.text, "That street name is already in the list");
    EXPECT_EQ(t.prompter.last().message.caption, "Add Street Name");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);

    t.prompter.answerInput(QStringLiteral("a street name of thirty-five chars!")).answer(MsgAnswer::Ok);
    click("cmdAdd");
    EXPECT_TRUE(streetNames(*t.db).contains("A STREET NAME OF THIRTY-FIVE C"));

    t.prompter.answerInput(std::nullopt);
    click("cmdAdd");
    t.prompter.answerInput(QStringLiteral("   "));
    click("cmdAdd");
    EXPECT_EQ(streetNames(*t.db).size(), 3) << "Cancel and a blank name add nothing";
}

TEST_F(StreetListTest, DeleteSelectedAsksAndKeepsTheLastStreet)
{
    setStreets(*t.db, {{"ELM ST", false}, {"O'HARA RD", true}});
    open();
    EXPECT_FALSE(child(window.get(), "Command1")->isEnabled()) << "nothing highlighted yet";
    highlight("O'HARA RD");
    t.prompter.answer(MsgAnswer::Cancel);
    click("Command1");
    const MessageRequest& q = t.prompter.last().message;
    EXPECT_EQ(q.text, "Please confirm deletion of O'HARA RD");
    EXPECT_EQ(q.caption, "Confirm Delete");
    EXPECT_EQ(q.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(q.icon, MsgIcon::None);
    EXPECT_EQ(streetNames(*t.db).size(), 2);

    t.prompter.answer(MsgAnswer::Ok);
    click("Command1");
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));
    EXPECT_EQ(listed(), QStringList({"ELM ST"}));

    highlight("ELM ST");
    t.prompter.clear();
    t.prompter.answer(MsgAnswer::Ok);
    click("Command1");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text,
              "There must be at least ONE street on file.  If you cannot EDIT this street name and still want to "
              "delete this one, first add another.");
    EXPECT_EQ(t.prompter.last().message.caption, "Cannot Delete");
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));
}

TEST_F(StreetListTest, DeleteAllKeepsTheFirstStreetInNameOrder)
{
    setStreets(*t.db, {{"MAIN ST", false}, {"BIRCH LN", true}, {"ELM ST", true}});
    open();
    t.prompter.answer(MsgAnswer::Cancel);
    click("cmdDeleteAl");
    const MessageRequest& q = t.prompter.last().message;
    EXPECT_EQ(q.text, "Please confirm that you want to delete ALL streets!\nPlease note that there must be at least "
                      "ONE street on file, so the deletion process will leave ONE street in the list.");
    EXPECT_EQ(q.caption, "Confirm Delete");
    EXPECT_EQ(q.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(q.icon, MsgIcon::Exclamation);
    EXPECT_EQ(q.defaultButton, MsgAnswer::Cancel) << "Enter alone deletes nothing";
    EXPECT_EQ(streetNames(*t.db).size(), 3);
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdDeleteAl");
    EXPECT_EQ(storedStreets(*t.db), (Streets{{"BIRCH LN", true}}));
    EXPECT_EQ(listed(), QStringList({"BIRCH LN"}));
}

// The import window, opened from the street list as a user opens it.
class ImportStreetsTest : public StreetListTest {
protected:
    ~ImportStreetsTest() override
    {
        if (importWindow)
            importWindow->close();
        settle();
    }
    frmImportStreets* openImport()
    {
        open();
        click("cmdImport");
        settle();
        importWindow = qobject_cast<frmImportStreets*>(window->importWindow());
        return importWindow;
    }
    // Chooses the file in the dialog and waits for the import's message.
    void importFile(const QString& path)
    {
        QSignalSpy finished(importWindow, &frmImportStreets::importFinished);
        t.prompter.answerFile(path).answer(MsgAnswer::Ok);
        QTest::mouseClick(importWindow->cmdDoIt(), Qt::LeftButton);
        ASSERT_TRUE(finished.count() > 0 || finished.wait(20000));
        settle();
    }
    QPointer<frmImportStreets> importWindow;
};

TEST_F(ImportStreetsTest, ImportsAFileAndGivesTheStreetListBack)
{
    setStreets(*t.db, {{"ELM ST", true}});
    ASSERT_NE(openImport(), nullptr);
    EXPECT_FALSE(window->isVisible()) << "the street list hides while the import is open";
    EXPECT_EQ(importWindow->windowTitle(), "Import Streets from an Excel CSV File");
    EXPECT_TRUE(child<QLabel>(importWindow, "Label1(0)")->text().startsWith("This will allow you to import"));
    EXPECT_TRUE(child<QLabel>(importWindow, "Label1(1)")->text().endsWith("non-standardization are deleted."));
    EXPECT_TRUE(child<QLabel>(importWindow, "Label2")->text().startsWith("Please review your Excel file"));
    EXPECT_EQ(importWindow->cmdDoIt()->text(), "Find CSV file and Import the Data");

    const QString csv = t.dir.filePath("streets.csv");
    writeFile(csv, "Street Name,Ward\r\nBirch Ln,1\r\nElm St,2\r\n\"Main St, North\",3\r\n");
    importFile(csv);
    const PromptRecord& dialog = t.prompter.prompts().front();
    EXPECT_EQ(dialog.kind, PromptRecord::Kind::OpenFile);
    EXPECT_TRUE(dialog.file.filter.contains("*.CSV"));
    EXPECT_EQ(t.prompter.last().message.text, "2 street names imported");
    EXPECT_EQ(t.prompter.last().message.caption, "Done");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    EXPECT_EQ(streetNames(*t.db), QStringList({"BIRCH LN", "ELM ST", "MAIN ST NORTH"}));

    QTest::mouseClick(child(importWindow, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(listed(), QStringList({"BIRCH LN", "ELM ST", "MAIN ST NORTH"}));
}

TEST_F(ImportStreetsTest, ImportsASheetSavedAsUnicodeTextOrWithSemicolons)
{
    setStreets(*t.db, {{"ELM ST", true}});
    ASSERT_NE(openImport(), nullptr);
    const QString unicode = t.dir.filePath("streets.txt");
    writeFile(unicode, utf16(QString::fromUtf8("Street Name\tWard\r\nRue Caf\u00e9\t1\r\nElm St\t2\r\n")));
    importFile(unicode);
    EXPECT_EQ(t.prompter.last().message.text, "1 street names imported");
    EXPECT_TRUE(t.prompter.prompts().front().file.filter.contains("*.txt"));
    const QString semicolons = t.dir.filePath("streets.csv");
    writeFile(semicolons, "Street;Ward\r\nPINE ST;1\r\nOak Ave;2,5\r\n");
    importFile(semicolons);
    EXPECT_EQ(t.prompter.last().message.text, "2 street names imported");
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST", "OAK AVE", "PINE ST", QString::fromUtf8("RUE CAF\u00c9")}));
}

TEST_F(ImportStreetsTest, AFileThatCannotBeReadIsNamedAndNothingChanges)
{
    setStreets(*t.db, {{"ELM ST", false}});
    ASSERT_NE(openImport(), nullptr);

    t.prompter.answerFile(QString()).answer(MsgAnswer::Ok);
    QTest::mouseClick(importWindow->cmdDoIt(), Qt::LeftButton);
    EXPECT_EQ(t.prompter.last().message.text, "Operation Cancelled.  No streets were imported");
    EXPECT_EQ(t.prompter.last().message.caption, "Cancelled");

    const QString missing = t.dir.filePath("missing.csv");
    importFile(missing);
    EXPECT_TRUE(t.prompter.last().message.text.startsWith("Operation Cancelled.  No streets were imported\n\n"));
    EXPECT_TRUE(t.prompter.last().message.text.contains(missing));

    // A quote left open: refused, naming the line, and nothing is added.
    const QString open = t.dir.filePath("open.csv");
    writeFile(open, "Birch Ln\r\n\"Pine St;1\r\nOak Ave;2\r\n");
    importFile(open);
    EXPECT_TRUE(t.prompter.last().message.text.contains(
        open + " could not be read: the quote that opens on line 2 is never closed."));
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));

    const QString binary = t.dir.filePath("photo.csv");
    writeFile(binary, QByteArray("\x89PNG\r\n\x1a\n\0\0\0\rIHDR", 16));
    importFile(binary);
    EXPECT_TRUE(t.prompter.last().message.text.contains(binary + " could not be read: it is not a text file"));

    // A failure while saving leaves the list as it was.
    const QString csv = t.dir.filePath("streets.csv");
    writeFile(csv, "Birch Ln\r\nBad St\r\n");
    refuseWrites(*t.db, "refuse", Write::Insert, "_Streets_Master", "refused", "NEW.StreetName = 'BAD ST'");
    importFile(csv);
    EXPECT_TRUE(t.prompter.last().message.text.contains("could not be saved in the database: refused"));
    EXPECT_EQ(streetNames(*t.db), QStringList({"ELM ST"}));
    EXPECT_TRUE(importWindow->cmdDoIt()->isEnabled());
}

} // namespace
