#include "reports/frmReinspectionReportOptions.h"

#include "platform/clock.h"
#include "platform/controls.h"
#include "reports/reportcommon.h"
#include "reports/reportoptions.h"
#include "reports/reportdata.h"
#include "store/numbers.h"

#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace kolva {

frmReinspectionReportOptions::frmReinspectionReportOptions(const AppContext& context, QWidget* parent)
    : ReportOptionsDialog(context, QStringLiteral("frmReinspectionReportOptions"),
                          QStringLiteral("Reinspection Report Options"), Placement::AsOpened, parent)
{
    auto* frameYear = new QGroupBox(QStringLiteral("For Inspections Due In "), this);
    frameYear->setObjectName(QStringLiteral("Frame1"));
    cboYear_ = new QComboBox(frameYear);
    cboYear_->setObjectName(QStringLiteral("cboYear"));
    cboYear_->setEditable(true);
    cboYear_->setInsertPolicy(QComboBox::NoInsert);
    cboYear_->setAccessibleName(QStringLiteral("For Inspections Due In"));
    cboYear_->lineEdit()->setAccessibleName(cboYear_->accessibleName());
    auto* yearRow = new QHBoxLayout(frameYear);
    yearRow->addWidget(cboYear_);
    const char* quarters[] = {"Q1", "Q2", "Q3", "Q4"};
    for (int i = 0; i < 4; ++i) {
        chkQuarter_[size_t(i)] = new QCheckBox(QString::fromLatin1(quarters[i]), frameYear);
        chkQuarter_[size_t(i)]->setObjectName(QStringLiteral("chkQuarter(%1)").arg(i));
        chkQuarter_[size_t(i)]->setChecked(true);
        yearRow->addWidget(chkQuarter_[size_t(i)]);
    }

    auto* frameRatings = new QGroupBox(QStringLiteral("Include Risk Ratings "), this);
    frameRatings->setObjectName(QStringLiteral("Frame2"));
    auto* Label1 = makeLabel(QStringLiteral("Label1"), QStringLiteral("From:"), frameRatings);
    txtFrom_ = makeRatingBox(QStringLiteral("txtFrom"), QStringLiteral("0"), Label1->text(), frameRatings);
    auto* Label2 = makeLabel(QStringLiteral("Label2"), QStringLiteral("To:"), frameRatings);
    txtTo_ = makeRatingBox(QStringLiteral("txtTo"), QString(), Label2->text(), frameRatings);
    layOutRatingRange(frameRatings, Label1, txtFrom_, Label2, txtTo_);

    auto* frameZone = new QGroupBox(QStringLiteral("Include Risk Zone"), this);
    frameZone->setObjectName(QStringLiteral("Frame3"));
    cmbRiskZone_ = new QComboBox(frameZone);
    cmbRiskZone_->setObjectName(QStringLiteral("cmbRiskZone"));
    cmbRiskZone_->setAccessibleName(QStringLiteral("Include Risk Zone"));
    keepListWidth(cmbRiskZone_);
    auto* zoneRow = new QHBoxLayout(frameZone);
    zoneRow->addWidget(cmbRiskZone_, 1);

    auto* frameSort = new QGroupBox(QStringLiteral("Sort Report By "), this);
    frameSort->setObjectName(QStringLiteral("Frame4"));
    auto* sortColumn = new QVBoxLayout(frameSort);
    const char* sorts[] = {"Tree ID", "Risk Rating (Hi to Low) and Street Address", "Street Address and Risk Rating",
                           "Risk Rating (Hi to Low)"};
    for (int i = 0; i < 4; ++i) {
        optSort_[size_t(i)] = new QRadioButton(QString::fromLatin1(sorts[i]), frameSort);
        optSort_[size_t(i)]->setObjectName(QStringLiteral("optSort(%1)").arg(i));
        sortColumn->addWidget(optSort_[size_t(i)]);
    }
    optSort_[3]->setChecked(true);

    auto* layout = new QVBoxLayout;
    layout->addWidget(frameYear);
    layout->addWidget(frameRatings);
    layout->addWidget(frameZone);
    layout->addWidget(frameSort);
    cmdPrint_ = layOut(layout, QStringLiteral("cmdPrint"), QStringLiteral("Print Report"));
    connect(cmdPrint_, &QPushButton::clicked, this, &frmReinspectionReportOptions::cmdPrint_Click);

    Form_Load();
}

void frmReinspectionReportOptions::Form_Load()
{
    cboYear_->clear();
    cboYear_->addItems(reinspectionYears(context_.clock.today()));
    cboYear_->setCurrentIndex(1);
    // The ratings reach up to the highest the risk questions can give.
    txtTo_->setText(defaultReinspectionOptions(context_.db, context_.clock.today()).toText);
    fillRiskZones(cmbRiskZone_, context_.db);
}

ReinspectionOptions frmReinspectionReportOptions::options() const
{
    ReinspectionOptions o;
    o.yearText = cboYear_->currentText();
    for (int i = 0; i < 4; ++i)
        o.quarters[size_t(i)] = chkQuarter_[size_t(i)]->isChecked();
    o.fromText = txtFrom_->text();
    o.toText = txtTo_->text();
    o.allZones = cmbRiskZone_->currentIndex() <= 0;
    o.zone = o.allZones ? QString() : cmbRiskZone_->currentData().toString();
    o.sort = 3;
    for (int i = 0; i < 4; ++i) {
        if (optSort_[size_t(i)]->isChecked())
            o.sort = i;
    }
    return o;
}

void frmReinspectionReportOptions::cmdPrint_Click()
{
    if (bringReportForward())
        return;
    if (txtFrom_->text().isEmpty() || txtTo_->text().isEmpty()) {
        refuse(QStringLiteral("Please enter a Risk Rating range"), txtFrom_);
        return;
    }
    // Every refusal comes before the report window opens.
    const ReinspectionOptions o = options();
    if (const auto problem = reinspectionOptionsProblem(o)) {
        QWidget* field = txtFrom_;
        switch (problem->field) {
        case OptionsProblem::Ratings: field = txtFrom_; break;
        case OptionsProblem::Quarters: field = chkQuarter_[0]; break;
        case OptionsProblem::Year: field = cboYear_; break;
        }
        refuse(problem->text, field, problem->caption);
        return;
    }
    const QDateTime printedAt = context_.clock.now();
    openReport(
        ReportWindowKind::ReinspectionReport,
        [o, printedAt](ReportDocument& document, Database& db, Progress& progress) {
            buildReinspectionReport(document, db, o, printedAt, progress);
        },
        ReportOpening::Modal);
}

} // namespace kolva
