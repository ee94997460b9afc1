#pragma once
// A small PDF writer for report pages set in the standard Helvetica fonts
// with the Windows-1252 (WinAnsi) characters: text, filled rectangles and
// lines. It writes a page in a fraction of the time Qt's PDF writer takes
// (which places every glyph on its own) and gives much smaller files; a
// report can use it when all its text is in that code page (the handheld's)
// and its fonts have Helvetica's widths (Arial and its metric twins), so that
// every text stands where the layout measured it. Pages are independent: they
// may be made on several threads and written in order.
//
// Lengths given to a page are in layout units (1/1200 inch) from the top-left
// corner, as the report document lays out its pages.

#include <QByteArray>
#include <QColor>
#include <QIODevice>
#include <QLineF>
#include <QRectF>
#include <QSizeF>
#include <QString>

#include <vector>

namespace kolva::pdf {

// The WinAnsi byte of a character; -1 when the encoding has none.
int winAnsiByte(char16_t c);
// True when every character of the text has a WinAnsi byte (control
// characters, printed as blanks, included).
bool isWinAnsi(QStringView text);

// The standard font ("Helvetica", "Helvetica-Bold") with the widths of the
// family, or "" when the writer has none for it.
QByteArray standardFontFor(const QString& family, bool bold);

// One page's content: drawing operators, compressed when finished.
class PageContent {
public:
    // unitsPerInch: of the lengths given; pageHeight: in those units.
    PageContent(double unitsPerInch, double pageHeight);
    // font: the number of a font given to the Writer.
    void text(const QPointF& baselineLeft, QStringView text, int font, double points, const QColor& colour);
    void fill(const QRectF& rect, const QColor& colour);
    void lines(const std::vector<QLineF>& lines, const QColor& colour, double width);
    // The finished content stream, deflated.
    QByteArray finish();

private:
    void number(double units); // a length in points
    void colour(const QColor& c, bool stroke);
    QByteArray out_;
    double scale_;
    double height_;
    QColor fillColour_, strokeColour_;
    double lineWidth_ = -1;
    int font_ = -1;
    double points_ = 0;
};

// The file: its objects, page by page, then the cross-reference table.
class Writer {
public:
    // fonts: the standard font names, used as fonts 0, 1, ... of the pages.
    Writer(QIODevice& device, const QSizeF& pagePoints, int pageCount, const std::vector<QByteArray>& fonts,
           const QString& title);
    // Pages must come in order, pageCount of them.
    void addPage(const QByteArray& content);
    // Writes the end of the file; false when the device failed.
    bool finish();
    bool failed() const { return failed_; }

private:
    void write(const QByteArray& bytes);
    int beginObject();
    QIODevice& device_;
    qint64 offset_ = 0;
    std::vector<qint64> offsets_; // of objects 1, 2, ...
    int pageCount_;
    int pagesWritten_ = 0;
    int firstPageObject_;
    bool failed_ = false;
};

} // namespace kolva::pdf
