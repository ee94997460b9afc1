// Times the reinspection report over generated trees: building the
// document, saving it as PDF, the preview's first page, and for comparison
// Qt's own print preview, which paints every page before it shows one.
//
//   bench_reports [trees ...]     (default: 10000 100000)

#include "reports/reinspection.h"
#include "reports/reportdocument.h"
#include "reports/reportpreview.h"
#include "store/database.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPrintPreviewWidget>
#include <QPrinter>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace kolva;

namespace {

const char* const Streets[] = {"MAIN ST", "ELM ST", "OAK AVE", "PARK DR", "MAPLE AVE", "CHURCH ST", "HIGH ST",
                               "WASHINGTON BLVD", "LINCOLN AVE", "RIVER RD"};
const char* const Species[] = {"ACPL-NORWAY MAPLE", "ACRU-RED MAPLE", "QURU-NORTHERN RED OAK", "GLTR-HONEYLOCUST",
                               "PLAC-LONDON PLANETREE", "TICO-LITTLELEAF LINDEN"};
const char* const Zones[] = {"ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"};

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
        insert.bindValue(9, i % 13);
        insert.bindValue(10, i % 2 == 0 ? QStringLiteral("2009") : QStringLiteral("2011"));
        insert.bindValue(11, QStringLiteral("3,9"));
        insert.bindValue(12, QString());
        Database::run(insert);
    }
    insert.finish();
    t.commit();
}

double ms(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Qt's print preview: time until it can show anything for a document of
// that many pages (it records every page first).
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
    std::printf("  QPrintPreviewWidget first page (%d pages recorded first): %8.0f ms\n", preview.pageCount(),
                ms(timer));
}

void run(int due)
{
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("KOLVA.MDB"));
    createKolvaDatabase(path);
    auto db = openKolvaDatabase(path);
    generate(*db, due);

    ReinspectionOptions options;
    options.yearText = QStringLiteral("2009");
    options.sort = 2;

    QElapsedTimer timer;
    timer.start();
    std::vector<QStringList> rows = selectReinspectionTrees(*db, options);
    const double selectMs = ms(timer);
    const size_t count = rows.size();
    ReportDocument document;
    composeReinspectionReport(document, options, std::move(rows), QDateTime::currentDateTime());
    const double buildMs = ms(timer);
    std::printf("reinspection report, %zu due trees of %d, %d landscape pages\n", count, 2 * due,
                document.pageCount());
    std::printf("  build (select %.0f ms + lay out):                  %8.0f ms\n", selectMs, buildMs);

    timer.restart();
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    document.SaveAsPdf(pdf);
    std::printf("  save as PDF (%.1f MB):                           %8.0f ms\n",
                double(QFileInfo(pdf).size()) / 1e6, ms(timer));

    {
        ReportPreview preview;
        preview.resize(800, 600);
        timer.restart();
        preview.setDocument(&document);
        preview.show();
        QCoreApplication::processEvents();
        preview.view()->viewport()->repaint();
        std::printf("  KOLVA preview first page (%d page(s) painted):     %8.0f ms\n",
                    preview.view()->pagesPainted(), ms(timer));
        timer.restart();
        preview.view()->setCurrentPage(document.pageCount());
        preview.view()->viewport()->repaint();
        std::printf("  KOLVA preview jump to the last page:              %8.0f ms\n", ms(timer));
    }
    qtPreview(document);
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
    return 0;
}
