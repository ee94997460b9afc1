#include "gis/frmGisExport.h"

#include "costing/periodblock.h"
#include "gis/gisexport.h"
#include "platform/controls.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/windows.h"
#include "store/database.h"

#include <QCloseEvent>
#include <QDir>
#include <QFileInfo>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <memory>

namespace kolva {

frmGisExport::frmGisExport(const AppContext& context, QWidget* parent) : QWidget(parent), context_(context)
{
    setObjectName(QStringLiteral("frmGisExport"));
    setWindowTitle(QStringLiteral("Export for GIS"));

    period_ = new PeriodBlock(context_.db, context_.prompter, context_.clock, QStringLiteral("Frame1"), this);
    auto* lblFormat = new QLabel(
        QStringLiteral("Each tree with its latitude and longitude becomes a point in WGS 84 (EPSG:4326). "
                       "The file's name chooses its format: .gpkg (GeoPackage), .geojson (GeoJSON) or "
                       ".shp (Shapefile)."),
        this);
    lblFormat->setObjectName(QStringLiteral("lblFormat"));
    lblFormat->setWordWrap(true);
    cmdDoIt_ = makeButton(QStringLiteral("cmdDoIt"), QStringLiteral("&Create File"), this);
    cmdExit_ = makeButton(QStringLiteral("cmdExit"), QStringLiteral("E&xit"), this);
    connect(cmdDoIt_, &QPushButton::clicked, this, &frmGisExport::cmdDoIt_Click);
    connect(cmdExit_, &QPushButton::clicked, this, &QWidget::close);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(cmdDoIt_);
    buttons->addWidget(cmdExit_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(period_);
    layout->addWidget(lblFormat);
    layout->addSpacing(12);
    layout->addStretch(1);
    layout->addLayout(buttons);
}

void frmGisExport::cmdDoIt_Click()
{
    if (job_ && job_->isRunning())
        return;
    // "All on File" takes every record, also those without a date.
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
    request.title = QStringLiteral("Where do you want to place the GIS file?");
    request.filter = QStringLiteral("GeoPackage (*.gpkg);;GeoJSON (*.geojson);;Shapefile (*.shp)");
    request.defaultSuffix = QStringLiteral("gpkg");
    request.proposedName = QStringLiteral("trees.gpkg");
    request.folder = context_.programDir;
    const QString path = context_.prompter.saveFileName(this, request).trimmed();
    if (path.isEmpty())
        return;
    if (!gisFormatOf(path)) {
        context_.prompter.warn(this, gisFormatRefusal(path), QStringLiteral("Error"));
        return;
    }
    if (QFileInfo::exists(path) || QFileInfo(path).isSymLink()) {
        const MsgAnswer answer = context_.prompter.message(
            this, {path + QStringLiteral(" already exists! Overwrite it?"), QStringLiteral("Overwrite File?"),
                   MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::No});
        if (answer != MsgAnswer::Yes)
            return;
    }

    cmdDoIt_->setEnabled(false);
    const GisExportOptions options{*period, path, everyRecord};
    const QString databasePath = context_.db.path();
    auto result = std::make_shared<GisExportResult>();
    QPointer<frmGisExport> self(this);
    job_ = BackgroundJob::start(
        this, QStringLiteral("Export for GIS"),
        [options, databasePath, result](Progress& progress) {
            const std::unique_ptr<Database> db = Database::open(databasePath);
            *result = exportSurveyGis(*db, options, progress);
        },
        [self, path, result](std::exception_ptr error) {
            if (!self)
                return;
            frmGisExport& window = *self;
            window.cmdDoIt_->setEnabled(true);
            Prompter& prompter = window.context_.prompter;
            if (error) {
                // "28 - Could not write ...", "5 - database is locked"
                FailureReport report;
                report.text = QStringLiteral("%2 - %1");
                reportFailure(prompter, &window, report, error);
            } else {
                const QString notes = gisExportNotes(*result);
                if (result->cancelled) {
                    // Stopped by the user: nothing written, nothing to say.
                } else if (result->inPeriod == 0) {
                    prompter.inform(&window, QStringLiteral("No trees meet your selection criteria!"),
                                    QStringLiteral("No Data"));
                } else if (result->records == 0) {
                    prompter.warn(&window,
                                  QStringLiteral("None of the trees of the period (%1) has usable coordinates; no GIS "
                                                 "file was written.\n\n%2")
                                      .arg(result->inPeriod)
                                      .arg(notes),
                                  QStringLiteral("No Data"));
                } else {
                    const QString said =
                        path + QStringLiteral(" created!\n\n")
                        + (result->records == 1 ? QStringLiteral("1 tree written.")
                                                : QStringLiteral("%1 trees written.").arg(result->records))
                        + (notes.isEmpty() ? QString() : QStringLiteral("\n") + notes);
                    if (result->unplaced > 0 || result->emptied > 0 || result->cut > 0)
                        prompter.warn(&window, said, QStringLiteral("GIS File Created"));
                    else
                        prompter.inform(&window, said, QStringLiteral("GIS File Created"));
                }
            }
            emit window.exportFinished();
        });
}

void frmGisExport::closeEvent(QCloseEvent* event)
{
    // An export still running stops; the file it was writing is not kept.
    if (job_)
        job_->requestCancel();
    QWidget::closeEvent(event);
}

void frmGisExport::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!centred_) {
        centred_ = true;
        centreOnScreen(this);
    }
}

} // namespace kolva
