// Every window of the menu behaves as a dialog box: Escape closes it, Enter
// presses its default button, a screen reader hears a dialog, and it fits a
// 1920x1080 screen at twice the size.

#include "tests/app/apptest.h"

#include <QAbstractItemView>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QPointer>
#include <QRegularExpression>
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

// The lists in a widget: item views and lists to drop down (not their popups
// nor a view's headers).
QList<QWidget*> listsIn(QWidget* widget)
{
    QList<QWidget*> lists;
    for (QAbstractItemView* view : widget->findChildren<QAbstractItemView*>()) {
        bool popup = view->window() != widget->window(); // a completer's or calendar's
        for (QWidget* up = view->parentWidget(); up && up != widget; up = up->parentWidget())
            popup = popup || qobject_cast<QComboBox*>(up) || qobject_cast<QAbstractItemView*>(up); // a header
        if (!popup)
            lists << view;
    }
    for (QComboBox* box : widget->findChildren<QComboBox*>()) {
        if (box->window() == widget->window())
            lists << box;
    }
    return lists;
}

// The caption a label gives its control, as a screen reader should say it.
QString captionOf(QWidget* control)
{
    for (QLabel* label : control->window()->findChildren<QLabel*>()) {
        if (label->buddy() == control)
            return label->text().remove(QLatin1Char('&')).trimmed().remove(QRegularExpression(QStringLiteral(":$")));
    }
    // The frame a list has to itself.
    if (auto* frame = qobject_cast<QGroupBox*>(control->parentWidget());
        frame && listsIn(frame).size() == 1)
        return frame->title().remove(QLatin1Char('&')).trimmed().remove(QRegularExpression(QStringLiteral(":$")));
    return {};
}

TEST_F(WindowConventions, EveryListSaysItsCaption)
{
    for (const char* item : menuWindows) {
        SCOPED_TRACE(item);
        QPointer<QWidget> window = open(item);
        ASSERT_TRUE(window);
        for (QWidget* list : listsIn(window)) {
            // A list to drop down is named by its property (its accessible
            // name on Linux is its value); a view by its accessible name.
            const QString name = qobject_cast<QComboBox*>(list)
                ? list->accessibleName()
                : QAccessible::queryAccessibleInterface(list)->text(QAccessible::Name);
            const std::string where = std::string(list->metaObject()->className()) + " " + list->objectName().toStdString() + " in " + list->parentWidget()->objectName().toStdString() + " named " + name.toStdString();
            EXPECT_FALSE(name.isEmpty()) << where;
            // Several lists under one caption are numbered.
            if (const QString caption = captionOf(list); !caption.isEmpty())
                EXPECT_TRUE(QRegularExpression(QStringLiteral("^%1( \\d)?$").arg(QRegularExpression::escape(caption)))
                                .match(name)
                                .hasMatch())
                    << where << " captioned " << caption.toStdString();
        }
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window, 5000);
        session.reset();
        settle();
    }
}

// Twice the size on a 1920x1080 screen leaves 960x540 to a window: each
// can be made that small, and then every control shows or can be scrolled to.
TEST_F(WindowConventions, EveryWindowFitsAFullHdScreenAtTwiceTheSize)
{
    const QSize screen(960, 540);
    for (const char* item : menuWindows) {
        SCOPED_TRACE(item);
        QPointer<QWidget> window = open(item);
        ASSERT_TRUE(window);
        const QSize frame = window->frameGeometry().size() - window->geometry().size();
        const QSize smallest = window->minimumSize().expandedTo(window->minimumSizeHint()) + frame;
        EXPECT_LE(smallest.width(), screen.width()) << window->objectName().toStdString();
        EXPECT_LE(smallest.height(), screen.height()) << window->objectName().toStdString();

        window->resize(window->size().boundedTo(screen - frame));
        settle();
        EXPECT_LE(window->width() + frame.width(), screen.width());
        EXPECT_LE(window->height() + frame.height(), screen.height());
        const QRect whole = window->rect();
        for (QWidget* control : window->findChildren<QWidget*>()) {
            if (!control->isVisibleTo(window) || control->isWindow())
                continue;
            // Inside a scroll area it is reachable where its scrolled widget holds it.
            QWidget* holder = window;
            for (QWidget* up = control->parentWidget(); up && up != window; up = up->parentWidget()) {
                if (auto* scroll = qobject_cast<QScrollArea*>(up); scroll && scroll->widget()
                    && (scroll->widget() == control || scroll->widget()->isAncestorOf(control))) {
                    holder = scroll->widget();
                    break;
                }
            }
            if (holder != window && holder == control)
                continue;
            const QRect place(control->mapTo(holder, QPoint(0, 0)), control->size());
            const QRect room = holder == window ? whole : holder->rect();
            EXPECT_TRUE(room.contains(place))
                << control->metaObject()->className() << " " << control->objectName().toStdString() << " at "
                << place.x() << "," << place.y() << " " << place.width() << "x" << place.height() << " outside "
                << room.width() << "x" << room.height();
        }
        window->close();
        QTRY_VERIFY_WITH_TIMEOUT(!window, 5000);
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
