#pragma once
// The GIS export window: a period of survey dates, "Create File" and "Exit".
// The file (GeoPackage, GeoJSON or Shapefile, by the name chosen) is written
// on a worker thread with a progress dialog; the window stays responsive
// meanwhile.

#include "platform/progress.h"
#include "store/context.h"

#include <QPointer>
#include <QWidget>

class QPushButton;

namespace kolva {

class PeriodBlock;

class frmGisExport : public QWidget {
    Q_OBJECT
public:
    explicit frmGisExport(const AppContext& context, QWidget* parent = nullptr);

    PeriodBlock* periodBlock() const { return period_; }
    QPushButton* cmdDoIt() const { return cmdDoIt_; }
    QPushButton* cmdExit() const { return cmdExit_; }
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
    QPushButton* cmdDoIt_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QPointer<BackgroundJob> job_;
};

} // namespace kolva
