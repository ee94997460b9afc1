#include "reports/reportdocument.h"

#include "platform/jobprogress.h"
#include "reports/pdfwriter.h"
#include "store/safefile.h"

#include <QFont>
#include <QFontInfo>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QRegularExpression>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <array>
#include <deque>
#include <atomic>
#include <mutex>
#include <optional>
#include <thread>
#include <utility>

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
const QColor GridColour(96, 96, 96);
const QString DefaultFamily = QStringLiteral("Arial");
// How often the layout and the PDF writer report progress and look for Cancel.
constexpr int RowsPerCheck = 256;

const QRegularExpression& lineEnds()
{
    static const QRegularExpression re(QStringLiteral("\r\n|\n|\r"));
    return re;
}

bool hasLineEnd(QStringView text)
{
    for (QChar c : text) {
        if (c == u'\n' || c == u'\r')
            return true;
    }
    return false;
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

// Report text is set without shaping and kerning: a text is then exactly as
// wide as the sum of its characters' advances, so that widths are added up
// from a table instead of being measured, and drawing is faster.
QFont makeFont(const FontStyle& style, double devicePointScale)
{
    QFont font(style.family);
    font.setPointSizeF(style.points * devicePointScale);
    font.setBold(style.bold);
    font.setHintingPreference(QFont::PreferNoHinting);
    font.setStyleStrategy(QFont::PreferNoShaping);
    font.setKerning(false);
    return font;
}

// What the layout knows of a font: made once, read-only afterwards.
struct FontMeasure {
    FontStyle style;
    QString resolvedFamily; // the family the system gives for it
    double ascent = 0;
    double lineSpacing = 0;
    std::array<double, 256> latin{}; // advances of the Latin-1 characters

    explicit FontMeasure(const FontStyle& s) : style(s)
    {
        const QFont font = makeFont(style, 1.0);
        const QFontMetricsF fm(font, &measuringDevice());
        resolvedFamily = QFontInfo(font).family();
        ascent = fm.ascent();
        lineSpacing = fm.lineSpacing();
        for (int c = 0; c < 256; ++c)
            latin[size_t(c)] = fm.horizontalAdvance(QChar(c));
    }
};

// Measures text on one thread: Latin-1 from the fonts' tables, any other
// character once, on first use.
class Measurer {
public:
    explicit Measurer(const std::deque<FontMeasure>& fonts) : fonts_(fonts) {}

    // The advance of the character at i; i moves to its last code unit.
    double advance(int font, QStringView text, qsizetype& i)
    {
        const char16_t c = text[i].unicode();
        if (c < 256)
            return fonts_[size_t(font)].latin[c];
        char32_t code = c;
        qsizetype length = 1;
        if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
            code = QChar::surrogateToUcs4(c, text[i + 1].unicode());
            length = 2;
        }
        const double w = other(font, code, text.mid(i, length));
        i += length - 1;
        return w;
    }

    double width(int font, QStringView text)
    {
        const FontMeasure& m = fonts_[size_t(font)];
        double w = 0;
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            w += c < 256 ? m.latin[c] : advance(font, text, i);
        }
        return w;
    }

private:
    double other(int font, char32_t code, QStringView character)
    {
        if (metrics_.size() <= size_t(font)) {
            metrics_.resize(size_t(font) + 1);
            cache_.resize(size_t(font) + 1);
        }
        QHash<char32_t, double>& cache = cache_[size_t(font)];
        const auto it = cache.constFind(code);
        if (it != cache.constEnd())
            return *it;
        if (!metrics_[size_t(font)])
            metrics_[size_t(font)] =
                std::make_unique<QFontMetricsF>(makeFont(fonts_[size_t(font)].style, 1.0), &measuringDevice());
        const double w = metrics_[size_t(font)]->horizontalAdvance(character.toString());
        cache.insert(code, w);
        return w;
    }

    const std::deque<FontMeasure>& fonts_;
    std::vector<std::unique_ptr<QFontMetricsF>> metrics_;
    std::vector<QHash<char32_t, double>> cache_;
};

// Tells whether the installed fonts can draw a character: the report's font
// or one the system falls back to for it. A character none of them has
// prints as an empty box. Each character is looked up once.
class GlyphCoverage {
public:
    bool canDraw(char32_t code)
    {
        const auto it = known_.constFind(code);
        if (it != known_.constEnd())
            return *it;
        if (!metrics_)
            metrics_ = std::make_unique<QFontMetricsF>(makeFont({DefaultFamily, 10, false}, 1.0), &measuringDevice());
        const bool drawable = metrics_->inFontUcs4(uint(code));
        known_.insert(code, drawable);
        return drawable;
    }

    // Calls missing(code) for each character of the text that no font can
    // draw. Control and format characters, and blanks, are not drawn.
    template <class Missing>
    void check(QStringView text, Missing missing)
    {
        for (qsizetype i = 0; i < text.size(); ++i) {
            const char16_t c = text[i].unicode();
            if (c < 0x100)
                continue; // Latin-1: every font the reports use has it
            char32_t code = c;
            if (QChar::isHighSurrogate(c) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode())) {
                code = QChar::surrogateToUcs4(c, text[i + 1].unicode());
                ++i;
            }
            const QChar::Category category = QChar::category(code);
            if (category == QChar::Other_Format || category == QChar::Other_Control ||
                category == QChar::Separator_Space || category == QChar::Separator_Line ||
                category == QChar::Separator_Paragraph || category == QChar::Mark_NonSpacing ||
                (code >= 0xFE00 && code <= 0xFE0F)) // variation selectors
                continue;
            if (!canDraw(code))
                missing(code);
        }
    }

private:
    QHash<char32_t, bool> known_;
    std::unique_ptr<QFontMetricsF> metrics_;
};

// Breaks text into lines no wider than room: at line ends, then at blanks,
// else after a comma or hyphen, else before the character that does not fit.
// Every character is looked at a bounded number of times, so a long word
// costs in proportion to its length.
QStringList wrapText(const QString& text, int font, double room, Measurer& m)
{
    QStringList out;
    for (const QString& para : text.split(lineEnds())) {
        if (m.width(font, para) <= room) {
            out.append(para);
            continue;
        }
        const qsizetype linesBefore = out.size();
        const qsizetype n = para.size();
        qsizetype start = 0;
        double width = 0;           // of para[start, i)
        qsizetype breakEnd = -1;    // a line may end here...
        qsizetype breakNext = -1;   // ...and the next begin here
        double widthToNext = 0;     // of para[start, breakNext)
        qsizetype i = 0;
        while (i < n) {
            qsizetype last = i;
            const double w = m.advance(font, para, last);
            const QChar c = para.at(i);
            if (width + w > room && i > start) {
                if (c == u' ') {
                    out.append(para.mid(start, i - start));
                    start = i = last + 1;
                    width = 0;
                    breakEnd = -1;
                    continue;
                }
                if (breakEnd > start) {
                    out.append(para.mid(start, breakEnd - start));
                    width -= widthToNext;
                    start = breakNext;
                    breakEnd = -1;
                    continue; // the same character again, on the new line
                }
                out.append(para.mid(start, i - start));
                start = i;
                width = 0;
                breakEnd = -1;
                continue;
            }
            width += w;
            if (c == u' ') {
                breakEnd = i;
                breakNext = last + 1;
                widthToNext = width;
            } else if (c == u',' || c == u'-') {
                breakEnd = breakNext = last + 1;
                widthToNext = width;
            }
            i = last + 1;
        }
        if (start < n || out.size() == linesBefore)
            out.append(para.mid(start));
    }
    return out;
}

// The lines of a table cell in a column with room for that width.
QStringList cellLines(const QString& text, int font, double room, Measurer& m)
{
    if (text.isEmpty() || isNumberText(text) || (!hasLineEnd(text) && m.width(font, text) <= room))
        return {text};
    return wrapText(text, font, std::max(room, 1.0), m);
}

struct Part {
    QStringList left, centre, right;
    int lineCount() const { return int(std::max({left.size(), centre.size(), right.size()})); }
};

// The parts of a header or footer text of a page (0: no page, the tokens
// taken out). A third "|" and any after it belong to the right part.
Part splitParts(const QString& text, int pageNumber, int pageCount)
{
    QString parts[3];
    int part = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        if (c == u'%' && i + 1 < text.size()) {
            const QChar token = text.at(i + 1);
            if (token == u'd' || token == u't') {
                if (pageNumber > 0)
                    parts[part] += QString::number(token == u'd' ? pageNumber : pageCount);
                ++i;
                continue;
            }
            if (token == u'%' || token == u'|') {
                parts[part] += token;
                ++i;
                continue;
            }
        }
        if (c == u'|' && part < 2) {
            ++part;
            continue;
        }
        parts[part] += c;
    }
    Part p;
    const auto linesOf = [](const QString& s) { return s.isEmpty() ? QStringList() : splitLines(s); };
    p.left = linesOf(parts[0]);
    p.centre = linesOf(parts[1]);
    p.right = linesOf(parts[2]);
    return p;
}

// What a page is drawn with: the painter on screen or paper, or the PDF
// writer's page.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void text(const QPointF& baselineLeft, const QString& text, int font, const QColor& colour) = 0;
    virtual void fill(const QRectF& rect, const QColor& colour) = 0;
    virtual void lines(const std::vector<QLineF>& lines, const QColor& colour, double width) = 0;
};

} // namespace

// ---------------------------------------------------------------------------

QString headerLiteral(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u'%' || c == u'|')
            out += u'%';
        out += c;
    }
    return out;
}

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

void ReportDocument::Impl::setColumns(Table& t)
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

void ReportDocument::Impl::addTable(Table table)
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

template <class Visit>
void ReportDocument::Impl::forEachRow(const Slice& slice, Measurer& m, Visit visit) const
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

void ReportDocument::Impl::emitSlice(const Slice& slice, Measurer& m, PageSink& sink) const
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

void ReportDocument::Impl::emitPage(int page, int pageCount, Measurer& m, PageSink& sink) const
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

namespace {

class PainterSink : public PageSink {
public:
    PainterSink(QPainter& painter, const std::deque<FontMeasure>& fonts, double pointScale)
        : painter_(painter), measures_(fonts), pointScale_(pointScale), fonts_(fonts.size())
    {
    }
    void text(const QPointF& at, const QString& text, int font, const QColor& colour) override
    {
        if (font != font_) {
            font_ = font;
            if (!fonts_[size_t(font)])
                fonts_[size_t(font)] = makeFont(measures_[size_t(font)].style, pointScale_);
            painter_.setFont(*fonts_[size_t(font)]);
        }
        if (!textPen_ || colour != colour_) {
            textPen_ = true;
            colour_ = colour;
            painter_.setPen(colour);
        }
        painter_.drawText(at, text);
    }
    void fill(const QRectF& rect, const QColor& colour) override { painter_.fillRect(rect, colour); }
    void lines(const std::vector<QLineF>& lines, const QColor& colour, double width) override
    {
        painter_.setPen(QPen(colour, width));
        textPen_ = false;
        painter_.drawLines(lines.data(), int(lines.size()));
    }

private:
    QPainter& painter_;
    const std::deque<FontMeasure>& measures_;
    double pointScale_;
    std::vector<std::optional<QFont>> fonts_;
    int font_ = -1;
    bool textPen_ = false;
    QColor colour_;
};

class PdfSink : public PageSink {
public:
    PdfSink(pdf::PageContent& content, const std::deque<FontMeasure>& fonts, const std::vector<int>& resources)
        : content_(content), fonts_(fonts), resources_(resources)
    {
    }
    void text(const QPointF& at, const QString& text, int font, const QColor& colour) override
    {
        content_.text(at, text, resources_[size_t(font)], fonts_[size_t(font)].style.points, colour);
    }
    void fill(const QRectF& rect, const QColor& colour) override { content_.fill(rect, colour); }
    void lines(const std::vector<QLineF>& lines, const QColor& colour, double width) override
    {
        content_.lines(lines, colour, width);
    }

private:
    pdf::PageContent& content_;
    const std::deque<FontMeasure>& fonts_;
    const std::vector<int>& resources_;
};

} // namespace

QByteArray ReportDocument::Impl::pdfPage(int page, int pageCount, Measurer& m,
                                         const std::vector<int>& fontResources) const
{
    pdf::PageContent content(Dpi, pageSize.height());
    PdfSink sink(content, fonts, fontResources);
    emitPage(page, pageCount, m, sink);
    return content.finish();
}

// ---------------------------------------------------------------------------

ReportDocument::ReportDocument() : d(std::make_unique<Impl>())
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
    Impl::Table table;
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
        const Impl::Table& t = d->tables[size_t(slice.table)];
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

// ---------------------------------------------------------------------------

void ReportDocument::paintPage(QPainter& painter, int page) const
{
    if (page < 1 || page > pageCount())
        return;
    const double dpiY = painter.device() ? painter.device()->logicalDpiY() : Dpi;
    Measurer m(d->fonts);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    PainterSink sink(painter, d->fonts, Dpi / dpiY);
    d->emitPage(page, pageCount(), m, sink);
    painter.restore();
}

void ReportDocument::render(QPagedPaintDevice& device, int from, int to, Progress* progress) const
{
    const int count = pageCount();
    if (from < 1)
        from = 1;
    if (to < 1 || to > count)
        to = count;
    QPainter painter;
    if (!painter.begin(&device))
        throw ReportError(0, QStringLiteral("The printer or file could not be opened"));
    painter.setRenderHint(QPainter::Antialiasing, true);
    painter.setRenderHint(QPainter::TextAntialiasing, true);
    const double sx = device.logicalDpiX() / Dpi, sy = device.logicalDpiY() / Dpi;
    Measurer m(d->fonts);
    for (int page = from; page <= to; ++page) {
        if (progress) {
            progress->advance(page - from);
            if (progress->cancelRequested())
                throw ReportCancelled();
        }
        if (page > from)
            device.newPage();
        painter.save();
        painter.scale(sx, sy);
        // A sink per page: restoring the painter takes back its font and pen.
        PainterSink sink(painter, d->fonts, Dpi / device.logicalDpiY());
        d->emitPage(page, count, m, sink);
        painter.restore();
    }
    painter.end();
}

std::vector<ReportDocument::MissingCharacter> ReportDocument::undrawableCharacters() const
{
    return d->missing;
}

QString undrawableCharactersNote(const ReportDocument& document, int mostNamed)
{
    const std::vector<ReportDocument::MissingCharacter> missing = document.undrawableCharacters();
    if (missing.empty())
        return {};
    // The characters themselves would show as boxes here too: they are
    // named by their numbers.
    const size_t shown = size_t(std::max(mostNamed, 1));
    QStringList named;
    for (size_t i = 0; i < missing.size() && i < shown; ++i) {
        const QString code = QString::number(uint(missing[i].code), 16).toUpper().rightJustified(4, QLatin1Char('0'));
        named.append(QStringLiteral("U+%1 (page %2)").arg(code).arg(missing[i].page));
    }
    QString note = QStringLiteral("No installed font has %1 of this report's characters; %2 printed as empty boxes: ")
                       .arg(missing.size() == 1 ? QStringLiteral("one") : QString::number(missing.size()),
                            missing.size() == 1 ? QStringLiteral("it is") : QStringLiteral("they are")) +
                   named.join(QStringLiteral(", "));
    if (missing.size() > shown)
        note += QStringLiteral(" and %1 more").arg(missing.size() - shown);
    return note + QLatin1Char('.');
}

bool ReportDocument::savesWithStandardFonts() const
{
    if (!d->allWinAnsi)
        return false;
    for (const FontMeasure& font : d->fonts) {
        if (pdf::standardFontFor(font.style.family, font.style.bold).isEmpty() ||
            pdf::standardFontFor(font.resolvedFamily, font.style.bold).isEmpty())
            return false;
    }
    return true;
}

void ReportDocument::SaveAsPdf(const QString& path, Progress* progress) const
{
    const int count = pageCount();
    if (progress) {
        progress->beginStage(QStringLiteral("Writing the PDF file"), count);
        progress->setCancellable(true);
    }
    // Beside the target and renamed over it when complete: never through a
    // link, and a failure or a cancel leaves an old file as it was.
    SafeFileWriter saved(path);
    if (const QString reason = saved.open(); !reason.isEmpty())
        throw ReportError(saved.errorNumber(), reason);
    QIODevice& file = saved.device();
    // The write's reason; the temporary file goes.
    const auto failed = [&saved] {
        const QString reason = saved.commit();
        return ReportError(saved.errorNumber(), reason);
    };
    if (savesWithStandardFonts()) {
        // One resource per standard font; the document's fonts name theirs.
        std::vector<QByteArray> names;
        std::vector<int> resources;
        for (const FontMeasure& font : d->fonts) {
            const QByteArray name = pdf::standardFontFor(font.style.family, font.style.bold);
            auto it = std::find(names.begin(), names.end(), name);
            if (it == names.end())
                it = names.insert(names.end(), name);
            resources.push_back(int(it - names.begin()));
        }
        const QSizeF points = d->pageSize * (72.0 / Dpi);
        pdf::Writer writer(file, points, count, names, documentTitle());
        // Pages are made on every core in batches and written in order.
        const int workers = std::clamp(QThread::idealThreadCount(), 1, 8);
        const int batch = 16 * workers;
        for (int first = 1; first <= count; first += batch) {
            const int n = std::min(batch, count - first + 1);
            std::vector<QByteArray> made(static_cast<size_t>(n));
            std::atomic<int> next{0};
            std::exception_ptr error;
            std::mutex errorMutex;
            const auto work = [&] {
                try {
                    Measurer m(d->fonts);
                    for (int i = next++; i < n; i = next++) {
                        if (progress && progress->cancelRequested())
                            return;
                        made[size_t(i)] = d->pdfPage(first + i, count, m, resources);
                    }
                } catch (...) {
                    std::lock_guard lock(errorMutex);
                    error = std::current_exception();
                }
            };
            std::vector<std::thread> helpers;
            for (int w = 1; w < workers && w < n; ++w)
                helpers.emplace_back(work);
            work();
            for (std::thread& helper : helpers)
                helper.join();
            if (error)
                std::rethrow_exception(error);
            // A write may wait for the disk when it is busy: Cancel is heard
            // between pages.
            for (const QByteArray& page : made) {
                if (progress && progress->cancelRequested())
                    throw ReportCancelled();
                writer.addPage(page);
            }
            if (writer.failed())
                throw failed();
            if (progress)
                progress->advance(first + n - 1);
        }
        if (!writer.finish())
            throw failed();
    } else {
        QPdfWriter writer(&file);
        writer.setResolution(int(Dpi));
        writer.setPageLayout(pageLayout());
        writer.setCreator(QStringLiteral("KOLVA"));
        writer.setTitle(documentTitle());
        render(writer, 0, 0, progress);
    }
    if (progress && progress->cancelRequested())
        throw ReportCancelled();
    // Putting the file on the disk and in place cannot be stopped half-way
    // (on a busy disk it may take seconds): Cancel is no longer offered.
    if (progress)
        progress->setCancellable(false);
    if (progress && progress->cancelRequested())
        throw ReportCancelled();
    if (const QString reason = saved.commit(); !reason.isEmpty())
        throw ReportError(saved.errorNumber(), reason);
}

} // namespace kolva
