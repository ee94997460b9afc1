// The cost table: checks of a typed range, its order, the forms of its
// numbers, and the cost to mobilize.

#include "costing/costtable.h"
#include "store/correctiveactions.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

TEST(CostEntryCheck, RefusesWhatMakesNoRangeInOrder)
{
    const QString noRange = "Please enter a DBH range";
    const QString badRange = "There is an error in your specified DBH range";
    const QString noCost = "Please enter a cost estimate for this corrective action and DBH range";
    const QString outside = "There is an error in your specified DBH range: a DBH lies between -32,768 and 32,767";
    const QString badCost = "Please enter a cost estimate from $0 to $999,999,999 for this corrective action and DBH range";
    const struct {
        const char* from;
        const char* to;
        const char* cost;
        QString message; // empty: accepted
        CostEntryProblem::Field field;
    } cases[] = {
        {"", "6", "100", noRange, CostEntryProblem::From},
        {"3", " ", "100", noRange, CostEntryProblem::From},
        {"", "", "", noRange, CostEntryProblem::From},
        {"3", "3", "100", badRange, CostEntryProblem::From},
        {"6", "3", "100", badRange, CostEntryProblem::From},
        {"-", "6", "100", badRange, CostEntryProblem::From},
        {"3", "-", "100", badRange, CostEntryProblem::From},
        {"abc", "6", "100", badRange, CostEntryProblem::From},
        {"3", "6", "", noCost, CostEntryProblem::Cost},
        {"3", "6", "-", noCost, CostEntryProblem::Cost},
        {"3", "4", "100", {}, CostEntryProblem::From},
        {"0", "6", "0", {}, CostEntryProblem::From},
        {"-5", "-1", "20", {}, CostEntryProblem::From},
        // Bounds within what a DBH can be, costs from 0 to the largest.
        {"-32768", "32767", "999999999", {}, CostEntryProblem::From},
        {"-32769", "6", "100", outside, CostEntryProblem::From},
        {"32767", "32768", "100", outside, CostEntryProblem::To},
        {"3", "32768", "100", outside, CostEntryProblem::To},
        {"3", "99999999999999999999", "100", outside, CostEntryProblem::To},
        {"3", "6", "-1", badCost, CostEntryProblem::Cost},
        {"3", "6", "-0", {}, CostEntryProblem::From},
        {"3", "6", "1000000000", badCost, CostEntryProblem::Cost},
    };
    for (const auto& c : cases) {
        const CostEntryReading r = readCostEntry(c.from, c.to, c.cost);
        if (c.message.isEmpty()) {
            ASSERT_TRUE(r.entry) << c.from << " " << c.to << " " << c.cost;
            EXPECT_EQ(r.entry->lower, QString(c.from).toDouble());
            EXPECT_EQ(r.entry->upper, QString(c.to).toDouble());
            EXPECT_EQ(r.entry->cost, QString(c.cost).toDouble());
        } else {
            ASSERT_TRUE(r.problem) << c.from << " " << c.to << " " << c.cost;
            EXPECT_EQ(r.problem->text, c.message) << c.from << " " << c.to << " " << c.cost;
            EXPECT_EQ(r.problem->field, c.field);
        }
    }
    // A number is read from the start of the text.
    EXPECT_EQ(typedNumber("12 in"), 12.0);
    EXPECT_EQ(typedNumber("12.5"), 12.5);
    EXPECT_FALSE(typedNumber("in 12"));
}

TEST(CostNumbers, AreShownPlainOrAsMoney)
{
    EXPECT_EQ(formatCost(1234), "1,234.00");
    EXPECT_EQ(formatCost(0.5), "0.50");
    EXPECT_EQ(formatCost(1234567.891), "1,234,567.89");
    EXPECT_EQ(formatDollars(1234.5), "$1,234.50");
    EXPECT_EQ(formatDollars(-5), "-$5.00");
    EXPECT_EQ(plainNumber(12.0), "12");
    EXPECT_EQ(plainNumber(5.5), "5.5");
    EXPECT_EQ(plainNumber(0.1 + 0.2), "0.30000000000000004") << "shortest that reads back the same";
    EXPECT_EQ(plainNumber(1e20), "100000000000000000000");
    EXPECT_EQ(plainNumber(QVariant()), "");
    EXPECT_EQ(plainNumber(QVariant(qlonglong(7))), "7");
}

TEST(CostActions, AreListedWithTwoDigitCodes)
{
    EXPECT_EQ(actionEntryText({3, "Remove Tree"}), "03 - Remove Tree");
    EXPECT_EQ(actionEntryText({11, "Cable/Brace"}), "11 - Cable/Brace");
    EXPECT_EQ(actionEntryText({4, ""}), "04 - ");
    EXPECT_EQ(actionCodeOfEntry("03 - Remove Tree"), 3);
    EXPECT_EQ(actionCodeOfEntry("11 - Cable/Brace"), 11);
}

TEST(CostTableStore, KeepsEveryRangeOrderedByLowerBound)
{
    TestContext t;
    addCostRange(*t.db, 3, 4, 8, 300);
    addCostRange(*t.db, 3, 3, 6, 250);   // overlaps 4 to 8: kept
    addCostRange(*t.db, 3, 3, 6, 250);   // the same again: kept
    addCostRange(*t.db, 5, 0, 100, 75);
    const std::vector<CostRange> ranges = readCostRanges(*t.db, 3);
    ASSERT_EQ(ranges.size(), 3u);
    EXPECT_EQ(ranges[0].lower.toDouble(), 3);
    EXPECT_EQ(ranges[1].lower.toDouble(), 3);
    EXPECT_LT(ranges[0].id, ranges[1].id) << "equal bounds in the order entered";
    EXPECT_EQ(ranges[2].lower.toDouble(), 4);
    EXPECT_EQ(ranges[2].cost.toDouble(), 300);
    deleteCostRange(*t.db, ranges[0].id);
    EXPECT_EQ(readCostRanges(*t.db, 3).size(), 2u);
    EXPECT_EQ(readAllCostRanges(*t.db).size(), 3u);
}

TEST(CostTableStore, KeepsTheCostToMobilize)
{
    TestContext t;
    EXPECT_EQ(readMobilizationCost(*t.db), 0);
    writeMobilizationCost(*t.db, 450);
    EXPECT_EQ(readMobilizationCost(*t.db), 450);
    t.db->exec("DELETE FROM _tblMobilization");
    writeMobilizationCost(*t.db, 75);
    EXPECT_EQ(readMobilizationCost(*t.db), 75) << "the row is made again when it is missing";
}

} // namespace
