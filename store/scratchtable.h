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

} // namespace kolva
