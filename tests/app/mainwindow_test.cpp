#include "tests/app/apptest.h"
#include "platform/drivelist.h"
#include "platform/twips.h"
#include "reports/frmReinspectionReportOptions.h"
#include "store/database.h"
#include "tests/support/heldlock.h"

#include <QCheckBox>
#include <QGroupBox>
#include <QGuiApplication>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>
#include <QTest>
#include <QTimer>

using namespace kolva;
using namespace kolva::test;

namespace {

class MainWindowTest : public AppTest {};

TEST_F(MainWindowTest, ShowsEveryControlWithItsText)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->windowTitle(), server ? "KOLVA - " + session->context().db.path() : QString("KOLVA"));
    EXPECT_EQ(child<QGroupBox>(main, "frameSD")->title(), "Storage Card Data Transfer");
    const struct {
        const char* name;
        const char* text;
    } labels[] = {{"Label4", "Select Storage Card"}, {"Label1", "KOLVA"}, {"Label3", "BETA Release 20080102"}};
    for (const auto& l : labels)
        EXPECT_EQ(child<QLabel>(main, l.name)->text(), l.text);
    EXPECT_FALSE(child<QLabel>(main, "Label2")->text().isEmpty());
    const struct {
        const char* name;
        const char* text;
    } buttons[] = {{"cmdRefresh", "Refresh  List"},
                   {"cmdImportSD", "Import Field Data from Storage Card"},
                   {"Command2", "E&xit"}};
    for (const auto& b : buttons)
        EXPECT_EQ(child<QPushButton>(main, b.name)->text(), b.text);
    auto* save = child<QCheckBox>(main, "chkSavePDAFiles");
    EXPECT_EQ(save->text(), "Save Individual Tree Files from PDA to this computer after data Transfer");
    EXPECT_TRUE(save->isChecked());
    EXPECT_NE(child<DriveList>(main, "Drive1"), nullptr);
    EXPECT_NE(child<QListWidget>(main, "File1"), nullptr);
    for (const char* name : {"Image1", "Image2", "Shape1"})
        EXPECT_NE(child(main, name), nullptr) << name;
}

TEST_F(MainWindowTest, EveryInputHasAnAccessibleName)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    for (QWidget* w : main->findChildren<QWidget*>()) {
        if (qobject_cast<QComboBox*>(w) || qobject_cast<QListWidget*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty()) << w->objectName().toStdString();
        }
    }
    EXPECT_EQ(child(main, "Drive1")->accessibleName(), "Select Storage Card");
}

TEST_F(MainWindowTest, MenuHasEveryItemInOrderWithItsCaption)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const struct {
        const char* menu;
        const char* caption;
        std::vector<std::pair<const char*, const char*>> items;
    } expected[] = {
        {"mnuFile",
         "&File",
         {{"mnuSurveyor", "&Surveyor List"},
          {"mnuImportSpecies", "&Import Species by Climate Zone"},
          {"mnuSpecies", "Edit S&pecies List"},
          {"mnuRiskZone", "&Risk Zone Descriptions"},
          {"mnuRating", "&Customize Risk Rating"},
          {"mnuStreet", "S&treet List"},
          {"mnuExcelExport", "&Export Data to Excel CSV file"},
          {"mnuCreateStorageCard", "Cre&ate/Update an KOLVA Storage Card"},
          {"mnuExit", "E&xit"}}},
        {"mnuEdit", "&Edit", {{"mnuEditTree", "E&dit a tree record"}}},
        {"mnuArbovia", "Arbovia", {{"mnuArbovia_Import", "Import Arbovia &Street or Species List"}}},
        {"mnuCosting", "&Costing and Estimating", {{"mnuCostSetup", "&Setup Costs by DBH and Corrective Action"}}},
        {"mnuReports",
         "&Reports",
         {{"mnuCostReport", "&Risk Reduction Cost Summary"},
          {"mnuReinspectionReport", "&Reinspection  Report"},
          {"mnuTreesNeedingCA", "&Trees Needing Corrective Action"},
          {"mnuSpecificActionReport", "Trees &Needing  A Specific Corrective Action"},
          {"mnuGisExport", "Export for &GIS..."},
          {"mnuCA_RefSheet", "&Print Corrective Action Code Reference Sheet (PDF)"},
          {"mnuGraphicReport", ""},
          {"mnuAbout", "&About"}}},
    };
    const QList<QAction*> top = main->menuBar()->actions();
    ASSERT_EQ(top.size(), int(std::size(expected)));
    for (size_t m = 0; m < std::size(expected); ++m) {
        EXPECT_EQ(top[m]->objectName(), expected[m].menu);
        EXPECT_EQ(top[m]->text(), expected[m].caption);
        QStringList names, captions;
        for (QAction* item : top[m]->menu()->actions()) {
            if (item->isSeparator())
                continue;
            names << item->objectName();
            captions << item->text();
        }
        ASSERT_EQ(names.size(), int(expected[m].items.size())) << expected[m].menu;
        for (size_t i = 0; i < expected[m].items.size(); ++i) {
            EXPECT_EQ(names[i], expected[m].items[i].first);
            if (*expected[m].items[i].second) {
                EXPECT_EQ(captions[i], expected[m].items[i].second);
            }
        }
    }
    const QString graphic = main->menuItem("mnuGraphicReport")->text();
    EXPECT_TRUE(graphic.startsWith("&Creating Graphic Reports (") && graphic.endsWith(")")) << graphic.toStdString();
    EXPECT_FALSE(main->menuItem("mnuArbovia")->isEnabled()) << "switched off";
}

TEST_F(MainWindowTest, OnlyItemsWithAWindowOrActionAreEnabled)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const QStringList enabled = {"mnuExit",          "mnuCA_RefSheet",        "mnuGraphicReport",
                                 "mnuAbout",         "mnuReinspectionReport", "mnuTreesNeedingCA",
                                 "mnuSpecificActionReport", "mnuEditTree", "mnuRating", "mnuCreateStorageCard",
                                 "mnuSurveyor",      "mnuImportSpecies",      "mnuSpecies",
                                 "mnuRiskZone",      "mnuStreet",             "mnuCostSetup",
                                 "mnuCostReport",    "mnuExcelExport",        "mnuGisExport"};
    const QStringList disabled = {"mnuArbovia_Import"};
    for (const QString& name : enabled)
        EXPECT_TRUE(main->menuItem(name)->isEnabled()) << name.toStdString();
    for (const QString& name : disabled)
        EXPECT_FALSE(main->menuItem(name)->isEnabled()) << name.toStdString();
}

TEST_F(MainWindowTest, IsCentredAnd5880TwipsHigh)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    EXPECT_EQ(main->height(), twipsToPixels(5880));
    EXPECT_EQ(main->height(), 392);
    const QRect screen = main->screen()->availableGeometry();
    EXPECT_NEAR(main->frameGeometry().center().x(), screen.center().x(), 2);
    EXPECT_NEAR(main->frameGeometry().center().y(), screen.center().y(), 2);
}

TEST_F(MainWindowTest, RefreshListsACardInsertedAfterStartAndPickingADriveDoesNothing)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    auto* drive = child<DriveList>(main, "Drive1");
    const int before = drive->count();
    drives.list.append({"/media/crew/LATE", "LATE", false});
    EXPECT_EQ(drive->count(), before);
    drive->setCurrentIndex(0);
    QTest::mouseClick(child(main, "cmdRefresh"), Qt::LeftButton);
    EXPECT_EQ(drive->count(), before + 1);
    drive->setCurrentIndex(1);
    settle();
    EXPECT_TRUE(prompter.prompts().empty()) << "choosing a drive reads nothing";
}

TEST_F(MainWindowTest, ExitButtonEndsTheProgram)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    QTimer::singleShot(0, [main] { QTest::mouseClick(child(main, "Command2"), Qt::LeftButton); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_FALSE(main->isVisible());
}

TEST_F(MainWindowTest, ExitMenuClosesEveryWindowAndEndsTheProgram)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    main->menuItem("mnuAbout")->trigger();
    QWidget* about = openWindow("frmAbout");
    ASSERT_NE(about, nullptr);
    QTimer::singleShot(0, [main] { main->menuItem("mnuExit")->trigger(); });
    EXPECT_EQ(QCoreApplication::exec(), 0);
    EXPECT_EQ(openWindow("frmAbout"), nullptr);
    EXPECT_FALSE(main->isVisible());
}

TEST_F(MainWindowTest, AltXIsTheExitAccessKey)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    main->activateWindow();
    QApplication::setActiveWindow(main);
    QTimer::singleShot(0, [main] { QTest::keyClick(main, Qt::Key_X, Qt::AltModifier); });
    // The key did nothing: the loop ends with 7. The timer goes with the
    // test, so that it never ends a later test's loop in the same process.
    QTimer keyDidNothing;
    keyDidNothing.setSingleShot(true);
    QObject::connect(&keyDidNothing, &QTimer::timeout, [] { QCoreApplication::exit(7); });
    keyDidNothing.start(2000);
    EXPECT_EQ(QCoreApplication::exec(), 0);
}

// A window reads what it shows as it opens: while another program holds the
// database locked, the window is not opened, the reason is said and the
// Main window stays; once the lock is gone the same item opens it.
TEST_F(MainWindowTest, AWindowWhoseReadFailsSaysWhyAndOpensOnTheNextTry)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const auto other = Database::open(databasePath(), 0);
    holdDatabase(*other, Held::ReadsAndWrites);
    prompter.answer(MsgAnswer::Ok);
    main->menuItem("mnuReinspectionReport")->trigger();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_TRUE(prompter.last().message.text.startsWith(
        "\"Reinspection  Report\" could not be opened: the database is in use by another program"))
        << prompter.last().message.text.toStdString();
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(main->findChild<frmReinspectionReportOptions*>(), nullptr);

    other->exec("ROLLBACK");
    main->menuItem("mnuReinspectionReport")->trigger();
    EXPECT_EQ(prompter.prompts().size(), 1u) << "no further message";
    EXPECT_TRUE(QTest::qWaitFor([] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (qobject_cast<frmReinspectionReportOptions*>(w) && w->isVisible())
                return true;
        return false;
    }));
}

} // namespace
