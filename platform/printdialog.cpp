#include "platform/printdialog.h"

#include "platform/windowstays.h"

#include <QPrintDialog>
#include <QPrinter>

namespace kolva {

bool askPrintSettings(QWidget* parent, QPrinter& printer, int pageCount)
{
    WindowStaysWhileAsking stays(parent);
    QPrintDialog dialog(&printer, parent);
    dialog.setMinMax(1, pageCount);
    dialog.setFromTo(1, pageCount);
    dialog.setOption(QAbstractPrintDialog::PrintPageRange, true);
    dialog.setOption(QAbstractPrintDialog::PrintToFile, true);
    return dialog.exec() == QDialog::Accepted;
}

} // namespace kolva
