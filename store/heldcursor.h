#pragma once
// The rows of a SELECT read a few at a time while the same connection runs
// other statements in between: the IDs of a long list, read while the window
// is idle, with the rows shown read meanwhile. On a SQLite file the
// statement simply stays open. A server connection runs one statement at a
// time, so there the server keeps the rows in a cursor of the connection
// (made when the cursor is opened: what it gives is the list as it stood
// then) and they are fetched a batch at a time.

#include <QString>
#include <QVariant>
#include <QSqlQuery>

#include <deque>
#include <vector>

namespace kolva {

class Database;

class HeldCursor {
public:
    // Runs the statement with the values bound to its "?" in order; the
    // cursor stands before the first row. Throws DbError.
    HeldCursor(Database& db, const QString& sql, const QVariantList& values = {});
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

    Database& db_;
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
