#pragma once
// Drawing a laid-out page: its header and footer, paragraph lines and table
// slices go to a sink, the painter on screen or paper or the page of the
// PDF writer.

#include "reports/pagination.h"
#include "reports/pdfwriter.h"

#include <QLineF>
#include <QPainter>

#include <optional>

namespace kolva::layout {

// What a page is drawn with: the painter on screen or paper, or the PDF
// writer's page.
class PageSink {
public:
    virtual ~PageSink() = default;
    virtual void text(const QPointF& baselineLeft, const QString& text, int font, const QColor& colour) = 0;
    virtual void fill(const QRectF& rect, const QColor& colour) = 0;
    virtual void lines(const std::vector<QLineF>& lines, const QColor& colour, double width) = 0;
};

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

} // namespace kolva::layout
