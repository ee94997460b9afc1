#include "costing/frmCostMatrixReport.h"

#include "costing/costmatrix.h"
#include "platform/clock.h"
#include "platform/windows.h"
#include "reports/reportwindow.h"

namespace kolva {

ReportPreviewWindow* openCostMatrixReport(const AppContext& context, QWidget* opener)
{
    const AppContext shared = context;
    auto* window = new ReportPreviewWindow(
        context, ReportWindowTraits::of(ReportWindowKind::CostMatrixReport),
        [shared](ReportDocument& document, QWidget*) { BuildCostMatrix(document, shared.db, shared.clock.now()); },
        opener);
    openWindow(opener, window, OpenMode::Modal);
    return window;
}

} // namespace kolva
