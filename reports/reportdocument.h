#pragma once
// The report printer: a document composed with a few printer-like operations
// (margins, header and footer, paragraphs, tables), laid out into pages, and
// painted on any paged device (a printer, Qt's PDF writer) or on the preview,
// or saved as a PDF file. It touches no widget, so that it can be composed
// and saved on a worker thread or without a display.
//
// Lengths inside the document are in dots of 1/1200 inch ("layout units").
// The paper is US Letter unless the document is set to another (A4),
// portrait unless the document turns it.
//
// Header and footer texts: "|" splits the text into a left, a centre and a
// right part; CR LF (or a lone LF) in a part starts a new line; "%d" becomes
// the page number and "%t" the number of pages; "%|" prints a "|" and "%%" a
// "%". A name the user gave (a risk zone, a street) goes into such a text
// through headerLiteral, so that it is printed as written.
//
// Column format strings: one format per column, separated by "|". Each is an
// alignment ("<" left, "^" centre, ">" right), an optional "+", and a width
// with the unit "in" (".55in", "2.0in"). "+" means that the column's title
// in the header row takes the column's alignment; the title of a column
// without "+" is centred over it.
//
// Tables: a table wider than the room between the margins is narrowed to fit,
// its columns in proportion; a column is never narrower than the longest
// number in it, and a number never breaks across lines. Other cells too long
// for their column wrap inside it, at blanks where they can, else after a
// comma or hyphen, else anywhere. The header row is shaded and printed again
// at the top of every page the table runs onto, under the table's
// continuation text when it has one ("Risk Zone: PARKS (continued)"). A row
// is never split across pages (only a row taller than a whole page is
// continued on the next page, line by line), and the paragraph lines just
// before a table (its heading) are kept on the page of its header row and
// first row.
//
// The rows of a table are kept in a RowStore, in a temporary file when there
// are many, and read back when a page is painted: a long report takes little
// memory. A complete document is read-only; any number of threads may read,
// paint and save it at once.

#include "store/errors.h"
#include "reports/columnformat.h"
#include "reports/rowstore.h"

#include <QColor>
#include <QPageLayout>
#include <QPageSize>
#include <QRectF>
#include <QString>
#include <QStringList>

#include <exception>
#include <memory>
#include <stdexcept>
#include <vector>

class QPainter;
class QPagedPaintDevice;

namespace kolva {

class Progress;
namespace layout {
struct DocumentLayout;
}

// A report that could not be written: the file error's number and description.
using ReportError = FileError;

// The user stopped a report build or a PDF save; nothing was made.
using ReportCancelled = Cancelled;

// A build found nothing to report: the message for the user and its caption.
// The report window shows it and closes, as if the report had not been asked
// for.
class ReportNothingToList : public InputError {
public:
    ReportNothingToList(const QString& text, const QString& caption) : InputError(text), caption_(caption) {}
    QString text() const { return userText(); }
    QString caption() const { return caption_; }

private:
    QString caption_;
};

class ReportDocument {
public:
    static constexpr double Dpi = 1200; // layout units per inch
    enum Orientation { Portrait = 0, Landscape = 1 };

    ReportDocument();
    ~ReportDocument();
    ReportDocument(const ReportDocument&) = delete;
    ReportDocument& operator=(const ReportDocument&) = delete;

    // --- Composing -------------------------------------------------------
    // A new, empty document; earlier pages are discarded. The orientation
    // and the styles set before stay.
    void BeginDocument();
    void SetPageMargins(const QString& left, const QString& right);
    void SetOrientation(int orientation);
    // The paper the pages are laid out on (Letter or A4); like the
    // orientation, only honoured before the first page.
    void SetPaperSize(QPageSize::PageSizeId paper);
    QPageSize::PageSizeId paperSize() const { return paper_; }
    void SetHeaderStyle(const QString& fontName, double points, const QColor& colour);
    void SetPageHeader(const QString& text);
    void SetPageFooter(const QString& text);
    void SetTextSize(double points);
    void SetTableFont(double points, bool bold);
    void MoveToLeftMargin();
    void MovePrintPositionDown(int twips);
    // Prints text at the print position; every line ends, the last included.
    void PrintParagraph(const QString& text);
    void BeginTable();
    void EndTable();
    // The text printed above the header row on every page the next table
    // continues onto; "" for none. It applies to that one table.
    void SetTableContinuation(const QString& text);
    void AddTableRows(const QString& format, const QString& headerRow, RowStore rows, const QColor& headerShade);
    void AddTableRows(const QString& format, const QString& headerRow, std::vector<QStringList> rows,
                      const QColor& headerShade);
    void EndDocument();
    // The title in the PDF's document information; without one, the text of
    // the page header.
    void SetDocumentTitle(const QString& title);
    QString documentTitle() const;

    // Reports how far the layout has come (advance: the table rows laid out
    // so far) and stops it with ReportCancelled when cancellation is asked
    // for. Nothing (the default) reports nowhere.
    void setProgress(Progress* progress);

    // Writes the document as a PDF file; an existing file is replaced only
    // when the new one is complete, and a link, folder, pipe or device in
    // its place is refused. Throws ReportError (the system's error number
    // and reason, "... No space left on device"); with a progress,
    // reports the pages written and throws ReportCancelled, leaving no file,
    // when cancellation is asked for.
    void SaveAsPdf(const QString& path, Progress* progress = nullptr) const;

    // --- Reading the pages -----------------------------------------------
    // True between EndDocument and the next BeginDocument.
    bool isComplete() const { return complete_; }
    int pageCount() const;
    Orientation orientation() const { return orientation_; }
    QPageLayout pageLayout() const;
    // Page size in layout units.
    QSizeF pageSize() const;
    // The area between the margins, the header and the footer.
    QRectF bodyRect() const;
    // The table rows laid out so far, in all tables.
    qint64 tableRowCount() const;

    // Pages are numbered from 1, as printed.
    QStringList headerLines(int page) const;
    QStringList footerLines(int page) const;
    // The paragraph lines of a page, top to bottom.
    QStringList paragraphLines(int page) const;
    struct RowView {
        bool header = false;          // the shaded title row
        QStringList cells;            // the cell texts of the row
        QList<QStringList> cellLines; // each cell's lines as printed on this page
        QList<Qt::Alignment> alignments; // how each cell is aligned in its column
        QRectF rect;                  // where the row stands on the page
        std::vector<double> columnLefts; // where each column begins
    };
    // The table rows of a page, top to bottom, header rows included.
    std::vector<RowView> tableRows(int page) const;
    // Every text of a page in reading order: header, body, footer.
    QStringList pageTexts(int page) const;

    // --- Painting --------------------------------------------------------
    // Paints one page (numbered from 1) with the painter's coordinates in
    // layout units (scale the painter to the device first).
    void paintPage(QPainter& painter, int page) const;
    // Paints pages from..to (numbered from 1; 0, 0 for all) on a paged
    // device, one page of the device per page of the document. The device
    // must be set to the document's page layout without margins. With a
    // progress, reports the pages painted and stops with ReportCancelled.
    void render(QPagedPaintDevice& device, int from = 0, int to = 0, Progress* progress = nullptr) const;

    // The characters of the document that no installed font can draw (they
    // print as empty boxes), each once, in the order met, with the page it
    // is first printed on.
    struct MissingCharacter {
        char32_t code = 0;
        int page = 0;
    };
    std::vector<MissingCharacter> undrawableCharacters() const;

    // Whether SaveAsPdf writes the pages itself (all text in Windows-1252,
    // fonts with Helvetica's widths) rather than through Qt's PDF writer.
    bool savesWithStandardFonts() const;

private:
    std::unique_ptr<layout::DocumentLayout> d;
    Orientation orientation_ = Portrait;
    QPageSize::PageSizeId paper_ = QPageSize::Letter;
    bool complete_ = false;
    QString title_;
};

// What a report window or the command line says of the characters the
// document cannot draw, naming the first mostNamed of them by number and
// page; "" when there are none.
QString undrawableCharactersNote(const ReportDocument& document, int mostNamed = 10);

} // namespace kolva
