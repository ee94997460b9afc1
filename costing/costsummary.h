#pragma once
// The risk reduction cost summary: the survey records of a period and a
// range of risk ratings, each priced by its DBH for the corrective actions
// chosen, one line per tree in the work table _tmp_Cost_Report, listed in one
// of five orders and closed by the number of trees, the cost of the listed
// work and the cost to mobilize.
//
// The summary is made from its options as a value, without a window, so that
// it can be built on a worker thread or from the command line.

#include "costing/period.h"
#include "reports/rowstore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <array>
#include <optional>
#include <vector>

namespace kolva {

class Database;
class Progress;
class ReportDocument;
struct CostRange;

// The corrective actions the summary prices, by code 1 to 11.
using ActionChoice = std::array<bool, 11>;

// The captions of the eleven action boxes of the options window, by code.
QStringList costActionCaptions();

// The five orders of the listing.
enum class CostSort {
    None = -1,
    CostHighToLow = 0,
    CostLowToHigh = 1,
    RatingHighToLow = 2,
    StreetThenCost = 3,
    TreeId = 4,
};
constexpr int CostSortCount = 5;
// The captions of the order buttons, and the subtitle each order prints.
QStringList costSortCaptions();
QString costSortSubtitle(CostSort sort);

struct CostReportOptions {
    ActionChoice actions{true, true, true, true, true, true, true, true, true, true, true};
    QString fromText = QStringLiteral("0"); // risk ratings from..to, as typed
    QString toText = QStringLiteral("12");
    DatePeriod period;
    // "All on File": every survey record, those without a date included; the
    // period is not read.
    bool allOnFile = false;
    CostSort sort = CostSort::CostHighToLow;
};

// Why options cannot make a summary: the message and which box it is about.
struct CostOptionsProblem {
    enum Field { Actions, Ratings, Period };
    Field field;
    QString text;
};
// The first problem, in the order the options window checks them: no action
// chosen, a rating bound empty, the upper rating below the lower, a period
// without valid dates (unless all on file).
std::optional<CostOptionsProblem> costOptionsProblem(const CostReportOptions& options);

// The message when no tree is in the period and rating range, and its
// caption; it says how many trees of the period have no rating, if any.
QString noCostTreesMessage(qint64 unrated = 0);
QString noCostTreesCaption();

// The cost table as the pricing reads it: read once, looked up per tree.
class CostTable {
public:
    CostTable() = default;
    explicit CostTable(const std::vector<CostRange>& ranges);
    static CostTable read(Database& db);
    // The cost of one action for one tree: the first range of the action (by
    // lower bound) with lower <= dbh < upper; 0 when none holds the DBH.
    double actionCost(int action, double dbh) const;

private:
    struct Range {
        double lower;
        double upper;
        double cost;
    };
    std::array<std::vector<Range>, 12> ranges_; // by code; 0 holds nothing
};

// The codes of a corrective action list ("3,9"), in order, read as every
// report reads them (correctiveActionCodes: "3", " 03", "3.0" are 3; empty,
// blank and other pieces such as "3;9" name no action). A missing list names
// none.
std::vector<int> actionCodesOfList(const QVariant& list);

// The cost of one tree: the sum over the codes of its list that are chosen
// (a code listed twice counts twice) of their cost for its DBH. A tree
// without a DBH costs 0.
double ComputeTreeCost(const CostTable& table, const ActionChoice& chosen, const QVariant& dbh,
                       const QVariant& actionList);
double treeCost(const CostTable& table, const ActionChoice& chosen, std::optional<double> dbh, QStringView actionList);

// How many survey records the options select (those of the period whose
// risk rating lies in the range; a tree without a rating is in no range), and
// how many of the period are left out for having no rating: one reading of
// the period.
struct CostCounts {
    qint64 trees = 0;
    qint64 unrated = 0;
};
CostCounts countCostTrees(Database& db, const CostReportOptions& options);

// What a build of the work table found.
struct CostTotals {
    qint64 trees = 0;
    double cost = 0;
    qint64 unrated = 0; // trees of the period left out for having no rating
};

// Counts the selected survey records ("Counting the trees") and, when there
// are any, drops and makes again _tmp_Cost_Report and writes into it one row
// per record with its cost ("Pricing the trees", the count known), all in one
// transaction; cancelled, it leaves the table of the last build and throws
// ReportCancelled. Without a record to price the table is left as it was.
CostTotals fillCostReportTable(Database& db, const CostReportOptions& options, Progress& progress);

// The rows of _tmp_Cost_Report in the order of the options: Tree ID, street
// number, street name, location, species, DBH, risk rating, cost (as money:
// "$1,434.50").
RowStore readCostReportRows(Database& db, CostSort sort, Progress& progress);

// The closing line: the number of trees, the cost of the listed work and
// the cost to mobilize, apart, and how many trees of the period were left out
// for having no rating, when any were.
QString costTotalsLine(const CostTotals& totals, double mobilization);

// Composes the summary page by page from the rows.
void composeCostSummary(ReportDocument& document, CostSort sort, RowStore rows,
                        const CostTotals& totals, double mobilization, const QDateTime& printedAt);

// The whole build: the work table, the listing and the document, reporting
// progress and stopping with ReportCancelled on request. Throws
// std::invalid_argument with the message when the options have a problem, and
// ReportNothingToList (noCostTreesMessage) when no tree is selected.
CostTotals buildCostSummary(ReportDocument& document, Database& db, const CostReportOptions& options,
                            const QDateTime& printedAt, Progress& progress);

} // namespace kolva
