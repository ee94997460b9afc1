#pragma once
// The pages of a report document: where its paragraph lines and the slices
// of its tables stand on each page, laid out as the document is composed.
// Tables keep their rows in their RowStore; a page's rows are read back when
// it is drawn.

#include "platform/jobprogress.h"
#include "reports/columnformat.h"
#include "reports/pdfwriter.h"
#include "reports/reportdocument.h"
#include "reports/textmeasure.h"

#include <QColor>
#include <QPointF>
#include <QSet>
#include <QSizeF>

#include <deque>
#include <vector>

namespace kolva::layout {

inline constexpr double TopMargin = 0.5 * Dpi;
inline constexpr double BottomMargin = 0.5 * Dpi;
inline constexpr double HeaderGap = 0.15 * Dpi;  // between the header and the body, the body and the footer
inline constexpr double CellPadX = 0.04 * Dpi;
inline constexpr double CellPadY = 0.02 * Dpi;
inline constexpr double GridWidth = 0.006 * Dpi;
inline const QColor GridColour(96, 96, 96);
// How often the layout and the PDF writer report progress and look for Cancel.
constexpr int RowsPerCheck = 256;

class PageSink;

// What a ReportDocument holds: the settings it is composed with, its fonts,
// and its pages and tables as laid out so far. Once the document is
// complete it is only read, from any number of threads.
struct DocumentLayout {
    struct TextRun {
        QPointF pos; // left end of the baseline
        QString text;
        int font = 0;
    };
    // The part of a table on one page: its header row at top, then rows
    // first..last (none when last < first). The first row may begin, and the
    // last end, inside the row (a row taller than a page).
    struct Slice {
        int table = 0;
        qint64 first = 0, last = -1;
        int firstFrom = 0; // the first row's first line here
        int lastTo = -1;   // the line after the last row's last line here; -1: its end
        double top = 0;
    };
    struct Page {
        QString header, footer;
        int headerFont = 0;
        QColor headerColour;
        double bodyTop = 0, bodyBottom = 0;
        std::vector<TextRun> texts;
        std::vector<Slice> slices;
    };
    struct Table {
        std::vector<ColumnFormat> columns;
        std::vector<double> colX, colW;
        QStringList header;
        std::vector<QStringList> headerLines; // each title's lines
        int headerLineCount = 1;
        RowStore rows;
        QColor shade;
        int font = 0;
        double lineHeight = 0, ascent = 0;
        QString continuation;
        int continuationFont = 0;

        // A title takes its column's alignment only in a column marked "+".
        Qt::Alignment alignment(bool header, int column) const
        {
            const ColumnFormat& col = columns[size_t(column)];
            return header && !col.plus ? Qt::AlignHCenter : col.alignment;
        }
        double room(int column) const { return colW[size_t(column)] - 2 * CellPadX; }
        double rowHeight(int lines) const { return lines * lineHeight + 2 * CellPadY; }
        double width() const { return colX.empty() ? 0 : colX.back() + colW.back() - colX.front(); }
        int columnCount(const QStringList& cells) const
        {
            return int(std::min<qsizetype>(cells.size(), qsizetype(columns.size())));
        }
        int lineCount(const QStringList& cells, Measurer& m) const
        {
            int most = 1;
            for (int c = 0, n = columnCount(cells); c < n; ++c) {
                const QString& text = cells.at(c);
                if (text.isEmpty() || isNumberText(text))
                    continue;
                if (!hasLineEnd(text) && m.width(font, text) <= room(c))
                    continue;
                most = std::max(most, int(wrapText(text, font, std::max(room(c), 1.0), m).size()));
            }
            return most;
        }
    };

    // Settings
    double leftMargin = 0.75 * Dpi, rightMargin = 0.75 * Dpi;
    FontStyle headerFont{DefaultFamily, 12, false};
    QColor headerColour = Qt::black;
    QString headerText, footerText;
    double textSize = 10;
    FontStyle tableFont{DefaultFamily, 8, false};
    QString continuation;

    // Layout state. A font, once made, stays where it is: pages and
    // measurers hold on to it.
    std::deque<FontMeasure> fonts;
    Measurer measurer{fonts};
    std::vector<Page> pages;
    std::vector<Table> tables;
    double x = 0, y = 0;
    QSizeF pageSize;
    // The lines of the last paragraph on the current page, when no table
    // came after it: the heading that goes with the next table.
    int leadPage = -1;
    size_t leadFirstRun = 0;
    bool allWinAnsi = true; // every text in the standard fonts' code page
    GlyphCoverage coverage;
    std::vector<ReportDocument::MissingCharacter> missing; // in the order met
    QSet<char32_t> missingSeen;
    qint64 rowsLaidOut = 0;
    Progress* progress = nullptr;

    void reset()
    {
        pages.clear();
        tables.clear();
        x = leftMargin;
        y = 0;
        leadPage = -1;
        allWinAnsi = true;
        missing.clear();
        missingSeen.clear();
        rowsLaidOut = 0;
        continuation.clear();
    }

    int fontIndex(const FontStyle& style)
    {
        for (size_t i = 0; i < fonts.size(); ++i) {
            if (fonts[i].style == style)
                return int(i);
        }
        fonts.emplace_back(style);
        return int(fonts.size() - 1);
    }

    // Notes what the text needs: the standard fonts' code page, and fonts
    // for its other characters (page: the page it is printed on first).
    void noteText(QStringView text, int page)
    {
        if (pdf::isWinAnsi(text))
            return; // the report's fonts draw every character of the code page
        allWinAnsi = false;
        checkGlyphs(text, page);
    }
    void checkGlyphs(QStringView text, int page)
    {
        coverage.check(text, [&](char32_t code) {
            if (!missingSeen.contains(code)) {
                missingSeen.insert(code);
                missing.push_back({code, page});
            }
        });
    }

    double partHeight(const QString& text, int font) const
    {
        return splitParts(text, 1, 1).lineCount() * fonts[size_t(font)].lineSpacing;
    }

    Page& newPage()
    {
        Page p;
        p.header = headerText;
        p.footer = footerText;
        p.headerFont = fontIndex(headerFont);
        p.headerColour = headerColour;
        noteText(headerText, int(pages.size()) + 1);
        noteText(footerText, int(pages.size()) + 1);
        const double headerHeight = partHeight(headerText, p.headerFont);
        const double footerHeight = partHeight(footerText, p.headerFont);
        p.bodyTop = TopMargin + headerHeight + (headerHeight > 0 ? HeaderGap : 0);
        p.bodyBottom = pageSize.height() - BottomMargin - footerHeight - (footerHeight > 0 ? HeaderGap : 0);
        pages.push_back(std::move(p));
        y = pages.back().bodyTop;
        return pages.back();
    }
    Page& currentPage()
    {
        if (pages.empty())
            newPage();
        return pages.back();
    }
    int currentPageIndex()
    {
        currentPage();
        return int(pages.size()) - 1;
    }
    bool pageIsFresh() { return y <= currentPage().bodyTop; }
    // Starts a new page unless h more fits on this one (a fresh page takes
    // whatever it is given).
    void reserve(double h)
    {
        Page& page = currentPage();
        if (y + h > page.bodyBottom && !pageIsFresh())
            newPage();
    }

    void printLine(const QString& text, int font)
    {
        const FontMeasure& m = fonts[size_t(font)];
        reserve(m.lineSpacing);
        const int page = currentPageIndex();
        if (leadPage != page) {
            leadPage = page;
            leadFirstRun = pages.back().texts.size();
        }
        noteText(text, page + 1);
        pages.back().texts.push_back({QPointF(x, y + m.ascent), text, font});
        y += m.lineSpacing;
    }

    // Moves the heading lines before a table to a new page, without the
    // blank lines they start with; false when there is none to move or it
    // already starts the page.
    bool moveLeadToNewPage()
    {
        if (leadPage != int(pages.size()) - 1)
            return false;
        Page& page = pages.back();
        if (leadFirstRun >= page.texts.size())
            return false;
        std::vector<TextRun> lead(page.texts.begin() + qsizetype(leadFirstRun), page.texts.end());
        size_t firstText = 0;
        while (firstText < lead.size() && lead[firstText].text.isEmpty())
            ++firstText;
        const double leadTop = firstText < lead.size()
                                   ? lead[firstText].pos.y() - fonts[size_t(lead[firstText].font)].ascent
                                   : y;
        if (leadFirstRun == 0 && page.slices.empty() && leadTop <= page.bodyTop + 0.5)
            return false; // nothing above it: a new page would not help
        page.texts.resize(leadFirstRun);
        const double oldY = y;
        Page& fresh = newPage();
        const double shift = fresh.bodyTop - leadTop;
        for (size_t i = firstText; i < lead.size(); ++i) {
            lead[i].pos.ry() += shift;
            fresh.texts.push_back(std::move(lead[i]));
        }
        y = firstText < lead.size() ? oldY + shift : fresh.bodyTop;
        leadPage = int(pages.size()) - 1;
        leadFirstRun = 0;
        return true;
    }

    void setColumns(Table& t);
    void addTable(Table table);
    void checkProgress()
    {
        if (!progress)
            return;
        progress->advance(rowsLaidOut);
        if (progress->cancelRequested())
            throw ReportCancelled();
    }

    // Drawing a page.
    void emitPage(int page, int pageCount, Measurer& m, PageSink& sink) const;
    void emitSlice(const Slice& slice, Measurer& m, PageSink& sink) const;
    // Calls visit(row index, cells, lines of each cell, first line, end line,
    // top, height) for each row of a slice.
    template <class Visit>
    void forEachRow(const Slice& slice, Measurer& m, Visit visit) const;

    QByteArray pdfPage(int page, int pageCount, Measurer& m, const std::vector<int>& fontResources) const;
};

template <class Visit>
void DocumentLayout::forEachRow(const Slice& slice, Measurer& m, Visit visit) const
{
    const Table& t = tables[size_t(slice.table)];
    double top = slice.top + t.rowHeight(t.headerLineCount);
    RowStore::Reader reader(t.rows, slice.first);
    QStringList cells;
    std::vector<QStringList> lines;
    for (qint64 row = slice.first; row <= slice.last && reader.next(cells); ++row) {
        lines.clear();
        int count = 1;
        for (int c = 0; c < int(t.columns.size()); ++c) {
            lines.push_back(cellLines(cells.value(c), t.font, t.room(c), m));
            count = std::max(count, int(lines.back().size()));
        }
        const int from = row == slice.first ? slice.firstFrom : 0;
        const int to = row == slice.last && slice.lastTo >= 0 ? slice.lastTo : count;
        const double height = t.rowHeight(to - from);
        visit(row, cells, lines, from, to, top, height);
        top += height;
    }
}

} // namespace kolva::layout
