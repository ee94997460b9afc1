#include "store/codepage.h"

#include <gtest/gtest.h>

using namespace kolva;

namespace {

TEST(CodePage, DecodesTheBytesThatDifferFromLatin1)
{
    const struct {
        unsigned char byte;
        char16_t expected;
    } cases[] = {
        {0x41, u'A'},    {0x80, 0x20AC}, {0x85, 0x2026}, {0x8A, 0x0160}, {0x91, 0x2018}, {0x92, 0x2019},
        {0x93, 0x201C},  {0x94, 0x201D}, {0x96, 0x2013}, {0x99, 0x2122}, {0x9F, 0x0178}, {0xA0, 0x00A0},
        {0xE9, 0x00E9},  {0xFF, 0x00FF},
        // Undefined in the code page: kept as the control character of that number.
        {0x81, 0x0081},  {0x8D, 0x008D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x9D, 0x009D},
    };
    for (const auto& c : cases) {
        const char byte = char(c.byte);
        EXPECT_EQ(fromWindows1252(QByteArrayView(&byte, 1)), QString(QChar(c.expected))) << int(c.byte);
    }
}

TEST(CodePage, EveryByteSurvivesARoundTrip)
{
    QByteArray all;
    for (int b = 0; b < 256; ++b)
        all += char(b);
    const QString text = fromWindows1252(all);
    ASSERT_EQ(text.size(), 256);
    int replaced = -1;
    EXPECT_EQ(toWindows1252(text, &replaced), all);
    EXPECT_EQ(replaced, 0);
}

TEST(CodePage, ACharacterTheCodePageCannotHoldIsWrittenAsAQuestionMark)
{
    const struct {
        QString text;
        QByteArray bytes;
        int replaced;
    } cases[] = {
        {QString::fromUtf8("Caf\u00e9 \u2019s \u20ac5"), "Caf\xe9 \x92s \x80" "5", 0},
        {QString::fromUtf8("\u0150RI"), "?RI", 1},                    // O with double acute
        {QString::fromUtf8("Oak \U0001F333 tree"), "Oak ? tree", 1}, // one character, two UTF-16 units
        {QString::fromUtf8("\u4e2d\u6587"), "??", 2},
        {QString(), "", 0},
    };
    for (const auto& c : cases) {
        int replaced = -1;
        EXPECT_EQ(toWindows1252(c.text, &replaced), c.bytes) << c.text.toStdString();
        EXPECT_EQ(replaced, c.replaced) << c.text.toStdString();
    }
}

} // namespace
