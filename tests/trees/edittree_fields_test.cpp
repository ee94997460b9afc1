// The Tree editor window: what its boxes, lists and dates take and show, the
// risk rating, the corrective actions and the history page.

#include "tests/trees/edittreetest.h"
#include "tests/trees/treetestdata.h"
#include "trees/recordnavigator.h"

#include <QCalendarWidget>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>
#include <QTextCursor>
#include <QTreeView>

#include <gtest/gtest.h>

#include <functional>

using namespace kolva;
using namespace kolva::test;

namespace {

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
    refuseWrites(*t.db, "no_writes", Write::Update, "_Archived_SurveyData", "written");
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
    allowWrites(*t.db, "no_writes", "_Archived_SurveyData");

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
    refuseWrites(*t.db, "no_writes", Write::Update, "_Archived_SurveyData", "written");
    c<RecordNavigator>("Data1")->nextButton()->click();
    EXPECT_EQ(list("cboSpecies")->currentText(), "RED MAPLE");
    c<RecordNavigator>("Data1")->nextButton()->click();
    EXPECT_EQ(window->currentRow(), 2);
    EXPECT_TRUE(stored(*t.db, blank, "Species").isNull());
    EXPECT_TRUE(stored(*t.db, blank, "Date_Evaluated").isNull());
    EXPECT_EQ(stored(*t.db, upper, "Species").toString(), "RED MAPLE");
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
    auto* history = c<QTreeView>("lstHistory");
    QAbstractItemModel* entries = history->model();
    ASSERT_EQ(entries->rowCount(), 3);
    const auto row = [entries](int i) {
        QStringList cells;
        for (int c = 0; c < entries->columnCount(); ++c)
            cells << entries->index(i, c).data().toString();
        return cells;
    };
    EXPECT_EQ(row(0), (QStringList{"01/01/2008 09:00", "crew", "(imported)", "", ""}));
    EXPECT_EQ(row(1), (QStringList{"01/02/2008 10:30", operatingSystemUser(), "DBH", "14", "15"}));
    EXPECT_EQ(row(2), (QStringList{"01/02/2008 10:30", operatingSystemUser(), "Site", "OLD", "NEW"}));
    EXPECT_EQ(history->currentIndex().row(), 2) << "the latest change is chosen";
    EXPECT_TRUE(c<QPlainTextEdit>("txtHistoryDetail")->toPlainText().startsWith("Site\n\nOld value:\nOLD"));

    click("cmdNext");
    EXPECT_EQ(entries->rowCount(), 0) << "the next record has no history";
    t.prompter.answer(MsgAnswer::Yes);
    click("cmdDelete");
    c<QCheckBox>("chkDeletedRecords")->click();
    ASSERT_EQ(entries->rowCount(), 1);
    EXPECT_EQ(entries->headerData(0, Qt::Horizontal).toString(), "Deleted");
    EXPECT_EQ(entries->index(0, 2).data().toString(), "Tree ID 6, GIBI-GINKGO, DBH 14, 05/12/2009, 12 ELM ST");
    history->setCurrentIndex(entries->index(0, 0));
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

} // namespace
