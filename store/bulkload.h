#pragma once
// Loading many rows in one transaction: a connection tuned for it, and the
// rows written many at a time.

#include <QByteArray>
#include <QList>
#include <QSqlQuery>
#include <QStringList>
#include <QVariant>

#include <vector>

namespace kolva {

class Database;
class DbError;

// While it lives, the connection keeps up to cacheKiB of the file's pages
// in memory, so that the indexes of a large table are not read again and
// again, and its temporary data in memory. Its settings come back when it
// goes. The temporary store is left alone when the connection holds
// temporary tables, which changing it would drop. The server keeps its own
// cache: there the tuning does nothing.
class BulkLoadTuning {
public:
    BulkLoadTuning(Database& db, int cacheKiB);
    ~BulkLoadTuning();
    BulkLoadTuning(const BulkLoadTuning&) = delete;
    BulkLoadTuning& operator=(const BulkLoadTuning&) = delete;

private:
    Database& db_;
    QVariant cacheSize_;
    QVariant tempStore_;
};

// Rows added to one table many at a time, within the caller's transaction:
// on the server through COPY (the rows travel as one stream and the server
// takes them as one statement), on SQLite by INSERTs of many rows a
// statement, prepared once. The values read back as the same values bound to
// an INSERT would: a null value (a null text or bytes among them) as NULL,
// an empty text as empty, bytes as bytes, a date and time as the store's
// 'YYYY-MM-DD HH:MM:SS'.
class BulkRows {
public:
    BulkRows(Database& db, const QString& table, const QStringList& columns);
    BulkRows(const BulkRows&) = delete;
    BulkRows& operator=(const BulkRows&) = delete;

    // Adds a row: one value for each column, in their order. Nothing is
    // written before write().
    void add(const QVariantList& row);
    // Writes the rows added since the last time. Throws DbError when the
    // database refuses one of them; then none of them is written, and on the
    // server the transaction fails until rolled back (to a savepoint).
    void write();
    // On the server: adds a row already in COPY's text (appendCopyRow()).
    void addEncoded(const QByteArray& line);
    // The rows added and not yet written.
    qsizetype pending() const { return pending_; }

private:
    Database& db_;
    QString table_;
    QStringList columns_;
    qsizetype pending_ = 0;
    QByteArray copyData_;           // the server's rows, as COPY's text
    std::vector<QVariant> values_;  // SQLite's rows, one after another
    QSqlQuery many_, one_;
};

// Appends values as one row of COPY's text, newline included, each value
// as BulkRows writes it.
void appendCopyRow(QByteArray& out, const QVariant* values, qsizetype count);

// Rows sent to the server by one COPY as they are added, a few hundred KiB
// at a time, while the caller goes on: the server stores them as they come
// instead of after the last one. Nothing else may use the connection until
// end(). A stream that goes without end() is cancelled: none of its rows is
// written. Server only, within the caller's transaction.
class CopyStream {
public:
    CopyStream(Database& db, const QString& table, const QStringList& columns);
    ~CopyStream();
    CopyStream(const CopyStream&) = delete;
    CopyStream& operator=(const CopyStream&) = delete;

    // A row in COPY's text (appendCopyRow()).
    void addEncoded(const QByteArray& line);
    // Ends the stream and waits for the server to have stored every row.
    // Throws DbError when it refuses one: then none is written and the
    // transaction fails until rolled back to a savepoint.
    void end();

private:
    void send();
    Database& db_;
    QString statement_;
    QByteArray buffer_;
    bool open_ = false;
};

// Takes count new values of the table's ID column from the server's own
// sequence of it, for rows written with their IDs given (BulkRows, say).
QList<qint64> reserveRowIds(Database& db, const QString& table, int count);

// True when the failure is the database refusing the values of one
// statement (a rule of the table, a value too large or of the wrong kind) and
// nothing else: the connection and the transaction can go on (on the server
// once rolled back to a savepoint).
bool refusesOnlyTheValues(const Database& db, const DbError& error);

} // namespace kolva
