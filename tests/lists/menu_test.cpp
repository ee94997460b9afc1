// The list windows open from the Main window's menu: the editors and the
// street list in the Main window's place, the species import over it.

#include "tests/app/apptest.h"

#include <QPushButton>
#include <QTest>

using namespace kolva;
using namespace kolva::test;

namespace {

class ListsMenuTest : public AppTest {};

TEST_F(ListsMenuTest, EachItemOpensItsWindowOnce)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    const struct {
        const char* item;
        const char* window;
        const char* caption;
        bool modal;
    } items[] = {
        {"mnuSurveyor", "frmSurveyors", "Surveyor List", false},
        {"mnuSpecies", "frmSpecies", "Species List", false},
        {"mnuRiskZone", "frmRiskZone", "Add/Edit/Delete Risk Zones", false},
        {"mnuStreet", "frmStreetList", "Street Listing", false},
        {"mnuImportSpecies", "frmImportKelmarSpecies", "Import Tree Species By Climate Zone", true},
    };
    for (const auto& i : items) {
        QAction* item = main->menuItem(i.item);
        ASSERT_NE(item, nullptr) << i.item;
        EXPECT_TRUE(item->isEnabled()) << i.item;
        item->trigger();
        settle();
        QWidget* window = openWindow(i.window);
        ASSERT_NE(window, nullptr) << i.window;
        EXPECT_EQ(window->windowTitle(), i.caption);
        EXPECT_EQ(window->isModal(), i.modal) << i.window;
        EXPECT_EQ(main->isVisible(), i.modal) << "the Main window hides for " << i.window;
        item->trigger();
        settle();
        int shown = 0;
        for (QWidget* w : QApplication::topLevelWidgets())
            shown += w->objectName() == i.window && w->isVisible();
        EXPECT_EQ(shown, 1) << i.window;
        QTest::mouseClick(child(window, "cmdExit"), Qt::LeftButton);
        settle();
        EXPECT_EQ(openWindow(i.window), nullptr) << i.window;
        EXPECT_TRUE(main->isVisible()) << "back after " << i.window;
    }
    EXPECT_TRUE(prompter.prompts().empty());
}

} // namespace
