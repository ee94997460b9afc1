#pragma once
// The reinspection report: the trees whose reinspection falls due in chosen
// quarters of a year, for all risk zones or one, within a range of risk
// ratings, in one of four orders. A tree is due on the month and day of its
// evaluation in its reinspection year (a tree evaluated on 29 February is due
// on 28 February when that year has no 29 February).

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <array>
#include <optional>
#include <vector>

class QWidget;

namespace kolva {

class Database;
class Prompter;
class ReportDocument;

struct ReinspectionOptions {
    QString yearText;                                  // as typed in the year list
    std::array<bool, 4> quarters{true, true, true, true}; // Q1..Q4
    QString fromText = QStringLiteral("0");            // risk ratings from..to, as typed
    QString toText = QStringLiteral("12");
    bool allZones = true;
    QString zone;                                      // when not all zones
    int sort = 3;                                      // 0 Tree ID, 1 rating and street, 2 street, 3 rating
};

// The years offered: the year of 365 days ago, then the years of today and
// of every 365 days after it, eleven in all (a year can show twice).
QStringList reinspectionYears(const QDate& today);

// The year typed, when it is one (1 to 9999, blanks around allowed).
std::optional<int> reinspectionYear(const QString& yearText);

// The rows of the report: Tree ID, risk zone, street number, street name,
// location, species, DBH, date evaluated (MM/DD/YYYY), risk rating. The
// year must be one and at least one quarter ticked.
std::vector<QStringList> selectReinspectionTrees(Database& db, const ReinspectionOptions& options);

// The page header: title with the year, then the zones and the order.
QString reinspectionHeader(const ReinspectionOptions& options);

// Composes the report of those rows.
void composeReinspectionReport(ReportDocument& document, const ReinspectionOptions& options,
                               std::vector<QStringList> rows, const QDateTime& printedAt);

// The whole build: refuses without a quarter ("Please select at least ONE
// quarter") or a year, selects and composes. False when it stopped.
bool BuildReinspectionReport(Database& db, Prompter& prompter, QWidget* parent, const ReinspectionOptions& options,
                             ReportDocument& document, const QDateTime& printedAt);

// The message for a year that is not a number.
QString notAYearMessage();

} // namespace kolva
