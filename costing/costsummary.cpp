#include "costing/costsummary.h"

#include "costing/costtable.h"
#include "platform/jobprogress.h"
#include "reports/reportcommon.h"
#include "reports/reportdata.h"
#include "reports/reportdocument.h"
#include "store/correctiveactions.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/rowcursor.h"
#include "store/sortkeys.h"

#include <QLocale>
#include <QSqlQuery>

#include <algorithm>
#include <map>
#include <utility>
#include <cmath>

namespace kolva {

QStringList costActionCaptions()
{
    return {
        QStringLiteral("Move Target"),    QStringLiteral("Limit Access"),   QStringLiteral("Remove Tree"),
        QStringLiteral("Treat SGR"),      QStringLiteral("Prune Deadwood"), QStringLiteral("Prune Weakwood"),
        QStringLiteral("Prune Clear"),    QStringLiteral("Thin Crown"),     QStringLiteral("Reduce Height"),
        QStringLiteral("Cable/Brace"),    QStringLiteral("Cnvt/Wildlife"),
    };
}

QStringList costSortCaptions()
{
    return {
        QStringLiteral("Cost (High to Low) + Street"),
        QStringLiteral("Cost (Low to High) + Street"),
        QStringLiteral("Risk Rating (High to Low) + Street"),
        QStringLiteral("Street + Cost (High to Low)"),
        QStringLiteral("Tree ID"),
    };
}

QString costSortSubtitle(CostSort sort)
{
    switch (sort) {
    case CostSort::CostHighToLow:
        return QStringLiteral("Sorted by Cost (High to Low) + Street");
    case CostSort::CostLowToHigh:
        return QStringLiteral("Sorted by Cost (Low To High) + Street");
    case CostSort::RatingHighToLow:
        return QStringLiteral("Sorted by Risk Rating (High To Low) + Street");
    case CostSort::StreetThenCost:
        return QStringLiteral("Sorted by Street + Cost (High to Low)");
    case CostSort::TreeId:
        return QStringLiteral("Sorted by Tree ID");
    case CostSort::None:
        break;
    }
    return {};
}

std::optional<CostOptionsProblem> costOptionsProblem(const CostReportOptions& options)
{
    if (std::none_of(options.actions.begin(), options.actions.end(), [](bool chosen) { return chosen; }))
        return CostOptionsProblem{CostOptionsProblem::Actions,
                                  QStringLiteral("Please select at least ONE Corrective Action to include in the report")};
    if (options.fromText.isEmpty() || options.toText.isEmpty())
        return CostOptionsProblem{CostOptionsProblem::Ratings, QStringLiteral("Please enter a Risk Rating range")};
    if (wholeNumberValue(options.toText) < wholeNumberValue(options.fromText))
        return CostOptionsProblem{CostOptionsProblem::Ratings,
                                  QStringLiteral("There is a problem with the Risk Rating range")};
    if (!options.allOnFile && (!options.period.begin.isValid() || !options.period.end.isValid()))
        return CostOptionsProblem{CostOptionsProblem::Period, noDateRangeMessage()};
    return std::nullopt;
}

QString noCostTreesMessage(qint64 unrated)
{
    const QString message = QStringLiteral("There are no trees which meet your selection criteria");
    if (unrated <= 0)
        return message;
    return message
           + (unrated == 1 ? QStringLiteral("\n\n1 tree of the period has no risk rating and is in no range.")
                           : QStringLiteral("\n\n%1 trees of the period have no risk rating and are in no range.")
                                 .arg(unrated));
}

QString noCostTreesCaption()
{
    return QStringLiteral("No Data");
}

// ---------------------------------------------------------------- pricing

CostTable::CostTable(const std::vector<CostRange>& ranges)
{
    // A range without bounds holds no DBH.
    for (const CostRange& range : ranges) {
        if (range.action < 1 || range.action >= int(ranges_.size()) || range.lower.isNull() || range.upper.isNull())
            continue;
        ranges_[size_t(range.action)].push_back(
            {range.lower.toDouble(), range.upper.toDouble(), range.cost.isNull() ? 0.0 : range.cost.toDouble()});
    }
    // The first range that holds a DBH is the one with the lowest lower
    // bound; of equal ones, the first given.
    for (std::vector<Range>& action : ranges_)
        std::stable_sort(action.begin(), action.end(), [](const Range& a, const Range& b) { return a.lower < b.lower; });
}

CostTable CostTable::read(Database& db)
{
    return CostTable(readAllCostRanges(db));
}

double CostTable::actionCost(int action, double dbh) const
{
    if (action < 1 || action >= int(ranges_.size()))
        return 0;
    for (const Range& range : ranges_[size_t(action)]) {
        if (range.lower <= dbh && dbh < range.upper)
            return range.cost;
    }
    return 0;
}

std::vector<int> actionCodesOfList(const QVariant& list)
{
    if (list.isNull())
        return {};
    return correctiveActionCodes(list.toString());
}

double treeCost(const CostTable& table, const ActionChoice& chosen, std::optional<double> dbh, QStringView actionList)
{
    if (!dbh)
        return 0;
    double total = 0;
    for (const int code : correctiveActionCodes(actionList)) {
        if (code >= 1 && code <= int(chosen.size()) && chosen[size_t(code - 1)])
            total += table.actionCost(code, *dbh);
    }
    return total;
}

double ComputeTreeCost(const CostTable& table, const ActionChoice& chosen, const QVariant& dbh,
                       const QVariant& actionList)
{
    bool ok = false;
    const double diameter = dbh.toDouble(&ok);
    if (dbh.isNull() || !ok)
        return 0;
    return treeCost(table, chosen, diameter, actionList.isNull() ? QString() : actionList.toString());
}

// ---------------------------------------------------------------- the work table

namespace {

// The survey records of the options: in the period, and with a rating in
// the range, as the inspection reports select them (a tree without a rating
// is in no range). The period is read the cheapest way for its share of the
// table.
struct Selection {
    QString from;  // the survey table as the FROM clause names it
    QString where; // the period and the ratings
    QVariantList values;
};

Selection selectionOf(Database& db, const CostReportOptions& options)
{
    PeriodCondition period = periodCondition(options.period, options.allOnFile);
    period.values << wholeNumberValue(options.fromText) << wholeNumberValue(options.toText);
    // The unary "+" keeps the rating's index out of the choice.
    return {surveyTableForPeriod(db, options.period, options.allOnFile),
            QStringLiteral(" WHERE ") + period.sql + QStringLiteral(" AND +Hazard_Rating BETWEEN ? AND ?"),
            period.values};
}

const QString WorkTable = QStringLiteral("_tmp_Cost_Report");

// Costs are kept to the cent's hundredth, as money was always kept.
double roundedCost(double cost)
{
    return std::round(cost * 10000.0) / 10000.0;
}

QString orderClause(CostSort sort)
{
    const QString number = streetNumberOrder(QStringLiteral("StreetNum"));
    switch (sort) {
    case CostSort::CostHighToLow:
        return QStringLiteral(" ORDER BY Cost DESC, StreetName, %1, \"Key\"").arg(number);
    case CostSort::CostLowToHigh:
        return QStringLiteral(" ORDER BY Cost ASC, StreetName, %1, \"Key\"").arg(number);
    case CostSort::RatingHighToLow:
        return QStringLiteral(" ORDER BY Hazard_Rating DESC, StreetName, %1, \"Key\"").arg(number);
    case CostSort::StreetThenCost:
        return QStringLiteral(" ORDER BY StreetName, Cost DESC, \"Key\"");
    case CostSort::TreeId:
        return QStringLiteral(" ORDER BY Tree_ID ASC, \"Key\"");
    case CostSort::None:
        break;
    }
    return QStringLiteral(" ORDER BY \"Key\"");
}

} // namespace

namespace {

CostCounts countIn(Database& db, const QString& from, const CostReportOptions& options)
{
    const PeriodCondition period = periodCondition(options.period, options.allOnFile);
    QVariantList values{wholeNumberValue(options.fromText), wholeNumberValue(options.toText)};
    values << period.values;
    QSqlQuery counts = db.query(QStringLiteral("SELECT COUNT(CASE WHEN +Hazard_Rating BETWEEN ? AND ? THEN 1 END), "
                                               "COUNT(CASE WHEN Hazard_Rating IS NULL THEN 1 END) FROM ")
                                    + from + QStringLiteral(" WHERE ") + period.sql,
                                values);
    CostCounts result;
    if (counts.next())
        result = {counts.value(0).toLongLong(), counts.value(1).toLongLong()};
    counts.finish();
    return result;
}

} // namespace

CostCounts countCostTrees(Database& db, const CostReportOptions& options)
{
    return countIn(db, surveyTableForPeriod(db, options.period, options.allOnFile), options);
}

CostTotals fillCostReportTable(Database& db, const CostReportOptions& options, Progress& progress)
{
    CostTotals totals;
    runCancellable(db, progress, [&] {
        progress.setCancellable(true);
        progress.beginStage(QStringLiteral("Counting the trees"), 0);
        // Counted and priced in the one transaction, so that both see the
        // same records; a cancel or a failure leaves the table of the last
        // build.
        Transaction transaction(db);
        const Selection selection = selectionOf(db, options);
        const CostCounts counts = countIn(db, selection.from, options);
        totals.unrated = counts.unrated;
        if (counts.trees == 0)
            return;
        progress.beginStage(QStringLiteral("Pricing the trees"), counts.trees);
        const CostTable table = CostTable::read(db);
        constexpr size_t MaxKnownPrices = 4096;
        std::map<std::pair<QByteArray, double>, double> prices;

        db.createWorkTable(WorkTable,
                           QStringLiteral("\"Key\" INTEGER PRIMARY KEY NOT NULL, Tree_ID INTEGER, "
                                          "StreetNum TEXT COLLATE NOCASE, StreetName TEXT COLLATE NOCASE, "
                                          "Location TEXT COLLATE NOCASE, Species TEXT COLLATE NOCASE, DBH REAL, "
                                          "Hazard_Rating INTEGER, Cost REAL"));
        RowWriter insert(db, QStringLiteral("INSERT INTO _tmp_Cost_Report (Tree_ID, StreetNum, StreetName, Location, "
                                            "Species, DBH, Hazard_Rating, Cost) VALUES (?, ?, ?, ?, ?, ?, ?, ?)"));
        RowCursor trees(db,
                        QStringLiteral("SELECT Tree_ID, StreetNum, StreetName, Location, Species, DBH, Hazard_Rating, "
                                       "CorrectiveActions FROM ")
                            + selection.from + selection.where + QStringLiteral(" ORDER BY ID"),
                        selection.values);
        while (trees.next()) {
            std::optional<double> dbh;
            if (trees.kind(5) == RowCursor::Kind::Integer || trees.kind(5) == RowCursor::Kind::Real)
                dbh = trees.real(5);
            // Trees share a few lists and diameters: each pair is priced once.
            double cost = 0;
            if (dbh) {
                const QByteArray listBytes =
                    trees.kind(7) == RowCursor::Kind::Null ? QByteArray() : trees.text(7).toByteArray();
                const std::pair<QByteArray, double> key{listBytes, *dbh};
                if (const auto known = prices.find(key); known != prices.end()) {
                    cost = known->second;
                } else {
                    cost = roundedCost(treeCost(table, options.actions, dbh, QString::fromUtf8(listBytes)));
                    if (prices.size() < MaxKnownPrices)
                        prices.emplace(key, cost);
                }
            }
            for (int c = 0; c < 7; ++c)
                insert.bindValue(c, trees, c);
            insert.bindReal(7, cost);
            insert.run();
            ++totals.trees;
            totals.cost += cost;
            if (totals.trees % 512 == 0) {
                progress.advance(totals.trees);
                if (progress.cancelRequested())
                    throw ReportCancelled();
            }
        }
        if (progress.cancelRequested())
            throw ReportCancelled();
        progress.advance(totals.trees);
        transaction.commit();
    });
    totals.cost = roundedCost(totals.cost);
    return totals;
}

RowStore readCostReportRows(Database& db, CostSort sort, Progress& progress)
{
    RowStore rows;
    runCancellable(db, progress, [&] {
        progress.beginStage(QStringLiteral("Sorting the trees"), 0);
        RowCursor listing(db, QStringLiteral("SELECT Tree_ID, StreetNum, StreetName, Location, Species, DBH, "
                                             "Hazard_Rating, Cost FROM _tmp_Cost_Report")
                                  + orderClause(sort));
        constexpr int Columns = 8;
        constexpr int CostColumn = 7;
        QString cells[Columns];
        qint64 count = 0;
        while (listing.next()) {
            if (count == 0)
                progress.beginStage(QStringLiteral("Reading the trees"), 0);
            for (int c = 0; c < Columns; ++c) {
                switch (listing.kind(c)) {
                case RowCursor::Kind::Null:
                    cells[c].clear();
                    break;
                case RowCursor::Kind::Integer:
                    cells[c] = c == CostColumn ? formatDollars(double(listing.integer(c)))
                                               : QString::number(listing.integer(c));
                    break;
                case RowCursor::Kind::Real:
                    cells[c] = c == CostColumn ? formatDollars(listing.real(c))
                                               : QString::number(listing.real(c), 'g', QLocale::FloatingPointShortest);
                    break;
                case RowCursor::Kind::Text:
                    cells[c] = QString::fromUtf8(listing.text(c));
                    break;
                }
            }
            rows.append(cells, Columns);
            if (++count % 512 == 0) {
                progress.advance(count);
                if (progress.cancelRequested())
                    throw ReportCancelled();
            }
        }
        if (progress.cancelRequested())
            throw ReportCancelled();
        progress.advance(count);
    });
    return rows;
}

QString costTotalsLine(const CostTotals& totals, double mobilization)
{
    static const QLocale us(QLocale::English, QLocale::UnitedStates);
    QString line =
        QStringLiteral("Trees listed: %1     Cost of the listed work: %2     Cost to mobilize (not included): %3")
            .arg(us.toString(totals.trees), formatDollars(totals.cost), formatDollars(mobilization));
    if (totals.unrated > 0)
        line += QStringLiteral("     Trees of the period left out for having no risk rating: %1")
                    .arg(us.toString(totals.unrated));
    return line;
}

void composeCostSummary(ReportDocument& document, CostSort sort, RowStore rows, const CostTotals& totals,
                        double mobilization, const QDateTime& printedAt)
{
    const QString crlf = QStringLiteral("\r\n");
    document.BeginDocument();
    document.SetPageMargins(QStringLiteral("1.0in"), QStringLiteral("0.5in"));
    document.SetHeaderStyle(QStringLiteral("Arial"), 12, HeaderBlue);
    document.SetOrientation(ReportDocument::Landscape);
    document.SetPageHeader(QStringLiteral("|Risk Reduction Cost Summary") + crlf + costSortSubtitle(sort));
    document.SetPageFooter(printedFooter(printedAt));
    document.SetTextSize(8);
    document.MoveToLeftMargin();
    document.BeginTable();
    if (!rows.isEmpty()) {
        document.AddTableRows(
            QStringLiteral("^+0.75in|^+0.75in|<+2.5in|^+0.75in|<+2.5in|^+0.5in|^+0.75in|>+0.75in"),
            QStringLiteral("Tree ID|Street #|Street Name|Location|Species|DBH|Risk Rating|Cost"), std::move(rows),
            HeaderShade);
    } else {
        document.PrintParagraph(QStringLiteral("*** NO TREES MEET YOUR SELECTION CRITERIA *** ") + crlf);
    }
    document.EndTable();
    document.PrintParagraph(crlf);
    document.PrintParagraph(costTotalsLine(totals, mobilization));
    document.EndDocument();
}

CostTotals buildCostSummary(ReportDocument& document, Database& db, const CostReportOptions& options,
                            const QDateTime& printedAt, Progress& progress)
{
    if (const std::optional<CostOptionsProblem> problem = costOptionsProblem(options))
        throw std::invalid_argument(problem->text.toStdString());
    const CostTotals totals = fillCostReportTable(db, options, progress);
    if (totals.trees == 0)
        throw ReportNothingToList(noCostTreesMessage(totals.unrated), noCostTreesCaption());
    const double mobilization = readMobilizationCost(db);
    RowStore rows = readCostReportRows(db, options.sort, progress);
    progress.beginStage(QStringLiteral("Laying out the pages"), rows.size());
    document.setProgress(&progress);
    try {
        composeCostSummary(document, options.sort, std::move(rows), totals, mobilization, printedAt);
    } catch (...) {
        document.setProgress(nullptr);
        throw;
    }
    document.setProgress(nullptr);
    return totals;
}

} // namespace kolva
