#pragma once
// What the inspection reports share: the risk zone names, the footer with
// the print time, the grey of the header row, the text of a cell. The
// controls their options windows share are in reports/reportoptions.h.

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "reports/actionreports.h"

namespace kolva {

class Database;

// The first item of every risk zone list: all zones.
inline const QString AllZonesItem = QStringLiteral("*** ALL  ***");
// What a report says when no tree meets its options.
inline const QString NoTreesMessage = QStringLiteral("No trees meet the selection");

inline const QColor HeaderShade = QColor(224, 224, 224);
inline const QColor HeaderBlue = QColor(0, 0, 255);

// The Description of every risk zone in table order; a missing one is "".
QStringList riskZoneNames(Database& db);

// "06-Dec-26 05:47 PM"
QString printedStamp(const QDateTime& when);
// "|Printed : 06-Dec-26 05:47 PM|Page %d of %t"
QString printedFooter(const QDateTime& when);

// The text of a field for a report cell: "" for a missing value.
QString cellText(const QVariant& value);

} // namespace kolva
