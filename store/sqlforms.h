#pragma once
// Pieces of SQL that only this engine writes so: every statement outside the
// store builds them through these functions, so that a second engine needs
// other forms here and nowhere else. Each gives an expression (or a key) to
// put into a statement; column is a column name or an expression.

#include <QString>

namespace kolva {

// The year held as text in column, as a whole number: four digits as they
// stand, two digits as 1930 to 2029 (30 and above are 19xx); NULL for any
// other text, blanks around it ignored.
QString yearOfText(const QString& column);

// The month (1 to 12) of a date stored in column, as a whole number.
QString monthOfDate(const QString& column);

// A date stored in column as the reports show it: "mm/dd/yyyy".
QString dateShown(const QString& column);

// The order the rows of a table were entered in, for ORDER BY: the order of
// a list kept as entered (the risk zones).
QString entryOrder();

} // namespace kolva
