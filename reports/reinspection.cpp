#include "reports/reinspection.h"

#include "platform/jobprogress.h"
#include "reports/reportcommon.h"
#include "reports/reportdata.h"
#include "reports/reportdocument.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/sortkeys.h"
#include "store/sqlforms.h"

#include <QRegularExpression>

#include <limits>
#include <stdexcept>

namespace kolva {

namespace {

const QString Columns =
    QStringLiteral("^+.55in|^+1.50in|^+.5in|<2.0in|^+0.70in|<+2.25in|>+.5in|<1.0in|^0.95in");
const QString Titles =
    QStringLiteral("Tree ID|RiskZone|St #|Street Name|Location|Species|DBH|Date Evaluated|Risk Rating");

// The reinspection year of a record as a number, or NULL when the field
// holds no year (a two-digit year is 1930 to 2029).

// A report reads much of the table: one pass over it and one sort are faster
// than fetching every row through an index, so the terms that could use an
// index are kept from it (withoutIndex). Rows without a value sort as the
// file's engine sorts them, on either engine. (The sort comes before the
// first row; a cancelled build stops inside it, see StatementStop.)
QString sortOf(const Database& db, int sort)
{
    const QString rating = descendingOrder(db, withoutIndex(db, QStringLiteral("Hazard_Rating")));
    const QString street = ascendingOrder(db, withoutIndex(db, QStringLiteral("StreetName")));
    const QString id = withoutIndex(db, QStringLiteral("ID"));
    switch (sort) {
    case 0:
        return QStringLiteral(" ORDER BY %1, %2").arg(ascendingOrder(db, withoutIndex(db, QStringLiteral("Tree_ID"))), id);
    case 1:
        return QStringLiteral(" ORDER BY %1, %2, %3, %4").arg(rating, street, streetNumberOrder(db), id);
    case 2:
        return QStringLiteral(" ORDER BY %1, %2, %3").arg(street, streetNumberOrder(db), id);
    default:
        return QStringLiteral(" ORDER BY %1, %2").arg(rating, id);
    }
}

// The title of an order, as the page header names it.
const char* sortTitle(int sort)
{
    static const char* const titles[] = {" - Sorted by Tree ID", " - Sorted by Hazard Rating and StreetName",
                                         " - Sorted by Street Name and Number", " - Sorted by Hazard Rating"};
    return titles[sort >= 0 && sort < 4 ? sort : 3];
}

} // namespace

ReinspectionOptions defaultReinspectionOptions(Database& db, const QDate& today)
{
    ReinspectionOptions o;
    o.yearText = reinspectionYears(today).value(1);
    o.toText = QString::number(highestRiskRating(db));
    return o;
}

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

std::optional<OptionsProblem> reinspectionOptionsProblem(const ReinspectionOptions& options)
{
    if (!options.toText.isEmpty() && wholeNumberValue(options.toText) < wholeNumberValue(options.fromText))
        return OptionsProblem{OptionsProblem::Ratings, QStringLiteral("There is a problem with the Risk Rating range"),
                              QStringLiteral("Error")};
    if (!options.quarters[0] && !options.quarters[1] && !options.quarters[2] && !options.quarters[3])
        return OptionsProblem{OptionsProblem::Quarters, QStringLiteral("Please select at least ONE quarter"),
                              QStringLiteral("Selection Error")};
    if (!reinspectionYear(options.yearText))
        return OptionsProblem{OptionsProblem::Year, notAYearMessage(), QStringLiteral("Error")};
    return std::nullopt;
}

RowStore selectReinspectionTrees(Database& db, const ReinspectionOptions& options, Progress& progress)
{
    const std::optional<int> year = reinspectionYear(options.yearText);
    if (!year)
        return RowStore();
    const ZoneCondition zone = zoneCondition(options.allZones, options.zone);
    // The due month decides the quarter; the month and day of the evaluation
    // in the reinspection year always fall in the quarter of that month.
    const QString month = monthOfDate(db, QStringLiteral("Date_Evaluated"));
    const QString sql =
        QStringLiteral("SELECT Tree_ID,RiskZone,StreetNum,StreetName,Location,Species,DBH,") +
        dateShown(db, QStringLiteral("Date_Evaluated")) + QStringLiteral(",Hazard_Rating FROM _Archived_SurveyData WHERE ") +
        zone.sql + QStringLiteral(" AND ") + yearOfText(db, QStringLiteral("ReinspectYear")) +
        QStringLiteral(" = ? AND ((? AND %1 BETWEEN 1 AND 3)"
                       " OR (? AND %1 BETWEEN 4 AND 6)"
                       " OR (? AND %1 BETWEEN 7 AND 9)"
                       " OR (? AND %1 BETWEEN 10 AND 12))"
                       " AND (%2 >= CAST(? AS INTEGER) AND %2 <= CAST(? AS INTEGER))")
            .arg(month, withoutIndex(db, QStringLiteral("Hazard_Rating"))) +
        sortOf(db, options.sort);
    QVariantList values = zone.values;
    values << *year << options.quarters[0] << options.quarters[1] << options.quarters[2] << options.quarters[3]
           << wholeNumberValue(options.fromText)
           << (options.toText.isEmpty() ? std::numeric_limits<int>::max() : wholeNumberValue(options.toText));
    QSqlQuery q = db.query(sql, values);
    return readRows(q, 9, progress);
}

QString reinspectionHeader(const ReinspectionOptions& options)
{
    const QString zoneTitleText = options.allZones
                                      ? QStringLiteral(" (ALL RISK ZONES - )")
                                      : QStringLiteral(" (RISK ZONE: ") + headerLiteral(zoneTitle(options.zone)) +
                                            QStringLiteral(" ONLY) ");
    return QStringLiteral("|Reinspection Report FOR ") + headerLiteral(options.yearText) + QStringLiteral("\r\n") +
           zoneTitleText +
           QString::fromLatin1(sortTitle(options.sort));
}

void composeReinspectionReport(ReportDocument& document, const ReinspectionOptions& options, RowStore rows,
                               const QDateTime& printedAt)
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
    if (rows.isEmpty())
        document.PrintParagraph(NoTreesMessage);
    else
        document.AddTableRows(Columns, Titles, std::move(rows), HeaderShade);
    document.EndTable();
    document.EndDocument();
}

void buildReinspectionReport(ReportDocument& document, Database& db, const ReinspectionOptions& options,
                             const QDateTime& printedAt, Progress& progress)
{
    if (const auto problem = reinspectionOptionsProblem(options))
        throw std::invalid_argument(problem->text.toStdString());
    progress.setCancellable(true);
    progress.beginStage(QStringLiteral("Selecting the trees"), 0);
    RowStore rows;
    runCancellable(db, progress, [&] { rows = selectReinspectionTrees(db, options, progress); });
    progress.beginStage(QStringLiteral("Laying out the pages"), rows.size());
    document.setProgress(&progress);
    try {
        composeReinspectionReport(document, options, std::move(rows), printedAt);
    } catch (...) {
        document.setProgress(nullptr);
        throw;
    }
    document.setProgress(nullptr);
}

} // namespace kolva
