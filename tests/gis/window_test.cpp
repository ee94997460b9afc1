// The GIS export window, driven as a user would.

#include "costing/periodblock.h"
#include "gis/frmGisExport.h"
#include "gis/gisexport.h"
#include "tests/gis/gisreadback.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"

#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <memory>

using namespace kolva;
using namespace kolva::test;

namespace {

void showActive(QWidget* window)
{
    window->show();
    window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(window));
}

class GisWindowTest : public ::testing::Test {
protected:
    TestContext t;
    std::unique_ptr<frmGisExport> window;

    void SetUp() override
    {
        t.clock.current = QDateTime(QDate(2007, 6, 1), QTime(9, 30));
        addGisRecord(*t.db, {{"Tree_ID", 1}});
        addGisRecord(*t.db, {{"Tree_ID", 2}, {"Latitude", QVariant()}});
        addGisRecord(*t.db, {{"Tree_ID", 3}, {"Date_Evaluated", "2007-04-02 08:00:00"}});
        window = std::make_unique<frmGisExport>(t.context());
        showActive(window.get());
        window->periodBlock()->txtBegin()->setText("Mar 1 2007");
        window->periodBlock()->txtEnd()->setText("Mar 31 2007");
    }
    // Presses Alt+C, as a user starts the export, and waits for the prompts
    // it shows.
    void pressCreate(size_t prompts)
    {
        const size_t before = t.prompter.prompts().size();
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        EXPECT_TRUE(QTest::qWaitFor([&] { return t.prompter.prompts().size() >= before + prompts; }, 5000));
    }
    // Presses Alt+C, as a user starts the export, and waits for its end.
    bool runExport()
    {
        QSignalSpy finished(window.get(), &frmGisExport::exportFinished);
        QTest::keyClick(window.get(), Qt::Key_C, Qt::AltModifier);
        return finished.count() > 0 || finished.wait(60000);
    }
};

TEST_F(GisWindowTest, AsksWhereWritesTheFileAndSaysWhatWasLeftOut)
{
    EXPECT_EQ(window->windowTitle(), "Export for GIS");
    EXPECT_EQ(window->cmdDoIt()->text(), "&Create File");
    EXPECT_EQ(window->cmdExit()->text(), "E&xit");
    const QString path = t.dir.filePath("march.gpkg");
    t.prompter.answerFile(path).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    ASSERT_EQ(t.prompter.prompts().size(), 2u);
    const FileDialogRequest& dialog = t.prompter.prompts()[0].file;
    EXPECT_EQ(dialog.title, "Where do you want to place the GIS file?");
    EXPECT_TRUE(dialog.filter.startsWith("GeoPackage (*.gpkg);;")) << "the GeoPackage first, as the default";
    EXPECT_EQ(dialog.defaultSuffix, "gpkg");
    EXPECT_EQ(dialog.folder, t.dir.path());
    EXPECT_EQ(t.prompter.last().message.text,
              path + " created!\n\n1 tree written.\n1 record has no usable coordinates and was not written.\n"
                     "They are listed in " + gisLogPath(path) + ".");
    EXPECT_EQ(t.prompter.last().message.caption, "GIS File Created");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation) << "something was left out";
    EXPECT_TRUE(ogrSummary(path).contains("Feature Count: 1\n"));
    EXPECT_TRUE(window->cmdDoIt()->isEnabled());

    // All trees placed: an information message, and the old file replaced after Yes.
    window->periodBlock()->txtBegin()->setText("Apr 1 2007");
    window->periodBlock()->txtEnd()->setText("Apr 2 2007");
    t.prompter.clear();
    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.messageTexts(),
              QStringList({path + " already exists! Overwrite it?", path + " created!\n\n1 tree written."}));
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Information);
    EXPECT_EQ(ogrFeatures(path).at(0)["properties"]["Tree_ID"].toInt(), 3);
}

TEST_F(GisWindowTest, RefusesOtherNamesAndLeavesAnOldFileOnNo)
{
    // A name of another kind: said, and nothing written.
    t.prompter.answerFile(t.dir.filePath("trees.kml")).answer(MsgAnswer::Ok);
    pressCreate(2);
    EXPECT_EQ(t.prompter.last().message.text,
              "trees.kml: the name of a GIS file ends in .gpkg (GeoPackage), .geojson (GeoJSON) or .shp (Shapefile).");
    EXPECT_EQ(t.prompter.last().message.caption, "Error");
    EXPECT_FALSE(QFileInfo::exists(t.dir.filePath("trees.kml")));

    // A cancelled dialog, then No to the overwrite question.
    const QString path = t.dir.filePath("old.geojson");
    {
        QFile old(path);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old");
    }
    t.prompter.clear();
    t.prompter.answerFile("").answerFile(path).answer(MsgAnswer::No);
    pressCreate(1);
    pressCreate(2);
    EXPECT_EQ(t.prompter.prompts().size(), 3u);
    EXPECT_EQ(t.prompter.last().message.defaultButton, MsgAnswer::No);
    EXPECT_EQ(fileContents(path), "old");

    // Every tree of the period without a position: no file, the log says why.
    t.db->exec("UPDATE _Archived_SurveyData SET Longitude = 200");
    t.prompter.clear();
    t.prompter.answerFile(path).answer(MsgAnswer::Yes).answer(MsgAnswer::Ok);
    ASSERT_TRUE(runExport());
    EXPECT_EQ(t.prompter.last().message.text,
              "None of the trees of the period (2) has usable coordinates; no GIS file was written.\n\n"
              "2 records have no usable coordinates and were not written.\nThey are listed in "
                  + gisLogPath(path) + ".");
    EXPECT_EQ(t.prompter.last().message.caption, "No Data");
    EXPECT_EQ(fileContents(path), "old");
    EXPECT_TRUE(fileContents(gisLogPath(path)).contains("Tree ID 1, STREETNUM STREETNAME, 03/05/2007: longitude 200 "
                                                        "is outside -180 to 180"));
}

} // namespace
