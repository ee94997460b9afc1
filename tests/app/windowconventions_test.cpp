// Every window of the menu behaves as a dialog box: Escape closes it, Enter
// presses its default button, a screen reader hears a dialog, and it fits a
// 1920x1080 screen at twice the size.

#include "tests/app/apptest.h"

#include <QAccessible>
#include <QApplication>
#include <QLineEdit>
#include <QPointer>
#include <QTest>
#include <QToolButton>

using namespace kolva;
using namespace kolva::test;

namespace {

class WindowConventions : public AppTest {
protected:
    // Opens the window of a menu item and gives it.
    QWidget* open(const QString& item)
    {
        main = start();
        EXPECT_TRUE(main);
        if (!main)
            return nullptr;
        main->menuItem(item)->trigger();
        settle();
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (window != main && window->isVisible() && window->testAttribute(Qt::WA_DeleteOnClose))
                return window;
        }
        return nullptr;
    }
    frmMain* main = nullptr;
};

// The windows the menu opens (the catalogue of the Main window).
const char* const menuWindows[] = {
    "mnuAbout",        "mnuEditTree",        "mnuRating",   "mnuReinspectionReport", "mnuTreesNeedingCA",
    "mnuSpecificActionReport", "mnuCreateStorageCard", "mnuCostSetup", "mnuCostReport", "mnuExcelExport",
    "mnuSurveyor",     "mnuSpecies",         "mnuRiskZone", "mnuStreet",            "mnuImportSpecies",
};

TEST_F(WindowConventions, EveryWindowIsADialogAndEscapeClosesIt)
{
    for (const char* item : menuWindows) {
        SCOPED_TRACE(item);
        QPointer<QWidget> window = open(item);
        ASSERT_TRUE(window);
        QAccessibleInterface* said = QAccessible::queryAccessibleInterface(window);
        ASSERT_TRUE(said);
        EXPECT_EQ(said->role(), QAccessible::Dialog) << window->objectName().toStdString();
        EXPECT_EQ(said->text(QAccessible::Name), window->windowTitle());

        // Every button says what it does, the calendar's icon too.
        // (A box's own button counts also on a page not shown yet.)
        for (QToolButton* button : window->findChildren<QToolButton*>()) {
            if (button->isVisible() || qobject_cast<QLineEdit*>(button->parentWidget())) {
                EXPECT_FALSE(QAccessible::queryAccessibleInterface(button)->text(QAccessible::Name).isEmpty())
                    << button->parentWidget()->objectName().toStdString() << "/" << button->objectName().toStdString();
            }
        }
        // Escape as a user presses it, on the control with the focus.
        window->activateWindow();
        QWidget* focus = window->focusWidget() ? window->focusWidget() : window.data();
        QTest::keyClick(focus, Qt::Key_Escape);
        QTRY_VERIFY_WITH_TIMEOUT(!window, 5000);
        EXPECT_TRUE(main->isVisible()) << "the Main window is back";
        EXPECT_TRUE(prompter.prompts().empty()) << "nothing to ask about an unchanged window";
        session.reset();
        settle();
    }
}

TEST_F(WindowConventions, EnterPressesTheDefaultButtonFromATextBox)
{
    QPointer<QWidget> window = open("mnuReinspectionReport");
    ASSERT_TRUE(window);
    auto* from = window->findChild<QLineEdit*>("txtFrom");
    auto* to = window->findChild<QLineEdit*>("txtTo");
    ASSERT_TRUE(from && to);
    from->setText("9");
    to->setText("2");
    from->setFocus();
    prompter.answer(MsgAnswer::Ok);
    QTest::keyClick(from, Qt::Key_Return);
    QTRY_COMPARE_WITH_TIMEOUT(prompter.prompts().size(), size_t(1), 5000);
    EXPECT_TRUE(prompter.prompts()[0].message.text.contains("There is a problem with the Risk Rating range"))
        << prompter.prompts()[0].message.text.toStdString();
    EXPECT_TRUE(window) << "the options stay open to be corrected";
    // Enter on the keypad too.
    prompter.answer(MsgAnswer::Ok);
    QTest::keyClick(to, Qt::Key_Enter, Qt::KeypadModifier);
    QTRY_COMPARE_WITH_TIMEOUT(prompter.prompts().size(), size_t(2), 5000);
}

} // namespace
