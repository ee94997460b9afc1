#pragma once
// The corrective action reports: the trees that need corrective action, and
// the trees that need one chosen corrective action, with a risk rating at or
// above a threshold, for all risk zones or one, sorted by street address, on
// request one section per risk zone.

#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace kolva {

class Database;
class ReportDocument;
struct CorrectiveAction;

struct ActionReportOptions {
    QString ratingText = QStringLiteral("0"); // the lowest risk rating, as typed
    bool allZones = true;
    QString zone;        // when not all zones
    bool divideByZone = false; // all zones, one section per zone
    QStringList zones;   // the zones of the sections, in list order
    // The chosen corrective action ("03 - Remove Tree"); empty for the
    // report of every tree that needs corrective action.
    QString actionText;
};

// Which trees a report lists.
enum class ActionSelection {
    AnyAction, // trees with a corrective action list that is not blank
    Flagged,   // trees marked in Report_Flag by the last marking
};

// The rows: Tree ID, street number, street name, location, species, DBH,
// date evaluated (MM/DD/YYYY), risk rating, corrective actions, note, done
// (always empty).
std::vector<QStringList> selectActionTrees(Database& db, ActionSelection selection, bool allZones,
                                           const QString& zone, int minRating);

// The page header of each report.
QString treesNeedingCAHeader(const ActionReportOptions& options);
QString specificCAHeader(const ActionReportOptions& options);

void BuildTreesNeedingCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                             const QDateTime& printedAt);
void BuildTreesNeedingCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                               const QDateTime& printedAt);
void BuildSpecificCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                         const QDateTime& printedAt);
void BuildSpecificCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                           const QDateTime& printedAt);

// The entry of a corrective action in the list of the specific-action
// options: "03 - Remove Tree".
QString correctiveActionItem(const CorrectiveAction& action);

// True when the comma-separated list holds the code: a piece whose number
// equals it (" 1" and "01" are 1). An empty or missing list, and pieces that
// are not numbers, hold nothing.
bool ListHasCode(const QVariant& list, int code);

// Clears Report_Flag on every tree.
void ClearReportFlags(Database& db);
// Marks exactly the trees whose corrective actions hold the code, in one
// transaction; gives how many were marked.
int markTreesWithCode(Database& db, int code);

} // namespace kolva
