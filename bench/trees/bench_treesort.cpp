// Sorting the Tree editor by a column that has no index of its own (DBH,
// Site, Loc., Addr #) on a million records, as a click on the column's title
// does it: how long the window thread is held (a probe timer on the window
// thread every 20 ms records the longest gap between its ticks while the
// sort runs), how long until the grid has painted the first rows of the new
// order, and until the list is sorted whole. Beside it, in the same run, the
// floor the sqlite3 shell sets: the same statement with LIMIT 200, and whole.
// Medians of 5 clicks per column.
//
//   bench_treesort [records] [--keep folder] [--reuse]

#include "platform/settings.h"
#include "bench/measure.h"
#include "bench/seams.h"
#include "bench/trees/treedata.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/kolvadb.h"
#include "trees/frmEditTree.h"

#include <QDir>
#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QProcess>
#include <QRadioButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <QTimer>

#include <cstdio>
#include <functional>

using namespace kolva;
using namespace kolva::bench;

namespace {

// The sqlite3 shell's own time for a statement, in ms.
double shellMs(const QString& path, const QString& sql)
{
    QProcess shell;
    shell.start(QStringLiteral("sqlite3"), {path});
    shell.write(QStringLiteral(".timer on\n.output /dev/null\n%1;\n").arg(sql).toUtf8());
    shell.closeWriteChannel();
    shell.waitForFinished(-1);
    const QString out = QString::fromLocal8Bit(shell.readAllStandardOutput());
    const int at = out.indexOf(QStringLiteral("real "));
    return at < 0 ? -1 : out.mid(at + 5).section(QLatin1Char(' '), 0, 0).toDouble() * 1000;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    int count = 1000000;
    QString keep;
    bool reuse = false;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--keep" && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else if (QByteArray(argv[i]) == "--reuse")
            reuse = true;
        else
            count = QByteArray(argv[i]).toInt();
    }
    QTemporaryDir temporary;
    const QString folder = keep.isEmpty() ? temporary.path() : keep;
    const QString path = databasePath(folder);
    bool generate = true;
    if (reuse && QFile::exists(path)) {
        auto db = openKolvaDatabase(path);
        generate = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData")).toInt() != count;
    }
    if (generate) {
        QFile::remove(path);
        createKolvaDatabase(path);
        auto db = openKolvaDatabase(path);
        bench::addSampleSurveyRecords(*db, count);
    }
    QProcess uptime;
    uptime.start(QStringLiteral("uptime"));
    uptime.waitForFinished();
    std::printf("records: %d, cores: %d, load:%s", count, QThread::idealThreadCount(),
                uptime.readAllStandardOutput().split(',').mid(2).join(',').constData());
    std::fflush(stdout);

    auto db = openKolvaDatabase(path);
    InstantPrompter prompter(InstantPrompter::Messages::Unexpected);
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    // Settings of the benchmark's own, in a scratch file beside its database.
    FileSettings settings(QDir(folder).filePath(QStringLiteral("kolva.ini")));
    const AppContext context{*db, prompter, shell, drives, clock, folder, settings, folder};
    auto* window = new frmEditTree(context);
    window->show();
    window->activateWindow();
    waitFor([&] { return !window->IsLoading() && !window->treeList()->isLoading(); });
    auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
    PaintWatch watch;
    grid->viewport()->installEventFilter(&watch);
    QHeaderView* header = grid->horizontalHeader();
    auto* byTreeId = window->findChild<QRadioButton*>(QStringLiteral("optSortBy(0)"));

    // The probe: the longest time between two ticks of a 20 ms timer.
    QElapsedTimer probeClock;
    qint64 lastTick = 0;
    qint64 longestGap = 0;
    QTimer probe;
    probe.setInterval(20);
    QObject::connect(&probe, &QTimer::timeout, [&] {
        const qint64 now = probeClock.nsecsElapsed();
        longestGap = std::max(longestGap, now - lastTick);
        lastTick = now;
    });

    const int columns[] = {3, 4, 5, 9};
    for (int column : columns) {
        std::vector<double> gaps, firstRows, whole, floorFirst, floorWhole;
        const QString field = treeGridColumns()[size_t(column)].field;
        for (int run = 0; run < 5; ++run) {
            byTreeId->click();
            waitFor([&] { return !window->treeList()->isLoading(); });
            // Column sorts alternate with the floor, so that a busy machine slows both alike.
            const BoundStatement list = treeListStatement(*db, [&] {
                TreeListSource s;
                s.sortColumn = column;
                return s;
            }());
            floorFirst.push_back(shellMs(path, list.sql + QStringLiteral(" LIMIT 200")));
            floorWhole.push_back(shellMs(path, list.sql));

            watch.painted = false;
            bool first = false;
            const auto connection =
                QObject::connect(window->treeList(), &TreeListModel::firstRowsRead, [&first] { first = true; });
            probeClock.start();
            lastTick = 0;
            longestGap = 0;
            probe.start();
            QElapsedTimer timer;
            timer.start();
            emit header->sectionClicked(column);
            waitFor([&] { return (first || !window->treeList()->isLoading()) && watch.painted; });
            watch.painted = false;
            waitFor([&] { return watch.painted; }, 2000);
            firstRows.push_back(bench::ms(timer));
            waitFor([&] { return !window->treeList()->isLoading(); });
            whole.push_back(bench::ms(timer));
            probe.stop();
            gaps.push_back(double(longestGap) / 1e6);
            QObject::disconnect(connection);
        }
        std::printf("%-9s window thread's longest gap %6.1f ms (slowest %6.1f); first rows painted %6.1f ms; sorted "
                    "whole %6.1f ms | floor, sqlite3 shell: LIMIT 200 %6.1f ms, whole %6.1f ms\n",
                    qPrintable(field), bench::median(gaps), *std::max_element(gaps.begin(), gaps.end()),
                    bench::median(firstRows), bench::median(whole), bench::median(floorFirst),
                    bench::median(floorWhole));
        std::fflush(stdout);
    }
    delete window;
    return prompter.shown() == 0 ? 0 : 1;
}
