// The storage card on the command line: "kolva import" and "kolva write-card".

#include "app/commandline_p.h"
#include "card/cardwriter.h"
#include "card/fieldimport.h"
#include "card/importmessages.h"
#include "platform/jobprogress.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <limits>
#include <optional>

namespace kolva::cli {

namespace {

const char* const importHelp = R"HELP(Usage: kolva import PATH [--keep-backup | --no-backup] [--import-again]
                        [--backup-folder DIR] [--database FILE|URI]
                        [--wait SECONDS] [--quiet]

Imports the field data of a storage card as "Import Field Data from Storage
Card" does: every .tree file in the folder PATH (the card's root folder, or a
folder holding a copy of a card) becomes one survey record, with the same
checks. All records are saved in one transaction: on any failure nothing is
saved and every .tree file stays on the card.

A .tree file imported before (the same bytes) is not imported again, as when
the window's question about it is answered No; it is still moved into the
backup folder. --import-again imports such files again.

With --keep-backup (the default, as the window's box "Save Individual Tree
Files" is ticked) the .tree files are moved into the folder backup_YYYYMMDD
once their records are saved: beside the program, or in DIR. Each copy is
read back and compared before the file is deleted from the card.
--no-backup leaves the files on the card.

Prints the number of .tree files, the records saved, the files moved, and
each file that could not be imported with its reason (the import log in the
backup folder lists them too). Progress goes to standard error.

With --quiet nothing is printed when every file was imported; files that
could not be imported are still named, on standard error.

Exit status: 0 done (also when some files could not be imported: they are
named); 1 the import failed, or the files could not all be moved (then the
records saved and the files still on the card are named); 2 wrong command
line; 3 the card holds no field data.

Examples:
  kolva import /media/card
  kolva import /media/card --no-backup
  kolva import /srv/cards/incoming --database /srv/kolva/KOLVA.MDB \
               --backup-folder /srv/kolva/backups --wait 60

Options:
  --keep-backup        move the .tree files into the day's backup folder
                       (the default)
  --no-backup          leave the .tree files on the card
  --import-again       import again the files imported before
  --backup-folder DIR  make the day's backup folder (and the import log) in
                       DIR instead of beside the program
  --database FILE|URI  work on FILE or on the PostgreSQL database of the URI
                       instead of KOLVA.MDB beside the program
  --wait SECONDS       how long to wait for a database another KOLVA is
                       writing to (default 5)
  -q, --quiet          print nothing when every file was imported (for cron)
  -h, --help           show this help
)HELP";

const char* const writeCardHelp = R"HELP(Usage: kolva write-card PATH [--database FILE|URI] [--wait SECONDS] [--quiet]

Writes the reference lists the handheld offers onto the storage card in the
folder PATH, as "Create/Update an KOLVA Storage Card" does: RiskRating_1.txt
to RiskRating_4.txt, RiskZones.txt, Surveyors.txt, Streets.txt and
Species.txt, each replacing the file of that name only once it is complete.
The .tree files on the card are not touched. An entry holding a character a
card cannot hold is written with "?" in its place and named.

Exit status: 0 done; 1 the card could not be written (the reason on standard
error; the files written before stay); 2 wrong command line.

Examples:
  kolva write-card /media/card
  kolva write-card /srv/cards/outgoing --database /srv/kolva/KOLVA.MDB

Options:
  --database FILE|URI  work on FILE or on the PostgreSQL database of the URI
                       instead of KOLVA.MDB beside the program
  --wait SECONDS       how long to wait for a database another KOLVA is
                       writing to (default 5)
  -q, --quiet          print nothing when the card is written
  -h, --help           show this help
)HELP";

// The one folder a command works on.
QString folderArgument(const CommandOptions& options, const QString& command)
{
    const QStringList paths = options.positional();
    if (paths.isEmpty())
        wrongUsage(QStringLiteral("%1 needs the folder of the storage card: kolva %1 PATH").arg(command));
    if (paths.size() > 1)
        wrongUsage(QStringLiteral("%1 takes one folder; \"%2\" is one too many").arg(command, paths[1]));
    return QFileInfo(paths[0]).absoluteFilePath();
}

// Why a folder cannot be used, when the import says no more than that.
QString folderProblem(const QString& path)
{
    const QFileInfo folder(path);
    const QString shown = QDir::toNativeSeparators(path);
    if (!folder.exists())
        return QStringLiteral("%1 does not exist.").arg(shown);
    if (!folder.isDir())
        return QStringLiteral("%1 is not a folder.").arg(shown);
    return QStringLiteral("%1 cannot be read.").arg(shown);
}

} // namespace

int importCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("import"), importHelp);
    options.add(QStringLiteral("keep-backup"));
    options.add(QStringLiteral("no-backup"));
    options.add(QStringLiteral("import-again"));
    options.add(QStringLiteral("backup-folder"), QStringLiteral("DIR"));
    if (const int status = options.parse(arguments); status >= 0)
        return status;
    const QString card = folderArgument(options, QStringLiteral("import"));
    if (options.isSet(QStringLiteral("keep-backup")) && options.isSet(QStringLiteral("no-backup")))
        wrongUsage(QStringLiteral("--keep-backup and --no-backup cannot be given together"));
    const bool importAgain = options.isSet(QStringLiteral("import-again"));

    CardImportRequest request;
    request.cardRoot = card;
    request.databasePath = options.databasePath(programDir);
    // The backup folders and the import log go beside the database.
    request.dataDir = QFileInfo(request.databasePath).absolutePath();
    if (options.isSet(QStringLiteral("backup-folder"))) {
        request.dataDir = QFileInfo(options.value(QStringLiteral("backup-folder"))).absoluteFilePath();
        if (!QFileInfo(request.dataDir).isDir())
            fail(QStringLiteral("The backup folder %1 does not exist.\nNothing was imported; every .tree file is still "
                                "on the storage card.")
                     .arg(QDir::toNativeSeparators(request.dataDir)));
        QString why;
        if (!systemCardFiles().canWriteIn(request.dataDir, &why))
            fail(QStringLiteral("The backup folder %1 cannot be written: %2\nNothing was imported; every .tree file is "
                                "still on the storage card.")
                     .arg(QDir::toNativeSeparators(request.dataDir), why));
    }
    request.keepBackup = !options.isSet(QStringLiteral("no-backup"));
    request.now = QDateTime::currentDateTime();
    request.user = operatingSystemUser();
    const int wait = options.busyTimeoutMs();
    request.openDatabase = [wait](const QString& path) { return Database::open(path, wait); };

    // The database is checked as at start before the card is touched.
    options.openDatabase(programDir).reset();

    StreamProgress progress(stderr);
    const CardImportResult result =
        importCard(request, progress, [importAgain](const AlreadyImported&) { return importAgain; });
    const QString message = importsd::closingMessage(result, std::numeric_limits<int>::max()).text;

    using Stop = CardImportResult::Stop;
    switch (result.stop) {
    case Stop::None:
        break;
    case Stop::NoFieldData:
        throw CommandEnd(NothingToDo, message + QStringLiteral(" (%1)").arg(QDir::toNativeSeparators(card)));
    case Stop::NoLocation:
        fail(result.why.isEmpty() ? message + QLatin1Char('\n') + folderProblem(card) : message);
    case Stop::Database:
        fail(databaseFailure(message, request.databasePath, wait));
    default:
        fail(message);
    }
    if (!result.moveError.isEmpty())
        fail(message);

    // The window's closing message, with the count the window tells before
    // the import.
    QStringList lines = message.split(QLatin1Char('\n'));
    lines.insert(1, importsd::countMessage(result.found));
    if (!result.skipped.isEmpty() && !importAgain)
        lines << QStringLiteral("Give --import-again to import the files imported before again.");
    // Files that could not be imported want looking at, also from cron.
    if (quiet() && (!result.refused.isEmpty() || !result.leftAlone.isEmpty() || !result.logError.isEmpty()))
        err(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    out(lines.join(QLatin1Char('\n')) + QLatin1Char('\n'));
    return Done;
}

int writeCardCommand(const QStringList& arguments, const QString& programDir)
{
    CommandOptions options(QStringLiteral("write-card"), writeCardHelp);
    if (const int status = options.parse(arguments); status >= 0)
        return status;
    const QString card = folderArgument(options, QStringLiteral("write-card"));
    const std::unique_ptr<Database> db = options.openDatabase(programDir);
    CardWriteResult written;
    try {
        written = writeStorageCard(*db, card);
    } catch (const CardWriteError& error) {
        fail(databaseFailure(error.description(), db->path(), options.busyTimeoutMs()));
    }
    QString done = QStringLiteral("Storage Card initialized successfully!\n%1 files written in %2: %3")
                       .arg(written.written.size())
                       .arg(displayFolder(card), written.written.join(QStringLiteral(", ")));
    if (!written.altered.isEmpty())
        done += QLatin1Char('\n') + alteredEntriesReport(written.altered);
    out(done + QLatin1Char('\n'));
    return Done;
}

} // namespace kolva::cli
