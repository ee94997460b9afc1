#include "reports/reportdocument.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSaveFile>

#include <algorithm>
#include <memory>

namespace kolva {

ReportError::ReportError(int number, const QString& description)
    : std::runtime_error(QStringLiteral("%1 - %2").arg(number).arg(description).toStdString()), number_(number),
      description_(description)
{
}

namespace {

constexpr double Dpi = ReportDocument::Dpi;
constexpr double TopMargin = 0.5 * Dpi;
constexpr double BottomMargin = 0.5 * Dpi;
constexpr double HeaderGap = 0.15 * Dpi;  // between the header and the body, the body and the footer
constexpr double CellPadX = 0.04 * Dpi;
constexpr double CellPadY = 0.02 * Dpi;
constexpr double GridWidth = 0.006 * Dpi;
const QString DefaultFamily = QStringLiteral("Arial");

const QRegularExpression& lineEnds()
{
    static const QRegularExpression re(QStringLiteral("\r\n|\n|\r"));
    return re;
}

// The lines of a text that ends every line: a final line end adds no line.
QStringList splitLines(const QString& text)
{
    QStringList lines = text.split(lineEnds());
    if (lines.size() > 1 && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// A paint device of 1200 dots per inch, to measure text in layout units.
const QImage& measuringDevice()
{
    static const QImage image = [] {
        QImage i(1, 1, QImage::Format_RGB32);
        const int dotsPerMeter = qRound(Dpi / 0.0254);
        i.setDotsPerMeterX(dotsPerMeter);
        i.setDotsPerMeterY(dotsPerMeter);
        return i;
    }();
    return image;
}

struct FontStyle {
    QString family;
    double points = 10;
    bool bold = false;
    bool operator==(const FontStyle& o) const { return family == o.family && points == o.points && bold == o.bold; }
};

QFont makeFont(const FontStyle& style, double devicePointScale)
{
    QFont font(style.family);
    font.setPointSizeF(style.points * devicePointScale);
    font.setBold(style.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    return font;
}

// Breaks text into lines no wider than width: at line ends, then at blanks,
// and inside a word only when the word alone is too wide.
QStringList wrapText(const QString& text, const QFontMetricsF& fm, double width)
{
    QStringList out;
    for (const QString& para : text.split(lineEnds())) {
        if (fm.horizontalAdvance(para) <= width) {
            out.append(para);
            continue;
        }
        QString line;
        const auto breakLongWord = [&](QString word) {
            while (word.size() > 1 && fm.horizontalAdvance(word) > width) {
                qsizetype fit = 1;
                while (fit < word.size() && fm.horizontalAdvance(word.left(fit + 1)) <= width)
                    ++fit;
                out.append(word.left(fit));
                word = word.mid(fit);
            }
            return word;
        };
        for (const QString& word : para.split(QLatin1Char(' '))) {
            const QString candidate = line.isEmpty() ? word : line + QLatin1Char(' ') + word;
            if (fm.horizontalAdvance(candidate) <= width) {
                line = candidate;
                continue;
            }
            if (!line.isEmpty())
                out.append(line);
            line = breakLongWord(word);
        }
        out.append(line);
    }
    return out;
}

struct Part {
    QStringList left, centre, right;
    int lineCount() const { return int(std::max({left.size(), centre.size(), right.size()})); }
};

Part splitParts(const QString& text, int pageNumber)
{
    QString t = text;
    if (pageNumber > 0)
        t.replace(QStringLiteral("%d"), QString::number(pageNumber));
    const QStringList parts = t.split(QLatin1Char('|'));
    Part p;
    const auto linesOf = [](const QString& s) { return s.isEmpty() ? QStringList() : splitLines(s); };
    if (parts.size() == 1) {
        p.left = linesOf(parts.at(0));
    } else {
        p.left = linesOf(parts.at(0));
        p.centre = linesOf(parts.at(1));
        if (parts.size() > 2)
            p.right = linesOf(parts.mid(2).join(QLatin1Char('|')));
    }
    return p;
}

} // namespace

// ---------------------------------------------------------------------------

double parseInches(const QString& length)
{
    QString t = length.trimmed();
    if (t.endsWith(QLatin1String("in"), Qt::CaseInsensitive))
        t.chop(2);
    bool ok = false;
    const double value = t.trimmed().toDouble(&ok);
    if (!ok || value < 0 || t.isEmpty())
        throw std::invalid_argument(QStringLiteral("not a length in inches: \"%1\"").arg(length).toStdString());
    return value;
}

std::vector<ColumnFormat> parseColumnFormat(const QString& format)
{
    std::vector<ColumnFormat> columns;
    for (const QString& raw : format.split(QLatin1Char('|'))) {
        const QString part = raw.trimmed();
        ColumnFormat column;
        qsizetype at = 0;
        if (at < part.size()) {
            switch (part.at(at).unicode()) {
            case '<': column.alignment = Qt::AlignLeft; ++at; break;
            case '^': column.alignment = Qt::AlignHCenter; ++at; break;
            case '>': column.alignment = Qt::AlignRight; ++at; break;
            default: break;
            }
        }
        if (at < part.size() && part.at(at) == QLatin1Char('+')) {
            column.plus = true;
            ++at;
        }
        try {
            column.widthInches = parseInches(part.mid(at));
        } catch (const std::invalid_argument&) {
            throw std::invalid_argument(
                QStringLiteral("column format \"%1\": the column \"%2\" is not understood").arg(format, raw).toStdString());
        }
        columns.push_back(column);
    }
    return columns;
}

// ---------------------------------------------------------------------------

struct ReportDocument::Impl {
    struct TextRun {
        QPointF pos; // left end of the baseline
        QString text;
        int font = 0;
    };
    struct Piece {
        int row = -1; // -1: the header row
        int fromLine = 0, toLine = 0;
        double top = 0, height = 0;
    };
    struct Slice {
        int table = 0;
        std::vector<Piece> pieces;
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
        std::vector<QStringList> rows;
        QColor shade;
        int font = 0;
        double lineHeight = 0, ascent = 0;
        int headerLines = 1;
        std::vector<int> rowLines;
        QHash<quint64, QStringList> wraps; // cells of more than one line

        // A title takes its column's alignment only in a column marked "+".
        Qt::Alignment alignment(int row, int column) const
        {
            const ColumnFormat& col = columns[size_t(column)];
            return row < 0 && !col.plus ? Qt::AlignHCenter : col.alignment;
        }
        static quint64 key(int row, int column) { return (quint64(row + 1) << 16) | quint64(column); }
        QString cell(int row, int column) const
        {
            const QStringList& cells = row < 0 ? header : rows[size_t(row)];
            return column < cells.size() ? cells.at(column) : QString();
        }
        QStringList lines(int row, int column) const
        {
            const auto it = wraps.constFind(key(row, column));
            return it != wraps.constEnd() ? *it : QStringList{cell(row, column)};
        }
        int lineCount(int row) const { return row < 0 ? headerLines : rowLines[size_t(row)]; }
        double rowHeight(int lines) const { return lines * lineHeight + 2 * CellPadY; }
        double width() const { return colX.empty() ? 0 : colX.back() + colW.back() - colX.front(); }
    };

    // Settings
    double leftMargin = 0.75 * Dpi, rightMargin = 0.75 * Dpi;
    FontStyle headerFont{DefaultFamily, 12, false};
    QColor headerColour = Qt::black;
    QString headerText, footerText;
    double textSize = 10;
    FontStyle tableFont{DefaultFamily, 8, false};

    // Layout state
    std::vector<FontStyle> fonts;
    std::vector<std::unique_ptr<QFontMetricsF>> metrics;
    std::vector<Page> pages;
    std::vector<Table> tables;
    double x = 0, y = 0;
    QSizeF pageSize;

    int fontIndex(const FontStyle& style)
    {
        for (size_t i = 0; i < fonts.size(); ++i) {
            if (fonts[i] == style)
                return int(i);
        }
        fonts.push_back(style);
        metrics.push_back(std::make_unique<QFontMetricsF>(makeFont(style, 1.0), &measuringDevice()));
        return int(fonts.size() - 1);
    }
    const QFontMetricsF& fm(int font) const { return *metrics[size_t(font)]; }

    double partHeight(const QString& text, int font) const
    {
        const int lines = splitParts(text, 1).lineCount();
        return lines * fm(font).lineSpacing();
    }

    void reset()
    {
        pages.clear();
        tables.clear();
        x = leftMargin;
        y = 0;
    }

    Page& newPage()
    {
        Page p;
        p.header = headerText;
        p.footer = footerText;
        p.headerFont = fontIndex(headerFont);
        p.headerColour = headerColour;
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
        const QFontMetricsF& m = fm(font);
        reserve(m.lineSpacing());
        currentPage().texts.push_back({QPointF(x, y + m.ascent()), text, font});
        y += m.lineSpacing();
    }

    void addTable(Table table);
};

void ReportDocument::Impl::addTable(Table table)
{
    const QFontMetricsF& m = fm(table.font);
    table.lineHeight = m.lineSpacing();
    table.ascent = m.ascent();
    double left = leftMargin;
    for (const ColumnFormat& c : table.columns) {
        table.colX.push_back(left);
        table.colW.push_back(c.widthInches * Dpi);
        left += c.widthInches * Dpi;
    }
    const auto measure = [&](int row) {
        int most = 1;
        const QStringList& cells = row < 0 ? table.header : table.rows[size_t(row)];
        const int n = int(std::min<qsizetype>(cells.size(), qsizetype(table.columns.size())));
        for (int c = 0; c < n; ++c) {
            const QString& text = cells.at(c);
            const double room = table.colW[size_t(c)] - 2 * CellPadX;
            if (text.isEmpty())
                continue;
            bool multi = false;
            for (QChar ch : text) {
                if (ch == QLatin1Char('\n') || ch == QLatin1Char('\r')) {
                    multi = true;
                    break;
                }
            }
            if (!multi && m.horizontalAdvance(text) <= room)
                continue;
            QStringList lines = wrapText(text, m, std::max(room, 1.0));
            most = std::max(most, int(lines.size()));
            if (lines.size() > 1 || lines.value(0) != text)
                table.wraps.insert(Table::key(row, c), std::move(lines));
        }
        return most;
    };
    table.headerLines = measure(-1);
    table.rowLines.reserve(table.rows.size());
    for (int r = 0; r < int(table.rows.size()); ++r)
        table.rowLines.push_back(measure(r));

    tables.push_back(std::move(table));
    const int index = int(tables.size() - 1);
    const Table& t = tables.back();
    const double headerHeight = t.rowHeight(t.headerLines);

    Slice* slice = nullptr;
    const auto startSlice = [&] {
        Page& page = currentPage();
        page.slices.push_back({index, {}});
        slice = &page.slices.back();
        slice->pieces.push_back({-1, 0, t.headerLines, y, headerHeight});
        y += headerHeight;
    };
    // The header row never stands alone at the foot of a page.
    reserve(headerHeight + (t.rows.empty() ? 0 : t.rowHeight(t.rowLines.front())));
    startSlice();
    for (int r = 0; r < int(t.rows.size()); ++r) {
        const int lines = t.rowLines[size_t(r)];
        const double h = t.rowHeight(lines);
        if (y + h > currentPage().bodyBottom) {
            const double freshRoom = currentPage().bodyBottom - currentPage().bodyTop - headerHeight;
            if (h <= freshRoom || slice->pieces.size() > 1) {
                newPage();
                startSlice();
            }
        }
        if (y + h <= currentPage().bodyBottom) {
            slice->pieces.push_back({r, 0, lines, y, h});
            y += h;
            continue;
        }
        // A row taller than a whole page: continued line by line.
        int from = 0;
        while (from < lines) {
            const double room = currentPage().bodyBottom - y - 2 * CellPadY;
            int fit = std::max(1, int(room / t.lineHeight));
            fit = std::min(fit, lines - from);
            const double ph = t.rowHeight(fit);
            slice->pieces.push_back({r, from, from + fit, y, ph});
            y += ph;
            from += fit;
            if (from < lines) {
                newPage();
                startSlice();
            }
        }
    }
}

// ---------------------------------------------------------------------------

ReportDocument::ReportDocument() : d(new Impl)
{
    d->pageSize = pageSize();
    d->reset();
}

ReportDocument::~ReportDocument()
{
    delete d;
}

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
    const int font = d->fontIndex({DefaultFamily, d->textSize, false});
    const double room = std::max(d->pageSize.width() - d->rightMargin - d->x, 0.25 * Dpi);
    for (const QString& line : splitLines(text)) {
        for (const QString& piece : wrapText(line, d->fm(font), room))
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

void ReportDocument::AddTableRows(const QString& format, const QString& headerRow, std::vector<QStringList> rows,
                                  const QColor& headerShade)
{
    Impl::Table table;
    table.columns = parseColumnFormat(format);
    table.header = headerRow.split(QLatin1Char('|'));
    table.rows = std::move(rows);
    table.shade = headerShade;
    table.font = d->fontIndex(d->tableFont);
    d->addTable(std::move(table));
}

void ReportDocument::EndDocument()
{
    d->currentPage(); // an empty report still has its page with header and footer
    complete_ = true;
}

// ---------------------------------------------------------------------------

int ReportDocument::pageCount() const
{
    return int(d->pages.size());
}

QPageLayout ReportDocument::pageLayout() const
{
    const QSizeF size = pageSize();
    return QPageLayout(QPageSize(QPageSize::Letter),
                       size.width() > size.height() ? QPageLayout::Landscape : QPageLayout::Portrait,
                       QMarginsF(0, 0, 0, 0), QPageLayout::Inch);
}

QSizeF ReportDocument::pageSize() const
{
    if (d && !d->pages.empty())
        return d->pageSize;
    const QSizeF inches = QPageSize(QPageSize::Letter).size(QPageSize::Inch);
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
    const Part p = splitParts(d->pages[size_t(page - 1)].header, page);
    return p.left + p.centre + p.right;
}

QStringList ReportDocument::footerLines(int page) const
{
    if (page < 1 || page > pageCount())
        return {};
    const Part p = splitParts(d->pages[size_t(page - 1)].footer, page);
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
    for (const auto& slice : d->pages[size_t(page - 1)].slices) {
        const Impl::Table& t = d->tables[size_t(slice.table)];
        for (const auto& piece : slice.pieces) {
            RowView view;
            view.header = piece.row < 0;
            for (int c = 0; c < int(t.columns.size()); ++c) {
                view.cells.append(t.cell(piece.row, c));
                const QStringList lines = t.lines(piece.row, c);
                view.cellLines.append(lines.mid(piece.fromLine, piece.toLine - piece.fromLine));
                view.alignments.append(t.alignment(piece.row, c));
            }
            view.rect = QRectF(t.colX.front(), piece.top, t.width(), piece.height);
            rows.push_back(std::move(view));
        }
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

// ---------------------------------------------------------------------------

void ReportDocument::paintPage(QPainter& painter, int page) const
{
    if (page < 1 || page > pageCount())
        return;
    const Impl::Page& pg = d->pages[size_t(page - 1)];
    const double dpiY = painter.device() ? painter.device()->logicalDpiY() : Dpi;
    const double pointScale = Dpi / dpiY;
    std::vector<QFont> fonts;
    fonts.reserve(d->fonts.size());
    for (const FontStyle& style : d->fonts)
        fonts.push_back(makeFont(style, pointScale));

    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);

    // Header and footer.
    const double width = d->pageSize.width();
    const QFontMetricsF& hm = d->fm(pg.headerFont);
    const auto drawParts = [&](const QString& text, double top) {
        const Part p = splitParts(text, page);
        painter.setFont(fonts[size_t(pg.headerFont)]);
        painter.setPen(pg.headerColour);
        const double left = d->leftMargin, right = width - d->rightMargin;
        for (int i = 0; i < p.left.size(); ++i)
            painter.drawText(QPointF(left, top + hm.ascent() + i * hm.lineSpacing()), p.left.at(i));
        for (int i = 0; i < p.centre.size(); ++i) {
            const double w = hm.horizontalAdvance(p.centre.at(i));
            painter.drawText(QPointF(left + (right - left - w) / 2, top + hm.ascent() + i * hm.lineSpacing()),
                             p.centre.at(i));
        }
        for (int i = 0; i < p.right.size(); ++i) {
            const double w = hm.horizontalAdvance(p.right.at(i));
            painter.drawText(QPointF(right - w, top + hm.ascent() + i * hm.lineSpacing()), p.right.at(i));
        }
    };
    drawParts(pg.header, TopMargin);
    drawParts(pg.footer, d->pageSize.height() - BottomMargin - d->partHeight(pg.footer, pg.headerFont));

    // Paragraph lines.
    painter.setPen(Qt::black);
    int current = -1;
    for (const auto& run : pg.texts) {
        if (run.font != current) {
            current = run.font;
            painter.setFont(fonts[size_t(current)]);
        }
        painter.drawText(run.pos, run.text);
    }

    // Tables.
    for (const auto& slice : pg.slices) {
        const Impl::Table& t = d->tables[size_t(slice.table)];
        const QFontMetricsF& m = d->fm(t.font);
        const double left = t.colX.front(), right = left + t.width();
        painter.setFont(fonts[size_t(t.font)]);
        std::vector<QLineF> grid;
        for (const auto& piece : slice.pieces) {
            if (piece.row < 0)
                painter.fillRect(QRectF(left, piece.top, right - left, piece.height), t.shade);
            painter.setPen(Qt::black);
            for (int c = 0; c < int(t.columns.size()); ++c) {
                const Qt::Alignment align = t.alignment(piece.row, c);
                const QStringList lines = t.lines(piece.row, c);
                const double cx = t.colX[size_t(c)], cw = t.colW[size_t(c)];
                for (int i = piece.fromLine; i < piece.toLine && i < lines.size(); ++i) {
                    const QString& text = lines.at(i);
                    if (text.isEmpty())
                        continue;
                    double tx = cx + CellPadX;
                    if (align != Qt::AlignLeft) {
                        const double w = m.horizontalAdvance(text);
                        tx = align == Qt::AlignRight ? cx + cw - CellPadX - w : cx + (cw - w) / 2;
                    }
                    const double ty = piece.top + CellPadY + t.ascent + (i - piece.fromLine) * t.lineHeight;
                    painter.drawText(QPointF(tx, ty), text);
                }
            }
            grid.emplace_back(left, piece.top, right, piece.top);
            grid.emplace_back(left, piece.top + piece.height, right, piece.top + piece.height);
        }
        if (!slice.pieces.empty()) {
            const double top = slice.pieces.front().top;
            const double bottom = slice.pieces.back().top + slice.pieces.back().height;
            for (size_t c = 0; c < t.colX.size(); ++c)
                grid.emplace_back(t.colX[c], top, t.colX[c], bottom);
            grid.emplace_back(right, top, right, bottom);
        }
        painter.setPen(QPen(QColor(96, 96, 96), GridWidth));
        painter.drawLines(grid.data(), int(grid.size()));
    }
    painter.restore();
}

void ReportDocument::render(QPagedPaintDevice& device, int from, int to) const
{
    const int count = pageCount();
    if (from < 1)
        from = 1;
    if (to < 1 || to > count)
        to = count;
    QPainter painter;
    if (!painter.begin(&device))
        throw ReportError(0, QStringLiteral("The printer or file could not be opened"));
    const double sx = device.logicalDpiX() / Dpi, sy = device.logicalDpiY() / Dpi;
    for (int page = from; page <= to; ++page) {
        if (page > from)
            device.newPage();
        painter.save();
        painter.scale(sx, sy);
        paintPage(painter, page);
        painter.restore();
    }
    painter.end();
}

void ReportDocument::SaveAsPdf(const QString& path) const
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        throw ReportError(int(file.error()), file.errorString());
    {
        QPdfWriter writer(&file);
        writer.setResolution(int(Dpi));
        writer.setPageLayout(pageLayout());
        writer.setCreator(QStringLiteral("KOLVA"));
        render(writer);
    }
    if (!file.commit())
        throw ReportError(int(file.error()), file.errorString());
}

} // namespace kolva
