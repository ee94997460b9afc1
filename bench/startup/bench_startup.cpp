// Start to the Main window on a database of 100,000 survey records: a new
// process each time, through the same start as the program (the database
// resolved as at start, opened and checked, the settings read, the Main
// window shown and painted), beside the floor of the sqlite3 shell opening
// the same file and reading its schema. Medians of 5 runs of each.
//
//     bench_startup [RECORDS]           (100000 unless given)

#include "app/datalocation.h"
#include "app/frmMain.h"
#include "app/startup.h"
#include "bench/measure.h"
#include "bench/trees/treedata.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

// Notes the first paint of the window it watches.
class FirstPaint : public QObject {
public:
    bool painted = false;

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return false;
    }
};

// One start, in this process: what runKolva does up to the Main window on
// the screen; then ends. The exit status says whether the window came.
int startOnce(int argc, char** argv, const QString& programDir, const QString& database)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("KOLVA"));
    QtPrompter prompter;
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    FileSettings settings;
    const DataLocation location = resolveDataLocation(programDir, EnvironmentFolders::current(), settings, database);
    StartOptions options;
    options.databasePath = location.databasePath;
    options.makeFrom = location.makeFrom;
    std::unique_ptr<KolvaSession> session = startKolva(programDir, prompter, shell, drives, clock, settings, options);
    if (!session)
        return 1;
    FirstPaint paint;
    session->mainWindow()->installEventFilter(&paint);
    QElapsedTimer deadline;
    deadline.start();
    while (!paint.painted && deadline.elapsed() < 20000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    return paint.painted ? 0 : 2;
}

double runMs(const QString& program, const QStringList& arguments, const QProcessEnvironment& env)
{
    QProcess process;
    process.setProcessEnvironment(env);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    QElapsedTimer timer;
    timer.start();
    process.start(program, arguments);
    process.waitForFinished(-1);
    const double elapsed = ms(timer);
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0) {
        std::fprintf(stderr, "%s failed (%d)\n", qPrintable(program), process.exitCode());
        std::exit(1);
    }
    return elapsed;
}

QString loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    return file.open(QIODevice::ReadOnly) ? QString::fromLatin1(file.readAll()).section(QLatin1Char(' '), 0, 2)
                                          : QStringLiteral("?");
}

} // namespace

int main(int argc, char** argv)
{
    if (argc >= 4 && QByteArray(argv[1]) == "--start")
        return startOnce(argc, argv, QString::fromLocal8Bit(argv[2]), QString::fromLocal8Bit(argv[3]));

    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir work;
    keepWhenAsked(work);
    const QString program = work.filePath(QStringLiteral("program"));
    QDir().mkpath(program);
    const QString database = QDir(program).filePath(databaseFileName());
    {
        QElapsedTimer made;
        made.start();
        createKolvaDatabase(database);
        auto db = openKolvaDatabase(database);
        addSampleSurveyRecords(*db, count);
        std::printf("records: %d (generated in %.1f s), database %.1f MiB\n", count, made.elapsed() / 1000.0,
                    QFileInfo(database).size() / (1024.0 * 1024.0));
    }

    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // A user of its own: the settings and the data folder are fresh.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), work.filePath(QStringLiteral("config")));
    env.insert(QStringLiteral("XDG_DATA_HOME"), work.filePath(QStringLiteral("data")));

    const QString self = QCoreApplication::applicationFilePath();
    // Once each unmeasured: the file in the page cache, as on a second start.
    runMs(self, {QStringLiteral("--start"), program, QString()}, env);
    runMs(QStringLiteral("sqlite3"), {database, QStringLiteral("PRAGMA user_version; SELECT COUNT(*) FROM sqlite_master;")},
          env);
    std::vector<double> starts, floors;
    for (int run = 0; run < 5; ++run) {
        // The KOLVA.MDB beside the program, as a portable copy finds it.
        starts.push_back(runMs(self, {QStringLiteral("--start"), program, QString()}, env));
        floors.push_back(runMs(QStringLiteral("sqlite3"),
                               {database, QStringLiteral("PRAGMA user_version; SELECT COUNT(*) FROM sqlite_master;")},
                               env));
    }
    std::printf("cores: %d, load average: %s\n", QThread::idealThreadCount(), qPrintable(loadAverage()));
    std::printf("start to the Main window painted (new process): median %.0f ms, best %.0f ms (limit 500 ms)\n",
                median(starts), *std::min_element(starts.begin(), starts.end()));
    std::printf("floor, sqlite3 opening the file and reading its schema: median %.0f ms, best %.0f ms\n",
                median(floors), *std::min_element(floors.begin(), floors.end()));
    std::printf("start / floor: %.1f\n", median(starts) / std::max(median(floors), 0.001));
    return median(starts) <= 500 ? 0 : 1;
}
