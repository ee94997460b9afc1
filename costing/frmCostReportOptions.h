#pragma once
// The options of the risk reduction cost summary: the corrective actions to
// price, the range of risk ratings, the period of survey dates and the
// order. "Print Report" opens the report window beside it, not modal; while
// that window is open, the button only brings it to the front.

#include "costing/costsummary.h"
#include "reports/reportoptionsdialog.h"

#include <array>

class QCheckBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kolva {

class PeriodBlock;

class frmCostReportOptions : public ReportOptionsDialog {
    Q_OBJECT
public:
    explicit frmCostReportOptions(const AppContext& context, QWidget* parent = nullptr);

    // chkCA(1) ... chkCA(11), by corrective action code.
    QCheckBox* chkCA(int code) const { return chkCA_[size_t(code - 1)]; }
    QPushButton* cmdAll() const { return cmdAll_; }
    QPushButton* cmdNone() const { return cmdNone_; }
    QLineEdit* txtRiskFrom() const { return txtRiskFrom_; }
    QLineEdit* txtRiskTo() const { return txtRiskTo_; }
    PeriodBlock* periodBlock() const { return period_; }
    QRadioButton* optSort(int i) const { return optSort_[size_t(i)]; }
    QCheckBox* chkPreview() const { return chkPreview_; }
    QPushButton* cmdDoIt() const { return cmdDoIt_; }

    // The options as the controls show them now (the period as read from
    // its dates, invalid when they are not dates).
    CostReportOptions options() const;

    void cmdAll_Click();
    void cmdNone_Click();
    void cmdDoIt_Click();

private:
    std::array<QCheckBox*, 11> chkCA_{};
    QPushButton* cmdAll_ = nullptr;
    QPushButton* cmdNone_ = nullptr;
    QLineEdit* txtRiskFrom_ = nullptr;
    QLineEdit* txtRiskTo_ = nullptr;
    PeriodBlock* period_ = nullptr;
    std::array<QRadioButton*, CostSortCount> optSort_{};
    QCheckBox* chkPreview_ = nullptr;
    QPushButton* cmdDoIt_ = nullptr;
};

} // namespace kolva
