#pragma once
// The rows of a SELECT read a few at a time while the same connection runs
// other statements in between: the IDs of a long list, read while the window
// is idle, with the rows shown read meanwhile. On a SQLite file the
// statement simply stays open. A server connection runs one statement at a
// time, so there the rows come from a cursor of the server (what it gives is
// the list as it stood when it was opened), fetched a batch at a time: on a
// connection of the cursor's own, in a read-only transaction, where the
// server reads the rows as they are fetched; or, for a statement that reads
// what only this connection sees (its temporary tables), on this connection,
// where the server gathers every row when the cursor is opened.

#include "store/database.h"

#include <QString>
#include <QVariant>
#include <QSqlQuery>

#include <deque>
#include <memory>
#include <optional>
#include <vector>

namespace kolva {


class HeldCursor {
public:
    enum class Reads { SharedTables, ConnectionsOwnTables };

    // Runs the statement with the values bound to its "?" in order; the
    // cursor stands before the first row. Throws DbError.
    HeldCursor(Database& db, const QString& sql, const QVariantList& values = {},
               Reads reads = Reads::SharedTables);
    ~HeldCursor();
    HeldCursor(const HeldCursor&) = delete;
    HeldCursor& operator=(const HeldCursor&) = delete;

    // The next row; false after the last. Throws DbError.
    bool next();
    // A value of the current row, columns numbered from 0.
    QVariant value(int column) const;
    // Lets go of the rows not read (throws DbError).
    void finish();

private:
    void fetch();
    // The connection the server's cursor lives on.
    Database& cursorDb() { return own_ ? *own_ : db_; }

    Database& db_;
    std::unique_ptr<Database> own_;
    std::optional<Transaction> reading_; // on own_, ends before it
    // On a SQLite file.
    QSqlQuery query_;
    // On the server.
    QString name_;
    bool open_ = false;
    bool exhausted_ = false;
    std::deque<std::vector<QVariant>> batch_;
    std::vector<QVariant> row_;
};

} // namespace kolva
