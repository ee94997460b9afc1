#pragma once
// The cost table window: pick a corrective action, see its DBH ranges and
// their costs, add a range, delete one, keep the cost to mobilize, and print
// the whole table. Every addition and deletion is written at once; the cost
// to mobilize is written when the window closes.

#include "store/context.h"

#include <QWidget>

class QComboBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

namespace kolva {

class frmEnterCosts : public QWidget {
    Q_OBJECT
public:
    explicit frmEnterCosts(const AppContext& context, QWidget* parent = nullptr);

    QComboBox* cboAction() const { return cboAction_; }
    QTableWidget* grdCost() const { return grdCost_; }
    QPushButton* cmdAdd() const { return cmdAdd_; }
    QPushButton* cmdDelete() const { return cmdDelete_; }
    QGroupBox* frameAddCost() const { return frameAddCost_; }
    QLabel* lblCA() const { return lblCA_; }
    QLineEdit* txtDBHFrom() const { return txtDBHFrom_; }
    QLineEdit* txtDBHTo() const { return txtDBHTo_; }
    QLineEdit* txtCost() const { return txtCost_; }
    QPushButton* cmdAddSave() const { return cmdAddSave_; }
    QPushButton* cmdCancel() const { return cmdCancel_; }
    QLineEdit* txtMobilize() const { return txtMobilize_; }
    QPushButton* cmdSave() const { return cmdSave_; }
    QPushButton* cmdPrint() const { return cmdPrint_; }

    void cmdAdd_Click();
    void cmdAddSave_Click();
    void cmdCancel_Click();
    void cmdDelete_Click();
    void cmdPrint_Click();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void LoadActionList();
    void LoadCostGrid();
    // The code of the chosen action; 0 when there is none.
    int selectedAction() const;
    // Browsing (true) or adding a range (false).
    void setBrowsing(bool browsing);
    void failed(const QString& what, const QString& why);

    AppContext context_;
    bool centred_ = false;
    QComboBox* cboAction_ = nullptr;
    QTableWidget* grdCost_ = nullptr;
    QPushButton* cmdAdd_ = nullptr;
    QPushButton* cmdDelete_ = nullptr;
    QGroupBox* frameAddCost_ = nullptr;
    QLabel* lblCA_ = nullptr;
    QLineEdit* txtDBHFrom_ = nullptr;
    QLineEdit* txtDBHTo_ = nullptr;
    QLineEdit* txtCost_ = nullptr;
    QPushButton* cmdAddSave_ = nullptr;
    QPushButton* cmdCancel_ = nullptr;
    QLineEdit* txtMobilize_ = nullptr;
    QPushButton* cmdSave_ = nullptr;
    QPushButton* cmdPrint_ = nullptr;
    QString storedMobilize_; // the cost to mobilize as last read or written
};

} // namespace kolva
