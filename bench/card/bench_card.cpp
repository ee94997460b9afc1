// Storage card benchmarks with generated data:
//  - the Main window's "Import Field Data from Storage Card" click as shipped
//    (backup box ticked): 10,000 .tree files of 50 lines into a database that
//    already holds 100,000 records, every prompt answered at once, until the
//    closing message; beside it, in the same run, the floor of public tools
//    doing the same work: cat of the files, the sqlite3 shell importing the
//    same rows from one CSV file, cp of the files into a backup folder, sync,
//    rm of the files;
//  - the same click with the backup box clear, beside cat + sqlite3 .import;
//  - writing a card from 5,000 streets and 2,000 species.
// Each run of the click and of the floor alternate, so that a busy machine
// slows both alike; medians are reported.

#include "card/cardwriter.h"
#include "card/fieldimport.h"
#include "app/frmMain.h"
#include "card/importsd.h"
#include "card/treefile.h"
#include "platform/settings.h"
#include "platform/clock.h"
#include "platform/drivelist.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/shell.h"
#include "store/database.h"
#include "bench/measure.h"
#include "bench/seams.h"
#include "bench/card/carddata.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sys/stat.h>

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr int TreeFileCount = 10000;
constexpr int StoredRecords = 100000;
constexpr int Runs = 5;

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size()) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        std::exit(1);
    }
}

void copyOver(const QString& from, const QString& to)
{
    QFile::remove(to);
    if (!QFile::copy(from, to)) {
        std::fprintf(stderr, "cannot copy %s\n", qPrintable(from));
        std::exit(1);
    }
}

// Puts a copied database on the disk before a timed run, as the floor
// script does, so that no run pays for writing out the copy.
void flushFile(const QString& path)
{
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

struct Figures {
    double best = 0;
    double median = 0;
};

Figures figures(std::vector<double> ms)
{
    std::sort(ms.begin(), ms.end());
    return {ms.front(), ms[ms.size() / 2]};
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    QTemporaryDir work;
    bench::keepWhenAsked(work);
    const QString cardDir = work.filePath(QStringLiteral("card"));
    const QString programDir = work.filePath(QStringLiteral("program"));
    QDir().mkpath(cardDir);
    QDir().mkpath(programDir);
    const QString base = work.filePath(QStringLiteral("base.mdb"));
    const QString csv = work.filePath(QStringLiteral("records.csv"));
    const QDateTime added = QDateTime::currentDateTime();

    std::printf("cores: %d\n", QThread::idealThreadCount());
    std::printf("generating %d .tree files and a database of %d records...\n", TreeFileCount, StoredRecords);
    std::fflush(stdout);
    makeBaseDatabase(base, added, StoredRecords);
    writeFile(QDir(cardDir).filePath(cardMarkerName()), "Size of Defective Part \r\n");
    QString csvText;
    const int firstId = StoredRecords + 1;
    for (int n = 0; n < TreeFileCount; ++n) {
        const QByteArrayList lines = treeLines(n + 1);
        writeFile(QDir(cardDir).filePath(QStringLiteral("%1.tree").arg(n + 1, 5, 10, QLatin1Char('0'))),
                  fileBytes(lines));
        const auto values = toSurveyValues(*TreeFileReader::parse(fileBytes(lines), nullptr), added, nullptr);
        QStringList row{QString::number(firstId + n)};
        for (const QVariant& value : *values)
            row << csvField(value);
        row << QString() << QString() << QStringLiteral("0"); // Latitude, Longitude, Report_Flag
        csvText += row.join(QLatin1Char(',')) + QLatin1Char('\n');
    }
    writeFile(csv, csvText.toUtf8());

    // A fresh copy of the card for each run: the click moves its files.
    const QStringList names = QDir(cardDir).entryList({QStringLiteral("*.tree")}, QDir::Files, QDir::Name);
    const auto freshCard = [&](const QString& to) {
        QDir(to).removeRecursively();
        QDir().mkpath(to);
        copyOver(QDir(cardDir).filePath(cardMarkerName()), QDir(to).filePath(cardMarkerName()));
        for (const QString& name : names)
            copyOver(QDir(cardDir).filePath(name), QDir(to).filePath(name));
    };

    // The click on the Main window's button, as shipped or with the box clear.
    const auto click = [&](bool keepBackup, int run) -> double {
        const QString card = work.filePath(QStringLiteral("clickcard"));
        const QString program = work.filePath(QStringLiteral("program%1%2").arg(run).arg(keepBackup ? "b" : "c"));
        freshCard(card);
        QDir().mkpath(program);
        const QString dbPath = QDir(program).filePath(QStringLiteral("KOLVA.MDB"));
        copyOver(base, dbPath);
        flushFile(dbPath);
        ::sync(); // what the copies wrote is on the disk before the timed click
        auto db = openKolvaDatabase(dbPath);
        InstantPrompter prompter;
        NoShell shell;
        FixedDrives drives(card);
        SystemClock clock;
        FileSettings settings(QDir(program).filePath(QStringLiteral("kolva.ini")));
        frmMain main(AppContext{*db, prompter, shell, drives, clock, program, settings, program});
        main.show();
        if (main.chkSavePDAFiles()->isChecked() != true) {
            std::fprintf(stderr, "the backup box is not ticked when the window opens\n");
            std::exit(1);
        }
        main.chkSavePDAFiles()->setChecked(keepBackup);
        QCoreApplication::processEvents();

        QElapsedTimer timer;
        timer.start();
        main.cmdImportSD()->click();
        while (!main.cmdImportSD()->isEnabled())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        const double ms = timer.nsecsElapsed() / 1e6;

        const int rows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData")).toInt();
        const int left = QDir(card).entryList({QStringLiteral("*.tree")}, QDir::Files).size();
        if (rows != StoredRecords + TreeFileCount || prompter.texts.size() != 2 || !prompter.texts[1].startsWith(QLatin1String("Done!")) ||
            left != (keepBackup ? 0 : TreeFileCount)) {
            std::fprintf(stderr, "the import went wrong: %d records, %d files left, messages: %s\n", rows, left,
                         qPrintable(prompter.texts.join(QStringLiteral(" | "))));
            std::exit(1);
        }
        return ms;
    };

    // The floor of public tools, one run.
    struct Floor {
        double catMs = 0, sqliteMs = 0, moveMs = 0;
    };
    const auto floorRun = [&]() -> Floor {
        const QString card = work.filePath(QStringLiteral("floorcard"));
        freshCard(card);
        QProcess floor;
        floor.start(QStringLiteral(KOLVA_CARD_FLOOR_SCRIPT), {card, base, csv, work.filePath(QStringLiteral("floorbackup"))});
        floor.waitForFinished(-1);
        const QString out = QString::fromLocal8Bit(floor.readAllStandardOutput());
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("cat_us=(\\d+) sqlite_us=(\\d+) move_us=(\\d+) rows_after=(\\d+) left=(\\d+)"))
                .match(out);
        if (!m.hasMatch() || m.captured(4).toInt() != StoredRecords + TreeFileCount || m.captured(5).toInt() != 0) {
            std::fprintf(stderr, "floor measurement failed: %s%s\n", qPrintable(out),
                         qPrintable(QString::fromLocal8Bit(floor.readAllStandardError())));
            std::exit(1);
        }
        return {m.captured(1).toDouble() / 1000.0, m.captured(2).toDouble() / 1000.0, m.captured(3).toDouble() / 1000.0};
    };

    std::vector<double> shippedMs, clearMs, floorShipped, floorClear, catMs, sqliteMs, moveMs;
    for (int run = 0; run < Runs; ++run) {
        const Floor f = floorRun();
        catMs.push_back(f.catMs);
        sqliteMs.push_back(f.sqliteMs);
        moveMs.push_back(f.moveMs);
        floorShipped.push_back(f.catMs + f.sqliteMs + f.moveMs);
        floorClear.push_back(f.catMs + f.sqliteMs);
        shippedMs.push_back(click(true, run));
        clearMs.push_back(click(false, run));
        std::printf("run %d: click as shipped %.0f ms, floor %.0f ms (cat %.0f + sqlite3 %.0f + cp/sync/rm %.0f); "
                    "box clear %.0f ms, floor %.0f ms\n",
                    run + 1, shippedMs.back(), floorShipped.back(), f.catMs, f.sqliteMs, f.moveMs, clearMs.back(),
                    floorClear.back());
        std::fflush(stdout);
    }

    // Writing a card from 5,000 streets and 2,000 species.
    std::vector<double> writeMs;
    {
        const QString dbPath = work.filePath(QStringLiteral("lists.mdb"));
        createKolvaDatabase(dbPath);
        auto db = openKolvaDatabase(dbPath);
        Transaction transaction(*db);
        db->exec(QStringLiteral("DELETE FROM Species"));
        for (int i = 0; i < 5000; ++i)
            db->exec(QStringLiteral("INSERT INTO Streets_PDA (StreetName) VALUES (?)"),
                     {QStringLiteral("STREET %1 AVE").arg(i, 4, 10, QLatin1Char('0'))});
        for (int i = 0; i < 2000; ++i)
            db->exec(QStringLiteral("INSERT INTO Species (Description) VALUES (?)"),
                     {QStringLiteral("SP%1-SPECIES NUMBER %1").arg(i)});
        transaction.commit();
        const QString target = work.filePath(QStringLiteral("newcard"));
        QDir().mkpath(target);
        for (int run = 0; run < Runs; ++run) {
            QElapsedTimer timer;
            timer.start();
            writeStorageCard(*db, target);
            writeMs.push_back(timer.nsecsElapsed() / 1e6);
        }
        if (QFile(QDir(target).filePath(QStringLiteral("Streets.txt"))).size() < 5000 * 15) {
            std::fprintf(stderr, "the card lists are incomplete\n");
            return 1;
        }
    }

    const Figures shipped = figures(shippedMs);
    const Figures clear = figures(clearMs);
    const Figures fShipped = figures(floorShipped);
    const Figures fClear = figures(floorClear);
    const Figures write = figures(writeMs);
    std::printf("medians of %d runs, %d .tree files of 50 lines into %d records:\n", Runs, TreeFileCount, StoredRecords);
    std::printf("click as shipped (backup box ticked): %.0f ms; floor cat %.0f + sqlite3 .import %.0f + cp/sync/rm %.0f "
                "= %.0f ms; ratio %.2f (limit 1.30: %s)\n",
                shipped.median, figures(catMs).median, figures(sqliteMs).median, figures(moveMs).median,
                fShipped.median, shipped.median / fShipped.median,
                shipped.median <= 1.3 * fShipped.median ? "met" : "NOT MET");
    std::printf("click with the backup box clear: %.0f ms; floor cat + sqlite3 .import %.0f ms; ratio %.2f "
                "(limit 0.80: %s)\n",
                clear.median, fClear.median, clear.median / fClear.median,
                clear.median <= 0.8 * fClear.median ? "met" : "NOT MET");
    std::printf("card writing, 5000 streets and 2000 species: best %.1f ms, median %.1f ms (limit 200 ms: %s)\n",
                write.best, write.median, write.median <= 200 ? "met" : "NOT MET");
    return 0;
}
