#include "reports/reportcommon.h"

#include "platform/controls.h"
#include "store/database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

QStringList riskZoneNames(Database& db)
{
    QStringList names;
    QSqlQuery q = db.query(QStringLiteral("SELECT Description FROM RiskZone ORDER BY rowid"));
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
    return QStringLiteral("|Printed : ") + printedStamp(when) + QStringLiteral("|Page %d");
}

QString cellText(const QVariant& value)
{
    return value.isNull() ? QString() : value.toString();
}

QLineEdit* makeRatingBox(const QString& objectName, const QString& text, const QString& accessibleName,
                         QWidget* parent)
{
    QLineEdit* box = makeIntegerBox(objectName, accessibleName, parent);
    box->setText(text);
    box->setMaxLength(6);
    return box;
}

void fillRiskZones(QComboBox* box, Database& db)
{
    box->clear();
    box->addItem(AllZonesItem);
    box->addItems(riskZoneNames(db));
    box->setCurrentIndex(0);
}

ZoneFrame makeZoneFrame(QWidget* parent, const QString& objectName)
{
    ZoneFrame z;
    z.frame = new QGroupBox(QStringLiteral("Include Risk Zone"), parent);
    z.frame->setObjectName(objectName);
    z.cmbRiskZone = new QComboBox(z.frame);
    z.cmbRiskZone->setObjectName(QStringLiteral("cmbRiskZone"));
    z.cmbRiskZone->setAccessibleName(QStringLiteral("Include Risk Zone"));
    z.cmbRiskZone->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    z.Check1 = new QCheckBox(QStringLiteral("If ALL, Divide Report By Risk Zone"), z.frame);
    z.Check1->setObjectName(QStringLiteral("Check1"));
    auto* column = new QVBoxLayout(z.frame);
    column->addWidget(z.cmbRiskZone);
    column->addWidget(z.Check1);
    return z;
}

ThresholdFrame makeThresholdFrame(QWidget* parent, const QString& objectName)
{
    ThresholdFrame t;
    t.frame = new QGroupBox(QStringLiteral("Include Risk Ratings "), parent);
    t.frame->setObjectName(objectName);
    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral(">="), t.frame);
    t.txtRiskRating = makeRatingBox(QStringLiteral("txtRiskRating"), QStringLiteral("0"),
                                    QStringLiteral("Include Risk Ratings >="), t.frame);
    Label1->setBuddy(t.txtRiskRating);
    auto* row = new QHBoxLayout(t.frame);
    row->addWidget(Label1);
    row->addWidget(t.txtRiskRating);
    row->addStretch(1);
    return t;
}

ActionReportOptions readActionOptions(const QLineEdit* txtRiskRating, const QComboBox* cmbRiskZone,
                                      const QCheckBox* Check1)
{
    ActionReportOptions o;
    o.ratingText = txtRiskRating->text();
    o.allZones = cmbRiskZone->currentIndex() <= 0;
    o.zone = o.allZones ? QString() : cmbRiskZone->currentText();
    o.divideByZone = o.allZones && Check1->isChecked();
    for (int i = 1; i < cmbRiskZone->count(); ++i)
        o.zones.append(cmbRiskZone->itemText(i));
    return o;
}

} // namespace kolva
