#include "reports/frmSpecificCA_Options.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "reports/reportcommon.h"
#include "reports/reportoptions.h"
#include "store/correctiveactions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

frmSpecificCA_Options::frmSpecificCA_Options(const AppContext& context, QWidget* parent)
    : ReportOptionsDialog(context, QStringLiteral("frmSpecificCA_Options"),
                          QStringLiteral("Trees Needing a Specific Corrective Action"), Placement::AsOpened, parent)
{
    auto* frameCA = new QGroupBox(QStringLiteral("Select Corrective Action"), this);
    frameCA->setObjectName(QStringLiteral("Frame1"));
    cmbCA_ = new QComboBox(frameCA);
    cmbCA_->setObjectName(QStringLiteral("cmbCA"));
    cmbCA_->setAccessibleName(QStringLiteral("Select Corrective Action"));
    keepListWidth(cmbCA_);
    (new QHBoxLayout(frameCA))->addWidget(cmbCA_, 1);

    const ZoneFrame zone = makeZoneFrame(this, QStringLiteral("Frame2"));
    cmbRiskZone_ = zone.cmbRiskZone;
    Check1_ = zone.Check1;

    const ThresholdFrame threshold = makeThresholdFrame(this, QStringLiteral("Frame3"));
    txtRiskRating_ = threshold.txtRiskRating;

    auto* Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("(Report will be sorted by Street Address)"), this);

    auto* layout = new QVBoxLayout;
    layout->addWidget(frameCA);
    layout->addWidget(zone.frame);
    layout->addWidget(threshold.frame);
    layout->addWidget(Label2);
    cmdPrint_ = layOut(layout, QStringLiteral("cmdPrint"), QStringLiteral("Print Report"));
    connect(cmdPrint_, &QPushButton::clicked, this, &frmSpecificCA_Options::cmdPrint_Click);
    setMinimumWidth(420);

    Form_Load();
}

void frmSpecificCA_Options::Form_Load()
{
    cmbCA_->clear();
    for (const CorrectiveAction& action : readCorrectiveActions(context_.db))
        addListItem(cmbCA_, correctiveActionItem(action), action.code);
    cmbCA_->setCurrentIndex(cmbCA_->count() > 0 ? 0 : -1);
    fillRiskZones(cmbRiskZone_, context_.db);
}

std::optional<int> frmSpecificCA_Options::chosenCode() const
{
    if (cmbCA_->currentIndex() < 0)
        return std::nullopt;
    return cmbCA_->currentData().toInt();
}

ActionReportOptions frmSpecificCA_Options::options() const
{
    ActionReportOptions o = readActionOptions(txtRiskRating_, cmbRiskZone_, Check1_);
    o.actionCode = chosenCode().value_or(0);
    o.actionText = listItemText(cmbCA_, cmbCA_->currentIndex());
    return o;
}

void frmSpecificCA_Options::cmdPrint_Click()
{
    if (bringReportForward())
        return;
    if (txtRiskRating_->text().isEmpty()) {
        refuse(QStringLiteral("Please enter a Risk Rating "), txtRiskRating_);
        return;
    }
    if (!chosenCode()) {
        refuse(QStringLiteral("There is no corrective action to report on"), nullptr);
        return;
    }
    const ActionReportOptions o = options();
    const QDateTime printedAt = context_.clock.now();
    openReport(
        ReportWindowKind::SpecificCAReport,
        [o, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildSpecificCAReport(document, db, o, printedAt, progress);
        },
        ReportOpening::Modal);
}

} // namespace kolva
