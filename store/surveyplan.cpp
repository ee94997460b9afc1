#include "store/surveyplan.h"

#include "store/database.h"

#include <QSqlQuery>

#include <algorithm>
#include <cmath>

namespace kolva {

bool surveyRangeWantsPass(Database& db, const QString& from, const QString& to)
{
    // The span of IDs stands for the number of records: read off the key at
    // once, and at most a little high after deletions.
    QSqlQuery ends = db.query(QStringLiteral("SELECT MIN(ID), MAX(ID) FROM _Archived_SurveyData"));
    if (!ends.next() || ends.isNull(0))
        return false;
    const qint64 records = ends.value(1).toLongLong() - ends.value(0).toLongLong() + 1;
    ends.finish();
    const qint64 enough = std::max<qint64>(1, qint64(std::ceil(double(records) * SurveyPassShare)));
    // Counted on the date index alone, and only up to the share that decides.
    const qint64 inRange =
        db.scalar(QStringLiteral("SELECT COUNT(*) FROM (SELECT 1 FROM _Archived_SurveyData "
                                 "WHERE Date_Evaluated BETWEEN ? AND ? LIMIT ?) AS in_range"),
                  {from, to, enough})
            .toLongLong();
    return inRange >= enough;
}

QString surveyTableForRange(Database& db, const QString& from, const QString& to)
{
    return surveyTableRead(surveyRangeWantsPass(db, from, to));
}

QString surveyTableRead(bool inOnePass)
{
    return inOnePass ? QStringLiteral("_Archived_SurveyData NOT INDEXED") : QStringLiteral("_Archived_SurveyData");
}

} // namespace kolva
