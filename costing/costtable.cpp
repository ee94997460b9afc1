#include "costing/costtable.h"

#include "store/correctiveactions.h"
#include "store/database.h"

#include <QLocale>
#include <QRegularExpression>

#include <charconv>
#include <cmath>

namespace kolva {

namespace {

const QString RangeColumns = QStringLiteral("ID, CA_TYPE, DBH_LowerLimit, DBH_UpperLimit, CA_Cost");

std::vector<CostRange> readRanges(QSqlQuery& q)
{
    std::vector<CostRange> ranges;
    while (q.next())
        ranges.push_back({q.value(0).toLongLong(), q.value(1).toInt(), q.value(2), q.value(3), q.value(4)});
    return ranges;
}

} // namespace

std::vector<CostRange> readCostRanges(Database& db, int action)
{
    QSqlQuery q = db.query(QStringLiteral("SELECT %1 FROM _tblCosts WHERE CA_TYPE = ? ORDER BY DBH_LowerLimit, ID")
                               .arg(RangeColumns),
                           {action});
    return readRanges(q);
}

std::vector<CostRange> readAllCostRanges(Database& db)
{
    QSqlQuery q = db.query(
        QStringLiteral("SELECT %1 FROM _tblCosts ORDER BY CA_TYPE, DBH_LowerLimit, ID").arg(RangeColumns));
    return readRanges(q);
}

void addCostRange(Database& db, int action, double lower, double upper, double cost)
{
    db.exec(QStringLiteral("INSERT INTO _tblCosts (CA_TYPE, DBH_LowerLimit, DBH_UpperLimit, CA_Cost) VALUES (?, ?, ?, ?)"),
            {action, lower, upper, cost});
}

void deleteCostRange(Database& db, qint64 id)
{
    db.exec(QStringLiteral("DELETE FROM _tblCosts WHERE ID = ?"), {id});
}

double readMobilizationCost(Database& db)
{
    return db.scalar(QStringLiteral("SELECT Mobilize_Cost FROM _tblMobilization WHERE ID = 1")).toDouble();
}

void writeMobilizationCost(Database& db, double cost)
{
    db.exec(QStringLiteral("INSERT INTO _tblMobilization (ID, Mobilize_Cost) VALUES (1, ?) "
                           "ON CONFLICT (ID) DO UPDATE SET Mobilize_Cost = excluded.Mobilize_Cost"),
            {cost});
}

QString actionEntryText(const CorrectiveAction& action)
{
    return QStringLiteral("%1 - %2").arg(action.code, 2, 10, QLatin1Char('0')).arg(action.description);
}

int actionCodeOfEntry(const QString& entry)
{
    return int(typedNumber(entry.left(2)).value_or(0));
}

QString plainNumber(double value)
{
    char buffer[400];
    const auto result = std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed);
    if (result.ec != std::errc())
        return QString::number(value, 'g', 17);
    return QString::fromLatin1(buffer, result.ptr - buffer);
}

QString plainNumber(const QVariant& value)
{
    if (value.isNull())
        return {};
    switch (value.typeId()) {
    case QMetaType::Double:
    case QMetaType::Float:
        return plainNumber(value.toDouble());
    default:
        return value.toString();
    }
}

namespace {

// A whole number with thousands separators: "32,767", "-32,768".
QString formatWhole(double value)
{
    static const QLocale us(QLocale::English, QLocale::UnitedStates);
    return us.toString(qint64(value));
}

} // namespace

QString formatCost(double value)
{
    static const QLocale us(QLocale::English, QLocale::UnitedStates);
    if (std::abs(value) < 0.005)
        value = 0; // no "-0.00"
    return us.toString(value, 'f', 2);
}

QString formatDollars(double value)
{
    const QString amount = formatCost(std::abs(value));
    return (value <= -0.005 ? QStringLiteral("-$") : QStringLiteral("$")) + amount;
}

bool isCostInRange(double cost)
{
    return cost >= 0 && cost <= MaximumCost;
}

QString mobilizationCostProblem()
{
    return QStringLiteral("Please enter a cost to mobilize from $0 to $%1").arg(formatWhole(MaximumCost));
}

std::optional<double> typedNumber(const QString& text)
{
    static const QRegularExpression leading(QStringLiteral(R"(^\s*([-+]?)\s*(\d+(?:\.\d*)?|\.\d+))"));
    const QRegularExpressionMatch m = leading.match(text);
    if (!m.hasMatch())
        return std::nullopt;
    const double magnitude = m.captured(2).toDouble();
    return m.captured(1) == QLatin1String("-") ? -magnitude : magnitude;
}

CostEntryReading readCostEntry(const QString& fromText, const QString& toText, const QString& costText)
{
    if (fromText.trimmed().isEmpty() || toText.trimmed().isEmpty())
        return {std::nullopt, CostEntryProblem{CostEntryProblem::From, QStringLiteral("Please enter a DBH range")}};
    const std::optional<double> lower = typedNumber(fromText);
    const std::optional<double> upper = typedNumber(toText);
    if (!lower || !upper || *upper <= *lower)
        return {std::nullopt,
                CostEntryProblem{CostEntryProblem::From, QStringLiteral("There is an error in your specified DBH range")}};
    const QString outside = QStringLiteral("There is an error in your specified DBH range: a DBH lies between %1 and %2")
                                .arg(formatWhole(MinimumDbh), formatWhole(MaximumDbh));
    if (*lower < MinimumDbh || *lower > MaximumDbh)
        return {std::nullopt, CostEntryProblem{CostEntryProblem::From, outside}};
    if (*upper < MinimumDbh || *upper > MaximumDbh)
        return {std::nullopt, CostEntryProblem{CostEntryProblem::To, outside}};
    const std::optional<double> cost = typedNumber(costText);
    if (!cost)
        return {std::nullopt,
                CostEntryProblem{CostEntryProblem::Cost,
                                 QStringLiteral("Please enter a cost estimate for this corrective action and DBH range")}};
    if (!isCostInRange(*cost))
        return {std::nullopt,
                CostEntryProblem{CostEntryProblem::Cost,
                                 QStringLiteral("Please enter a cost estimate from $0 to %1 for this corrective action "
                                                "and DBH range")
                                     .arg(QLatin1Char('$') + formatWhole(MaximumCost))}};
    return {CostEntry{*lower, *upper, *cost + 0.0}, std::nullopt}; // no "-0"
}

} // namespace kolva
