#pragma once
// Pieces of SQL that each engine writes its own way: every statement outside
// the store builds them through these functions, so that the engines differ
// here and nowhere else. Each gives an expression (or a key) to put into a
// statement for db's engine; column is a column name or an expression.

#include <QString>

namespace kolva {

class Database;

// The year held as text in column, as a whole number: four digits as they
// stand, two digits as 1930 to 2029 (30 and above are 19xx); NULL for any
// other text, blanks around it ignored.
QString yearOfText(const Database& db, const QString& column);

// The month (1 to 12) of a date stored in column, as a whole number.
QString monthOfDate(const Database& db, const QString& column);

// A date stored in column as the reports show it: "mm/dd/yyyy".
QString dateShown(const Database& db, const QString& column);

// The whole number a text in column begins with, as a sort key: blanks in
// front skipped, then a sign and digits ("12A" is 12); 0 for a text without
// digits in front, NULL for NULL.
QString leadingInteger(const Database& db, const QString& column);

// A key of an ORDER BY that puts NULL before every value, and after every
// value when descending, as the SQLite file orders it (the server's own
// order is the other way round).
QString orderKey(const Database& db, const QString& key, bool descending = false);

// The order the rows of a table were entered in, for ORDER BY: the order of
// a list kept as entered (the risk zones).
QString entryOrder(const Database& db);

// The length of the text held in column in bytes of UTF-8 (NULL for NULL).
QString utf8Length(const Database& db, const QString& column);

} // namespace kolva
