// The Tree editor with a million survey records (or the number given): how
// long the user waits until the grid shows the first rows after opening the
// window, choosing a sort option, clicking a column title, choosing a street
// and searching, and the memory held, next to the floor the sqlite3 shell
// sets for the same lists (counting them and reading their first rows).
// Run it with tools/bench.sh trees.
//
//   bench_trees [records] [--keep folder] [--reuse]
//
// --keep leaves the database in folder; --reuse takes the database already
// there when it holds that many records (generating a million takes minutes).

#include "platform/settings.h"
#include "bench/seams.h"
#include "bench/trees/treedata.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/kolvadb.h"
#include "trees/frmEditTree.h"
#include "trees/treelookups.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHeaderView>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QRadioButton>
#include <QRegularExpression>
#include <QScrollBar>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr double TargetMs = 300;
constexpr double TargetMiB = 100;

double residentMiB(const char* field = "VmRSS:")
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return line.mid(int(strlen(field))).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

struct Figures {
    std::vector<double> values;
    double median() const
    {
        std::vector<double> v = values;
        std::sort(v.begin(), v.end());
        return v.empty() ? 0 : v[v.size() / 2];
    }
    double slowest() const { return values.empty() ? 0 : *std::max_element(values.begin(), values.end()); }
};

QString ms(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral(" ms");
}

const char* verdict(double value, double limit)
{
    return value <= limit ? "met" : "NOT MET";
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
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
        QElapsedTimer timer;
        timer.start();
        auto db = openKolvaDatabase(path); // brings an older file up to date
        generate = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData")).toInt() != count;
        if (!generate)
            std::printf("records: %d (reused; opened and brought up to date in %.1f s)\n", count,
                        timer.elapsed() / 1000.0);
    }
    if (generate) {
        QFile::remove(path);
        createKolvaDatabase(path);
        auto db = openKolvaDatabase(path);
        QElapsedTimer timer;
        timer.start();
        bench::addSampleSurveyRecords(*db, count);
        std::printf("records: %d (generated in %.1f s)\n", count, timer.elapsed() / 1000.0);
    }
    std::printf("cores: %d\n", QThread::idealThreadCount());
    std::fflush(stdout);

    auto db = openKolvaDatabase(path);
    InstantPrompter prompter(InstantPrompter::Messages::Unexpected);
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    // Settings of the benchmark's own, in a scratch file beside its database.
    FileSettings settings(QDir(folder).filePath(QStringLiteral("kolva.ini")));
    const AppContext context{*db, prompter, shell, drives, clock, folder, settings, folder};

    // Opening: from making the window until the grid has painted its first rows.
    Figures opens, complete, made;
    frmEditTree* window = nullptr;
    PaintWatch watch;
    for (int run = 0; run < 5; ++run) {
        delete window;
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        window = new frmEditTree(context);
        made.values.push_back(timer.nsecsElapsed() / 1e6);
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
        opens.values.push_back(timer.nsecsElapsed() / 1e6);
        QObject::disconnect(connection);
        waitFor([&] { return !window->treeList()->isLoading(); });
        complete.values.push_back(timer.nsecsElapsed() / 1e6);
    }
    auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
    std::printf("open until the grid shows its first rows: median %s, slowest %s (5 runs) - target %s: %s\n",
                qPrintable(ms(opens.median())), qPrintable(ms(opens.slowest())), qPrintable(ms(TargetMs)),
                verdict(opens.median(), TargetMs));
    std::printf("  of which the window made (lists read, first rows' IDs read): median %s\n",
                qPrintable(ms(made.median())));
    std::printf("  every record ID of the list read (while the window is idle): median %s\n",
                qPrintable(ms(complete.median())));

    // Where the opening time goes: the work behind the window, on its own.
    {
        const auto each = [](const std::function<void()>& work) {
            Figures f;
            for (int i = 0; i < 5; ++i) {
                QElapsedTimer timer;
                timer.start();
                work();
                f.values.push_back(timer.nsecsElapsed() / 1e6);
            }
            return f.median();
        };
        QString parts;
        const std::pair<const char*, ReferenceList> lists[] = {{"surveyors", ReferenceList::Surveyors},
                                                               {"streets", ReferenceList::Streets},
                                                               {"species", ReferenceList::Species},
                                                               {"risk zones", ReferenceList::RiskZones}};
        for (const auto& [name, list] : lists)
            parts += QStringLiteral("%1 %2, ").arg(QLatin1String(name), ms(each([&, list = list] { readReferenceList(*db, list); })));
        parts += QStringLiteral("risk questions %1, ").arg(ms(each([&] {
            for (int q = 1; q <= 4; ++q)
                readRiskQuestionList(*db, q);
        })));
        TreeListModel model(*db);
        TreeListSource byTreeId;
        byTreeId.sortOption = 0;
        parts += QStringLiteral("count and first rows' IDs %1, ").arg(ms(each([&] { model.setSource(byTreeId); })));
        parts += QStringLiteral("first page of rows %1, ").arg(ms(each([&] {
            model.rowChanged(0);
            model.data(model.index(0, 0));
        })));
        parts += QStringLiteral("all IDs %1").arg(ms(each([&] {
            model.setSource(byTreeId);
            model.finishLoading();
        })));
        std::printf("  of which: %s\n", qPrintable(parts));
    }

    const auto timed = [&](const std::function<void()>& action) {
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        action();
        if (!waitFor([&] { return watch.painted; }, 20000))
            std::fprintf(stderr, "the grid did not repaint\n");
        return timer.nsecsElapsed() / 1e6;
    };
    const bool verbose = qEnvironmentVariableIsSet("BENCH_VERBOSE");

    // Changing the sort option.
    Figures sorts;
    for (int round = 0; round < 2; ++round) {
        for (int option : {1, 2, 3, 4, 5, 0}) {
            auto* button = window->findChild<QRadioButton*>(QStringLiteral("optSortBy(%1)").arg(option));
            sorts.values.push_back(timed([button] { button->click(); }));
            if (verbose)
                std::printf("  option %d: %s\n", option, qPrintable(ms(sorts.values.back())));
        }
    }
    std::printf("change the sort option: median %s, slowest %s (12 changes) - target %s: %s\n",
                qPrintable(ms(sorts.median())), qPrintable(ms(sorts.slowest())), qPrintable(ms(TargetMs)),
                verdict(sorts.slowest(), TargetMs));

    // Clicking a column title (each column once, ascending).
    {
        QHeaderView* header = grid->horizontalHeader();
        QString each;
        Figures titles, indexed;
        for (int column = 0; column < header->count(); ++column) {
            const double t = timed([header, column] { emit header->sectionClicked(column); });
            titles.values.push_back(t);
            const QString field = treeGridColumns()[size_t(column)].field;
            if (!QStringList{"DBH", "Site", "Location", "StreetNum"}.contains(field))
                indexed.values.push_back(t);
            each += QStringLiteral("%1 %2, ").arg(treeGridColumns()[size_t(column)].caption.trimmed(), ms(t));
        }
        std::printf("click a column title: %s\n", qPrintable(each.chopped(2)));
        std::printf("  columns with an index: slowest %s - target %s: %s\n", qPrintable(ms(indexed.slowest())),
                    qPrintable(ms(TargetMs)), verdict(indexed.slowest(), TargetMs));
        window->findChild<QRadioButton*>(QStringLiteral("optSortBy(0)"))->click();
        QCoreApplication::processEvents();
    }

    // Choosing a street, and all streets again.
    auto* filter = window->findChild<QComboBox*>(QStringLiteral("cboStreetFilter"));
    Figures streets, allStreets;
    for (int i = 0; i < 6; ++i) {
        const int at = 1 + (i * 47) % (filter->count() - 1);
        streets.values.push_back(timed([filter, at] { filter->setCurrentIndex(at); }));
        allStreets.values.push_back(timed([filter] { filter->setCurrentIndex(0); }));
        if (verbose)
            std::printf("  street %s: %s (%d rows), all: %s\n", qPrintable(filter->itemText(at)),
                        qPrintable(ms(streets.values.back())), window->treeList()->rowCount(),
                        qPrintable(ms(allStreets.values.back())));
    }
    std::printf("choose a street: median %s, slowest %s; all streets again: median %s, slowest %s - target %s: %s\n",
                qPrintable(ms(streets.median())), qPrintable(ms(streets.slowest())),
                qPrintable(ms(allStreets.median())), qPrintable(ms(allStreets.slowest())), qPrintable(ms(TargetMs)),
                verdict(std::max(streets.slowest(), allStreets.slowest()), TargetMs));

    // Searching: typed, then Enter (the box also searches on its own after a pause).
    {
        auto* search = window->findChild<QLineEdit*>(QStringLiteral("txtSearch"));
        const char* const searches[] = {"12345",          "250 MAPLE ST",   "washington", "ginkgo",
                                        "red maple",      "maple",          "oak",        "no such tree"};
        Figures found;
        QString each;
        for (int round = 0; round < 3; ++round) {
            for (const char* text : searches) {
                const double t = timed([search, text] {
                    search->setText(QString::fromLatin1(text));
                    emit search->returnPressed();
                });
                found.values.push_back(t);
                if (round == 2)
                    each += QStringLiteral("\"%1\" %2 (%3 rows), ")
                                .arg(QLatin1String(text), ms(t), QLocale().toString(window->treeList()->rowCount()));
            }
        }
        timed([search] {
            search->clear();
            emit search->returnPressed();
        });
        std::printf("search: median %s, slowest %s (%zu searches) - target %s: %s\n", qPrintable(ms(found.median())),
                    qPrintable(ms(found.slowest())), found.values.size(), qPrintable(ms(TargetMs)),
                    verdict(found.slowest(), TargetMs));
        std::printf("  last round: %s\n", qPrintable(each.chopped(2)));
    }

    // Memory, after the work above and after jumping through the whole list.
    QCoreApplication::processEvents();
    waitFor([&] { return !window->treeList()->isLoading(); });
    const double before = residentMiB();
    {
        QScrollBar* bar = grid->verticalScrollBar();
        for (int step = 0; step <= 200; ++step) {
            bar->setValue(int(qint64(bar->maximum()) * step / 200));
            grid->viewport()->repaint();
        }
        QCoreApplication::processEvents();
    }
    const double after = residentMiB();
    const double peak = residentMiB("VmHWM:");
    std::printf("resident memory: %.1f MiB before and %.1f MiB after showing 200 places through the list of %s "
                "(peak %.1f MiB; pages held: %d of %d rows) - target %.0f MiB: %s\n",
                before, after, qPrintable(QLocale().toString(window->treeList()->rowCount())), peak,
                window->treeList()->cachedPageCount(), TreeListModel::PageSize, TargetMiB,
                verdict(peak, TargetMiB));
    delete window;
    db.reset();

    // The floor: the sqlite3 shell on the same database.
    QProcess floor;
    floor.start(QStringLiteral(KOLVA_TREES_FLOOR_SCRIPT),
                {path, QStringLiteral("5"), QStringLiteral("ELM ST"), QStringLiteral("ACRU-RED MAPLE")});
    floor.waitForFinished(-1);
    const QString floorOut = QString::fromLocal8Bit(floor.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("open_us=(\\d+) sort_us=(\\d+) street_us=(\\d+) species_us=(\\d+)")).match(floorOut);
    if (m.hasMatch()) {
        std::printf("floor, the sqlite3 shell counting the list and reading its first 200 rows: whole table %s, "
                    "by date and species %s, one street %s, one species %s\n",
                    qPrintable(ms(m.captured(1).toDouble() / 1000)), qPrintable(ms(m.captured(2).toDouble() / 1000)),
                    qPrintable(ms(m.captured(3).toDouble() / 1000)), qPrintable(ms(m.captured(4).toDouble() / 1000)));
    } else {
        std::fprintf(stderr, "floor measurement failed: %s%s\n", qPrintable(floorOut),
                     qPrintable(QString::fromLocal8Bit(floor.readAllStandardError())));
    }
    return prompter.shown() == 0 ? 0 : 1;
}
