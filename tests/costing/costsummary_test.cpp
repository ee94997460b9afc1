// The cost summary: pricing a tree, the work table, the five orders and the
// pages.

#include "costing/costsummary.h"
#include "costing/costtable.h"
#include "costing/period.h"
#include "reports/reportdocument.h"
#include "store/database.h"
#include "tests/reports/surveydata.h"
#include "tests/support/progressrecorder.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

ActionChoice only(std::initializer_list<int> codes)
{
    ActionChoice chosen{};
    for (const int code : codes)
        chosen[size_t(code - 1)] = true;
    return chosen;
}

const ActionChoice All = only({1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11});

TEST(CostPricing, PricesEachChosenActionOfTheListByDbh)
{
    const CostTable table({
        {1, 3, 6, 12, 200},     {2, 3, 12, 24, 450}, {3, 9, 0, 100, 75}, {4, 5, 4, 8, 300},
        {5, 5, 3, 6, 250},      // overlaps 4 to 8 and starts lower: it wins
        {6, 7, QVariant(), 10, 999}, // no lower bound: holds no DBH
        {7, 8, 0, 10, QVariant()},   // no cost: 0
    });
    const struct {
        QVariant dbh;
        QVariant list;
        ActionChoice chosen;
        double cost;
    } cases[] = {
        {12, "3", only({3}), 450},       {24, "3", only({3}), 0},        {6, "3", All, 200},
        {11.99, "3", All, 200},          {11, "3,9", only({9}), 75},     {11, "3,9", only({1, 2}), 0},
        {11, "", All, 0},                {11, QVariant(), All, 0},       {11, "3,,9", All, 275},
        {11, " ", All, 0},               {11, "3;9", All, 0},            {11, "100", All, 0},
        {11, "3,3", All, 400},           {11, " 3 , 09", All, 275},      {11, "3,", All, 200},
        {5, "5", All, 250},              {QVariant(), "3", All, 0},      {5, "7,8", All, 0},
        {-1, "9", All, 0},               {11, "0,-3,12", All, 0},
        // Each piece by its numeric value, as the specific corrective action report reads it.
        {11, "3.0", All, 200},           {11, "3e0,9", All, 275},        {11, "+3", All, 200},
        {11, "3.5", All, 0},             {11, "3a", All, 0},             {11, "inf,nan", All, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ComputeTreeCost(table, c.chosen, c.dbh, c.list), c.cost)
            << "DBH " << c.dbh.toString().toStdString() << ", list \"" << c.list.toString().toStdString() << "\"";
    }
}

TEST(CostOptions, AreCheckedInOrder)
{
    CostReportOptions o;
    o.period = {QDate(2007, 1, 1), QDate(2007, 12, 31)};
    EXPECT_FALSE(costOptionsProblem(o));
    o.fromText = "5";
    o.toText = "5";
    EXPECT_FALSE(costOptionsProblem(o)) << "a range of one rating";
    o.fromText = "6";
    EXPECT_EQ(costOptionsProblem(o)->text, "There is a problem with the Risk Rating range");
    o.toText = "";
    EXPECT_EQ(costOptionsProblem(o)->text, "Please enter a Risk Rating range");
    o.actions = {};
    EXPECT_EQ(costOptionsProblem(o)->text, "Please select at least ONE Corrective Action to include in the report");
    o = {};
    EXPECT_EQ(costOptionsProblem(o)->text, "You must select a date range");
}

class CostSummaryTest : public ::testing::Test {
protected:
    TestContext t;
    CostReportOptions options;
    NullProgress progress;

    void SetUp() override
    {
        options.period = {QDate(2007, 5, 1), QDate(2007, 5, 31)};
        addCostRange(*t.db, 3, 6, 12, 200);
        addCostRange(*t.db, 3, 12, 24, 450);
        addCostRange(*t.db, 9, 0, 100, 75);
    }
    // The rows of the work table in the order of its key.
    std::vector<QStringList> workTable()
    {
        std::vector<QStringList> rows;
        QSqlQuery q = t.db->query("SELECT Tree_ID, StreetNum, StreetName, Location, Species, DBH, Hazard_Rating, Cost "
                                  "FROM _tmp_Cost_Report ORDER BY \"Key\"");
        while (q.next()) {
            QStringList row;
            for (int c = 0; c < 8; ++c)
                row << (q.value(c).isNull() ? QString() : q.value(c).toString());
            rows.push_back(row);
        }
        return rows;
    }
    QStringList treeIds(const RowStore& rows)
    {
        QStringList ids;
        for (qint64 i = 0; i < rows.size(); ++i)
            ids << rows.row(i).at(0);
        return ids;
    }
};

TEST_F(CostSummaryTest, ListsEveryTreeOfThePeriodAndRatingsWithItsCost)
{
    addTree(*t.db, {.treeId = 1, .evaluated = "2007-05-01 00:00:00", .street = "O'NEIL AVE", .dbh = 12,
                    .rating = 6, .actions = "3,9"});
    addTree(*t.db, {.treeId = 2, .evaluated = "2007-05-31 23:59:59", .dbh = 8, .rating = 12, .actions = QVariant()});
    addTree(*t.db, {.treeId = 3, .evaluated = "2007-05-15 10:00:00", .species = "QURU-RED OAK, \"BIG\"", .dbh = 30,
                    .rating = 0, .actions = "3"});
    addTree(*t.db, {.treeId = 4, .evaluated = "2007-06-01 00:00:00", .actions = "3"}); // after the period
    addTree(*t.db, {.treeId = 5, .evaluated = "2007-05-10 09:00:00", .rating = 13, .actions = "3"}); // above the range
    addTree(*t.db, {.treeId = 6, .evaluated = "2007-05-20 09:00:00", .rating = QVariant(), .actions = "3"});
    addTree(*t.db, {.treeId = 7, .evaluated = "2007-05-21 09:00:00", .rating = QVariant(), .actions = "9"});
    addTree(*t.db, {.treeId = 8, .evaluated = "2007-06-21 09:00:00", .rating = QVariant(), .actions = "9"});
    t.db->exec("UPDATE _Archived_SurveyData SET DBH = NULL WHERE Tree_ID = 3");

    EXPECT_EQ(countCostTrees(*t.db, options).trees, 3);
    EXPECT_EQ(countCostTrees(*t.db, options).unrated, 2);
    const CostTotals totals = fillCostReportTable(*t.db, options, progress);
    EXPECT_EQ(totals.trees, 3);
    EXPECT_EQ(totals.cost, 525) << "the trees without a rating are not priced";
    EXPECT_EQ(totals.unrated, 2) << "the trees of the period without a rating";
    const std::vector<QStringList> rows = workTable();
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0], QStringList({"1", "10", "O'NEIL AVE", "FRONT", "ACRU-RED MAPLE", "12", "6", "525"}));
    EXPECT_EQ(rows[1].at(7), "0") << "no corrective actions";
    EXPECT_EQ(rows[2].at(4), "QURU-RED OAK, \"BIG\"");
    EXPECT_EQ(rows[2].at(5), "") << "no DBH: listed";
    EXPECT_EQ(rows[2].at(6), "0") << "rated 0: in the range from 0";
    EXPECT_EQ(rows[2].at(7), "0");

    // Only the chosen actions count; the rating range is inclusive.
    options.actions = only({9});
    options.fromText = "6";
    options.toText = "6";
    fillCostReportTable(*t.db, options, progress);
    ASSERT_EQ(workTable().size(), 1u) << "the table is made anew";
    EXPECT_EQ(workTable()[0].at(7), "75");
}

TEST_F(CostSummaryTest, ListsInEachOfTheFiveOrders)
{
    // Tree, street number, street, rating, DBH, actions (cost).
    addTree(*t.db, {.treeId = 40, .streetNum = "9", .street = "ELM ST", .dbh = 12, .rating = 3, .actions = "3"}); // 450
    addTree(*t.db, {.treeId = 10, .streetNum = "100", .street = "ELM ST", .dbh = 6, .rating = 9, .actions = "3"}); // 200
    addTree(*t.db, {.treeId = 30, .streetNum = "12", .street = "ASH ST", .dbh = 6, .rating = 9, .actions = "9"}); // 75
    addTree(*t.db, {.treeId = 20, .streetNum = "5", .street = "ASH ST", .dbh = 12, .rating = 1, .actions = "3"}); // 450
    options.period = {QDate(2007, 1, 1), QDate(2007, 12, 31)};
    fillCostReportTable(*t.db, options, progress);
    const struct {
        CostSort sort;
        QStringList ids;
    } cases[] = {
        {CostSort::CostHighToLow, {"20", "40", "10", "30"}},
        {CostSort::CostLowToHigh, {"30", "10", "20", "40"}},
        {CostSort::RatingHighToLow, {"30", "10", "40", "20"}},
        {CostSort::StreetThenCost, {"20", "30", "40", "10"}},
        {CostSort::TreeId, {"10", "20", "30", "40"}},
        {CostSort::None, {"40", "10", "30", "20"}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(treeIds(readCostReportRows(*t.db, c.sort, progress)), c.ids) << int(c.sort);
}

TEST_F(CostSummaryTest, ComposesTheLandscapePagesWithTheTotalsLast)
{
    for (int i = 1; i <= 120; ++i)
        addTree(*t.db, {.treeId = i, .streetNum = QString::number(i), .dbh = 12, .actions = i % 2 ? "3" : "9"});
    writeMobilizationCost(*t.db, 350);
    options.sort = CostSort::TreeId;
    ReportDocument document;
    const CostTotals totals =
        buildCostSummary(document, *t.db, options, QDateTime(QDate(2008, 1, 2), QTime(14, 5)), progress);
    EXPECT_EQ(totals.trees, 120);
    EXPECT_EQ(totals.cost, 60 * 450 + 60 * 75);
    ASSERT_GE(document.pageCount(), 2);
    EXPECT_EQ(document.orientation(), ReportDocument::Landscape);
    EXPECT_EQ(document.headerLines(1), QStringList({"Risk Reduction Cost Summary", "Sorted by Tree ID"}));
    EXPECT_TRUE(document.footerLines(1).join(' ').contains("Printed : 02-Jan-08 02:05 PM"));
    const auto first = document.tableRows(1);
    ASSERT_GE(first.size(), 2u);
    EXPECT_TRUE(first[0].header);
    EXPECT_EQ(first[0].cells,
              QStringList({"Tree ID", "Street #", "Street Name", "Location", "Species", "DBH", "Risk Rating", "Cost"}));
    EXPECT_EQ(first[1].cells, QStringList({"1", "1", "MAIN ST", "FRONT", "ACRU-RED MAPLE", "12", "6", "$450.00"}));
    const int last = document.pageCount();
    const auto lastRows = document.tableRows(last);
    EXPECT_EQ(lastRows.back().cells.at(0), "120");
    EXPECT_TRUE(lastRows.front().header) << "the header row again on a continued page";
    EXPECT_EQ(document.paragraphLines(last).last(),
              "Trees listed: 120     Cost of the listed work: $31,500.00     Cost to mobilize (not included): $350.00");
}

TEST_F(CostSummaryTest, ShowsCostsAsMoneyAndSaysWhatItLeftOut)
{
    addCostRange(*t.db, 1, 0, 100, 1000000);
    addCostRange(*t.db, 2, 0, 100, 1434.5);
    addCostRange(*t.db, 4, 0, 100, 650);
    addTree(*t.db, {.treeId = 1, .actions = "1"});
    addTree(*t.db, {.treeId = 2, .actions = "2"});
    addTree(*t.db, {.treeId = 3, .actions = "4"});
    addTree(*t.db, {.treeId = 4, .rating = QVariant(), .actions = "1"});
    addTree(*t.db, {.treeId = 5, .evaluated = "2006-05-10 09:00:00", .rating = QVariant(), .actions = "1"});
    options.sort = CostSort::TreeId;
    const QDateTime printedAt(QDate(2008, 1, 2), QTime(9, 0));
    ReportDocument document;
    const CostTotals totals = buildCostSummary(document, *t.db, options, printedAt, progress);
    const auto rows = document.tableRows(1);
    ASSERT_EQ(rows.size(), 4u);
    EXPECT_EQ(rows[1].cells.at(7), "$1,000,000.00");
    EXPECT_EQ(rows[2].cells.at(7), "$1,434.50");
    EXPECT_EQ(rows[3].cells.at(7), "$650.00");
    EXPECT_EQ(totals.unrated, 1) << "tree 5 is not of the period";
    EXPECT_EQ(document.paragraphLines(document.pageCount()).last(),
              "Trees listed: 3     Cost of the listed work: $1,002,084.50     Cost to mobilize (not included): $0.00"
              "     Trees of the period left out for having no risk rating: 1");

    // All on file: every tree, one without a date too; the unrated still left out.
    t.db->exec("UPDATE _Archived_SurveyData SET Date_Evaluated = NULL WHERE Tree_ID = 3");
    options.allOnFile = true;
    options.period = {};
    EXPECT_FALSE(costOptionsProblem(options)) << "all on file needs no dates";
    ReportDocument all;
    const CostTotals allTotals = buildCostSummary(all, *t.db, options, printedAt, progress);
    EXPECT_EQ(allTotals.trees, 3);
    EXPECT_EQ(allTotals.unrated, 2);
    EXPECT_EQ(all.tableRows(1).back().cells.at(0), "3") << "the tree without a date";
    options.allOnFile = false;
    options.period = {QDate(2007, 5, 1), QDate(2007, 5, 31)};
    EXPECT_EQ(countCostTrees(*t.db, options).trees, 2) << "a period does not hold a tree without a date";

    // Nothing in range: no report, and the message says why trees of the
    // period are missing; the work table of the last build stays.
    options.fromText = options.toText = "12";
    ProgressRecorder recorder;
    ReportDocument none;
    try {
        buildCostSummary(none, *t.db, options, printedAt, recorder);
        ADD_FAILURE() << "built a report without a tree";
    } catch (const ReportNothingToList& nothing) {
        EXPECT_EQ(nothing.text(), "There are no trees which meet your selection criteria\n\n"
                                  "1 tree of the period has no risk rating and is in no range.");
        EXPECT_EQ(nothing.caption(), "No Data");
    }
    EXPECT_EQ(recorder.labels(), QStringList{"Counting the trees"}) << "counted once, nothing priced";
    EXPECT_EQ(workTable().size(), 3u);
    EXPECT_EQ(noCostTreesMessage(0), "There are no trees which meet your selection criteria");
}

TEST_F(CostSummaryTest, SaysSoWhenNoTreeIsLeftToList)
{
    ReportDocument document;
    composeCostSummary(document, CostSort::None, RowStore(), {}, 0, QDateTime(QDate(2008, 1, 2), QTime(9, 0)));
    EXPECT_EQ(document.headerLines(1).first(), "Risk Reduction Cost Summary");
    EXPECT_TRUE(document.tableRows(1).empty());
    EXPECT_TRUE(document.paragraphLines(1).contains("*** NO TREES MEET YOUR SELECTION CRITERIA *** "));
}

TEST_F(CostSummaryTest, CancelledKeepsTheTableOfTheLastBuild)
{
    {
        Transaction transaction(*t.db);
        for (int i = 1; i <= 3000; ++i)
            addTree(*t.db, {.treeId = i, .actions = "3"});
        transaction.commit();
    }
    options.fromText = "6";
    options.toText = "6";
    fillCostReportTable(*t.db, options, progress);
    ASSERT_EQ(workTable().size(), 3000u);
    options.toText = "12";
    for (const auto& [stage, units] : {std::pair{"Counting", 0}, std::pair{"Pricing", 1000}}) {
        ProgressRecorder recorder;
        recorder.cancelAt(stage, units);
        EXPECT_THROW(fillCostReportTable(*t.db, options, recorder), ReportCancelled) << stage;
        EXPECT_EQ(workTable().size(), 3000u) << stage;
        const std::vector<ProgressRecorder::Stage> stages = recorder.stages();
        ASSERT_FALSE(stages.empty());
        EXPECT_EQ(stages.front().label, "Counting the trees") << "said from the start";
        EXPECT_TRUE(stages.front().cancellable) << stage;
    }
}

TEST_F(CostSummaryTest, CountsOnceAndPricesWithTheCountKnown)
{
    for (int i = 1; i <= 40; ++i)
        addTree(*t.db, {.treeId = i, .rating = i % 4 == 0 ? QVariant() : QVariant(i % 13), .actions = "3"});
    ProgressRecorder recorder;
    const CostTotals totals = fillCostReportTable(*t.db, options, recorder);
    EXPECT_EQ(totals.trees, 30);
    EXPECT_EQ(totals.unrated, 10);
    const std::vector<ProgressRecorder::Stage> stages = recorder.stages();
    ASSERT_EQ(stages.size(), 2u);
    EXPECT_EQ(stages[0].label, "Counting the trees");
    EXPECT_EQ(stages[1].label, "Pricing the trees");
    EXPECT_EQ(stages[1].total, 30) << "the count, known as pricing begins";
    EXPECT_EQ(stages[1].lastDone, 30);
}

// Trees that share a list and a DBH take one price; lists that name the
// same actions in other words are priced each as it reads, whether the
// records are read a span of IDs at a time (a pass over the table, trees on
// both sides of a span's end) or through the date index.
TEST_F(CostSummaryTest, EachTreeTakesThePriceOfItsOwnListAndDbh)
{
    const struct {
        int dbh;
        QVariant actions;
        double cost;
    } trees[] = {
        {11, "3,9", 275}, {11, "3,9", 275}, {11, " 3 , 09", 275}, {11, "9,3", 275}, {12, "3,9", 525},
        {11, "3,3", 400}, {11, "3A", 0},    {11, "3a", 0},        {11, QVariant(), 0}, {11, "", 0},
        {30, "3", 0},     {30, "9", 75},
    };
    {
        Transaction transaction(*t.db);
        qint64 id = 0;
        for (const auto& tree : trees) {
            // IDs 8192 apart, a span's last and the next one's first among them.
            id = id == 0 ? 1 : id + (id % 2 ? 8191 : 1);
            const qint64 added = addTree(*t.db, {.treeId = int(id), .dbh = tree.dbh, .actions = tree.actions});
            t.db->exec("UPDATE _Archived_SurveyData SET ID = ? WHERE ID = ?", {id, added});
        }
        transaction.commit();
    }
    // Every record on file: one pass over the table; the period: its dozen
    // records of forty thousand IDs, through the date index.
    for (const bool allOnFile : {true, false}) {
        options.allOnFile = allOnFile;
        ProgressRecorder recorder;
        const CostTotals totals = fillCostReportTable(*t.db, options, recorder);
        ASSERT_EQ(totals.trees, qint64(std::size(trees)));
        const std::vector<QStringList> rows = workTable();
        ASSERT_EQ(rows.size(), std::size(trees));
        double sum = 0;
        qint64 id = 0;
        for (size_t i = 0; i < rows.size(); ++i) {
            id = id == 0 ? 1 : id + (id % 2 ? 8191 : 1);
            EXPECT_EQ(rows[i][0], QString::number(id)) << "in the order of the records";
            EXPECT_EQ(rows[i][7].toDouble(), trees[i].cost)
                << allOnFile << " " << i << ": " << trees[i].actions.toString().toStdString();
            sum += trees[i].cost;
        }
        EXPECT_EQ(totals.cost, sum);
        EXPECT_EQ(recorder.stages().back().lastDone, totals.trees);
    }
}

// A short period is found through the date index, one that holds a tenth of
// the records or more in one pass over the table; either way the same trees
// are listed in the order of their records.
TEST_F(CostSummaryTest, ReadsALongPeriodInOnePassAndAShortOneThroughTheIndex)
{
    {
        Transaction transaction(*t.db);
        for (int i = 0; i < 200; ++i) {
            // Recorded out of date order, as the handhelds' files come in.
            const int day = (i * 37) % 200;
            addTree(*t.db, {.treeId = day, .evaluated = QDate(2007, 1, 1).addDays(day).toString("yyyy-MM-dd 10:00:00"),
                            .actions = "3"});
        }
        transaction.commit();
    }
    const struct {
        int firstDay, days;
        bool pass;
    } cases[] = {{0, 19, false}, {0, 20, true}, {90, 19, false}, {90, 20, true}, {181, 19, false}, {0, 200, true}};
    for (const auto& c : cases) {
        options.period = {QDate(2007, 1, 1).addDays(c.firstDay), QDate(2007, 1, 1).addDays(c.firstDay + c.days - 1)};
        if (!onServer()) { // the server's planner chooses for itself
            const QString table = surveyTableForPeriod(*t.db, options.period, false);
            QSqlQuery plan = t.db->query("EXPLAIN QUERY PLAN SELECT Tree_ID FROM " + table
                                             + " WHERE Date_Evaluated BETWEEN ? AND ? ORDER BY ID",
                                         periodCondition(options.period, false).values);
            QStringList steps;
            while (plan.next())
                steps << plan.value(3).toString();
            const QString how = steps.join("; ");
            EXPECT_EQ(how.contains("ix_Survey_Date"), !c.pass) << c.firstDay << "+" << c.days << ": " << how.toStdString();
        }

        ASSERT_EQ(fillCostReportTable(*t.db, options, progress).trees, c.days);
        QStringList expected;
        for (int i = 0; i < 200; ++i) {
            const int day = (i * 37) % 200;
            if (day >= c.firstDay && day < c.firstDay + c.days)
                expected << QString::number(day);
        }
        QStringList listed;
        for (const QStringList& row : workTable())
            listed << row.at(0);
        EXPECT_EQ(listed, expected) << c.firstDay << "+" << c.days;
    }
}

} // namespace
