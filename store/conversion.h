#pragma once
// Converting a KOLVA.MDB of an earlier version (a Microsoft Access file)
// into a KOLVA database. The Access file is only read; the new database is
// written under a temporary name in the same folder and put in place only
// when every table has been copied and checked.
//
// The new database may also be a PostgreSQL database named by its URI
// (store/databasetarget.h), which must hold no KOLVA table: the schema and
// every row go in by one transaction, so that a failure leaves it as it
// was. A KOLVA database file (SQLite, of the current version) can be copied
// onto a server the same way; it is only read.

#include "store/errors.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <stdexcept>

namespace kolva {

class Progress;

struct ConversionRequest {
    // The Access file.
    QString accessPath;
    // Where the new database goes. Empty or the Access file's own path: the
    // new database takes the Access file's place and the Access file is
    // kept beside it as NAME.access-YYYYMMDD. Another path: that file must
    // not exist, and the Access file stays where it is. A postgresql:// URI:
    // a server database without KOLVA tables; accessPath may then also be a
    // KOLVA database file, and the log goes beside accessPath.
    QString targetPath;
    // The time of the conversion (the kept file's name, the log, the
    // record history).
    QDateTime now;
    // Who converted (the record history): operatingSystemUser().
    QString user;
    // For tests: the most database pages the new file may take, so that a
    // full disk can be simulated (0: no limit).
    int maxPages = 0;
    // How long to wait for another conversion of the same file to end
    // before giving up (0: give up at once); on a server also how long to
    // wait for another program's lock (0: a few seconds).
    int lockWaitMs = 0;
};

// What became of one table of the data model.
struct ConvertedTable {
    QString table; // "_Archived_SurveyData"
    QString label; // "Survey records"
    bool inAccessFile = false;
    qint64 read = 0;    // rows in the Access file
    qint64 written = 0; // rows in the new database
};

struct ConversionResult {
    QList<ConvertedTable> tables;
    // What was left behind or changed on the way, one line each: tables and
    // columns the data model does not know, columns missing from the Access
    // file, merged duplicates, dates outside 1900 to 2100.
    QStringList notes;
    // A KOLVA database file was copied rather than an Access file converted.
    bool fromKolvaFile = false;
    QString databasePath; // the new database: a path, or a server's URI
    QString keptAccessPath; // where the Access file is now
    QString logPath;

    // "Survey records: 5 of 5", one line a table.
    QStringList countLines() const;
    // The closing message: the counts, the notes, where the files are.
    QString summary() const;
};

// Why a conversion failed, in words for the user. Nothing was changed.
class ConversionFailed : public FileError {
public:
    explicit ConversionFailed(const QString& message) : FileError(message) {}
    QString message() const { return userText(); }
};

// The file is a SQLite database already (converted before, by another run
// perhaps): there is nothing to convert, and nothing was changed.
class AlreadyConverted : public ConversionFailed {
public:
    using ConversionFailed::ConversionFailed;
};

// The user asked the conversion to stop; nothing was changed.
using ConversionCancelled = Cancelled;

// Converts the Access file (or copies a KOLVA file onto a server). Reports
// its steps to progress, which may cancel it until the files are put in
// place or the server's transaction is committed. Throws ConversionFailed
// (or ConversionCancelled); the Access file is then exactly as it was, the
// temporary file is gone, and a server database was not written to.
ConversionResult convertAccessDatabase(const ConversionRequest& request, Progress& progress);

// The name the Access file is kept under: NAME.access-YYYYMMDD, with "-2",
// "-3" ... added when that name is taken.
QString keptAccessName(const QString& accessPath, const QDate& day);

// Looks beside the database for what a conversion that was killed half-way
// left, and undoes it: the Access file under two names loses its second
// one; a database missing while its Access file lies under the kept name and
// an unfinished new database beside it gets the Access file back. Removes
// the temporary files of runs that ended without cleaning up. Leaves
// everything alone while a conversion of the file is running. Gives what it
// did in words for the user, or nothing.
QString recoverInterruptedConversion(const QString& databasePath);

} // namespace kolva
