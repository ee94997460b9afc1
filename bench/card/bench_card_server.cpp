// The storage card import into a database on a PostgreSQL server, with
// generated data: the Main window's "Import Field Data from Storage Card"
// click (backup box clear) of 10,000 .tree files of 50 lines into a database
// that already holds 100,000 records with their history and imported-files
// rows, every prompt answered at once, until the closing message; beside it,
// in the same run, the floor of public tools: psql's \copy of the same rows
// (records, history rows, imported-files rows) in one transaction.
// The server is a throwaway cluster over the local socket
// (tests/support/pgcluster.sh); each run imports into a fresh copy of the
// same database. The click and the floor alternate, so that a busy machine
// slows both alike; medians are reported.

#include "app/frmMain.h"
#include "bench/card/carddata.h"
#include "bench/measure.h"
#include "bench/seams.h"
#include "bench/pgserver.h"
#include "card/fieldimport.h"
#include "card/importsd.h"
#include "card/treefile.h"
#include "platform/clock.h"
#include "platform/drives.h"
#include "platform/prompter.h"
#include "platform/settings.h"
#include "platform/shell.h"
#include "store/bulkload.h"
#include "store/database.h"
#include "store/dates.h"
#include "store/kolvadb.h"

#include <QApplication>
#include <QCheckBox>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>
#include <vector>

using namespace kolva;
using namespace kolva::bench;

namespace {

constexpr int TreeFileCount = 10000;
constexpr int StoredRecords = 100000;
constexpr int Runs = 5;

[[noreturn]] void fail(const QString& what)
{
    std::fprintf(stderr, "%s\n", qPrintable(what));
    std::exit(1);
}

void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        fail(QStringLiteral("cannot write %1").arg(path));
}

QString runScript(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    process.waitForFinished(-1);
    const QString out = QString::fromLocal8Bit(process.readAllStandardOutput());
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        fail(QStringLiteral("%1 failed: %2%3").arg(program, out, QString::fromLocal8Bit(process.readAllStandardError())));
    return out;
}

// A value as a CSV field psql's \copy takes: NULL unquoted and empty, text
// always quoted (so that an empty text stays empty), bytes as bytea's hex.
QString copyCsv(const QVariant& value)
{
    if (value.isNull() || (value.typeId() == QMetaType::QString && value.toString().isNull()))
        return {};
    if (value.typeId() == QMetaType::QByteArray)
        return QStringLiteral("\\x") + QString::fromLatin1(value.toByteArray().toHex());
    QString text = value.toString();
    return QLatin1Char('"') + text.replace(QLatin1String("\""), QLatin1String("\"\"")) + QLatin1Char('"');
}

QString csvLine(const QVariantList& values)
{
    QStringList fields;
    for (const QVariant& value : values)
        fields << copyCsv(value);
    return fields.join(QLatin1Char(',')) + QLatin1Char('\n');
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
    QDir().mkpath(cardDir);
    const QDateTime added = QDateTime::currentDateTime();
    const QString addedText = toDbDateTime(added);

    // The server: its own cluster in a folder the server's user can reach.
    ServerCluster cluster(QStringLiteral(KOLVA_BENCH_CLUSTER_DIR));
    const auto uriOf = [&](const QString& name) { return cluster.uriOf(name); };
    Database* admin = &cluster.admin();

    std::printf("cores: %d\n", QThread::idealThreadCount());
    std::printf("generating %d .tree files and a server database of %d records...\n", TreeFileCount, StoredRecords);
    std::fflush(stdout);
    QStringList surveyColumns;
    for (const SurveyField& field : surveyFields())
        surveyColumns << QLatin1String(field.column);
    {
        admin->exec(QStringLiteral("CREATE DATABASE kolva_base"));
        auto db = openKolvaDatabase(uriOf(QStringLiteral("kolva_base")));
        Transaction transaction(*db);
        const QList<qint64> ids = reserveRowIds(*db, QStringLiteral("_Archived_SurveyData"), StoredRecords);
        BulkRows records(*db, QStringLiteral("_Archived_SurveyData"), QStringList{QStringLiteral("ID")} + surveyColumns);
        BulkRows history(*db, QStringLiteral("_Survey_History"),
                         {QStringLiteral("Survey_ID"), QStringLiteral("Action"), QStringLiteral("Changed_At"),
                          QStringLiteral("Changed_By")});
        BulkRows files(*db, QStringLiteral("_Imported_Files"),
                       {QStringLiteral("Digest"), QStringLiteral("File_Name"), QStringLiteral("Byte_Size"),
                        QStringLiteral("Imported_At"), QStringLiteral("Survey_ID")});
        for (int n = 0; n < StoredRecords; ++n) {
            const QByteArray bytes = fileBytes(treeLines(500000 + n));
            const auto values = toSurveyValues(*TreeFileReader::parse(bytes, nullptr), added, nullptr);
            QVariantList row{ids[n]};
            for (const QVariant& value : *values)
                row << value;
            records.add(row);
            history.add({ids[n], QStringLiteral("imported"), addedText, QStringLiteral("anna")});
            files.add({QCryptographicHash::hash(bytes, QCryptographicHash::Sha256), QStringLiteral("%1.tree").arg(n),
                       bytes.size(), addedText, ids[n]});
            if (records.pending() == 10000) {
                records.write();
                history.write();
                files.write();
            }
        }
        records.write();
        history.write();
        files.write();
        transaction.commit();
        db->exec(QStringLiteral("VACUUM ANALYZE"));
    }

    // The card, and the same rows as the import writes them for the floor.
    writeFile(QDir(cardDir).filePath(cardMarkerName()), "Size of Defective Part \r\n");
    QString recordsCsv, historyCsv, filesCsv;
    const int firstId = StoredRecords + 1;
    for (int n = 0; n < TreeFileCount; ++n) {
        const QString name = QStringLiteral("%1.tree").arg(n + 1, 5, 10, QLatin1Char('0'));
        const QByteArray bytes = fileBytes(treeLines(n + 1));
        writeFile(QDir(cardDir).filePath(name), bytes);
        const auto values = toSurveyValues(*TreeFileReader::parse(bytes, nullptr), added, nullptr);
        QVariantList row{firstId + n};
        for (const QVariant& value : *values)
            row << value;
        recordsCsv += csvLine(row);
        historyCsv += csvLine({firstId + n, QStringLiteral("imported"), addedText, QStringLiteral("anna")});
        filesCsv += csvLine({QCryptographicHash::hash(bytes, QCryptographicHash::Sha256), name, bytes.size(), addedText,
                             firstId + n});
    }
    const QString recordsFile = work.filePath(QStringLiteral("records.csv"));
    const QString historyFile = work.filePath(QStringLiteral("history.csv"));
    const QString filesFile = work.filePath(QStringLiteral("files.csv"));
    writeFile(recordsFile, recordsCsv.toUtf8());
    writeFile(historyFile, historyCsv.toUtf8());
    writeFile(filesFile, filesCsv.toUtf8());

    const auto freshDatabase = [&](const QString& name) {
        admin->exec(QStringLiteral("DROP DATABASE IF EXISTS %1").arg(name));
        admin->exec(QStringLiteral("CREATE DATABASE %1 TEMPLATE kolva_base").arg(name));
        admin->exec(QStringLiteral("CHECKPOINT"));
        return uriOf(name);
    };

    // The click on the Main window's button, the backup box clear.
    const auto click = [&](int run) -> double {
        const QString uri = freshDatabase(QStringLiteral("kolva_click"));
        const QString program = work.filePath(QStringLiteral("program%1").arg(run));
        QDir().mkpath(program);
        double elapsed = 0;
        {
            auto db = openKolvaDatabase(uri);
            InstantPrompter prompter;
            NoShell shell;
            FixedDrives drives(cardDir);
            SystemClock clock;
            FileSettings settings(QDir(program).filePath(QStringLiteral("kolva.ini")));
            frmMain main(AppContext{*db, prompter, shell, drives, clock, program, settings, program});
            main.show();
            main.chkSavePDAFiles()->setChecked(false);
            QCoreApplication::processEvents();
            QElapsedTimer timer;
            timer.start();
            main.cmdImportSD()->click();
            while (!main.cmdImportSD()->isEnabled())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            elapsed = timer.nsecsElapsed() / 1e6;
            const int rows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Archived_SurveyData")).toInt();
            const int historyRows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Survey_History")).toInt();
            const int fileRows = db->scalar(QStringLiteral("SELECT COUNT(*) FROM _Imported_Files")).toInt();
            const int total = StoredRecords + TreeFileCount;
            if (rows != total || historyRows != total || fileRows != total || prompter.texts.size() != 2 ||
                !prompter.texts[1].startsWith(QLatin1String("Done!")))
                fail(QStringLiteral("the import went wrong: %1 records, %2 history rows, %3 file rows, messages: %4")
                         .arg(rows)
                         .arg(historyRows)
                         .arg(fileRows)
                         .arg(prompter.texts.join(QStringLiteral(" | "))));
        }
        admin->exec(QStringLiteral("DROP DATABASE kolva_click"));
        return elapsed;
    };

    const auto floorRun = [&]() -> double {
        const QString uri = freshDatabase(QStringLiteral("kolva_floor"));
        const QString out = runScript(QStringLiteral(KOLVA_CARD_FLOOR_SERVER_SCRIPT),
                                      {uri, QStringLiteral("ID,") + surveyColumns.join(QLatin1Char(',')), recordsFile,
                                       historyFile, filesFile});
        const QRegularExpressionMatch m =
            QRegularExpression(QStringLiteral("copy_us=(\\d+) rows_after=(\\d+)")).match(out);
        if (!m.hasMatch() || m.captured(2).toInt() != StoredRecords + TreeFileCount)
            fail(QStringLiteral("floor measurement failed: %1").arg(out));
        admin->exec(QStringLiteral("DROP DATABASE kolva_floor"));
        return m.captured(1).toDouble() / 1000.0;
    };

    std::vector<double> clickMs, floorMs;
    for (int run = 0; run < Runs; ++run) {
        floorMs.push_back(floorRun());
        clickMs.push_back(click(run));
        std::printf("run %d: click %.0f ms, floor psql \\copy %.0f ms\n", run + 1, clickMs.back(), floorMs.back());
        std::fflush(stdout);
    }
    const double clickMedian = median(clickMs);
    const double floorMedian = median(floorMs);
    std::printf("medians of %d runs, %d .tree files of 50 lines into %d records on the server:\n", Runs, TreeFileCount,
                StoredRecords);
    std::printf("click (backup box clear): %.0f ms; floor psql \\copy of records, history and file rows %.0f ms; "
                "ratio %.2f (limit 1.50: %s)\n",
                clickMedian, floorMedian, clickMedian / floorMedian,
                clickMedian <= 1.5 * floorMedian ? "met" : "NOT MET");
    return 0;
}
