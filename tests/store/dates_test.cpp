#include "store/dates.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

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
