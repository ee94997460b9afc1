#pragma once
// The options of the report of trees that need one chosen corrective
// action: the action, the risk zone (divided by zone on request) and the
// lowest risk rating. "Print Report" opens the report window over it, which
// marks the trees of the action in Report_Flag before it builds.

#include "reports/actionreports.h"
#include "reports/reportoptionsdialog.h"

#include <optional>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QPushButton;

namespace kolva {

class frmSpecificCA_Options : public ReportOptionsDialog {
    Q_OBJECT
public:
    explicit frmSpecificCA_Options(const AppContext& context, QWidget* parent = nullptr);

    QComboBox* cmbCA() const { return cmbCA_; }
    QComboBox* cmbRiskZone() const { return cmbRiskZone_; }
    QCheckBox* Check1() const { return Check1_; }
    QLineEdit* txtRiskRating() const { return txtRiskRating_; }
    QPushButton* cmdPrint() const { return cmdPrint_; }

    ActionReportOptions options() const;
    // The code of the chosen corrective action, if one is chosen.
    std::optional<int> chosenCode() const;
    void cmdPrint_Click();

private:
    void Form_Load();

    QComboBox* cmbCA_ = nullptr;
    QComboBox* cmbRiskZone_ = nullptr;
    QCheckBox* Check1_ = nullptr;
    QLineEdit* txtRiskRating_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
};

} // namespace kolva
