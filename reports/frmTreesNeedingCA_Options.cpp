#include "reports/frmTreesNeedingCA_Options.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "reports/reportcommon.h"
#include "reports/reportoptions.h"
#include "reports/reportwindow.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace kolva {

frmTreesNeedingCA_Options::frmTreesNeedingCA_Options(const AppContext& context, QWidget* parent)
    : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmTreesNeedingCA_Options"));
    setWindowTitle(QStringLiteral("Trees Needing Corrective Actions"));

    const ThresholdFrame threshold = makeThresholdFrame(this, QStringLiteral("Frame1"));
    QGroupBox* frameRatings = threshold.frame;
    txtRiskRating_ = threshold.txtRiskRating;

    const ZoneFrame zone = makeZoneFrame(this, QStringLiteral("Frame2"));
    QGroupBox* frameZone = zone.frame;
    cmbRiskZone_ = zone.cmbRiskZone;
    Check1_ = zone.Check1;

    auto* Label2 = makeLabel(QStringLiteral("Label2"),
                             QStringLiteral("(Report will be sorted by Street Address, and will ONLY include trees "
                                            "identified as needing one or more corrective actions)"),
                             this);
    Label2->setWordWrap(true);

    cmdPrint_ = makeButton(QStringLiteral("cmdPrint"), QStringLiteral("Print Report"), this);
    cmdPrint_->setDefault(true);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmTreesNeedingCA_Options::cmdPrint_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrint_);
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameRatings);
    layout->addWidget(frameZone);
    layout->addWidget(Label2);
    layout->addLayout(buttons);
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
    ActionReportOptions o = readActionOptions(txtRiskRating_, cmbRiskZone_, Check1_);
    return o;
}

void frmTreesNeedingCA_Options::cmdPrint_Click()
{
    if (report_) {
        report_->raise();
        report_->activateWindow();
        return;
    }
    if (txtRiskRating_->text().isEmpty()) {
        context_.prompter.warn(this, QStringLiteral("Please enter a Risk Rating "), QStringLiteral("Error"));
        txtRiskRating_->setFocus();
        return;
    }
    const ActionReportOptions o = options();
    const QDateTime printedAt = context_.clock.now();
    report_ = new ReportPreviewWindow(
        context_, ReportWindowTraits::of(ReportWindowKind::TreesNeedingCAReport),
        [o, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildTreesNeedingCAReport(document, db, o, printedAt, progress);
        },
        this);
    openWindow(this, report_, OpenMode::Modal);
}

} // namespace kolva
