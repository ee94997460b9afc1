// The risk question editor: reading and rewriting Risk_Rating, and its window.

#include "tests/app/apptest.h"
#include "tests/support/dbrules.h"
#include "tests/trees/treetestdata.h"
#include "trees/frmEditTree.h"
#include "trees/frmRating.h"
#include "trees/riskquestions.h"

#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class RiskQuestionsTest : public ::testing::Test {
protected:
    TestContext t;
};

TEST_F(RiskQuestionsTest, ReadingTakesOffTheBlankThatSavingAddsAndNamesTheRowsNoBoxShows)
{
    setRiskRows(*t.db, {{1, -1, "Size "},
                        {1, 0, "Two blanks  "},
                        {1, 7, "No blank"},
                        {2, -1, "A title far longer than twenty-five characters "},
                        {2, 5, "Only box five "},
                        {5, 1, "Question five "},
                        {3, 8, "Order eight "},
                        {2, 5, "Box five again "}});
    const RiskQuestionTable table = readRiskQuestionTable(*t.db);
    const RiskQuestions& q = table.questions;
    EXPECT_EQ(q.titles[0], "Size");
    EXPECT_EQ(q.responses[0][0], "Two blanks ");
    EXPECT_EQ(q.responses[0][7], "No blank");
    EXPECT_EQ(q.titles[1], "A title far longer than twenty-five characters") << "read whole, never cut";
    EXPECT_EQ(q.responses[1][5], "Only box five") << "the first of two rows of one box";
    EXPECT_EQ(q.titles[2], "");
    EXPECT_EQ(table.hiddenRows, (QStringList{"answer 1 of question 5 \"Question five\"",
                                             "answer 8 of question 3 \"Order eight\"",
                                             "a second row for answer 5 of question 2 \"Box five again\""}));
    EXPECT_TRUE(hiddenRiskRowsNote(table.hiddenRows).contains("kept as they are"));
    EXPECT_EQ(hiddenRiskRowsNote({}), "");
}

TEST_F(RiskQuestionsTest, SavingWithoutEditsWritesNothingAndAnEditKeepsTheRowsNoBoxShows)
{
    setRiskRows(*t.db, {{1, -1, "Size "}, {1, 2, "Medium "}, {1, 9, "Answer nine "}, {5, 1, "Question five "},
                        {1, 2, "Medium again "}, {2, 1, "Low"}});
    const QStringList before = riskRows(*t.db);
    refuseWrites(*t.db, "no_writes", Write::Update, "Risk_Rating", "written");
    const RiskQuestionTable read = readRiskQuestionTable(*t.db);
    writeRiskQuestions(*t.db, read, read.questions);
    EXPECT_EQ(riskRows(*t.db), before);
    allowWrites(*t.db, "no_writes", "Risk_Rating");

    RiskQuestions edited = read.questions;
    edited.responses[0][2] = "Middling";
    edited.responses[0][3] = "Large";
    edited.responses[1][1] = "  ";
    edited.titles[2] = "New question";
    writeRiskQuestions(*t.db, read, edited);
    EXPECT_EQ(riskRows(*t.db), (QStringList{"1|-1|Size ", "1|2|Medium again ", "1|2|Middling ", "1|3|Large ",
                                            "1|9|Answer nine ", "2|-1| ", "3|-1|New question ",
                                            "5|1|Question five "}))
        << "question 2 lost its only answer and got the title row it lacked";
}

TEST_F(RiskQuestionsTest, SavingWritesATitleRowAndOneRowPerFilledBox)
{
    setRiskRows(*t.db, {});
    const RiskQuestionTable empty = readRiskQuestionTable(*t.db);
    RiskQuestions q;
    q.titles = {"Size", "", "Owner's tree", "   "};
    q.responses[0][0] = "None";
    q.responses[0][3] = " Padded ";
    q.responses[0][4] = "   ";
    q.responses[1][5] = "Only box five";
    q.responses[2][1] = "It's near the school";
    writeRiskQuestions(*t.db, empty, q);
    EXPECT_EQ(riskRows(*t.db), (QStringList{"1|-1|Size ", "1|0|None ", "1|3| Padded  ", "2|-1| ", "2|5|Only box five ",
                                            "3|-1|Owner's tree ", "3|1|It's near the school ", "4|-1|    "}));
    q.responses[0][4].clear(); // a blank box is not stored
    EXPECT_EQ(readRiskQuestions(*t.db), q) << "what is saved reads back the same";
}

TEST_F(RiskQuestionsTest, AFailedSaveLeavesTheOldQuestionsAndTellsTheError)
{
    const QStringList before = riskRows(*t.db);
    refuseWrites(*t.db, "refuse_q3", Write::Insert, "Risk_Rating", "the table is full", "NEW.Risk_Question_Num = 3");
    const RiskQuestionTable read = readRiskQuestionTable(*t.db);
    RiskQuestions q = read.questions;
    q.titles[0] = "Changed";
    q.responses[2][7] = "Seven";
    try {
        writeRiskQuestions(*t.db, read, q);
        ADD_FAILURE() << "the save did not fail";
    } catch (const DbError& error) {
        const MessageRequest m = riskQuestionSaveErrorMessage(error);
        EXPECT_TRUE(QRegularExpression("^Err #[0-9A-Z]+ - the table is full$").match(m.text).hasMatch()) << m.text.toStdString();
        EXPECT_EQ(m.caption, "Error!");
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
    EXPECT_EQ(riskRows(*t.db), before);
}

TEST_F(RiskQuestionsTest, ASaveWritesOnlyTheRowItReadAndNeverOverAnothersChange)
{
    setRiskRows(*t.db, {{1, -1, "Size "}, {1, 0, "Low "}, {1, 0, "Low "}, {2, -1, "Chance "}, {2, 5, "Often "}});
    // A box whose row has a twin changes its own row only.
    const RiskQuestionTable read = readRiskQuestionTable(*t.db);
    RiskQuestions edited = read.questions;
    edited.responses[0][0] = "Little";
    writeRiskQuestions(*t.db, read, edited);
    EXPECT_EQ(riskRows(*t.db),
              (QStringList{"1|-1|Size ", "1|0|Little ", "1|0|Low ", "2|-1|Chance ", "2|5|Often "}));

    // Rows another program changed, deleted or added since they were read.
    const struct {
        const char* meanwhile;
        int question;
        int box; // -1 the title
        const char* typed;
        const char* told;
    } cases[] = {
        {"UPDATE Risk_Rating SET Description='Seldom ' WHERE Risk_Question_Num=2 AND Risk_Order=5", 2, 5, "Always",
         "answer 5 of question 2: now \"Seldom\", read as \"Often\""},
        {"UPDATE Risk_Rating SET Description='often ' WHERE Risk_Question_Num=2 AND Risk_Order=5", 2, 5, "",
         "answer 5 of question 2: now \"often\", read as \"Often\""},
        {"DELETE FROM Risk_Rating WHERE Risk_Question_Num=2 AND Risk_Order=-1", 2, -1, "Likelihood",
         "the title of question 2: now (no row), read as \"Chance\""},
        {"INSERT INTO Risk_Rating VALUES (3,2,'Near ')", 3, 2, "Far",
         "answer 2 of question 3: now \"Near\", read as (no row)"},
    };
    for (const auto& c : cases) {
        setRiskRows(*t.db, {{1, -1, "Size "}, {1, 0, "Low "}, {2, -1, "Chance "}, {2, 5, "Often "}});
        const RiskQuestionTable before = readRiskQuestionTable(*t.db);
        RiskQuestions mine = before.questions;
        mine.titles[0] = "Size of the defect"; // written first, then undone
        if (c.box < 0)
            mine.titles[size_t(c.question - 1)] = c.typed;
        else
            mine.responses[size_t(c.question - 1)][size_t(c.box)] = c.typed;
        t.db->exec(c.meanwhile);
        const QStringList meanwhile = riskRows(*t.db);
        try {
            writeRiskQuestions(*t.db, before, mine);
            ADD_FAILURE() << "saved over: " << c.meanwhile;
        } catch (const RiskQuestionsChanged& changed) {
            EXPECT_EQ(changed.changes(), QStringList{c.told}) << c.meanwhile;
            const MessageRequest m = riskQuestionsChangedMessage(changed);
            EXPECT_TRUE(m.text.contains(c.told));
            EXPECT_EQ(m.buttons, MsgButtons::YesNo);
        }
        EXPECT_EQ(riskRows(*t.db), meanwhile) << "nothing written: " << c.meanwhile;
    }
}

// The window, opened from the Main window.
class RatingWindowTest : public AppTest {
protected:
    frmRating* openRating()
    {
        main = start();
        if (!main)
            return nullptr;
        main->menuItem("mnuRating")->trigger();
        settle();
        return qobject_cast<frmRating*>(openWindow("frmRating"));
    }
    QLineEdit* box(QWidget* w, const QString& name) { return child<QLineEdit>(w, name); }
    Database& db() { return session->context().db; }

    frmMain* main = nullptr;
};

TEST_F(RatingWindowTest, ShowsTheStoredQuestionsInItsBoxes)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    EXPECT_FALSE(main->isVisible()) << "the Main window hides";
    EXPECT_FALSE(w->isModal());
    EXPECT_EQ(w->windowTitle(), "Customize Risk Rating ");
    auto* tabs = child<QTabWidget>(w, "SSTab1");
    ASSERT_EQ(tabs->count(), 4);
    for (int i = 0; i < 4; ++i)
        EXPECT_EQ(tabs->tabText(i), QString::number(i + 1));
    EXPECT_EQ(box(w, "txtQ1_Label")->text(), "Size of Defective Part");
    EXPECT_EQ(box(w, "txtQ1_Response(2)")->text(), "4 to 20 in");
    EXPECT_EQ(box(w, "txtQ1_Response(0)")->text(), "");
    EXPECT_EQ(box(w, "txtQ4_Response(0)")->text(), "None");
    EXPECT_EQ(box(w, "txtQ3_Label")->text(), "Prob. of Target Impact");
    for (int q = 1; q <= 4; ++q) {
        EXPECT_EQ(box(w, QString("txtQ%1_Label").arg(q))->maxLength(), 25);
        for (int r = 0; r < 8; ++r) {
            QLineEdit* response = box(w, QString("txtQ%1_Response(%2)").arg(q).arg(r));
            EXPECT_EQ(response->maxLength(), 25);
            EXPECT_FALSE(response->accessibleName().isEmpty());
            EXPECT_EQ(child<QLabel>(w, QString("lblQ%1_Response(%2)").arg(q).arg(r))->text(), QString::number(r));
        }
        EXPECT_EQ(child<QLabel>(w, QString("lblQ%1_Note").arg(q))->text(),
                  "Any response alternative left BLANK will NOT appear on the PDA");
    }
    EXPECT_EQ(child<QLabel>(w, "lblExplanation")->text(),
              "The Risk Rating consists of  FOUR questions.  You may re-define the title and the content of each "
              "question.   All FOUR questions will appear on the PDA screen.   If you wish NOT to use one or  more of "
              "the questions,  just delete all the response alternatives and, while it WILL show on the PDA, that "
              "question will  NOT be counted in the calculated Risk Rating.");
    EXPECT_EQ(child<QPushButton>(w, "cmdExit")->text(), "E&xit and Save Changes");
    EXPECT_EQ(child<QPushButton>(w, "cmdCancel")->text(), "Exit and &Discard Changes") << "an access key of its own";
    EXPECT_FALSE(child<QLabel>(w, "lblHiddenRows")->isVisible());
}

TEST_F(RatingWindowTest, SavingStoresTheEditsClosesAndTheTreeEditorOffersThem)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    box(w, "txtQ2_Label")->setText("Chance it breaks");
    for (int r = 0; r < 8; ++r)
        box(w, QString("txtQ2_Response(%1)").arg(r))->clear();
    QTest::keyClicks(box(w, "txtQ2_Response(5)"), "Owner's worry");
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmRating"), nullptr);
    EXPECT_TRUE(main->isVisible()) << "the Main window shows again";
    const QStringList rows = riskRows(db());
    EXPECT_TRUE(rows.contains("2|-1|Chance it breaks "));
    EXPECT_TRUE(rows.contains("2|5|Owner's worry "));
    EXPECT_FALSE(rows.contains("2|1|Low "));
    EXPECT_TRUE(rows.contains("1|-1|Size of Defective Part ")) << "untouched questions stay as they were";

    addTree(db());
    frmEditTree editor(session->context());
    editor.show();
    settle();
    EXPECT_EQ(child<QLabel>(&editor, "lblRiskTitle_2")->text(), "Chance it breaks ");
    auto* answers = child<QComboBox>(&editor, "cboRisk2");
    ASSERT_EQ(answers->count(), 1);
    EXPECT_EQ(answers->itemText(0), "5. Owner's worry ");
    editor.close();
}

TEST_F(RatingWindowTest, TellsOfTheRowsItCannotShowAndKeepsThem)
{
    setRiskRows(*Database::open(databasePath()), {{1, -1, "Size "}, {1, 9, "Answer nine "}, {5, 1, "Question five "}});
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    auto* note = child<QLabel>(w, "lblHiddenRows");
    EXPECT_TRUE(note->isVisible());
    EXPECT_TRUE(note->text().contains("answer 9 of question 1 \"Answer nine\"")) << note->text().toStdString();
    EXPECT_TRUE(note->text().contains("answer 1 of question 5 \"Question five\""));
    QTest::keyClicks(box(w, "txtQ1_Response(1)"), "Small");
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_EQ(riskRows(db()), (QStringList{"1|-1|Size ", "1|1|Small ", "1|9|Answer nine ", "5|1|Question five "}));
}

TEST_F(RatingWindowTest, DiscardingLeavesTheTableAsItWas)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    const QStringList before = riskRows(db());
    box(w, "txtQ1_Label")->setText("Something else");
    box(w, "txtQ3_Response(7)")->setText("New answer");
    QTest::mouseClick(child(w, "cmdCancel"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmRating"), nullptr);
    EXPECT_TRUE(main->isVisible());
    EXPECT_EQ(riskRows(db()), before);
}

TEST_F(RatingWindowTest, ASaveThatMeetsAnothersChangeSaysSoAndKeepsTheWindowOpen)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    // Another program renames answer 1 of question 2 and the title of question 3.
    db().exec("UPDATE Risk_Rating SET Description='Rarely ' WHERE Risk_Question_Num=2 AND Risk_Order=1");
    db().exec("UPDATE Risk_Rating SET Description='Target ' WHERE Risk_Question_Num=3 AND Risk_Order=-1");
    QLineEdit* answer = box(w, "txtQ2_Response(1)");
    answer->selectAll();
    QTest::keyClicks(answer, "Seldom");
    prompter.answer(MsgAnswer::No);
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_EQ(prompter.last().message.caption, "Error!");
    EXPECT_TRUE(prompter.last().message.text.contains("answer 1 of question 2: now \"Rarely\""))
        << prompter.last().message.text.toStdString();
    EXPECT_TRUE(riskRows(db()).contains("2|1|Rarely "));
    EXPECT_EQ(openWindow("frmRating"), w) << "not closed as if saved";
    EXPECT_TRUE(w->isEnabled());
    EXPECT_EQ(answer->text(), "Seldom") << "No keeps the edit";
    EXPECT_EQ(box(w, "txtQ3_Label")->text(), "Target") << "a box the user left shows the stored text";

    // Saving again, the user's text goes over the other change.
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    EXPECT_EQ(openWindow("frmRating"), nullptr);
    EXPECT_TRUE(riskRows(db()).contains("2|1|Seldom "));
    EXPECT_TRUE(riskRows(db()).contains("3|-1|Target "));
}

TEST_F(RatingWindowTest, AFailedSaveIsReportedKeepsTheOldQuestionsAndCloses)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    const QStringList before = riskRows(db());
    refuseWrites(db(), "refuse_q3", Write::Insert, "Risk_Rating", "the table is full", "NEW.Risk_Question_Num = 3");
    box(w, "txtQ1_Label")->setText("Changed");
    box(w, "txtQ3_Response(7)")->setText("Seven");
    prompter.answer(MsgAnswer::Ok);
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_TRUE(QRegularExpression("^Err #[0-9A-Z]+ - the table is full$").match(prompter.last().message.text).hasMatch())
        << prompter.last().message.text.toStdString();
    EXPECT_EQ(prompter.last().message.caption, "Error!");
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_EQ(riskRows(db()), before);
    EXPECT_EQ(openWindow("frmRating"), nullptr);
    EXPECT_TRUE(main->isVisible());
}

} // namespace
