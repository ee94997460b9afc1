#include "store/textroutines.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

struct QuoteCase {
    const char* name;
    QVariant value;
    QString expected;
};

void PrintTo(const QuoteCase& c, std::ostream* os)
{
    *os << c.name;
}


class SqlQuoteTest : public ::testing::TestWithParam<QuoteCase> {};

TEST_P(SqlQuoteTest, QuotesAsTheRuleSays)
{
    EXPECT_EQ(SqlQuote(GetParam().value), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    Cases, SqlQuoteTest,
    ::testing::Values(QuoteCase{"apostrophe", QString("O'Neil"), "O''Neil"},
                      QuoteCase{"two_apostrophes", QString("O'Neil's tree"), "O''Neil''s tree"},
                      QuoteCase{"adjacent", QString("a''b"), "a''''b"},
                      QuoteCase{"leading", QString("'x"), "''x"},
                      QuoteCase{"trailing", QString("x'"), "x''"},
                      QuoteCase{"empty", QString(""), ""},
                      QuoteCase{"null", QVariant(), ""},
                      QuoteCase{"number", QVariant(12), "12"},
                      QuoteCase{"no_apostrophe_keeps_blanks", QString("ELM ST  "), "ELM ST  "},
                      QuoteCase{"trailing_blanks_after_apostrophe_go", QString("O'NEIL   "), "O''NEIL"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(SqlQuote, KeepsOnly500CharactersAfterAnApostrophe)
{
    const QString tail(600, QLatin1Char('x'));
    EXPECT_EQ(SqlQuote(QString("a'") + tail), QString("a''") + QString(500, QLatin1Char('x')));
    // Without an apostrophe the text is returned whole.
    EXPECT_EQ(SqlQuote(QString("a") + tail), QString("a") + tail);
}

TEST(StripRoutines, RemoveEveryOccurrenceAndChangeTheArgument)
{
    const struct {
        QString in, noCommas, noApostrophes;
    } cases[] = {
        {"Main St, North", "Main St North", "Main St, North"},
        {"O'NEIL'S WAY", "O'NEIL'S WAY", "ONEILS WAY"},
        {",,a,,", "a", ",,a,,"},
        {"", "", ""},
    };
    for (const auto& c : cases) {
        QString a = c.in;
        EXPECT_EQ(StripCommas(a), c.noCommas);
        EXPECT_EQ(a, c.noCommas) << "the argument itself is changed";
        QString b = c.in;
        EXPECT_EQ(StripApostrophes(b), c.noApostrophes);
        EXPECT_EQ(b, c.noApostrophes);
    }
}

TEST(PadLeftZeros, TrimsThenFillsToLength)
{
    const struct {
        QString text;
        int n;
        QString expected;
    } cases[] = {
        {" 7 ", 2, "07"}, {"11", 2, "11"}, {"123", 2, "123"}, {"", 2, "00"}, {" 5", 4, "0005"}, {"7", 0, "7"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(PadLeftZeros(c.text, c.n), c.expected) << c.text.toStdString() << " " << c.n;
}

TEST(NullMapping, EmptyAndNullBecomeBlankOrZeroOthersUnchanged)
{
    EXPECT_EQ(NullToBlank(QVariant()).toString(), " ");
    EXPECT_EQ(NullToBlank(QString()).toString(), " ");
    EXPECT_EQ(NullToBlank(QString("")).toString(), " ");
    EXPECT_EQ(NullToBlank(42.5).toDouble(), 42.5);
    EXPECT_EQ(NullToBlank(QString(" ")).toString(), " ");

    EXPECT_EQ(NullToZero(QVariant()), QVariant(0));
    EXPECT_EQ(NullToZero(QString("")), QVariant(0));
    const QVariant seven = NullToZero(QString("7"));
    EXPECT_EQ(seven.typeId(), QMetaType::QString) << "conversion is the caller's";
    EXPECT_EQ(seven.toString(), "7");
    EXPECT_EQ(NullToZero(QString(" ")).toString(), " ");
}

} // namespace
