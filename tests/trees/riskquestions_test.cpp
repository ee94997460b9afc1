// The risk question editor: reading and rewriting Risk_Rating, and its window.

#include "tests/app/apptest.h"
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

TEST_F(RiskQuestionsTest, ReadingTakesOffTheBlankThatSavingAdds)
{
    setRiskRows(*t.db, {{1, -1, "Size "},
                        {1, 0, "Two blanks  "},
                        {1, 7, "No blank"},
                        {2, -1, "A title far longer than twenty-five characters "},
                        {2, 5, "Only box five "},
                        {5, 1, "Question five "},
                        {3, 8, "Order eight "},
                        {3, -2, "Order minus two "}});
    const RiskQuestions q = readRiskQuestions(*t.db);
    EXPECT_EQ(q.titles[0], "Size");
    EXPECT_EQ(q.responses[0][0], "Two blanks ");
    EXPECT_EQ(q.responses[0][7], "No blank");
    EXPECT_EQ(q.titles[1], "A title far longer than twenty-five characters") << "read whole, never cut";
    EXPECT_EQ(q.responses[1][5], "Only box five");
    EXPECT_EQ(q.titles[2], "") << "rows of an order outside -1 to 7 are left out";
    for (const auto& responses : q.responses)
        for (const QString& r : responses)
            EXPECT_FALSE(r.contains("Question five") || r.contains("Order")) << r.toStdString();
}

TEST_F(RiskQuestionsTest, SavingWithoutEditsLeavesTheTableAsItWas)
{
    const QStringList before = riskRows(*t.db);
    ASSERT_FALSE(before.isEmpty()) << "the supplied questions";
    for (int round = 0; round < 3; ++round)
        writeRiskQuestions(*t.db, readRiskQuestions(*t.db));
    EXPECT_EQ(riskRows(*t.db), before);
}

TEST_F(RiskQuestionsTest, SavingWritesATitleRowAndOneRowPerFilledBox)
{
    RiskQuestions q;
    q.titles = {"Size", "", "Owner's tree", "   "};
    q.responses[0][0] = "None";
    q.responses[0][3] = " Padded ";
    q.responses[0][4] = "   ";
    q.responses[1][5] = "Only box five";
    q.responses[2][1] = "It's near the school";
    writeRiskQuestions(*t.db, q);
    EXPECT_EQ(riskRows(*t.db), (QStringList{"1|-1|Size ", "1|0|None ", "1|3| Padded  ", "2|-1| ", "2|5|Only box five ",
                                            "3|-1|Owner's tree ", "3|1|It's near the school ", "4|-1|    "}));
    q.responses[0][4].clear(); // a blank box is not stored
    EXPECT_EQ(readRiskQuestions(*t.db), q) << "what is saved reads back the same";
}

TEST_F(RiskQuestionsTest, AFailedSaveLeavesTheOldQuestionsAndTellsTheError)
{
    const QStringList before = riskRows(*t.db);
    t.db->exec("CREATE TRIGGER refuse_q3 BEFORE INSERT ON Risk_Rating WHEN NEW.Risk_Question_Num = 3 "
               "BEGIN SELECT RAISE(ABORT, 'the table is full'); END");
    RiskQuestions q = readRiskQuestions(*t.db);
    q.titles[0] = "Changed";
    try {
        writeRiskQuestions(*t.db, q);
        ADD_FAILURE() << "the save did not fail";
    } catch (const DbError& error) {
        const MessageRequest m = riskQuestionSaveErrorMessage(error);
        EXPECT_TRUE(QRegularExpression("^Err #\\d+ - the table is full$").match(m.text).hasMatch()) << m.text.toStdString();
        EXPECT_EQ(m.caption, "Error!");
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
    EXPECT_EQ(riskRows(*t.db), before);
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
    EXPECT_EQ(child<QPushButton>(w, "cmdCancel")->text(), "E&xit and Discard Changes");
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

TEST_F(RatingWindowTest, AFailedSaveIsReportedKeepsTheOldQuestionsAndCloses)
{
    frmRating* w = openRating();
    ASSERT_NE(w, nullptr);
    const QStringList before = riskRows(db());
    db().exec("CREATE TRIGGER refuse_q3 BEFORE INSERT ON Risk_Rating WHEN NEW.Risk_Question_Num = 3 "
              "BEGIN SELECT RAISE(ABORT, 'the table is full'); END");
    box(w, "txtQ1_Label")->setText("Changed");
    prompter.answer(MsgAnswer::Ok);
    QTest::mouseClick(child(w, "cmdExit"), Qt::LeftButton);
    settle();
    ASSERT_EQ(prompter.prompts().size(), 1u);
    EXPECT_TRUE(QRegularExpression("^Err #\\d+ - the table is full$").match(prompter.last().message.text).hasMatch())
        << prompter.last().message.text.toStdString();
    EXPECT_EQ(prompter.last().message.caption, "Error!");
    EXPECT_EQ(prompter.last().message.icon, MsgIcon::Exclamation);
    EXPECT_EQ(riskRows(db()), before);
    EXPECT_EQ(openWindow("frmRating"), nullptr);
    EXPECT_TRUE(main->isVisible());
}

} // namespace
