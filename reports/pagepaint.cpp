#include "reports/pagepaint.h"

namespace kolva::layout {

void DocumentLayout::emitSlice(const Slice& slice, Measurer& m, PageSink& sink) const
{
    const Table& t = tables[size_t(slice.table)];
    const double left = t.colX.front(), right = left + t.width();
    std::vector<QLineF> grid;
    const auto drawCells = [&](const std::vector<QStringList>& lines, bool header, int from, int to, double top) {
        for (int c = 0; c < int(t.columns.size()) && c < int(lines.size()); ++c) {
            const Qt::Alignment align = t.alignment(header, c);
            const QStringList& cell = lines[size_t(c)];
            const double cx = t.colX[size_t(c)], cw = t.colW[size_t(c)];
            for (int i = from; i < to && i < cell.size(); ++i) {
                const QString& text = cell.at(i);
                if (text.isEmpty())
                    continue;
                double tx = cx + CellPadX;
                if (align != Qt::AlignLeft) {
                    const double w = m.width(t.font, text);
                    tx = align == Qt::AlignRight ? cx + cw - CellPadX - w : cx + (cw - w) / 2;
                }
                sink.text(QPointF(tx, top + CellPadY + t.ascent + (i - from) * t.lineHeight), text, t.font, Qt::black);
            }
        }
    };
    const double headerHeight = t.rowHeight(t.headerLineCount);
    sink.fill(QRectF(left, slice.top, right - left, headerHeight), t.shade);
    drawCells(t.headerLines, true, 0, t.headerLineCount, slice.top);
    grid.emplace_back(left, slice.top, right, slice.top);
    double bottom = slice.top + headerHeight;
    grid.emplace_back(left, bottom, right, bottom);
    forEachRow(slice, m,
               [&](qint64, const QStringList&, const std::vector<QStringList>& lines, int from, int to, double top,
                   double height) {
                   drawCells(lines, false, from, to, top);
                   bottom = top + height;
                   grid.emplace_back(left, bottom, right, bottom);
               });
    for (const double cx : t.colX)
        grid.emplace_back(cx, slice.top, cx, bottom);
    grid.emplace_back(right, slice.top, right, bottom);
    sink.lines(grid, GridColour, GridWidth);
}

void DocumentLayout::emitPage(int page, int pageCount, Measurer& m, PageSink& sink) const
{
    const Page& pg = pages[size_t(page - 1)];
    const FontMeasure& hm = fonts[size_t(pg.headerFont)];
    const double width = pageSize.width();
    const auto drawParts = [&](const QString& text, double top) {
        const Part p = splitParts(text, page, pageCount);
        const double left = leftMargin, right = width - rightMargin;
        for (int i = 0; i < p.left.size(); ++i)
            sink.text(QPointF(left, top + hm.ascent + i * hm.lineSpacing), p.left.at(i), pg.headerFont, pg.headerColour);
        for (int i = 0; i < p.centre.size(); ++i) {
            const double w = m.width(pg.headerFont, p.centre.at(i));
            sink.text(QPointF(left + (right - left - w) / 2, top + hm.ascent + i * hm.lineSpacing), p.centre.at(i),
                      pg.headerFont, pg.headerColour);
        }
        for (int i = 0; i < p.right.size(); ++i) {
            const double w = m.width(pg.headerFont, p.right.at(i));
            sink.text(QPointF(right - w, top + hm.ascent + i * hm.lineSpacing), p.right.at(i), pg.headerFont,
                      pg.headerColour);
        }
    };
    drawParts(pg.header, TopMargin);
    drawParts(pg.footer, pageSize.height() - BottomMargin - partHeight(pg.footer, pg.headerFont));
    for (const TextRun& run : pg.texts)
        sink.text(run.pos, run.text, run.font, Qt::black);
    for (const Slice& slice : pg.slices)
        emitSlice(slice, m, sink);
}

QByteArray DocumentLayout::pdfPage(int page, int pageCount, Measurer& m,
                                         const std::vector<int>& fontResources) const
{
    pdf::PageContent content(Dpi, pageSize.height());
    PdfSink sink(content, fonts, fontResources);
    emitPage(page, pageCount, m, sink);
    return content.finish();
}

} // namespace kolva::layout
