// Reference list benchmarks with generated data:
//  - the street CSV import of 100,000 lines (half of them streets already in
//    the list) into a list of 5,000 streets, as the window's click runs it
//    (a worker with its own connection, the progress dialog's job), against
//    the floor of the sqlite3 shell importing the same names;
//  - the street list window with 5,000 streets: opening until it is filled
//    and painted, and ticking one street with the mouse;
//  - the species import of a zone of 2,000 species after the confirmation
//    (replacing the list in one transaction, as the window's job does), and
//    reading the zone tables of the species database fixture.

#include "platform/settings.h"
#include "lists/frmStreetList.h"
#include "lists/speciesimport.h"
#include "lists/streets.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/progress.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/accessfile.h"
#include "store/database.h"
#include "bench/measure.h"
#include "bench/seams.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr int StoredStreets = 5000;
constexpr int CsvLines = 100000;
constexpr int ZoneSpecies = 2000;
constexpr int Runs = 7;

const char* const Kinds[] = {"ST", "AVE", "RD", "LN", "DR", "CT", "BLVD", "WAY", "PL", "TER"};

QString streetName(int i)
{
    return QStringLiteral("STREET %1 %2").arg(i, 6, 10, QLatin1Char('0')).arg(QLatin1String(Kinds[i % 10]));
}

void copyFile(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(from));
        std::exit(1);
    }
    // On the disk before a timed run, as the floor script does.
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

struct Figures {
    double best = 0;
    double median = 0;
    double worst = 0;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2], ms.back()};
}

double msSince(const QElapsedTimer& timer)
{
    return double(timer.nsecsElapsed()) / 1e6;
}

// Runs the work as the windows do (a job on a thread of its own) and waits
// on the window thread until its finished part has run.
double timeJob(const BackgroundJob::Work& work)
{
    QElapsedTimer timer;
    QEventLoop loop; // idles as the program's event loop does
    timer.start();
    BackgroundJob::start(nullptr, QStringLiteral("bench"), work, [&](std::exception_ptr error) {
        if (error) {
            try {
                std::rethrow_exception(error);
            } catch (const std::exception& e) {
                std::fprintf(stderr, "job failed: %s\n", e.what());
                std::exit(1);
            }
        }
        loop.quit();
    });
    loop.exec();
    return msSince(timer);
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work;
    bench::keepWhenAsked(work);

    // A database with 5,000 streets, every tenth ticked.
    const QString base = work.filePath(QStringLiteral("base.mdb"));
    createKolvaDatabase(base);
    {
        const std::unique_ptr<Database> db = Database::open(base);
        Transaction transaction(*db);
        db->exec(QStringLiteral("DELETE FROM _Streets_Master"));
        QSqlQuery insert = db->prepare(QStringLiteral("INSERT INTO _Streets_Master (StreetName, SendToPDA) VALUES (?, ?)"));
        for (int i = 0; i < StoredStreets; ++i) {
            insert.bindValue(0, streetName(i * 2));
            insert.bindValue(1, i % 10 == 0 ? 1 : 0);
            Database::run(insert);
        }
        insert.finish();
        transaction.commit();
    }

    // 100,000 lines: every even line a street of the list (each ten times),
    // every odd line a new one; a second column as spreadsheets have.
    const QString csv = work.filePath(QStringLiteral("streets.csv"));
    const QString namesCsv = work.filePath(QStringLiteral("names.csv"));
    {
        QByteArray lines;
        QByteArray names;
        for (int i = 0; i < CsvLines; ++i) {
            const QString name = i % 2 == 0 ? streetName((i / 2 % StoredStreets) * 2) : streetName(2 * i + 1);
            lines += name.toLatin1() + ',' + QByteArray::number(i % 37) + "\r\n";
            names += name.toLatin1() + '\n';
        }
        QFile a(csv);
        QFile b(namesCsv);
        if (!a.open(QIODevice::WriteOnly) || !b.open(QIODevice::WriteOnly))
            return 1;
        a.write(lines);
        b.write(names);
    }

    // The street import as the window's click runs it.
    const QString dbPath = work.filePath(QStringLiteral("KOLVA.MDB"));
    std::vector<double> importMs;
    qint64 added = 0;
    for (int run = 0; run < Runs; ++run) {
        copyFile(base, dbPath);
        importMs.push_back(timeJob([&](Progress& progress) { added = importStreetFile(dbPath, csv, progress).added; }));
    }
    const Figures import = figures(importMs);

    // Its two parts on their own, on the window thread.
    std::vector<double> readMsParts;
    std::vector<double> addMsParts;
    for (int run = 0; run < Runs; ++run) {
        copyFile(base, dbPath);
        NullProgress progress;
        QElapsedTimer timer;
        timer.start();
        const StreetFileNames names = readStreetFile(csv);
        readMsParts.push_back(msSince(timer));
        timer.restart();
        const std::unique_ptr<Database> own = Database::open(dbPath);
        addStreetNames(*own, names.names, progress);
        addMsParts.push_back(msSince(timer));
    }
    const Figures readPart = figures(readMsParts);
    const Figures addPart = figures(addMsParts);

    QProcess floor;
    floor.start(QStringLiteral(KOLVA_LISTS_FLOOR_SCRIPT), {base, namesCsv, QString::number(Runs)});
    floor.waitForFinished(-1);
    const QString floorOut = QString::fromLocal8Bit(floor.readAllStandardOutput());
    const QRegularExpressionMatch m =
        QRegularExpression(QStringLiteral("sqlite_us=(\\d+) streets_after=(\\d+)")).match(floorOut);
    if (!m.hasMatch()) {
        std::fprintf(stderr, "floor measurement failed: %s%s\n", qPrintable(floorOut),
                     qPrintable(QString::fromLocal8Bit(floor.readAllStandardError())));
        return 1;
    }
    const double floorMs = m.captured(1).toDouble() / 1000.0;
    const qint64 floorStreets = m.captured(2).toLongLong();

    // The street list window with 5,000 streets.
    copyFile(base, dbPath);
    std::unique_ptr<Database> db = Database::open(dbPath);
    InstantPrompter prompter;
    NoShell shell;
    FixedDrives drives;
    SystemClock clock;
    // Settings of the benchmark's own, in a scratch file beside its database.
    FileSettings settings(QDir(work.path()).filePath(QStringLiteral("kolva.ini")));
    const AppContext context{*db, prompter, shell, drives, clock, work.path(), settings, work.path()};
    std::vector<double> openMs;
    std::vector<double> tickMs;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        auto* window = new frmStreetList(context);
        window->show();
        window->repaint(); // filled and painted
        QCoreApplication::processEvents();
        openMs.push_back(msSince(timer));

        // A click on the check box of a street in the middle of the list.
        QListWidget* list = window->List1();
        QListWidgetItem* item = list->item(StoredStreets / 2 + 1 + run); // one not yet ticked
        list->scrollToItem(item);
        QCoreApplication::processEvents();
        const QRect rect = list->visualItemRect(item);
        timer.restart();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, QPoint(rect.left() + 10, rect.center().y()));
        tickMs.push_back(msSince(timer));
        if (item->checkState() != Qt::Checked || pdaStreetCount(*db) != StoredStreets / 10 + run + 1) {
            std::fprintf(stderr, "the tick was not written\n");
            return 1;
        }
        delete window;
    }
    db.reset();
    const Figures open = figures(openMs);
    const Figures tick = figures(tickMs);

    // The species import after the confirmation: 2,000 species replace the list.
    QStringList species;
    for (int i = 0; i < ZoneSpecies; ++i)
        species << speciesDescription(QStringLiteral("SP%1").arg(i), QStringLiteral("Species number %1 of the zone").arg(i));
    std::vector<double> speciesMs;
    for (int run = 0; run < Runs; ++run) {
        copyFile(base, dbPath);
        speciesMs.push_back(timeJob([&](Progress& progress) {
            const std::unique_ptr<Database> own = Database::open(dbPath);
            replaceSpecies(*own, species, progress);
        }));
    }
    const Figures speciesWrite = figures(speciesMs);

    // Reading the zones of the fixture: open, check, read every zone table.
    const QString fixture = QStringLiteral(KOLVA_SOURCE_DIR "/tests/data/species_zones.mdb");
    std::vector<double> readMs;
    int read = 0;
    for (int run = 0; run < Runs; ++run) {
        QElapsedTimer timer;
        timer.start();
        const std::unique_ptr<AccessFile> file = openSpeciesDatabase(fixture);
        read = 0;
        for (const QString& zone : climateZones(*file))
            read += int(readZoneSpecies(*file, fixture, zone, SpeciesName::Common).size());
        readMs.push_back(msSince(timer));
    }
    const Figures readZones = figures(readMs);

    std::printf("street CSV import, %d lines (half of them streets already listed) into %d streets, %lld added: "
                "best %.1f ms, median %.1f ms (limit 500 ms: %s)\n",
                CsvLines, StoredStreets, static_cast<long long>(added), import.best, import.median,
                import.median <= 500 ? "met" : "NOT MET");
    std::printf("  of which reading and cleaning the names: median %.1f ms; adding them: median %.1f ms\n",
                readPart.median, addPart.median);
    std::printf("floor: sqlite3 .import of the same names into a scratch table + INSERT OR IGNORE: %.1f ms (%lld "
                "streets after)\n",
                floorMs, static_cast<long long>(floorStreets));
    std::printf("import / floor: %.2f (limit 2.00: %s)\n", import.median / floorMs,
                import.median <= 2 * floorMs ? "met" : "NOT MET");
    std::printf("street list window with %d streets, open until filled and painted: best %.1f ms, median %.1f ms "
                "(limit 200 ms: %s)\n",
                StoredStreets, open.best, open.median, open.median <= 200 ? "met" : "NOT MET");
    std::printf("ticking one street (mouse click to the row written): best %.2f ms, median %.2f ms, worst %.2f ms "
                "(limit 20 ms: %s)\n",
                tick.best, tick.median, tick.worst, tick.median <= 20 ? "met" : "NOT MET");
    std::printf("species import of a %d-species zone after the confirmation: best %.1f ms, median %.1f ms "
                "(limit 300 ms: %s)\n",
                ZoneSpecies, speciesWrite.best, speciesWrite.median, speciesWrite.median <= 300 ? "met" : "NOT MET");
    std::printf("reading the fixture's zone tables (%d species in 4 zones, open and check included): best %.2f ms, "
                "median %.2f ms\n",
                read, readZones.best, readZones.median);
    return 0;
}
