// The Tree editor window: its controls and their texts, its size and
// scrolling, the keyboard and the wheel, and opening it from the Main window.

#include "platform/twips.h"
#include "tests/app/apptest.h"
#include "tests/trees/edittreetest.h"
#include "tests/trees/treetestdata.h"
#include "trees/recordnavigator.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

TEST_F(EditTreeTest, ShowsItsControlsWithTheirTexts)
{
    addTree(*t.db);
    open();
    EXPECT_EQ(window->windowTitle(), "Edit/Delete Trees");
    auto* tabs = c<QTabWidget>("SSTab1");
    EXPECT_EQ(tabs->tabText(0), "Tree List");
    EXPECT_EQ(tabs->tabText(1), "Details");
    EXPECT_EQ(tabs->currentIndex(), 0);
    const QStringList pages = {"Crown/Branches", "Trunk", "Roots", "Risk Rating/Zone", "Corrective Actions"};
    for (int i = 0; i < pages.size(); ++i)
        EXPECT_EQ(c<QTabWidget>("SSTab2")->tabText(i), pages[i]);
    const std::pair<const char*, const char*> buttons[] = {
        {"cmdRefresh", "&Refresh"},    {"cmdEdit", "&View/Edit"},         {"cmdDelete", "&Delete"},
        {"cmdExit", "E&xit"},          {"cmdSave", "&Save"},              {"cmdCancel", "&Cancel"},
        {"cmdPrevious", "<<<< Previous Tree "}, {"cmdNext", "Next Tree >>>>"}};
    for (const auto& [name, text] : buttons)
        EXPECT_EQ(c<QPushButton>(name)->text(), text);
    EXPECT_EQ(c<QGroupBox>("frameSortBy")->title(), "Sort/Filter by");
    // The captions with their access keys.
    const QStringList options = {"&Tree ID + Survey Date",  "S&pecies + Survey Date",      "Survey Date +Tree &ID",
                                 "Survey D&ate + Species",  "Risk Ratin&g (DESC)+Tree ID", "S&urveyor +Date +Tree ID"};
    for (int i = 0; i < 6; ++i) {
        auto* option = c<QRadioButton>(QString("optSortBy(%1)").arg(i));
        EXPECT_EQ(option->text(), options[i]);
        EXPECT_EQ(option->isChecked(), i == 0);
    }
    EXPECT_EQ(c<QLabel>("Label2")->text(), "Entries on File ");
    EXPECT_EQ(count(), "1");
    auto* navigator = c<RecordNavigator>("Data1");
    EXPECT_EQ(navigator->caption(), "Select a Tree");
    EXPECT_EQ(navigator->toolTip(), "Go to First, Previous, Next or Last Entry");
    const QStringList captions = {"1. Move Target",    "2. Limit Access",    "3. Remove Tree",  "4. Treat SGR",
                                  "5. Prune Deadwood", "6. Prune Weakwood",  "7. Prune Clear",  "8. Thin Crown",
                                  "9. Reduce Height",  "10. Cable/Brace",    "11. Cvrt/Wildlife"};
    for (int i = 0; i < 11; ++i)
        EXPECT_EQ(c<QCheckBox>(QString("chkCorrect(%1)").arg(i))->text(), captions[i]);
    EXPECT_EQ(c<QLabel>("lblDiam")->text(), "\" at diam");

    EXPECT_EQ(c<QLabel>("lblFilterByStreet")->text(), "&Filter by Street");
    EXPECT_EQ(c<QLabel>("lblSearch")->text(), "Searc&h");

    // The grid fits its page, and the longest supplied names show whole.
    auto* grid = c<QTableView>("DBGrid1");
    EXPECT_EQ(grid->model()->headerData(8, Qt::Horizontal).toString(), "Street Nsame");
    int total = 0;
    for (int column = 0; column < 10; ++column)
        total += grid->columnWidth(column);
    EXPECT_LE(total, grid->viewport()->width());
    EXPECT_GT(grid->columnWidth(1), grid->fontMetrics().horizontalAdvance("05/12/2009")) << "a date is never cut";
    EXPECT_GT(grid->columnWidth(2), grid->fontMetrics().horizontalAdvance("TICO-LITTLELEAF LINDEN"));
    EXPECT_GT(grid->columnWidth(8), grid->fontMetrics().horizontalAdvance("WASHINGTON AVE"));
    EXPECT_EQ(grid->accessibleName(), "Tree List");
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (qobject_cast<QLineEdit*>(w) &&
            (qobject_cast<QComboBox*>(w->parentWidget()) || qobject_cast<QAbstractSpinBox*>(w->parentWidget())))
            continue; // the box inside a list or the calendar's year
        if (qobject_cast<QLineEdit*>(w) || qobject_cast<QComboBox*>(w) || qobject_cast<QPlainTextEdit*>(w) ||
            qobject_cast<QDateEdit*>(w)) {
            EXPECT_FALSE(w->accessibleName().isEmpty())
                << w->objectName().toStdString() << " in " << w->parentWidget()->objectName().toStdString();
        }
    }
    EXPECT_EQ(box("txtTreeID")->accessibleName(), "Tree ID");
    EXPECT_EQ(list("cboRisk1")->accessibleName(), "Size of Defective Part");
    // A screen reader reads the values, not only the captions.
    EXPECT_EQ(c<QLabel>("lblRiskRating")->accessibleName(), "Risk Rating: 5");
    EXPECT_EQ(c<QLabel>("lblNumTrees")->accessibleName(), "Entries on File: 1");
}

TEST_F(EditTreeTest, TheDetailsPageShowsTheLongestSuppliedValuesWholeWithoutScrolling)
{
    addTree(*t.db, {{"Species", "TICO-LITTLELEAF LINDEN"}, {"StreetName", "WASHINGTON AVE"}, {"StreetNum", "1410A"},
                    {"Obstructions_Physical", "3. Road/Sidewalk Clear"}, {"Obstructions_Visual", "2. Non-critical sign"},
                    {"WeakUnion", "3. Epicormic/Incl Bark"}, {"Crown_Arch_2", "1. Abnormal Branch Growth"},
                    {"Trunk_Arch_2", "2. Lean with Tension Buckling"}, {"Roots_Arch2", "2. Restricted Root System"},
                    {"Size_Defect", "3. Greater than 20 in "}, {"Site", "12 FT TREE LAWN"},
                    {"Latitude", 40.712776}, {"Longitude", -122.419416}});
    open();
    click("cmdEdit");
    auto* tabs = c<QTabWidget>("SSTab2");
    for (int page = 0; page < tabs->count(); ++page) {
        tabs->setCurrentIndex(page);
        settle();
        auto* scroll = c<QScrollArea>("pageDetailsScroll");
        EXPECT_EQ(scroll->verticalScrollBar()->maximum(), 0) << "page " << page;
        for (QWidget* w : scroll->widget()->findChildren<QWidget*>()) {
            if (!w->isVisible())
                continue;
            QString text;
            if (auto* list = qobject_cast<QComboBox*>(w))
                text = list->currentText();
            else if (auto* box = qobject_cast<QLineEdit*>(w); box && !qobject_cast<QComboBox*>(w->parentWidget()))
                text = box->text();
            if (text.isEmpty())
                continue;
            // A list's arrow and a box's frame take about twenty pixels.
            const int room = qobject_cast<QComboBox*>(w) ? w->width() - 20 : w->width() - 4;
            EXPECT_GE(room, w->fontMetrics().horizontalAdvance(text)) << w->objectName().toStdString();
        }
    }
}

TEST_F(EditTreeTest, ItsListsHoldTheirEntriesInOrder)
{
    addTree(*t.db, {{"StreetName", "O'NEIL ST"}});
    open();
    auto entries = [this](const char* name) {
        QStringList items;
        for (int i = 0; i < list(name)->count(); ++i)
            items << list(name)->itemText(i);
        return items;
    };
    EXPECT_EQ(entries("cboStreetFilter"),
              (QStringList{"-- ALL STREETS -- ", "ELM ST", "MAIN ST", "O'NEIL ST", "OAK AVE", "PARK DR"}));
    EXPECT_EQ(entries("cboStreetName"), entries("cboStreetFilter").mid(1));
    EXPECT_EQ(list("cboStreetFilter")->currentIndex(), 0);
    EXPECT_EQ(entries("cboLocation"), (QStringList{"Front", "Side", "Rear", "Median", "Park", "Other"}));
    EXPECT_EQ(entries("cboUtility"), (QStringList{"Primary", "Secondary", "Service Drop", "Non-Electric"}));
    EXPECT_EQ(entries("cboCrownUnion"), (QStringList{"", "0. None", "1. Included Bark", "2. Epicormic Branches",
                                                     "3. Epicormic/Incl Bark", "4. None"}));
    EXPECT_EQ(entries("cboRootsArch1"),
              (QStringList{"", "0. No SGR's", "1. Stem Encircling Root", "2. Stem Girdling Root"}));
    EXPECT_EQ(entries("cboTrunkcanker"), entries("cboCrownCanker")) << "the trunk offers the crown's entries";
    EXPECT_EQ(entries("cboRisk2"), (QStringList{"1. Low ", "2. Medium ", "3. High ", "4. Extremely High "}));
    EXPECT_EQ(c<QLabel>("lblRiskTitle_2")->text(), "Probability of Failure ");
    EXPECT_FALSE(list("cboSpecies")->isEditable()) << "entries only";
    EXPECT_FALSE(list("cboStreetName")->isEditable());
    EXPECT_TRUE(list("cboSurveyor")->isEditable()) << "typing allowed";
    EXPECT_TRUE(list("cboRiskZone")->isEditable());
}

TEST_F(EditTreeTest, ScrollsWhenSmallerThanDesignedAndLaysOutByTheHeight)
{
    addTree(*t.db);
    open();
    // The controls have at least the designed size; wider only where the font needs it.
    auto* content = c("windowContent");
    auto* scroll = c<QScrollArea>("windowScroll");
    const int width = content->minimumWidth();
    EXPECT_GE(width, twipsToPixels(10605));
    EXPECT_LE(width, twipsToPixels(10605) * 5 / 4);
    EXPECT_EQ(content->minimumHeight(), twipsToPixels(8700));
    // A small screen or a user makes the window smaller: it scrolls.
    window->resize(500, 300);
    settle();
    EXPECT_EQ(window->size(), QSize(500, 300));
    EXPECT_GE(content->width(), width);
    EXPECT_GE(content->height(), twipsToPixels(8700));
    EXPECT_TRUE(scroll->horizontalScrollBar()->isVisible() && scroll->verticalScrollBar()->isVisible());
    // Its own size lays the controls out when the window is larger.
    window->resize(width, twipsToPixels(12000));
    settle();
    EXPECT_FALSE(scroll->horizontalScrollBar()->isVisible() || scroll->verticalScrollBar()->isVisible());
    const auto px = [](int twips) { return twipsToPixels(twips); };
    const int widthTwips = pixelsToTwips(content->width());
    EXPECT_EQ(c("SSTab1")->height(), px(12000 - 2595));
    EXPECT_EQ(c("SSTab1")->width(), px(widthTwips - 350));
    EXPECT_EQ(c("frameSortBy")->y(), px(12000 - 2595 + 300));
    EXPECT_EQ(c("frameButtons")->y(), px(12000 - 2595 + 250));
    EXPECT_EQ(c("cmdSave")->y(), px(12000 - 2595 + 700));
    EXPECT_EQ(c("DBGrid1")->width(), px(widthTwips - 350 - 300));
    EXPECT_EQ(c("DBGrid1")->height(), px(12000 - 2595 - 2000 - 390)) << "the search stands above the grid";
    EXPECT_EQ(c("frameSearch")->y() + c("frameSearch")->height() + px(30), c("DBGrid1")->y());
    EXPECT_EQ(c("frameGridBottom")->y(), c("DBGrid1")->y() + c("DBGrid1")->height() + px(30));
}

// Counts the wheel events that reach a widget.
class WheelCounter : public QObject {
public:
    int count = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Wheel)
            ++count;
        return false;
    }
};

TEST_F(EditTreeTest, TheWheelOverAListOrDateWithoutTheFocusScrollsThePageAndChangesNothing)
{
    const qint64 id = addTree(*t.db, {{"Species", "ACRU-RED MAPLE"}, {"Obstructions_Visual", "2. Non-critical sign"},
                                      {"Date_Evaluated", QVariant()}});
    addTree(*t.db);
    open();
    click("cmdEdit");
    settle();
    WheelCounter page;
    auto* scroll = c<QScrollArea>("pageDetailsScroll");
    scroll->viewport()->installEventFilter(&page);
    box("txtTreeID")->setFocus();
    for (const char* name : {"cboSpecies", "cboVisual", "cboSurveyor", "DTPicker1"}) {
        const int before = page.count;
        turnWheel(c(name));
        turnWheel(c(name), 1);
        EXPECT_EQ(page.count, before + 2) << name << ": the page has the wheel";
    }
    // On a page taller than the window the wheel scrolls it.
    c("pageDetails")->setMinimumHeight(scroll->viewport()->height() * 2);
    settle();
    ASSERT_GT(scroll->verticalScrollBar()->maximum(), 0);
    turnWheel(list("cboSpecies"));
    EXPECT_GT(scroll->verticalScrollBar()->value(), 0);
    c("pageDetails")->setMinimumHeight(0);
    EXPECT_EQ(list("cboSpecies")->currentText(), "ACRU-RED MAPLE");
    EXPECT_EQ(list("cboVisual")->currentText(), "2. Non-critical sign");
    EXPECT_EQ(box("DTPicker1")->text(), "");
    EXPECT_FALSE(window->hasPendingChanges());

    // With the focus, the wheel is the user's choice.
    list("cboVisual")->setFocus();
    turnWheel(list("cboVisual"));
    EXPECT_EQ(list("cboVisual")->currentText(), "3. Intersection");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Obstructions_Visual").toString(), "3. Intersection");
    EXPECT_TRUE(stored(*t.db, id, "Date_Evaluated").isNull());
}

TEST_F(EditTreeTest, TabLeavesTheGridAndEnterOrADoubleClickOpensTheRecord)
{
    for (int i = 1; i <= 3; ++i)
        addTree(*t.db, {{"Tree_ID", i}});
    open();
    auto* grid = c<QTableView>("DBGrid1");
    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Tab);
    EXPECT_NE(QApplication::focusWidget(), grid);
    EXPECT_EQ(window->currentRow(), 0);

    grid->setFocus();
    QTest::keyClick(grid, Qt::Key_Down);
    QTest::keyClick(grid, Qt::Key_Return);
    EXPECT_EQ(c<QTabWidget>("SSTab1")->currentIndex(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "2");

    c<QTabWidget>("SSTab1")->setCurrentIndex(0);
    const QModelIndex third = grid->model()->index(2, 2);
    const QPoint at = grid->visualRect(third).center();
    QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(grid->viewport(), Qt::LeftButton, {}, at);
    EXPECT_EQ(c<QTabWidget>("SSTab1")->currentIndex(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "3");
}

// Presses Alt and key. The button the key belongs to shows itself pressed
// for a moment before it acts, so each check waits for the act.
void pressAccessKey(QWidget* window, Qt::Key key)
{
    QTest::keyClick(window, key, Qt::AltModifier);
}

TEST_F(EditTreeTest, AccessKeysOfTheCaptionsWork)
{
    addTree(*t.db);
    addTree(*t.db);
    open();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    const auto tabs = c<QTabWidget>("SSTab1");
    pressAccessKey(window.get(), Qt::Key_V);
    EXPECT_TRUE(QTest::qWaitFor([&] { return tabs->currentIndex() == 1; })) << "&View/Edit";
    setText("txtSite", "BY KEYBOARD");
    pressAccessKey(window.get(), Qt::Key_S);
    const qint64 id = window->currentRecordId();
    EXPECT_TRUE(QTest::qWaitFor([&] { return stored(*t.db, id, "Site").toString() == "BY KEYBOARD"; })) << "&Save";
    t.prompter.answer(MsgAnswer::No);
    const size_t before = t.prompter.prompts().size();
    pressAccessKey(window.get(), Qt::Key_D);
    ASSERT_TRUE(QTest::qWaitFor([&] { return t.prompter.prompts().size() > before; })) << "&Delete";
    EXPECT_EQ(t.prompter.last().message.caption, "Confirm Delete");
    pressAccessKey(window.get(), Qt::Key_X);
    EXPECT_TRUE(QTest::qWaitFor([&] { return !window->isVisible(); })) << "E&xit";
}

// Opened from the Main window.
class EditTreeMenuTest : public AppTest {};

TEST_F(EditTreeMenuTest, OpensModallyWithTheMainWindowInvisibleUntilItCloses)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    addTree(session->context().db);
    main->menuItem("mnuEditTree")->trigger();
    settle();
    auto* editor = openWindow<frmEditTree>("frmEditTree");
    ASSERT_NE(editor, nullptr);
    EXPECT_TRUE(editor->isModal());
    EXPECT_FALSE(main->isVisible());
    EXPECT_FALSE(editor->IsLoading());
    EXPECT_EQ(child<QLabel>(editor, "lblNumTrees")->text(), "1");
    QTest::mouseClick(child(editor, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmEditTree"), nullptr);
    EXPECT_TRUE(main->isVisible());
}

TEST_F(EditTreeMenuTest, ExitInTheMainWindowStopsWhenTheEditorCannotLeaveItsRecord)
{
    frmMain* main = start();
    ASSERT_NE(main, nullptr);
    addTree(session->context().db);
    main->menuItem("mnuEditTree")->trigger();
    settle();
    auto* editor = openWindow<frmEditTree>("frmEditTree");
    ASSERT_NE(editor, nullptr);
    child<QLineEdit>(editor, "txtDBH")->setText("99999");
    QSignalSpy exit(main, &frmMain::exitRequested);
    prompter.answer(MsgAnswer::Ok);
    EXPECT_FALSE(main->close());
    EXPECT_EQ(prompter.last().message.caption, "Record Not Saved");
    EXPECT_EQ(exit.count(), 0);
    EXPECT_TRUE(editor->isVisible()) << "the pending record is not thrown away";

    QTest::mouseClick(child(editor, "cmdCancel"), Qt::LeftButton);
    EXPECT_TRUE(main->close());
    EXPECT_EQ(exit.count(), 1);
}

} // namespace
