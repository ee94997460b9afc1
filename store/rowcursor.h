#pragma once
// Reads the rows of a SELECT straight from the engine: each value as its
// kind and, for a text, its UTF-8 bytes, without making a QVariant and a
// QString of every value, and writes rows the same way. For work that
// streams many rows (the CSV export, the cost summary's work table). Where the engine's own library cannot be reached (a driver
// with a copy of its own, another engine), it reads through QSqlQuery, with
// the same results.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QVariant>

#include <memory>

namespace kolva {

class Database;

class RowCursor {
public:
    enum class Kind { Null, Integer, Real, Text };

    // Runs the statement with the values bound to its "?" in order; the
    // cursor stands before the first row. Throws DbError.
    RowCursor(Database& db, const QString& sql, const QVariantList& values = {});
    ~RowCursor();
    RowCursor(const RowCursor&) = delete;
    RowCursor& operator=(const RowCursor&) = delete;

    // The next row; false after the last. Throws DbError when the engine fails.
    bool next();

    // The values of the current row, columns numbered from 0. A value of
    // another kind (a blob) reads as a text.
    Kind kind(int column) const;
    qint64 integer(int column) const;
    double real(int column) const;
    // The bytes of a text (of any value, as text), valid until the next row.
    QByteArrayView text(int column) const;

    // Whether the rows come straight from the engine (for tests).
    bool direct() const;

private:
    friend class RowWriter;
    struct Impl;
    std::unique_ptr<Impl> d;
};

// A statement that writes (an INSERT), prepared once and run for many rows
// straight through the engine, its values bound from a RowCursor's row as
// they are stored or given. Through QSqlQuery where the engine's library
// cannot be reached.
class RowWriter {
public:
    // Throws DbError.
    RowWriter(Database& db, const QString& sql);
    ~RowWriter();
    RowWriter(const RowWriter&) = delete;
    RowWriter& operator=(const RowWriter&) = delete;

    // Parameters numbered from 0, in the order of the statement's "?".
    void bindNull(int parameter);
    void bindInteger(int parameter, qint64 value);
    void bindReal(int parameter, double value);
    void bindText(int parameter, QByteArrayView utf8);
    // The value of a column of the cursor's current row, as it is stored.
    void bindValue(int parameter, const RowCursor& row, int column);
    // Runs the statement with the values bound; they stay bound for the next run.
    void run();

private:
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kolva
