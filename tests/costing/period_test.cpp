// The named report periods, the date forms and the period checks.

#include "costing/period.h"
#include "tests/reports/surveydata.h"
#include "tests/support/testcontext.h"

#include <gtest/gtest.h>

using namespace kolva;
using namespace kolva::test;

namespace {

QString shown(const std::optional<DatePeriod>& period)
{
    if (!period)
        return QStringLiteral("(none)");
    return formatPresetDate(period->begin) + QStringLiteral(" to ") + formatPresetDate(period->end);
}

TEST(PeriodPresets, GiveTheCalendarPeriodsAroundToday)
{
    const struct {
        QDate today;
        PeriodPreset preset;
        const char* expected;
    } cases[] = {
        {QDate(2007, 1, 15), PeriodPreset::LastMonth, "Dec 1, 2006 to Dec 31, 2006"},
        {QDate(2007, 1, 15), PeriodPreset::LastQuarter, "Oct 1, 2006 to Dec 31, 2006"},
        {QDate(2007, 1, 15), PeriodPreset::CurrentQuarter, "Jan 1, 2007 to Mar 31, 2007"},
        {QDate(2007, 1, 15), PeriodPreset::QuarterToDate, "Jan 1, 2007 to Jan 15, 2007"},
        {QDate(2007, 1, 15), PeriodPreset::LastYear, "Jan 1, 2006 to Dec 31, 2006"},
        {QDate(2007, 1, 15), PeriodPreset::CurrentYear, "Jan 1, 2007 to Dec 31, 2007"},
        {QDate(2007, 1, 15), PeriodPreset::YearToDate, "Jan 1, 2007 to Jan 15, 2007"},
        {QDate(2007, 1, 15), PeriodPreset::MonthToDate, "Jan 1, 2007 to Jan 15, 2007"},
        {QDate(2008, 3, 10), PeriodPreset::CurrentMonth, "Mar 1, 2008 to Mar 31, 2008"},
        {QDate(2008, 2, 10), PeriodPreset::CurrentMonth, "Feb 1, 2008 to Feb 29, 2008"},
        {QDate(2007, 2, 10), PeriodPreset::CurrentMonth, "Feb 1, 2007 to Feb 28, 2007"},
        {QDate(2008, 3, 31), PeriodPreset::LastMonth, "Feb 1, 2008 to Feb 29, 2008"},
        {QDate(2007, 3, 31), PeriodPreset::CurrentQuarter, "Jan 1, 2007 to Mar 31, 2007"},
        {QDate(2007, 3, 31), PeriodPreset::LastQuarter, "Oct 1, 2006 to Dec 31, 2006"},
        {QDate(2007, 4, 1), PeriodPreset::CurrentQuarter, "Apr 1, 2007 to Jun 30, 2007"},
        {QDate(2007, 4, 1), PeriodPreset::LastQuarter, "Jan 1, 2007 to Mar 31, 2007"},
        {QDate(2007, 11, 15), PeriodPreset::LastQuarter, "Jul 1, 2007 to Sep 30, 2007"},
        {QDate(2007, 12, 31), PeriodPreset::CurrentQuarter, "Oct 1, 2007 to Dec 31, 2007"},
        {QDate(2007, 1, 15), PeriodPreset::CustomDate, "(none)"},
        {QDate(2007, 1, 15), PeriodPreset::AllOnFile, "(none)"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shown(presetPeriod(c.preset, c.today)), QString::fromLatin1(c.expected))
            << periodPresetNames().at(int(c.preset)).toStdString() << " on " << c.today.toString().toStdString();
    }
    const DatePeriod onFile{QDate(2005, 6, 1), QDate(2007, 9, 30)};
    EXPECT_EQ(presetPeriod(PeriodPreset::AllOnFile, QDate(2008, 1, 2), onFile), onFile);
}

TEST(PeriodPresets, AreListedInOrder)
{
    const QStringList names = periodPresetNames();
    ASSERT_EQ(names.size(), PeriodPresetCount);
    EXPECT_EQ(names.first(), "Custom Date");
    EXPECT_EQ(names.at(int(PeriodPreset::QuarterToDate)), "Quarter to Date");
    EXPECT_EQ(names.last(), "Last Year");
}

TEST(PeriodDates, PresetsAndTypedDatesHaveTheirOwnForms)
{
    EXPECT_EQ(formatPresetDate(QDate(2007, 3, 5)), "Mar 5, 2007");
    EXPECT_EQ(formatTypedDate(QDate(2007, 3, 5)), "Mar 05 2007");
    // Both forms read back as the same date.
    EXPECT_EQ(parseTypedDate("Mar 5, 2007"), QDate(2007, 3, 5));
    EXPECT_EQ(parseTypedDate("Mar 05 2007"), QDate(2007, 3, 5));
}

TEST(PeriodDates, ReadWhatUsersTypeAndRefuseTheRest)
{
    const struct {
        const char* text;
        QDate date; // invalid: refused
    } cases[] = {
        {"Jan 15 2007", QDate(2007, 1, 15)},
        {"jan 15, 2007", QDate(2007, 1, 15)},
        {"January 15 2007", QDate(2007, 1, 15)},
        {"Sept. 3 2007", QDate(2007, 9, 3)},
        {"15 Jan 2007", QDate(2007, 1, 15)},
        {"1/15/2007", QDate(2007, 1, 15)},
        {"01/15/07", QDate(2007, 1, 15)},
        {"2007-01-15", QDate(2007, 1, 15)},
        {" Feb 29 2008 ", QDate(2008, 2, 29)},
        {"Feb 29 2007", QDate()},
        {"Feb 30 2007", QDate()},
        {"13/1/2007", QDate()},
        {"2007-13-01", QDate()},
        {"tomorrow", QDate()},
        {"Jan 2007", QDate()},
        {"Ja 5 2007", QDate()},
        {"Jan 5 2007x", QDate()},
        {"", QDate()},
    };
    for (const auto& c : cases) {
        const std::optional<QDate> read = parseTypedDate(QString::fromLatin1(c.text));
        if (c.date.isValid())
            EXPECT_EQ(read, c.date) << c.text;
        else
            EXPECT_FALSE(read) << c.text;
    }
}

TEST(PeriodChecks, RefuseEmptyWrongAndReversedDatesInOrder)
{
    const struct {
        const char* begin;
        const char* end;
        bool refuseReversed;
        const char* message; // "" when the period is read
        PeriodProblem::Field field;
    } cases[] = {
        {"", "Jan 5 2007", true, "You must select a date range", PeriodProblem::Begin},
        {"Jan 5 2007", "  ", true, "You must select a date range", PeriodProblem::End},
        {"tomorrow", "Jan 5 2007", true, "Entry in Date Field MUST be a Valid Date", PeriodProblem::Begin},
        {"Jan 5 2007", "Feb 30 2007", true, "Entry in Date Field MUST be a Valid Date", PeriodProblem::End},
        {"Jan 6 2007", "Jan 5 2007", true, "Something is wrong with your date range", PeriodProblem::End},
        {"Jan 6 2007", "Jan 5 2007", false, "", PeriodProblem::Begin},
        {"Jan 5 2007", "Jan 5 2007", true, "", PeriodProblem::Begin},
    };
    for (const auto& c : cases) {
        const PeriodReading r = readPeriod(QString::fromLatin1(c.begin), QString::fromLatin1(c.end), c.refuseReversed);
        if (*c.message) {
            ASSERT_TRUE(r.problem) << c.begin << " / " << c.end;
            EXPECT_EQ(r.problem->text, QString::fromLatin1(c.message));
            EXPECT_EQ(r.problem->field, c.field);
            EXPECT_FALSE(r.period);
        } else {
            EXPECT_FALSE(r.problem) << c.begin << " / " << c.end;
            ASSERT_TRUE(r.period);
        }
    }
}

TEST(PeriodBoundsTest, RunFromTheStartOfTheFirstDayToTheLastSecondOfTheLast)
{
    const PeriodBounds b = periodBounds({QDate(2007, 1, 1), QDate(2007, 3, 31)});
    EXPECT_EQ(b.from, "2007-01-01 00:00:00");
    EXPECT_EQ(b.to, "2007-03-31 23:59:59");
}

TEST(SurveyDatePeriodTest, IsTheEarliestAndLatestEvaluationOrNothing)
{
    TestContext t;
    EXPECT_FALSE(surveyDatePeriod(*t.db)) << "no records";
    addTree(*t.db, {.evaluated = "2006-11-30 17:45:00"});
    addTree(*t.db, {.evaluated = "2005-02-03 00:00:00"});
    addTree(*t.db, {.evaluated = "2007-06-01 08:00:00"});
    EXPECT_EQ(surveyDatePeriod(*t.db), (DatePeriod{QDate(2005, 2, 3), QDate(2007, 6, 1)}));
}

} // namespace
