#pragma once
// Taking the field data off a storage card, in steps that touch no window:
// recognising the card and listing its .tree files (cardscan.h), reading
// them and saving one Survey record per file in one transaction
// (importstore.h), moving the files into the day's backup folder beside the
// program (backupmove.h), and the import log. The Main window's import
// button (importsd.h) runs these steps off the window thread; a command line
// can run them one after the other with importCard().

#include "card/backupmove.h"
#include "card/cardscan.h"
#include "card/importstore.h"
#include "store/surveyhistory.h" // operatingSystemUser()

#include <QDate>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <memory>
#include <optional>

namespace kolva {

class Database;
class Progress;

// The files of a card imported before, for the question.
struct AlreadyImported {
    int count = 0;
    QDate first;
    QDate last;
};
QString alreadyImportedQuestion(const AlreadyImported& already);

// ---------------------------------------------------------------- the whole import

struct CardImportRequest {
    QString cardRoot;
    QString dataDir;      // holds the backup folders and the import log (the database's folder)
    QString databasePath; // KOLVA.MDB
    bool keepBackup = true;
    QDateTime now;        // the import time
    QString user;         // who imports, for the record history
    CardFiles* files = nullptr; // the system's when null
    // Past this many files the import keeps what it needs of each in
    // temporary files in dataDir rather than in memory.
    qint64 filesInMemory = DefaultFilesInMemory;
    // On a server, the records sent in one stream (SpillPlan).
    qint64 recordsAStream = DefaultRecordsAStream;
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
    NameList moved;           // .tree files moved into the backup folder
    NameList goneFromCard;    // no longer on the card when they were to be moved
    NameList stillOnCard;     // files read but not moved, when they were to be moved
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
    // alreadyImported() and the saving to finish(). Only a little of each
    // file is kept meanwhile, so that a card of any size fits in memory.
    void importFiles(Progress& progress);
    // The files imported before, when the import waits for the question.
    std::optional<AlreadyImported> alreadyImported() const;
    // Saves the records of the files read (the files imported before too
    // with importAgain), reading again the files it saves, and moves the
    // files. A file changed on the card since it was read stops the import
    // (CardUnreadable) with nothing saved.
    void finish(Progress& progress, bool importAgain);

    const CardImportResult& result() const { return result_; }

private:
    CardFiles& files();
    void saved(const SaveResult& saved);
    void stopped(const CardAccessError& error);
    void moveAndLog(Progress& progress);
    void writeLog();
    AlreadyImported importedBefore() const;

    CardImportRequest request_;
    CardScan scan_;
    CardRead read_; // what is kept of each file read

    bool waiting_ = false; // for the answer to the question
    AlreadyImported already_; // the files imported before, when waiting
    CardImportResult result_;
};

// All steps at once, for a caller without windows: importAgain answers the
// question about files imported before (not called when there are none).
CardImportResult importCard(const CardImportRequest& request, Progress& progress,
                            const std::function<bool(const AlreadyImported&)>& importAgain);

} // namespace kolva
