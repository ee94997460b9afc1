#pragma once
// The cost estimate matrix report window, opened modally by the cost table
// window: the report window of the matrix, portrait, without a PDF button.

#include "store/context.h"

class QWidget;

namespace kolva {

class ReportPreviewWindow;

// Opens the matrix report modally over opener; it builds itself half a
// second later.
ReportPreviewWindow* openCostMatrixReport(const AppContext& context, QWidget* opener);

} // namespace kolva
