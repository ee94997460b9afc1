#pragma once
// Moving the files of a card into the day's backup folder beside the
// program: each copied, put on the disk, read back and compared before its
// original is deleted.

#include "card/cardscan.h"

#include <QDate>
#include <QStringList>

#include <filesystem>

namespace kolva {

class Progress;

// The backup folder of a day: the data folder (the database's), "backup_"
// and the date as YYYYMMDD.
QString backupFolderPath(const QString& dataDir, const QDate& day);

// The file operations of the backup move and of the checks before an
// import; tests replace single steps to make them fail.
class CardFiles {
public:
    virtual ~CardFiles() = default;
    // Whether a file can be made in the folder (tried, not guessed).
    virtual bool canWriteIn(const QString& folder, QString* error);
    // Makes the folder (and its parents) unless it exists.
    virtual bool makeFolder(const QString& path, QString* error);
    // Writes the bytes as a new file named to. They go under a short
    // temporary name first and are renamed when complete; nothing that is
    // there is replaced or written through: where another file (or a link,
    // a folder) has that name, the copy takes the first free name with a
    // number ("b-2.tree"), and to is set to the name taken. A file of that
    // name with the same bytes already is taken as the copy.
    virtual bool writeCopy(const QByteArray& bytes, std::filesystem::path& to, QString* error);
    // The bytes of a file, read back.
    virtual bool readBack(const std::filesystem::path& path, QByteArray* bytes, QString* error);
    virtual bool removeFile(const std::filesystem::path& path, QString* error);
    // Puts what was written to the folder's volume on the disk.
    virtual bool flushToDisk(const QString& folder, QString* error);
};
CardFiles& systemCardFiles();

struct BackupResult {
    NameList moved;         // copied, on the disk, verified and deleted from the card
    NameList gone;          // no longer on the card when the move came to them (another import took them)
    QString failedName;     // the file the move stopped at, if a file
    QString error;          // empty when every file was moved
    bool failedInBackup = false; // the backup folder failed (a full disk), not the card
    QList<NamedFile> renamed; // copies kept under another name (the reason), beside a file of that name
    bool cancelled = false; // stopped by the user after the current file
    bool ok() const { return error.isEmpty() && !cancelled; }
};

// Moves the files read into the backup folder, in batches: each file of a
// batch is written from the bytes kept, or else from the file read again
// (which must still hold the bytes read), under a numbered name where
// another file of that name is there (renamed); the batch is put on the
// disk at once, each copy is read back and compared by digest with the
// bytes read, then the batch's originals are deleted. A file that changed
// on the card since it was read is not deleted; a file that is no longer on
// the card (while the card is) is left to whoever took it. The move stops
// at the first failure, or after the current file when cancelled (while
// the copies are written and while the originals are deleted); a file
// without a verified copy on the disk stays on the card.
BackupResult moveToBackup(const CardRead& read, const QString& backupDir, CardFiles& files, Progress& progress);

} // namespace kolva
