// The Tree editor window: what it shows, when it builds its list, and that
// every way of leaving a record writes it back.

#include "platform/twips.h"
#include "tests/app/apptest.h"
#include "tests/support/testcontext.h"
#include "tests/support/widgets.h"
#include "tests/trees/treetestdata.h"
#include "trees/frmEditTree.h"
#include "trees/recordnavigator.h"

#include <QCheckBox>
#include <QWheelEvent>
#include <QTreeWidget>
#include <QScrollArea>
#include <QScrollBar>
#include <QCalendarWidget>
#include <QClipboard>
#include <QComboBox>
#include <QDateEdit>
#include <QGroupBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QTextCursor>
#include <QTimer>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

class EditTreeTest : public ::testing::Test {
protected:
    ~EditTreeTest() override
    {
        window.reset();
        settle();
    }
    // Makes the window and shows it; the first activation builds the list.
    frmEditTree* open()
    {
        window = std::make_unique<frmEditTree>(t.context());
        window->show();
        settle();
        EXPECT_FALSE(window->IsLoading());
        return window.get();
    }
    template <class T = QWidget>
    T* c(const QString& name)
    {
        return child<T>(window.get(), name);
    }
    QLineEdit* box(const QString& name) { return c<QLineEdit>(name); }
    QComboBox* list(const QString& name) { return c<QComboBox>(name); }
    void click(const QString& name) { QTest::mouseClick(c(name), Qt::LeftButton); }
    // Chooses an entry of a list the way a user does.
    void choose(const QString& name, const QString& entry)
    {
        QComboBox* l = list(name);
        const int at = l->findText(entry);
        ASSERT_GE(at, 0) << entry.toStdString();
        l->setCurrentIndex(at);
        emit l->activated(at);
    }
    void setText(const QString& name, const QString& text)
    {
        QLineEdit* b = box(name);
        b->selectAll();
        b->del();
        QTest::keyClicks(b, text);
    }
    void clickGridRow(int row)
    {
        auto* grid = c<QTableView>("DBGrid1");
        const QModelIndex index = grid->model()->index(row, 2);
        grid->scrollTo(index);
        QTest::mouseClick(grid->viewport(), Qt::LeftButton, {}, grid->visualRect(index).center());
    }
    QString gridCell(int row, int column)
    {
        auto* grid = c<QTableView>("DBGrid1");
        return grid->model()->index(row, column).data().toString();
    }
    QString count() { return c<QLabel>("lblNumTrees")->text(); }
    // Shows the page that holds a control and gives it the focus.
    void focusControlOf(QWidget* control)
    {
        auto* tabs = c<QTabWidget>("SSTab2");
        for (int i = 0; i < tabs->count(); ++i) {
            if (tabs->widget(i)->isAncestorOf(control))
                tabs->setCurrentIndex(i);
        }
        control->setFocus();
    }
    bool detailsEnabled() { return c<QTabWidget>("SSTab1")->isTabEnabled(1); }

    TestContext t;
    std::unique_ptr<frmEditTree> window;
};

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

TEST_F(EditTreeTest, NothingRefreshesTheListWhileLoadingAndTheFirstActivationBuildsItOnce)
{
    addTree(*t.db, {{"Tree_ID", 10}, {"Hazard_Rating", 1}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Hazard_Rating", 9}});
    addTree(*t.db, {{"Tree_ID", 9}, {"Hazard_Rating", 5}});
    window = std::make_unique<frmEditTree>(t.context());
    QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
    EXPECT_TRUE(window->IsLoading());
    EXPECT_EQ(gridCell(0, 0), "2") << "the list it opens with is in tree number order";
    EXPECT_EQ(gridCell(2, 0), "10");
    c<QRadioButton>("optSortBy(4)")->click();
    list("cboStreetFilter")->setCurrentIndex(1);
    list("cboStreetFilter")->setCurrentIndex(0);
    click("cmdRefresh");
    EXPECT_EQ(refreshed.count(), 0) << "the list is not rebuilt while loading";
    EXPECT_EQ(gridCell(0, 0), "2");

    window->show();
    settle();
    EXPECT_FALSE(window->IsLoading());
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(gridCell(0, 0), "2") << "rating 9 first: the option chosen while loading counts";
    EXPECT_EQ(gridCell(1, 0), "9");
    EXPECT_EQ(gridCell(2, 0), "10");
    EXPECT_EQ(QApplication::focusWidget(), c("cmdExit"));

    // Coming back to the window (from a message, say) keeps the record.
    click("cmdEdit");
    click("cmdNext");
    ASSERT_EQ(window->currentRow(), 1);
    QEvent deactivate(QEvent::WindowDeactivate), activate(QEvent::WindowActivate);
    QApplication::sendEvent(window.get(), &deactivate);
    QApplication::sendEvent(window.get(), &activate);
    EXPECT_EQ(refreshed.count(), 1);
    EXPECT_EQ(window->currentRow(), 1);
}

TEST_F(EditTreeTest, AnEmptyTableGivesAnEmptyListAndNoDetails)
{
    open();
    EXPECT_EQ(window->treeList()->rowCount(), 0);
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(detailsEnabled());
    for (const char* name : {"cmdEdit", "cmdDelete", "cmdSave", "cmdCancel"})
        EXPECT_FALSE(c(name)->isEnabled()) << name;
    EXPECT_TRUE(c("cmdExit")->isEnabled());
    EXPECT_TRUE(t.prompter.prompts().empty());

    // A record imported meanwhile enables them.
    addTree(*t.db);
    click("cmdRefresh");
    for (const char* name : {"cmdEdit", "cmdDelete", "cmdSave", "cmdCancel"})
        EXPECT_TRUE(c(name)->isEnabled()) << name;
}

TEST_F(EditTreeTest, TheCountSeparatesThousands)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 1234; ++i)
            addTree(*t.db, {{"Tree_ID", i}});
        batch.commit();
    }
    open();
    EXPECT_EQ(count(), "1,234");
}

TEST_F(EditTreeTest, SortOptionsAndTheStreetFilterRebuildTheList)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"Hazard_Rating", 3}, {"StreetName", "ELM ST"}});
    addTree(*t.db, {{"Tree_ID", 2}, {"Hazard_Rating", 8}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"Tree_ID", 3}, {"Hazard_Rating", 5}, {"StreetName", "O'NEIL ST"}});
    open();
    EXPECT_EQ(gridCell(0, 0), "1");
    c<QRadioButton>("optSortBy(4)")->click();
    EXPECT_EQ(gridCell(0, 0), "2");
    EXPECT_EQ(gridCell(2, 0), "1");
    EXPECT_EQ(box("txtTreeID")->text(), "1") << "the record current before stays current";
    EXPECT_EQ(c<QTableView>("DBGrid1")->currentIndex().row(), 2);

    list("cboStreetFilter")->setCurrentText("O'NEIL ST");
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(gridCell(0, 0), "2");
    EXPECT_EQ(gridCell(1, 0), "3");
    EXPECT_TRUE(detailsEnabled());

    list("cboStreetFilter")->setCurrentText("PARK DR");
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(detailsEnabled());
    EXPECT_EQ(box("txtTreeID")->text(), "");

    list("cboStreetFilter")->setCurrentIndex(0);
    EXPECT_EQ(count(), "3");
    EXPECT_TRUE(detailsEnabled());
}

TEST_F(EditTreeTest, EveryControlShowsItsColumnAndWritesItBack)
{
    setRiskRows(*t.db, {{1, -1, "Q1 "}, {1, 2, "Two "}, {1, 3, "Three "}, {2, -1, "Q2 "}, {2, 1, "One "},
                        {3, -1, "Q3 "}, {3, 0, "Zero "}, {4, -1, "Q4 "}, {4, 1, "One "}});
    const Fields before = {
        {"Tree_ID", 12}, {"StreetNum", "1410"}, {"StreetName", "O'NEIL ST"}, {"Hazard_Rating", 6},
        {"Surveyor", "J SMITH"}, {"Date_Evaluated", "2009-05-12 14:20:00"}, {"DBH", 14}, {"Species", "Red Maple"},
        {"Location", "Front"}, {"Site", "4 FT LAWN"}, {"Obstructions_Physical", "0. None"},
        {"Obstructions_Visual", "4. Driveway"}, {"Utility_Conflict", "Primary"}, {"Crown_Canker", "1. Fungal"},
        {"Crown_Crack", "2. Shear"}, {"Crown_Deadwood", "3. Lodged"}, {"Crown_Decay", "2. Wood"},
        {"Crown_Arch_1", "1. Unbalanced Crown"}, {"Crown_Arch_2", "0. Normal Branch Growth"},
        {"Crown_Arch_3", "1. Topped"}, {"WeakUnion", "1. Included Bark"}, {"Trunk_Canker", "T canker"},
        {"Trunk_Crack", "T crack"}, {"Trunk_Decay", "T decay"}, {"TrunkDecay_Shell", 2}, {"TrunkDecay_Diam", 20},
        {"TrunkDecay_Pct", 30}, {"Trunk_Arch_1", "1. Low Codiminant"}, {"Trunk_Arch_2", "1. Lean"},
        {"Roots_Deep", "1. Planted"}, {"Roots_Injury", "1. Yes"}, {"Roots_Decay", "0. None"},
        {"Roots_Arch1", "0. No SGR's"}, {"Roots_Arch2", "1. Severed"}, {"RiskZone", "DOWNTOWN"},
        {"Size_Defect", "2. Two "}, {"Prob_Failure", "1. One "}, {"Prob_TargetImpact", "0. Zero "},
        {"OtherRisk", "Typed risk"}, {"Desc_OtherRisk", "Leans over the school's gate"},
        {"CorrectiveActions", "1,5"}, {"Note", "Owner's note\nsecond line"}, {"ReinspectYear", "2011"},
        {"Latitude", 40.7128}, {"Longitude", -74.006}};
    const qint64 id = addTree(*t.db, before);
    addTree(*t.db, {{"Tree_ID", 13}});
    open();
    const std::pair<const char*, const char*> shown[] = {
        {"txtTreeID", "12"}, {"txtStreetNum", "1410"}, {"cboStreetName", "O'NEIL ST"}, {"lblRiskRating", "6"},
        {"cboSurveyor", "J SMITH"}, {"txtDBH", "14"}, {"cboSpecies", "Red Maple"}, {"cboLocation", "Front"},
        {"txtSite", "4 FT LAWN"}, {"cboPhysical", "0. None"}, {"cboVisual", "4. Driveway"}, {"cboUtility", "Primary"},
        {"cboCrownCanker", "1. Fungal"}, {"cboCrownCrack", "2. Shear"}, {"cboCrownDeadwood", "3. Lodged"},
        {"cboCrownDecay", "2. Wood"}, {"cboCrownArch1", "1. Unbalanced Crown"},
        {"cboCrownArch2", "0. Normal Branch Growth"}, {"cboCrownArch3", "1. Topped"},
        {"cboCrownUnion", "1. Included Bark"}, {"cboTrunkcanker", "T canker"}, {"cboTrunkCrack", "T crack"},
        {"cboTrunkDecay", "T decay"}, {"txtShell", "2"}, {"txtDiam", "20"}, {"txtPct", "30"},
        {"cboTrunkArch1", "1. Low Codiminant"}, {"cboTrunkArch2", "1. Lean"}, {"cboRootsDeep", "1. Planted"},
        {"cboRoot_Injury", "1. Yes"}, {"cboRootsDecay", "0. None"}, {"cboRootsArch1", "0. No SGR's"},
        {"cboRootsArch2", "1. Severed"}, {"cboRiskZone", "DOWNTOWN"}, {"cboRisk1", "2. Two "}, {"cboRisk2", "1. One "},
        {"cboRisk3", "0. Zero "}, {"cboRisk4", "Typed risk"}, {"txtCorrect", "1,5"}, {"DTPicker1", "05/12/2009"},
        {"txtReinspectYear", "2011"}, {"txtLatitude", "40.7128"}, {"txtLongitude", "-74.006"}};
    for (const auto& [name, text] : shown) {
        QWidget* w = c(name);
        QString value;
        if (auto* b = qobject_cast<QLineEdit*>(w))
            value = b->text();
        else if (auto* l = qobject_cast<QComboBox*>(w))
            value = l->currentText();
        else if (auto* label = qobject_cast<QLabel*>(w))
            value = label->text();
        EXPECT_EQ(value, text) << name;
    }
    EXPECT_EQ(c<QPlainTextEdit>("txtDescOtherRisk")->toPlainText(), "Leans over the school's gate");
    EXPECT_EQ(c<QPlainTextEdit>("txtNote")->toPlainText(), "Owner's note\nsecond line");
    EXPECT_TRUE(c<QCheckBox>("chkCorrect(0)")->isChecked());
    EXPECT_TRUE(c<QCheckBox>("chkCorrect(4)")->isChecked());
    EXPECT_FALSE(c<QCheckBox>("chkCorrect(1)")->isChecked());

    // Leaving the record unchanged writes nothing.
    t.db->exec("CREATE TRIGGER no_writes BEFORE UPDATE ON _Archived_SurveyData "
               "BEGIN SELECT RAISE(ABORT, 'written'); END");
    click("cmdEdit");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    click("cmdPrevious");
    t.db->exec("DROP TRIGGER no_writes");

    // Change every field; all of it is stored.
    setText("txtTreeID", "120");
    setText("txtStreetNum", "7");
    list("cboStreetName")->setCurrentText("ELM ST");
    list("cboSurveyor")->setEditText("M GARCIA");
    setText("DTPicker1", "6/1/2009");
    setText("txtDBH", "15");
    list("cboSpecies")->setCurrentText("ACRU-RED MAPLE");
    list("cboLocation")->setEditText("Rear");
    setText("txtSite", "NO LAWN");
    choose("cboVisual", "1. Critical sign");
    choose("cboTrunkcanker", "2. Insect/Mechanical");
    setText("txtPct", "45");
    choose("cboRiskZone", "PARKS");
    choose("cboRisk1", "3. Three ");
    choose("cboRisk4", "1. One ");
    c<QCheckBox>("chkCorrect(4)")->click();
    c<QCheckBox>("chkCorrect(10)")->click();
    c<QPlainTextEdit>("txtNote")->selectAll();
    QTest::keyClicks(c<QPlainTextEdit>("txtNote"), "Pruned");
    setText("txtReinspectYear", "2012");
    setText("txtLatitude", "-33.8688");
    box("txtLongitude")->clear();
    click("cmdNext");
    const Fields after = {{"Tree_ID", 120},
                          {"StreetNum", "7"},
                          {"StreetName", "ELM ST"},
                          {"Hazard_Rating", 5},
                          {"Surveyor", "M GARCIA"},
                          {"Date_Evaluated", "2009-06-01 14:20:00"},
                          {"DBH", 15},
                          {"Species", "ACRU-RED MAPLE"},
                          {"Location", "Rear"},
                          {"Site", "NO LAWN"},
                          {"Obstructions_Visual", "1. Critical sign"},
                          {"Trunk_Canker", "2. Insect/Mechanical"},
                          {"TrunkDecay_Pct", 45},
                          {"RiskZone", "PARKS"},
                          {"Size_Defect", "3. Three "},
                          {"OtherRisk", "1. One "},
                          {"CorrectiveActions", "1,11"},
                          {"Note", "Pruned"},
                          {"Crown_Canker", "1. Fungal"},
                          {"Desc_OtherRisk", "Leans over the school's gate"},
                          {"ReinspectYear", "2012"},
                          {"Latitude", -33.8688}};
    for (const auto& [column, value] : after)
        EXPECT_EQ(stored(*t.db, id, column).toString(), value.toString()) << column.toStdString();
    EXPECT_TRUE(stored(*t.db, id, "Longitude").isNull());
    // Each changed field is in the record's history, once, with the user and the time.
    EXPECT_EQ(t.db->scalar("SELECT COUNT(*) FROM _Survey_History WHERE Survey_ID=? AND Action='changed'", {id}).toInt(),
              21);
    QSqlQuery dbh = t.db->query("SELECT Old_Value,New_Value,Changed_At,Changed_By FROM _Survey_History "
                                "WHERE Survey_ID=? AND Field='DBH'", {id});
    ASSERT_TRUE(dbh.next());
    EXPECT_EQ(dbh.value(0).toInt(), 14);
    EXPECT_EQ(dbh.value(1).toInt(), 15);
    EXPECT_EQ(dbh.value(2).toString(), "2008-01-02 10:30:00");
    EXPECT_EQ(dbh.value(3).toString(), operatingSystemUser());
}

// Every way of leaving a record writes its changes back.
struct LeaveCase {
    const char* name;
    int from;        // the row the edit is made on
    int expectedRow; // the current row afterwards (-1: the window closed)
    std::function<void(EditTreeTest&)> leave;
};

class LeaveRecordTest : public EditTreeTest, public ::testing::WithParamInterface<LeaveCase> {
public:
    void TestBody() override {}
    using EditTreeTest::c;
    using EditTreeTest::click;
    using EditTreeTest::clickGridRow;
    using EditTreeTest::list;
    using EditTreeTest::window;
};

class LeaveRecord : public LeaveRecordTest {};

TEST_P(LeaveRecord, WritesTheChangedRecordBack)
{
    const LeaveCase& p = GetParam();
    std::vector<qint64> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(addTree(*t.db, {{"Tree_ID", i + 1}, {"Site", "OLD"}, {"StreetName", i < 2 ? "ELM ST" : "OAK AVE"}}));
    open();
    ASSERT_TRUE(window->treeList()->rowCount() == 4);
    for (int row = 0; row < p.from; ++row)
        c<RecordNavigator>("Data1")->nextButton()->click();
    ASSERT_EQ(window->currentRow(), p.from);
    setText("txtSite", "NEW");
    setText("txtDBH", "33");
    p.leave(*this);
    settle();
    EXPECT_EQ(stored(*t.db, ids[size_t(p.from)], "Site").toString(), "NEW");
    EXPECT_EQ(stored(*t.db, ids[size_t(p.from)], "DBH").toInt(), 33);
    for (size_t i = 0; i < ids.size(); ++i) {
        if (int(i) != p.from) {
            EXPECT_EQ(stored(*t.db, ids[i], "Site").toString(), "OLD") << "row " << i;
        }
    }
    if (p.expectedRow >= 0) {
        EXPECT_EQ(window->currentRow(), p.expectedRow);
    } else {
        EXPECT_FALSE(window->isVisible());
    }
}

TEST_P(LeaveRecord, ChecksTheRequiredFieldsOfAChangedRecordFirst)
{
    const LeaveCase& p = GetParam();
    std::vector<qint64> ids;
    for (int i = 0; i < 4; ++i)
        ids.push_back(addTree(*t.db, {{"Tree_ID", i + 1}, {"Site", "OLD"}, {"StreetName", i < 2 ? "ELM ST" : "OAK AVE"}}));
    open();
    for (int row = 0; row < p.from; ++row)
        c<RecordNavigator>("Data1")->nextButton()->click();
    setText("txtSite", "NEW");
    box("txtTreeID")->clear();
    t.prompter.answer(MsgAnswer::Ok);
    p.leave(*this);
    settle();
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text, "Please enter a Tree ID");
    EXPECT_EQ(QApplication::focusWidget(), box("txtTreeID"));
    EXPECT_EQ(window->currentRow(), p.from) << "the record stays current";
    EXPECT_TRUE(window->isVisible());
    for (qint64 id : ids)
        EXPECT_EQ(stored(*t.db, id, "Site").toString(), "OLD") << "nothing is written";
}

const LeaveCase leaveCases[] = {
    {"NextTree", 1, 2, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdNext"); }},
    {"PreviousTree", 1, 0, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdPrevious"); }},
    {"NextTreeOnTheLastRowSavesAndStays", 3, 3,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdNext"); }},
    {"PreviousTreeOnTheFirstRowSavesAndStays", 0, 0,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdPrevious"); }},
    {"SaveButton", 1, 1, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdSave"); }},
    {"NavigatorFirst", 2, 0,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).c<RecordNavigator>("Data1")->firstButton()->click(); }},
    {"NavigatorPrevious", 2, 1,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).c<RecordNavigator>("Data1")->previousButton()->click(); }},
    {"NavigatorNext", 1, 2,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).c<RecordNavigator>("Data1")->nextButton()->click(); }},
    {"NavigatorLast", 0, 3,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).c<RecordNavigator>("Data1")->lastButton()->click(); }},
    {"GridClick", 0, 3, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).clickGridRow(3); }},
    {"GridKeyDown", 1, 2,
     [](EditTreeTest& t) {
         auto* grid = static_cast<LeaveRecordTest&>(t).c<QTableView>("DBGrid1");
         QTest::keyClick(grid, Qt::Key_Down);
     }},
    // A new order keeps the record current, at its row in that order.
    {"SortOption", 1, 1,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).c<QRadioButton>("optSortBy(2)")->click(); }},
    {"StreetFilter", 2, 0,
     [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).list("cboStreetFilter")->setCurrentText("OAK AVE"); }},
    {"Refresh", 2, 0, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdRefresh"); }},
    {"Exit", 1, -1, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).click("cmdExit"); }},
    {"ClosingTheWindow", 2, -1, [](EditTreeTest& t) { static_cast<LeaveRecordTest&>(t).window->close(); }},
};
void PrintTo(const LeaveCase& leaveCase, std::ostream* os)
{
    *os << leaveCase.name;
}

INSTANTIATE_TEST_SUITE_P(EveryWay, LeaveRecord, ::testing::ValuesIn(leaveCases),
                         [](const ::testing::TestParamInfo<LeaveCase>& info) { return std::string(info.param.name); });

TEST_F(EditTreeTest, NextAndPreviousCheckTheTreeIdThenTheSurveyor)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 1}});
    addTree(*t.db, {{"Tree_ID", 2}});
    open();
    click("cmdEdit");
    box("txtTreeID")->clear();
    list("cboSurveyor")->setEditText("");
    setText("txtSite", "CHANGED");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    ASSERT_EQ(t.prompter.prompts().size(), 1u) << "only the first failing check is reported";
    EXPECT_EQ(t.prompter.last().message.text, "Please enter a Tree ID");
    EXPECT_EQ(t.prompter.last().message.caption, "Missing ID");
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(QApplication::focusWidget(), box("txtTreeID"));
    EXPECT_EQ(stored(*t.db, first, "Site").toString(), "") << "nothing is saved";

    QTest::keyClicks(box("txtTreeID"), "1");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdPrevious");
    EXPECT_EQ(t.prompter.last().message.text, "Please enter a Surveyor");
    EXPECT_EQ(t.prompter.last().message.caption, "Missing Surveyor");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(QApplication::focusWidget() == list("cboSurveyor") ||
                QApplication::focusWidget() == list("cboSurveyor")->lineEdit());
    EXPECT_EQ(window->currentRow(), 0);

    // A record nobody changed is left without the checks: an imported
    // record without a surveyor can be browsed past.
    click("cmdCancel");
    t.db->exec("UPDATE _Archived_SurveyData SET Surveyor=NULL, Tree_ID=NULL");
    c<QTabWidget>("SSTab1")->setCurrentIndex(0);
    click("cmdRefresh");
    click("cmdEdit");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(t.prompter.prompts().size(), 2u);
    EXPECT_TRUE(stored(*t.db, first, "Tree_ID").isNull());
}

TEST_F(EditTreeTest, ARecordTheDatabaseRefusesIsReportedAndStaysAsItWas)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 1}, {"DBH", 14}, {"Site", "OLD"}});
    const qint64 second = addTree(*t.db, {{"Tree_ID", 2}});
    open();
    click("cmdEdit");
    setText("txtDBH", "99999");
    setText("txtSite", "NEW");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    const MessageRequest m = t.prompter.last().message;
    EXPECT_EQ(m.caption, "Record Not Saved");
    EXPECT_EQ(m.icon, MsgIcon::Exclamation);
    EXPECT_TRUE(m.text.contains("DBH") && m.text.contains("\"99999\"")) << m.text.toStdString();
    EXPECT_EQ(window->currentRow(), 0) << "the window stays on the record";
    EXPECT_EQ(QApplication::focusWidget(), box("txtDBH"));
    EXPECT_EQ(stored(*t.db, first, "DBH").toInt(), 14);
    EXPECT_EQ(stored(*t.db, first, "Site").toString(), "OLD") << "no part of the record is written";

    // A click in the grid cannot leave it either.
    c<QTabWidget>("SSTab1")->setCurrentIndex(0);
    t.prompter.answer(MsgAnswer::Ok);
    clickGridRow(1);
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(c<QTableView>("DBGrid1")->currentIndex().row(), 0);

    // Nor can closing the window.
    t.prompter.answer(MsgAnswer::Ok);
    window->close();
    EXPECT_TRUE(window->isVisible());
    EXPECT_EQ(t.prompter.prompts().size(), 3u);

    // Corrected, it is saved and the window moves on.
    setText("txtDBH", "15");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(stored(*t.db, first, "DBH").toInt(), 15);
    EXPECT_EQ(stored(*t.db, first, "Site").toString(), "NEW");

    // A refusal by the database itself is reported the same way.
    t.db->exec("CREATE TRIGGER locked BEFORE UPDATE ON _Archived_SurveyData "
               "BEGIN SELECT RAISE(ABORT, 'the record is locked by the office'); END");
    setText("txtSite", "LOCKED");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdPrevious");
    EXPECT_TRUE(t.prompter.last().message.text.contains("the record is locked by the office"));
    EXPECT_EQ(window->currentRow(), 1);
    click("cmdCancel");
    EXPECT_EQ(box("txtSite")->text(), "");
    click("cmdPrevious");
    EXPECT_EQ(window->currentRow(), 0) << "after Cancel the window moves on";
    EXPECT_EQ(stored(*t.db, second, "Site").toString(), "");
}

TEST_F(EditTreeTest, CancelDiscardsTheChangesNotYetSaved)
{
    const qint64 id = addTree(*t.db, {{"Site", "OLD"}, {"CorrectiveActions", "2"}});
    addTree(*t.db);
    open();
    setText("txtSite", "NEW");
    c<QCheckBox>("chkCorrect(6)")->click();
    EXPECT_EQ(box("txtCorrect")->text(), "2,7");
    click("cmdCancel");
    EXPECT_EQ(box("txtSite")->text(), "OLD");
    EXPECT_EQ(box("txtCorrect")->text(), "2");
    EXPECT_FALSE(c<QCheckBox>("chkCorrect(6)")->isChecked());
    click("cmdEdit");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Site").toString(), "OLD");
    EXPECT_EQ(stored(*t.db, id, "CorrectiveActions").toString(), "2");
}

TEST_F(EditTreeTest, DeletingAsksAboutTheRecordAsShownAndNoChangesNothing)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 12}, {"Species", "Red Maple"}, {"DBH", 14},
                                         {"Date_Evaluated", "2009-05-12 14:20:00"}});
    addTree(*t.db, {{"Tree_ID", 13}});
    addTree(*t.db, {{"Tree_ID", 14}});
    open();
    QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
    t.prompter.answer(MsgAnswer::No);
    click("cmdDelete");
    MessageRequest m = t.prompter.last().message;
    EXPECT_EQ(m.text, "Delete Tree ID:12, (Red Maple DBH=14)\nsurveyed on Tuesday, 05/12/2009?");
    EXPECT_EQ(m.caption, "Confirm Delete");
    EXPECT_EQ(m.icon, MsgIcon::Question);
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.defaultButton, MsgAnswer::No);

    // The question names the record as the window shows it; No leaves the
    // edit pending on the screen and the record current.
    click("cmdEdit");
    setText("txtDBH", "15");
    t.prompter.answer(MsgAnswer::No);
    click("cmdDelete");
    EXPECT_EQ(t.prompter.last().message.text, "Delete Tree ID:12, (Red Maple DBH=15)\nsurveyed on Tuesday, 05/12/2009?");
    EXPECT_EQ(surveyCount(*t.db), 3);
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(box("txtDBH")->text(), "15");
    EXPECT_EQ(stored(*t.db, first, "DBH").toInt(), 14);
    EXPECT_TRUE(window->hasPendingChanges());
    EXPECT_EQ(refreshed.count(), 0);

    // Yes: the record goes, the history keeps it whole, the next one is current.
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    EXPECT_TRUE(stored(*t.db, first, "ID").isNull());
    EXPECT_EQ(count(), "2");
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(box("txtTreeID")->text(), "13");
    EXPECT_EQ(c<QTabWidget>("SSTab1")->currentIndex(), 1);
    const QString kept = t.db->scalar("SELECT Old_Value FROM _Survey_History WHERE Survey_ID=? AND Action='deleted'",
                                      {first}).toString();
    EXPECT_TRUE(kept.contains("Tree_ID: 12\n") && kept.contains("DBH: 14\n") &&
                kept.contains("Species: \"Red Maple\"\n"))
        << kept.toStdString();

    // After the last record the one before it becomes current.
    click("cmdNext");
    ASSERT_EQ(box("txtTreeID")->text(), "14");
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    EXPECT_EQ(box("txtTreeID")->text(), "13");
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    EXPECT_EQ(surveyCount(*t.db), 0);
    EXPECT_EQ(count(), "0");
    EXPECT_FALSE(detailsEnabled());
    EXPECT_FALSE(c("cmdDelete")->isEnabled());
}

TEST_F(EditTreeTest, ChoosingRiskAnswersRecomputesTheRating)
{
    setRiskRows(*t.db, {{1, -1, "Q1 "}, {1, 2, "Two "}, {2, -1, "Q2 "}, {2, 0, "Zero "}, {3, -1, "Q3 "},
                        {3, 1, "One "}, {4, -1, "Q4 "}, {4, 3, "Three "}});
    const qint64 first = addTree(*t.db, {{"Hazard_Rating", 13}, {"Size_Defect", ""}, {"Prob_Failure", ""},
                                         {"Prob_TargetImpact", ""}, {"OtherRisk", ""}});
    const qint64 second = addTree(*t.db, {{"Hazard_Rating", 13}});
    open();
    EXPECT_EQ(c<QLabel>("lblRiskRating")->text(), "13");
    choose("cboRisk1", "2. Two ");
    choose("cboRisk2", "0. Zero ");
    choose("cboRisk4", "3. Three ");
    EXPECT_EQ(c<QLabel>("lblRiskRating")->text(), "5");

    QTest::keyClicks(list("cboRisk3")->lineEdit(), "Typed");
    EXPECT_EQ(c<QLabel>("lblRiskRating")->text(), "5") << "typing does not recompute";
    choose("cboRisk1", "2. Two ");
    EXPECT_EQ(c<QLabel>("lblRiskRating")->text(), "0") << "an answer that begins with a letter";
    list("cboRisk3")->setEditText("");
    choose("cboRisk1", "2. Two ");
    EXPECT_EQ(c<QLabel>("lblRiskRating")->text(), "5");

    click("cmdEdit");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, first, "Hazard_Rating").toInt(), 5);
    EXPECT_EQ(stored(*t.db, first, "Size_Defect").toString(), "2. Two ");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, second, "Hazard_Rating").toInt(), 13) << "untouched answers keep the imported rating";
}

TEST_F(EditTreeTest, TheCorrectiveActionBoxesShowTheStoredListWhichChangesOnlyByAClick)
{
    const qint64 none = addTree(*t.db, {{"Tree_ID", 1}, {"CorrectiveActions", QVariant()}});
    const qint64 loose = addTree(*t.db, {{"Tree_ID", 2}, {"CorrectiveActions", "3, 1,3"}});
    const qint64 unknown = addTree(*t.db, {{"Tree_ID", 3}, {"CorrectiveActions", "3,12"}});
    addTree(*t.db, {{"Tree_ID", 4}});
    open();
    const auto ticked = [this] {
        QList<int> boxes;
        for (int i = 0; i < 11; ++i)
            if (c<QCheckBox>(QString("chkCorrect(%1)").arg(i))->isChecked())
                boxes << i;
        return boxes;
    };
    const auto tick = [this](int i) { QTest::mouseClick(c<QCheckBox>(QString("chkCorrect(%1)").arg(i)), Qt::LeftButton); };
    click("cmdEdit");
    c<QTabWidget>("SSTab2")->setCurrentIndex(4);
    t.db->exec("CREATE TRIGGER no_writes BEFORE UPDATE ON _Archived_SurveyData "
               "BEGIN SELECT RAISE(ABORT, 'written'); END");
    EXPECT_EQ(ticked(), QList<int>{});
    EXPECT_EQ(box("txtCorrect")->text(), "");
    click("cmdNext");
    EXPECT_EQ(ticked(), (QList<int>{0, 2}));
    EXPECT_EQ(box("txtCorrect")->text(), "3, 1,3") << "shown as stored";
    click("cmdNext");
    EXPECT_EQ(ticked(), QList<int>{2});
    EXPECT_EQ(box("txtCorrect")->text(), "3,12");
    click("cmdNext");
    EXPECT_TRUE(t.prompter.prompts().empty()) << "browsing writes nothing";
    t.db->exec("DROP TRIGGER no_writes");

    click("cmdPrevious");
    tick(0);
    EXPECT_EQ(box("txtCorrect")->text(), "1,3,12") << "a code no box stands for is kept";
    tick(2);
    EXPECT_EQ(box("txtCorrect")->text(), "1,12");
    click("cmdPrevious");
    EXPECT_EQ(stored(*t.db, unknown, "CorrectiveActions").toString(), "1,12");
    tick(4);
    EXPECT_EQ(box("txtCorrect")->text(), "1,3,5") << "a click writes the list in the boxes' form";
    click("cmdPrevious");
    EXPECT_EQ(stored(*t.db, loose, "CorrectiveActions").toString(), "1,3,5");
    EXPECT_TRUE(stored(*t.db, none, "CorrectiveActions").isNull());
    click("cmdNext");
    for (int i : {0, 2, 4})
        tick(i);
    EXPECT_EQ(box("txtCorrect")->text(), "") << "clearing every box";
}

TEST_F(EditTreeTest, NumberBoxesTakeDigitsAndThePointAndTheEditingKeysWork)
{
    const qint64 id = addTree(*t.db, {{"TrunkDecay_Pct", 20}, {"TrunkDecay_Shell", QVariant()},
                                      {"TrunkDecay_Diam", QVariant()}});
    addTree(*t.db);
    open();
    click("cmdEdit");
    for (const char* name : {"txtTreeID", "txtDBH", "txtShell", "txtDiam", "txtPct"}) {
        QLineEdit* b = box(name);
        focusControlOf(b);
        b->clear();
        QTest::keyClicks(b, "1a-2 .");
        EXPECT_EQ(b->text(), "12.") << name;
        // The Delete key as the keyboard sends it, with its character 0x7F.
        b->home(false);
        QTest::sendKeyEvent(QTest::Click, b, Qt::Key_Delete, QString(QChar(0x7F)), Qt::NoModifier);
        EXPECT_EQ(b->text(), "2.") << name;
        QTest::keyClick(b, Qt::Key_A, Qt::ControlModifier);
        QTest::keyClick(b, Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(QApplication::clipboard()->text(), "2.") << name;
        QTest::keyClick(b, Qt::Key_X, Qt::ControlModifier);
        EXPECT_EQ(b->text(), "") << name;
        QTest::keyClick(b, Qt::Key_Z, Qt::ControlModifier);
        EXPECT_EQ(b->text(), "2.") << name;
        QApplication::clipboard()->setText("3");
        b->end(false);
        QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(b->text(), "2.3") << name;
        QApplication::clipboard()->setText("x1");
        QTest::keyClick(b, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(b->text(), "2.3") << name << ": a letter is not pasted";
    }
    EXPECT_EQ(box("txtTreeID")->maxLength(), 9);
    EXPECT_EQ(box("txtDBH")->maxLength(), 8);
    EXPECT_EQ(box("txtShell")->maxLength(), 5);
    EXPECT_EQ(box("txtPct")->maxLength(), 3);
    EXPECT_EQ(box("txtSite")->maxLength(), 15);
    click("cmdCancel");

    // A decay box the user empties reads 0; passing through an empty one changes nothing.
    c<QTabWidget>("SSTab2")->setCurrentIndex(1);
    box("txtPct")->setFocus();
    box("txtPct")->selectAll();
    QTest::keyClick(box("txtPct"), Qt::Key_Backspace);
    QTest::keyClick(box("txtPct"), Qt::Key_Tab);
    EXPECT_EQ(box("txtPct")->text(), "0");
    box("txtShell")->setFocus();
    QTest::keyClick(box("txtShell"), Qt::Key_Tab);
    EXPECT_EQ(box("txtShell")->text(), "");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "TrunkDecay_Pct").toInt(), 0);
    EXPECT_TRUE(stored(*t.db, id, "TrunkDecay_Shell").isNull());
    EXPECT_TRUE(stored(*t.db, id, "TrunkDecay_Diam").isNull());
}

TEST_F(EditTreeTest, TextBoxesTakeTheirMostTypedCharactersButShowLongerStoredTextsWhole)
{
    const QString longNote(300, QLatin1Char('n'));
    const QString longSite = "TWENTY CHARS OF SITE";
    const qint64 id = addTree(*t.db, {{"Note", longNote}, {"Site", longSite}});
    const qint64 second = addTree(*t.db, {{"Note", ""}});
    open();
    auto* note = c<QPlainTextEdit>("txtNote");
    EXPECT_EQ(note->toPlainText(), longNote);
    EXPECT_EQ(box("txtSite")->text(), longSite);
    note->moveCursor(QTextCursor::End);
    QTest::keyClicks(note, "x");
    EXPECT_EQ(note->toPlainText(), longNote) << "no room for more";
    c<RecordNavigator>("Data1")->nextButton()->click();
    EXPECT_EQ(stored(*t.db, id, "Note").toString(), longNote) << "browsing changes nothing";
    EXPECT_EQ(stored(*t.db, id, "Site").toString(), longSite);

    QTest::keyClicks(note, QString(260, QLatin1Char('y')));
    EXPECT_EQ(note->toPlainText().size(), 255);
    auto* desc = c<QPlainTextEdit>("txtDescOtherRisk");
    QTest::keyClicks(desc, QString(160, QLatin1Char('d')));
    EXPECT_EQ(desc->toPlainText().size(), 150);
    setText("txtSite", "SIXTEEN CHARS XX");
    EXPECT_EQ(box("txtSite")->text(), "SIXTEEN CHARS X");
    c<RecordNavigator>("Data1")->firstButton()->click();
    EXPECT_EQ(stored(*t.db, second, "Note").toString().size(), 255);
}

TEST_F(EditTreeTest, AStreetWithAnApostropheFiltersAndSaves)
{
    const qint64 oneil = addTree(*t.db, {{"Tree_ID", 1}, {"StreetName", "O'NEIL ST"}, {"StreetNum", "9"}});
    const qint64 elm = addTree(*t.db, {{"Tree_ID", 2}, {"StreetName", "ELM ST"}});
    open();
    list("cboStreetFilter")->setCurrentText("O'NEIL ST");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(list("cboStreetName")->currentText(), "O'NEIL ST");
    setText("txtStreetNum", "11");
    list("cboStreetFilter")->setCurrentIndex(0);
    EXPECT_EQ(stored(*t.db, oneil, "StreetNum").toString(), "11");
    c<RecordNavigator>("Data1")->lastButton()->click();
    list("cboStreetName")->setCurrentText("O'NEIL ST");
    click("cmdSave");
    EXPECT_EQ(stored(*t.db, elm, "StreetName").toString(), "O'NEIL ST");
}

TEST_F(EditTreeTest, NullsAndOtherSpellingsShowWithoutChangingTheRecord)
{
    t.db->exec("INSERT INTO Species (Description) VALUES ('Red Maple')");
    const qint64 blank = addTree(*t.db, {{"Tree_ID", 1}, {"Species", QVariant()}, {"StreetName", QVariant()},
                                         {"Surveyor", QVariant()}, {"Date_Evaluated", QVariant()}, {"DBH", QVariant()}});
    const qint64 upper = addTree(*t.db, {{"Tree_ID", 2}, {"Species", "RED MAPLE"}});
    addTree(*t.db, {{"Tree_ID", 3}});
    open();
    for (const char* name : {"cboSpecies", "cboStreetName", "cboSurveyor"})
        EXPECT_EQ(list(name)->findText(""), -1) << name << " lists no empty entry";
    EXPECT_EQ(list("cboSpecies")->currentText(), "");
    EXPECT_EQ(box("DTPicker1")->text(), "");
    t.db->exec("CREATE TRIGGER no_writes BEFORE UPDATE ON _Archived_SurveyData "
               "BEGIN SELECT RAISE(ABORT, 'written'); END");
    c<RecordNavigator>("Data1")->nextButton()->click();
    EXPECT_EQ(list("cboSpecies")->currentText(), "RED MAPLE");
    c<RecordNavigator>("Data1")->nextButton()->click();
    EXPECT_EQ(window->currentRow(), 2);
    EXPECT_TRUE(stored(*t.db, blank, "Species").isNull());
    EXPECT_TRUE(stored(*t.db, blank, "Date_Evaluated").isNull());
    EXPECT_EQ(stored(*t.db, upper, "Species").toString(), "RED MAPLE");
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

// Turns the wheel one notch over the middle of a control, delivered as the
// window system's wheel is: to the widget under the pointer, then on to its
// parents while none of them takes it. (Qt passes an event a test sends on
// to no parent, and this Qt's test library has no wheel of its own.)
void turnWheel(QWidget* over, int notches = -1)
{
    const QPoint at = over->rect().center();
    QWidget* target = over->childAt(at) ? over->childAt(at) : over;
    for (QWidget* w = target; w; w = w->isWindow() ? nullptr : w->parentWidget()) {
        const QPointF local = w->mapFromGlobal(over->mapToGlobal(QPointF(at)));
        QWheelEvent wheel(local, over->mapToGlobal(QPointF(at)), QPoint(), QPoint(0, 120 * notches), Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &wheel);
        if (wheel.isAccepted())
            return;
    }
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

TEST_F(EditTreeTest, AnEmptyDateStaysEmptyUntilARealDateIsTypedOrPicked)
{
    const qint64 id = addTree(*t.db, {{"Tree_ID", 1}, {"Date_Evaluated", QVariant()}});
    addTree(*t.db, {{"Tree_ID", 2}});
    open();
    click("cmdEdit");
    QLineEdit* date = box("DTPicker1");
    date->setFocus();
    for (Qt::Key key : {Qt::Key_Up, Qt::Key_Down, Qt::Key_PageUp})
        QTest::keyClick(date, key);
    turnWheel(date);
    EXPECT_EQ(date->text(), "");
    click("cmdNext");
    EXPECT_TRUE(stored(*t.db, id, "Date_Evaluated").isNull()) << "no date of 1753 or any other";

    click("cmdPrevious");
    date->setFocus();
    QTest::keyClicks(date, "5/12/09");
    QTest::keyClick(date, Qt::Key_Tab);
    EXPECT_EQ(date->text(), "05/12/2009");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Date_Evaluated").toString(), "2009-05-12 00:00:00");

    // Picked from the calendar (Alt+Down opens it, Enter takes the day).
    click("cmdPrevious");
    date->setFocus();
    QTest::keyClick(date, Qt::Key_Down, Qt::AltModifier);
    auto* calendar = window->findChild<QCalendarWidget*>("calendar");
    ASSERT_TRUE(calendar && calendar->isVisible());
    EXPECT_EQ(calendar->selectedDate(), QDate(2009, 5, 12));
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Right);
    QTest::keyClick(calendar->focusWidget() ? calendar->focusWidget() : calendar, Qt::Key_Return);
    EXPECT_FALSE(calendar->isVisible());
    EXPECT_EQ(date->text(), "05/13/2009");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Date_Evaluated").toString(), "2009-05-13 00:00:00");
}

TEST_F(EditTreeTest, AnImpossibleDateIsReportedAndNeverStored)
{
    const qint64 id = addTree(*t.db, {{"Tree_ID", 1}});
    addTree(*t.db, {{"Tree_ID", 2}});
    open();
    click("cmdEdit");
    QLineEdit* date = box("DTPicker1");
    date->setFocus();
    date->selectAll();
    t.prompter.answer(MsgAnswer::Ok);
    QTest::keyClicks(date, "02/30/2009");
    QTest::keyClick(date, Qt::Key_Tab);
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.text, "\"02/30/2009\" is not a date: February 2009 has 28 days.");
    EXPECT_EQ(t.prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_EQ(date->text(), "02/30/2009") << "kept as typed, to be corrected";
    EXPECT_EQ(QApplication::focusWidget(), date);

    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved");
    EXPECT_TRUE(t.prompter.last().message.text.contains("February 2009 has 28 days"));
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(stored(*t.db, id, "Date_Evaluated").toString(), "2009-05-12 14:20:00");
}

TEST_F(EditTreeTest, ATypedNoteKeepsTheCharactersTheUserDidNotTouch)
{
    const QString note = QString("Gate\u00A0post\u2028lane\r\nsecond line\u00A0");
    const QString risk = QString("Leans\r\nover\u00A0the road");
    const qint64 id = addTree(*t.db, {{"Note", note}, {"Desc_OtherRisk", risk}});
    addTree(*t.db);
    open();
    click("cmdEdit");
    auto* txtNote = c<QPlainTextEdit>("txtNote");
    focusControlOf(txtNote);
    txtNote->moveCursor(QTextCursor::End);
    QTest::keyClicks(txtNote, "!");
    QTest::keyClick(txtNote, Qt::Key_Return);
    QTest::keyClicks(txtNote, "third");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Note").toString(), note + "!\r\nthird") << "line ends as the text had them";
    EXPECT_EQ(stored(*t.db, id, "Desc_OtherRisk").toString(), risk) << "a text the user did not change";
    EXPECT_EQ(t.db->scalar("SELECT COUNT(*) FROM _Survey_History WHERE Survey_ID=?", {id}).toInt(), 1);
}

TEST_F(EditTreeTest, OnAReadOnlyDatabaseBrowsingWorksAndCancelAlwaysLetsTheUserLeave)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"CorrectiveActions", "3,12"}, {"Note", "a\u00A0b"}});
    addTree(*t.db, {{"Tree_ID", 2}, {"CorrectiveActions", "3, 1,3"}});
    open();
    t.db->exec("PRAGMA query_only = 1");
    click("cmdEdit");
    click("cmdNext");
    click("cmdPrevious");
    EXPECT_TRUE(t.prompter.prompts().empty()) << "nothing to write, nothing refused";

    c<QTabWidget>("SSTab2")->setCurrentIndex(4);
    QTest::mouseClick(c<QCheckBox>("chkCorrect(5)"), Qt::LeftButton);
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved");
    EXPECT_EQ(window->currentRow(), 0);
    click("cmdCancel");
    EXPECT_EQ(box("txtCorrect")->text(), "3,12");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    click("cmdExit");
    EXPECT_FALSE(window->isVisible()) << "the window can be left";
    t.db->exec("PRAGMA query_only = 0");
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

TEST_F(EditTreeTest, TheSearchNarrowsTheListAsTheUserTypes)
{
    addTree(*t.db, {{"Tree_ID", 7}, {"StreetNum", "12"}, {"StreetName", "O'NEIL ST"}, {"Species", "QURU-NORTHERN RED OAK"}});
    addTree(*t.db, {{"Tree_ID", 8}, {"StreetNum", "14"}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"Tree_ID", 9}, {"StreetNum", "12"}, {"StreetName", "ELM ST"}});
    open();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    QTest::keyClick(window.get(), Qt::Key_H, Qt::AltModifier);
    auto* search = box("txtSearch");
    EXPECT_EQ(QApplication::focusWidget(), search) << "Searc&h";
    const auto typed = [&](const QString& text) {
        search->selectAll();
        QTest::keyClicks(search, text);
        QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
        EXPECT_TRUE(refreshed.wait(3000)) << text.toStdString();
    };
    typed("8");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "8");
    typed("12 o'neil");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "7");
    typed("red oak");
    EXPECT_EQ(gridCell(0, 0), "7");
    list("cboStreetFilter")->setCurrentText("ELM ST");
    EXPECT_EQ(count(), "0") << "the search and the street filter together";
    list("cboStreetFilter")->setCurrentIndex(0);
    typed("elm");
    EXPECT_EQ(count(), "1");
    EXPECT_EQ(gridCell(0, 0), "9");
    search->clear();
    QSignalSpy refreshed(window.get(), &frmEditTree::treeListRefreshed);
    EXPECT_TRUE(refreshed.wait(3000));
    EXPECT_EQ(count(), "3");
}

TEST_F(EditTreeTest, ClickingAColumnTitleSortsByItAndAgainReverses)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"StreetNum", "100"}, {"DBH", 30}});
    addTree(*t.db, {{"Tree_ID", 2}, {"StreetNum", "12A"}, {"DBH", 10}});
    addTree(*t.db, {{"Tree_ID", 3}, {"StreetNum", "12"}, {"DBH", 20}});
    open();
    auto* header = c<QTableView>("DBGrid1")->horizontalHeader();
    const auto clickTitle = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
    };
    const auto treeIds = [this] { return gridCell(0, 0) + gridCell(1, 0) + gridCell(2, 0); };
    clickTitle(9);
    EXPECT_EQ(treeIds(), "321") << "house numbers: 12, 12A, 100";
    EXPECT_EQ(header->sortIndicatorSection(), 9);
    for (int i = 0; i < 6; ++i)
        EXPECT_FALSE(c<QRadioButton>(QString("optSortBy(%1)").arg(i))->isChecked());
    clickTitle(9);
    EXPECT_EQ(treeIds(), "123");
    EXPECT_EQ(header->sortIndicatorOrder(), Qt::DescendingOrder);
    clickTitle(3);
    EXPECT_EQ(treeIds(), "231") << "DBH 10, 20, 30";
    c<QRadioButton>("optSortBy(0)")->click();
    EXPECT_EQ(treeIds(), "123");
    EXPECT_FALSE(header->isSortIndicatorShown());
}

TEST_F(EditTreeTest, ASortKeepsTheCurrentRecordAndClosingWaitsForASortRunning)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 6000; ++i)
            addTree(*t.db, {{"Tree_ID", i}, {"DBH", (i * 37) % 50}, {"Site", QString("S%1").arg((i * 13) % 97)}});
        batch.commit();
    }
    open();
    auto* grid = c<QTableView>("DBGrid1");
    auto* header = grid->horizontalHeader();
    const auto clickTitle = [header](int column) {
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {},
                          QPoint(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                                 header->height() / 2));
    };
    clickGridRow(150);
    const qint64 current = window->currentRecordId();
    ASSERT_EQ(box("txtTreeID")->text(), "150");

    // DBH has no index: sorted off the window thread, the record stays shown
    // and becomes the current row where the sort puts it.
    clickTitle(3);
    EXPECT_EQ(window->currentRecordId(), current);
    EXPECT_EQ(box("txtTreeID")->text(), "150");
    QTRY_VERIFY_WITH_TIMEOUT(!window->treeList()->isLoading(), 10000);
    const int row = window->treeList()->rowOf(current);
    EXPECT_NE(row, 150);
    EXPECT_EQ(window->currentRow(), row);
    EXPECT_EQ(grid->currentIndex().row(), row);
    EXPECT_EQ(gridCell(row, 0), "150");
    // The next record is the next row of the new order.
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), row + 1);
    EXPECT_EQ(box("txtTreeID")->text(), gridCell(row + 1, 0));

    // A sort option (by the risk rating's index) keeps it too.
    const qint64 next = window->currentRecordId();
    c<QRadioButton>("optSortBy(4)")->click();
    EXPECT_EQ(window->currentRecordId(), next);
    QTRY_VERIFY_WITH_TIMEOUT(window->treeList()->rowOf(next) >= 0 &&
                                 grid->currentIndex().row() == window->treeList()->rowOf(next),
                             10000);
    EXPECT_GE(window->currentRow(), 0);
    EXPECT_EQ(window->currentRow(), window->treeList()->rowOf(next));

    // Closing while a sort runs waits for it.
    clickTitle(4);
    ASSERT_TRUE(window->treeList()->hasRunningSorts());
    window->close();
    EXPECT_TRUE(window->isVisible()) << "the window waits for the sort";
    QTRY_VERIFY_WITH_TIMEOUT(!window->isVisible(), 10000);
    EXPECT_FALSE(window->treeList()->hasRunningSorts());
}

TEST_F(EditTreeTest, TheHistoryPageShowsTheRecordsChangesAndTheDeletedRecords)
{
    const qint64 id = addTree(*t.db, {{"Tree_ID", 5}, {"DBH", 14}, {"Site", "OLD"}});
    addTree(*t.db, {{"Tree_ID", 6}, {"Species", "GIBI-GINKGO"}});
    {
        Transaction transaction(*t.db);
        recordImport(*t.db, id, {QDateTime(QDate(2008, 1, 1), QTime(9, 0)), "crew"});
        transaction.commit();
    }
    open();
    click("cmdEdit");
    setText("txtDBH", "15");
    setText("txtSite", "NEW");
    click("cmdSave");
    c<QTabWidget>("SSTab2")->setCurrentIndex(5);
    auto* history = c<QTreeWidget>("lstHistory");
    ASSERT_EQ(history->topLevelItemCount(), 3);
    const auto row = [history](int i) {
        QStringList cells;
        for (int c = 0; c < history->columnCount(); ++c)
            cells << history->topLevelItem(i)->text(c);
        return cells;
    };
    EXPECT_EQ(row(0), (QStringList{"01/01/2008 09:00", "crew", "(imported)", "", ""}));
    EXPECT_EQ(row(1), (QStringList{"01/02/2008 10:30", operatingSystemUser(), "DBH", "14", "15"}));
    EXPECT_EQ(row(2), (QStringList{"01/02/2008 10:30", operatingSystemUser(), "Site", "OLD", "NEW"}));

    click("cmdNext");
    EXPECT_EQ(history->topLevelItemCount(), 0) << "the next record has no history";
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    c<QCheckBox>("chkDeletedRecords")->click();
    ASSERT_EQ(history->topLevelItemCount(), 1);
    EXPECT_EQ(history->topLevelItem(0)->text(2), "Tree ID 6, GIBI-GINKGO, DBH 14, 05/12/2009, 12 ELM ST");
    history->setCurrentItem(history->topLevelItem(0));
    EXPECT_TRUE(c<QPlainTextEdit>("txtHistoryDetail")->toPlainText().contains("Species: \"GIBI-GINKGO\""));
}

TEST_F(EditTreeTest, TheReinspectionYearAndTheCoordinatesAreChecked)
{
    const qint64 id = addTree(*t.db, {{"ReinspectYear", "2011"}, {"Latitude", 45.5}, {"Longitude", -122.25}});
    addTree(*t.db);
    open();
    click("cmdEdit");
    const struct {
        const char* box;
        const char* typed;
        const char* column;
    } refused[] = {{"txtReinspectYear", "-5", "ReinspectYear"},
                   {"txtLatitude", "90.5", "Latitude"},
                   {"txtLongitude", "-180.01", "Longitude"},
                   {"txtLatitude", "4-5", "Latitude"},
                   // The reports read two or four digits only.
                   {"txtReinspectYear", "9", "ReinspectYear"},
                   {"txtReinspectYear", "123", "ReinspectYear"},
                   {"txtReinspectYear", "0", "ReinspectYear"}};
    for (const auto& r : refused) {
        setText(r.box, r.typed);
        t.prompter.answer(MsgAnswer::Ok);
        click("cmdNext");
        EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved") << r.typed;
        EXPECT_TRUE(t.prompter.last().message.text.contains(QStringLiteral("\"%1\"").arg(r.typed))) << r.typed;
        EXPECT_EQ(QApplication::focusWidget(), box(r.box));
        click("cmdCancel");
    }
    setText("txtLatitude", "-90");
    setText("txtLongitude", "180");
    setText("txtReinspectYear", "09");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "Latitude").toDouble(), -90.0);
    EXPECT_EQ(stored(*t.db, id, "Longitude").toDouble(), 180.0);
    EXPECT_EQ(stored(*t.db, id, "ReinspectYear").toString(), "09") << "two digits as typed";
    click("cmdPrevious");
    setText("txtReinspectYear", "2014");
    click("cmdNext");
    EXPECT_EQ(stored(*t.db, id, "ReinspectYear").toString(), "2014");
}

TEST_F(EditTreeTest, ARecordThatCannotBeReadIsSaidAndTheRecordShownStaysUntilTheUserTriesAgain)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"DBH", 14}});
    const qint64 locked = addTree(*t.db, {{"Tree_ID", 1003}, {"DBH", 32767}, {"Surveyor", "ANNA"}});
    const qint64 gone = addTree(*t.db, {{"Tree_ID", 2000}});
    addTree(*t.db, {{"Tree_ID", 2001}});
    // The window waits a moment for a lock, as it does for one that ends soon.
    const auto quick = Database::open(t.db->path(), 200);
    struct CloseFirst {
        std::unique_ptr<frmEditTree>& window;
        ~CloseFirst() { window.reset(); }
    } closeBeforeTheConnection{window};
    window = std::make_unique<frmEditTree>(
        AppContext{*quick, t.prompter, t.shell, t.drives, t.clock, t.dir.path(), t.settings, t.dir.path()});
    window->show();
    settle();
    click("cmdEdit");
    ASSERT_EQ(window->currentRow(), 0);

    // Another program holds the database longer than the wait.
    const auto other = Database::open(t.db->path(), 0);
    other->exec("BEGIN EXCLUSIVE");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    EXPECT_EQ(t.prompter.last().message.caption, "Edit/Delete Trees");
    EXPECT_TRUE(t.prompter.last().message.text.contains("in use by another program"))
        << t.prompter.last().message.text.toStdString();
    EXPECT_EQ(window->currentRow(), 0) << "the record shown stays";
    EXPECT_EQ(box("txtTreeID")->text(), "1");
    EXPECT_EQ(box("txtDBH")->text(), "14");
    EXPECT_EQ(list("cboSurveyor")->currentText(), "J SMITH");
    EXPECT_EQ(c<QTabWidget>("SSTab1")->currentIndex(), 1);
    other->exec("ROLLBACK");

    // Once the lock has gone, the same click shows the record.
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "1003");
    EXPECT_EQ(box("txtDBH")->text(), "32767");
    EXPECT_EQ(list("cboSurveyor")->currentText(), "ANNA");

    // A record another window deleted meanwhile is said, not shown empty.
    t.db->exec("DELETE FROM _Archived_SurveyData WHERE ID=?", {gone});
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_TRUE(t.prompter.last().message.text.contains("no longer in the database"));
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "1003");
    click("cmdPrevious");
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(stored(*t.db, locked, "Tree_ID").toInt(), 1003) << "nothing was written";
    EXPECT_EQ(stored(*t.db, locked, "DBH").toInt(), 32767);
    EXPECT_EQ(stored(*t.db, locked, "Surveyor").toString(), "ANNA");
    EXPECT_EQ(t.db->scalar("SELECT COUNT(*) FROM _Survey_History").toInt(), 0);

    // A save while the database is held is refused in the same words and
    // succeeds when tried again.
    setText("txtDBH", "15");
    other->exec("BEGIN EXCLUSIVE");
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved");
    EXPECT_TRUE(t.prompter.last().message.text.contains("in use by another program"));
    EXPECT_EQ(window->currentRow(), 0);
    other->exec("ROLLBACK");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(stored(*t.db, t.db->scalar("SELECT ID FROM _Archived_SurveyData WHERE Tree_ID=1").toLongLong(), "DBH")
                  .toInt(),
              15);
}

TEST_F(EditTreeTest, ASaveNeverOverwritesWhatAnotherWindowChangedSinceItShowedTheRecord)
{
    const qint64 id = addTree(*t.db, {{"Tree_ID", 1}, {"DBH", 40}, {"Site", "LAWN"}});
    addTree(*t.db, {{"Tree_ID", 2}});
    // Two windows, each on a connection of its own to the one file.
    const auto dbB = Database::open(t.db->path());
    frmEditTree& a = *open();
    frmEditTree b(AppContext{*dbB, t.prompter, t.shell, t.drives, t.clock, t.dir.path(), t.settings, t.dir.path()});
    b.show();
    settle();
    const auto type = [](frmEditTree& w, const char* name, const QString& text) {
        QLineEdit* field = child<QLineEdit>(&w, name);
        field->selectAll();
        QTest::keyClick(field, Qt::Key_Delete);
        QTest::keyClicks(field, text);
    };
    const auto press = [](frmEditTree& w, const char* name) {
        QTest::mouseClick(child<QPushButton>(&w, name), Qt::LeftButton);
    };
    press(a, "cmdEdit");
    press(b, "cmdEdit");

    // B: 40 becomes 20, at 14:20.
    t.clock.current = QDateTime(QDate(2009, 5, 12), QTime(14, 20));
    type(b, "txtDBH", "20");
    press(b, "cmdSave");
    EXPECT_EQ(stored(*t.db, id, "DBH").toInt(), 20);

    // A showed 40 and types 16 (and a site): nothing is written, A is told.
    type(a, "txtDBH", "16");
    type(a, "txtSite", "MEDIAN");
    t.prompter.answer(MsgAnswer::No);
    press(a, "cmdSave");
    ASSERT_EQ(t.prompter.prompts().size(), 1u);
    const MessageRequest told = t.prompter.last().message;
    EXPECT_EQ(told.caption, "Record Not Saved");
    EXPECT_EQ(told.buttons, MsgButtons::YesNo);
    EXPECT_EQ(told.defaultButton, MsgAnswer::Yes);
    EXPECT_TRUE(told.text.contains(
        QStringLiteral("DBH: now \"20\", shown as \"40\"; changed by %1 on 05/12/2009 14:20.").arg(operatingSystemUser())))
        << told.text.toStdString();
    EXPECT_FALSE(told.text.contains("Site")) << "only the fields changed by the other";
    EXPECT_EQ(stored(*t.db, id, "DBH").toInt(), 20);
    EXPECT_EQ(stored(*t.db, id, "Site").toString(), "LAWN") << "no field of the save was written";
    EXPECT_EQ(child<QLineEdit>(&a, "txtDBH")->text(), "16") << "No keeps the user's values";

    // Told, the user saves again: the values go over the other change.
    press(a, "cmdSave");
    EXPECT_EQ(stored(*t.db, id, "DBH").toInt(), 16);
    EXPECT_EQ(stored(*t.db, id, "Site").toString(), "MEDIAN");

    // B still shows 20; its next change is refused too, and Yes shows the record as stored.
    type(b, "txtDBH", "18");
    t.prompter.answer(MsgAnswer::Yes);
    press(b, "cmdNext");
    EXPECT_TRUE(t.prompter.last().message.text.contains("DBH: now \"16\", shown as \"20\""));
    EXPECT_EQ(b.currentRow(), 0) << "the record was not saved, so B stays on it";
    EXPECT_EQ(child<QLineEdit>(&b, "txtDBH")->text(), "16");
    EXPECT_EQ(child<QLineEdit>(&b, "txtSite")->text(), "MEDIAN");
    EXPECT_EQ(stored(*t.db, id, "DBH").toInt(), 16);
    EXPECT_FALSE(b.hasPendingChanges());

    // A record the other window deleted meanwhile: who deleted it and when.
    t.prompter.answer(MsgAnswer::Yes);
    press(b, "cmdDelete");
    type(a, "txtDBH", "12");
    t.prompter.answer(MsgAnswer::Ok);
    press(a, "cmdSave");
    EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved");
    EXPECT_TRUE(t.prompter.last().message.text.contains(
        QStringLiteral("no longer in the database (deleted by %1 on 05/12/2009 14:20)").arg(operatingSystemUser())))
        << t.prompter.last().message.text.toStdString();
    b.close();
}

// Presses Alt and key; the button the key belongs to shows itself pressed
// for a moment before it acts.
void pressAccessKey(QWidget* window, Qt::Key key)
{
    QTest::keyClick(window, key, Qt::AltModifier);
    QTest::qWait(150);
}

TEST_F(EditTreeTest, AccessKeysOfTheCaptionsWork)
{
    addTree(*t.db);
    addTree(*t.db);
    open();
    window->activateWindow();
    QApplication::setActiveWindow(window.get());
    pressAccessKey(window.get(), Qt::Key_V);
    EXPECT_EQ(c<QTabWidget>("SSTab1")->currentIndex(), 1) << "&View/Edit";
    setText("txtSite", "BY KEYBOARD");
    pressAccessKey(window.get(), Qt::Key_S);
    EXPECT_EQ(stored(*t.db, window->currentRecordId(), "Site").toString(), "BY KEYBOARD") << "&Save";
    t.prompter.answer(MsgAnswer::No);
    pressAccessKey(window.get(), Qt::Key_D);
    EXPECT_EQ(t.prompter.last().message.caption, "Confirm Delete") << "&Delete";
    pressAccessKey(window.get(), Qt::Key_X);
    EXPECT_FALSE(window->isVisible()) << "E&xit";
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
