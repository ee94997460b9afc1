#pragma once
// The report window: every report of the program is shown in one. It builds
// its report once, half a second after it opened, into its document, shows
// it in the preview (zoom, paging, printing), saves it as a PDF file on
// request, and keeps its buttons below the preview when it is resized. The
// build and the PDF run on a worker thread with a progress dialog and
// Cancel; the window repaints meanwhile, and closing it stops them.

#include "platform/progress.h"
#include "reports/reportdocument.h"
#include "reports/reportkinds.h"
#include "store/context.h"

#include <QPoint>
#include <QPointer>
#include <QString>
#include <QWidget>

#include <exception>
#include <functional>
#include <memory>

class QLabel;
class QPrinter;
class QPushButton;
class QTimer;

namespace kolva {

class BusyCursor;
class Database;
class ReportPreview;

class ReportPreviewWindow : public QWidget {
    Q_OBJECT
public:
    // Composes the report into the document, from BeginDocument to
    // EndDocument. It runs on a worker thread with a connection of its own to
    // the database, never prompts, reports through progress and stops with
    // ReportCancelled when cancellation is asked for (the window then
    // closes). An error it throws is shown, over an empty preview.
    using Builder = std::function<void(ReportDocument& document, Database& db, Progress& progress)>;

    // Sizes in twips of the resize rule.
    static constexpr int MinWidthTwips = 8820;
    static constexpr int MinHeightTwips = 8000;
    static constexpr int PreviewSpareWidthTwips = 1000;
    static constexpr int PreviewSpareHeightTwips = 1500;
    static constexpr int ButtonsBelowTwips = 500;
    static constexpr int BuildDelayMs = 500;

    ReportPreviewWindow(const AppContext& context, const ReportWindowTraits& traits, Builder builder,
                        QWidget* parent = nullptr);
    ~ReportPreviewWindow() override;

    const ReportDocument& document() const { return *document_; }
    ReportPreview* VSPrinter1() const { return VSPrinter1_; }
    QPushButton* cmdPDF() const { return cmdPDF_; }
    QPushButton* cmdExit() const { return cmdExit_; }
    // Below the preview: what the report cannot show as it should (the
    // characters no installed font draws); hidden when there is nothing.
    QLabel* lblStatus() const { return lblStatus_; }
    // How many times the report has been built (once per opening).
    int buildCount() const { return builds_; }
    bool isBuilt() const { return builds_ > 0 && !building_; }
    bool isSaving() const { return saving_; }
    // The build or PDF save that is running, if any.
    BackgroundJob* job() const { return job_; }

    void cmdPDF_Click();
    void cmdExit_Click();

    // Without showing the window: builds the report (with its progress),
    // asks how to print it, prints it and closes. For "Preview before
    // Printing" cleared.
    void printWithoutPreview();
    bool printsWithoutPreview() const { return printOnly_; }

signals:
    void reportBuilt();
    // A PDF save ended (written, failed or cancelled).
    void pdfFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void Timer1_Timer();
    void startBuild();
    // The user chose another paper in the print dialog: it is remembered,
    // the report laid out on it, then printed.
    void paperChosen(QPageSize::PageSizeId paper, std::shared_ptr<QPrinter> printer);
    void buildFinished(std::unique_ptr<ReportDocument> document, std::exception_ptr error);
    void saveFinished(const QString& path, std::exception_ptr error);

    AppContext context_;
    ReportWindowTraits traits_;
    Builder builder_;
    std::shared_ptr<ReportDocument> document_;
    QPointer<BackgroundJob> job_;
    ReportPreview* VSPrinter1_ = nullptr;
    QPushButton* cmdPDF_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QLabel* lblStatus_ = nullptr;
    QTimer* Timer1_ = nullptr;
    std::unique_ptr<BusyCursor> busy_;
    bool loaded_ = false;
    bool building_ = false;
    bool saving_ = false;
    bool printOnly_ = false;
    int builds_ = 0;
    // The printer set up in the print dialog, for the report being laid out
    // again on the paper chosen there.
    std::shared_ptr<QPrinter> pendingPrint_;
};

} // namespace kolva
