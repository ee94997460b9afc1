#include "store/database.h"

#include <QAtomicInteger>
#include <QFileInfo>
#include <QLibrary>
#include <QRegularExpression>
#include <QSqlDriver>
#include <QSqlError>
#include <QUrl>

#include <sqlite3.h>

#include <algorithm>
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

[[noreturn]] void fail(const QSqlError& error, const QString& statement)
{
    QString message = error.driverText();
    if (!error.databaseText().isEmpty())
        message = error.databaseText();
    if (message.isEmpty())
        message = error.text();
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

// A function of libpq, as the server's driver loaded it; null when it
// cannot be had.
QFunctionPointer libpq(const char* name)
{
    return QLibrary::resolve(QStringLiteral("pq"), 5, name);
}

// The server connection's PGconn (the driver's handle names it PGconn* or,
// by the type behind that name, pg_conn*); null for another engine.
void* serverConnection(const Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        return nullptr;
    return *static_cast<void* const*>(handle.constData());
}

} // namespace

// The server runs a statement while the connection's thread waits for its
// answer: a thread of the guard's own asks stop() and sends the server
// libpq's cancel request, which ends the statement running (if any) with an
// error.
struct StatementStop::ServerWatch {
    using GetCancel = void* (*)(void*);
    using Cancel = int (*)(void*, char*, int);
    using FreeCancel = void (*)(void*);

    ServerWatch(void* cancel, Cancel send, FreeCancel free, const std::function<bool()>& stop)
        : cancel_(cancel), send_(send), free_(free)
    {
        thread_ = std::thread([this, &stop] {
            std::unique_lock lock(mutex_);
            while (!wake_.wait_for(lock, std::chrono::milliseconds(50), [this] { return ending_; })) {
                if (!stop())
                    continue;
                char why[256] = {};
                if (!send_(cancel_, why, sizeof why))
                    qWarning("the statement could not be cancelled: %s", why);
            }
        });
    }
    ~ServerWatch()
    {
        {
            const std::lock_guard lock(mutex_);
            ending_ = true;
        }
        wake_.notify_all();
        thread_.join();
        free_(cancel_);
    }
    ServerWatch(const ServerWatch&) = delete;
    ServerWatch& operator=(const ServerWatch&) = delete;

    void* cancel_;
    Cancel send_;
    FreeCancel free_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool ending_ = false;
    std::thread thread_;
};

StatementStop::StatementStop(Database& db, std::function<bool()> stop) : stop_(std::move(stop))
{
    if (db.isServer()) {
        void* conn = serverConnection(db);
        const auto getCancel = reinterpret_cast<ServerWatch::GetCancel>(libpq("PQgetCancel"));
        const auto send = reinterpret_cast<ServerWatch::Cancel>(libpq("PQcancel"));
        const auto free = reinterpret_cast<ServerWatch::FreeCancel>(libpq("PQfreeCancel"));
        if (!conn || !getCancel || !send || !free)
            return;
        if (void* cancel = getCancel(conn))
            watch_ = std::make_unique<ServerWatch>(cancel, send, free, stop_);
        return;
    }
    const QVariant handle = db.connection().driver()->handle();
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
    if (handle_)
        engineLibrary().first(handle_, 0, nullptr, nullptr);
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

std::unique_ptr<Database> Database::connect(const QString& path, bool create, int busyTimeoutMs)
{
    const QString name = nextConnectionName();
    QString message;
    QString code;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        // A URI with mode=rw makes the engine refuse a missing file instead of
        // creating an empty database in its place.
        QUrl uri = QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath());
        uri.setQuery(create ? QStringLiteral("mode=rwc") : QStringLiteral("mode=rw"));
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

std::unique_ptr<Database> Database::openServer(const DatabaseTarget& target, int busyTimeoutMs)
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
        throw DbError(message.trimmed(), {}, code);
    }
    auto result = std::unique_ptr<Database>(new Database(target.displayName(), name, Engine::PostgreSQL));
    // The server takes 0 as no limit at all: a connection that must not wait
    // waits a millisecond.
    result->exec(QStringLiteral("SET lock_timeout = %1").arg(std::max(1, busyTimeoutMs)));
    return result;
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
        return openServer(target, busyTimeoutMs);
    }
    return connect(path, false, busyTimeoutMs);
}

std::unique_ptr<Database> Database::create(const QString& path)
{
    if (QFileInfo::exists(path))
        throw DbError(QStringLiteral("the file %1 already exists").arg(path));
    return connect(path, true, DefaultBusyTimeoutMs);
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
    QSqlQuery query(connection());
    query.setForwardOnly(true);
    if (!query.prepare(sql))
        fail(query.lastError(), sql);
    return query;
}

void Database::run(QSqlQuery& prepared)
{
    if (!prepared.exec())
        fail(prepared.lastError(), prepared.lastQuery());
}

namespace {

// A statement without values, run as it is: PostgreSQL prepares only
// queries and changes of rows, not SET, BEGIN or CREATE.
QSqlQuery runDirectly(const QSqlDatabase& connection, const QString& sql)
{
    QSqlQuery query(connection);
    query.setForwardOnly(true);
    if (!query.exec(sql))
        fail(query.lastError(), sql);
    return query;
}

} // namespace

int Database::exec(const QString& sql, const QVariantList& values)
{
    if (isServer() && values.isEmpty()) {
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
    if (isServer() && values.isEmpty())
        return runDirectly(connection(), sql);
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
        const void* conn = serverConnection(*this);
        const int state = status && conn ? status(conn) : 0;
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

Transaction::Transaction(Database& db) : db_(db)
{
    // PostgreSQL takes its locks row by row as the work goes.
    db_.exec(db_.isServer() ? QStringLiteral("BEGIN") : QStringLiteral("BEGIN IMMEDIATE"));
}

Transaction::~Transaction()
{
    if (open_) {
        try {
            db_.exec(QStringLiteral("ROLLBACK"));
        } catch (const DbError&) {
            // The engine has already rolled back (a failed COMMIT, say).
        }
    }
}

void Transaction::commit()
{
    db_.exec(QStringLiteral("COMMIT"));
    open_ = false;
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

QString holdsExactly(const QString& column)
{
    return column + QStringLiteral(" IS ? COLLATE BINARY");
}

QString hiddenRowKey(const Database& db)
{
    return db.isServer() ? QStringLiteral("ctid") : QStringLiteral("rowid");
}

bool isDatabaseLocked(const DbError& error)
{
    // PostgreSQL's lock_not_available, when lock_timeout runs out.
    if (error.code() == QLatin1String("55P03"))
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
