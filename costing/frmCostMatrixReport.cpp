#include "costing/frmCostMatrixReport.h"

#include "costing/costmatrix.h"
#include "platform/clock.h"
#include "platform/windows.h"
#include "reports/reportwindow.h"

namespace kolva {

ReportPreviewWindow* openCostMatrixReport(const AppContext& context, QWidget* opener)
{
    const QDateTime printedAt = context.clock.now();
    auto* window = new ReportPreviewWindow(
        context, ReportWindowTraits::of(ReportWindowKind::CostMatrixReport),
        [printedAt](ReportDocument& document, Database& db, Progress&) { BuildCostMatrix(document, db, printedAt); },
        opener);
    openWindow(opener, window, OpenMode::Modal);
    return window;
}

} // namespace kolva
