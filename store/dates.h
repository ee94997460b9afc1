#pragma once
// Dates in the database are ISO text "YYYY-MM-DD HH:MM:SS"; dates from the
// handheld and from the user are month/day/year.

#include <QDateTime>
#include <QString>
#include <QVariant>

#include <optional>

namespace kolva {

// The stored form of a date and time.
QString toDbDateTime(const QDateTime& dateTime);
// A stored date and time, or an invalid QDateTime for a null or malformed value.
QDateTime fromDbDateTime(const QVariant& value);

// Reads a month/day/year date as the handheld and users write it: "1/2/2008",
// "01/02/2008 14:20", "1/2/2008 2:20:00 PM"; a two-digit year means 1930 to
// 2029. Nothing for text that is not a real date (2/30/2008) or time.
std::optional<QDateTime> parseUsDateTime(const QString& text);

// The year a reinspection year field names, as the reinspection report reads
// it: four digits as they are, two digits 1930 to 2029, blanks around them
// ignored. Nothing for any other text (one or three digits, a sign, a word).
std::optional<int> storedReinspectionYear(const QString& text);

} // namespace kolva
