#pragma once
// Taking the field data off a storage card: recognising the card, listing its
// .tree files, adding one Survey record per file, and moving the files into
// the day's backup folder beside the program. No window is involved; the
// Main window's import button wires these steps to its messages.

#include "card/treefile.h"

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>

namespace kolva {

class Database;

// The file that marks a folder as a KOLVA storage card. The handheld's card
// is a FAT volume: this name and the .tree pattern match in any case.
QString cardMarkerName();
bool isKolvaCard(const QString& root);
// The names of the .tree files in the folder, in alphabetical order without
// regard to case (hidden files, such as the "._" files some systems leave
// beside copies, are not field data).
QStringList listTreeFiles(const QString& root);

struct FailedFile {
    QString name;
    QString reason; // why the record could not be added
};

struct ImportResult {
    int imported = 0;
    QList<FailedFile> failed; // in list order
    QStringList failedNames() const;
};

// Adds the Survey record of one .tree file at a time, on a statement
// prepared once.
class TreeFileImporter {
public:
    explicit TreeFileImporter(Database& db);

    // Reads the file and adds its record inside a savepoint of the running
    // transaction, so that a failure leaves no part of it behind. Gives an
    // empty text when the record was added, else why not; never throws for
    // a bad file, so that the other files still import.
    QString ImportTreeFile(const QString& path, const QDateTime& added);
    // The second half of ImportTreeFile: adds the record of values already
    // read from a file, inside its savepoint.
    QString addRecord(const SurveyValues& values);

private:
    QSqlQuery insert_;
    // The savepoint statements, prepared once: one savepoint a file.
    QSqlQuery savepoint_;
    QSqlQuery release_;
    QSqlQuery rollback_;
    TreeFileReader reader_;
    QDateTime added_;     // the import time last given
    QString addedStored_; // and its stored form
};

// Imports the named files of the folder in one transaction, one savepoint
// a file, in the order given. A second thread reads and converts the files
// ahead while the records are added; it touches neither the database nor a
// window. Throws DbError when the transaction cannot
// begin or commit: then nothing was added. While it runs, the connection
// keeps more of the database in memory (and its savepoint journal in memory
// only); both settings are put back afterwards.
ImportResult importTreeFiles(Database& db, const QString& root, const QStringList& names, const QDateTime& added);

// The backup folder of a day: the program directory, "backup_" and the
// date as YYYYMMDD.
QString backupFolderPath(const QString& programDir, const QDate& day);

// The file operations of the backup move; tests replace single steps to
// make them fail.
class CardFiles {
public:
    virtual ~CardFiles() = default;
    // Makes the folder (and its parents) unless it exists.
    virtual bool makeFolder(const QString& path, QString* error);
    // Copies the file, replacing a file of the same name at to. The copy is
    // written under a temporary name and renamed when complete, so that an
    // earlier copy is never left half overwritten.
    virtual bool copyFile(const QString& from, const QString& to, QString* error);
    virtual bool removeFile(const QString& path, QString* error);
    // Puts what was written to the folder's volume on the disk.
    virtual bool flushToDisk(const QString& folder, QString* error);
};
CardFiles& systemCardFiles();

// True when both files hold the same bytes.
bool sameContents(const QString& a, const QString& b, QString* error);

struct BackupResult {
    QStringList moved;  // copied, verified and deleted from the card
    QString failedName; // the file the move stopped at, if a file
    QString error;      // empty when every file was moved
    bool ok() const { return error.isEmpty(); }
};

// Moves the named files of the card folder into the backup folder: each is
// copied (replacing an older copy of that name) and the copy compared with
// the original; once the copies are on the disk, the originals are deleted.
// The move stops at the first failure; a file whose copy is not complete
// and verified stays on the card.
BackupResult moveToBackup(const QString& root, const QStringList& names, const QString& backupDir, CardFiles& files);

// The folder as the user sees it: native separators and no trailing
// separator, except for "/" itself (so the Windows root "E:/" shows as "E:").
QString displayFolder(const QString& path);

// The lines that follow "Done!" when some files could not be imported: how
// many, where they are now and their names.
QString failedFilesReport(const QStringList& failed, const QStringList& inBackup, const QString& backupDir,
                          const QString& cardRoot);

} // namespace kolva
