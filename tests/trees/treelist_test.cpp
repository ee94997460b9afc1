// The list of the Tree editor: its sort orders and street filter, the grid's
// columns, reading rows page by page, and the entries of its lists.

#include "tests/support/testcontext.h"
#include "tests/trees/treetestdata.h"
#include "trees/treelist.h"
#include "trees/treelookups.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

class TreeListTest : public ::testing::Test {
protected:
    // Six records, each known by its house number.
    void addSix()
    {
        addTree(*t.db, {{"StreetNum", "r1"}, {"Tree_ID", 3}, {"Date_Evaluated", "2009-01-02 09:00:00"},
                        {"Species", "Birch"}, {"Hazard_Rating", 5}, {"Surveyor", "ZED"}, {"StreetName", "O'NEIL ST"}});
        addTree(*t.db, {{"StreetNum", "r2"}, {"Tree_ID", 1}, {"Date_Evaluated", "2009-03-01 09:00:00"},
                        {"Species", "ash"}, {"Hazard_Rating", 9}, {"Surveyor", "AMY"}});
        addTree(*t.db, {{"StreetNum", "r3"}, {"Tree_ID", 2}, {"Date_Evaluated", "2008-12-31 09:00:00"},
                        {"Species", "Cedar"}, {"Hazard_Rating", 9}, {"Surveyor", "amy"}, {"StreetName", "O'NEIL ST"}});
        addTree(*t.db, {{"StreetNum", "r4"}, {"Tree_ID", 1}, {"Date_Evaluated", "2008-06-01 09:00:00"},
                        {"Species", "Cedar"}, {"Hazard_Rating", 2}, {"Surveyor", "BOB"}});
        addTree(*t.db, {{"StreetNum", "r5"}, {"Tree_ID", 10}, {"Date_Evaluated", "2009-01-02 08:00:00"},
                        {"Species", "Ash"}, {"Hazard_Rating", 11}, {"Surveyor", "BOB"}, {"StreetName", "O'NEIL ST"}});
        addTree(*t.db, {{"StreetNum", "r6"}, {"Tree_ID", 2}, {"Date_Evaluated", "2009-01-02 08:00:00"},
                        {"Species", "Birch"}, {"Hazard_Rating", 2}, {"Surveyor", "AMY"}});
    }
    // The house numbers of the list, in its order.
    QStringList order(const TreeListSource& source)
    {
        TreeListModel model(*t.db);
        model.setSource(source);
        QStringList numbers;
        for (int row = 0; row < model.rowCount(); ++row)
            numbers << model.data(model.index(row, 9)).toString();
        return numbers;
    }

    TestContext t;
};

TEST_F(TreeListTest, EachSortOptionOrdersTheRecordsByItsKeys)
{
    addSix();
    const struct {
        int option;
        QStringList order;
    } cases[] = {
        {-1, {"r4", "r2", "r3", "r6", "r1", "r5"}}, // the order the editor opens with: by tree number
        {0, {"r4", "r2", "r3", "r6", "r1", "r5"}},  // tree number (10 after 2), then date
        {1, {"r5", "r2", "r6", "r1", "r4", "r3"}},  // species without regard to case, then date
        {2, {"r4", "r3", "r6", "r5", "r1", "r2"}},  // date and time, then tree number
        {3, {"r4", "r3", "r5", "r6", "r1", "r2"}},  // date and time, then species
        {4, {"r5", "r2", "r3", "r1", "r4", "r6"}},  // highest rating first, then tree number
        {5, {"r3", "r6", "r2", "r4", "r5", "r1"}},  // surveyor, date, tree number
    };
    for (const auto& c : cases)
        EXPECT_EQ(order({c.option, {}}), c.order) << "option " << c.option;
}

TEST_F(TreeListTest, TheStreetFilterKeepsTheRecordsOfOneStreetInTheChosenOrder)
{
    addSix();
    EXPECT_EQ(order({0, "O'NEIL ST"}), (QStringList{"r3", "r1", "r5"}));
    EXPECT_EQ(order({4, "O'NEIL ST"}), (QStringList{"r5", "r3", "r1"}));
    EXPECT_EQ(order({0, "o'neil st"}), (QStringList{"r3", "r1", "r5"})) << "names compare without regard to case";
    EXPECT_EQ(order({0, "PARK DR"}), QStringList());
    EXPECT_EQ(order({0, "O'NEIL ST' OR 'a'='a"}), QStringList()) << "the name is a value, not SQL";
}

TEST_F(TreeListTest, TheGridShowsTenColumnsWithDatesAsMonthDayYear)
{
    addTree(*t.db, {{"Tree_ID", 12}, {"Date_Evaluated", "2009-05-12 14:20:00"}, {"Species", "Red Maple"}, {"DBH", 14},
                    {"Site", "4 FT LAWN"}, {"Location", "Front"}, {"Hazard_Rating", 7}, {"Surveyor", "J SMITH"},
                    {"StreetName", "O'NEIL ST"}, {"StreetNum", "1410"}});
    addTree(*t.db, {{"Tree_ID", 13}, {"Species", QVariant()}, {"DBH", QVariant()}, {"Date_Evaluated", QVariant()}});
    TreeListModel model(*t.db);
    model.setSource({0, {}});
    ASSERT_EQ(model.rowCount(), 2);
    ASSERT_EQ(model.columnCount(), 10);
    const QStringList captions = {"Tree ID", "Date", "Species", "DBH", "Site", "Loc.", "Risk", "Surveyor",
                                  "Street Nsame", "Addr # "};
    const QStringList cells = {"12", "05/12/2009", "Red Maple", "14", "4 FT LAWN", "Front", "7", "J SMITH",
                               "O'NEIL ST", "1410"};
    const int widths[] = {850, 1000, 2000, 500, 1200, 1200, 700, 1250, 2300, 850};
    const bool centred[] = {false, false, false, true, true, true, true, false, false, false};
    for (int c = 0; c < 10; ++c) {
        EXPECT_EQ(model.headerData(c, Qt::Horizontal).toString(), captions[c]);
        EXPECT_EQ(model.data(model.index(0, c)).toString(), cells[c]) << captions[c].toStdString();
        EXPECT_EQ(treeGridColumns()[size_t(c)].widthTwips, widths[c]);
        const auto alignment = model.data(model.index(0, c), Qt::TextAlignmentRole).value<Qt::Alignment>();
        EXPECT_EQ(bool(alignment & Qt::AlignHCenter), centred[c]) << captions[c].toStdString();
    }
    for (int c : {1, 2, 3})
        EXPECT_EQ(model.data(model.index(1, c)).toString(), "") << "a null shows an empty cell";
}

TEST_F(TreeListTest, RowsAreReadInPagesAndOnlyAFewPagesAreHeld)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 1050; ++i)
            addTree(*t.db, {{"Tree_ID", i + 1}, {"StreetNum", QString::number(i + 1)}});
        batch.commit();
    }
    TreeListModel model(*t.db);
    model.setSource({0, {}});
    ASSERT_EQ(model.rowCount(), 1050);
    EXPECT_EQ(model.cachedPageCount(), 0) << "nothing is read before it is shown";
    for (int row = 0; row < model.rowCount(); ++row)
        ASSERT_EQ(model.data(model.index(row, 0)).toInt(), row + 1);
    EXPECT_LE(model.cachedPageCount(), TreeListModel::CachedPages);
    EXPECT_EQ(model.data(model.index(0, 9)).toString(), "1") << "a page let go is read again";
    EXPECT_EQ(model.data(model.index(1049, 9)).toString(), "1050");
}

TEST_F(TreeListTest, AChangedRowShowsItsNewValuesAfterRowChanged)
{
    const qint64 id = addTree(*t.db, {{"Species", "Red Maple"}});
    TreeListModel model(*t.db);
    model.setSource({0, {}});
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), "Red Maple");
    t.db->exec("UPDATE _Archived_SurveyData SET Species='Pin Oak' WHERE ID=?", {id});
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), "Red Maple") << "held until told";
    model.rowChanged(0);
    EXPECT_EQ(model.data(model.index(0, 2)).toString(), "Pin Oak");
    EXPECT_EQ(model.rowOf(id), 0);
    EXPECT_EQ(model.idAt(0), id);
}

TEST_F(TreeListTest, AReferenceListUnitesTheTableAndTheStoredValuesSortedAndOnce)
{
    t.db->exec("DELETE FROM Surveyors");
    for (const char* name : {"AMY", "ZED", "bob"})
        t.db->exec("INSERT INTO Surveyors (Description) VALUES (?)", {name});
    for (const QVariant& name : {QVariant("amy"), QVariant("CARL"), QVariant(), QVariant(""), QVariant("ZED")})
        addTree(*t.db, {{"Surveyor", name}, {"StreetName", QVariant()}, {"Species", QVariant()},
                        {"RiskZone", QVariant()}});
    addTree(*t.db, {{"StreetName", "O'NEIL ST"}, {"Species", "Red Maple"}, {"RiskZone", "HOSPITAL"}});

    const QStringList surveyors = readReferenceList(*t.db, ReferenceList::Surveyors);
    EXPECT_EQ(surveyors.join(',').toUpper(), "AMY,BOB,CARL,J SMITH,ZED") << surveyors.join(',').toStdString();
    EXPECT_EQ(readReferenceList(*t.db, ReferenceList::Streets),
              (QStringList{"ELM ST", "MAIN ST", "O'NEIL ST", "OAK AVE", "PARK DR"}));
    const QStringList species = readReferenceList(*t.db, ReferenceList::Species);
    EXPECT_TRUE(species.contains("Red Maple"));
    EXPECT_TRUE(species.contains("ACRU-RED MAPLE"));
    EXPECT_TRUE(std::is_sorted(species.begin(), species.end(),
                               [](const QString& a, const QString& b) { return a.compare(b, Qt::CaseInsensitive) < 0; }));
    EXPECT_EQ(readReferenceList(*t.db, ReferenceList::RiskZones),
              (QStringList{"ARTERIAL ROADS", "DOWNTOWN", "HOSPITAL", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"}));
}

TEST_F(TreeListTest, ARiskQuestionListsItsAnswersUnderItsTitle)
{
    setRiskRows(*t.db, {{1, -1, "Size "}, {1, 2, "Medium "}, {1, 0, "None "}, {2, -1, "Empty question "},
                        {3, -1, "Gap "}, {3, 5, "Only box five "}});
    const struct {
        int question;
        const char* title;
        QStringList entries;
    } cases[] = {
        {1, "Size ", {"0. None ", "2. Medium "}},
        {2, "Empty question ", {}},
        {3, "Gap ", {"5. Only box five "}},
        {4, "** UNDEFINED **", {}},
    };
    for (const auto& c : cases) {
        const RiskQuestionList list = readRiskQuestionList(*t.db, c.question);
        EXPECT_EQ(list.title, c.title);
        EXPECT_EQ(list.entries, c.entries) << "question " << c.question;
    }
}

} // namespace
