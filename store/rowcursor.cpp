#include "store/rowcursor.h"

#include "store/database.h"

#include <QLibrary>
#include <QSqlDriver>
#include <QSqlError>
#include <QSqlQuery>
#include <QSqlRecord>

#include <vector>

namespace kolva {

namespace {

// The few functions of the engine's C interface that reading needs, from the
// library the driver runs on (the system's SQLite).
struct Engine {
    using Prepare = int (*)(void*, const char*, int, void**, const char**);
    using Step = int (*)(void*);
    using Finalize = int (*)(void*);
    using BindText = int (*)(void*, int, const char*, int, void (*)(void*));
    using BindInt64 = int (*)(void*, int, qint64);
    using BindDouble = int (*)(void*, int, double);
    using BindNull = int (*)(void*, int);
    using ColumnType = int (*)(void*, int);
    using ColumnInt64 = qint64 (*)(void*, int);
    using ColumnDouble = double (*)(void*, int);
    using ColumnText = const unsigned char* (*)(void*, int);
    using ColumnBytes = int (*)(void*, int);
    using ErrorMessage = const char* (*)(void*);
    using Reset = int (*)(void*);
    using LibVersion = const char* (*)();

    Prepare prepare = nullptr;
    Step step = nullptr;
    Finalize finalize = nullptr;
    BindText bindText = nullptr;
    BindInt64 bindInt64 = nullptr;
    BindDouble bindDouble = nullptr;
    BindNull bindNull = nullptr;
    ColumnType columnType = nullptr;
    ColumnInt64 columnInt64 = nullptr;
    ColumnDouble columnDouble = nullptr;
    ColumnText columnText = nullptr;
    ColumnBytes columnBytes = nullptr;
    ErrorMessage errorMessage = nullptr;
    Reset reset = nullptr;
    LibVersion libVersion = nullptr;

    bool complete() const
    {
        return prepare && step && finalize && bindText && bindInt64 && bindDouble && bindNull && columnType
               && columnInt64 && columnDouble && columnText && columnBytes && errorMessage && reset && libVersion;
    }
};

constexpr int Row = 100;  // SQLITE_ROW
constexpr int Done = 101; // SQLITE_DONE
constexpr int Integer = 1, Float = 2, Text = 3, Null = 5;
void (*const Transient)(void*) = reinterpret_cast<void (*)(void*)>(-1); // SQLITE_TRANSIENT

const Engine& engine()
{
    static const Engine resolved = [] {
        Engine e;
        QLibrary library(QStringLiteral("sqlite3"), 0);
        const auto get = [&library](auto& function, const char* name) {
            function = reinterpret_cast<std::remove_reference_t<decltype(function)>>(library.resolve(name));
        };
        get(e.prepare, "sqlite3_prepare_v2");
        get(e.step, "sqlite3_step");
        get(e.finalize, "sqlite3_finalize");
        get(e.bindText, "sqlite3_bind_text");
        get(e.bindInt64, "sqlite3_bind_int64");
        get(e.bindDouble, "sqlite3_bind_double");
        get(e.bindNull, "sqlite3_bind_null");
        get(e.columnType, "sqlite3_column_type");
        get(e.columnInt64, "sqlite3_column_int64");
        get(e.columnDouble, "sqlite3_column_double");
        get(e.columnText, "sqlite3_column_text");
        get(e.columnBytes, "sqlite3_column_bytes");
        get(e.errorMessage, "sqlite3_errmsg");
        get(e.reset, "sqlite3_reset");
        get(e.libVersion, "sqlite3_libversion");
        return e;
    }();
    return resolved;
}

// The engine's handle of the connection, when the library found is the one
// the connection runs on.
void* directHandle(Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || qstrcmp(handle.typeName(), "sqlite3*") != 0 || !engine().complete())
        return nullptr;
    if (db.scalar(QStringLiteral("SELECT sqlite_version()")).toString() != QString::fromLatin1(engine().libVersion()))
        return nullptr;
    return *static_cast<void* const*>(handle.data());
}

} // namespace

struct RowCursor::Impl {
    const Engine& e = engine();
    QString sql;
    // Straight from the engine.
    void* handle = nullptr;
    void* statement = nullptr;
    // Through the driver.
    std::unique_ptr<QSqlQuery> query;
    mutable std::vector<QByteArray> texts;

    [[noreturn]] void fail() const
    {
        throw DbError(QString::fromUtf8(e.errorMessage(handle)), sql);
    }
};

RowCursor::RowCursor(Database& db, const QString& sql, const QVariantList& values) : d(std::make_unique<Impl>())
{
    d->sql = sql;
    d->handle = directHandle(db);
    if (!d->handle) {
        d->query = std::make_unique<QSqlQuery>(db.query(sql, values));
        return;
    }
    const Engine& e = engine();
    const QByteArray text = sql.toUtf8();
    if (e.prepare(d->handle, text.constData(), int(text.size()), &d->statement, nullptr) != 0)
        d->fail();
    for (int i = 0; i < values.size(); ++i) {
        const QVariant& v = values.at(i);
        int rc = 0;
        if (v.isNull()) {
            rc = e.bindNull(d->statement, i + 1);
        } else {
            switch (v.typeId()) {
            case QMetaType::Int:
            case QMetaType::UInt:
            case QMetaType::LongLong:
            case QMetaType::Bool:
                rc = e.bindInt64(d->statement, i + 1, v.toLongLong());
                break;
            case QMetaType::Double:
            case QMetaType::Float:
                rc = e.bindDouble(d->statement, i + 1, v.toDouble());
                break;
            default: {
                const QByteArray bytes = v.toString().toUtf8();
                rc = e.bindText(d->statement, i + 1, bytes.constData(), int(bytes.size()), Transient);
            }
            }
        }
        if (rc != 0)
            d->fail();
    }
}

RowCursor::~RowCursor()
{
    if (d->statement)
        d->e.finalize(d->statement);
}

bool RowCursor::direct() const
{
    return d->statement != nullptr;
}

bool RowCursor::next()
{
    if (d->query) {
        if (d->query->next()) {
            d->texts.assign(size_t(d->query->record().count()), QByteArray());
            return true;
        }
        if (d->query->lastError().isValid())
            throw DbError(d->query->lastError().text(), d->sql);
        return false;
    }
    if (!d->statement)
        return false;
    const int rc = d->e.step(d->statement);
    if (rc == Row)
        return true;
    if (rc != Done)
        d->fail();
    return false;
}

RowCursor::Kind RowCursor::kind(int column) const
{
    if (d->query) {
        const QVariant v = d->query->value(column);
        if (v.isNull())
            return Kind::Null;
        switch (v.typeId()) {
        case QMetaType::Int:
        case QMetaType::UInt:
        case QMetaType::LongLong:
        case QMetaType::ULongLong:
            return Kind::Integer;
        case QMetaType::Double:
        case QMetaType::Float:
            return Kind::Real;
        default:
            return Kind::Text;
        }
    }
    switch (d->e.columnType(d->statement, column)) {
    case Integer:
        return Kind::Integer;
    case Float:
        return Kind::Real;
    case Null:
        return Kind::Null;
    default:
        return Kind::Text;
    }
}

qint64 RowCursor::integer(int column) const
{
    if (d->query)
        return d->query->value(column).toLongLong();
    return d->e.columnInt64(d->statement, column);
}

double RowCursor::real(int column) const
{
    if (d->query)
        return d->query->value(column).toDouble();
    return d->e.columnDouble(d->statement, column);
}

QByteArrayView RowCursor::text(int column) const
{
    if (d->query) {
        QByteArray& cached = d->texts[size_t(column)];
        cached = d->query->value(column).toString().toUtf8();
        return cached;
    }
    const unsigned char* bytes = d->e.columnText(d->statement, column);
    const int size = d->e.columnBytes(d->statement, column);
    return bytes ? QByteArrayView(reinterpret_cast<const char*>(bytes), size) : QByteArrayView();
}

// ---------------------------------------------------------------- RowWriter

struct RowWriter::Impl {
    const Engine& e = engine();
    QString sql;
    void* handle = nullptr;
    void* statement = nullptr;
    std::unique_ptr<QSqlQuery> query;

    [[noreturn]] void fail() const
    {
        throw DbError(QString::fromUtf8(e.errorMessage(handle)), sql);
    }
    void check(int rc) const
    {
        if (rc != 0)
            fail();
    }
};

RowWriter::RowWriter(Database& db, const QString& sql) : d(std::make_unique<Impl>())
{
    d->sql = sql;
    d->handle = directHandle(db);
    if (!d->handle) {
        d->query = std::make_unique<QSqlQuery>(db.prepare(sql));
        return;
    }
    const QByteArray text = sql.toUtf8();
    d->check(d->e.prepare(d->handle, text.constData(), int(text.size()), &d->statement, nullptr));
}

RowWriter::~RowWriter()
{
    if (d->statement)
        d->e.finalize(d->statement);
}

void RowWriter::bindNull(int parameter)
{
    if (d->query)
        d->query->bindValue(parameter, QVariant());
    else
        d->check(d->e.bindNull(d->statement, parameter + 1));
}

void RowWriter::bindInteger(int parameter, qint64 value)
{
    if (d->query)
        d->query->bindValue(parameter, value);
    else
        d->check(d->e.bindInt64(d->statement, parameter + 1, value));
}

void RowWriter::bindReal(int parameter, double value)
{
    if (d->query)
        d->query->bindValue(parameter, value);
    else
        d->check(d->e.bindDouble(d->statement, parameter + 1, value));
}

void RowWriter::bindText(int parameter, QByteArrayView utf8)
{
    if (d->query)
        d->query->bindValue(parameter, QString::fromUtf8(utf8));
    else
        d->check(d->e.bindText(d->statement, parameter + 1, utf8.data() ? utf8.data() : "", int(utf8.size()), Transient));
}

void RowWriter::bindValue(int parameter, const RowCursor& row, int column)
{
    switch (row.kind(column)) {
    case RowCursor::Kind::Null:
        bindNull(parameter);
        break;
    case RowCursor::Kind::Integer:
        bindInteger(parameter, row.integer(column));
        break;
    case RowCursor::Kind::Real:
        bindReal(parameter, row.real(column));
        break;
    case RowCursor::Kind::Text:
        bindText(parameter, row.text(column));
        break;
    }
}

void RowWriter::run()
{
    if (d->query) {
        Database::run(*d->query);
        return;
    }
    const int rc = d->e.step(d->statement);
    d->e.reset(d->statement);
    if (rc != Done)
        d->fail();
}

} // namespace kolva
