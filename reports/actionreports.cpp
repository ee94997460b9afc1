#include "reports/actionreports.h"

#include "reports/reportcommon.h"
#include "reports/reportdocument.h"
#include "store/correctiveactions.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/textroutines.h"

namespace kolva {

namespace {

const QString Columns =
    QStringLiteral("^+.55in|^+.5in|<2.0in|^+0.60in|<+2.0in|>+.4in|<0.70in|^0.50in|^+1.0in|<+1.5in|^+0.4in");
const QString Titles =
    QStringLiteral("Tree ID|St #|Street Name|Location|Species|DBH|Date Eval|Risk|Corrective Actions|Note|Done");

QString treeCount(qsizetype n)
{
    return QStringLiteral(" (") + QString::number(n) + QStringLiteral(" Tree(s) )");
}

void pageSetup(ReportDocument& document, const QString& header, const QDateTime& printedAt)
{
    document.BeginDocument();
    document.SetPageMargins(QStringLiteral("0.40in"), QStringLiteral("0.4in"));
    document.SetHeaderStyle(QStringLiteral("Arial"), 12, HeaderBlue);
    document.SetOrientation(ReportDocument::Landscape);
    document.SetPageHeader(header);
    document.SetPageFooter(printedFooter(printedAt));
    document.SetTextSize(7);
    document.MoveToLeftMargin();
}

void tableBlock(ReportDocument& document, std::vector<QStringList> rows)
{
    const bool any = !rows.empty();
    document.BeginTable();
    document.SetTableFont(8, false);
    if (any)
        document.AddTableRows(Columns, Titles, std::move(rows), HeaderShade);
    document.EndTable();
    if (any) {
        document.MoveToLeftMargin();
        document.MovePrintPositionDown(100);
        document.SetTextSize(8);
    }
}

void buildList(Database& db, ReportDocument& document, const ActionReportOptions& options, ActionSelection selection,
               const QString& header, const QDateTime& printedAt)
{
    std::vector<QStringList> rows =
        selectActionTrees(db, selection, options.allZones, options.zone, wholeNumberValue(options.ratingText));
    pageSetup(document, header, printedAt);
    const QString heading = options.allZones ? QStringLiteral("ALL Risk Zones: ") + treeCount(qsizetype(rows.size()))
                                             : QStringLiteral("Risk Zone: ") + options.zone +
                                                   treeCount(qsizetype(rows.size()));
    document.PrintParagraph(heading + QStringLiteral("\r\n\r\n"));
    tableBlock(document, std::move(rows));
    document.EndDocument();
}

void buildByZone(Database& db, ReportDocument& document, const ActionReportOptions& options, ActionSelection selection,
                 const QString& header, const QDateTime& printedAt)
{
    pageSetup(document, header, printedAt);
    const int minRating = wholeNumberValue(options.ratingText);
    for (const QString& zone : options.zones) {
        std::vector<QStringList> rows = selectActionTrees(db, selection, false, zone, minRating);
        if (!rows.empty())
            document.PrintParagraph(QStringLiteral("Risk Zone: ") + zone + treeCount(qsizetype(rows.size())) +
                                    QStringLiteral("\r\n"));
        tableBlock(document, std::move(rows));
        document.PrintParagraph(QStringLiteral("\r\n"));
    }
    document.EndDocument();
}

} // namespace

std::vector<QStringList> selectActionTrees(Database& db, ActionSelection selection, bool allZones, const QString& zone,
                                           int minRating)
{
    // The unary "+" keeps the engine from fetching the rows through an index
    // (one pass and one sort are faster for a report) and keeps the collation.
    const QString sql =
        QStringLiteral("SELECT Tree_ID,StreetNum,StreetName,Location,Species,DBH,strftime('%m/%d/%Y',Date_Evaluated),"
                       "Hazard_Rating,CorrectiveActions,Note,'' AS Completed FROM _Archived_SurveyData WHERE ") +
        (selection == ActionSelection::AnyAction ? QStringLiteral("(trim(CorrectiveActions) <> '')")
                                                 : QStringLiteral("(Report_Flag = 1)")) +
        (allZones ? QStringLiteral(" AND (RiskZone <> ? AND trim(RiskZone) <> '')") : QStringLiteral(" AND (RiskZone = ?)")) +
        QStringLiteral(" AND (+Hazard_Rating >= ?) ORDER BY +StreetName, +StreetNum, +ID");
    QSqlQuery q = db.query(sql, {allZones ? NoZoneMark : zone, minRating});
    std::vector<QStringList> rows;
    while (q.next()) {
        QStringList row;
        row.reserve(11);
        for (int c = 0; c < 11; ++c)
            row.append(cellText(q.value(c)));
        rows.push_back(std::move(row));
    }
    return rows;
}

QString treesNeedingCAHeader(const ActionReportOptions& options)
{
    return QStringLiteral("|Trees Needing Corrective Actions - Risk Rating >= ") + options.ratingText;
}

QString specificCAHeader(const ActionReportOptions& options)
{
    return QStringLiteral("|Trees Needing ") + options.actionText + QStringLiteral(" - Risk Rating >= ") +
           options.ratingText;
}

void BuildTreesNeedingCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                             const QDateTime& printedAt)
{
    buildList(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt);
}

void BuildTreesNeedingCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                               const QDateTime& printedAt)
{
    buildByZone(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt);
}

void BuildSpecificCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                         const QDateTime& printedAt)
{
    buildList(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt);
}

void BuildSpecificCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                           const QDateTime& printedAt)
{
    buildByZone(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt);
}

QString correctiveActionItem(const CorrectiveAction& action)
{
    return PadLeftZeros(QString::number(action.code), 2) + QStringLiteral(" - ") + action.description;
}

bool ListHasCode(const QVariant& list, int code)
{
    if (list.isNull())
        return false;
    const QStringList pieces = list.toString().split(QLatin1Char(','));
    for (const QString& piece : pieces) {
        bool ok = false;
        const double value = piece.trimmed().toDouble(&ok);
        if (ok && value == code)
            return true;
    }
    return false;
}

void ClearReportFlags(Database& db)
{
    db.exec(QStringLiteral("UPDATE _Archived_SurveyData SET Report_Flag = 0 WHERE Report_Flag <> 0"));
}

int markTreesWithCode(Database& db, int code)
{
    Transaction transaction(db);
    ClearReportFlags(db);
    std::vector<qint64> ids;
    {
        QSqlQuery q = db.query(QStringLiteral("SELECT ID, CorrectiveActions FROM _Archived_SurveyData"));
        while (q.next()) {
            if (ListHasCode(q.value(1), code))
                ids.push_back(q.value(0).toLongLong());
        }
    }
    QSqlQuery mark = db.prepare(QStringLiteral("UPDATE _Archived_SurveyData SET Report_Flag = 1 WHERE ID = ?"));
    for (const qint64 id : ids) {
        mark.bindValue(0, id);
        Database::run(mark);
    }
    mark.finish();
    transaction.commit();
    return int(ids.size());
}

} // namespace kolva
