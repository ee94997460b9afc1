#pragma once
// Dates in the database are ISO text "YYYY-MM-DD HH:MM:SS"; dates from the
// handheld and from the user are month/day/year.

#include <QByteArray>
#include <QByteArrayView>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

namespace kolva {

// The stored form of a date and time.
QString toDbDateTime(const QDateTime& dateTime);
// A stored date and time, or an invalid QDateTime for a null or malformed value.
QDateTime fromDbDateTime(const QVariant& value);

// A date as the program shows it, and writes it into reports, CSV files and
// messages: "MM/DD/YYYY" ("06/04/2007"); empty for an invalid date.
QString shownDate(const QDate& date);
// A date and time as shown: "MM/DD/YYYY HH:MM" (24-hour clock); empty for an
// invalid one.
QString shownDateTime(const QDateTime& dateTime);
// The shown date of a stored one, from its bytes ("2007-06-04 14:20:00"
// gives "06/04/2007"), for writers that go through many records without
// making a QDate of each; the same text as shownDate. Empty when the bytes
// do not begin with "YYYY-MM-DD".
QByteArray shownDateOfStored(QByteArrayView stored);

// Reads a month/day/year date as the handheld and users write it: "1/2/2008",
// "01/02/2008 14:20", "1/2/2008 2:20:00 PM"; a two-digit year means 1930 to
// 2029. Nothing for text that is not a real date (2/30/2008) or time.
std::optional<QDateTime> parseUsDateTime(const QString& text);

// The year a reinspection year field names, as the reinspection report reads
// it: four digits as they are, two digits 1930 to 2029, blanks around them
// ignored. Nothing for any other text (one or three digits, a sign, a word).
std::optional<int> storedReinspectionYear(const QString& text);

} // namespace kolva
