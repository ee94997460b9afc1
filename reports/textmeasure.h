#pragma once
// Measuring and wrapping report text in layout units (1/1200 inch): the
// fonts' advances, the characters no installed font can draw, and the
// breaking of text into lines no wider than a column or the page.

#include "reports/reportdocument.h"

#include <QFont>
#include <QFontMetricsF>
#include <QHash>
#include <QImage>
#include <QRegularExpression>
#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <memory>
#include <vector>

namespace kolva::layout {

inline constexpr double Dpi = ReportDocument::Dpi;
inline const QString DefaultFamily = QStringLiteral("Arial");

// CR LF, a lone LF or a lone CR.
const QRegularExpression& lineEnds();
bool hasLineEnd(QStringView text);
// The lines of a text that ends every line: a final line end adds no line.
QStringList splitLines(const QString& text);

// A paint device of 1200 dots per inch, to measure text in layout units.
const QImage& measuringDevice();

struct FontStyle {
    QString family;
    double points = 10;
    bool bold = false;
    bool operator==(const FontStyle& o) const { return family == o.family && points == o.points && bold == o.bold; }
};

// Report text is set without shaping and kerning: a text is then exactly as
// wide as the sum of its characters' advances, so that widths are added up
// from a table instead of being measured, and drawing is faster.
QFont makeFont(const FontStyle& style, double devicePointScale);

// What the layout knows of a font: made once, read-only afterwards.
struct FontMeasure {
    FontStyle style;
    QString resolvedFamily; // the family the system gives for it
    double ascent = 0;
    double lineSpacing = 0;
    std::array<double, 256> latin{}; // advances of the Latin-1 characters

    explicit FontMeasure(const FontStyle& s);
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
    double other(int font, char32_t code, QStringView character);

    const std::deque<FontMeasure>& fonts_;
    std::vector<std::unique_ptr<QFontMetricsF>> metrics_;
    std::vector<QHash<char32_t, double>> cache_;
};

// Tells whether the installed fonts can draw a character: the report's font
// or one the system falls back to for it. A character none of them has
// prints as an empty box. Each character is looked up once.
class GlyphCoverage {
public:
    bool canDraw(char32_t code);

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
QStringList wrapText(const QString& text, int font, double room, Measurer& m);

// The lines of a table cell in a column with room for that width.
QStringList cellLines(const QString& text, int font, double room, Measurer& m);

} // namespace kolva::layout
