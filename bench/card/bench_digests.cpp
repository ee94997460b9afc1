// The room the record of imported files takes: a database of 100,000 survey
// records (or the number given), each imported from a file of its own, as
// schema version 5 kept the digests (64 hexadecimal characters, indexed
// whole) and as version 6 keeps them (32 bytes, indexed by their first 8):
// the file's size and each table's and index's share (the engine's dbstat),
// after VACUUM so that both are packed alike; and the time the upgrade of the
// version 5 file takes at start.
//
//   bench_digests [records]

#include "bench/measure.h"
#include "bench/trees/treedata.h"
#include "store/kolvadb.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>

using namespace kolva;

namespace {

QString resource(const QString& name)
{
    QFile file(name);
    file.open(QIODevice::ReadOnly);
    return QString::fromUtf8(file.readAll());
}

// One imported file per record, as the import writes them: the digest as
// text (version 5) or as bytes (version 6).
void addImportedFiles(Database& db, int count, bool asBytes)
{
    Transaction transaction(db);
    QSqlQuery insert = db.prepare(QStringLiteral("INSERT INTO _Imported_Files (Digest, File_Name, Byte_Size, "
                                                 "Imported_At, Survey_ID) VALUES (?, ?, ?, '2009-05-12 14:20:00', ?)"));
    for (int i = 1; i <= count; ++i) {
        const QByteArray digest =
            QCryptographicHash::hash(QByteArray::number(i) + "\r\n", QCryptographicHash::Sha256);
        insert.bindValue(0, asBytes ? QVariant(digest) : QVariant(QString::fromLatin1(digest.toHex())));
        insert.bindValue(1, QStringLiteral("%1.tree").arg(i));
        insert.bindValue(2, 900 + i % 100);
        insert.bindValue(3, i);
        Database::run(insert);
    }
    insert.finish();
    transaction.commit();
}

double mib(qint64 bytes)
{
    return double(bytes) / (1024.0 * 1024.0);
}

void report(const char* what, const QString& path)
{
    {
        auto db = Database::open(path);
        db->exec(QStringLiteral("VACUUM"));
    }
    auto db = Database::open(path);
    std::printf("%s: %.1f MiB", what, mib(QFileInfo(path).size()));
    QSqlQuery q = db->query(QStringLiteral("SELECT name, SUM(pgsize) FROM dbstat WHERE name LIKE '%Imported%' "
                                           "GROUP BY name ORDER BY name"));
    qint64 files = 0;
    while (q.next()) {
        std::printf(", %s %.1f MiB", qPrintable(q.value(0).toString()), mib(q.value(1).toLongLong()));
        files += q.value(1).toLongLong();
    }
    std::printf(" (imported files %.0f%% of the file)\n", 100.0 * double(files) / double(QFileInfo(path).size()));
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int count = argc > 1 ? QByteArray(argv[1]).toInt() : 100000;
    QTemporaryDir work;
    bench::keepWhenAsked(work);
    QProcess uptime;
    uptime.start(QStringLiteral("uptime"));
    uptime.waitForFinished();
    std::printf("records: %d, cores: %d, load:%s", count, QThread::idealThreadCount(),
                uptime.readAllStandardOutput().split(',').mid(2).join(',').constData());

    // Version 5, as an office has it before the upgrade.
    const QString old = work.filePath(QStringLiteral("version5.mdb"));
    {
        auto db = Database::create(old);
        db->execScript(resource(QStringLiteral(":/store/schema.sql")));
        db->execScript(resource(QStringLiteral(":/store/supplied.sql")));
        for (const char* step : {"2_history", "3_imported_files", "4_mobilization", "5_survey_indexes"})
            db->execScript(resource(QStringLiteral(":/store/upgrades/%1.sql").arg(QLatin1String(step))));
        db->exec(QStringLiteral("PRAGMA user_version = 5"));
        bench::addSampleSurveyRecords(*db, count);
        addImportedFiles(*db, count, false);
    }
    report("version 5 (digest as hexadecimal text, indexed whole)", old);

    // The same file brought up to version 6 at start.
    const QString upgraded = work.filePath(QStringLiteral("upgraded.mdb"));
    std::vector<double> times;
    for (int run = 0; run < 5; ++run) {
        QFile::remove(upgraded);
        QFile::copy(old, upgraded);
        QElapsedTimer timer;
        timer.start();
        openKolvaDatabase(upgraded);
        times.push_back(bench::ms(timer));
    }
    std::printf("upgrade of the version 5 file at start (digests converted): median %.0f ms of 5\n",
                bench::median(times));
    report("version 5 upgraded to 6", upgraded);

    // A new database of version 6 filled alike.
    const QString fresh = work.filePath(QStringLiteral("version6.mdb"));
    createKolvaDatabase(fresh);
    {
        auto db = openKolvaDatabase(fresh);
        bench::addSampleSurveyRecords(*db, count);
        addImportedFiles(*db, count, true);
    }
    report("version 6 (digest as 32 bytes, indexed by its first 8)", fresh);
    return 0;
}
