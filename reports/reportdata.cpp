#include "reports/reportdata.h"

#include "platform/jobprogress.h"
#include "reports/reportdocument.h"
#include "store/database.h"
#include "store/referencelists.h"

#include <QSet>
#include <QSqlError>

#include <algorithm>

namespace kolva {

bool isNoZone(const QString& zone)
{
    return zone.trimmed().isEmpty();
}

QString zoneTitle(const QString& zone)
{
    return isNoZone(zone) ? NoZoneName : zone;
}

QString zoneKey(const QString& zone)
{
    QString key = zone;
    for (QChar& c : key) {
        if (c >= u'a' && c <= u'z')
            c = QChar(c.unicode() - 'a' + 'A');
    }
    return key;
}

QStringList reportZoneChoices(Database& db)
{
    QStringList zones;
    QSet<QString> known;
    {
        for (const QString& zone : readRiskZonesAsAdded(db)) {
            if (!isNoZone(zone) && !known.contains(zoneKey(zone))) {
                known.insert(zoneKey(zone));
                zones.append(zone);
            }
        }
    }
    QStringList others;
    bool withoutZone = false;
    {
        QSqlQuery q = db.query(QStringLiteral("SELECT DISTINCT RiskZone FROM _Archived_SurveyData"));
        while (q.next()) {
            const QString zone = q.value(0).toString();
            if (isNoZone(zone))
                withoutZone = true;
            else if (!known.contains(zoneKey(zone))) {
                known.insert(zoneKey(zone));
                others.append(zone);
            }
        }
    }
    std::sort(others.begin(), others.end(),
              [](const QString& a, const QString& b) { return zoneKey(a) < zoneKey(b); });
    zones.append(others);
    if (withoutZone)
        zones.append(QString());
    return zones;
}

ZoneCondition zoneCondition(bool allZones, const QString& zone)
{
    if (allZones)
        return {QStringLiteral("1 = 1"), {}};
    if (isNoZone(zone))
        return {QStringLiteral("(RiskZone IS NULL OR trim(RiskZone) = '')"), {}};
    return {QStringLiteral("RiskZone = ?"), {zone}};
}

int highestRiskRating(Database& db)
{
    return db
        .scalar(QStringLiteral(
            "SELECT coalesce(sum(highest), 0) FROM (SELECT max(Risk_Order) AS highest FROM Risk_Rating "
            "WHERE Risk_Question_Num BETWEEN 1 AND 4 AND Risk_Order BETWEEN 0 AND 7 GROUP BY Risk_Question_Num) AS questions"))
        .toInt();
}

RowStore readRows(QSqlQuery& query, int columns, Progress& progress)
{
    RowStore rows;
    std::vector<QString> cells(static_cast<size_t>(columns));
    qint64 count = 0;
    while (query.next()) {
        for (int c = 0; c < columns; ++c) {
            const QVariant value = query.value(c);
            cells[size_t(c)] = value.isNull() ? QString() : value.toString();
        }
        rows.append(cells.data(), columns);
        if (++count % 512 == 0) {
            progress.advance(count);
            if (progress.cancelRequested())
                throw ReportCancelled();
        }
    }
    checkQueryEnd(query, progress);
    progress.advance(count);
    return rows;
}

void checkQueryEnd(const QSqlQuery& query, Progress& progress)
{
    if (progress.cancelRequested())
        throw ReportCancelled();
    if (query.lastError().isValid())
        throw DbError(query.lastError().databaseText().isEmpty() ? query.lastError().text()
                                                                 : query.lastError().databaseText(),
                      query.lastQuery());
}

void runCancellable(Database& db, Progress& progress, const std::function<void()>& work)
{
    const StatementStop stop(db, [&progress] { return progress.cancelRequested(); });
    try {
        work();
    } catch (const DbError&) {
        if (progress.cancelRequested())
            throw ReportCancelled();
        throw;
    }
}

} // namespace kolva
