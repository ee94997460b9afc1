#pragma once
// What the inspection reports and their options read besides the trees
// themselves: the risk zones a report can be limited to, the highest risk
// rating the risk questions can give, and reading the selected rows. None of
// it touches a widget, so that it runs on a report's worker thread and on the
// command line.

#include "reports/rowstore.h"

#include <QString>
#include <QStringList>
#include <QVariant>

#include <functional>

class QSqlQuery;

namespace kolva {

class Database;
class Progress;

// How a report names the trees that have no risk zone (none, or blanks).
inline const QString NoZoneName = QStringLiteral("(none)");

// A zone name that stands for no zone: empty or blanks.
bool isNoZone(const QString& zone);
// The zone as a report heading names it: "(none)" for no zone.
QString zoneTitle(const QString& zone);
// The form of a zone name that the engine compares (letters A to Z in any
// case are the same), to tell zones apart as the engine does.
QString zoneKey(const QString& zone);

// The zones a report can be limited to, in the order the lists show them:
// the risk zone list in table order (blank and repeated names left out), the
// zones that trees carry but the list lacks (by name), and "" (no zone) when
// some trees have none. Every tree is in exactly one of them.
QStringList reportZoneChoices(Database& db);

// The condition that keeps the trees of one zone ("" for the trees without
// a zone), or of all zones, with its values to bind.
struct ZoneCondition {
    QString sql;
    QVariantList values;
};
ZoneCondition zoneCondition(bool allZones, const QString& zone);

// The highest risk rating the current risk questions can give: the sum of
// the highest answer score of each of the four questions (0 without any).
int highestRiskRating(Database& db);

// Reads the first columns of every row of a query into a store, reporting
// the count and stopping with ReportCancelled when cancellation is asked for.
RowStore readRows(QSqlQuery& query, int columns, Progress& progress);
// After the last row of a query: ReportCancelled when the user cancelled (a
// statement stopped by StatementStop ends early), DbError when it failed.
void checkQueryEnd(const QSqlQuery& query, Progress& progress);

// Runs the work of a report build with the database's statements stopping
// when cancellation is asked for; a statement so stopped ends the work with
// ReportCancelled.
void runCancellable(Database& db, Progress& progress, const std::function<void()>& work);

} // namespace kolva
