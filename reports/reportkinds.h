#pragma once
// The five report windows of the program and what sets each apart: its
// names, where its preview sits, and the page a report starts on. The
// command line lays out a report as its window would.

#include <QPoint>
#include <QString>

namespace kolva {

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

} // namespace kolva
