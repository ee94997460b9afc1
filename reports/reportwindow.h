#pragma once
// The report window: every report of the program is shown in one. It builds
// its report once, half a second after it opened, into its document, shows
// it in the preview (zoom, paging, printing), saves it as a PDF file on
// request, and keeps its buttons below the preview when it is resized.

#include "reports/reportdocument.h"
#include "store/context.h"

#include <QPoint>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>

class QPushButton;
class QTimer;

namespace kolva {

class BusyCursor;
class ReportPreview;

// The five report windows of the program.
enum class ReportWindowKind {
    CostReport,          // frmCostReport, shown without being modal
    CostMatrixReport,    // frmCostMatrixReport, no PDF button, portrait
    ReinspectionReport,  // frmReinspectionReport
    TreesNeedingCAReport, // frmTreesNeedingCA_Report
    SpecificCAReport,    // frmSpecificCA_Report
};

struct ReportWindowTraits {
    QString objectName;
    QString caption;
    QPoint previewTopLeft; // twips from the inner top-left corner
    bool hasPdf = true;
    bool landscapeOnLoad = true;     // the builder of a portrait report sets its own
    bool busyOverPreview = true;     // hourglass over the preview until built
    bool busyOverWindow = false;     // hourglass over the whole window until built

    static ReportWindowTraits of(ReportWindowKind kind);
};

class ReportPreviewWindow : public QWidget {
    Q_OBJECT
public:
    // Composes the report into the document, from BeginDocument to
    // EndDocument; window is the parent of any message it shows. It may stop
    // early (after telling the user why); the window then shows an empty
    // preview.
    using Builder = std::function<void(ReportDocument& document, QWidget* window)>;

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

    ReportDocument& document() { return document_; }
    ReportPreview* VSPrinter1() const { return VSPrinter1_; }
    QPushButton* cmdPDF() const { return cmdPDF_; }
    QPushButton* cmdExit() const { return cmdExit_; }
    // How many times the report has been built (once per opening).
    int buildCount() const { return builds_; }
    bool isBuilt() const { return builds_ > 0 && !building_; }

    void cmdPDF_Click();
    void cmdExit_Click();

signals:
    void reportBuilt();

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void Form_Load();
    void Form_Resize();
    void Timer1_Timer();

    AppContext context_;
    ReportWindowTraits traits_;
    Builder builder_;
    ReportDocument document_;
    ReportPreview* VSPrinter1_ = nullptr;
    QPushButton* cmdPDF_ = nullptr;
    QPushButton* cmdExit_ = nullptr;
    QTimer* Timer1_ = nullptr;
    std::unique_ptr<BusyCursor> busy_;
    bool loaded_ = false;
    bool building_ = false;
    int builds_ = 0;
};

} // namespace kolva
