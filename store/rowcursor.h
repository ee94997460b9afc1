#pragma once
// Reads the rows of a SELECT straight from the engine: each value as its
// kind and, for a text, its UTF-8 bytes, without making a QVariant and a
// QString of every value. For work that streams many rows into a file (the
// CSV export). Where the engine's own library cannot be reached (a driver
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
    struct Impl;
    std::unique_ptr<Impl> d;
};

} // namespace kolva
