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
#include "store/scratchtable.h"
#include "store/sortkeys.h"

#include <QLocale>
#include <QSqlQuery>

#include <algorithm>
#include <cstring>
#include <string>
#include <unordered_map>
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
    bool onePass = false; // read in one pass over the table, in the order of the IDs
    PeriodCondition period;
    QVariantList ratings;
};

Selection selectionOf(Database& db, const CostReportOptions& options)
{
    Selection selection;
    selection.onePass = periodReadInOnePass(db, options.period, options.allOnFile);
    selection.from = surveyTableForReading(db, selection.onePass, options.allOnFile);
    selection.period = periodCondition(options.period, options.allOnFile);
    selection.ratings = {wholeNumberValue(options.fromText), wholeNumberValue(options.toText)};
    return selection;
}

const QString WorkTable = QStringLiteral("_tmp_Cost_Report");
// The price of each pair of action list and DBH the selected trees hold.
const QString PriceTable = QStringLiteral("kolva_cost_prices");

// Costs are kept to the cent's hundredth, as money was always kept.
double roundedCost(double cost)
{
    return std::round(cost * 10000.0) / 10000.0;
}

// Rows without a value sort as the file's engine sorts them, on either engine.
QString orderClause(const Database& db, CostSort sort)
{
    const QString street = ascendingOrder(db, QStringLiteral("StreetName")) + QStringLiteral(", ")
                           + streetNumberOrder(db, QStringLiteral("StreetNum"));
    switch (sort) {
    case CostSort::CostHighToLow:
        return QStringLiteral(" ORDER BY Cost DESC, %1, \"Key\"").arg(street);
    case CostSort::CostLowToHigh:
        return QStringLiteral(" ORDER BY Cost ASC, %1, \"Key\"").arg(street);
    case CostSort::RatingHighToLow:
        return QStringLiteral(" ORDER BY %1, %2, \"Key\"")
            .arg(descendingOrder(db, QStringLiteral("Hazard_Rating")), street);
    case CostSort::StreetThenCost:
        return QStringLiteral(" ORDER BY %1, Cost DESC, \"Key\"").arg(ascendingOrder(db, QStringLiteral("StreetName")));
    case CostSort::TreeId:
        return QStringLiteral(" ORDER BY %1, \"Key\"").arg(ascendingOrder(db, QStringLiteral("Tree_ID")));
    case CostSort::None:
        break;
    }
    return QStringLiteral(" ORDER BY \"Key\"");
}

CostCounts countIn(Database& db, const QString& from, const CostReportOptions& options)
{
    const PeriodCondition period = periodCondition(options.period, options.allOnFile);
    QVariantList values{wholeNumberValue(options.fromText), wholeNumberValue(options.toText)};
    values << period.values;
    QSqlQuery counts = db.query(QStringLiteral("SELECT COUNT(CASE WHEN %1 BETWEEN CAST(? AS INTEGER) AND CAST(? AS "
                                               "INTEGER) THEN 1 END), COUNT(CASE WHEN Hazard_Rating IS NULL THEN 1 END) "
                                               "FROM ")
                                        .arg(withoutIndex(db, QStringLiteral("Hazard_Rating")))
                                    + from + QStringLiteral(" WHERE ") + period.sql,
                                values);
    CostCounts result;
    if (counts.next())
        result = {counts.value(0).toLongLong(), counts.value(1).toLongLong()};
    counts.finish();
    return result;
}

// The survey IDs read by one statement of a pass over the table: the
// progress moves on, and a cancel is seen, after each.
constexpr qint64 IdsAStep = 8192;

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
        Transaction transaction(db, Transaction::Kind::Snapshot);
        const Selection selection = selectionOf(db, options);

        // One reading of the period counts the trees and finds the pairs of
        // action list and DBH they hold; each pair is priced once, and the
        // trees take their pair's price as they are written.
        const int lowest = wholeNumberValue(options.fromText);
        const int highest = wholeNumberValue(options.toText);
        std::unordered_map<std::string, qint64> treesOfPair; // the list's bytes, then the DBH's
        qint64 trees = 0;
        {
            RowCursor period(db,
                             QStringLiteral("SELECT CorrectiveActions, DBH, Hazard_Rating FROM ") + selection.from
                                 + QStringLiteral(" WHERE ") + selection.period.sql,
                             selection.period.values);
            std::string key;
            qint64 read = 0;
            while (period.next()) {
                if (++read % 4096 == 0 && progress.cancelRequested())
                    throw ReportCancelled();
                if (period.kind(2) == RowCursor::Kind::Null) {
                    ++totals.unrated;
                    continue;
                }
                const qint64 rating = period.integer(2);
                if (rating < lowest || rating > highest)
                    continue;
                ++trees;
                // A tree without a list or a DBH costs nothing.
                if (period.kind(0) == RowCursor::Kind::Null || period.kind(1) != RowCursor::Kind::Integer)
                    continue;
                const QByteArrayView list = period.text(0);
                const qint64 dbh = period.integer(1);
                key.assign(list.data(), size_t(list.size()));
                key.append(reinterpret_cast<const char*>(&dbh), sizeof dbh);
                ++treesOfPair[key];
            }
        }
        const CostTable table = CostTable::read(db);
        struct Price {
            QByteArray list;
            qint64 dbh;
            double cost;
        };
        std::vector<Price> prices;
        double cost = 0;
        for (const auto& [key, count] : treesOfPair) {
            const QByteArray list(key.data(), qsizetype(key.size() - sizeof(qint64)));
            qint64 dbh = 0;
            std::memcpy(&dbh, key.data() + list.size(), sizeof dbh);
            const double price = roundedCost(treeCost(table, options.actions, double(dbh), QString::fromUtf8(list)));
            cost += price * double(count);
            if (price != 0)
                prices.push_back({list, dbh, price});
        }
        if (progress.cancelRequested())
            throw ReportCancelled();
        if (trees == 0)
            return;
        progress.beginStage(QStringLiteral("Pricing the trees"), trees);

        createConnectionTable(db, PriceTable,
                              QStringLiteral("List %1 NOT NULL, Diameter %2 NOT NULL, Price %3 NOT NULL, "
                                             "PRIMARY KEY (List, Diameter)")
                                  .arg(workColumnType(db, WorkColumn::Text), workColumnType(db, WorkColumn::Integer),
                                       workColumnType(db, WorkColumn::Real)));
        {
            RowWriter price(db, QStringLiteral("INSERT INTO kolva_cost_prices (List, Diameter, Price) VALUES (?, ?, ?)"));
            for (const Price& p : prices) {
                price.bindText(0, p.list);
                price.bindInteger(1, p.dbh);
                price.bindReal(2, p.cost);
                price.run();
            }
        }
        const QString integer = workColumnType(db, WorkColumn::Integer);
        const QString real = workColumnType(db, WorkColumn::Real);
        const QString text = workColumnType(db, WorkColumn::CaselessText);
        createUserWorkTable(db, WorkTable,
                            QStringLiteral("\"Key\" %1, Tree_ID %2, StreetNum %3, StreetName %3, Location %3, "
                                           "Species %3, DBH %4, Hazard_Rating %2, Cost %4")
                                .arg(workColumnType(db, WorkColumn::RowKey), integer, text, real));
        // The trees in the order of their records, each with its pair's
        // price; the rating's index is kept out of the choice.
        const QString write =
            QStringLiteral("INSERT INTO _tmp_Cost_Report (Tree_ID, StreetNum, StreetName, Location, Species, DBH, "
                           "Hazard_Rating, Cost) SELECT Tree_ID, StreetNum, StreetName, Location, Species, "
                           "DBH, Hazard_Rating, coalesce(p.Price, 0) FROM ")
            + selection.from
            + QStringLiteral(" LEFT JOIN kolva_cost_prices AS p ON p.List = CorrectiveActions AND p.Diameter = DBH WHERE ")
            + selection.period.sql
            + QStringLiteral(" AND %1 BETWEEN CAST(? AS INTEGER) AND CAST(? AS INTEGER)")
                  .arg(withoutIndex(db, QStringLiteral("Hazard_Rating")));
        QVariantList bound = selection.period.values;
        bound << selection.ratings;
        if (!selection.onePass) {
            // A short period, through the date index: one statement.
            totals.trees = db.exec(write + QStringLiteral(" ORDER BY ID"), bound);
        } else {
            // The whole table in one pass, a span of IDs at a time.
            QSqlQuery ends = db.query(QStringLiteral("SELECT MIN(ID), MAX(ID) FROM _Archived_SurveyData"));
            const qint64 first = ends.next() ? ends.value(0).toLongLong() : 0;
            const qint64 last = ends.isValid() ? ends.value(1).toLongLong() : -1;
            ends.finish();
            QSqlQuery step = db.prepare(write + QStringLiteral(" AND ID BETWEEN ? AND ? ORDER BY ID"));
            for (qint64 from = first; from <= last; from += IdsAStep) {
                int c = 0;
                for (const QVariant& value : bound)
                    step.bindValue(c++, value);
                step.bindValue(c++, from);
                step.bindValue(c, from + IdsAStep - 1);
                Database::run(step);
                totals.trees += step.numRowsAffected();
                progress.advance(totals.trees);
                if (progress.cancelRequested())
                    throw ReportCancelled();
            }
            step.finish();
        }
        if (progress.cancelRequested())
            throw ReportCancelled();
        progress.advance(totals.trees);
        totals.cost = cost;
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
                                  + orderClause(db, sort));
        constexpr int Columns = 8;
        constexpr int CostColumn = 7;
        QString cells[Columns];
        // A value as the row before held it keeps its text: neighbours in
        // the sorted listing share their cost, street, location and species.
        RowCursor::Kind kinds[Columns];
        qint64 integers[Columns] = {};
        double reals[Columns] = {};
        QByteArray texts[Columns];
        qint64 count = 0;
        while (listing.next()) {
            if (count == 0)
                progress.beginStage(QStringLiteral("Reading the trees"), 0);
            for (int c = 0; c < Columns; ++c) {
                const RowCursor::Kind kind = listing.kind(c);
                const bool same = count > 0 && kind == kinds[c];
                kinds[c] = kind;
                switch (kind) {
                case RowCursor::Kind::Null:
                    cells[c].clear();
                    break;
                case RowCursor::Kind::Integer:
                    if (same && listing.integer(c) == integers[c])
                        break;
                    integers[c] = listing.integer(c);
                    cells[c] = c == CostColumn ? formatDollars(double(integers[c])) : QString::number(integers[c]);
                    break;
                case RowCursor::Kind::Real:
                    if (same && listing.real(c) == reals[c])
                        break;
                    reals[c] = listing.real(c);
                    cells[c] = c == CostColumn ? formatDollars(reals[c])
                                               : QString::number(reals[c], 'g', QLocale::FloatingPointShortest);
                    break;
                case RowCursor::Kind::Text:
                    if (same && listing.text(c) == texts[c])
                        break;
                    texts[c] = listing.text(c).toByteArray();
                    cells[c] = QString::fromUtf8(texts[c]);
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
