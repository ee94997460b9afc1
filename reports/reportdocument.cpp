#include "reports/reportdocument.h"

#include "reports/pagination.h"

#include <algorithm>
#include <utility>

namespace kolva {

using namespace layout;

ReportDocument::ReportDocument() : d(std::make_unique<DocumentLayout>())
{
    d->pageSize = pageSize();
    d->reset();
}

ReportDocument::~ReportDocument() = default;

void ReportDocument::BeginDocument()
{
    d->pageSize = pageSize();
    d->reset();
    complete_ = false;
}

void ReportDocument::SetPageMargins(const QString& left, const QString& right)
{
    d->leftMargin = parseInches(left) * Dpi;
    d->rightMargin = parseInches(right) * Dpi;
    if (d->pages.empty() || d->x < d->leftMargin)
        d->x = d->leftMargin;
}

void ReportDocument::SetOrientation(int orientation)
{
    orientation_ = orientation == Portrait ? Portrait : Landscape;
    // The paper turns for the pages still to come; a document holds pages of
    // one orientation, so this is only honoured before the first page.
    if (d->pages.empty())
        d->pageSize = pageSize();
}

void ReportDocument::SetPaperSize(QPageSize::PageSizeId paper)
{
    if (!d->pages.empty())
        return;
    paper_ = paper;
    d->pageSize = pageSize();
}

void ReportDocument::SetHeaderStyle(const QString& fontName, double points, const QColor& colour)
{
    d->headerFont = {fontName, points, false};
    d->headerColour = colour;
}

void ReportDocument::SetPageHeader(const QString& text)
{
    d->headerText = text;
}

void ReportDocument::SetPageFooter(const QString& text)
{
    d->footerText = text;
}

void ReportDocument::SetTextSize(double points)
{
    d->textSize = points;
}

void ReportDocument::SetTableFont(double points, bool bold)
{
    d->tableFont = {DefaultFamily, points, bold};
}

void ReportDocument::MoveToLeftMargin()
{
    d->x = d->leftMargin;
}

void ReportDocument::MovePrintPositionDown(int twips)
{
    d->currentPage();
    d->y += twips * Dpi / 1440.0;
}

void ReportDocument::PrintParagraph(const QString& text)
{
    d->leadPage = -1; // this paragraph is the one that goes with a table after it
    const int font = d->fontIndex({DefaultFamily, d->textSize, false});
    const double room = std::max(d->pageSize.width() - d->rightMargin - d->x, 0.25 * Dpi);
    for (const QString& line : splitLines(text)) {
        for (const QString& piece : wrapText(line, font, room, d->measurer))
            d->printLine(piece, font);
    }
    d->x = d->leftMargin;
}

void ReportDocument::BeginTable()
{
    d->currentPage();
}

void ReportDocument::EndTable()
{
    d->x = d->leftMargin;
}

void ReportDocument::SetTableContinuation(const QString& text)
{
    d->continuation = text;
}

void ReportDocument::AddTableRows(const QString& format, const QString& headerRow, RowStore rows,
                                  const QColor& headerShade)
{
    DocumentLayout::Table table;
    table.columns = parseColumnFormat(format);
    table.header = headerRow.split(QLatin1Char('|'));
    table.rows = std::move(rows);
    table.shade = headerShade;
    table.font = d->fontIndex(d->tableFont);
    table.continuation = std::exchange(d->continuation, QString());
    table.continuationFont = d->fontIndex({DefaultFamily, d->textSize, false});
    if (!table.rows.inWindows1252())
        d->allWinAnsi = false;
    d->addTable(std::move(table));
}

void ReportDocument::AddTableRows(const QString& format, const QString& headerRow, std::vector<QStringList> rows,
                                  const QColor& headerShade)
{
    AddTableRows(format, headerRow, RowStore(std::move(rows)), headerShade);
}

void ReportDocument::EndDocument()
{
    d->currentPage(); // an empty report still has its page with header and footer
    complete_ = true;
}

void ReportDocument::SetDocumentTitle(const QString& title)
{
    title_ = title;
}

QString ReportDocument::documentTitle() const
{
    if (!title_.isEmpty())
        return title_;
    const Part p = splitParts(d->pages.empty() ? d->headerText : d->pages.front().header, 0, 0);
    return (p.left + p.centre + p.right).join(QLatin1Char(' ')).simplified();
}

void ReportDocument::setProgress(Progress* progress)
{
    d->progress = progress;
}

// ---------------------------------------------------------------------------

int ReportDocument::pageCount() const
{
    return int(d->pages.size());
}

qint64 ReportDocument::tableRowCount() const
{
    return d->rowsLaidOut;
}

QPageLayout ReportDocument::pageLayout() const
{
    const QSizeF size = pageSize();
    return QPageLayout(QPageSize(paper_),
                       size.width() > size.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
}

QSizeF ReportDocument::pageSize() const
{
    if (d && !d->pages.empty())
        return d->pageSize;
    const QSizeF inches = QPageSize(paper_).size(QPageSize::Millimeter) / 25.4;
    return orientation_ == Portrait ? QSizeF(inches.width() * Dpi, inches.height() * Dpi)
                                    : QSizeF(inches.height() * Dpi, inches.width() * Dpi);
}

QRectF ReportDocument::bodyRect() const
{
    double top = TopMargin, bottom = d->pageSize.height() - BottomMargin;
    if (!d->pages.empty()) {
        top = d->pages.front().bodyTop;
        bottom = d->pages.front().bodyBottom;
    }
    return QRectF(QPointF(d->leftMargin, top), QPointF(d->pageSize.width() - d->rightMargin, bottom));
}

QStringList ReportDocument::headerLines(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    const Part p = splitParts(d->pages[size_t(page - 1)].header, page, pageCount());
    return p.left + p.centre + p.right;
}

QStringList ReportDocument::footerLines(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    const Part p = splitParts(d->pages[size_t(page - 1)].footer, page, pageCount());
    return p.left + p.centre + p.right;
}

QStringList ReportDocument::paragraphLines(int page) const
{
    QStringList lines;
    if (page < 1 || page > pageCount())
        return lines;
    for (const auto& run : d->pages[size_t(page - 1)].texts)
        lines.append(run.text);
    return lines;
}

std::vector<ReportDocument::RowView> ReportDocument::tableRows(int page) const
{
    std::vector<RowView> rows;
    if (page < 1 || page > pageCount())
        return rows;
    Measurer m(d->fonts);
    for (const auto& slice : d->pages[size_t(page - 1)].slices) {
        const DocumentLayout::Table& t = d->tables[size_t(slice.table)];
        RowView header;
        header.header = true;
        for (int c = 0; c < int(t.columns.size()); ++c) {
            header.cells.append(t.header.value(c));
            header.cellLines.append(t.headerLines[size_t(c)]);
            header.alignments.append(t.alignment(true, c));
        }
        header.rect = QRectF(t.colX.front(), slice.top, t.width(), t.rowHeight(t.headerLineCount));
        header.columnLefts = t.colX;
        rows.push_back(std::move(header));
        d->forEachRow(slice, m,
                      [&](qint64, const QStringList& cells, const std::vector<QStringList>& lines, int from, int to,
                          double top, double height) {
                          RowView view;
                          for (int c = 0; c < int(t.columns.size()); ++c) {
                              view.cells.append(cells.value(c));
                              view.cellLines.append(lines[size_t(c)].mid(from, to - from));
                              view.alignments.append(t.alignment(false, c));
                          }
                          view.rect = QRectF(t.colX.front(), top, t.width(), height);
                          view.columnLefts = t.colX;
                          rows.push_back(std::move(view));
                      });
    }
    return rows;
}

QStringList ReportDocument::pageTexts(int page) const
{
    QStringList texts = headerLines(page);
    if (page < 1 || page > pageCount())
        return texts;
    std::vector<std::pair<double, QStringList>> body;
    for (const auto& run : d->pages[size_t(page - 1)].texts)
        body.push_back({run.pos.y(), {run.text}});
    for (const RowView& row : tableRows(page)) {
        QStringList cells;
        for (const QStringList& lines : row.cellLines)
            cells.append(lines.join(QLatin1Char(' ')));
        body.push_back({row.rect.top(), cells});
    }
    std::stable_sort(body.begin(), body.end(), [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& item : body)
        texts.append(item.second);
    texts.append(footerLines(page));
    return texts;
}

} // namespace kolva
