#include "reports/reinspection.h"

#include "platform/prompter.h"
#include "reports/reportcommon.h"
#include "reports/reportdocument.h"
#include "store/database.h"
#include "store/numbers.h"

#include <QRegularExpression>

namespace kolva {

namespace {

const QString Columns =
    QStringLiteral("^+.55in|^+1.50in|^+.5in|<2.0in|^+0.70in|<+2.25in|>+.5in|<1.0in|^0.95in");
const QString Titles =
    QStringLiteral("Tree ID|RiskZone|St #|Street Name|Location|Species|DBH|Date Evaluated|Risk Rating");

// The reinspection year of a record as a number, or NULL when the field
// holds no year (a two-digit year is 1930 to 2029).
const QString YearOfRecord = QStringLiteral(
    "(CASE WHEN trim(ReinspectYear) GLOB '[0-9][0-9][0-9][0-9]' THEN CAST(trim(ReinspectYear) AS INTEGER)"
    " WHEN trim(ReinspectYear) GLOB '[0-9][0-9]' THEN CAST(trim(ReinspectYear) AS INTEGER)"
    " + CASE WHEN CAST(trim(ReinspectYear) AS INTEGER) < 30 THEN 2000 ELSE 1900 END END)");

// A report reads much of the table: one pass over it and one sort are faster
// than fetching every row through an index, so the terms that could use an
// index carry a unary "+", which keeps the column's collation.
struct SortChoice {
    const char* order;
    const char* title;
};
const SortChoice Sorts[] = {
    {" ORDER BY +Tree_ID, +ID", " - Sorted by Tree ID"},
    {" ORDER BY +Hazard_Rating DESC, +StreetName, +ID", " - Sorted by Hazard Rating and StreetName"},
    {" ORDER BY +StreetName, +StreetNum, +ID", " - Sorted by Street Name and Number"},
    {" ORDER BY +Hazard_Rating DESC, +ID", " - Sorted by Hazard Rating"},
};

const SortChoice& sortOf(int sort)
{
    return Sorts[sort >= 0 && sort < 4 ? sort : 3];
}

} // namespace

QStringList reinspectionYears(const QDate& today)
{
    QStringList years;
    years.append(QString::number(today.addDays(-365).year()));
    for (int i = 0; i <= 10; ++i)
        years.append(QString::number(today.addDays(qint64(i) * 365).year()));
    return years;
}

std::optional<int> reinspectionYear(const QString& yearText)
{
    static const QRegularExpression digits(QStringLiteral("^[0-9]{1,4}$"));
    const QString t = yearText.trimmed();
    if (!digits.match(t).hasMatch())
        return std::nullopt;
    const int year = t.toInt();
    if (year < 1)
        return std::nullopt;
    return year;
}

QString notAYearMessage()
{
    return QStringLiteral("Please enter the year of the inspections as a number, for example 2009");
}

std::vector<QStringList> selectReinspectionTrees(Database& db, const ReinspectionOptions& options)
{
    const std::optional<int> year = reinspectionYear(options.yearText);
    if (!year)
        return {};
    // The due month decides the quarter; the month and day of the evaluation
    // in the reinspection year always fall in the quarter of that month.
    const QString sql =
        QStringLiteral("SELECT Tree_ID,RiskZone,StreetNum,StreetName,Location,Species,DBH,"
                       "strftime('%m/%d/%Y',Date_Evaluated),Hazard_Rating FROM _Archived_SurveyData WHERE ") +
        (options.allZones ? QStringLiteral("(RiskZone <> ? AND trim(RiskZone) <> '')") : QStringLiteral("(RiskZone = ?)")) +
        QStringLiteral(" AND ") + YearOfRecord +
        QStringLiteral(" = ? AND ((? AND CAST(substr(Date_Evaluated,6,2) AS INTEGER) BETWEEN 1 AND 3)"
                       " OR (? AND CAST(substr(Date_Evaluated,6,2) AS INTEGER) BETWEEN 4 AND 6)"
                       " OR (? AND CAST(substr(Date_Evaluated,6,2) AS INTEGER) BETWEEN 7 AND 9)"
                       " OR (? AND CAST(substr(Date_Evaluated,6,2) AS INTEGER) BETWEEN 10 AND 12))"
                       " AND (+Hazard_Rating >= ? AND +Hazard_Rating <= ?)") +
        QString::fromLatin1(sortOf(options.sort).order);
    QSqlQuery q = db.query(sql, {options.allZones ? NoZoneMark : options.zone, *year, options.quarters[0],
                                 options.quarters[1], options.quarters[2], options.quarters[3],
                                 wholeNumberValue(options.fromText), wholeNumberValue(options.toText)});
    std::vector<QStringList> rows;
    while (q.next()) {
        QStringList row;
        row.reserve(9);
        for (int c = 0; c < 9; ++c)
            row.append(cellText(q.value(c)));
        rows.push_back(std::move(row));
    }
    return rows;
}

QString reinspectionHeader(const ReinspectionOptions& options)
{
    const QString zoneTitle = options.allZones ? QStringLiteral(" (ALL RISK ZONES - )")
                                               : QStringLiteral(" (RISK ZONE: ") + options.zone + QStringLiteral(" ONLY) ");
    return QStringLiteral("|Reinspection Report FOR ") + options.yearText + QStringLiteral("\r\n") + zoneTitle +
           QString::fromLatin1(sortOf(options.sort).title);
}

void composeReinspectionReport(ReportDocument& document, const ReinspectionOptions& options,
                               std::vector<QStringList> rows, const QDateTime& printedAt)
{
    document.BeginDocument();
    document.SetPageMargins(QStringLiteral("0.750in"), QStringLiteral("0.75in"));
    document.SetHeaderStyle(QStringLiteral("Arial"), 12, HeaderBlue);
    document.SetOrientation(ReportDocument::Landscape);
    document.SetPageHeader(reinspectionHeader(options));
    document.SetPageFooter(printedFooter(printedAt));
    document.SetTextSize(7);
    document.MoveToLeftMargin();
    document.BeginTable();
    document.SetTableFont(8, false);
    if (!rows.empty())
        document.AddTableRows(Columns, Titles, std::move(rows), HeaderShade);
    document.EndTable();
    document.EndDocument();
}

bool BuildReinspectionReport(Database& db, Prompter& prompter, QWidget* parent, const ReinspectionOptions& options,
                             ReportDocument& document, const QDateTime& printedAt)
{
    if (!options.quarters[0] && !options.quarters[1] && !options.quarters[2] && !options.quarters[3]) {
        prompter.warn(parent, QStringLiteral("Please select at least ONE quarter"), QStringLiteral("Selection Error"));
        return false;
    }
    if (!reinspectionYear(options.yearText)) {
        prompter.warn(parent, notAYearMessage(), QStringLiteral("Error"));
        return false;
    }
    composeReinspectionReport(document, options, selectReinspectionTrees(db, options), printedAt);
    return true;
}

} // namespace kolva
