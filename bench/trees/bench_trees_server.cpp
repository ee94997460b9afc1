// The Tree editor on a database of a million survey records (or the number
// given) on a PostgreSQL server over the local socket: how long the user
// waits from making the window until the grid has painted its first rows
// (the window shown with its first record, the record list ready). Beside
// it, in the same run, the floor psql sets: counting the records and reading
// the first rows of the list in the editor's order. The server is a
// throwaway cluster (tests/support/pgcluster.sh).
//
//   bench_trees_server [records]

#include "bench/measure.h"
#include "bench/seams.h"
#include "bench/pgserver.h"
#include "bench/trees/treedata.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "store/kolvadb.h"
#include "trees/frmEditTree.h"
#include "trees/treelookups.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocale>
#include <QProcess>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <functional>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr double TargetMs = 500;
constexpr int Runs = 5;

// psql counting the records and reading the first 100 of the list, in the
// editor's order.
double psqlFloorMs(const QString& uri)
{
    QProcess psql;
    QElapsedTimer timer;
    timer.start();
    psql.start(QStringLiteral("psql"),
               {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-o"), QStringLiteral("/dev/null"),
                QStringLiteral("-c"), QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData"), QStringLiteral("-c"),
                QStringLiteral("SELECT * FROM _Archived_SurveyData ORDER BY Tree_ID NULLS FIRST, "
                               "Date_Evaluated NULLS FIRST, ID LIMIT 100"),
                uri});
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
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    ServerCluster cluster(QStringLiteral(KOLVA_BENCH_CLUSTER_DIR));
    cluster.admin().exec(QStringLiteral("CREATE DATABASE kolva_trees"));
    const QString uri = cluster.uriOf(QStringLiteral("kolva_trees"));
    {
        auto db = openKolvaDatabase(uri);
        QElapsedTimer timer;
        timer.start();
        addSampleSurveyRecords(*db, count);
        db->exec(QStringLiteral("VACUUM ANALYZE"));
        std::printf("cores: %d\nrecords: %d on the server (generated in %.1f s)\n", QThread::idealThreadCount(), count,
                    timer.elapsed() / 1000.0);
        std::fflush(stdout);
    }

    QTemporaryDir folder;
    auto db = openKolvaDatabase(uri);
    InstantPrompter prompter(InstantPrompter::Messages::Unexpected);
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    FileSettings settings(QDir(folder.path()).filePath(QStringLiteral("kolva.ini")));
    const AppContext context{*db, prompter, shell, drives, clock, folder.path(), settings, folder.path()};

    std::vector<double> opens, floors;
    frmEditTree* window = nullptr;
    PaintWatch watch;
    for (int run = 0; run < Runs; ++run) {
        floors.push_back(psqlFloorMs(uri));
        delete window;
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        window = new frmEditTree(context);
        auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
        grid->viewport()->installEventFilter(&watch);
        bool refreshed = false;
        const QMetaObject::Connection connection =
            QObject::connect(window, &frmEditTree::treeListRefreshed, window, [&refreshed] { refreshed = true; });
        window->show();
        window->activateWindow();
        if (!waitFor([&] { return refreshed && watch.painted && window->treeList()->cachedPageCount() > 0; })) {
            std::fprintf(stderr, "the grid never showed its rows\n");
            return 1;
        }
        opens.push_back(ms(timer));
        QObject::disconnect(connection);
        waitFor([&] { return !window->treeList()->isLoading(); });
        std::printf("run %d: open %.0f ms, floor psql %.0f ms\n", run + 1, opens.back(), floors.back());
        std::fflush(stdout);
    }
    delete window;
    const double open = median(opens);
    std::printf("open until the grid shows its first rows: median %.0f ms of %d - target %.0f ms: %s; "
                "floor psql count + first rows: median %.0f ms\n",
                open, Runs, TargetMs, open <= TargetMs ? "met" : "NOT MET", median(floors));
    return 0;
}
