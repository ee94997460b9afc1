// The import of a large storage card: 100,000 generated .tree files (or the
// number given) into a database that already holds 100,000 records, as the
// scheduled command line runs it (kolva import CARD --no-backup, a process
// of its own), timed from its start to its end, with its peak resident
// memory; beside it, in the same run and alternating with it, the floor of
// public tools doing the same work (floor_large.sh): sha256sum of the files
// and the sqlite3 shell loading the records, their history rows and the
// files' digests in one transaction. Medians of the runs.
//
//   bench_card_large [files] [runs] [records in the database before]

#include "bench/card/carddata.h"
#include "bench/measure.h"
#include "card/fieldimport.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <sys/resource.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>

#include <cstdio>
#include <vector>

extern char** environ;

using namespace kolva;
using namespace kolva::bench;

namespace {

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
    const int fd = ::open(QFile::encodeName(to).constData(), O_RDONLY);
    if (fd >= 0) {
        ::fsync(fd);
        ::close(fd);
    }
}

struct Child {
    double ms = 0;
    double peakMiB = 0; // the process's own peak resident memory
    int status = -1;
    QByteArray out;
};

// Runs a program to its end: its time and its peak resident memory.
Child run(const QString& program, const QStringList& arguments)
{
    QTemporaryDir outDir;
    const QByteArray outPath = QFile::encodeName(outDir.filePath(QStringLiteral("out")));
    std::vector<QByteArray> args{QFile::encodeName(program)};
    for (const QString& a : arguments)
        args.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& a : args)
        argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    Child child;
    QElapsedTimer timer;
    timer.start();
    pid_t pid = 0;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
        std::fprintf(stderr, "cannot start %s\n", argv[0]);
        std::exit(1);
    }
    posix_spawn_file_actions_destroy(&actions);
    struct rusage usage {};
    int status = 0;
    ::wait4(pid, &status, 0, &usage);
    child.ms = ms(timer);
    child.peakMiB = double(usage.ru_maxrss) / 1024.0;
    child.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    QFile out(outDir.filePath(QStringLiteral("out")));
    if (out.open(QIODevice::ReadOnly))
        child.out = out.readAll();
    return child;
}

double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return -1;
    return file.readAll().split(' ').value(0).toDouble();
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int files = argc > 1 ? std::atoi(argv[1]) : 100000;
    const int runs = argc > 2 ? std::atoi(argv[2]) : 3;
    const int storedRecords = argc > 3 ? std::atoi(argv[3]) : 100000;
    QTemporaryDir work;
    keepWhenAsked(work);
    const QString cardDir = work.filePath(QStringLiteral("card"));
    QDir().mkpath(cardDir);
    const QString base = work.filePath(QStringLiteral("base.mdb"));
    const QString csv = work.filePath(QStringLiteral("records.csv"));
    const QDateTime added = QDateTime::currentDateTime();

    std::printf("cores: %d, load average %.1f\n", QThread::idealThreadCount(), loadAverage());
    std::printf("generating %d .tree files and a database of %d records...\n", files, storedRecords);
    std::fflush(stdout);
    makeBaseDatabase(base, added, storedRecords);
    writeFile(QDir(cardDir).filePath(cardMarkerName()), "Size of Defective Part \r\n");
    {
        QFile out(csv);
        if (!out.open(QIODevice::WriteOnly)) {
            std::fprintf(stderr, "cannot write %s\n", qPrintable(csv));
            return 1;
        }
        const QString addedStored = added.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        for (int n = 0; n < files; ++n) {
            const QByteArray bytes = fileBytes(treeLines(n + 1));
            writeFile(QDir(cardDir).filePath(QStringLiteral("%1.tree").arg(n + 1, 7, 10, QLatin1Char('0'))), bytes);
            const auto values = toSurveyValues(*TreeFileReader::parse(bytes, nullptr), addedStored, nullptr);
            QStringList row{QString::number(storedRecords + 1 + n)};
            for (const QVariant& value : *values)
                row << csvField(value);
            row << QString() << QString() << QStringLiteral("0"); // Latitude, Longitude, Report_Flag
            out.write((row.join(QLatin1Char(',')) + QLatin1Char('\n')).toUtf8());
        }
    }
    ::sync();

    const QString database = work.filePath(QStringLiteral("KOLVA.MDB"));
    std::vector<double> importMs, floorMs, shaMs, sqliteMs, peakMiB;
    for (int r = 0; r < runs; ++r) {
        copyOver(base, database);
        const Child floor = run(QStringLiteral(KOLVA_CARD_FLOOR_LARGE_SCRIPT),
                                {cardDir, database, csv, QString::number(storedRecords + 1)});
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("sha_us=(\\d+) sqlite_us=(\\d+) rows_after=(\\d+) history_after=(\\d+) "
                                              "files_after=(\\d+)"))
                .match(QString::fromLocal8Bit(floor.out));
        if (floor.status != 0 || !m.hasMatch() || m.captured(3).toInt() != storedRecords + files ||
            m.captured(4).toInt() != files || m.captured(5).toInt() != files) {
            std::fprintf(stderr, "the floor went wrong: %s\n", floor.out.constData());
            return 1;
        }
        shaMs.push_back(m.captured(1).toDouble() / 1000.0);
        sqliteMs.push_back(m.captured(2).toDouble() / 1000.0);
        floorMs.push_back(shaMs.back() + sqliteMs.back());

        copyOver(base, database);
        const Child import = run(QStringLiteral(KOLVA_PROGRAM), {QStringLiteral("import"), cardDir,
                                                                  QStringLiteral("--no-backup"),
                                                                  QStringLiteral("--database"), database,
                                                                  QStringLiteral("--quiet")});
        auto db = Database::open(database);
        const int rows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData")).toInt();
        const int history = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Survey_History")).toInt();
        const int imported = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Imported_Files")).toInt();
        db.reset();
        if (import.status != 0 || rows != storedRecords + files || history != files || imported != files) {
            std::fprintf(stderr, "the import went wrong (status %d): %d records, %d history rows, %d files; %s\n",
                         import.status, rows, history, imported, import.out.constData());
            return 1;
        }
        importMs.push_back(import.ms);
        peakMiB.push_back(import.peakMiB);
        std::printf("run %d: import %.0f ms, peak %.1f MiB; floor %.0f ms (sha256sum %.0f + sqlite3 %.0f); "
                    "load average %.1f\n",
                    r + 1, import.ms, import.peakMiB, floorMs.back(), shaMs.back(), sqliteMs.back(), loadAverage());
        std::fflush(stdout);
    }
    const double i = median(importMs);
    const double f = median(floorMs);
    std::printf("medians of %d runs, %d .tree files into %d records: import %.0f ms, peak %.1f MiB (largest %.1f); "
                "floor sha256sum %.0f + sqlite3 %.0f = %.0f ms; ratio %.2f (limit 1.50: %s); memory limit 100 MiB: "
                "%s\n",
                runs, files, storedRecords, i, median(peakMiB), *std::max_element(peakMiB.begin(), peakMiB.end()),
                median(shaMs), median(sqliteMs), f, i / f, i <= 1.5 * f ? "met" : "NOT MET",
                *std::max_element(peakMiB.begin(), peakMiB.end()) <= 100 ? "met" : "NOT MET");
    return 0;
}
