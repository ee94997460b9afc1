// The inspection reports without their windows: which trees each lists, in
// which order, and what their pages say.

#include "platform/jobprogress.h"
#include "platform/progress.h"
#include "reports/actionreports.h"
#include "reports/reinspection.h"
#include "reports/reportcommon.h"
#include "reports/reportdata.h"
#include "reports/reportdocument.h"
#include "tests/reports/pdftext.h"
#include "tests/reports/surveydata.h"
#include "tests/support/testcontext.h"

#include <functional>

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QStringList treeIds(const RowStore& rows)
{
    QStringList ids;
    RowStore::Reader reader(rows, 0);
    for (QStringList row; reader.next(row);)
        ids.append(row.value(0));
    return ids;
}

QStringList reinspectionIds(Database& db, const ReinspectionOptions& o)
{
    NullProgress progress;
    return treeIds(selectReinspectionTrees(db, o, progress));
}

QStringList actionIds(Database& db, bool allZones, const QString& zone, int minRating)
{
    NullProgress progress;
    return treeIds(selectActionTrees(db, ActionSelection::AnyAction, allZones, zone, minRating, progress));
}

void buildReinspection(Database& db, const ReinspectionOptions& o, ReportDocument& doc, const QDateTime& printedAt)
{
    NullProgress progress;
    buildReinspectionReport(doc, db, o, printedAt, progress);
}

// The tree IDs in the tables of a document, page by page.
QStringList documentTreeIds(const ReportDocument& doc)
{
    QStringList ids;
    for (int page = 1; page <= doc.pageCount(); ++page) {
        for (const auto& row : doc.tableRows(page)) {
            if (!row.header)
                ids.append(row.cells.value(0));
        }
    }
    return ids;
}

const QDateTime PrintedAt(QDate(2008, 1, 2), QTime(14, 5));

class ReportsTest : public ::testing::Test {
protected:
    TestContext t;
    Database& db = *t.db;
};

// --- Shared pieces -----------------------------------------------------------

TEST(ReportCommon, PrintedStampIsDayMonthYearAndTwelveHourTime)
{
    const struct {
        QDateTime when;
        const char* text;
    } cases[] = {
        {QDateTime(QDate(2008, 1, 2), QTime(10, 30)), "02-Jan-08 10:30 AM"},
        {QDateTime(QDate(2008, 12, 31), QTime(17, 5)), "31-Dec-08 05:05 PM"},
        {QDateTime(QDate(2010, 6, 9), QTime(0, 15)), "09-Jun-10 12:15 AM"},
        {QDateTime(QDate(2010, 6, 9), QTime(12, 0)), "09-Jun-10 12:00 PM"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(printedStamp(c.when), c.text);
    EXPECT_EQ(printedFooter(cases[0].when), "|Printed : 02-Jan-08 10:30 AM|Page %d of %t");
}

TEST_F(ReportsTest, RiskZonesAreListedInTableOrderAfterAllZones)
{
    db.exec("DELETE FROM RiskZone");
    db.exec("INSERT INTO RiskZone (Description) VALUES ('ZULU'), (NULL), ('O''BRIEN PARK')");
    EXPECT_EQ(riskZoneNames(db), QStringList({"ZULU", "", "O'BRIEN PARK"}));
}

// --- Reinspection report -------------------------------------------------------

TEST(Reinspection, YearListStartsAYearBackAndStepsBy365Days)
{
    EXPECT_EQ(reinspectionYears(QDate(2009, 6, 1)),
              QStringList({"2008", "2009", "2010", "2011", "2012", "2013", "2014", "2015", "2016", "2017", "2018",
                           "2019"}));
    // From 2 January 2008 the leap days make 2012 come twice (1 January and 31 December).
    EXPECT_EQ(reinspectionYears(QDate(2008, 1, 2)),
              QStringList({"2007", "2008", "2009", "2010", "2011", "2012", "2012", "2013", "2014", "2015", "2016",
                           "2017"}));
    // 1 January of the year before a leap year.
    const QStringList twice = reinspectionYears(QDate(2011, 1, 1));
    EXPECT_EQ(twice.size(), 12);
    EXPECT_EQ(twice.count("2012"), 2);
}

TEST(Reinspection, OnlyAYearIsAYear)
{
    const struct {
        const char* text;
        std::optional<int> year;
    } cases[] = {{"2009", 2009}, {" 2010 ", 2010}, {"20O9", std::nullopt}, {"", std::nullopt},
                 {"2009.5", std::nullopt}, {"-2009", std::nullopt}, {"12345", std::nullopt}, {"0", std::nullopt}};
    for (const auto& c : cases)
        EXPECT_EQ(reinspectionYear(c.text), c.year) << c.text;
}

TEST_F(ReportsTest, QuartersSelectByTheMonthOfEvaluationInTheReinspectionYear)
{
    addTree(db, {.treeId = 1, .evaluated = "2007-02-14 09:00:00"});
    addTree(db, {.treeId = 2, .evaluated = "2007-05-01 09:00:00"});
    addTree(db, {.treeId = 3, .evaluated = "2007-09-30 09:00:00"});
    addTree(db, {.treeId = 4, .evaluated = "2007-10-01 09:00:00"});
    addTree(db, {.treeId = 5, .evaluated = "2007-12-31 23:59:00"});
    addTree(db, {.treeId = 6, .evaluated = "2007-03-31 09:00:00", .reinspectYear = "2010"});
    const struct {
        std::array<bool, 4> quarters;
        QStringList ids;
    } cases[] = {
        {{true, true, true, true}, {"1", "2", "3", "4", "5"}},
        {{true, false, true, false}, {"1", "3"}},
        {{false, true, false, false}, {"2"}},
        {{false, false, false, true}, {"4", "5"}},
    };
    for (const auto& c : cases) {
        ReinspectionOptions o{.yearText = "2009", .quarters = c.quarters, .sort = 0};
        EXPECT_EQ(reinspectionIds(db, o), c.ids);
    }
}

TEST_F(ReportsTest, ALeapDayTreeIsDueOnThe28thInAYearWithoutOne)
{
    addTree(db, {.treeId = 1, .evaluated = "2008-02-29 11:00:00", .reinspectYear = "2009"});
    addTree(db, {.treeId = 2, .evaluated = "2008-02-29 11:00:00", .reinspectYear = "2012"});
    ReinspectionOptions q1{.yearText = "2009", .quarters = {true, false, false, false}};
    EXPECT_EQ(reinspectionIds(db, q1), QStringList({"1"}));
    ReinspectionOptions q2{.yearText = "2009", .quarters = {false, true, false, false}};
    EXPECT_TRUE(reinspectionIds(db, q2).empty());
    q1.yearText = "2012";
    EXPECT_EQ(reinspectionIds(db, q1), QStringList({"2"}));
}

TEST_F(ReportsTest, ARecordWithoutAReinspectionYearIsLeftOutNotFatal)
{
    addTree(db, {.treeId = 1});
    addTree(db, {.treeId = 2, .reinspectYear = QVariant()});
    addTree(db, {.treeId = 3, .reinspectYear = "soon"});
    addTree(db, {.treeId = 4, .reinspectYear = ""});
    addTree(db, {.treeId = 5, .reinspectYear = " 2009 "});
    addTree(db, {.treeId = 6, .reinspectYear = "09"});
    addTree(db, {.treeId = 7, .reinspectYear = "2009-2010"});
    ReinspectionOptions o{.yearText = "2009", .sort = 0};
    EXPECT_EQ(reinspectionIds(db, o), QStringList({"1", "5", "6"}));
}

TEST_F(ReportsTest, AllZonesIsEveryTreeAndNoZoneIsAZoneOfItsOwn)
{
    addTree(db, {.treeId = 1, .zone = "DOWNTOWN"});
    addTree(db, {.treeId = 2, .zone = "~~"});
    addTree(db, {.treeId = 3, .zone = QVariant()});
    addTree(db, {.treeId = 4, .zone = ""});
    addTree(db, {.treeId = 5, .zone = "O'BRIEN PARK"});
    addTree(db, {.treeId = 6, .zone = "o'brien park"});
    addTree(db, {.treeId = 7, .zone = "   "});
    const struct {
        bool all;
        const char* zone;
        QStringList ids;
    } cases[] = {
        {true, "", {"1", "2", "3", "4", "5", "6", "7"}},
        {false, "O'BRIEN PARK", {"5", "6"}},
        {false, "DOWNTOWN", {"1"}},
        {false, "~~", {"2"}},
        {false, "", {"3", "4", "7"}},
        {false, "' OR ''='", {}},
    };
    for (const auto& c : cases) {
        ReinspectionOptions o{.yearText = "2009", .allZones = c.all, .zone = c.zone, .sort = 0};
        EXPECT_EQ(reinspectionIds(db, o), c.ids) << c.zone;
        EXPECT_EQ(actionIds(db, c.all, c.zone, 0), QStringList()) << "no corrective actions";
    }
    db.exec("UPDATE _Archived_SurveyData SET CorrectiveActions = '3'");
    for (const auto& c : cases)
        EXPECT_EQ(actionIds(db, c.all, c.zone, 0), c.ids) << c.zone;
}

TEST_F(ReportsTest, RatingRangeIsInclusive)
{
    for (int r = 0; r <= 12; ++r)
        addTree(db, {.treeId = 100 + r, .rating = r});
    const struct {
        const char *from, *to;
        QStringList ids;
    } cases[] = {
        {"5", "5", {"105"}}, {"10", "12", {"110", "111", "112"}}, {"-", "0", {"100"}}, {"11", "99", {"111", "112"}}};
    for (const auto& c : cases) {
        ReinspectionOptions o{.yearText = "2009", .fromText = c.from, .toText = c.to, .sort = 0};
        EXPECT_EQ(reinspectionIds(db, o), c.ids) << c.from << ".." << c.to;
    }
}

TEST_F(ReportsTest, FourOrders)
{
    addTree(db, {.treeId = 30, .streetNum = "5", .street = "OAK AVE", .rating = 4});
    addTree(db, {.treeId = 10, .streetNum = "2", .street = "elm st", .rating = 9});
    addTree(db, {.treeId = 20, .streetNum = "1", .street = "OAK AVE", .rating = 9});
    addTree(db, {.treeId = 40, .streetNum = "7", .street = "ELM ST", .rating = 1});
    const QStringList expected[] = {
        {"10", "20", "30", "40"}, // Tree ID
        {"10", "20", "30", "40"}, // rating high to low, then street
        {"10", "40", "20", "30"}, // street name (any case) and number
        {"10", "20", "30", "40"}, // rating high to low
    };
    for (int sort = 0; sort < 4; ++sort) {
        ReinspectionOptions o{.yearText = "2009", .sort = sort};
        EXPECT_EQ(reinspectionIds(db, o), expected[sort]) << "sort " << sort;
    }
}

TEST_F(ReportsTest, ReinspectionPagesCarryTitleZoneOrderAndEveryColumn)
{
    addTree(db, {.treeId = 7, .evaluated = "2007-04-03 10:00:00", .zone = "PARKS", .streetNum = "12",
                 .street = "ELM ST", .location = "SIDE", .species = "GIBI-GINKGO", .dbh = 14, .rating = 8});
    ReinspectionOptions o{.yearText = "2009", .allZones = false, .zone = "PARKS", .sort = 1};
    ReportDocument doc;
    buildReinspection(db, o, doc, PrintedAt);
    ASSERT_EQ(doc.pageCount(), 1);
    EXPECT_EQ(doc.headerLines(1), QStringList({"Reinspection Report FOR 2009",
                                               " (RISK ZONE: PARKS ONLY)  - Sorted by Hazard Rating and StreetName"}));
    EXPECT_EQ(doc.footerLines(1), QStringList({"Printed : 02-Jan-08 02:05 PM", "Page 1 of 1"}));
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 2u);
    EXPECT_EQ(rows[0].cells, QStringList({"Tree ID", "RiskZone", "St #", "Street Name", "Location", "Species", "DBH",
                                          "Date Evaluated", "Risk Rating"}));
    EXPECT_EQ(rows[1].cells,
              QStringList({"7", "PARKS", "12", "ELM ST", "SIDE", "GIBI-GINKGO", "14", "04/03/2007", "8"}));
    EXPECT_EQ(rows[1].alignments,
              QList<Qt::Alignment>({Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignHCenter, Qt::AlignLeft,
                                    Qt::AlignHCenter, Qt::AlignLeft, Qt::AlignRight, Qt::AlignLeft, Qt::AlignHCenter}));
    // 9.95 in of columns between margins 9.5 in apart: narrowed in proportion.
    EXPECT_DOUBLE_EQ(rows[1].rect.left(), 0.75 * ReportDocument::Dpi);
    EXPECT_NEAR(rows[1].rect.width(), 9.5 * ReportDocument::Dpi, 0.5);
    const std::vector<double>& x = rows[1].columnLefts;
    ASSERT_EQ(x.size(), 9u);
    EXPECT_NEAR((x[4] - x[3]) / (x[2] - x[1]), 2.0 / 1.5, 1e-9) << "street name and zone in proportion";
}

TEST_F(ReportsTest, ReinspectionTitleForAllZonesAndEachOrder)
{
    const char* suffixes[] = {" - Sorted by Tree ID", " - Sorted by Hazard Rating and StreetName",
                              " - Sorted by Street Name and Number", " - Sorted by Hazard Rating"};
    for (int sort = 0; sort < 4; ++sort) {
        ReinspectionOptions o{.yearText = "2010", .sort = sort};
        EXPECT_EQ(reinspectionHeader(o),
                  QStringLiteral("|Reinspection Report FOR 2010\r\n (ALL RISK ZONES - )") + suffixes[sort]);
    }
}

TEST_F(ReportsTest, ZoneAndActionNamesReachThePageHeaderAndPdfTitleAsWritten)
{
    const QString zone = QStringLiteral("EAST|WEST 100%d %t");
    addTree(db, {.treeId = 1, .zone = zone, .actions = "3"});
    markTreesWithCode(db, 3);
    ReportDocument reinspection, specific;
    buildReinspection(db, {.yearText = "2009", .allZones = false, .zone = zone}, reinspection, PrintedAt);
    EXPECT_EQ(reinspection.headerLines(1),
              QStringList({"Reinspection Report FOR 2009", " (RISK ZONE: " + zone + " ONLY)  - Sorted by Hazard Rating"}));
    const QString path = t.dir.filePath("zone.pdf");
    reinspection.SaveAsPdf(path);
    EXPECT_EQ(pdfInfo(path, "Title"),
              "Reinspection Report FOR 2009 (RISK ZONE: " + zone + " ONLY) - Sorted by Hazard Rating");
    BuildSpecificCAList(db, specific, {.actionText = "03 - Remove | Grind 50%d"}, PrintedAt);
    EXPECT_EQ(specific.headerLines(1), QStringList({"Trees Needing 03 - Remove | Grind 50%d - Risk Rating >= 0"}));
}

TEST_F(ReportsTest, AnEmptyReinspectionReportSaysSo)
{
    addTree(db, {.treeId = 1, .reinspectYear = "2011"});
    ReinspectionOptions o{.yearText = "2009"};
    ReportDocument doc;
    buildReinspection(db, o, doc, PrintedAt);
    EXPECT_EQ(doc.pageCount(), 1);
    EXPECT_TRUE(doc.tableRows(1).empty());
    EXPECT_EQ(doc.pageTexts(1),
              QStringList({"Reinspection Report FOR 2009", " (ALL RISK ZONES - ) - Sorted by Hazard Rating",
                           "No trees meet the selection", "Printed : 02-Jan-08 02:05 PM", "Page 1 of 1"}));
}

TEST_F(ReportsTest, ReinspectionOptionsProblems)
{
    const struct {
        ReinspectionOptions options;
        const char* text; // nullptr: none
        const char* caption;
    } cases[] = {
        {{.yearText = "2009", .quarters = {false, false, false, false}}, "Please select at least ONE quarter",
         "Selection Error"},
        {{.yearText = "next"}, "Please enter the year of the inspections as a number, for example 2009", "Error"},
        {{.yearText = "2009", .fromText = "7", .toText = "5"}, "There is a problem with the Risk Rating range", "Error"},
        {{.yearText = "2009", .fromText = "5", .toText = "5"}, nullptr, nullptr},
        {{.yearText = "2009", .fromText = "5", .toText = ""}, nullptr, nullptr},
    };
    for (const auto& c : cases) {
        const auto problem = reinspectionOptionsProblem(c.options);
        ASSERT_EQ(problem.has_value(), c.text != nullptr) << c.options.yearText.toStdString();
        if (problem) {
            EXPECT_EQ(problem->text, c.text);
            EXPECT_EQ(problem->caption, c.caption);
            ReportDocument doc;
            EXPECT_THROW(buildReinspection(db, c.options, doc, PrintedAt), std::invalid_argument);
            EXPECT_EQ(doc.pageCount(), 0);
        }
    }
}

TEST_F(ReportsTest, HouseNumbersSortByTheirValueFirst)
{
    const QStringList numbers = {"9577", "100", "12A", "957", "9", "12", "9554", "", "A3"};
    int id = 1;
    for (const QString& number : numbers)
        addTree(db, {.treeId = id++, .streetNum = number, .street = "ELM ST", .actions = "3"});
    // Tree IDs in the order of "", "A3" (no number: 0), 9, 12, 12A, 100, 957, 9554, 9577.
    const QStringList walked = {"8", "9", "5", "6", "3", "2", "4", "7", "1"};
    EXPECT_EQ(reinspectionIds(db, {.yearText = "2009", .sort = 2}), walked);
    EXPECT_EQ(reinspectionIds(db, {.yearText = "2009", .sort = 1}), walked) << "same rating: by street and number";
    EXPECT_EQ(actionIds(db, true, {}, 0), walked);
}

TEST_F(ReportsTest, HighestRatingIsTheSumOfTheHighestAnswers)
{
    EXPECT_EQ(highestRiskRating(db), 13) << "3 + 4 + 4 + 2 in the supplied questions";
    EXPECT_EQ(defaultReinspectionOptions(db, QDate(2009, 6, 1)).toText, "13");
    db.exec("DELETE FROM Risk_Rating WHERE Risk_Question_Num = 2 AND Risk_Order >= 3");
    db.exec("INSERT INTO Risk_Rating VALUES (5, 7, 'not a question'), (1, -1, 'title only')");
    EXPECT_EQ(highestRiskRating(db), 11);
    db.exec("DELETE FROM Risk_Rating");
    EXPECT_EQ(highestRiskRating(db), 0);
}

TEST_F(ReportsTest, ZoneChoicesCoverEveryTree)
{
    db.exec("DELETE FROM RiskZone");
    db.exec("INSERT INTO RiskZone (Description) VALUES ('ZULU'), (NULL), ('parks'), (' '), ('PARKS'), ('ALPHA')");
    EXPECT_EQ(reportZoneChoices(db), QStringList({"ZULU", "parks", "ALPHA"})) << "no trees: the list alone";
    addTree(db, {.treeId = 1, .zone = "ZULU"});
    addTree(db, {.treeId = 2, .zone = "old town"});
    addTree(db, {.treeId = 3, .zone = "PARKS"});
    addTree(db, {.treeId = 4, .zone = "BETA"});
    addTree(db, {.treeId = 5, .zone = QVariant()});
    EXPECT_EQ(reportZoneChoices(db), QStringList({"ZULU", "parks", "ALPHA", "BETA", "old town", ""}));
}

// --- Trees needing corrective action ------------------------------------------------

TEST_F(ReportsTest, OnlyTreesWithACorrectiveActionAtOrAboveTheRatingAreListed)
{
    addTree(db, {.treeId = 1, .rating = 3, .actions = "3"});
    addTree(db, {.treeId = 2, .rating = 3, .actions = ""});
    addTree(db, {.treeId = 3, .rating = 3, .actions = "  "});
    addTree(db, {.treeId = 4, .rating = 3, .actions = QVariant()});
    addTree(db, {.treeId = 5, .rating = 2, .actions = "5"});
    addTree(db, {.treeId = 6, .zone = "~~", .rating = 9, .actions = "5"});
    addTree(db, {.treeId = 7, .zone = QVariant(), .rating = 9, .actions = "5"});
    addTree(db, {.treeId = 8, .rating = 0, .actions = "1"});
    EXPECT_EQ(actionIds(db, true, {}, 3), QStringList({"1", "6", "7"}));
    EXPECT_EQ(actionIds(db, true, {}, 0), QStringList({"1", "5", "6", "7", "8"}));
}

TEST_F(ReportsTest, TreesNeedingCAListIsSortedByStreetAndShowsEveryColumn)
{
    addTree(db, {.treeId = 1, .streetNum = "4", .street = "OAK AVE", .actions = "3,9", .note = "near wires"});
    addTree(db, {.treeId = 2, .evaluated = "2007-11-05 08:00:00", .streetNum = "8", .street = "ELM ST",
                 .actions = "10"});
    ReportDocument doc;
    ActionReportOptions o{.ratingText = "0"};
    BuildTreesNeedingCAList(db, doc, o, PrintedAt);
    EXPECT_EQ(doc.headerLines(1), QStringList({"Trees Needing Corrective Actions - Risk Rating >= 0"}));
    EXPECT_EQ(doc.footerLines(1), QStringList({"Printed : 02-Jan-08 02:05 PM", "Page 1 of 1"}));
    EXPECT_EQ(doc.paragraphLines(1), QStringList({"ALL Risk Zones:  (2 Tree(s) )", ""}));
    const auto rows = doc.tableRows(1);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_EQ(rows[0].cells, QStringList({"Tree ID", "St #", "Street Name", "Location", "Species", "DBH", "Date Eval",
                                          "Risk", "Corrective Actions", "Note", "Done"}));
    EXPECT_EQ(rows[1].cells, QStringList({"2", "8", "ELM ST", "FRONT", "ACRU-RED MAPLE", "12", "11/05/2007", "6", "10",
                                          "", ""}));
    EXPECT_EQ(rows[2].cells.mid(8), QStringList({"3,9", "near wires", ""}));
    EXPECT_DOUBLE_EQ(rows[1].rect.left(), 0.4 * ReportDocument::Dpi);
}

TEST_F(ReportsTest, OneZoneWithoutTreesShowsItsHeadingWithZeroAndSaysSo)
{
    addTree(db, {.treeId = 1, .zone = "PARKS", .actions = "3"});
    ReportDocument doc;
    BuildTreesNeedingCAList(db, doc, {.ratingText = "7", .allZones = false, .zone = "PARKS"}, PrintedAt);
    EXPECT_EQ(doc.headerLines(1), QStringList({"Trees Needing Corrective Actions - Risk Rating >= 7"}));
    EXPECT_EQ(doc.paragraphLines(1),
              QStringList({"Risk Zone: PARKS (0 Tree(s) )", "", "No trees meet the selection"}));
    EXPECT_TRUE(doc.tableRows(1).empty());
}

TEST_F(ReportsTest, DividedReportHasOneSectionPerZoneAndAddsUpToTheUndivided)
{
    // The supplied list: ARTERIAL ROADS, DOWNTOWN, PARKS, RESIDENTIAL, SCHOOL ZONES.
    addTree(db, {.treeId = 1, .zone = "PARKS", .street = "B ST", .actions = "3"});
    addTree(db, {.treeId = 2, .zone = "O'BRIEN PARK", .actions = "4"});
    addTree(db, {.treeId = 3, .zone = "parks", .street = "A ST", .actions = "1"});
    addTree(db, {.treeId = 4, .zone = "~~", .actions = "1"});
    addTree(db, {.treeId = 5, .zone = QVariant(), .actions = "1"});
    addTree(db, {.treeId = 6, .zone = "  ", .street = "A ST", .actions = "1"});
    ReportDocument doc;
    BuildTreesNeedingCAByZone(db, doc, {}, PrintedAt);
    EXPECT_EQ(doc.paragraphLines(1), QStringList({"", "", "Risk Zone: PARKS (2 Tree(s) )", "", "", "",
                                                  "Risk Zone: O'BRIEN PARK (1 Tree(s) )", "",
                                                  "Risk Zone: ~~ (1 Tree(s) )", "", "Risk Zone: (none) (2 Tree(s) )",
                                                  ""}));
    EXPECT_EQ(documentTreeIds(doc), QStringList({"3", "1", "2", "4", "6", "5"}));

    ReportDocument undivided;
    BuildTreesNeedingCAList(db, undivided, {}, PrintedAt);
    QStringList divided = documentTreeIds(doc), all = documentTreeIds(undivided);
    divided.sort();
    all.sort();
    EXPECT_EQ(divided, all);
}

// --- Specific corrective action -------------------------------------------------------

TEST(ListHasCode, MatchesWholeNumbersOnly)
{
    const struct {
        QVariant list;
        int code;
        bool has;
    } cases[] = {
        {"2,10,11", 10, true}, {"2,10,11", 1, false}, {" 1", 1, true},  {"01", 1, true},   {"11,12", 1, false},
        {"3, 9", 9, true},     {"", 1, false},        {QVariant(), 1, false}, {"a,b", 0, false}, {"1a", 1, false},
        {"12", 1, false},      {",,", 0, false},
        // The numeric value of each piece, as the cost summary prices it.
        {"3.0", 3, true},      {"9,3e0", 3, true},    {"3.5", 3, false}, {"inf", 0, false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(ListHasCode(c.list, c.code), c.has) << c.list.toString().toStdString() << " ? " << c.code;
}

TEST_F(ReportsTest, MarkingFlagsExactlyTheTreesOfTheLastCode)
{
    const qint64 a = addTree(db, {.treeId = 1, .actions = "1,3"});
    const qint64 b = addTree(db, {.treeId = 2, .actions = "11,12"});
    const qint64 c = addTree(db, {.treeId = 3, .actions = " 1"});
    const qint64 d = addTree(db, {.treeId = 4, .actions = "3"});
    const auto flagged = [&] {
        QList<qint64> ids;
        QSqlQuery q = db.query("SELECT ID FROM _Archived_SurveyData WHERE Report_Flag = 1 ORDER BY ID");
        while (q.next())
            ids.append(q.value(0).toLongLong());
        return ids;
    };
    EXPECT_EQ(markTreesWithCode(db, 1), 2);
    EXPECT_EQ(flagged(), QList<qint64>({a, c}));
    EXPECT_EQ(markTreesWithCode(db, 3), 2);
    EXPECT_EQ(flagged(), QList<qint64>({a, d}));
    EXPECT_EQ(markTreesWithCode(db, 7), 0);
    EXPECT_TRUE(flagged().isEmpty());
    (void)b;
}

TEST_F(ReportsTest, AFailedMarkingLeavesTheFlagsOfTheLastOne)
{
    const qint64 a = addTree(db, {.treeId = 1, .actions = "1"});
    const qint64 b = addTree(db, {.treeId = 2, .actions = "2"});
    markTreesWithCode(db, 1);
    // The engine refuses to mark the second tree.
    if (onServer()) {
        db.exec("CREATE FUNCTION refuse() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN RAISE 'refused'; END $$");
        db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF Report_Flag ON _Archived_SurveyData FOR EACH "
                               "ROW WHEN (NEW.ID = %1 AND NEW.Report_Flag = 1) EXECUTE FUNCTION refuse()")
                    .arg(b));
    } else {
        db.exec(QStringLiteral("CREATE TRIGGER refuse BEFORE UPDATE OF Report_Flag ON _Archived_SurveyData "
                               "WHEN NEW.ID = %1 AND NEW.Report_Flag = 1 BEGIN SELECT RAISE(ABORT, 'refused'); END")
                    .arg(b));
    }
    EXPECT_THROW(markTreesWithCode(db, 2), DbError);
    EXPECT_EQ(db.scalar("SELECT Report_Flag FROM _Archived_SurveyData WHERE ID = ?", {a}).toInt(), 1);
    EXPECT_EQ(db.scalar("SELECT Report_Flag FROM _Archived_SurveyData WHERE ID = ?", {b}).toInt(), 0);
}

TEST_F(ReportsTest, SpecificReportListsTheFlaggedTreesUnderItsOwnTitle)
{
    addTree(db, {.treeId = 1, .street = "B ST", .actions = "2,10,11"});
    addTree(db, {.treeId = 2, .street = "A ST", .actions = "1"});
    addTree(db, {.treeId = 3, .street = "C ST", .actions = "01"});
    addTree(db, {.treeId = 4, .zone = "~~", .actions = "1"});
    markTreesWithCode(db, 1);
    ReportDocument doc;
    ActionReportOptions o{.ratingText = "0", .actionText = "01 - Move Target"};
    BuildSpecificCAList(db, doc, o, PrintedAt);
    EXPECT_EQ(doc.headerLines(1), QStringList({"Trees Needing 01 - Move Target - Risk Rating >= 0"}));
    EXPECT_EQ(doc.paragraphLines(1), QStringList({"ALL Risk Zones:  (3 Tree(s) )", ""}));
    EXPECT_EQ(documentTreeIds(doc), QStringList({"2", "3", "4"}));
    EXPECT_EQ(doc.tableRows(1)[2].cells.value(8), "01") << "the whole stored list";
}

TEST_F(ReportsTest, ACodeOnNoTreeGivesEmptySections)
{
    addTree(db, {.treeId = 1, .zone = "PARKS", .actions = "3"});
    markTreesWithCode(db, 8);
    ReportDocument list, divided;
    BuildSpecificCAList(db, list, {.actionText = "08 - Thin the Crown"}, PrintedAt);
    EXPECT_EQ(list.paragraphLines(1),
              QStringList({"ALL Risk Zones:  (0 Tree(s) )", "", "No trees meet the selection"}));
    EXPECT_TRUE(list.tableRows(1).empty());
    BuildSpecificCAByZone(db, divided, {.actionText = "08 - Thin the Crown"}, PrintedAt);
    EXPECT_EQ(divided.paragraphLines(1), QStringList({"No trees meet the selection"}));
    EXPECT_TRUE(divided.tableRows(1).empty());
}

// Another person's change while a report reads does not reach it halfway:
// the trees of the corrective action are marked and then read in one
// transaction, which the other person's marking cannot enter meanwhile.
TEST_F(ReportsTest, AReportReadsInOneSnapshotWhateverAnotherConnectionWritesMeanwhile)
{
    // The file's engine keeps the other writer out while the report reads;
    // the server lets it write and the report reads its snapshot (the
    // store's server tests show that).
    KOLVA_SQLITE_FILE_ONLY();
    addTree(db, {.treeId = 1, .zone = "PARKS", .actions = "3"});
    addTree(db, {.treeId = 2, .zone = "PARKS", .actions = "9"});
    addTree(db, {.treeId = 3, .zone = "PARKS", .actions = "3,9"});
    const auto other = Database::open(db.path(), 0);
    struct Meanwhile : NullProgress {
        std::function<void()> act;
        void beginStage(const QString& label, qint64) override
        {
            if (act && label == "Selecting the trees")
                std::exchange(act, nullptr)();
        }
    };
    struct Case {
        const char* name;
        bool specific;
        const char* write;
        QStringList listed;
    };
    const Case cases[] = {
        {"another report marks its action", true, nullptr, {"1", "3"}},
        {"a tree moves to another zone", false, "UPDATE _Archived_SurveyData SET RiskZone = 'NEW' WHERE Tree_ID = 1",
         {"1", "2", "3"}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QString refused;
        Meanwhile progress;
        progress.act = [&] {
            try {
                if (c.write)
                    other->exec(c.write);
                else
                    markTreesWithCode(*other, 9);
            } catch (const DbError& error) {
                refused = error.message();
            }
        };
        const ActionReportOptions options{.divideByZone = true, .actionCode = 3, .actionText = "03 - Remove Tree"};
        ReportDocument doc;
        if (c.specific)
            buildSpecificCAReport(doc, db, options, PrintedAt, progress);
        else
            buildTreesNeedingCAReport(doc, db, options, PrintedAt, progress);
        EXPECT_EQ(documentTreeIds(doc), c.listed);
        EXPECT_TRUE(doc.paragraphLines(1).contains(QStringLiteral("Risk Zone: PARKS (%1 Tree(s) )").arg(c.listed.size())))
            << doc.paragraphLines(1).join('|').toStdString();
        EXPECT_TRUE(refused.contains("locked")) << refused.toStdString();
    }
}

TEST_F(ReportsTest, EveryReportSavesAsAPdfThatReadsLikeItsPages)
{
    addTree(db, {.treeId = 11, .zone = "PARKS", .street = "ELM ST", .actions = "3,9", .note = "by the school"});
    addTree(db, {.treeId = 12, .zone = "O'BRIEN PARK", .street = "OAK AVE", .actions = "3"});
    markTreesWithCode(db, 9);
    const ActionReportOptions byZone{.divideByZone = true, .actionCode = 9, .actionText = "09 - Reduce Height"};
    const struct {
        const char* name;
        std::function<void(ReportDocument&)> build;
        QStringList expected;
    } cases[] = {
        {"reinspection",
         [&](ReportDocument& d) { buildReinspection(db, {.yearText = "2009"}, d, PrintedAt); },
         {"Reinspection Report FOR 2009", "Date Evaluated", "O'BRIEN PARK", "Page 1"}},
        {"trees needing CA by zone", [&](ReportDocument& d) { BuildTreesNeedingCAByZone(db, d, byZone, PrintedAt); },
         {"Risk Zone: PARKS (1 Tree(s) )", "Risk Zone: O'BRIEN PARK (1 Tree(s) )", "by the school", "Done"}},
        {"specific CA", [&](ReportDocument& d) { BuildSpecificCAList(db, d, byZone, PrintedAt); },
         {"Trees Needing 09 - Reduce Height - Risk Rating >= 0", "ALL Risk Zones: (1 Tree(s) )", "3,9",
          "Printed : 02-Jan-08 02:05 PM"}},
    };
    for (const auto& c : cases) {
        ReportDocument doc;
        c.build(doc);
        const QString path = t.dir.filePath(QStringLiteral("%1.pdf").arg(c.name));
        doc.SaveAsPdf(path);
        const QString text = pdfText(path).simplified();
        for (const QString& expected : c.expected)
            EXPECT_TRUE(text.contains(expected)) << c.name << ": " << expected.toStdString();
        EXPECT_EQ(pdfPageCount(path), doc.pageCount()) << c.name;
    }
}

} // namespace
