#include "store/codepage.h"

#include <array>

namespace kolva {

namespace {

// 0x80 to 0x9F. Undefined positions keep their own number.
constexpr std::array<char16_t, 32> High = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, // 80-87
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F, // 88-8F
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, // 90-97
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178, // 98-9F
};

} // namespace

char16_t windows1252Char(unsigned char byte)
{
    if (byte >= 0x80 && byte <= 0x9F)
        return High[byte - 0x80];
    return byte;
}

int windows1252Byte(char16_t c)
{
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < int(High.size()); ++i) {
        if (High[i] == c)
            return 0x80 + i;
    }
    return -1;
}

QString fromWindows1252(QByteArrayView bytes)
{
    QString text(bytes.size(), Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(text.data());
    for (qsizetype i = 0; i < bytes.size(); ++i)
        out[i] = windows1252Char(static_cast<unsigned char>(bytes[i]));
    return text;
}

QByteArray toWindows1252(QStringView text, int* replaced)
{
    QByteArray bytes(text.size(), Qt::Uninitialized);
    int count = 0;
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        // A pair of surrogates is one character: it becomes one "?".
        if (c.isHighSurrogate() && i + 1 < text.size() && text[i + 1].isLowSurrogate())
            ++i;
        const int byte = windows1252Byte(c.unicode());
        if (byte < 0) {
            bytes[n++] = '?';
            ++count;
        } else {
            bytes[n++] = char(byte);
        }
    }
    bytes.truncate(n);
    if (replaced)
        *replaced = count;
    return bytes;
}

} // namespace kolva
