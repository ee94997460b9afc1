// Times the two clicks of the costing windows over generated trees, as they
// run in the program (on a connection of their own, as the worker opens one):
//
// - "Create File" of the CSV export: every tree of the period, 44 items a
//   line; side by side with the sqlite3 shell writing the same 44 columns of
//   the same rows with -csv (the floor of public tools). The export's file is
//   synced to the disk before it replaces the target; the shell's is not.
// - "Print Report" of the cost summary with the options window's defaults
//   (all actions, ratings 0 to the highest, sorted by cost), every tree in
//   the period, 11 actions of 6 DBH ranges each: the build (pricing, the work
//   table, the sorted listing, the pages), the PDF, and the memory the build
//   takes and the document holds; side by side with the sqlite3 shell
//   pricing the same trees in SQL into a table of the database and listing
//   them sorted (the floor), five times one after the other. Also when the
//   steps "Counting the trees" and "Pricing the trees" (with the count) were
//   shown.
//
//   bench_costing [trees ...] [--keep folder] [--reuse]   (default: 10000 100000)
//
// --keep makes the databases in folder and leaves them there; --reuse takes
// a database of the same number of trees found there instead of generating
// it again (a million trees take minutes to generate).

#include "costing/costmatrix.h"
#include "costing/costsummary.h"
#include "costing/costtable.h"
#include "costing/csvexport.h"
#include "platform/progress.h"
#include "reports/reportdata.h"
#include "reports/reportdocument.h"
#include "store/database.h"
#include "bench/measure.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <malloc.h>
#include <sys/resource.h>

#include <algorithm>
#include <cstdio>
#include <ctime>
#include <vector>

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
const char* const Actions[] = {"3", "3,9", "1,5,7", "", "5", "2,4,6,8,10", "11", "9,3"};
const QDateTime Printed(QDate(2008, 1, 5), QTime(9, 30));
const DatePeriod Year2007{QDate(2007, 1, 1), QDate(2007, 12, 31)};

// n trees evaluated in 2007 with every column filled as the handheld fills
// it; 11 actions of 6 ranges each.
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
        bind(i % 4 == 0 ? QVariant() : QVariant(44.0 + (i % 1000) / 10000.0));
        bind(i % 4 == 0 ? QVariant() : QVariant(-71.0 - (i % 1000) / 10000.0));
        Database::run(insert);
    }
    insert.finish();
    for (int action = 1; action <= 11; ++action) {
        for (int r = 0; r < 6; ++r)
            addCostRange(db, action, r * 8, r * 8 + 8, 100 * action + 25 * r);
    }
    t.commit();
}

// The highest resident memory of the process so far, in MiB.
double peakMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ').value(0).toDouble() / 1024.0;
    }
    return 0;
}

// Starts a new high-water mark of the resident memory.
void resetPeak()
{
    QFile clear(QStringLiteral("/proc/self/clear_refs"));
    if (clear.open(QIODevice::WriteOnly))
        clear.write("5");
}

double best(const std::vector<double>& v)
{
    return v.empty() ? 0 : *std::min_element(v.begin(), v.end());
}

// Processor time of the finished child processes, in ms.
double childCpuMs()
{
    rusage usage{};
    getrusage(RUSAGE_CHILDREN, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3
           + double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

// The sqlite3 shell running a script on the database; its time, -1 on
// failure; its processor time in *cpu.
double sqliteShellMs(const QString& path, const QString& script, const QStringList& options = {}, double* cpu = nullptr)
{
    const double cpuBefore = childCpuMs();
    QProcess shell;
    QElapsedTimer timer;
    timer.start();
    shell.start(QStringLiteral("sqlite3"), QStringList(options) << path);
    shell.write(script.toUtf8());
    shell.closeWriteChannel();
    if (!shell.waitForFinished(300000) || shell.exitCode() != 0) {
        std::fprintf(stderr, "sqlite3: %s\n", shell.readAllStandardError().constData());
        return -1;
    }
    if (cpu)
        *cpu = childCpuMs() - cpuBefore;
    return ms(timer);
}

// The same 44 columns of the same rows, written by the sqlite3 shell's CSV mode.
QString sqliteCsvScript(const QString& out)
{
    return QStringLiteral(
               ".output %1\n"
               "SELECT Surveyor AS \"Surveyor\", strftime('%m/%d/%Y', Date_Evaluated) AS \"Date\", RiskZone AS \"Risk Zone\", "
               "StreetNum AS \"Street #\", StreetName AS \"Street Name\", coalesce(nullif(Latitude, ''), ' ') AS "
               "\"Latitude\", coalesce(nullif(Longitude, ''), ' ') AS \"Longitude\", Tree_ID, Location, Species, DBH, "
               "Site, Obstructions_Visual, Obstructions_Physical, Crown_Canker, Crown_Crack, Crown_Deadwood, "
               "Crown_Decay, Crown_Arch_1, Crown_Arch_2, Crown_Arch_3, WeakUnion, Trunk_Canker, Trunk_Crack, "
               "Trunk_Decay, TrunkDecay_Shell, TrunkDecay_Diam, TrunkDecay_Pct, Trunk_Arch_1, Trunk_Arch_2, "
               "Roots_Deep, Roots_Injury, Roots_Decay, Roots_Arch1, Roots_Arch2, Size_Defect, Prob_Failure, "
               "Prob_TargetImpact, OtherRisk, Hazard_Rating, Desc_OtherRisk, ReinspectYear, CorrectiveActions, Note "
               "FROM _Archived_SurveyData NOT INDEXED WHERE Date_Evaluated BETWEEN '2007-01-01 00:00:00' AND "
               "'2007-12-31 23:59:59' ORDER BY ID;\n")
        .arg(out);
}

void benchCsv(const QString& path, const QString& dir, int n)
{
    const QString ours = QDir(dir).filePath(QStringLiteral("ours.csv"));
    const QString theirs = QDir(dir).filePath(QStringLiteral("sqlite3.csv"));
    std::vector<double> times, cpus, floors, floorCpus;
    qint64 records = 0;
    for (int run = 0; run < 5; ++run) {
        NullProgress progress;
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        {
            const std::unique_ptr<Database> db = Database::open(path);
            records = exportSurveyCsv(*db, {Year2007, ours}, progress).records;
        }
        times.push_back(ms(timer));
        cpus.push_back(cpuMs() - cpu);
        double floorCpu = 0;
        floors.push_back(sqliteShellMs(path, sqliteCsvScript(theirs), {QStringLiteral("-csv"), QStringLiteral("-header")},
                                       &floorCpu));
        floorCpus.push_back(floorCpu);
    }
    std::printf("\nCSV export of %lld trees (of %d), 44 columns, 5 runs one after the other\n",
                static_cast<long long>(records), n);
    std::printf("  export (own connection, file written and put in place): median %6.0f ms, best %6.0f ms "
                "(processor %4.0f ms)   limit 1500 ms\n",
                median(times), best(times), median(cpus));
    std::printf("  floor: sqlite3 -csv, same 44 columns and rows, row order: median %6.0f ms, best %6.0f ms "
                "(processor %4.0f ms)\n",
                median(floors), best(floors), median(floorCpus));
    std::printf("  export / floor (medians): %.2f   limit 2\n", median(times) / median(floors));
    std::printf("  file sizes: export %.1f MB, sqlite3 %.1f MB\n", double(QFileInfo(ours).size()) / 1e6,
                double(QFileInfo(theirs).size()) / 1e6);
}

// Records when each step of a job began, in ms from its start.
class StageClock : public Progress {
public:
    StageClock() { clock_.start(); }
    void beginStage(const QString& label, qint64 total) override
    {
        stages_.push_back({label, total, ms(clock_)});
    }
    void advance(qint64) override {}
    void setCancellable(bool) override {}
    bool cancelRequested() const override { return false; }
    struct Stage {
        QString label;
        qint64 total;
        double atMs;
    };
    std::vector<Stage> stages_;

private:
    QElapsedTimer clock_;
};

// The floor of the summary: the sqlite3 shell pricing every tree in SQL into
// a table of the database, committed, then listing it in the summary's order.
// Its pricing is as cheap as SQL makes it: each distinct pair of action list
// and DBH is priced once (each action of the list matched as a whole code,
// its cost for the DBH from the cost table) and the trees, read in one pass
// in record order, take their pair's price.
QString sqlitePricingScript(const CostReportOptions& options)
{
    const QString period = QStringLiteral(
        "Date_Evaluated BETWEEN '2007-01-01 00:00:00' AND '2007-12-31 23:59:59' AND Hazard_Rating BETWEEN %1 AND %2")
                               .arg(options.fromText, options.toText);
    return QStringLiteral(
               ".output /dev/null\n"
               "PRAGMA secure_delete = FAST;\n"
               "BEGIN;\n"
               "DROP TABLE IF EXISTS _floor_Cost_Report;\n"
               "CREATE TEMP TABLE price AS SELECT p.list, p.dbh, coalesce((SELECT sum(c.CA_Cost) FROM _tblCosts c "
               "WHERE instr(',' || p.list || ',', ',' || c.CA_TYPE || ',') > 0 AND p.dbh >= c.DBH_LowerLimit AND "
               "p.dbh < c.DBH_UpperLimit), 0) AS cost FROM (SELECT DISTINCT CorrectiveActions AS list, DBH AS dbh "
               "FROM _Archived_SurveyData NOT INDEXED WHERE %1) p;\n"
               "CREATE UNIQUE INDEX temp.price_key ON price (list, dbh);\n"
               "CREATE TABLE _floor_Cost_Report AS SELECT s.ID AS \"Key\", s.Tree_ID, s.StreetNum, s.StreetName, "
               "s.Location, s.Species, s.DBH, s.Hazard_Rating, coalesce(p.cost, 0) AS Cost "
               "FROM _Archived_SurveyData s NOT INDEXED LEFT JOIN price p ON p.list = s.CorrectiveActions AND "
               "p.dbh = s.DBH WHERE s.%1 ORDER BY s.ID;\n"
               "COMMIT;\n"
               "SELECT Tree_ID, StreetNum, StreetName, Location, Species, DBH, Hazard_Rating, printf('$%,.2f', Cost) "
               "FROM _floor_Cost_Report ORDER BY Cost DESC, StreetName, CAST(StreetNum AS INTEGER), StreetNum, \"Key\";\n")
        .arg(period);
}

void benchSummary(const QString& path, const QString& dir, int n)
{
    CostReportOptions options;
    {
        const std::unique_ptr<Database> db = Database::open(path);
        options.toText = QString::number(highestRiskRating(*db));
    }
    options.period = Year2007;
    std::printf("\ncost summary of %d trees, 11 actions of 6 ranges, ratings %s to %s, by cost\n", n,
                qPrintable(options.fromText), qPrintable(options.toText));

    std::vector<double> builds, cpus, pdfs, floors, floorCpus, countKnown, counting;
    double held = 0, peak = 0;
    int pages = 0;
    // The build as the report's worker runs it and the floor, one after the
    // other, five times.
    for (int run = 0; run < 5; ++run) {
        const double before = residentMiB();
        resetPeak();
        StageClock progress;
        auto document = std::make_unique<ReportDocument>();
        document->SetOrientation(ReportDocument::Landscape);
        QElapsedTimer timer;
        timer.start();
        const double cpu = cpuMs();
        {
            const std::unique_ptr<Database> db = Database::open(path);
            buildCostSummary(*document, *db, options, Printed, progress);
        }
        builds.push_back(ms(timer));
        cpus.push_back(cpuMs() - cpu);
        for (const StageClock::Stage& stage : progress.stages_) {
            if (stage.label == QLatin1String("Counting the trees"))
                counting.push_back(stage.atMs);
            if (stage.label == QLatin1String("Pricing the trees"))
                countKnown.push_back(stage.atMs);
        }
        peak = peakMiB() - before;
        held = residentMiB() - before;
        pages = document->pageCount();
        const QString pdf = QDir(dir).filePath(QStringLiteral("summary.pdf"));
        timer.restart();
        document->SaveAsPdf(pdf);
        pdfs.push_back(ms(timer));
        double floorCpu = 0;
        floors.push_back(sqliteShellMs(path, sqlitePricingScript(options), {}, &floorCpu));
        floorCpus.push_back(floorCpu);
    }
    // Where the time of a build goes: each step's wall and processor time,
    // medians of three builds.
    std::vector<double> fillMs, fillCpu, listMs, listCpu, pagesMs, pagesCpu;
    for (int run = 0; run < 3; ++run) {
        NullProgress progress;
        const std::unique_ptr<Database> db = Database::open(path);
        QElapsedTimer timer;
        timer.start();
        double cpu = cpuMs();
        const CostTotals totals = fillCostReportTable(*db, options, progress);
        fillMs.push_back(ms(timer));
        fillCpu.push_back(cpuMs() - cpu);
        timer.restart();
        cpu = cpuMs();
        RowStore rows = readCostReportRows(*db, options.sort, progress);
        listMs.push_back(ms(timer));
        listCpu.push_back(cpuMs() - cpu);
        timer.restart();
        cpu = cpuMs();
        ReportDocument document;
        document.SetOrientation(ReportDocument::Landscape);
        composeCostSummary(document, options.sort, std::move(rows), totals, 0, Printed);
        pagesMs.push_back(ms(timer));
        pagesCpu.push_back(cpuMs() - cpu);
    }
    std::printf("  %d landscape pages\n", pages);
    std::printf("  of one build (medians of 3, wall / processor): counting and pricing into the work table %.0f / %.0f "
                "ms, sorted listing %.0f / %.0f ms, pages %.0f / %.0f ms\n",
                median(fillMs), median(fillCpu), median(listMs), median(listCpu), median(pagesMs), median(pagesCpu));
    std::printf("  steps shown: \"Counting the trees\" at %.0f ms, \"Pricing the trees\" with the count at %.0f ms "
                "(medians)\n",
                median(counting), median(countKnown));
    std::printf("  build (own connection, count, pricing, work table, sorted listing, pages): median %6.0f ms, best "
                "%6.0f ms (processor %4.0f ms)\n",
                median(builds), best(builds), median(cpus));
    std::printf("    floor: sqlite3 shell pricing in SQL into a table, then listing it sorted:          median %6.0f ms, "
                "best %6.0f ms (processor %4.0f ms)\n",
                median(floors), best(floors), median(floorCpus));
    std::printf("  build / floor (medians): %.2f, processor times %.2f   limit 1.3\n", median(builds) / median(floors),
                median(cpus) / median(floorCpus));
    std::printf("  save as PDF:                                                       median %6.0f ms, best %6.0f ms"
                "   limit 3000 ms\n",
                median(pdfs), best(pdfs));
    std::printf("  memory: %.1f MiB more at the highest during the build, %.1f MiB held by the finished document\n",
                peak, held);
}

// The machine the figures were taken on: its cores and its load.
void printMachine()
{
    QFile load(QStringLiteral("/proc/loadavg"));
    QByteArray average;
    if (load.open(QIODevice::ReadOnly))
        average = load.readAll().trimmed();
    std::printf("cores (nproc): %d, load average (1, 5, 15 min): %s\n", QThread::idealThreadCount(), average.constData());
}

// keep: the folder that holds the database (kept); reuse: take a database of
// the same size found there instead of generating it again.
void run(int n, const QString& keep, bool reuse)
{
    QTemporaryDir temporary;
    // KOLVA_BENCH_KEEP=1 keeps the database, the files and the cost matrix
    // as matrix.pdf, to look at or to measure again by hand.
    const bool keepAll = qEnvironmentVariableIsSet("KOLVA_BENCH_KEEP");
    temporary.setAutoRemove(!keepAll);
    QDir folder(keep.isEmpty() ? temporary.path() : keep);
    if (!keep.isEmpty())
        folder.mkpath(QStringLiteral("."));
    const QString path = folder.filePath(QStringLiteral("KOLVA_%1.MDB").arg(n));
    if (reuse && QFile::exists(path)) {
        std::printf("\n%d trees: database reused from %s\n", n, qPrintable(path));
    } else {
        QFile::remove(path);
        QElapsedTimer timer;
        timer.start();
        createKolvaDatabase(path);
        {
            auto db = openKolvaDatabase(path);
            generate(*db, n);
        }
        std::printf("\n%d trees generated in %.0f s\n", n, ms(timer) / 1000);
    }
    // KOLVA_BENCH_ONLY=summary or =csv measures only that click.
    const QString only = qEnvironmentVariable("KOLVA_BENCH_ONLY");
    printMachine();
    if (only.isEmpty() || only == QLatin1String("csv")) {
        benchCsv(path, temporary.path(), n);
        printMachine();
    }
    if (only.isEmpty() || only == QLatin1String("summary"))
        benchSummary(path, temporary.path(), n);
    printMachine();
    if (keepAll) {
        ReportDocument matrix;
        {
            const std::unique_ptr<Database> db = Database::open(path);
            BuildCostMatrix(matrix, *db, Printed);
        }
        matrix.SaveAsPdf(temporary.filePath(QStringLiteral("matrix.pdf")));
        std::printf("  kept in %s\n", qPrintable(temporary.path()));
    }
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    std::vector<int> sizes;
    QString keep;
    bool reuse = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--keep" && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else if (QByteArray(argv[i]) == "--reuse")
            reuse = true;
        else
            sizes.push_back(QString::fromLocal8Bit(argv[i]).toInt());
    }
    if (sizes.empty())
        sizes = {10000, 100000};
    for (const int n : sizes)
        run(n, keep, reuse);
    return 0;
}
