#pragma once
// The cost table: for every corrective action, estimated costs by trunk
// diameter (DBH) range, lower bound included, upper bound excluded ("3 to 6"
// covers 3.0 in up to 5.99 in). Ranges of one action are not compared with
// one another: overlapping, repeated and gapped ranges are all kept. And the
// cost to mobilize a crew, kept beside the table.

#include <QString>
#include <QVariant>

#include <optional>
#include <vector>

namespace kolva {

class Database;
struct CorrectiveAction;

// One row of _tblCosts. A bound or cost the table holds no value for is null.
struct CostRange {
    qint64 id = 0;
    int action = 0;
    QVariant lower;
    QVariant upper;
    QVariant cost;
};

// The ranges of one action, by lower bound (then in the order entered).
// Throws DbError.
std::vector<CostRange> readCostRanges(Database& db, int action);
// Every range of every action, by action, then as readCostRanges.
std::vector<CostRange> readAllCostRanges(Database& db);
void addCostRange(Database& db, int action, double lower, double upper, double cost);
void deleteCostRange(Database& db, qint64 id);

// The cost to mobilize a crew, in whole dollars (0 when never set).
double readMobilizationCost(Database& db);
void writeMobilizationCost(Database& db, double cost);

// An action as the cost table window lists it: "03 - Remove Tree".
QString actionEntryText(const CorrectiveAction& action);
// The action code of such an entry: the number its first two characters make.
int actionCodeOfEntry(const QString& entry);

// A number as the cost table shows it: plain, shortest, with "." ("12",
// "5.5", "-3"); a value that is no number as it is, and nothing as "".
QString plainNumber(const QVariant& value);
QString plainNumber(double value);
// A cost with thousands separators and two decimals: "1,234.00", "0.50".
QString formatCost(double value);
// The same after a dollar sign: "$1,234.50", "-$5.00".
QString formatDollars(double value);

// A range as typed into the add panel, or why it cannot be added.
// What the DBH field of a survey record holds, and the largest cost the
// table takes for one tree.
constexpr double MinimumDbh = -32768;
constexpr double MaximumDbh = 32767;
constexpr double MaximumCost = 999'999'999;

// The message for a cost to mobilize outside 0 to MaximumCost.
QString mobilizationCostProblem();
// Whether a cost lies within 0 to MaximumCost.
bool isCostInRange(double cost);

struct CostEntry {
    double lower = 0;
    double upper = 0;
    double cost = 0;
};
struct CostEntryProblem {
    enum Field { From, To, Cost };
    Field field;
    QString text;
};
struct CostEntryReading {
    std::optional<CostEntry> entry;
    std::optional<CostEntryProblem> problem;
};
// The checks, in order: both bounds given ("Please enter a DBH range"); both
// bounds numbers and the upper above the lower ("There is an error in your
// specified DBH range"); both bounds within what the DBH of a tree can be,
// MinimumDbh to MaximumDbh; a cost given that is a number ("Please enter a
// cost estimate for this corrective action and DBH range"), from 0 to
// MaximumCost. A number is read from the start of the text ("12" and "12 in"
// are 12); a text without a leading number ("-", "abc") is none.
CostEntryReading readCostEntry(const QString& fromText, const QString& toText, const QString& costText);

// The number a typed text begins with ("12", "-3", "12.5 in"), if it begins
// with one.
std::optional<double> typedNumber(const QString& text);

} // namespace kolva
