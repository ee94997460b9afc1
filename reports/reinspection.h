#pragma once
// The reinspection report: the trees whose reinspection falls due in chosen
// quarters of a year, for all risk zones or one, within a range of risk
// ratings, in one of four orders. A tree is due on the month and day of its
// evaluation in its reinspection year (a tree evaluated on 29 February is due
// on 28 February when that year has no 29 February).
//
// The report is made from its options as a value, without a window, so that
// it can be built on a worker thread or from the command line.

#include "reports/rowstore.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace kolva {

class Database;
class Progress;
class ReportDocument;

struct ReinspectionOptions {
    QString yearText;                                  // as typed in the year list
    std::array<bool, 4> quarters{true, true, true, true}; // Q1..Q4
    QString fromText = QStringLiteral("0");            // risk ratings from..to, as typed;
    QString toText;                                    // "": no upper bound
    bool allZones = true;
    QString zone;                                      // when not all zones; "" for the trees without one
    int sort = 3;                                      // 0 Tree ID, 1 rating and street, 2 street, 3 rating
};

// The options the window opens with: the year after the first one offered,
// all quarters, ratings from 0 to the highest the risk questions can give,
// all zones, highest rating first.
ReinspectionOptions defaultReinspectionOptions(Database& db, const QDate& today);

// The years offered: the year of 365 days ago, then the years of today and
// of every 365 days after it, eleven in all (a year can show twice).
QStringList reinspectionYears(const QDate& today);

// The year typed, when it is one (1 to 9999, blanks around allowed).
std::optional<int> reinspectionYear(const QString& yearText);

// Why options cannot make a report: the message and its caption.
struct OptionsProblem {
    enum Field { Ratings, Quarters, Year };
    Field field;
    QString text;
    QString caption;
};
// The first problem of the options, if any: a rating range whose end is
// below its start, no quarter, a year that is not a number.
std::optional<OptionsProblem> reinspectionOptionsProblem(const ReinspectionOptions& options);
// The message for a year that is not a number.
QString notAYearMessage();

// The rows of the report: Tree ID, risk zone, street number, street name,
// location, species, DBH, date evaluated (MM/DD/YYYY), risk rating. The
// options must have no problem.
RowStore selectReinspectionTrees(Database& db, const ReinspectionOptions& options, Progress& progress);

// The page header: title with the year, then the zones and the order.
QString reinspectionHeader(const ReinspectionOptions& options);

// Composes the report of those rows.
void composeReinspectionReport(ReportDocument& document, const ReinspectionOptions& options, RowStore rows,
                               const QDateTime& printedAt);

// The whole build: selects and composes, reporting progress and stopping
// with ReportCancelled on request. Throws std::invalid_argument with the
// message when the options have a problem.
void buildReinspectionReport(ReportDocument& document, Database& db, const ReinspectionOptions& options,
                             const QDateTime& printedAt, Progress& progress);

} // namespace kolva
