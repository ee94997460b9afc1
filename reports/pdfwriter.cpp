#include "reports/pdfwriter.h"

#include <QDateTime>

#include <cmath>

namespace kolva::pdf {

namespace {

// The characters of WinAnsi bytes 0x80 to 0x9F (0: none).
constexpr char16_t HighBytes[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178,
};

// Appends a number with at most three decimals, as PDF reads it.
void appendNumber(QByteArray& out, double value)
{
    qint64 thousandths = std::llround(value * 1000);
    if (thousandths < 0) {
        out.append('-');
        thousandths = -thousandths;
    }
    out.append(QByteArray::number(thousandths / 1000));
    int rest = int(thousandths % 1000);
    if (rest) {
        out.append('.');
        char digits[3] = {char('0' + rest / 100), char('0' + rest / 10 % 10), char('0' + rest % 10)};
        int n = 3;
        while (n > 0 && digits[n - 1] == '0')
            --n;
        out.append(digits, n);
    }
    out.append(' ');
}

QByteArray utf16Hex(const QString& text)
{
    QByteArray out = "<FEFF";
    for (QChar c : text) {
        char buf[5];
        std::snprintf(buf, sizeof buf, "%04X", c.unicode());
        out.append(buf, 4);
    }
    out.append('>');
    return out;
}

} // namespace

int winAnsiByte(char16_t c)
{
    if ((c >= 0x20 && c < 0x7f) || (c >= 0xa0 && c <= 0xff))
        return c;
    if (c < 0x100)
        return -1;
    for (int i = 0; i < 32; ++i) {
        if (HighBytes[i] == c)
            return 0x80 + i;
    }
    return -1;
}

bool isWinAnsi(QStringView text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u < 0x7f) // control characters are printed as blanks
            continue;
        if (winAnsiByte(u) < 0)
            return false;
    }
    return true;
}

QByteArray standardFontFor(const QString& family, bool bold)
{
    static const char* const Helveticas[] = {"Arial", "Helvetica", "Liberation Sans", "Arimo", "Nimbus Sans",
                                             "Nimbus Sans L", "TeX Gyre Heros"};
    for (const char* name : Helveticas) {
        if (family.compare(QLatin1String(name), Qt::CaseInsensitive) == 0)
            return bold ? QByteArrayLiteral("Helvetica-Bold") : QByteArrayLiteral("Helvetica");
    }
    return {};
}

// ---------------------------------------------------------------------------

PageContent::PageContent(double unitsPerInch, double pageHeight)
    : scale_(72.0 / unitsPerInch), height_(pageHeight)
{
    out_.reserve(16 * 1024);
}

void PageContent::number(double units)
{
    appendNumber(out_, units * scale_);
}

void PageContent::colour(const QColor& c, bool stroke)
{
    QColor& current = stroke ? strokeColour_ : fillColour_;
    if (current.isValid() && current == c)
        return;
    current = c;
    appendNumber(out_, c.redF());
    appendNumber(out_, c.greenF());
    appendNumber(out_, c.blueF());
    out_.append(stroke ? "RG\n" : "rg\n");
}

void PageContent::text(const QPointF& baselineLeft, QStringView text, int font, double points, const QColor& c)
{
    if (text.isEmpty())
        return;
    colour(c, false);
    // The font belongs to the graphics state: it stays set from one text
    // object to the next.
    out_.append("BT ");
    if (font != font_ || points != points_) {
        font_ = font;
        points_ = points;
        out_.append("/F");
        out_.append(QByteArray::number(font + 1));
        out_.append(' ');
        appendNumber(out_, points);
        out_.append("Tf ");
    }
    number(baselineLeft.x());
    number(height_ - baselineLeft.y());
    out_.append("Td (");
    for (QChar ch : text) {
        int b = winAnsiByte(ch.unicode());
        if (b < 0)
            b = ch.unicode() < 0x20 ? ' ' : '?';
        if (b == '(' || b == ')' || b == '\\')
            out_.append('\\');
        out_.append(char(b));
    }
    out_.append(") Tj ET\n");
}

void PageContent::fill(const QRectF& rect, const QColor& c)
{
    colour(c, false);
    number(rect.left());
    number(height_ - rect.bottom());
    number(rect.width());
    number(rect.height());
    out_.append("re f\n");
}

void PageContent::lines(const std::vector<QLineF>& lines, const QColor& c, double width)
{
    if (lines.empty())
        return;
    colour(c, true);
    if (width != lineWidth_) {
        lineWidth_ = width;
        number(width);
        out_.append("w\n");
    }
    for (const QLineF& l : lines) {
        number(l.x1());
        number(height_ - l.y1());
        out_.append("m ");
        number(l.x2());
        number(height_ - l.y2());
        out_.append("l\n");
    }
    out_.append("S\n");
}

QByteArray PageContent::finish()
{
    // qCompress gives a zlib stream (FlateDecode) after four bytes of length.
    QByteArray compressed = qCompress(out_, 6);
    out_.clear();
    return compressed.mid(4);
}

// ---------------------------------------------------------------------------

Writer::Writer(QIODevice& device, const QSizeF& pagePoints, int pageCount, const std::vector<QByteArray>& fonts,
               const QString& title)
    : device_(device), pageCount_(pageCount)
{
    // Objects: 1 catalog, 2 page tree, 3 information, the fonts, then a
    // content stream and a page object for every page.
    const int fontObject = 4;
    firstPageObject_ = fontObject + int(fonts.size());
    write(QByteArrayLiteral("%PDF-1.4\n%\xE2\xE3\xCF\xD3\n"));

    beginObject();
    write("<< /Type /Catalog /Pages 2 0 R >>\nendobj\n");

    beginObject();
    QByteArray tree = "<< /Type /Pages /Count " + QByteArray::number(pageCount) + " /MediaBox [0 0 ";
    appendNumber(tree, pagePoints.width());
    appendNumber(tree, pagePoints.height());
    tree += "] /Resources << /Font <<";
    for (size_t i = 0; i < fonts.size(); ++i)
        tree += " /F" + QByteArray::number(int(i) + 1) + ' ' + QByteArray::number(fontObject + int(i)) + " 0 R";
    tree += " >> /ProcSet [/PDF /Text] >>\n/Kids [";
    for (int p = 0; p < pageCount; ++p) {
        tree += QByteArray::number(firstPageObject_ + 2 * p + 1) + " 0 R";
        tree += (p % 10 == 9) ? '\n' : ' ';
    }
    tree += "] >>\nendobj\n";
    write(tree);

    beginObject();
    const QString now = QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmss"));
    write("<< /Title " + utf16Hex(title) + " /Creator (KOLVA) /Producer (KOLVA) /CreationDate (D:" + now.toLatin1() +
          "Z) >>\nendobj\n");

    for (const QByteArray& font : fonts) {
        beginObject();
        write("<< /Type /Font /Subtype /Type1 /BaseFont /" + font + " /Encoding /WinAnsiEncoding >>\nendobj\n");
    }
}

void Writer::write(const QByteArray& bytes)
{
    if (failed_)
        return;
    if (device_.write(bytes) != bytes.size()) {
        failed_ = true;
        return;
    }
    offset_ += bytes.size();
}

int Writer::beginObject()
{
    offsets_.push_back(offset_);
    const int number = int(offsets_.size());
    write(QByteArray::number(number) + " 0 obj\n");
    return number;
}

void Writer::addPage(const QByteArray& content)
{
    const int contentObject = beginObject();
    write("<< /Length " + QByteArray::number(content.size()) + " /Filter /FlateDecode >>\nstream\n");
    write(content);
    write("\nendstream\nendobj\n");
    beginObject();
    write("<< /Type /Page /Parent 2 0 R /Contents " + QByteArray::number(contentObject) + " 0 R >>\nendobj\n");
    ++pagesWritten_;
}

bool Writer::finish()
{
    if (pagesWritten_ != pageCount_)
        failed_ = true;
    const qint64 xref = offset_;
    QByteArray table = "xref\n0 " + QByteArray::number(qsizetype(offsets_.size()) + 1) + "\n0000000000 65535 f \n";
    for (const qint64 at : offsets_) {
        char line[21];
        std::snprintf(line, sizeof line, "%010lld 00000 n \n", static_cast<long long>(at));
        table.append(line, 20);
    }
    table += "trailer\n<< /Size " + QByteArray::number(qsizetype(offsets_.size()) + 1) +
             " /Root 1 0 R /Info 3 0 R >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    write(table);
    return !failed_;
}

} // namespace kolva::pdf
