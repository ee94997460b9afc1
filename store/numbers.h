#pragma once
// Reading numbers out of typed or stored text, each the way one kind of
// input was always read.

#include <QString>
#include <QStringView>

#include <optional>

namespace kolva {

// The number a text begins with, read the way the stored lists were always
// read: blanks anywhere are ignored, reading stops at the first character
// that cannot continue a number, and a text without a leading number is 0.
double leadingNumber(const QString& text);

// The value of a typed whole number as the boxes take it: an optional sign
// and the digits that follow; anything after them is ignored, and no digits
// at all ("", "-") is 0.
int wholeNumberValue(const QString& text);

// The number text rounded to the nearest whole number, a half to the even
// neighbour (12.5 gives 12, 13.5 gives 14), when it is a decimal number
// ("12", "-3", "12.5", ".5", with blanks around) whose rounded value lies in
// [min, max]. The rounding is exact on the decimal digits.
std::optional<qint64> roundHalfEven(QStringView text, qint64 min, qint64 max);

} // namespace kolva
