#include "reports/frmTreesNeedingCA_Options.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "reports/reportcommon.h"
#include "reports/reportoptions.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

frmTreesNeedingCA_Options::frmTreesNeedingCA_Options(const AppContext& context, QWidget* parent)
    : ReportOptionsDialog(context, QStringLiteral("frmTreesNeedingCA_Options"),
                          QStringLiteral("Trees Needing Corrective Actions"), Placement::AsOpened, parent)
{
    const ThresholdFrame threshold = makeThresholdFrame(this, QStringLiteral("Frame1"));
    txtRiskRating_ = threshold.txtRiskRating;

    const ZoneFrame zone = makeZoneFrame(this, QStringLiteral("Frame2"));
    cmbRiskZone_ = zone.cmbRiskZone;
    Check1_ = zone.Check1;

    auto* Label2 = makeLabel(QStringLiteral("Label2"),
                             QStringLiteral("(Report will be sorted by Street Address, and will ONLY include trees "
                                            "identified as needing one or more corrective actions)"),
                             this);
    Label2->setWordWrap(true);

    auto* layout = new QVBoxLayout;
    layout->addWidget(threshold.frame);
    layout->addWidget(zone.frame);
    layout->addWidget(Label2);
    cmdPrint_ = layOut(layout, QStringLiteral("cmdPrint"), QStringLiteral("Print Report"));
    connect(cmdPrint_, &QPushButton::clicked, this, &frmTreesNeedingCA_Options::cmdPrint_Click);
    setMinimumWidth(420);

    Form_Load();
    connect(cmbRiskZone_, &QComboBox::currentIndexChanged, this, &frmTreesNeedingCA_Options::cmbRiskZone_Click);
}

void frmTreesNeedingCA_Options::Form_Load()
{
    fillRiskZones(cmbRiskZone_, context_.db);
}

void frmTreesNeedingCA_Options::cmbRiskZone_Click()
{
    if (cmbRiskZone_->currentIndex() == 0) {
        Check1_->setEnabled(true);
    } else {
        Check1_->setChecked(false);
        Check1_->setEnabled(false);
    }
}

ActionReportOptions frmTreesNeedingCA_Options::options() const
{
    return readActionOptions(txtRiskRating_, cmbRiskZone_, Check1_);
}

void frmTreesNeedingCA_Options::cmdPrint_Click()
{
    if (bringReportForward())
        return;
    if (txtRiskRating_->text().isEmpty()) {
        refuse(QStringLiteral("Please enter a Risk Rating "), txtRiskRating_);
        return;
    }
    const ActionReportOptions o = options();
    const QDateTime printedAt = context_.clock.now();
    openReport(
        ReportWindowKind::TreesNeedingCAReport,
        [o, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildTreesNeedingCAReport(document, db, o, printedAt, progress);
        },
        ReportOpening::Modal);
}

} // namespace kolva
