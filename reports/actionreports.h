#pragma once
// The corrective action reports: the trees that need corrective action, and
// the trees that need one chosen corrective action, with a risk rating at or
// above a threshold, for all risk zones or one, sorted by street address, on
// request one section per risk zone.
//
// A report is made from its options as a value, without a window, so that it
// can be built on a worker thread or from the command line.

#include "reports/rowstore.h"

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

namespace kolva {

class Database;
class Progress;
class ReportDocument;
struct CorrectiveAction;

struct ActionReportOptions {
    QString ratingText = QStringLiteral("0"); // the lowest risk rating, as typed
    bool allZones = true;
    QString zone;        // when not all zones; "" for the trees without one
    bool divideByZone = false; // all zones, one section per zone
    // The chosen corrective action, its code and its text ("03 - Remove
    // Tree"), for the report of the trees that need it.
    int actionCode = 0;
    QString actionText;
};

// Which trees a report lists.
enum class ActionSelection {
    AnyAction, // trees with a corrective action list that is not blank
    Flagged,   // trees marked in Report_Flag by the last marking
};

// The rows: Tree ID, street number, street name, location, species, DBH,
// date evaluated (MM/DD/YYYY), risk rating, corrective actions, note, done
// (always empty), sorted by street and house number.
RowStore selectActionTrees(Database& db, ActionSelection selection, bool allZones, const QString& zone,
                           int minRating, Progress& progress);

// The page header of each report.
QString treesNeedingCAHeader(const ActionReportOptions& options);
QString specificCAHeader(const ActionReportOptions& options);

// The two layouts of each report: one table (all zones, or one zone), and
// one section per zone. A divided report has a section for every zone of the
// risk zone list in list order (a blank line for a zone without trees), then
// for the zones trees carry that the list lacks, then "(none)" for the trees
// without a zone: it lists the trees of the undivided one.
void BuildTreesNeedingCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                             const QDateTime& printedAt);
void BuildTreesNeedingCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                               const QDateTime& printedAt);
void BuildSpecificCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                         const QDateTime& printedAt);
void BuildSpecificCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                           const QDateTime& printedAt);

// The whole builds, with progress and ReportCancelled on request: the layout
// the options ask for; the specific report marks the trees of its action
// first.
void buildTreesNeedingCAReport(ReportDocument& document, Database& db, const ActionReportOptions& options,
                               const QDateTime& printedAt, Progress& progress);
void buildSpecificCAReport(ReportDocument& document, Database& db, const ActionReportOptions& options,
                           const QDateTime& printedAt, Progress& progress);

// The entry of a corrective action in the list of the specific-action
// options: "03 - Remove Tree".
QString correctiveActionItem(const CorrectiveAction& action);

// True when the comma-separated list holds the code, read as the cost
// summary reads it (correctiveActionCodes): " 1", "01" and "1.0" are 1. An
// empty or missing list, and pieces that are not numbers, hold nothing.
bool ListHasCode(const QVariant& list, int code);

// Clears Report_Flag on every tree.
void ClearReportFlags(Database& db);
// Marks exactly the trees whose corrective actions hold the code, in one
// transaction; gives how many were marked. Cancelled, it leaves the marks of
// the last marking and throws ReportCancelled.
int markTreesWithCode(Database& db, int code, Progress& progress);
int markTreesWithCode(Database& db, int code);

} // namespace kolva
