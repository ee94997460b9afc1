#include "card/importmessages.h"

#include <QSet>

#include <algorithm>

namespace kolva::importsd {

namespace {

const QString DriveErrorText = QStringLiteral("There is a problem accessing the selected location.");
const QString DriveErrorCaption = QStringLiteral("File/Drive Error");
const QString FailedCaption = QStringLiteral("Data Import Failed");
const QString NothingImported =
    QStringLiteral("Nothing was imported; every .tree file is still on the storage card.");

QString counted(qsizetype n, const char* one, const char* many)
{
    return n == 1 ? QString::fromLatin1(one) : QString::fromLatin1(many).arg(n);
}

// A list of names a batch at a time: a card may hold a great many.
constexpr qint64 Batch = 4096;

// The names of the list that are among those given.
QSet<QString> among(const NameList& list, const QSet<QString>& names)
{
    QSet<QString> found;
    if (names.isEmpty())
        return found;
    for (qint64 from = 0; from < list.size(); from += Batch)
        for (const QString& name : list.range(from, Batch))
            if (names.contains(name))
                found.insert(name);
    return found;
}

// "name: reason" lines under their heading, as many as the message has
// room for (ListedNames in all); a heading without room for a name ends
// with a full stop.
QStringList listed(QString heading, const QList<NamedFile>& files, int& room)
{
    QStringList lines;
    if (room <= 0) {
        heading.chop(1);
        return {heading + QLatin1Char('.')};
    }
    lines << heading;
    qsizetype shown = 0;
    for (; shown < files.size() && shown < room; ++shown)
        lines << files[shown].name + QStringLiteral(": ") + files[shown].reason;
    room -= int(shown);
    if (files.size() > shown)
        lines << QStringLiteral("... and %1 more").arg(files.size() - shown);
    return lines;
}

// A group of named files with where they are now: in the backup folder, on
// the card, taken off the card by someone else meanwhile, or some in each.
QStringList whereNow(const QList<NamedFile>& files, const QString& what, const CardImportResult& result, int& room)
{
    if (files.isEmpty())
        return {};
    QSet<QString> named;
    for (const NamedFile& file : files)
        named.insert(file.name);
    const QSet<QString> moved = among(result.moved, named);
    const QSet<QString> gone = among(result.goneFromCard, named);
    struct Place {
        QList<NamedFile> files;
        QString where;   // after "it is" / "they are"
        QString heading; // of its part of a list
    };
    Place places[] = {
        {{}, QStringLiteral("in the backup folder %1").arg(displayFolder(result.backupDir)),
         QStringLiteral("In the backup folder %1:").arg(displayFolder(result.backupDir))},
        {{}, QStringLiteral("still on the storage card in %1").arg(displayFolder(result.cardRoot)),
         QStringLiteral("Still on the storage card in %1:").arg(displayFolder(result.cardRoot))},
        {{}, QStringLiteral("no longer on the storage card (taken off it meanwhile)"),
         QStringLiteral("No longer on the storage card (taken off it meanwhile):")},
    };
    for (const NamedFile& file : files)
        places[moved.contains(file.name) ? 0 : gone.contains(file.name) ? 2 : 1].files << file;
    QStringList lines;
    const auto used = std::count_if(std::begin(places), std::end(places), [](const Place& p) { return !p.files.isEmpty(); });
    if (used == 1) {
        for (const Place& place : places) {
            if (place.files.isEmpty())
                continue;
            lines << listed(files.size() == 1
                                ? QStringLiteral("1 file %1; it is %2:").arg(what.section(QLatin1Char('|'), 0, 0), place.where)
                                : QStringLiteral("%1 files %2; they are %3:")
                                      .arg(files.size())
                                      .arg(what.section(QLatin1Char('|'), 1, 1), place.where),
                            files, room);
        }
    } else {
        lines << QStringLiteral("%1 files %2.").arg(files.size()).arg(what.section(QLatin1Char('|'), 1, 1));
        for (const Place& place : places)
            if (!place.files.isEmpty())
                lines << listed(place.heading, place.files, room);
    }
    return lines;
}

// The files named after "Done!" (or after a move that stopped), and the log.
QStringList namedFiles(const CardImportResult& result, int room)
{
    QStringList lines;
    lines << whereNow(result.refused, QStringLiteral("could not be imported|could not be imported"), result, room);
    if (!result.leftAlone.isEmpty())
        lines << listed(counted(result.leftAlone.size(), "1 file was left on the storage card in %2 without being read:",
                                "%1 files were left on the storage card in %2 without being read:")
                            .arg(displayFolder(result.cardRoot)),
                        result.leftAlone, room);
    lines << whereNow(result.skipped,
                      QStringLiteral("was already imported and was not imported again|"
                                     "were already imported and were not imported again"),
                      result, room);
    // Files whose records this import saved, taken off the card by someone
    // else before this import could move them.
    QSet<QString> named;
    for (const NamedFile& file : result.refused)
        named.insert(file.name);
    for (const NamedFile& file : result.skipped)
        named.insert(file.name);
    QList<NamedFile> taken;
    for (qint64 from = 0; from < result.goneFromCard.size(); from += Batch)
        for (const QString& name : result.goneFromCard.range(from, Batch))
            if (!named.contains(name))
                taken.append({name, QStringLiteral("its record was saved")});
    if (!taken.isEmpty())
        lines << listed(counted(taken.size(),
                                "1 file was no longer on the storage card when it was to be moved (taken off it "
                                "meanwhile):",
                                "%1 files were no longer on the storage card when they were to be moved (taken off it "
                                "meanwhile):"),
                        taken, room);
    if (!result.renamed.isEmpty())
        lines << listed(counted(result.renamed.size(),
                                "1 file has a namesake from another card in the backup folder %2; both are kept:",
                                "%1 files have namesakes from another card in the backup folder %2; both are kept:")
                            .arg(displayFolder(result.backupDir)),
                        result.renamed, room);
    if (!result.logFile.isEmpty())
        lines << QStringLiteral("The whole list is in the import log %1.").arg(displayFolder(result.logFile));
    if (!result.logError.isEmpty())
        lines << QStringLiteral("The import log could not be written: %1").arg(result.logError);
    return lines;
}

} // namespace

QString systemVolumeQuestion(const QString& drive)
{
#ifdef Q_OS_WIN
    const QString where = QStringLiteral("Drive ");
#else
    const QString where = QStringLiteral("the location ");
#endif
    return QStringLiteral("It's fairly unlikely that your Storage Card is ") + where + drive +
           QStringLiteral("\nAre you sure you wish to continue?");
}

QString notACardMessage(const QString& drive)
{
#ifdef Q_OS_WIN
    const QString where = QStringLiteral("The selected drive letter (");
#else
    const QString where = QStringLiteral("The selected location (");
#endif
    return where + drive + QStringLiteral(") does not contain the KOLVA files");
}

QString countMessage(int count)
{
    if (count == 1)
        return QStringLiteral("There is 1 .TREE file on the selected storage card");
    return QStringLiteral("There are ") + QString::number(count) + QStringLiteral(" .TREE files on the selected storage card");
}

MessageRequest alreadyImportedPrompt(const AlreadyImported& already)
{
    return {alreadyImportedQuestion(already), QStringLiteral("Already Imported"), MsgIcon::Question,
            MsgButtons::YesNo, MsgAnswer::No};
}

MessageRequest closingMessage(const CardImportResult& result, int listedNames)
{
    using Stop = CardImportResult::Stop;
    const QString drive = displayFolder(result.cardRoot);
    switch (result.stop) {
    case Stop::NoLocation:
        return {result.why.isEmpty() ? DriveErrorText : DriveErrorText + QLatin1Char('\n') + result.why,
                DriveErrorCaption, MsgIcon::Exclamation};
    case Stop::NotACard:
        return {notACardMessage(drive), QStringLiteral("Error"), MsgIcon::Exclamation};
    case Stop::NoFieldData:
        return {QStringLiteral("The selected location DOES appear to be an KOLVA card, but it does NOT contain any field "
                               "data."),
                QStringLiteral("No field data on card"), MsgIcon::Exclamation};
    case Stop::ProgramFolder:
        return {result.why + QStringLiteral("\nKOLVA keeps its database and the backup folders there.\n") +
                    NothingImported,
                FailedCaption, MsgIcon::Critical};
    case Stop::Database:
        return {QStringLiteral("The field data could not be saved in the database: ") + result.why +
                    QLatin1Char('\n') + NothingImported,
                FailedCaption, MsgIcon::Critical};
    case Stop::CardRemoved:
        return {result.why + QLatin1Char('\n') + NothingImported +
                    QStringLiteral("\nPut the card back in and import again."),
                DriveErrorCaption, MsgIcon::Exclamation};
    case Stop::CardUnreadable:
        return {DriveErrorText + QLatin1Char('\n') + result.why + QLatin1Char('\n') + NothingImported,
                DriveErrorCaption, MsgIcon::Exclamation};
    case Stop::Cancelled:
        return {QStringLiteral("The import was cancelled.\n") + NothingImported, QStringLiteral("Data Import Cancelled"),
                MsgIcon::Information};
    case Stop::None:
        break;
    }

    const bool moveStopped = !result.moveError.isEmpty() || result.moveCancelled;
    const QString saved =
        counted(result.imported, "1 record was saved in the database.", "%1 records were saved in the database.");
    const QString moved = counted(result.moved.size(), "1 file was moved into the backup folder %2.",
                                  "%1 files were moved into the backup folder %2.")
                              .arg(displayFolder(result.backupDir));
    QStringList lines;
    if (moveStopped) {
        if (result.moveCancelled)
            lines << QStringLiteral("The move into the backup folder was cancelled.");
        else if (result.moveFailedInBackup)
            lines << QStringLiteral("There is a problem writing into the backup folder %1.")
                         .arg(displayFolder(result.backupDir));
        else
            lines << DriveErrorText;
        lines << saved << moved;
        if (!result.moveCancelled)
            lines << QStringLiteral("The move stopped at %1: %2").arg(result.moveStoppedAt, result.moveError);
        lines << counted(result.stillOnCard.size(), "1 .tree file is still on the storage card in %2.",
                         "%1 .tree files are still on the storage card in %2.")
                     .arg(drive);
        // Only a file whose record is saved (now or before) is recognised
        // by the next import; a file that could not be imported is not.
        QSet<QString> refused;
        for (const NamedFile& file : result.refused)
            refused.insert(file.name);
        qint64 recognised = 0;
        for (qint64 from = 0; from < result.stillOnCard.size(); from += Batch) {
            const QStringList still = result.stillOnCard.range(from, Batch);
            recognised += std::count_if(still.begin(), still.end(),
                                        [&refused](const QString& name) { return !refused.contains(name); });
        }
        if (recognised == result.stillOnCard.size() && recognised > 1)
            lines << QStringLiteral("Their records are saved: the next import recognises these files and asks before "
                                    "importing them again; answer No to move them into the backup folder.");
        else if (recognised == result.stillOnCard.size() && recognised == 1)
            lines << QStringLiteral("Its record is saved: the next import recognises this file and asks before "
                                    "importing it again; answer No to move it into the backup folder.");
        else if (recognised > 0)
            lines << counted(recognised,
                             "The record of 1 of them is saved: the next import recognises that file and asks before "
                             "importing it again; answer No to move it into the backup folder.",
                             "The records of %1 of them are saved: the next import recognises those files and asks "
                             "before importing them again; answer No to move them into the backup folder.");
        if (result.moveFailedInBackup)
            lines << QStringLiteral("Check that the disk of the backup folder has room and can be written, then "
                                    "import again.");
        else if (!result.moveCancelled)
            lines << QStringLiteral("Check that the card is in its reader and not write-protected, then import again.");
    } else {
        lines << QStringLiteral("Done!") << saved;
        if (result.keepBackup)
            lines << moved;
    }
    lines << namedFiles(result, listedNames);
    const bool warn = moveStopped || !result.refused.isEmpty() || !result.leftAlone.isEmpty();
    const QString caption = moveStopped && !result.moveCancelled ? DriveErrorCaption
                                                                  : QStringLiteral("Data Import Completed");
    return {lines.join(QLatin1Char('\n')), caption, warn ? MsgIcon::Exclamation : MsgIcon::Information};
}

} // namespace kolva::importsd
