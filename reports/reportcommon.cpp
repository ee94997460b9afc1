#include "reports/reportcommon.h"

#include "reports/reportdata.h"
#include "store/database.h"
#include "store/referencelists.h"

#include <QLocale>

namespace kolva {

QStringList riskZoneNames(Database& db)
{
    return readRiskZonesAsAdded(db);
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
