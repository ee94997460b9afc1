// The Tree editor with a hundred thousand survey records: how long it takes
// to open until the grid shows its first rows, to change the sort option and
// to choose a street, and the memory held before and after scrolling the
// grid to its end. Run it with tools/bench.sh trees.

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
#include <QElapsedTimer>
#include <QFile>
#include <QLocale>
#include <QRadioButton>
#include <QScrollBar>
#include <QSqlQueryModel>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

using namespace kolva;

namespace {

// Answers every message with its default and remembers it: a benchmark run
// shows no messages.
class CountingPrompter : public Prompter {
public:
    int shown = 0;
    MsgAnswer message(QWidget*, const MessageRequest& request) override
    {
        ++shown;
        std::fprintf(stderr, "unexpected message: %s\n", qPrintable(request.text));
        return request.defaultButton;
    }
    QString saveFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString openFileName(QWidget*, const FileDialogRequest&) override { return {}; }
    QString chooseFolder(QWidget*, const QString&, const QString&) override { return {}; }
    std::optional<QString> inputText(QWidget*, const InputRequest&) override { return std::nullopt; }
};

// Notes when a widget has painted.
class PaintWatch : public QObject {
public:
    bool painted = false;
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            painted = true;
        return QObject::eventFilter(watched, event);
    }
};

double residentMiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toDouble() / 1024.0;
    }
    return 0;
}

bool waitFor(const std::function<bool()>& done, int timeoutMs = 20000)
{
    QElapsedTimer timer;
    timer.start();
    while (!done()) {
        if (timer.elapsed() > timeoutMs)
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QString ms(double value)
{
    return QString::number(value, 'f', 1) + QStringLiteral(" ms");
}

// Scrolls the grid page by page to its end; gives the seconds taken.
double scrollToEnd(QTableView* grid)
{
    QElapsedTimer timer;
    timer.start();
    QScrollBar* bar = grid->verticalScrollBar();
    bar->setValue(0);
    while (bar->value() < bar->maximum()) {
        bar->setValue(std::min(bar->maximum(), bar->value() + bar->pageStep()));
        grid->viewport()->repaint();
    }
    QCoreApplication::processEvents();
    return timer.elapsed() / 1000.0;
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    // bench_trees [records] [--keep folder]: --keep leaves the database in folder.
    int count = 100000;
    QString keep;
    for (int i = 1; i < argc; ++i) {
        if (QByteArray(argv[i]) == "--keep" && i + 1 < argc)
            keep = QString::fromLocal8Bit(argv[++i]);
        else
            count = QByteArray(argv[i]).toInt();
    }

    QTemporaryDir temporary;
    const QString folder = keep.isEmpty() ? temporary.path() : keep;
    const QString path = databasePath(folder);
    QFile::remove(path);
    createKolvaDatabase(path);
    {
        auto db = openKolvaDatabase(path);
        QElapsedTimer timer;
        timer.start();
        bench::addSampleSurveyRecords(*db, count);
        std::printf("records: %d (generated in %.1f s), cores: %d\n", count, timer.elapsed() / 1000.0,
                    QThread::idealThreadCount());
    }

    auto db = openKolvaDatabase(path);
    CountingPrompter prompter;
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    const AppContext context{*db, prompter, shell, drives, clock, folder};

    // Opening: from making the window until the grid has painted its first rows.
    std::vector<double> opens;
    frmEditTree* window = nullptr;
    PaintWatch watch;
    bool refreshed = false;
    for (int run = 0; run < 5; ++run) {
        delete window;
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        window = new frmEditTree(context);
        auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
        grid->viewport()->installEventFilter(&watch);
        refreshed = false;
        QObject::connect(window, &frmEditTree::treeListRefreshed, window, [&refreshed] { refreshed = true; });
        window->show();
        window->activateWindow();
        if (!waitFor([&] { return refreshed && watch.painted && window->treeList()->cachedPageCount() > 0; })) {
            std::fprintf(stderr, "the grid never showed its rows\n");
            return 1;
        }
        opens.push_back(timer.nsecsElapsed() / 1e6);
    }
    auto* grid = window->findChild<QTableView*>(QStringLiteral("DBGrid1"));
    std::printf("open until the grid shows its first rows: median %s (of %zu; first %s)\n",
                qPrintable(ms(median(opens))), opens.size(), qPrintable(ms(opens.front())));

    const auto timed = [&](const std::function<void()>& action) {
        watch.painted = false;
        QElapsedTimer timer;
        timer.start();
        action();
        if (!waitFor([&] { return watch.painted; }, 5000))
            std::fprintf(stderr, "the grid did not repaint\n");
        return timer.nsecsElapsed() / 1e6;
    };

    // Where the opening time goes: the work behind the window, on its own.
    {
        const auto each = [](const std::function<void()>& work) {
            std::vector<double> times;
            for (int i = 0; i < 5; ++i) {
                QElapsedTimer timer;
                timer.start();
                work();
                times.push_back(timer.nsecsElapsed() / 1e6);
            }
            return median(times);
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
        parts += QStringLiteral("record IDs of the list %1, ").arg(ms(each([&] { model.setSource({0, {}}); })));
        parts += QStringLiteral("first page of rows %1").arg(ms(each([&] {
            model.rowChanged(0);
            model.data(model.index(0, 0));
        })));
        std::printf("  of which: %s\n", qPrintable(parts));
    }

    // Changing the sort option.
    std::vector<double> sorts;
    for (int round = 0; round < 2; ++round) {
        for (int option : {1, 2, 3, 4, 5, 0}) {
            auto* button = window->findChild<QRadioButton*>(QStringLiteral("optSortBy(%1)").arg(option));
            sorts.push_back(timed([button] { button->click(); }));
            if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
                std::printf("  option %d: %s\n", option, qPrintable(ms(sorts.back())));
        }
    }
    std::printf("change the sort option: median %s, slowest %s (%zu changes)\n", qPrintable(ms(median(sorts))),
                qPrintable(ms(*std::max_element(sorts.begin(), sorts.end()))), sorts.size());

    // Choosing a street, and all streets again.
    auto* filter = window->findChild<QComboBox*>(QStringLiteral("cboStreetFilter"));
    std::vector<double> streets, allStreets;
    for (int i = 0; i < 6; ++i) {
        const int at = 1 + (i * 47) % (filter->count() - 1);
        streets.push_back(timed([filter, at] { filter->setCurrentIndex(at); }));
        allStreets.push_back(timed([filter] { filter->setCurrentIndex(0); }));
        if (qEnvironmentVariableIsSet("BENCH_VERBOSE"))
            std::printf("  street %s: %s (%d rows), all: %s\n", qPrintable(filter->itemText(at)),
                        qPrintable(ms(streets.back())), window->treeList()->rowCount(), qPrintable(ms(allStreets.back())));
    }
    std::printf("choose a street: median %s, slowest %s; all streets again: median %s, slowest %s\n",
                qPrintable(ms(median(streets))), qPrintable(ms(*std::max_element(streets.begin(), streets.end()))),
                qPrintable(ms(median(allStreets))),
                qPrintable(ms(*std::max_element(allStreets.begin(), allStreets.end()))));

    // Memory when the grid is scrolled page by page to its end.
    QCoreApplication::processEvents();
    const double before = residentMiB();
    const double seconds = scrollToEnd(grid);
    const double after = residentMiB();
    std::printf("resident memory: %.1f MiB before scrolling, %.1f MiB after scrolling to row %d (%.1f s); "
                "pages held: %d of %d rows\n",
                before, after, window->treeList()->rowCount(), seconds, window->treeList()->cachedPageCount(),
                TreeListModel::PageSize);
    delete window;

    // For comparison: the same rows in a QSqlQueryModel, which keeps every row it has fetched.
    {
        QSqlQueryModel plain;
        QTableView view;
        view.setModel(&plain);
        view.resize(700, 400);
        view.show();
        QCoreApplication::processEvents();
        const double plainBefore = residentMiB();
        QElapsedTimer timer;
        timer.start();
        plain.setQuery(QStringLiteral("SELECT Tree_ID,Date_Evaluated,Species,DBH,Site,Location,Hazard_Rating,Surveyor,"
                                      "StreetName,StreetNum FROM _Archived_SurveyData ORDER BY Tree_ID,Date_Evaluated"),
                       db->connection());
        QCoreApplication::processEvents();
        const double first = timer.nsecsElapsed() / 1e6;
        scrollToEnd(&view);
        std::printf("for comparison, QSqlQueryModel: first rows %s; resident memory %.1f MiB before, %.1f MiB after "
                    "scrolling to the end\n",
                    qPrintable(ms(first)), plainBefore, residentMiB());
    }
    return prompter.shown == 0 ? 0 : 1;
}
