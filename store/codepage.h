#pragma once
// The handheld's code page, Windows-1252. Qt's converters do not offer it,
// so the one table that differs from Latin-1 (bytes 0x80 to 0x9F) is here.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringView>

namespace kolva {

// Every byte gives one character. The five bytes the code page leaves
// undefined (0x81, 0x8D, 0x8F, 0x90, 0x9D) give the control characters of
// the same number, so that no byte is ever lost.
QString fromWindows1252(QByteArrayView bytes);

// The character of one byte.
char16_t windows1252Char(unsigned char byte);

// The byte of a character, or -1 when the code page has none for it.
int windows1252Byte(char16_t c);

// The text in Windows-1252. A character the code page cannot hold is written
// as "?"; replaced counts how many were (may be null).
QByteArray toWindows1252(QStringView text, int* replaced = nullptr);

} // namespace kolva
