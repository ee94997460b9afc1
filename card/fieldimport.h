#pragma once
// Taking the field data off a storage card, in steps that touch no window:
// recognising the card, listing its .tree files, reading them, finding those
// imported before, saving one Survey record per file in one transaction, and
// moving the files into the day's backup folder beside the program. The Main
// window's import button (importsd.h) runs these steps off the window thread;
// a command line can run them one after the other with importCard().

#include "card/treefile.h"
#include "store/surveyhistory.h" // operatingSystemUser()

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <vector>

namespace kolva {

class Database;
class Progress;

// The file that marks a folder as a KOLVA storage card. The handheld's card
// is a FAT volume: this name and the .tree pattern match in any case.
QString cardMarkerName();
bool isKolvaCard(const QString& root);

// No field data file is larger: a larger file is named and left alone.
constexpr qint64 MaxTreeFileBytes = 1024 * 1024;

// A file or folder named in a closing message, and why.
struct NamedFile {
    QString name;
    QString reason;
};

// One .tree file of the card's root folder.
struct CardEntry {
    std::filesystem::path fsName; // the name exactly as the file system holds it
    QString name;                 // as shown: UTF-8, or else read as Windows-1252
};

// The .tree entries of a card's root folder. Only regular files are field
// data: links and special files (a pipe, a device) are never opened, files
// larger than MaxTreeFileBytes never read. Hidden files (such as the "._"
// files some systems leave beside copies) and folders are not field data.
struct CardScan {
    QString root;
    QList<CardEntry> files;     // in alphabetical order without regard to case
    QList<NamedFile> leftAlone; // never opened, left on the card
    int count() const { return int(files.size() + leftAlone.size()); }
};
// Throws CardAccessError when the folder cannot be listed.
CardScan scanCard(const QString& root);
// The names of the regular .tree files of the folder, in list order.
QStringList listTreeFiles(const QString& root);

// The card cannot be read: it went away, or the file system fails.
class CardAccessError : public std::runtime_error {
public:
    CardAccessError(const QString& message, bool cardGone, QString fileName = {});
    QString message() const { return message_; }
    bool cardGone() const { return cardGone_; }
    QString fileName() const { return fileName_; }

private:
    QString message_;
    bool cardGone_;
    QString fileName_;
};

// A .tree file read into memory.
struct CardFile {
    CardEntry entry;
    QByteArray bytes;       // the file's bytes, kept for the backup copy
    bool bytesKept = false; // false once the memory budget is used: the copy reads the card again
    QByteArray digest;      // SHA-256 of the bytes, hexadecimal
    qint64 size = 0;
    qint64 modified = 0;    // the time of the last change as read, to notice a change before deleting
    std::optional<SurveyValues> values; // the record, unless refused
    QString refusal;        // why the file cannot become a record
    QDateTime importedBefore; // the last import of the same bytes, if any
    qint64 importSeen = 0;    // the last row of _Imported_Files of the same bytes when they were looked up
    QString sameAs;         // an earlier file of this card with the same bytes
};

struct CardRead {
    QString root;
    std::vector<CardFile> files; // in list order
    QList<NamedFile> leftAlone;  // from the scan, and files that turned out not to be regular
    bool cancelled = false;      // the user stopped the reading; nothing else was done
};

// Reads every file of the scan, converts it and takes its digest. Stops and
// throws CardAccessError when a file cannot be read (the card was pulled
// out, an I/O error): a file that cannot be read is not a bad file. Nothing
// opened can block: a file that is no longer a regular file is left alone.
// added is the import time stored with each record.
CardRead readCard(const CardScan& scan, const QDateTime& added, Progress& progress);

// Fills importedBefore from the record of imported files, and sameAs for a
// file whose bytes another file of the card already has.
void findImportedBefore(Database& db, CardRead& read);

// The files of a card imported before, for the question.
struct AlreadyImported {
    int count = 0;
    QDate first;
    QDate last;
};
AlreadyImported alreadyImported(const CardRead& read);
QString alreadyImportedQuestion(const AlreadyImported& already);

// Adds Survey records with the statements prepared once, and for each the
// history row "imported" and the digest of its file. Work inside a
// transaction, and call finish() before its commit.
class TreeFileImporter {
public:
    TreeFileImporter(Database& db, const QDateTime& added, const QString& user);

    // Reads the file and adds its record. Gives an empty text when the
    // record was added, else why not. Throws DbError when the database
    // fails (a full disk, a read-only file, a transaction the engine has
    // ended): then no further record may be added.
    QString ImportTreeFile(const QString& path);
    // The second half: adds the record of values already read; file, when
    // given, is remembered as imported.
    QString addRecord(const SurveyValues& values, const CardFile* file = nullptr);
    // Writes the history rows of the records added and the digests of their
    // files.
    void finish();

private:
    struct ImportedFile {
        QByteArray digest;
        QString name;
        qint64 size;
        QVariant surveyId;
    };
    Database& db_;
    QSqlQuery insert_;
    QString addedStored_;
    QString user_;
    qint64 lastIdBefore_ = 0; // the records of this import have larger numbers
    std::vector<ImportedFile> files_;
    TreeFileReader reader_;
};

struct SaveResult {
    int imported = 0;
    QList<NamedFile> refused; // content the database or the reader refused
    QList<NamedFile> skipped; // imported before and not imported again, or the same bytes twice
    bool cancelled = false;   // nothing was saved
};

// Saves the records of the files read in one transaction: all or nothing.
// Files imported before are saved again only with importAgain; files
// imported since they were looked up (by another import meanwhile) are not
// saved. Throws DbError when the database fails; then nothing was saved.
// Cancel is honoured until the commit begins.
SaveResult saveRecords(Database& db, CardRead& read, bool importAgain, const QDateTime& added, const QString& user,
                       Progress& progress);

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
    QStringList moved;      // copied, on the disk, verified and deleted from the card
    QStringList gone;       // no longer on the card when the move came to them (another import took them)
    QString failedName;     // the file the move stopped at, if a file
    QString error;          // empty when every file was moved
    bool failedInBackup = false; // the backup folder failed (a full disk), not the card
    QList<NamedFile> renamed; // copies kept under another name (the reason), beside a file of that name
    bool cancelled = false; // stopped by the user after the current file
    bool ok() const { return error.isEmpty() && !cancelled; }
};

// Moves the files read into the backup folder, in batches: each file of a
// batch is written from the bytes already read (under a numbered name where
// another file of that name is there: renamed), the batch is put on the disk at once, each copy is read back
// and compared with the bytes read, then the batch's originals are deleted.
// A file that changed on the card since it was read is not deleted; a file
// that is no longer on the card (while the card is) is left to whoever took
// it. The move stops at the first failure, or after the current file when
// cancelled (while the copies are written and while the originals are
// deleted); a file without a verified copy on the disk stays on the card.
BackupResult moveToBackup(const CardRead& read, const QString& backupDir, CardFiles& files, Progress& progress);

// The folder as the user sees it: native separators and no trailing
// separator, except for "/" itself (so the Windows root "E:/" shows as "E:").
QString displayFolder(const QString& path);

// ---------------------------------------------------------------- the whole import

struct CardImportRequest {
    QString cardRoot;
    QString dataDir;      // holds the backup folders and the import log (the database's folder)
    QString databasePath; // KOLVA.MDB
    bool keepBackup = true;
    QDateTime now;        // the import time
    QString user;         // who imports, for the record history
    CardFiles* files = nullptr; // the system's when null
    // Opens the worker's own connection; Database::open when null.
    std::function<std::unique_ptr<Database>(const QString&)> openDatabase;
};

struct CardImportResult {
    // Why nothing was saved, when nothing was.
    enum class Stop {
        None,
        NoLocation,     // the folder cannot be found or read
        NotACard,       // no RiskRating_1.txt
        NoFieldData,    // no .tree file
        ProgramFolder,  // the data folder (or the backup folder) cannot be written
        Database,       // the database cannot save the import
        CardRemoved,    // the card went away while it was read
        CardUnreadable, // a file of the card cannot be read
        Cancelled,      // the user stopped before anything was saved
    };
    Stop stop = Stop::None;
    QString why;         // the cause, for the stops that have one
    QString cardRoot;
    int found = 0;       // .tree files on the card
    int imported = 0;    // records saved
    QList<NamedFile> refused;   // could not become a record
    QList<NamedFile> leftAlone; // never opened
    QList<NamedFile> skipped;   // imported before, not imported again
    bool keepBackup = false;
    QString backupDir;
    QStringList moved;        // .tree files moved into the backup folder
    QStringList goneFromCard; // no longer on the card when they were to be moved
    QStringList stillOnCard;  // files read but not moved, when they were to be moved
    QString moveStoppedAt;    // the file the move stopped at
    QString moveError;        // why it stopped
    bool moveFailedInBackup = false; // the backup folder failed, not the card
    QList<NamedFile> renamed; // backup copies kept under another name, beside a file of that name
    bool moveCancelled = false;
    QString logFile;          // the import log, when one was written
    QString logError;         // why the import log could not be written

    bool saved() const { return stop == Stop::None; }
};

// The import in its steps, for a caller that runs them on other threads and
// asks its question in between:
//   prepare() (quick) -> importFiles() (long) -> [if alreadyImported(): ask, finish() (long)]
class CardImport {
public:
    explicit CardImport(CardImportRequest request);

    // Checks the card and that the data folder and the database can be
    // written, before anything is read; lists the .tree files. False when
    // the import cannot go on (result() says why).
    bool prepare();
    const CardScan& scan() const { return scan_; }
    // Reads the files and saves their records as they are read, in one
    // transaction on a connection of its own, then moves the files when the
    // backup box is ticked. When it meets files imported before, it saves
    // nothing: it reads on to the end and leaves the question to
    // alreadyImported() and the saving to finish().
    void importFiles(Progress& progress);
    // The files imported before, when the import waits for the question.
    std::optional<AlreadyImported> alreadyImported() const;
    // Saves the records read (the files imported before too with
    // importAgain) and moves the files.
    void finish(Progress& progress, bool importAgain);

    const CardImportResult& result() const { return result_; }

private:
    CardFiles& files();
    void saved(const SaveResult& saved);
    void moveAndLog(Progress& progress);
    void writeLog();

    CardImportRequest request_;
    CardScan scan_;
    CardRead read_;
    bool waiting_ = false; // for the answer to the question
    CardImportResult result_;
};

// All steps at once, for a caller without windows: importAgain answers the
// question about files imported before (not called when there are none).
CardImportResult importCard(const CardImportRequest& request, Progress& progress,
                            const std::function<bool(const AlreadyImported&)>& importAgain);

} // namespace kolva
