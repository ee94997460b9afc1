// The conversion of an Access KOLVA.MDB of an earlier version (what "Yes" at
// start-up and `kolva convert` do), against the floor of public tools doing
// the same copy: mdb-export of every table into the sqlite3 shell's .import
// (floor.sh). Both run side by side, repeated; the medians are compared.
//
//   bench_convert [ACCESS.MDB [RUNS]]   (default: the test fixture, 21 runs)

#include "platform/progress.h"
#include "store/conversion.h"
#include "store/database.h"
#include "bench/measure.h"
#include "store/kolvadb.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kolva;
using kolva::bench::cpuMs;
using kolva::bench::median;
using kolva::bench::ms;
using kolva::bench::residentMiB;

namespace {

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString access = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(KOLVA_TEST_DATA "/legacy_kolva.mdb");
    const int runs = argc > 2 ? std::atoi(argv[2]) : 21;
    QTemporaryDir dir;

    // An empty KOLVA schema for the floor's .import.
    const QString base = dir.filePath(QStringLiteral("base.mdb"));
    createKolvaDatabase(base);
    {
        auto db = Database::open(base);
        for (const char* t : {"_Archived_SurveyData", "Surveyors", "Species", "RiskZone", "Risk_Rating",
                              "_Streets_Master", "Streets_PDA", "_tblCorrAction", "_tblCosts"})
            db->exec(QStringLiteral("DELETE FROM %1").arg(QLatin1String(t)));
    }

    std::vector<double> convertMs;
    std::vector<double> floorMs;
    qint64 records = 0;
    for (int i = 0; i < runs; ++i) {
        // The conversion, in place, as the program does it.
        const QString work = dir.filePath(QStringLiteral("run%1").arg(i));
        QDir().mkpath(work);
        const QString path = QDir(work).filePath(QStringLiteral("KOLVA.MDB"));
        QFile::copy(access, path);
        ConversionRequest request;
        request.accessPath = path;
        request.now = QDateTime::currentDateTime();
        request.user = QStringLiteral("bench");
        NullProgress progress;
        QElapsedTimer timer;
        timer.start();
        const ConversionResult result = convertAccessDatabase(request, progress);
        convertMs.push_back(timer.nsecsElapsed() / 1e6);
        records = result.tables.first().written;
        QDir(work).removeRecursively();

        // One run of the floor right after it.
        QProcess floor;
        floor.start(QStringLiteral(KOLVA_CONVERT_FLOOR_SCRIPT), {access, base, QStringLiteral("1")});
        floor.waitForFinished(-1);
        const QList<QByteArray> lines = floor.readAllStandardOutput().split('\n');
        if (floor.exitCode() != 0 || lines.isEmpty()) {
            std::fprintf(stderr, "floor.sh failed: %s\n", floor.readAllStandardError().constData());
            return 1;
        }
        floorMs.push_back(lines.first().toDouble() / 1000.0);
    }
    const double c = median(convertMs);
    const double f = median(floorMs);
    std::printf("Access file: %s (%lld bytes, %lld survey records), %d runs each, side by side\n",
                qPrintable(QFileInfo(access).fileName()), static_cast<long long>(QFileInfo(access).size()),
                static_cast<long long>(records), runs);
    std::printf("conversion (in place, checked, synced): median %.1f ms, best %.1f ms\n", c,
                *std::min_element(convertMs.begin(), convertMs.end()));
    std::printf("floor: mdb-export of every table | sqlite3 .import: median %.1f ms, best %.1f ms\n", f,
                *std::min_element(floorMs.begin(), floorMs.end()));
    std::printf("conversion / floor: %.2f (limit 1.5)\n", c / f);
    return 0;
}
