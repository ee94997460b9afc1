#include "store/bulkload.h"

#include "store/database.h"
#include "store/dates.h"

#include <QDateTime>
#include <QSqlDriver>

#include <libpq-fe.h>

#include <algorithm>
#include <utility>

namespace kolva {

BulkLoadTuning::BulkLoadTuning(Database& db, int cacheKiB) : db_(db)
{
    // The server keeps its own cache, for every connection.
    if (db_.isServer())
        return;
    cacheSize_ = db_.scalar(QStringLiteral("PRAGMA cache_size"));
    // A negative size counts KiB rather than pages.
    db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(-qint64(cacheKiB)));
    const bool hasTemporaryObjects =
        db_.scalar(QStringLiteral("SELECT COUNT(*) FROM sqlite_temp_master")).toInt() > 0;
    if (!hasTemporaryObjects) {
        tempStore_ = db_.scalar(QStringLiteral("PRAGMA temp_store"));
        db_.exec(QStringLiteral("PRAGMA temp_store = MEMORY"));
    }
}

BulkLoadTuning::~BulkLoadTuning()
{
    if (!cacheSize_.isValid())
        return;
    try {
        db_.exec(QStringLiteral("PRAGMA cache_size = %1").arg(cacheSize_.toLongLong()));
        if (tempStore_.isValid())
            db_.exec(QStringLiteral("PRAGMA temp_store = %1").arg(tempStore_.toInt()));
    } catch (const DbError& error) {
        // Nothing can be thrown from here, and only speed is at stake.
        qWarning("connection settings not restored after a bulk load: %s", qPrintable(error.message()));
    }
}

namespace {

// Rows an INSERT statement of SQLite writes.
constexpr int RowsAStatement = 100;

// The connection of the server database, as the driver holds it.
PGconn* serverConnection(const Database& db)
{
    const QVariant handle = db.connection().driver()->handle();
    if (!handle.isValid() || (qstrcmp(handle.typeName(), "PGconn*") != 0 && qstrcmp(handle.typeName(), "pg_conn*") != 0))
        throw DbError(QStringLiteral("the connection to the server cannot be reached for a bulk load"));
    PGconn* connection = *static_cast<PGconn* const*>(handle.constData());
    if (!connection)
        throw DbError(QStringLiteral("the connection to the server is closed"));
    return connection;
}

// A value as the driver would hold it to be null: the null text, bytes,
// date and so on of the variant's type too.
bool isNullValue(const QVariant& value)
{
    if (value.isNull())
        return true;
    switch (value.typeId()) {
    case QMetaType::QString:
        return value.toString().isNull();
    case QMetaType::QByteArray:
        return value.toByteArray().isNull();
    case QMetaType::QDate:
        return value.toDate().isNull();
    case QMetaType::QDateTime:
        return !value.toDateTime().isValid();
    default:
        return false;
    }
}

// Text as one field of COPY's text form: the backslash, the field and row
// separators and the carriage return escaped.
void appendCopyText(QByteArray& out, const QString& text)
{
    const QByteArray bytes = text.toUtf8();
    qsizetype from = 0;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const char* escaped = c == '\\' ? "\\\\" : c == '\t' ? "\\t" : c == '\n' ? "\\n" : c == '\r' ? "\\r" : nullptr;
        if (!escaped)
            continue;
        out.append(bytes.constData() + from, i - from);
        out.append(escaped);
        from = i + 1;
    }
    out.append(bytes.constData() + from, bytes.size() - from);
}

void appendCopyField(QByteArray& out, const QVariant& value)
{
    // Most values of a row are texts and whole numbers: taken as they are held.
    if (value.isNull()) {
        out += "\\N";
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QString: {
        const QString& text = *static_cast<const QString*>(value.constData());
        if (text.isNull())
            out += "\\N";
        else
            appendCopyText(out, text);
        return;
    }
    case QMetaType::Int:
        out += QByteArray::number(*static_cast<const int*>(value.constData()));
        return;
    case QMetaType::LongLong:
        out += QByteArray::number(*static_cast<const qlonglong*>(value.constData()));
        return;
    default:
        break;
    }
    if (isNullValue(value)) {
        out += "\\N";
        return;
    }
    switch (value.typeId()) {
    case QMetaType::QByteArray:
        // bytea's hex input, its backslash escaped for COPY.
        out += "\\\\x";
        out += value.toByteArray().toHex();
        return;
    case QMetaType::Bool:
        out += value.toBool() ? "t" : "f";
        return;
    case QMetaType::Double:
    case QMetaType::Float: {
        const double number = value.toDouble();
        if (qIsNaN(number))
            out += "NaN";
        else if (qIsInf(number))
            out += number > 0 ? "Infinity" : "-Infinity";
        else
            out += QByteArray::number(number, 'g', QLocale::FloatingPointShortest);
        return;
    }
    case QMetaType::QDateTime:
        appendCopyText(out, toDbDateTime(value.toDateTime()));
        return;
    default:
        appendCopyText(out, value.toString());
    }
}

// The server's message alone, as the driver's failures are said.
QString serverMessage(PGconn* connection, const PGresult* result)
{
    const char* text = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
    if (!text || !*text)
        text = PQerrorMessage(connection);
    return QString::fromUtf8(text).trimmed();
}

QString serverCode(const PGresult* result)
{
    return result ? QString::fromLatin1(PQresultErrorField(result, PG_DIAG_SQLSTATE)) : QString();
}

// The failure of a COPY: the connection lost said as every statement says
// it, or the server's message.
DbError copyFailure(PGconn* connection, const QString& statement, const QString& message, const QString& code)
{
    if (PQstatus(connection) != CONNECTION_OK)
        return connectionLostError(message, statement);
    return DbError(message, statement, code);
}

// Starts COPY ... FROM STDIN on the connection.
void startCopy(PGconn* connection, const QString& statement)
{
    PGresult* started = PQexec(connection, statement.toUtf8().constData());
    if (PQresultStatus(started) != PGRES_COPY_IN) {
        const DbError error = copyFailure(connection, statement, serverMessage(connection, started), serverCode(started));
        PQclear(started);
        // A statement that did not start copying leaves nothing to read.
        while (PGresult* rest = PQgetResult(connection))
            PQclear(rest);
        throw error;
    }
    PQclear(started);
}

// Sends rows of the COPY started; the failure to send them, if any.
QString sendCopyData(PGconn* connection, const QByteArray& data)
{
    // In pieces of a few MiB: libpq buffers what it is given.
    constexpr qsizetype Piece = 4 * 1024 * 1024;
    for (qsizetype at = 0; at < data.size(); at += Piece) {
        const int size = int(std::min(Piece, data.size() - at));
        if (PQputCopyData(connection, data.constData() + at, size) != 1)
            return QString::fromUtf8(PQerrorMessage(connection)).trimmed();
    }
    return {};
}

// Ends the COPY started (cancelled with the failure to send, if any) and
// waits for the server's answer.
void endCopy(PGconn* connection, const QString& statement, QString sendFailure)
{
    if (PQputCopyEnd(connection, sendFailure.isEmpty() ? nullptr : "the rows could not be sent") != 1 &&
        sendFailure.isEmpty())
        sendFailure = QString::fromUtf8(PQerrorMessage(connection)).trimmed();
    QString message;
    QString code;
    while (PGresult* result = PQgetResult(connection)) {
        if (PQresultStatus(result) != PGRES_COMMAND_OK && message.isEmpty()) {
            message = serverMessage(connection, result);
            code = serverCode(result);
        }
        PQclear(result);
    }
    if (!sendFailure.isEmpty())
        throw copyFailure(connection, statement, sendFailure, {});
    if (!message.isEmpty())
        throw copyFailure(connection, statement, message, code);
}

// Runs COPY table (columns) FROM STDIN with data as its rows.
void copyIn(const Database& db, const QString& statement, const QByteArray& data)
{
    PGconn* connection = serverConnection(db);
    startCopy(connection, statement);
    endCopy(connection, statement, sendCopyData(connection, data));
}

QString copyStatement(const QString& table, const QStringList& columns)
{
    return QStringLiteral("COPY %1 (%2) FROM STDIN").arg(table, columns.join(QLatin1Char(',')));
}

void checkNames(const QString& table, const QStringList& columns)
{
    if (!isPlainIdentifier(table))
        throw DbError(QStringLiteral("not a table name: %1").arg(table));
    for (const QString& column : columns)
        if (!isPlainIdentifier(column))
            throw DbError(QStringLiteral("not a column name: %1").arg(column));
}

} // namespace

BulkRows::BulkRows(Database& db, const QString& table, const QStringList& columns)
    : db_(db), table_(table), columns_(columns)
{
    checkNames(table, columns);
    if (db_.isServer())
        return;
    const auto statement = [&](int rows) {
        QStringList marks;
        for (int i = 0; i < columns.size(); ++i)
            marks << QStringLiteral("?");
        const QString row = QLatin1Char('(') + marks.join(QLatin1Char(',')) + QLatin1Char(')');
        QStringList all;
        for (int i = 0; i < rows; ++i)
            all << row;
        return QStringLiteral("INSERT INTO %1 (%2) VALUES ").arg(table, columns.join(QLatin1Char(','))) +
               all.join(QLatin1Char(','));
    };
    many_ = db_.prepare(statement(RowsAStatement));
    one_ = db_.prepare(statement(1));
}

void BulkRows::add(const QVariantList& row)
{
    if (row.size() != columns_.size())
        throw DbError(QStringLiteral("a row of %1 values for the %2 columns of %3")
                          .arg(row.size())
                          .arg(columns_.size())
                          .arg(table_));
    ++pending_;
    if (!db_.isServer()) {
        values_.insert(values_.end(), row.begin(), row.end());
        return;
    }
    appendCopyRow(copyData_, row.constData(), row.size());
}

void BulkRows::addEncoded(const QByteArray& line)
{
    if (!db_.isServer())
        throw DbError(QStringLiteral("rows in COPY's text go only to the server"));
    ++pending_;
    copyData_ += line;
}

void BulkRows::write()
{
    if (pending_ == 0)
        return;
    if (db_.isServer()) {
        const QByteArray data = std::exchange(copyData_, QByteArray());
        pending_ = 0;
        copyIn(db_, copyStatement(table_, columns_), data);
        return;
    }
    const auto columns = size_t(columns_.size());
    const auto rows = size_t(pending_);
    size_t next = 0;
    const std::vector<QVariant> values = std::exchange(values_, {});
    pending_ = 0;
    const auto bind = [&](QSqlQuery& query, size_t from, size_t count) {
        for (size_t i = 0; i < count * columns; ++i)
            query.bindValue(int(i), values[from * columns + i]);
        Database::run(query);
    };
    for (; next + RowsAStatement <= rows; next += RowsAStatement)
        bind(many_, next, RowsAStatement);
    for (; next < rows; ++next)
        bind(one_, next, 1);
}

void appendCopyRow(QByteArray& out, const QVariant* values, qsizetype count)
{
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            out += '\t';
        appendCopyField(out, values[i]);
    }
    out += '\n';
}

namespace {
// What the stream gathers before it hands it to libpq.
constexpr qsizetype StreamPiece = 256 * 1024;
} // namespace

CopyStream::CopyStream(Database& db, const QString& table, const QStringList& columns)
    : db_(db), statement_(copyStatement(table, columns))
{
    checkNames(table, columns);
    if (!db_.isServer())
        throw DbError(QStringLiteral("a COPY stream goes only to the server"));
    startCopy(serverConnection(db_), statement_);
    open_ = true;
    buffer_.reserve(StreamPiece + 4096);
}

CopyStream::~CopyStream()
{
    if (!open_)
        return;
    // Cancelled: the server throws the rows away, and its answer is read
    // so that the connection can go on (to the rollback).
    PGconn* connection = serverConnection(db_);
    PQputCopyEnd(connection, "cancelled");
    while (PGresult* result = PQgetResult(connection))
        PQclear(result);
}

void CopyStream::addEncoded(const QByteArray& line)
{
    buffer_ += line;
    if (buffer_.size() >= StreamPiece)
        send();
}

void CopyStream::send()
{
    const QString failure = sendCopyData(serverConnection(db_), buffer_);
    buffer_.clear();
    if (!failure.isEmpty()) {
        open_ = false;
        endCopy(serverConnection(db_), statement_, failure);
    }
}

void CopyStream::end()
{
    if (!open_)
        throw DbError(QStringLiteral("the COPY stream has already ended"), statement_);
    const QString failure = sendCopyData(serverConnection(db_), buffer_);
    buffer_.clear();
    open_ = false;
    endCopy(serverConnection(db_), statement_, failure);
}

QList<qint64> reserveRowIds(Database& db, const QString& table, int count)
{
    QList<qint64> ids;
    if (count <= 0)
        return ids;
    if (!db.isServer())
        throw DbError(QStringLiteral("row IDs are taken ahead only on the server"));
    ids.reserve(count);
    QSqlQuery query = db.query(QStringLiteral("SELECT nextval(pg_get_serial_sequence(?, 'id')) FROM generate_series(1, ?)"),
                               {table.toLower(), count});
    while (query.next())
        ids << query.value(0).toLongLong();
    if (ids.size() != count)
        throw DbError(QStringLiteral("the server gave %1 of %2 row IDs for %3").arg(ids.size()).arg(count).arg(table));
    return ids;
}

bool refusesOnlyTheValues(const Database& db, const DbError& error)
{
    if (db.isServer()) {
        // SQLSTATE classes 22 (data exception) and 23 (integrity constraint
        // violation).
        const QString code = error.code();
        return code.size() == 5 && (code.startsWith(QLatin1String("22")) || code.startsWith(QLatin1String("23")));
    }
    // The engine's extended codes carry the primary one in their low byte:
    // a constraint (19), a type mismatch (20), a value too big (18), a bound
    // value out of range (25).
    bool isNumber = false;
    const int primary = error.code().toInt(&isNumber) & 0xff;
    return isNumber && (primary == 18 || primary == 19 || primary == 20 || primary == 25);
}

} // namespace kolva
