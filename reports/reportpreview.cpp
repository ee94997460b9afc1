#include "reports/reportpreview.h"

#include "platform/busycursor.h"
#include "platform/printdialog.h"
#include "platform/settings.h"
#include "reports/reportdocument.h"

#include <QComboBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QPainter>
#include <QPrinter>
#include <QScrollBar>
#include <QSpinBox>
#include <QStyle>
#include <QToolButton>
#include <QVBoxLayout>
#include <QWheelEvent>

#include <algorithm>
#include <cmath>

namespace kolva {

namespace {

constexpr int Gap = 12; // pixels around and between the pages
constexpr double MinZoom = 0.1, MaxZoom = 8.0;

const struct {
    const char* text;
    PageView::ZoomMode mode;
    double factor;
} ZoomChoices[] = {
    {"Fit width", PageView::ZoomMode::FitWidth, 0},
    {"Whole page", PageView::ZoomMode::WholePage, 0},
    {"50%", PageView::ZoomMode::Factor, 0.5},
    {"75%", PageView::ZoomMode::Factor, 0.75},
    {"100%", PageView::ZoomMode::Factor, 1.0},
    {"150%", PageView::ZoomMode::Factor, 1.5},
    {"200%", PageView::ZoomMode::Factor, 2.0},
};

} // namespace

PageView::PageView(QWidget* parent) : QAbstractScrollArea(parent)
{
    setObjectName(QStringLiteral("pageView"));
    setAccessibleName(QStringLiteral("Report pages"));
    setFocusPolicy(Qt::StrongFocus);
    viewport()->setAutoFillBackground(false);
    verticalScrollBar()->setSingleStep(40);
    horizontalScrollBar()->setSingleStep(40);
}

void PageView::setDocument(const ReportDocument* document)
{
    document_ = document;
    painted_ = 0;
    requested_ = 0;
    lastPage_ = -1;
    relayout();
    verticalScrollBar()->setValue(0);
    horizontalScrollBar()->setValue(0);
    viewport()->update();
    notePage();
}

int PageView::pageCount() const
{
    return document_ ? document_->pageCount() : 0;
}

double PageView::zoomFactor() const
{
    if (!document_ || mode_ == ZoomMode::Factor)
        return factor_;
    const QSizeF paper = document_->pageSize() / ReportDocument::Dpi; // inches
    const double dpi = logicalDpiX();
    const double fitWidth = (viewport()->width() - 2 * Gap) / (paper.width() * dpi);
    const double fitHeight = (viewport()->height() - 2 * Gap) / (paper.height() * dpi);
    const double factor = mode_ == ZoomMode::FitWidth ? fitWidth : std::min(fitWidth, fitHeight);
    return std::clamp(factor, MinZoom, MaxZoom);
}

void PageView::setZoomMode(ZoomMode mode)
{
    const int page = currentPage();
    if (mode == ZoomMode::Factor)
        factor_ = zoomFactor();
    mode_ = mode;
    relayout();
    setCurrentPage(page);
    emit zoomChanged();
}

void PageView::setZoomFactor(double factor)
{
    const int page = currentPage();
    mode_ = ZoomMode::Factor;
    factor_ = std::clamp(factor, MinZoom, MaxZoom);
    relayout();
    setCurrentPage(page);
    emit zoomChanged();
}

QSize PageView::pagePixels() const
{
    if (!document_)
        return {};
    const QSizeF paper = document_->pageSize() / ReportDocument::Dpi;
    const double f = zoomFactor();
    return QSize(std::max(1, int(std::lround(paper.width() * logicalDpiX() * f))),
                 std::max(1, int(std::lround(paper.height() * logicalDpiY() * f))));
}

void PageView::relayout()
{
    const QSize page = pagePixels();
    const int n = pageCount();
    const int contentWidth = n ? page.width() + 2 * Gap : 0;
    const int contentHeight = n ? n * (page.height() + Gap) + Gap : 0;
    horizontalScrollBar()->setRange(0, std::max(0, contentWidth - viewport()->width()));
    horizontalScrollBar()->setPageStep(viewport()->width());
    verticalScrollBar()->setRange(0, std::max(0, contentHeight - viewport()->height()));
    verticalScrollBar()->setPageStep(viewport()->height());
    verticalScrollBar()->setSingleStep(std::max(20, page.height() / 20));
    viewport()->update();
}

QRect PageView::pageRect(int page) const
{
    const QSize size = pagePixels();
    const int contentWidth = size.width() + 2 * Gap;
    int x = Gap - horizontalScrollBar()->value();
    if (contentWidth < viewport()->width())
        x = (viewport()->width() - size.width()) / 2;
    const int y = Gap + (page - 1) * (size.height() + Gap) - verticalScrollBar()->value();
    return QRect(QPoint(x, y), size);
}

int PageView::currentPage() const
{
    const int n = pageCount();
    if (n == 0)
        return 0;
    // A page asked for near the end may not reach the top of the view; it
    // stays the current page until the view scrolls.
    const QScrollBar* bar = verticalScrollBar();
    if (requested_ > 0 && requested_ <= n && bar->value() == requestedAt_)
        return requested_;
    if (bar->maximum() > 0 && bar->value() >= bar->maximum())
        return n;
    const int step = pagePixels().height() + Gap;
    const int probe = bar->value() + viewport()->height() / 3;
    return std::clamp(probe / std::max(1, step) + 1, 1, n);
}

void PageView::setCurrentPage(int page)
{
    const int n = pageCount();
    if (n == 0)
        return;
    page = std::clamp(page, 1, n);
    verticalScrollBar()->setValue((page - 1) * (pagePixels().height() + Gap));
    requested_ = page;
    requestedAt_ = verticalScrollBar()->value();
    notePage();
}

void PageView::notePage()
{
    const int page = currentPage();
    if (page != lastPage_) {
        lastPage_ = page;
        emit currentPageChanged(page);
    }
}

void PageView::paintEvent(QPaintEvent* event)
{
    QPainter painter(viewport());
    painter.fillRect(event->rect(), palette().color(QPalette::Dark));
    const int n = pageCount();
    if (n == 0)
        return;
    const QSize size = pagePixels();
    const int step = size.height() + Gap;
    const int top = verticalScrollBar()->value();
    const int first = std::clamp((top - Gap) / step + 1, 1, n);
    const int last = std::clamp((top + viewport()->height()) / step + 1, 1, n);
    const QSizeF paper = document_->pageSize();
    for (int page = first; page <= last; ++page) {
        const QRect rect = pageRect(page);
        if (!rect.intersects(event->rect()))
            continue;
        painter.fillRect(rect.translated(3, 3), QColor(0, 0, 0, 60));
        painter.fillRect(rect, Qt::white);
        painter.save();
        painter.setClipRect(rect);
        painter.translate(rect.topLeft());
        painter.scale(size.width() / paper.width(), size.height() / paper.height());
        document_->paintPage(painter, page);
        painter.restore();
        ++painted_;
    }
}

void PageView::resizeEvent(QResizeEvent* event)
{
    const int page = currentPage();
    QAbstractScrollArea::resizeEvent(event);
    relayout();
    if (mode_ != ZoomMode::Factor && page > 0)
        setCurrentPage(page);
}

void PageView::scrollContentsBy(int, int)
{
    viewport()->update();
    notePage();
}

void PageView::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Home:
        setCurrentPage(1);
        return;
    case Qt::Key_End:
        setCurrentPage(pageCount());
        return;
    default:
        break;
    }
    QAbstractScrollArea::keyPressEvent(event);
}

void PageView::wheelEvent(QWheelEvent* event)
{
    if (event->modifiers() & Qt::ControlModifier) {
        setZoomFactor(zoomFactor() * (event->angleDelta().y() > 0 ? 1.25 : 0.8));
        event->accept();
        return;
    }
    QAbstractScrollArea::wheelEvent(event);
}

// ---------------------------------------------------------------------------

ReportPreview::ReportPreview(QWidget* parent) : QWidget(parent)
{
    asker_ = [](QWidget* p, QPrinter& printer, int pages) { return askPrintSettings(p, printer, pages); };

    const auto tool = [this](const char* name, const QString& text, const QString& tip, QStyle::StandardPixmap icon) {
        auto* b = new QToolButton(this);
        b->setObjectName(QString::fromLatin1(name));
        b->setText(text);
        b->setToolTip(tip);
        b->setAccessibleName(tip);
        if (icon != QStyle::SP_CustomBase)
            b->setIcon(style()->standardIcon(icon));
        b->setToolButtonStyle(icon != QStyle::SP_CustomBase ? Qt::ToolButtonIconOnly : Qt::ToolButtonTextOnly);
        return b;
    };
    first_ = tool("cmdFirstPage", QStringLiteral("First"), QStringLiteral("First page"), QStyle::SP_MediaSkipBackward);
    previous_ = tool("cmdPreviousPage", QStringLiteral("Previous"), QStringLiteral("Previous page"),
                     QStyle::SP_MediaSeekBackward);
    page_ = new QSpinBox(this);
    page_->setObjectName(QStringLiteral("txtPage"));
    page_->setAccessibleName(QStringLiteral("Page"));
    page_->setRange(0, 0);
    page_->setKeyboardTracking(false);
    auto* pageLabel = new QLabel(QStringLiteral("&Page"), this);
    pageLabel->setBuddy(page_);
    pageCount_ = new QLabel(this);
    pageCount_->setObjectName(QStringLiteral("lblPageCount"));
    next_ = tool("cmdNextPage", QStringLiteral("Next"), QStringLiteral("Next page"), QStyle::SP_MediaSeekForward);
    last_ = tool("cmdLastPage", QStringLiteral("Last"), QStringLiteral("Last page"), QStyle::SP_MediaSkipForward);
    zoomOut_ = tool("cmdZoomOut", QStringLiteral("\u2212"), QStringLiteral("Zoom out"), QStyle::SP_CustomBase);
    zoom_ = new QComboBox(this);
    zoom_->setObjectName(QStringLiteral("cboZoom"));
    zoom_->setAccessibleName(QStringLiteral("Zoom"));
    for (const auto& choice : ZoomChoices)
        zoom_->addItem(QString::fromLatin1(choice.text));
    auto* zoomLabel = new QLabel(QStringLiteral("&Zoom"), this);
    zoomLabel->setBuddy(zoom_);
    zoomIn_ = tool("cmdZoomIn", QStringLiteral("+"), QStringLiteral("Zoom in"), QStyle::SP_CustomBase);
    print_ = tool("cmdPrintReport", QStringLiteral("P&rint..."), QStringLiteral("Print"), QStyle::SP_CustomBase);
    print_->setToolButtonStyle(Qt::ToolButtonTextOnly);

    view_ = new PageView(this);

    auto* bar = new QHBoxLayout;
    bar->setContentsMargins(0, 0, 0, 0);
    bar->setSpacing(4);
    for (QWidget* w : std::initializer_list<QWidget*>{first_, previous_, pageLabel, page_, pageCount_, next_, last_})
        bar->addWidget(w);
    bar->addSpacing(12);
    for (QWidget* w : std::initializer_list<QWidget*>{zoomOut_, zoomLabel, zoom_, zoomIn_})
        bar->addWidget(w);
    bar->addStretch(1);
    bar->addWidget(print_);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(2);
    layout->addLayout(bar);
    layout->addWidget(view_, 1);

    connect(first_, &QToolButton::clicked, this, [this] { view_->setCurrentPage(1); });
    connect(previous_, &QToolButton::clicked, this, [this] { view_->setCurrentPage(view_->currentPage() - 1); });
    connect(next_, &QToolButton::clicked, this, [this] { view_->setCurrentPage(view_->currentPage() + 1); });
    connect(last_, &QToolButton::clicked, this, [this] { view_->setCurrentPage(view_->pageCount()); });
    connect(page_, &QSpinBox::valueChanged, this, [this](int page) {
        if (page != view_->currentPage())
            view_->setCurrentPage(page);
    });
    connect(zoomOut_, &QToolButton::clicked, this, [this] { view_->setZoomFactor(view_->zoomFactor() / 1.25); });
    connect(zoomIn_, &QToolButton::clicked, this, [this] { view_->setZoomFactor(view_->zoomFactor() * 1.25); });
    connect(zoom_, &QComboBox::activated, this, [this](int index) {
        const auto& choice = ZoomChoices[index];
        if (choice.mode == PageView::ZoomMode::Factor)
            view_->setZoomFactor(choice.factor);
        else
            view_->setZoomMode(choice.mode);
    });
    connect(view_, &PageView::currentPageChanged, this, [this] { refreshControls(); });
    connect(view_, &PageView::zoomChanged, this, [this] { refreshControls(); });
    connect(print_, &QToolButton::clicked, this, &ReportPreview::print);
    refreshControls();
}

void ReportPreview::setDocument(const ReportDocument* document)
{
    view_->setDocument(document);
    refreshControls();
}

void ReportPreview::refreshControls()
{
    const int n = view_->pageCount();
    const int page = view_->currentPage();
    {
        const QSignalBlocker block(page_);
        page_->setRange(n ? 1 : 0, n);
        page_->setValue(page);
    }
    pageCount_->setText(QStringLiteral("of %1").arg(n));
    first_->setEnabled(page > 1);
    previous_->setEnabled(page > 1);
    next_->setEnabled(page < n);
    last_->setEnabled(page < n);
    page_->setEnabled(n > 1);
    print_->setEnabled(n > 0 && view_->document() && view_->document()->isComplete());
    const QSignalBlocker block(zoom_);
    switch (view_->zoomMode()) {
    case PageView::ZoomMode::FitWidth: zoom_->setCurrentIndex(0); break;
    case PageView::ZoomMode::WholePage: zoom_->setCurrentIndex(1); break;
    case PageView::ZoomMode::Factor: {
        const QString text = QStringLiteral("%1%").arg(std::lround(view_->zoomFactor() * 100));
        const int at = zoom_->findText(text);
        if (at >= 0) {
            zoom_->setCurrentIndex(at);
        } else {
            zoom_->setCurrentIndex(-1);
            zoom_->setPlaceholderText(text);
        }
        break;
    }
    }
}

void ReportPreview::print()
{
    const ReportDocument* document = view_->document();
    if (!document || document->pageCount() == 0)
        return;
    auto printer = std::make_shared<QPrinter>(QPrinter::HighResolution);
    printer->setPageLayout(document->pageLayout());
    printer->setFullPage(true);
    printer->setDocName(document->documentTitle().isEmpty() ? title_ : document->documentTitle());
    if (!asker_(this, *printer, document->pageCount()))
        return;
    const QPageSize::PageSizeId chosen = printer->pageLayout().pageSize().id();
    if (paperChooser_ && chosen != document->paperSize() && isReportPaper(chosen)) {
        paperChooser_(chosen, printer);
        return;
    }
    printOn(*printer);
}

void ReportPreview::printOn(QPrinter& printer)
{
    const ReportDocument* document = view_->document();
    if (!document || document->pageCount() == 0)
        return;
    try {
        BusyCursor busy;
        document->render(printer, printer.fromPage(), printer.toPage());
    } catch (const ReportError& error) {
        emit printFailed(QString::fromStdString(error.what()));
    }
}

} // namespace kolva
