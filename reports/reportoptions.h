#pragma once
// The controls the options windows of the inspection reports share: the risk
// zone list and the lists that keep their width, the rating boxes, the zone
// and threshold frames.

#include "reports/actionreports.h"
#include "reports/reportcommon.h"

#include <QString>
#include <QVariant>

class QCheckBox;
class QComboBox;
class QGroupBox;
class QLineEdit;
class QWidget;

namespace kolva {

class Database;

// A box of a risk rating: a whole number of six characters at most.
QLineEdit* makeRatingBox(const QString& objectName, const QString& text, const QString& accessibleName,
                         QWidget* parent);

// Lists of the options windows keep their width: an entry too long for it is
// shown shortened with "...", its whole text in its tooltip (and the list's,
// while it is chosen) and in FullTextRole.
constexpr int FullTextRole = Qt::UserRole + 1;
void keepListWidth(QComboBox* box);
void addListItem(QComboBox* box, const QString& text, const QVariant& data = {});
QString listItemText(const QComboBox* box, int index);

// "*** ALL  ***", then every zone a report can be limited to
// (reportZoneChoices, "(none)" for the trees without a zone); the first
// selected. Each zone item holds its zone name as its data ("" for none).
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
// typed, the zone (item 0 is all zones) and dividing by zone.
ActionReportOptions readActionOptions(const QLineEdit* txtRiskRating, const QComboBox* cmbRiskZone,
                                      const QCheckBox* Check1);

} // namespace kolva
