#pragma once
// KOLVA.MDB: making the supplied file, and opening a user's file at start
// (recognising files that are not KOLVA databases, upgrading older ones).

#include "store/database.h"

#include <QString>

#include <memory>
#include <stdexcept>

namespace kolva {

// 1: the data model; 2: survey record history; 3: imported card files;
// 4: mobilization cost; 5: the survey date and risk zone indexes; 6: the
// imported files' digests as bytes, indexed by their beginning.
constexpr int CurrentSchemaVersion = 7;

// The file name of the database in the program directory.
QString databaseFileName();
QString databasePath(const QString& programDir);

// Makes a new database with the schema and the supplied lists. The file is
// written under a temporary name and renamed when complete, and an existing
// file is never replaced (throws DbError instead).
void createKolvaDatabase(const QString& path);
// Puts the schema and the supplied lists into an empty database, in one
// transaction.
void initializeKolvaDatabase(Database& db);

// Why a database file could not be opened, told in words a user understands.
class DatabaseRefused : public DatabaseError {
public:
    // EarlierVersion: an Access file of an earlier version of KOLVA, which
    // can be converted (store/conversion.h).
    // NotRegularFile: a folder, a pipe, a device: never opened.
    // PasswordNeeded: the server asked for a password and none was given or
    // found; PasswordRefused: the one given was wrong.
    enum class Reason {
        EngineError, NotSQLite, NotKolva, TooNew, EarlierVersion, NotRegularFile, PasswordNeeded, PasswordRefused
    };
    DatabaseRefused(Reason reason, QString path, QString userMessage);
    Reason reason() const { return reason_; }
    QString path() const { return path_; }
    // The whole message for the user: the file, what it is, and what happened.
    QString userMessage() const { return userText(); }

private:
    Reason reason_;
    QString path_;
};

// Opens the program's database. A file that is missing, unreadable, not a
// SQLite database (an Access file of an earlier version, say) or made by a
// newer version is refused with a DatabaseRefused and left untouched; a file
// of an older schema version is upgraded in one transaction.
// A postgresql:// URI (store/databasetarget.h) opens a server database
// instead: an empty one gets the schema by the numbered steps, recorded in
// the table _Schema_Version, an older one the steps it lacks; a URI with a
// password is refused before any connection.
// busyTimeoutMs: how long its statements wait for another connection's lock.
// password: for a server database, one the user typed (the windows ask for
// it when refused with PasswordNeeded); empty: libpq's own places only.
std::unique_ptr<Database> openKolvaDatabase(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs,
                                            const QString& password = {});

// For a conversion onto a server database, inside the caller's transaction:
// lockServerSchema waits for any other program making or upgrading the
// schema there (and keeps them waiting until the transaction ends);
// makeServerSchema then makes the schema of an empty database by the
// numbered steps, with the supplied lists. A rollback undoes it all.
void lockServerSchema(Database& db);
void makeServerSchema(Database& db);

// Brings a database of an older schema version up to the current one.
void upgradeSchema(Database& db);
int schemaVersion(Database& db);

} // namespace kolva
