#include "reports/frmSpecificCA_Options.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "reports/reportcommon.h"
#include "reports/reportoptions.h"
#include "reports/reportwindow.h"
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
    : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmSpecificCA_Options"));
    setWindowTitle(QStringLiteral("Trees Needing a Specific Corrective Action"));

    auto* frameCA = new QGroupBox(QStringLiteral("Select Corrective Action"), this);
    frameCA->setObjectName(QStringLiteral("Frame1"));
    cmbCA_ = new QComboBox(frameCA);
    cmbCA_->setObjectName(QStringLiteral("cmbCA"));
    cmbCA_->setAccessibleName(QStringLiteral("Select Corrective Action"));
    keepListWidth(cmbCA_);
    (new QHBoxLayout(frameCA))->addWidget(cmbCA_, 1);

    const ZoneFrame zone = makeZoneFrame(this, QStringLiteral("Frame2"));
    QGroupBox* frameZone = zone.frame;
    cmbRiskZone_ = zone.cmbRiskZone;
    Check1_ = zone.Check1;

    const ThresholdFrame threshold = makeThresholdFrame(this, QStringLiteral("Frame3"));
    QGroupBox* frameRatings = threshold.frame;
    txtRiskRating_ = threshold.txtRiskRating;

    auto* Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("(Report will be sorted by Street Address)"), this);

    cmdPrint_ = makeButton(QStringLiteral("cmdPrint"), QStringLiteral("Print Report"), this);
    cmdPrint_->setDefault(true);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    connect(cmdPrint_, &QPushButton::clicked, this, &frmSpecificCA_Options::cmdPrint_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdPrint_);
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(frameCA);
    layout->addWidget(frameZone);
    layout->addWidget(frameRatings);
    layout->addWidget(Label2);
    layout->addLayout(buttons);
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
    if (!chosenCode()) {
        context_.prompter.warn(this, QStringLiteral("There is no corrective action to report on"),
                               QStringLiteral("Error"));
        return;
    }
    const ActionReportOptions o = options();
    const QDateTime printedAt = context_.clock.now();
    report_ = new ReportPreviewWindow(
        context_, ReportWindowTraits::of(ReportWindowKind::SpecificCAReport),
        [o, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildSpecificCAReport(document, db, o, printedAt, progress);
        },
        this);
    openWindow(this, report_, OpenMode::Modal);
}

} // namespace kolva
