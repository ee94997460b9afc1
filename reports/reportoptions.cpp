#include "reports/reportoptions.h"

#include "platform/controls.h"
#include "reports/reportdata.h"
#include "store/database.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

namespace {

// A list is as wide as this many characters, and shows an entry of up to
// about this many in full.
constexpr int MinimumListCharacters = 24;
constexpr int LongestListCharacters = 40;

} // namespace

QLineEdit* makeRatingBox(const QString& objectName, const QString& text, const QString& accessibleName,
                         QWidget* parent)
{
    QLineEdit* box = makeIntegerBox(objectName, accessibleName, parent);
    box->setText(text);
    box->setMaxLength(6);
    return box;
}

void keepListWidth(QComboBox* box)
{
    box->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    box->setMinimumContentsLength(MinimumListCharacters);
    QObject::connect(box, &QComboBox::currentIndexChanged, box,
                     [box](int index) { box->setToolTip(box->itemData(index, Qt::ToolTipRole).toString()); });
}

void addListItem(QComboBox* box, const QString& text, const QVariant& data)
{
    const QFontMetrics fm = box->fontMetrics();
    const QString shown = fm.elidedText(text, Qt::ElideRight, fm.averageCharWidth() * LongestListCharacters);
    box->addItem(shown, data);
    const int index = box->count() - 1;
    box->setItemData(index, text, FullTextRole);
    if (shown != text)
        box->setItemData(index, text, Qt::ToolTipRole);
    if (index == box->currentIndex())
        box->setToolTip(box->itemData(index, Qt::ToolTipRole).toString());
}

QString listItemText(const QComboBox* box, int index)
{
    return box->itemData(index, FullTextRole).toString();
}

void fillRiskZones(QComboBox* box, Database& db)
{
    box->clear();
    addListItem(box, AllZonesItem);
    for (const QString& zone : reportZoneChoices(db))
        addListItem(box, zoneTitle(zone), zone);
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
    keepListWidth(z.cmbRiskZone);
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
    o.zone = o.allZones ? QString() : cmbRiskZone->currentData().toString();
    o.divideByZone = o.allZones && Check1->isChecked();
    return o;
}

} // namespace kolva
