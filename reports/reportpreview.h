#pragma once
// The preview of a report document: its pages one below the other in a
// scrolling view, with zoom, paging and printing. Only the pages in sight are
// painted, when they come into sight, so that the first page of a long report
// shows at once.

#include <QAbstractScrollArea>
#include <QPageSize>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPrinter;
class QSpinBox;
class QToolButton;

namespace kolva {

class ReportDocument;

class PageView : public QAbstractScrollArea {
    Q_OBJECT
public:
    enum class ZoomMode { FitWidth, WholePage, Factor };

    explicit PageView(QWidget* parent = nullptr);

    // The document shown, or nothing. The view does not own it; call
    // setDocument again when the document has changed.
    void setDocument(const ReportDocument* document);
    const ReportDocument* document() const { return document_; }
    int pageCount() const;

    // The page most in sight, from 1; 0 without pages.
    int currentPage() const;
    void setCurrentPage(int page);

    ZoomMode zoomMode() const { return mode_; }
    // 1.0 shows the paper at its real size.
    double zoomFactor() const;
    void setZoomMode(ZoomMode mode);
    void setZoomFactor(double factor);

    // How many times a page has been painted since the document was set.
    int pagesPainted() const { return painted_; }
    // The rectangle of a page in the viewport's coordinates.
    QRect pageRect(int page) const;

signals:
    void currentPageChanged(int page);
    void zoomChanged();

protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void keyPressEvent(QKeyEvent* event) override;
    void wheelEvent(QWheelEvent* event) override;

private:
    QSize pagePixels() const;
    void relayout();
    void notePage();

    const ReportDocument* document_ = nullptr;
    ZoomMode mode_ = ZoomMode::FitWidth;
    double factor_ = 1.0;
    int painted_ = 0;
    int lastPage_ = -1;
    int requested_ = 0;    // the page last asked for
    int requestedAt_ = -1; // the scroll position it was asked for at
};

// The preview with its tool bar: first, previous, page number, next, last,
// zoom out, zoom, zoom in, print.
class ReportPreview : public QWidget {
    Q_OBJECT
public:
    // Asks the user how to print (the print dialog); true to print.
    using PrintAsker = std::function<bool(QWidget* parent, QPrinter& printer, int pageCount)>;

    explicit ReportPreview(QWidget* parent = nullptr);

    void setDocument(const ReportDocument* document);
    PageView* view() const { return view_; }
    // Replaces the print dialog (tests print to a file this way).
    void setPrintAsker(PrintAsker asker) { asker_ = std::move(asker); }
    // Called instead of printing when the user chose in the print dialog
    // another paper the report can be laid out on (Letter, A4) than the
    // document's: the report is to be laid out again on it, then printed
    // on the printer as chosen. Without it, the pages print on the paper
    // chosen as they are laid out.
    using PaperChooser = std::function<void(QPageSize::PageSizeId paper, std::shared_ptr<QPrinter> printer)>;
    void setPaperChooser(PaperChooser chooser) { paperChooser_ = std::move(chooser); }
    // Prints the document after asking the user; the document title names
    // the print job.
    void print();
    // Prints the document on a printer the user has set up already (the
    // pages chosen there).
    void printOn(QPrinter& printer);
    void setDocumentTitle(const QString& title) { title_ = title; }

signals:
    // Printing failed; the text tells why.
    void printFailed(const QString& why);

private:
    void refreshControls();

    PageView* view_ = nullptr;
    QToolButton* first_ = nullptr;
    QToolButton* previous_ = nullptr;
    QSpinBox* page_ = nullptr;
    QLabel* pageCount_ = nullptr;
    QToolButton* next_ = nullptr;
    QToolButton* last_ = nullptr;
    QToolButton* zoomOut_ = nullptr;
    QComboBox* zoom_ = nullptr;
    QToolButton* zoomIn_ = nullptr;
    QToolButton* print_ = nullptr;
    PrintAsker asker_;
    PaperChooser paperChooser_;
    QString title_;
};

} // namespace kolva
