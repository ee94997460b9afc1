#include "store/codepage.h"

#include <gtest/gtest.h>

#include <iterator>

using namespace kolva;

namespace {

TEST(CodePage, Bytes80To9FDecodeAsThePublishedTableSays)
{
    // The Windows-1252 table of the code page's publisher, 0x80 to 0x9F. The
    // five bytes it leaves undefined are kept as the control character of the
    // same number, so that they survive a round trip.
    const struct {
        unsigned char byte;
        char16_t expected;
    } cases[] = {
        {0x80, 0x20AC}, {0x81, 0x0081}, {0x82, 0x201A}, {0x83, 0x0192}, {0x84, 0x201E}, {0x85, 0x2026},
        {0x86, 0x2020}, {0x87, 0x2021}, {0x88, 0x02C6}, {0x89, 0x2030}, {0x8A, 0x0160}, {0x8B, 0x2039},
        {0x8C, 0x0152}, {0x8D, 0x008D}, {0x8E, 0x017D}, {0x8F, 0x008F}, {0x90, 0x0090}, {0x91, 0x2018},
        {0x92, 0x2019}, {0x93, 0x201C}, {0x94, 0x201D}, {0x95, 0x2022}, {0x96, 0x2013}, {0x97, 0x2014},
        {0x98, 0x02DC}, {0x99, 0x2122}, {0x9A, 0x0161}, {0x9B, 0x203A}, {0x9C, 0x0153}, {0x9D, 0x009D},
        {0x9E, 0x017E}, {0x9F, 0x0178},
    };
    static_assert(std::size(cases) == 32);
    for (const auto& c : cases) {
        const char byte = char(c.byte);
        EXPECT_EQ(fromWindows1252(QByteArrayView(&byte, 1)), QString(QChar(c.expected))) << std::hex << int(c.byte);
        EXPECT_EQ(windows1252Byte(c.expected), int(c.byte)) << std::hex << int(c.byte);
    }
}

TEST(CodePage, BytesOutside80To9FAreLatin1)
{
    for (const unsigned char byte : {0x00, 0x41, 0x7F, 0xA0, 0xE9, 0xFF}) {
        const char b = char(byte);
        EXPECT_EQ(fromWindows1252(QByteArrayView(&b, 1)), QString(QChar(char16_t(byte)))) << int(byte);
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
