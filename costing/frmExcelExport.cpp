#include "costing/frmExcelExport.h"

#include "costing/csvexport.h"
#include "costing/periodblock.h"
#include "platform/settings.h"
#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/database.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace kolva {

frmExcelExport::frmExcelExport(const AppContext& context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmExcelExport"));
    setWindowTitle(QStringLiteral("Excel Export"));

    period_ = new PeriodBlock(context_.db, context_.prompter, context_.clock, QStringLiteral("Frame1"), this);
    // UTF-8 with a byte-order mark, which spreadsheet programs recognise, and
    // no text taken for a formula; without it the file is plain UTF-8 for
    // other programs.
    chkSpreadsheet_ = new QCheckBox(QStringLiteral("Write the file for a &spreadsheet"), this);
    chkSpreadsheet_->setObjectName(QStringLiteral("chkSpreadsheet"));
    chkSpreadsheet_->setChecked(true);
    chkSpreadsheet_->setToolTip(QStringLiteral(
        "UTF-8 with a byte-order mark, so that a spreadsheet shows accented names right, and texts that begin with "
        "=, +, - or @ kept as text. Clear it for a program that wants plain UTF-8."));
    cmdDoIt_ = makeButton(QStringLiteral("cmdDoIt"), QStringLiteral("&Create File"), this);
    Command1_ = makeButton(QStringLiteral("Command1"), QStringLiteral("E&xit"), this);
    connect(cmdDoIt_, &QPushButton::clicked, this, &frmExcelExport::cmdDoIt_Click);
    connect(Command1_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdDoIt_);
    buttons->addWidget(Command1_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(period_);
    layout->addWidget(chkSpreadsheet_);
    layout->addSpacing(12);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

void frmExcelExport::cmdDoIt_Click()
{
    if (job_ && job_->isRunning())
        return;
    // "All on File" takes every record, also those without a date (and
    // needs no dates when none has one).
    const bool everyRecord = period_->allOnFile();
    std::optional<DatePeriod> period;
    if (everyRecord) {
        period = DatePeriod{};
    } else {
        period = period_->period(true);
        if (!period)
            return;
    }

    FileDialogRequest request;
    request.title = QStringLiteral("Where do you want to place the CSV file?");
    request.filter = QStringLiteral("Excel CSV Files(*.csv)");
    request.defaultSuffix = QStringLiteral("CSV");
    request.proposedName = QStringLiteral("*.csv");
    // Beside the database: the program folder of a portable copy, the user's
    // data folder of an installed one (whose program folder cannot be written).
    request.folder = context_.dataDir;
    const QString path = context_.prompter.saveFileName(this, request).trimmed();
    if (path.isEmpty() || path.compare(QStringLiteral("*.CSV"), Qt::CaseInsensitive) == 0)
        return;
    if (QFileInfo::exists(path)) {
        const MsgAnswer answer = context_.prompter.message(
            this, {path + QStringLiteral(" already exists! Overwrite it?"), QStringLiteral("Overwrite File?"),
                   MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::No});
        if (answer != MsgAnswer::Yes)
            return;
    }

    cmdDoIt_->setEnabled(false);
    const CsvExportOptions options{*period, path, everyRecord, chkSpreadsheet_->isChecked()};
    const QString databasePath = context_.db.path();
    auto result = std::make_shared<CsvExportResult>();
    QPointer<frmExcelExport> self(this);
    job_ = BackgroundJob::start(
        this, QStringLiteral("Excel Export"),
        [options, databasePath, result](Progress& progress) {
            const std::unique_ptr<Database> db = Database::open(databasePath);
            *result = exportSurveyCsv(*db, options, progress);
        },
        [self, path, result](std::exception_ptr error) {
            if (!self)
                return;
            frmExcelExport& window = *self;
            window.cmdDoIt_->setEnabled(true);
            Prompter& prompter = window.context_.prompter;
            if (error) {
                // "28 - Could not write ...", "5 - database is locked"
                FailureReport report;
                report.text = QStringLiteral("%2 - %1");
                reportFailure(prompter, &window, report, error);
            } else if (result->cancelled) {
                // Stopped by the user: nothing written, nothing to say.
            } else if (result->records == 0) {
                prompter.inform(&window, QStringLiteral("No trees meet your selection criteria!"),
                                QStringLiteral("No Data"));
            } else {
                const QString note = undatedRecordsNote(result->undated);
                prompter.inform(&window,
                                path + QStringLiteral(" created!")
                                    + (note.isEmpty() ? QString() : QStringLiteral("\n\n") + note),
                                QStringLiteral("Excel CSV File Created"));
            }
            emit window.exportFinished();
        });
}

void frmExcelExport::closeEvent(QCloseEvent* event)
{
    // An export still running stops; the file it was writing is not kept.
    if (job_)
        job_->requestCancel();
    QWidget::closeEvent(event);
}

void frmExcelExport::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        placeWindow(this, context_.settings);
    }
}

} // namespace kolva
