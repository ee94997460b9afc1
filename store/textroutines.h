#pragma once
// Small stateless routines shared by many windows: text cleaning and
// empty-value mapping.

#include <QString>
#include <QStringView>
#include <QVariant>

namespace kolva {

// The text of value made safe inside the single quotes of an SQL literal:
// every apostrophe doubled. A null value or the empty text gives the empty
// text. After an apostrophe at most 500 characters are kept, without
// trailing blanks (the rule the handheld's files were always quoted by).
QString SqlQuote(const QVariant& value);

// Removes every apostrophe (every comma) from text; changes and returns it.
QString& StripApostrophes(QString& text);
QString& StripCommas(QString& text);

// The trimmed text with "0" characters in front up to length n.
QString PadLeftZeros(const QString& text, int n);

// The text with every character that shows as nothing or moves the text
// around made visible as "<U+XXXX>": control characters (a line break, a
// tab, a vertical tab), format characters (direction overrides, zero-width
// characters), line and paragraph separators, every blank but the plain one
// (a no-break space) and lone surrogates. For names and values quoted in
// messages and logs, so that what is shown is what is there.
QString visibleText(QStringView text);

// A single blank for a null value or the empty text, else the value.
QVariant NullToBlank(const QVariant& value);
// The integer 0 for a null value or the empty text, else the value unchanged.
QVariant NullToZero(const QVariant& value);


} // namespace kolva
