#pragma once
// Comma-separated files (RFC 4180): fields separated by commas, records by
// line ends; a field in double quotes may hold commas, line ends and quotes
// (written twice). Files from spreadsheets are UTF-8, with or without a
// byte-order mark, Windows-1252, or UTF-16 with its byte-order mark (a
// "Unicode text" save); where the decimal mark is a comma, spreadsheets
// separate the fields by semicolons, and "Unicode text" by tabs.

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <QStringView>

#include <optional>
#include <vector>

class QIODevice;

namespace kolva {

enum class TextEncoding { Utf8, Windows1252, Utf16 };

// The text of a file's bytes: UTF-16 when they begin with its byte-order mark
// (either byte order); UTF-8 when the bytes are valid UTF-8 or begin with the
// UTF-8 byte-order mark; else Windows-1252. A byte-order mark is dropped; a
// bad sequence after one becomes U+FFFD. found (may be null) tells which.
QString decodeText(QByteArrayView bytes, TextEncoding* found = nullptr);
// The bytes of text in that encoding: UTF-8 and Windows-1252 without a
// byte-order mark, UTF-16 little-endian after its mark (as spreadsheets save
// it). A character Windows-1252 cannot hold is written as "?".
QByteArray encodeText(QStringView text, TextEncoding encoding);

// The field separator of a text's records: the one of comma, semicolon and
// tab that stands outside quotes on the most of its first lines (a tab, then
// a semicolon, when as many lines hold a comma: a decimal comma is not a
// separator); a comma when none does.
QChar csvSeparator(QStringView text);

// Reads records one by one from a text. A line end is CR LF, LF or CR. An
// empty line is a record of one empty field; a last line without a line end
// is a record; a line end at the very end adds none. A field is quoted when
// it begins with a double quote; what follows its closing quote up to the
// next separator is kept as text, and a quote never closed runs to the end
// (unclosedQuoteLine tells where it opened).
class CsvReader {
public:
    explicit CsvReader(QString text, QChar separator = QLatin1Char(','));
    // The next record into fields; false when none is left.
    bool next(QStringList& fields);
    // The number of the line the next record begins on (1 for the first).
    qsizetype lineNumber() const { return line_; }
    // The line the record last read began on.
    qsizetype recordLine() const { return recordLine_; }
    // The line of the quote that opened a field of the record last read and
    // was never closed; 0 when there was none.
    qsizetype unclosedQuoteLine() const { return unclosedQuoteLine_; }

private:
    QString text_;
    QChar separator_;
    qsizetype pos_ = 0;
    qsizetype line_ = 1;
    qsizetype recordLine_ = 0;
    qsizetype unclosedQuoteLine_ = 0;
};

// Every record of a file's bytes, decoded by decodeText.
std::vector<QStringList> readCsv(QByteArrayView bytes, TextEncoding* found = nullptr);
// The same for everything a device holds from where it stands; nothing,
// with why in *error, when the device cannot be read.
std::optional<std::vector<QStringList>> readCsv(QIODevice& device, QString* error = nullptr,
                                                TextEncoding* found = nullptr);

// How a field is written: in quotes only when it holds a comma, a quote or
// a line end; always in quotes; or bare as given (numbers, #NULL#).
enum class CsvQuote { AsNeeded, Always, Never };

struct CsvField {
    QString text;
    CsvQuote quote = CsvQuote::AsNeeded;
};

// One field as written: in quotes, each quote doubled, when asked.
QString csvField(const QString& text, CsvQuote quote = CsvQuote::AsNeeded);
// One record, fields joined by commas, followed by the line end.
QString csvRecord(const std::vector<CsvField>& fields, QStringView lineEnd = u"\r\n");
QString csvRecord(const QStringList& fields, QStringView lineEnd = u"\r\n");

} // namespace kolva
