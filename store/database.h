#pragma once
// The database layer: one connection to a SQLite file or a PostgreSQL
// database, statements with bound values only, read cursors, transactions and savepoints. Every failure is
// thrown as a DbError that carries the engine's message and the statement.

#include "store/databasetarget.h"
#include "store/errors.h"

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>
#include <QVariant>

#include <functional>
#include <memory>
#include <stdexcept>

namespace kolva {

// A statement the engine refused: its words are the engine's message, its
// code the engine's error number as text ("19"), if any; what() adds the
// statement for a log.
class DbError : public DatabaseError {
public:
    DbError(const QString& message, const QString& statement = {}, const QString& code = {});
    // The engine's description of the failure.
    QString message() const { return userText(); }
    // The statement that failed, if any.
    QString statement() const { return statement_; }

private:
    QString statement_;
};

// How long a statement waits for a lock that another connection (another
// KOLVA saving, say) holds before it fails with "database is locked".
constexpr int DefaultBusyTimeoutMs = 5000;

class Database {
public:
    using Engine = DatabaseTarget::Engine;

    // Opens an existing database file for reading and writing; never creates
    // one. A postgresql:// URI (path() of a server database) connects to the
    // server instead, as openServer does, with the password typed for it
    // earlier in this process, if any.
    static std::unique_ptr<Database> open(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);
    // Creates a new, empty database file; fails when the file exists.
    static std::unique_ptr<Database> create(const QString& path);
    // Opens an existing database file for reading only: nothing done through
    // the connection can change the file.
    static std::unique_ptr<Database> openReadOnly(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);
    // Connects to a PostgreSQL database through Qt's QPSQL driver; the
    // password, if the server asks for one, comes from libpq's own places or,
    // when not empty, from password (typed by the user: handed to the
    // connection only). busyTimeoutMs becomes the connection's lock_timeout.
    static std::unique_ptr<Database> openServer(const DatabaseTarget& target,
                                                int busyTimeoutMs = DefaultBusyTimeoutMs,
                                                const QString& password = {});

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file's path; for a server database its URI (without a password).
    QString path() const { return path_; }
    Engine engine() const { return engine_; }
    bool isServer() const { return engine_ == Engine::PostgreSQL; }
    QSqlDatabase connection() const;
    // The server's name for the user the connection works as; empty for a file.
    QString userName() const { return user_; }
    // True when the server lets the user read the survey records but not
    // change them: every change is refused (requireWriteAccess) before it
    // starts. A file is never read-only here.
    bool readOnly() const { return readOnly_; }

    // Runs one statement with the values bound to its "?" in order.
    // Returns the number of rows it changed.
    int exec(const QString& sql, const QVariantList& values = {});
    // Runs a SELECT and gives a forward-only cursor before its first row.
    QSqlQuery query(const QString& sql, const QVariantList& values = {});
    // The first column of the first row, or a null value without rows.
    QVariant scalar(const QString& sql, const QVariantList& values = {});
    // Prepares a statement to run many times (bind with addBindValue or
    // bindValue, then call run()).
    QSqlQuery prepare(const QString& sql);
    static void run(QSqlQuery& prepared);
    // Runs several statements separated by ";" (a schema script).
    void execScript(const QString& script);

    // True while a transaction is open on the connection. The engine ends a
    // transaction on its own after some failures (a full disk, an I/O error);
    // work that goes on inside one checks this before each step.
    bool inTransaction() const;

    // True when the server's connection was lost (the server restarted, the
    // network dropped): the statement that met it failed, and the server
    // rolled back the transaction it was in. The next statement outside a
    // Transaction opens the connection again.
    bool connectionLost() const;

    bool tableExists(const QString& table);
    // Drops the table if it exists and makes it again from its column list,
    // for work tables made at run time.
    void createWorkTable(const QString& table, const QString& columns);
    void dropTable(const QString& table);
    qint64 lastInsertId();

private:
    friend class Transaction;
    Database(QString path, QString connectionName, Engine engine = Engine::SQLite);
    static std::unique_ptr<Database> connect(const QString& path, const QString& mode, int busyTimeoutMs);
    // The settings of a server connection, after it opens and reopens.
    void startSession();
    // Opens a lost server connection again before a statement; inside a
    // Transaction that the loss ended, fails instead.
    void reconnectIfLost();

    QString path_;
    QString connectionName_;
    Engine engine_ = Engine::SQLite;
    int lockTimeoutMs_ = DefaultBusyTimeoutMs;
    int openTransactions_ = 0;
    QString user_;
    bool readOnly_ = false;
};

// What a user who may only read is told when a change is asked for, or when
// the server refuses one for want of rights.
QString readOnlyMessage(const QString& user);

// Throws a DbError in the words of readOnlyMessage when the user of db may
// read it but not change it; every change a user can start calls it first.
void requireWriteAccess(const Database& db);

// Everything done inside the life of a Transaction is undone unless commit()
// was called. Transactions do not nest; use a Savepoint inside one.
// A Write transaction holds what it changes against other connections (on
// a SQLite file the whole database, from its start). A Snapshot transaction
// also reads every table as it stood at its first statement, whatever other
// connections commit meanwhile; on the server a change it makes to a row
// another connection changed since then is refused. ReadOnly is a Snapshot
// that writes nothing, and keeps no writer waiting on the server.
class Transaction {
public:
    enum class Kind { Write, Snapshot, ReadOnly };
    explicit Transaction(Database& db, Kind kind = Kind::Write);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& db_;
    bool open_ = true;
};

// The reads of a long report: every statement while it lives sees the
// database as it stood at the first, so that counts and rows agree however
// other people change it meanwhile. Nothing can be written through it; it
// ends when it goes.
class ReadSnapshot {
public:
    explicit ReadSnapshot(Database& db) : transaction_(db, Transaction::Kind::ReadOnly) {}

private:
    Transaction transaction_;
};

// A part of a transaction that can be undone on its own.
class Savepoint {
public:
    Savepoint(Database& db, const QString& name);
    ~Savepoint();
    void release();
    void rollback();
    Savepoint(const Savepoint&) = delete;
    Savepoint& operator=(const Savepoint&) = delete;

private:
    Database& db_;
    QString name_;
    bool open_ = true;
};

// While it lives, a statement of the connection stops soon after stop()
// turns true, failing with the engine's "interrupted" error: a select that
// reads much of a table may run long before it gives a row, and a job the user
// cancels must not wait for it. On a database file stop() is asked on the
// connection's thread, as the engine works; on a server it is asked from a
// thread of the guard's own a few times a second, and the first true sends the
// server the request to cancel the statement running then (one that starts
// later runs on: work that goes on asks stop() itself between its
// statements). Where the engine's library cannot be reached from here (a
// driver with a copy of its own), the guard does nothing.
class StatementStop {
public:
    StatementStop(Database& db, std::function<bool()> stop);
    ~StatementStop();
    bool active() const { return handle_ != nullptr || server_ != nullptr; }
    StatementStop(const StatementStop&) = delete;
    StatementStop& operator=(const StatementStop&) = delete;

private:
    struct ServerWatch;
    void* handle_ = nullptr;
    std::function<bool()> stop_;
    std::unique_ptr<ServerWatch> server_;
};

// Table and savepoint names cannot be bound; they must be plain identifiers.
bool isPlainIdentifier(const QString& name);

// How holdsExactly compares: a text column character for character, with
// regard to case; any other column as its own type.
enum class ExactValue { Text, Other };

// A condition that holds when column holds exactly the value bound to its
// "?": null only for null, text with regard to case (text columns compare
// without it otherwise). For a save that must not overwrite another's change.
QString holdsExactly(const Database& db, const QString& column, ExactValue kind = ExactValue::Text);

// What ends a SELECT of rows the transaction is about to change, so that no
// other connection changes them before it ends (on a SQLite file the write
// transaction already holds the whole database: nothing).
QString lockingRead(const Database& db);

// Keeps other imports of card files out of _Imported_Files until the
// transaction ends: a second import waits, then finds the files the first
// saved. On a SQLite file the write transaction already does.
void lockImportedFiles(Database& db);

// The engine's own key of a row, for a table without a key column of its own.
// On the server it is the row's place (ctid), which an update of the row
// changes: good for reading a row and changing it again at once, where a
// change by someone else in between then finds no row, and for the order
// rows of a list that is only added to were entered in.
QString hiddenRowKey(const Database& db);

// True when a server refused the connection for want of a password that
// libpq's places (~/.pgpass, PGPASSFILE, a service file) did not give.
bool isPasswordWanted(const DbError& error);

// True when the failure is another connection holding the database (a
// write lock kept longer than the wait), or, on the server, another
// connection's change that a snapshot transaction collided with.
bool isDatabaseLocked(const DbError& error);

// True when the failure is the server's connection lost (Database::connectionLost()).
bool isConnectionLost(const DbError& error);

// The failure of a statement that met the server's connection lost, as
// isConnectionLost() knows it, with libpq's reason after the words.
DbError connectionLostError(const QString& reason, const QString& statement);

} // namespace kolva
