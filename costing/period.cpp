#include "costing/period.h"

#include "store/database.h"
#include "store/dates.h"
#include "store/surveyplan.h"

#include <QLocale>
#include <QRegularExpression>

namespace kolva {

// ---------------------------------------------------------------- calendar

QDate MonthStart(const QDate& d)
{
    return QDate(d.year(), d.month(), 1);
}

QDate MonthEnd(const QDate& d)
{
    return QDate(d.year(), d.month(), d.daysInMonth());
}

QDate QuarterStart(const QDate& d)
{
    return QDate(d.year(), (d.month() - 1) / 3 * 3 + 1, 1);
}

QDate QuarterEnd(const QDate& d)
{
    return QuarterStart(d).addMonths(3).addDays(-1);
}

QDate YearStart(const QDate& d)
{
    return QDate(d.year(), 1, 1);
}

QDate YearEnd(const QDate& d)
{
    return QDate(d.year(), 12, 31);
}

QDate PrevMonthStart(const QDate& d)
{
    return MonthStart(d).addMonths(-1);
}

QDate PrevMonthEnd(const QDate& d)
{
    return MonthStart(d).addDays(-1);
}

QDate PrevQuarterStart(const QDate& d)
{
    return QuarterStart(d).addMonths(-3);
}

QDate PrevQuarterEnd(const QDate& d)
{
    return QuarterStart(d).addDays(-1);
}

QDate PrevYearStart(const QDate& d)
{
    return QDate(d.year() - 1, 1, 1);
}

QDate PrevYearEnd(const QDate& d)
{
    return QDate(d.year() - 1, 12, 31);
}

// ---------------------------------------------------------------- presets

QStringList periodPresetNames()
{
    return {
        QStringLiteral("Custom Date"),   QStringLiteral("All on File"),     QStringLiteral("Current Month"),
        QStringLiteral("Current Quarter"), QStringLiteral("Current Year"),  QStringLiteral("Month to Date"),
        QStringLiteral("Quarter to Date"), QStringLiteral("Year to Date"),  QStringLiteral("Last Month"),
        QStringLiteral("Last Quarter"),  QStringLiteral("Last Year"),
    };
}

std::optional<DatePeriod> surveyDatePeriod(Database& db)
{
    QSqlQuery q = db.query(QStringLiteral("SELECT MIN(Date_Evaluated), MAX(Date_Evaluated) FROM _Archived_SurveyData"));
    if (!q.next())
        return std::nullopt;
    const QDateTime first = fromDbDateTime(q.value(0));
    const QDateTime last = fromDbDateTime(q.value(1));
    if (!first.isValid() || !last.isValid())
        return std::nullopt;
    return DatePeriod{first.date(), last.date()};
}

std::optional<DatePeriod> presetPeriod(PeriodPreset preset, const QDate& today, const std::optional<DatePeriod>& onFile)
{
    switch (preset) {
    case PeriodPreset::CustomDate:
        return std::nullopt;
    case PeriodPreset::AllOnFile:
        return onFile;
    case PeriodPreset::CurrentMonth:
        return DatePeriod{MonthStart(today), MonthEnd(today)};
    case PeriodPreset::CurrentQuarter:
        return DatePeriod{QuarterStart(today), QuarterEnd(today)};
    case PeriodPreset::CurrentYear:
        return DatePeriod{YearStart(today), YearEnd(today)};
    case PeriodPreset::MonthToDate:
        return DatePeriod{MonthStart(today), today};
    case PeriodPreset::QuarterToDate:
        return DatePeriod{QuarterStart(today), today};
    case PeriodPreset::YearToDate:
        return DatePeriod{YearStart(today), today};
    case PeriodPreset::LastMonth:
        return DatePeriod{PrevMonthStart(today), PrevMonthEnd(today)};
    case PeriodPreset::LastQuarter:
        return DatePeriod{PrevQuarterStart(today), PrevQuarterEnd(today)};
    case PeriodPreset::LastYear:
        return DatePeriod{PrevYearStart(today), PrevYearEnd(today)};
    }
    return std::nullopt;
}

// ---------------------------------------------------------------- the shown forms

// Month names are always English, whatever the user's language, so that a
// date shown can always be read back.
QString formatTypedDate(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral("MMM dd yyyy"));
}

QString formatPresetDate(const QDate& date)
{
    return QLocale::c().toString(date, QStringLiteral("MMM d, yyyy"));
}

namespace {

// The month of an English month name or its first three letters ("Jan",
// "january", "Sept."), 0 for anything else.
int monthOfName(QString name)
{
    static const char* const names[] = {"january", "february", "march",     "april",   "may",      "june",
                                        "july",    "august",   "september", "october", "november", "december"};
    name = name.toLower();
    if (name.endsWith(QLatin1Char('.')))
        name.chop(1);
    if (name.size() < 3)
        return 0;
    for (int m = 0; m < 12; ++m) {
        const QString full = QString::fromLatin1(names[m]);
        if (full.startsWith(name))
            return m + 1;
    }
    return 0;
}

std::optional<QDate> validDate(int year, int month, int day)
{
    const QDate date(year, month, day);
    if (!date.isValid())
        return std::nullopt;
    return date;
}

} // namespace

std::optional<QDate> parseTypedDate(const QString& text)
{
    // "Jan 05 2007", "Jan 5, 2007", "January 5 2007"
    static const QRegularExpression monthFirst(
        QStringLiteral(R"(^\s*([A-Za-z]+\.?)\s+(\d{1,2})\s*,?\s+(\d{4})\s*$)"));
    // "5 Jan 2007", "5 January, 2007"
    static const QRegularExpression dayFirst(QStringLiteral(R"(^\s*(\d{1,2})\s+([A-Za-z]+\.?)\s*,?\s+(\d{4})\s*$)"));
    // "2007-01-05", with a time or not
    static const QRegularExpression iso(
        QStringLiteral(R"(^\s*(\d{4})-(\d{1,2})-(\d{1,2})(?:[ T]\d{1,2}:\d{2}(?::\d{2})?)?\s*$)"));

    QRegularExpressionMatch m = monthFirst.match(text);
    if (m.hasMatch()) {
        const int month = monthOfName(m.captured(1));
        if (month == 0)
            return std::nullopt;
        return validDate(m.captured(3).toInt(), month, m.captured(2).toInt());
    }
    m = dayFirst.match(text);
    if (m.hasMatch()) {
        const int month = monthOfName(m.captured(2));
        if (month == 0)
            return std::nullopt;
        return validDate(m.captured(3).toInt(), month, m.captured(1).toInt());
    }
    m = iso.match(text);
    if (m.hasMatch())
        return validDate(m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt());
    if (const std::optional<QDateTime> us = parseUsDateTime(text))
        return us->date();
    return std::nullopt;
}

PeriodBounds periodBounds(const DatePeriod& period)
{
    return {toDbDateTime(QDateTime(period.begin, QTime(0, 0, 0))),
            toDbDateTime(QDateTime(period.end, QTime(23, 59, 59)))};
}

PeriodCondition periodCondition(const DatePeriod& period, bool everyRecord)
{
    if (everyRecord)
        return {QStringLiteral("(1 = 1)"), {}};
    const PeriodBounds bounds = periodBounds(period);
    return {QStringLiteral("(Date_Evaluated BETWEEN ? AND ?)"), {bounds.from, bounds.to}};
}

QString surveyTableForPeriod(Database& db, const DatePeriod& period, bool everyRecord)
{
    return surveyTableForReading(db, periodReadInOnePass(db, period, everyRecord), everyRecord);
}

bool periodReadInOnePass(Database& db, const DatePeriod& period, bool everyRecord)
{
    if (everyRecord)
        return true;
    const PeriodBounds bounds = periodBounds(period);
    return surveyRangeWantsPass(db, bounds.from, bounds.to);
}

QString surveyTableForReading(const Database& db, bool inOnePass, bool everyRecord)
{
    // Every record: no condition on the date, nothing to keep an index from.
    return surveyTableRead(db, inOnePass && !everyRecord);
}

// ---------------------------------------------------------------- checks

QString noDateRangeMessage()
{
    return QStringLiteral("You must select a date range");
}

QString invalidDateMessage()
{
    return QStringLiteral("Entry in Date Field MUST be a Valid Date");
}

QString invalidDateCaption()
{
    return QStringLiteral("DATE ERROR");
}

QString reversedPeriodMessage()
{
    return QStringLiteral("Something is wrong with your date range");
}

PeriodReading readPeriod(const QString& beginText, const QString& endText, bool refuseReversed)
{
    const QString error = QStringLiteral("Error");
    if (beginText.trimmed().isEmpty())
        return {std::nullopt, PeriodProblem{PeriodProblem::Begin, noDateRangeMessage(), error}};
    if (endText.trimmed().isEmpty())
        return {std::nullopt, PeriodProblem{PeriodProblem::End, noDateRangeMessage(), error}};
    const std::optional<QDate> begin = parseTypedDate(beginText);
    if (!begin)
        return {std::nullopt, PeriodProblem{PeriodProblem::Begin, invalidDateMessage(), invalidDateCaption()}};
    const std::optional<QDate> end = parseTypedDate(endText);
    if (!end)
        return {std::nullopt, PeriodProblem{PeriodProblem::End, invalidDateMessage(), invalidDateCaption()}};
    if (refuseReversed && *end < *begin)
        return {std::nullopt, PeriodProblem{PeriodProblem::End, reversedPeriodMessage(), error}};
    return {DatePeriod{*begin, *end}, std::nullopt};
}

} // namespace kolva
