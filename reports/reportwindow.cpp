#include "reports/reportwindow.h"

#include "platform/settings.h"
#include "platform/busycursor.h"
#include "platform/failure.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "reports/reportpreview.h"
#include "store/database.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileInfo>
#include <QLabel>
#include <QPrinter>
#include <QPushButton>
#include <QTimer>

#include <optional>
#include <utility>

namespace kolva {

namespace {

// Designed sizes, twips.
constexpr int PreviewWidthTwips = 7755;
constexpr int PreviewHeightTwips = 6720;
constexpr int PdfWidthTwips = 1860, ExitWidthTwips = 1200, ButtonHeightTwips = 540;
constexpr int PdfLeftOfExitTwips = 2250;

// The message of a build that found nothing to report; none for any other end.
std::optional<ReportNothingToList> nothingToList(std::exception_ptr error)
{
    try {
        std::rethrow_exception(error);
    } catch (const ReportNothingToList& nothing) {
        return nothing;
    } catch (...) {
        return std::nullopt; // a failure: reportFailure says it
    }
}

} // namespace

ReportPreviewWindow::ReportPreviewWindow(const AppContext& context, const ReportWindowTraits& traits, Builder builder,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), traits_(traits), builder_(std::move(builder)),
      document_(std::make_shared<ReportDocument>())
{
    setObjectName(traits_.objectName);
    setWindowTitle(traits_.caption);

    VSPrinter1_ = new ReportPreview(this);
    VSPrinter1_->setObjectName(QStringLiteral("VSPrinter1"));
    VSPrinter1_->setAccessibleName(traits_.caption);
    VSPrinter1_->setDocumentTitle(traits_.caption);
    connect(VSPrinter1_, &ReportPreview::printFailed, this,
            [this](const QString& why) { context_.prompter.warn(this, why, QStringLiteral("Error")); });
    VSPrinter1_->setPaperChooser([this](QPageSize::PageSizeId paper, std::shared_ptr<QPrinter> printer) {
        paperChosen(paper, std::move(printer));
    });

    if (traits_.hasPdf) {
        cmdPDF_ = new QPushButton(QStringLiteral("&Save as a PDF "), this);
        cmdPDF_->setObjectName(QStringLiteral("cmdPDF"));
        cmdPDF_->resize(twipsToPixels(PdfWidthTwips), twipsToPixels(ButtonHeightTwips));
        cmdPDF_->setEnabled(false); // until there is a report to save
        connect(cmdPDF_, &QPushButton::clicked, this, &ReportPreviewWindow::cmdPDF_Click);
    }
    cmdExit_ = new QPushButton(QStringLiteral("E&xit"), this);
    cmdExit_->setObjectName(QStringLiteral("cmdExit"));
    cmdExit_->resize(twipsToPixels(ExitWidthTwips), twipsToPixels(ButtonHeightTwips));
    connect(cmdExit_, &QPushButton::clicked, this, &ReportPreviewWindow::cmdExit_Click);

    lblStatus_ = new QLabel(this);
    lblStatus_->setObjectName(QStringLiteral("lblStatus"));
    lblStatus_->setWordWrap(true);
    lblStatus_->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    lblStatus_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblStatus_->hide();

    Timer1_ = new QTimer(this);
    Timer1_->setObjectName(QStringLiteral("Timer1"));
    Timer1_->setSingleShot(true);
    connect(Timer1_, &QTimer::timeout, this, &ReportPreviewWindow::Timer1_Timer);

    setMinimumSize(twipsToPixels(MinWidthTwips), twipsToPixels(MinHeightTwips));
    // The designed preview with its spare room, but never below the smallest size.
    resize(twipsToPixels(std::max(MinWidthTwips, PreviewWidthTwips + PreviewSpareWidthTwips)),
           twipsToPixels(std::max(MinHeightTwips, PreviewHeightTwips + PreviewSpareHeightTwips)));
}

ReportPreviewWindow::~ReportPreviewWindow() = default;

void ReportPreviewWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!loaded_) {
        loaded_ = true;
        Form_Load();
    }
}

void ReportPreviewWindow::Form_Load()
{
    Timer1_->start(BuildDelayMs);
    placeWindow(this, context_.settings);
    if (traits_.busyOverPreview)
        VSPrinter1_->setCursor(Qt::WaitCursor);
    if (traits_.busyOverWindow)
        setCursor(Qt::WaitCursor);
    busy_ = std::make_unique<BusyCursor>();
    QCoreApplication::processEvents();
    if (traits_.landscapeOnLoad)
        document_->SetOrientation(ReportDocument::Landscape);
}

void ReportPreviewWindow::Timer1_Timer()
{
    Timer1_->stop();
    if (builds_ > 0 || building_)
        return;
    startBuild();
}

void ReportPreviewWindow::printWithoutPreview()
{
    printOnly_ = true;
    if (builds_ == 0 && !building_) {
        if (traits_.landscapeOnLoad)
            document_->SetOrientation(ReportDocument::Landscape);
        startBuild();
    }
}

void ReportPreviewWindow::paperChosen(QPageSize::PageSizeId paper, std::shared_ptr<QPrinter> printer)
{
    if (building_ || saving_)
        return;
    context_.settings.setReportPaper(paper);
    pendingPrint_ = std::move(printer);
    startBuild();
}

void ReportPreviewWindow::startBuild()
{
    building_ = true;
    ++builds_;
    if (!busy_)
        busy_ = std::make_unique<BusyCursor>();
    // The worker composes a document of its own, turned as this one is, and
    // the window takes it when the work has ended.
    auto made = std::make_shared<std::unique_ptr<ReportDocument>>(std::make_unique<ReportDocument>());
    (*made)->SetOrientation(document_->orientation());
    (*made)->SetPaperSize(context_.settings.reportPaper());
    if (cmdPDF_)
        cmdPDF_->setEnabled(false);
    const QString path = context_.db.path();
    QPointer<ReportPreviewWindow> self(this);
    job_ = BackgroundJob::start(
        this, traits_.caption,
        [made, path, builder = builder_](Progress& progress) {
            const std::unique_ptr<Database> db = Database::open(path);
            builder(**made, *db, progress);
        },
        [self, made](std::exception_ptr error) {
            if (self)
                self->buildFinished(std::move(*made), error);
        });
}

void ReportPreviewWindow::buildFinished(std::unique_ptr<ReportDocument> document, std::exception_ptr error)
{
    VSPrinter1_->unsetCursor();
    unsetCursor();
    busy_.reset();
    building_ = false;
    if (error) {
        pendingPrint_.reset(); // nothing laid out on the paper chosen: nothing printed
        if (const std::optional<ReportNothingToList> nothing = nothingToList(error)) {
            context_.prompter.warn(this, nothing->text(), nothing->caption());
            close();
            return;
        }
        FailureReport report;
        report.text = QStringLiteral("The report could not be made: %1");
        if (reportFailure(context_.prompter, this, report, error) == FailureKind::Cancelled) {
            close(); // nothing to show: back to the options
            return;
        }
    } else {
        document_ = std::shared_ptr<ReportDocument>(std::move(document));
    }
    VSPrinter1_->setDocument(document_.get());
    if (cmdPDF_)
        cmdPDF_->setEnabled(document_->isComplete());
    // A few characters below the preview, more in its tooltip.
    const QString note = undrawableCharactersNote(*document_);
    lblStatus_->setText(undrawableCharactersNote(*document_, 3));
    lblStatus_->setToolTip(note);
    lblStatus_->setAccessibleName(note);
    lblStatus_->setVisible(!note.isEmpty());
    emit reportBuilt();

    // Laid out again for the paper chosen in the print dialog: printed as
    // asked there. Pages chosen by number are numbered anew on the other
    // paper, so the user chooses them again.
    if (const std::shared_ptr<QPrinter> printer = std::exchange(pendingPrint_, nullptr);
        printer && document_->isComplete()) {
        if (printer->printRange() == QPrinter::AllPages)
            VSPrinter1_->printOn(*printer);
        else
            VSPrinter1_->print();
    } else if (printOnly_ && document_->isComplete()) {
        VSPrinter1_->print();
    }
    if (printOnly_ && !building_)
        close();
}

void ReportPreviewWindow::closeEvent(QCloseEvent* event)
{
    // A build or save still running stops where it is; nothing of it stays.
    if (job_)
        job_->requestCancel();
    QWidget::closeEvent(event);
}

void ReportPreviewWindow::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    Form_Resize();
}

void ReportPreviewWindow::Form_Resize()
{
    if (isMinimized())
        return;
    const int minWidth = twipsToPixels(MinWidthTwips), minHeight = twipsToPixels(MinHeightTwips);
    if (height() < minHeight || width() < minWidth) {
        resize(std::max(width(), minWidth), std::max(height(), minHeight));
        return;
    }
    const QPoint at(twipsToPixels(traits_.previewTopLeft.x()), twipsToPixels(traits_.previewTopLeft.y()));
    const int previewHeight = height() - twipsToPixels(PreviewSpareHeightTwips);
    const int previewWidth = width() - twipsToPixels(PreviewSpareWidthTwips);
    VSPrinter1_->setGeometry(at.x(), at.y(), previewWidth, previewHeight);
    // The exit button keeps its designed left edge, under the right end of
    // the designed preview.
    const int exitLeft = twipsToPixels(traits_.previewTopLeft.x() + PreviewWidthTwips - ExitWidthTwips);
    const int buttonTop = previewHeight + twipsToPixels(ButtonsBelowTwips);
    cmdExit_->move(exitLeft, buttonTop);
    if (cmdPDF_)
        cmdPDF_->move(exitLeft - twipsToPixels(PdfLeftOfExitTwips), buttonTop);
    // The status fills the row left of the buttons, down to the bottom edge.
    const int statusRight = (cmdPDF_ ? cmdPDF_->x() : exitLeft) - twipsToPixels(120);
    lblStatus_->setGeometry(at.x(), buttonTop, std::max(statusRight - at.x(), 0), height() - buttonTop);
}

void ReportPreviewWindow::cmdExit_Click()
{
    close();
}

void ReportPreviewWindow::cmdPDF_Click()
{
    if (!document_->isComplete() || saving_ || building_)
        return;
    FileDialogRequest request;
    request.title = QStringLiteral("Where do you want to place the PDF file?");
    request.filter = QStringLiteral("PDF Files(*.pdf)");
    request.defaultSuffix = QStringLiteral("PDF");
    request.proposedName = QStringLiteral("*.pdf");
    // Beside the database: the program folder of a portable copy, the user's
    // data folder of an installed one (whose program folder cannot be written).
    request.folder = context_.dataDir;
    const QString path = context_.prompter.saveFileName(this, request);
    if (path.trimmed().isEmpty() || path.compare(QStringLiteral("*.PDF"), Qt::CaseInsensitive) == 0)
        return;
    if (QFileInfo::exists(path)) {
        const MsgAnswer answer = context_.prompter.message(
            this, {path + QStringLiteral(" already exists! Overwrite it?"), QStringLiteral("Overwrite File?"),
                   MsgIcon::Exclamation, MsgButtons::YesNo, MsgAnswer::No});
        if (answer != MsgAnswer::Yes)
            return;
    }
    saving_ = true;
    if (cmdPDF_)
        cmdPDF_->setEnabled(false);
    // The job holds the document too: it may outlive the window.
    const std::shared_ptr<const ReportDocument> document = document_;
    QPointer<ReportPreviewWindow> self(this);
    job_ = BackgroundJob::start(
        this, QStringLiteral("Save as a PDF"), [document, path](Progress& progress) { document->SaveAsPdf(path, &progress); },
        [self, path](std::exception_ptr error) {
            if (self)
                self->saveFinished(path, error);
        });
}

void ReportPreviewWindow::saveFinished(const QString& path, std::exception_ptr error)
{
    saving_ = false;
    if (cmdPDF_)
        cmdPDF_->setEnabled(document_->isComplete());
    if (error) {
        // "28 - Could not write ..."; stopped by the user: no file, nothing to say.
        FailureReport report;
        report.text = QStringLiteral("%2 - %1");
        reportFailure(context_.prompter, this, report, error);
    } else if (const QString note = undrawableCharactersNote(*document_); note.isEmpty()) {
        context_.prompter.inform(this, path + QStringLiteral(" created!"), QStringLiteral("PDF File Created"));
    } else {
        context_.prompter.warn(this, path + QStringLiteral(" created!\n\n") + note, QStringLiteral("PDF File Created"));
    }
    emit pdfFinished();
}

} // namespace kolva
