#include "reports/reportwindow.h"

#include "platform/busycursor.h"
#include "platform/prompter.h"
#include "platform/twips.h"
#include "platform/windows.h"
#include "reports/reportpreview.h"
#include "store/database.h"

#include <QApplication>
#include <QFileInfo>
#include <QPushButton>
#include <QTimer>

namespace kolva {

namespace {

// Designed sizes, twips.
constexpr int PreviewWidthTwips = 7755;
constexpr int PreviewHeightTwips = 6720;
constexpr int PdfWidthTwips = 1860, ExitWidthTwips = 1200, ButtonHeightTwips = 540;
constexpr int PdfLeftOfExitTwips = 2250;

} // namespace

ReportWindowTraits ReportWindowTraits::of(ReportWindowKind kind)
{
    ReportWindowTraits traits;
    switch (kind) {
    case ReportWindowKind::CostReport:
        traits = {QStringLiteral("frmCostReport"), QStringLiteral("Cost Report"), QPoint(525, 300)};
        traits.busyOverPreview = false;
        break;
    case ReportWindowKind::CostMatrixReport:
        traits = {QStringLiteral("frmCostMatrixReport"), QStringLiteral("Cost Matix Report"), QPoint(555, 225)};
        traits.hasPdf = false;
        traits.landscapeOnLoad = false;
        traits.busyOverWindow = true;
        break;
    case ReportWindowKind::ReinspectionReport:
        traits = {QStringLiteral("frmReinspectionReport"), QStringLiteral("Reinspection Report"), QPoint(555, 285)};
        break;
    case ReportWindowKind::TreesNeedingCAReport:
        traits = {QStringLiteral("frmTreesNeedingCA_Report"), QStringLiteral("Trees Needing Corrective Actions"),
                QPoint(225, 105)};
        break;
    case ReportWindowKind::SpecificCAReport:
        traits = {QStringLiteral("frmSpecificCA_Report"), QStringLiteral("Trees Needing a Specific Corrective Action"),
                QPoint(420, 150)};
        break;
    }
    return traits;
}

ReportPreviewWindow::ReportPreviewWindow(const AppContext& context, const ReportWindowTraits& traits, Builder builder,
                                         QWidget* parent)
    : QWidget(parent, Qt::Window), context_(context), traits_(traits), builder_(std::move(builder))
{
    setObjectName(traits_.objectName);
    setWindowTitle(traits_.caption);

    VSPrinter1_ = new ReportPreview(this);
    VSPrinter1_->setObjectName(QStringLiteral("VSPrinter1"));
    VSPrinter1_->setAccessibleName(traits_.caption);
    VSPrinter1_->setDocumentTitle(traits_.caption);
    connect(VSPrinter1_, &ReportPreview::printFailed, this,
            [this](const QString& why) { context_.prompter.warn(this, why, QStringLiteral("Error")); });

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
    centreOnScreen(this);
    if (traits_.busyOverPreview)
        VSPrinter1_->setCursor(Qt::WaitCursor);
    if (traits_.busyOverWindow)
        setCursor(Qt::WaitCursor);
    busy_ = std::make_unique<BusyCursor>();
    QCoreApplication::processEvents();
    if (traits_.landscapeOnLoad)
        document_.SetOrientation(ReportDocument::Landscape);
}

void ReportPreviewWindow::Timer1_Timer()
{
    Timer1_->stop();
    if (builds_ > 0 || building_)
        return;
    building_ = true;
    ++builds_;
    if (!busy_)
        busy_ = std::make_unique<BusyCursor>();
    QCoreApplication::processEvents();
    try {
        builder_(document_, this);
    } catch (const DbError& error) {
        busy_.reset();
        context_.prompter.warn(this, QStringLiteral("The report could not be made: %1").arg(error.message()),
                               QStringLiteral("Error"));
    } catch (const std::exception& error) {
        busy_.reset();
        context_.prompter.warn(this, QStringLiteral("The report could not be made: %1").arg(QString::fromUtf8(error.what())),
                               QStringLiteral("Error"));
    }
    VSPrinter1_->setDocument(&document_);
    VSPrinter1_->unsetCursor();
    unsetCursor();
    busy_.reset();
    if (cmdPDF_)
        cmdPDF_->setEnabled(document_.isComplete());
    building_ = false;
    QCoreApplication::processEvents();
    emit reportBuilt();
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
}

void ReportPreviewWindow::cmdExit_Click()
{
    close();
}

void ReportPreviewWindow::cmdPDF_Click()
{
    if (!document_.isComplete())
        return;
    QString path;
    try {
        FileDialogRequest request;
        request.title = QStringLiteral("Where do you want to place the PDF file?");
        request.filter = QStringLiteral("PDF Files(*.pdf)");
        request.defaultSuffix = QStringLiteral("PDF");
        request.proposedName = QStringLiteral("*.pdf");
        request.folder = context_.programDir;
        path = context_.prompter.saveFileName(this, request);
        if (path.trimmed().isEmpty() || path.compare(QStringLiteral("*.PDF"), Qt::CaseInsensitive) == 0)
            return;
        if (QFileInfo::exists(path)) {
            const MsgAnswer answer =
                context_.prompter.message(this, {path + QStringLiteral(" already exists! Overwrite it?"),
                                                 QStringLiteral("Overwrite File?"), MsgIcon::Exclamation,
                                                 MsgButtons::YesNo, MsgAnswer::No});
            if (answer != MsgAnswer::Yes)
                return;
        }
        {
            BusyCursor busy;
            document_.SaveAsPdf(path);
        }
        context_.prompter.inform(this, path + QStringLiteral(" created!"), QStringLiteral("PDF File Created"));
    } catch (const ReportError& error) {
        context_.prompter.warn(this, QStringLiteral("%1 - %2").arg(error.number()).arg(error.description()),
                               QStringLiteral("Error"));
    }
}

} // namespace kolva
