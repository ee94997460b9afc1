// The list of the Tree editor: its sort orders and street filter, the grid's
// columns, reading rows page by page, and the entries of its lists.

#include "tests/support/dbrules.h"
#include "tests/support/testcontext.h"
#include "tests/trees/treetestdata.h"
#include "trees/treelist.h"
#include "trees/treelookups.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

// The sources of the lists the tests read.
TreeListSource byOption(int option, const QString& street = {}, const TreeSearch& search = {})
{
    TreeListSource source;
    source.sortOption = option;
    source.street = street;
    source.search = search;
    return source;
}
TreeListSource byColumn(int column, Qt::SortOrder order = Qt::AscendingOrder)
{
    TreeListSource source;
    source.sortColumn = column;
    source.sortOrder = order;
    return source;
}

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
        EXPECT_EQ(order(byOption(c.option)), c.order) << "option " << c.option;
}

TEST_F(TreeListTest, TheStreetFilterKeepsTheRecordsOfOneStreetInTheChosenOrder)
{
    addSix();
    EXPECT_EQ(order(byOption(0, "O'NEIL ST")), (QStringList{"r3", "r1", "r5"}));
    EXPECT_EQ(order(byOption(4, "O'NEIL ST")), (QStringList{"r5", "r3", "r1"}));
    EXPECT_EQ(order(byOption(0, "o'neil st")), (QStringList{"r3", "r1", "r5"}))
        << "names compare without regard to case";
    EXPECT_EQ(order(byOption(0, "PARK DR")), QStringList());
    EXPECT_EQ(order(byOption(0, "O'NEIL ST' OR 'a'='a")), QStringList()) << "the name is a value, not SQL";
}

TEST_F(TreeListTest, AColumnSortOrdersByThatColumnEitherWay)
{
    addSix();
    t.db->exec("UPDATE _Archived_SurveyData SET DBH = CAST(substr(StreetNum, 2) AS INTEGER) * 7 % 5");
    const struct {
        int column;
        Qt::SortOrder order;
        QStringList list;
    } cases[] = {
        {3, Qt::AscendingOrder, {"r5", "r3", "r1", "r6", "r4", "r2"}}, // DBH 0, 1, 2, 2, 3, 4
        {3, Qt::DescendingOrder, {"r2", "r4", "r1", "r6", "r3", "r5"}}, // ties keep the order of their IDs
        {6, Qt::DescendingOrder, {"r5", "r2", "r3", "r1", "r4", "r6"}},
        {8, Qt::AscendingOrder, {"r2", "r4", "r6", "r1", "r3", "r5"}}, // street, then house number
    };
    for (const auto& c : cases)
        EXPECT_EQ(order(byColumn(c.column, c.order)), c.list) << "column " << c.column;
}

TEST_F(TreeListTest, HouseNumbersSortByTheirValueThenTheirText)
{
    for (const char* number : {"100", "12A", "9", "12", "", "B2"})
        addTree(*t.db, {{"StreetNum", number}});
    EXPECT_EQ(order(byColumn(9)), (QStringList{"", "B2", "9", "12", "12A", "100"}));
    EXPECT_EQ(order(byColumn(9, Qt::DescendingOrder)),
              (QStringList{"100", "12A", "12", "9", "B2", ""}));
}

TEST(TreeSearch, FindsATreeNumberAnAddressOrTheNamesWhoseWordsBeginWithTheText)
{
    const QStringList streets = {"ELM ST", "ELMWOOD AVE", "HELMS RD", "O'NEIL ST", "MAIN ST", "3RD ST", "1ST AVE"};
    const QStringList species = {"ACRU-RED MAPLE", "ACPL-NORWAY MAPLE", "QURU-NORTHERN RED OAK", "Elm"};
    using K = TreeSearch::Kind;
    const struct {
        const char* typed;
        K kind;
        qint64 number;
        const char* house;
        QStringList streets;
        QStringList species;
    } cases[] = {
        {"", K::None, 0, "", {}, {}},
        {"   ", K::None, 0, "", {}, {}},
        {" 12 ", K::TreeNumber, 12, "", {}, {}},
        {"12 elm", K::Address, 0, "12", {"ELM ST", "ELMWOOD AVE"}, {}},
        {"12A  o'neil", K::Address, 0, "12A", {"O'NEIL ST"}, {}},
        {"12 3RD ST", K::Address, 0, "12", {"3RD ST"}, {}},
        {"5 1st ave", K::Address, 0, "5", {"1ST AVE"}, {}},
        {"elm", K::Names, 0, "", {"ELM ST", "ELMWOOD AVE"}, {"Elm"}},
        {"red maple", K::Names, 0, "", {}, {"ACRU-RED MAPLE"}},
        {"Maple", K::Names, 0, "", {}, {"ACRU-RED MAPLE", "ACPL-NORWAY MAPLE"}},
        {"acru", K::Names, 0, "", {}, {"ACRU-RED MAPLE"}},
        {"lms", K::Names, 0, "", {}, {}}, // not the beginning of a word
        {"99999999999", K::Names, 0, "", {}, {}},
    };
    for (const auto& c : cases) {
        const TreeSearch s = parseTreeSearch(c.typed, streets, species);
        EXPECT_EQ(s.kind, c.kind) << c.typed;
        EXPECT_EQ(s.treeNumber, c.number) << c.typed;
        EXPECT_EQ(s.houseNumber, c.house) << c.typed;
        EXPECT_EQ(s.streets, c.streets) << c.typed;
        EXPECT_EQ(s.species, c.species) << c.typed;
    }
}

TEST_F(TreeListTest, ASearchNarrowsTheListInItsOrderAndWithTheStreetFilter)
{
    addSix();
    addTree(*t.db, {{"StreetNum", "r7"}, {"Tree_ID", 10}, {"Species", "Red Maple"}, {"StreetName", "OAK AVE"}});
    addTree(*t.db, {{"StreetNum", "12A"}, {"Tree_ID", 20}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"StreetNum", "12"}, {"Tree_ID", 21}, {"StreetName", "O'NEIL ST"}});
    addTree(*t.db, {{"StreetNum", "12"}, {"Tree_ID", 30}, {"StreetName", "3RD ST"}, {"Species", "Linden"}});
    addTree(*t.db, {{"StreetNum", "5"}, {"Tree_ID", 31}, {"StreetName", "1ST AVE"}, {"Species", "Linden"}});
    const QStringList streets = readReferenceList(*t.db, ReferenceList::Streets);
    const QStringList species = readReferenceList(*t.db, ReferenceList::Species);
    const auto found = [&](const char* typed, const QString& street = {}) {
        return order(byOption(0, street, parseTreeSearch(typed, streets, species)));
    };
    EXPECT_EQ(found("10"), (QStringList{"r5", "r7"}));
    EXPECT_EQ(found("12a o'neil"), (QStringList{"12A"}));
    EXPECT_EQ(found("12 O'NEIL ST"), (QStringList{"12"}));
    EXPECT_EQ(found("12 elm"), QStringList());
    EXPECT_EQ(found("12 3RD ST"), (QStringList{"12"})) << "a numbered street";
    EXPECT_EQ(found("5 1ST AVE"), (QStringList{"5"}));
    EXPECT_EQ(found("cedar"), (QStringList{"r4", "r3"}));
    EXPECT_EQ(found("oak"), (QStringList{"r7"})) << "the street OAK AVE";
    EXPECT_EQ(found("maple"), (QStringList{"r7", "12A", "12"})) << "Red Maple";
    EXPECT_EQ(found("ash", "O'NEIL ST"), (QStringList{"r5"}));
    EXPECT_EQ(found("no such thing"), QStringList());
}

TEST_F(TreeListTest, RowsThatCannotBeReadAreSaidOnceAndReadWhenShownAgain)
{
    {
        Transaction batch(*t.db);
        for (int i = 1; i <= 250; ++i)
            addTree(*t.db, {{"Tree_ID", i}});
        batch.commit();
    }
    const auto quick = Database::open(t.db->path(), 100);
    TreeListModel model(*quick);
    QSignalSpy failed(&model, &TreeListModel::readFailed);
    model.setSource(byOption(0));
    model.finishLoading();
    EXPECT_EQ(model.data(model.index(10, 0)).toInt(), 11);

    // Another program holds the database while rows not read yet are shown.
    DatabaseHeld other(t.db->path());
    EXPECT_EQ(model.data(model.index(240, 0)).toString(), "");
    EXPECT_EQ(model.data(model.index(241, 0)).toString(), "");
    ASSERT_TRUE(failed.wait(2000));
    other.release();
    QCoreApplication::processEvents();
    EXPECT_EQ(failed.count(), 1) << "said once";
    EXPECT_TRUE(failed.at(0).at(0).toString().contains("locked")) << failed.at(0).at(0).toString().toStdString();
    EXPECT_EQ(model.data(model.index(240, 0)).toInt(), 241) << "read when shown again";
}

TEST_F(TreeListTest, ALongListCountsAtOnceAndReadsItsIdsWhileIdle)
{
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 1000; ++i)
            addTree(*t.db, {{"Tree_ID", 1000 - i}});
        batch.commit();
    }
    TreeListModel model(*t.db);
    QSignalSpy loaded(&model, &TreeListModel::loaded);
    model.setSource(byOption(0));
    EXPECT_EQ(model.rowCount(), 1000);
    EXPECT_TRUE(model.isLoading());
    EXPECT_EQ(model.data(model.index(150, 0)).toInt(), 151);
    EXPECT_EQ(model.data(model.index(999, 0)).toInt(), 1000) << "a row not yet read is read when shown";
    EXPECT_TRUE(loaded.wait(5000));
    EXPECT_FALSE(model.isLoading());
    EXPECT_EQ(model.rowOf(model.idAt(500)), 500);

    model.setSource(byOption(4));
    model.removeListRow(150);
    EXPECT_FALSE(model.isLoading()) << "the list is read to its end before it changes";
    EXPECT_EQ(model.rowCount(), 999);
    EXPECT_EQ(model.data(model.index(150, 0)).toInt(), 152);
}

TEST_F(TreeListTest, AFilterThatKeepsManyRecordsReadsThemInTheOrderOfTheWholeList)
{
    // 6,000 records on ELM ST, every seventh on OAK AVE, tree numbers descending.
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 7000; ++i)
            addTree(*t.db, {{"Tree_ID", 7000 - i}, {"StreetName", i % 7 == 3 ? "OAK AVE" : "ELM ST"},
                            {"StreetNum", QString::number(7000 - i)}});
        batch.commit();
    }
    TreeListModel model(*t.db);
    QSignalSpy loaded(&model, &TreeListModel::loaded);
    model.setSource(byOption(0, "ELM ST"));
    ASSERT_EQ(model.rowCount(), 6000);
    // Tree numbers 1 to 7000 in order, without those of OAK AVE (7000 - i with i % 7 == 3).
    std::vector<int> expected;
    for (int n = 1; n <= 7000; ++n) {
        if ((7000 - n) % 7 != 3)
            expected.push_back(n);
    }
    for (int row : {0, 150, 199, 200, 3001, 5999})
        EXPECT_EQ(model.data(model.index(row, 0)).toInt(), expected[size_t(row)]) << "row " << row;
    EXPECT_TRUE(loaded.count() == 1 || loaded.wait(5000));
    EXPECT_EQ(model.idAt(5999), model.idAt(model.rowOf(model.idAt(5999))));
    EXPECT_EQ(model.data(model.index(5998, 9)).toString(), QString::number(expected[5998]));
}

// The IDs of a source in its order, as the engine gives them on this thread.
std::vector<qint64> idsInOrder(Database& db, const TreeListSource& source)
{
    const BoundStatement list = treeListStatement(db, source);
    QSqlQuery q = db.query(list.sql, list.values);
    std::vector<qint64> ids;
    while (q.next())
        ids.push_back(q.value(0).toLongLong());
    return ids;
}

TEST_F(TreeListTest, AnOrderWithoutAnIndexIsSortedOffTheWindowThread)
{
    // 6,001 records: 5,001 on ELM ST, 1,000 on OAK AVE.
    {
        Transaction batch(*t.db);
        for (int i = 0; i < 6001; ++i)
            addTree(*t.db, {{"Tree_ID", i}, {"DBH", (i * 37) % 50}, {"Site", QString("S%1").arg((i * 13) % 97)},
                            {"Location", i % 3 ? "Front" : "side"}, {"StreetNum", QString::number((i * 7919) % 6001)},
                            {"StreetName", i < 5001 ? "ELM ST" : "OAK AVE"}});
        batch.commit();
    }
    const struct {
        int column;
        Qt::SortOrder order;
    } cases[] = {{3, Qt::AscendingOrder}, {4, Qt::DescendingOrder}, {5, Qt::AscendingOrder}, {9, Qt::AscendingOrder}};
    for (const auto& c : cases) {
        TreeListModel model(*t.db);
        QSignalSpy first(&model, &TreeListModel::firstRowsRead);
        QSignalSpy loaded(&model, &TreeListModel::loaded);
        const TreeListSource source = byColumn(c.column, c.order);
        model.setSource(source);
        EXPECT_TRUE(model.isSorting()) << c.column;
        EXPECT_EQ(model.rowCount(), 6001) << "the count shows at once";
        ASSERT_TRUE(loaded.wait(10000)) << c.column;
        EXPECT_EQ(first.count(), 1) << "the first rows came before the whole list";
        EXPECT_FALSE(model.isLoading());
        const std::vector<qint64> expected = idsInOrder(*t.db, source);
        ASSERT_EQ(expected.size(), 6001u);
        for (int row : {0, 199, 200, 3001, 6000})
            EXPECT_EQ(model.idAt(row), expected[size_t(row)]) << "column " << c.column << " row " << row;
    }

    // A sort started while another runs takes its place; a record deleted
    // meanwhile is not in the list the sort gives.
    TreeListModel model(*t.db);
    QSignalSpy loaded(&model, &TreeListModel::loaded);
    QSignalSpy stopped(&model, &TreeListModel::sortsStopped);
    model.setSource(byColumn(3));
    const TreeListSource bySite = byColumn(4, Qt::DescendingOrder);
    model.setSource(bySite);
    const std::vector<qint64> expected = idsInOrder(*t.db, bySite);
    model.removeRecord(expected[4000]);
    EXPECT_EQ(model.rowCount(), 6000);
    ASSERT_TRUE(loaded.wait(10000));
    QTRY_VERIFY_WITH_TIMEOUT(!model.hasRunningSorts(), 10000);
    EXPECT_GE(stopped.count(), 1);
    EXPECT_EQ(loaded.count(), 1) << "the superseded sort gives nothing";
    EXPECT_EQ(model.rowCount(), 6000);
    for (int row : {0, 3999, 4000, 5999})
        EXPECT_EQ(model.idAt(row), expected[size_t(row < 4000 ? row : row + 1)]) << "row " << row;

    // Within a street of 5,000 records and no more, the engine sorts at once.
    model.setSource(byColumn(3, Qt::AscendingOrder));
    ASSERT_TRUE(loaded.wait(10000));
    t.db->exec("DELETE FROM _Archived_SurveyData WHERE ID = (SELECT MAX(ID) FROM _Archived_SurveyData WHERE StreetName = 'ELM ST')");
    TreeListSource street = byColumn(3);
    street.street = "ELM ST";
    model.setSource(street);
    EXPECT_FALSE(model.isSorting());
    EXPECT_EQ(model.rowCount(), 5000);
    TreeListSource wider = byColumn(3);
    wider.street = "OAK AVE";
    t.db->exec("UPDATE _Archived_SurveyData SET StreetName = 'OAK AVE' WHERE StreetName = 'ELM ST'");
    model.setSource(wider);
    EXPECT_TRUE(model.isSorting()) << "6,000 records of one street";
    ASSERT_TRUE(loaded.wait(10000));
    EXPECT_EQ(model.idAt(5999), idsInOrder(*t.db, wider).back());
}

TEST_F(TreeListTest, TheGridShowsTenColumnsWithDatesAsMonthDayYear)
{
    addTree(*t.db, {{"Tree_ID", 12}, {"Date_Evaluated", "2009-05-12 14:20:00"}, {"Species", "Red Maple"}, {"DBH", 14},
                    {"Site", "4 FT LAWN"}, {"Location", "Front"}, {"Hazard_Rating", 7}, {"Surveyor", "J SMITH"},
                    {"StreetName", "O'NEIL ST"}, {"StreetNum", "1410"}});
    addTree(*t.db, {{"Tree_ID", 13}, {"Species", QVariant()}, {"DBH", QVariant()}, {"Date_Evaluated", QVariant()}});
    TreeListModel model(*t.db);
    model.setSource(byOption(0));
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
    model.setSource(byOption(0));
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
    model.setSource(byOption(0));
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
                        {3, -1, "Gap "}, {3, 5, "Only box five "}, {4, 1, "No title "}});
    const struct {
        int question;
        const char* title;
        QStringList entries;
    } cases[] = {
        {1, "Size ", {"0. None ", "2. Medium "}},
        {2, "Empty question ", {}},
        {3, "Gap ", {"5. Only box five "}},
        {4, "", {"1. No title "}}, // an answer is never taken for the title
    };
    EXPECT_EQ(readRiskQuestionList(*t.db, 5).title, "** UNDEFINED **");
    for (const auto& c : cases) {
        const RiskQuestionList list = readRiskQuestionList(*t.db, c.question);
        EXPECT_EQ(list.title, c.title);
        EXPECT_EQ(list.entries, c.entries) << "question " << c.question;
    }
}

} // namespace
