// Times the reinspection report over generated trees as a click on "Print
// Report" makes it (the options window's defaults: all quarters, ratings up
// to the highest, all zones, highest rating first), on a connection of its
// own as the report's worker opens one: the build, the PDF, the memory the
// report holds, how soon Cancel stops the build and the PDF, and the
// preview's first page. Side by side: the sqlite3 shell running the same
// selection (the floor of the build), Qt's PDF writer painting the same pages
// (what the PDF would take through it) and Qt's print preview, which paints
// every page before it shows one. Then a tree whose street name is one
// unbroken word of 64 KiB and of 1 MiB.
//
//   bench_reports [trees ...]     (default: 10000 100000)

#include "platform/progress.h"
#include "reports/reinspection.h"
#include "reports/reportdocument.h"
#include "reports/reportpreview.h"
#include "store/database.h"
#include "bench/measure.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QPdfWriter>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <malloc.h>

#include <atomic>
#include <cstdio>
#include <ctime>
#include <functional>
#include <mutex>
#include <vector>
#include <thread>

using namespace kolva;
using kolva::bench::cpuMs;
using kolva::bench::median;
using kolva::bench::ms;
using kolva::bench::residentMiB;

namespace {

const char* const Streets[] = {"MAIN ST", "ELM ST", "OAK AVE", "PARK DR", "MAPLE AVE", "CHURCH ST", "HIGH ST",
                               "WASHINGTON BLVD", "LINCOLN AVE", "RIVER RD"};
const char* const Species[] = {"ACPL-NORWAY MAPLE", "ACRU-RED MAPLE", "QURU-NORTHERN RED OAK", "GLTR-HONEYLOCUST",
                               "PLAC-LONDON PLANETREE", "TICO-LITTLELEAF LINDEN"};
const char* const Zones[] = {"ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"};
const QDateTime Printed(QDate(2009, 1, 5), QTime(9, 30));

// due trees are due in 2009; as many again are due in other years.
void generate(Database& db, int due)
{
    Transaction t(db);
    QSqlQuery insert = db.prepare(QStringLiteral(
        "INSERT INTO _Archived_SurveyData (Surveyor, Date_Evaluated, RiskZone, StreetNum, StreetName, Tree_ID, "
        "Location, Species, DBH, Hazard_Rating, ReinspectYear, CorrectiveActions, Note) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    for (int i = 0; i < 2 * due; ++i) {
        const QDate evaluated = QDate(2006, 1, 1).addDays(i % 1000);
        insert.bindValue(0, QStringLiteral("SMITH"));
        insert.bindValue(1, evaluated.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00:00"));
        insert.bindValue(2, QString::fromLatin1(Zones[i % 5]));
        insert.bindValue(3, QString::number(100 + (i * 7) % 900));
        insert.bindValue(4, QString::fromLatin1(Streets[i % 10]));
        insert.bindValue(5, i + 1);
        insert.bindValue(6, QStringLiteral("FRONT"));
        insert.bindValue(7, QString::fromLatin1(Species[i % 6]));
        insert.bindValue(8, 4 + i % 40);
        insert.bindValue(9, i % 14);
        insert.bindValue(10, i % 2 == 0 ? QStringLiteral("2009") : QStringLiteral("2011"));
        insert.bindValue(11, QStringLiteral("3,9"));
        insert.bindValue(12, QString());
        Database::run(insert);
    }
    insert.finish();
    t.commit();
}

// A progress the benchmark cancels from outside, as the Cancel button does:
// only while the job offers it.
class Canceller : public Progress {
public:
    void beginStage(const QString&, qint64) override {}
    void advance(qint64) override {}
    void setCancellable(bool cancellable) override
    {
        std::lock_guard lock(mutex);
        offered = cancellable;
    }
    bool cancelRequested() const override { return cancel; }
    bool requestIfOffered()
    {
        std::lock_guard lock(mutex);
        if (offered)
            cancel = true;
        return offered;
    }
    std::mutex mutex;
    bool offered = false;
    std::atomic<bool> cancel{false};
};

// Runs work on a thread, asks it to stop after afterMs, and gives the time
// from the request to its end (-1: it ended before the request, or Cancel
// was not offered then).
double cancelLatency(const std::function<void(Progress&)>& work, int afterMs)
{
    Canceller progress;
    std::atomic<bool> ended{false};
    std::thread worker([&] {
        try {
            work(progress);
        } catch (const ReportCancelled&) {
            // The stop measured: the work ends here as asked.
        }
        ended = true;
    });
    QThread::msleep(afterMs);
    if (ended) {
        worker.join();
        return -1;
    }
    QElapsedTimer timer;
    timer.start();
    const bool offered = progress.requestIfOffered();
    worker.join();
    return offered ? ms(timer) : -1;
}

// The report as the click makes it.
void build(ReportDocument& document, const QString& path, const ReinspectionOptions& options, Progress& progress)
{
    const std::unique_ptr<Database> db = Database::open(path);
    buildReinspectionReport(document, *db, options, Printed, progress);
}

// The sqlite3 shell running the report's selection, printing the rows to
// /dev/null: the floor of the build.
double sqliteFloorMs(const QString& path, const ReinspectionOptions& options)
{
    const QString order = options.sort == 2 ? QStringLiteral("+StreetName, CAST(StreetNum AS INTEGER), StreetNum, +ID")
                                            : QStringLiteral("+Hazard_Rating DESC, +ID");
    const QString sql =
        QStringLiteral(".output /dev/null\n"
                       "SELECT Tree_ID,RiskZone,StreetNum,StreetName,Location,Species,DBH,"
                       "strftime('%m/%d/%Y',Date_Evaluated),Hazard_Rating FROM _Archived_SurveyData WHERE 1 = 1 AND "
                       "(CASE WHEN trim(ReinspectYear) GLOB '[0-9][0-9][0-9][0-9]' THEN CAST(trim(ReinspectYear) AS "
                       "INTEGER) END) = %1 AND CAST(substr(Date_Evaluated,6,2) AS INTEGER) BETWEEN 1 AND 12 "
                       "AND (+Hazard_Rating >= %2 AND +Hazard_Rating <= %3) ORDER BY %4;\n")
            .arg(options.yearText, options.fromText, options.toText, order);
    double best = -1;
    for (int run = 0; run < 3; ++run) {
        QProcess shell;
        QElapsedTimer timer;
        timer.start();
        shell.start(QStringLiteral("sqlite3"), {path});
        shell.write(sql.toUtf8());
        shell.closeWriteChannel();
        if (!shell.waitForFinished(120000) || shell.exitCode() != 0)
            return -1;
        const double t = ms(timer);
        best = best < 0 ? t : std::min(best, t);
    }
    return best;
}

// Qt's PDF writer painting the same pages.
double qtPdfMs(const ReportDocument& document, const QString& path)
{
    QElapsedTimer timer;
    timer.start();
    {
        QPdfWriter writer(path);
        writer.setResolution(int(ReportDocument::Dpi));
        writer.setPageLayout(document.pageLayout());
        document.render(writer);
    }
    return ms(timer);
}

// Qt's print preview: time until it can show anything (it records every page
// first).
void qtPreview(const ReportDocument& document)
{
    QPrinter printer(QPrinter::HighResolution);
    printer.setPageLayout(document.pageLayout());
    printer.setFullPage(true);
    QPrintPreviewWidget preview(&printer);
    QObject::connect(&preview, &QPrintPreviewWidget::paintRequested,
                     [&document](QPrinter* p) { document.render(*p); });
    preview.resize(800, 600);
    QElapsedTimer timer;
    timer.start();
    preview.show();
    preview.updatePreview();
    QCoreApplication::processEvents();
    std::printf("  Qt's print preview, first page (all %d pages recorded first): %8.0f ms\n", preview.pageCount(),
                ms(timer));
}

void run(int due)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KOLVA.MDB"));
    createKolvaDatabase(path);
    {
        auto db = openKolvaDatabase(path);
        generate(*db, due);
    }
    ReinspectionOptions options;
    {
        auto db = openKolvaDatabase(path);
        options = defaultReinspectionOptions(*db, QDate(2009, 6, 1)); // 2009, ratings 0 to 13
    }
    std::printf("\nreinspection report of %d trees due in %s (of %d), ratings %s to %s, all zones\n", due,
                qPrintable(options.yearText), 2 * due, qPrintable(options.fromText), qPrintable(options.toText));

    for (const int sort : {3, 2}) {
        options.sort = sort;
        NullProgress quiet;
        auto document = std::make_unique<ReportDocument>();
        document->SetOrientation(ReportDocument::Landscape);
        QElapsedTimer timer;
        timer.start();
        double cpu = cpuMs();
        build(*document, path, options, quiet);
        const double buildMs = ms(timer), buildCpu = cpuMs() - cpu;
        std::printf(" %s: %d pages, %lld rows\n", sort == 3 ? "highest rating first (the default)" : "by street",
                    document->pageCount(), static_cast<long long>(document->tableRowCount()));
        std::printf("  build (own connection, select, lay out):        %8.0f ms (processor %.0f ms)   limit 1500 ms\n",
                    buildMs, buildCpu);
        std::printf("    floor: sqlite3 shell, the same selection:      %8.0f ms\n", sqliteFloorMs(path, options));

        const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
        timer.restart();
        cpu = cpuMs();
        document->SaveAsPdf(pdf);
        std::printf("  save as PDF (%.1f MB):                         %8.0f ms (processor %.0f ms)   limit 3000 ms\n",
                    double(QFileInfo(pdf).size()) / 1e6, ms(timer), cpuMs() - cpu);

        // What the document holds: the memory given back when it goes.
        const qint64 rows = document->tableRowCount();
        const double with = residentMiB();
        document.reset();
        const double held = with - residentMiB();
        std::printf("  memory the report holds:                        %8.1f MiB (%.0f bytes a row)\n", held,
                    held * 1024 * 1024 / std::max<qint64>(1, rows));
        if (sort != 3)
            continue;
        document = std::make_unique<ReportDocument>();
        document->SetOrientation(ReportDocument::Landscape);
        build(*document, path, options, quiet);
        {
            const ReportDocument& doc = *document;
            const QString qtPdf = dir.filePath(QStringLiteral("qt.pdf"));
            const double qtMs = qtPdfMs(doc, qtPdf);
            std::printf("    Qt's PDF writer, the same pages (%.1f MB):    %8.0f ms\n",
                        double(QFileInfo(qtPdf).size()) / 1e6, qtMs);

            double worstBuild = 0, worstPdf = 0;
            for (const int after : {150, 400, 700}) {
                worstBuild = std::max(worstBuild, cancelLatency(
                                                      [&](Progress& p) {
                                                          ReportDocument d;
                                                          build(d, path, options, p);
                                                      },
                                                      after));
            }
            // The PDF at ten points of its writing, each twice.
            std::vector<double> pdfWaits;
            for (int round = 0; round < 2; ++round) {
                for (int after = 50; after <= 1400; after += 150) {
                    const double wait = cancelLatency([&](Progress& p) { doc.SaveAsPdf(pdf, &p); }, after);
                    if (wait >= 0)
                        pdfWaits.push_back(wait);
                }
            }
            for (const double wait : pdfWaits)
                worstPdf = std::max(worstPdf, wait);
            std::printf("  Cancel of the PDF, %zu times while offered: median %.0f ms, longest %.0f ms\n",
                        pdfWaits.size(), median(pdfWaits), worstPdf);
            // A selection that finds nothing reads the whole table in one step.
            ReinspectionOptions none = options;
            none.yearText = QStringLiteral("2030");
            for (const int after : {30, 100})
                worstBuild = std::max(worstBuild, cancelLatency(
                                                      [&](Progress& p) {
                                                          ReportDocument d;
                                                          build(d, path, none, p);
                                                      },
                                                      after));
            std::printf("  Cancel, longest wait until stopped: build %.0f ms, PDF %.0f ms   limit 200 ms\n",
                        worstBuild, worstPdf);

            ReportPreview preview;
            preview.resize(800, 600);
            timer.restart();
            preview.setDocument(&doc);
            preview.show();
            QCoreApplication::processEvents();
            preview.view()->viewport()->repaint();
            std::printf("  KOLVA preview, first page (%d page(s) painted):  %8.0f ms\n",
                        preview.view()->pagesPainted(), ms(timer));
            timer.restart();
            preview.view()->setCurrentPage(doc.pageCount());
            preview.view()->viewport()->repaint();
            std::printf("  KOLVA preview, jump to the last page:           %8.0f ms\n", ms(timer));
            qtPreview(doc);
        }
    }
}

// A tree whose street name is one word of that many characters.
void longWord(int characters)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KOLVA.MDB"));
    createKolvaDatabase(path);
    {
        auto db = openKolvaDatabase(path);
        db->exec(QStringLiteral("INSERT INTO _Archived_SurveyData (Date_Evaluated, RiskZone, StreetNum, StreetName, "
                                "Tree_ID, Hazard_Rating, ReinspectYear) VALUES ('2007-04-03 10:00:00', 'PARKS', '1', "
                                "?, 1, 5, '2009')"),
                 {QString(characters, QLatin1Char('W'))});
    }
    ReinspectionOptions options;
    options.yearText = QStringLiteral("2009");
    ReportDocument document;
    NullProgress quiet;
    QElapsedTimer timer;
    timer.start();
    build(document, path, options, quiet);
    std::printf("  street name of one word of %4d KiB: build %6.0f ms, %d pages\n", characters / 1024, ms(timer),
                document.pageCount());
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    std::printf("cores: %d\n", QThread::idealThreadCount());
    QList<int> sizes;
    for (int i = 1; i < argc; ++i)
        sizes.append(QString::fromLocal8Bit(argv[i]).toInt());
    if (sizes.isEmpty())
        sizes = {10000, 100000};
    for (int due : sizes)
        run(due);
    std::printf("\nlong words:\n");
    longWord(64 * 1024);
    longWord(1024 * 1024);
    return 0;
}
