// Times "Create File" of the GIS export over generated trees, as it runs in
// the program (on a connection of its own, as the worker opens one), side by
// side with the floor of public tools doing the same work: ogr2ogr
// converting the same rows from the CSV export's file into the same format,
// placed by the Latitude and Longitude columns in EPSG:4326. Both files are
// whole when timed; ours is synced to the disk before it takes its name,
// ogr2ogr's is not.
//
//   bench_gis [TREES:FORMAT ...]   (default: 100000:gpkg 1000000:geojson)

#include "costing/csvexport.h"
#include "gis/gisexport.h"
#include "platform/progress.h"
#include "store/database.h"
#include "store/kolvadb.h"
#include "bench/measure.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <vector>

using namespace kolva;
using kolva::bench::cpuMs;
using kolva::bench::median;
using kolva::bench::ms;

namespace {

const char* const Streets[] = {"MAIN ST", "ELM ST", "OAK AVE", "PARK DR", "MAPLE AVE", "CHURCH ST", "HIGH ST",
                               "WASHINGTON BLVD", "LINCOLN AVE", "RIVER RD"};
const char* const Species[] = {"ACPL-NORWAY MAPLE", "ACRU-RED MAPLE", "QURU-NORTHERN RED OAK", "GLTR-HONEYLOCUST",
                               "PLAC-LONDON PLANETREE", "TICO-LITTLELEAF LINDEN"};
const char* const Zones[] = {"ARTERIAL ROADS", "DOWNTOWN", "PARKS", "RESIDENTIAL", "SCHOOL ZONES"};
const char* const Actions[] = {"3", "3,9", "1,5,7", "", "5", "2,4,6,8,10", "11", "9,3"};
const DatePeriod Year2007{QDate(2007, 1, 1), QDate(2007, 12, 31)};

// n trees evaluated in 2007, every column filled as the handheld fills it,
// each with a position.
void generate(Database& db, int n)
{
    Transaction t(db);
    QSqlQuery insert = db.prepare(QStringLiteral(
        "INSERT INTO _Archived_SurveyData (Surveyor, Date_Evaluated, RiskZone, StreetNum, StreetName, Tree_ID, "
        "Location, Species, DBH, Site, Obstructions_Physical, Obstructions_Visual, Crown_Canker, Crown_Crack, "
        "Crown_Deadwood, Crown_Decay, Crown_Arch_1, Crown_Arch_2, Crown_Arch_3, WeakUnion, Trunk_Canker, "
        "Trunk_Crack, Trunk_Decay, TrunkDecay_Shell, TrunkDecay_Diam, TrunkDecay_Pct, Trunk_Arch_1, Trunk_Arch_2, "
        "Roots_Deep, Roots_Injury, Roots_Decay, Roots_Arch1, Roots_Arch2, Size_Defect, Prob_Failure, "
        "Prob_TargetImpact, OtherRisk, Hazard_Rating, Desc_OtherRisk, ReinspectYear, CorrectiveActions, Note, "
        "Date_Added, Utility_Conflict, Latitude, Longitude) "
        "VALUES (?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"));
    const QString coded[] = {QStringLiteral("0. None"), QStringLiteral("1. Fungal"), QStringLiteral("2. Minor"),
                             QStringLiteral("3. Major")};
    for (int i = 0; i < n; ++i) {
        int c = 0;
        const auto bind = [&](const QVariant& v) { insert.bindValue(c++, v); };
        bind(QStringLiteral("SMITH"));
        bind(QDate(2007, 1, 1).addDays(i % 365).toString(QStringLiteral("yyyy-MM-dd")) + QStringLiteral(" 10:00:00"));
        bind(QString::fromLatin1(Zones[i % 5]));
        bind(QString::number(100 + (i * 7) % 900));
        bind(QString::fromLatin1(Streets[i % 10]));
        bind(i + 1);
        bind(QStringLiteral("FRONT"));
        bind(QString::fromLatin1(Species[i % 6]));
        bind(4 + i % 40);
        for (int k = 0; k < 14; ++k) // Site .. Trunk_Decay
            bind(coded[(i + k) % 4]);
        bind(i % 5);
        bind(i % 9);
        bind(i % 100);
        for (int k = 0; k < 11; ++k) // Trunk_Arch_1 .. OtherRisk
            bind(coded[(i + k) % 4]);
        bind(i % 14);
        bind(i % 3 == 0 ? QStringLiteral("Leaning, \"hollow\"") : QString());
        bind(QStringLiteral("2009"));
        bind(QString::fromLatin1(Actions[i % 8]));
        bind(i % 7 == 0 ? QVariant() : QVariant(QStringLiteral("Check again after the storm, near the wires")));
        bind(QStringLiteral("2008-01-02 09:00:00"));
        bind(QStringLiteral("N"));
        bind(44.0 + (i % 100000) / 1000000.0);
        bind(-71.0 - (i / 100000) / 1000.0 - (i % 997) / 1000000.0);
        Database::run(insert);
    }
    insert.finish();
    t.commit();
}

// ogr2ogr converting the CSV export's file into `out`; its time, -1 on failure.
double ogr2ogrMs(const QString& csv, const QString& out, const QString& driver)
{
    QFile::remove(out);
    QProcess process;
    QElapsedTimer timer;
    timer.start();
    QStringList arguments{QStringLiteral("-f"), driver, out, csv, QStringLiteral("-a_srs"), QStringLiteral("EPSG:4326"),
                          QStringLiteral("-oo"), QStringLiteral("X_POSSIBLE_NAMES=Longitude"), QStringLiteral("-oo"),
                          QStringLiteral("Y_POSSIBLE_NAMES=Latitude"), QStringLiteral("-oo"),
                          QStringLiteral("AUTODETECT_TYPE=YES"), QStringLiteral("-nln"), QStringLiteral("trees")};
    if (driver == QLatin1String("GeoJSON"))
        arguments << QStringLiteral("-lco") << QStringLiteral("RFC7946=YES");
    process.start(QStringLiteral("ogr2ogr"), arguments);
    if (!process.waitForFinished(-1) || process.exitCode() != 0) {
        std::fprintf(stderr, "ogr2ogr: %s\n", process.readAllStandardError().constData());
        return -1;
    }
    return ms(timer);
}

void benchOne(int n, const QString& suffix)
{
    QTemporaryDir work;
    kolva::bench::keepWhenAsked(work);
    const QString path = work.filePath(QStringLiteral("KOLVA.MDB"));
    QElapsedTimer made;
    made.start();
    createKolvaDatabase(path);
    {
        const std::unique_ptr<Database> db = Database::open(path);
        generate(*db, n);
    }
    std::printf("%d trees generated in %.1f s\n", n, ms(made) / 1000);
    const QString csv = work.filePath(QStringLiteral("trees.csv"));
    {
        const std::unique_ptr<Database> db = Database::open(path);
        NullProgress progress;
        exportSurveyCsv(*db, {Year2007, csv}, progress);
    }
    const QString driver = suffix == QLatin1String("gpkg") ? QStringLiteral("GPKG") : QStringLiteral("GeoJSON");
    const QString ours = work.filePath(QStringLiteral("ours.") + suffix);
    const QString theirs = work.filePath(QStringLiteral("ogr2ogr.") + suffix);
    std::vector<double> times, cpus, floors;
    qint64 records = 0;
    for (int run = 0; run < 5; ++run) {
        NullProgress progress;
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        {
            const std::unique_ptr<Database> db = Database::open(path);
            records = exportSurveyGis(*db, {Year2007, ours}, progress).records;
        }
        times.push_back(ms(timer));
        cpus.push_back(cpuMs() - cpu);
        floors.push_back(ogr2ogrMs(csv, theirs, driver));
    }
    const double t = median(times), f = median(floors);
    std::printf("%d trees to .%s: export %.2f s (processor %.2f s), %.1f MB; floor ogr2ogr from the CSV %.2f s, "
                "%.1f MB; export / floor %.2f\n",
                n, qPrintable(suffix), t / 1000, median(cpus) / 1000, QFileInfo(ours).size() / 1e6, f / 1000,
                QFileInfo(theirs).size() / 1e6, f > 0 ? t / f : 0);
    if (records != n)
        std::printf("  (wrote %lld features of %d)\n", records, n);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QStringList runs = app.arguments().mid(1);
    if (runs.isEmpty())
        runs = {QStringLiteral("100000:gpkg"), QStringLiteral("1000000:geojson")};
    QProcess uptime;
    uptime.start(QStringLiteral("uptime"), {});
    uptime.waitForFinished();
    std::printf("cores: %d; %s", QThread::idealThreadCount(), uptime.readAllStandardOutput().constData());
    for (const QString& run : runs)
        benchOne(run.section(QLatin1Char(':'), 0, 0).toInt(), run.section(QLatin1Char(':'), 1, 1));
    return 0;
}
