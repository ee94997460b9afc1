#pragma once
// The options of the report of trees that need corrective action: the
// lowest risk rating, the risk zone and whether an all-zones report is
// divided by zone. "Print Report" opens the report window over it.

#include "reports/actionreports.h"
#include "reports/reportoptionsdialog.h"

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kolva {

class frmTreesNeedingCA_Options : public ReportOptionsDialog {
    Q_OBJECT
public:
    explicit frmTreesNeedingCA_Options(const AppContext& context, QWidget* parent = nullptr);

    QLineEdit* txtRiskRating() const { return txtRiskRating_; }
    QComboBox* cmbRiskZone() const { return cmbRiskZone_; }
    QCheckBox* Check1() const { return Check1_; }
    QPushButton* cmdPrint() const { return cmdPrint_; }

    ActionReportOptions options() const;
    void cmdPrint_Click();

private:
    void Form_Load();
    void cmbRiskZone_Click();

    QLineEdit* txtRiskRating_ = nullptr;
    QComboBox* cmbRiskZone_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
};

} // namespace kolva
