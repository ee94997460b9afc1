#pragma once
// One value of an Access table as a column of a KOLVA database holds it:
// the single rule the conversion of an earlier version's database applies
// to every value it copies.

#include "store/accessfile.h"

#include <QString>
#include <QVariant>

namespace kolva {

// What a column of a KOLVA database holds.
enum class StoredKind {
    Integer, // a whole number
    Real,    // a number with a fraction
    Text,
    Date,    // "YYYY-MM-DD HH:MM:SS"
    Flag,    // 0 or 1, never NULL
};

// A value that does not fit its column; reason says why, for the message
// ("12.5 is not a whole number").
struct UnfitValue {
    QString reason;
};

// The value read from an Access column of type from (as AccessFile::readRows
// gives it: texts already decoded from the file's code page) as a column of
// kind to stores it:
// - NULL stays NULL, but a Flag gets 0;
// - whole numbers: Byte, Integer, Long Integer as they are; Currency and
//   Single/Double only when whole; text of digits, blanks around ignored;
// - numbers with a fraction: any number, text with a decimal point whatever
//   the user's locale; infinity and NaN are refused;
// - text: Text and Memo as they are (an empty text stays empty, not NULL);
//   numbers in their shortest decimal form, Currency with four decimals,
//   Yes/No as "1" or "0", a date as "YYYY-MM-DD HH:MM:SS";
// - dates: an Access date; text as "YYYY-MM-DD HH:MM:SS", "YYYY-MM-DD" or
//   month/day/year;
// - flags: Yes/No, a number (not 0: 1), text "1", "-1", "yes", "true" or
//   "0", "no", "false", "" in any case;
// - Text or Memo that is empty or blank becomes NULL in a whole number,
//   number or date column.
// Throws UnfitValue for anything else.
QVariant storedValue(const QVariant& value, AccessType from, StoredKind to);

} // namespace kolva
