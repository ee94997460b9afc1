// The number readers of typed and stored text.

#include "store/numbers.h"

#include <gtest/gtest.h>

#include <limits>

using namespace kolva;

namespace {

TEST(Numbers, LeadingNumberIsReadUpToTheFirstCharacterThatCannotContinueIt)
{
    const struct {
        const char* text;
        double value;
    } cases[] = {
        {"", 0},  {"abc", 0},   {"  12abc", 12}, {"1 2", 12}, {"-3", -3},   {"+4", 4},
        {".", 0}, {".5", 0.5},  {"1.5.2", 1.5},  {"1e1", 10}, {"2e", 2},    {"7,", 7},
    };
    for (const auto& c : cases)
        EXPECT_DOUBLE_EQ(leadingNumber(c.text), c.value) << c.text;
}

TEST(Numbers, WholeNumberValueReadsSignAndLeadingDigits)
{
    const struct {
        const char* text;
        int value;
    } cases[] = {{"12", 12}, {"-", 0}, {"", 0}, {"-4", -4}, {"5-3", 5}, {"007", 7}, {"--3", 0}};
    for (const auto& c : cases)
        EXPECT_EQ(wholeNumberValue(c.text), c.value) << c.text;
}

TEST(Numbers, RoundHalfToEvenWithinTheirRange)
{
    constexpr qint64 S = std::numeric_limits<qint16>::max();
    const struct {
        const char* text;
        std::optional<qint64> expected;
    } cases[] = {
        {"12", 12},        {"12.5", 12},      {"13.5", 14},     {"0.5", 0},        {".5", 0},
        {"1.5", 2},        {"2.5000001", 3},  {"2.4999999", 2}, {"0.51", 1},       {"-2.5", -2},
        {"-3.5", -4},      {"-0.4", 0},       {" 7 ", 7},       {"\t+8", 8},       {"12.", 12},
        {"007", 7},        {"32767", S},      {"32767.4", S},   {"32767.5", {}},   {"-32768.5", -32768},
        {"-32769", {}},    {"40000", {}},     {"", {}},         {"  ", {}},        {"abc", {}},
        {"12a", {}},       {"1.2.3", {}},     {"1e3", {}},      {"12,5", {}},      {"--1", {}},
        {".", {}},         {"-", {}},         {"99999999999999999999999", {}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(roundHalfEven(QString::fromLatin1(c.text), -32768, 32767), c.expected) << c.text;
    EXPECT_EQ(roundHalfEven(u"2147483647", INT32_MIN, INT32_MAX), 2147483647);
    EXPECT_EQ(roundHalfEven(u"2147483647.5", INT32_MIN, INT32_MAX), std::nullopt);
    EXPECT_EQ(roundHalfEven(u"-2147483648", INT32_MIN, INT32_MAX), INT32_MIN);
}

} // namespace
