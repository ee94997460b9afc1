#pragma once
// Another program holding the database, as the tests need it on either
// engine: other opens a transaction and keeps the database locked until it
// ends (ROLLBACK).

#include "store/database.h"

#include <QSqlQuery>
#include <QStringList>

namespace kolva::test {

enum class Held {
    // Saving its changes: nobody else reads or writes (SQLite's EXCLUSIVE,
    // every table locked ACCESS EXCLUSIVE on the server).
    ReadsAndWrites,
    // In the middle of its writing: others read but do not write (SQLite's
    // IMMEDIATE, every table locked EXCLUSIVE on the server).
    Writes,
};

inline void holdDatabase(Database& other, Held held)
{
    if (!other.isServer()) {
        other.exec(held == Held::ReadsAndWrites ? "BEGIN EXCLUSIVE" : "BEGIN IMMEDIATE");
        return;
    }
    QStringList tables;
    {
        QSqlQuery q = other.query("SELECT table_name FROM information_schema.tables "
                                  "WHERE table_schema = current_schema() AND table_type = 'BASE TABLE'");
        while (q.next())
            tables << q.value(0).toString();
    }
    other.exec("BEGIN");
    other.exec("LOCK TABLE " + tables.join(", ") +
               (held == Held::ReadsAndWrites ? " IN ACCESS EXCLUSIVE MODE" : " IN EXCLUSIVE MODE"));
}

} // namespace kolva::test
