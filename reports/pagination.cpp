#include "reports/pagination.h"

#include <algorithm>
#include <utility>

namespace kolva::layout {

void DocumentLayout::setColumns(Table& t)
{
    const size_t n = t.columns.size();
    const QStringList numbers = t.rows.longestNumbers();
    std::vector<double> base(n), least(n, 0.0);
    double total = 0;
    for (size_t c = 0; c < n; ++c) {
        base[c] = t.columns[c].widthInches * Dpi;
        const QString number = numbers.value(qsizetype(c));
        if (!number.isEmpty())
            least[c] = measurer.width(t.font, number) + 2 * CellPadX + 1;
        base[c] = std::max(base[c], least[c]);
        total += base[c];
    }
    std::vector<double> widths = base;
    const double room = pageSize.width() - rightMargin - leftMargin;
    if (total > room && room > 0) {
        // Narrow the columns in proportion, but none below its longest
        // number; those are held at that width and the rest narrowed more.
        std::vector<bool> held(n, false);
        bool done = false;
        while (!done) {
            double free = 0, fixed = 0;
            for (size_t c = 0; c < n; ++c)
                (held[c] ? fixed : free) += held[c] ? least[c] : base[c];
            const double scale = free > 0 ? (room - fixed) / free : 0;
            if (scale <= 0) {
                for (size_t c = 0; c < n; ++c)
                    widths[c] = base[c] * room / total; // not even the numbers fit
                break;
            }
            done = true;
            for (size_t c = 0; c < n; ++c) {
                if (!held[c] && base[c] * scale < least[c]) {
                    held[c] = true;
                    done = false;
                }
            }
            if (done) {
                for (size_t c = 0; c < n; ++c)
                    widths[c] = held[c] ? least[c] : base[c] * scale;
            }
        }
    }
    double left = leftMargin;
    for (size_t c = 0; c < n; ++c) {
        t.colX.push_back(left);
        t.colW.push_back(widths[c]);
        left += widths[c];
    }
}

void DocumentLayout::addTable(Table table)
{
    const FontMeasure& fm = fonts[size_t(table.font)];
    table.lineHeight = fm.lineSpacing;
    table.ascent = fm.ascent;
    setColumns(table);
    table.headerLineCount = 1;
    for (int c = 0; c < int(table.columns.size()); ++c) {
        const QString title = table.header.value(c);
        noteText(title, int(pages.size()));
        table.headerLines.push_back(cellLines(title, table.font, table.room(c), measurer));
        table.headerLineCount = std::max(table.headerLineCount, int(table.headerLines.back().size()));
    }
    noteText(table.continuation, int(pages.size()));

    tables.push_back(std::move(table));
    const int index = int(tables.size() - 1);
    const Table& t = tables.back();
    const double headerHeight = t.rowHeight(t.headerLineCount);
    const double continuationHeight = t.continuation.isEmpty() ? 0 : fonts[size_t(t.continuationFont)].lineSpacing;

    RowStore::Reader reader(t.rows, 0);
    QStringList cells;
    const bool any = reader.next(cells);
    const int firstLines = any ? t.lineCount(cells, measurer) : 0;
    // Cells outside the code page may hold characters no font has.
    const bool checkCells = !t.rows.inWindows1252();

    // The heading, the header row and the first row stand together.
    const double together = headerHeight + (any ? t.rowHeight(firstLines) : 0);
    if (y + together > currentPage().bodyBottom && !pageIsFresh()) {
        if (!moveLeadToNewPage())
            newPage();
    }

    Slice* slice = nullptr;
    qint64 row = 0;
    const auto startSlice = [&](bool continued) {
        if (continued && !t.continuation.isEmpty()) {
            const FontMeasure& cm = fonts[size_t(t.continuationFont)];
            currentPage().texts.push_back({QPointF(leftMargin, y + cm.ascent), t.continuation, t.continuationFont});
            y += cm.lineSpacing;
        }
        Page& page = currentPage();
        page.slices.push_back({index, row, row - 1, 0, -1, y});
        slice = &page.slices.back();
        y += headerHeight;
    };
    startSlice(false);
    if (any) {
        int lines = firstLines;
        for (;;) {
            const double h = t.rowHeight(lines);
            if (y + h > currentPage().bodyBottom) {
                const double freshRoom =
                    currentPage().bodyBottom - currentPage().bodyTop - headerHeight - continuationHeight;
                if (h <= freshRoom || slice->last >= slice->first) {
                    newPage();
                    startSlice(true);
                }
            }
            if (checkCells) {
                for (const QString& cell : std::as_const(cells))
                    checkGlyphs(cell, int(pages.size()));
            }
            if (y + h <= currentPage().bodyBottom) {
                slice->last = row;
                y += h;
            } else {
                // A row taller than a whole page: continued line by line.
                int from = 0;
                while (from < lines) {
                    const double room = currentPage().bodyBottom - y - 2 * CellPadY;
                    const int fit = std::min(std::max(1, int(room / t.lineHeight)), lines - from);
                    if (slice->last < slice->first) {
                        slice->first = row;
                        slice->firstFrom = from;
                    }
                    slice->last = row;
                    slice->lastTo = from + fit < lines ? from + fit : -1;
                    y += t.rowHeight(fit);
                    from += fit;
                    if (from < lines) {
                        newPage();
                        startSlice(true);
                    }
                }
            }
            ++row;
            ++rowsLaidOut;
            if (rowsLaidOut % RowsPerCheck == 0)
                checkProgress();
            if (!reader.next(cells))
                break;
            lines = t.lineCount(cells, measurer);
        }
    }
    leadPage = -1;
}

} // namespace kolva::layout
