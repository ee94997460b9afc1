#pragma once
// Tables of one connection alone, for the figures a job works out on the way
// (the price of each pair of action list and DBH of the cost summary, say):
// written in memory as the engine sees fit, never into the database file,
// seen by no other connection, and gone when the connection closes.

#include <QString>

namespace kolva {

class Database;

// Drops the connection's table of that name if there is one and makes it
// again from its column list (and table constraints). Throws DbError.
void createConnectionTable(Database& db, const QString& name, const QString& columns);

// The kinds of column of a table made at run time, each written as the
// engine writes it.
enum class WorkColumn {
    RowKey,       // a whole number given to each new row, counting up: the key
    Integer,      // a whole number
    Real,         // a number with a fraction, to a double's precision
    Text,         // text compared with regard to case
    CaselessText, // text compared without regard to case (letters A to Z)
};
QString workColumnType(const Database& db, WorkColumn kind);

// A table a job fills and then reads back on the same connection (the cost
// summary's lines), dropped first if it exists. In a database file, where one
// user works, it is a table of the file and lives from one build to the next;
// on a server, which many users share, it is a table of the connection, so
// that the builds of two users never replace each other's rows. Throws DbError.
void createUserWorkTable(Database& db, const QString& name, const QString& columns);

} // namespace kolva
