// The Tree editor window: every way of leaving a record writes it back, and
// a record that cannot be read, stored or deleted is said.

#include "tests/trees/edittreetest.h"
#include "tests/trees/treetestdata.h"
#include "store/dates.h"
#include "trees/treerecord.h"
#include "trees/recordnavigator.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSignalSpy>
#include <QTabWidget>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

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
    refuseWrites(*t.db, "no_writes", Write::Update, "_Archived_SurveyData", "written");
    click("cmdEdit");
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    click("cmdPrevious");
    allowWrites(*t.db, "no_writes", "_Archived_SurveyData");

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
    refuseWrites(*t.db, "locked", Write::Update, "_Archived_SurveyData", "the record is locked by the office");
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

TEST_F(EditTreeTest, OnAReadOnlyDatabaseBrowsingWorksAndCancelAlwaysLetsTheUserLeave)
{
    addTree(*t.db, {{"Tree_ID", 1}, {"CorrectiveActions", "3,12"}, {"Note", "a\u00A0b"}});
    addTree(*t.db, {{"Tree_ID", 2}, {"CorrectiveActions", "3, 1,3"}});
    open();
    setReadOnly(*t.db, true);
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
    setReadOnly(*t.db, false);
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
    auto other = std::make_unique<DatabaseHeld>(t.db->path());
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
    other.reset();

    // Once the lock has gone, the same click shows the record.
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "1003");
    EXPECT_EQ(box("txtDBH")->text(), "32767");
    EXPECT_EQ(list("cboSurveyor")->currentText(), "ANNA");

    // A record another person deleted meanwhile is said, with who and when,
    // not shown empty.
    const QDateTime deletedAt(QDate(2026, 3, 4), QTime(9, 20, 0));
    ASSERT_TRUE(deleteTreeRecord(*quick, gone, {deletedAt, "ben"}));
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_TRUE(t.prompter.last().message.text.contains("no longer in the database (deleted by ben on " +
                                                        shownDateTime(deletedAt) + ")"))
        << t.prompter.last().message.text.toStdString();
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(box("txtTreeID")->text(), "1003");
    click("cmdPrevious");
    EXPECT_EQ(window->currentRow(), 0);
    EXPECT_EQ(stored(*t.db, locked, "Tree_ID").toInt(), 1003) << "nothing was written";
    EXPECT_EQ(stored(*t.db, locked, "DBH").toInt(), 32767);
    EXPECT_EQ(stored(*t.db, locked, "Surveyor").toString(), "ANNA");
    EXPECT_EQ(t.db->scalar("SELECT COUNT(*) FROM _Survey_History WHERE Action <> 'deleted'").toInt(), 0);

    // A save while the database is held is refused in the same words and
    // succeeds when tried again.
    setText("txtDBH", "15");
    other = std::make_unique<DatabaseHeld>(t.db->path());
    t.prompter.answer(MsgAnswer::Ok);
    click("cmdNext");
    EXPECT_EQ(t.prompter.last().message.caption, "Record Not Saved");
    EXPECT_TRUE(t.prompter.last().message.text.contains("in use by another program"));
    EXPECT_EQ(window->currentRow(), 0);
    other.reset();
    click("cmdNext");
    EXPECT_EQ(window->currentRow(), 1);
    EXPECT_EQ(stored(*t.db, t.db->scalar("SELECT ID FROM _Archived_SurveyData WHERE Tree_ID=1").toLongLong(), "DBH")
                  .toInt(),
              15);
}

TEST_F(EditTreeTest, RefreshShowsWhatAnotherPersonChangedAndLeavesOutWhatTheyDeleted)
{
    const qint64 first = addTree(*t.db, {{"Tree_ID", 1}, {"Species", "oak"}});
    const qint64 second = addTree(*t.db, {{"Tree_ID", 2}});
    addTree(*t.db, {{"Tree_ID", 3}});
    open();
    ASSERT_EQ(list("cboSpecies")->currentText(), "oak");
    const auto other = Database::open(t.db->path());
    const HistoryStamp ben{QDateTime(QDate(2026, 3, 4), QTime(9, 20, 0)), "ben"};
    writeTreeRecord(*other, first, {{"Species", "Oak"}}, *readTreeRecord(*other, first), ben);
    ASSERT_TRUE(deleteTreeRecord(*other, second, ben));
    click("cmdRefresh");
    EXPECT_EQ(list("cboSpecies")->currentText(), "Oak");
    EXPECT_EQ(gridCell(0, 0), "1");
    EXPECT_EQ(gridCell(1, 0), "3");
    EXPECT_EQ(c<QTableView>("DBGrid1")->model()->rowCount(), 2);
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

} // namespace
