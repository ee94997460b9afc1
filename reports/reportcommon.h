#pragma once
// What the inspection reports share: the risk zone list of their options
// windows, the footer with the print time, the grey of the header row, and
// reading the whole numbers typed into their boxes.

#include <QColor>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QVariant>

#include "reports/actionreports.h"

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QWidget;

namespace kolva {

class Database;

// The first item of every risk zone list: all zones.
inline const QString AllZonesItem = QStringLiteral("*** ALL  ***");
// The zone of trees that belong to no zone; never listed for all zones.
inline const QString NoZoneMark = QStringLiteral("~~");

inline const QColor HeaderShade = QColor(224, 224, 224);
inline const QColor HeaderBlue = QColor(0, 0, 255);

// The Description of every risk zone in table order; a missing one is "".
QStringList riskZoneNames(Database& db);

// "06-Dec-26 05:47 PM"
QString printedStamp(const QDateTime& when);
// "|Printed : 06-Dec-26 05:47 PM|Page %d"
QString printedFooter(const QDateTime& when);

// The text of a field for a report cell: "" for a missing value.
QString cellText(const QVariant& value);

// A box of a risk rating: a whole number of six characters at most.
QLineEdit* makeRatingBox(const QString& objectName, const QString& text, const QString& accessibleName,
                         QWidget* parent);
// "*** ALL  ***" then every risk zone, the first selected.
void fillRiskZones(QComboBox* box, Database& db);

// The "Include Risk Zone" frame of the corrective action reports: the zone
// list and "If ALL, Divide Report By Risk Zone".
struct ZoneFrame {
    QGroupBox* frame = nullptr;
    QComboBox* cmbRiskZone = nullptr;
    QCheckBox* Check1 = nullptr;
};
ZoneFrame makeZoneFrame(QWidget* parent, const QString& objectName);

// The "Include Risk Ratings " frame with ">=" and the lowest rating.
struct ThresholdFrame {
    QGroupBox* frame = nullptr;
    QLineEdit* txtRiskRating = nullptr;
};
ThresholdFrame makeThresholdFrame(QWidget* parent, const QString& objectName);

// The choices of a corrective action options window: the lowest rating as
// typed, the zone (item 0 is all zones), dividing by zone, and the zones of
// the list in order.
ActionReportOptions readActionOptions(const QLineEdit* txtRiskRating, const QComboBox* cmbRiskZone,
                                      const QCheckBox* Check1);

} // namespace kolva
