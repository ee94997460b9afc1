// The targets a report document goes to: a painter (the preview), a paged
// device (a printer) and a PDF file.
#include "reports/reportdocument.h"

#include "reports/pagepaint.h"
#include "reports/pdfwriter.h"
#include "store/safefile.h"

#include <QPagedPaintDevice>
#include <QPainter>
#include <QPdfWriter>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <exception>
#include <mutex>
#include <thread>

namespace kolva {

using namespace layout;

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
