#include "costing/frmCostReportOptions.h"

#include "costing/periodblock.h"
#include "platform/busycursor.h"
#include "platform/clock.h"
#include "platform/controls.h"
#include "platform/prompter.h"
#include "reports/reportdata.h"
#include "store/database.h"

#include <QCheckBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kolva {

frmCostReportOptions::frmCostReportOptions(const AppContext& context, QWidget* parent)
    : ReportOptionsDialog(context, QStringLiteral("frmCostReportOptions"), QStringLiteral("Cost Report Options"),
                          Placement::Remembered, parent)
{
    // The corrective actions to price.
    auto* Frame1 = new QGroupBox(QStringLiteral("Corrective Actions to Include "), this);
    Frame1->setObjectName(QStringLiteral("Frame1"));
    auto* actions = new QGridLayout(Frame1);
    const QStringList captions = costActionCaptions();
    for (int code = 1; code <= 11; ++code) {
        auto* box = new QCheckBox(captions.at(code - 1), Frame1);
        box->setObjectName(QStringLiteral("chkCA(%1)").arg(code));
        box->setChecked(true);
        chkCA_[size_t(code - 1)] = box;
        actions->addWidget(box, (code - 1) % 6, (code - 1) / 6);
    }
    cmdAll_ = makeButton(QStringLiteral("cmdAll"), QStringLiteral("All"), Frame1);
    cmdNone_ = makeButton(QStringLiteral("cmdNone"), QStringLiteral("None"), Frame1);
    auto* allNone = new QHBoxLayout;
    allNone->addWidget(cmdAll_);
    allNone->addWidget(cmdNone_);
    actions->addLayout(allNone, 6, 0, 1, 2);

    // The range of risk ratings: from 0 to the highest the risk questions give.
    auto* Frame4 = new QGroupBox(QStringLiteral("Include Trees With Risk Ratings "), this);
    Frame4->setObjectName(QStringLiteral("Frame4"));
    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral(">="), Frame4);
    txtRiskFrom_ = makeIntegerBox(QStringLiteral("txtRiskFrom"), QStringLiteral("Risk Ratings from"), Frame4);
    txtRiskFrom_->setText(QStringLiteral("0"));
    auto* Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("And <="), Frame4);
    txtRiskTo_ = makeIntegerBox(QStringLiteral("txtRiskTo"), QStringLiteral("Risk Ratings to"), Frame4);
    for (QLineEdit* box : {txtRiskFrom_, txtRiskTo_}) {
        box->setMaxLength(6);
        box->setMaximumWidth(fontMetrics().horizontalAdvance(QStringLiteral("0000000")) + 12);
    }
    int highest = 12;
    try {
        highest = highestRiskRating(context_.db);
    } catch (const DbError& error) {
        // The written default, and the user is told why.
        context_.prompter.warn(this,
                               QStringLiteral("The highest risk rating could not be read from the database; \"And <=\" "
                                              "shows %1.\n\n%2")
                                   .arg(highest)
                                   .arg(error.message()),
                               QStringLiteral("Error"));
    }
    txtRiskTo_->setText(QString::number(highest));
    layOutRatingRange(Frame4, Label1, txtRiskFrom_, Label2, txtRiskTo_);

    period_ = new PeriodBlock(context_.db, context_.prompter, context_.clock, QStringLiteral("Frame2"), this);

    auto* Frame3 = new QGroupBox(QStringLiteral("Report Sort Order"), this);
    Frame3->setObjectName(QStringLiteral("Frame3"));
    auto* sorts = new QVBoxLayout(Frame3);
    const QStringList sortCaptions = costSortCaptions();
    for (int i = 0; i < CostSortCount; ++i) {
        optSort_[size_t(i)] = new QRadioButton(sortCaptions.at(i), Frame3);
        optSort_[size_t(i)]->setObjectName(QStringLiteral("optSort(%1)").arg(i));
        sorts->addWidget(optSort_[size_t(i)]);
    }
    optSort_[0]->setChecked(true);

    // Unchecked, the report goes straight to the printer.
    chkPreview_ = new QCheckBox(QStringLiteral("Preview before Printing"), this);
    chkPreview_->setObjectName(QStringLiteral("chkPreview"));
    chkPreview_->setChecked(true);

    auto* left = new QVBoxLayout;
    left->addWidget(Frame1);
    left->addWidget(Frame4);
    auto* right = new QVBoxLayout;
    right->addWidget(Frame3);
    right->addWidget(chkPreview_);
    right->addStretch(1);
    auto* columns = new QHBoxLayout;
    columns->addLayout(left, 1);
    columns->addLayout(right, 1);
    auto* layout = new QVBoxLayout;
    layout->addLayout(columns);
    layout->addWidget(period_);
    cmdDoIt_ = layOut(layout, QStringLiteral("cmdDoIt"), QStringLiteral("&Print Report"));

    connect(cmdAll_, &QPushButton::clicked, this, &frmCostReportOptions::cmdAll_Click);
    connect(cmdNone_, &QPushButton::clicked, this, &frmCostReportOptions::cmdNone_Click);
    connect(cmdDoIt_, &QPushButton::clicked, this, &frmCostReportOptions::cmdDoIt_Click);
}

void frmCostReportOptions::cmdAll_Click()
{
    for (QCheckBox* box : chkCA_)
        box->setChecked(true);
}

void frmCostReportOptions::cmdNone_Click()
{
    for (QCheckBox* box : chkCA_)
        box->setChecked(false);
}

CostReportOptions frmCostReportOptions::options() const
{
    CostReportOptions o;
    for (size_t i = 0; i < chkCA_.size(); ++i)
        o.actions[i] = chkCA_[i]->isChecked();
    o.fromText = txtRiskFrom_->text();
    o.toText = txtRiskTo_->text();
    const PeriodReading reading = readPeriod(period_->txtBegin()->text(), period_->txtEnd()->text(), false);
    if (reading.period)
        o.period = *reading.period;
    o.allOnFile = period_->allOnFile();
    o.sort = CostSort::None;
    for (int i = 0; i < CostSortCount; ++i) {
        if (optSort_[size_t(i)]->isChecked()) {
            o.sort = CostSort(i);
            break;
        }
    }
    return o;
}

void frmCostReportOptions::cmdDoIt_Click()
{
    if (reportWindow() && reportWindow()->printsWithoutPreview())
        return; // being made for the printer
    if (bringReportForward())
        return;
    CostReportOptions chosen = options();
    if (const std::optional<CostOptionsProblem> problem = costOptionsProblem(chosen);
        problem && problem->field != CostOptionsProblem::Period) {
        refuse(problem->text, problem->field == CostOptionsProblem::Ratings ? txtRiskFrom_ : nullptr);
        return;
    }
    if (!chosen.allOnFile) {
        const std::optional<DatePeriod> period = period_->period(false);
        if (!period)
            return;
        chosen.period = *period;
    }

    // Counted with the build, on the report's worker: the options stay
    // responsive, and a period without a tree to list is said there.
    const QDateTime printedAt = context_.clock.now();
    ReportPreviewWindow* report = openReport(
        ReportWindowKind::CostReport,
        [chosen, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildCostSummary(document, db, chosen, printedAt, progress);
        },
        ReportOpening::Beside);
    if (!chkPreview_->isChecked()) {
        // Straight to the printer: made with its progress, then the print dialog.
        report->printWithoutPreview();
        return;
    }
    bringReportForward();
}

} // namespace kolva
