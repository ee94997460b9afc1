#include "store/dates.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

TEST(ShownDate, IsMonthDayYearWithLeadingZeros)
{
    const struct {
        QDateTime stored;
        const char* date;
        const char* dateTime;
    } cases[] = {
        {QDateTime(QDate(2007, 6, 4), QTime(9, 5, 59)), "06/04/2007", "06/04/2007 09:05"},
        {QDateTime(QDate(2010, 12, 31), QTime(23, 59)), "12/31/2010", "12/31/2010 23:59"},
        {QDateTime(QDate(1899, 12, 30), QTime(0, 0)), "12/30/1899", "12/30/1899 00:00"},
        {QDateTime(QDate(987, 1, 1), QTime(12, 0)), "01/01/0987", "01/01/0987 12:00"},
        {QDateTime(), "", ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(shownDate(c.stored.date()), QLatin1String(c.date)) << c.date;
        EXPECT_EQ(shownDateTime(c.stored), QLatin1String(c.dateTime)) << c.dateTime;
        // A writer that goes by the stored bytes gives the same text.
        if (c.stored.isValid()) {
            EXPECT_EQ(QString::fromLatin1(shownDateOfStored(toDbDateTime(c.stored).toLatin1())),
                      shownDate(c.stored.date()));
        }
    }
}

TEST(ShownDate, OfStoredBytesThatAreNoDateIsEmpty)
{
    for (const char* stored : {"", "2007-06-0", "2007/06/04", "07-06-2007", "2007-0x-04 00:00:00", "abcd-ef-gh"})
        EXPECT_TRUE(shownDateOfStored(stored).isEmpty()) << stored;
    EXPECT_EQ(shownDateOfStored("2007-06-04"), "06/04/2007") << "the day alone";
}

TEST(ParseUsDateTime, ReadsTheHandheldsForms)
{
    const struct {
        const char* text;
        QDateTime expected;
    } cases[] = {
        {"1/2/2008", QDateTime(QDate(2008, 1, 2), QTime(0, 0))},
        {"01/02/2008 14:20", QDateTime(QDate(2008, 1, 2), QTime(14, 20))},
        {"1/2/2008 2:20:00 PM", QDateTime(QDate(2008, 1, 2), QTime(14, 20))},
        {"1/2/2008 12:05:09 am", QDateTime(QDate(2008, 1, 2), QTime(0, 5, 9))},
        {"1/2/2008 12:00 PM", QDateTime(QDate(2008, 1, 2), QTime(12, 0))},
        {"12/31/99", QDateTime(QDate(1999, 12, 31), QTime(0, 0))},
        {"2/29/08", QDateTime(QDate(2008, 2, 29), QTime(0, 0))},
        {"  6/14/2007 09:35:00  ", QDateTime(QDate(2007, 6, 14), QTime(9, 35))},
    };
    for (const auto& c : cases) {
        const auto parsed = parseUsDateTime(QString::fromLatin1(c.text));
        ASSERT_TRUE(parsed.has_value()) << c.text;
        EXPECT_EQ(*parsed, c.expected) << c.text;
    }
}

TEST(ParseUsDateTime, RefusesWhatIsNotARealDate)
{
    for (const char* text : {"2/30/2008", "13/1/2008", "0/1/2008", "", "   ", "abc", "1/2", "2008-01-02x",
                             "1/2/2008 25:00", "1/2/2008 13:00 PM", "1/2/2008 10:61", "2/29/2007"}) {
        EXPECT_FALSE(parseUsDateTime(QString::fromLatin1(text)).has_value()) << text;
    }
}

TEST(DbDateTime, RoundTripsThroughTheStoredForm)
{
    const QDateTime when(QDate(2009, 5, 12), QTime(7, 8, 9));
    EXPECT_EQ(toDbDateTime(when), "2009-05-12 07:08:09");
    EXPECT_EQ(fromDbDateTime(QString("2009-05-12 07:08:09")), when);
    EXPECT_FALSE(fromDbDateTime(QVariant()).isValid());
    EXPECT_FALSE(fromDbDateTime(QString("05/12/2009")).isValid());
}

} // namespace
