// The Tree editor's map with a million trees (or the number given): how
// long a frame takes when the user zooms and pans with the keys, the wheel
// and the mouse, and how long Refresh takes until the map of the whole list
// is drawn; beside them the floor that public tools set for the same work
// (bench/treemap/floor.sh): sqlite3 reading the same columns and GDAL's
// gdal_rasterize drawing the same points into a raster of the map's size.
//
//   bench_treemap [trees]

#include "platform/settings.h"
#include "bench/measure.h"
#include "bench/seams.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/kolvadb.h"
#include "trees/frmEditTree.h"
#include "trees/treemap.h"

#include <QApplication>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QLocale>
#include <QMouseEvent>
#include <QProcess>
#include <QPushButton>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QTabWidget>
#include <QTextStream>
#include <QThread>
#include <QSettings>
#include <QWheelEvent>
#include <QtMath>

#include <cmath>
#include <cstdio>
#include <functional>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr double FrameTargetMs = 300;

// A city of about 20 by 20 km: streets every 100 m each way, trees along
// them every few metres, ratings as four answers of 0 to 7 give them. Only
// the columns the map and the list need are filled.
void addTrees(Database& db, int count, const QString& csvPath)
{
    QRandomGenerator random(20091105);
    QFile csv(csvPath);
    if (!csv.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&csv);
    out << "lon,lat\n";
    Transaction transaction(db);
    QSqlQuery insert = db.prepare(QStringLiteral(
        "INSERT INTO _Archived_SurveyData (Tree_ID,Surveyor,StreetName,StreetNum,Species,Hazard_Rating,Latitude,Longitude) "
        "VALUES (?,?,?,?,?,?,?,?)"));
    const double south = 40.60, west = -74.10, step = 0.0009; // about 100 m
    for (int i = 0; i < count; ++i) {
        const int street = int(random.bounded(200));
        const double along = random.generateDouble() * 0.18;
        const double side = (random.generateDouble() - 0.5) * 0.0001;
        double lat, lon;
        if (i % 2) {
            lat = south + street * step + side;
            lon = west + along * 1.3;
        } else {
            lat = south + along;
            lon = west + street * step * 1.3 + side;
        }
        int rating = 0;
        for (int q = 0; q < 4; ++q)
            rating += random.bounded(100) < 60 ? int(random.bounded(3)) : int(random.bounded(8));
        insert.bindValue(0, i + 1);
        insert.bindValue(1, QStringLiteral("J SMITH"));
        insert.bindValue(2, QStringLiteral("STREET %1").arg(street));
        insert.bindValue(3, QString::number(1 + int(along * 10000)));
        insert.bindValue(4, QStringLiteral("ACRU-RED MAPLE"));
        insert.bindValue(5, rating);
        insert.bindValue(6, lat);
        insert.bindValue(7, lon);
        Database::run(insert);
        out << QString::number(lon, 'f', 7) << ',' << QString::number(lat, 'f', 7) << '\n';
    }
    transaction.commit();
}

// The street centre lines of that city, as GeoJSON.
void writeStreets(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return;
    QTextStream out(&file);
    out << R"({"type":"FeatureCollection","features":[)";
    const double south = 40.60, west = -74.10, step = 0.0009;
    for (int street = 0; street < 200; ++street) {
        const double lat = south + street * step, lon = west + street * step * 1.3;
        out << (street ? "," : "")
            << QStringLiteral(R"({"type":"Feature","properties":{},"geometry":{"type":"LineString","coordinates":[[%1,%2],[%3,%2]]}},)")
                   .arg(west, 0, 'f', 6).arg(lat, 0, 'f', 6).arg(west + 0.18 * 1.3, 0, 'f', 6)
            << QStringLiteral(R"({"type":"Feature","properties":{},"geometry":{"type":"LineString","coordinates":[[%1,%2],[%1,%3]]}})")
                   .arg(lon, 0, 'f', 6).arg(south, 0, 'f', 6).arg(south + 0.18, 0, 'f', 6);
    }
    out << "]}";
}

struct Row {
    QString what;
    std::vector<double> ms;
    std::vector<double> cpu; // processor time of the process
};

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 1000000;
    constexpr int Runs = 5;

    QTemporaryDir work;
    bench::keepWhenAsked(work);
    // The office's settings stay untouched.
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, work.path());
    const QString path = work.filePath(QStringLiteral("KOLVA.MDB"));
    createKolvaDatabase(path);
    {
        auto db = openKolvaDatabase(path);
        QElapsedTimer timer;
        timer.start();
        addTrees(*db, count, work.filePath(QStringLiteral("points.csv")));
        std::printf("trees: %d (generated in %.1f s)\n", count, timer.elapsed() / 1000.0);
    }
    std::printf("cores: %d\n", QThread::idealThreadCount());
    std::fflush(stdout);

    auto db = openKolvaDatabase(path);
    InstantPrompter prompter(InstantPrompter::Messages::Unexpected);
    DesktopShell shell;
    SystemDrives drives;
    SystemClock clock;
    // Settings of the benchmark's own, in a scratch file beside its database.
    FileSettings settings(QDir(work.path()).filePath(QStringLiteral("kolva.ini")));
    const AppContext context{*db, prompter, shell, drives, clock, work.path(), settings, work.path()};
    auto* window = new frmEditTree(context);
    window->resize(window->width(), 760);
    window->show();
    waitFor([&] { return !window->IsLoading(); });
    auto* tabs = window->findChild<QTabWidget*>(QStringLiteral("SSTab1"));
    auto* page = window->findChild<TreeMapPage*>(QStringLiteral("pageMap"));
    auto* view = window->findChild<TreeMapView*>(QStringLiteral("treeMap"));
    auto* status = window->findChild<QLabel*>(QStringLiteral("lblMapStatus"));
    tabs->setCurrentIndex(2);
    const auto mapDrawn = [&] { return !page->isReading() && status->text().contains(QStringLiteral("on the map")); };
    if (!waitFor(mapDrawn)) {
        std::fprintf(stderr, "the map never showed its trees\n");
        return 1;
    }
    std::printf("map: %d x %d pixels; %s\n", view->width(), view->height(), qPrintable(status->text()));

    // Refresh with the map in sight: the list and the map read again, then
    // the first frame.
    Row refresh{QStringLiteral("Refresh until the map is drawn"), {}, {}};
    auto* cmdRefresh = window->findChild<QPushButton*>(QStringLiteral("cmdRefresh"));
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        cmdRefresh->click();
        waitFor([&] { return page->isReading(); }, 1000);
        waitFor(mapDrawn);
        view->repaint();
        refresh.ms.push_back(bench::ms(timer));
    }

    // Frames: each user action as it comes, then the repaint it asks for.
    view->setFocus();
    const auto key = [&](Qt::Key k) {
        QKeyEvent press(QEvent::KeyPress, k, Qt::NoModifier);
        QCoreApplication::sendEvent(view, &press);
    };
    const QPointF middle(view->width() / 2.0, view->height() / 2.0);
    const auto wheel = [&](int delta) {
        QWheelEvent event(middle, view->mapToGlobal(middle), {}, QPoint(0, delta), Qt::NoButton, {}, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view, &event);
    };
    const auto drag = [&](QPointF by) {
        QMouseEvent press(QEvent::MouseButtonPress, middle, view->mapToGlobal(middle), Qt::LeftButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(view, &press);
        QMouseEvent move(QEvent::MouseMove, middle + by, view->mapToGlobal(middle + by), Qt::NoButton, Qt::LeftButton, {});
        QCoreApplication::sendEvent(view, &move);
        QMouseEvent release(QEvent::MouseButtonRelease, middle + by, view->mapToGlobal(middle + by), Qt::LeftButton,
                            Qt::NoButton, {});
        QCoreApplication::sendEvent(view, &release);
    };
    struct Action {
        QString what;
        std::function<void()> setup; // not timed
        std::function<void()> act;
    };
    const std::vector<Action> actions = {
        {"Home: every tree in sight", [&] { key(Qt::Key_Minus); }, [&] { key(Qt::Key_Home); }},
        {"+ from every tree", [&] { key(Qt::Key_Home); }, [&] { key(Qt::Key_Plus); }},
        {"wheel out to every tree", [&] { key(Qt::Key_Home); key(Qt::Key_Plus); }, [&] { wheel(-120); }},
        {"right arrow, zoomed x2", [&] { key(Qt::Key_Home); key(Qt::Key_Plus); }, [&] { key(Qt::Key_Right); }},
        {"drag, zoomed x2", [&] { key(Qt::Key_Home); key(Qt::Key_Plus); }, [&] { drag({60, 30}); }},
        {"wheel in, zoomed x40 (a street)", [&] { key(Qt::Key_Home); for (int i = 0; i < 9; ++i) key(Qt::Key_Plus); }, [&] { wheel(120); }},
        {"drag, zoomed x40", [&] { key(Qt::Key_Home); for (int i = 0; i < 9; ++i) key(Qt::Key_Plus); }, [&] { drag({80, -40}); }},
    };
    std::vector<Row> frames;
    for (const Action& action : actions) {
        Row row{action.what, {}, {}};
        for (int run = 0; run < Runs; ++run) {
            action.setup();
            view->repaint();
            QElapsedTimer timer;
            const double cpu = bench::cpuMs();
            timer.start();
            action.act();
            view->repaint();
            row.ms.push_back(bench::ms(timer));
            row.cpu.push_back(bench::cpuMs() - cpu);
        }
        frames.push_back(row);
    }

    // The same frames over a background layer of the city's 400 street lines.
    prompter.openedFile = work.filePath(QStringLiteral("streets.geojson"));
    writeStreets(prompter.openedFile);
    window->findChild<QPushButton*>(QStringLiteral("cmdBackgroundLayer"))->click();
    waitFor([&] { return view->layer() != nullptr; });
    for (size_t i : {size_t(0), size_t(3)}) {
        const Action& action = actions[i];
        Row row{action.what + QStringLiteral(" + streets"), {}, {}};
        for (int run = 0; run < Runs; ++run) {
            action.setup();
            view->repaint();
            QElapsedTimer timer;
            const double cpu = bench::cpuMs();
            timer.start();
            action.act();
            view->repaint();
            row.ms.push_back(bench::ms(timer));
            row.cpu.push_back(bench::cpuMs() - cpu);
        }
        frames.push_back(row);
    }
    key(Qt::Key_Home);
    if (const QString shot = qEnvironmentVariable("KOLVA_TREEMAP_SCREENSHOT"); !shot.isEmpty()) {
        // A record in the middle is current, ringed on the map.
        window->showTreeRecord(view->points()->id(view->points()->nearest(view->toMap(middle), 1)));
        const int zoom = qEnvironmentVariableIsSet("KOLVA_TREEMAP_ZOOM") ? qEnvironmentVariableIntValue("KOLVA_TREEMAP_ZOOM") : 3;
        for (int i = 0; i < zoom; ++i)
            key(Qt::Key_Plus);
        view->repaint();
        QCoreApplication::processEvents();
        window->grab().save(shot);
        std::printf("screenshot: %s\n", qPrintable(shot));
        if (qEnvironmentVariableIsSet("KOLVA_TREEMAP_HOLD"))
            waitFor([] { return false; }, qEnvironmentVariableIntValue("KOLVA_TREEMAP_HOLD"));
        key(Qt::Key_Home);
    }

    // The floor: sqlite3 reads the same columns; gdal_rasterize draws the
    // same points into a raster of the map's size over the same extent.
    key(Qt::Key_Home);
    const QPointF a = view->toMap(QPointF(0, view->height())), b = view->toMap(QPointF(view->width(), 0));
    const QPointF lowLeft(a.x(), QPointF(a).y()), upRight(b.x(), b.y());
    // Back to longitude and latitude for GDAL (the CSV's own degrees).
    const auto lat = [](double y) { return qRadiansToDegrees(2 * std::atan(std::exp(qDegreesToRadians(y))) - M_PI / 2); };
    const QString extent = QStringLiteral("%1 %2 %3 %4")
                               .arg(lowLeft.x(), 0, 'f', 7)
                               .arg(lat(lowLeft.y()), 0, 'f', 7)
                               .arg(upRight.x(), 0, 'f', 7)
                               .arg(lat(upRight.y()), 0, 'f', 7);
    const QString fgb = work.filePath(QStringLiteral("points.fgb"));
    QProcess convert;
    convert.start(QStringLiteral("ogr2ogr"),
                  {QStringLiteral("-f"), QStringLiteral("FlatGeobuf"), fgb, work.filePath(QStringLiteral("points.csv")),
                   QStringLiteral("-oo"), QStringLiteral("X_POSSIBLE_NAMES=lon"), QStringLiteral("-oo"),
                   QStringLiteral("Y_POSSIBLE_NAMES=lat"), QStringLiteral("-a_srs"), QStringLiteral("EPSG:4326")});
    convert.waitForFinished(-1);
    QProcess floor;
    floor.start(QStringLiteral(KOLVA_TREEMAP_FLOOR_SCRIPT),
                {path, fgb, QString::number(view->width()), QString::number(view->height()), extent,
                 QString::number(Runs)});
    floor.waitForFinished(-1);
    const QString floorOut = QString::fromUtf8(floor.readAllStandardOutput()).trimmed();
    const auto floorValue = [&](const char* name) {
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("%1=(\\d+)").arg(QLatin1String(name))).match(floorOut);
        return m.hasMatch() ? m.captured(1).toDouble() / 1000.0 : 0.0;
    };
    const double floorRead = floorValue("read_us"), floorDraw = floorValue("draw_us");
    if (floorOut.isEmpty())
        std::fprintf(stderr, "the floor did not run: %s\n", floor.readAllStandardError().constData());

    std::printf("\n%-40s %10s %10s %10s\n", "frame (medians of 5)", "median", "slowest", "cpu");
    double slowestFrame = 0;
    for (const Row& row : frames) {
        const double slowest = *std::max_element(row.ms.begin(), row.ms.end());
        slowestFrame = std::max(slowestFrame, bench::median(row.ms));
        std::printf("%-40s %7.1f ms %7.1f ms %7.1f ms\n", qPrintable(row.what), bench::median(row.ms), slowest,
                    bench::median(row.cpu));
    }
    std::printf("%-40s %7.1f ms\n", "floor: gdal_rasterize of the points", floorDraw);
    std::printf("slowest median frame: %.1f ms (target %.0f ms): %s\n", slowestFrame, FrameTargetMs,
                slowestFrame <= FrameTargetMs ? "met" : "NOT MET");
    std::printf("\n%-40s %7.1f ms\n", qPrintable(refresh.what), bench::median(refresh.ms));
    std::printf("%-40s %7.1f ms\n", "floor: sqlite3 reading the same columns", floorRead);
    std::printf("resident memory: %.0f MiB\n", bench::residentMiB());
    delete window;
    return 0;
}
