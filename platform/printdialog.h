#pragma once
// The print dialog: the user picks the printer, the pages and the copies.

class QPrinter;
class QWidget;

namespace kolva {

// Shows the platform's print dialog for printer, which can offer pages
// 1..pageCount. True when the user chose to print; the choices are in printer.
bool askPrintSettings(QWidget* parent, QPrinter& printer, int pageCount);

} // namespace kolva
