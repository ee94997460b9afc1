#include "reports/reportcommon.h"

#include "reports/reportdata.h"
#include "store/database.h"
#include "store/sqlforms.h"

#include <QLocale>

namespace kolva {

QStringList riskZoneNames(Database& db)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT Description FROM RiskZone ORDER BY ") + entryOrder());
    while (q.next())
        names.append(q.value(0).isNull() ? QString() : q.value(0).toString());
    return names;
}

QString printedStamp(const QDateTime& when)
{
    return QLocale::c().toString(when, QStringLiteral("dd-MMM-yy hh:mm AP"));
}

QString printedFooter(const QDateTime& when)
{
    return QStringLiteral("|Printed : ") + printedStamp(when) + QStringLiteral("|Page %d of %t");
}

QString cellText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

} // namespace kolva
