// The reinspection report of 100,000 trees due (of 200,000) built from a
// database on a PostgreSQL server, as a click on "Print Report" builds it
// with the options window's defaults (all quarters, ratings up to the
// highest, all zones, highest rating first) and sorted by street, on a
// connection of its own as the report's worker opens one. Beside it, in the
// same run, the floor: psql running the same selection, its rows thrown
// away. The server is a throwaway cluster over the local socket.
//
//   bench_reports_server [trees due]     (default: 100000)

#include "bench/measure.h"
#include "bench/pgserver.h"
#include "platform/jobprogress.h"
#include "reports/reinspection.h"
#include "reports/reportdocument.h"
#include "store/bulkload.h"
#include "store/database.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QThread>

#include <cstdio>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr int Runs = 3;
const char* const Streets[] = {"MAIN ST", "ELM ST", "OAK AVE", "PARK DR", "MAPLE AVE", "CHURCH ST", "HIGH ST",
                               "WASHINGTON BLVD", "LINCOLN AVE", "RIVER RD"};
const char* const Species[] = {"ACPL-NORWAY MAPLE", "ACRU-RED MAPLE", "QURU-NORTHERN RED OAK", "GLTR-HONEYLOCUST",
                               "PLAC-LONDON PLANETREE", "TICO-LITTLELEAF LINDEN"};
const char* const Zones[] = {"ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"};
const QDateTime Printed(QDate(2009, 1, 5), QTime(9, 30));

// The trees of bench_reports: due trees are due in 2009, as many again in
// other years.
void generate(Database& db, int due)
{
    Transaction transaction(db);
    BulkRows rows(db, QStringLiteral("_Archived_SurveyData"),
                  QStringList{"Surveyor", "Date_Evaluated", "RiskZone", "StreetNum", "StreetName", "Tree_ID",
                              "Location", "Species", "DBH", "Hazard_Rating", "ReinspectYear", "CorrectiveActions",
                              "Note"});
    for (int i = 0; i < 2 * due; ++i) {
        const QDate evaluated = QDate(2006, 1, 1).addDays(i % 1000);
        rows.add({QStringLiteral("SMITH"), evaluated.toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00:00"),
                  QString::fromLatin1(Zones[i % 5]), QString::number(100 + (i * 7) % 900),
                  QString::fromLatin1(Streets[i % 10]), i + 1, QStringLiteral("FRONT"),
                  QString::fromLatin1(Species[i % 6]), 4 + i % 40, i % 14,
                  i % 2 == 0 ? QStringLiteral("2009") : QStringLiteral("2011"), QStringLiteral("3,9"), QString()});
        if (rows.pending() == 20000)
            rows.write();
    }
    rows.write();
    transaction.commit();
    db.exec(QStringLiteral("VACUUM ANALYZE _Archived_SurveyData"));
}

// psql running the report's selection, its rows to /dev/null.
double psqlFloorMs(const QString& uri, const ReinspectionOptions& options)
{
    const QString order = options.sort == 2 ? QStringLiteral("StreetName, CAST(NULLIF(regexp_replace(StreetNum, "
                                                             "'[^0-9].*$', ''), '') AS INTEGER), StreetNum, ID")
                                            : QStringLiteral("Hazard_Rating DESC, ID");
    const QString sql =
        QStringLiteral("SELECT Tree_ID,RiskZone,StreetNum,StreetName,Location,Species,DBH,"
                       "to_char(Date_Evaluated::timestamp, 'MM/DD/YYYY'),Hazard_Rating FROM _Archived_SurveyData "
                       "WHERE (CASE WHEN trim(ReinspectYear) ~ '^[0-9]{4}$' THEN CAST(trim(ReinspectYear) AS INTEGER) "
                       "END) = %1 AND Hazard_Rating >= %2 AND Hazard_Rating <= %3 ORDER BY %4")
            .arg(options.yearText, options.fromText, options.toText, order);
    QProcess psql;
    QElapsedTimer timer;
    timer.start();
    psql.start(QStringLiteral("psql"), {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-o"),
                                        QStringLiteral("/dev/null"), QStringLiteral("-c"), sql, uri});
    if (!psql.waitForFinished(120000) || psql.exitCode() != 0) {
        std::fprintf(stderr, "psql failed: %s\n", qPrintable(QString::fromLocal8Bit(psql.readAllStandardError())));
        return -1;
    }
    return ms(timer);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int due = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    ServerCluster cluster(QStringLiteral(KOLVA_BENCH_CLUSTER_DIR));
    cluster.admin().exec(QStringLiteral("CREATE DATABASE kolva_reports"));
    const QString uri = cluster.uriOf(QStringLiteral("kolva_reports"));
    ReinspectionOptions options;
    {
        auto db = openKolvaDatabase(uri);
        QElapsedTimer timer;
        timer.start();
        generate(*db, due);
        std::printf("cores: %d\nrecords: %d on the server (generated in %.1f s)\n", QThread::idealThreadCount(),
                    2 * due, timer.elapsed() / 1000.0);
        options = defaultReinspectionOptions(*db, QDate(2009, 6, 1));
    }
    std::printf("reinspection report of %d trees due in %s, ratings %s to %s, all zones\n", due,
                qPrintable(options.yearText), qPrintable(options.fromText), qPrintable(options.toText));
    for (const int sort : {3, 2}) {
        options.sort = sort;
        std::vector<double> builds, floors;
        int pages = 0;
        long long rows = 0;
        for (int run = 0; run < Runs; ++run) {
            floors.push_back(psqlFloorMs(uri, options));
            NullProgress quiet;
            ReportDocument document;
            document.SetOrientation(ReportDocument::Landscape);
            QElapsedTimer timer;
            timer.start();
            {
                const std::unique_ptr<Database> db = Database::open(uri);
                buildReinspectionReport(document, *db, options, Printed, quiet);
            }
            builds.push_back(ms(timer));
            pages = document.pageCount();
            rows = static_cast<long long>(document.tableRowCount());
        }
        const double build = median(builds);
        std::printf(" %s: %d pages, %lld rows\n", sort == 3 ? "highest rating first (the default)" : "by street", pages,
                    rows);
        std::printf("  build (own connection, select, lay out): median %.0f ms of %d - limit 2000 ms: %s\n", build,
                    Runs, build <= 2000 ? "met" : "NOT MET");
        std::printf("    floor: psql, the same selection:        median %.0f ms\n", median(floors));
        std::fflush(stdout);
    }
    return 0;
}
