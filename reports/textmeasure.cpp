#include "reports/textmeasure.h"

#include "reports/rowstore.h"

#include <QFontInfo>

#include <algorithm>

namespace kolva::layout {

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

FontMeasure::FontMeasure(const FontStyle& s) : style(s)
{
    const QFont font = makeFont(style, 1.0);
    const QFontMetricsF fm(font, &measuringDevice());
    resolvedFamily = QFontInfo(font).family();
    ascent = fm.ascent();
    lineSpacing = fm.lineSpacing();
    for (int c = 0; c < 256; ++c)
        latin[size_t(c)] = fm.horizontalAdvance(QChar(c));
}

double Measurer::other(int font, char32_t code, QStringView character)
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

bool GlyphCoverage::canDraw(char32_t code)
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

} // namespace kolva::layout
