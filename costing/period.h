#pragma once
// Report periods: the calendar arithmetic behind the named periods ("Last
// Quarter", "Year to Date" ...), the two forms a period's dates are shown in,
// reading a typed date, and the bounds by which survey records are selected.
// Shared by the cost summary and the CSV export; nothing here touches a widget.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>

#include <optional>

namespace kolva {

class Database;

// The first and last day of d's month, quarter and year, and of the month,
// quarter and year before. Quarters are the calendar quarters.
QDate MonthStart(const QDate& d);
QDate MonthEnd(const QDate& d);
QDate QuarterStart(const QDate& d);
QDate QuarterEnd(const QDate& d);
QDate YearStart(const QDate& d);
QDate YearEnd(const QDate& d);
QDate PrevMonthStart(const QDate& d);
QDate PrevMonthEnd(const QDate& d);
QDate PrevQuarterStart(const QDate& d);
QDate PrevQuarterEnd(const QDate& d);
QDate PrevYearStart(const QDate& d);
QDate PrevYearEnd(const QDate& d);

// The named periods, in the order the lists offer them.
enum class PeriodPreset {
    CustomDate = 0,
    AllOnFile,
    CurrentMonth,
    CurrentQuarter,
    CurrentYear,
    MonthToDate,
    QuarterToDate,
    YearToDate,
    LastMonth,
    LastQuarter,
    LastYear,
};
constexpr int PeriodPresetCount = 11;

// "Custom Date", "All on File", ... "Last Year".
QStringList periodPresetNames();

// A period of whole days, both ends included.
struct DatePeriod {
    QDate begin;
    QDate end;
    bool operator==(const DatePeriod&) const = default;
};

// The earliest and latest evaluation date of the survey records; nothing
// when no record carries a date. Throws DbError.
std::optional<DatePeriod> surveyDatePeriod(Database& db);

// The dates a named period writes, for today. Custom Date writes none;
// All on File writes the dates on file (onFile), none when there are none.
std::optional<DatePeriod> presetPeriod(PeriodPreset preset, const QDate& today,
                                       const std::optional<DatePeriod>& onFile = std::nullopt);

// "Jan 05 2007": how a date typed by hand, and the opening dates, are shown.
QString formatTypedDate(const QDate& date);
// "Jan 5, 2007": how the named periods show their dates.
QString formatPresetDate(const QDate& date);

// A date as a user types it: "Jan 05 2007", "Jan 5, 2007", "January 5 2007",
// "5 Jan 2007", "1/5/2007" (month first), "2007-01-05". Month names are
// English. Nothing for text that is no real date ("Feb 30 2007",
// "13/1/2007", "tomorrow").
std::optional<QDate> parseTypedDate(const QString& text);

// The stored date-and-time texts between which a period's survey records lie:
// from the start of its first day to the last second of its last.
struct PeriodBounds {
    QString from; // "2007-01-01 00:00:00"
    QString to;   // "2007-03-31 23:59:59"
};
PeriodBounds periodBounds(const DatePeriod& period);

// The condition on Date_Evaluated that selects the survey records of a
// period, with its values. With everyRecord the period is not read and the
// condition holds for every record on file, those without a date included
// ("All on File").
struct PeriodCondition {
    QString sql;
    QVariantList values;
};
PeriodCondition periodCondition(const DatePeriod& period, bool everyRecord);

// The survey table as the FROM clause of a period's selection names it: read
// through the date index for a short period, in one pass for one that holds a
// large share of the records. Throws DbError.
QString surveyTableForPeriod(Database& db, const DatePeriod& period, bool everyRecord);
// Whether that selection reads the whole table in one pass, in the order of
// the records' IDs: for every record, or a period of a large share of them.
bool periodReadInOnePass(Database& db, const DatePeriod& period, bool everyRecord);
// The FROM clause for a selection read that way.
QString surveyTableForReading(const Database& db, bool inOnePass, bool everyRecord);

// Why the two date texts of a period block cannot make a period.
struct PeriodProblem {
    enum Field { Begin, End };
    Field field;
    QString text;
    QString caption;
};

// The messages of the period checks.
QString noDateRangeMessage();     // "You must select a date range"
QString invalidDateMessage();     // "Entry in Date Field MUST be a Valid Date"
QString invalidDateCaption();     // "DATE ERROR"
QString reversedPeriodMessage();  // "Something is wrong with your date range"

// Reads the period from the two texts: an empty text gives "You must select a
// date range", one that is no date the date message; with refuseReversed, an
// end before the beginning gives "Something is wrong with your date range".
struct PeriodReading {
    std::optional<DatePeriod> period;
    std::optional<PeriodProblem> problem;
};
PeriodReading readPeriod(const QString& beginText, const QString& endText, bool refuseReversed);

} // namespace kolva
