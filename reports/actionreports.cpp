#include "reports/actionreports.h"

#include "platform/jobprogress.h"
#include "reports/reportcommon.h"
#include "reports/reportdata.h"
#include "reports/reportdocument.h"
#include "store/correctiveactions.h"
#include "store/database.h"
#include "store/numbers.h"
#include "store/sortkeys.h"
#include "store/sqlforms.h"

#include <optional>
#include "store/textroutines.h"

#include <QHash>

#include <algorithm>
#include <functional>

namespace kolva {

namespace {

int markTreesIn(Database& db, int code, Progress& progress);

const QString Columns =
    QStringLiteral("^+.55in|^+.5in|<2.0in|^+0.60in|<+2.0in|>+.4in|<0.70in|^0.50in|^+1.0in|<+1.5in|^+0.4in");
const QString Titles =
    QStringLiteral("Tree ID|St #|Street Name|Location|Species|DBH|Date Eval|Risk|Corrective Actions|Note|Done");
constexpr int ColumnCount = 11;
// Rows of one zone kept in memory before they move to a file, in a report
// divided by zone.
constexpr qsizetype SectionMemory = 32 * 1024;

QString treeCount(qint64 n)
{
    return QStringLiteral(" (") + QString::number(n) + QStringLiteral(" Tree(s) )");
}

// The select list, the zone of the tree last (not printed), then the
// conditions and the order by street and house number. The engine does not
// fetch the rows through an index (one pass and one sort are faster for a
// report).
QSqlQuery selectRows(Database& db, ActionSelection selection, bool allZones, const QString& zone, int minRating)
{
    const ZoneCondition condition = zoneCondition(allZones, zone);
    const QString sql =
        QStringLiteral("SELECT Tree_ID,StreetNum,StreetName,Location,Species,DBH,") +
        dateShown(db, QStringLiteral("Date_Evaluated")) +
        QStringLiteral(",Hazard_Rating,CorrectiveActions,Note,'' AS Completed,RiskZone FROM _Archived_SurveyData WHERE ") +
        (selection == ActionSelection::AnyAction ? QStringLiteral("(trim(CorrectiveActions) <> '')")
                                                 : QStringLiteral("(Report_Flag = 1)")) +
        QStringLiteral(" AND ") + condition.sql +
        QStringLiteral(" AND (%1 >= CAST(? AS INTEGER)) ORDER BY %2, %3, %4")
            .arg(withoutIndex(db, QStringLiteral("Hazard_Rating")),
                 ascendingOrder(db, withoutIndex(db, QStringLiteral("StreetName"))), streetNumberOrder(db),
                 withoutIndex(db, QStringLiteral("ID")));
    QVariantList values = condition.values;
    values << minRating;
    return db.query(sql, values);
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

void tableBlock(ReportDocument& document, RowStore rows, const QString& continuation)
{
    const bool any = !rows.isEmpty();
    document.BeginTable();
    document.SetTableFont(8, false);
    if (any) {
        document.SetTableContinuation(continuation);
        document.AddTableRows(Columns, Titles, std::move(rows), HeaderShade);
    }
    document.EndTable();
    if (any) {
        document.MoveToLeftMargin();
        document.MovePrintPositionDown(100);
        document.SetTextSize(8);
    }
}

// The trees are read in one statement, or in the transaction `reading`
// when one is given; it ends once they are read.
void buildList(Database& db, ReportDocument& document, const ActionReportOptions& options, ActionSelection selection,
               const QString& header, const QDateTime& printedAt, Progress& progress, Transaction* reading = nullptr)
{
    progress.beginStage(QStringLiteral("Selecting the trees"), 0);
    RowStore rows = selectActionTrees(db, selection, options.allZones, options.zone,
                                      wholeNumberValue(options.ratingText), progress);
    if (reading)
        reading->commit();
    progress.beginStage(QStringLiteral("Laying out the pages"), rows.size());
    pageSetup(document, header, printedAt);
    const QString zone = options.allZones ? QString() : zoneTitle(options.zone);
    const QString heading = options.allZones ? QStringLiteral("ALL Risk Zones: ") + treeCount(rows.size())
                                             : QStringLiteral("Risk Zone: ") + zone + treeCount(rows.size());
    document.PrintParagraph(heading + QStringLiteral("\r\n\r\n"));
    if (rows.isEmpty())
        document.PrintParagraph(NoTreesMessage);
    tableBlock(document, std::move(rows),
               options.allZones ? QStringLiteral("ALL Risk Zones (continued)")
                                : QStringLiteral("Risk Zone: ") + zone + QStringLiteral(" (continued)"));
    document.EndDocument();
}

// The zones and the trees are read in one snapshot of the database: in the
// transaction `reading` when one is given, which ends once they are read.
void buildByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                 ActionSelection selection, const QString& header, const QDateTime& printedAt, Progress& progress,
                 Transaction* reading = nullptr)
{
    std::optional<ReadSnapshot> snapshot;
    if (!reading)
        snapshot.emplace(db);
    // One pass over the trees in street order sorts them into sections: the
    // zones of the list, then the zones the list lacks, then no zone.
    struct Section {
        QString zone;
        RowStore rows{SectionMemory};
    };
    std::vector<Section> listed;
    QHash<QString, size_t> listedAt;
    for (const QString& zone : riskZoneNames(db)) {
        if (!isNoZone(zone) && !listedAt.contains(zoneKey(zone))) {
            listedAt.insert(zoneKey(zone), listed.size());
            listed.push_back({zone});
        }
    }
    std::vector<Section> others;
    QHash<QString, size_t> othersAt;
    Section none;

    progress.beginStage(QStringLiteral("Selecting the trees"), 0);
    QSqlQuery q = selectRows(db, selection, true, QString(), wholeNumberValue(options.ratingText));
    QString cells[ColumnCount];
    qint64 total = 0;
    while (q.next()) {
        for (int c = 0; c < ColumnCount; ++c) {
            const QVariant value = q.value(c);
            cells[c] = value.isNull() ? QString() : value.toString();
        }
        const QString zone = q.value(ColumnCount).toString();
        Section* section = &none;
        if (!isNoZone(zone)) {
            const QString key = zoneKey(zone);
            if (const auto it = listedAt.constFind(key); it != listedAt.constEnd()) {
                section = &listed[*it];
            } else {
                auto other = othersAt.constFind(key);
                if (other == othersAt.constEnd()) {
                    other = othersAt.insert(key, others.size());
                    others.push_back({zone});
                }
                section = &others[*other];
            }
        }
        section->rows.append(cells, ColumnCount);
        if (++total % 512 == 0) {
            progress.advance(total);
            if (progress.cancelRequested())
                throw ReportCancelled();
        }
    }
    checkQueryEnd(q, progress);
    q.finish();
    if (reading)
        reading->commit();
    snapshot.reset();
    std::sort(others.begin(), others.end(),
              [](const Section& a, const Section& b) { return zoneKey(a.zone) < zoneKey(b.zone); });

    progress.beginStage(QStringLiteral("Laying out the pages"), total);
    pageSetup(document, header, printedAt);
    if (total == 0) {
        document.PrintParagraph(NoTreesMessage);
        document.EndDocument();
        return;
    }
    const auto section = [&](Section& s) {
        const qint64 n = s.rows.size();
        if (n > 0)
            document.PrintParagraph(QStringLiteral("Risk Zone: ") + zoneTitle(s.zone) + treeCount(n) +
                                    QStringLiteral("\r\n"));
        tableBlock(document, std::move(s.rows),
                   QStringLiteral("Risk Zone: ") + zoneTitle(s.zone) + QStringLiteral(" (continued)"));
        document.PrintParagraph(QStringLiteral("\r\n"));
    };
    for (Section& s : listed)
        section(s);
    for (Section& s : others)
        section(s);
    if (!none.rows.isEmpty())
        section(none);
    document.EndDocument();
}

void layoutWithProgress(Database& db, ReportDocument& document, Progress& progress,
                        const std::function<void()>& compose)
{
    progress.setCancellable(true);
    document.setProgress(&progress);
    try {
        runCancellable(db, progress, compose);
    } catch (...) {
        document.setProgress(nullptr);
        throw;
    }
    document.setProgress(nullptr);
}

} // namespace

RowStore selectActionTrees(Database& db, ActionSelection selection, bool allZones, const QString& zone, int minRating,
                           Progress& progress)
{
    QSqlQuery q = selectRows(db, selection, allZones, zone, minRating);
    return readRows(q, ColumnCount, progress);
}

QString treesNeedingCAHeader(const ActionReportOptions& options)
{
    return QStringLiteral("|Trees Needing Corrective Actions - Risk Rating >= ") + headerLiteral(options.ratingText);
}

QString specificCAHeader(const ActionReportOptions& options)
{
    return QStringLiteral("|Trees Needing ") + headerLiteral(options.actionText) + QStringLiteral(" - Risk Rating >= ") +
           headerLiteral(options.ratingText);
}

void BuildTreesNeedingCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                             const QDateTime& printedAt)
{
    NullProgress progress;
    buildList(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt, progress);
}

void BuildTreesNeedingCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                               const QDateTime& printedAt)
{
    NullProgress progress;
    buildByZone(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt, progress);
}

void BuildSpecificCAList(Database& db, ReportDocument& document, const ActionReportOptions& options,
                         const QDateTime& printedAt)
{
    NullProgress progress;
    buildList(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt, progress);
}

void BuildSpecificCAByZone(Database& db, ReportDocument& document, const ActionReportOptions& options,
                           const QDateTime& printedAt)
{
    NullProgress progress;
    buildByZone(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt, progress);
}

void buildTreesNeedingCAReport(ReportDocument& document, Database& db, const ActionReportOptions& options,
                               const QDateTime& printedAt, Progress& progress)
{
    layoutWithProgress(db, document, progress, [&] {
        if (options.allZones && options.divideByZone)
            buildByZone(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt,
                        progress);
        else
            buildList(db, document, options, ActionSelection::AnyAction, treesNeedingCAHeader(options), printedAt,
                      progress);
    });
}

void buildSpecificCAReport(ReportDocument& document, Database& db, const ActionReportOptions& options,
                           const QDateTime& printedAt, Progress& progress)
{
    layoutWithProgress(db, document, progress, [&] {
        // The marks are read in the transaction that sets them: another
        // report marking meanwhile cannot change what this one lists.
        Transaction marking(db, Transaction::Kind::Snapshot);
        markTreesIn(db, options.actionCode, progress);
        if (options.allZones && options.divideByZone)
            buildByZone(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt,
                        progress, &marking);
        else
            buildList(db, document, options, ActionSelection::Flagged, specificCAHeader(options), printedAt, progress,
                      &marking);
    });
}

QString correctiveActionItem(const CorrectiveAction& action)
{
    return PadLeftZeros(QString::number(action.code), 2) + QStringLiteral(" - ") + action.description;
}

bool ListHasCode(const QVariant& list, int code)
{
    if (list.isNull())
        return false;
    const std::vector<int> codes = correctiveActionCodes(list.toString());
    return std::find(codes.begin(), codes.end(), code) != codes.end();
}

void ClearReportFlags(Database& db)
{
    db.exec(QStringLiteral("UPDATE _Archived_SurveyData SET Report_Flag = 0 WHERE Report_Flag <> 0"));
}

namespace {

// Sets Report_Flag inside the caller's transaction.
int markTreesIn(Database& db, int code, Progress& progress)
{
    progress.setCancellable(true);
    progress.beginStage(QStringLiteral("Marking the trees of the corrective action"), 0);
    const auto check = [&progress](qint64 done) {
        if (done % 512 == 0) {
            progress.advance(done);
            if (progress.cancelRequested())
                throw ReportCancelled();
        }
    };
    // Only the trees whose mark changes are written.
    std::vector<qint64> mark, unmark;
    int marked = 0;
    {
        QSqlQuery q = db.query(QStringLiteral("SELECT ID, CorrectiveActions, Report_Flag FROM _Archived_SurveyData"));
        qint64 read = 0;
        while (q.next()) {
            const bool has = ListHasCode(q.value(1), code);
            marked += has ? 1 : 0;
            if (has != (q.value(2).toInt() != 0))
                (has ? mark : unmark).push_back(q.value(0).toLongLong());
            check(++read);
        }
        checkQueryEnd(q, progress);
    }
    QSqlQuery update = db.prepare(QStringLiteral("UPDATE _Archived_SurveyData SET Report_Flag = ? WHERE ID = ?"));
    qint64 written = 0;
    for (const auto& [ids, flag] : {std::pair{&mark, 1}, std::pair{&unmark, 0}}) {
        for (const qint64 id : *ids) {
            update.bindValue(0, flag);
            update.bindValue(1, id);
            Database::run(update);
            check(++written);
        }
    }
    update.finish();
    return marked;
}

} // namespace

int markTreesWithCode(Database& db, int code, Progress& progress)
{
    Transaction transaction(db, Transaction::Kind::Snapshot);
    const int marked = markTreesIn(db, code, progress);
    transaction.commit();
    return marked;
}

int markTreesWithCode(Database& db, int code)
{
    NullProgress progress;
    return markTreesWithCode(db, code, progress);
}

} // namespace kolva
