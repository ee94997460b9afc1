#include "reports/reportkinds.h"

namespace kolva {

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

} // namespace kolva
