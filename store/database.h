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
    // server instead, as openServer does.
    static std::unique_ptr<Database> open(const QString& path, int busyTimeoutMs = DefaultBusyTimeoutMs);
    // Creates a new, empty database file; fails when the file exists.
    static std::unique_ptr<Database> create(const QString& path);
    // Connects to a PostgreSQL database through Qt's QPSQL driver; the
    // password, if the server asks for one, comes from libpq's own places.
    // busyTimeoutMs becomes the connection's lock_timeout.
    static std::unique_ptr<Database> openServer(const DatabaseTarget& target,
                                                int busyTimeoutMs = DefaultBusyTimeoutMs);

    ~Database();
    Database(const Database&) = delete;
    Database& operator=(const Database&) = delete;

    // The file's path; for a server database its URI (without a password).
    QString path() const { return path_; }
    Engine engine() const { return engine_; }
    bool isServer() const { return engine_ == Engine::PostgreSQL; }
    QSqlDatabase connection() const;

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

    bool tableExists(const QString& table);
    // Drops the table if it exists and makes it again from its column list,
    // for work tables made at run time.
    void createWorkTable(const QString& table, const QString& columns);
    void dropTable(const QString& table);
    qint64 lastInsertId();

private:
    Database(QString path, QString connectionName, Engine engine = Engine::SQLite);
    static std::unique_ptr<Database> connect(const QString& path, bool create, int busyTimeoutMs);

    QString path_;
    QString connectionName_;
    Engine engine_ = Engine::SQLite;
};

// Everything done inside the life of a Transaction is undone unless commit()
// was called. Transactions do not nest; use a Savepoint inside one.
class Transaction {
public:
    explicit Transaction(Database& db);
    ~Transaction();
    void commit();
    Transaction(const Transaction&) = delete;
    Transaction& operator=(const Transaction&) = delete;

private:
    Database& db_;
    bool open_ = true;
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
// turns true, failing with the engine's "interrupted" (on the server
// "canceling statement due to user request") error: a select that reads much
// of a table may run long before it gives a row, and a job the user cancels
// must not wait for it. On SQLite stop() is asked on the connection's thread;
// on the server a thread of the guard's own asks it every 50 ms and has the
// server cancel the statement running. Where the engine's library cannot be
// reached from here (a driver with a copy of its own), the guard does nothing.
class StatementStop {
public:
    StatementStop(Database& db, std::function<bool()> stop);
    ~StatementStop();
    bool active() const { return handle_ != nullptr || watch_ != nullptr; }
    StatementStop(const StatementStop&) = delete;
    StatementStop& operator=(const StatementStop&) = delete;

private:
    struct ServerWatch;
    void* handle_ = nullptr;
    std::function<bool()> stop_;
    std::unique_ptr<ServerWatch> watch_;
};

// Table and savepoint names cannot be bound; they must be plain identifiers.
bool isPlainIdentifier(const QString& name);

// A condition that holds when column holds exactly the value bound to its
// "?": null only for null, text with regard to case (text columns compare
// without it otherwise). For a save that must not overwrite another's change.
QString holdsExactly(const QString& column);

// The engine's own key of a row, for a table without a key column of its own.
// On the server it is the row's place (ctid), which an update of the row
// changes: good for reading a row and changing it again at once, where a
// change by someone else in between then finds no row, and for the order
// rows of a list that is only added to were entered in.
QString hiddenRowKey(const Database& db);

// True when the failure is another connection holding the database (a
// write lock kept longer than the wait).
bool isDatabaseLocked(const DbError& error);

} // namespace kolva
