#include "store/database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QHash>
#include <QLibrary>
#include <QMutex>
#include <QSqlDriver>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
#include <vector>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace kolva {

DbError::DbError(const QString& message, const QString& statement, const QString& code)
    : DatabaseError(message, code,
                    (statement.isEmpty() ? message : message + QStringLiteral(" [") + statement + QLatin1Char(']'))
                        .toStdString()),
      statement_(statement)
{
}

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("kolva-%1").arg(counter.fetchAndAddRelaxed(1));
}

// libpq, as the driver loaded it, for what Qt Sql does not tell.
QFunctionPointer libpq(const char* function)
{
    return QLibrary::resolve(QStringLiteral("pq"), 5, function);
}

// The connection's libpq handle, or null for another driver.
const void* serverHandle(const QSqlDriver* driver)
{
    const QVariant handle = driver ? driver->handle() : QVariant();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<void* const*>(handle.constData());
}

// PostgreSQL's insufficient_privilege.
const QString NoPrivilege = QStringLiteral("42501");

// A statement that changes rows: refused for want of rights, the user is one
// who may only read.
bool changesRows(const QString& statement)
{
    static const QRegularExpression change(QStringLiteral("^\\s*(INSERT|UPDATE|DELETE|TRUNCATE|COPY)\\b"),
                                           QRegularExpression::CaseInsensitiveOption);
    return change.match(statement).hasMatch();
}

// PostgreSQL's invalid_authorization_specification: the server asked for a
// password that was not had.
const QString PasswordWanted = QStringLiteral("28000");

// Whether libpq, connecting as the driver does, finds that the server asks
// for a password that none of its places gives. Told by libpq itself, not by
// its words, which follow the user's language.
bool passwordWanted(const DatabaseTarget& target)
{
    using ConnectParams = void* (*)(const char* const*, const char* const*, int);
    using NeedsPassword = int (*)(const void*);
    using Finish = void (*)(void*);
    const auto connect = reinterpret_cast<ConnectParams>(libpq("PQconnectdbParams"));
    const auto needs = reinterpret_cast<NeedsPassword>(libpq("PQconnectionNeedsPassword"));
    const auto finish = reinterpret_cast<Finish>(libpq("PQfinish"));
    if (!connect || !needs || !finish)
        return false;
    QList<QPair<QString, QString>> given = target.options;
    given.prepend({QStringLiteral("user"), target.user});
    given.prepend({QStringLiteral("dbname"), target.dbname});
    given.prepend({QStringLiteral("port"), target.port < 0 ? QString() : QString::number(target.port)});
    given.prepend({QStringLiteral("host"), target.host});
    QList<QByteArray> keys, values;
    for (const auto& [key, value] : given) {
        if (!value.isEmpty()) {
            keys << key.toUtf8();
            values << value.toUtf8();
        }
    }
    std::vector<const char*> k, v;
    for (qsizetype i = 0; i < keys.size(); ++i) {
        k.push_back(keys.at(i).constData());
        v.push_back(values.at(i).constData());
    }
    k.push_back(nullptr);
    v.push_back(nullptr);
    void* conn = connect(k.data(), v.data(), 0);
    const bool wanted = conn && needs(conn) != 0;
    finish(conn);
    return wanted;
}


// The server words its failures as libpq gives them: the severity, then the
// message, then lines of detail, hint and the place in the statement
// ("ERROR:  value too long\nLINE 1: ..."). Only the message is said.
QString serverMessageOnly(const QString& text)
{
    static const QRegularExpression severity(QStringLiteral("^(ERROR|FATAL|PANIC):\\s+"));
    QString message = text.trimmed();
    const QRegularExpressionMatch found = severity.match(message);
    if (!found.hasMatch())
        return message;
    message = message.mid(found.capturedLength());
    const qsizetype end = message.indexOf(QLatin1Char('\n'));
    return (end < 0 ? message : message.left(end)).trimmed();
}

// The code a lost connection's failure carries: PostgreSQL's
// connection_failure.
const QString ConnectionLostCode = QStringLiteral("08006");

QString connectionLostText()
{
    return QStringLiteral("The connection to the database server was lost (the server was restarted or stopped, or "
                          "the network dropped). The server undid the unfinished work of this connection.");
}

// True when libpq has found the server's connection broken.
bool serverConnectionBad(const QSqlDriver* driver)
{
    using Status = int (*)(const void*);
    static const auto status = reinterpret_cast<Status>(libpq("PQstatus"));
    const void* conn = serverHandle(driver);
    return conn && status && status(conn) != 0; // CONNECTION_OK
}

// The server's own codes as it ends a connection: admin_shutdown,
// crash_shutdown, cannot_connect_now, and the connection exceptions.
bool endsConnection(const QString& code)
{
    return code == QLatin1String("57P01") || code == QLatin1String("57P02") || code == QLatin1String("57P03") ||
           (code.size() == 5 && code.startsWith(QLatin1String("08")));
}

[[noreturn]] void fail(const QSqlError& error, const QString& statement, const QSqlDriver* driver = nullptr)
{
    if (serverConnectionBad(driver) || (serverHandle(driver) && endsConnection(error.nativeErrorCode()))) {
        const QString reason = (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).trimmed();
        throw connectionLostError(reason, statement);
    }
    QString message = error.driverText();
    if (!error.databaseText().isEmpty())
        message = serverMessageOnly(error.databaseText());
    if (message.isEmpty())
        message = error.text();
    if (error.nativeErrorCode() == NoPrivilege && changesRows(statement)) {
        using User = const char* (*)(const void*);
        const auto user = reinterpret_cast<User>(libpq("PQuser"));
        const void* conn = serverHandle(driver);
        throw DbError(readOnlyMessage(user && conn ? QString::fromUtf8(user(conn)) : QString()), statement,
                      error.nativeErrorCode());
    }
    throw DbError(message, statement, error.nativeErrorCode());
}

void bindAll(QSqlQuery& query, const QVariantList& values)
{
    for (int i = 0; i < values.size(); ++i)
        query.bindValue(i, values.at(i));
}

// The engine's progress callback, from the library the driver uses (the
// system's SQLite); null when it cannot be had.
using ProgressHandler = void (*)(void*, int, int (*)(void*), void*);
using LibVersion = const char* (*)();

const std::pair<ProgressHandler, LibVersion>& engineLibrary()
{
    static const auto resolved = [] {
        QLibrary library(QStringLiteral("sqlite3"), 0);
        return std::pair{reinterpret_cast<ProgressHandler>(library.resolve("sqlite3_progress_handler")),
                         reinterpret_cast<LibVersion>(library.resolve("sqlite3_libversion"))};
    }();
    return resolved;
}

ProgressHandler progressHandler(Database& db)
{
    const auto& [handler, version] = engineLibrary();
    if (!handler || !version)
        return nullptr;
    // The library found must be the engine the connection runs on.
    if (db.scalar(QStringLiteral("SELECT sqlite_version()")).toString() != QString::fromLatin1(version()))
        return nullptr;
    return handler;
}

} // namespace

// libpq's request to cancel, as the driver loaded it.
struct CancelFunctions {
    using Get = void* (*)(void*);
    using Cancel = int (*)(void*, char*, int);
    using Free = void (*)(void*);
    Get get = nullptr;
    Cancel cancel = nullptr;
    Free free = nullptr;
};

const CancelFunctions& cancelFunctions()
{
    static const CancelFunctions resolved = [] {
        CancelFunctions f;
        const QString pq = QStringLiteral("pq");
        f.get = reinterpret_cast<CancelFunctions::Get>(QLibrary::resolve(pq, 5, "PQgetCancel"));
        f.cancel = reinterpret_cast<CancelFunctions::Cancel>(QLibrary::resolve(pq, 5, "PQcancel"));
        f.free = reinterpret_cast<CancelFunctions::Free>(QLibrary::resolve(pq, 5, "PQfreeCancel"));
        return f;
    }();
    return resolved;
}

// Asks stop() every 50 ms on a thread of its own until it is true, then
// sends the server the request to cancel (libpq's PQcancel, made for being
// called from another thread) once.
struct StatementStop::ServerWatch {
    void* cancel = nullptr;
    std::mutex mutex;
    std::condition_variable wake;
    bool ended = false;
    std::thread thread;

    ServerWatch(void* request, const std::function<bool()>& stop) : cancel(request)
    {
        thread = std::thread([this, &stop] {
            std::unique_lock lock(mutex);
            while (!wake.wait_for(lock, std::chrono::milliseconds(50), [this] { return ended; })) {
                if (!stop())
                    continue;
                char reason[256] = {};
                if (!cancelFunctions().cancel(cancel, reason, int(sizeof reason)))
                    qWarning("the server was not asked to cancel the statement: %s", reason);
                return;
            }
        });
    }
    ~ServerWatch()
    {
        {
            const std::lock_guard lock(mutex);
            ended = true;
        }
        wake.notify_all();
        thread.join();
        cancelFunctions().free(cancel);
    }
};

StatementStop::StatementStop(Database& db, std::function<bool()> stop) : stop_(std::move(stop))
{
    const QVariant handle = db.connection().driver()->handle();
    if (handle.isValid() && (qstrcmp(handle.typeName(), "PGconn*") == 0 || qstrcmp(handle.typeName(), "pg_conn*") == 0)) {
        const CancelFunctions& f = cancelFunctions();
        void* conn = *static_cast<void* const*>(handle.constData());
        void* request = conn && f.get && f.cancel && f.free ? f.get(conn) : nullptr;
        if (request)
            server_ = std::make_unique<ServerWatch>(request, stop_);
        return;
    }
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return;
    const ProgressHandler set = progressHandler(db);
    if (!set)
        return;
    handle_ = *static_cast<void* const*>(handle.data());
    // Asked every thousand steps of the engine's machine, a few microseconds.
    set(handle_, 1000, [](void* self) { return static_cast<StatementStop*>(self)->stop_() ? 1 : 0; }, this);
}

StatementStop::~StatementStop()
{
    server_.reset();
    if (handle_)
        engineLibrary().first(handle_, 0, nullptr, nullptr);
}

QString readOnlyMessage(const QString& user)
{
    return QStringLiteral("You may read this database but not change it: the server gives %1 read rights only. "
                          "Ask whoever runs the office's database for write rights.")
        .arg(user.isEmpty() ? QStringLiteral("this user") : user);
}

void requireWriteAccess(const Database& db)
{
    if (db.readOnly())
        throw DbError(readOnlyMessage(db.userName()), {}, NoPrivilege);
}

bool isPlainIdentifier(const QString& name)
{
    static const QRegularExpression plain(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return plain.match(name).hasMatch();
}

Database::Database(QString path, QString connectionName, Engine engine)
    : path_(std::move(path)), connectionName_(std::move(connectionName)), engine_(engine)
{
}

std::unique_ptr<Database> Database::connect(const QString& path, const QString& mode, int busyTimeoutMs)
{
    const QString name = nextConnectionName();
    QString message;
    QString code;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // A URI with mode=rw (or ro) makes the engine refuse a missing file
        // instead of creating an empty database in its place.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        uri.setQuery(QStringLiteral("mode=") + mode);
        db.setDatabaseName(uri.toString(QUrl::FullyEncoded));
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_URI;QSQLITE_BUSY_TIMEOUT=%1").arg(std::max(0, busyTimeoutMs)));
        if (db.open()) {
            auto result = std::unique_ptr<Database>(new Database(path, name));
            return result;
        }
        const QSqlError error = db.lastError();
        message = error.driverText();
        if (!error.databaseText().isEmpty())
            message = error.databaseText();
        code = error.nativeErrorCode();
    }
    QSqlDatabase::removeDatabase(name);
    throw DbError(message, {}, code);
}

namespace {

// The password the user typed for a server database, for the connections
// the program's jobs open to it on their own threads: kept in this process's
// memory only, for as long as it runs.
QMutex typedPasswordsLock;
QHash<QString, QString> typedPasswords;

QString typedPassword(const DatabaseTarget& target)
{
    const QMutexLocker locker(&typedPasswordsLock);
    return typedPasswords.value(target.displayName());
}

} // namespace

std::unique_ptr<Database> Database::openServer(const DatabaseTarget& target, int busyTimeoutMs,
                                               const QString& password)
{
    if (!target.isServer())
        return open(target.path, busyTimeoutMs);
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL")))
        throw DbError(QStringLiteral("the PostgreSQL driver of Qt Sql is not installed (Debian package "
                                     "libqt6sql6-psql)"));
    const QString name = nextConnectionName();
    QString message;
    QString code;
    bool opened = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(target.host);
        db.setPort(target.port);
        db.setDatabaseName(target.dbname);
        db.setUserName(target.user);
        if (!password.isEmpty())
            db.setPassword(password);
        db.setConnectOptions(target.connectOptions());
        opened = db.open();
        if (!opened) {
            const QSqlError error = db.lastError();
            message = error.databaseText().isEmpty() ? error.driverText() : error.databaseText();
            code = error.nativeErrorCode();
        }
    }
    if (!opened) {
        QSqlDatabase::removeDatabase(name);
        if (password.isEmpty() && passwordWanted(target))
            code = PasswordWanted;
        throw DbError(message.trimmed(), {}, code);
    }
    if (!password.isEmpty()) {
        const QMutexLocker locker(&typedPasswordsLock);
        typedPasswords.insert(target.displayName(), password);
    }
    auto result = std::unique_ptr<Database>(new Database(target.displayName(), name, Engine::PostgreSQL));
    // The server takes 0 as no limit at all: a connection that must not wait
    // waits a millisecond.
    result->lockTimeoutMs_ = std::max(1, busyTimeoutMs);
    result->startSession();
    // Whether the server lets this user change the survey records; a
    // database without them yet is the user's to make.
    QSqlQuery rights = result->query(QStringLiteral(
        "SELECT current_user, CASE WHEN to_regclass('_archived_surveydata') IS NULL THEN false ELSE NOT ("
        "has_table_privilege(to_regclass('_archived_surveydata'), 'INSERT') AND "
        "has_table_privilege(to_regclass('_archived_surveydata'), 'UPDATE') AND "
        "has_table_privilege(to_regclass('_archived_surveydata'), 'DELETE')) END"));
    if (rights.next()) {
        result->user_ = rights.value(0).toString();
        result->readOnly_ = rights.value(1).toBool();
    }
    rights.finish();
    return result;
}

void Database::startSession()
{
    exec(QStringLiteral("SET lock_timeout = %1").arg(lockTimeoutMs_));
}

bool Database::connectionLost() const
{
    return isServer() && serverConnectionBad(connection().driver());
}

void Database::reconnectIfLost()
{
    if (!connectionLost())
        return;
    // The transaction the loss ended must not go on, statement by statement,
    // on a new connection: its work is gone.
    if (openTransactions_ > 0)
        throw DbError(connectionLostText(), {}, ConnectionLostCode);
    QSqlDatabase db = connection();
    db.close();
    if (!db.open()) {
        const QSqlError error = db.lastError();
        const QString reason = (error.databaseText().isEmpty() ? error.driverText() : error.databaseText()).trimmed();
        throw DbError(connectionLostText() + QStringLiteral(" It could not be opened again.\n\n") + reason, {},
                      ConnectionLostCode);
    }
    startSession();
}

std::unique_ptr<Database> Database::open(const QString& path, int busyTimeoutMs)
{
    // A job on another thread opens its own connection by the path of the
    // window's one, which for a server database is its URI.
    if (isServerDatabaseUri(path)) {
        DatabaseTarget target;
        try {
            target = parseDatabaseTarget(path);
        } catch (const InputError& refused) {
            throw DbError(refused.userText());
        }
        return openServer(target, busyTimeoutMs, typedPassword(target));
    }
    return connect(path, QStringLiteral("rw"), busyTimeoutMs);
}

std::unique_ptr<Database> Database::openReadOnly(const QString& path, int busyTimeoutMs)
{
    return connect(path, QStringLiteral("ro"), busyTimeoutMs);
}

std::unique_ptr<Database> Database::create(const QString& path)
{
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("the file %1 already exists").arg(path));
    return connect(path, QStringLiteral("rwc"), DefaultBusyTimeoutMs);
}

Database::~Database()
{
    {
        QSqlDatabase db = QSqlDatabase::database(connectionName_, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connectionName_);
}

QSqlDatabase Database::connection() const
{
    return QSqlDatabase::database(connectionName_, false);
}

QSqlQuery Database::prepare(const QString& sql)
{
    reconnectIfLost();
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query.lastError(), sql, query.driver());
    return query;
}

void Database::run(QSqlQuery& prepared)
{
    if (!prepared.exec())
        fail(prepared.lastError(), prepared.lastQuery(), prepared.driver());
}

namespace {

// A statement without values, run as it is: PostgreSQL prepares only
// queries and changes of rows, not SET, BEGIN or CREATE.
QSqlQuery runDirectly(const QSqlDatabase& connection, const QString& sql)
{
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        fail(query.lastError(), sql, query.driver());
    return query;
}

} // namespace

int Database::exec(const QString& sql, const QVariantList& values)
{
    if (isServer() && values.isEmpty()) {
        reconnectIfLost();
        QSqlQuery query = runDirectly(connection(), sql);
        const int changed = query.numRowsAffected();
        query.finish();
        return changed;
    }
    QSqlQuery query = prepare(sql);
    bindAll(query, values);
    run(query);
    const int changed = query.numRowsAffected();
    query.finish();
    return changed;
}

QSqlQuery Database::query(const QString& sql, const QVariantList& values)
{
    if (isServer() && values.isEmpty()) {
        reconnectIfLost();
        return runDirectly(connection(), sql);
    }
    QSqlQuery query = prepare(sql);
    bindAll(query, values);
    run(query);
    return query;
}

QVariant Database::scalar(const QString& sql, const QVariantList& values)
{
    QSqlQuery cursor = query(sql, values);
    QVariant value;
    if (cursor.next())
        value = cursor.value(0);
    cursor.finish();
    return value;
}

void Database::execScript(const QString& script)
{
    QString statement;
    const auto flush = [&] {
        const QString sql = statement.trimmed();
        statement.clear();
        if (!sql.isEmpty())
            exec(sql);
    };
    const qsizetype n = script.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = script.at(i);
        if (c == QLatin1Char('-') && i + 1 < n && script.at(i + 1) == QLatin1Char('-')) {
            while (i < n && script.at(i) != QLatin1Char('\n'))
                ++i;
            statement += QLatin1Char('\n');
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            statement += c;
            for (++i; i < n; ++i) {
                statement += script.at(i);
                if (script.at(i) == c)
                    break;
            }
            continue;
        }
        if (c == QLatin1Char(';')) {
            flush();
            continue;
        }
        statement += c;
    }
    flush();
}

bool Database::inTransaction() const
{
    if (isServer()) {
        // libpq, as the driver loaded it (its handle named PGconn* or, by
        // the type behind that name, pg_conn*): anything but idle (or a lost
        // connection) is inside a transaction, a failed one included.
        using TransactionStatus = int (*)(const void*);
        static const auto status = reinterpret_cast<TransactionStatus>(libpq("PQtransactionStatus"));
        const void* conn = serverHandle(connection().driver());
        if (!status || !conn)
            return false;
        const int state = status(conn);
        return state != 0 && state != 4; // PQTRANS_IDLE, PQTRANS_UNKNOWN
    }
    const QVariant handle = connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0)
        return false;
    sqlite3* engine = *static_cast<sqlite3* const*>(handle.constData());
    return engine && sqlite3_get_autocommit(engine) == 0;
}

bool Database::tableExists(const QString& table)
{
    if (isServer()) {
        // Found as a statement finds the name: in the schemas of the search
        // path, the connection's temporary tables first, whatever the
        // privileges on it.
        if (!isPlainIdentifier(table))
            return false;
        return scalar(QStringLiteral("SELECT to_regclass(?) IS NOT NULL"), {table}).toBool();
    }
    return scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_master WHERE type = 'table' AND name = ? COLLATE NOCASE"),
                  {table})
               .toInt() > 0;
}

namespace {

// A table's name quoted for a statement. The server keeps a name written
// without quotes in lower case, as the schema's tables are: quoted, it is the
// same name only in lower case.
QString quotedTableName(const Database& db, const QString& table)
{
    if (!isPlainIdentifier(table))
        throw DbError(QStringLiteral("not a table name: %1").arg(table));
    return QLatin1Char('"') + (db.isServer() ? table.toLower() : table) + QLatin1Char('"');
}

} // namespace

void Database::dropTable(const QString& table)
{
    exec(QStringLiteral("DROP TABLE IF EXISTS ") + quotedTableName(*this, table));
}

void Database::createWorkTable(const QString& table, const QString& columns)
{
    // A work table holds copies of rows kept elsewhere: its pages go to the
    // free list as they are instead of being overwritten with zeros, which on a
    // large table would write it twice more (the zeros and the journal).
    const QString name = quotedTableName(*this, table);
    if (isServer()) {
        dropTable(table);
        exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(name, columns));
        return;
    }
    const int wiping = scalar(QStringLiteral("PRAGMA secure_delete")).toInt();
    const QString restore = QStringLiteral("PRAGMA secure_delete = ")
                            + (wiping == 2 ? QStringLiteral("FAST") : QString::number(wiping));
    exec(QStringLiteral("PRAGMA secure_delete = FAST"));
    try {
        dropTable(table);
    } catch (const DbError&) {
        exec(restore);
        throw;
    }
    exec(restore);
    exec(QStringLiteral("CREATE TABLE %1 (%2)").arg(name, columns));
}

qint64 Database::lastInsertId()
{
    if (isServer())
        return scalar(QStringLiteral("SELECT lastval()")).toLongLong();
    return scalar(QStringLiteral("SELECT last_insert_rowid()")).toLongLong();
}

Transaction::Transaction(Database& db, Kind kind) : db_(db)
{
    QString begin;
    if (db_.isServer()) {
        // PostgreSQL takes its locks row by row as the work goes; a snapshot
        // is taken at the first statement after BEGIN.
        switch (kind) {
        case Kind::Write:
            begin = QStringLiteral("BEGIN");
            break;
        case Kind::Snapshot:
            begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ");
            break;
        case Kind::ReadOnly:
            begin = QStringLiteral("BEGIN ISOLATION LEVEL REPEATABLE READ READ ONLY");
            break;
        }
    } else {
        // A SQLite file has one writer at a time, from BEGIN IMMEDIATE on; a
        // reader's shared lock, from its first read, keeps writers from
        // committing until it ends.
        begin = kind == Kind::ReadOnly ? QStringLiteral("BEGIN DEFERRED") : QStringLiteral("BEGIN IMMEDIATE");
    }
    db_.exec(begin);
    ++db_.openTransactions_;
}

Transaction::~Transaction()
{
    if (open_) {
        --db_.openTransactions_;
        // A lost connection's transaction the server has already undone.
        if (db_.connectionLost())
            return;
        try {
            db_.exec(QStringLiteral("ROLLBACK"));
        } catch (const DbError& failed) {
            // The engine has already rolled back (a failed COMMIT, say), or
            // a request to cancel (StatementStop) met the ROLLBACK on the
            // server: then the transaction is still open, and once more ends it.
            if (db_.isServer() && db_.inTransaction()) {
                try {
                    db_.exec(QStringLiteral("ROLLBACK"));
                } catch (const DbError& again) {
                    qWarning("transaction not rolled back: %s (%s)", qPrintable(again.message()),
                             qPrintable(failed.message()));
                }
            }
        }
    }
}

void Transaction::commit()
{
    db_.exec(QStringLiteral("COMMIT"));
    open_ = false;
    --db_.openTransactions_;
}

Savepoint::Savepoint(Database& db, const QString& name) : db_(db), name_(name)
{
    if (!isPlainIdentifier(name))
        throw DbError(QStringLiteral("not a savepoint name: %1").arg(name));
    db_.exec(QStringLiteral("SAVEPOINT ") + name_);
}

Savepoint::~Savepoint()
{
    if (open_) {
        try {
            rollback();
        } catch (const DbError& error) {
            // Nothing can be thrown from here; the enclosing transaction's
            // own rollback still undoes the work.
            qWarning("savepoint %s not rolled back: %s", qPrintable(name_), qPrintable(error.message()));
        }
    }
}

void Savepoint::release()
{
    db_.exec(QStringLiteral("RELEASE ") + name_);
    open_ = false;
}

void Savepoint::rollback()
{
    open_ = false;
    db_.exec(QStringLiteral("ROLLBACK TO ") + name_);
    db_.exec(QStringLiteral("RELEASE ") + name_);
}

QString holdsExactly(const Database& db, const QString& column, ExactValue kind)
{
    if (!db.isServer())
        return column + QStringLiteral(" IS ? COLLATE BINARY");
    // A CITEXT column compares without regard to case; as TEXT it compares
    // character for character.
    if (kind == ExactValue::Text)
        return QStringLiteral("%1::text IS NOT DISTINCT FROM CAST(? AS TEXT)").arg(column);
    return column + QStringLiteral(" IS NOT DISTINCT FROM ?");
}

QString lockingRead(const Database& db)
{
    return db.isServer() ? QStringLiteral(" FOR UPDATE") : QString();
}

void lockImportedFiles(Database& db)
{
    // Self-exclusive, and exclusive of rows added, but not of readers.
    if (db.isServer())
        db.exec(QStringLiteral("LOCK TABLE _Imported_Files IN SHARE ROW EXCLUSIVE MODE"));
}

QString hiddenRowKey(const Database& db)
{
    return db.isServer() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

bool isConnectionLost(const DbError& error)
{
    return error.code() == ConnectionLostCode || endsConnection(error.code());
}

DbError connectionLostError(const QString& reason, const QString& statement)
{
    return DbError(connectionLostText() + (reason.isEmpty() ? QString() : QStringLiteral("\n\n") + reason), statement,
                   ConnectionLostCode);
}

bool isPasswordWanted(const DbError& error)
{
    return error.code() == PasswordWanted;
}

bool isDatabaseLocked(const DbError& error)
{
    // PostgreSQL's lock_not_available, when lock_timeout runs out, and the
    // work of another connection that a snapshot or a lock wait collided
    // with (serialization_failure, deadlock_detected): tried again, it goes.
    if (error.code() == QLatin1String("55P03") || error.code() == QLatin1String("40001") ||
        error.code() == QLatin1String("40P01"))
        return true;
    // SQLITE_BUSY (5) and SQLITE_LOCKED (6), with their extended codes.
    bool ok = false;
    const int code = error.code().toInt(&ok);
    if (ok && ((code & 0xFF) == 5 || (code & 0xFF) == 6))
        return true;
    return error.message().contains(QLatin1String("database is locked")) ||
           error.message().contains(QLatin1String("database table is locked"));
}

} // namespace kolva
