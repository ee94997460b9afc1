#pragma once
// The options of the reinspection report: the year and quarters the
// inspections are due in, the risk rating range, the risk zone and the order.
// "Print Report" opens the report window over it; the report reads the
// options from here while it builds.

#include "reports/reinspection.h"
#include "reports/reportoptionsdialog.h"

#include <array>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;
class QRadioButton;

namespace kolva {

class frmReinspectionReportOptions : public ReportOptionsDialog {
    Q_OBJECT
public:
    explicit frmReinspectionReportOptions(const AppContext& context, QWidget* parent = nullptr);

    QComboBox* cboYear() const { return cboYear_; }
    QCheckBox* chkQuarter(int i) const { return chkQuarter_[size_t(i)]; }
    QLineEdit* txtFrom() const { return txtFrom_; }
    QLineEdit* txtTo() const { return txtTo_; }
    QComboBox* cmbRiskZone() const { return cmbRiskZone_; }
    QRadioButton* optSort(int i) const { return optSort_[size_t(i)]; }
    QPushButton* cmdPrint() const { return cmdPrint_; }

    // The options as the controls show them now.
    ReinspectionOptions options() const;

    void cmdPrint_Click();

private:
    void Form_Load();

    QComboBox* cboYear_ = nullptr;
    std::array<QCheckBox*, 4> chkQuarter_{};
    QLineEdit* txtFrom_ = nullptr;
    QLineEdit* txtTo_ = nullptr;
    QComboBox* cmbRiskZone_ = nullptr;
    std::array<QRadioButton*, 4> optSort_{};
    QPushButton* cmdPrint_ = nullptr;
};

} // namespace kolva
