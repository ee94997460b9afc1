// The species import from an outside species database, on the genuine
// Access files of tests/data.

#include "lists/frmImportKelmarSpecies.h"
#include "lists/speciesimport.h"
#include "store/accessfile.h"
#include "tests/support/dbrules.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

QStringList storedSpecies(Database& db)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT Description FROM Species ORDER BY ID"));
    while (q.next())
        names << q.value(0).toString();
    return names;
}

TEST(SpeciesData, ClimateZonesAreTheTablesWhoseNamesBeginWithANumber)
{
    const struct {
        const char* table;
        bool zone;
    } cases[] = {{"01 Northeast", true}, {"12 Southwest", true}, {"5", true},         {" 5 Zone", true},
                 {"-1 Zone", true},      {"9X Odd", false},      {"Notes", false},    {"Reference City Region List", false},
                 {"", false},            {"X1", false}};
    for (const auto& c : cases)
        EXPECT_EQ(isClimateZoneName(c.table), c.zone) << c.table;

    const std::unique_ptr<AccessFile> file = openSpeciesDatabase(testDataPath("species_zones.mdb"));
    EXPECT_EQ(climateZones(*file), QStringList({"01 Northeast", "02 Southeast", "12 Southwest", "05 Empty Zone"}));
}

TEST(SpeciesData, DescriptionsAreCodeDashNameInCapitalsOfAtMost35Characters)
{
    const struct {
        QString code;
        QString name;
        QString description;
    } cases[] = {
        {"ACRU", "Red Maple", "ACRU-RED MAPLE"},
        {"MASO", "Magnolia x soulangiana 'Alexandrina'", "MASO-MAGNOLIA X SOULANGIANA ALEXAND"},
        {"LAIN", "Crapemyrtle Natchez Hybrid Long Name Cultivar", "LAIN-CRAPEMYRTLE NATCHEZ HYBRID LON"},
        {"A'B", "Elm", "A'B-ELM"}, // the code is kept as it is
        {" QURU ", " Red Oak ", "QURU-RED OAK"},
        {"ABCDEFGHIJ", "Name long enough to bee cut here", "ABCDEFGHIJ-NAME LONG ENOUGH TO BEE"}, // no blank at the cut
    };
    for (const auto& c : cases) {
        EXPECT_EQ(speciesDescription(c.code, c.name), c.description) << c.name.toStdString();
        EXPECT_LE(speciesDescription(c.code, c.name).size(), SpeciesDescriptionMaxLength);
    }
}

TEST(SpeciesData, ReplacingTheListIsAllOrNothing)
{
    TestContext t;
    const QStringList before = storedSpecies(*t.db);
    ASSERT_FALSE(before.isEmpty());
    ProgressRecorder progress;
    QStringList many;
    for (int i = 0; i < 2000; ++i)
        many << QStringLiteral("SP%1-SPECIES").arg(i);
    refuseWrites(*t.db, "refuse", Write::Insert, "Species", "refused", "NEW.Description = 'SP1500-SPECIES'");
    EXPECT_THROW(replaceSpecies(*t.db, many, progress), DbError);
    EXPECT_EQ(storedSpecies(*t.db), before);
    allowWrites(*t.db, "refuse", "Species");
    replaceSpecies(*t.db, many, progress);
    EXPECT_EQ(storedSpecies(*t.db), many);
}

class SpeciesImportTest : public ::testing::Test {
protected:
    ~SpeciesImportTest() override
    {
        if (window)
            delete window.data();
        settle();
    }
    // Puts a file beside the program under the outside tool's name.
    void installSpeciesFile(const QString& fixture, const QString& name = "Kelmar_Species_Database.MDB")
    {
        ASSERT_TRUE(QFile::copy(testDataPath(fixture), t.dir.filePath(name)));
    }
    frmImportKelmarSpecies* open()
    {
        window = new frmImportKelmarSpecies(t.context());
        window->setAttribute(Qt::WA_DeleteOnClose);
        window->show();
        settle();
        return window;
    }
    QStringList zones() const
    {
        QStringList names;
        for (int i = 0; i < window->cmbClimateZone()->count(); ++i)
            names << window->cmbClimateZone()->itemText(i);
        return names;
    }
    void choose(const QString& zone)
    {
        const int at = window->cmbClimateZone()->findText(zone);
        ASSERT_GE(at, 0) << zone.toStdString();
        window->cmbClimateZone()->setCurrentIndex(at);
    }
    void setPath(const QString& path)
    {
        window->txtPath()->selectAll();
        QTest::keyClicks(window->txtPath(), path);
    }
    void click(const QString& name) { QTest::mouseClick(child(window.data(), name), Qt::LeftButton); }
    // Presses Import with the answers given, and waits for the import to end
    // when it starts.
    void import()
    {
        QSignalSpy finished(window.data(), &frmImportKelmarSpecies::importFinished);
        click("cmdImport");
        if (window && window->importing()) {
            ASSERT_TRUE(finished.wait(20000));
        }
        settle();
    }

    TestContext t;
    QPointer<frmImportKelmarSpecies> window;
};

TEST_F(SpeciesImportTest, ListsTheZonesOfTheFileBesideTheProgramAndImportsOne)
{
    installSpeciesFile("species_zones.mdb");
    open();
    EXPECT_EQ(window->windowTitle(), "Import Tree Species By Climate Zone");
    EXPECT_EQ(window->txtPath()->text(), t.dir.filePath("Kelmar_Species_Database.MDB"));
    EXPECT_EQ(zones(), QStringList({"01 Northeast", "02 Southeast", "12 Southwest", "05 Empty Zone"}));
    EXPECT_EQ(window->cmbClimateZone()->currentIndex(), -1) << "no zone chosen yet";
    EXPECT_TRUE(window->cmbClimateZone()->placeholderText().isEmpty()) << "nothing to explain";
    EXPECT_EQ(child<QGroupBox>(window.data(), "Frame1")->title(),
              "Step 1:  Locate Kelmar_Species_List.MDB (Enter Path or Browse for the file)");
    EXPECT_EQ(child<QGroupBox>(window.data(), "Frame2")->title(),
              "Step2 : Select from the available climate zones in this file");
    EXPECT_EQ(child<QGroupBox>(window.data(), "Frame3")->title(), "Step 3 - Indicate Preference");
    EXPECT_EQ(window->optSpecies[0]->text(), "Import COMMON Name");
    EXPECT_EQ(window->optSpecies[1]->text(), "Import SCIENTIFIC  Name");
    EXPECT_TRUE(window->optSpecies[0]->isChecked());
    EXPECT_EQ(child<QPushButton>(window.data(), "cmdRefresh")->text(), "Refresh Climate Zone List");
    EXPECT_FALSE(child(window.data(), "cmdBrowse")->accessibleName().isEmpty());
    EXPECT_TRUE(t.prompter.prompts().empty());

    const QStringList before = storedSpecies(*t.db);
    t.prompter.answer(MsgAnswer::Ok);
    import();
    EXPECT_EQ(t.prompter.last().message.text, "Please select a climate zone");
    EXPECT_EQ(t.prompter.last().message.caption, "No Climate Zone Selected");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_EQ(QApplication::focusWidget(), window->cmbClimateZone());

    choose("02 Southeast");
    t.prompter.answer(MsgAnswer::Cancel).answer(MsgAnswer::Ok);
    import();
    EXPECT_EQ(t.prompter.last().message.text, "Import Cancelled");
    EXPECT_EQ(t.prompter.last().message.caption, "KOLVA");
    EXPECT_EQ(storedSpecies(*t.db), before) << "cancelling the confirmation changes nothing";

    QTest::mouseClick(window->optSpecies[1], Qt::LeftButton, {}, QPoint(6, window->optSpecies[1]->height() / 2));
    t.prompter.clear();
    t.prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    import();
    ASSERT_EQ(t.prompter.prompts().size(), 2u);
    const MessageRequest& confirm = t.prompter.prompts()[0].message;
    EXPECT_EQ(confirm.text, "There are 3 tree species in the selected file.\n\nThis will REPLACE any Species lists "
                            "currently in your KOLVA file!\nDo you want to continue?");
    EXPECT_EQ(confirm.caption, "Confirm Import");
    EXPECT_EQ(confirm.buttons, MsgButtons::OkCancel);
    EXPECT_EQ(confirm.icon, MsgIcon::Question);
    EXPECT_EQ(t.prompter.last().message.text, "Import Completed!");
    EXPECT_EQ(t.prompter.last().message.caption, "Done");
    EXPECT_EQ(storedSpecies(*t.db), QStringList({"MASO-MAGNOLIA X SOULANGIANA ALEXAND", "ILVO-ILEX VOMITORIA",
                                                  "LAIN-LAGERSTROEMIA INDICA X FAURIEI"}));

    QTest::mouseClick(window->optSpecies[0], Qt::LeftButton, {}, QPoint(6, window->optSpecies[0]->height() / 2));
    t.prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    import();
    EXPECT_EQ(storedSpecies(*t.db), QStringList({"MASO-SAUCER MAGNOLIA", "ILVO-YAUPON HOLLY NANA",
                                                  "LAIN-CRAPEMYRTLE NATCHEZ HYBRID LON"}));

    choose("05 Empty Zone");
    t.prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    import();
    EXPECT_TRUE(storedSpecies(*t.db).isEmpty()) << "a zone without rows empties the list";
    EXPECT_TRUE(child(window.data(), "cmdImport")->isEnabled());
}

TEST_F(SpeciesImportTest, AFileWithoutTheReferenceTableIsRefusedButSilentlyAtLoad)
{
    installSpeciesFile("no_reference.mdb");
    open();
    EXPECT_TRUE(zones().isEmpty());
    EXPECT_TRUE(t.prompter.prompts().empty());
    EXPECT_FALSE(window->cmbClimateZone()->placeholderText().isEmpty()) << "the empty list says why";
    const QStringList before = storedSpecies(*t.db);
    for (const char* button : {"cmdRefresh", "cmdImport"}) {
        t.prompter.clear();
        t.prompter.answer(MsgAnswer::Ok);
        if (QString(button) == "cmdImport")
            import();
        else
            click(button);
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << button;
        EXPECT_EQ(t.prompter.last().message.text,
                  "The MDB file you have selected does not appear to contain the species data.");
        EXPECT_EQ(t.prompter.last().message.caption, "Upload Cancelled");
        EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    }
    EXPECT_EQ(storedSpecies(*t.db), before);
}

TEST_F(SpeciesImportTest, BrowseChangesOnlyThePathUntilRefreshAndCancellingClosesTheWindow)
{
    open();
    EXPECT_TRUE(zones().isEmpty()) << "no file beside the program";
    EXPECT_TRUE(t.prompter.prompts().empty());
    t.prompter.answerFile(testDataPath("species_zones.mdb"));
    click("cmdBrowse");
    const FileDialogRequest& asked = t.prompter.last().file;
    EXPECT_EQ(asked.title, "Find Kelmar_Species_Database.MDB");
    EXPECT_TRUE(asked.filter.startsWith("MDB Files (*.MDB"));
    EXPECT_EQ(asked.proposedName, t.dir.filePath("Kelmar_Species_Database.MDB"));
    EXPECT_EQ(window->txtPath()->text(), testDataPath("species_zones.mdb"));
    EXPECT_TRUE(zones().isEmpty());
    click("cmdRefresh");
    EXPECT_EQ(zones().size(), 4);

    t.prompter.answerFile(QString()).answer(MsgAnswer::Ok);
    click("cmdBrowse");
    EXPECT_EQ(t.prompter.last().message.text, "Species import cancelled");
    EXPECT_EQ(t.prompter.last().message.caption, "Cancelled");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
    settle();
    EXPECT_TRUE(window.isNull()) << "the window closed";
}

TEST_F(SpeciesImportTest, FilesThatCannotBeReadAreNamedAndNothingChanges)
{
    QByteArray mdb;
    {
        QFile fixture(testDataPath("species_zones.mdb"));
        ASSERT_TRUE(fixture.open(QIODevice::ReadOnly));
        mdb = fixture.readAll();
    }
    const struct {
        const char* name;
        QByteArray bytes;
    } files[] = {
        {"empty.mdb", QByteArray()},
        {"text.mdb", "SpeciesCode,CommonName\r\nACRU,Red Maple\r\n"},
        {"truncated.mdb", mdb.left(8192)},
        {"cut.mdb", mdb.left(mdb.size() / 2)},
    };
    open();
    const QStringList before = storedSpecies(*t.db);
    for (const auto& f : files) {
        const QString path = t.dir.filePath(f.name);
        {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(f.bytes);
        }
        setPath(path);
        t.prompter.clear();
        t.prompter.answer(MsgAnswer::Ok);
        click("cmdRefresh");
        if (!zones().isEmpty()) {
            // The catalogue could be read; the zone table cannot be.
            t.prompter.clear();
            choose(zones().first());
            t.prompter.answer(MsgAnswer::Ok);
            import();
        }
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << f.name;
        const MessageRequest& m = t.prompter.last().message;
        EXPECT_TRUE(m.text.contains(path)) << f.name << ": " << m.text.toStdString();
        EXPECT_EQ(m.caption, "Database File Error") << f.name;
        EXPECT_EQ(storedSpecies(*t.db), before) << f.name;
    }

    setPath(t.dir.filePath("missing.mdb"));
    t.prompter.clear();
    t.prompter.answer(MsgAnswer::Ok);
    import();
    EXPECT_EQ(t.prompter.last().message.text, "Cannot open the file you selected\n\n" + t.dir.filePath("missing.mdb"));
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Critical);
}

// The zone "01 Northeast" of species_zones.mdb: its data page (30) holds
// ACRU, Red Maple first, at the page's end; its table definition (page 28)
// describes SpeciesCode at byte 114751.
constexpr qsizetype northeastPage = 30 * 4096;
constexpr qsizetype speciesCodeColumn = 114751;

TEST_F(SpeciesImportTest, ADamagedFileIsRefusedAndTheListStaysAsItWas)
{
    const struct {
        const char* name;
        std::function<void(QByteArray&)> damage;
        const char* says;
    } cases[] = {
        // The first text value's start moved onto the second's: an empty code.
        {"code_cut_away", [](QByteArray& b) { b[northeastPage + 4091] = 8; },
         "row 1 of the table 01 Northeast (Red Maple) has no species code"},
        // The null mask says no code while the row holds one.
        {"code_marked_empty", [](QByteArray& b) { b[northeastPage + 4095] = 0x06; },
         "row 1 marks the value of SpeciesCode as empty but holds one"},
        // The column's kind changed to one KOLVA cannot read (OLE object).
        {"code_column_of_unknown_kind", [](QByteArray& b) { b[speciesCodeColumn] = 0x0b; },
         "the column SpeciesCode of the table 01 Northeast does not hold text"},
        // The text offsets run backwards.
        {"text_table_backwards", [](QByteArray& b) { b[northeastPage + 4089] = 1; }, "is damaged"},
    };
    QByteArray fixture;
    {
        QFile in(testDataPath("species_zones.mdb"));
        ASSERT_TRUE(in.open(QIODevice::ReadOnly));
        fixture = in.readAll();
    }
    open();
    const QStringList before = storedSpecies(*t.db);
    for (const auto& c : cases) {
        QByteArray bytes = fixture;
        c.damage(bytes);
        const QString path = t.dir.filePath(QStringLiteral("%1.mdb").arg(c.name));
        {
            QFile out(path);
            ASSERT_TRUE(out.open(QIODevice::WriteOnly));
            out.write(bytes);
        }
        setPath(path);
        click("cmdRefresh");
        choose("01 Northeast");
        t.prompter.clear();
        t.prompter.answer(MsgAnswer::Ok);
        import();
        ASSERT_EQ(t.prompter.prompts().size(), 1u) << c.name << ": no confirmation, no \"Import Completed!\"";
        const MessageRequest& m = t.prompter.last().message;
        EXPECT_EQ(m.caption, "Database File Error") << c.name;
        EXPECT_TRUE(m.text.contains(c.says)) << c.name << ": " << m.text.toStdString();
        EXPECT_TRUE(m.text.contains("The species list has not been changed.")) << c.name;
        EXPECT_EQ(storedSpecies(*t.db), before) << c.name;
    }
}

TEST_F(SpeciesImportTest, AFailureWhileWritingKeepsTheOldList)
{
    installSpeciesFile("species_zones.mdb", "kelmar_species_database.mdb");
    open();
    ASSERT_EQ(zones().size(), 4) << "the file is found in any case of letters";
    const QStringList before = storedSpecies(*t.db);
    refuseWrites(*t.db, "refuse", Write::Insert, "Species", "the disk is full", "NEW.Description LIKE 'QURU%'");
    choose("01 Northeast");
    t.prompter.answer(MsgAnswer::Ok).answer(MsgAnswer::Ok);
    import();
    const MessageRequest& m = t.prompter.last().message;
    EXPECT_TRUE(m.text.startsWith("Err #")) << m.text.toStdString();
    EXPECT_TRUE(m.text.endsWith(" - the disk is full\n\nThe species list has not been changed."))
        << m.text.toStdString();
    EXPECT_EQ(m.caption, "Database File Error");
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_EQ(storedSpecies(*t.db), before);
}

} // namespace
