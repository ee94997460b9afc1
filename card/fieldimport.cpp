#include "card/fieldimport.h"

#include "platform/jobprogress.h"
#include "store/database.h"
#include "store/databasetarget.h"
#include "store/dates.h"
#include "store/safefile.h"

#include <QDir>
#include <QFileInfo>
#include <QSet>

namespace kolva {

QString alreadyImportedQuestion(const AlreadyImported& already)
{
    const QString first = shownDate(already.first);
    const QString last = shownDate(already.last);
    const QString when = first == last ? QStringLiteral("on ") + first
                                       : QStringLiteral("between %1 and %2").arg(first, last);
    if (already.count == 1)
        return QStringLiteral("1 file on the card was already imported %1. Import it again?").arg(when);
    return QStringLiteral("%1 files on the card were already imported %2. Import them again?")
        .arg(already.count)
        .arg(when);
}

CardImport::CardImport(CardImportRequest request) : request_(std::move(request))
{
    if (!request_.openDatabase)
        request_.openDatabase = [](const QString& path) { return Database::open(path); };
    result_.cardRoot = request_.cardRoot;
    result_.keepBackup = request_.keepBackup;
    result_.backupDir = backupFolderPath(request_.dataDir, request_.now.date());
}

CardFiles& CardImport::files()
{
    return request_.files ? *request_.files : systemCardFiles();
}

bool CardImport::prepare()
{
    using Stop = CardImportResult::Stop;
    const QString& root = request_.cardRoot;
    const QFileInfo folder(root);
    if (root.isEmpty() || !folder.isDir() || !folder.isReadable()) {
        result_.stop = Stop::NoLocation;
        return false;
    }
    if (!isKolvaCard(root)) {
        result_.stop = Stop::NotACard;
        return false;
    }
    try {
        scan_ = scanCard(root, SpillPlan{request_.dataDir, request_.filesInMemory, request_.recordsAStream});
    } catch (const SpillError& error) {
        result_.stop = Stop::ProgramFolder;
        result_.why = error.description();
        return false;
    } catch (const CardAccessError& error) {
        result_.stop = Stop::NoLocation;
        result_.why = error.message();
        return false;
    }
    if (scan_.count() == 0) {
        result_.stop = Stop::NoFieldData;
        return false;
    }
    result_.found = scan_.count();

    // The database's journal and the backup folders are made in the data
    // folder: it must be writable before anything is read.
    QString why;
    if (!files().canWriteIn(request_.dataDir, &why)) {
        result_.stop = Stop::ProgramFolder;
        result_.why = QStringLiteral("The data folder %1 cannot be written: %2")
                          .arg(displayFolder(request_.dataDir), why);
        return false;
    }
    if (request_.keepBackup && QFileInfo(result_.backupDir).isDir() && !files().canWriteIn(result_.backupDir, &why)) {
        result_.stop = Stop::ProgramFolder;
        result_.why = QStringLiteral("The backup folder %1 cannot be written: %2")
                          .arg(displayFolder(result_.backupDir), why);
        return false;
    }
    // A server says for itself whether it takes the records.
    const QFileInfo database(request_.databasePath);
    if (!isServerDatabaseUri(request_.databasePath) && (!database.isFile() || !database.isWritable())) {
        result_.stop = Stop::Database;
        result_.why = QStringLiteral("the database %1 cannot be written (it is read-only)")
                          .arg(displayFolder(request_.databasePath));
        return false;
    }
    return true;
}


void CardImport::importFiles(Progress& progress)
{
    using Stop = CardImportResult::Stop;
    SaveResult save;
    try {
        std::unique_ptr<Database> db = request_.openDatabase(request_.databasePath);
        const SaveOutcome outcome = saveAsRead(*db, scan_, read_, request_.now, request_.user,
                                                request_.keepBackup ? KeptBytesBudget : 0, progress, save);
        result_.leftAlone = read_.leftAlone;
        if (outcome == SaveOutcome::Cancelled) {
            result_.stop = Stop::Cancelled;
            return;
        }
        if (outcome == SaveOutcome::Waiting) {
            already_ = importedBefore();
            waiting_ = true;
            return; // nothing is saved before the answer
        }
    } catch (const CardAccessError& error) {
        stopped(error);
        return;
    } catch (const SpillError& error) {
        result_.stop = Stop::ProgramFolder;
        result_.why = error.description();
        return;
    } catch (const DbError& error) {
        result_.stop = Stop::Database;
        result_.why = error.message();
        return;
    }
    saved(save);
    moveAndLog(progress);
}

void CardImport::stopped(const CardAccessError& error)
{
    using Stop = CardImportResult::Stop;
    result_.stop = error.cardGone() ? Stop::CardRemoved : Stop::CardUnreadable;
    result_.why = error.message();
}

AlreadyImported CardImport::importedBefore() const
{
    AlreadyImported already;
    // A batch of the files read at a time: a card may hold a great many.
    constexpr qint64 Batch = 4096;
    for (qint64 from = 0; from < read_.count(); from += Batch) {
        for (const CardFile& file : read_.files->range(from, Batch)) {
            if (file.refused() || !file.earlier.last.isValid())
                continue;
            ++already.count;
            const QDate day = file.earlier.last.date();
            if (!already.first.isValid() || day < already.first)
                already.first = day;
            if (!already.last.isValid() || day > already.last)
                already.last = day;
        }
    }
    return already;
}

std::optional<AlreadyImported> CardImport::alreadyImported() const
{
    if (!waiting_ || already_.count == 0)
        return std::nullopt;
    return already_;
}

void CardImport::finish(Progress& progress, bool importAgain)
{
    using Stop = CardImportResult::Stop;
    waiting_ = false;
    SaveResult save;
    try {
        std::unique_ptr<Database> db = request_.openDatabase(request_.databasePath);
        if (saveAfterQuestion(*db, read_, importAgain, request_.now, request_.user, progress, save) ==
            SaveOutcome::Cancelled) {
            result_.stop = Stop::Cancelled;
            return;
        }
    } catch (const CardAccessError& error) {
        stopped(error);
        return;
    } catch (const SpillError& error) {
        result_.stop = Stop::ProgramFolder;
        result_.why = error.description();
        return;
    } catch (const DbError& error) {
        result_.stop = Stop::Database;
        result_.why = error.message();
        return;
    }
    saved(save);
    moveAndLog(progress);
}

void CardImport::saved(const SaveResult& save)
{
    result_.imported = save.imported;
    result_.refused = save.refused;
    result_.skipped = save.skipped;
}

void CardImport::moveAndLog(Progress& progress)
{
    if (request_.keepBackup) {
        const BackupResult moved = moveToBackup(read_, result_.backupDir, files(), progress);
        result_.moved = moved.moved;
        result_.moveStoppedAt = moved.failedName;
        result_.moveError = moved.error;
        result_.moveFailedInBackup = moved.failedInBackup;
        result_.renamed = moved.renamed;
        result_.moveCancelled = moved.cancelled;
        result_.goneFromCard = moved.gone;
        result_.stillOnCard = NameList(read_.plan);
        // The files moved and those taken off the card are in list order,
        // as the files read: a file is in neither, or the next of one.
        constexpr qint64 Batch = 4096;
        try {
            NameCursor movedNext(moved.moved);
            NameCursor goneNext(moved.gone);
            for (qint64 from = 0; from < read_.count(); from += Batch)
                for (const CardFile& file : read_.files->range(from, Batch)) {
                    const QString name = file.name();
                    if (movedNext.take(name) || goneNext.take(name))
                        continue;
                    result_.stillOnCard << name;
                }
        } catch (const SpillError& error) {
            // The files still on the card cannot be named.
            if (result_.moveError.isEmpty()) {
                result_.moveStoppedAt = displayFolder(result_.backupDir);
                result_.moveError = error.description();
                result_.moveFailedInBackup = true;
            }
        }
    }
    progress.setCancellable(false);
    if (!result_.refused.isEmpty() || !result_.leftAlone.isEmpty() || !result_.skipped.isEmpty() ||
        !result_.renamed.isEmpty() || !result_.moveError.isEmpty() || result_.moveCancelled)
        writeLog();
}

void CardImport::writeLog()
{
    const QString folder = request_.keepBackup && QFileInfo(result_.backupDir).isDir() ? result_.backupDir
                                                                                       : request_.dataDir;
    const QString path =
        QDir(folder).filePath(QStringLiteral("import_%1.log").arg(request_.now.toString(QStringLiteral("yyyyMMdd_HHmmss"))));
    QStringList lines;
    lines << QStringLiteral("KOLVA field data import of %1 by %2")
                 .arg(request_.now.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")), request_.user);
    lines << QStringLiteral("Storage card: %1").arg(displayFolder(request_.cardRoot));
    lines << QStringLiteral(".tree files on the card: %1; records saved: %2").arg(result_.found).arg(result_.imported);
    if (request_.keepBackup)
        lines << QStringLiteral("Moved into the backup folder %1: %2 files")
                     .arg(displayFolder(result_.backupDir))
                     .arg(result_.moved.size());
    const auto section = [&lines](const QString& title, const QList<NamedFile>& named) {
        if (named.isEmpty())
            return;
        lines << QString() << title.arg(named.size());
        for (const NamedFile& file : named)
            lines << file.name + QStringLiteral(": ") + file.reason;
    };
    section(QStringLiteral("Could not be imported (%1):"), result_.refused);
    section(QStringLiteral("Left on the storage card without being read (%1):"), result_.leftAlone);
    section(QStringLiteral("Not imported again (%1):"), result_.skipped);
    section(QStringLiteral("Kept in the backup folder under another name, beside a file of that name (%1):"),
            result_.renamed);
    if (!result_.moveError.isEmpty() || result_.moveCancelled) {
        lines << QString();
        if (result_.moveCancelled)
            lines << QStringLiteral("The move into the backup folder was cancelled.");
        else
            lines << QStringLiteral("The move into the backup folder stopped at %1: %2")
                         .arg(result_.moveStoppedAt, result_.moveError);
        lines << QStringLiteral("Still on the storage card (%1):").arg(result_.stillOnCard.size());
        for (qint64 from = 0; from < result_.stillOnCard.size(); from += 4096)
            lines << result_.stillOnCard.range(from, 4096);
    }
    // Written whole or not at all: never an empty or cut-short log.
    const QString failure = writeFileSafely(path, (lines.join(QLatin1Char('\n')) + QLatin1Char('\n')).toUtf8());
    if (failure.isEmpty())
        result_.logFile = path;
    else
        result_.logError = failure;
}

CardImportResult importCard(const CardImportRequest& request, Progress& progress,
                            const std::function<bool(const AlreadyImported&)>& importAgain)
{
    CardImport import(request);
    if (!import.prepare())
        return import.result();
    import.importFiles(progress);
    if (const std::optional<AlreadyImported> already = import.alreadyImported())
        import.finish(progress, importAgain(*already));
    return import.result();
}

} // namespace kolva
