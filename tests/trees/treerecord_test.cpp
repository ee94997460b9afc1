// The work of the Tree editor that touches no window: risk rating,
// corrective-action list, the required fields, the delete question, counts
// and the values a corrected record is stored with.

#include "trees/treerecord.h"

#include <QLocale>

#include <gtest/gtest.h>

using namespace kolva;

namespace {

TEST(RiskRating, IsTheSumOfTheDigitsTheAnswersBeginWith)
{
    const struct {
        std::array<QString, 4> answers;
        const char* rating;
    } cases[] = {
        {{"2. 4 to 20 in ", "0. None ", "", "3. Frequent Use "}, "5"},
        {{"", "", "", ""}, "0"},
        {{"", "", "", "7. Worst "}, "7"},
        {{"4. A", "4. B", "4. C", "4. D"}, "16"},
        {{"10. Only the first digit counts", "", "", ""}, "1"},
        {{"3. High ", "Typed by hand", "", ""}, "0"},
        {{"Typed", "3. High ", "3. High ", "3. High "}, "0"},
        {{" 2. A leading blank is not a digit", "1. Low ", "", ""}, "0"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(riskRatingText(c.answers), c.rating) << c.answers[0].toStdString() << " / "
                                                       << c.answers[1].toStdString();
}

CorrectiveActionBoxes boxesOf(std::initializer_list<int> ticked)
{
    CorrectiveActionBoxes boxes{};
    for (int i : ticked)
        boxes[size_t(i)] = true;
    return boxes;
}

TEST(CorrectiveActions, TheTextListsTheCodesOfTheTickedBoxesAscending)
{
    const struct {
        CorrectiveActionBoxes boxes;
        const char* text;
    } cases[] = {
        {boxesOf({}), ""},
        {boxesOf({0}), "1"},
        {boxesOf({0, 4, 10}), "1,5,11"},
        {boxesOf({9, 2}), "3,10"},
        {boxesOf({0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10}), "1,2,3,4,5,6,7,8,9,10,11"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(correctiveActionText(c.boxes), c.text);
}

TEST(CorrectiveActions, TheBoxesOfAStoredListTickEachCodeFound)
{
    const struct {
        const char* stored;
        CorrectiveActionBoxes boxes;
        const char* rewritten;
    } cases[] = {
        {"", boxesOf({}), ""},
        {"3, 1,3", boxesOf({0, 2}), "1,3"},
        {"12", boxesOf({}), ""},
        {"1,5,11", boxesOf({0, 4, 10}), "1,5,11"},
        {" 2 , 7 ", boxesOf({1, 6}), "2,7"},
        {"1 1", boxesOf({10}), "11"}, // blanks inside a number are ignored
        {"3a,x4", boxesOf({2}), "3"}, // reading stops at a letter; a piece without a number is 0
        {"2.0,4.5", boxesOf({1}), "2"},
        {"0,-1,,", boxesOf({}), ""},
        {"11,10,9", boxesOf({8, 9, 10}), "9,10,11"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(correctiveActionBoxes(c.stored), c.boxes) << c.stored;
        EXPECT_EQ(correctiveActionText(correctiveActionBoxes(c.stored)), c.rewritten) << c.stored;
    }
}

TEST(TreeChecks, TheTreeIdIsTestedBeforeTheSurveyorAndNeitherIsTrimmed)
{
    const struct {
        const char* treeId;
        const char* surveyor;
        TreeCheck check;
    } cases[] = {
        {"", "", TreeCheck::MissingTreeId},     {"", "J SMITH", TreeCheck::MissingTreeId},
        {"12", "", TreeCheck::MissingSurveyor}, {"  ", "", TreeCheck::MissingSurveyor},
        {"12", " ", TreeCheck::Ok},             {"12", "J SMITH", TreeCheck::Ok},
    };
    for (const auto& c : cases)
        EXPECT_EQ(checkTreeRecord(c.treeId, c.surveyor), c.check) << '"' << c.treeId << "\" \"" << c.surveyor << '"';

    const MessageRequest id = treeCheckMessage(TreeCheck::MissingTreeId);
    EXPECT_EQ(id.text, "Please enter a Tree ID");
    EXPECT_EQ(id.caption, "Missing ID");
    const MessageRequest surveyor = treeCheckMessage(TreeCheck::MissingSurveyor);
    EXPECT_EQ(surveyor.text, "Please enter a Surveyor");
    EXPECT_EQ(surveyor.caption, "Missing Surveyor");
    for (const MessageRequest& m : {id, surveyor}) {
        EXPECT_EQ(m.icon, MsgIcon::Exclamation);
        EXPECT_EQ(m.buttons, MsgButtons::Ok);
    }
}

TEST(DeleteQuestion, NamesTheTreeAndTheDayItWasSurveyedInEnglish)
{
    // Whatever language the desktop speaks, the weekday is English.
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    const struct {
        QVariant treeId, species, dbh, date;
        const char* text;
    } cases[] = {
        {12, "Red Maple", 14, "2009-05-12 14:20:00",
         "Delete Tree ID:12, (Red Maple DBH=14)\nsurveyed on Tuesday, 05/12/2009?"},
        {7, "ACRU-RED MAPLE", 3, "2008-01-06 00:00:00",
         "Delete Tree ID:7, (ACRU-RED MAPLE DBH=3)\nsurveyed on Sunday, 01/06/2008?"},
        {QVariant(), QVariant(), QVariant(), QVariant(), "Delete Tree ID:, ( DBH=)\nsurveyed on ?"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(deleteTreeQuestion(c.treeId, c.species, c.dbh, c.date), c.text);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    const MessageRequest m = deleteTreeMessage(12, "Red Maple", 14, "2009-05-12 14:20:00");
    EXPECT_EQ(m.caption, "Confirm Delete");
    EXPECT_EQ(m.icon, MsgIcon::Question);
    EXPECT_EQ(m.buttons, MsgButtons::YesNo);
    EXPECT_EQ(m.defaultButton, MsgAnswer::No);
}

TEST(EntryCount, SeparatesThousandsWithCommas)
{
    const struct {
        qint64 count;
        const char* text;
    } cases[] = {{0, "0"}, {7, "7"}, {999, "999"}, {1000, "1,000"}, {1234, "1,234"}, {100000, "100,000"},
                 {1234567, "1,234,567"}};
    for (const auto& c : cases)
        EXPECT_EQ(formatEntryCount(c.count), c.text);
}

TEST(StoredValues, AreWhatTheControlsShowInTheTypeOfTheirColumn)
{
    const auto column = [](const char* name) { return *findTreeColumn(name); };
    const struct {
        const char* column;
        const char* shown;
        QVariant original;
        QVariant stored;
    } cases[] = {
        {"DBH", "14", 20, qlonglong(14)},
        {"DBH", "14.0", 20, qlonglong(14)},
        {"DBH", "0", QVariant(), qlonglong(0)},
        {"Tree_ID", "123456789", 1, qlonglong(123456789)},
        {"Tree_ID", "-2147483648", 1, qlonglong(-2147483648LL)},
        {"Hazard_Rating", "32767", 1, qlonglong(32767)},
        {"Date_Evaluated", "2009-05-13", "2009-05-12 14:20:00", "2009-05-13 14:20:00"},
        {"Date_Evaluated", "2009-05-13", QVariant(), "2009-05-13 00:00:00"},
        {"StreetName", "O'NEIL ST", "ELM ST", "O'NEIL ST"},
        {"Note", "", "old", ""},
    };
    for (const auto& c : cases)
        EXPECT_EQ(storedValue(column(c.column), c.shown, c.original), c.stored) << c.column << " " << c.shown;
    EXPECT_TRUE(storedValue(column("DBH"), "", 14).isNull()) << "an emptied number is stored as null";
    EXPECT_TRUE(storedValue(column("Date_Evaluated"), "", "2009-05-12 14:20:00").isNull());
}

TEST(StoredValues, ANumberThatDoesNotFitItsColumnIsRefusedWithItsFieldAndValue)
{
    const struct {
        const char* column;
        const char* shown;
        const char* label;
    } cases[] = {
        {"DBH", "99999", "DBH"},
        {"DBH", "14.5", "DBH"},
        {"DBH", "1.2.3", "DBH"},
        {"Tree_ID", "99999999999", "Tree ID"},
        {"TrunkDecay_Pct", "40000", "% Open"},
        {"Hazard_Rating", "-32769", "Risk Rating"},
    };
    for (const auto& c : cases) {
        try {
            storedValue(*findTreeColumn(c.column), c.shown, QVariant());
            ADD_FAILURE() << c.column << " " << c.shown << " was not refused";
        } catch (const TreeRecordRefused& refused) {
            EXPECT_EQ(refused.column(), c.column);
            EXPECT_TRUE(refused.userMessage().contains(c.label)) << refused.userMessage().toStdString();
            EXPECT_TRUE(refused.userMessage().contains(QStringLiteral("\"%1\"").arg(c.shown)))
                << refused.userMessage().toStdString();
        }
    }
}

} // namespace
