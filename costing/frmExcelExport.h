#pragma once
// The CSV export window: a period of survey dates, whether the file is for a
// spreadsheet, "Create File" and "Exit".
// The file is written on a worker thread with a progress dialog; the window
// stays responsive meanwhile.

#include "platform/progress.h"
#include "store/context.h"

#include <QPointer>
#include <QWidget>

class QCheckBox;
class QPushButton;

namespace kolva {

class PeriodBlock;

class frmExcelExport : public QWidget {
    Q_OBJECT
public:
    explicit frmExcelExport(const AppContext& context, QWidget* parent = nullptr);

    PeriodBlock* periodBlock() const { return period_; }
    QCheckBox* chkSpreadsheet() const { return chkSpreadsheet_; }
    QPushButton* cmdDoIt() const { return cmdDoIt_; }
    QPushButton* Command1() const { return Command1_; }
    // The export that is running, if any.
    BackgroundJob* job() const { return job_; }

    void cmdDoIt_Click();

signals:
    // An export ended (written, nothing to write, failed or cancelled).
    void exportFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    AppContext context_;
    bool centred_ = false;
    PeriodBlock* period_ = nullptr;
    QCheckBox* chkSpreadsheet_ = nullptr;
    QPushButton* cmdDoIt_ = nullptr;
    QPushButton* Command1_ = nullptr;
    QPointer<BackgroundJob> job_;
};

} // namespace kolva
