// The report options windows open from the Main window's menu.

#include "tests/app/apptest.h"

#include <QPushButton>
#include <QTest>

using namespace kolva;
using namespace kolva::test;

namespace {

class ReportMenuTest : public AppTest {};

TEST_F(ReportMenuTest, EachReportItemHidesTheMainWindowUntilItsOptionsClose)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const struct {
        const char* item;
        const char* window;
        const char* caption;
    } cases[] = {
        {"mnuReinspectionReport", "frmReinspectionReportOptions", "Reinspection Report Options"},
        {"mnuTreesNeedingCA", "frmTreesNeedingCA_Options", "Trees Needing Corrective Actions"},
        {"mnuSpecificActionReport", "frmSpecificCA_Options", "Trees Needing a Specific Corrective Action"},
    };
    for (const auto& c : cases) {
        QAction* item = main->menuItem(c.item);
        ASSERT_TRUE(item->isEnabled()) << c.item;
        item->trigger();
        QWidget* options = openWindow(c.window);
        ASSERT_NE(options, nullptr) << c.window;
        EXPECT_EQ(options->windowTitle(), c.caption);
        EXPECT_FALSE(main->isVisible()) << c.item;
        item->trigger();
        EXPECT_EQ(openWindow(c.window), options) << "the same window again";
        QTest::mouseClick(child<QPushButton>(options, "cmdExit"), Qt::LeftButton);
        settle();
        EXPECT_EQ(openWindow(c.window), nullptr);
        EXPECT_TRUE(main->isVisible()) << c.item;
    }
}

} // namespace
