#pragma once
// What a conversion needs of the engine of either database it reads or
// writes: the columns of a table, the order its rows were written in, rows
// written in batches; on a server the KOLVA tables already there and the
// sequences of the numbered tables; of a KOLVA file the keys it gave out.

#include "store/database.h"

#include <QHash>
#include <QList>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QVariantList>

namespace kolva {

// What a column holds, as the file's schema declares it.
enum class ColumnType { Integer, Real, Text, Bytes };

struct TableColumn {
    QString name; // as the engine names it (the server in lower case)
    ColumnType type = ColumnType::Text;
};

// The columns of a table in their order.
QList<TableColumn> tableColumns(Database& db, const QString& table);

// For ORDER BY: the order the rows of a table were written in. On the
// server this holds for rows written by one transaction into a table made
// or emptied by it, as the conversion writes them.
QString writtenOrder(Database& db);

// The tables of a database file, those of the engine itself aside.
QStringList fileTableNames(Database& file);

// The KOLVA tables the database holds (those of the schema, _Schema_Version
// included), as the engine names them, in alphabetical order.
QStringList kolvaTablesPresent(Database& db);

// For a KOLVA file: by table name in lower case, the highest row key the
// file ever gave out (rows deleted since included), which can be above the
// highest key in use.
QHash<QString, qint64> highestKeysGiven(Database& file);

// On the server: sets the sequence of every table whose rows are numbered
// past the highest key in use there, or past floors[table in lower case]
// when that is higher, so that the next row added gets a key of its own.
void setKeySequences(Database& server, const QHash<QString, qint64>& floors);

// Writes rows into one table: a statement a row into a file; into a server
// database many rows a statement, so that a far server is not asked once a
// row. A row may be written only at a later add() or at finish(), which
// throw DbError when a statement is refused.
class BatchInsert {
public:
    BatchInsert(Database& db, const QString& table, const QStringList& columns);
    void add(const QVariantList& row);
    void finish();
    // After a failure: the rows the refused statement wrote, counted from 1.
    qint64 firstRowOfStatement() const { return written_ + 1; }
    qint64 lastRowOfStatement() const { return written_ + pendingRows_; }
    int rowsPerStatement() const { return rowsPerStatement_; }

private:
    QString statement(int rows) const;
    void write();

    Database& db_;
    QString table_;
    QStringList columns_;
    int rowsPerStatement_ = 1;
    QSqlQuery full_;
    bool fullPrepared_ = false;
    QVariantList pending_;
    int pendingRows_ = 0;
    qint64 written_ = 0;
};

} // namespace kolva
